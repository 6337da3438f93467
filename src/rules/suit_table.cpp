#include "rules/suit_table.h"

#include <atomic>
#include <bit>
#include <memory>
#include <vector>

namespace qira::rules::detail {

namespace {

using Counts = std::array<std::uint8_t, kRanks>;

std::uint32_t IndexOf(const Counts& counts) {
    std::uint32_t index = 0;
    for (int rank = 0; rank < kRanks; ++rank) index += counts[rank] * kRankWeight[rank];
    return index;
}

Counts CountsOf(std::uint32_t index) {
    Counts counts{};
    for (int rank = 0; rank < kRanks; ++rank) {
        counts[rank] = static_cast<std::uint8_t>(index % 5);
        index /= 5;
    }
    return counts;
}

std::uint32_t SupportOf(const Counts& counts) {
    std::uint32_t support = 0;
    for (int rank = 0; rank < kRanks; ++rank) {
        if (counts[rank] != 0) support |= 1u << rank;
    }
    return support;
}

// The lowest rank must be used up by a pung when it holds exactly three tiles,
// and otherwise by chows starting there; this choice never loses a split.
bool SplitsIntoSets(Counts counts) {
    for (int rank = 0; rank < kRanks; ++rank) {
        while (counts[rank] != 0) {
            if (counts[rank] == 3) {
                counts[rank] = 0;
                break;
            }
            if (rank + 2 >= kRanks || counts[rank + 1] == 0 || counts[rank + 2] == 0) return false;
            --counts[rank];
            --counts[rank + 1];
            --counts[rank + 2];
        }
    }
    return true;
}

// Bit 0: sets only. Bit 1 + r: sets and a pair of rank r.
std::uint16_t ShapesOf(const Counts& counts) {
    std::uint16_t shapes = SplitsIntoSets(counts) ? 1 : 0;
    for (int rank = 0; rank < kRanks; ++rank) {
        if (counts[rank] < 2) continue;
        Counts rest = counts;
        rest[rank] -= 2;
        if (SplitsIntoSets(rest)) shapes |= static_cast<std::uint16_t>(1u << (1 + rank));
    }
    return shapes;
}

// Folds one wild assignment (`wilds` tiles, `taken` per rank) whose result has
// the split shapes `shapes` into an answer.
void Fold(std::uint32_t& answer, int wilds, std::uint16_t shapes, const Counts& taken) {
    const int shift = 6 * wilds;
    if (shapes & 1u) answer |= 1u << shift;
    const std::uint32_t pairs = shapes >> 1;
    if (pairs == 0) return;
    const int lowest = std::countr_zero(pairs);
    const std::uint32_t rank = wilds == 0 || taken[lowest] != 0 ? lowest : kNoRank;
    const std::uint32_t pairBit = 1u << (shift + 1);
    const std::uint32_t rankMask = 15u << (shift + 2);
    if ((answer & pairBit) == 0) {
        answer = (answer & ~rankMask) | pairBit | (rank << (shift + 2));
    } else if (((answer & rankMask) >> (shift + 2)) != rank) {
        answer |= rankMask;  // kNoRank: no single rank is refused in every assignment
    }
}

// Fibonacci hashing: the top bits of index * 2^32 / golden ratio spread the
// count vectors evenly over a power-of-two table.
std::uint32_t SpreadIndex(std::uint32_t index, int slotBits) {
    return (index * 0x9E3779B1u) >> (32 - slotBits);
}

// The split shapes (bit 0 sets only, bit 1 + r sets and a pair of rank r) of
// the 21,743 count vectors that split at all, built once from every
// combination of up to four sets and a pair, in an open-addressed table of
// 64k words: a quarter of a megabyte instead of one entry per count vector.
class SplitShapes {
public:
    void Add(std::uint32_t index, std::uint16_t shapes) {
        std::uint32_t& slot = words_[SlotOf(index)];
        if (slot == kEmpty) slot = index;
        slot |= std::uint32_t{shapes} << kIndexBits;
    }

    std::uint16_t Of(std::uint32_t index) const {
        const std::uint32_t word = words_[SlotOf(index)];
        return word == kEmpty ? 0 : static_cast<std::uint16_t>(word >> kIndexBits);
    }

private:
    static constexpr int kIndexBits = 21;  // 5^9 < 2^21; ten shape bits above
    static constexpr std::uint32_t kIndexMask = (1u << kIndexBits) - 1;
    static constexpr int kSlotBits = 16;
    static constexpr std::uint32_t kEmpty = ~0u;

    // The slot holding `index`, or the empty slot where it belongs.
    std::size_t SlotOf(std::uint32_t index) const {
        std::size_t slot = SpreadIndex(index, kSlotBits);
        while (words_[slot] != kEmpty && (words_[slot] & kIndexMask) != index)
            slot = (slot + 1) & (words_.size() - 1);
        return slot;
    }

    std::vector<std::uint32_t> words_ =
        std::vector<std::uint32_t>(std::size_t{1} << kSlotBits, kEmpty);
};

// Wild-tile answers are worked out from the split shapes the first time a
// count vector is asked for and kept in a direct-mapped cache: each slot holds
// one vector's index and answer, and a vector that meets another in its slot
// is worked out again. The size is chosen once, by the first caller.
class SuitTable {
public:
    explicit SuitTable(int cacheBits) : cacheBits_(cacheBits), cache_(std::size_t{1} << cacheBits) {
        Counts counts{};
        AddSets(0, 4, counts);
    }

    SuitAnswer At(std::uint32_t index) {
        std::atomic<std::uint64_t>& slot = cache_[SpreadIndex(index, cacheBits_)];
        const std::uint64_t known = slot.load(std::memory_order_relaxed);
        if ((known & kKnown) != 0 && known >> 32 == index)
            return {static_cast<std::uint32_t>(known & ~kKnown)};
        // Two threads may both work an answer out, or one may overwrite the
        // other's slot: a slot always holds a whole index-answer pair.
        const std::uint32_t answer = Answer(index);
        slot.store(std::uint64_t{index} << 32 | answer | kKnown, std::memory_order_relaxed);
        return {answer};
    }

private:
    static constexpr std::uint64_t kKnown = 1u << 31;

    // Every multiset of up to four sets (set kinds in non-decreasing order), with
    // and without a pair on top.
    void AddSets(int firstKind, int setsLeft, Counts& counts) {
        shapes_.Add(IndexOf(counts), 1);
        for (int rank = 0; rank < kRanks; ++rank) {
            if (counts[rank] + 2 > 4) continue;
            counts[rank] += 2;
            shapes_.Add(IndexOf(counts), static_cast<std::uint16_t>(1u << (1 + rank)));
            counts[rank] -= 2;
        }
        if (setsLeft == 0) return;
        constexpr int kPungKinds = kRanks;
        constexpr int kKinds = kPungKinds + kRanks - 2;
        for (int kind = firstKind; kind < kKinds; ++kind) {
            if (kind < kPungKinds) {
                if (counts[kind] + 3 > 4) continue;
                counts[kind] += 3;
                AddSets(kind, setsLeft - 1, counts);
                counts[kind] -= 3;
            } else {
                const int start = kind - kPungKinds;
                if (counts[start] == 4 || counts[start + 1] == 4 || counts[start + 2] == 4)
                    continue;
                ++counts[start];
                ++counts[start + 1];
                ++counts[start + 2];
                AddSets(kind, setsLeft - 1, counts);
                --counts[start];
                --counts[start + 1];
                --counts[start + 2];
            }
        }
    }

    std::uint32_t Answer(std::uint32_t index) const {
        Counts counts = CountsOf(index);
        const std::uint32_t allowed = NeighbourRanks(SupportOf(counts));
        Counts taken{};
        std::uint32_t answer = 0;
        AddWilds(0, 0, index, counts, taken, allowed, answer);
        return answer;
    }

    // Every way to give up to four wilds to the allowed ranks, keeping each
    // rank at four tiles or fewer.
    void AddWilds(int rank, int wilds, std::uint32_t index, Counts& counts, Counts& taken,
                  std::uint32_t allowed, std::uint32_t& answer) const {
        if (rank == kRanks) {
            Fold(answer, wilds, shapes_.Of(index), taken);
            return;
        }
        AddWilds(rank + 1, wilds, index, counts, taken, allowed, answer);
        if ((allowed >> rank & 1u) == 0) return;
        const int before = counts[rank];
        for (int added = 1; wilds + added <= kMaxWilds && before + added <= 4; ++added) {
            counts[rank] = static_cast<std::uint8_t>(before + added);
            taken[rank] = static_cast<std::uint8_t>(added);
            AddWilds(rank + 1, wilds + added, index + added * kRankWeight[rank], counts, taken,
                     allowed, answer);
        }
        counts[rank] = static_cast<std::uint8_t>(before);
        taken[rank] = 0;
    }

    int cacheBits_;
    SplitShapes shapes_;
    std::vector<std::atomic<std::uint64_t>> cache_;
};

int CacheBitsFor(AnswerCache size) {
    return size == AnswerCache::Large ? 20 : 14;
}

std::atomic<int> requestedCacheBits{CacheBitsFor(AnswerCache::Small)};

// Built by the first caller; later calls only check the static's guard.
SuitTable& Table() {
    static const std::unique_ptr<SuitTable> table =
        std::make_unique<SuitTable>(requestedCacheBits.load());
    return *table;
}

void ComputeWilds(int rank, int wilds, Counts& counts, Counts& taken, std::uint32_t wildRanks,
                  std::uint32_t& answer) {
    if (rank == kRanks) {
        Fold(answer, wilds, ShapesOf(counts), taken);
        return;
    }
    ComputeWilds(rank + 1, wilds, counts, taken, wildRanks, answer);
    if ((wildRanks >> rank & 1u) == 0) return;
    int added = 0;
    while (wilds + added < kMaxWilds && counts[rank] < 4) {
        ++counts[rank];
        ++taken[rank];
        ++added;
        ComputeWilds(rank + 1, wilds + added, counts, taken, wildRanks, answer);
    }
    counts[rank] = static_cast<std::uint8_t>(counts[rank] - added);
    taken[rank] = 0;
}

}  // namespace

SuitAnswer LookUpSuit(std::uint32_t index) {
    return Table().At(index);
}

SuitAnswer ComputeSuit(const Counts& counts, std::uint32_t wildRanks) {
    for (std::uint8_t count : counts) {
        if (count > 4) return {};
    }
    Counts work = counts;
    Counts taken{};
    std::uint32_t answer = 0;
    ComputeWilds(0, 0, work, taken, wildRanks, answer);
    return {answer};
}

void PrepareSuitTable(AnswerCache size) {
    requestedCacheBits = CacheBitsFor(size);
    Table();
}

}  // namespace qira::rules::detail
