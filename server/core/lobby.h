#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "net/packet.h"
#include "rules/table_state.h"
#include "server/core/bot_brain.h"
#include "server/core/directory.h"
#include "server/core/hello.h"
#include "server/core/items_data.h"
#include "server/core/live_view.h"
#include "server/core/logger.h"
#include "server/core/peer.h"
#include "server/core/refusal.h"
#include "server/core/scheduler.h"
#include "server/core/server_config.h"
#include "server/core/stats_store.h"
#include "server/core/user.h"

namespace qira::server {

class Table;
class BotClient;

// The room server: users by connection, their tables, the computer players.
class Lobby {
public:
    Lobby(Scheduler& scheduler, StatsStore& stats, ServerConfig config, Logger::Sink logSink = {});
    ~Lobby();
    Lobby(const Lobby&) = delete;
    Lobby& operator=(const Lobby&) = delete;

    // A link introduced itself with the hello frame's message.
    void OnHello(Peer& peer, std::span<const std::uint8_t> hello);
    void OnMessage(Peer& peer, std::span<const std::uint8_t> message);
    void OnDisconnected(Peer& peer);

    // A table of four computer players that starts at once (self-play, soak).
    Table& OpenBotTable(std::span<const BotStyle> styles);
    // Changes how a computer player chooses from now on (self-play rotates them).
    void SetBotStyle(const User& user, BotStyle style);

    // What one finished hand came to, for self-play's figures.
    struct HandSummary {
        std::array<const User*, rules::kChairCount> players{};
        std::vector<std::uint8_t> winners;  // none for a drawn game
        int discarder = -1;                 // the chair that dealt in; -1 when nobody did
        std::array<std::int32_t, rules::kChairCount> due{};  // the score before any balance cap
    };
    void SetHandObserver(std::function<void(const HandSummary&)> observer) {
        handObserver_ = std::move(observer);
    }
    void ReportHand(const HandSummary& summary) const {
        if (handObserver_) handObserver_(summary);
    }

    Scheduler& scheduler() { return scheduler_; }
    StatsStore& stats() { return stats_; }
    const ServerConfig& config() const { return config_; }
    const Logger& log() const { return logger_; }
    std::mt19937& random() { return random_; }
    const ItemsData& items() const { return items_; }
    void SetItems(ItemsData items) { items_ = std::move(items); }

    // Hands finished anywhere, and how they ended, for self-play reports.
    struct Tally {
        std::uint64_t hands = 0, drawn = 0, selfDrawn = 0, onDiscard = 0, timeouts = 0, refused = 0;
        RefusalCounts refusedBy{};
        std::map<std::string, std::uint64_t> winsByName;
        std::array<std::uint64_t, 3> wildDiscardWins{};  // by SeatKind
        // FNV-1a over every hand's opening and closing message: equal digests
        // mean the same hands were played.
        std::uint64_t digest = 14695981039346656037ull;
    };
    const Tally& tally() const { return tally_; }
    void CountHand(const std::vector<std::string>& winnerNames, bool selfDrawn);
    void FoldIntoDigest(const net::Bytes& message);
    void CountTimeout() { ++tally_.timeouts; }
    void CountWildDiscardWin(SeatKind kind) {
        ++tally_.wildDiscardWins[static_cast<std::size_t>(kind)];
    }
    void CountRefusal(Refusal why);

    // --- used by tables ---
    User& AddBot(Table& table, int chair, BotStyle style);
    void ForgetUser(User& user);  // the user has left its table
    void DetachPeer(User& user);  // the user's link no longer speaks for it
    // The user's connection keeps sending refused requests: it is closed.
    void CloseFlooding(User& user);
    std::size_t UserCount() const { return users_.size(); }
    std::size_t TableCount() const { return tables_.size(); }
    // Every open table as an outsider may see it, by number.
    std::vector<LiveTable> LiveTables() const;
    void CloseTableIfEmpty(Table& table);
    // What the directory of servers is told about this one.
    Presence CurrentPresence() const;
    // Asks the store to try the statistics that wait again, after a while.
    void RetryStatisticsLater();

private:
    using PendingHello = Hello;
    void RefuseLink(Peer& peer, Refusal why);
    bool NameTaken(const std::string& name) const;
    bool TableFullOfOnlookers(const std::string& watched) const;
    bool TooBusyForNewcomers();
    void Enter(Peer& peer, const PendingHello& hello, std::span<const std::uint8_t> entry);
    bool Reconnect(Peer& peer, const PendingHello& hello, bool allowWatch);
    void Admit(Peer& peer, std::unique_ptr<User> user, const PendingHello& hello);
    std::string UniqueName(const std::string& wanted) const;
    User* FindUser(const std::string& name) const;
    Table& TableForNewPlayer();
    void LogSuppressed(User& user);
    void OnStoreReport(const StoreReport& report);

    Scheduler& scheduler_;
    StatsStore& stats_;
    ServerConfig config_;
    Logger logger_;
    std::mt19937 random_;
    ItemsData items_;
    std::map<Peer*, PendingHello> pending_;
    // New users whose numbers the store is loading.
    struct Entering {
        std::unique_ptr<User> user;
        PendingHello hello;
        std::uint64_t serial = 0;
    };
    std::map<Peer*, Entering> entering_;
    std::uint64_t lastEntrySerial_ = 0;
    std::map<Peer*, User*> byPeer_;
    std::vector<std::unique_ptr<User>> users_;
    std::vector<std::unique_ptr<Table>> tables_;
    std::map<const User*, std::unique_ptr<BotClient>> bots_;
    int nextTableNumber_ = 1;
    int nextBotNumber_ = 1;
    Tally tally_;
    std::function<void(const HandSummary&)> handObserver_;
    std::vector<std::unique_ptr<Table>> closing_;  // closed, gone after the current task
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    std::optional<Scheduler::TimerId> statsRetry_;
    std::string lastStatsFault_;
    Milliseconds lastBusyLog_{Milliseconds::min() / 2};
};

}  // namespace qira::server
