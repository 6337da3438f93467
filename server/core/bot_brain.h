#pragma once

#include <optional>
#include <random>
#include <vector>

#include "server/core/tiles.h"

// Decisions of a computer player, from what that player may know: its own
// tiles and melds, the wild tile and the tiles everybody has seen.
namespace qira::server {

enum class BotStyle {
    Smart,          // plays for the shortest way to a ready hand
    RandomDiscard,  // discards a random tile, never claims; declares wins
};

struct BotView {
    std::vector<Tile> hand;  // concealed
    std::vector<Meld> melds;
    Tile wild = 0;
    Tile indicator = 0;
    bool noWin = false;
    bool ting = false;
    Tile freshTile = 0;  // the tile just drawn, when the turn began with a draw
    KindCounts seen{};   // tiles visible on the table, own hand excluded
};

// Tiles still to go before a ready hand: -1 for a complete hand, 0 for a
// ready one. Wild tiles stand for whatever is missing; seven pairs count too.
int ShantenOf(std::span<const Tile> hand, std::size_t meldCount, Tile wild);

class BotBrain {
public:
    BotBrain(BotStyle style, std::uint32_t seed) : style_(style), random_(seed) {}

    Tile ChooseDiscard(const BotView& view);
    // The lowest tile of the best chow with `discard`, when chowing helps.
    std::optional<Tile> ChooseChow(const BotView& view, Tile discard);
    bool WantsPung(const BotView& view, Tile discard);
    bool WantsExposedKong(const BotView& view, Tile discard);
    // A kong to declare on the own turn: concealed (kind 3) or an upgraded pung (4).
    std::optional<Meld> ChooseOwnKong(const BotView& view);

    BotStyle style() const { return style_; }

private:
    // The smallest distance reachable by one discard from a 3k+2 hand.
    int BestAfterDiscard(std::vector<Tile> hand, std::size_t meldCount, Tile wild) const;

    BotStyle style_;
    std::mt19937 random_;
};

}  // namespace qira::server
