#include "bots/brain.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "tile_notation.h"

namespace qira::bots {
namespace {

using test_support::Tiles;

std::vector<Tile> Without(std::vector<Tile> hand, Tile tile) {
    hand.erase(std::find(hand.begin(), hand.end(), tile));
    return hand;
}

TEST(BotBrain, MeasuresTheWayToAReadyHand) {
    const std::vector<Tile> complete = Tiles("123m123p123s11155z");
    EXPECT_EQ(ShantenOf(complete, 0, 30), -1);
    const std::vector<Tile> ready = Tiles("123m123p123s1115z");
    EXPECT_EQ(ShantenOf(ready, 0, 30), 0);
    auto withWild = ready;
    withWild.back() = 30;
    withWild.push_back(30);
    EXPECT_EQ(ShantenOf(withWild, 0, 30), -1) << "two wild tiles make the pair";
    BotBrain brain(BotStyle::Smart, 1);
    BotView view;
    view.hand = Tiles("123m123p123s11157z");
    view.wild = 5;
    const Tile discard = brain.ChooseDiscard(view);
    EXPECT_TRUE(discard == 36 || discard == 38);
    view.hand = Tiles("1236m123p123s1157z");
    EXPECT_NE(brain.ChooseDiscard(view), 5) << "keeps the wild tile";
}

TEST(BotLevels, FourLevelsAndNothingElse) {
    EXPECT_EQ(StyleOfLevel(1), BotStyle::Beginner);
    EXPECT_EQ(StyleOfLevel(2), BotStyle::Smart);
    EXPECT_EQ(StyleOfLevel(3), BotStyle::Expert);
    EXPECT_EQ(StyleOfLevel(4), BotStyle::Searcher);
    EXPECT_FALSE(StyleOfLevel(0));
    EXPECT_FALSE(StyleOfLevel(5));
    for (int level = kLowestLevel; level <= kHighestLevel; ++level)
        EXPECT_EQ(LevelOf(*StyleOfLevel(level)), level);
    EXPECT_EQ(LevelOf(BotStyle::RandomDiscard), 0);
}

// Random fourteen-tile hands from a shuffled set, with a wild tile.
std::vector<BotView> RandomViews(int count, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<Tile> set;
    for (int kind = 0; kind < rules::kDistinctTiles; ++kind)
        for (int copy = 0; copy < 4; ++copy) set.push_back(rules::TileOfKind(kind));
    std::vector<BotView> views;
    for (int i = 0; i < count; ++i) {
        std::shuffle(set.begin(), set.end(), random);
        BotView view;
        view.hand.assign(set.begin(), set.begin() + 14);
        view.indicator = set[14];
        view.wild = rules::WildAfterIndicator(view.indicator);
        view.self = 0;
        views.push_back(view);
    }
    return views;
}

TEST(BotLevels, UnthreatenedEveryLevelKeepsTheShortestWay) {
    for (const BotView& view : RandomViews(40, 7)) {
        BotBrain smart(BotStyle::Smart, 1), expert(BotStyle::Expert, 1),
            beginner(BotStyle::Beginner, 1);
        const auto distanceAfter = [&](Tile discard) {
            return ShantenOf(Without(view.hand, discard), 0, view.wild);
        };
        const int best = distanceAfter(smart.ChooseDiscard(view));
        EXPECT_EQ(distanceAfter(expert.ChooseDiscard(view)), best);
        EXPECT_EQ(distanceAfter(beginner.ChooseDiscard(view)), best);
    }
}

// Far from ready, with chair 1 declared ready and a tile chair 1 threw.
BotView ThreatenedFarHand() {
    BotView view;
    view.self = 0;
    view.indicator = 29;
    view.wild = 30;
    view.hand = {0, 4, 8, 10, 13, 14, 20, 24, 27, 28, 36, 37, 38, 18};
    view.declaredReady[1] = true;
    view.discards[1] = {13, 33};
    view.discards[2] = {5};
    view.exposedMelds[1] = 1;
    return view;
}

TEST(Defence, DangerFallsForTilesTheChairThrewAndForHonoursAllSeen) {
    BotView view = ThreatenedFarHand();
    EXPECT_LT(DangerOf(view, 1, 13), DangerOf(view, 1, 14)) << "chair 1 threw the 5 itself";
    EXPECT_LT(DangerOf(view, 1, 0), DangerOf(view, 1, 4)) << "an end tile waits on fewer shapes";
    view.seen[rules::KindIndex(27)] = 3;
    EXPECT_LT(DangerOf(view, 1, 27), DangerOf(view, 1, 28)) << "the last east wind";
    const auto threat = ThreatOf(view);
    EXPECT_EQ(threat[0], 0.0) << "no threat from oneself";
    EXPECT_EQ(threat[1], 1.0) << "a declared ready hand";
    EXPECT_LT(threat[2], 0.5);
}

TEST(Defence, TheExpertFoldsAgainstAReadyHandWhenItsOwnIsFar) {
    const BotView view = ThreatenedFarHand();
    BotBrain expert(BotStyle::Expert, 1), smart(BotStyle::Smart, 1);
    EXPECT_EQ(expert.ChooseDiscard(view), 13) << "the tile the ready chair threw";
    EXPECT_NE(smart.ChooseDiscard(view), 13) << "the standard player only sees its shape";

    // Folding, it exposes nothing: no pung even when one would help.
    BotView pungable = view;
    pungable.hand = {0, 1, 2, 9, 10, 11, 18, 19, 27, 27, 36, 37, 4};
    EXPECT_FALSE(expert.WantsPung(pungable, 27));
    EXPECT_TRUE(smart.WantsPung(pungable, 27));
}

TEST(Defence, CodesThatNameNoTileAreNeverChosenNorCounted) {
    BotView view = ThreatenedFarHand();
    view.hand = {31, 0, 4, 8, 10, 13, 14, 20, 24, 27, 28, 36, 37, 200};
    view.discards[1].push_back(250);
    view.discardLog = {{1, 250}, {2, 35}};
    for (BotStyle style : {BotStyle::Beginner, BotStyle::Smart, BotStyle::Expert}) {
        BotBrain brain(style, 1);
        const Tile discard = brain.ChooseDiscard(view);
        EXPECT_TRUE(rules::IsTileCode(discard)) << int(discard);
    }
    EXPECT_EQ(DangerOf(view, 1, 200), 1.0);
}

TEST(Defence, AnExpertCloseToReadyStillPlaysForTheWin) {
    BotView view = ThreatenedFarHand();
    // Ready once the middle 6 goes: it throws it even against a ready chair.
    view.hand = {0, 1, 2, 9, 10, 11, 18, 19, 20, 27, 27, 36, 36, 14};
    BotBrain expert(BotStyle::Expert, 1);
    EXPECT_EQ(expert.ChooseDiscard(view), 14);
}

}  // namespace
}  // namespace qira::bots
