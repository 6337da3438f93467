#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

// Tile codes as the wire carries them: suit * 9 + (rank - 1); 0-8 characters,
// 9-17 dots, 18-26 bamboo, 27-30 winds, 36-38 dragons.
namespace qira::server {

using Tile = std::uint8_t;

inline constexpr int kKinds = 34;         // distinct tiles
inline constexpr int kTilesInSet = 136;   // four copies of each
inline constexpr Tile kHiddenTile = 100;  // what a client sees of a tile it may not know
inline constexpr std::uint8_t kNoChair = 255;
inline constexpr int kChairs = 4;

constexpr bool IsTile(int code) {
    return (code >= 0 && code <= 30) || (code >= 36 && code <= 38);
}
constexpr int SuitOf(Tile tile) {
    return tile / 9;
}
constexpr int RankOf(Tile tile) {
    return tile % 9 + 1;
}
constexpr bool IsNumbered(Tile tile) {
    return tile <= 26;
}

// Dense index 0-33 of a tile code and back.
constexpr int KindIndex(Tile tile) {
    return tile <= 30 ? tile : tile - 5;
}
constexpr Tile TileOfKind(int kind) {
    return static_cast<Tile>(kind <= 30 ? kind : kind + 5);
}

// The wild tile follows its indicator in the indicator's cycle: 1-9 of a suit
// then 1 again, the four winds in order, the three dragons in order.
constexpr Tile WildAfterIndicator(Tile indicator) {
    if (IsNumbered(indicator))
        return static_cast<Tile>(SuitOf(indicator) * 9 + (indicator % 9 + 1) % 9);
    if (indicator >= 27 && indicator <= 30) return static_cast<Tile>(27 + (indicator - 27 + 1) % 4);
    return static_cast<Tile>(36 + (indicator - 36 + 1) % 3);
}

using KindCounts = std::array<int, kKinds>;

inline KindCounts CountKinds(std::span<const Tile> tiles) {
    KindCounts counts{};
    for (Tile tile : tiles)
        if (IsTile(tile)) ++counts[KindIndex(tile)];
    return counts;
}

inline int CountOf(std::span<const Tile> tiles, Tile tile) {
    int count = 0;
    for (Tile t : tiles) count += t == tile ? 1 : 0;
    return count;
}

enum class MeldKind : std::uint8_t { Chow = 1, Pung = 2, ConcealedKong = 3, ExposedKong = 4 };

struct Meld {
    MeldKind kind = MeldKind::Chow;
    Tile tile = 0;  // a chow's lowest tile, otherwise the set's tile
    std::uint8_t source = 0;
};

}  // namespace qira::server
