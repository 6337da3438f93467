#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "launch/globals.h"

namespace qira::players {

// A user as the server describes one: 16 text fields joined by "`", from the
// name (field 0) to the dropped flag (field 15).
inline constexpr std::size_t kUserRecordFieldCount = 16;
using UserRecord = std::array<std::string, kUserRecordFieldCount>;

// Field positions of the user record.
enum UserField : std::size_t {
    kName = 0,
    kUserId = 1,
    kScore = 2,
    kLevel = 3,
    kWatchedPlayer = 4,
    kHandsPlayed = 5,
    kWinRate = 6,
    kEscapeRate = 7,
    kWins = 8,
    kLosses = 9,
    kDraws = 10,
    kCharacterType = 11,
    kPortrait = 12,
    kChair = 13,
    kHandRaised = 14,
    kDropped = 15,
};

// The record's fields, or nullopt when it does not have exactly 16.
std::optional<UserRecord> ParseUserRecord(std::string_view record);

// An onlooker names the player it watches in field 4; blanks alone name nobody.
bool IsOnlooker(const UserRecord& record);

// A table holds four players and its onlookers (our server admits 32 by
// default): a list that keeps at most this many stays small whatever a
// server sends.
inline constexpr std::size_t kMaxUsers = 5000;

// The user records of everybody at the table, keyed by name, in the order
// they arrived. This is the model behind the user-list pane.
class UserList {
public:
    // Adds a record of 16 fields whose name is not listed yet. Returns false
    // (and changes nothing) for a malformed record, an empty name, a name
    // already listed or a full list (kMaxUsers).
    bool AddUser(std::string_view record);
    // Returns false when the name is not listed.
    bool RemoveUser(std::string_view name);
    // The record text of the name, "" when absent.
    std::string FindUser(std::string_view name) const;
    bool Contains(std::string_view name) const;
    // Replaces the record with the same name. Returns false for a malformed
    // record or a name not listed.
    bool RefreshUser(std::string_view record);
    void Clear();

    // Replaces the whole list from the text of room message 130/2: records of
    // 16 fields, one per line ("\n", a "\r" before it is dropped). Lines that
    // are not such records, and repeated names, are skipped. Returns the
    // names loaded, in order: what the list-loaded event reports.
    std::vector<std::string> LoadList(std::string_view text);

    std::vector<std::string> Names() const;
    std::size_t size() const { return records_.size(); }
    bool empty() const { return records_.empty(); }

private:
    struct Entry {
        std::string name;
        std::string record;
    };
    const Entry* Find(std::string_view name) const;
    // Arrival order by a running number, so that a departure from the middle
    // of thousands of users costs no more than an arrival.
    std::map<std::uint64_t, Entry> records_;
    std::unordered_map<std::string, std::uint64_t> positions_;  // each name's number
    std::uint64_t nextNumber_ = 0;
};

// "普通用户" for portrait numbers 0..999, the membership tier labels of
// `strUserTypeNames` for the next four thousands, "未知身份" for anything else.
std::string UserTypeLabel(std::int32_t portraitNumber,
                          const std::array<std::string, 5>& strUserTypeNames);

// Item 4 of the user menu talks to the user; items 3 and 5 are separators.
inline constexpr int kUserMenuItemCount = 8;
inline constexpr int kUserMenuTalkItem = 4;
inline constexpr std::string_view kUserMenuSeparator = "-";

// The pop-up menu on one user: eight item captions, every item tagged with
// the user's name.
struct UserMenu {
    std::array<std::string, kUserMenuItemCount> captions;
    std::string tag;
};

// Builds the menu for a record of exactly 16 fields; other records build nothing.
std::optional<UserMenu> BuildUserMenu(std::string_view record,
                                      const launch::ClientGlobals& globals);

// What choosing item `lngUserMenuItemIdx` does: the user to make the chat
// target (item 4 with a non-empty tag), or nothing.
std::optional<std::string> ExecUserMenu(const UserMenu& menu, int lngUserMenuItemIdx);

}  // namespace qira::players
