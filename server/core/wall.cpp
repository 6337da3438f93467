#include "server/core/wall.h"

#include <algorithm>
#include <random>

namespace qira::server {

void Wall::Build(std::uint64_t seed, std::uint8_t headChair, std::span<const Tile> stacked) {
    std::mt19937_64 random(seed);
    int i = 0;
    for (int kind = 0; kind < rules::kDistinctTiles; ++kind)
        for (int copy = 0; copy < 4; ++copy) ring_[i++] = TileOfKind(kind);
    // A Fisher-Yates shuffle of our own: std::shuffle's draws differ between
    // standard libraries, and the same seed must give the same hands.
    for (int j = rules::kTilesInSet - 1; j > 0; --j) {
        const auto k = static_cast<int>(random() % static_cast<std::uint64_t>(j + 1));
        std::swap(ring_[j], ring_[k]);
    }
    if (stacked.size() == ring_.size()) std::copy(stacked.begin(), stacked.end(), ring_.begin());
    for (int s = 0; s < 4; ++s) order_[s] = static_cast<std::uint8_t>((headChair + 3 * s) % 4);
    front_ = 0;
    back_ = rules::kTilesInSet - 1;
}

std::optional<Tile> Wall::DrawFront() {
    if (Remaining() <= 0) return std::nullopt;
    return ring_[front_++];
}

std::optional<Tile> Wall::DrawBack() {
    if (Remaining() <= 0) return std::nullopt;
    return ring_[back_--];
}

std::uint8_t Wall::SegmentOf(int ringIndex) const {
    return order_[std::clamp(ringIndex, 0, rules::kTilesInSet - 1) / kSegmentLength];
}

std::array<std::uint8_t, 8> Wall::SegmentBytes() const {
    std::array<std::uint8_t, 8> out{};
    for (int s = 0; s < 4; ++s) {
        const int first = s * kSegmentLength;
        const int lo = std::max(front_, first);
        const int hi = std::min(back_, first + kSegmentLength - 1);
        const int chair = order_[s];
        if (lo > hi) {
            out[chair * 2] = kSegmentLength;
            out[chair * 2 + 1] = kSegmentLength - 1;
        } else {
            out[chair * 2] = static_cast<std::uint8_t>(lo - first);
            out[chair * 2 + 1] = static_cast<std::uint8_t>(hi - first);
        }
    }
    return out;
}

}  // namespace qira::server
