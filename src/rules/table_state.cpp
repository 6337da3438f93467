#include "rules/table_state.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "net/byte_reader.h"
#include "net/claims.h"

namespace qira::rules {

// The melds a claim lays are the claim table's.
static_assert(static_cast<int>(MeldKind::Chow) == net::RowOf(net::ClaimKind::Chow).meld);
static_assert(static_cast<int>(MeldKind::Pung) == net::RowOf(net::ClaimKind::Pung).meld);
static_assert(static_cast<int>(MeldKind::ExposedKong) == net::RowOf(net::ClaimKind::Kong).meld);

namespace {

bool IsChair(std::uint8_t chair) {
    return chair < kChairCount;
}

MeldRecord* FindPung(std::vector<MeldRecord>& melds, TileCode tile) {
    for (auto& meld : melds) {
        if (meld.bytKind == MeldKind::Pung && meld.bytTile == tile) return &meld;
    }
    return nullptr;
}

}  // namespace

std::span<const MeldRecord> TableState::MyMelds() const {
    if (!IsChair(bytMyChair)) return {};
    return Seats[bytMyChair].Melds;
}

void TableState::WildsToFront() {
    // A stable partition that keeps both groups in their present order.
    std::stable_partition(bytMyHand.begin(), bytMyHand.end(),
                          [this](TileCode tile) { return IsWild(tile); });
}

void TableState::InsertSorted(TileCode tile) {
    // The wild tiles at the front are not part of the ascending run: a wild
    // tile of a high code must not pull a smaller tile in front of the others.
    auto greater = std::find_if(bytMyHand.begin(), bytMyHand.end(), [this, tile](TileCode held) {
        return !IsWild(held) && held > tile;
    });
    bytMyHand.insert(greater, tile);
    WildsToFront();
}

void TableState::RemoveTile(TileCode tile) {
    auto found = std::find(bytMyHand.begin(), bytMyHand.end(), tile);
    if (found != bytMyHand.end()) bytMyHand.erase(found);
    WildsToFront();
}

void TableState::AppendTile(TileCode tile) {
    bytMyHand.push_back(tile);
    WildsToFront();
}

void TableState::SortHand() {
    // The exchange sort leaves equal codes in no particular order, but equal
    // codes are indistinguishable, so a plain sort gives the same hand.
    std::sort(bytMyHand.begin(), bytMyHand.end());
    WildsToFront();
}

void TableState::AddDiscard(std::uint8_t chair, TileCode tile) {
    if (!IsChair(chair)) return;
    Seats[chair].Discards.push_back(tile);
}

void TableState::ApplyMeld(std::uint8_t chair, MeldKind kind, TileCode tile, std::uint8_t source) {
    if (!IsChair(chair)) return;
    Seats[chair].Melds.push_back({kind, tile, source});
    if (chair != bytMyChair) return;
    if (kind == MeldKind::Chow) {
        RemoveTile(tile);
        RemoveTile(static_cast<TileCode>(tile + 1));
        RemoveTile(static_cast<TileCode>(tile + 2));
    } else {
        RemoveTile(tile);
        RemoveTile(tile);
        RemoveTile(tile);
    }
    SortHand();
}

void TableState::ApplyKong(std::uint8_t chair, MeldKind kind, TileCode tile, TileCode replacement,
                           std::uint8_t source) {
    if (!IsChair(chair)) return;
    const bool mine = chair == bytMyChair;
    if (mine) std::erase(bytMyHand, tile);
    auto& melds = Seats[chair].Melds;
    if (MeldRecord* pung = FindPung(melds, tile)) {
        pung->bytKind = kind;
        pung->bytSource = source;
    } else {
        melds.push_back({kind, tile, source});
    }
    if (mine) AppendTile(replacement);
}

std::uint8_t TableState::TakeWallTile(WallEnd end) {
    if (end == WallEnd::Head) {
        const std::uint8_t chair = bytHeadWallChair;
        if (!IsChair(chair)) return kTableNoChair;
        SeatState& seat = Seats[chair];
        seat.lngWallHead += 1;
        if (seat.lngWallTail < seat.lngWallHead) bytHeadWallChair = (chair + 3) % kChairCount;
        return chair;
    }
    const std::uint8_t chair = bytTailWallChair;
    if (!IsChair(chair)) return kTableNoChair;
    SeatState& seat = Seats[chair];
    seat.lngWallTail -= 1;
    if (seat.lngWallTail < seat.lngWallHead) bytTailWallChair = (chair + 1) % kChairCount;
    return chair;
}

void TableState::ResetHandFields() {
    bytMyHand.clear();
    bytDealerChair = kTableNoChair;
    bytTurnChair = kTableNoChair;
    blnHandIdle = true;
    blnThreeIndicatorAsked = false;
    bytPassedKongTiles.clear();
    bytChowChoices.clear();
    bytBetButtonStates = {};
    bytStartButtonState = 0;
    bytDiscardCount = 0;
    bytAutoPlayCount = 0;
    bytAutoPlayLimit = kDefaultAutoPlayLimit;
}

void TableState::ResetTable() {
    Seats = {};
    bytHandVisible = 1;
    ResetHandFields();
}

void TableState::ResetForNewHand(ReadyFlags ready) {
    for (SeatState& seat : Seats) {
        SeatState fresh;
        fresh.strPlayerName = std::move(seat.strPlayerName);
        fresh.lngPlayerKey = seat.lngPlayerKey;
        fresh.blnUserFlag = seat.blnUserFlag;
        fresh.blnReady = ready == ReadyFlags::Clear ? false : seat.blnReady;
        seat = std::move(fresh);
    }
    ResetHandFields();
}

void TableState::LoadHandStart(const net::NewHandMessage& start) {
    bytAutoPlayLimit = start.autoPlayLimit;
    bytDealerChair = start.dealer;
    bytDice = start.dice;
    bytHeadWallChair = start.headWallChair;
    bytTailWallChair = start.tailWallChair;
    bytTurnChair = start.turnChair;
    bytTurnPhase = start.phase;
    bytCurTile = start.tile;
    for (std::size_t chair = 0; chair < kChairCount; ++chair) {
        Seats[chair].lngWallHead = start.wallBytes[2 * chair];
        Seats[chair].lngWallTail = start.wallBytes[2 * chair + 1];
    }
    // The server counts the tail segment one short.
    if (IsChair(bytTailWallChair)) Seats[bytTailWallChair].lngWallTail += 1;
    bytWildIndicator = start.indicator;
    bytWildTile = start.wild;
    bytReserved = start.reserved;
}

namespace {

// Reads a count byte and then that many single-byte entries. Entries read before
// the end of the message are kept; returns false when the message ended.
bool ReadTileList(net::ByteReader& reader, std::vector<TileCode>& list) {
    auto count = reader.Byte();
    if (!count) return false;
    list.clear();
    for (int i = 0; i < *count; ++i) {
        auto tile = reader.Byte();
        if (!tile) return false;
        list.push_back(*tile);
    }
    return true;
}

bool ReadMelds(net::ByteReader& reader, std::vector<MeldRecord>& melds) {
    auto count = reader.Byte();
    if (!count) return false;
    melds.clear();
    for (int i = 0; i < *count; ++i) {
        if (reader.remaining() < 3) return false;
        MeldRecord meld;
        meld.bytKind = static_cast<MeldKind>(*reader.Byte());
        meld.bytTile = *reader.Byte();
        meld.bytSource = *reader.Byte();
        melds.push_back(meld);
    }
    return true;
}

template <typename Field>
bool ReadInto(net::ByteReader& reader, Field& field) {
    auto byte = reader.Byte();
    if (!byte) return false;
    field = *byte;
    return true;
}

std::uint8_t VisibilityFrom(std::uint8_t byte, Viewer viewer) {
    if (viewer == Viewer::Player) return 1;
    return byte != 0 ? 1 : 0;
}

}  // namespace

void TableState::LoadTableSnapshot(std::span<const std::uint8_t> message, Viewer viewer) {
    auto inPlay = net::ByteAt(message, 2);
    if (!inPlay) return;
    if (*inPlay == 0) {
        for (std::size_t chair = 0; chair < kChairCount; ++chair) {
            if (auto ready = net::ByteAt(message, 4 + chair)) Seats[chair].blnReady = *ready != 0;
        }
        if (auto visible = net::ByteAt(message, 8))
            bytHandVisible = VisibilityFrom(*visible, viewer);
        blnHandIdle = true;
        bytTurnChair = kIdleTurn;
        bytTurnPhase = kIdleTurn;
        return;
    }
    blnHandIdle = false;
    ReadSnapshotBody(message, viewer);
    WildsToFront();
}

void TableState::ReadSnapshotBody(std::span<const std::uint8_t> message, Viewer viewer) {
    net::ByteReader reader(message, 4);
    for (SeatState& seat : Seats) {
        if (!ReadMelds(reader, seat.Melds)) return;
    }
    for (SeatState& seat : Seats) {
        if (!ReadTileList(reader, seat.Discards)) return;
    }
    for (SeatState& seat : Seats) {
        if (!ReadInto(reader, seat.lngWallHead) || !ReadInto(reader, seat.lngWallTail) ||
            !ReadInto(reader, seat.bytTing)) {
            return;
        }
    }
    for (SeatState& seat : Seats) {
        if (!ReadInto(reader, seat.bytNoWin)) return;
    }
    for (SeatState& seat : Seats) {
        if (!ReadInto(reader, seat.bytBetChoice)) return;
    }
    if (!ReadTileList(reader, bytMyHand)) return;
    for (std::uint8_t* field : {&bytDealerChair, &bytHeadWallChair, &bytTailWallChair,
                                &bytTurnChair, &bytTurnPhase, &bytCurTile}) {
        if (!ReadInto(reader, *field)) return;
    }
    std::uint8_t visible = 0;
    if (!ReadInto(reader, visible)) return;
    bytHandVisible = VisibilityFrom(visible, viewer);
    for (std::uint8_t* field : {&bytWildIndicator, &bytWildTile, &bytReserved, &bytDiscardCount}) {
        if (!ReadInto(reader, *field)) return;
    }
}

bool TableState::IsPassedKongTile(TileCode tile) const {
    return std::find(bytPassedKongTiles.begin(), bytPassedKongTiles.end(), tile) !=
           bytPassedKongTiles.end();
}

void TableState::AddPassedKongTile(TileCode tile) {
    if (IsPassedKongTile(tile) || bytPassedKongTiles.size() >= kDistinctTiles) return;
    bytPassedKongTiles.push_back(tile);
}

}  // namespace qira::rules
