#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "net/packet.h"

// The table-settings dialog (frmGameSet) without its window: the owner sets
// the table stake and the escape penalty within the server's limits; the
// other players agree or disagree. Either side answers with one request.
namespace qira::dialogs {

enum class DeskRole { Master, Player };  // Master: the local user owns the table

enum class GameSetButton { Confirm = 0, Cancel = 1 };

inline constexpr std::int32_t kGameSetCountdownSeconds = 20;
inline constexpr std::size_t kGameSetMaxDigits = 7;
inline constexpr char kBackspaceKey = 8;

// Only digits and backspace reach the number boxes.
bool AcceptsGameSetKey(char32_t key);

// What a button press or a countdown tick asks of the window.
struct GameSetOutcome {
    std::optional<net::Bytes> request;   // to send through SendGameSetResult
    std::optional<std::string> warning;  // to show in a warning box, then ResumeAfterWarning
    bool closeWindow = false;
};

class GameSetModel {
public:
    GameSetModel(std::string strGameTitle, std::string strUserName);

    // Prepares the dialog for its role and loads the six settings fields.
    // False (and no countdown) when the text does not have exactly six.
    bool SetInitGameSetInfo(DeskRole role, std::string_view strAllGameSetInfo);

    std::string WindowCaption() const;  // the game title and " 游戏设置"
    const std::string& GameTitle() const { return strGameTitle_; }  // the warnings' caption
    const std::string& FrameCaption() const { return frameCaption_; }
    const std::string& ButtonCaption(GameSetButton button) const;
    static std::string_view BoxLabel(int box);  // "本桌大小", "逃跑者应扣除的积分"
    bool IsDeskMaster() const { return role_ == DeskRole::Master; }
    bool AreBoxesEditable() const { return IsDeskMaster(); }

    const std::string& BoxText(int box) const { return boxText_.at(box); }
    void SetBoxText(int box, std::string text) { boxText_.at(box) = std::move(text); }

    // The warning text for the owner's numbers, nullopt when they are valid.
    std::optional<std::string> Validate() const;

    // The settings text the owner confirms: the boxes and the four limits.
    std::array<std::string, 6> RebuiltSettings() const;

    GameSetOutcome PressButton(GameSetButton button);
    // One countdown second: shows the count on the first button, and presses
    // it when 20 seconds have passed.
    GameSetOutcome Tick();
    // The warning box of a failed confirm was dismissed: the countdown goes on.
    void ResumeAfterWarning() { timerEnabled_ = !closed_; }

    bool IsTimerEnabled() const { return timerEnabled_; }
    bool IsClosed() const { return closed_; }

private:
    std::string strGameTitle_;
    std::string strUserName_;
    DeskRole role_ = DeskRole::Player;
    std::string frameCaption_;
    std::string firstButtonText_;
    std::array<std::string, 2> buttonCaptions_;
    std::array<std::string, 2> boxText_;
    std::int32_t largestStake_ = 0;
    std::int32_t smallestStake_ = 0;
    std::int32_t largestPenalty_ = 0;
    std::int32_t smallestPenalty_ = 0;
    std::int32_t counter_ = 0;
    bool timerEnabled_ = false;
    bool closed_ = false;
};

}  // namespace qira::dialogs
