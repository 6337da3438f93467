#include "rules/win_explanation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <sstream>
#include <string>
#include <vector>

#include "position_generator.h"
#include "reference_analysis.h"
#include "rules/win_analysis.h"

namespace qira::rules {
namespace {

using reference::HandSize;
using reference::Position;
using reference::PositionGenerator;
using reference::ReferenceAnalysis;
using Tiles = std::vector<TileCode>;

const std::vector<MeldRecord> kNoMelds;

std::string Describe(const Position& position, TileCode tile) {
    std::ostringstream text;
    text << "hand=";
    for (std::size_t i = 0; i < position.hand.size(); ++i)
        text << (i ? "," : "") << int(position.hand[i]);
    text << " wild=" << int(position.wild) << " melds=" << position.melds.size()
         << " nowin=" << position.noWin << " tile=" << int(tile);
    return text.str();
}

bool TakesTile(std::size_t size) {
    return (static_cast<int>(size) - 2) % 3 != 0;
}

// The tiles an explanation must cover: the hand, plus the tile as the
// analysis adds it.
Tiles ExpectedTiles(const Position& position, TileCode tile, WinShape shape) {
    Tiles tiles = position.hand;
    if (TakesTile(tiles.size())) tiles.push_back(tile);
    if (shape == WinShape::SetsAndPair && TakesTile(tiles.size())) tiles.push_back(tile);
    std::sort(tiles.begin(), tiles.end());
    return tiles;
}

// Empty when every group is a legal set or pair once each wild tile is
// replaced by what it stands for; otherwise what is wrong.
std::string GroupProblem(const ExplainedGroup& group, TileCode wild) {
    if (group.tiles.size() != group.standsFor.size()) return "tiles and stand-ins differ in length";
    for (std::size_t i = 0; i < group.tiles.size(); ++i) {
        if (group.tiles[i] != wild && group.tiles[i] != group.standsFor[i])
            return "a natural tile stands for another";
        if (!IsTileCode(group.standsFor[i])) return "stands for no tile";
    }
    const Tiles& as = group.standsFor;
    const bool allEqual = std::all_of(as.begin(), as.end(), [&](TileCode t) { return t == as[0]; });
    switch (group.kind) {
        case GroupKind::Pair:
            return as.size() == 2 && allEqual ? "" : "not a pair";
        case GroupKind::Pung:
            return as.size() == 3 && allEqual ? "" : "not a pung";
        case GroupKind::Kong:
            return "a kong in the concealed hand";
        case GroupKind::Chow:
            return as.size() == 3 && IsNumbered(as[0]) && as[0] % 9 <= 6 && as[1] == as[0] + 1 &&
                           as[2] == as[0] + 2
                       ? ""
                       : "not a chow";
    }
    return "unknown kind";
}

void ExpectArrangesTheHand(const WinExplanation& explanation, const Position& position,
                           TileCode tile) {
    Tiles covered;
    int pairs = 0;
    for (const ExplainedGroup& group : explanation.groups) {
        EXPECT_EQ(GroupProblem(group, position.wild), "") << Describe(position, tile);
        covered.insert(covered.end(), group.tiles.begin(), group.tiles.end());
        if (group.kind == GroupKind::Pair) ++pairs;
    }
    std::sort(covered.begin(), covered.end());
    EXPECT_EQ(covered, ExpectedTiles(position, tile, explanation.shape))
        << Describe(position, tile);
    if (explanation.shape == WinShape::SetsAndPair) {
        EXPECT_EQ(pairs, 1) << Describe(position, tile);
    } else {
        EXPECT_EQ(pairs, static_cast<int>(explanation.groups.size())) << Describe(position, tile);
        EXPECT_TRUE(position.melds.empty()) << Describe(position, tile);
    }
}

TEST(WinExplanation, ArrangesExactlyTheHandsTheReferenceLetWin) {
    PositionGenerator generator(1407);
    std::array<int, 5> winsByWilds{};
    int sevenPairs = 0;
    int wins = 0;
    int compared = 0;
    while (wins < 4000) {
        const Position position = generator.Next(HandSize::Mixed);
        // The first winning tile makes a win likely; a random tile tests the refusals.
        Tiles tiles = {generator.AnyTile()};
        if (auto winning = FindWinningTile(position.View())) tiles.push_back(*winning);
        for (TileCode tile : tiles) {
            const bool referenceWins = ReferenceAnalysis(position.View()).CanWinWith(tile);
            const auto explanation = ExplainWin(position.View(), tile);
            ++compared;
            ASSERT_EQ(explanation.has_value(), referenceWins) << Describe(position, tile);
            if (!explanation) continue;
            ++wins;
            ExpectArrangesTheHand(*explanation, position, tile);
            if (HasFatalFailure() || HasFailure()) return;
            const Tiles work = ExpectedTiles(position, tile, explanation->shape);
            ++winsByWilds[std::min<std::size_t>(
                4, std::count(work.begin(), work.end(), position.wild))];
            if (explanation->shape == WinShape::SevenPairs) ++sevenPairs;
        }
    }
    for (int wilds = 0; wilds <= 4; ++wilds)
        EXPECT_GE(winsByWilds[wilds], 100) << wilds << " wild tiles";
    EXPECT_GE(sevenPairs, 100);
    EXPECT_GT(compared, wins);
}

// Asks for the explanation of a hand that is known to win.
WinExplanation Explain(const Tiles& hand, TileCode wild, TileCode tile,
                       const std::vector<MeldRecord>& melds = kNoMelds) {
    const auto explanation = ExplainWin({hand, melds, wild, false}, tile);
    EXPECT_TRUE(explanation.has_value());
    return explanation.value_or(WinExplanation{});
}

ExplainedGroup Group(GroupKind kind, Tiles tiles, Tiles standsFor) {
    return {kind, std::move(tiles), std::move(standsFor)};
}

constexpr TileCode kRed = 36;

TEST(WinExplanation, WildTileCompletesAPairOfANaturalTileBeforeFillingAChowMiddle) {
    // 4萬 wild 6萬 reads as a chow with the wild tile in the middle, but
    // 4萬 + wild as a pair leaves 6萬 6萬 6萬 a natural pung.
    const Tiles hand = {kRed, 3, 5, 5, 5, 9, 10, 11, 12, 13, 14, 15, 16, 17};
    const auto explanation = Explain(hand, kRed, 0);
    EXPECT_EQ(explanation.shape, WinShape::SetsAndPair);
    EXPECT_EQ(explanation.groups, (std::vector<ExplainedGroup>{
                                      Group(GroupKind::Pung, {5, 5, 5}, {5, 5, 5}),
                                      Group(GroupKind::Chow, {9, 10, 11}, {9, 10, 11}),
                                      Group(GroupKind::Chow, {12, 13, 14}, {12, 13, 14}),
                                      Group(GroupKind::Chow, {15, 16, 17}, {15, 16, 17}),
                                      Group(GroupKind::Pair, {3, kRed}, {3, 3}),
                                  }));
}

TEST(WinExplanation, WildTileUsedAsItsOwnFaceReplacesNothing) {
    // The wild tile is 5萬: 4萬 5萬 6萬 is a plain chow.
    const TileCode wild = 4;
    const Tiles hand = {wild, 3, 5, 27, 27, 27, 28, 28, 28, 29, 29, 29, 36, 36};
    const auto explanation = Explain(hand, wild, 0);
    ASSERT_EQ(explanation.groups.size(), 5u);
    EXPECT_EQ(explanation.groups[0], Group(GroupKind::Chow, {3, wild, 5}, {3, 4, 5}));
}

TEST(WinExplanation, WildTilesFillAChowGapAndAPungOnADiscard) {
    // Between turns, two wild tiles; 南风 is discarded to the held one.
    const Tiles hand = {kRed, kRed, 0, 2, 10, 10, 18, 19, 20, 27, 27, 27, 28};
    const auto explanation = Explain(hand, kRed, 28);
    ASSERT_EQ(explanation.groups.size(), 5u);
    EXPECT_EQ(explanation.groups[0], Group(GroupKind::Chow, {0, kRed, 2}, {0, 1, 2}));
    EXPECT_EQ(explanation.groups[4], Group(GroupKind::Pair, {10, 10}, {10, 10}));
    EXPECT_EQ(explanation.groups[3], Group(GroupKind::Pung, {28, 28, kRed}, {28, 28, 28}));
}

TEST(WinExplanation, SevenPairsPairEachOddTileWithAWildTileAndLeftoverWildsWithEachOther) {
    // On the player's own draw: three wild tiles win only there.
    const Tiles hand = {kRed, kRed, kRed, 0, 0, 4, 9, 9, 9, 9, 20, 20, 30, 30};
    const auto explanation = Explain(hand, kRed, 30);
    EXPECT_EQ(explanation.shape, WinShape::SevenPairs);
    EXPECT_EQ(explanation.groups, (std::vector<ExplainedGroup>{
                                      Group(GroupKind::Pair, {0, 0}, {0, 0}),
                                      Group(GroupKind::Pair, {4, kRed}, {4, 4}),
                                      Group(GroupKind::Pair, {9, 9}, {9, 9}),
                                      Group(GroupKind::Pair, {9, 9}, {9, 9}),
                                      Group(GroupKind::Pair, {20, 20}, {20, 20}),
                                      Group(GroupKind::Pair, {30, 30}, {30, 30}),
                                      Group(GroupKind::Pair, {kRed, kRed}, {kRed, kRed}),
                                  }));
}

TEST(WinExplanation, MeldsOnTheTableAreNotRepeated) {
    const std::vector<MeldRecord> melds = {{MeldKind::Pung, 27, 0}, {MeldKind::Chow, 0, 1}};
    const Tiles hand = {kRed, 9, 10, 18, 18, 18, 30};
    const auto explanation = Explain(hand, kRed, 30, melds);
    EXPECT_EQ(explanation.groups, (std::vector<ExplainedGroup>{
                                      Group(GroupKind::Chow, {9, 10, kRed}, {9, 10, 11}),
                                      Group(GroupKind::Pung, {18, 18, 18}, {18, 18, 18}),
                                      Group(GroupKind::Pair, {30, 30}, {30, 30}),
                                  }));
}

TEST(WinExplanation, NothingForAHandThatDoesNotWin) {
    const Tiles ready = {0, 1, 2, 9, 10, 11, 18, 19, 20, 27, 27, 27, 28};
    EXPECT_FALSE(ExplainWin({ready, kNoMelds, kRed, false}, 29));
    // Winning on this discard is refused to a player who threw a wild tile away.
    EXPECT_TRUE(ExplainWin({ready, kNoMelds, kRed, false}, 28));
    EXPECT_FALSE(ExplainWin({ready, kNoMelds, kRed, true}, 28));
    // Three wild tiles win only on the player's own draw.
    const Tiles threeWilds = {kRed, kRed, kRed, 0, 1, 2, 9, 10, 11, 18, 19, 20, 27};
    EXPECT_FALSE(ExplainWin({threeWilds, kNoMelds, kRed, false}, 27));
}

}  // namespace
}  // namespace qira::rules
