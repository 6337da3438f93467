#include "play/discard_hint.h"

#include "bots/sampling.h"
#include "play/client_session.h"

namespace qira::play {
namespace {

constexpr std::uint32_t kHintSeed = 1;

}  // namespace

Hint HintFor(const bots::SeatKnowledge& seat, const OfferData& offer, bool ownTurn, bool strong) {
    const bots::BotView view = bots::ViewOf(seat);
    bots::BotBrain expert(strong ? bots::BotStyle::Searcher : bots::BotStyle::Expert, kHintSeed);
    // The player waits for the mark: level 4 stops at its time whatever.
    expert.set_budget(bots::kDefaultBudgetMs, true);
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
    const rules::TileCode discard = seat.current;
    if (offer.Offered(ActionButton::Win)) {
        hint.action = ActionButton::Win;
    } else if (strong) {
        const auto claim =
            expert.ChooseClaim(view, discard, seat.turn, offer.Offered(ActionButton::Kong));
        hint.action = !claim                                 ? ActionButton::Pass
                      : claim->kind == rules::MeldKind::Chow ? ActionButton::Chow
                      : claim->kind == rules::MeldKind::Pung ? ActionButton::Pung
                                                             : ActionButton::Kong;
        if (!offer.Offered(*hint.action)) hint.action = ActionButton::Pass;
        if (!offer.AnyOffered()) hint.action.reset();
    } else if (offer.Offered(ActionButton::Kong) && expert.WantsExposedKong(view, discard)) {
        hint.action = ActionButton::Kong;
    } else if (offer.Offered(ActionButton::Pung) && expert.WantsPung(view, discard)) {
        hint.action = ActionButton::Pung;
    } else if (offer.Offered(ActionButton::Chow) && expert.ChooseChow(view, discard)) {
        hint.action = ActionButton::Chow;
    } else if (offer.AnyOffered()) {
        hint.action = ActionButton::Pass;
    }
    return hint;
}

}  // namespace qira::play
