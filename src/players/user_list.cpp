#include "players/user_list.h"

#include <algorithm>

#include "net/numeric_text.h"
#include "net/packet.h"

namespace qira::players {
namespace {

std::string_view NameOf(std::string_view record) {
    return record.substr(0, std::min(record.find(net::kFieldSeparator), record.size()));
}

std::string_view TrimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::optional<UserRecord> ParseUserRecord(std::string_view record) {
    const auto fields = net::SplitFields(record);
    if (fields.size() != kUserRecordFieldCount) return std::nullopt;
    UserRecord parsed;
    std::move(fields.begin(), fields.end(), parsed.begin());
    return parsed;
}

bool IsOnlooker(const UserRecord& record) {
    return !TrimBlanks(record[kWatchedPlayer]).empty();
}

const UserList::Entry* UserList::Find(std::string_view name) const {
    const auto found = positions_.find(std::string(name));
    return found == positions_.end() ? nullptr : &records_.at(found->second);
}

bool UserList::AddUser(std::string_view record) {
    if (!ParseUserRecord(record)) return false;
    const std::string_view name = NameOf(record);
    if (name.empty() || Contains(name) || records_.size() >= kMaxUsers) return false;
    positions_[std::string(name)] = nextNumber_;
    records_.emplace(nextNumber_++, Entry{std::string(name), std::string(record)});
    return true;
}

bool UserList::RemoveUser(std::string_view name) {
    const auto found = positions_.find(std::string(name));
    if (found == positions_.end()) return false;
    records_.erase(found->second);
    positions_.erase(found);
    return true;
}

std::string UserList::FindUser(std::string_view name) const {
    const Entry* found = Find(name);
    return found ? found->record : std::string();
}

bool UserList::Contains(std::string_view name) const {
    return Find(name) != nullptr;
}

bool UserList::RefreshUser(std::string_view record) {
    if (!ParseUserRecord(record)) return false;
    const auto found = positions_.find(std::string(NameOf(record)));
    if (found == positions_.end()) return false;
    records_.at(found->second).record = std::string(record);
    return true;
}

void UserList::Clear() {
    records_.clear();
    positions_.clear();
}

std::vector<std::string> UserList::LoadList(std::string_view text) {
    Clear();
    std::vector<std::string> names;
    while (!text.empty()) {
        const auto end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (AddUser(line)) names.emplace_back(NameOf(line));
    }
    return names;
}

std::vector<std::string> UserList::Names() const {
    std::vector<std::string> names;
    names.reserve(records_.size());
    for (const auto& [number, entry] : records_) names.push_back(entry.name);
    return names;
}

std::string UserTypeLabel(std::int32_t portraitNumber,
                          const std::array<std::string, 5>& strUserTypeNames) {
    const std::int32_t type = portraitNumber / 1000;
    if (type == 0) return "普通用户";
    if (type >= 1 && type <= 4) return strUserTypeNames[static_cast<std::size_t>(type)];
    return "未知身份";
}

std::optional<UserMenu> BuildUserMenu(std::string_view record,
                                      const launch::ClientGlobals& globals) {
    const auto parsed = ParseUserRecord(record);
    if (!parsed) return std::nullopt;
    const UserRecord& f = *parsed;
    const std::string scoreLabel = globals.launch.bytScoreMode != 0 ? "积分:" : "经验:";
    UserMenu menu;
    menu.tag = f[kName];
    menu.captions = {
        f[kName] + "   身份：" +
            UserTypeLabel(net::ReadNumericValue(f[kPortrait]), globals.strUserTypeNames),
        "游戏ID：" + f[kUserId],
        "旁观对象：" + f[kWatchedPlayer],
        std::string(kUserMenuSeparator),
        "与他（她）交谈",
        std::string(kUserMenuSeparator),
        "级别:" + launch::GetLevelTitle(globals.levels, net::ReadNumericValue(f[kLevel])) +
            "   胜率:" + f[kWinRate] + "%   逃跑率:" + f[kEscapeRate] + "%",
        scoreLabel + f[kScore] + "   胜:" + f[kWins] + "   输:" + f[kLosses] +
            "   和:" + f[kDraws] + "   总局数:" + f[kHandsPlayed],
    };
    return menu;
}

std::optional<std::string> ExecUserMenu(const UserMenu& menu, int lngUserMenuItemIdx) {
    if (menu.tag.empty() || lngUserMenuItemIdx != kUserMenuTalkItem) return std::nullopt;
    return menu.tag;
}

}  // namespace qira::players
