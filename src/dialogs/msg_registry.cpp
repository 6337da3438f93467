#include "dialogs/msg_registry.h"

#include <utility>

namespace qira::dialogs {
namespace {

// The box window's sizes in pixels: a notice is a bare strip, the boxes with
// buttons have room for two lines of text above them.
constexpr int kNoticeWidth = 397;
constexpr int kNoticeHeight = 69;
constexpr int kBoxWidth = 368;
constexpr int kBoxHeight = 120;
constexpr int kButtonGap = 6;

std::string WithAccelerator(const std::string& text, MsgButton button) {
    return text + (button == MsgButton::Yes ? "(&Y)" : "(&N)");
}

}  // namespace

MsgBox::MsgBox(std::int32_t lngRoomObjectIdx, int lngMsgObjectIdx)
    : roomObjectIdx_(lngRoomObjectIdx), msgObjectIdx_(lngMsgObjectIdx) {}

void MsgBox::SetMsgInfo(MsgInfo info) {
    info_ = std::move(info);
    yesCaption_ = WithAccelerator(info_.strYesCmdCaption, MsgButton::Yes);
    noCaption_ = WithAccelerator(info_.strNoCmdCaption, MsgButton::No);
    remaining_ = info_.lngMaxDelayTime;
    timerEnabled_ = IsModal();
}

std::string MsgBox::WindowCaption() const {
    return IsModal() ? info_.strCaption : std::string();
}

bool MsgBox::IsButtonVisible(MsgButton button) const {
    switch (info_.bteMsgType) {
        case MsgType::Notice:
            return false;
        case MsgType::OneButton:
            return button == MsgButton::Yes;
        case MsgType::TwoButtons:
            return true;
    }
    return false;
}

const std::string& MsgBox::ButtonCaption(MsgButton button) const {
    return button == MsgButton::Yes ? yesCaption_ : noCaption_;
}

MsgButton MsgBox::FocusButton() const {
    return CountingButton();
}

MsgButton MsgBox::CountingButton() const {
    const bool countsOnSecond = info_.bteMsgType == MsgType::TwoButtons && !info_.blnYesDefault;
    return countsOnSecond ? MsgButton::No : MsgButton::Yes;
}

std::optional<MsgButton> MsgBox::Tick() {
    if (!IsModal()) timerEnabled_ = false;
    if (!timerEnabled_) return std::nullopt;
    const MsgButton button = CountingButton();
    // The last number shown stays up for its whole second: the count that
    // has passed below 0 answers on the next tick. A start below 0 answers
    // on the first.
    if (remaining_ < 0) {
        timerEnabled_ = false;
        return button;
    }
    const std::string& text =
        button == MsgButton::Yes ? info_.strYesCmdCaption : info_.strNoCmdCaption;
    (button == MsgButton::Yes ? yesCaption_ : noCaption_) =
        WithAccelerator(text, button) + " " + std::to_string(remaining_);
    --remaining_;
    return std::nullopt;
}

MsgLayout MsgBox::Layout(int clientWidth, int clientHeight, int buttonWidth) const {
    MsgLayout layout;
    if (info_.bteMsgType == MsgType::Notice) {
        layout.windowWidth = kNoticeWidth;
        layout.windowHeight = kNoticeHeight;
        layout.note = {50, 25, clientWidth - 60, clientHeight - 40};
        return layout;
    }
    layout.windowWidth = kBoxWidth;
    layout.windowHeight = kBoxHeight;
    layout.note = {50, 22, clientWidth - 60, clientHeight - 70};
    layout.buttonTop = clientHeight - 30;
    layout.separatorY = layout.buttonTop - 10;
    if (info_.bteMsgType == MsgType::OneButton) {
        layout.yesLeft = (clientWidth - buttonWidth) / 2;
    } else {
        layout.yesLeft = (clientWidth - 2 * buttonWidth - kButtonGap) / 2;
        layout.noLeft = layout.yesLeft + buttonWidth + kButtonGap;
    }
    return layout;
}

void MsgRegistry::InitGlobalMsgObject(std::string_view strParentPath) {
    for (int slot = 0; slot <= UpperBound(); ++slot) CloseBox(slot);
    slots_.clear();
    resourcePath_ = std::string(strParentPath) + "res/";
}

int MsgRegistry::TakeSlot() {
    int slot = 0;
    while (slot <= UpperBound() && slots_[static_cast<std::size_t>(slot)].objMsg) ++slot;
    if (slot > UpperBound()) slots_.emplace_back();
    // A fresh answer for every box: one closed from outside must not return
    // what an earlier box in this slot was answered.
    auto& taken = slots_[static_cast<std::size_t>(slot)];
    taken.blnResult = false;
    taken.serial = nextSerial_++;
    return slot;
}

int MsgRegistry::OpenBox(std::int32_t lngRoomObjectIdx, const MsgInfo& info) {
    const int slot = TakeSlot();
    auto box = std::make_unique<MsgBox>(lngRoomObjectIdx, slot);
    box->SetMsgInfo(info);
    slots_[static_cast<std::size_t>(slot)].objMsg = std::move(box);
    return slot;
}

bool MsgRegistry::ShowGlobalMsg(std::int32_t lngRoomObjectIdx, const MsgInfo& info) {
    const int slot = OpenBox(lngRoomObjectIdx, info);
    const std::uint64_t serial = slots_[static_cast<std::size_t>(slot)].serial;
    if (host_ != nullptr) {
        host_->ShowBox(slot, *Box(slot));
    } else if (info.bteMsgType != MsgType::Notice) {
        CloseBox(slot);  // nobody can answer a question that is not shown
    }
    // The host's event loop may have reset the registry or reused the slot.
    if (slot > UpperBound() || slots_[static_cast<std::size_t>(slot)].serial != serial)
        return false;
    return slots_[static_cast<std::size_t>(slot)].blnResult;
}

void MsgRegistry::UnloadRoomMsgObjects(std::int32_t lngRoomObjectIdx) {
    for (int slot = 0; slot <= UpperBound(); ++slot) {
        const MsgBox* box = Box(slot);
        if (box != nullptr && box->lngRoomObjectIdx() == lngRoomObjectIdx) CloseBox(slot);
    }
}

void MsgRegistry::Tick(int slot) {
    MsgBox* box = Box(slot);
    if (box == nullptr) return;
    if (const auto button = box->Tick()) PressButton(slot, *button);
}

void MsgRegistry::PressButton(int slot, MsgButton button) {
    MsgBox* box = Box(slot);
    if (box == nullptr || !box->IsButtonVisible(button)) return;
    box->DisableTimer();
    slots_[static_cast<std::size_t>(slot)].blnResult = button == MsgButton::Yes;
    CloseBox(slot);
}

void MsgRegistry::CloseBox(int slot) {
    if (Box(slot) == nullptr) return;
    // The slot is free before the window hears of it, and the box outlives the call.
    const std::unique_ptr<MsgBox> closing =
        std::move(slots_[static_cast<std::size_t>(slot)].objMsg);
    if (host_ != nullptr) host_->CloseBox(slot);
}

MsgBox* MsgRegistry::Box(int slot) {
    if (slot < 0 || slot > UpperBound()) return nullptr;
    return slots_[static_cast<std::size_t>(slot)].objMsg.get();
}

const MsgBox* MsgRegistry::Box(int slot) const {
    if (slot < 0 || slot > UpperBound()) return nullptr;
    return slots_[static_cast<std::size_t>(slot)].objMsg.get();
}

bool MsgRegistry::Result(int slot) const {
    if (slot < 0 || slot > UpperBound()) return false;
    return slots_[static_cast<std::size_t>(slot)].blnResult;
}

int MsgRegistry::OpenCount() const {
    int count = 0;
    for (const auto& slot : slots_) count += slot.objMsg ? 1 : 0;
    return count;
}

std::string MsgRegistry::IconPath(MsgType type) const {
    return resourcePath_ + "Msg" + std::to_string(static_cast<int>(type)) + ".ico";
}

}  // namespace qira::dialogs
