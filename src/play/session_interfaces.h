#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "net/protocol.h"
#include "net/win_record_message.h"

// What the headless client session asks of the world around it. Each role is
// a small interface; the Qt layer implements them with widgets, the tests with
// fakes that record the calls. Painters and views read the state they show
// from the session (`ClientSession::table()`, `globals()`, `turn()`,
// `offer()`); the calls below only say what changed. User events (clicks,
// answers, clock events, timer ticks, chat) go the other way, into the
// session's named operations.
namespace qira::play {

using Chair = std::uint8_t;  // the server's chair 0-3; 4 or more names no chair
using Tile = std::uint8_t;   // a tile code; 100 is a face-down tile in the action display

inline constexpr Tile kFaceDownTile = net::kFaceDownTileCode;
// The turn clock's tag while it times the claim window rather than a chair.
inline constexpr int kClaimWindowTag = 5;

// The state sounds, numbered as their files are.
enum class StateSound : std::uint8_t {
    Chi = 1,       // "Chi.wav"
    Peng = 2,      // "Peng.wav"
    Gang = 3,      // "Gang.wav"
    Ting = 4,      // "Ting.wav"
    Hu = 5,        // "Hu.wav"
    Recv = 6,      // "Recv.wav"
    SaiZi = 7,     // "SaiZi.wav"
    Warning = 8,   // "Warning.wav"
    HuangPai = 9,  // "HuangPai.wav"
};

// What the action display shows growing out of a player's side.
enum class ActionCode : std::uint8_t { Discard = 0, Chow = 1, Pung = 2, Kong = 3 };

// Requests leave the client as whole messages, in the order they are made.
class RequestSender {
public:
    virtual ~RequestSender() = default;
    virtual void SendRequest(std::span<const std::uint8_t> message) = 0;
};

// The table painters. Each call repaints one thing from the session's state;
// `PaintTable` repaints everything.
class TablePainter {
public:
    virtual ~TablePainter() = default;
    virtual void PaintTable() = 0;
    virtual void PaintSeatInfo(Chair chair) = 0;  // name and portrait
    virtual void PaintNetBreak(Chair chair) = 0;  // dropped mark
    virtual void PaintHandUp(Chair chair) = 0;    // ready-to-start mark
    virtual void PaintTing(Chair chair) = 0;      // ready-hand mark
    virtual void PaintBetFlag(Chair chair) = 0;   // side-bet flag
    virtual void PaintHands(Chair chair) = 0;     // concealed hand and melds of one chair
    virtual void PaintLocalHand() = 0;
    virtual void PaintMoPai() = 0;  // an opponent's extra drawn tile (`turn().bytDrawnTileSeat`)
    virtual void PaintDiscards(Chair chair, bool drawAll) = 0;
    virtual void PaintWall(Chair chair) = 0;  // one wall segment as the table state holds it
    virtual void PaintFullWalls() = 0;        // the four segments full, before a hand is loaded
    virtual void PaintActionBar() = 0;        // from `offer().bytActionButtons`
    virtual void PaintGameButtons() = 0;      // the three side-bet buttons, `turn().bytGameButtons`
    virtual void UpdateStartButton() = 0;     // shows or hides the start button (`blnShowStart`)
    virtual void ShowNewestDiscard(Chair chair, Tile tile) = 0;
    virtual void HideNewestDiscard() = 0;
    // One blink of the frame around the newest discard; the two looks alternate.
    virtual void PaintNewestDiscardFrame(bool alternateLook) = 0;
    virtual void ShowTurnHighlight(Chair chair) = 0;
    virtual void ClearTurnHighlight() = 0;
};

// The blocking displays: each returns when its animation has ended. The
// program keeps processing events meanwhile, so messages reach the session
// during the wait; it holds them until the handler that waits has finished.
class ActionDisplay {
public:
    virtual ~ActionDisplay() = default;
    // `position` is the screen position (0 top, 1 left, 2 bottom, 3 right).
    virtual void PlayDiscardAnimation(std::uint8_t position, ActionCode code, Tile tile) = 0;
    virtual void RollDice(std::uint8_t value) = 0;
};

class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    virtual void PlayGameSound(StateSound sound) = 0;
    virtual void PlayTileSound(Tile tile) = 0;  // the voice naming a tile
};

// The turn clock. The session keeps the order of the calls; where the clock
// stands for a chair is the painter's business (`MoveTo`).
class TurnClock {
public:
    virtual ~TurnClock() = default;
    virtual void Start(int seconds) = 0;
    virtual void Stop() = 0;
    virtual void SetVisible(bool visible) = 0;
    virtual bool IsVisible() const = 0;
    virtual void SetTag(int tag) = 0;
    virtual int Tag() const = 0;
    virtual void MoveTo(int tag) = 0;  // a chair's place, or the centre for 4 or more
    virtual void SetColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue) = 0;
};

// The repeating timers of the main window. The program runs them; on each
// tick it calls the session (`OnStartTimerTick`, `OnNewestDiscardTick`).
enum class SessionTimer { Start, NewestDiscard };

class TimerControl {
public:
    virtual ~TimerControl() = default;
    virtual void SetTimerRunning(SessionTimer timer, bool running) = 0;
};

enum class MsgType : std::uint8_t { Notice = 0, OneButton = 1, TwoButtons = 2 };

struct GlobalMsg {
    MsgType type = MsgType::OneButton;
    std::string note;
    std::string caption;
    std::int32_t maxDelaySeconds = 10;
    std::string yesCaption = "确定";
    std::string noCaption;
    bool yesDefault = true;
    std::int32_t roomObjectIdx = 0;
};

// The program's own message boxes. `ShowGlobalMsg` of a box with buttons is
// modal: it returns the answer (true for the first button), and in the program
// messages keep arriving while it waits. A notice returns at once.
class MessageBoxService {
public:
    virtual ~MessageBoxService() = default;
    virtual bool ShowGlobalMsg(const GlobalMsg& message) = 0;
    virtual void UnloadRoomMsgObjects(std::int32_t key) = 0;
    virtual void InitGlobalMsgObject() = 0;
    // The platform's own warning box, used only for the item-use notice.
    virtual void ShowPlatformWarning(std::string_view caption, std::string_view text) = 0;
};

// The user list pane: the records of the users at the table, keyed by name
// (field 0 of the sixteen-field record).
class UserListPane {
public:
    virtual ~UserListPane() = default;
    virtual void SetLocalUserName(std::string_view name) = 0;
    virtual void AddUser(std::string_view record) = 0;
    virtual void RemoveUser(std::string_view name) = 0;
    // The user's record, or the empty text when the list does not hold the name.
    virtual std::string FindUser(std::string_view name) const = 0;
    virtual void RefreshUser(std::string_view record) = 0;
    virtual void ClearUsers() = 0;
    // Replaces the list with the whole-list text of the server and returns the
    // names it now holds, in list order (the list-loaded event).
    virtual std::vector<std::string> LoadWholeList(std::string_view text) = 0;
};

enum class ChatTargetAction { Add, Remove };  // "ADD", "DEL"

class ChatPane {
public:
    virtual ~ChatPane() = default;
    virtual void SetLocalUserName(std::string_view name) = 0;
    virtual void ShowSystemLine(std::string_view text) = 0;
    virtual void ShowLine(std::string_view text) = 0;
    // The eight fields of a chat message relayed by the server.
    virtual void ShowChatMessage(std::span<const std::string> fields) = 0;
    virtual void ChangeChatTarget(ChatTargetAction action, std::string_view name) = 0;
    virtual void SetCurrentTarget(std::string_view name) = 0;  // a user name or "所有人"
    virtual void ClearChat() = 0;
};

// The table-settings dialog, created for each use. It answers the server
// itself through `ClientSession::SendGameSetResult`.
class GameSetDialog {
public:
    virtual ~GameSetDialog() = default;
    virtual void LoadGameSet() = 0;
    // True when the settings text is acceptable (six fields).
    virtual bool SetInitGameSetInfo(bool deskMaster, std::string_view allGameSetInfo) = 0;
    virtual void ShowGameSet() = 0;  // not waited for
    virtual void UnloadGameSet() = 0;
};

// The win result window: loaded, filled from the decoded win record, then
// shown centred on the screen without waiting.
class WinResultView {
public:
    virtual ~WinResultView() = default;
    virtual void LoadHuResult() = 0;
    virtual void ProcessHuResultData(const net::WinRecord& record) = 0;
    virtual void ShowHuResultCentred() = 0;
    // The next hand begins: the last hand's result must not cover the side
    // bets and the hand that follow, so its window closes.
    virtual void CloseHuResult() = 0;
};

// The modal chow chooser: returns the chosen chow's lowest tile. Messages keep
// arriving while it is open.
class ChowChooser {
public:
    virtual ~ChowChooser() = default;
    virtual Tile ChooseChow(std::span<const Tile> choices) = 0;
};

// The main window as a whole.
class MainWindow {
public:
    virtual ~MainWindow() = default;
    virtual void SetMainWindowHidden(bool hidden) = 0;
    virtual void RepaintWindow() = 0;
    // Closes every other window and the main window: the program ends.
    virtual void UnloadMainWindow() = 0;
};

// The item data the server sends.
class ItemStore {
public:
    virtual ~ItemStore() = default;
    virtual void LoadDaoJuInfo(std::string_view catalogueText) = 0;
    virtual void LoadMyDaoJu(std::string_view ownItemsText) = 0;
};

// The preferences the session consults.
class PreferenceSource {
public:
    virtual ~PreferenceSource() = default;
    virtual bool AllowWatchCards() const = 0;  // "允许旁观者看我的牌"
    virtual bool ShowInOut() const = 0;        // "显示用户进出消息"
    virtual bool QuitPrompt() const = 0;       // "强退时给出提示"
    virtual bool WrongOutPrompt() const = 0;   // "出牌不对时给出提示"
    virtual bool DiscardHint() const = 0;      // "出牌提示"
    // The hint from level 4 rather than level 3 (the machine can afford it).
    virtual bool StrongHint() const { return false; }
};

// Everything a session talks to, handed over in one piece. Every reference
// must outlive the session.
struct SessionHost {
    RequestSender& sender;
    TablePainter& painter;
    ActionDisplay& display;
    SoundPlayer& sounds;
    TurnClock& clock;
    TimerControl& timers;
    MessageBoxService& messages;
    UserListPane& userList;
    ChatPane& chat;
    GameSetDialog& gameSet;
    WinResultView& winResult;
    ChowChooser& chowChooser;
    MainWindow& window;
    ItemStore& items;
    const PreferenceSource& preferences;
};

}  // namespace qira::play
