#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "play/session_interfaces.h"

// The program's own message boxes: a registry of open boxes, each a
// headless model that a window (frmMsg) only displays. Every question and
// notice for the user goes through ShowGlobalMsg.
namespace qira::dialogs {

// Notice: no caption, no buttons, not modal, closed from outside. OneButton:
// modal, answers True. TwoButtons: modal, True for the first button.
using play::MsgType;

enum class MsgButton { Yes = 0, No = 1 };

struct MsgInfo {
    MsgType bteMsgType = MsgType::OneButton;
    std::string strNote;
    std::string strCaption;
    std::string strYesCmdCaption = "确定";
    std::string strNoCmdCaption;
    std::int32_t lngMaxDelayTime = 10;
    bool blnYesDefault = true;
};

// Pixel geometry of a box, derived from its type and the client area.
struct MsgRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

struct MsgLayout {
    int windowWidth = 0;  // outer size in pixels
    int windowHeight = 0;
    MsgRect note;
    int buttonTop = 0;
    int yesLeft = 0;
    int noLeft = 0;
    int separatorY = 0;  // the white line; the grey one lies one pixel below
};

// One box (the state behind a frmMsg window).
class MsgBox {
public:
    MsgBox(std::int32_t lngRoomObjectIdx, int lngMsgObjectIdx);

    void SetMsgInfo(MsgInfo info);
    const MsgInfo& Info() const { return info_; }
    MsgType Type() const { return info_.bteMsgType; }
    std::int32_t lngRoomObjectIdx() const { return roomObjectIdx_; }
    int lngMsgObjectIdx() const { return msgObjectIdx_; }

    bool IsModal() const { return info_.bteMsgType != MsgType::Notice; }
    std::string WindowCaption() const;
    bool IsButtonVisible(MsgButton button) const;
    const std::string& ButtonCaption(MsgButton button) const;
    MsgButton FocusButton() const;
    // The button the countdown counts on and presses at the end.
    MsgButton CountingButton() const;
    bool IsTimerEnabled() const { return timerEnabled_; }
    std::int32_t Remaining() const { return remaining_; }

    // One countdown second. Returns the button to press when the count has
    // run out; the press itself is the registry's (MsgRegistry::Tick).
    std::optional<MsgButton> Tick();

    MsgLayout Layout(int clientWidth, int clientHeight, int buttonWidth) const;

    void DisableTimer() { timerEnabled_ = false; }

private:
    std::int32_t roomObjectIdx_;
    int msgObjectIdx_;
    MsgInfo info_;
    std::string yesCaption_;
    std::string noCaption_;
    std::int32_t remaining_ = 0;
    bool timerEnabled_ = false;
};

// What the registry asks of the screen.
class MsgHost {
public:
    virtual ~MsgHost() = default;
    // Displays the box of `slot`. For a modal box this returns only once the
    // box has been closed (a nested event loop keeps the program running);
    // for a notice it returns at once.
    virtual void ShowBox(int slot, const MsgBox& box) = 0;
    // The box of `slot` is closing: take its window down. The box object is
    // destroyed right after this returns.
    virtual void CloseBox(int slot) = 0;
};

// The registry of open boxes (module data of modGlobalMsgObject).
class MsgRegistry {
public:
    MsgRegistry() = default;
    MsgRegistry(const MsgRegistry&) = delete;
    MsgRegistry& operator=(const MsgRegistry&) = delete;

    // Null shows nothing: modal boxes then return at once with False.
    void SetHost(MsgHost* host) { host_ = host; }

    // Starts the registry over (every box still open is closed first) and
    // takes the icon folder: `strParentPath` followed by "res/".
    void InitGlobalMsgObject(std::string_view strParentPath);

    // Opens a box and returns the answer: True for the first button, False
    // for the second or for a box closed from outside. A notice returns at
    // once; its result means nothing.
    bool ShowGlobalMsg(std::int32_t lngRoomObjectIdx, const MsgInfo& info);

    // Closes every open box whose key equals `lngRoomObjectIdx`.
    void UnloadRoomMsgObjects(std::int32_t lngRoomObjectIdx);

    // The box's one-second timer fired. Presses the counting button when the
    // countdown is over.
    void Tick(int slot);
    // A button press: stores the answer and closes the box.
    void PressButton(int slot, MsgButton button);
    // The window was closed by other means (its close box, say).
    void CloseBox(int slot);

    // The open box of `slot`, or null.
    MsgBox* Box(int slot);
    const MsgBox* Box(int slot) const;
    bool Result(int slot) const;
    // The highest slot index, -1 when the registry is empty.
    int UpperBound() const { return static_cast<int>(slots_.size()) - 1; }
    int OpenCount() const;

    // Msg0.ico, Msg1.ico or Msg2.ico in the icon folder.
    std::string IconPath(MsgType type) const;

    // Opens a box without displaying it and returns its slot: the first
    // steps of ShowGlobalMsg, for hosts that display boxes themselves.
    int OpenBox(std::int32_t lngRoomObjectIdx, const MsgInfo& info);

private:
    struct MsgObjectSlot {
        bool blnResult = false;
        std::unique_ptr<MsgBox> objMsg;
        std::uint64_t serial = 0;  // which opening of the slot the answer belongs to
    };
    int TakeSlot();

    std::vector<MsgObjectSlot> slots_;
    std::string resourcePath_;
    MsgHost* host_ = nullptr;
    std::uint64_t nextSerial_ = 1;
};

}  // namespace qira::dialogs
