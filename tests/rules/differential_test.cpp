// The product analysis against the brute-force reference on generated hands.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
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

std::string Describe(const Position& position) {
    std::ostringstream text;
    text << "hand=";
    for (std::size_t i = 0; i < position.hand.size(); ++i) {
        text << (i ? "," : "") << int(position.hand[i]);
    }
    text << " wild=" << int(position.wild) << " melds=" << position.melds.size()
         << " nowin=" << position.noWin;
    return text.str();
}

std::optional<TileCode> ReferenceReady(const Position& position) {
    ReferenceAnalysis analysis(position.View());
    if (!analysis.FindWinningTile()) return std::nullopt;
    return analysis.bytFirstWinningTile;
}

TEST(Differential, WinTestsAgree) {
    PositionGenerator generator(20261207);
    int compared = 0;
    while (compared < 30000) {
        const Position position = generator.Next(HandSize::Mixed);
        ReferenceAnalysis literal(position.View());
        std::vector<TileCode> tiles = {position.wild, generator.AnyTile(), generator.AnyTile()};
        if (!position.hand.empty()) tiles.push_back(position.hand.back());
        for (TileCode tile : tiles) {
            ASSERT_EQ(CanWinWith(position.View(), tile), literal.CanWinWith(tile))
                << Describe(position) << " tile=" << int(tile);
            ++compared;
        }
    }
}

TEST(Differential, ReadyTestsAgree) {
    PositionGenerator generator(77);
    for (int i = 0; i < 1500; ++i) {
        const Position position =
            generator.Next(i % 10 == 0 ? HandSize::OnOwnTurn : HandSize::BetweenTurns);
        ASSERT_EQ(FindWinningTile(position.View()), ReferenceReady(position)) << Describe(position);
    }
}

// A list from the network may hold a tile more than four times: its suit
// never splits, whatever tile joins it.
TEST(Differential, ReadyTestsAgreeWithMoreThanFourOfATile) {
    const std::vector<std::vector<TileCode>> hands = {
        {21, 22, 23, 23, 23, 26, 26, 26, 26, 26, 26, 27, 27},
        {0, 0, 0, 0, 0, 1, 2, 9, 10, 11, 36, 36, 36},
        {3, 4, 5, 9, 9, 9, 9, 9, 9, 9, 30, 30, 30},
        {27, 27, 27, 27, 27, 0, 1, 2, 9, 10, 11, 18, 18},
    };
    for (const auto& hand : hands) {
        for (TileCode wild : {TileCode{20}, TileCode{33}, TileCode{0}}) {
            Position position;
            position.hand = hand;
            position.wild = wild;
            ASSERT_EQ(FindWinningTile(position.View()), ReferenceReady(position))
                << Describe(position);
        }
    }
}

// Hands holding one or two wild tiles, every tile tested: each tile is
// answered from the one group it joins, the others worked out once per hand.
TEST(Differential, EveryWinningTileOfWildHandsAgrees) {
    PositionGenerator generator(4242);
    int compared = 0;
    while (compared < 400) {
        const Position position = generator.Next(HandSize::BetweenTurns);
        const auto wilds = std::count(position.hand.begin(), position.hand.end(), position.wild);
        if (wilds == 0 || wilds > 2) continue;
        ReferenceAnalysis literal(position.View());
        std::vector<TileCode> expected;
        for (int code = 0; code <= kLastTileCode; ++code) {
            const auto tile = static_cast<TileCode>(code);
            if (IsTileCode(tile) && literal.CanWinWith(tile)) expected.push_back(tile);
        }
        ASSERT_EQ(WinningTiles(position.View()), expected) << Describe(position);
        ++compared;
    }
}

TEST(Differential, DiscardBarsAgree) {
    PositionGenerator generator(1234);
    for (int i = 0; i < 2000; ++i) {
        const Position position = generator.Next(HandSize::BetweenTurns);
        ASSERT_EQ(DiscardWinBarred(position.View()),
                  ReferenceAnalysis(position.View()).DiscardWinBarred())
            << Describe(position);
    }
}

TEST(Differential, KongTrialsAgree) {
    PositionGenerator generator(99);
    for (int i = 0; i < 400; ++i) {
        const Position position = generator.Next(HandSize::Mixed);
        if (position.hand.empty()) continue;
        const TileCode tile = position.hand[position.hand.size() / 2];
        const MeldKind kind = i % 2 ? MeldKind::ConcealedKong : MeldKind::ExposedKong;
        ASSERT_EQ(KongKeepsReady(position.View(), tile, kind),
                  ReferenceAnalysis(position.View()).KongKeepsReady(tile, kind))
            << Describe(position) << " kong=" << int(tile);
    }
}

}  // namespace
}  // namespace qira::rules
