#include "rules/win_analysis.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "rules/suit_table.h"

namespace qira::rules {

namespace {

using detail::kRanks;
using detail::NeighbourRanks;
using detail::SuitAnswer;

constexpr int kSuits = 3;
constexpr int kMaxWildPositions = 4;
constexpr int kMaxSplitHandSize = 14;
constexpr int kMaxSevenPairsTiles = 20;
constexpr int kMaxHonourCodes = kMaxSevenPairsTiles + 1;

// The work list gets the tested tile when it does not hold 3k + 2 tiles.
bool TakesTile(int size) {
    return (size - 2) % 3 != 0;
}

enum class Marking { Candidates, None };

// A work list as counts. Wild tiles are counted by their face; the first four
// of them are also the wild positions a search may fill (`wildPositions`).
// Tiles that were in the list itself name the candidate codes for wild tiles
// (their own and their neighbours); tiles appended twice or surplus wild
// tiles do not.
struct WorkTiles {
    struct Honour {
        TileCode code = 0;
        std::uint8_t count = 0;
        bool marks = false;
    };

    std::array<std::array<std::uint8_t, kRanks>, kSuits> suitCounts{};
    std::array<std::uint32_t, kSuits> suitMarks{};
    std::array<Honour, kMaxHonourCodes> honours{};
    int honourCount = 0;
    std::uint64_t oddCodes = 0;  // codes 0-38 held an odd number of times
    int wildPositions = 0;
    int size = 0;

    void Add(TileCode tile, Marking marking) {
        ++size;
        if (tile <= kLastTileCode) oddCodes ^= std::uint64_t{1} << tile;
        const bool marks = marking == Marking::Candidates;
        if (IsNumbered(tile)) {
            ++suitCounts[SuitOf(tile)][tile % 9];
            if (marks) suitMarks[SuitOf(tile)] |= 1u << (tile % 9);
            return;
        }
        Honour& honour = HonourEntry(tile);
        ++honour.count;
        honour.marks = honour.marks || marks;
    }

    void AddListTile(TileCode tile, TileCode wild) {
        if (tile != wild) return Add(tile, Marking::Candidates);
        Add(tile, Marking::None);
        if (wildPositions < kMaxWildPositions) ++wildPositions;
    }

    Honour& HonourEntry(TileCode code) {
        for (int i = 0; i < honourCount; ++i) {
            if (honours[i].code == code) return honours[i];
        }
        honours[honourCount] = {code, 0, false};
        return honours[honourCount++];
    }
};

std::uint32_t SuitIndex(const std::array<std::uint8_t, kRanks>& counts) {
    std::uint32_t index = 0;
    for (int rank = 0; rank < kRanks; ++rank) index += counts[rank] * detail::kRankWeight[rank];
    return index;
}

std::uint32_t Support(const std::array<std::uint8_t, kRanks>& counts) {
    std::uint32_t support = 0;
    for (int rank = 0; rank < kRanks; ++rank) {
        if (counts[rank] != 0) support |= 1u << rank;
    }
    return support;
}

bool AnyAboveFour(const std::array<std::uint8_t, kRanks>& counts) {
    return std::any_of(counts.begin(), counts.end(), [](std::uint8_t count) { return count > 4; });
}

// What one group (a suit or an honour code) of a split allows: bit j of
// `setsOnly` / `pair` says that the group splits into sets / sets and the pair
// with j wild tiles given to it. A group that can never split has neither.
struct GroupMasks {
    std::uint32_t setsOnly = 1;
    std::uint32_t pair = 0;
};

// Wild-count bookkeeping over the groups of a split (the three suits and each
// other code): bit j of `withoutPair` / `withPair` says that j wild tiles can
// be placed in the groups seen so far, before / after one of them took the pair.
class GroupCombiner {
public:
    GroupCombiner() = default;
    explicit GroupCombiner(int wilds) : mask_((1u << (wilds + 1)) - 1), wilds_(wilds) {}

    // Bit j of `setsOnly` / `pair`: the group splits with j wild tiles given to it.
    void Add(std::uint32_t setsOnly, std::uint32_t pair) {
        std::uint32_t without = 0;
        std::uint32_t with = 0;
        for (int j = 0; j <= wilds_; ++j) {
            if (setsOnly >> j & 1u) {
                without |= withoutPair_ << j;
                with |= withPair_ << j;
            }
            if (pair >> j & 1u) with |= withoutPair_ << j;
        }
        withoutPair_ = without & mask_;
        withPair_ = with & mask_;
    }
    void Add(GroupMasks masks) { Add(masks.setsOnly, masks.pair); }

    bool Dead() const { return (withoutPair_ | withPair_) == 0; }
    bool Splits() const { return withPair_ >> wilds_ & 1u; }

private:
    std::uint32_t withoutPair_ = 1;
    std::uint32_t withPair_ = 0;
    std::uint32_t mask_ = 1;
    int wilds_ = 0;
};

// The sets-and-pair split of the list at face value: the lowest pair tile of
// a split, or nothing.
std::optional<TileCode> PlainPair(const WorkTiles& work) {
    std::optional<TileCode> pair;
    bool pairTaken = false;
    auto takePair = [&](TileCode code) {
        if (pairTaken) return false;
        pairTaken = true;
        pair = code;
        return true;
    };
    for (int suit = 0; suit < kSuits; ++suit) {
        const auto& counts = work.suitCounts[suit];
        if (AnyAboveFour(counts)) return std::nullopt;
        const SuitAnswer answer = detail::LookUpSuit(SuitIndex(counts));
        if (answer.SetsOnly(0)) continue;
        if (!answer.WithPair(0) || !takePair(static_cast<TileCode>(9 * suit + answer.Rank(0)))) {
            return std::nullopt;
        }
    }
    for (int i = 0; i < work.honourCount; ++i) {
        const auto& honour = work.honours[i];
        if (honour.count == 0 || honour.count == 3) continue;
        if (honour.count != 2 || !takePair(honour.code)) return std::nullopt;
    }
    return pairTaken ? pair : std::nullopt;
}

// Seven pairs of the list, with each wild position free to take any code held
// an odd number of times.
bool SevenPairs(int size, std::uint64_t odd, int w, TileCode wild) {
    if (size > kMaxSevenPairsTiles) return false;
    if (odd == 0) return true;
    if (w == 0) return false;
    std::uint64_t oddWithoutWilds = odd;
    if (wild <= kLastTileCode && w % 2 == 1) oddWithoutWilds ^= std::uint64_t{1} << wild;
    if ((oddWithoutWilds & ~odd) != 0) return false;
    // At most four wild positions: count the odd codes only that far.
    int needed = 0;
    for (; oddWithoutWilds != 0 && needed <= w; ++needed) oddWithoutWilds &= oddWithoutWilds - 1;
    return oddWithoutWilds == 0 && needed <= w && (w - needed) % 2 == 0;
}

bool SevenPairs(const WorkTiles& work, TileCode wild) {
    return SevenPairs(work.size, work.oddCodes, work.wildPositions, wild);
}

// How many ranks a 9-bit rank mask holds (a table: without the POPCNT
// instruction std::popcount is a library call).
constexpr std::array<std::uint8_t, 512> kRankCount = [] {
    std::array<std::uint8_t, 512> counts{};
    for (int mask = 0; mask < 512; ++mask)
        counts[mask] = static_cast<std::uint8_t>(std::popcount(static_cast<unsigned>(mask)));
    return counts;
}();

// How many codes the wild positions may take: the marked ones and their
// neighbours.
int CandidateCodes(const WorkTiles& work) {
    int candidates = 0;
    for (std::uint32_t marks : work.suitMarks) candidates += kRankCount[NeighbourRanks(marks)];
    for (int i = 0; i < work.honourCount; ++i) candidates += work.honours[i].marks ? 1 : 0;
    return candidates;
}

// The masks of one suit holding `counts` with candidate ranks `marks`; a
// discard completed into the pair by a wild tile is refused (`outside`).
GroupMasks SuitMasks(std::array<std::uint8_t, kRanks> held, std::uint32_t marks, int suit, int w,
                     TileCode tile, TileCode wild, bool outside) {
    if (IsNumbered(wild) && SuitOf(wild) == suit) held[wild % 9] -= static_cast<std::uint8_t>(w);
    if (AnyAboveFour(held)) return {0, 0};
    const std::uint32_t allowed = NeighbourRanks(marks);
    if (allowed == 0 && Support(held) == 0) return {};
    const SuitAnswer answer = allowed == NeighbourRanks(Support(held))
                                  ? detail::LookUpSuit(SuitIndex(held))
                                  : detail::ComputeSuit(held, allowed);
    const bool tileHere = outside && IsNumbered(tile) && SuitOf(tile) == suit;
    GroupMasks masks{0, 0};
    for (int j = 0; j <= w; ++j) {
        if (answer.SetsOnly(j)) masks.setsOnly |= 1u << j;
        const bool refused = tileHere && j > 0 && answer.Rank(j) == tile % 9;
        if (answer.WithPair(j) && !refused) masks.pair |= 1u << j;
    }
    return masks;
}

GroupMasks HonourMasks(const WorkTiles::Honour& honour, int w, TileCode tile, TileCode wild,
                       bool outside) {
    const int held = honour.count - (honour.code == wild ? w : 0);
    if (held > 4) return {0, 0};
    GroupMasks masks{0, 0};
    const int most = honour.marks ? w : 0;
    for (int j = 0; j <= most && held + j <= 4; ++j) {
        const int total = held + j;
        if (total == 0 || total == 3) masks.setsOnly |= 1u << j;
        const bool refused = outside && honour.code == tile && j > 0;
        if (total == 2 && !refused) masks.pair |= 1u << j;
    }
    return masks;
}

// The wild search: some filling of the wild positions with candidate codes
// splits the list into sets and a pair, and is not refused (a discard
// completed into the pair by a wild tile, when `outside`).
bool SplitsWithWilds(const WorkTiles& work, TileCode tile, TileCode wild, bool outside) {
    const int w = work.wildPositions;
    if (w == 0) return false;
    if (w > CandidateCodes(work)) return true;
    GroupCombiner combiner(w);
    for (int suit = 0; suit < kSuits; ++suit) {
        const GroupMasks masks =
            SuitMasks(work.suitCounts[suit], work.suitMarks[suit], suit, w, tile, wild, outside);
        combiner.Add(masks);
        if (combiner.Dead()) return false;
    }
    for (int i = 0; i < work.honourCount; ++i) {
        combiner.Add(HonourMasks(work.honours[i], w, tile, wild, outside));
        if (combiner.Dead()) return false;
    }
    return combiner.Splits();
}

// How a group (a suit or an honour code) splits at face value, no wild tile
// placed.
enum class FaceState : std::uint8_t { SetsOnly, SetsAndPair, Fails };

// An honour splits at face value as nothing, a pair or a pung.
FaceState HonourFaceState(int count) {
    if (count == 0 || count == 3) return FaceState::SetsOnly;
    return count == 2 ? FaceState::SetsAndPair : FaceState::Fails;
}

// The state of the suit whose count vector has table index `index`.
FaceState SuitFaceState(std::uint32_t index) {
    const SuitAnswer answer = detail::LookUpSuit(index);
    if (answer.SetsOnly(0)) return FaceState::SetsOnly;
    return answer.WithPair(0) ? FaceState::SetsAndPair : FaceState::Fails;
}

FaceState SuitFaceState(const std::array<std::uint8_t, kRanks>& counts) {
    // A suit over four of a rank never splits (nor has an index).
    return AnyAboveFour(counts) ? FaceState::Fails : SuitFaceState(SuitIndex(counts));
}

// Whether a list whose groups count `fails` failing and `pairs` holding the
// pair splits at face value once one group goes from `before` to `after`.
bool SplitsWithOneGroupChanged(int fails, int pairs, FaceState before, FaceState after) {
    fails += (after == FaceState::Fails) - (before == FaceState::Fails);
    pairs += (after == FaceState::SetsAndPair) - (before == FaceState::SetsAndPair);
    return fails == 0 && pairs == 1;
}

// A list of 3k + 1 tiles with wild positions, tested against many tiles that
// are not the wild tile: such a tile changes only the group it joins (its
// suit or its honour code), never the wild positions. Everything about the
// other groups is worked out once, each tile then from its own group. The
// answers are those of the seven-pairs test, the split at face value and the
// wild search on the list with the tile (a discard: refusals apply).
class WildHandByTile {
public:
    WildHandByTile(const WorkTiles& list, TileCode wild) : list_(list), wild_(wild) {
        const int w = list.wildPositions;
        std::array<GroupMasks, kSuits + kMaxHonourCodes> masks{};
        const int groups = kSuits + list.honourCount;
        for (int suit = 0; suit < kSuits; ++suit) {
            faceStates_[suit] = SuitFaceState(list.suitCounts[suit]);
            masks[suit] =
                SuitMasks(list.suitCounts[suit], list.suitMarks[suit], suit, w, 0, wild, false);
        }
        for (int i = 0; i < list.honourCount; ++i) {
            faceStates_[kSuits + i] = HonourFaceState(list.honours[i].count);
            masks[kSuits + i] = HonourMasks(list.honours[i], w, 0, wild, false);
        }
        for (int group = 0; group < groups; ++group) {
            faceFails_ += faceStates_[group] == FaceState::Fails ? 1 : 0;
            facePairs_ += faceStates_[group] == FaceState::SetsAndPair ? 1 : 0;
        }
        candidates_ = CandidateCodes(list);
        // The search over all groups but one, for each group; and over all
        // of them, for an honour the list does not hold.
        for (int skipped = 0; skipped <= groups; ++skipped) {
            GroupCombiner combiner(w);
            for (int group = 0; group < groups; ++group)
                if (group != skipped) combiner.Add(masks[group]);
            allBut_[skipped] = combiner;
            // A tile mends no group at face value but its own; and it only
            // adds candidate codes, so with the others dead and no more wild
            // positions than candidates it never splits with wilds.
            faceMay_[skipped] = faceFails_ - (FaceStateOf(skipped) == FaceState::Fails) == 0;
            wildsMay_[skipped] = w > 0 && (!combiner.Dead() || w > candidates_);
        }
    }

    // Seven pairs (when allowed), a split at face value or the wild search.
    bool Wins(TileCode tile, bool sevenPairsAllowed) const {
        if (sevenPairsAllowed && SevenPairs(tile)) return true;
        const int group = GroupOf(tile);
        return (faceMay_[group] && SplitsAtFaceValue(tile, group)) ||
               (wildsMay_[group] && SplitsWithWilds(tile, group));
    }

    bool SplitsWithWilds(TileCode tile) const {
        const int group = GroupOf(tile);
        return wildsMay_[group] && SplitsWithWilds(tile, group);
    }

private:
    bool SevenPairs(TileCode tile) const {
        return qira::rules::SevenPairs(list_.size + 1, list_.oddCodes ^ std::uint64_t{1} << tile,
                                       list_.wildPositions, wild_);
    }

    FaceState FaceStateOf(int group) const {
        return group < kSuits + list_.honourCount ? faceStates_[group] : FaceState::SetsOnly;
    }

    bool SplitsAtFaceValue(TileCode tile, int group) const {
        FaceState after = FaceState::Fails;
        if (IsNumbered(tile)) {
            auto counts = list_.suitCounts[group];
            ++counts[tile % 9];
            after = SuitFaceState(counts);
        } else {
            after = HonourFaceState(HonourWith(tile, group).count);
        }
        return SplitsWithOneGroupChanged(faceFails_, facePairs_, FaceStateOf(group), after);
    }

    bool SplitsWithWilds(TileCode tile, int group) const {
        const int w = list_.wildPositions;
        GroupMasks masks;
        int candidates = candidates_;
        if (IsNumbered(tile)) {
            auto counts = list_.suitCounts[group];
            ++counts[tile % 9];
            const std::uint32_t marks = list_.suitMarks[group];
            const std::uint32_t marked = marks | 1u << (tile % 9);
            candidates += kRankCount[NeighbourRanks(marked)] - kRankCount[NeighbourRanks(marks)];
            if (w > candidates) return true;
            if (allBut_[group].Dead()) return false;
            masks = SuitMasks(counts, marked, group, w, tile, wild_, true);
        } else {
            const bool held = group < kSuits + list_.honourCount;
            if (!held || !list_.honours[group - kSuits].marks) ++candidates;
            if (w > candidates) return true;
            if (allBut_[group].Dead()) return false;
            masks = HonourMasks(HonourWith(tile, group), w, tile, wild_, true);
        }
        GroupCombiner combiner = allBut_[group];
        combiner.Add(masks);
        return combiner.Splits();
    }

    // The suit, or kSuits + the index of the honour's entry (one past the
    // last entry when the list does not hold it).
    int GroupOf(TileCode tile) const {
        if (IsNumbered(tile)) return SuitOf(tile);
        int i = 0;
        while (i < list_.honourCount && list_.honours[i].code != tile) ++i;
        return kSuits + i;
    }

    // The honour's entry with the tile joined to it.
    WorkTiles::Honour HonourWith(TileCode tile, int group) const {
        WorkTiles::Honour honour{tile, 0, false};
        if (group < kSuits + list_.honourCount) honour = list_.honours[group - kSuits];
        ++honour.count;
        honour.marks = true;
        return honour;
    }

    WorkTiles list_;
    TileCode wild_;
    std::array<FaceState, kSuits + kMaxHonourCodes> faceStates_{};
    int faceFails_ = 0;
    int facePairs_ = 0;
    int candidates_ = 0;
    std::array<GroupCombiner, kSuits + kMaxHonourCodes + 1> allBut_{};
    std::array<bool, kSuits + kMaxHonourCodes + 1> faceMay_{};
    std::array<bool, kSuits + kMaxHonourCodes + 1> wildsMay_{};
};

// A hand of 3k + 1 real tiles without a wild tile, tested against many
// tiles: a tested tile changes one suit or one honour, so everything else is
// looked up once. Without a wild tile in the list the wild search has
// nothing to fill, so a tile wins exactly when the list with it is seven
// pairs or splits into sets and one pair at face value; and only a tile that
// pairs with or lies within two ranks of a held one can be part of either.
class PlainHand {
public:
    PlainHand(std::span<const TileCode> hand, bool sevenPairsAllowed)
        : size_(static_cast<int>(hand.size())), sevenPairsAllowed_(sevenPairsAllowed) {
        std::array<std::array<std::uint8_t, kRanks>, kSuits> suits{};
        for (TileCode tile : hand) {
            oddCodes_ ^= std::uint64_t{1} << tile;
            if (IsNumbered(tile)) {
                ++suits[SuitOf(tile)][tile % 9];
                near_ |= (std::uint64_t{0x1F} << tile >> 2) & SuitBits(SuitOf(tile));
            } else {
                ++honours_[tile];
                near_ |= std::uint64_t{1} << tile;
            }
        }
        for (int suit = 0; suit < kSuits; ++suit) {
            index_[suit] = SuitIndex(suits[suit]);
            counts_[suit] = suits[suit];
            aboveFour_[suit] = AnyAboveFour(suits[suit]);
            state_[suit] = aboveFour_[suit] ? FaceState::Fails : SuitFaceState(index_[suit]);
            Count(state_[suit], suit);
        }
        for (int code = 27; code <= kLastTileCode; ++code)
            Count(HonourFaceState(honours_[code]), code);
    }

    // Only tiles in `near` can win (the wild tile code aside, which the
    // general analysis answers).
    bool MayWin(TileCode tile) const {
        if ((near_ >> tile & 1u) == 0) return false;
        if (sevenPairsAllowed_ && (oddCodes_ ^ (std::uint64_t{1} << tile)) == 0) return true;
        // One tile mends at most the one group it joins.
        if (fails_ >= 2) return false;
        return fails_ == 0 || GroupOf(tile) == failing_;
    }

    bool Wins(TileCode tile) const {
        if (sevenPairsAllowed_ && size_ + 1 <= kMaxSevenPairsTiles &&
            (oddCodes_ ^ (std::uint64_t{1} << tile)) == 0)
            return true;
        if (size_ > kMaxSplitHandSize) return false;
        // The groups the tile leaves alone keep their state.
        FaceState before = FaceState::SetsOnly;
        FaceState after = FaceState::SetsOnly;
        if (IsNumbered(tile)) {
            const int suit = SuitOf(tile);
            before = state_[suit];
            after = aboveFour_[suit] || counts_[suit][tile % 9] >= 4
                        ? FaceState::Fails
                        : SuitFaceState(index_[suit] + detail::kRankWeight[tile % 9]);
        } else {
            before = HonourFaceState(honours_[tile]);
            after = HonourFaceState(honours_[tile] + 1);
        }
        return SplitsWithOneGroupChanged(fails_, pairs_, before, after);
    }

private:
    static constexpr std::uint64_t SuitBits(int suit) { return std::uint64_t{0x1FF} << (9 * suit); }

    // A group is a suit (0-2) or an honour (its code).
    static int GroupOf(TileCode tile) { return IsNumbered(tile) ? SuitOf(tile) : tile; }

    void Count(FaceState state, int group) {
        if (state == FaceState::Fails) {
            ++fails_;
            failing_ = group;
        }
        pairs_ += state == FaceState::SetsAndPair ? 1 : 0;
    }

    int size_;
    bool sevenPairsAllowed_;
    std::uint64_t oddCodes_ = 0;
    std::uint64_t near_ = 0;
    std::array<std::uint32_t, kSuits> index_{};
    std::array<std::array<std::uint8_t, kRanks>, kSuits> counts_{};
    std::array<FaceState, kSuits> state_{};
    std::array<bool, kSuits> aboveFour_{};
    std::array<std::uint8_t, kLastTileCode + 1> honours_{};
    int fails_ = 0;     // groups (suits, honour codes) that do not split
    int pairs_ = 0;     // groups that split into sets and a pair
    int failing_ = -1;  // the group that does not split, when only one
};

// Whether the plain answer applies: every tile a real one, none of them the
// wild tile, 3k + 1 of them.
bool IsPlainOutsideHand(const HandView& view) {
    if (!TakesTile(static_cast<int>(view.hand.size())) || view.hand.size() % 3 != 1) return false;
    return std::none_of(view.hand.begin(), view.hand.end(),
                        [&](TileCode t) { return !IsTileCode(t) || t == view.wildTile; });
}

// Everything the analysis needs about one hand, built once for many tiles.
class HandAnalysis {
public:
    explicit HandAnalysis(const HandView& view)
        : view_(view), size_(static_cast<int>(view.hand.size())), outside_(TakesTile(size_)) {
        if (size_ > kMaxSevenPairsTiles) return;
        for (TileCode tile : view.hand) hand_.AddListTile(tile, view.wildTile);
    }

    bool Outside() const { return outside_; }

    bool CanWinWith(TileCode tile) {
        if (view_.noWin) return false;
        if (outside_ && DiscardWinBarred()) return false;
        return WinsShape(tile);
    }

    // The shapes alone, for a hand already known not to be barred.
    bool WinsShape(TileCode tile) {
        if (WildHandByTile* byTile = ByTile(tile)) return byTile->Wins(tile, view_.melds.empty());
        if (size_ > kMaxSevenPairsTiles) return false;
        WorkTiles work = hand_;
        if (outside_) work.AddListTile(tile, view_.wildTile);
        if (view_.melds.empty() && SevenPairs(work, view_.wildTile)) return true;
        if (size_ > kMaxSplitHandSize) return false;
        const std::optional<TileCode> pair = PlainPair(work);
        if (pair && !(*pair == view_.wildTile && outside_ && tile == *pair)) return true;
        return SplitsWithWildsAfterAppend(work, tile, outside_);
    }

    bool DiscardWinBarred() {
        if (!barred_) barred_ = ComputeBarred();
        return *barred_;
    }

private:
    // The wild search sees the work list once more with the tile when it still
    // does not hold 3k + 2 tiles; that extra copy stands for nothing else.
    bool SplitsWithWildsAfterAppend(WorkTiles work, TileCode tile, bool outside) const {
        if (TakesTile(work.size)) work.Add(tile, Marking::None);
        return SplitsWithWilds(work, tile, view_.wildTile, outside);
    }

    // The tile-by-tile answers, for a list of 3k + 1 tiles with wild
    // positions tested against a tile that is not the wild tile.
    WildHandByTile* ByTile(TileCode tile) {
        if (!outside_ || size_ % 3 != 1 || size_ > kMaxSplitHandSize - 1 ||
            hand_.wildPositions == 0 || tile == view_.wildTile || !IsTileCode(tile))
            return nullptr;
        if (!byTile_) byTile_.emplace(hand_, view_.wildTile);
        return &*byTile_;
    }

    bool DiscardWins(TileCode tile) {
        if (WildHandByTile* byTile = ByTile(tile)) return byTile->SplitsWithWilds(tile);
        if (size_ > kMaxSplitHandSize) return false;
        WorkTiles work = hand_;
        if (outside_) work.AddListTile(tile, view_.wildTile);
        return SplitsWithWildsAfterAppend(work, tile, true);
    }

    bool ComputeBarred() {
        if (size_ % 3 != 1) return false;
        const auto wilds = std::count(view_.hand.begin(), view_.hand.end(), view_.wildTile);
        if (wilds == 0) return false;
        if (wilds >= 3) return true;

        std::uint32_t near = 0;  // bit b: code b lies within two ranks of a held tile
        for (TileCode tile : view_.hand) {
            if (view_.IsWild(tile) || !IsNumbered(tile)) continue;
            for (int b = tile - 2; b <= tile + 2; ++b) {
                if (b >= 0 && b / 9 == tile / 9) near |= 1u << b;
            }
        }
        enum class Known : std::uint8_t { No, Wins, Loses };
        std::array<Known, kLastNumberedTile + 1> known{};
        auto wins = [&](int code) {
            if (!(near >> code & 1u)) return false;
            if (known[code] == Known::No) {
                known[code] = DiscardWins(static_cast<TileCode>(code)) ? Known::Wins : Known::Loses;
            }
            return known[code] == Known::Wins;
        };

        for (TileCode tile : view_.hand) {
            if (!IsNumbered(tile) || !wins(tile)) continue;
            const int rank = tile % 9;
            bool allWin = true;
            for (int offset = -2; offset <= 2 && allWin; ++offset) {
                const int neighbour = rank + offset;
                if (offset == 0 || neighbour < 0 || neighbour >= kRanks) continue;
                allWin = wins(tile + offset);
            }
            if (allWin) return true;
        }
        return false;
    }

    const HandView& view_;
    int size_;
    bool outside_;
    WorkTiles hand_;
    std::optional<bool> barred_;
    std::optional<WildHandByTile> byTile_;
};

constexpr std::array<TileCode, kDistinctTiles> kReadyTestOrder = [] {
    std::array<TileCode, kDistinctTiles> order{};
    int next = 0;
    for (int code = 0; code <= kLastTileCode; ++code) {
        if (IsTileCode(code)) order[next++] = static_cast<TileCode>(code);
    }
    return order;
}();

}  // namespace

bool CanWinWith(const HandView& view, TileCode tile) {
    return HandAnalysis(view).CanWinWith(tile);
}

bool DiscardWinBarred(const HandView& view) {
    return HandAnalysis(view).DiscardWinBarred();
}

// The plain answer for every tile but the wild tile's code, which the
// general analysis answers (built only for it). Such a hand holds no wild
// tile, so winning on a discard is never barred.
template <typename OnWin>
void ForEachPlainWin(const HandView& view, OnWin onWin) {
    const PlainHand plain(view.hand, view.melds.empty());
    std::optional<HandAnalysis> general;
    for (TileCode tile : kReadyTestOrder) {
        bool wins = false;
        if (tile == view.wildTile) {
            if (!general) general.emplace(view);
            wins = general->WinsShape(tile);
        } else {
            wins = plain.MayWin(tile) && plain.Wins(tile);
        }
        if (wins && !onWin(tile)) return;
    }
}

std::optional<TileCode> FindWinningTile(const HandView& view) {
    if (view.noWin) return std::nullopt;
    if (IsPlainOutsideHand(view)) {
        std::optional<TileCode> first;
        ForEachPlainWin(view, [&](TileCode tile) {
            first = tile;
            return false;
        });
        return first;
    }
    HandAnalysis analysis(view);
    if (analysis.Outside() && analysis.DiscardWinBarred()) return std::nullopt;
    // A hand of 3k + 2 tiles does not take the tested tile in, and no discard
    // rule applies to it: every tile gets the same answer as the first.
    if (!analysis.Outside()) {
        if (analysis.WinsShape(kReadyTestOrder.front())) return kReadyTestOrder.front();
        return std::nullopt;
    }
    for (TileCode tile : kReadyTestOrder) {
        if (analysis.WinsShape(tile)) return tile;
    }
    return std::nullopt;
}

std::vector<TileCode> WinningTiles(const HandView& view) {
    std::vector<TileCode> tiles;
    if (view.noWin) return tiles;
    if (IsPlainOutsideHand(view)) {
        ForEachPlainWin(view, [&](TileCode tile) {
            tiles.push_back(tile);
            return true;
        });
        return tiles;
    }
    HandAnalysis analysis(view);
    if (analysis.Outside() && analysis.DiscardWinBarred()) return tiles;
    if (!analysis.Outside()) {
        if (analysis.WinsShape(kReadyTestOrder.front())) {
            tiles.assign(kReadyTestOrder.begin(), kReadyTestOrder.end());
        }
        return tiles;
    }
    for (TileCode tile : kReadyTestOrder) {
        if (analysis.WinsShape(tile)) tiles.push_back(tile);
    }
    return tiles;
}

std::optional<TileCode> FindWinningTileAfterKong(const HandView& view, TileCode tile,
                                                 MeldKind kind) {
    std::vector<TileCode> hand(view.hand.begin(), view.hand.end());
    std::erase(hand, tile);
    // Only whether melds are laid down matters to the analysis, and after the
    // kong they always are.
    const MeldRecord kong{kind, tile, 0};
    HandView trial = view;
    trial.hand = hand;
    trial.melds = std::span(&kong, 1);
    return FindWinningTile(trial);
}

bool KongKeepsReady(const HandView& view, TileCode tile, MeldKind kind) {
    return FindWinningTileAfterKong(view, tile, kind).has_value();
}

bool CanWinWith(const TableState& table, TileCode tile) {
    return CanWinWith(LocalHandView(table), tile);
}

bool DiscardWinBarred(const TableState& table) {
    return DiscardWinBarred(LocalHandView(table));
}

bool FindWinningTile(TableState& table) {
    const std::optional<TileCode> found = FindWinningTile(LocalHandView(table));
    if (found) table.bytFirstWinningTile = *found;
    return found.has_value();
}

bool KongKeepsReady(TableState& table, TileCode tile, MeldKind kind) {
    const std::optional<TileCode> found =
        FindWinningTileAfterKong(LocalHandView(table), tile, kind);
    if (found) table.bytFirstWinningTile = *found;
    return found.has_value();
}

void PrepareWinAnalysis(AnswerCache size) {
    detail::PrepareSuitTable(size);
}

}  // namespace qira::rules
