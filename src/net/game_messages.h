#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "net/byte_reader.h"
#include "net/packet.h"
#include "net/protocol.h"

// Typed views of the fixed-layout game messages, read with the bounds-checked
// reader: a message too short for its fields decodes to nothing. Requests and
// the server's messages share these layouts.
namespace qira::net {

// 17: the new-hand record, 29 bytes through the reserved byte 28.
struct NewHandMessage {
    std::uint8_t autoPlayLimit = 0;  // byte 3
    std::uint8_t dealer = 0;         // bytes 11 to 17
    std::uint8_t dice = 0;
    std::uint8_t headWallChair = 0;
    std::uint8_t tailWallChair = 0;
    std::uint8_t turnChair = 0;
    std::uint8_t phase = 0;
    std::uint8_t tile = 0;
    std::array<std::uint8_t, 8> wallBytes{};  // bytes 18 to 25: head and tail of chairs 0 to 3
    std::uint8_t indicator = 0;               // bytes 26 to 28
    std::uint8_t wild = 0;
    std::uint8_t reserved = 0;
};

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

// 30, 18 and 29: one chair (of the three indicators and of a chair ready for
// the next hand at byte 1; of the rob-kong offer at byte 2).
struct ChairMessage {
    std::uint8_t chair = 0;
};

// 29 and 2 as requests: a sub type (29: 1 to rob the kong) and the chair at
// byte 2.
struct SubChairMessage {
    std::uint8_t sub = 0;
    std::uint8_t chair = 0;
};

// 2: the hand as the client should keep it. A count beyond the message's end
// keeps the tiles that are there; `count` is what the message claims.
struct HandResyncMessage {
    std::uint8_t count = 0;
    std::span<const std::uint8_t> tiles;  // a view into the message
};

// 27: the drawn game; `sub` is 0 or 1, a larger one is not a drawn game this
// client understands.
struct DrawnGameMessage {
    std::uint8_t sub = 0;
};

// 5: a chair that must stop playing, and why.
struct MustStopMessage {
    std::uint8_t chair = 0;
    std::string reason;
};

// 113 (whether onlookers see the watched hand) and 130/5 (whether the main
// window hides): one flag at byte 2.
struct FlagMessage {
    bool set = false;
};

// 112: a raised hand; `allReady` when the sub type says everybody has raised.
struct HandRaisedMessage {
    bool allReady = false;
    std::vector<std::string> fields;  // the name and, from the owner, the six settings
};

// 133/3: user `userA` used item `item` on user `userB`.
struct ItemUsedMessage {
    std::uint8_t userA = 0;
    std::uint8_t userB = 0;
    std::int32_t item = 0;
};

inline std::optional<NewHandMessage> DecodeNewHand(std::span<const std::uint8_t> m) {
    constexpr std::size_t kLength = 29;
    if (m.size() < kLength) return std::nullopt;
    NewHandMessage hand{m[3],  m[11], m[12], m[13], m[14], m[15],
                        m[16], m[17], {},    m[26], m[27], m[28]};
    std::copy(m.begin() + 18, m.begin() + 26, hand.wallBytes.begin());
    return hand;
}

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
inline std::optional<SubChairMessage> DecodeSubChair(std::span<const std::uint8_t> m) {
    ByteReader r(m, 1);
    const auto sub = r.Byte(), chair = r.Byte();
    if (!chair) return std::nullopt;
    return SubChairMessage{*sub, *chair};
}

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

inline std::optional<ChairMessage> DecodeReadyForNext(std::span<const std::uint8_t> m) {
    return DecodeThreeIndicators(m);
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

inline std::optional<DrawnGameMessage> DecodeDrawnGame(std::span<const std::uint8_t> m) {
    const auto sub = ByteAt(m, 1);
    if (!sub || *sub > 1) return std::nullopt;
    return DrawnGameMessage{*sub};
}

inline std::optional<MustStopMessage> DecodeMustStop(std::span<const std::uint8_t> m) {
    const auto chair = ByteAt(m, 2);
    if (!chair) return std::nullopt;
    return MustStopMessage{*chair, DecodeBody(m, 3)};
}

// Exactly three bytes, as for the rob-kong offer.
inline std::optional<FlagMessage> DecodeWatchPermission(std::span<const std::uint8_t> m) {
    if (m.size() != 3) return std::nullopt;
    return FlagMessage{m[2] != 0};
}

inline std::optional<FlagMessage> DecodeWindowHidden(std::span<const std::uint8_t> m) {
    const auto flag = ByteAt(m, 2);
    if (!flag) return std::nullopt;
    return FlagMessage{*flag != 0};
}

inline std::optional<HandRaisedMessage> DecodeHandRaised(std::span<const std::uint8_t> m) {
    const auto sub = ByteAt(m, 1);
    if (!sub) return std::nullopt;
    return HandRaisedMessage{*sub >= kHandRaisedAllReady, SplitFields(DecodeBody(m, 2))};
}

inline std::optional<ItemUsedMessage> DecodeItemUsed(std::span<const std::uint8_t> m) {
    ByteReader r(m, 2);
    const auto userA = r.Byte(), userB = r.Byte();
    const auto item = r.Int32BE();
    if (!item) return std::nullopt;
    return ItemUsedMessage{*userA, *userB, *item};
}

}  // namespace qira::net
