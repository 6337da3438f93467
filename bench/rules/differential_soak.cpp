// Compares the product win analysis with the brute-force reference on many
// generated hands: rules_differential_soak [COUNT [SEED]]. Prints the first
// disagreement and exits with 1, or a summary and 0.
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "position_generator.h"
#include "reference_analysis.h"
#include "rules/win_analysis.h"

namespace {

using qira::rules::TileCode;
using qira::rules::reference::HandSize;
using qira::rules::reference::Position;
using qira::rules::reference::PositionGenerator;
using qira::rules::reference::ReferenceAnalysis;

void Report(const Position& position, const char* what, int tile) {
    std::string hand;
    for (TileCode code : position.hand) hand += (hand.empty() ? "" : ",") + std::to_string(code);
    std::printf("disagreement on %s: hand=%s wild=%d melds=%zu nowin=%d tile=%d\n", what,
                hand.c_str(), position.wild, position.melds.size(), position.noWin ? 1 : 0, tile);
}

}  // namespace

int main(int argc, char** argv) {
    const long count = argc > 1 ? std::atol(argv[1]) : 100000;
    const unsigned long seed = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 1;
    PositionGenerator generator(seed);
    long winTests = 0;
    long readyTests = 0;
    for (long i = 0; i < count; ++i) {
        const Position position = generator.Next(HandSize::Mixed);
        ReferenceAnalysis literal(position.View());
        for (TileCode tile : {position.wild, generator.AnyTile()}) {
            ++winTests;
            if (qira::rules::CanWinWith(position.View(), tile) != literal.CanWinWith(tile)) {
                Report(position, "CanWinWith", tile);
                return 1;
            }
        }
        if (i % 8 == 0) {
            ++readyTests;
            const std::optional<TileCode> found = qira::rules::FindWinningTile(position.View());
            const bool ready = literal.FindWinningTile();
            if (found.has_value() != ready || (ready && *found != literal.bytFirstWinningTile)) {
                Report(position, "FindWinningTile", -1);
                return 1;
            }
        }
        if ((i + 1) % 100000 == 0) std::printf("%ld hands\n", i + 1);
    }
    std::printf("agreed on %ld win tests and %ld ready tests\n", winTests, readyTests);
    return 0;
}
