// libFuzzer target: a stream of server messages and user events fed to one
// client session over silent fakes. The input is a sequence of chunks, each
// a length byte and that many message bytes; a length of 0 is followed by
// one byte that picks a user event instead. Like the program's nested event
// loops, every wait of the fakes (an animation, a box with buttons, the chow
// chooser) takes the next chunk before it returns.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "play/client_session.h"
#include "players/user_list.h"

namespace {

using namespace qira;
using namespace qira::play;

struct SilentHost final : RequestSender,
                          TablePainter,
                          ActionDisplay,
                          SoundPlayer,
                          TurnClock,
                          TimerControl,
                          MessageBoxService,
                          ChatPane,
                          GameSetDialog,
                          WinResultView,
                          ChowChooser,
                          MainWindow,
                          ItemStore,
                          PreferenceSource {
    bool answer = false;
    bool visible = false;
    int tag = 0;
    std::function<void()> wait;
    void SendRequest(std::span<const std::uint8_t>) override {}
    void PaintTable() override {}
    void PaintSeatInfo(Chair) override {}
    void PaintNetBreak(Chair) override {}
    void PaintHandUp(Chair) override {}
    void PaintTing(Chair) override {}
    void PaintBetFlag(Chair) override {}
    void PaintHands(Chair) override {}
    void PaintLocalHand() override {}
    void PaintMoPai() override {}
    void PaintDiscards(Chair, bool) override {}
    void PaintWall(Chair) override {}
    void PaintFullWalls() override {}
    void PaintActionBar() override {}
    void PaintGameButtons() override {}
    void UpdateStartButton() override {}
    void ShowNewestDiscard(Chair, Tile) override {}
    void HideNewestDiscard() override {}
    void PaintNewestDiscardFrame(bool) override {}
    void ShowTurnHighlight(Chair) override {}
    void ClearTurnHighlight() override {}
    void PlayDiscardAnimation(std::uint8_t, ActionCode, Tile) override { wait(); }
    void RollDice(std::uint8_t) override { wait(); }
    void PlayGameSound(StateSound) override {}
    void PlayTileSound(Tile) override {}
    void Start(int) override {}
    void Stop() override {}
    void SetVisible(bool v) override { visible = v; }
    bool IsVisible() const override { return visible; }
    void SetTag(int t) override { tag = t; }
    int Tag() const override { return tag; }
    void MoveTo(int) override {}
    void SetColour(std::uint8_t, std::uint8_t, std::uint8_t) override {}
    void SetTimerRunning(SessionTimer, bool) override {}
    bool ShowGlobalMsg(const GlobalMsg& box) override {
        if (box.type != MsgType::Notice) wait();
        return answer = !answer;
    }
    void UnloadRoomMsgObjects(std::int32_t) override {}
    void InitGlobalMsgObject() override {}
    void ShowPlatformWarning(std::string_view, std::string_view) override { wait(); }
    void ShowSystemLine(std::string_view) override {}
    void ShowLine(std::string_view) override {}
    void ShowChatMessage(std::span<const std::string>) override {}
    void ChangeChatTarget(ChatTargetAction, std::string_view) override {}
    void SetCurrentTarget(std::string_view) override {}
    void ClearChat() override {}
    void SetLocalUserName(std::string_view) override {}
    void LoadGameSet() override {}
    bool SetInitGameSetInfo(bool, std::string_view) override { return answer; }
    void ShowGameSet() override {}
    void UnloadGameSet() override {}
    void LoadHuResult() override {}
    void ProcessHuResultData(const net::WinRecord&) override {}
    void ShowHuResultCentred() override {}
    void CloseHuResult() override {}
    Tile ChooseChow(std::span<const Tile> choices) override {
        wait();
        return choices.back();
    }
    void SetMainWindowHidden(bool) override {}
    void RepaintWindow() override {}
    void UnloadMainWindow() override {}
    void LoadDaoJuInfo(std::string_view) override {}
    void LoadMyDaoJu(std::string_view) override {}
    bool AllowWatchCards() const override { return true; }
    bool ShowInOut() const override { return true; }
    bool QuitPrompt() const override { return true; }
    bool WrongOutPrompt() const override { return true; }
    bool DiscardHint() const override { return true; }
};

struct ModelUserList final : UserListPane {
    players::UserList model;
    void SetLocalUserName(std::string_view) override {}
    void AddUser(std::string_view record) override { model.AddUser(record); }
    void RemoveUser(std::string_view name) override { model.RemoveUser(name); }
    std::string FindUser(std::string_view name) const override { return model.FindUser(name); }
    void RefreshUser(std::string_view record) override { model.RefreshUser(record); }
    void ClearUsers() override { model.Clear(); }
    std::vector<std::string> LoadWholeList(std::string_view text) override {
        return model.LoadList(text);
    }
};

void UserEvent(ClientSession& session, std::uint8_t code) {
    const int argument = code >> 3;
    switch (code & 7) {
        case 0:
            session.OnHandTileClick(argument, MouseButton::Left);
            break;
        case 1:
            session.OnActionButton(argument % 6, MouseButton::Left);
            break;
        case 2:
            session.OnGameButtonClick(argument % 4);
            break;
        case 3:
            session.OnClockTimeout();
            break;
        case 4:
            session.OnStartTimerTick();
            break;
        case 5:
            session.OnStartButtonClick();
            break;
        case 6:
            session.OnNewestDiscardTick();
            break;
        default:
            session.OnCloseRequested();
            break;
    }
}

// Hands the input to the session one chunk at a time.
class ChunkFeed {
public:
    explicit ChunkFeed(std::span<const std::uint8_t> input) : input_(input) {}

    // False once the input is used up.
    bool Step(ClientSession& session) {
        if (offset_ >= input_.size()) return false;
        const std::size_t length = input_[offset_++];
        if (length == 0) {
            if (offset_ < input_.size()) UserEvent(session, input_[offset_++]);
            return true;
        }
        const std::size_t available = std::min(length, input_.size() - offset_);
        // A copy of exactly the message's bytes, so that ASan sees any read past it.
        const std::vector<std::uint8_t> message(
            input_.begin() + static_cast<long>(offset_),
            input_.begin() + static_cast<long>(offset_ + available));
        offset_ += available;
        session.OnMessage(message);
        return true;
    }

private:
    std::span<const std::uint8_t> input_;
    std::size_t offset_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    SilentHost host;
    ModelUserList users;
    launch::ClientGlobals globals;
    globals.launch.strUserName = "me";
    ClientSession session(globals, "/tmp/qira",
                          SessionHost{host, host, host, host, host, host, host, users, host, host,
                                      host, host, host, host, host});
    ChunkFeed feed(std::span<const std::uint8_t>(data, size));
    host.wait = [&] {
        if (!session.ended()) feed.Step(session);
    };
    while (!session.ended() && feed.Step(session)) {
    }
    return 0;
}
