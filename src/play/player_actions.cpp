// The local player's actions: discarding, the claim offer on another chair's
// discard, the offer on the own turn, the action buttons and the questions
// (wild discard, three wild indicators, robbing a kong).
#include "net/claims.h"
#include "net/requests.h"
#include "play/client_session.h"
#include "play/discard_hint.h"
#include "play/table_words.h"
#include "rules/claim_options.h"
#include "rules/win_analysis.h"

namespace qira::play {
namespace {

bool HoldsFullHand(const rules::TableState& table) {
    return table.bytMyHand.size() % 3 == 2;
}

std::size_t ButtonIndex(ActionButton button) {
    return static_cast<std::size_t>(button);
}

std::string OfferedNames(const OfferData& offer) {
    std::string names;
    for (int index = 0; index < kActionButtonCount; ++index)
        if (offer.Offered(static_cast<ActionButton>(index)))
            names += (names.empty() ? "" : " / ") + ActionName(static_cast<ActionButton>(index));
    return names;
}

}  // namespace

rules::TileCode ClientSession::FreshTile() const {
    const auto turnPhase = table_.bytTurnPhase;
    if (turnPhase == phase::kConcealedKong || turnPhase == phase::kExposedKong)
        return turn_.bytReplacementTile;
    return table_.bytCurTile;
}

bool ClientSession::MayDiscardNow() const {
    return !ended_ && !IsOnlooker() && turn_.blnInputReady && host_.clock.IsVisible() &&
           host_.clock.Tag() == table_.bytMyChair && IsMyChair(table_.bytTurnChair) &&
           table_.bytTurnPhase != phase::kDiscarded && HoldsFullHand(table_);
}

std::string ClientSession::WhyNoDiscard() const {
    if (MayDiscardNow()) return {};
    if (IsOnlooker()) return "你在旁观，不能出牌";
    const auto turnPhase = table_.bytTurnPhase;
    if (table_.blnHandIdle || turnPhase == phase::kIdle) return "现在没有在打牌";
    if (turnPhase == phase::kSideBets) return "请先选择押注";
    if (offer_.AnyOffered()) return "请先选择 " + OfferedNames(offer_);
    if (!IsMyChair(table_.bytTurnChair) || turnPhase == phase::kDiscarded || !HoldsFullHand(table_))
        return "还没轮到你出牌";
    return "你已经出过牌了";
}

// A click that cannot be played says why, unobtrusively, when the player
// asked for it; otherwise it is ignored as ever.
void ClientSession::ExplainRefusal(std::string why) {
    if (ended_ || why.empty() || !host_.preferences.WrongOutPrompt()) return;
    Announce(std::move(why));
    if (refusalListener_) refusalListener_(statusLine_);
}

void ClientSession::OnHandTileClick(int position, MouseButton button) {
    if (button != MouseButton::Left) return;
    if (!MayDiscardNow()) return ExplainRefusal(WhyNoDiscard());
    if (position < 1 || static_cast<std::size_t>(position) > table_.bytMyHand.size()) return;
    const rules::TileCode tile = table_.bytMyHand[static_cast<std::size_t>(position) - 1];
    if (table_.Seats[table_.bytMyChair].bytTing != 0) {
        const rules::TileCode fresh = FreshTile();
        if (tile != fresh) {
            // A rule the player must know, so it is said whatever the
            // preference; but as a line, not a box to dismiss mid-turn.
            Announce("你已经听牌了，必须打出刚抓到的牌！");
            if (refusalListener_) refusalListener_(statusLine_);
            return;
        }
        StopTurnClock();
        SendDiscard(fresh);
        return;
    }
    if (table_.IsWild(tile)) {
        GlobalMsg question;
        question.type = MsgType::TwoButtons;
        question.note = "打出混牌后就不能再胡牌了！你真的要打吗？";
        question.caption = "Qira麻将";
        question.noCaption = "取消";
        const auto serial = evaluationSerial_;
        if (!ShowPrompt(question)) return;
        // While the question waited the turn may have moved on (or the clock
        // may have discarded for the player): only the same turn may discard.
        if (serial != evaluationSerial_ || !MayDiscardNow()) return;
    }
    StopTurnClock();
    SendDiscard(tile);
}

void ClientSession::ShowHint(bool ownTurn) {
    if (!host_.preferences.DiscardHint() || IsOnlooker()) return;
    const Hint hint = HintFor(knowledge_, offer_, ownTurn, host_.preferences.StrongHint());
    offer_.hintDiscard = hint.discard;
    offer_.hintAction = hint.action;
    if (hint.discard) host_.painter.PaintLocalHand();
}

void ClientSession::SendDiscard(rules::TileCode tile) {
    if (offer_.hintDiscard) {
        offer_.hintDiscard.reset();
        host_.painter.PaintLocalHand();
    }
    Send(net::requests::Discard(table_.bytMyChair, tile, 0, table_.bytFirstWinningTile));
}

void ClientSession::OfferClaims() {
    offer_ = OfferData{.bytChosenChow = offer_.bytChosenChow};
    host_.painter.PaintActionBar();
    const Chair discarder = table_.bytTurnChair;
    if (table_.bytTurnPhase != phase::kDiscarded || IsMyChair(discarder) || IsOnlooker()) return;
    const rules::TileCode discard = table_.bytCurTile;
    auto& buttons = offer_.bytActionButtons;
    const bool ready = table_.Seats[table_.bytMyChair].bytTing != 0;
    const bool wild = table_.IsWild(discard);
    if (!ready && !wild) {
        if ((table_.bytMyChair + 3) % rules::kChairCount == discarder) {
            table_.bytChowChoices.clear();
            if (rules::ChowOptions(table_, discard, table_.bytChowChoices))
                buttons[ButtonIndex(ActionButton::Chow)] = 1;
        }
        if (rules::PungOption(table_, discard)) buttons[ButtonIndex(ActionButton::Pung)] = 1;
    }
    if (ready || !wild) {
        const auto kong = rules::KongOption(table_, discard, rules::Turn::Other);
        if (kong && (!ready || rules::KongKeepsReady(table_, discard, *kong)) &&
            !table_.IsPassedKongTile(discard)) {
            buttons[ButtonIndex(ActionButton::Kong)] = 1;
            offer_.bytOfferedKongKind = static_cast<std::uint8_t>(*kong);
            offer_.bytOfferedKongTile = discard;
        }
        if (rules::CanWinWith(table_, discard) && turn_.blnMayWinOnDiscard)
            buttons[ButtonIndex(ActionButton::Win)] = 1;
    }
    if (offer_.AnyOffered()) {
        buttons[ButtonIndex(ActionButton::Pass)] = 1;
        ShowHint(false);
        host_.painter.PaintActionBar();
        StartTurnClock(kClaimWindowTag);
        Announce(OfferWords(offer_));
    } else {
        Send(net::requests::Pass(table_.bytMyChair));
    }
}

bool ClientSession::AskThreeIndicators() {
    GlobalMsg question;
    question.type = MsgType::TwoButtons;
    question.note = "你手中有三张混皮子，是否要当作杠来计分？如果不作杠，本局结束时将不记分。";
    question.caption = GameTitle();
    question.yesCaption = "当作杠";
    question.noCaption = "不作杠";
    threeIndicatorQuestionOpen_ = true;
    const bool count = ShowPrompt(question);
    threeIndicatorQuestionOpen_ = false;
    if (!count) return false;
    if (ended_) return true;
    Send(net::requests::ThreeIndicatorKong(table_.bytMyChair));
    return true;
}

void ClientSession::OfferOwnTurnActions() {
    offer_ = OfferData{.bytChosenChow = offer_.bytChosenChow};
    host_.painter.PaintActionBar();
    if (table_.bytTurnPhase == phase::kDiscarded || !IsMyChair(table_.bytTurnChair)) return;
    if (IsOnlooker()) {
        StartTurnClock(table_.bytMyChair);
        return;
    }
    // Hands that start while the question waits do not ask again on top of it.
    if (rules::CountWildIndicators(table_) >= 3 && !table_.blnThreeIndicatorAsked &&
        !threeIndicatorQuestionOpen_) {
        const auto serial = evaluationSerial_;
        if (!CatchUpBeforePrompt()) return;
        table_.blnThreeIndicatorAsked = true;
        if (AskThreeIndicators()) return;
        // Messages that came while the question waited have evaluated the
        // turn again; their evaluation stands.
        if (ended_ || serial != evaluationSerial_) return;
    }
    const auto turnPhase = table_.bytTurnPhase;
    const bool ready = table_.Seats[table_.bytMyChair].bytTing != 0;
    const rules::TileCode fresh = FreshTile();
    auto& buttons = offer_.bytActionButtons;
    if (turnPhase != phase::kChowed && turnPhase != phase::kPunged) {
        rules::TileCode kongTile = fresh;
        auto kong = rules::KongOption(table_, kongTile, rules::Turn::Own);
        if (!kong) kong = rules::FindOwnKong(table_, kongTile);
        if (kong && (!ready || rules::KongKeepsReady(table_, kongTile, *kong)) &&
            !table_.IsPassedKongTile(kongTile)) {
            buttons[ButtonIndex(ActionButton::Kong)] = 1;
            offer_.bytOfferedKongKind = static_cast<std::uint8_t>(*kong);
            offer_.bytOfferedKongTile = kongTile;
        }
        if (rules::CanWinWith(table_, fresh)) buttons[ButtonIndex(ActionButton::Win)] = 1;
    }
    if (offer_.AnyOffered()) {
        buttons[ButtonIndex(ActionButton::Pass)] = 1;
        ShowHint(true);
        host_.painter.PaintActionBar();
        StartTurnClock(kClaimWindowTag);
        Announce(OfferWords(offer_));
        return;
    }
    if (!ready) ShowHint(true);
    StartTurnClock(table_.bytMyChair);
    if (!ready) AnnounceOwnTurn();
    if (ready) {
        StopTurnClock();
        SendDiscard(fresh);
    }
}

void ClientSession::DeclineOffers(bool kongOffered, bool winOffered) {
    if (kongOffered) table_.AddPassedKongTile(offer_.bytOfferedKongTile);
    if (winOffered) turn_.blnMayWinOnDiscard = false;
}

void ClientSession::OnActionButton(int index, MouseButton button) {
    if (ended_ || button != MouseButton::Left || index < 0 || index >= kActionButtonCount) return;
    const auto pressed = static_cast<ActionButton>(index);
    if (!offer_.Offered(pressed)) {
        if (!IsOnlooker()) ExplainRefusal("现在不能" + ActionName(pressed));
        return;
    }
    const bool kongOffered = offer_.Offered(ActionButton::Kong);
    const bool winOffered = offer_.Offered(ActionButton::Win);
    StopTurnClock();
    ClearActionButtons();
    if (IsOnlooker()) return;
    const Chair me = table_.bytMyChair;
    const auto claimStillOpen = [this] {
        return table_.bytTurnPhase == phase::kDiscarded && !IsMyChair(table_.bytTurnChair);
    };
    switch (pressed) {
        case ActionButton::Chow: {
            DeclineOffers(kongOffered, winOffered);
            if (!claimStillOpen() || table_.bytChowChoices.empty()) return;
            if (table_.bytChowChoices.size() == 1) {
                offer_.bytChosenChow = table_.bytChowChoices.front();
            } else {
                const std::vector<rules::TileCode> choices = table_.bytChowChoices;
                const auto serial = evaluationSerial_;
                DeliverHeldMessages();
                offer_.bytChosenChow = host_.chowChooser.ChooseChow(choices);
                // The chooser waited; the discard may have been claimed or
                // passed meanwhile, and another discard may wait for claims.
                if (ended_ || serial != evaluationSerial_ || !claimStillOpen()) return;
            }
            Send(net::requests::Chow(me, offer_.bytChosenChow));
            return;
        }
        case ActionButton::Pung:
            DeclineOffers(kongOffered, winOffered);
            if (claimStillOpen()) Send(net::requests::Pung(me, table_.bytCurTile));
            return;
        case ActionButton::Kong:
            if (winOffered) turn_.blnMayWinOnDiscard = false;
            Send(net::requests::Kong(me, offer_.bytOfferedKongKind, offer_.bytOfferedKongTile));
            return;
        case ActionButton::Win:
            Send(net::requests::Win(me));
            return;
        case ActionButton::Pass:
            if (IsMyChair(table_.bytTurnChair)) {
                if (kongOffered) table_.AddPassedKongTile(offer_.bytOfferedKongTile);
                StartTurnClock(me);
                AnnounceOwnTurn();
            } else if (table_.bytTurnPhase == phase::kDiscarded) {
                DeclineOffers(kongOffered, winOffered);
                Send(net::requests::Pass(me));
            }
            return;
    }
}

void ClientSession::AskRobKong() {
    // An offer repeated while the question waits is answered by that question.
    if (robKongQuestionOpen_ || !CatchUpBeforePrompt()) return;
    GlobalMsg question;
    question.type = MsgType::TwoButtons;
    question.note = "恭喜你！你现在可以抢杠胡！要胡吗？";
    Announce("你可以抢杠胡");
    question.caption = "Qira麻将";
    question.noCaption = "取消";
    robKongQuestionOpen_ = true;
    const bool rob = ShowPrompt(question);
    robKongQuestionOpen_ = false;
    if (ended_) return;
    Send(net::requests::RobKongAnswer(table_.bytMyChair, rob));
}

}  // namespace qira::play
