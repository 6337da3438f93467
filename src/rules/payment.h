#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "rules/table_state.h"

// What a won hand pays, chair by chair (docs/rules.md, "Scoring"). The server
// builds its win record from it; the computer players weigh their choices
// with it.
namespace qira::rules {

struct ScoreSeat {
    std::vector<TileCode> concealed;  // a winner's tiles without the winning tile
    std::vector<MeldRecord> melds;
    std::uint8_t bets = 0;           // 1 "挂档" + 2 "漂"
    std::uint8_t indicatorKong = 0;  // 0 none, 1 "混皮子明杠", 2 "混皮子暗杠"
    bool wildKong = false;           // a kong of the four wild tiles
    int concealedKongs = 0;          // wild kong not counted
    int exposedKongs = 0;
};

struct WinContext {
    std::array<ScoreSeat, kChairCount> seats;
    std::vector<std::uint8_t> winners;  // in turn order from the discarder
    std::uint8_t discarder = 4;         // 4: self-drawn
    std::uint8_t dealer = 0;
    TileCode winningTile = 0;
    TileCode wild = 0;
    bool onKongReplacement = false;  // self-drawn with the replacement tile of a kong
    bool afterKong = false;          // the discard followed the discarder's kong, or a robbed kong
    std::int32_t base = 1;
    // Points each chair can still lose; a payer never pays more than this.
    std::array<std::int64_t, kChairCount> balance{};
    bool capAtBalance = false;
};

// Item positions in a winner block (1-17) and among the payer items (0-5).
namespace item {
inline constexpr int kDiscarder = 1, kSelfDrawn = 2, kOnDiscard = 3, kDealerWins = 4,
                     kDealerDiscarded = 5, kKongBloom = 6, kKongDiscard = 7, kExposedKongs = 8,
                     kConcealedKongs = 9, kSevenPairs = 10, kLuxurySevenPairs = 11,
                     kSuperSevenPairs = 12, kNoWilds = 13, kFirstBet = 14, kSecondBet = 15,
                     kIndicatorKong = 16, kWildKong = 17;
}
namespace payer {
inline constexpr int kDiscarder = 0, kDealer = 1, kFirstBet = 2, kSecondBet = 3, kIndicatorKong = 4,
                     kWildKong = 5;
}

using WinnerItems = std::array<std::int32_t, 18>;
using PayerItems = std::array<std::int32_t, 6>;

struct Payments {
    std::vector<WinnerItems> winnerItems;  // one per winner, in the order of WinContext::winners
    std::array<PayerItems, kChairCount> payerItems{};
    std::array<bool, kChairCount> pays{};
    std::array<std::int64_t, kChairCount> due{};     // before any balance cap
    std::array<std::int64_t, kChairCount> actual{};  // what changed hands
};

Payments PayWin(const WinContext& context);

// Seven pairs with wild tiles as stand-ins, for scoring a 3k+2 hand.
bool IsSevenPairs(std::span<const TileCode> concealed, std::span<const MeldRecord> melds,
                  TileCode wild);

}  // namespace qira::rules
