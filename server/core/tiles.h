#pragma once

#include <span>

#include "net/protocol.h"
#include "rules/table_state.h"

// The server speaks the rules engine's tile vocabulary: tile codes, melds and
// the counting helpers are the ones the client uses.
namespace qira::server {

using Tile = rules::TileCode;
using Meld = rules::MeldRecord;
using rules::CountKinds;
using rules::IsNumbered;
using rules::KindCounts;
using rules::KindIndex;
using rules::MeldKind;
using rules::RankOf;
using rules::SuitOf;
using rules::TileOfKind;
using rules::WildAfterIndicator;

// Copies of `tile` among `tiles`.
inline int CountOf(std::span<const Tile> tiles, Tile tile) {
    int count = 0;
    for (Tile t : tiles) count += t == tile ? 1 : 0;
    return count;
}

}  // namespace qira::server
