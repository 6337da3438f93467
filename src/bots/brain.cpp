#include "bots/brain.h"

#include "bots/distance.h"
#include "bots/sampling.h"
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

std::vector<Tile> TilesOfMeld(const Meld& meld) {
    const Tile tile = meld.bytTile;
    switch (meld.bytKind) {
        case MeldKind::Chow:
            return {tile, static_cast<Tile>(tile + 1), static_cast<Tile>(tile + 2)};
        case MeldKind::Pung:
            return {tile, tile, tile};
        case MeldKind::ConcealedKong:
        case MeldKind::ExposedKong:
            return {tile, tile, tile, tile};
    }
    return {};
}

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
        const HandDistance kept(counts, wilds, view.melds.size());
        for (int kind = 0; kind < rules::kDistinctTiles; ++kind) {
            const int unseen =
                4 - view.seen[kind] - mine[kind] + (KindIndex(discard) == kind ? 1 : 0);
            const Tile tile = TileOfKind(kind);
            if (unseen <= 0 || !Near(rest, tile, view.wild)) continue;
            const int after = tile == view.wild ? kept.WithOneWild() : kept.WithOne(kind);
            if (after < option.shanten) option.useful += unseen;
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
        case BotStyle::Searcher:
            return ChooseDiscardBySampling(view);
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

namespace {

// The first kong the hand can declare: with `worthIt`, only one that keeps
// the way to a ready hand as short.
std::optional<Meld> OwnKongOf(const BotView& view, bool worthIt) {
    const int now = BestAfterDiscard(view.hand, view.melds.size(), view.wild);
    const auto counts = CountKinds(view.hand);
    for (int kind = 0; kind < rules::kDistinctTiles; ++kind) {
        const Tile tile = TileOfKind(kind);
        if (tile == view.wild) continue;  // wild tiles are worth more in the hand
        if (counts[kind] == 4) {
            const auto rest = Without(view.hand, tile, 4);
            if (!worthIt || ShantenOf(rest, view.melds.size() + 1, view.wild) <= now)
                return Meld{MeldKind::ConcealedKong, tile, 0};
        }
        if (counts[kind] >= 1)
            for (const Meld& meld : view.melds)
                if (meld.bytKind == MeldKind::Pung && meld.bytTile == tile) {
                    const auto rest = Without(view.hand, tile, 1);
                    if (!worthIt || ShantenOf(rest, view.melds.size(), view.wild) <= now)
                        return Meld{MeldKind::ExposedKong, tile, 0};
                }
    }
    return std::nullopt;
}

}  // namespace

std::optional<Meld> BotBrain::ChooseOwnKong(const BotView& view) {
    if (style_ == BotStyle::RandomDiscard) return std::nullopt;
    const auto careful = OwnKongOf(view, true);
    if (style_ != BotStyle::Searcher) return careful;
    const auto possible = careful ? careful : OwnKongOf(view, false);
    if (!possible) return std::nullopt;
    const Choice take{ChoiceKind::OwnKong, possible->bytTile};
    const Choice leave{ChoiceKind::NoOwnKong, 0};
    const std::array<Choice, 2> choices{careful ? take : leave, careful ? leave : take};
    const std::size_t best =
        BestChoice(Appraise(view, 0, view.self, choices, {budgetMs_, watchClock_}, random_));
    return choices[best] == take ? possible : std::nullopt;
}

// ---------------------------------------------------------------- levels

std::optional<BotStyle> StyleOfLevel(int level) {
    for (const BotStyle style :
         {BotStyle::Beginner, BotStyle::Smart, BotStyle::Expert, BotStyle::Searcher})
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
        case BotStyle::Searcher:
            return 4;
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
    if (!ExpertStyle() || view.self < 0) return false;
    const auto threat = ThreatOf(view);
    const double highest = *std::max_element(threat.begin(), threat.end());
    const int distance = ShantenOf(view.hand, view.melds.size(), view.wild);
    // A hand of 3k+2 tiles counts one step better once the discard is made.
    const int steps = view.hand.size() % 3 == 2 ? distance - 1 : distance;
    return highest >= 0.75 && steps >= 2;
}

// Attacks like the level below, but weighs each discard's danger to the
// chairs that look ready, and folds (throws the safest tile) when an
// opponent looks ready and the own hand is still far. The discards worth
// weighing, each with its score, in the order of the hand.
std::vector<std::pair<Tile, double>> BotBrain::ScoreDiscardsAsExpert(const BotView& view) const {
    const auto candidates = DiscardCandidates(view);
    std::vector<std::pair<Tile, double>> scored;
    if (candidates.empty()) return scored;
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
        scored.emplace_back(t, score);
    }
    return scored;
}

Tile BotBrain::ChooseDiscardAsExpert(const BotView& view) const {
    const auto scored = ScoreDiscardsAsExpert(view);
    if (scored.empty()) return view.hand.back();
    Tile best = scored.front().first;
    double bestScore = -1e18;
    for (const auto& [tile, score] : scored)
        if (score > bestScore) bestScore = score, best = tile;
    return best;
}

std::vector<Tile> BotBrain::RankDiscards(const BotView& view) const {
    auto scored = ScoreDiscardsAsExpert(view);
    std::stable_sort(scored.begin(), scored.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    std::vector<Tile> ranked;
    for (const auto& entry : scored) ranked.push_back(entry.first);
    // The discards that lengthen the way come last, safest first.
    auto rest = DiscardCandidates(view);
    std::erase_if(
        rest, [&](Tile t) { return std::find(ranked.begin(), ranked.end(), t) != ranked.end(); });
    const auto threat = ThreatOf(view);
    const auto danger = [&](Tile tile) {
        double total = 0;
        for (int chair = 0; chair < rules::kChairCount; ++chair)
            total += threat[chair] * DangerOf(view, chair, tile);
        return total;
    };
    std::stable_sort(rest.begin(), rest.end(),
                     [&](Tile a, Tile b) { return danger(a) < danger(b); });
    ranked.insert(ranked.end(), rest.begin(), rest.end());
    return ranked;
}

// ---------------------------------------------------------------- level 4

namespace {

// The discards level 4 plays out: level 3's best few, and the safest ones
// against the chairs that look ready.
constexpr std::size_t kTopDiscards = 4;
constexpr std::size_t kSafeDiscards = 2;

}  // namespace

void BotBrain::set_budget(int milliseconds, bool watchClock) {
    budgetMs_ = std::max(0, milliseconds);
    watchClock_ = watchClock;
}

Tile BotBrain::ChooseDiscardBySampling(const BotView& view) {
    const auto ranked = RankDiscards(view);
    if (ranked.size() <= 1) return ranked.empty() ? view.hand.back() : ranked.front();
    std::vector<Choice> choices{{ChoiceKind::Discard, ChooseDiscardAsExpert(view)}};
    const auto add = [&](Tile tile) {
        const Choice choice{ChoiceKind::Discard, tile};
        if (std::find(choices.begin(), choices.end(), choice) == choices.end())
            choices.push_back(choice);
    };
    for (std::size_t i = 0; i < ranked.size() && choices.size() < kTopDiscards; ++i) add(ranked[i]);
    const auto threat = ThreatOf(view);
    auto safest = ranked;
    const auto danger = [&](Tile tile) {
        double total = 0;
        for (int chair = 0; chair < rules::kChairCount; ++chair)
            total += threat[chair] * DangerOf(view, chair, tile);
        return total;
    };
    std::stable_sort(safest.begin(), safest.end(),
                     [&](Tile a, Tile b) { return danger(a) < danger(b); });
    for (std::size_t i = 0; i < safest.size() && i < kSafeDiscards; ++i) add(safest[i]);
    const Appraisal appraisal =
        Appraise(view, 0, view.self, choices, {budgetMs_, watchClock_}, random_);
    return choices[BestChoice(appraisal)].tile;
}

bool BotBrain::WantsThreeIndicators(const BotView& view) {
    if (style_ != BotStyle::Searcher) return true;
    const std::array<Choice, 2> choices{Choice{ChoiceKind::ThreeIndicators, view.indicator},
                                        Choice{ChoiceKind::KeepIndicators, 0}};
    return BestChoice(Appraise(view, 0, view.self, choices, {budgetMs_, watchClock_}, random_)) ==
           0;
}

std::optional<BotBrain::Claim> BotBrain::ChooseClaim(const BotView& view, Tile tile, int discarder,
                                                     bool mayKong) {
    // Level 3's answer first: the one kept unless another is clearly better.
    std::optional<Claim> careful;
    if (mayKong && WantsExposedKong(view, tile))
        careful = Claim{MeldKind::ExposedKong, tile};
    else if (WantsPung(view, tile))
        careful = Claim{MeldKind::Pung, tile};
    else if ((discarder + 1) % rules::kChairCount == view.self)
        if (const auto chow = ChooseChow(view, tile)) careful = Claim{MeldKind::Chow, *chow};
    if (style_ != BotStyle::Searcher) return careful;

    const auto choiceOf = [](const std::optional<Claim>& claim) {
        if (!claim) return Choice{ChoiceKind::Pass, 0};
        switch (claim->kind) {
            case MeldKind::Chow:
                return Choice{ChoiceKind::Chow, claim->tile};
            case MeldKind::Pung:
                return Choice{ChoiceKind::Pung, claim->tile};
            default:
                return Choice{ChoiceKind::ExposedKong, claim->tile};
        }
    };
    std::vector<std::optional<Claim>> options{careful};
    const auto add = [&](std::optional<Claim> claim) {
        if (std::find(options.begin(), options.end(), claim) == options.end())
            options.push_back(claim);
    };
    add(std::nullopt);
    if (!view.ting && tile != view.wild) {
        const auto held = std::count(view.hand.begin(), view.hand.end(), tile);
        if (held >= 2) add(Claim{MeldKind::Pung, tile});
        if (held >= 3 && mayKong) add(Claim{MeldKind::ExposedKong, tile});
        if ((discarder + 1) % rules::kChairCount == view.self && IsNumbered(tile))
            for (int start = tile - 2; start <= tile; ++start) {
                if (start < 0 || SuitOf(static_cast<Tile>(start)) != SuitOf(tile) ||
                    RankOf(static_cast<Tile>(start)) > 7)
                    continue;
                bool held2 = true;
                for (int t = start; t < start + 3; ++t)
                    if (t != tile &&
                        (t == view.wild || std::count(view.hand.begin(), view.hand.end(), t) == 0))
                        held2 = false;
                if (held2) add(Claim{MeldKind::Chow, static_cast<Tile>(start)});
            }
    }
    if (options.size() == 1) return careful;
    std::vector<Choice> choices;
    for (const auto& option : options) choices.push_back(choiceOf(option));
    const Appraisal appraisal =
        Appraise(view, tile, discarder, choices, {budgetMs_, watchClock_}, random_);
    return options[BestChoice(appraisal)];
}

}  // namespace qira::bots
