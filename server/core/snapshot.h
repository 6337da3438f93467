#pragma once

#include <array>

#include "net/packet.h"
#include "server/core/claim_window.h"
#include "server/core/hand_state.h"

namespace qira::server {

// The table as a joining or returning client sees it (the body of 109):
// between hands only who is ready; during a hand every meld, discard and
// wall segment, and the viewed chair's hand, face down unless `handVisible`.
net::Bytes BuildSnapshot(const HandState& hand, const std::array<bool, rules::kChairCount>& ready,
                         const RobKongWindow& rob, int viewedChair, bool handVisible);

}  // namespace qira::server
