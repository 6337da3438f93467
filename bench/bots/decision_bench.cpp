// How long one discard decision takes at each level, on positions from the
// middle of a hand: fourteen tiles, a third of the set already seen, and
// opponents with discards and melds (so the expert's defence has work to do).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>

#include "bots/brain.h"
#include "rules/win_analysis.h"

namespace {

using namespace qira;

std::vector<bots::BotView> MidHandViews(int count) {
    std::mt19937 random(2026);
    std::vector<rules::TileCode> set;
    for (int kind = 0; kind < rules::kDistinctTiles; ++kind)
        for (int copy = 0; copy < 4; ++copy) set.push_back(rules::TileOfKind(kind));
    std::vector<bots::BotView> views;
    for (int i = 0; i < count; ++i) {
        std::shuffle(set.begin(), set.end(), random);
        bots::BotView view;
        view.self = 0;
        view.hand.assign(set.begin(), set.begin() + 14);
        view.indicator = set[14];
        view.wild = rules::WildAfterIndicator(view.indicator);
        for (int t = 15; t < 15 + 36; ++t) {
            const int chair = 1 + t % 3;
            view.discards[chair].push_back(set[t]);
            view.discardLog.emplace_back(chair, set[t]);
            ++view.seen[rules::KindIndex(set[t])];
        }
        view.exposedMelds = {0, static_cast<int>(random() % 3), static_cast<int>(random() % 2),
                             static_cast<int>(random() % 4)};
        views.push_back(view);
    }
    return views;
}

void BM_ChooseDiscard(benchmark::State& state) {
    rules::PrepareWinAnalysis(rules::AnswerCache::Large);
    const auto style = *bots::StyleOfLevel(static_cast<int>(state.range(0)));
    const auto views = MidHandViews(256);
    bots::BotBrain brain(style, 1);
    std::size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(brain.ChooseDiscard(views[next]));
        next = (next + 1) % views.size();
    }
}
BENCHMARK(BM_ChooseDiscard)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMicrosecond);

}  // namespace
