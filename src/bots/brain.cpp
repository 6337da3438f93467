#include "bots/brain.h"

#include "rules/win_analysis.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace qira::bots {
namespace {

using rules::CountKinds;
using rules::IsNumbered;
using rules::KindCounts;
using rules::KindIndex;
using rules::MeldKind;
using rules::RankOf;
using rules::SuitOf;
using rules::TileOfKind;

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

std::vector<Tile> DiscardCandidates(const BotView& view) {
    std::vector<Tile> candidates;
    // A code that names no tile (a client's view comes from the network) is
    // never a candidate.
    for (Tile t : view.hand)
        if (t != view.wild && rules::IsTileCode(t) &&
            std::find(candidates.begin(), candidates.end(), t) == candidates.end())
            candidates.push_back(t);
    return candidates;
}

}  // namespace

namespace {

// The distance of a hand given as counts of its ordinary tiles and its number
// of wild tiles.
int DistanceOf(const KindCounts& counts, int wilds, std::size_t meldCount) {
    Search search;
    search.counts = counts;
    for (int c : counts) search.left += c;
    search.setsNeeded = 4 - static_cast<int>(std::min<std::size_t>(meldCount, 4));
    search.best = 2 * search.setsNeeded;
    search.Run(0, 0, 0, 0);
    int shanten = search.best;
    if (meldCount == 0) {
        int pairs = 0;
        for (int c : counts) pairs += c / 2;
        shanten = std::min(shanten, 6 - std::min(pairs, 7));
    }
    return std::max(-1, shanten - wilds);
}

}  // namespace

int ShantenOf(std::span<const Tile> hand, std::size_t meldCount, Tile wild) {
    KindCounts counts{};
    int wilds = 0;
    for (Tile t : hand) {
        if (t == wild)
            ++wilds;
        else if (rules::IsTileCode(t))
            ++counts[KindIndex(t)];
    }
    return DistanceOf(counts, wilds, meldCount);
}

namespace {

// The smallest distance reachable by one discard from a 3k+2 hand.
int BestAfterDiscard(std::vector<Tile> hand, std::size_t meldCount, Tile wild) {
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

}  // namespace

BotBrain::Option BotBrain::Evaluate(const BotView& view, Tile discard, bool countUseful) const {
    const auto rest = Without(view.hand, discard, 1);
    Option option;
    option.tile = discard;
    option.shanten = ShantenOf(rest, view.melds.size(), view.wild);
    if (countUseful) {
        const auto mine = rules::CountKinds(view.hand);
        KindCounts counts{};
        int wilds = 0;
        for (Tile t : rest) {
            if (t == view.wild)
                ++wilds;
            else if (rules::IsTileCode(t))
                ++counts[KindIndex(t)];
        }
        for (int kind = 0; kind < rules::kDistinctTiles; ++kind) {
            const int unseen =
                4 - view.seen[kind] - mine[kind] + (KindIndex(discard) == kind ? 1 : 0);
            const Tile tile = TileOfKind(kind);
            if (unseen <= 0 || !Near(rest, tile, view.wild)) continue;
            const bool wild = tile == view.wild;
            wild ? ++wilds : ++counts[kind];
            if (DistanceOf(counts, wilds, view.melds.size()) < option.shanten)
                option.useful += unseen;
            wild ? --wilds : --counts[kind];
        }
    }
    for (Tile other : rest)
        if (other != view.wild && IsNumbered(discard) && SuitOf(other) == SuitOf(discard) &&
            std::abs(int(other) - int(discard)) <= 2)
            ++option.fit;
    option.fit += static_cast<int>(std::count(rest.begin(), rest.end(), discard)) * 2;
    return option;
}

// Fewest steps to a ready hand first, then (when counted) the most tiles that
// would shorten the way, then the tile that fits least (honours and ends first).
Tile BotBrain::ChooseDiscardByShape(const BotView& view, bool countUseful) const {
    const auto candidates = DiscardCandidates(view);
    if (candidates.empty()) return view.hand.back();
    Option best;
    best.useful = -1;
    best.tile = candidates.front();
    for (Tile t : candidates) {
        // The useful tiles only matter for a discard that keeps the best distance.
        if (ShantenOf(Without(view.hand, t, 1), view.melds.size(), view.wild) > best.shanten)
            continue;
        const Option option = Evaluate(view, t, countUseful);
        if (option.shanten < best.shanten || option.useful > best.useful ||
            (option.useful == best.useful && option.fit < best.fit))
            best = option;
    }
    return best.tile;
}

Tile BotBrain::ChooseDiscard(const BotView& view) {
    const auto& hand = view.hand;
    if (hand.empty()) return 0;
    if (view.ting && std::count(hand.begin(), hand.end(), view.freshTile) > 0)
        return view.freshTile;
    switch (style_) {
        case BotStyle::RandomDiscard:
            return hand[random_() % hand.size()];
        case BotStyle::Beginner:
            return ChooseDiscardByShape(view, false);
        case BotStyle::Smart:
            return ChooseDiscardByShape(view, true);
        case BotStyle::Expert:
            return ChooseDiscardAsExpert(view);
    }
    return hand.back();
}

std::optional<Tile> BotBrain::ChooseChow(const BotView& view, Tile discard) {
    if (style_ == BotStyle::RandomDiscard || style_ == BotStyle::Beginner || view.ting ||
        discard == view.wild || !IsNumbered(discard) || Folding(view))
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
    if (style_ == BotStyle::RandomDiscard || view.ting || discard == view.wild || Folding(view))
        return false;
    if (std::count(view.hand.begin(), view.hand.end(), discard) < 2) return false;
    const int now = ShantenOf(view.hand, view.melds.size(), view.wild);
    const auto rest = Without(view.hand, discard, 2);
    return BestAfterDiscard(rest, view.melds.size() + 1, view.wild) < now;
}

bool BotBrain::WantsExposedKong(const BotView& view, Tile discard) {
    if (style_ == BotStyle::RandomDiscard || discard == view.wild) return false;
    if (std::count(view.hand.begin(), view.hand.end(), discard) < 3) return false;
    const int now = ShantenOf(view.hand, view.melds.size(), view.wild);
    const auto rest = Without(view.hand, discard, 3);
    return ShantenOf(rest, view.melds.size() + 1, view.wild) <= now;
}

std::optional<Meld> BotBrain::ChooseOwnKong(const BotView& view) {
    if (style_ == BotStyle::RandomDiscard) return std::nullopt;
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

// ---------------------------------------------------------------- levels

std::optional<BotStyle> StyleOfLevel(int level) {
    switch (level) {
        case 1:
            return BotStyle::Beginner;
        case 2:
            return BotStyle::Smart;
        case 3:
            return BotStyle::Expert;
        default:
            return std::nullopt;
    }
}

int LevelOf(BotStyle style) {
    switch (style) {
        case BotStyle::Beginner:
            return 1;
        case BotStyle::Smart:
            return 2;
        case BotStyle::Expert:
            return 3;
        case BotStyle::RandomDiscard:
            return 0;
    }
    return 0;
}

// ---------------------------------------------------------------- defence

std::array<double, rules::kChairCount> ThreatOf(const BotView& view) {
    std::size_t discarded = 0;
    for (const auto& pile : view.discards) discarded += pile.size();
    // About 70 tiles are discarded in a hand that runs to the end of the wall.
    const double lateness = std::min(1.0, static_cast<double>(discarded) / 70.0);
    std::array<double, rules::kChairCount> threat{};
    for (int chair = 0; chair < rules::kChairCount; ++chair) {
        if (chair == view.self) continue;
        if (view.declaredReady[chair]) {
            threat[chair] = 1.0;
            continue;
        }
        const int melds = view.exposedMelds[chair];
        const double shown = melds >= 3 ? 0.8 : melds == 2 ? 0.45 : melds == 1 ? 0.2 : 0.0;
        threat[chair] = std::min(1.0, shown + 0.5 * lateness * lateness);
    }
    return threat;
}

namespace {

// A chair's concealed tiles have not changed since its last discard, so a
// tile thrown after it, on which it did not win, cannot win for it now: either
// it does not complete the hand, or the chair passed a win and may not win on
// a discard before its next draw.
bool SafeSinceLastDiscard(const BotView& view, int chair, Tile tile) {
    const auto& log = view.discardLog;
    for (auto it = log.rbegin(); it != log.rend(); ++it) {
        if (it->first == chair) return false;
        if (it->second == tile) return true;
    }
    return false;
}

}  // namespace

double DangerOf(const BotView& view, int chair, Tile tile) {
    if (tile == view.wild || !rules::IsTileCode(tile) || chair < 0 || chair >= rules::kChairCount)
        return 1.0;
    if (SafeSinceLastDiscard(view, chair, tile)) return 0.0;
    const int kind = KindIndex(tile);
    const auto mine = rules::CountKinds(view.hand);
    const int unseen = std::max(0, 4 - view.seen[kind] - mine[kind]);
    const auto& pile = view.discards[chair];
    const bool discardedIt = std::find(pile.begin(), pile.end(), tile) != pile.end();
    double danger;
    if (!IsNumbered(tile)) {
        // An honour completes only a pair or a set of its own kind.
        danger = unseen == 0 ? 0.05 : 0.25 + 0.2 * unseen;
    } else {
        const int rank = RankOf(tile);
        danger = rank == 1 || rank == 9 ? 0.6 : rank == 2 || rank == 8 ? 0.8 : 1.0;
        // A chair that threw the tile three ranks away rarely waits on both sides.
        const auto threw = [&](int other) {
            if (other < 1 || other > 9) return true;
            const auto code = static_cast<Tile>(SuitOf(tile) * 9 + other - 1);
            return std::find(pile.begin(), pile.end(), code) != pile.end();
        };
        if (threw(rank - 3) && threw(rank + 3)) danger *= 0.5;
        if (unseen == 0) danger *= 0.7;
    }
    // The chair did not want it once; with wild tiles about, it may now.
    if (discardedIt) danger *= 0.35;
    return danger;
}

namespace {

// What a ready hand of 3k+1 tiles is worth waiting with: each unseen tile that
// really wins (the engine's answer, with the limits on winning on a discard)
// counts its copies, a self-drawn win (paid by all three) more than one on a
// discard. In the units of Option::useful.
double WaitValue(const BotView& view, const std::vector<Tile>& rest, Tile discard) {
    const rules::HandView onDiscard{rest, view.melds, view.wild, view.noWin};
    const auto mine = rules::CountKinds(rest);
    auto drawn = rest;
    drawn.push_back(0);
    double value = 0;
    for (int kind = 0; kind < rules::kDistinctTiles; ++kind) {
        const Tile tile = TileOfKind(kind);
        const int unseen = 4 - view.seen[kind] - mine[kind] - (tile == discard ? 1 : 0);
        if (unseen <= 0) continue;
        drawn.back() = tile;
        const rules::HandView selfDrawn{drawn, view.melds, view.wild, view.noWin};
        const double worth = (rules::CanWinWith(selfDrawn, tile) ? 1.0 : 0.0) +
                             (rules::CanWinWith(onDiscard, tile) ? 0.75 : 0.0);
        value += unseen * worth;
    }
    return value;
}

}  // namespace

bool BotBrain::Folding(const BotView& view) const {
    if (style_ != BotStyle::Expert || view.self < 0) return false;
    const auto threat = ThreatOf(view);
    const double highest = *std::max_element(threat.begin(), threat.end());
    const int distance = ShantenOf(view.hand, view.melds.size(), view.wild);
    // A hand of 3k+2 tiles counts one step better once the discard is made.
    const int steps = view.hand.size() % 3 == 2 ? distance - 1 : distance;
    return highest >= 0.75 && steps >= 2;
}

// Attacks like the level below, but weighs each discard's danger to the
// chairs that look ready, and folds (throws the safest tile) when an
// opponent looks ready and the own hand is still far.
Tile BotBrain::ChooseDiscardAsExpert(const BotView& view) const {
    const auto candidates = DiscardCandidates(view);
    if (candidates.empty()) return view.hand.back();
    const auto threat = ThreatOf(view);
    const auto dangerOf = [&](Tile tile) {
        double total = 0;
        for (int chair = 0; chair < rules::kChairCount; ++chair)
            if (threat[chair] > 0) total += threat[chair] * DangerOf(view, chair, tile);
        return total;
    };
    const bool folding = Folding(view);
    const int indicators =
        static_cast<int>(std::count(view.hand.begin(), view.hand.end(), view.indicator));

    // Attacking, only the discards that keep the shortest way are worth
    // counting tiles for: a longer way never makes up for its step.
    std::vector<int> distances;
    for (Tile t : candidates)
        distances.push_back(ShantenOf(Without(view.hand, t, 1), view.melds.size(), view.wild));
    const int shortest = *std::min_element(distances.begin(), distances.end());

    Tile best = candidates.front();
    double bestScore = -1e18;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        const Tile t = candidates[i];
        if (!folding && distances[i] > shortest) continue;
        Option option = Evaluate(view, t, !folding);
        if (!folding && option.shanten == 0)
            option.useful = static_cast<int>(WaitValue(view, Without(view.hand, t, 1), t));
        // Two indicators are half of the three-indicator kong, which pays extra.
        const double keepIndicator = t == view.indicator && indicators == 2 ? 3.0 : 0.0;
        double score;
        if (folding) {
            score = -100.0 * dangerOf(t) - 2.0 * option.shanten - 0.01 * option.fit;
        } else {
            const double danger = dangerOf(t);
            const double caution = option.shanten <= 0 ? 4.0 : 12.0 * (option.shanten + 1);
            score = -1000.0 * option.shanten + option.useful - caution * danger - keepIndicator -
                    0.01 * option.fit;
        }
        if (score > bestScore) {
            bestScore = score;
            best = t;
        }
    }
    return best;
}

}  // namespace qira::bots
