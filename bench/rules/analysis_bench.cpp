// The win and ready analysis, product and brute-force reference side by side.
#include <benchmark/benchmark.h>

#include <optional>
#include <vector>

#include "position_generator.h"
#include "reference_analysis.h"
#include "rules/win_analysis.h"

namespace qira::rules {
namespace {

using reference::ReferenceAnalysis;

struct Hand {
    std::vector<TileCode> tiles;
    TileCode wild = 33;
    std::vector<MeldRecord> melds;

    HandView View() const { return {tiles, melds, wild, false}; }
};

// Typical hands between turns: no wild tile, a sequence wait, melds or not.
const std::vector<Hand>& TypicalHands() {
    static const std::vector<Hand> hands = {
        {{0, 1, 2, 9, 10, 11, 18, 19, 20, 27, 27, 27, 36}, 33, {}},
        {{1, 2, 9, 10, 11, 18, 19, 20, 27, 27, 27, 36, 36}, 33, {}},
        {{3, 4, 5, 5, 6, 12, 13, 14, 22, 23, 24, 30, 30}, 33, {}},
        {{0, 4, 8, 9, 13, 17, 18, 22, 26, 27, 28, 29, 30}, 33, {}},
        {{10, 11, 12, 12, 13}, 33, {{MeldKind::Pung, 0, 1}, {MeldKind::Chow, 18, 2}}},
    };
    return hands;
}

// Hands with one or two wild tiles (22), where the discard limits dominate.
const std::vector<Hand>& WildHands() {
    static const std::vector<Hand> hands = {
        {{22, 3, 9, 10, 11, 18, 19, 20, 27, 27, 27, 36, 36}, 22, {}},
        {{22, 0, 1, 2, 9, 10, 11, 18, 19, 20, 27, 27, 27}, 22, {}},
        {{22, 22, 1, 2, 4, 5, 10, 11, 12, 14, 15, 16, 30}, 22, {}},
        {{22, 22, 0, 4, 8, 9, 13, 17, 18, 26, 27, 28, 36}, 22, {}},
        {{22, 1, 3, 5, 7, 10, 12, 14, 16, 19, 21, 23, 25}, 22, {}},
    };
    return hands;
}

// Full hands on the player's own turn with four wild tiles.
const std::vector<Hand>& FourWildHands() {
    static const std::vector<Hand> hands = {
        {{22, 22, 22, 22, 0, 4, 8, 9, 13, 17, 27, 28, 36, 38}, 22, {}},
        {{22, 22, 22, 22, 1, 3, 5, 7, 10, 12, 14, 16, 19, 21}, 22, {}},
        {{22, 22, 22, 22, 0, 1, 2, 9, 10, 11, 18, 19, 20, 27}, 22, {}},
        {{22, 22, 22, 22, 2, 4, 6, 11, 13, 15, 20, 24, 26, 30}, 22, {}},
    };
    return hands;
}

const std::vector<Hand>& HandsOf(int set) {
    switch (set) {
        case 0:
            return TypicalHands();
        case 1:
            return WildHands();
        default:
            return FourWildHands();
    }
}

void ProductReadyTest(benchmark::State& state) {
    PrepareWinAnalysis(AnswerCache::Large);
    const Hand& hand = HandsOf(static_cast<int>(state.range(0)))[state.range(1)];
    for (auto _ : state) benchmark::DoNotOptimize(FindWinningTile(hand.View()));
}

void ReferenceReadyTest(benchmark::State& state) {
    const Hand& hand = HandsOf(static_cast<int>(state.range(0)))[state.range(1)];
    for (auto _ : state) {
        ReferenceAnalysis analysis(hand.View());
        benchmark::DoNotOptimize(analysis.FindWinningTile());
    }
}

void ProductFourWildWin(benchmark::State& state) {
    PrepareWinAnalysis(AnswerCache::Large);
    const Hand& hand = FourWildHands()[state.range(0)];
    for (auto _ : state) benchmark::DoNotOptimize(CanWinWith(hand.View(), hand.tiles.back()));
}

void ReferenceFourWildWin(benchmark::State& state) {
    const Hand& hand = FourWildHands()[state.range(0)];
    for (auto _ : state) {
        ReferenceAnalysis analysis(hand.View());
        benchmark::DoNotOptimize(analysis.CanWinWith(hand.tiles.back()));
    }
}

// Random hands from the differential generator: the average case.
void ProductReadyTestGenerated(benchmark::State& state) {
    PrepareWinAnalysis(AnswerCache::Large);
    reference::PositionGenerator generator(5);
    std::vector<reference::Position> positions;
    for (int i = 0; i < 4096; ++i)
        positions.push_back(generator.Next(reference::HandSize::BetweenTurns));
    std::size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(FindWinningTile(positions[next].View()));
        next = (next + 1) % positions.size();
    }
}

void TableBuild(benchmark::State& state) {
    for (auto _ : state) PrepareWinAnalysis(AnswerCache::Large);
}

void ReadyArguments(benchmark::internal::Benchmark* bench) {
    for (int set = 0; set < 3; ++set) {
        for (int index = 0; index < static_cast<int>(HandsOf(set).size()); ++index) {
            bench->Args({set, index});
        }
    }
}

BENCHMARK(ProductReadyTest)->Apply(ReadyArguments);
BENCHMARK(ReferenceReadyTest)->Apply(ReadyArguments)->Unit(benchmark::kMicrosecond);
BENCHMARK(ProductFourWildWin)->DenseRange(0, 3);
BENCHMARK(ReferenceFourWildWin)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(ProductReadyTestGenerated);
BENCHMARK(TableBuild)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qira::rules
