#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// The record of a won hand (message 23) as typed data: the winners' melds,
// concealed tiles and scoring items, every chair's scores and kongs, the
// winning tile and what each payer's items were.
namespace qira::net {

struct WinMeld {
    std::uint8_t kind = 0;  // as in MeldRecord: 1 chow, 2 pung, 3 concealed kong, 4 exposed kong
    std::uint8_t tile = 0;
};

struct WinnerBlock {
    std::uint8_t chair = 0;
    std::vector<WinMeld> melds;                // at most 5
    std::vector<std::uint8_t> concealedTiles;  // at most 15
    std::array<std::uint8_t, 18> items{};      // items 1 to 17; item 1 is the discarder's chair

    bool SelfDrawn() const { return items[1] >= 4; }
};

struct WinRecord {
    std::vector<WinnerBlock> winners;  // 1 to 4
    std::array<std::int32_t, 4> actualScore{};
    std::array<std::int32_t, 4> dueScore{};
    std::int32_t reserved = 0;
    std::array<std::uint8_t, 4> concealedKongs{};
    std::array<std::uint8_t, 4> exposedKongs{};
    std::uint8_t winningTile = 0;
    std::array<std::array<std::uint8_t, 6>, 4> payerItems{};
};

// Decodes a whole message 23. A record that ends early, names no winner or
// more than four, or names a winner's chair above 3 gives nullopt. Counts above
// the limits (melds, concealed tiles) are read to keep the offsets but only
// the allowed number is kept.
std::optional<WinRecord> DecodeWinRecord(std::span<const std::uint8_t> message);

}  // namespace qira::net
