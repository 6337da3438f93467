#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "bots/seat_knowledge.h"
#include "launch/client_exit.h"
#include "launch/globals.h"
#include "net/claims.h"
#include "net/protocol.h"
#include "play/session_interfaces.h"
#include "rules/table_state.h"

namespace qira::play {

// Turn phases (`bytTurnPhase`) as the game messages set them.
namespace phase = net::phase;

enum class MouseButton { Left, Right, Middle };

// The action buttons, left to right: one per claim, in the place its row of
// the claim table gives it.
#define QIRA_ACTION_BUTTON(name, ...) name = net::RowOf(net::ClaimKind::name).button,
enum class ActionButton : std::uint8_t { QIRA_CLAIMS(QIRA_ACTION_BUTTON) };
#undef QIRA_ACTION_BUTTON
inline constexpr int kActionButtonCount = static_cast<int>(std::size(net::kClaimRows));

// The claim a button makes.
inline net::ClaimKind ClaimOf(ActionButton button) {
    return *net::ClaimAtButton(static_cast<std::size_t>(button));
}

// The three centre buttons of the side bets: the first bet adds 1, the second
// adds 2, the third sends the choice made so far.
inline constexpr int kGameButtonCount = 3;
namespace game_button {
inline constexpr std::uint8_t kHidden = 0;
inline constexpr std::uint8_t kNormal = 1;
inline constexpr std::uint8_t kHighlighted = 2;  // under the mouse; set by the view
inline constexpr std::uint8_t kChosen = 3;
}  // namespace game_button

inline constexpr std::string_view kStartCaption = "可以开始";
inline constexpr int kTurnSeconds = 20;
inline constexpr int kClaimSeconds = 10;

// The turn data beside the table state.
struct TurnData {
    rules::TileCode bytReplacementTile = 0;  // the fresh tile after the local player's kong
    bool blnMayWinOnDiscard = false;
    bool blnInputReady = false;
    std::uint8_t bytBetSum = 0;  // side bets chosen this hand, 1 + 2
    std::string strStartCaption{kStartCaption};
    int lngStartCount = 1;                          // the start countdown's count
    Chair bytDrawnTileSeat = rules::kTableNoChair;  // an opponent holding a fresh draw
    Chair bytHighlightChair = rules::kTableNoChair;
    bool blnNewestDiscardShown = false;
    Chair bytNewestDiscardChair = rules::kTableNoChair;
    rules::TileCode bytNewestDiscardTile = 0;
    bool blnBlinkAlternate = false;
};

// The offer of the current evaluation.
struct OfferData {
    std::array<std::uint8_t, kActionButtonCount> bytActionButtons{};  // 1 = available
    std::uint8_t bytOfferedKongKind = 0;
    rules::TileCode bytOfferedKongTile = 0;
    rules::TileCode bytChosenChow = 0;
    // The hint, when the player asked for one: a tile to mark in the hand and
    // a button to light.
    std::optional<rules::TileCode> hintDiscard{};
    std::optional<ActionButton> hintAction{};

    bool Offered(ActionButton button) const {
        return bytActionButtons[static_cast<std::size_t>(button)] != 0;
    }
    bool AnyOffered() const;
};

// At most this many of the server's boxes wait behind the open one; the
// newest then takes the last place, and what its box leads to still happens.
inline constexpr std::size_t kWaitingServerBoxLimit = 3;

// The client's side of one table: applies the server's room and game
// messages to the table state, decides what the local player may do, and
// turns the player's actions into requests. It never touches the screen
// itself; everything visible goes through the interfaces of `SessionHost`.
//
// Modal prompts (message boxes with buttons, the chow chooser) may deliver
// further messages to the session before they return; every path that asks
// checks the turn again afterwards. The animations (the action display, the
// dice) deliver messages too while they wait, but the session holds those
// until the handler that waits has finished, and then handles them in order:
// that handler still has to write the turn it read before the wait.
class ClientSession {
public:
    ClientSession(launch::ClientGlobals globals, std::string programFolder, SessionHost host);

    // --- the connection ---
    void OnConnected();
    void OnMessage(std::span<const std::uint8_t> message);  // routed by main type
    // The connection ended or failed: the program ends.
    void OnConnectionEnded();
    // The main window is unloading for a reason of its own: the session tidies
    // up as for any end of the program and then ignores everything.
    void OnMainWindowUnloading();

    // --- the player ---
    void OnHandTileClick(int position, MouseButton button);  // position counts from 1
    void OnActionButton(int index, MouseButton button);
    void OnGameButtonClick(int index);
    void OnStartButtonClick();
    void OnChatSend(std::span<const std::string> fields);
    void OnUserActivated(std::string_view name);  // without the menu: chat with the user
    // The settings dialog's answer, built by the dialog, sent whole.
    void SendGameSetResult(std::span<const std::uint8_t> request);
    // The user asks to close the window. Returns true when the window closes
    // (the session has then unloaded it); false keeps it open.
    bool OnCloseRequested();

    // --- the clock and the timers ---
    void OnClockWarning();
    void OnClockTimeout();
    void OnStartTimerTick();
    void OnNewestDiscardTick();

    // --- what the views read ---
    const launch::ClientGlobals& globals() const { return globals_; }
    const rules::TableState& table() const { return table_; }
    const TurnData& turn() const { return turn_; }
    const OfferData& offer() const { return offer_; }
    // The latest event of the table in words ("电脑1 打出 五条"), for the
    // status line that a screen reader follows.
    const std::string& statusLine() const { return statusLine_; }
    // Hears every event as it is put in words. Optional: nothing in the
    // session's decisions depends on it.
    void SetAnnouncer(std::function<void(const std::string& words)> announcer) {
        announcer_ = std::move(announcer);
    }
    // Hears why a click could not be played ("还没轮到你出牌"), when the player
    // asked to be told ("出牌不对时给出提示"); the same words become the
    // status line. Optional.
    void SetRefusalListener(std::function<void(const std::string& why)> listener) {
        refusalListener_ = std::move(listener);
    }
    // Identifies the evaluation of the turn that stands; a new one starts
    // with every message that moves the turn.
    std::uint64_t evaluationSerial() const { return evaluationSerial_; }
    // Whether a hand tile may be discarded now (the local player's turn).
    bool MayDiscardNow() const;
    // True once the main window has unloaded; the session then does nothing more.
    bool ended() const { return ended_; }
    // Why the program ends, as its exit status tells whoever started it.
    launch::ClientExit exit() const { return exit_; }
    // When the table sent the player away: why, and what it cost, in words
    // for the player. Empty otherwise.
    const std::string& farewell() const { return farewell_; }

    // The turn logic, run after every message that moves the turn.
    void EvaluateTurn();

private:
    // the road of a message
    void RouteMessage(std::span<const std::uint8_t> message);
    // One receiver per server message of the protocol's table (message_dispatch.cpp).
    template <typename Handler>
    friend bool net::DispatchServerMessage(Handler&, std::span<const std::uint8_t>);
    using Message = std::span<const std::uint8_t>;
    void ReceiveOnlookerArrived(Message m);
    void ReceiveTableReset(Message m);
    void ReceiveUserList(Message m);
    void ReceiveIdentity(Message m);
    void ReceiveUserArrived(Message m);
    void ReceiveWindowHidden(Message m);
    void ReceivePlayerBack(Message m);
    void ReceivePlayerDropped(Message m);
    void ReceiveOnlookerLeft(Message m);
    void ReceiveRefreshUser(Message m);
    void ReceiveUserLeft(Message m);
    void ReceiveSettings(Message m);
    void ReceiveHandRaised(Message m);
    void ReceiveSnapshot(Message m);
    void ReceiveChatLine(Message m);
    void ReceiveNewHand(Message m);
    void ReceiveBetChosen(Message m);
    void ReceiveDeal(Message m);
    void ReceiveReadyForNext(Message m);
    void ReceiveDraw(Message m);
    void ReceiveDiscarded(Message m);
    void ReceiveChowed(Message m);
    void ReceivePunged(Message m);
    void ReceiveKonged(Message m);
    void ReceiveThreeIndicators(Message m);
    void ReceiveMayRobKong(Message m);
    void ReceiveHandResync(Message m);
    void ReceiveWinRecord(Message m);
    void ReceiveDrawnGame(Message m);
    void ReceiveNotice(Message m);
    void ReceiveMustStop(Message m);
    void ReceiveWatchPermission(Message m);
    void ReceiveChatRelay(Message m);
    void ReceiveItemCatalogue(Message m);
    void ReceiveOwnItems(Message m);
    void ReceiveItemNotice(Message m);
    void ReceiveItemUsed(Message m);
    void DeliverHeldMessages();
    // Delivers the held messages before the session asks the player
    // something; false when one of them moved the turn on (or ended the
    // session), so that the question would be stale.
    bool CatchUpBeforePrompt();
    // The action display and the dice, with incoming messages held while they play.
    void PlayActionDisplay(Chair chair, ActionCode code, Tile tile);
    void RollDice(std::uint8_t value);

    // room messages
    void OnOnlookerComes(std::span<const std::string> fields, std::string_view record);
    void OnTableReset();
    void OnWholeUserList(std::string_view text);
    void OnIdentity(std::span<const std::string> fields);
    void OnUserComes(std::span<const std::string> fields, std::string_view record);
    void OnPlayerBack(std::string_view name);
    void OnPlayerDropped(std::string_view name);
    void OnOnlookerLeaves(std::string_view name);
    void OnUserLeaves(std::string_view name);
    void ShowInOutLine(const std::string& line);
    void OnSettingsNegotiation(std::span<const std::string> fields);
    void OnHandRaised(bool allReady, std::span<const std::string> fields);
    void OnTableSnapshot(std::span<const std::uint8_t> message);
    void OnUserListLoaded(std::span<const std::string> names);
    void RepaintSeatWipingOldName(Chair chair);
    bool OpenGameSet(bool deskMaster, std::string_view settings);

    // game messages
    void OnNewHand(std::span<const std::uint8_t> message);
    void OnSideBetsOrDeal(std::span<const std::uint8_t> message);
    void OnReadyForNextHand(std::span<const std::uint8_t> message);
    void OnDraw(std::span<const std::uint8_t> message);
    void OnDiscard(std::span<const std::uint8_t> message);
    void OnChowOrPung(std::span<const std::uint8_t> message, net::ClaimKind claim);
    void OnKong(std::span<const std::uint8_t> message);
    void OnThreeIndicators(std::span<const std::uint8_t> message);
    void OnRobKongOffer(std::span<const std::uint8_t> message);
    void OnHandResync(std::span<const std::uint8_t> message);
    void OnWin(std::span<const std::uint8_t> message);
    void OnDrawnGame(std::span<const std::uint8_t> message);
    void OnServerNotice(std::span<const std::uint8_t> message);
    void OnPlayerMustStop(std::span<const std::uint8_t> message);
    void OnHandVisibility(std::span<const std::uint8_t> message);
    void OnChatMessage(std::span<const std::uint8_t> message);

    // the server's boxes, one open at a time
    struct BoxFollowUp {
        bool evaluateTurn = false;
        std::optional<std::uint64_t> endHand{};  // the hand a drawn game ends, if it still runs
        // Why the server stopped the local player, when it did.
        std::optional<std::string> leaveTable{};
    };
    // A one-button box of the program or the platform's warning box, and
    // what follows once it has closed.
    struct ServerBox {
        GlobalMsg box;
        bool platformWarning = false;
        BoxFollowUp then{};
    };
    void ShowServerBox(ServerBox box);
    void QueueServerBox(ServerBox box);
    void FollowUp(const BoxFollowUp& then);

    // turn flow
    void StartTurnClock(int chair);
    void StopTurnClock();
    void ClearTurnDisplay();
    void ClearTurnHighlight();
    void EndHand();
    void CountAutoPlay();
    void ShowStartButton();
    void HideStartButton();
    void ShowGameButtons();
    void SendSideBets();
    void ShowNewestDiscard(Chair chair, rules::TileCode tile);
    void HideNewestDiscard();
    void ClearActionButtons();
    void SetDrawnTileSeat(Chair chair);
    void RepaintOtherHands();
    void ResetTable();
    void ResetForNewHand(rules::ReadyFlags ready);

    // player actions
    void SendDiscard(rules::TileCode tile);
    void OfferClaims();
    void OfferOwnTurnActions();
    void AskRobKong();
    bool AskThreeIndicators();  // true when the kong request went out
    rules::TileCode FreshTile() const;
    void DeclineOffers(bool kongOffered, bool winOffered);
    // Marks what the expert would do, when the player asked for hints.
    void ShowHint(bool ownTurn);
    // Why no hand tile may be discarded now; empty when one may.
    std::string WhyNoDiscard() const;
    void ExplainRefusal(std::string why);

    // the program's end
    void CloseMainWindow(launch::ClientExit why);
    void LeaveTable(const std::string& why);  // the table sends the player away
    std::string CostOfLeaving() const;
    void RememberEscapePenalty(std::span<const std::string> settings);
    void RunUnloadSteps();

    // helpers
    void Announce(std::string words);
    void AnnounceOwnTurn();
    void AnnounceWinners(const net::WinRecord& record);
    void Send(std::span<const std::uint8_t> request);
    bool IsMyChair(Chair chair) const { return chair == table_.bytMyChair; }
    bool IsOnlooker() const { return globals_.blnIsWatcher; }
    std::uint8_t SeatPos(Chair chair) const;
    int FindChairOf(std::string_view name) const;  // -1 when no chair holds the name
    static GlobalMsg OneButtonBox(std::string note, std::string caption);
    bool ShowOneButtonBox(std::string note, std::string caption);
    bool ShowPrompt(const GlobalMsg& box);  // a box with buttons: waits for the answer
    const std::string& GameTitle() const { return globals_.launch.strGameTitle; }

    launch::ClientGlobals globals_;
    std::string programFolder_;
    SessionHost host_;
    rules::TableState table_;
    // What the player's seat knows, from the same messages: the hint's view.
    bots::SeatKnowledge knowledge_;
    TurnData turn_;
    OfferData offer_;
    bool ended_ = false;
    bool connectionWasUp_ = false;  // a connection that ends had come up: a drop
    bool admitted_ = false;         // the room has spoken: the server let the user in
    std::string refusal_;           // a notice before that, telling why it may not
    std::string statusLine_;
    std::function<void(const std::string&)> announcer_;
    std::function<void(const std::string&)> refusalListener_;
    launch::ClientExit exit_ = launch::ClientExit::ClosedByPlayer;
    std::string farewell_;
    std::optional<std::int32_t> escapePenalty_;  // as the table's settings last said
    // Counts evaluations and hands, so that a path that waited on a modal
    // prompt can tell whether a later message has taken over meanwhile.
    std::uint64_t evaluationSerial_ = 0;
    std::uint64_t handSerial_ = 0;
    // Messages that arrived while a handler waited for an animation, in order.
    int displayWaits_ = 0;
    std::deque<std::vector<std::uint8_t>> heldMessages_;
    // A box of the server's waits in a nested loop that delivers the next
    // message: the boxes those open wait behind it instead of nesting.
    bool serverBoxOpen_ = false;
    std::deque<ServerBox> waitingServerBoxes_;
    // The turn's questions are never stacked on themselves either.
    bool robKongQuestionOpen_ = false;
    bool threeIndicatorQuestionOpen_ = false;
};

}  // namespace qira::play
