#pragma once

#include <array>
#include <vector>

#include "rules/hand_view.h"
#include "rules/table_state.h"

// A literal, deliberately unoptimised transcription of the win and ready
// analysis: brute-force trials of every wild-tile assignment. It is the yardstick
// the product implementation (rules/win_analysis.h) is compared against, and is
// never linked into the programs. Lists are 1-based as in the original
// procedures: element 0 of each vector is unused.
namespace qira::rules::reference {

class ReferenceAnalysis {
public:
    explicit ReferenceAnalysis(const HandView& view);

    bool CanWinWith(TileCode tile);
    bool DiscardWinBarred();
    bool SevenPairsTest(TileCode tile);
    bool DecomposePlain(const std::vector<TileCode>& list, TileCode tile);
    bool DecomposeWithWilds(const std::vector<TileCode>& list, TileCode tile, bool outside);
    bool FindWinningTile();
    bool KongKeepsReady(TileCode tile, MeldKind kind);

    bool IsWild(TileCode tile) const { return tile == bytWildTile; }

    std::vector<TileCode> LocalHand{0};           // 1-based
    std::vector<MeldRecord> Melds{MeldRecord{}};  // 1-based
    TileCode bytWildTile = 0;
    bool blnNoWin = false;

    std::array<TileCode, 5> bytWildStandIns{50, 50, 50, 50, 50};
    TileCode bytPairTile = 0;
    TileCode bytFirstWinningTile = 0;

private:
    int HandCount() const { return static_cast<int>(LocalHand.size()) - 1; }
};

}  // namespace qira::rules::reference
