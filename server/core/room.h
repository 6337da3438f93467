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
#include "server/core/bot_brain.h"
#include "server/core/items_data.h"
#include "server/core/peer.h"
#include "server/core/scheduler.h"
#include "server/core/server_config.h"
#include "server/core/stats_store.h"
#include "server/core/tiles.h"
#include "server/core/wall.h"

namespace qira::server {

class Lobby;
class Table;
class BotClient;

// Log lines on standard error: who joined, hands started and ended,
// protocol errors.
class Logger {
public:
    explicit Logger(bool enabled) : enabled_(enabled) {}
    void Line(const std::string& text) const;
    bool enabled() const { return enabled_; }

private:
    bool enabled_;
};

struct User {
    std::string name;
    Peer* peer = nullptr;  // null while the user's connection is gone
    bool isBot = false;
    bool allowWatch = false;
    Table* table = nullptr;
    int chair = -1;       // -1 for an onlooker
    std::string watched;  // an onlooker's player
    UserStats stats;
    int portrait = 0;
};

// One table of four chairs with its onlookers, the settings negotiation and
// the hands played at it. Everything a client asks of its table arrives in
// OnRequest; everything the table says goes out through the users' peers.
class Table {
public:
    enum class ClaimType { None, Pass, Chow, Pung, Kong, Win };

    Table(Lobby& lobby, int number);
    ~Table();
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;

    int number() const { return number_; }
    int FreeChair() const;  // -1 when the four chairs are taken
    bool HasHuman() const;
    bool HandRunning() const { return stage_ != Stage::Setup && stage_ != Stage::Idle; }
    int HandsPlayed() const { return handsPlayed_; }
    User* PlayerAt(int chair) const { return seats_[chair].user; }
    std::span<User* const> Onlookers() const { return onlookers_; }

    void SeatPlayer(User& user, int chair);
    void AddOnlooker(User& user);
    // The user's connection is gone: a player keeps the chair while a hand runs.
    void OnConnectionLost(User& user);
    void OnReconnected(User& user);
    // The user leaves the table for good.
    void RemoveUser(User& user, bool escaped);
    void OnRequest(User& user, std::span<const std::uint8_t> message);

    // Computer players take every empty chair.
    void FillWithBots();
    // A table of computer players only goes on after its last human left.
    void KeepWithoutHumans() { keepWithoutHumans_ = true; }
    // Every user leaves; the table is about to close.
    std::vector<User*> Everyone() const;

    std::string RecordOf(const User& user) const;

private:
    enum class Stage { Setup, Idle, Bets, Turn, Claim, RobKong };
    enum class TurnKind { Draw, Replacement, Claimed };
    struct Seat {
        User* user = nullptr;
        std::vector<Tile> hand;
        std::vector<Meld> melds;
        std::vector<Tile> discards;
        std::uint8_t bets = net::kBetsNotChosen;
        bool ting = false;
        bool noWin = false;
        bool discardWinBarred = false;  // passed a win since the last own draw
        bool ready = false;
        // A computer player said it is ready while a human at the table was
        // not yet: it counts as ready once every human is.
        bool readyHeld = false;
        int autoPlays = 0;
        int concealedKongs = 0;
        int exposedKongs = 0;
        std::uint8_t indicatorKong = 0;
        bool wildKong = false;
        bool hasDiscarded = false;
        bool playedForByServer = false;  // removed at the automatic-play limit
    };
    struct ClaimOptions {
        bool win = false, kong = false, pung = false;
        std::vector<Tile> chows;
        bool Any() const { return win || kong || pung || !chows.empty(); }
    };
    struct Claim {
        ClaimType type = ClaimType::None;
        Tile tile = 0;
    };

    // --- sending ---
    void SendTo(const User& user, const net::Bytes& message) const;
    void SendAll(const net::Bytes& message) const;
    void SendAllExcept(const User& except, const net::Bytes& message) const;
    // The chair's player (and onlookers allowed to look) get `real`, everybody
    // else `hidden` (nothing when it is empty).
    void SendPrivate(int chair, const net::Bytes& real, const net::Bytes& hidden) const;
    bool MaySeeHand(const User& onlooker) const;
    int ChairOf(const std::string& name) const;
    void SendWelcome(User& user);
    void SendSettingsOffer(User& user);
    net::Bytes BuildSnapshot(int viewedChair, bool handVisible) const;
    std::vector<Tile> HandAsSeenBy(int chair, bool visible) const;
    void ResyncHiddenOnlookers(int chair) const;

    // --- setup and hand boundaries ---
    void ChooseOwner();
    void OnSettingsConfirmed(User& user, std::span<const std::string> fields);
    void OnRaiseHand(User& user);
    void OnReadyForNext(User& user);
    bool AllReady() const;
    bool HumansReady() const;
    bool HoldUntilHumansReady(const User& user);
    void ReleaseHeldReadiness();
    void MaybeStartHand();
    void StartHand();
    void Deal();
    void ReportHand(const std::vector<std::uint8_t>& winners, int discarder,
                    const std::array<std::int32_t, 4>& due) const;
    void FinishHand(const std::vector<std::uint8_t>& winners,
                    const std::array<std::int32_t, 4>& actual);
    void ArmBotFill();
    void ReplaceWithBot(int chair);

    // --- play ---
    void BeginTurn(int chair, TurnKind kind, std::uint8_t phase, Tile curTile, Tile fresh);
    void DrawFor(int chair);
    void OnDiscard(int chair, Tile tile, std::uint8_t tingDeclaration);
    ClaimOptions OptionsFor(int chair, Tile tile) const;
    void OnClaim(int chair, Claim claim);
    void TryResolveClaims(bool timedOut);
    void DoChow(int chair, Tile lowest);
    void DoPung(int chair);
    void DoKong(int chair, MeldKind kind, Tile tile, int source);
    void OnOwnKong(int chair, MeldKind kind, Tile tile);
    void OnRobAnswer(int chair, bool rob);
    void FinishRob();
    void OnThreeIndicators(int chair);
    void OnSelfWin(int chair);
    void EndWithWin(std::vector<std::uint8_t> winners, int discarder, Tile tile);
    void EndDrawn();

    // --- clocks and computer play ---
    void ArmTimer(Milliseconds delay);
    void CancelTimer();
    void OnTimeout();
    // Plays for a chair whose player is gone or too slow.
    void ActFor(int chair);
    BotView ViewOf(int chair) const;
    bool NeedsServerPlay(int chair) const;
    void CountAutoPlay(int chair);
    void PlayForAbsentSoon(int chair);

    void Refuse(const User& user, std::span<const std::uint8_t> message,
                const std::string& why) const;
    // A claim that arrives after its window closed: not an error.
    void Late(const User& user, std::span<const std::uint8_t> message) const;
    void HandleGame(User& user, std::span<const std::uint8_t> message);
    void HandleRoom(User& user, std::span<const std::uint8_t> message);
    void RelayChat(User& user, std::span<const std::uint8_t> message);

    Lobby& lobby_;
    int number_;
    std::array<Seat, rules::kChairCount> seats_{};
    std::vector<User*> onlookers_;
    User* owner_ = nullptr;
    bool settingsAgreed_ = false;
    std::array<int, 6> settings_{};
    int handsPlayed_ = 0;

    Stage stage_ = Stage::Setup;
    Wall wall_;
    std::uint8_t dealer_ = 0;
    std::uint8_t dice_ = 1;
    Tile indicator_ = 0;
    Tile wild_ = 0;
    int turn_ = 0;
    TurnKind turnKind_ = TurnKind::Draw;
    std::uint8_t phase_ = net::phase::kDrew;
    Tile curTile_ = 0;
    Tile fresh_ = 0;
    int discardCount_ = 0;
    bool discardAfterKong_ = false;
    std::uint8_t lastWinnerDealer_ = 0;

    // the claim window
    int discarder_ = 0;
    Tile discard_ = 0;
    std::array<ClaimOptions, rules::kChairCount> options_{};
    std::array<Claim, rules::kChairCount> claims_{};
    // Passes still to come from clients that had nothing to claim.
    std::array<int, rules::kChairCount> courtesyPasses_{};
    // the rob-the-kong window
    std::array<bool, rules::kChairCount> robPending_{};
    std::array<int, rules::kChairCount> robAnswer_{};  // -1 open, 0 no, 1 rob
    Tile robTile_ = 0;

    std::optional<Scheduler::TimerId> timer_;
    std::optional<Scheduler::TimerId> botFillTimer_;
    std::uint64_t epoch_ = 0;  // guards posted plays against a changed table
    bool keepWithoutHumans_ = false;
    // Posted tasks hold a weak reference and do nothing once the table is gone.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

// The room server: users by connection, their tables, the computer players.
class Lobby {
public:
    Lobby(Scheduler& scheduler, StatsStore& stats, ServerConfig config);
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
        std::map<std::string, std::uint64_t> winsByName;
        // FNV-1a over every hand's opening and closing message: equal digests
        // mean the same hands were played.
        std::uint64_t digest = 14695981039346656037ull;
    };
    const Tally& tally() const { return tally_; }
    void CountHand(const std::vector<std::string>& winnerNames, bool selfDrawn);
    void FoldIntoDigest(const net::Bytes& message);
    void CountTimeout() { ++tally_.timeouts; }
    void CountRefusal() { ++tally_.refused; }

    // --- used by tables ---
    User& AddBot(Table& table, int chair, BotStyle style);
    void ForgetUser(User& user);  // the user has left its table
    std::size_t UserCount() const { return users_.size(); }
    std::size_t TableCount() const { return tables_.size(); }
    void CloseTableIfEmpty(Table& table);

private:
    struct PendingHello {
        std::string name;
        std::string watch;
    };
    void Enter(Peer& peer, const PendingHello& hello, std::span<const std::uint8_t> entry);
    std::string UniqueName(const std::string& wanted) const;
    User* FindUser(const std::string& name) const;
    Table& TableForNewPlayer();

    Scheduler& scheduler_;
    StatsStore& stats_;
    ServerConfig config_;
    Logger logger_;
    std::mt19937 random_;
    ItemsData items_;
    std::map<Peer*, PendingHello> pending_;
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
};

}  // namespace qira::server
