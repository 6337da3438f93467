#pragma once

#include <array>
#include <cstdint>

// Precomputed answers for one numbered suit, used by the win analysis.
//
// A suit is described by its count vector: how many tiles of each rank 1-9 it
// holds (0-4 each), packed in base 5 (rank 1 the lowest digit). For such a
// vector v and a number j of wild tiles (0-4) given to the suit, the table tells
// whether some way of turning the j wild tiles into ranks of the suit makes
// v + wilds split into sets (chows and pungs) only, or into sets and one pair,
// where every wild must take a rank equal or next to a rank held in v and no
// rank may exceed four tiles.
namespace qira::rules {

// How many worked-out answers are kept: Small (16k answers, 128 kB) serves one
// player's questions; Large (1M answers, 8 MB) a server's many tables, where
// far more different hands are asked about.
enum class AnswerCache { Small, Large };

}  // namespace qira::rules

namespace qira::rules::detail {

inline constexpr int kRanks = 9;
inline constexpr int kMaxWilds = 4;
inline constexpr std::uint32_t kSuitVectors = 1953125;  // 5^9
inline constexpr int kNoRank = 15;

inline constexpr std::array<std::uint32_t, kRanks> kRankWeight = {1,    5,     25,    125,   625,
                                                                  3125, 15625, 78125, 390625};

// Six bits per wild count j, at bit 6 * j:
//   bit 0  the suit splits into sets only;
//   bit 1  the suit splits into sets and one pair;
//   bits 2-5  with j = 0: the lowest rank that can be the pair;
//             with j >= 1: the one rank r, if any, such that in every wild
//             assignment that gives a pair the wilds include r and the lowest
//             pair rank is r (kNoRank otherwise). A discard of rank r then can
//             only be completed into the pair by a wild tile.
struct SuitAnswer {
    std::uint32_t bits = 0;

    bool SetsOnly(int wilds) const { return (bits >> (6 * wilds)) & 1u; }
    bool WithPair(int wilds) const { return (bits >> (6 * wilds + 1)) & 1u; }
    int Rank(int wilds) const { return static_cast<int>((bits >> (6 * wilds + 2)) & 15u); }
};

// The ranks a wild tile may take given the held ranks `support` (9-bit masks).
constexpr std::uint32_t NeighbourRanks(std::uint32_t support) {
    return (support | (support << 1) | (support >> 1)) & 0x1FFu;
}

// The table entry for the count vector `index`, wild ranks NeighbourRanks of
// the ranks the vector holds. Each entry is worked out the first time it is
// asked for (at most 715 look-ups of the split shapes) and kept in a cache
// while no other vector needs its slot; safe to call from several threads.
SuitAnswer LookUpSuit(std::uint32_t index);

// The same answer computed directly, for any set of allowed wild ranks (a
// 9-bit mask). Slow; used for unusual work lists and to check the table.
SuitAnswer ComputeSuit(const std::array<std::uint8_t, kRanks>& counts, std::uint32_t wildRanks);

// Builds the split shapes now instead of at the first analysis, with a cache
// of the given size. The first call, or the first analysis, fixes the size.
void PrepareSuitTable(AnswerCache size);

}  // namespace qira::rules::detail
