#include "dialogs/game_set.h"

#include <cstdint>
#include <utility>

#include "net/numeric_text.h"
#include "net/requests.h"

namespace qira::dialogs {
namespace {

constexpr std::size_t kSettingsFieldCount = 6;

std::string RangeWarning(std::string_view what, std::int32_t smallest, std::int32_t largest) {
    return std::string(what) + " " + std::to_string(smallest) + " 和 " + std::to_string(largest) +
           " 之间！";
}

// Characters, not bytes: a box may hold text the server put there.
std::size_t CharacterCount(std::string_view text) {
    std::size_t count = 0;
    for (const char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    return count;
}

bool IsOutside(std::int32_t value, std::int32_t smallest, std::int32_t largest) {
    return value > largest || value < smallest;
}

}  // namespace

bool AcceptsGameSetKey(char32_t key) {
    return (key >= U'0' && key <= U'9') || key == static_cast<char32_t>(kBackspaceKey);
}

GameSetModel::GameSetModel(std::string strGameTitle, std::string strUserName)
    : strGameTitle_(std::move(strGameTitle)), strUserName_(std::move(strUserName)) {}

bool GameSetModel::SetInitGameSetInfo(DeskRole role, std::string_view strAllGameSetInfo) {
    role_ = role;
    if (IsDeskMaster()) {
        frameCaption_ = "你是桌主，请进行本桌游戏设置";
        firstButtonText_ = "确定";
        buttonCaptions_ = {"确定", "取消"};
    } else {
        frameCaption_ = "桌主对本桌游戏进行的设置情况";
        firstButtonText_ = "同意";
        buttonCaptions_ = {"同意", "不同意"};
    }
    const auto fields = net::SplitFields(strAllGameSetInfo);
    if (fields.size() != kSettingsFieldCount) return false;
    boxText_ = {fields[0], fields[3]};
    largestStake_ = net::ReadNumericValue(fields[1]);
    smallestStake_ = net::ReadNumericValue(fields[2]);
    largestPenalty_ = net::ReadNumericValue(fields[4]);
    smallestPenalty_ = net::ReadNumericValue(fields[5]);
    counter_ = 0;
    timerEnabled_ = true;
    return true;
}

std::string GameSetModel::WindowCaption() const {
    return strGameTitle_ + " 游戏设置";
}

const std::string& GameSetModel::ButtonCaption(GameSetButton button) const {
    return buttonCaptions_[static_cast<std::size_t>(button)];
}

std::string_view GameSetModel::BoxLabel(int box) {
    return box == 0 ? "本桌大小" : "逃跑者应扣除的积分";
}

std::optional<std::string> GameSetModel::Validate() const {
    for (const auto& text : boxText_)
        if (CharacterCount(text) > kGameSetMaxDigits) return "每个输入区域的数字不能超过 7 位！";
    if (IsOutside(net::ReadNumericValue(boxText_[0]), smallestStake_, largestStake_))
        return RangeWarning("本桌大小必须在", smallestStake_, largestStake_);
    if (IsOutside(net::ReadNumericValue(boxText_[1]), smallestPenalty_, largestPenalty_))
        return RangeWarning("逃跑者扣分大小必须在", smallestPenalty_, largestPenalty_);
    return std::nullopt;
}

std::array<std::string, 6> GameSetModel::RebuiltSettings() const {
    return {boxText_[0], std::to_string(largestStake_),   std::to_string(smallestStake_),
            boxText_[1], std::to_string(largestPenalty_), std::to_string(smallestPenalty_)};
}

GameSetOutcome GameSetModel::PressButton(GameSetButton button) {
    GameSetOutcome outcome;
    if (closed_) return outcome;
    timerEnabled_ = false;
    if (button == GameSetButton::Cancel) {
        outcome.request = net::requests::Leave(strUserName_);
    } else if (!IsDeskMaster()) {
        outcome.request = net::requests::RaiseHand(strUserName_);
    } else if (auto warning = Validate()) {
        // The countdown resumes once the warning has been read.
        outcome.warning = std::move(warning);
        return outcome;
    } else {
        const auto settings = RebuiltSettings();
        outcome.request = net::requests::ConfirmSettings(strUserName_, settings);
    }
    closed_ = true;
    outcome.closeWindow = true;
    return outcome;
}

GameSetOutcome GameSetModel::Tick() {
    if (!timerEnabled_ || closed_) return {};
    buttonCaptions_[0] =
        firstButtonText_ + " " + std::to_string(kGameSetCountdownSeconds - counter_);
    if (counter_ < INT32_MAX) ++counter_;
    if (counter_ <= kGameSetCountdownSeconds) return {};
    return PressButton(GameSetButton::Confirm);
}

}  // namespace qira::dialogs
