#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <random>
#include <span>
#include <vector>

#include "bots/brain.h"

// Level 4's way of deciding: deal the tiles the seat cannot see at random,
// consistently with everything it has seen, play every option out over the
// same deals with a fast policy, and weigh the outcomes with the real
// payments. Only the seat's own view enters.
namespace qira::bots {

// The copies of each kind the seat cannot see: on no table, in no discard,
// not in its own hand or melds.
rules::KindCounts UnseenOf(const BotView& view);

// One deal of the unseen tiles: every other chair's concealed tiles (13 less
// three a meld), built up by as many turns of the playouts' policy as the
// chair has discarded (up to 12), so that a chair late in the hand holds a
// hand near ready; and the wall (next draw last). The own chair keeps its
// hand. Unseen tiles left over lie in other chairs' concealed kongs.
struct SampledDeal {
    std::array<std::vector<Tile>, rules::kChairCount> hands;
    std::vector<Tile> wall;
};
SampledDeal SampleDeal(const BotView& view, std::mt19937& random);

// One option of the own chair. On its own turn: a discard, a kong (a
// concealed one, or the fourth tile added to a pung) or the three wild
// indicators laid down, each followed by play; on another chair's discard:
// pass, chow (from `tile`, the chow's lowest), pung or kong.
enum class ChoiceKind : std::uint8_t {
    Discard,
    OwnKong,
    NoOwnKong,
    ThreeIndicators,
    KeepIndicators,
    Pass,
    Chow,
    Pung,
    ExposedKong,
};
struct Choice {
    ChoiceKind kind = ChoiceKind::Discard;
    Tile tile = 0;
    friend bool operator==(const Choice&, const Choice&) = default;
};

// How long a decision may take. The number of sampled deals follows from the
// milliseconds alone, so the same view and seed give the same choice on any
// machine; watching the clock also stops at the deadline when a slow machine
// has not finished them (a live table, where the answer must come in time).
struct SearchBudget {
    int milliseconds = 100;
    bool watchClock = false;
};
inline constexpr int kDefaultBudgetMs = 100;
// Deals to sample for `choices` options within the budget; at least a few.
int DealsFor(const SearchBudget& budget, std::size_t choices);

// The options' expected points for the own chair (at a base score of 1),
// and how sure each one's difference from the first option is: the
// standard error of the mean difference over the same deals.
struct Appraisal {
    std::vector<Choice> choices;
    std::vector<double> expected;
    std::vector<double> errorAgainstFirst;
    int deals = 0;
};
Appraisal Appraise(const BotView& view, Tile claimable, int discarder,
                   std::span<const Choice> choices, const SearchBudget& budget,
                   std::mt19937& random);

// The index of the option to take: the best expected points, when it beats
// the first option (the careful player's) by more than twice its error; else 0.
std::size_t BestChoice(const Appraisal& appraisal);

}  // namespace qira::bots
