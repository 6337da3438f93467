#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "bots/sampling.h"

namespace qira::server {

class StatsStore;

struct SelfPlayReport {
    std::uint64_t hands = 0;
    std::uint64_t drawn = 0;
    std::uint64_t selfDrawn = 0;
    std::uint64_t onDiscard = 0;
    std::uint64_t firstChairWins = 0;  // wins of the player in chair 0
    std::uint64_t timeouts = 0;        // clocks that ran out: a computer player failed to act
    std::uint64_t digest = 0;          // the same hands give the same digest
    std::array<std::uint64_t, 3> wildDiscardWins{};  // by SeatKind
    double seconds = 0;
    bool stuck = false;
};

enum class Opponents { Smart, RandomDiscard };

// Plays `hands` hands at one table of four computer players through the
// lobby, the tables and the players' own protocol handling, in virtual time.
// The same seed gives the same hands. With `store` the statistics and the
// hand log go there, otherwise into memory.
SelfPlayReport RunSelfPlay(std::uint64_t hands, std::uint32_t seed, Opponents opponents,
                           StatsStore* store = nullptr);

std::string FormatReport(const SelfPlayReport& report, Opponents opponents);

// Computer players of four levels (1-4) playing each other. The levels move
// one chair on after every hand, so that no level keeps a chair; the figures
// are per level slot, in the order given.
struct LevelMatchReport {
    std::uint64_t hands = 0;
    std::array<int, 4> levels{};
    std::array<std::int64_t, 4> points{};  // each hand's score, before any balance cap
    std::array<double, 4> pointsSquared{};
    std::array<std::uint64_t, 4> wins{};
    std::array<std::uint64_t, 4> dealtIn{};  // wins given on the slot's own discard
    std::uint64_t draws = 0;
    std::array<std::uint64_t, 3> wildDiscardWins{};  // by SeatKind
    std::uint64_t digest = 0;
    double seconds = 0;
    bool stuck = false;

    double MeanPoints(int slot) const;
    // Half the width of the 95 % confidence interval of MeanPoints.
    double Interval95(int slot) const;
};

// "3,2,2,2": four levels from 1 to 4; nothing for anything else.
std::optional<std::array<int, 4>> ParseBotLevels(std::string_view text);

// With `store` the statistics and the hand log go there, otherwise into memory.
// Level 4 players think `budgetMs` per decision.
LevelMatchReport RunLevelMatch(std::uint64_t hands, std::uint32_t seed,
                               const std::array<int, 4>& levels, StatsStore* store = nullptr,
                               int budgetMs = bots::kDefaultBudgetMs);

// A match in duplicate: wall w (seed + w) is dealt twice, and one hand is
// played on it each time, with the tested level in chair w % 4 the first
// time and the baseline level there the second; the other chairs play the
// baseline level with the same seeds both times. Luck mostly cancels in the
// difference of that chair's points between the two hands.
struct DuplicateReport {
    std::uint64_t walls = 0;
    int tested = 4;
    int baseline = 3;
    int budgetMs = bots::kDefaultBudgetMs;
    struct Side {
        double points = 0;  // the chair's score summed over the walls, before any cap
        std::uint64_t wins = 0;
        std::uint64_t dealtIn = 0;
        double winPoints = 0;  // summed over the wins
    };
    Side withTested, withBaseline;
    double difference = 0;  // summed per-wall differences, tested minus baseline
    double differenceSquared = 0;
    double seconds = 0;

    double MeanDifference() const;
    double Interval95() const;  // half its width
};
DuplicateReport RunDuplicate(std::uint64_t walls, std::uint32_t seed, int tested, int baseline,
                             int budgetMs);
// One JSON line: walls, levels, budget, the mean difference and its 95 %
// interval, and per side the points, win and deal-in rates and average win.
std::string FormatJson(const DuplicateReport& report);
// "4,3": the tested and the baseline level.
std::optional<std::pair<int, int>> ParseDuplicateLevels(std::string_view text);

// One JSON line: hands, levels, points, wins, dealt_in, draws, and the mean
// points per hand with their 95 % intervals.
std::string FormatJson(const LevelMatchReport& report);

}  // namespace qira::server
