#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "net/win_record_message.h"

// The texts the win-result window shows for a won hand (message 23). The
// client computes no score.
namespace qira::play {

// The record's types and its decoder live with the other typed decoders.
using net::DecodeWinRecord;
using net::WinMeld;
using net::WinnerBlock;
using net::WinRecord;

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
