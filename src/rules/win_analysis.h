#pragma once

#include <optional>
#include <vector>

#include "rules/hand_view.h"
#include "rules/suit_table.h"
#include "rules/table_state.h"

// Whether a hand wins with one more tile, and whether it is ready.
//
// Two winning shapes exist: sets (chows and pungs) and one pair, the melds on
// the table not counted, and seven pairs when nothing is laid down. Each wild
// tile may stand for a tile equal or next (same suit) to a non-wild tile of the
// work list. The tested tile counts as another player's discard whenever the
// hand does not hold 3k + 2 tiles; winning on a discard is limited: no win for
// a hand of three or more wild tiles, none when a wild tile would only complete
// the discard into the pair, and none for a wait too wide (DiscardWinBarred).
//
// The answers equal those of the straightforward search over every wild-tile
// assignment; this implementation gets them from per-suit tables instead.
namespace qira::rules {

bool CanWinWith(const HandView& view, TileCode tile);

// For a hand of 3k + 1 tiles with one or two wild tiles: true when some tile
// of the hand wins, and so do all its neighbours within two ranks.
bool DiscardWinBarred(const HandView& view);

// The first winning tile in the order 0-30, 36-38, or nothing.
std::optional<TileCode> FindWinningTile(const HandView& view);

// Every tile with which CanWinWith holds, in the order 0-30, 36-38.
std::vector<TileCode> WinningTiles(const HandView& view);

// The ready test after a kong of `tile` (every held copy leaves the hand and
// the kong is laid down, upgrading a pung of it).
std::optional<TileCode> FindWinningTileAfterKong(const HandView& view, TileCode tile,
                                                 MeldKind kind);
bool KongKeepsReady(const HandView& view, TileCode tile, MeldKind kind);

// The local player's questions on the table.
bool CanWinWith(const TableState& table, TileCode tile);
bool DiscardWinBarred(const TableState& table);
// Stores the tile found in bytFirstWinningTile, which keeps its value otherwise.
bool FindWinningTile(TableState& table);
// A successful trial stores its first winning tile in bytFirstWinningTile, as
// the ready test does; the hand and melds are not touched.
bool KongKeepsReady(TableState& table, TileCode tile, MeldKind kind);

// Builds the analysis tables now rather than at the first question, keeping
// the answers worked out for each suit pattern in a cache of the given size, so
// repeated questions get faster. Without a call the first question builds them
// with the small cache, which suits a program that asks for one player.
void PrepareWinAnalysis(AnswerCache size);

}  // namespace qira::rules
