#pragma once

#include <cstdint>
#include <span>

#include "rules/table_state.h"

namespace qira::rules {

// One player's side of the analysis: the concealed hand in the order the
// table keeps it, the melds laid down, the hand's wild tile and whether the
// player has lost the right to win. The server builds one per seat; the
// client takes the local chair's from TableState.
struct HandView {
    std::span<const TileCode> hand;
    std::span<const MeldRecord> melds;
    TileCode wildTile = 0;
    bool noWin = false;

    bool IsWild(TileCode tile) const { return tile == wildTile; }
};

// The local player's hand and melds; bytNoWin of bytMyChair.
HandView LocalHandView(const TableState& table);

}  // namespace qira::rules
