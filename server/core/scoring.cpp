#include "server/core/scoring.h"

#include <algorithm>

#include "net/server_messages.h"
#include "server/core/win_check.h"

namespace qira::server {
namespace {

using Items = std::array<std::int32_t, 18>;
using PayerItems = std::array<std::int32_t, 6>;

std::vector<Tile> FullHand(const ScoreSeat& seat, Tile winningTile) {
    auto tiles = seat.concealed;
    tiles.push_back(winningTile);
    return tiles;
}

Items WinnerItems(const WinContext& c, std::uint8_t winner) {
    const ScoreSeat& seat = c.seats[winner];
    const bool selfDrawn = c.discarder >= 4;
    Items items{};
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
    const auto full = FullHand(seat, c.winningTile);
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

PayerItems PayerItemsOf(const WinContext& c, std::uint8_t chair) {
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

std::int64_t Payment(const WinContext& c, const Items& w, const PayerItems& p) {
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

// A winner's concealed tiles as a client keeps a hand: wild tiles first, then
// ascending. The winning tile is not among them; the record carries it on its
// own, and the win window draws it last.
std::vector<Tile> InHandOrder(std::vector<Tile> concealed, Tile wild) {
    std::sort(concealed.begin(), concealed.end());
    std::stable_partition(concealed.begin(), concealed.end(),
                          [wild](Tile tile) { return tile == wild; });
    return concealed;
}

void AppendWinnerBlock(net::Bytes& out, const WinContext& c, std::uint8_t winner,
                       const Items& items) {
    const ScoreSeat& seat = c.seats[winner];
    const std::vector<Tile> concealed = InHandOrder(seat.concealed, c.wild);
    out.push_back(winner);
    const std::size_t melds = std::min<std::size_t>(seat.melds.size(), 5);
    out.push_back(static_cast<std::uint8_t>(melds * 2));
    for (std::size_t i = 0; i < melds; ++i) {
        out.push_back(static_cast<std::uint8_t>(seat.melds[i].bytKind));
        out.push_back(seat.melds[i].bytTile);
    }
    const std::size_t tiles = std::min<std::size_t>(concealed.size(), 15);
    out.push_back(static_cast<std::uint8_t>(tiles));
    out.insert(out.end(), concealed.begin(),
               concealed.begin() + static_cast<std::ptrdiff_t>(tiles));
    for (int i = 1; i <= 17; ++i) out.push_back(static_cast<std::uint8_t>(items[i]));
}

}  // namespace

WinOutcome ScoreWin(const WinContext& c) {
    WinOutcome outcome;
    std::array<std::int64_t, rules::kChairCount> due{};
    std::array<std::int64_t, rules::kChairCount> actual{};
    std::array<std::int64_t, rules::kChairCount> left = c.balance;
    std::vector<Items> winnerItems;
    std::array<bool, rules::kChairCount> isWinner{};
    for (auto w : c.winners) isWinner[w] = true;
    std::array<PayerItems, rules::kChairCount> payerItems{};
    std::array<bool, rules::kChairCount> pays{};

    for (auto w : c.winners) {
        const Items items = WinnerItems(c, w);
        winnerItems.push_back(items);
        for (std::uint8_t p = 0; p < rules::kChairCount; ++p) {
            if (isWinner[p]) continue;
            if (c.discarder < 4 && p != c.discarder) continue;
            pays[p] = true;
            payerItems[p] = PayerItemsOf(c, p);
            const std::int64_t amount = Payment(c, items, payerItems[p]);
            std::int64_t paid = amount;
            if (c.capAtBalance) paid = std::clamp<std::int64_t>(left[p], 0, amount);
            left[p] -= paid;
            due[p] -= amount;
            due[w] += amount;
            actual[p] -= paid;
            actual[w] += paid;
        }
    }

    net::Bytes& out = outcome.record;
    out.push_back(23);
    out.push_back(static_cast<std::uint8_t>(c.winners.size()));
    for (std::size_t i = 0; i < c.winners.size(); ++i)
        AppendWinnerBlock(out, c, c.winners[i], winnerItems[i]);
    for (int chair = 0; chair < rules::kChairCount; ++chair) {
        outcome.actual[chair] = static_cast<std::int32_t>(actual[chair]);
        net::server_messages::AppendInt32BE(out, outcome.actual[chair]);
    }
    for (int chair = 0; chair < rules::kChairCount; ++chair) {
        outcome.due[chair] = static_cast<std::int32_t>(due[chair]);
        net::server_messages::AppendInt32BE(out, outcome.due[chair]);
    }
    net::server_messages::AppendInt32BE(out, c.base);
    for (const ScoreSeat& seat : c.seats) {
        out.push_back(static_cast<std::uint8_t>(seat.concealedKongs));
        out.push_back(static_cast<std::uint8_t>(seat.exposedKongs));
    }
    out.push_back(c.winningTile);
    for (int chair = 0; chair < rules::kChairCount; ++chair)
        for (int i = 0; i < 6; ++i)
            out.push_back(static_cast<std::uint8_t>(pays[chair] ? payerItems[chair][i] : 0));
    return outcome;
}

}  // namespace qira::server
