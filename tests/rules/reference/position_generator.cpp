#include "position_generator.h"

#include <algorithm>

namespace qira::rules::reference {

namespace {

constexpr std::array<TileCode, kDistinctTiles> kAllTiles = [] {
    std::array<TileCode, kDistinctTiles> tiles{};
    int next = 0;
    for (int code = 0; code <= kLastTileCode; ++code) {
        if (IsTileCode(code)) tiles[next++] = static_cast<TileCode>(code);
    }
    return tiles;
}();

}  // namespace

TileCode PositionGenerator::AnyTile() {
    return kAllTiles[Below(kDistinctTiles)];
}

int PositionGenerator::WildCount() {
    const int roll = Below(100);
    if (roll < 12) return 0;
    if (roll < 42) return 1;
    if (roll < 72) return 2;
    if (roll < 88) return 3;
    return 4;
}

void PositionGenerator::AddSetsAndPair(Position& position, int sets) {
    // Most tiles come from one or two suits so that sets overlap and waits are wide.
    auto tileNear = [&]() -> TileCode {
        if (Chance(15)) return static_cast<TileCode>(27 + Below(4));
        if (Chance(8)) return static_cast<TileCode>(36 + Below(3));
        const int suit = suitsInPlay_[Below(static_cast<int>(suitsInPlay_.size()))];
        return static_cast<TileCode>(suit * 9 + Below(9));
    };
    for (int i = 0; i < sets; ++i) {
        const TileCode base = tileNear();
        if (IsNumbered(base) && base % 9 <= 6 && Chance(60)) {
            position.hand.insert(position.hand.end(), {base, static_cast<TileCode>(base + 1),
                                                       static_cast<TileCode>(base + 2)});
        } else {
            position.hand.insert(position.hand.end(), {base, base, base});
        }
    }
    const TileCode pair = tileNear();
    position.hand.insert(position.hand.end(), {pair, pair});
}

void PositionGenerator::AddSevenPairs(Position& position) {
    for (int i = 0; i < 7; ++i) {
        // Now and then the same pair twice: four of a kind count as two pairs.
        const TileCode tile =
            !position.hand.empty() && Chance(15) ? position.hand.back() : AnyTile();
        position.hand.insert(position.hand.end(), {tile, tile});
    }
}

void PositionGenerator::SortLikeTheTable(Position& position) {
    auto& hand = position.hand;
    std::sort(hand.begin(), hand.end());
    std::stable_partition(hand.begin(), hand.end(),
                          [&](TileCode tile) { return tile == position.wild; });
    if (Chance(10)) std::shuffle(hand.begin(), hand.end(), random_);
}

Position PositionGenerator::Next(HandSize size) {
    Position position;
    suitsInPlay_ = {Below(3)};
    if (Chance(50)) suitsInPlay_.push_back(Below(3));

    const int melds = Chance(35) ? 0 : Below(5);
    for (int i = 0; i < melds; ++i) {
        const auto kind = static_cast<MeldKind>(1 + Below(4));
        position.melds.push_back({kind, AnyTile(), static_cast<std::uint8_t>(Below(4))});
    }

    if (melds == 0 && Chance(30)) {
        AddSevenPairs(position);
    } else {
        AddSetsAndPair(position, 4 - melds);
    }

    // The wild tile is often one the hand uses, so that it also shows its face.
    position.wild =
        Chance(40) ? position.hand[Below(static_cast<int>(position.hand.size()))] : AnyTile();
    const int wilds = WildCount();
    for (int i = 0; i < wilds; ++i) {
        position.hand[Below(static_cast<int>(position.hand.size()))] = position.wild;
    }

    // A complete hand, now disturbed: tiles swapped for neighbours or others.
    const int changes = Below(3);
    for (int i = 0; i < changes; ++i) {
        TileCode& tile = position.hand[Below(static_cast<int>(position.hand.size()))];
        if (IsNumbered(tile) && Chance(60)) {
            const int rank = tile % 9 + (Chance(50) ? 1 : -1);
            if (rank >= 0 && rank < 9) tile = static_cast<TileCode>(tile / 9 * 9 + rank);
        } else {
            tile = AnyTile();
        }
    }

    // Full hands hold 3k + 2 tiles; between turns one is gone.
    HandSize shape = size;
    if (size == HandSize::Mixed) {
        const int roll = Below(100);
        shape = roll < 55 ? HandSize::BetweenTurns : HandSize::OnOwnTurn;
        if (roll >= 97) {
            position.hand.erase(position.hand.begin() +
                                Below(static_cast<int>(position.hand.size())));
            position.hand.erase(position.hand.begin() +
                                Below(static_cast<int>(position.hand.size())));
        }
    }
    if (shape == HandSize::BetweenTurns) {
        position.hand.erase(position.hand.begin() + Below(static_cast<int>(position.hand.size())));
    }

    // Keep to four copies of a code, except for a rare malformed hand.
    if (!Chance(2)) {
        std::array<int, 256> copies{};
        for (TileCode& tile : position.hand) {
            while (copies[tile] >= 4) tile = AnyTile();
            ++copies[tile];
        }
    }

    position.noWin = Chance(3);
    SortLikeTheTable(position);
    return position;
}

Position PositionGenerator::FromBytes(const std::uint8_t* data, std::size_t size) {
    Position position;
    if (size < 3) return position;
    position.wild = data[0] % 39;
    position.noWin = data[1] % 32 == 0;
    const int melds = data[2] % 5;
    for (int i = 0; i < melds; ++i) position.melds.push_back({MeldKind::Pung, 0, 0});
    for (std::size_t i = 3; i < size && position.hand.size() < 15; ++i) {
        position.hand.push_back(static_cast<TileCode>(data[i] % 39));
    }
    return position;
}

}  // namespace qira::rules::reference
