#pragma once

#include <algorithm>
#include <cstddef>
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

// 28: the side bets (sub 0: a chair and its bet choice) or the deal (any
// other sub: the chair, the tile on the table, then the chair's tiles).
struct SideBetsOrDealMessage {
    std::uint8_t sub = 0;
    std::uint8_t chair = 0;
    std::uint8_t tile = 0;
    std::span<const std::uint8_t> tiles;  // what follows the tile; a view into the message
};

// 30 and 29: one chair (of the three indicators at byte 1; of the rob-kong
// offer at byte 2).
struct ChairMessage {
    std::uint8_t chair = 0;
};

// 2: the hand as the client should keep it. A count beyond the message's end
// keeps the tiles that are there; `count` is what the message claims.
struct HandResyncMessage {
    std::uint8_t count = 0;
    std::span<const std::uint8_t> tiles;  // a view into the message
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

inline std::optional<SideBetsOrDealMessage> DecodeSideBetsOrDeal(std::span<const std::uint8_t> m) {
    const auto head = DecodeChairTile(m);
    if (!head) return std::nullopt;
    return SideBetsOrDealMessage{head->sub, head->chair, head->tile, m.subspan(4)};
}

inline std::optional<ChairMessage> DecodeThreeIndicators(std::span<const std::uint8_t> m) {
    const auto chair = ByteAt(m, 1);
    if (!chair) return std::nullopt;
    return ChairMessage{*chair};
}

// Exactly three bytes: a longer offer is not one this client understands.
inline std::optional<ChairMessage> DecodeRobKongOffer(std::span<const std::uint8_t> m) {
    if (m.size() != 3) return std::nullopt;
    return ChairMessage{m[2]};
}

inline std::optional<HandResyncMessage> DecodeHandResync(std::span<const std::uint8_t> m) {
    const auto count = ByteAt(m, 2);
    if (!count) return std::nullopt;
    const auto tiles = m.subspan(3);
    return HandResyncMessage{*count, tiles.first(std::min<std::size_t>(*count, tiles.size()))};
}

}  // namespace qira::net
