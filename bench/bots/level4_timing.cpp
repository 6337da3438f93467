// How long level 4 takes per decision at a budget, and how many playouts it
// runs in a millisecond, over discard decisions from the middle of random
// hands. Prints one JSON line. Usage: level4_timing [BUDGET_MS] [DECISIONS]
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <random>
#include <vector>

#include "bots/brain.h"
#include "bots/sampling.h"
#include "rules/win_analysis.h"

namespace {

using namespace qira;

bots::BotView MidHandView(std::mt19937& random) {
    std::vector<rules::TileCode> set;
    for (int kind = 0; kind < rules::kDistinctTiles; ++kind)
        for (int copy = 0; copy < 4; ++copy) set.push_back(rules::TileOfKind(kind));
    std::shuffle(set.begin(), set.end(), random);
    bots::BotView view;
    view.self = 0;
    view.hand.assign(set.begin(), set.begin() + 14);
    view.indicator = set[14];
    view.wild = rules::WildAfterIndicator(view.indicator);
    const int discarded = 8 + static_cast<int>(random() % 36);
    for (int t = 15; t < 15 + discarded; ++t) {
        const int chair = t % 4;
        view.discards[chair].push_back(set[t]);
        view.discardLog.emplace_back(chair, set[t]);
        ++view.seen[rules::KindIndex(set[t])];
    }
    view.wallLeft = rules::kTilesInSet - 1 - 53 - discarded;
    return view;
}

double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const auto at = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1));
    return values[at];
}

}  // namespace

int main(int argc, char** argv) {
    const int budget = argc > 1 ? std::atoi(argv[1]) : bots::kDefaultBudgetMs;
    const int decisions = argc > 2 ? std::atoi(argv[2]) : 200;
    rules::PrepareWinAnalysis(rules::AnswerCache::Large);
    std::mt19937 random(2026);
    bots::BotBrain brain(bots::BotStyle::Searcher, 1);
    brain.set_budget(budget, false);
    // Wall-clock time, and the processor time spent (on a shared machine the
    // two differ by the time others had the processor).
    std::vector<double> millis, cpuMillis;
    for (int i = 0; i < decisions; ++i) {
        const auto view = MidHandView(random);
        const auto start = std::chrono::steady_clock::now();
        const std::clock_t cpuStart = std::clock();
        brain.ChooseDiscard(view);
        cpuMillis.push_back(1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC);
        millis.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    // A fixed amount of work: one choice, a known number of deals.
    const auto view = MidHandView(random);
    const std::vector<bots::Choice> one{{bots::ChoiceKind::Discard, view.hand.front()}};
    const std::clock_t cpuStart = std::clock();
    const auto appraisal = bots::Appraise(view, 0, 0, one, {budget, false}, random);
    const double spent = 1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    std::cout << "{\"budget_ms\":" << budget << ",\"decisions\":" << decisions
              << ",\"median_ms\":" << Percentile(millis, 0.5)
              << ",\"p99_ms\":" << Percentile(millis, 0.99)
              << ",\"max_ms\":" << Percentile(millis, 1.0)
              << ",\"cpu_median_ms\":" << Percentile(cpuMillis, 0.5)
              << ",\"cpu_p99_ms\":" << Percentile(cpuMillis, 0.99)
              << ",\"playouts_per_ms\":" << appraisal.deals / spent << "}" << std::endl;
}
