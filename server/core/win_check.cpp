#include "server/core/win_check.h"

#include "rules/payment.h"

#include <algorithm>
#include <array>
#include <vector>

#include "rules/claim_options.h"
#include "rules/win_analysis.h"

namespace qira::server {

bool CanWinWith(const HandInfo& hand, Tile tile) {
    return rules::CanWinWith(rules::HandView{hand.concealed, hand.melds, hand.wild, hand.noWin},
                             tile);
}

std::optional<Tile> FirstWinningTile(const HandInfo& hand) {
    return rules::FindWinningTile(
        rules::HandView{hand.concealed, hand.melds, hand.wild, hand.noWin});
}

std::optional<Meld> OfferedOwnKong(const HandInfo& hand, Tile fresh,
                                   std::span<const Tile> declined) {
    std::vector<Tile> kept(hand.concealed.begin(), hand.concealed.end());
    std::sort(kept.begin(), kept.end());
    std::stable_partition(kept.begin(), kept.end(), [&](Tile t) { return t == hand.wild; });
    const rules::HandView view{kept, hand.melds, hand.wild, hand.noWin};
    Tile tile = fresh;
    auto kind = rules::KongOption(view, tile, rules::Turn::Own);
    if (!kind) kind = rules::FindOwnKong(view, tile);
    if (!kind || std::find(declined.begin(), declined.end(), tile) != declined.end())
        return std::nullopt;
    return Meld{*kind, tile, 0};
}

bool IsSevenPairs(std::span<const Tile> concealed, std::span<const Meld> melds, Tile wild) {
    return rules::IsSevenPairs(concealed, melds, wild);
}

}  // namespace qira::server
