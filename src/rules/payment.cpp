#include "rules/payment.h"

#include <algorithm>

namespace qira::rules {
namespace {

int CountOf(std::span<const TileCode> tiles, TileCode tile) {
    return static_cast<int>(std::count(tiles.begin(), tiles.end(), tile));
}

WinnerItems ItemsOfWinner(const WinContext& c, std::uint8_t winner) {
    const ScoreSeat& seat = c.seats[winner];
    const bool selfDrawn = c.discarder >= 4;
    WinnerItems items{};
    std::fill(items.begin(), items.end(), 1);
    items[0] = 0;
    items[item::kDiscarder] = c.discarder;
    items[item::kSelfDrawn] = selfDrawn ? 2 : 1;
    items[item::kOnDiscard] = selfDrawn ? 1 : 3;
    items[item::kDealerWins] = winner == c.dealer ? 2 : 1;
    items[item::kDealerDiscarded] = !selfDrawn && c.discarder == c.dealer ? 2 : 1;
    items[item::kKongBloom] = selfDrawn && c.onKongReplacement ? 2 : 1;
    items[item::kKongDiscard] = !selfDrawn && c.afterKong ? 2 : 1;
    items[item::kExposedKongs] = seat.exposedKongs;
    items[item::kConcealedKongs] = seat.concealedKongs;
    auto full = seat.concealed;
    full.push_back(c.winningTile);
    if (IsSevenPairs(full, seat.melds, c.wild)) {
        int quads = 0;
        for (int count : CountKinds(full))
            if (count == 4) ++quads;
        if (CountOf(full, c.wild) == 4) --quads;  // the wild tiles stand for other tiles
        if (quads <= 0)
            items[item::kSevenPairs] = 2;
        else if (quads == 1)
            items[item::kLuxurySevenPairs] = 4;
        else
            items[item::kSuperSevenPairs] = 8;
    }
    items[item::kNoWilds] = CountOf(full, c.wild) == 0 && !seat.wildKong ? 2 : 1;
    items[item::kFirstBet] = (seat.bets & 1) ? 2 : 1;
    items[item::kSecondBet] = (seat.bets & 2) ? 2 : 0;
    items[item::kIndicatorKong] = seat.indicatorKong;
    items[item::kWildKong] = seat.wildKong ? 4 : 0;
    return items;
}

PayerItems ItemsOfPayer(const WinContext& c, std::uint8_t chair) {
    const ScoreSeat& seat = c.seats[chair];
    PayerItems items{};
    items[payer::kDiscarder] = chair == c.discarder ? 3 : 1;
    items[payer::kDealer] = chair == c.dealer ? 2 : 1;
    items[payer::kFirstBet] = (seat.bets & 1) ? 2 : 1;
    items[payer::kSecondBet] = (seat.bets & 2) ? 2 : 0;
    items[payer::kIndicatorKong] = seat.indicatorKong;
    items[payer::kWildKong] = seat.wildKong ? 4 : 0;
    return items;
}

std::int64_t Payment(const WinContext& c, const WinnerItems& w, const PayerItems& p) {
    std::int64_t multiplier = 1;
    for (int i : {item::kSelfDrawn, item::kDealerWins, item::kKongBloom, item::kKongDiscard,
                  item::kSevenPairs, item::kLuxurySevenPairs, item::kSuperSevenPairs,
                  item::kNoWilds, item::kFirstBet})
        multiplier *= w[i];
    for (int i : {payer::kDiscarder, payer::kDealer, payer::kFirstBet}) multiplier *= p[i];
    const std::int64_t added = w[item::kExposedKongs] + 2 * w[item::kConcealedKongs] +
                               w[item::kSecondBet] + w[item::kIndicatorKong] + w[item::kWildKong] +
                               p[payer::kSecondBet] - p[payer::kIndicatorKong] -
                               p[payer::kWildKong];
    return std::max<std::int64_t>(1, multiplier + added) * c.base;
}

}  // namespace

Payments PayWin(const WinContext& c) {
    Payments out;
    std::array<std::int64_t, kChairCount> left = c.balance;
    std::array<bool, kChairCount> isWinner{};
    for (auto w : c.winners)
        if (w < kChairCount) isWinner[w] = true;
    for (auto w : c.winners) {
        if (w >= kChairCount) {
            out.winnerItems.emplace_back();  // keeps one entry per winner
            continue;
        }
        const WinnerItems items = ItemsOfWinner(c, w);
        out.winnerItems.push_back(items);
        for (std::uint8_t p = 0; p < kChairCount; ++p) {
            if (isWinner[p]) continue;
            if (c.discarder < 4 && p != c.discarder) continue;
            out.pays[p] = true;
            out.payerItems[p] = ItemsOfPayer(c, p);
            const std::int64_t amount = Payment(c, items, out.payerItems[p]);
            std::int64_t paid = amount;
            if (c.capAtBalance) paid = std::clamp<std::int64_t>(left[p], 0, amount);
            left[p] -= paid;
            out.due[p] -= amount;
            out.due[w] += amount;
            out.actual[p] -= paid;
            out.actual[w] += paid;
        }
    }
    return out;
}

bool IsSevenPairs(std::span<const TileCode> concealed, std::span<const MeldRecord> melds,
                  TileCode wild) {
    if (!melds.empty() || concealed.size() != 14) return false;
    int wilds = 0;
    std::array<int, 39> counts{};
    for (TileCode t : concealed) {
        if (!IsTileCode(t)) return false;
        if (t == wild)
            ++wilds;
        else
            ++counts[t];
    }
    int odd = 0;
    for (int c : counts) odd += c % 2;
    // Each wild tile pairs one odd tile; wild tiles left over pair each other.
    return odd <= wilds && (wilds - odd) % 2 == 0;
}

}  // namespace qira::rules
