#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "net/packet.h"
#include "rules/table_state.h"

// The table as an onlooker without permission sees it, read back from the
// snapshots the server sends such an onlooker. Face-down tiles stay face
// down: a concealed kong's tile and the tile just drawn read as kFaceDown,
// and a chair's concealed tiles are only counted.
namespace qira::server::web {

inline constexpr std::uint8_t kFaceDown = rules::kFaceDownTile;

struct MeldSight {
    rules::MeldKind kind = rules::MeldKind::Chow;
    std::uint8_t tile = 0;  // a chow's lowest; kFaceDown for another's concealed kong
    std::uint8_t source = 0;
};

struct SeatSight {
    std::vector<MeldSight> melds;
    std::vector<std::uint8_t> discards;
    int concealedCount = 0;
    int wallLeft = 0;  // tiles left in the chair's segment of the wall
    bool ting = false;
    bool ready = false;  // between hands: ready for the next
};

struct TableSight {
    bool running = false;
    std::array<SeatSight, rules::kChairCount> seats;
    int dealer = 0;
    int turn = 0;
    int phase = 0;
    std::uint8_t current = 0;  // the tile on the table; kFaceDown when hidden
    std::uint8_t indicator = 0;
    std::uint8_t wild = 0;
    int wallLeft = 0;
};

// Reads the four snapshots (one per watched chair, as Table::LiveView makes
// them). A short or malformed snapshot, or one that claims the hand is
// visible, gives nothing.
std::optional<TableSight> ReadSight(const std::array<net::Bytes, rules::kChairCount>& snapshots);

// The tiles of a meld as they lie on the table.
std::vector<std::uint8_t> MeldTiles(const MeldSight& meld);

}  // namespace qira::server::web
