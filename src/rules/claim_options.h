#pragma once

#include <optional>
#include <vector>

#include "rules/hand_view.h"
#include "rules/table_state.h"

// What a player could claim or declare: chow, pung or kong on another chair's
// discard, or a kong on the player's own turn. The answers are the meld kinds
// (chow, pung, concealed kong, exposed kong), or nothing when no claim fits.
namespace qira::rules {

using ClaimOption = std::optional<MeldKind>;

// Appends the start tile of every chow the discard completes, in the order
// tile - 2, tile - 1, tile (the caller empties `startTiles`). A held wild tile
// is never a chow partner, even by its face. Returns Chow, or nothing.
ClaimOption ChowOptions(const HandView& view, TileCode tile, std::vector<TileCode>& startTiles);
// Pung when two copies are held; a wild tile is never punged.
ClaimOption PungOption(const HandView& view, TileCode tile);
// On another chair's discard: an exposed kong with three held copies. On the
// player's own turn (the tile already in the hand): a concealed kong with four
// held copies, an exposed kong with one held copy and a pung of it on the table.
ClaimOption KongOption(const HandView& view, TileCode tile, Turn turn);
// The first kong the whole hand allows on the player's own turn, searched in
// hand order: four held copies (four wild tiles included) give a concealed kong,
// else a held non-wild tile with a pung of it on the table an exposed one. Sets
// `tile` when found.
ClaimOption FindOwnKong(const HandView& view, TileCode& tile);

// The same questions for the local player of the table.
ClaimOption ChowOptions(const TableState& table, TileCode tile, std::vector<TileCode>& startTiles);
ClaimOption PungOption(const TableState& table, TileCode tile);
ClaimOption KongOption(const TableState& table, TileCode tile, Turn turn);
ClaimOption FindOwnKong(const TableState& table, TileCode& tile);

// Copies of bytWildIndicator held; three or more allow the three-indicator kong.
int CountWildIndicators(const TableState& table);

}  // namespace qira::rules
