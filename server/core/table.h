#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "bots/seat_knowledge.h"
#include "net/packet.h"
#include "server/core/bot_brain.h"
#include "server/core/claim_window.h"
#include "server/core/hand_state.h"
#include "server/core/live_view.h"
#include "server/core/refusal.h"
#include "server/core/request_parser.h"
#include "server/core/scheduler.h"
#include "server/core/seating.h"
#include "server/core/user.h"

namespace qira::server {

class Lobby;

// One table of four chairs with its onlookers, the settings negotiation and
// the hands played at it. Everything a client asks of its table arrives in
// OnRequest; everything the table says goes out through the users' peers.
//
// The work is spread over files by question: table.cpp (what goes to whom),
// table_seating.cpp (who sits, settings, readiness), table_requests.cpp (what
// a request may do now), table_hand.cpp (the hand's moves), table_clock.cpp
// (time-outs and play for absent players).
class Table {
public:
    Table(Lobby& lobby, int number);
    ~Table();
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;

    int number() const { return number_; }
    int FreeChair() const { return seating_.FreeChair(); }
    bool HasHuman() const { return seating_.HasHuman(); }
    bool HandRunning() const { return hand_.Running(); }
    int HandsPlayed() const { return handsPlayed_; }
    User* PlayerAt(int chair) const { return seating_.players[chair]; }
    std::span<User* const> Onlookers() const { return seating_.onlookers; }

    void SeatPlayer(User& user, int chair);
    void AddOnlooker(User& user);
    // The user's connection is gone: a player keeps the chair while a hand runs.
    void OnConnectionLost(User& user);
    void OnReconnected(User& user);
    // The user leaves the table for good.
    void RemoveUser(User& user, bool escaped);
    void LeaveRunningHand(User& user, bool playSoon);
    void OnRequest(User& user, std::span<const std::uint8_t> message);

    // Computer players take every empty chair.
    void FillWithBots();
    // A table of computer players only goes on after its last human left.
    void KeepWithoutHumans() { keepWithoutHumans_ = true; }
    // Every user leaves; the table is about to close.
    std::vector<User*> Everyone() const { return seating_.Everyone(); }
    // The table closes: its clocks stop and nobody sits down any more (it is
    // destroyed a moment later, after its users were let go).
    void Close();

    std::string RecordOf(const User& user) const;
    // Everyone at the table is told the user's numbers again.
    void RefreshRecordOf(const User& user) const;
    // A line from the system in everyone's chat.
    void Announce(const std::string& line) const;
    // What the chair's player may know of the running hand, and the view the
    // server plays the chair's turn from when the player is gone.
    bots::SeatKnowledge KnowledgeOf(int chair) const;
    BotView ViewOf(int chair) const;
    // The table as an outsider may see it.
    LiveTable LiveView() const;

private:
    // --- what goes to whom (table.cpp) ---
    void SendTo(const User& user, const net::Bytes& message) const;
    void SendAll(const net::Bytes& message) const;
    void SendAllExcept(const User& except, const net::Bytes& message) const;
    // The chair's player (and onlookers allowed to look) get `real`, everybody
    // else `hidden` (nothing when it is empty).
    void SendPrivate(int chair, const net::Bytes& real, const net::Bytes& hidden) const;
    void SendWelcome(User& user);
    void SendSettingsOffer(User& user);
    net::Bytes SnapshotFor(const User& user) const;
    void ResyncHiddenOnlookers(int chair) const;
    void Log(const std::string& text) const;
    // A line about the user's requests, within what its connection may log.
    void LogAbout(User& user, const std::string& text) const;
    void LogPendingMove() const;

    // --- who sits, settings, readiness (table_seating.cpp) ---
    void RemoveOnlooker(User& user);
    void RemovePlayer(User& user);
    void ChooseOwner();
    void OnSettingsConfirmed(User& user, std::span<const std::string> settings);
    void OnRaiseHand(User& user);
    void OnReadyForNext(User& user);
    bool HoldUntilHumansReady(const User& user);
    void ReleaseHeldReadiness();
    void MaybeStartHand();
    void ArmBotFill();
    void ReplaceWithBot(int chair);

    // --- what a request may do now (table_requests.cpp) ---
    void Refuse(User& user, std::span<const std::uint8_t> message, Refusal why) const;
    // A claim that arrives after its window closed: not an error.
    void Late(User& user, std::span<const std::uint8_t> message) const;
    // What became of a request: done, refused, or a claim too late to count.
    struct LateClaim {};
    using Outcome = std::variant<std::monostate, Refusal, LateClaim>;
    void Conclude(User& user, std::span<const std::uint8_t> message, Outcome outcome) const;
    void HandleRoom(User& user, const ParsedRequest& request, std::span<const std::uint8_t> m);
    void HandleGame(User& user, const ParsedRequest& request, std::span<const std::uint8_t> m);
    void HandlePreference(User& user, const ParsedRequest& request);
    void HandleResync(User& user, const ParsedRequest& request, std::span<const std::uint8_t> m);
    Outcome HandlePlay(int chair, const ParsedRequest& request);
    Outcome HandleSideBets(int chair, const ParsedRequest& request);
    Outcome HandleDiscard(int chair, const ParsedRequest& request);
    Outcome HandleChowOrPung(int chair, const ParsedRequest& request);
    Outcome HandleKong(int chair, const ParsedRequest& request);
    Outcome HandleWin(int chair);
    Outcome HandlePass(int chair);
    Outcome HandleRobAnswer(int chair, const ParsedRequest& request);
    Outcome HandleThreeIndicators(int chair);
    std::optional<Refusal> ChatAllowed(User& user, const std::string& text) const;
    void RelayChat(User& user, const ParsedRequest& request, std::span<const std::uint8_t> m);
    void KeepChatLine(std::vector<std::string> fields);
    void SendEarlierChat(const User& user) const;
    bool UseItem(const User& user, const std::string& arguments);

    // --- the hand's moves (table_hand.cpp) ---
    void StartHand();
    void Deal();
    void BeginTurn(int chair, TurnKind kind, std::uint8_t phase, Tile curTile, Tile fresh);
    void DrawFor(int chair);
    void OnDiscard(int chair, Tile tile, std::uint8_t tingDeclaration);
    void DiscardAndDrawNext(int chair, Tile tile, std::uint8_t ting);
    ClaimOptions OptionsFor(int chair, int discarder, Tile tile) const;
    void OnClaim(int chair, Claim claim);
    void TryResolveClaims();
    void ResolveClaims();
    bool MayClaimWinOn(int chair, Tile tile) const;
    // The kong the chair's client offers on this turn, if any.
    std::optional<Meld> OwnKongOffer(int chair) const;
    void DoChow(int chair, Tile lowest);
    void DoPung(int chair);
    void DoKong(int chair, MeldKind kind, Tile tile, int source);
    void OnOwnKong(int chair, MeldKind kind, Tile tile);
    bool OpenRobWindow(int konger, Tile tile);
    void OnRobAnswer(int chair, bool rob);
    void FinishRob();
    void OnThreeIndicators(int chair);
    void OnSelfWin(int chair);
    void EndWithWin(std::vector<std::uint8_t> winners, int discarder, Tile tile);
    void EndDrawn();
    SeatKind KindOfSeat(int chair) const;
    void ReportHand(const std::vector<std::uint8_t>& winners, int discarder,
                    const std::array<std::int32_t, 4>& due) const;
    // Stores the hand's statistics, then (AfterHandStored) runs `announce`,
    // which tells the table the result, and readies the next hand.
    void FinishHand(const std::vector<std::uint8_t>& winners,
                    const std::array<std::int32_t, 4>& actual,
                    const std::array<std::int32_t, 4>& due, const std::string& ending,
                    std::function<void()> announce);
    void AfterHandStored(const std::vector<std::uint8_t>& winners, const std::string& ending,
                         const std::vector<std::string>& escaped,
                         const std::map<std::string, UserStats>& after,
                         const std::function<void()>& announce);
    // The hand's record for the hand log; it holds every hidden tile, so it
    // only goes to the statistics store, never to a client.
    std::string HandLog(const std::vector<std::uint8_t>& winners,
                        const std::array<std::int32_t, 4>& actual,
                        const std::array<std::int32_t, 4>& due) const;
    std::string ScoreLog() const;
    HandResult ResultFor(const std::vector<std::uint8_t>& winners, bool won, int chair) const;
    // Names in `escaped` the players whose connection is gone.
    std::vector<StatsChange> StatisticsChanges(const std::vector<std::uint8_t>& winners,
                                               const std::array<std::int32_t, 4>& actual,
                                               std::vector<std::string>& escaped) const;

    // --- time-outs and play for absent players (table_clock.cpp) ---
    void ArmTimer(Milliseconds delay);
    void CancelTimer();
    void OnTimeout();
    void TimeOutSettings();
    void TimeOutStart();
    void TimeOutBets();
    // Plays for a chair whose player is gone or too slow.
    void ActFor(int chair);
    void ChooseNoBetsFor(int chair);
    void PlayTurnFor(int chair, std::uint32_t brainSeed);
    bool NeedsServerPlay(int chair) const;
    void CountAutoPlay(int chair);
    void PlayForAbsentSoon(int chair);

    Lobby& lobby_;
    int number_;
    Seating seating_;
    bool settingsAgreed_ = false;
    std::array<int, 6> settings_{};
    int handsPlayed_ = 0;

    HandState hand_;
    ClaimWindow claims_;
    RobKongWindow rob_;

    std::optional<Scheduler::TimerId> timer_;
    Milliseconds timerDeadline_{0};
    std::optional<Scheduler::TimerId> botFillTimer_;
    std::uint64_t epoch_ = 0;  // guards posted plays against a changed table
    bool keepWithoutHumans_ = false;
    bool closed_ = false;
    // A player's move whose line is logged once it is not refused.
    struct PendingMove {
        User* user = nullptr;
        std::string line;
    };
    mutable PendingMove pendingMove_;
    // The last lines said to the whole table, for a player who comes back.
    std::deque<std::vector<std::string>> earlierChat_;
    // Posted tasks hold a weak reference and do nothing once the table is gone.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace qira::server
