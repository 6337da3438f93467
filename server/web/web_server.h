#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "server/web/live_feed.h"
#include "server/web/web_site.h"

// The web front's HTTP server (Boost.Beast) on a thread of its own, so no
// page can slow the game's loop. Read-only: it answers GET and HEAD, and
// everything it knows of the live tables comes from the LiveFeed.
namespace qira::server::web {

struct WebLimits {
    std::size_t maxConnections = 128;
    std::size_t connectionsPerAddress = 16;  // an IPv6 /64 counts as one address
    std::size_t maxRequestBytes = 8192;      // request line and headers (and any body)
    // Per address, after a burst of `burst`: a first visit fetches every tile
    // picture once.
    double requestsPerSecond = 30;
    double burst = 150;
    std::chrono::milliseconds requestDeadline{10'000};  // to send a whole request
    std::chrono::milliseconds writeDeadline{30'000};    // for a client to take an answer
    std::chrono::milliseconds streamInterval{250};      // how often a stream looks for news
};

class WebServer {
public:
    WebServer(SiteFolders folders, const LiveFeed& feed, WebLimits limits = {});
    ~WebServer();  // stops the thread and closes every connection
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    // Binds `host` ("127.0.0.1", "::1", "0.0.0.0", "localhost") and `port`
    // (0: a free one) and starts serving; false with the reason in `error`.
    bool Start(const std::string& host, std::uint16_t port, std::string& error);
    std::uint16_t Port() const;

    class Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace qira::server::web
