#include "server/core/scoring.h"

#include <algorithm>

#include "net/server_messages.h"

namespace qira::server {
namespace {

using Items = rules::WinnerItems;

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
    const rules::Payments paid = rules::PayWin(c);
    const auto& winnerItems = paid.winnerItems;
    const auto& payerItems = paid.payerItems;
    const auto& pays = paid.pays;
    const auto& actual = paid.actual;
    const auto& due = paid.due;

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
