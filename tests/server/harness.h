#pragma once

#include <QTcpSocket>
#include <QThread>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "net/packet.h"
#include "server/core/lobby.h"
#include "server/core/scheduler.h"
#include "server/core/server_config.h"
#include "server/core/stats_store.h"
#include "server/core/tiles.h"

namespace qira::server::testing {

using net::Bytes;
using namespace std::chrono_literals;

// A whole server (lobby, tables, computer players, TCP listener) on its own
// thread and event loop, listening on a free loopback port.
class ServerHarness {
public:
    // An empty database path keeps the statistics in memory.
    explicit ServerHarness(ServerConfig config, std::string databasePath = {});
    ~ServerHarness();
    ServerHarness(const ServerHarness&) = delete;
    ServerHarness& operator=(const ServerHarness&) = delete;

    quint16 port() const { return port_; }
    // Blocks the server's event loop for `span`, as a handler that takes too
    // long would; returns at once.
    void Stall(std::chrono::milliseconds span);

private:
    std::unique_ptr<QThread> thread_;
    QObject* loopObject_ = nullptr;  // lives on the server's thread
    quint16 port_ = 0;
};

// The same server in this process on virtual time: clients are in-process
// links, and a wait is a jump of the clock, so tests are deterministic and
// take milliseconds.
class VirtualServer {
public:
    explicit VirtualServer(ServerConfig config, std::unique_ptr<StatsStore> stats = nullptr);
    ~VirtualServer();
    VirtualServer(const VirtualServer&) = delete;
    VirtualServer& operator=(const VirtualServer&) = delete;

    Lobby& lobby() { return *lobby_; }
    ManualScheduler& scheduler() { return scheduler_; }
    // Runs until `done` holds or `limit` of virtual time has passed.
    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);
    // Every log line so far.
    const std::vector<std::string>& log() const { return log_; }
    bool Logged(const std::string& part) const;

private:
    ManualScheduler scheduler_;
    std::unique_ptr<StatsStore> stats_;
    std::vector<std::string> log_;
    std::unique_ptr<Lobby> lobby_;
};

// Short clocks so that tests never wait long for a time-out.
ServerConfig FastConfig();

// A client that speaks the real protocol over a blocking socket and keeps
// everything it received.
class ScriptedClient {
public:
    enum class Policy { PassAndDiscardDrawn, DeclareWins };

    explicit ScriptedClient(std::string name, Policy policy = Policy::PassAndDiscardDrawn);
    ~ScriptedClient();

    // Over TCP to a ServerHarness.
    bool Connect(quint16 port, bool allowWatch = false, const std::string& watch = {});
    // In process to a VirtualServer; `hello` replaces the hello frame's text.
    bool Connect(VirtualServer& server, bool allowWatch = false, const std::string& watch = {},
                 std::optional<std::string> hello = std::nullopt);
    void Send(const Bytes& message);
    void SendRaw(const QByteArray& bytes);
    void Close();
    // Reads whatever has arrived within `wait`, playing along as it goes.
    void Pump(std::chrono::milliseconds wait = 5ms);
    // Pumps until `done` holds or the time is up.
    bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 20s);
    bool Disconnected() const;

    // Finds the first received message of the main type (and sub type).
    std::optional<Bytes> First(int mainType, int subType = -1) const;
    int Count(int mainType, int subType = -1) const;
    const std::vector<Bytes>& received() const { return received_; }

    std::string name;
    std::string secret;  // the hello's third field when not empty
    int chair = -1;
    bool autoPlay = true;         // answer the table as a client would
    bool pauseAfterBets = false;  // stop answering once the side bets are sent
    std::uint8_t bets = 0;        // the side bets chosen for every hand
    // Stops answering (autoPlay false) from the first message it holds for.
    std::function<bool(const Bytes&)> stopAt;
    bool handOver = false;  // a 23 or 27 arrived
    std::vector<Tile> hand;
    int dealer = -1;
    Tile wild = 0;
    int turnChair = -1;
    int phase = 100;
    Tile curTile = 0;

private:
    friend bool PumpAll(const std::vector<ScriptedClient*>& clients,
                        const std::function<bool()>& done, std::chrono::milliseconds limit);
    class Link;
    void OnMessage(const Bytes& m);
    void PlayOwnTurn();

    Policy policy_;
    VirtualServer* virtualServer_ = nullptr;
    std::unique_ptr<Link> link_;
    std::unique_ptr<QTcpSocket> socket_;
    QByteArray buffer_;
    std::vector<Bytes> received_;
    std::vector<Meld> melds_;
    bool disconnected_ = false;
    bool gameStarted_ = false;
};

// Pumps several clients in turn until `done` holds.
bool PumpAll(const std::vector<ScriptedClient*>& clients, const std::function<bool()>& done,
             std::chrono::milliseconds limit = 30s);

// Every message position that would carry a tile the client may not know
// holds the hidden code. Returns a description of the first leak, or "".
std::string FindLeak(const std::vector<Bytes>& received, int ownChair,
                     bool mayWatchOwnChair = true);

// A wall in draw order: four 13-tile hands from the dealer on, the dealer's
// fourteenth tile, then `nextDraws`, everything else in code order, the kong
// replacements (`replacements`, first drawn first) and the indicator last. A
// tile used more than four times is a failure of the calling test.
std::vector<Tile> StackWall(int dealer, const std::array<std::vector<Tile>, 4>& hands,
                            Tile dealerExtra, Tile indicator,
                            const std::vector<Tile>& nextDraws = {},
                            const std::vector<Tile>& replacements = {});

// The fields of a text message from `offset`.
std::vector<std::string> FieldsOf(const Bytes& message, std::size_t offset = 2);

}  // namespace qira::server::testing
