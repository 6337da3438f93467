// The web front's bounds, tested with raw sockets against the real server.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "server/web/web_server.h"

namespace qira::server::web {
namespace {

using namespace std::chrono_literals;

class RawClient {
public:
    explicit RawClient(std::uint16_t port) : fd_(socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~RawClient() { close(fd_); }
    bool connected() const { return connected_; }
    void Send(const std::string& text) { (void)!write(fd_, text.data(), text.size()); }
    // What arrives until the server closes or `wait` passes without news.
    std::string ReadAll(std::chrono::milliseconds wait = 3s) {
        std::string text;
        pollfd ready{fd_, POLLIN, 0};
        char buffer[4096];
        while (poll(&ready, 1, static_cast<int>(wait.count())) > 0) {
            const ssize_t n = read(fd_, buffer, sizeof buffer);
            if (n <= 0) {
                closedByServer_ = true;
                break;
            }
            text.append(buffer, static_cast<std::size_t>(n));
        }
        return text;
    }
    bool closedByServer() const { return closedByServer_; }

private:
    int fd_;
    bool connected_ = false;
    bool closedByServer_ = false;
};

std::string StatusOf(const std::string& response) {
    return response.substr(9, 3);
}

class WebLimitsTest : public ::testing::Test {
protected:
    void Start(WebLimits limits) {
        server = std::make_unique<WebServer>(SiteFolders{}, feed, limits);
        std::string error;
        ASSERT_TRUE(server->Start("127.0.0.1", 0, error)) << error;
    }
    std::string Request(const std::string& text) {
        RawClient client(server->Port());
        client.Send(text);
        return client.ReadAll();
    }
    LiveFeed feed;
    std::unique_ptr<WebServer> server;
};

TEST_F(WebLimitsTest, OversizedRequestsAndWritesAreRefused) {
    WebLimits limits;
    limits.maxRequestBytes = 1024;
    Start(limits);
    const std::string ok =
        Request("GET /api/tables HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(StatusOf(ok), "200");
    EXPECT_NE(ok.find("Content-Security-Policy: default-src 'none'"), std::string::npos);
    EXPECT_NE(ok.find("X-Content-Type-Options: nosniff"), std::string::npos);
    const std::string huge =
        "GET / HTTP/1.1\r\nHost: x\r\nX-Pad: " + std::string(4000, 'a') + "\r\n\r\n";
    EXPECT_EQ(StatusOf(Request(huge)), "431");
    const std::string body = "GET / HTTP/1.1\r\nHost: x\r\nContent-Length: 5000\r\n\r\n";
    EXPECT_EQ(StatusOf(Request(body)), "413");
    EXPECT_EQ(
        StatusOf(Request("POST /api/tables HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\n\r\n")),
        "405");
    EXPECT_EQ(StatusOf(Request("GET /x HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")), "404");
}

TEST_F(WebLimitsTest, ConnectionsPerAddressAreCapped) {
    WebLimits limits;
    limits.connectionsPerAddress = 3;
    Start(limits);
    std::vector<std::unique_ptr<RawClient>> held;
    for (int i = 0; i < 3; ++i) held.push_back(std::make_unique<RawClient>(server->Port()));
    RawClient extra(server->Port());
    const std::string refused = extra.ReadAll();
    EXPECT_EQ(StatusOf(refused), "503");
    held.pop_back();  // one leaves: a newcomer gets in
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(StatusOf(Request("GET /api/tables HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")),
              "200");
}

TEST_F(WebLimitsTest, RequestsBeyondTheRateAreTurnedAway) {
    WebLimits limits;
    limits.burst = 5;
    limits.requestsPerSecond = 0.5;
    Start(limits);
    RawClient client(server->Port());
    std::string pipelined;
    for (int i = 0; i < 6; ++i) pipelined += "GET /api/tables HTTP/1.1\r\nHost: x\r\n\r\n";
    client.Send(pipelined);
    const std::string answers = client.ReadAll();
    std::size_t oks = 0;
    for (std::size_t at = 0; (at = answers.find("HTTP/1.1 200", at)) != std::string::npos; ++at)
        ++oks;
    EXPECT_EQ(oks, 5u);
    EXPECT_NE(answers.find("HTTP/1.1 429"), std::string::npos);
}

TEST_F(WebLimitsTest, ASlowRequestIsCutOffAtItsDeadline) {
    WebLimits limits;
    limits.requestDeadline = 300ms;
    Start(limits);
    RawClient client(server->Port());
    client.Send("GET / HTTP/1.1\r\nHost:");  // and nothing more
    const auto start = std::chrono::steady_clock::now();
    client.ReadAll(5s);
    EXPECT_TRUE(client.closedByServer());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
}

}  // namespace
}  // namespace qira::server::web

namespace qira::server::web {
namespace {

TEST_F(WebLimitsTest, AnEventStreamNobodyReadsIsCutOff) {
    WebLimits limits;
    limits.writeDeadline = 300ms;
    limits.streamInterval = 5ms;
    Start(limits);
    RawClient client(server->Port());
    client.Send("GET /api/tables/events HTTP/1.1\r\nHost: x\r\n\r\n");
    // Every edition differs and is large, so the stream has more to write
    // than the socket buffers hold while the client reads nothing.
    const auto start = std::chrono::steady_clock::now();
    for (int edition = 0; std::chrono::steady_clock::now() - start < 3s; ++edition) {
        std::vector<LiveTable> tables(100);
        for (LiveTable& table : tables) {
            table.handsPlayed = edition;
            table.onlookers.assign(20, std::string(500, 'x'));
        }
        feed.Publish(std::move(tables));
        std::this_thread::sleep_for(5ms);
    }
    const std::string got = client.ReadAll(2s);
    EXPECT_EQ(StatusOf(got), "200");
    EXPECT_TRUE(client.closedByServer());
}

}  // namespace
}  // namespace qira::server::web
