#include "rules/win_explanation.h"

#include <algorithm>
#include <array>

#include "rules/win_analysis.h"

namespace qira::rules {

namespace {

constexpr int kCodes = kLastTileCode + 1;
constexpr int kMaxSplitHandSize = 14;
constexpr int kMaxSevenPairsTiles = 20;
constexpr int kWildPositions = 4;  // wild tiles past the fourth keep their face
constexpr int kMostCopies = 4;

using Counts = std::array<int, kCodes>;

bool TakesTile(int size) {
    return (size - 2) % 3 != 0;
}

// The hand as the analysis sees it: natural tiles by code, wild tiles counted
// apart, and the codes a wild tile may stand for in the analysis's search.
struct Work {
    Counts naturals{};
    int wilds = 0;
    int size = 0;
    std::array<bool, kCodes> candidates{};
    TileCode wild = 0;
    TileCode tile = 0;
    bool outside = false;
    int handSize = 0;
    bool hasMelds = false;

    void Add(TileCode code, bool marks) {
        ++size;
        if (code == wild) {
            ++wilds;
            return;
        }
        ++naturals[code];
        if (!marks) return;
        candidates[code] = true;
        if (!IsNumbered(code)) return;
        if (code % 9 != 0) candidates[code - 1] = true;
        if (code % 9 != 8) candidates[code + 1] = true;
    }
};

std::optional<Work> MakeWork(const HandView& view, TileCode tile) {
    Work work;
    work.wild = view.wildTile;
    work.tile = tile;
    work.handSize = static_cast<int>(view.hand.size());
    work.outside = TakesTile(work.handSize);
    work.hasMelds = !view.melds.empty();
    if (tile > kLastTileCode || view.wildTile > kLastTileCode) return std::nullopt;
    for (TileCode code : view.hand) {
        if (code > kLastTileCode) return std::nullopt;
        work.Add(code, true);
    }
    if (work.outside) work.Add(tile, true);
    return work;
}

ExplainedGroup PairOf(TileCode first, TileCode second, TileCode standsFor) {
    return {GroupKind::Pair, {first, second}, {standsFor, standsFor}};
}

// Every odd natural code takes one wild tile; wild tiles left over pair up
// as themselves.
std::optional<WinExplanation> ExplainSevenPairs(const Work& work) {
    if (work.hasMelds || work.size > kMaxSevenPairsTiles || work.size % 2 != 0) return std::nullopt;
    const auto odd = std::count_if(work.naturals.begin(), work.naturals.end(),
                                   [](int count) { return count % 2 != 0; });
    if (odd > work.wilds || (work.wilds - odd) % 2 != 0) return std::nullopt;
    WinExplanation explanation{WinShape::SevenPairs, {}};
    for (int code = 0; code < kCodes; ++code) {
        const auto tile = static_cast<TileCode>(code);
        if (tile == work.wild) {
            for (int i = 0; i < (work.wilds - odd) / 2; ++i)
                explanation.groups.push_back(PairOf(tile, tile, tile));
        }
        for (int i = 0; i < work.naturals[code] / 2; ++i)
            explanation.groups.push_back(PairOf(tile, tile, tile));
        if (work.naturals[code] % 2 != 0)
            explanation.groups.push_back(PairOf(tile, work.wild, tile));
    }
    return explanation;
}

// Whether the counts split into sets alone, greedily as the analysis does: a
// count of three is a pung, anything else opens a chow.
bool SplitsIntoSets(Counts left) {
    for (int code = 0; code < kCodes; ++code) {
        while (left[code] > 0) {
            if (left[code] == 3) {
                left[code] = 0;
                break;
            }
            if (!IsNumbered(static_cast<TileCode>(code)) || code % 9 > 6 || left[code + 1] == 0 ||
                left[code + 2] == 0)
                return false;
            --left[code];
            --left[code + 1];
            --left[code + 2];
        }
    }
    return true;
}

// The pair the analysis settles on for these tiles: the lowest that leaves sets.
std::optional<TileCode> LowestSplittingPair(const Counts& counts) {
    for (int code = 0; code < kCodes; ++code) {
        if (counts[code] < 2) continue;
        Counts left = counts;
        left[code] -= 2;
        if (SplitsIntoSets(left)) return static_cast<TileCode>(code);
    }
    return std::nullopt;
}

struct Slot {
    TileCode held = 0;
    TileCode standsFor = 0;
};

struct Group {
    GroupKind kind = GroupKind::Pair;
    std::vector<Slot> slots;
};

// Lower is more natural; compared in order (see ExplainWin).
using Score = std::array<int, 4>;

// How far the analysis itself stands behind an arrangement.
enum class Tier {
    Accepted,         // the analysis accepts these stand-ins, and it shows no refused pair
    AcceptedAsTrial,  // the analysis accepts these stand-ins; its own pair differs
    Loosely,          // wins without a search (more wild tiles than candidates): any stand-ins
    Count,
};

// Every sets-and-pair arrangement of the work list, wild tiles standing in
// for what completes a group; keeps the most natural one of each tier.
class ArrangementSearch {
public:
    explicit ArrangementSearch(const Work& work)
        : work_(work), left_(work.naturals), wildsLeft_(work.wilds) {
        allWildStandIns_.push_back(work.wild);
        for (int code = 0; code < kCodes; ++code) {
            if (work.candidates[code] && code != work.wild)
                allWildStandIns_.push_back(static_cast<TileCode>(code));
        }
    }

    std::optional<std::vector<Group>> Run() {
        Search();
        for (const Best& best : best_) {
            if (best.found) return best.groups;
        }
        return std::nullopt;
    }

private:
    struct Best {
        bool found = false;
        Score score{};
        std::vector<Group> groups;
    };

    Slot Natural(TileCode code) const { return {code, code}; }
    Slot Wild(TileCode standsFor) const { return {work_.wild, standsFor}; }

    void Search() {
        if (finished_) return;
        int lowest = 0;
        while (lowest < kCodes && left_[lowest] == 0) ++lowest;
        if (lowest == kCodes) return PlaceWildsAlone();
        const auto t = static_cast<TileCode>(lowest);
        if (!pairTaken_) {
            Try(GroupKind::Pair, {Natural(t), Natural(t)});
            Try(GroupKind::Pair, {Natural(t), Wild(t)});
        }
        Try(GroupKind::Pung, {Natural(t), Natural(t), Natural(t)});
        Try(GroupKind::Pung, {Natural(t), Natural(t), Wild(t)});
        Try(GroupKind::Pung, {Natural(t), Wild(t), Wild(t)});
        if (!IsNumbered(t)) return;
        const int rank = t % 9;
        const auto next = static_cast<TileCode>(t + 1);
        const auto after = static_cast<TileCode>(t + 2);
        if (rank <= 6) {
            for (const Slot& second : {Natural(next), Wild(next)}) {
                for (const Slot& third : {Natural(after), Wild(after)})
                    Try(GroupKind::Chow, {Natural(t), second, third});
            }
        }
        // Nothing below the lowest natural tile is left: only wild tiles go there.
        if (rank >= 1 && rank <= 7) {
            const auto before = static_cast<TileCode>(t - 1);
            Try(GroupKind::Chow, {Wild(before), Natural(t), Natural(next)});
            Try(GroupKind::Chow, {Wild(before), Natural(t), Wild(next)});
        }
        if (rank >= 2) {
            Try(GroupKind::Chow, {Wild(static_cast<TileCode>(t - 2)),
                                  Wild(static_cast<TileCode>(t - 1)), Natural(t)});
        }
    }

    // The wild tiles that no natural tile took form groups of their own.
    void PlaceWildsAlone() {
        if (wildsLeft_ == 0) {
            if (pairTaken_) Consider();
            return;
        }
        for (TileCode code : allWildStandIns_) {
            if (!pairTaken_) Try(GroupKind::Pair, {Wild(code), Wild(code)});
            Try(GroupKind::Pung, {Wild(code), Wild(code), Wild(code)});
        }
    }

    void Try(GroupKind kind, const std::vector<Slot>& slots) {
        if (finished_) return;
        if (kind == GroupKind::Pair && pairTaken_) return;
        int wilds = 0;
        bool naturalsHeld = true;
        for (const Slot& slot : slots) {
            if (slot.held == work_.wild) {
                ++wilds;
            } else if (--left_[slot.held] < 0) {
                naturalsHeld = false;
            }
        }
        if (naturalsHeld && wilds <= wildsLeft_) {
            wildsLeft_ -= wilds;
            const bool pairBefore = pairTaken_;
            pairTaken_ = pairTaken_ || kind == GroupKind::Pair;
            current_.push_back({kind, slots});
            Search();
            current_.pop_back();
            pairTaken_ = pairBefore;
            wildsLeft_ += wilds;
        }
        for (const Slot& slot : slots) {
            if (slot.held != work_.wild) ++left_[slot.held];
        }
    }

    void Consider() {
        const Tier tier = TierOf();
        const Score score = ScoreOf();
        Best& best = best_[static_cast<int>(tier)];
        if (best.found && best.score <= score) return;
        best = {true, score, current_};
        finished_ = tier == Tier::Accepted && score == Score{};
    }

    Score ScoreOf() const {
        Score score{};
        for (const Group& group : current_) {
            const bool anyNatural =
                std::any_of(group.slots.begin(), group.slots.end(),
                            [&](const Slot& s) { return s.held != work_.wild; });
            for (std::size_t i = 0; i < group.slots.size(); ++i) {
                const Slot& slot = group.slots[i];
                if (slot.held != work_.wild || slot.standsFor == work_.wild) continue;
                ++score[0];
                if (group.kind == GroupKind::Chow && i == 1) ++score[1];
                if (group.kind == GroupKind::Chow) ++score[2];
                if (!anyNatural) ++score[3];
            }
        }
        return score;
    }

    // The analysis's own check of these stand-ins: at face value (no wild
    // tile replaces anything) or as one trial of its search.
    Tier TierOf() const {
        Counts counts = work_.naturals;
        int substituted = 0;
        int outsideCandidates = 0;
        bool wildStandsForTile = false;
        bool onlyFaceOutside = true;
        const Group* pair = nullptr;
        for (const Group& group : current_) {
            if (group.kind == GroupKind::Pair) pair = &group;
            for (const Slot& slot : group.slots) {
                if (slot.held != work_.wild) continue;
                ++counts[slot.standsFor];
                if (slot.standsFor != work_.wild) ++substituted;
                if (slot.standsFor == work_.tile) wildStandsForTile = true;
                if (!work_.candidates[slot.standsFor]) {
                    ++outsideCandidates;
                    onlyFaceOutside = onlyFaceOutside && slot.standsFor == work_.wild;
                }
            }
        }
        const bool fits = work_.handSize <= kMaxSplitHandSize &&
                          std::all_of(counts.begin(), counts.end(),
                                      [](int count) { return count <= kMostCopies; });
        if (!fits) return Tier::Loosely;
        const std::optional<TileCode> lowestPair = LowestSplittingPair(counts);
        const bool atFace = substituted == 0 && !(lowestPair == work_.wild && work_.outside &&
                                                  work_.tile == work_.wild);
        const bool asTrial = work_.wilds > 0 && onlyFaceOutside &&
                             outsideCandidates <= std::max(0, work_.wilds - kWildPositions) &&
                             !(work_.outside && lowestPair == work_.tile && wildStandsForTile);
        if (!atFace && !asTrial) return Tier::Loosely;
        const bool pairLooksRefused =
            work_.outside && pair->slots[0].standsFor == work_.tile &&
            std::any_of(pair->slots.begin(), pair->slots.end(),
                        [&](const Slot& s) { return s.held == work_.wild; });
        return pairLooksRefused ? Tier::AcceptedAsTrial : Tier::Accepted;
    }

    const Work& work_;
    Counts left_;
    int wildsLeft_;
    bool pairTaken_ = false;
    bool finished_ = false;
    std::vector<TileCode> allWildStandIns_;
    std::vector<Group> current_;
    std::array<Best, static_cast<int>(Tier::Count)> best_{};
};

ExplainedGroup ToExplained(Group group, TileCode wild) {
    std::stable_sort(group.slots.begin(), group.slots.end(), [wild](const Slot& a, const Slot& b) {
        if (a.standsFor != b.standsFor) return a.standsFor < b.standsFor;
        return a.held != wild && b.held == wild;
    });
    ExplainedGroup explained{group.kind, {}, {}};
    for (const Slot& slot : group.slots) {
        explained.tiles.push_back(slot.held);
        explained.standsFor.push_back(slot.standsFor);
    }
    return explained;
}

std::optional<WinExplanation> ExplainSetsAndPair(Work work) {
    // A work list that still does not hold 3k + 2 tiles sees the tile once more.
    if (TakesTile(work.size)) work.Add(work.tile, false);
    const auto groups = ArrangementSearch(work).Run();
    if (!groups) return std::nullopt;
    WinExplanation explanation{WinShape::SetsAndPair, {}};
    for (const Group& group : *groups) explanation.groups.push_back(ToExplained(group, work.wild));
    std::stable_sort(explanation.groups.begin(), explanation.groups.end(),
                     [](const ExplainedGroup& a, const ExplainedGroup& b) {
                         const bool aPair = a.kind == GroupKind::Pair;
                         const bool bPair = b.kind == GroupKind::Pair;
                         if (aPair != bPair) return bPair;
                         return a.standsFor.front() < b.standsFor.front();
                     });
    return explanation;
}

}  // namespace

std::optional<WinExplanation> ExplainWin(const HandView& view, TileCode tile) {
    const std::optional<Work> work = MakeWork(view, tile);
    if (!work || !CanWinWith(view, tile)) return std::nullopt;
    if (auto sevenPairs = ExplainSevenPairs(*work)) return sevenPairs;
    return ExplainSetsAndPair(*work);
}

}  // namespace qira::rules
