#include "rules/win_analysis.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "reference_analysis.h"

namespace qira::rules {
namespace {

using Tiles = std::vector<TileCode>;

// The same questions put to the product analysis and to the brute-force
// reference, so that every case below pins down both.
struct Engine {
    std::string name;
    std::function<bool(const HandView&, TileCode)> canWin;
    std::function<bool(const HandView&)> barred;
    std::function<std::optional<TileCode>(const HandView&)> ready;
    std::function<bool(const HandView&, TileCode, MeldKind)> kongKeepsReady;
};

Engine Product() {
    return {"product", [](const HandView& view, TileCode tile) { return CanWinWith(view, tile); },
            [](const HandView& view) { return DiscardWinBarred(view); },
            [](const HandView& view) { return FindWinningTile(view); },
            [](const HandView& view, TileCode tile, MeldKind kind) {
                return KongKeepsReady(view, tile, kind);
            }};
}

Engine Reference() {
    using reference::ReferenceAnalysis;
    return {"reference",
            [](const HandView& view, TileCode tile) {
                return ReferenceAnalysis(view).CanWinWith(tile);
            },
            [](const HandView& view) { return ReferenceAnalysis(view).DiscardWinBarred(); },
            [](const HandView& view) -> std::optional<TileCode> {
                ReferenceAnalysis analysis(view);
                if (!analysis.FindWinningTile()) return std::nullopt;
                return analysis.bytFirstWinningTile;
            },
            [](const HandView& view, TileCode tile, MeldKind kind) {
                return ReferenceAnalysis(view).KongKeepsReady(tile, kind);
            }};
}

const std::vector<MeldRecord> kFourMelds = {{MeldKind::Pung, 27, 0},
                                            {MeldKind::Pung, 28, 0},
                                            {MeldKind::Chow, 0, 0},
                                            {MeldKind::Chow, 9, 0}};
const std::vector<MeldRecord> kOneMeld = {{MeldKind::Pung, 38, 1}};
const std::vector<MeldRecord> kNoMelds;

class WinAnalysis : public ::testing::TestWithParam<Engine> {
protected:
    bool Wins(const Tiles& hand, TileCode tile, TileCode wild = 33,
              const std::vector<MeldRecord>& melds = kNoMelds, bool noWin = false) {
        return GetParam().canWin(HandView{hand, melds, wild, noWin}, tile);
    }
    std::optional<TileCode> Ready(const Tiles& hand, TileCode wild = 33,
                                  const std::vector<MeldRecord>& melds = kNoMelds) {
        return GetParam().ready(HandView{hand, melds, wild, false});
    }
    bool Barred(const Tiles& hand, TileCode wild) {
        return GetParam().barred(HandView{hand, kNoMelds, wild, false});
    }
};

TEST_P(WinAnalysis, DiscardPairingASingleHeldTileWins) {
    const Tiles hand = {0, 1, 2, 9, 10, 11, 18, 19, 20, 27, 27, 27, 36};
    EXPECT_TRUE(Wins(hand, 36));
    EXPECT_FALSE(Wins(hand, 37));
}

TEST_P(WinAnalysis, DiscardedWildPairingAHeldOneLeavesTheDecisionToTheWildSearch) {
    // Face value: the two wild tiles pair and the honours make four pungs. The
    // wild search cannot place two wild tiles among full pungs, so no win; the
    // same tiles drawn by the player win at face value.
    const Tiles held = {22, 27, 27, 27, 28, 28, 28, 29, 29, 29, 30, 30, 30};
    EXPECT_FALSE(Wins(held, 22, 22));
    const Tiles drawn = {22, 22, 27, 27, 27, 28, 28, 28, 29, 29, 29, 30, 30, 30};
    EXPECT_TRUE(Wins(drawn, 22, 22));
    // With a sequence in the hand the wild tiles find a pair elsewhere.
    const Tiles withSequence = {22, 0, 1, 2, 9, 10, 11, 27, 27, 27, 36, 36, 36};
    EXPECT_TRUE(Wins(withSequence, 22, 22));
}

TEST_P(WinAnalysis, OneWildMayNotCompleteADiscardIntoThePair) {
    // Four sets held and a wild tile: the discard would pair with the wild.
    const Tiles hand = {22, 0, 1, 2, 9, 10, 11, 18, 19, 20, 27, 27, 27};
    EXPECT_FALSE(Wins(hand, 5, 22));
    EXPECT_FALSE(Wins(hand, 36, 22));
    Tiles drawn = hand;
    drawn.push_back(5);
    EXPECT_TRUE(Wins(drawn, 5, 22));
}

TEST_P(WinAnalysis, ALoneHeldWildTileDoesNotWinOnAnyDiscard) {
    // Four melds down and one wild tile held: the wild would pair with the
    // discard, which is refused for every discard, code 0 included.
    for (TileCode discard : {0, 1, 5, 17, 27, 38}) {
        EXPECT_FALSE(Wins({22}, discard, 22, kFourMelds)) << int(discard);
    }
    EXPECT_TRUE(Wins({22, 5}, 5, 22, kFourMelds));
    // A discarded wild tile with the held one: two wild tiles and no candidate
    // code at all, which counts as a win without a search.
    EXPECT_TRUE(Wins({22}, 22, 22, kFourMelds));
}

TEST_P(WinAnalysis, ThreeOrFourWildTilesNeverWinOnADiscard) {
    const Tiles three = {22, 22, 22, 0, 1, 2, 9, 10, 11, 27, 27, 27, 36};
    const Tiles four = {22, 22, 22, 22, 0, 1, 2, 9, 10, 11, 27, 27, 27};
    for (TileCode discard : {0, 3, 36, 22}) {
        EXPECT_FALSE(Wins(three, discard, 22)) << int(discard);
        EXPECT_FALSE(Wins(four, discard, 22)) << int(discard);
    }
    EXPECT_TRUE(Barred(three, 22));
    Tiles drawn = three;
    drawn.push_back(36);
    EXPECT_TRUE(Wins(drawn, 36, 22));
    EXPECT_FALSE(Ready(three, 22).has_value());
}

TEST_P(WinAnalysis, SevenPairsOnlyWithNothingLaidDown) {
    const Tiles hand = {0, 0, 5, 5, 9, 9, 14, 14, 27, 27, 36, 36, 38};
    EXPECT_TRUE(Wins(hand, 38));
    EXPECT_FALSE(Wins(hand, 38, 33, kOneMeld));
}

TEST_P(WinAnalysis, SevenPairsMayHoldFourOfAKind) {
    const Tiles hand = {0, 0, 0, 0, 5, 5, 9, 9, 14, 14, 27, 27, 36};
    EXPECT_TRUE(Wins(hand, 36));
}

TEST_P(WinAnalysis, SevenPairsWithWildTilesFillingTheOddOnes) {
    const Tiles hand = {22, 22, 0, 5, 5, 9, 9, 14, 14, 27, 27, 36, 36};
    EXPECT_TRUE(Wins(hand, 38, 22));
}

TEST_P(WinAnalysis, APlayerWhoDiscardedAWildTileNeverWins) {
    const Tiles hand = {0, 1, 2, 9, 10, 11, 18, 19, 20, 27, 27, 27, 36};
    EXPECT_FALSE(Wins(hand, 36, 33, kNoMelds, true));
}

TEST_P(WinAnalysis, HonoursAndSuitBordersMakeNoSequences) {
    const Tiles border = {7, 8, 0, 0, 10, 11, 12, 27, 27, 27, 36, 36, 36};
    EXPECT_FALSE(Wins(border, 9));
    EXPECT_TRUE(Wins(border, 6));
    const Tiles honours = {27, 28, 0, 0, 10, 11, 12, 1, 2, 3, 36, 36, 36};
    EXPECT_FALSE(Wins(honours, 29));
}

TEST_P(WinAnalysis, MoreWildTilesThanCandidatesWinWithoutASearch) {
    EXPECT_TRUE(Wins({22, 22, 22, 27, 28}, 0, 22));
    // Four of the only candidate already held: no split exists, but the count
    // of wild tiles alone decides.
    EXPECT_TRUE(Wins({22, 22, 22, 22, 27, 27, 27, 27}, 0, 22));
}

TEST_P(WinAnalysis, OneWildTileWaitTooWideIsBarredOnDiscards) {
    // The wild tile and a 4 of characters make a set with any of 2-6 of
    // characters: the 4 and all its neighbours win, so no discard may.
    const Tiles hand = {22, 3, 9, 10, 11, 18, 19, 20, 27, 27, 27, 36, 36};
    EXPECT_TRUE(Barred(hand, 22));
    EXPECT_FALSE(Wins(hand, 3, 22));
    EXPECT_FALSE(Wins(hand, 36, 22));
    EXPECT_FALSE(Ready(hand, 22).has_value());
    Tiles drawn = hand;
    drawn.push_back(5);
    EXPECT_TRUE(Wins(drawn, 5, 22));
    // A narrow wait is not barred: 1-2 wait on 3 with the wild pairing the
    // red dragon, and neither held number wins by itself.
    const Tiles narrow = {22, 0, 1, 9, 10, 11, 18, 19, 20, 27, 27, 27, 36};
    EXPECT_FALSE(Barred(narrow, 22));
    EXPECT_TRUE(Wins(narrow, 2, 22));
}

TEST_P(WinAnalysis, ReadyHandWaitingOnlyOnAnHonourIsFound) {
    const Tiles hand = {0, 1, 2, 9, 10, 11, 18, 19, 20, 27, 27, 27, 36};
    EXPECT_EQ(Ready(hand), std::optional<TileCode>(36));
    const Tiles twoPairs = {0, 1, 2, 9, 10, 11, 18, 19, 20, 28, 28, 30, 30};
    EXPECT_EQ(Ready(twoPairs), std::optional<TileCode>(28));
    const Tiles wind = {0, 1, 2, 9, 10, 11, 18, 19, 20, 36, 36, 36, 30};
    EXPECT_EQ(Ready(wind), std::optional<TileCode>(30));
}

TEST_P(WinAnalysis, ReadyTestFindsTheLowestWinningTile) {
    const Tiles hand = {1, 2, 9, 10, 11, 18, 19, 20, 27, 27, 27, 36, 36};
    EXPECT_EQ(Ready(hand), std::optional<TileCode>(0));
    const Tiles notReady = {0, 4, 8, 9, 13, 17, 18, 22, 26, 27, 28, 29, 30};
    EXPECT_FALSE(Ready(notReady).has_value());
}

TEST_P(WinAnalysis, KongBreakingTheOnlyWaitIsNotKeptReady) {
    // The four 3s of characters join 2 and 5 into sets; laid down as a kong
    // they leave 2 and 5 alone, which is no wait.
    const Tiles drawn = {2, 3, 3, 3, 3, 5, 9, 10, 11, 27, 27, 27, 36, 36};
    const HandView view{drawn, kNoMelds, 33, false};
    EXPECT_FALSE(GetParam().kongKeepsReady(view, 3, MeldKind::ConcealedKong));
    // An exposed kong of three held honours keeps the 5-6 wait.
    const Tiles held = {0, 1, 2, 5, 6, 9, 10, 11, 27, 27, 27, 36, 36};
    const HandView heldView{held, kNoMelds, 33, false};
    EXPECT_TRUE(GetParam().kongKeepsReady(heldView, 27, MeldKind::ExposedKong));
}

INSTANTIATE_TEST_SUITE_P(BothEngines, WinAnalysis, ::testing::Values(Product(), Reference()),
                         [](const auto& info) { return info.param.name; });

TEST(KongTrial, LeavesHandAndMeldsExactlyAsBeforeAndReportsTheNewWait) {
    TableState table;
    table.bytMyChair = 1;
    table.bytWildTile = 33;
    table.bytMyHand = {9, 10, 11, 18, 19, 20, 27, 27, 27, 36, 5, 5, 5, 5};
    table.Seats[1].Melds = {{MeldKind::Chow, 0, 0}, {MeldKind::Pung, 5, 0}};
    table.bytFirstWinningTile = 77;
    const auto handBefore = table.bytMyHand;
    const auto meldsBefore = table.Seats[1].Melds;
    EXPECT_TRUE(KongKeepsReady(table, 5, MeldKind::ExposedKong));
    EXPECT_EQ(table.bytMyHand, handBefore);
    EXPECT_EQ(table.Seats[1].Melds, meldsBefore);
    EXPECT_EQ(table.bytFirstWinningTile, 36);

    reference::ReferenceAnalysis literal(LocalHandView(table));
    EXPECT_TRUE(literal.KongKeepsReady(5, MeldKind::ExposedKong));
    EXPECT_EQ(literal.LocalHand, (Tiles{0, 9, 10, 11, 18, 19, 20, 27, 27, 27, 36, 5, 5, 5, 5}));
    EXPECT_EQ(literal.Melds.size(), 3u);
    EXPECT_EQ(literal.Melds[2].bytKind, MeldKind::Pung);
}

TEST(ReadyTest, AFailedTestKeepsTheLastWinningTile) {
    TableState table;
    table.bytWildTile = 33;
    table.bytMyHand = {0, 1, 2, 9, 10, 11, 18, 19, 20, 27, 27, 27, 36};
    EXPECT_TRUE(FindWinningTile(table));
    EXPECT_EQ(table.bytFirstWinningTile, 36);
    table.bytMyHand = {0, 4, 8, 9, 13, 17, 18, 22, 26, 27, 28, 29, 30};
    EXPECT_FALSE(FindWinningTile(table));
    EXPECT_EQ(table.bytFirstWinningTile, 36);
}

TEST(ReadyTest, LocalWrappersReadTheLocalChair) {
    TableState table;
    table.bytMyChair = 2;
    table.bytWildTile = 33;
    table.bytMyHand = {0, 1, 2, 9, 10, 11, 18, 19, 20, 27, 27, 27, 36};
    EXPECT_TRUE(CanWinWith(table, 36));
    table.Seats[2].bytNoWin = 1;
    EXPECT_FALSE(CanWinWith(table, 36));
    table.Seats[2].bytNoWin = 0;
    table.bytMyHand.insert(table.bytMyHand.begin(), {33, 33, 33});
    table.bytMyHand.resize(13);
    EXPECT_TRUE(DiscardWinBarred(table));
}

}  // namespace
}  // namespace qira::rules
