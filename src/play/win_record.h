#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// The record of a won hand as the server sends it (message 23), and the texts
// the win-result window shows for it. The client computes no score.
namespace qira::play {

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

// The "   番值   " column text of each chair 0 to 3.
std::array<std::string, 4> BuildItemTexts(const WinRecord& record);

struct WinHeader {
    std::string caption;
    std::string winnerLine;
    std::string discarderLine;  // empty for a self-drawn win
};

WinHeader BuildWinHeader(const WinRecord& record, const std::string& gameTitle,
                         const std::array<std::string, 4>& playerNames);

inline constexpr std::array<const char*, 4> kWinResultColumns = {"用户名", "实际得分", "应得分",
                                                                 "   番值   "};
inline constexpr int kWinResultSeconds = 60;

// A winner's tile in the hand grouped into its sets: the tile as held and, for
// a wild tile, what it stood for in words ("当五萬"); empty for a natural tile.
struct ArrangedTile {
    std::uint8_t tile = 0;
    std::string label;

    bool operator==(const ArrangedTile&) const = default;
};
using ArrangedGroup = std::vector<ArrangedTile>;

// The winner's concealed tiles and the winning tile grouped into sets and a
// pair (or seven pairs), the melds left out; empty when the client's analysis
// finds no arrangement (the server has the last word) or the wild tile is
// not known.
std::vector<ArrangedGroup> ArrangeWinnerHand(const WinnerBlock& winner, std::uint8_t winningTile,
                                             std::optional<std::uint8_t> wildTile);

// "关闭 " followed by the seconds left.
std::string CloseButtonCaption(int secondsLeft);

}  // namespace qira::play
