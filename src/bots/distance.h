#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "rules/table_state.h"

// How far a hand is from a ready one: the tiles still to go, -1 for a
// complete hand, 0 for a ready one. Wild tiles stand for whatever is missing;
// seven pairs count too.
namespace qira::bots {

// The distance of a hand given as counts of its ordinary tiles and its number
// of wild tiles.
int DistanceOf(const rules::KindCounts& counts, int wilds, std::size_t meldCount);

// The same distance kept for a hand that changes a tile at a time, and the
// distance a tile more or less would give, each answer from the shapes of
// the one suit that changes. Every answer equals DistanceOf's.
class HandDistance {
public:
    // Which (sets, partial sets) collections a group of tiles (a suit, the
    // honours) has, without and with its pair.
    struct Shapes {
        std::array<std::uint64_t, 2> byPair{};
    };

    HandDistance() : HandDistance(rules::KindCounts{}, 0, 0) {}
    HandDistance(const rules::KindCounts& counts, int wilds, std::size_t meldCount);

    void Add(int kind) { Change(kind, +1); }
    void Remove(int kind) { Change(kind, -1); }
    void ChangeWilds(int by) { wilds_ += by; }
    void SetMeldCount(std::size_t meldCount);

    int Distance() const;
    int WithoutOne(int kind) const;
    int WithOne(int kind) const;
    int WithOneWild() const;
    const rules::KindCounts& counts() const { return counts_; }
    int wilds() const { return wilds_; }

private:
    static int GroupOf(int kind);
    void Change(int kind, int by);
    void Refresh();
    int Unwild(const Shapes& whole, int tiles, int pairs) const;
    int WithWilds(int raw, int wilds) const;
    int Trial(int kind, int by) const;
    static constexpr int kUnshaped = -99;

    rules::KindCounts counts_{};
    int wilds_ = 0;
    std::size_t meldCount_ = 0;
    int tiles_ = 0;
    int pairs_ = 0;
    bool plain_ = true;               // every count from 0 to 4
    std::array<Shapes, 4> groups_{};  // the three suits, then the honours
    std::array<Shapes, 4> others_{};  // every group but one, combined
    int raw_ = 0;                     // before the wild tiles count
};

}  // namespace qira::bots
