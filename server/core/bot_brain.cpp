#include "server/core/bot_brain.h"

#include <algorithm>

namespace qira::server {
namespace {

struct Search {
    KindCounts counts{};
    int setsNeeded = 4;
    int best = 8;

    int left = 0;  // tiles not yet placed

    void Run(int index, int sets, int partials, int pair) {
        while (index < rules::kDistinctTiles && counts[index] == 0) ++index;
        const int usable = std::min(partials, setsNeeded - sets);
        const int now = 2 * (setsNeeded - sets) - usable - pair;
        if (index == rules::kDistinctTiles) {
            best = std::min(best, now);
            return;
        }
        // Every tile still to place lowers the distance by one at the most.
        if (now - left >= best || sets + partials > setsNeeded + 1) return;
        const Tile tile = TileOfKind(index);
        const bool numbered = IsNumbered(tile);
        const int rank = RankOf(tile);
        int& c = counts[index];
        if (c >= 3) {
            c -= 3, left -= 3;
            Run(index, sets + 1, partials, pair);
            c += 3, left += 3;
        }
        if (numbered && rank <= 7 && counts[index + 1] > 0 && counts[index + 2] > 0) {
            --c, --counts[index + 1], --counts[index + 2], left -= 3;
            Run(index, sets + 1, partials, pair);
            ++c, ++counts[index + 1], ++counts[index + 2], left += 3;
        }
        if (c >= 2) {
            c -= 2, left -= 2;
            if (pair == 0) Run(index, sets, partials, 1);
            Run(index, sets, partials + 1, pair);
            c += 2, left += 2;
        }
        if (numbered && rank <= 8 && counts[index + 1] > 0) {
            --c, --counts[index + 1], left -= 2;
            Run(index, sets, partials + 1, pair);
            ++c, ++counts[index + 1], left += 2;
        }
        if (numbered && rank <= 7 && counts[index + 2] > 0) {
            --c, --counts[index + 2], left -= 2;
            Run(index, sets, partials + 1, pair);
            ++c, ++counts[index + 2], left += 2;
        }
        const int saved = c;
        c = 0, left -= saved;
        Run(index + 1, sets, partials, pair);
        c = saved, left += saved;
    }
};

std::vector<Tile> Without(std::span<const Tile> hand, Tile tile, int copies) {
    std::vector<Tile> out(hand.begin(), hand.end());
    for (int i = 0; i < copies; ++i) {
        const auto it = std::find(out.begin(), out.end(), tile);
        if (it != out.end()) out.erase(it);
    }
    return out;
}

// Only a tile that pairs with or lies within two ranks of a held tile, or
// the wild tile itself, can shorten the way to a ready hand.
bool Near(std::span<const Tile> hand, Tile tile, Tile wild) {
    if (tile == wild) return true;
    for (Tile held : hand) {
        if (held == tile) return true;
        if (IsNumbered(tile) && IsNumbered(held) && SuitOf(held) == SuitOf(tile) &&
            std::abs(int(held) - int(tile)) <= 2)
            return true;
    }
    return false;
}

}  // namespace

int ShantenOf(std::span<const Tile> hand, std::size_t meldCount, Tile wild) {
    Search search;
    int wilds = 0;
    for (Tile t : hand) {
        if (t == wild) {
            ++wilds;
        } else if (rules::IsTileCode(t)) {
            ++search.counts[KindIndex(t)];
            ++search.left;
        }
    }
    search.setsNeeded = 4 - static_cast<int>(std::min<std::size_t>(meldCount, 4));
    search.best = 2 * search.setsNeeded;
    search.Run(0, 0, 0, 0);
    int shanten = search.best;
    if (meldCount == 0) {
        int pairs = 0;
        for (int c : search.counts) pairs += c / 2;
        shanten = std::min(shanten, 6 - std::min(pairs, 7));
    }
    return std::max(-1, shanten - wilds);
}

int BotBrain::BestAfterDiscard(std::vector<Tile> hand, std::size_t meldCount, Tile wild) const {
    int best = 99;
    for (std::size_t i = 0; i < hand.size(); ++i) {
        if (hand[i] == wild && hand.size() > 1) continue;
        if (i > 0 && std::find(hand.begin(), hand.begin() + static_cast<std::ptrdiff_t>(i),
                               hand[i]) != hand.begin() + static_cast<std::ptrdiff_t>(i))
            continue;
        auto rest = Without(hand, hand[i], 1);
        best = std::min(best, ShantenOf(rest, meldCount, wild));
    }
    return best;
}

Tile BotBrain::ChooseDiscard(const BotView& view) {
    const auto& hand = view.hand;
    if (hand.empty()) return 0;
    if (view.ting && std::count(hand.begin(), hand.end(), view.freshTile) > 0)
        return view.freshTile;
    if (style_ == BotStyle::RandomDiscard) return hand[random_() % hand.size()];

    std::vector<Tile> candidates;
    for (Tile t : hand)
        if (t != view.wild &&
            std::find(candidates.begin(), candidates.end(), t) == candidates.end())
            candidates.push_back(t);
    if (candidates.empty()) return hand.back();

    // Fewest steps to a ready hand first, then the most tiles that would
    // shorten the way, then the tile that fits least (honours and ends first).
    Tile best = candidates.front();
    int bestShanten = 99;
    int bestUseful = -1;
    int bestFit = 99;
    const auto mine = CountKinds(hand);
    for (Tile t : candidates) {
        const auto rest = Without(hand, t, 1);
        const int shanten = ShantenOf(rest, view.melds.size(), view.wild);
        if (shanten > bestShanten) continue;
        int useful = 0;
        for (int kind = 0; kind < rules::kDistinctTiles; ++kind) {
            const int unseen = 4 - view.seen[kind] - mine[kind] + (KindIndex(t) == kind ? 1 : 0);
            if (unseen <= 0 || !Near(rest, TileOfKind(kind), view.wild)) continue;
            auto more = rest;
            more.push_back(TileOfKind(kind));
            if (ShantenOf(more, view.melds.size(), view.wild) < shanten) useful += unseen;
        }
        int fit = 0;
        for (Tile other : rest)
            if (other != view.wild && IsNumbered(t) && SuitOf(other) == SuitOf(t) &&
                std::abs(int(other) - int(t)) <= 2)
                ++fit;
        fit += std::count(rest.begin(), rest.end(), t) * 2;
        if (shanten < bestShanten || useful > bestUseful ||
            (useful == bestUseful && fit < bestFit)) {
            best = t;
            bestShanten = shanten;
            bestUseful = useful;
            bestFit = fit;
        }
    }
    return best;
}

std::optional<Tile> BotBrain::ChooseChow(const BotView& view, Tile discard) {
    if (style_ != BotStyle::Smart || view.ting || discard == view.wild || !IsNumbered(discard))
        return std::nullopt;
    const int now = ShantenOf(view.hand, view.melds.size(), view.wild);
    std::optional<Tile> choice;
    int best = now;
    for (int start = discard - 2; start <= discard; ++start) {
        if (start < 0 || SuitOf(static_cast<Tile>(start)) != SuitOf(discard) ||
            RankOf(static_cast<Tile>(start)) > 7)
            continue;
        auto rest = view.hand;
        bool ok = true;
        for (int t = start; t < start + 3 && ok; ++t) {
            if (t == discard) continue;
            const auto it = std::find(rest.begin(), rest.end(), static_cast<Tile>(t));
            ok = it != rest.end() && t != view.wild;
            if (ok) rest.erase(it);
        }
        if (!ok) continue;
        const int after = BestAfterDiscard(rest, view.melds.size() + 1, view.wild);
        if (after < best) {
            best = after;
            choice = static_cast<Tile>(start);
        }
    }
    return choice;
}

bool BotBrain::WantsPung(const BotView& view, Tile discard) {
    if (style_ != BotStyle::Smart || view.ting || discard == view.wild) return false;
    if (std::count(view.hand.begin(), view.hand.end(), discard) < 2) return false;
    const int now = ShantenOf(view.hand, view.melds.size(), view.wild);
    const auto rest = Without(view.hand, discard, 2);
    return BestAfterDiscard(rest, view.melds.size() + 1, view.wild) < now;
}

bool BotBrain::WantsExposedKong(const BotView& view, Tile discard) {
    if (style_ != BotStyle::Smart || discard == view.wild) return false;
    if (std::count(view.hand.begin(), view.hand.end(), discard) < 3) return false;
    const int now = ShantenOf(view.hand, view.melds.size(), view.wild);
    const auto rest = Without(view.hand, discard, 3);
    return ShantenOf(rest, view.melds.size() + 1, view.wild) <= now;
}

std::optional<Meld> BotBrain::ChooseOwnKong(const BotView& view) {
    if (style_ != BotStyle::Smart) return std::nullopt;
    const int now = BestAfterDiscard(view.hand, view.melds.size(), view.wild);
    const auto counts = CountKinds(view.hand);
    for (int kind = 0; kind < rules::kDistinctTiles; ++kind) {
        const Tile tile = TileOfKind(kind);
        if (tile == view.wild) continue;  // wild tiles are worth more in the hand
        if (counts[kind] == 4) {
            const auto rest = Without(view.hand, tile, 4);
            if (ShantenOf(rest, view.melds.size() + 1, view.wild) <= now)
                return Meld{MeldKind::ConcealedKong, tile, 0};
        }
        if (counts[kind] >= 1)
            for (const Meld& meld : view.melds)
                if (meld.bytKind == MeldKind::Pung && meld.bytTile == tile) {
                    const auto rest = Without(view.hand, tile, 1);
                    if (ShantenOf(rest, view.melds.size(), view.wild) <= now)
                        return Meld{MeldKind::ExposedKong, tile, 0};
                }
    }
    return std::nullopt;
}

}  // namespace qira::server
