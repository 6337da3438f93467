// Differential fuzzing of the win analysis: the product answers must equal the
// brute-force reference's on any hand, and neither may crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>

#include "position_generator.h"
#include "reference_analysis.h"
#include "rules/win_analysis.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace qira::rules;
    const reference::Position position = reference::PositionGenerator::FromBytes(data, size);
    if (position.hand.empty()) return 0;
    reference::ReferenceAnalysis literal(position.View());
    const TileCode tile = static_cast<TileCode>(data[0] / 39 % 39);
    if (CanWinWith(position.View(), tile) != literal.CanWinWith(tile)) std::abort();
    if (DiscardWinBarred(position.View()) != literal.DiscardWinBarred()) std::abort();
    const std::optional<TileCode> found = FindWinningTile(position.View());
    const bool ready = literal.FindWinningTile();
    if (found.has_value() != ready || (ready && *found != literal.bytFirstWinningTile))
        std::abort();
    return 0;
}
