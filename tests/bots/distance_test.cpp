// The computer player's distance to a ready hand equals the plain block
// search's on every kind of hand: random ones, hands crowded into one suit,
// every meld count, with and without wild tiles, and odd hands from the wire.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "bots/brain.h"
#include "bots/distance.h"
#include "reference_distance.h"

namespace qira::bots {
namespace {

std::vector<Tile> FullSet(int suits, bool honours) {
    std::vector<Tile> set;
    for (int kind = 0; kind < rules::kDistinctTiles; ++kind) {
        const Tile tile = rules::TileOfKind(kind);
        const bool wanted = rules::IsNumbered(tile) ? rules::SuitOf(tile) < suits : honours;
        if (wanted)
            for (int copy = 0; copy < 4; ++copy) set.push_back(tile);
    }
    return set;
}

void ExpectSameDistances(const std::vector<Tile>& tiles, int hands, std::uint32_t seed) {
    std::mt19937 random(seed);
    auto set = tiles;
    for (int i = 0; i < hands; ++i) {
        std::shuffle(set.begin(), set.end(), random);
        const auto melds = static_cast<std::size_t>(random() % 5);
        const std::size_t size = 3 * (4 - melds) + 1 + random() % 2;
        const std::vector<Tile> hand(set.begin(), set.begin() + static_cast<long>(size));
        // The wild tile: one from the hand, one from elsewhere, or none held.
        const Tile wild = random() % 3 == 0 ? hand[random() % hand.size()] : set[size];
        ASSERT_EQ(ShantenOf(hand, melds, wild), reference::Distance(hand, melds, wild))
            << "hand " << i << " of seed " << seed << ", " << melds << " melds, wild " << int(wild);
    }
}

TEST(Distance, EqualsTheBlockSearchOnRandomHands) {
    ExpectSameDistances(FullSet(3, true), 20'000, 1);
}

TEST(Distance, EqualsTheBlockSearchOnHandsCrowdedIntoFewSuits) {
    ExpectSameDistances(FullSet(1, false), 6'000, 2);
    ExpectSameDistances(FullSet(1, true), 6'000, 3);
    ExpectSameDistances(FullSet(2, false), 6'000, 4);
}

TEST(Distance, EqualsTheBlockSearchOnOddHands) {
    // Five copies of a tile, more tiles than the melds leave room for, codes
    // that name no tile: what a confused view from the network may hold.
    const std::vector<std::vector<Tile>> odd = {
        {0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9},
        {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19},
        {0, 1, 2, 31, 200, 9, 10, 11, 27, 27},
        {},
    };
    for (const auto& hand : odd)
        for (std::size_t melds = 0; melds <= 5; ++melds)
            EXPECT_EQ(ShantenOf(hand, melds, 30), reference::Distance(hand, melds, 30))
                << hand.size() << " tiles, " << melds << " melds";
}

// Tiles come and go one at a time, as in a hand played out; after each
// change, and for every tile more or less, the kept distance equals the whole
// hand's.
TEST(Distance, KeptDistanceFollowsEveryChange) {
    std::mt19937 random(7);
    auto set = FullSet(3, true);
    for (int round = 0; round < 200; ++round) {
        std::shuffle(set.begin(), set.end(), random);
        const std::size_t melds = round % 4;
        const std::size_t size = 13 - 3 * melds;
        const int wilds = round % 3;
        rules::KindCounts counts{};
        for (std::size_t i = 0; i < size; ++i) ++counts[rules::KindIndex(set[i])];
        HandDistance kept(counts, wilds, melds);
        for (std::size_t next = size; next < size + 12; ++next) {
            const int in = rules::KindIndex(set[next]);
            kept.Add(in);
            ++counts[in];
            ASSERT_EQ(kept.Distance(), DistanceOf(counts, wilds, melds));
            for (int kind = 0; kind < rules::kDistinctTiles; ++kind) {
                if (counts[kind] == 0) continue;
                --counts[kind];
                ASSERT_EQ(kept.WithoutOne(kind), DistanceOf(counts, wilds, melds));
                ++counts[kind];
            }
            const int out = static_cast<int>(random() % rules::kDistinctTiles);
            if (counts[out] == 0) continue;
            kept.Remove(out);
            --counts[out];
            ASSERT_EQ(kept.WithOne(in), [&] {
                auto more = counts;
                ++more[in];
                return DistanceOf(more, wilds, melds);
            }());
            ASSERT_EQ(kept.WithOneWild(), DistanceOf(counts, wilds + 1, melds));
        }
    }
}

}  // namespace
}  // namespace qira::bots
