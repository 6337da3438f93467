#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "server/web/hand_archive.h"
#include "server/web/live_feed.h"

// What the web front answers, without the sockets: the pages and their
// scripts, the tile pictures, and the JSON API. Used from one thread.
namespace qira::server::web {

struct WebAnswer {
    int status = 200;
    std::string contentType;
    std::string body;
    bool keep = false;    // the same until the server changes: browsers may keep it
    bool stream = false;  // an event stream: `streamTable` names the table, 0 for all
    int streamTable = 0;
};

struct SiteFolders {
    std::string pages;     // the HTML, scripts and style sheet
    std::string tiles;     // the generated tile pictures (name.png)
    std::string database;  // the statistics database, read-only
};

// The Content-Security-Policy every answer carries: scripts, styles, pictures
// and the event stream from this server only, nothing inline, no frames.
inline constexpr std::string_view kContentSecurityPolicy =
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; "
    "connect-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

class WebSite {
public:
    // Reads the pages and pictures once; a missing folder leaves them out.
    WebSite(const SiteFolders& folders, const LiveFeed& feed);

    // The answer to a GET of `target` (path and query, as sent).
    WebAnswer Answer(std::string_view target);

    // The document an event stream sends next, when it changed since `sent`
    // (a version of the feed); `table` 0 streams every table.
    std::optional<std::string> StreamUpdate(int table, std::uint64_t& sent);

private:
    WebAnswer AnswerApi(std::string_view path, std::string_view query);
    WebAnswer AnswerFile(std::string_view path) const;
    void RefreshArchive();

    const LiveFeed& feed_;
    HandArchive archive_;
    std::map<std::string, std::string, std::less<>> files_;  // "/static/x.js" -> contents
    std::chrono::steady_clock::time_point lastRefresh_{};
    std::string archiveError_;
};

// A path's "%E4%B8%AD" -> the bytes; nothing for a broken escape.
std::optional<std::string> PercentDecode(std::string_view text);

}  // namespace qira::server::web
