#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "rules/table_state.h"

namespace qira::play {

// A seat as the loaded user list describes it.
struct SeatFromList {
    std::string strPlayerName;
    std::int32_t lngPlayerKey = 0;  // the portrait number
    bool blnReady = false;
    bool blnUserFlag = false;  // dropped
};

// The user record of a name, "" when the list does not hold it.
using FindUserRecord = std::function<std::string(std::string_view name)>;

// The seats the list-loaded event sets up: for every loaded name in order
// whose record (exactly 16 fields) belongs to a player, its chair (field 13
// modulo 4) gets the name, the portrait, the ready flag (never while a hand
// runs, `bytGameState` 1) and the dropped flag. A later name on the same chair
// wins. A negative chair number names no chair. Chairs no player names stay
// nullopt and keep what they held.
std::array<std::optional<SeatFromList>, rules::kChairCount> SeatsFromLoadedList(
    std::span<const std::string> names, const FindUserRecord& findUser, std::uint8_t bytGameState);

}  // namespace qira::play
