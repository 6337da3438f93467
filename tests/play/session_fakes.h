#pragma once

// Fakes of every interface the client session talks to. They record what the
// session asks, in one ordered log, and answer prompts from scripted queues.
// A prompt can run a callback while it is "open", as the program's nested
// event loop delivers messages while a modal box waits.

#include <algorithm>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "net/packet.h"
#include "play/client_session.h"
#include "play/session_interfaces.h"
#include "players/user_list.h"

namespace qira::play::testing {

using net::Bytes;

class CallLog {
public:
    void Add(std::string entry) { entries_.push_back(std::move(entry)); }
    const std::vector<std::string>& entries() const { return entries_; }
    void Clear() { entries_.clear(); }
    bool Contains(const std::string& entry) const;
    std::size_t Count(const std::string& entry) const;
    // Position of the first entry equal to `entry`, or npos.
    std::size_t IndexOf(const std::string& entry) const;

private:
    std::vector<std::string> entries_;
};

struct FakeSender : RequestSender {
    std::vector<Bytes> sent;
    void SendRequest(std::span<const std::uint8_t> message) override {
        sent.emplace_back(message.begin(), message.end());
    }
};

struct FakePainter : TablePainter {
    explicit FakePainter(CallLog& log) : log(log) {}
    CallLog& log;
    void PaintTable() override { log.Add("PaintTable"); }
    void PaintSeatInfo(Chair c) override { log.Add("PaintSeatInfo " + std::to_string(c)); }
    void PaintNetBreak(Chair c) override { log.Add("PaintNetBreak " + std::to_string(c)); }
    void PaintHandUp(Chair c) override { log.Add("PaintHandUp " + std::to_string(c)); }
    void PaintTing(Chair c) override { log.Add("PaintTing " + std::to_string(c)); }
    void PaintBetFlag(Chair c) override { log.Add("PaintBetFlag " + std::to_string(c)); }
    void PaintHands(Chair c) override { log.Add("PaintHands " + std::to_string(c)); }
    void PaintLocalHand() override { log.Add("PaintLocalHand"); }
    void PaintMoPai() override { log.Add("PaintMoPai"); }
    void PaintDiscards(Chair c, bool all) override {
        log.Add("PaintDiscards " + std::to_string(c) + (all ? " all" : " newest"));
    }
    void PaintWall(Chair c) override { log.Add("PaintWall " + std::to_string(c)); }
    void PaintFullWalls() override { log.Add("PaintFullWalls"); }
    void PaintActionBar() override { log.Add("PaintActionBar"); }
    void PaintGameButtons() override { log.Add("PaintGameButtons"); }
    void UpdateStartButton() override { log.Add("UpdateStartButton"); }
    void ShowNewestDiscard(Chair c, Tile t) override {
        log.Add("ShowNewestDiscard " + std::to_string(c) + " " + std::to_string(t));
    }
    void HideNewestDiscard() override { log.Add("HideNewestDiscard"); }
    void PaintNewestDiscardFrame(bool alternate) override {
        log.Add(std::string("PaintNewestDiscardFrame ") + (alternate ? "1" : "0"));
    }
    void ShowTurnHighlight(Chair c) override { log.Add("ShowTurnHighlight " + std::to_string(c)); }
    void ClearTurnHighlight() override { log.Add("ClearTurnHighlight"); }
};

// The animations wait as the program's do, in a loop that keeps the socket
// going: the messages in `arriving` reach the session, in order, while the
// next animation (or the dice) plays, and then `duringWait` runs. Like the
// program's, an animation started while one plays returns at once.
struct FakeDisplay : ActionDisplay {
    explicit FakeDisplay(CallLog& log) : log(log) {}
    CallLog& log;
    ClientSession* session = nullptr;
    std::deque<Bytes> arriving;
    std::function<void()> duringWait;
    bool waiting = false;
    void PlayDiscardAnimation(std::uint8_t position, ActionCode code, Tile tile) override {
        log.Add("Animation " + std::to_string(position) + " " +
                std::to_string(static_cast<int>(code)) + " " + std::to_string(tile));
        Wait();
    }
    void RollDice(std::uint8_t value) override {
        log.Add("RollDice " + std::to_string(value));
        Wait();
    }
    void Wait();
};

struct FakeSounds : SoundPlayer {
    explicit FakeSounds(CallLog& log) : log(log) {}
    CallLog& log;
    void PlayGameSound(StateSound s) override {
        log.Add("Sound " + std::to_string(static_cast<int>(s)));
    }
    void PlayTileSound(Tile t) override { log.Add("TileSound " + std::to_string(t)); }
};

struct FakeClock : TurnClock {
    bool running = false;
    bool visible = false;
    int tag = -1;
    int seconds = 0;
    int starts = 0;
    std::string colour;
    void Start(int s) override {
        running = true;
        seconds = s;
        ++starts;
    }
    void Stop() override { running = false; }
    void SetVisible(bool v) override { visible = v; }
    bool IsVisible() const override { return visible; }
    void SetTag(int t) override { tag = t; }
    int Tag() const override { return tag; }
    void MoveTo(int) override {}
    void SetColour(std::uint8_t r, std::uint8_t g, std::uint8_t b) override {
        colour = std::to_string(r) + "," + std::to_string(g) + "," + std::to_string(b);
    }
    bool RunningFor(int t) const { return running && visible && tag == t; }
};

struct FakeTimers : TimerControl {
    bool start = false;
    bool newestDiscard = false;
    void SetTimerRunning(SessionTimer timer, bool on) override {
        (timer == SessionTimer::Start ? start : newestDiscard) = on;
    }
};

struct FakeMessages : MessageBoxService {
    std::vector<GlobalMsg> shown;
    std::deque<bool> answers;  // answers of boxes with buttons; the default answer when empty
    std::function<void()> whileOpen;  // runs once, inside the next box with buttons
    int unloads = 0;
    int inits = 0;
    std::vector<std::string> platformWarnings;
    bool ShowGlobalMsg(const GlobalMsg& message) override {
        shown.push_back(message);
        if (message.type == MsgType::Notice) return false;
        if (whileOpen) std::exchange(whileOpen, nullptr)();
        if (answers.empty()) return message.type == MsgType::OneButton || message.yesDefault;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void UnloadRoomMsgObjects(std::int32_t) override { ++unloads; }
    void InitGlobalMsgObject() override { ++inits; }
    void ShowPlatformWarning(std::string_view caption, std::string_view text) override {
        platformWarnings.push_back(std::string(caption) + "|" + std::string(text));
    }
    bool Showed(const std::string& note) const;
};

struct FakeUserList : UserListPane {
    players::UserList model;
    std::string localName;
    void SetLocalUserName(std::string_view name) override { localName = name; }
    void AddUser(std::string_view record) override { model.AddUser(record); }
    void RemoveUser(std::string_view name) override { model.RemoveUser(name); }
    std::string FindUser(std::string_view name) const override { return model.FindUser(name); }
    void RefreshUser(std::string_view record) override { model.RefreshUser(record); }
    void ClearUsers() override { model.Clear(); }
    std::vector<std::string> LoadWholeList(std::string_view text) override {
        return model.LoadList(text);
    }
};

struct FakeChat : ChatPane {
    std::string localName;
    std::vector<std::string> systemLines;
    std::vector<std::string> lines;
    std::vector<std::vector<std::string>> chatMessages;
    std::vector<std::string> targets;  // current chat targets besides "所有人"
    std::string currentTarget;
    int clears = 0;
    void SetLocalUserName(std::string_view name) override { localName = name; }
    void ShowSystemLine(std::string_view text) override { systemLines.emplace_back(text); }
    void ShowLine(std::string_view text) override { lines.emplace_back(text); }
    void ShowChatMessage(std::span<const std::string> fields) override {
        chatMessages.emplace_back(fields.begin(), fields.end());
    }
    void ChangeChatTarget(ChatTargetAction action, std::string_view name) override;
    void SetCurrentTarget(std::string_view name) override { currentTarget = name; }
    void ClearChat() override {
        ++clears;
        targets.clear();
    }
};

struct FakeGameSet : GameSetDialog {
    bool accept = true;
    std::vector<std::string> calls;
    void LoadGameSet() override { calls.push_back("Load"); }
    bool SetInitGameSetInfo(bool deskMaster, std::string_view info) override {
        calls.push_back(std::string("SetInit ") + (deskMaster ? "owner " : "player ") +
                        std::string(info));
        return accept;
    }
    void ShowGameSet() override { calls.push_back("Show"); }
    void UnloadGameSet() override { calls.push_back("Unload"); }
};

struct FakeWinResult : WinResultView {
    explicit FakeWinResult(CallLog& log) : log(log) {}
    CallLog& log;
    std::optional<net::WinRecord> lastRecord;
    void LoadHuResult() override { log.Add("LoadHuResult"); }
    void ProcessHuResultData(const net::WinRecord& record) override {
        lastRecord = record;
        log.Add("ProcessHuResultData");
    }
    void ShowHuResultCentred() override { log.Add("ShowHuResultCentred"); }
    void CloseHuResult() override { log.Add("CloseHuResult"); }
};

struct FakeChowChooser : ChowChooser {
    std::size_t choice = 0;
    std::vector<std::vector<Tile>> offered;
    std::function<void()> whileOpen;
    Tile ChooseChow(std::span<const Tile> choices) override {
        offered.emplace_back(choices.begin(), choices.end());
        if (whileOpen) std::exchange(whileOpen, nullptr)();
        return choices[std::min(choice, choices.size() - 1)];
    }
};

struct FakeWindow : MainWindow {
    bool hidden = false;
    int repaints = 0;
    int unloads = 0;
    void SetMainWindowHidden(bool h) override { hidden = h; }
    void RepaintWindow() override { ++repaints; }
    void UnloadMainWindow() override { ++unloads; }
};

struct FakeItems : ItemStore {
    std::vector<std::string> catalogues;
    std::vector<std::string> ownItems;
    void LoadDaoJuInfo(std::string_view text) override { catalogues.emplace_back(text); }
    void LoadMyDaoJu(std::string_view text) override { ownItems.emplace_back(text); }
};

struct FakePreferences : PreferenceSource {
    bool allowWatchCards = false;
    bool quitPrompt = true;
    bool discardHint = false;
    bool strongHint = false;
    bool showInOut = true;
    bool wrongOutPrompt = true;
    bool AllowWatchCards() const override { return allowWatchCards; }
    bool ShowInOut() const override { return showInOut; }
    bool QuitPrompt() const override { return quitPrompt; }
    bool WrongOutPrompt() const override { return wrongOutPrompt; }
    bool DiscardHint() const override { return discardHint; }
    bool StrongHint() const override { return strongHint; }
};

// All fakes and one session over them.
struct SessionRig {
    explicit SessionRig(std::string userName = "me");

    CallLog log;
    FakeSender sender;
    FakePainter painter{log};
    FakeDisplay display{log};
    FakeSounds sounds{log};
    FakeClock clock;
    FakeTimers timers;
    FakeMessages messages;
    FakeUserList userList;
    FakeChat chat;
    FakeGameSet gameSet;
    FakeWinResult winResult{log};
    FakeChowChooser chowChooser;
    FakeWindow window;
    FakeItems items;
    FakePreferences preferences;
    std::unique_ptr<ClientSession> session;

    void Feed(const Bytes& message) { session->OnMessage(message); }
    // Everything sent since the last call.
    std::vector<Bytes> TakeSent() { return std::exchange(sender.sent, {}); }
};

// --- message builders ---
Bytes Message(std::initializer_list<std::uint8_t> bytes);
Bytes Text(std::uint8_t mainType, std::uint8_t subType, std::string_view body);
Bytes TextFrom(std::initializer_list<std::uint8_t> header, std::string_view body);
std::string UserRecord(const std::string& name, int chair, const std::string& watched = "",
                       int portrait = 3, int raised = 0, int dropped = 0);
Bytes WholeList(std::initializer_list<std::string> records);
Bytes Settings(bool owner, int settingsFlag, int approval, std::string_view settings = "");

struct NewHand {
    std::uint8_t dealer = 0;
    std::uint8_t dice = 4;
    std::uint8_t wildTile = 33;  // never a tile: no wild tile unless a test names one
    std::uint8_t wildIndicator = 34;
    std::uint8_t autoPlayLimit = 5;
    std::uint8_t phase = 10;
    Bytes Build() const;
};
Bytes Deal(std::uint8_t chair, std::uint8_t tile, std::span<const std::uint8_t> hand);
Bytes Deal(std::uint8_t chair, std::uint8_t tile, std::initializer_list<std::uint8_t> hand);
Bytes Draw(std::uint8_t chair, std::uint8_t tile);
Bytes DiscardMsg(std::uint8_t chair, std::uint8_t tile, std::uint8_t ting = 0,
                 std::uint8_t nextChair = 255, std::uint8_t nextTile = 0);
// A minimal win record (message 23) naming the winners' chairs.
Bytes WinMessage(std::initializer_list<std::uint8_t> chairs);

// Requests as the session must send them.
Bytes DiscardRequest(std::uint8_t chair, std::uint8_t tile, std::uint8_t firstWinning = 0);

// A table with "east" (0), "me" (1), "west" (2), "north" (3), entered as the
// player "me", waiting for the first hand (111 without settings).
void EnterAsPlayer(SessionRig& rig);
// The same table watched by "eye", who watches "me".
void EnterAsOnlooker(SessionRig& rig);

}  // namespace qira::play::testing
