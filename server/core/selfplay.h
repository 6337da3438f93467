#pragma once

#include <cstdint>
#include <string>

namespace qira::server {

struct SelfPlayReport {
    std::uint64_t hands = 0;
    std::uint64_t drawn = 0;
    std::uint64_t selfDrawn = 0;
    std::uint64_t onDiscard = 0;
    std::uint64_t firstChairWins = 0;  // wins of the player in chair 0
    std::uint64_t timeouts = 0;        // clocks that ran out: a computer player failed to act
    double seconds = 0;
    bool stuck = false;
};

enum class Opponents { Smart, RandomDiscard };

// Plays `hands` hands at one table of four computer players through the
// lobby, the tables and the players' own protocol handling, in virtual time.
// The same seed gives the same hands.
SelfPlayReport RunSelfPlay(std::uint64_t hands, std::uint32_t seed, Opponents opponents);

std::string FormatReport(const SelfPlayReport& report, Opponents opponents);

}  // namespace qira::server
