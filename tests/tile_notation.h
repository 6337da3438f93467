#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "rules/table_state.h"

// The handbook's tile notation, for tests that write hands: digits followed by
// their suit letter, "123m" for 1-3 of characters; p dots, s bamboo, z
// honours (1-4 the winds east to north, 5-7 the dragons red, green, white).
namespace qira::test_support {

// The tiles in the order written, or nullopt for anything else.
inline std::optional<std::vector<rules::TileCode>> ParseTiles(std::string_view text) {
    std::vector<rules::TileCode> tiles;
    std::vector<int> ranks;
    for (char c : text) {
        if (c >= '1' && c <= '9') {
            ranks.push_back(c - '0');
            continue;
        }
        const std::size_t suit = std::string_view("mpsz").find(c);
        if (suit == std::string_view::npos || ranks.empty()) return std::nullopt;
        for (int rank : ranks) {
            if (suit == 3 && rank > 7) return std::nullopt;
            const int code = suit < 3 ? static_cast<int>(suit) * 9 + rank - 1
                                      : (rank <= 4 ? 26 + rank : 31 + rank);
            tiles.push_back(static_cast<rules::TileCode>(code));
        }
        ranks.clear();
    }
    if (!ranks.empty()) return std::nullopt;
    return tiles;
}

// A hand the test itself writes: a slip of the pen fails the test loudly.
inline std::vector<rules::TileCode> Tiles(std::string_view text) {
    auto tiles = ParseTiles(text);
    if (!tiles) throw std::invalid_argument("not a tile notation: " + std::string(text));
    return *tiles;
}

}  // namespace qira::test_support
