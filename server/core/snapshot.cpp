#include "server/core/snapshot.h"

namespace qira::server {
namespace {

void WriteMelds(net::Bytes& r, const HandState& hand, int viewedChair) {
    for (int c = 0; c < rules::kChairCount; ++c) {
        const auto& melds = hand.seats[c].melds;
        r.push_back(static_cast<std::uint8_t>(melds.size()));
        for (const Meld& m : melds) {
            const bool hide = m.bytKind == MeldKind::ConcealedKong && c != viewedChair;
            r.push_back(static_cast<std::uint8_t>(m.bytKind));
            r.push_back(hide ? rules::kFaceDownTile : m.bytTile);
            r.push_back(m.bytSource);
        }
    }
}

void WriteSeats(net::Bytes& r, const HandState& hand) {
    for (const SeatHand& s : hand.seats) {
        r.push_back(static_cast<std::uint8_t>(s.discards.size()));
        r.insert(r.end(), s.discards.begin(), s.discards.end());
    }
    const auto wall = hand.wall.SegmentBytes();
    for (int c = 0; c < rules::kChairCount; ++c) {
        r.push_back(wall[c * 2]);
        r.push_back(wall[c * 2 + 1]);
        r.push_back(hand.seats[c].ting ? 1 : 0);
    }
    for (const SeatHand& s : hand.seats) r.push_back(s.noWin ? 1 : 0);
    for (const SeatHand& s : hand.seats)
        r.push_back(hand.stage == Stage::Bets ? s.bets
                                              : (s.bets == net::kBetsNotChosen ? 0 : s.bets));
}

struct TurnView {
    std::uint8_t chair;
    std::uint8_t phase;
    Tile current;
};

// Whose turn the viewer is shown, in which phase, and the current tile as
// far as the viewer may know it.
TurnView TurnAsSeen(const HandState& hand, const RobKongWindow& rob, int viewedChair,
                    bool handVisible) {
    TurnView view{static_cast<std::uint8_t>(hand.turn), hand.phase, hand.curTile};
    if (hand.stage == Stage::Bets) return {hand.dealer, net::phase::kSideBets, 0};
    if (hand.stage == Stage::RobKong) {
        if (rob.Awaits(viewedChair))
            return {static_cast<std::uint8_t>(viewedChair), net::phase::kRobKong,
                    rules::kFaceDownTile};
        return {static_cast<std::uint8_t>(rob.konger()), net::phase::kDrew, rules::kFaceDownTile};
    }
    if (hand.stage == Stage::Turn) {
        // A fresh draw and a concealed kong's tile are known to their owner
        // (and to an onlooker allowed to see that hand) only.
        const bool secret =
            hand.phase == net::phase::kDrew || hand.phase == net::phase::kConcealedKong;
        const bool known = hand.turn == viewedChair && handVisible;
        if (secret && !known) view.current = rules::kFaceDownTile;
    }
    return view;
}

}  // namespace

net::Bytes BuildSnapshot(const HandState& hand, const std::array<bool, rules::kChairCount>& ready,
                         const RobKongWindow& rob, int viewedChair, bool handVisible) {
    net::Bytes r;
    if (!hand.Running()) {
        r.push_back(0);
        r.push_back(0);
        for (const bool isReady : ready) r.push_back(isReady ? 1 : 0);
        r.push_back(handVisible ? 1 : 0);
        return r;
    }
    r.push_back(1);
    r.push_back(0);
    WriteMelds(r, hand, viewedChair);
    WriteSeats(r, hand);
    const auto tiles = hand.HandAsSeenBy(viewedChair, handVisible);
    r.push_back(static_cast<std::uint8_t>(tiles.size()));
    r.insert(r.end(), tiles.begin(), tiles.end());
    const TurnView turn = TurnAsSeen(hand, rob, viewedChair, handVisible);
    for (const std::uint8_t byte :
         {hand.dealer, hand.wall.HeadChair(), hand.wall.TailChair(), turn.chair, turn.phase,
          turn.current, static_cast<std::uint8_t>(handVisible ? 1 : 0), hand.indicator, hand.wild,
          std::uint8_t{0}, static_cast<std::uint8_t>(hand.discardCount)})
        r.push_back(byte);
    return r;
}

}  // namespace qira::server
