#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "server/core/tiles.h"

namespace qira::server {

// One act of a hand as the hand log keeps it.
enum class Act : std::uint8_t {
    Draw,
    Discard,
    Chow,
    Pung,
    Kong,
    IndicatorKong,
    Ting,
    PassWin,
    Win
};

// Which end of the wall a draw took its tile from: the head for ordinary
// draws, the tail for the replacement after a kong.
enum class WallEnd : std::uint8_t { Head, Tail };

enum class KongKind : std::uint8_t { Concealed, Exposed, Added };

struct HandEvent {
    int chair = 0;
    Act act = Act::Draw;
    std::optional<Tile> tile;
    std::optional<WallEnd> end;    // draws
    std::optional<int> from;       // the chair whose discard (or kong tile) this takes
    std::vector<Tile> meld;        // chows, pungs, kongs
    std::optional<KongKind> kind;  // kongs
    bool robbed = false;           // a win on, or a pass of, the tile added to a pung
};

// The events as a JSON array, in order.
std::string EventsJson(std::span<const HandEvent> events);

}  // namespace qira::server
