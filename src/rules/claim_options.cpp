#include "rules/claim_options.h"

#include <algorithm>

namespace qira::rules {

namespace {

int CopiesHeld(const HandView& view, TileCode tile) {
    return static_cast<int>(std::count(view.hand.begin(), view.hand.end(), tile));
}

bool HasPungOf(const HandView& view, TileCode tile) {
    return std::any_of(view.melds.begin(), view.melds.end(), [tile](const MeldRecord& meld) {
        return meld.bytKind == MeldKind::Pung && meld.bytTile == tile;
    });
}

// A chow partner must be held, lie in the discard's suit and not be the wild tile.
bool IsChowPartner(const HandView& view, int tile, int partner) {
    if (partner < 0 || partner / 9 != tile / 9) return false;
    const auto code = static_cast<TileCode>(partner);
    if (view.IsWild(code)) return false;
    return std::find(view.hand.begin(), view.hand.end(), code) != view.hand.end();
}

}  // namespace

HandView LocalHandView(const TableState& table) {
    HandView view;
    view.hand = table.bytMyHand;
    view.melds = table.MyMelds();
    view.wildTile = table.bytWildTile;
    view.noWin = table.bytMyChair < kChairCount && table.Seats[table.bytMyChair].bytNoWin != 0;
    return view;
}

ClaimOption ChowOptions(const HandView& view, TileCode tile, std::vector<TileCode>& startTiles) {
    if (view.IsWild(tile) || !IsNumbered(tile)) return std::nullopt;
    const int t = tile;
    const std::size_t before = startTiles.size();
    if (IsChowPartner(view, t, t - 2) && IsChowPartner(view, t, t - 1)) {
        startTiles.push_back(static_cast<TileCode>(t - 2));
    }
    if (IsChowPartner(view, t, t - 1) && IsChowPartner(view, t, t + 1)) {
        startTiles.push_back(static_cast<TileCode>(t - 1));
    }
    if (IsChowPartner(view, t, t + 1) && IsChowPartner(view, t, t + 2)) {
        startTiles.push_back(tile);
    }
    return startTiles.size() > before ? ClaimOption(MeldKind::Chow) : std::nullopt;
}

ClaimOption PungOption(const HandView& view, TileCode tile) {
    if (view.IsWild(tile)) return std::nullopt;
    return CopiesHeld(view, tile) >= 2 ? ClaimOption(MeldKind::Pung) : std::nullopt;
}

ClaimOption KongOption(const HandView& view, TileCode tile, Turn turn) {
    if (view.IsWild(tile)) return std::nullopt;
    const int copies = CopiesHeld(view, tile);
    if (turn == Turn::Other) return copies == 3 ? ClaimOption(MeldKind::ExposedKong) : std::nullopt;
    if (copies == 4) return MeldKind::ConcealedKong;
    if (copies == 1 && HasPungOf(view, tile)) return MeldKind::ExposedKong;
    return std::nullopt;
}

ClaimOption FindOwnKong(const HandView& view, TileCode& tile) {
    for (TileCode held : view.hand) {
        if (CopiesHeld(view, held) == 4) {
            tile = held;
            return MeldKind::ConcealedKong;
        }
    }
    for (TileCode held : view.hand) {
        if (!view.IsWild(held) && HasPungOf(view, held)) {
            tile = held;
            return MeldKind::ExposedKong;
        }
    }
    return std::nullopt;
}

ClaimOption ChowOptions(const TableState& table, TileCode tile, std::vector<TileCode>& startTiles) {
    return ChowOptions(LocalHandView(table), tile, startTiles);
}

ClaimOption PungOption(const TableState& table, TileCode tile) {
    return PungOption(LocalHandView(table), tile);
}

ClaimOption KongOption(const TableState& table, TileCode tile, Turn turn) {
    return KongOption(LocalHandView(table), tile, turn);
}

ClaimOption FindOwnKong(const TableState& table, TileCode& tile) {
    return FindOwnKong(LocalHandView(table), tile);
}

int CountWildIndicators(const TableState& table) {
    return static_cast<int>(
        std::count(table.bytMyHand.begin(), table.bytMyHand.end(), table.bytWildIndicator));
}

}  // namespace qira::rules
