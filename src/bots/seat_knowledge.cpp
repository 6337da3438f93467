#include "bots/seat_knowledge.h"

#include <algorithm>

#include "net/claims.h"
#include "net/game_messages.h"
#include "rules/table_state.h"

namespace qira::bots {
namespace {

using rules::MeldKind;

bool IsChair(int chair) {
    return chair >= 0 && chair < rules::kChairCount;
}

void RemoveFromHand(SeatKnowledge& seat, Tile tile, int copies = 1) {
    for (int i = 0; i < copies; ++i) {
        const auto it = std::find(seat.hand.begin(), seat.hand.end(), tile);
        if (it != seat.hand.end()) seat.hand.erase(it);
    }
}

void MarkClaimed(SeatKnowledge& seat, int chair) {
    if (!seat.discards.empty() && seat.discards.back().claimedBy < 0)
        seat.discards.back().claimedBy = chair;
}

void OnNewHand(SeatKnowledge& seat, std::span<const std::uint8_t> m) {
    const auto start = net::DecodeNewHand(m);
    if (!start) return;
    const int self = seat.self;
    const Tile fresh = seat.fresh;
    const Tile current = seat.current;
    seat = SeatKnowledge{};
    seat.self = self;
    seat.fresh = fresh;
    seat.current = current;
    seat.running = true;
    seat.wild = start->wild;
    seat.indicator = start->indicator;
    seat.dealer = start->dealer;
    seat.turn = start->turnChair;
    seat.phase = net::phase::kSideBets;
    seat.bets.fill(net::kBetsNotChosen);
    // The indicator and the deal (13 tiles a chair and the dealer's 14th) are gone.
    seat.wallLeft = rules::kTilesInSet - 1 - (13 * rules::kChairCount + 1);
}

void OnDeal(SeatKnowledge& seat, std::span<const std::uint8_t> m) {
    const auto deal = net::DecodeSideBetsOrDeal(m);
    if (!deal || deal->chair != seat.self) return;
    seat.hand.assign(deal->tiles.begin(), deal->tiles.end());
    seat.fresh = seat.current = deal->tile;
    seat.turn = seat.dealer;
    seat.phase = net::phase::kDrew;
}

void Drew(SeatKnowledge& seat, int chair, Tile tile) {
    --seat.wallLeft;
    seat.turn = chair;
    seat.current = tile;
    seat.phase = net::phase::kDrew;
    if (chair != seat.self) return;
    seat.hand.push_back(tile);
    seat.fresh = tile;
}

void OnDiscarded(SeatKnowledge& seat, const net::DiscardMessage& discard) {
    const int chair = discard.chair;
    if (chair == seat.self) {
        RemoveFromHand(seat, discard.tile);
        if (discard.tile == seat.wild) seat.noWin = true;
    }
    if (IsChair(chair)) {
        seat.discards.push_back({chair, discard.tile});
        if (discard.ting) seat.ready[chair] = true;
    }
    if (discard.nextChair < rules::kChairCount)
        return Drew(seat, discard.nextChair, discard.nextTile);
    seat.turn = chair;
    seat.current = discard.tile;
    seat.phase = net::phase::kDiscarded;
}

// A chow or pung of the discard in play: the claimed tile is already counted
// as a discard, the others came from the claimer's hand.
void OnMeld(SeatKnowledge& seat, const net::ChairTileMessage& meld, net::ClaimKind claim) {
    const auto kind = static_cast<MeldKind>(net::RowOf(claim).meld);
    const int chair = meld.chair;
    const Tile tile = meld.tile;
    if (chair == seat.self) {
        seat.fresh = 0;  // the turn began with a claim
        if (kind == MeldKind::Chow) {
            for (int t = tile; t < tile + 3; ++t)
                if (t != seat.current) RemoveFromHand(seat, static_cast<Tile>(t));
        } else {
            RemoveFromHand(seat, tile, 2);
        }
    }
    if (IsChair(chair)) {
        seat.melds[chair].push_back({kind, tile, static_cast<std::uint8_t>(seat.turn)});
        MarkClaimed(seat, chair);
    }
    seat.turn = chair;
    seat.current = tile;
    seat.phase = net::RowOf(claim).phase;
}

void OnKong(SeatKnowledge& seat, const net::KongMessage& kong) {
    const auto kind = static_cast<MeldKind>(kong.kind);
    const int chair = kong.chair;
    const Tile tile = kong.tile;
    const bool onDiscard = seat.phase == net::phase::kDiscarded;
    const bool mine = chair == seat.self;
    --seat.wallLeft;  // the replacement
    if (IsChair(chair)) {
        auto& melds = seat.melds[chair];
        if (onDiscard) {
            if (mine) RemoveFromHand(seat, tile, 3);
            melds.push_back({kind, tile, static_cast<std::uint8_t>(seat.turn)});
            MarkClaimed(seat, chair);
        } else if (kind == MeldKind::ConcealedKong) {
            if (mine) RemoveFromHand(seat, tile, 4);
            melds.push_back({kind, tile, static_cast<std::uint8_t>(chair)});
        } else {
            if (mine) RemoveFromHand(seat, tile, 1);
            for (Meld& meld : melds)
                if (meld.bytKind == MeldKind::Pung && meld.bytTile == tile)
                    meld.bytKind = MeldKind::ExposedKong;
        }
    }
    if (mine) {
        seat.hand.push_back(kong.replacement);
        seat.fresh = kong.replacement;
    }
    seat.turn = chair;
    seat.current = tile;
    seat.phase = kong.kind;
}

void OnThreeIndicators(SeatKnowledge& seat, std::span<const std::uint8_t> m) {
    const auto indicators = net::DecodeThreeIndicators(m);
    if (!indicators || !IsChair(indicators->chair)) return;
    const std::uint8_t chair = indicators->chair;
    if (chair == seat.self) RemoveFromHand(seat, seat.indicator, 3);
    seat.melds[chair].push_back({MeldKind::Pung, seat.indicator, chair});
}

// The snapshot is read by the client's table state, the one reader of it.
void OnSnapshot(SeatKnowledge& seat, std::span<const std::uint8_t> m) {
    if (m.size() < 4 || m[2] == 0) {
        seat.running = false;
        seat.phase = net::phase::kIdle;
        return;
    }
    rules::TableState table;
    table.bytMyChair = static_cast<std::uint8_t>(seat.self);
    table.LoadTableSnapshot(m, rules::Viewer::Player);
    SeatKnowledge read;
    read.self = seat.self;
    read.running = true;
    for (int c = 0; c < rules::kChairCount; ++c) {
        const rules::SeatState& chair = table.Seats[c];
        read.melds[c] = chair.Melds;
        for (Tile tile : chair.Discards) read.discards.push_back({c, tile});
        read.ready[c] = chair.bytTing != 0;
        read.bets[c] = chair.bytBetChoice;
        if (c == seat.self) read.noWin = chair.bytNoWin != 0;
    }
    read.hand = table.bytMyHand;
    read.dealer = table.bytDealerChair;
    read.turn = table.bytTurnChair;
    read.phase = table.bytTurnPhase;
    read.current = read.fresh = table.bytCurTile;
    read.indicator = table.bytWildIndicator;
    read.wild = table.bytWildTile;
    read.wallLeft = rules::kTilesInSet;  // not in the snapshot: assume tiles are left
    seat = std::move(read);
}

// The facts of the hand in each server message; the rest tell none.
struct Learner {
    using Message = std::span<const std::uint8_t>;
    SeatKnowledge& seat;

    void ReceiveOnlookerArrived(Message) {}
    void ReceiveTableReset(Message) {}
    void ReceiveUserList(Message) {}
    void ReceiveIdentity(Message) {}
    void ReceiveUserArrived(Message) {}
    void ReceiveWindowHidden(Message) {}
    void ReceivePlayerBack(Message) {}
    void ReceivePlayerDropped(Message) {}
    void ReceiveOnlookerLeft(Message) {}
    void ReceiveRefreshUser(Message) {}
    void ReceiveUserLeft(Message) {}
    void ReceiveSettings(Message) {}
    void ReceiveHandRaised(Message) {}
    void ReceiveSnapshot(Message m) { OnSnapshot(seat, m); }
    void ReceiveChatLine(Message) {}
    void ReceiveNewHand(Message m) { OnNewHand(seat, m); }
    void ReceiveBetChosen(Message m) {
        if (const auto bets = net::DecodeChairTile(m); bets && IsChair(bets->chair))
            seat.bets[bets->chair] = bets->tile;
    }
    void ReceiveDeal(Message m) { OnDeal(seat, m); }
    void ReceiveReadyForNext(Message) {}
    void ReceiveDraw(Message m) {
        if (const auto draw = net::DecodeChairTile(m)) Drew(seat, draw->chair, draw->tile);
    }
    void ReceiveDiscarded(Message m) {
        if (const auto discard = net::DecodeDiscard(m)) OnDiscarded(seat, *discard);
    }
    void ReceiveChowed(Message m) {
        if (const auto meld = net::DecodeChairTile(m)) OnMeld(seat, *meld, net::ClaimKind::Chow);
    }
    void ReceivePunged(Message m) {
        if (const auto meld = net::DecodeChairTile(m)) OnMeld(seat, *meld, net::ClaimKind::Pung);
    }
    void ReceiveKonged(Message m) {
        if (const auto kong = net::DecodeKong(m)) OnKong(seat, *kong);
    }
    void ReceiveThreeIndicators(Message m) { OnThreeIndicators(seat, m); }
    void ReceiveMayRobKong(Message m) {
        const auto offer = net::DecodeRobKongOffer(m);
        if (!offer || offer->chair != seat.self) return;
        seat.turn = seat.self;
        seat.phase = net::phase::kRobKong;
    }
    void ReceiveHandResync(Message m) {
        // A count beyond the message's end is no hand to keep.
        const auto resync = net::DecodeHandResync(m);
        if (!resync || resync->tiles.size() < resync->count) return;
        seat.hand.assign(resync->tiles.begin(), resync->tiles.end());
    }
    void ReceiveWinRecord(Message) { EndHand(); }
    void ReceiveDrawnGame(Message) { EndHand(); }
    void ReceiveNotice(Message) {}
    void ReceiveMustStop(Message) {}
    void ReceiveWatchPermission(Message) {}
    void ReceiveChatRelay(Message) {}
    void ReceiveItemCatalogue(Message) {}
    void ReceiveOwnItems(Message) {}
    void ReceiveItemNotice(Message) {}
    void ReceiveItemUsed(Message) {}

    void EndHand() {
        seat.running = false;
        seat.phase = net::phase::kIdle;
    }
};

}  // namespace

void Learn(SeatKnowledge& seat, std::span<const std::uint8_t> message) {
    Learner learner{seat};
    net::DispatchServerMessage(learner, message);
}

BotView ViewOf(const SeatKnowledge& seat) {
    BotView view;
    view.self = seat.self;
    view.hand = seat.hand;
    view.wild = seat.wild;
    view.indicator = seat.indicator;
    view.noWin = seat.noWin;
    view.freshTile = seat.fresh;
    const auto see = [&view](int tile, int copies) {
        if (rules::IsTileCode(tile)) view.seen[rules::KindIndex(static_cast<Tile>(tile))] += copies;
    };
    see(seat.indicator, 1);
    for (const auto& discard : seat.discards) {
        see(discard.tile, 1);
        view.discards[discard.chair].push_back(discard.tile);
        view.discardLog.emplace_back(discard.chair, discard.tile);
        // A tile another chair claimed is counted again with its meld.
        if (discard.claimedBy >= 0 && discard.claimedBy != seat.self) see(discard.tile, -1);
        if (discard.claimedBy == seat.self && rules::IsTileCode(discard.tile))
            --view.ownMeldTiles[rules::KindIndex(discard.tile)];
    }
    for (int c = 0; c < rules::kChairCount; ++c) {
        view.declaredReady[c] = seat.ready[c];
        for (const Meld& meld : seat.melds[c]) {
            if (meld.bytKind == MeldKind::ConcealedKong) continue;
            if (meld.bytSource != c) ++view.exposedMelds[c];
            if (c == seat.self) continue;  // the own tiles are not counted as seen
            if (meld.bytKind == MeldKind::Chow)
                for (int t = meld.bytTile; t < meld.bytTile + 3; ++t) see(t, 1);
            else
                see(meld.bytTile, meld.bytKind == MeldKind::Pung ? 3 : 4);
        }
    }
    if (IsChair(seat.self)) {
        view.melds = seat.melds[seat.self];
        view.ting = seat.ready[seat.self];
        for (const Meld& meld : view.melds)
            for (Tile tile : TilesOfMeld(meld))
                if (rules::IsTileCode(tile)) ++view.ownMeldTiles[rules::KindIndex(tile)];
    }
    view.tableMelds = seat.melds;
    // Another chair's concealed kong shows no face, whoever built the knowledge
    // (the server's own for an absent player holds the real tiles).
    for (int c = 0; c < rules::kChairCount; ++c)
        for (Meld& meld : view.tableMelds[c])
            if (c != seat.self && meld.bytKind == MeldKind::ConcealedKong)
                meld.bytTile = net::kFaceDownTileCode;
    view.wallLeft = seat.wallLeft;
    view.dealer = seat.dealer;
    for (int c = 0; c < rules::kChairCount; ++c)
        view.bets[c] = seat.bets[c] == net::kBetsNotChosen ? 0 : seat.bets[c] & 3;
    return view;
}

}  // namespace qira::bots
