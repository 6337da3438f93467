#include "bots/brain.h"

#include "rules/win_analysis.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <unordered_map>

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

// The distance by the block search over the whole hand.
int SearchedDistance(const KindCounts& counts, int setsNeeded) {
    Search search;
    search.counts = counts;
    for (int c : counts) search.left += c;
    search.setsNeeded = setsNeeded;
    search.best = 2 * setsNeeded;
    search.Run(0, 0, 0, 0);
    return search.best;
}

// The same distance from the shapes of each suit and honour on its own.
//
// Blocks never cross a suit, so a hand's block collections are the products
// of its groups' (the three suits', each honour's) collections. A group's
// collections matter only by their numbers of sets s, partial sets p and the
// pair q (0 or 1): Shapes keeps which (s, p) occur, one bit 6 * s + p per q.
// The distance is the least 2 (S - s) - min(p, S - s) - q over the hand's
// collections with s + p <= S + 1 (S: sets still needed); a collection with
// more blocks is never better than the same one without its surplus partial
// sets, which is why the search may cut it off. Every group's shapes are
// worked out once.
constexpr int kShapeRow = 6;
constexpr int kMostBlocks = 5;  // S + 1 with no meld down

struct Shapes {
    std::array<std::uint64_t, 2> byPair{};
};

constexpr int ShapeBit(int sets, int partials) {
    return kShapeRow * sets + partials;
}

// Bits of the shapes with at most `partials` partial sets / at most
// `blocks` blocks.
constexpr std::array<std::uint64_t, kShapeRow> kPartialsAtMost = [] {
    std::array<std::uint64_t, kShapeRow> masks{};
    for (int most = 0; most < kShapeRow; ++most)
        for (int s = 0; s < kShapeRow; ++s)
            for (int p = 0; p <= most; ++p) masks[most] |= std::uint64_t{1} << ShapeBit(s, p);
    return masks;
}();
constexpr std::array<std::uint64_t, kShapeRow> kBlocksAtMost = [] {
    std::array<std::uint64_t, kShapeRow> masks{};
    for (int most = 0; most < kShapeRow; ++most)
        for (int s = 0; s <= most; ++s)
            for (int p = 0; s + p <= most; ++p) masks[most] |= std::uint64_t{1} << ShapeBit(s, p);
    return masks;
}();

// Every block collection of `n` kinds in a row (a suit, or one honour),
// branching as the search does.
void CollectShapes(std::array<int, 9>& c, int n, bool numbered, int index, int sets, int partials,
                   int pair, Shapes& out) {
    while (index < n && c[index] == 0) ++index;
    if (sets + partials > kMostBlocks) return;
    if (index == n) {
        out.byPair[pair] |= std::uint64_t{1} << ShapeBit(sets, partials);
        return;
    }
    const auto again = [&](int s, int p, int q) {
        CollectShapes(c, n, numbered, index, s, p, q, out);
    };
    int& here = c[index];
    if (here >= 3) {
        here -= 3;
        again(sets + 1, partials, pair);
        here += 3;
    }
    if (numbered && index <= 6 && c[index + 1] > 0 && c[index + 2] > 0) {
        --here, --c[index + 1], --c[index + 2];
        again(sets + 1, partials, pair);
        ++here, ++c[index + 1], ++c[index + 2];
    }
    if (here >= 2) {
        here -= 2;
        if (pair == 0) again(sets, partials, 1);
        again(sets, partials + 1, pair);
        here += 2;
    }
    if (numbered && index <= 7 && c[index + 1] > 0) {
        --here, --c[index + 1];
        again(sets, partials + 1, pair);
        ++here, ++c[index + 1];
    }
    if (numbered && index <= 6 && c[index + 2] > 0) {
        --here, --c[index + 2];
        again(sets, partials + 1, pair);
        ++here, ++c[index + 2];
    }
    const int saved = here;
    here = 0;
    CollectShapes(c, n, numbered, index + 1, sets, partials, pair, out);
    here = saved;
}

Shapes SuitShapes(const KindCounts& counts, int first) {
    std::uint32_t key = 0;
    for (int rank = 8; rank >= 0; --rank)
        key = key * 5 + static_cast<std::uint32_t>(counts[first + rank]);
    // One table per thread: a few thousand suits occur in practice.
    thread_local std::unordered_map<std::uint32_t, Shapes> known;
    const auto [it, added] = known.try_emplace(key);
    if (added) {
        std::array<int, 9> c{};
        std::copy_n(counts.begin() + first, 9, c.begin());
        CollectShapes(c, 9, true, 0, 0, 0, 0, it->second);
    }
    return it->second;
}

const Shapes& HonourShapes(int count) {
    static const std::array<Shapes, 5> shapes = [] {
        std::array<Shapes, 5> all{};
        for (int n = 0; n <= 4; ++n) {
            std::array<int, 9> c{n};
            CollectShapes(c, 1, false, 0, 0, 0, 0, all[n]);
        }
        return all;
    }();
    return shapes[count];
}

Shapes Combine(const Shapes& a, const Shapes& b) {
    Shapes out;
    for (int qa = 0; qa < 2; ++qa)
        for (std::uint64_t m = a.byPair[qa]; m != 0; m &= m - 1) {
            const int bit = std::countr_zero(m);
            const int partials = bit % kShapeRow;
            for (int qb = 0; qa + qb < 2; ++qb)
                out.byPair[qa + qb] |= (b.byPair[qb] & kPartialsAtMost[kMostBlocks - partials])
                                       << bit;
        }
    for (auto& bits : out.byPair) bits &= kBlocksAtMost[kMostBlocks];
    return out;
}

int ShapedDistance(const KindCounts& counts, int setsNeeded) {
    Shapes hand;
    hand.byPair[0] = 1;  // nothing yet: no set, no partial, no pair
    for (int suit = 0; suit < 3; ++suit) hand = Combine(hand, SuitShapes(counts, 9 * suit));
    for (int kind = 27; kind < rules::kDistinctTiles; ++kind)
        if (counts[kind] != 0) hand = Combine(hand, HonourShapes(counts[kind]));
    int best = 2 * setsNeeded;
    for (int q = 0; q < 2; ++q)
        for (std::uint64_t m = hand.byPair[q] & kBlocksAtMost[setsNeeded + 1]; m != 0; m &= m - 1) {
            const int bit = std::countr_zero(m);
            const int sets = bit / kShapeRow;
            const int partials = bit % kShapeRow;
            best =
                std::min(best, 2 * (setsNeeded - sets) - std::min(partials, setsNeeded - sets) - q);
        }
    return best;
}

// The distance of a hand given as counts of its ordinary tiles and its number
// of wild tiles.
int DistanceOf(const KindCounts& counts, int wilds, std::size_t meldCount) {
    const int setsNeeded = 4 - static_cast<int>(std::min<std::size_t>(meldCount, 4));
    int tiles = 0;
    bool fourAtMost = true;
    for (int c : counts) {
        tiles += c;
        fourAtMost = fourAtMost && c >= 0 && c <= 4;
    }
    // The shapes hold for hands that cannot complete more sets than needed;
    // anything else (a view from the network may be odd) is searched.
    int shanten = fourAtMost && tiles <= 3 * setsNeeded + 2 ? ShapedDistance(counts, setsNeeded)
                                                            : SearchedDistance(counts, setsNeeded);
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
    for (const BotStyle style : {BotStyle::Beginner, BotStyle::Smart, BotStyle::Expert})
        if (LevelOf(style) == level) return style;
    return std::nullopt;
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
