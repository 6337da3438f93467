#include "harness.h"

#include <gtest/gtest.h>

#include <QHostAddress>
#include <algorithm>
#include <iostream>

#include "net/frame_codec.h"
#include "net/protocol.h"
#include "net/requests.h"
#include "server/core/room.h"
#include "server/core/win_check.h"
#include "server/qt/epoll_dispatcher.h"
#include "server/qt/qt_scheduler.h"
#include "server/qt/tcp_server.h"

namespace qira::server::testing {
namespace {

class ServerThread final : public QThread {
public:
    ServerThread(ServerConfig config, std::string database, std::promise<quint16> port)
        : config_(std::move(config)), database_(std::move(database)), port_(std::move(port)) {}

    QObject loopObject;  // moved to this thread before it starts

    void run() override {
        QtScheduler scheduler;
        std::unique_ptr<StatsStore> stats;
        if (database_.empty())
            stats = std::make_unique<MemoryStatsStore>();
        else
            stats = std::make_unique<SqliteStatsStore>(database_);
        Lobby lobby(scheduler, *stats, config_);
        lobby.SetItems(
            *ParseItems("type 道具\nitem 7 0 鲜花 10 72 1 1 1 1 0\nown 7 3 2009010112\n"));
        TcpServer server(lobby);
        server.Listen(QHostAddress::LocalHost, 0);
        port_.set_value(server.Port());
        exec();
    }

private:
    ServerConfig config_;
    std::string database_;
    std::promise<quint16> port_;
};

}  // namespace

// An in-process link: what the server delivers is read at once; what the
// client sends and the end of the link reach the lobby as posted tasks, as a
// socket's would.
class ScriptedClient::Link final : public Peer {
public:
    Link(ScriptedClient& client, VirtualServer& server) : client_(client), server_(server) {}
    void Deliver(const net::Bytes& message) override {
        if (!closed) client_.OnMessage(message);
    }
    void Disconnect() override {
        if (closed) return;
        closed = true;
        server_.scheduler().Post([this] { server_.lobby().OnDisconnected(*this); });
    }
    std::string Describe() const override { return "in-process " + client_.name; }
    void Send(const net::Bytes& message) {
        if (closed) return;
        server_.scheduler().Post([this, message] {
            if (!closed) server_.lobby().OnMessage(*this, message);
        });
    }
    bool closed = false;

private:
    ScriptedClient& client_;
    VirtualServer& server_;
};

VirtualServer::VirtualServer(ServerConfig config, std::unique_ptr<StatsStore> stats)
    : stats_(stats ? std::move(stats) : std::make_unique<MemoryStatsStore>()) {
    const bool print = config.log;
    config.log = true;
    lobby_ = std::make_unique<Lobby>(scheduler_, *stats_, std::move(config),
                                     [this, print](const std::string& line) {
                                         log_.push_back(line);
                                         if (print) std::cerr << line << '\n';
                                     });
    lobby_->SetItems(*ParseItems("type 道具\nitem 7 0 鲜花 10 72 1 1 1 1 0\nown 7 3 2009010112\n"));
}

VirtualServer::~VirtualServer() = default;

bool VirtualServer::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto until = scheduler_.Now() + limit;
    while (!done())
        if (!scheduler_.StepWithin(until)) return done();
    return true;
}

bool VirtualServer::Logged(const std::string& part) const {
    return std::any_of(log_.begin(), log_.end(), [&](const std::string& line) {
        return line.find(part) != std::string::npos;
    });
}

ServerConfig FastConfig() {
    ServerConfig config;
    config.turnTimeout = 3s;
    config.claimTimeout = 2s;
    config.betTimeout = 2s;
    config.settingsTimeout = 3s;
    config.startTimeout = 5s;
    config.botWait = 0ms;
    config.botThink = 0ms;
    config.log = std::getenv("QIRA_TEST_LOG") != nullptr;
    config.seed = 7;
    return config;
}

ServerHarness::ServerHarness(ServerConfig config, std::string databasePath) {
    std::promise<quint16> promise;
    auto future = promise.get_future();
    auto thread = std::make_unique<ServerThread>(std::move(config), std::move(databasePath),
                                                 std::move(promise));
    thread->loopObject.moveToThread(thread.get());
    loopObject_ = &thread->loopObject;
    thread_ = std::move(thread);
    // The server's own event loop, as qira-server runs it; the thread owns it.
    thread_->setEventDispatcher(std::make_unique<EpollDispatcher>().release());
    thread_->start();
    port_ = future.get();
}

void ServerHarness::Stall(std::chrono::milliseconds span) {
    QMetaObject::invokeMethod(
        loopObject_, [span] { QThread::msleep(static_cast<unsigned long>(span.count())); },
        Qt::QueuedConnection);
}

ServerHarness::~ServerHarness() {
    thread_->quit();
    thread_->wait();
}

ScriptedClient::ScriptedClient(std::string name_, Policy policy)
    : name(std::move(name_)), policy_(policy) {}

ScriptedClient::~ScriptedClient() = default;

bool ScriptedClient::Connect(VirtualServer& server, bool allowWatch, const std::string& watch,
                             std::optional<std::string> hello) {
    virtualServer_ = &server;
    link_ = std::make_unique<Link>(*this, server);
    Link& link = *link_;
    const auto helloMessage = hello ? *net::BuildHello(*hello)
                              : secret.empty()
                                  ? *net::BuildHello(watch.empty() ? name : name + "`" + watch)
                                  : *net::BuildHello(name, watch, secret);
    server.scheduler().Post([&server, &link, helloMessage] {
        if (!link.closed) server.lobby().OnHello(link, helloMessage);
    });
    Send(*net::requests::Entry(allowWatch));
    return true;
}

bool ScriptedClient::Connect(quint16 port, bool allowWatch, const std::string& watch) {
    socket_ = std::make_unique<QTcpSocket>();
    socket_->connectToHost(QHostAddress::LocalHost, port);
    if (!socket_->waitForConnected(5000)) return false;
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    const auto hello = secret.empty() ? net::BuildHello(watch.empty() ? name : name + "`" + watch)
                                      : net::BuildHello(name, watch, secret);
    Send(*hello);
    Send(*net::requests::Entry(allowWatch));
    return true;
}

void ScriptedClient::Send(const Bytes& message) {
    if (link_) return link_->Send(message);
    const auto frame = net::FrameMessage(message);
    SendRaw(QByteArray(reinterpret_cast<const char*>(frame.data()),
                       static_cast<qsizetype>(frame.size())));
}

void ScriptedClient::SendRaw(const QByteArray& bytes) {
    if (!socket_ || disconnected_) return;
    socket_->write(bytes);
    socket_->waitForBytesWritten(1000);
}

void ScriptedClient::Close() {
    if (link_) {
        link_->Disconnect();
        disconnected_ = true;
        return;
    }
    if (!socket_) return;
    socket_->disconnectFromHost();
    if (socket_->state() != QAbstractSocket::UnconnectedState) socket_->waitForDisconnected(1000);
    socket_.reset();
    disconnected_ = true;
}

void ScriptedClient::Pump(std::chrono::milliseconds wait) {
    if (virtualServer_) {
        virtualServer_->scheduler().RunFor(wait);
        if (link_->closed) disconnected_ = true;
        return;
    }
    if (!socket_ || disconnected_) return;
    if (socket_->bytesAvailable() == 0) socket_->waitForReadyRead(static_cast<int>(wait.count()));
    buffer_.append(socket_->readAll());
    while (buffer_.size() >= 4) {
        const auto* b = reinterpret_cast<const std::uint8_t*>(buffer_.constData());
        const std::uint32_t size = (std::uint32_t(b[0]) << 24) | (b[1] << 16) | (b[2] << 8) | b[3];
        if (buffer_.size() < static_cast<qsizetype>(4 + size)) break;
        Bytes message(b + 4, b + 4 + size);
        buffer_.remove(0, static_cast<qsizetype>(4 + size));
        OnMessage(message);
    }
    if (socket_->state() == QAbstractSocket::UnconnectedState) disconnected_ = true;
}

bool ScriptedClient::PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    return PumpAll({this}, done, limit);
}

bool ScriptedClient::Disconnected() const {
    return disconnected_ || (link_ && link_->closed);
}

bool PumpAll(const std::vector<ScriptedClient*>& clients, const std::function<bool()>& done,
             std::chrono::milliseconds limit) {
    if (!clients.empty() && clients.front()->virtualServer_)
        return clients.front()->virtualServer_->RunUntil(done, limit);
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        for (ScriptedClient* c : clients) c->Pump(2ms);
    }
    return true;
}

std::optional<Bytes> ScriptedClient::First(int mainType, int subType) const {
    for (const Bytes& m : received_)
        if (m[0] == mainType && (subType < 0 || (m.size() > 1 && m[1] == subType))) return m;
    return std::nullopt;
}

int ScriptedClient::Count(int mainType, int subType) const {
    return static_cast<int>(std::count_if(received_.begin(), received_.end(), [&](const Bytes& m) {
        return m[0] == mainType && (subType < 0 || (m.size() > 1 && m[1] == subType));
    }));
}

std::vector<std::string> FieldsOf(const Bytes& message, std::size_t offset) {
    return net::SplitFields(net::DecodeBody(message, offset));
}

void ScriptedClient::OnMessage(const Bytes& m) {
    received_.push_back(m);
    if (m.empty()) return;
    if (autoPlay && stopAt && stopAt(m)) autoPlay = false;
    const auto me = static_cast<std::uint8_t>(chair);
    const auto fields = FieldsOf(m);
    const auto seat = [&](const std::vector<std::string>& r) {
        if (r.size() == 16 && r[0] == name && r[4].empty()) chair = std::stoi(r[13]) % 4;
    };
    const auto kind = net::ClassifyServerMessage(m);
    if (!kind) return;
    using enum net::ServerMessage;
    switch (*kind) {
        case Identity:
            if (fields.size() == 2) name = fields[0];
            return;
        case UserArrived:
            return seat(fields);
        case UserList: {
            const std::string text = net::DecodeBody(m, 2);
            std::size_t begin = 0;
            while (begin <= text.size()) {
                const auto end = std::min(text.find('\n', begin), text.size());
                seat(net::SplitFields(text.substr(begin, end - begin)));
                begin = end + 1;
            }
            return;
        }
        case Settings:
            if (!autoPlay || fields.size() < 7) return;
            if (fields[3] != "0" && fields[5] != "0") {
                std::vector<std::string> settings(fields.begin() + 7, fields.end());
                Send(*net::requests::ConfirmSettings(name, settings));
            } else if (fields[5] != "0" && fields[6] != "0") {
                Send(*net::requests::RaiseHand(name));
            } else if (fields[5] == "0" && !gameStarted_) {
                Send(*net::requests::RaiseHand(name));
            }
            return;
        case HandRaised:
            if (autoPlay && fields.size() > 1 && fields[0] != name)
                Send(*net::requests::RaiseHand(name));
            return;
        case NewHand:
            handOver = false;
            if (!gameStarted_ && autoPlay) Send(net::requests::HandStarted());
            gameStarted_ = true;
            dealer = m[11];
            wild = m[27];
            phase = net::phase::kSideBets;
            hand.clear();
            melds_.clear();
            if (autoPlay && chair >= 0) Send(net::requests::SideBets(me, bets));
            if (pauseAfterBets) autoPlay = false;
            return;
        case Deal:
            if (m[2] != chair) return;
            hand.assign(m.begin() + 4, m.end());
            turnChair = dealer;
            phase = net::phase::kDrew;
            curTile = m[3];
            if (dealer == chair) PlayOwnTurn();
            return;
        case Draw:
            turnChair = m[2];
            curTile = m[3];
            phase = net::phase::kDrew;
            if (m[2] == chair) {
                hand.push_back(m[3]);
                PlayOwnTurn();
            }
            return;
        case Discarded:
            if (m[2] == chair) {
                const auto it = std::find(hand.begin(), hand.end(), m[3]);
                if (it != hand.end()) hand.erase(it);
            }
            if (m[6] < 4) {
                turnChair = m[6];
                curTile = m[7];
                phase = net::phase::kDrew;
                if (m[6] == chair) {
                    hand.push_back(m[7]);
                    PlayOwnTurn();
                }
            } else {
                turnChair = m[2];
                curTile = m[3];
                phase = net::phase::kDiscarded;
                if (m[2] != chair && autoPlay && chair >= 0) {
                    // Like the client: no win on a discarded wild tile unless ready.
                    const bool wins = policy_ == Policy::DeclareWins && m[3] != wild &&
                                      CanWinWith(HandInfo{hand, melds_, wild, false}, m[3]);
                    Send(wins ? net::requests::Win(me) : net::requests::Pass(me));
                }
            }
            return;
        case MayRobKong:
            if (m.size() == 3 && m[2] == chair && autoPlay)
                Send(net::requests::RobKongAnswer(me, policy_ == Policy::DeclareWins));
            return;
        case HandResync:
            if (m.size() >= 3u + m[2]) hand.assign(m.begin() + 3, m.begin() + 3 + m[2]);
            return;
        case WinRecord:
        case DrawnGame:
            handOver = true;
            phase = net::phase::kIdle;
            return;
        default:
            return;
    }
}

void ScriptedClient::PlayOwnTurn() {
    if (!autoPlay || hand.empty()) return;
    const auto me = static_cast<std::uint8_t>(chair);
    if (policy_ == Policy::DeclareWins && CanWinWith(HandInfo{hand, melds_, wild, false}, curTile))
        return Send(net::requests::Win(me));
    Send(net::requests::Discard(me, hand.back(), 0, 0));
}

std::string FindLeak(const std::vector<Bytes>& received, int own, bool mayWatchOwnChair) {
    const auto hiddenFor = [&](int chair) { return chair != own || !mayWatchOwnChair; };
    for (std::size_t i = 0; i < received.size(); ++i) {
        const Bytes& m = received[i];
        const std::string where =
            "message " + std::to_string(i) + " of type " + std::to_string(m[0]);
        const auto kind = net::ClassifyServerMessage(m);
        if (!kind) continue;
        switch (*kind) {
            case net::ServerMessage::Deal:
                if (m.size() > 3 && hiddenFor(m[2]))
                    for (std::size_t k = 3; k < m.size(); ++k)
                        if (m[k] != rules::kFaceDownTile) return where + ": a dealt tile";
                break;
            case net::ServerMessage::Draw:
                if (m.size() > 3 && hiddenFor(m[2]) && m[3] != rules::kFaceDownTile)
                    return where + ": a drawn tile";
                break;
            case net::ServerMessage::Discarded:
                if (m.size() > 7 && m[6] < 4 && hiddenFor(m[6]) && m[7] != rules::kFaceDownTile)
                    return where + ": a drawn tile";
                break;
            case net::ServerMessage::Konged:
                if (m.size() > 4 && hiddenFor(m[2]) && m[4] != rules::kFaceDownTile)
                    return where + ": a replacement tile";
                if (m.size() > 4 && m[1] == net::phase::kConcealedKong && m[2] != own &&
                    m[3] != rules::kFaceDownTile)
                    return where + ": a concealed kong";
                break;
            case net::ServerMessage::HandResync:
                if (!mayWatchOwnChair)
                    for (std::size_t k = 3; k < m.size(); ++k)
                        if (m[k] != rules::kFaceDownTile) return where + ": a hand tile";
                break;
            default:
                break;
        }
    }
    return {};
}

std::vector<Tile> StackWall(int dealer, const std::array<std::vector<Tile>, 4>& hands,
                            Tile dealerExtra, Tile indicator, const std::vector<Tile>& nextDraws,
                            const std::vector<Tile>& replacements) {
    std::array<int, 39> left{};
    for (int kind = 0; kind < rules::kDistinctTiles; ++kind) left[TileOfKind(kind)] = 4;
    std::vector<Tile> ring(rules::kTilesInSet, 255);
    const auto take = [&](Tile t) {
        if (--left[t] < 0) ADD_FAILURE() << "the stacked wall uses tile " << int(t) << " too often";
        return t;
    };
    for (int r = 0; r < 13; ++r)
        for (int i = 0; i < 4; ++i) ring[4 * r + i] = take(hands[(dealer + i) % 4][r]);
    ring[52] = take(dealerExtra);
    ring[135] = take(indicator);
    std::size_t back = 135;
    for (Tile t : replacements) ring[--back] = take(t);
    std::size_t at = 53;
    for (Tile t : nextDraws) ring[at++] = take(t);
    for (int code = 0; code <= 38; ++code)
        while (left[code] > 0 && at < back) ring[at++] = take(static_cast<Tile>(code));
    return ring;
}

}  // namespace qira::server::testing
