// The product analysis against the brute-force reference on generated hands.
#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>

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
