#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "rules/hand_view.h"
#include "rules/table_state.h"

// Random hands for comparing the win analysis with its reference. The mix
// leans toward what makes the analysis hard: one to four wild tiles, melds on
// the table, honours, seven-pair shapes, and hands one or two tiles away from
// a win; now and then it holds hands no table would deal (five copies of a
// tile, sizes of 3k tiles) to pin down the corner behaviour too.
namespace qira::rules::reference {

struct Position {
    std::vector<TileCode> hand;
    std::vector<MeldRecord> melds;
    TileCode wild = 0;
    bool noWin = false;

    HandView View() const { return {hand, melds, wild, noWin}; }
};

enum class HandSize {
    BetweenTurns,  // 3k + 1 tiles: every tested tile is a discard
    OnOwnTurn,     // 3k + 2 tiles: the player has drawn
    Mixed,         // mostly the two above, sometimes 3k tiles
};

class PositionGenerator {
public:
    explicit PositionGenerator(std::uint64_t seed) : random_(seed) {}

    Position Next(HandSize size);
    // Takes the generator's randomness from `bytes` instead (for fuzzing).
    static Position FromBytes(const std::uint8_t* data, std::size_t size);

    // A random tile code, honours included.
    TileCode AnyTile();

private:
    int Below(int bound) { return std::uniform_int_distribution<int>(0, bound - 1)(random_); }
    bool Chance(int percent) { return Below(100) < percent; }
    int WildCount();
    void AddSetsAndPair(Position& position, int sets);
    void AddSevenPairs(Position& position);
    void SortLikeTheTable(Position& position);

    std::mt19937_64 random_;
    std::vector<int> suitsInPlay_;
};

}  // namespace qira::rules::reference
