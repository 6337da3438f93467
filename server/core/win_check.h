#pragma once

#include <optional>
#include <span>

#include "server/core/tiles.h"

// The server's win and ready tests. They ask the shared rules engine, the
// same analysis the client uses to offer a win, so that client and server
// never disagree on what wins.
namespace qira::server {

struct HandInfo {
    std::span<const Tile> concealed;  // 3k+2 tiles on the own turn, 3k+1 otherwise
    std::span<const Meld> melds;
    Tile wild = 0;
    bool noWin = false;
};

// Whether the hand wins with `tile`: the tile just drawn (already among the
// concealed tiles, which then number 3k+2) or another player's discard (not
// among them; 3k+1).
bool CanWinWith(const HandInfo& hand, Tile tile);

// The first tile that would make a 3k+1 hand win, in code order; nullopt when
// the hand is not ready.
std::optional<Tile> FirstWinningTile(const HandInfo& hand);

// The one kong a person's client offers on its own turn (not right after a
// chow or pung): the drawn tile's kong, else the first kong found in the hand
// kept as the client keeps it (wild tiles first, then ascending). Nothing when
// that tile's kong was declined earlier in the hand: the client never offers
// it again.
std::optional<Meld> OfferedOwnKong(const HandInfo& hand, Tile fresh,
                                   std::span<const Tile> declined);

// Seven pairs with wild tiles as stand-ins, for scoring a 3k+2 hand.
bool IsSevenPairs(std::span<const Tile> concealed, std::span<const Meld> melds, Tile wild);

}  // namespace qira::server
