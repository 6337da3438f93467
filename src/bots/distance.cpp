#include "bots/distance.h"

#include <algorithm>
#include <bit>
#include <unordered_map>

namespace qira::bots {
namespace {

using rules::IsNumbered;
using rules::KindCounts;
using rules::RankOf;
using rules::TileOfKind;
using Tile = rules::TileCode;

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

using Shapes = HandDistance::Shapes;

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

// The least distance among the collections of a whole hand.
int BestOf(const Shapes& hand, int setsNeeded) {
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

Shapes NothingYet() {
    Shapes none;
    none.byPair[0] = 1;  // no set, no partial, no pair
    return none;
}

Shapes HonoursShapes(const KindCounts& counts) {
    Shapes honours = NothingYet();
    for (int kind = 27; kind < rules::kDistinctTiles; ++kind)
        if (counts[kind] != 0) honours = Combine(honours, HonourShapes(counts[kind]));
    return honours;
}

Shapes GroupShapes(const KindCounts& counts, int group) {
    return group < 3 ? SuitShapes(counts, 9 * group) : HonoursShapes(counts);
}

int ShapedDistance(const KindCounts& counts, int setsNeeded) {
    Shapes hand = NothingYet();
    for (int group = 0; group < 4; ++group) hand = Combine(hand, GroupShapes(counts, group));
    return BestOf(hand, setsNeeded);
}

int SetsNeeded(std::size_t meldCount) {
    return 4 - static_cast<int>(std::min<std::size_t>(meldCount, 4));
}

}  // namespace

int DistanceOf(const KindCounts& counts, int wilds, std::size_t meldCount) {
    const int setsNeeded = SetsNeeded(meldCount);
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

// ---------------------------------------------------------------- kept

HandDistance::HandDistance(const KindCounts& counts, int wilds, std::size_t meldCount)
    : counts_(counts), wilds_(wilds), meldCount_(meldCount) {
    for (int c : counts_) {
        tiles_ += c;
        pairs_ += c / 2;
        plain_ = plain_ && c >= 0 && c <= 4;
    }
    for (int group = 0; group < 4; ++group) groups_[group] = GroupShapes(counts_, group);
    Refresh();
}

int HandDistance::GroupOf(int kind) {
    return std::min(kind / 9, 3);
}

void HandDistance::Refresh() {
    for (int group = 0; group < 4; ++group) {
        Shapes others = NothingYet();
        for (int other = 0; other < 4; ++other)
            if (other != group) others = Combine(others, groups_[other]);
        others_[group] = others;
    }
    raw_ = Unwild(Combine(others_[0], groups_[0]), tiles_, pairs_);
}

// The distance before the wild tiles count; kUnshaped for a hand the shapes
// do not cover.
int HandDistance::Unwild(const Shapes& whole, int tiles, int pairs) const {
    const int setsNeeded = SetsNeeded(meldCount_);
    if (!plain_ || tiles > 3 * setsNeeded + 2) return kUnshaped;
    int shanten = BestOf(whole, setsNeeded);
    if (meldCount_ == 0) shanten = std::min(shanten, 6 - std::min(pairs, 7));
    return shanten;
}

void HandDistance::Change(int kind, int by) {
    if (kind < 0 || kind >= rules::kDistinctTiles) return;
    pairs_ -= counts_[kind] / 2;
    counts_[kind] += by;
    pairs_ += counts_[kind] / 2;
    tiles_ += by;
    plain_ = std::all_of(counts_.begin(), counts_.end(), [](int c) { return c >= 0 && c <= 4; });
    const int group = GroupOf(kind);
    groups_[group] = GroupShapes(counts_, group);
    Refresh();
}

void HandDistance::SetMeldCount(std::size_t meldCount) {
    meldCount_ = meldCount;
    Refresh();
}

int HandDistance::WithWilds(int raw, int wilds) const {
    return std::max(-1, raw - wilds);
}

int HandDistance::Distance() const {
    return raw_ != kUnshaped ? WithWilds(raw_, wilds_) : DistanceOf(counts_, wilds_, meldCount_);
}

int HandDistance::WithOneWild() const {
    return raw_ != kUnshaped ? WithWilds(raw_, wilds_ + 1)
                             : DistanceOf(counts_, wilds_ + 1, meldCount_);
}

int HandDistance::Trial(int kind, int by) const {
    if (kind < 0 || kind >= rules::kDistinctTiles) return Distance();
    auto counts = counts_;
    counts[kind] += by;
    if (plain_ && counts[kind] >= 0 && counts[kind] <= 4) {
        const int pairs = pairs_ - counts_[kind] / 2 + counts[kind] / 2;
        const int group = GroupOf(kind);
        const int raw =
            Unwild(Combine(others_[group], GroupShapes(counts, group)), tiles_ + by, pairs);
        if (raw != kUnshaped) return WithWilds(raw, wilds_);
    }
    return DistanceOf(counts, wilds_, meldCount_);
}

int HandDistance::WithoutOne(int kind) const {
    return Trial(kind, -1);
}

int HandDistance::WithOne(int kind) const {
    return Trial(kind, +1);
}

}  // namespace qira::bots
