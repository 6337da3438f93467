// The turn flow: the evaluation after every message, the turn clock and what
// happens when it runs out, the start countdown, the side bets and the end of
// a hand.
#include <string>

#include "net/requests.h"
#include "play/client_session.h"
#include "play/text_fields.h"

namespace qira::play {
namespace {

bool IsChair(int chair) {
    return chair >= 0 && chair < rules::kChairCount;
}

bool MustDiscard(std::uint8_t turnPhase) {
    return turnPhase == phase::kDrew ||
           (turnPhase >= phase::kChowed && turnPhase <= phase::kExposedKong);
}

bool HoldsFullHand(const rules::TableState& table) {
    return table.bytMyHand.size() % 3 == 2;
}

bool GameButtonsShown(const rules::TableState& table) {
    for (const auto state : table.bytBetButtonStates)
        if (state != game_button::kHidden) return true;
    return false;
}

}  // namespace

void ClientSession::EvaluateTurn() {
    if (ended_) return;
    ++evaluationSerial_;
    const std::uint8_t turnPhase = table_.bytTurnPhase;
    const Chair turnChair = table_.bytTurnChair;
    if (MustDiscard(turnPhase)) {
        if (IsMyChair(turnChair)) {
            // A discard that hands the draw straight on has no claim window
            // to clear the previous chair's mark; the own turn clears it.
            ClearTurnHighlight();
            if (turnPhase == phase::kDrew) turn_.blnMayWinOnDiscard = true;
            if (HoldsFullHand(table_))
                OfferOwnTurnActions();
            else
                Send(net::requests::Resynchronise(table_.bytMyChair));
        } else {
            turn_.bytHighlightChair = turnChair;
            host_.painter.ShowTurnHighlight(turnChair);
            StartTurnClock(turnChair);
        }
    } else if (turnPhase == phase::kDiscarded) {
        ShowNewestDiscard(turnChair, table_.bytCurTile);
        ClearTurnHighlight();
        OfferClaims();
    } else if (turnPhase == phase::kRobKong) {
        if (!IsOnlooker() && IsMyChair(turnChair)) AskRobKong();
    } else if (turnPhase == phase::kIdle) {
        HideStartButton();
        if (!IsOnlooker() && !table_.Seats[table_.bytMyChair % rules::kChairCount].blnReady)
            ShowStartButton();
    } else if (turnPhase == phase::kSideBets) {
        if (!IsOnlooker() && table_.Seats[table_.bytMyChair % rules::kChairCount].bytBetChoice ==
                                 rules::kBetNotChosen)
            ShowGameButtons();
    }
    if (ended_) return;
    turn_.blnInputReady = true;
}

void ClientSession::StartTurnClock(int chair) {
    auto& clock = host_.clock;
    clock.Stop();
    clock.SetVisible(false);
    clock.SetTag(chair);
    clock.MoveTo(chair);
    clock.SetColour(0, 100, 0);
    clock.Start(IsChair(chair) ? kTurnSeconds : kClaimSeconds);
    clock.SetVisible(true);
}

void ClientSession::ClearTurnHighlight() {
    if (turn_.bytHighlightChair == rules::kTableNoChair) return;
    turn_.bytHighlightChair = rules::kTableNoChair;
    host_.painter.ClearTurnHighlight();
}

void ClientSession::StopTurnClock() {
    host_.clock.Stop();
    host_.clock.SetVisible(false);
}

void ClientSession::ClearActionButtons() {
    offer_.bytActionButtons = {};
    host_.painter.PaintActionBar();
}

void ClientSession::ClearTurnDisplay() {
    StopTurnClock();
    ClearActionButtons();
    ClearTurnHighlight();
    HideNewestDiscard();
    HideStartButton();
}

void ClientSession::EndHand() {
    if (IsOnlooker()) ResetForNewHand(rules::ReadyFlags::Clear);
    ClearTurnDisplay();
    if (IsOnlooker())
        host_.painter.PaintTable();
    else
        ShowStartButton();
}

void ClientSession::ShowStartButton() {
    // An onlooker never starts a hand.
    if (IsOnlooker()) return;
    globals_.blnShowStart = true;
    table_.bytStartButtonState = 1;
    turn_.strStartCaption = std::string(kStartCaption);
    turn_.lngStartCount = 1;
    host_.timers.SetTimerRunning(SessionTimer::Start, true);
    host_.painter.UpdateStartButton();
    Announce("可以开始");
}

void ClientSession::HideStartButton() {
    globals_.blnShowStart = false;
    table_.bytStartButtonState = 0;
    host_.timers.SetTimerRunning(SessionTimer::Start, false);
    host_.painter.UpdateStartButton();
}

void ClientSession::OnStartTimerTick() {
    if (ended_) return;
    if (!globals_.blnShowStart) {
        host_.timers.SetTimerRunning(SessionTimer::Start, false);
        return;
    }
    if (turn_.strStartCaption == kStartCaption) {
        bool someoneReady = false;
        for (const auto& seat : table_.Seats)
            if (!TrimBlanks(seat.strPlayerName).empty() && seat.blnReady) someoneReady = true;
        if (!someoneReady) return;
        StartTurnClock(table_.bytMyChair);
    }
    ++turn_.lngStartCount;
    turn_.strStartCaption = std::string(kStartCaption) + " " + std::to_string(turn_.lngStartCount);
}

void ClientSession::OnStartButtonClick() {
    if (ended_ || IsOnlooker() || !globals_.blnShowStart) return;
    StopTurnClock();
    ResetForNewHand(rules::ReadyFlags::Keep);
    ClearTurnDisplay();
    host_.painter.PaintTable();
    if (globals_.bytGameState == 0) {
        if (const auto request = net::requests::RaiseHand(globals_.strUserName())) Send(*request);
    } else {
        Send(net::requests::ReadyForNextHand(table_.bytMyChair));
    }
}

void ClientSession::ShowGameButtons() {
    turn_.bytBetSum = 0;
    table_.bytBetButtonStates.fill(game_button::kNormal);
    host_.painter.PaintGameButtons();
    StartTurnClock(table_.bytMyChair);
    Announce("请选择押注");
}

void ClientSession::SendSideBets() {
    StopTurnClock();
    table_.bytBetButtonStates.fill(game_button::kHidden);
    host_.painter.PaintGameButtons();
    Send(net::requests::SideBets(table_.bytMyChair, turn_.bytBetSum));
}

void ClientSession::OnGameButtonClick(int index) {
    if (ended_ || IsOnlooker() || index < 0 || index >= kGameButtonCount) return;
    auto& states = table_.bytBetButtonStates;
    const auto state = states[static_cast<std::size_t>(index)];
    if (state == game_button::kHidden) return ExplainRefusal("现在不能押注");
    if (state != game_button::kNormal && state != game_button::kHighlighted) return;
    if (index == 2) return SendSideBets();
    turn_.bytBetSum = static_cast<std::uint8_t>(turn_.bytBetSum + (index == 0 ? 1 : 2));
    states[static_cast<std::size_t>(index)] = game_button::kChosen;
    host_.painter.PaintGameButtons();
    if (states[0] == game_button::kChosen && states[1] == game_button::kChosen) SendSideBets();
}

void ClientSession::OnClockWarning() {
    if (ended_) return;
    host_.clock.SetColour(0, 0, 0);
    host_.sounds.PlayGameSound(StateSound::Warning);
}

void ClientSession::OnClockTimeout() {
    if (ended_) return;
    const bool kongOffered = offer_.Offered(ActionButton::Kong);
    const bool winOffered = offer_.Offered(ActionButton::Win);
    StopTurnClock();
    if (globals_.blnShowStart) {
        // The player did not start in time and leaves the table.
        host_.timers.SetTimerRunning(SessionTimer::Start, false);
        LeaveTable("你没有在时限内点“开始”，离开了牌桌。");
        return;
    }
    if (GameButtonsShown(table_)) {
        SendSideBets();
        return;
    }
    const int tag = host_.clock.Tag();
    if (IsChair(tag)) {
        if (!IsMyChair(static_cast<Chair>(tag)) || IsOnlooker()) {
            StartTurnClock(tag);
            return;
        }
        // Only a turn that is still the player's is played for him.
        if (!IsMyChair(table_.bytTurnChair) || table_.bytTurnPhase == phase::kDiscarded ||
            !HoldsFullHand(table_))
            return;
        SendDiscard(table_.bytMyHand.back());
        CountAutoPlay();
        return;
    }
    if (tag != kClaimWindowTag) return;
    ClearActionButtons();
    if (IsOnlooker()) return;
    if (IsMyChair(table_.bytTurnChair)) {
        if (kongOffered) table_.AddPassedKongTile(offer_.bytOfferedKongTile);
        StartTurnClock(table_.bytMyChair);
    } else if (table_.bytTurnPhase == phase::kDiscarded) {
        DeclineOffers(kongOffered, winOffered);
        Send(net::requests::Pass(table_.bytMyChair));
    }
}

// The count starts again with every hand, and the warning says so.
void ClientSession::CountAutoPlay() {
    table_.bytAutoPlayCount = static_cast<std::uint8_t>(table_.bytAutoPlayCount + 1);
    const int count = table_.bytAutoPlayCount;
    const std::string prefix = "注意：本局系统已替你自动出牌 " + std::to_string(count);
    if (table_.bytAutoPlayLimit == count + 1) {
        ShowOneButtonBox(prefix + " 次，本局再有一次就算你逃跑！", "系统提示");
    } else if (count >= table_.bytAutoPlayLimit) {
        ShowOneButtonBox(prefix + " 次，现在算你逃跑！", "系统提示");
        LeaveTable("本局系统已替你自动出牌 " + std::to_string(count) +
                   " 次，到了每局的上限，算你逃跑，离开了牌桌。");
    }
}

void ClientSession::ShowNewestDiscard(Chair chair, rules::TileCode tile) {
    turn_.blnNewestDiscardShown = true;
    turn_.bytNewestDiscardChair = chair;
    turn_.bytNewestDiscardTile = tile;
    turn_.blnBlinkAlternate = false;
    host_.painter.ShowNewestDiscard(chair, tile);
    host_.timers.SetTimerRunning(SessionTimer::NewestDiscard, true);
}

void ClientSession::HideNewestDiscard() {
    if (!turn_.blnNewestDiscardShown) return;
    turn_.blnNewestDiscardShown = false;
    host_.timers.SetTimerRunning(SessionTimer::NewestDiscard, false);
    host_.painter.HideNewestDiscard();
}

void ClientSession::OnNewestDiscardTick() {
    if (ended_) return;
    if (!turn_.blnNewestDiscardShown) {
        host_.timers.SetTimerRunning(SessionTimer::NewestDiscard, false);
        return;
    }
    turn_.blnBlinkAlternate = !turn_.blnBlinkAlternate;
    host_.painter.PaintNewestDiscardFrame(turn_.blnBlinkAlternate);
}

void ClientSession::SetDrawnTileSeat(Chair chair) {
    turn_.bytDrawnTileSeat = chair;
    host_.painter.PaintMoPai();
}

void ClientSession::RepaintOtherHands() {
    for (Chair chair = 0; chair < rules::kChairCount; ++chair)
        if (!IsMyChair(chair)) host_.painter.PaintHands(chair);
}

}  // namespace qira::play
