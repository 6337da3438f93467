#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "net/packet.h"

// The on/off preferences of the local player (modUserSet), and the logic of
// their window. The first five are kept in "UserSet.ini" in the program
// folder, five lines as ever; the hint, added later, in "HintSet.ini" beside it.
namespace qira::dialogs {

struct UserSet {
    std::uint8_t bytAllowWatchCards = 0;
    std::uint8_t bytSoundOn = 1;
    std::uint8_t bytShowInOut = 1;
    std::uint8_t bytQuitPrompt = 1;
    std::uint8_t bytWrongOutPrompt = 1;
    std::uint8_t bytDiscardHint = 0;  // "出牌提示": mark what the expert would do
    // The hint asks level 4, which thinks about 0.1 s a move, instead of
    // level 3: for a machine that can afford it. The second number of
    // "HintSet.ini"; no box in the window.
    std::uint8_t bytStrongHint = 0;

    bool operator==(const UserSet&) const = default;
};

inline constexpr int kUserSetCount = 5;     // the settings of "UserSet.ini"
inline constexpr int kPreferenceCount = 6;  // the boxes of the window
inline constexpr int kDiscardHintIndex = 5;
inline constexpr std::string_view kUserSetFileName = "UserSet.ini";
inline constexpr std::string_view kHintSetFileName = "HintSet.ini";

void SetUserSetDefault(UserSet& values);
// The file path: `strAppPath` (ending in "/") followed by "UserSet.ini".
std::string UserSetPath(std::string_view strAppPath);
// Reads the file; a missing or unreadable file, or fewer than five numbers,
// gives the defaults for all five.
UserSet LoadUserSet(std::string_view strAppPath);
// Writes five lines through a temporary file renamed over the old one, so
// the file is always whole. Returns false on failure (the caller stays silent).
bool SaveUserSet(const UserSet& values, std::string_view strAppPath);

// Setting i (0..4 in file order, 5 the hint), as 0 or 1.
std::uint8_t UserSetValue(const UserSet& values, int index);
void SetUserSetValue(UserSet& values, int index, bool on);

enum class UserSetButton { Default = 0, Confirm = 1, Cancel = 2 };

// frmUserSet ("用户设置"): five check boxes over the preferences.
class UserSetDialog {
public:
    // Loads the boxes from `values` and remembers setting 1.
    UserSetDialog(UserSet& values, std::string strAppPath, std::string strUserName);

    static std::string_view WindowCaption() { return "用户设置"; }
    static std::string_view CheckCaption(int index);
    static std::string_view FrameCaption(int frame);  // "基本设置", "提示设置"
    static int FrameOf(int checkIndex);               // boxes 0..2 in frame 0, 3..4 in frame 1
    static std::string_view ButtonCaption(UserSetButton button);

    bool IsChecked(int index) const { return checked_.at(index); }
    void SetChecked(int index, bool on) { checked_.at(index) = on; }

    // "默认值(&D)" ticks the first five boxes and clears the hint's; "确定(&Y)" stores, saves and
    // returns the 113/1 request when setting 1 changed; "取消(&C)" changes nothing. Confirm and
    // cancel close the window.
    std::optional<net::Bytes> PressButton(UserSetButton button);
    bool IsClosed() const { return closed_; }

private:
    UserSet& values_;
    std::string strAppPath_;
    std::string strUserName_;
    std::uint8_t allowWatchCardsAtLoad_ = 0;
    std::array<bool, kPreferenceCount> checked_{};
    bool closed_ = false;
};

}  // namespace qira::dialogs
