#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "server/core/tiles.h"

namespace qira::server {

// The 136 tiles of a hand in four segments of 34 positions, one in front of
// each chair. Ordinary draws start at position 0 of the head segment and go
// on into the segment of the chair before it ((chair + 3) mod 4); replacement
// draws take the last position of the segment after it ((head + 1) mod 4) and
// go backwards from there. This is how the client keeps its wall fields.
class Wall {
public:
    static constexpr int kSegmentLength = 34;

    // Shuffles a full set with a generator seeded by `seed` (the same seed
    // gives the same wall), or lays out `stacked` (136 codes in draw order) as
    // given.
    void Build(std::uint64_t seed, std::uint8_t headChair, std::span<const Tile> stacked = {});

    // All 136 tiles in the order ordinary draws take them; replacement draws
    // and the indicator come from the end.
    const std::array<Tile, rules::kTilesInSet>& DrawOrder() const { return ring_; }

    std::optional<Tile> DrawFront();
    std::optional<Tile> DrawBack();
    int Remaining() const { return back_ - front_ + 1; }

    std::uint8_t HeadChair() const { return SegmentOf(front_); }
    std::uint8_t TailChair() const { return SegmentOf(back_); }
    // The head and tail position of each chair's segment, as the client keeps
    // them: a used-up segment is head 34, tail 33.
    std::array<std::uint8_t, 8> SegmentBytes() const;

private:
    std::uint8_t SegmentOf(int ringIndex) const;

    std::array<Tile, rules::kTilesInSet> ring_{};
    std::array<std::uint8_t, 4> order_{};
    int front_ = 0;
    int back_ = rules::kTilesInSet - 1;
};

}  // namespace qira::server
