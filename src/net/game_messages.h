#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "net/byte_reader.h"

// Typed views of the fixed-layout game messages, read with the bounds-checked
// reader: a message too short for its fields decodes to nothing. Requests and
// the server's messages share these layouts.
namespace qira::net {

// 19: a discard. The server fills the next draw when nobody may claim it
// (nextChair kWireNoChair otherwise); a request carries the ready-hand
// declaration and the first winning tile instead.
struct DiscardMessage {
    std::uint8_t chair = 0;
    std::uint8_t tile = 0;
    std::uint8_t ting = 0;
    std::uint8_t firstWinningTile = 0;
    std::uint8_t nextChair = 0;
    std::uint8_t nextTile = 0;
};

// 20, 21, 25 and 28/0: a chair and a tile (the chow's lowest tile, the bets
// of 28/0) at bytes 2 and 3.
struct ChairTileMessage {
    std::uint8_t sub = 0;
    std::uint8_t chair = 0;
    std::uint8_t tile = 0;
};

// 22: a kong; the sub type is its kind (3 concealed, 4 exposed). The server's
// message adds the replacement tile.
struct KongMessage {
    std::uint8_t kind = 0;
    std::uint8_t chair = 0;
    std::uint8_t tile = 0;
    std::uint8_t replacement = 0;
};

inline std::optional<DiscardMessage> DecodeDiscard(std::span<const std::uint8_t> m) {
    ByteReader r(m, 2);
    const auto chair = r.Byte(), tile = r.Byte(), ting = r.Byte(), first = r.Byte();
    const auto nextChair = r.Byte(), nextTile = r.Byte();
    if (!nextTile) return std::nullopt;
    return DiscardMessage{*chair, *tile, *ting, *first, *nextChair, *nextTile};
}

inline std::optional<ChairTileMessage> DecodeChairTile(std::span<const std::uint8_t> m) {
    ByteReader r(m, 1);
    const auto sub = r.Byte(), chair = r.Byte(), tile = r.Byte();
    if (!tile) return std::nullopt;
    return ChairTileMessage{*sub, *chair, *tile};
}

// The request form: kind, chair and tile.
inline std::optional<KongMessage> DecodeKongRequest(std::span<const std::uint8_t> m) {
    ByteReader r(m, 1);
    const auto kind = r.Byte(), chair = r.Byte(), tile = r.Byte();
    if (!tile) return std::nullopt;
    return KongMessage{*kind, *chair, *tile, 0};
}

// The server's form, with the replacement tile.
inline std::optional<KongMessage> DecodeKong(std::span<const std::uint8_t> m) {
    auto kong = DecodeKongRequest(m);
    const auto replacement = ByteAt(m, 4);
    if (!kong || !replacement) return std::nullopt;
    kong->replacement = *replacement;
    return kong;
}

}  // namespace qira::net
