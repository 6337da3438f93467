#include "server/web/web_server.h"

#include <algorithm>
#include <utility>  // before Asio: 1.74 uses std::exchange without it

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <map>
#include <optional>
#include <thread>

namespace qira::server::web {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

namespace {

constexpr auto kHeartbeat = std::chrono::seconds(15);

// The address a client's limits are kept under: an IPv6 /64 counts as one.
std::string AddressKey(const tcp::endpoint& peer) {
    const auto address = peer.address();
    if (address.is_v4()) return address.to_string();
    const auto v6 = address.to_v6();
    if (v6.is_v4_mapped()) return asio::ip::make_address_v4(asio::ip::v4_mapped, v6).to_string();
    auto bytes = v6.to_bytes();
    std::fill(bytes.begin() + 8, bytes.end(), 0);
    return asio::ip::address_v6(bytes).to_string() + "/64";
}

std::string StatusLine(int status) {
    switch (status) {
        case 200:
            return "200 OK";
        case 400:
            return "400 Bad Request";
        case 404:
            return "404 Not Found";
        case 405:
            return "405 Method Not Allowed";
        case 413:
            return "413 Content Too Large";
        case 429:
            return "429 Too Many Requests";
        case 431:
            return "431 Request Header Fields Too Large";
        case 500:
            return "500 Internal Server Error";
        default:
            return "503 Service Unavailable";
    }
}

// The headers every answer carries. Pictures, scripts and the style sheet
// change only with a new server: browsers keep them for an hour.
std::string CommonHeaders(const std::string& contentType, bool keep = false) {
    return "Content-Type: " + contentType +
           "\r\nContent-Security-Policy: " + std::string(kContentSecurityPolicy) +
           "\r\nX-Content-Type-Options: nosniff\r\nReferrer-Policy: no-referrer\r\n" +
           (keep ? "Cache-Control: max-age=3600\r\n" : "Cache-Control: no-store\r\n");
}

std::string RefusalText(int status, const std::string& why) {
    const std::string body = "{\"error\":\"" + why + "\"}";
    return "HTTP/1.1 " + StatusLine(status) + "\r\n" +
           CommonHeaders("application/json; charset=utf-8") +
           (status == 429 ? "Retry-After: 1\r\n" : "") +
           "Connection: close\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
           body;
}

struct Bucket {
    double tokens = 0;
    std::chrono::steady_clock::time_point filled;
};

}  // namespace

class WebServer::Impl {
public:
    Impl(SiteFolders folders, const LiveFeed& feed, WebLimits limits)
        : limits_(limits), site_(folders, feed) {}

    ~Impl() {
        io_.stop();
        if (thread_.joinable()) thread_.join();
    }

    bool Start(const std::string& host, std::uint16_t port, std::string& error);
    std::uint16_t Port() const { return port_; }

    const WebLimits& limits() const { return limits_; }
    WebSite& site() { return site_; }
    asio::io_context& io() { return io_; }

    bool TakeToken(const std::string& key);
    void Released(const std::string& key) {
        --open_;
        if (--perAddress_[key] == 0) perAddress_.erase(key);
    }

private:
    void Accept();
    void Admit(tcp::socket socket);

    WebLimits limits_;
    WebSite site_;
    std::size_t open_ = 0;
    std::map<std::string, std::size_t> perAddress_;
    std::map<std::string, Bucket> buckets_;
    std::uint16_t port_ = 0;
    // Declared last: destroyed first, so pending sessions end while the rest lives.
    asio::io_context io_{1};
    tcp::acceptor acceptor_{io_};
    std::thread thread_;
};

namespace {

// One client's connection: requests one after another, or one event stream.
class Session : public std::enable_shared_from_this<Session> {
public:
    Session(tcp::socket socket, WebServer::Impl& server, std::string key)
        : stream_(std::move(socket)), server_(server), key_(std::move(key)), timer_(server.io()) {}
    ~Session() { server_.Released(key_); }

    void ReadRequest() {
        parser_.emplace();
        parser_->header_limit(static_cast<std::uint32_t>(server_.limits().maxRequestBytes));
        parser_->body_limit(server_.limits().maxRequestBytes);
        stream_.expires_after(server_.limits().requestDeadline);
        http::async_read(stream_, buffer_, *parser_,
                         [self = shared_from_this()](beast::error_code error, std::size_t) {
                             self->OnRequest(error);
                         });
    }

private:
    void OnRequest(beast::error_code error) {
        if (error == http::error::header_limit || error == http::error::buffer_overflow)
            return Refuse(431, "请求太长");
        if (error == http::error::body_limit) return Refuse(413, "请求太长");
        if (error) return Close();
        const auto& request = parser_->get();
        if (!server_.TakeToken(key_)) return Refuse(429, "请求太频繁");
        const bool head = request.method() == http::verb::head;
        if (request.method() != http::verb::get && !head) return Refuse(405, "只能读取");
        const WebAnswer answer = AnswerOf(request.target());
        if (answer.stream) return StartStream(answer);
        const bool keepAlive = request.keep_alive();
        std::string text = "HTTP/1.1 " + StatusLine(answer.status) + "\r\n" +
                           CommonHeaders(answer.contentType, answer.keep) +
                           "Content-Length: " + std::to_string(answer.body.size()) + "\r\n" +
                           (keepAlive ? "" : "Connection: close\r\n") + "\r\n";
        if (!head) text += answer.body;
        Write(std::move(text), [keepAlive](Session& self) {
            if (keepAlive)
                self.ReadRequest();
            else
                self.Close();
        });
    }

    WebAnswer AnswerOf(boost::string_view target) {
        try {
            return server_.site().Answer(std::string_view(target.data(), target.size()));
        } catch (const std::exception&) {
            return {500, "application/json; charset=utf-8", "{\"error\":\"服务器出错\"}"};
        }
    }

    void Refuse(int status, const std::string& why) {
        Write(RefusalText(status, why), [](Session& self) { self.Close(); });
    }

    template <typename Then>
    void Write(std::string text, Then then) {
        out_ = std::move(text);
        stream_.expires_after(server_.limits().writeDeadline);
        asio::async_write(stream_, asio::buffer(out_),
                          [self = shared_from_this(), then](beast::error_code error, std::size_t) {
                              if (error) return self->Close();
                              then(*self);
                          });
    }

    // Server-sent events: the body runs until the connection ends.
    void StartStream(const WebAnswer& answer) {
        streamTable_ = answer.streamTable;
        Write("HTTP/1.1 200 OK\r\n" + CommonHeaders(answer.contentType) +
                  "Connection: close\r\n\r\nretry: 2000\n\n",
              [](Session& self) {
                  self.lastWrite_ = std::chrono::steady_clock::now();
                  self.SendNews();
              });
        // A client that sends more (or closes) ends the stream.
        WatchForClose();
    }

    void WatchForClose() {
        stream_.socket().async_wait(
            tcp::socket::wait_read,
            [self = shared_from_this()](beast::error_code) { self->Close(); });
    }

    void SendNews() {
        if (closed_) return;
        auto update = server_.site().StreamUpdate(streamTable_, sentVersion_);
        const auto now = std::chrono::steady_clock::now();
        if (update || now - lastWrite_ >= kHeartbeat) {
            lastWrite_ = now;
            Write(update ? "data: " + *update + "\n\n" : std::string(":\n\n"),
                  [](Session& self) { self.WaitForNews(); });
            return;
        }
        WaitForNews();
    }

    void WaitForNews() {
        timer_.expires_after(server_.limits().streamInterval);
        timer_.async_wait([self = shared_from_this()](beast::error_code error) {
            if (!error) self->SendNews();
        });
    }

    void Close() {
        if (closed_) return;
        closed_ = true;
        timer_.cancel();
        beast::error_code ignored;
        stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
        stream_.close();
    }

    beast::tcp_stream stream_;
    WebServer::Impl& server_;
    std::string key_;
    beast::flat_buffer buffer_{8192};
    std::optional<http::request_parser<http::string_body>> parser_;
    std::string out_;
    asio::steady_timer timer_;
    int streamTable_ = 0;
    std::uint64_t sentVersion_ = 0;
    std::chrono::steady_clock::time_point lastWrite_{};
    bool closed_ = false;
};

}  // namespace

bool WebServer::Impl::Start(const std::string& host, std::uint16_t port, std::string& error) {
    beast::error_code code;
    const std::string name = host == "localhost" ? "127.0.0.1" : host == "*" ? "0.0.0.0" : host;
    std::string bare = name;
    if (bare.size() > 2 && bare.front() == '[' && bare.back() == ']')
        bare = bare.substr(1, bare.size() - 2);
    const auto address = asio::ip::make_address(bare, code);
    if (code) {
        error = "not an address: " + host;
        return false;
    }
    const tcp::endpoint endpoint(address, port);
    acceptor_.open(endpoint.protocol(), code);
    if (!code) acceptor_.set_option(asio::socket_base::reuse_address(true), code);
    if (!code) acceptor_.bind(endpoint, code);
    if (!code) acceptor_.listen(asio::socket_base::max_listen_connections, code);
    if (code) {
        error = code.message();
        return false;
    }
    port_ = acceptor_.local_endpoint().port();
    Accept();
    // A handler that throws ends run(); the others go on.
    thread_ = std::thread([this] {
        while (!io_.stopped()) {
            try {
                io_.run();
            } catch (const std::exception&) {
            }
        }
    });
    return true;
}

void WebServer::Impl::Accept() {
    acceptor_.async_accept([this](beast::error_code error, tcp::socket socket) {
        if (error == asio::error::operation_aborted) return;
        if (!error) Admit(std::move(socket));
        Accept();
    });
}

void WebServer::Impl::Admit(tcp::socket socket) {
    beast::error_code error;
    const auto peer = socket.remote_endpoint(error);
    if (error) return;
    std::string key = AddressKey(peer);
    if (open_ >= limits_.maxConnections || perAddress_[key] >= limits_.connectionsPerAddress) {
        if (perAddress_[key] == 0) perAddress_.erase(key);
        auto held = std::make_shared<tcp::socket>(std::move(socket));
        auto text = std::make_shared<std::string>(RefusalText(503, "连接太多"));
        asio::async_write(*held, asio::buffer(*text), [held, text](beast::error_code, std::size_t) {
            beast::error_code ignored;
            held->shutdown(tcp::socket::shutdown_both, ignored);
        });
        return;
    }
    ++open_;
    ++perAddress_[key];
    std::make_shared<Session>(std::move(socket), *this, std::move(key))->ReadRequest();
}

bool WebServer::Impl::TakeToken(const std::string& key) {
    const auto now = std::chrono::steady_clock::now();
    Bucket& bucket = buckets_.try_emplace(key, Bucket{limits_.burst, now}).first->second;
    const std::chrono::duration<double> passed = now - bucket.filled;
    bucket.tokens =
        std::min(limits_.burst, bucket.tokens + passed.count() * limits_.requestsPerSecond);
    bucket.filled = now;
    // A bucket untouched for a minute is full again: forget it.
    if (buckets_.size() > 10'000)
        std::erase_if(buckets_, [&](const auto& entry) {
            return now - entry.second.filled > std::chrono::minutes(1);
        });
    if (bucket.tokens < 1) return false;
    bucket.tokens -= 1;
    return true;
}

WebServer::WebServer(SiteFolders folders, const LiveFeed& feed, WebLimits limits)
    : impl_(std::make_unique<Impl>(std::move(folders), feed, limits)) {}

WebServer::~WebServer() = default;

bool WebServer::Start(const std::string& host, std::uint16_t port, std::string& error) {
    return impl_->Start(host, port, error);
}

std::uint16_t WebServer::Port() const {
    return impl_->Port();
}

}  // namespace qira::server::web
