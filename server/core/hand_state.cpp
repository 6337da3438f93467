#include "server/core/hand_state.h"

#include <algorithm>

namespace qira::server {

bool Holds(std::span<const Tile> tiles, Tile tile, int copies) {
    return std::count(tiles.begin(), tiles.end(), tile) >= copies;
}

void RemoveOne(std::vector<Tile>& tiles, Tile tile) {
    const auto it = std::find(tiles.begin(), tiles.end(), tile);
    if (it != tiles.end()) tiles.erase(it);
}

HandEvent& HandState::Note(int chair, Act act, Tile tile) {
    HandEvent& event = events.emplace_back();
    event.chair = chair;
    event.act = act;
    event.tile = tile;
    return event;
}

HandInfo HandState::InfoOf(int chair) const {
    const SeatHand& seat = seats[chair];
    return HandInfo{seat.hand, seat.melds, wild, seat.noWin};
}

std::vector<Tile> HandState::HandAsKept(int chair) const {
    std::vector<Tile> tiles = seats[chair].hand;
    std::sort(tiles.begin(), tiles.end());
    const bool drewLast = stage == Stage::Turn && turn == chair && turnKind != TurnKind::Claimed &&
                          Holds(tiles, fresh);
    if (drewLast) {
        RemoveOne(tiles, fresh);
        tiles.push_back(fresh);
    }
    std::stable_partition(tiles.begin(), tiles.end(), [this](Tile tile) { return tile == wild; });
    return tiles;
}

std::vector<Tile> HandState::HandAsSeenBy(int chair, bool visible) const {
    if (visible) return HandAsKept(chair);
    return std::vector<Tile>(seats[chair].hand.size(), rules::kFaceDownTile);
}

bool HandState::AllBetsChosen() const {
    return std::all_of(seats.begin(), seats.end(),
                       [](const SeatHand& s) { return s.bets != net::kBetsNotChosen; });
}

void HandState::Start(std::mt19937& random, std::span<const Tile> stacked) {
    seats = {};
    events.clear();
    seed = (std::uint64_t{random()} << 32) | random();
    dice = static_cast<std::uint8_t>(random() % 6 + 1);
    const auto head = static_cast<std::uint8_t>((dealer + dice - 1) % 4);
    wall.Build(seed, head, stacked);
    indicator = *wall.DrawBack();
    wild = WildAfterIndicator(indicator);
    for (int round = 0; round < 13; ++round)
        for (int i = 0; i < rules::kChairCount; ++i)
            seats[(dealer + i) % 4].hand.push_back(*wall.DrawFront());
    fresh = *wall.DrawFront();
    seats[dealer].hand.push_back(fresh);
    for (int c = 0; c < rules::kChairCount; ++c) dealt[c] = seats[c].hand;
    winTile.reset();
    winDiscarder.reset();
    discardCount = 0;
    discardAfterKong = false;
    stage = Stage::Bets;
}

void HandState::BeginTurn(int chair, TurnKind kind, std::uint8_t turnPhase, Tile current,
                          Tile freshTile) {
    stage = Stage::Turn;
    turn = chair;
    turnKind = kind;
    phase = turnPhase;
    curTile = current;
    fresh = freshTile;
}

std::optional<Tile> HandState::DrawInto(int chair) {
    const auto tile = wall.DrawFront();
    if (!tile) return std::nullopt;
    seats[chair].hand.push_back(*tile);
    seats[chair].discardWinBarred = false;
    Note(chair, Act::Draw, *tile).end = WallEnd::Head;
    return tile;
}

bool HandState::Discard(int chair, Tile tile, bool declaresReady) {
    SeatHand& seat = seats[chair];
    RemoveOne(seat.hand, tile);
    Note(chair, Act::Discard, tile);
    seat.hasDiscarded = true;
    if (tile == wild) seat.noWin = true;
    bool nowReady = false;
    if (declaresReady && !seat.ting && FirstWinningTile(InfoOf(chair))) {
        seat.ting = true;
        nowReady = true;
        Note(chair, Act::Ting, tile);
    }
    ++discardCount;
    discardAfterKong = turnKind == TurnKind::Replacement;
    return nowReady;
}

void HandState::Chow(int chair, Tile lowest, Tile discard, int discarder) {
    SeatHand& seat = seats[chair];
    for (int t = lowest; t < lowest + 3; ++t)
        if (t != discard) RemoveOne(seat.hand, static_cast<Tile>(t));
    seat.melds.push_back({MeldKind::Chow, lowest, static_cast<std::uint8_t>(discarder)});
    HandEvent& event = Note(chair, Act::Chow, discard);
    event.from = discarder;
    event.meld = {lowest, static_cast<Tile>(lowest + 1), static_cast<Tile>(lowest + 2)};
}

void HandState::Pung(int chair, Tile tile, int discarder) {
    SeatHand& seat = seats[chair];
    RemoveOne(seat.hand, tile);
    RemoveOne(seat.hand, tile);
    seat.melds.push_back({MeldKind::Pung, tile, static_cast<std::uint8_t>(discarder)});
    HandEvent& event = Note(chair, Act::Pung, tile);
    event.from = discarder;
    event.meld.assign(3, tile);
}

std::optional<Tile> HandState::Kong(int chair, MeldKind kind, Tile tile, int source, bool upgrade) {
    SeatHand& seat = seats[chair];
    seat.hand.erase(std::remove(seat.hand.begin(), seat.hand.end(), tile), seat.hand.end());
    if (upgrade) {
        for (Meld& m : seat.melds)
            if (m.bytKind == MeldKind::Pung && m.bytTile == tile) m.bytKind = MeldKind::ExposedKong;
    } else {
        seat.melds.push_back({kind, tile, static_cast<std::uint8_t>(source)});
    }
    if (kind == MeldKind::ConcealedKong && tile == wild)
        seat.wildKong = true;
    else if (kind == MeldKind::ConcealedKong)
        ++seat.concealedKongs;
    else
        ++seat.exposedKongs;
    const KongKind logged = upgrade                           ? KongKind::Added
                            : kind == MeldKind::ConcealedKong ? KongKind::Concealed
                                                              : KongKind::Exposed;
    HandEvent& event = Note(chair, Act::Kong, tile);
    if (logged == KongKind::Exposed) event.from = source;
    event.meld.assign(4, tile);
    event.kind = logged;
    const auto replacement = wall.DrawBack();
    if (!replacement) return std::nullopt;
    seat.hand.push_back(*replacement);
    seat.discardWinBarred = false;
    Note(chair, Act::Draw, *replacement).end = WallEnd::Tail;
    return replacement;
}

void HandState::ThreeIndicators(int chair) {
    SeatHand& seat = seats[chair];
    for (int i = 0; i < 3; ++i) RemoveOne(seat.hand, indicator);
    seat.melds.push_back({MeldKind::Pung, indicator, static_cast<std::uint8_t>(chair)});
    seat.indicatorKong = seat.hasDiscarded ? 1 : 2;
    Note(chair, Act::IndicatorKong, indicator).meld.assign(3, indicator);
}

void HandState::PassWin(int chair, Tile tile, int from, bool robbing) {
    HandEvent& event = Note(chair, Act::PassWin, tile);
    event.from = from;
    event.robbed = robbing;
}

void HandState::Win(std::span<const std::uint8_t> winners, Tile tile, std::optional<int> from,
                    bool robbed) {
    if (!from && !winners.empty()) RemoveOne(seats[winners.front()].hand, tile);
    if (robbed && from) {
        RemoveOne(seats[*from].hand, tile);
        discardAfterKong = true;
    }
    for (const std::uint8_t chair : winners) {
        HandEvent& event = Note(chair, Act::Win, tile);
        event.from = from;
        event.robbed = robbed;
    }
    winTile = tile;
    winDiscarder = from;
}

}  // namespace qira::server
