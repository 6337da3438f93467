#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "net/hand_log_names.h"
#include "server/core/tiles.h"

namespace qira::server {

using net::hand_log::Act;
using net::hand_log::KongKind;
using net::hand_log::WallEnd;

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
