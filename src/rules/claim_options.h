#pragma once

#include <vector>

#include "rules/hand_view.h"
#include "rules/table_state.h"

// What a player could claim or declare: chow, pung or kong on another chair's
// discard, or a kong on the player's own turn. The answers are the meld kinds
// (1 chow, 2 pung, 3 concealed kong, 4 exposed kong) or kNoOption.
namespace qira::rules {

inline constexpr int kNoOption = -1;

// Appends the start tile of every chow the discard completes, in the order
// tile - 2, tile - 1, tile (the caller empties `startTiles`). A held wild tile
// is never a chow partner, even by its face. Returns 1, or kNoOption.
int ChowOptions(const HandView& view, TileCode tile, std::vector<TileCode>& startTiles);
// 2 when two copies are held, else kNoOption; a wild tile is never punged.
int PungOption(const HandView& view, TileCode tile);
// On another chair's discard: 4 with three held copies. On the player's own
// turn (the tile already in the hand): 3 with four held copies, 4 with one held
// copy and a pung of it on the table.
int KongOption(const HandView& view, TileCode tile, Turn turn);
// The first kong the whole hand allows on the player's own turn, searched in
// hand order: four held copies (four wild tiles included) give 3, else a held
// non-wild tile with a pung of it on the table gives 4. Sets `tile` when found.
int FindOwnKong(const HandView& view, TileCode& tile);

// The same questions for the local player of the table.
int ChowOptions(const TableState& table, TileCode tile, std::vector<TileCode>& startTiles);
int PungOption(const TableState& table, TileCode tile);
int KongOption(const TableState& table, TileCode tile, Turn turn);
int FindOwnKong(const TableState& table, TileCode& tile);

// Copies of bytWildIndicator held; three or more allow the three-indicator kong.
int CountWildIndicators(const TableState& table);

}  // namespace qira::rules
