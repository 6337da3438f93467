#include "play/discard_hint.h"

#include "play/client_session.h"

namespace qira::play {
namespace {

constexpr std::uint32_t kHintSeed = 1;

void SeeMeld(bots::BotView& view, const rules::MeldRecord& meld) {
    using rules::MeldKind;
    if (meld.bytKind == MeldKind::Chow) {
        for (int t = meld.bytTile; t < meld.bytTile + 3; ++t)
            if (rules::IsTileCode(t))
                ++view.seen[rules::KindIndex(static_cast<rules::TileCode>(t))];
        return;
    }
    if (rules::IsTileCode(meld.bytTile))
        view.seen[rules::KindIndex(meld.bytTile)] += meld.bytKind == MeldKind::Pung ? 3 : 4;
}

}  // namespace

bots::BotView LocalBotView(const rules::TableState& table) {
    bots::BotView view;
    const int me = table.bytMyChair % rules::kChairCount;
    view.self = me;
    view.hand = table.bytMyHand;
    view.melds.assign(table.MyMelds().begin(), table.MyMelds().end());
    view.wild = table.bytWildTile;
    view.indicator = table.bytWildIndicator;
    view.noWin = table.Seats[me].bytNoWin != 0;
    view.ting = table.Seats[me].bytTing != 0;
    view.freshTile = table.bytCurTile;
    if (rules::IsTileCode(view.indicator)) ++view.seen[rules::KindIndex(view.indicator)];
    for (int chair = 0; chair < rules::kChairCount; ++chair) {
        const auto& seat = table.Seats[chair];
        for (rules::TileCode tile : seat.Discards)
            if (rules::IsTileCode(tile)) ++view.seen[rules::KindIndex(tile)];
        view.discards[chair] = seat.Discards;
        view.declaredReady[chair] = seat.bytTing != 0;
        for (const auto& meld : seat.Melds) {
            // Another chair's concealed kong shows nothing.
            if (meld.bytKind == rules::MeldKind::ConcealedKong && chair != me) continue;
            SeeMeld(view, meld);
            if (meld.bytKind != rules::MeldKind::ConcealedKong) ++view.exposedMelds[chair];
        }
    }
    return view;
}

Hint HintFor(const rules::TableState& table, const OfferData& offer, bool ownTurn) {
    const bots::BotView view = LocalBotView(table);
    bots::BotBrain expert(bots::BotStyle::Expert, kHintSeed);
    Hint hint;
    if (ownTurn) {
        if (offer.Offered(ActionButton::Win)) {
            hint.action = ActionButton::Win;
            return hint;
        }
        if (offer.Offered(ActionButton::Kong) && expert.ChooseOwnKong(view))
            hint.action = ActionButton::Kong;
        else if (!view.hand.empty())
            hint.discard = expert.ChooseDiscard(view);
        if (!hint.action && offer.AnyOffered()) hint.action = ActionButton::Pass;
        return hint;
    }
    const rules::TileCode discard = table.bytCurTile;
    if (offer.Offered(ActionButton::Win))
        hint.action = ActionButton::Win;
    else if (offer.Offered(ActionButton::Kong) && expert.WantsExposedKong(view, discard))
        hint.action = ActionButton::Kong;
    else if (offer.Offered(ActionButton::Pung) && expert.WantsPung(view, discard))
        hint.action = ActionButton::Pung;
    else if (offer.Offered(ActionButton::Chow) && expert.ChooseChow(view, discard))
        hint.action = ActionButton::Chow;
    else if (offer.AnyOffered())
        hint.action = ActionButton::Pass;
    return hint;
}

}  // namespace qira::play
