#include "rules/suit_table.h"

#include <gtest/gtest.h>

#include <random>

namespace qira::rules::detail {
namespace {

std::array<std::uint8_t, kRanks> CountsOf(std::uint32_t index) {
    std::array<std::uint8_t, kRanks> counts{};
    for (auto& count : counts) {
        count = static_cast<std::uint8_t>(index % 5);
        index /= 5;
    }
    return counts;
}

std::uint32_t Support(const std::array<std::uint8_t, kRanks>& counts) {
    std::uint32_t support = 0;
    for (int rank = 0; rank < kRanks; ++rank) support |= counts[rank] != 0 ? 1u << rank : 0;
    return support;
}

// Only the wild counts that keep the suit within a hand (14 tiles) are asked.
std::uint32_t AnswerWithinAHand(SuitAnswer answer, int heldTiles) {
    std::uint32_t kept = 0;
    for (int wilds = 0; wilds <= kMaxWilds && heldTiles + wilds <= 14; ++wilds) {
        kept |= answer.bits & (63u << (6 * wilds));
    }
    return kept;
}

TEST(SuitTable, AgreesWithTheDirectComputationOnRandomSuits) {
    std::mt19937 random(7);
    int checked = 0;
    while (checked < 3000) {
        const auto counts = CountsOf(random() % kSuitVectors);
        int held = 0;
        for (auto count : counts) held += count;
        if (held > 14) continue;
        ++checked;
        std::uint32_t index = 0;
        for (int rank = 0; rank < kRanks; ++rank) index += counts[rank] * kRankWeight[rank];
        const auto expected = ComputeSuit(counts, NeighbourRanks(Support(counts)));
        ASSERT_EQ(AnswerWithinAHand(LookUpSuit(index), held), AnswerWithinAHand(expected, held))
            << "index " << index;
    }
}

TEST(SuitTable, KnowsTheClassicShapes) {
    // 1-2-3 of a suit: sets only. 1-1: a pair of rank 1.
    const SuitAnswer run = LookUpSuit(1 + 5 + 25);
    EXPECT_TRUE(run.SetsOnly(0));
    EXPECT_FALSE(run.WithPair(0));
    const SuitAnswer pair = LookUpSuit(2);
    EXPECT_TRUE(pair.WithPair(0));
    EXPECT_EQ(pair.Rank(0), 0);
    // A single 5 with one wild: only the wild as a second 5 makes a pair, so
    // a discarded 5 is the one rank refused.
    const SuitAnswer single = LookUpSuit(kRankWeight[4]);
    EXPECT_TRUE(single.WithPair(1));
    EXPECT_EQ(single.Rank(1), 4);
    // 1-2 with one wild: 3 completes the run (sets only); no pair.
    const SuitAnswer edge = LookUpSuit(1 + 5);
    EXPECT_TRUE(edge.SetsOnly(1));
    EXPECT_FALSE(edge.WithPair(1));
}

}  // namespace
}  // namespace qira::rules::detail
