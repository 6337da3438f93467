#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "net/game_messages.h"
#include "net/protocol.h"

// The client's mirror of one table: tile codes, melds, the four seats, the
// local concealed hand and the turn and wall fields, with the operations the
// message handlers use to change them.
//
// Lists that the protocol numbers from 1 (`bytMyHand`, `Melds`, `Discards`,
// `bytPassedKongTiles`) are std::vector here and indexed from 0; position i of
// the protocol is element i - 1. The order of elements is exactly the order the
// protocol describes, so every "first", "last" and "in order" means the same.
namespace qira::rules {

// suit * 9 + (rank - 1): 0-8 characters, 9-17 dots, 18-26 bamboo, 27-30 winds,
// 36-38 dragons. 31-35 are never dealt.
using TileCode = std::uint8_t;

inline constexpr TileCode kLastNumberedTile = 26;
inline constexpr TileCode kLastTileCode = 38;
inline constexpr TileCode kEmptyTileSlot = 50;  // an unused slot in analysis tables
inline constexpr TileCode kFaceDownTile = net::kFaceDownTileCode;  // a hidden tile
inline constexpr int kDistinctTiles = 34;
inline constexpr int kTilesInSet = 136;  // four copies of each
inline constexpr int kChairCount = 4;
inline constexpr std::uint8_t kTableNoChair = 10;  // bytDealerChair/bytTurnChair before a hand
inline constexpr std::uint8_t kIdleTurn = 100;     // bytTurnChair/bytTurnPhase of an idle table
inline constexpr std::uint8_t kBetNotChosen = net::kBetsNotChosen;  // bytBetChoice before a choice
inline constexpr std::uint8_t kDefaultAutoPlayLimit = 5;

constexpr int SuitOf(TileCode tile) {
    return tile / 9;
}
constexpr bool IsNumbered(TileCode tile) {
    return tile <= kLastNumberedTile;
}
// True for the 34 codes that name a real tile.
constexpr bool IsTileCode(int code) {
    return (code >= 0 && code <= 30) || (code >= 36 && code <= 38);
}
constexpr int RankOf(TileCode tile) {
    return tile % 9 + 1;
}

// Dense index 0-33 of a tile code, and back.
constexpr int KindIndex(TileCode tile) {
    return tile <= 30 ? tile : tile - 5;
}
constexpr TileCode TileOfKind(int kind) {
    return static_cast<TileCode>(kind <= 30 ? kind : kind + 5);
}

// The wild tile follows its indicator in the indicator's cycle: 1-9 of a suit
// then 1 again, the four winds in order, the three dragons in order.
constexpr TileCode WildAfterIndicator(TileCode indicator) {
    if (IsNumbered(indicator))
        return static_cast<TileCode>(SuitOf(indicator) * 9 + (indicator % 9 + 1) % 9);
    if (indicator >= 27 && indicator <= 30)
        return static_cast<TileCode>(27 + (indicator - 27 + 1) % 4);
    return static_cast<TileCode>(36 + (indicator - 36 + 1) % 3);
}

// Copies of each of the 34 tiles, by KindIndex; codes that name no tile are skipped.
using KindCounts = std::array<int, kDistinctTiles>;
inline KindCounts CountKinds(std::span<const TileCode> tiles) {
    KindCounts counts{};
    for (TileCode tile : tiles)
        if (IsTileCode(tile)) ++counts[KindIndex(tile)];
    return counts;
}

enum class MeldKind : std::uint8_t {
    Chow = 1,
    Pung = 2,
    ConcealedKong = 3,
    ExposedKong = 4,  // a kong on a discard, or a pung upgraded with the fourth tile
};

// Three bytes on the wire, in this order.
struct MeldRecord {
    MeldKind bytKind = MeldKind::Chow;
    TileCode bytTile = 0;        // a chow's lowest tile; otherwise the tile of the set
    std::uint8_t bytSource = 0;  // the chair whose discard was claimed

    friend bool operator==(const MeldRecord&, const MeldRecord&) = default;
};

struct SeatState {
    std::string strPlayerName;  // empty: nobody sits here
    std::int32_t lngPlayerKey = -1;
    bool blnUserFlag = false;  // the occupant has dropped off the connection
    bool blnReady = false;
    std::vector<MeldRecord> Melds;              // in the order made
    std::vector<TileCode> Discards;             // oldest first
    std::int32_t lngWallHead = 1;               // next position drawn at the front of this segment
    std::int32_t lngWallTail = 0;               // last remaining position (replacement draws)
    std::uint8_t bytTing = 0;                   // non-zero: declared ready
    std::uint8_t bytNoWin = 0;                  // non-zero: discarded a wild tile this hand
    std::uint8_t bytBetChoice = kBetNotChosen;  // 1 first bet + 2 second bet; 4 not chosen
};

enum class ReadyFlags { Keep, Clear };
enum class Viewer { Player, Onlooker };
enum class WallEnd { Head, Tail };  // ordinary draw / replacement draw
enum class Turn { Other, Own };     // a discard of another chair / the player's own draw

struct TableState {
    std::array<SeatState, kChairCount> Seats;
    std::uint8_t bytMyChair = 0;  // set at join; an onlooker's is the watched chair
    // Wild tiles first in arrival order, then ascending codes; a tile added by
    // AppendTile stays at the end until the next sort.
    std::vector<TileCode> bytMyHand;
    std::uint8_t bytDealerChair = kTableNoChair;
    std::uint8_t bytTurnChair = kTableNoChair;
    std::uint8_t bytTurnPhase = 0;
    TileCode bytCurTile = 0;
    std::uint8_t bytHeadWallChair = 0;
    std::uint8_t bytTailWallChair = 0;
    TileCode bytWildTile = 0;
    TileCode bytWildIndicator = 0;
    std::uint8_t bytDice = 0;
    std::uint8_t bytReserved = 0;  // the last byte of the hand records; kept, never used
    std::uint8_t bytDiscardCount = 0;
    std::uint8_t bytHandVisible = 1;
    bool blnHandIdle = true;
    bool blnThreeIndicatorAsked = false;
    std::vector<TileCode> bytPassedKongTiles;  // at most 34 distinct codes
    std::uint8_t bytAutoPlayCount = 0;
    std::uint8_t bytAutoPlayLimit = kDefaultAutoPlayLimit;
    std::vector<TileCode> bytChowChoices;
    // The first tile found by the last successful ready test; deliberately kept
    // across hands (it is what the discard request reports).
    TileCode bytFirstWinningTile = 0;
    // Button states owned by the turn flow, cleared with the table: the three
    // side-bet buttons (0 hidden, 2 available, 3 chosen) and the start button.
    std::array<std::uint8_t, 3> bytBetButtonStates{};
    std::uint8_t bytStartButtonState = 0;

    bool IsWild(TileCode tile) const { return tile == bytWildTile; }

    // The local chair's melds; empty when bytMyChair is not a chair.
    std::span<const MeldRecord> MyMelds() const;

    // --- the local hand; every change ends with the wild tiles at the front ---
    void WildsToFront();
    // Before the first greater tile that is not wild, so that the hand stays
    // wild tiles first, then ascending, whatever the wild tile's code.
    void InsertSorted(TileCode tile);
    void RemoveTile(TileCode tile);  // the first copy; an absent tile changes nothing
    void AppendTile(TileCode tile);
    void SortHand();

    // --- seats; chairs above 3 are ignored ---
    void AddDiscard(std::uint8_t chair, TileCode tile);
    void ApplyMeld(std::uint8_t chair, MeldKind kind, TileCode tile, std::uint8_t source);
    void ApplyKong(std::uint8_t chair, MeldKind kind, TileCode tile, TileCode replacement,
                   std::uint8_t source);

    // Takes one tile from the wall: the head of bytHeadWallChair's segment for an
    // ordinary draw, the tail of bytTailWallChair's for a replacement draw, moving
    // on to the next segment once this one is used up. Returns the chair whose
    // segment changed (for repainting), or kTableNoChair when the wall chair is not a chair.
    std::uint8_t TakeWallTile(WallEnd end);

    // --- whole-table resets and records ---
    void ResetTable();
    void ResetForNewHand(ReadyFlags ready);

    // The decoded new-hand message.
    void LoadHandStart(const net::NewHandMessage& start);
    // The table snapshot message, read from byte 2 on; a cut record keeps every
    // field and list entry read whole before the end.
    void LoadTableSnapshot(std::span<const std::uint8_t> message, Viewer viewer);

    // --- passed kongs (declined this hand) ---
    bool IsPassedKongTile(TileCode tile) const;
    void AddPassedKongTile(TileCode tile);

private:
    void ResetHandFields();
    void ReadSnapshotBody(std::span<const std::uint8_t> message, Viewer viewer);
};

}  // namespace qira::rules
