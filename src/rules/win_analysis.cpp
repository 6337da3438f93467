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

// Wild-count bookkeeping over the groups of a split (the three suits and each
// other code): bit j of `withoutPair` / `withPair` says that j wild tiles can
// be placed in the groups seen so far, before / after one of them took the pair.
class GroupCombiner {
public:
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

    bool Dead() const { return (withoutPair_ | withPair_) == 0; }
    bool Splits() const { return withPair_ >> wilds_ & 1u; }

private:
    std::uint32_t withoutPair_ = 1;
    std::uint32_t withPair_ = 0;
    std::uint32_t mask_;
    int wilds_;
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
bool SevenPairs(const WorkTiles& work, TileCode wild) {
    if (work.size > kMaxSevenPairsTiles) return false;
    const std::uint64_t odd = work.oddCodes;
    if (odd == 0) return true;
    const int w = work.wildPositions;
    if (w == 0) return false;
    std::uint64_t oddWithoutWilds = odd;
    if (wild <= kLastTileCode && w % 2 == 1) oddWithoutWilds ^= std::uint64_t{1} << wild;
    if ((oddWithoutWilds & ~odd) != 0) return false;
    const int needed = std::popcount(oddWithoutWilds);
    return needed <= w && (w - needed) % 2 == 0;
}

// How many ranks a 9-bit rank mask holds (a table: without the POPCNT
// instruction std::popcount is a library call).
constexpr std::array<std::uint8_t, 512> kRankCount = [] {
    std::array<std::uint8_t, 512> counts{};
    for (int mask = 0; mask < 512; ++mask)
        counts[mask] = static_cast<std::uint8_t>(std::popcount(static_cast<unsigned>(mask)));
    return counts;
}();

// The wild search: some filling of the wild positions with candidate codes
// splits the list into sets and a pair, and is not refused (a discard
// completed into the pair by a wild tile, when `outside`).
bool SplitsWithWilds(const WorkTiles& work, TileCode tile, TileCode wild, bool outside) {
    const int w = work.wildPositions;
    if (w == 0) return false;
    int candidates = 0;
    for (std::uint32_t marks : work.suitMarks) candidates += kRankCount[NeighbourRanks(marks)];
    for (int i = 0; i < work.honourCount; ++i) candidates += work.honours[i].marks ? 1 : 0;
    if (w > candidates) return true;

    GroupCombiner combiner(w);
    for (int suit = 0; suit < kSuits; ++suit) {
        auto held = work.suitCounts[suit];
        if (IsNumbered(wild) && SuitOf(wild) == suit)
            held[wild % 9] -= static_cast<std::uint8_t>(w);
        if (AnyAboveFour(held)) return false;
        const std::uint32_t allowed = NeighbourRanks(work.suitMarks[suit]);
        if (allowed == 0 && Support(held) == 0) continue;
        const SuitAnswer answer = allowed == NeighbourRanks(Support(held))
                                      ? detail::LookUpSuit(SuitIndex(held))
                                      : detail::ComputeSuit(held, allowed);
        const bool tileHere = outside && IsNumbered(tile) && SuitOf(tile) == suit;
        std::uint32_t setsOnly = 0;
        std::uint32_t pair = 0;
        for (int j = 0; j <= w; ++j) {
            if (answer.SetsOnly(j)) setsOnly |= 1u << j;
            const bool refused = tileHere && j > 0 && answer.Rank(j) == tile % 9;
            if (answer.WithPair(j) && !refused) pair |= 1u << j;
        }
        combiner.Add(setsOnly, pair);
        if (combiner.Dead()) return false;
    }
    for (int i = 0; i < work.honourCount; ++i) {
        const auto& honour = work.honours[i];
        const int held = honour.count - (honour.code == wild ? w : 0);
        if (held > 4) return false;
        std::uint32_t setsOnly = 0;
        std::uint32_t pair = 0;
        const int most = honour.marks ? w : 0;
        for (int j = 0; j <= most && held + j <= 4; ++j) {
            const int total = held + j;
            if (total == 0 || total == 3) setsOnly |= 1u << j;
            const bool refused = outside && honour.code == tile && j > 0;
            if (total == 2 && !refused) pair |= 1u << j;
        }
        combiner.Add(setsOnly, pair);
        if (combiner.Dead()) return false;
    }
    return combiner.Splits();
}

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
            state_[suit] = aboveFour_[suit] ? kFails : StateOf(index_[suit]);
            Count(state_[suit], suit);
        }
        for (int code = 27; code <= kLastTileCode; ++code) Count(HonourState(honours_[code]), code);
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
        int before = 0;
        int after = 0;
        if (IsNumbered(tile)) {
            const int suit = SuitOf(tile);
            before = state_[suit];
            // A suit already over four of a rank never splits (nor has an index).
            after = aboveFour_[suit] || counts_[suit][tile % 9] >= 4
                        ? kFails
                        : StateOf(index_[suit] + detail::kRankWeight[tile % 9]);
        } else {
            before = HonourState(honours_[tile]);
            after = HonourState(honours_[tile] + 1);
        }
        const int fails = fails_ - (before == kFails) + (after == kFails);
        const int pairs = pairs_ - (before == 1) + (after == 1);
        return fails == 0 && pairs == 1;
    }

private:
    static constexpr int kFails = 2;  // states: 0 sets only, 1 sets and a pair

    static constexpr std::uint64_t SuitBits(int suit) { return std::uint64_t{0x1FF} << (9 * suit); }

    // An honour splits at face value as nothing, a pair or a pung.
    static int HonourState(int count) {
        if (count == 0 || count == 3) return 0;
        return count == 2 ? 1 : kFails;
    }

    // A group is a suit (0-2) or an honour (its code).
    static int GroupOf(TileCode tile) { return IsNumbered(tile) ? SuitOf(tile) : tile; }

    void Count(int state, int group) {
        if (state == kFails) {
            ++fails_;
            failing_ = group;
        }
        pairs_ += state == 1 ? 1 : 0;
    }

    static int StateOf(std::uint32_t index) {
        const SuitAnswer answer = detail::LookUpSuit(index);
        if (answer.SetsOnly(0)) return 0;
        return answer.WithPair(0) ? 1 : kFails;
    }

    int size_;
    bool sevenPairsAllowed_;
    std::uint64_t oddCodes_ = 0;
    std::uint64_t near_ = 0;
    std::array<std::uint32_t, kSuits> index_{};
    std::array<std::array<std::uint8_t, kRanks>, kSuits> counts_{};
    std::array<int, kSuits> state_{};
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
    bool WinsShape(TileCode tile) const {
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

    bool DiscardWins(TileCode tile) const {
        if (size_ > kMaxSplitHandSize) return false;
        WorkTiles work = hand_;
        if (outside_) work.AddListTile(tile, view_.wildTile);
        return SplitsWithWildsAfterAppend(work, tile, true);
    }

    bool ComputeBarred() const {
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

void PrepareWinAnalysis() {
    detail::PrepareSuitTable();
}

}  // namespace qira::rules
