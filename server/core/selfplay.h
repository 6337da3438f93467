#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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

// Computer players of four levels (1-3) playing each other. The levels move
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

// "3,2,2,2": four levels from 1 to 3; nothing for anything else.
std::optional<std::array<int, 4>> ParseBotLevels(std::string_view text);

// With `store` the statistics and the hand log go there, otherwise into memory.
LevelMatchReport RunLevelMatch(std::uint64_t hands, std::uint32_t seed,
                               const std::array<int, 4>& levels, StatsStore* store = nullptr);

// One JSON line: hands, levels, points, wins, dealt_in, draws, and the mean
// points per hand with their 95 % intervals.
std::string FormatJson(const LevelMatchReport& report);

}  // namespace qira::server
