#pragma once

#include "rules/table_state.h"

// The win and ready analysis the session asks. Interim: until the analysis
// lands, nothing wins and no kong keeps a ready hand ready.
namespace qira::play {

inline bool CanWinWith(const rules::TableState&, rules::TileCode) {
    return false;
}
inline bool KongKeepsReady(rules::TableState&, rules::TileCode, rules::MeldKind) {
    return false;
}

}  // namespace qira::play
