#pragma once

#include <optional>

#include "bots/seat_knowledge.h"

// The hint for the local player ("出牌提示"): what the level 3 or, when the
// player's machine can afford it, the level 4 computer player would do in the
// player's place, judged from the player's own view of the
// table only (the own hand, and what everybody has seen).
namespace qira::play {

enum class ActionButton : std::uint8_t;
struct OfferData;

struct Hint {
    std::optional<rules::TileCode> discard;  // the tile to throw on the own turn
    std::optional<ActionButton> action;      // the offered button to press
};

// On the own turn (`ownTurn`, a full hand) the discard and, among the offered
// buttons, the one to take; on another's discard, the claim or the pass.
// `strong`: level 4 decides, within its default time, else level 3.
Hint HintFor(const bots::SeatKnowledge& seat, const OfferData& offer, bool ownTurn,
             bool strong = false);

}  // namespace qira::play
