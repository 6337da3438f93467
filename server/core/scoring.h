#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "net/packet.h"
#include "rules/payment.h"
#include "server/core/tiles.h"

// The win record that carries a won hand's score (docs/rules.md); the
// payments themselves are worked out by rules::PayWin.
namespace qira::server {

using rules::ScoreSeat;
using rules::WinContext;
namespace item = rules::item;
namespace payer = rules::payer;

struct WinOutcome {
    net::Bytes record;  // the whole message 23
    std::array<std::int32_t, rules::kChairCount> actual{};
    std::array<std::int32_t, rules::kChairCount> due{};
};

WinOutcome ScoreWin(const WinContext& context);

}  // namespace qira::server
