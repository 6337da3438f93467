#include "dialogs/user_prefs.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

#include "net/requests.h"

namespace qira::dialogs {
namespace {

constexpr std::array<std::string_view, kPreferenceCount> kCheckCaptions = {
    "允许旁观者看我的牌", "启用音效",           "显示用户进出消息",
    "强退时给出提示",     "出牌不对时给出提示", "出牌提示",
};

// The setting at `index` in file order; const or not, as `values` is.
template <typename Values>
auto* Field(Values& values, int index) {
    using Pointer = decltype(&values.bytSoundOn);
    switch (index) {
        case 0:
            return &values.bytAllowWatchCards;
        case 1:
            return &values.bytSoundOn;
        case 2:
            return &values.bytShowInOut;
        case 3:
            return &values.bytQuitPrompt;
        case 4:
            return &values.bytWrongOutPrompt;
        case kDiscardHintIndex:
            return &values.bytDiscardHint;
        default:
            return static_cast<Pointer>(nullptr);
    }
}

// One stored value: a whole number that fits a byte. Anything else makes
// the file unreadable.
std::optional<std::uint8_t> ParseStoredValue(const std::string& token) {
    std::size_t index = token[0] == '+' ? 1 : 0;
    if (index == token.size()) return std::nullopt;
    int value = 0;
    for (; index < token.size(); ++index) {
        if (token[index] < '0' || token[index] > '9') return std::nullopt;
        value = value * 10 + (token[index] - '0');
        if (value > 255) return std::nullopt;
    }
    return static_cast<std::uint8_t>(value != 0 ? 1 : 0);
}

std::optional<UserSet> ParseUserSet(const std::string& text) {
    std::string spaced = text;
    for (char& c : spaced)
        if (c == ',' || c == '\r') c = ' ';
    std::istringstream stream(spaced);
    UserSet values;
    std::string token;
    for (int index = 0; index < kUserSetCount; ++index) {
        if (!(stream >> token)) return std::nullopt;
        const auto value = ParseStoredValue(token);
        if (!value) return std::nullopt;
        *Field(values, index) = *value;
    }
    return values;
}

bool WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written <= 0) return false;
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

}  // namespace

void SetUserSetDefault(UserSet& values) {
    values = UserSet{};
}

std::string UserSetPath(std::string_view strAppPath) {
    return std::string(strAppPath) + std::string(kUserSetFileName);
}

namespace {

std::optional<std::string> ReadWhole(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

// The `which`-th number (0: the hint, 1: its strength) of the hint's file,
// 0 or 1; anything else leaves it off.
std::uint8_t ParseHint(const std::optional<std::string>& text, int which) {
    if (!text) return 0;
    std::istringstream stream(*text);
    std::string token;
    for (int i = 0; i <= which; ++i)
        if (!(stream >> token)) return 0;
    return ParseStoredValue(token).value_or(0);
}

// Writes `text` through a temporary file renamed over `path`.
bool ReplaceFile(const std::string& path, std::string_view text) {
    std::string temporary = path + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return false;
    const bool written = ::fchmod(fd, 0644) == 0 && WriteAll(fd, text) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace

UserSet LoadUserSet(std::string_view strAppPath) {
    UserSet values;
    if (const auto text = ReadWhole(UserSetPath(strAppPath)))
        values = ParseUserSet(*text).value_or(UserSet{});
    const auto hint = ReadWhole(std::string(strAppPath) + std::string(kHintSetFileName));
    values.bytDiscardHint = ParseHint(hint, 0);
    values.bytStrongHint = ParseHint(hint, 1);
    return values;
}

bool SaveUserSet(const UserSet& values, std::string_view strAppPath) {
    std::string text;
    for (int index = 0; index < kUserSetCount; ++index)
        text += " " + std::to_string(UserSetValue(values, index)) + " \n";
    const bool saved = ReplaceFile(UserSetPath(strAppPath), text);
    const std::string hint = " " + std::to_string(UserSetValue(values, kDiscardHintIndex)) + " " +
                             std::to_string(values.bytStrongHint != 0 ? 1 : 0) + " \n";
    return ReplaceFile(std::string(strAppPath) + std::string(kHintSetFileName), hint) && saved;
}

std::uint8_t UserSetValue(const UserSet& values, int index) {
    const std::uint8_t* field = Field(values, index);
    return field != nullptr && *field != 0 ? 1 : 0;
}

void SetUserSetValue(UserSet& values, int index, bool on) {
    if (std::uint8_t* field = Field(values, index)) *field = on ? 1 : 0;
}

UserSetDialog::UserSetDialog(UserSet& values, std::string strAppPath, std::string strUserName)
    : values_(values), strAppPath_(std::move(strAppPath)), strUserName_(std::move(strUserName)) {
    allowWatchCardsAtLoad_ = UserSetValue(values_, 0);
    for (int index = 0; index < kPreferenceCount; ++index)
        checked_[static_cast<std::size_t>(index)] = UserSetValue(values_, index) == 1;
}

std::string_view UserSetDialog::CheckCaption(int index) {
    return kCheckCaptions.at(static_cast<std::size_t>(index));
}

std::string_view UserSetDialog::FrameCaption(int frame) {
    return frame == 0 ? "基本设置" : "提示设置";
}

int UserSetDialog::FrameOf(int checkIndex) {
    return checkIndex < 3 ? 0 : 1;  // the hint joins the prompts
}

std::string_view UserSetDialog::ButtonCaption(UserSetButton button) {
    switch (button) {
        case UserSetButton::Default:
            return "默认值(&D)";
        case UserSetButton::Confirm:
            return "确定(&Y)";
        case UserSetButton::Cancel:
            return "取消(&C)";
    }
    return {};
}

std::optional<net::Bytes> UserSetDialog::PressButton(UserSetButton button) {
    if (closed_) return std::nullopt;
    switch (button) {
        case UserSetButton::Default:
            checked_.fill(true);
            checked_[kDiscardHintIndex] = false;
            return std::nullopt;
        case UserSetButton::Cancel:
            closed_ = true;
            return std::nullopt;
        case UserSetButton::Confirm:
            break;
    }
    for (int index = 0; index < kPreferenceCount; ++index)
        SetUserSetValue(values_, index, checked_[static_cast<std::size_t>(index)]);
    SaveUserSet(values_, strAppPath_);
    closed_ = true;
    if (values_.bytAllowWatchCards == allowWatchCardsAtLoad_) return std::nullopt;
    return net::requests::AllowWatchCards(strUserName_, values_.bytAllowWatchCards != 0);
}

}  // namespace qira::dialogs
