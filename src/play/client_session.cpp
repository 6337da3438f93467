#include "play/client_session.h"

#include <algorithm>
#include <utility>

#include "net/packet.h"
#include "net/requests.h"
#include "play/text_fields.h"

namespace qira::play {
namespace {

// Counts a display that is waiting, for as long as it waits.
class CountedWait {
public:
    explicit CountedWait(int& waits) : waits_(waits) { ++waits_; }
    ~CountedWait() { --waits_; }
    CountedWait(const CountedWait&) = delete;
    CountedWait& operator=(const CountedWait&) = delete;

private:
    int& waits_;
};

}  // namespace

bool OfferData::AnyOffered() const {
    return std::any_of(bytActionButtons.begin(), bytActionButtons.end(),
                       [](std::uint8_t state) { return state != 0; });
}

ClientSession::ClientSession(launch::ClientGlobals globals, std::string programFolder,
                             SessionHost host)
    : globals_(std::move(globals)), programFolder_(std::move(programFolder)), host_(host) {
    table_.ResetTable();
}

void ClientSession::OnConnected() {
    if (ended_) return;
    connectionWasUp_ = true;
    if (const auto entry = net::requests::Entry(host_.preferences.AllowWatchCards())) Send(*entry);
}

void ClientSession::OnMessage(std::span<const std::uint8_t> message) {
    if (ended_ || message.empty()) return;
    // A handler waiting for an animation writes the turn it read before the
    // wait once the animation ends; a message handled now would be
    // overwritten. It waits, and so does everything behind it.
    if (displayWaits_ > 0 || !heldMessages_.empty()) {
        heldMessages_.emplace_back(message.begin(), message.end());
        return;
    }
    RouteMessage(message);
    DeliverHeldMessages();
}

void ClientSession::RouteMessage(std::span<const std::uint8_t> message) {
    knowledge_.self = table_.bytMyChair;
    bots::Learn(knowledge_, message);
    // A room message carries at least its main and sub type.
    if (net::RouteOf(message[0]) == net::MessageRoute::Room) {
        if (message.size() < 2) return;
        admitted_ = true;  // the room speaks only to users it let in
    }
    net::DispatchServerMessage(*this, message);
}

void ClientSession::DeliverHeldMessages() {
    while (!ended_ && displayWaits_ == 0 && !heldMessages_.empty()) {
        const std::vector<std::uint8_t> message = std::move(heldMessages_.front());
        heldMessages_.pop_front();
        RouteMessage(message);
    }
}

void ClientSession::PlayActionDisplay(Chair chair, ActionCode code, Tile tile) {
    const CountedWait wait(displayWaits_);
    host_.display.PlayDiscardAnimation(SeatPos(chair), code, tile);
}

void ClientSession::RollDice(std::uint8_t value) {
    const CountedWait wait(displayWaits_);
    host_.display.RollDice(value);
}

void ClientSession::OnConnectionEnded() {
    // A server that turns the user away says why and closes at once: the
    // reason outlives the window, which closes with the connection.
    if (farewell_.empty() && !ended_) farewell_ = refusal_;
    CloseMainWindow(connectionWasUp_ ? launch::ClientExit::ConnectionLost
                                     : launch::ClientExit::ServerUnreachable);
}

void ClientSession::OnChatSend(std::span<const std::string> fields) {
    if (ended_) return;
    if (const auto request = net::requests::Chat(fields)) Send(*request);
}

void ClientSession::OnUserActivated(std::string_view name) {
    if (ended_ || name.empty()) return;
    host_.chat.SetCurrentTarget(name);
}

void ClientSession::SendGameSetResult(std::span<const std::uint8_t> request) {
    if (ended_ || request.empty()) return;
    Send(request);
}

bool ClientSession::OnCloseRequested() {
    if (ended_) return true;
    const bool handRunning = !table_.blnHandIdle && !globals_.blnShowStart;
    if (!IsOnlooker() && handRunning && host_.preferences.QuitPrompt()) {
        GlobalMsg question;
        question.type = MsgType::TwoButtons;
        question.note =
            "大伙正在游戏，如果你现在退出是很不道德的，并且系统会算你逃跑！你是否强退？";
        question.caption = "系统提示";
        question.yesCaption = "强退";
        question.noCaption = "取消";
        question.yesDefault = false;
        if (!ShowPrompt(question)) return false;
        if (ended_) return true;
    }
    CloseMainWindow(launch::ClientExit::ClosedByPlayer);
    return true;
}

void ClientSession::CloseMainWindow(launch::ClientExit why) {
    if (ended_) return;
    exit_ = why;
    RunUnloadSteps();
    host_.window.UnloadMainWindow();
}

void ClientSession::OnMainWindowUnloading() {
    if (ended_) return;
    RunUnloadSteps();
}

void ClientSession::RunUnloadSteps() {
    ended_ = true;
    heldMessages_.clear();
    waitingServerBoxes_.clear();
    globals_.blnQuitting = true;
    host_.messages.UnloadRoomMsgObjects(0);
    StopTurnClock();
    host_.timers.SetTimerRunning(SessionTimer::Start, false);
    host_.timers.SetTimerRunning(SessionTimer::NewestDiscard, false);
    globals_.ResetGlobals(programFolder_);
    ResetTable();
    // ResetGlobals clears the flag, but the program is still ending: waiting
    // loops in the views look at it to stop at once.
    globals_.blnQuitting = true;
}

void ClientSession::Send(std::span<const std::uint8_t> request) {
    if (ended_) return;
    host_.sender.SendRequest(request);
}

std::uint8_t ClientSession::SeatPos(Chair chair) const {
    return chair < rules::kChairCount ? globals_.bytSeatPos[chair] : 0;
}

int ClientSession::FindChairOf(std::string_view name) const {
    // An empty name would match every free chair.
    if (name.empty()) return -1;
    for (int chair = 0; chair < rules::kChairCount; ++chair)
        if (table_.Seats[chair].strPlayerName == name) return chair;
    return -1;
}

GlobalMsg ClientSession::OneButtonBox(std::string note, std::string caption) {
    GlobalMsg box;
    box.type = MsgType::OneButton;
    box.note = std::move(note);
    box.caption = std::move(caption);
    return box;
}

bool ClientSession::ShowOneButtonBox(std::string note, std::string caption) {
    return ShowPrompt(OneButtonBox(std::move(note), std::move(caption)));
}

bool ClientSession::CatchUpBeforePrompt() {
    const auto serial = evaluationSerial_;
    DeliverHeldMessages();
    return !ended_ && serial == evaluationSerial_;
}

bool ClientSession::ShowPrompt(const GlobalMsg& box) {
    // A prompt's loop delivers messages at once; those held behind an
    // animation came earlier and go first.
    DeliverHeldMessages();
    return host_.messages.ShowGlobalMsg(box);
}

void ClientSession::ResetTable() {
    table_.ResetTable();
    turn_.bytDrawnTileSeat = rules::kTableNoChair;
}

void ClientSession::ResetForNewHand(rules::ReadyFlags ready) {
    table_.ResetForNewHand(ready);
    turn_.bytDrawnTileSeat = rules::kTableNoChair;
    turn_.bytBetSum = 0;
}

}  // namespace qira::play
