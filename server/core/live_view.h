#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "net/packet.h"
#include "rules/table_state.h"

// What anyone may know of a running table from outside it: who sits and
// watches, the points, and the table as an onlooker without permission to
// see a hand is sent it. A copy, so the reader can never change the table.
namespace qira::server {

struct LiveSeat {
    std::string name;
    std::int64_t points = 0;
    bool computer = false;
    bool connected = true;
};

struct LiveTable {
    int number = 0;
    int handsPlayed = 0;
    bool running = false;
    std::array<std::optional<LiveSeat>, rules::kChairCount> seats;
    std::vector<std::string> onlookers;
    // Milliseconds until the table's clock runs out, when it runs.
    std::optional<std::int64_t> clockMs;
    // Per chair: the snapshot (body of message 109 from byte 2) an onlooker of
    // that chair gets when it may not see the hand: only its tile count.
    std::array<net::Bytes, rules::kChairCount> onlookerSnapshots;
};

}  // namespace qira::server
