#include "server/win_check.h"

#include <array>
#include <vector>

#include "rules/win_analysis.h"

namespace qira::server {
namespace {

std::vector<rules::MeldRecord> RulesMelds(std::span<const Meld> melds) {
    std::vector<rules::MeldRecord> out;
    out.reserve(melds.size());
    for (const Meld& m : melds)
        out.push_back({static_cast<rules::MeldKind>(m.kind), m.tile, m.source});
    return out;
}

}  // namespace

bool CanWinWith(const HandInfo& hand, Tile tile) {
    const auto melds = RulesMelds(hand.melds);
    return rules::CanWinWith(rules::HandView{hand.concealed, melds, hand.wild, hand.noWin}, tile);
}

std::optional<Tile> FirstWinningTile(const HandInfo& hand) {
    const auto melds = RulesMelds(hand.melds);
    return rules::FindWinningTile(rules::HandView{hand.concealed, melds, hand.wild, hand.noWin});
}

bool IsSevenPairs(std::span<const Tile> concealed, std::span<const Meld> melds, Tile wild) {
    if (!melds.empty() || concealed.size() != 14) return false;
    int wilds = 0;
    std::array<int, 39> counts{};
    for (Tile t : concealed) {
        if (!IsTile(t)) return false;
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

}  // namespace qira::server
