#pragma once

#include <optional>
#include <vector>

#include "rules/hand_view.h"
#include "rules/table_state.h"

// How a winning hand is read: its sets and pair (or its pairs), and what each
// wild tile stood for. Only the concealed tiles and the winning tile are
// arranged; melds already laid down are not repeated.
namespace qira::rules {

enum class GroupKind { Chow, Pung, Kong, Pair };

// One set or pair. `standsFor[i]` is the tile `tiles[i]` counts as: a natural
// tile stands for itself, a wild tile for the tile it replaces (its own face
// when it is used as itself). Tiles are in the order of what they stand for.
struct ExplainedGroup {
    GroupKind kind = GroupKind::Pair;
    std::vector<TileCode> tiles;
    std::vector<TileCode> standsFor;

    bool operator==(const ExplainedGroup&) const = default;
};

enum class WinShape { SetsAndPair, SevenPairs };

struct WinExplanation {
    WinShape shape = WinShape::SetsAndPair;
    // Sets and pair: the sets in the order of their lowest tile, then the pair.
    // Seven pairs: the pairs in the order of their tile.
    std::vector<ExplainedGroup> groups;
};

// One arrangement of the hand that wins with `tile` (the work list of
// CanWinWith: the hand, plus the tile when the hand does not hold 3k + 2
// tiles), or nothing exactly when CanWinWith(view, tile) is false or a code
// above 38 is involved.
//
// Of the many arrangements a hand may have, the one a player names first:
// - seven pairs when the hand is seven pairs (the shape the score counts);
// - otherwise the arrangement whose wild tiles replace the fewest tiles (a
//   wild tile used as its own face replaces nothing), then the fewest wild
//   tiles as chow middles, then in chows at all, then in groups without a
//   natural tile: a wild tile joins natural tiles of its own set as one more
//   copy of them before it fills a gap;
// - among arrangements the analysis accepts, one that does not show a wild
//   tile turning another player's discard into the pair.
// Remaining ties go to the arrangement found first, trying for the lowest
// tile a pair, then a pung, then a chow.
std::optional<WinExplanation> ExplainWin(const HandView& view, TileCode tile);

}  // namespace qira::rules
