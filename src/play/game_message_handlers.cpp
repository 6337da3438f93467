// The game messages: a hand from its start to the win or the drawn game, and
// the notices that may come at any time. Each message is applied to the table
// state, heard, painted, and followed by EvaluateTurn where the turn moved.
#include <algorithm>
#include <string>

#include "net/claims.h"
#include "net/game_messages.h"
#include "net/packet.h"
#include "net/protocol.h"
#include "net/requests.h"
#include "net/win_record_message.h"
#include "play/client_session.h"
#include "play/table_words.h"
#include "play/text_fields.h"

namespace qira::play {
namespace {

using Message = std::span<const std::uint8_t>;

bool IsChair(std::uint8_t chair) {
    return chair < rules::kChairCount;
}

StateSound SoundOf(net::ClaimKind claim) {
    return static_cast<StateSound>(net::RowOf(claim).sound);
}

// Only claims that lay a meld are shown by the action display.
ActionCode DisplayOf(net::ClaimKind claim) {
    return static_cast<ActionCode>(net::RowOf(claim).display.value_or(0));
}

}  // namespace

void ClientSession::OnNewHand(Message message) {
    const auto start = net::DecodeNewHand(message);
    if (!start) return;
    turn_.blnInputReady = false;
    host_.winResult.CloseHuResult();
    if (globals_.blnShowStart) HideStartButton();
    if (globals_.bytGameState == 0) {
        globals_.bytGameState = 1;
        Send(net::requests::HandStarted());
    }
    turn_.blnMayWinOnDiscard = true;
    globals_.bytGameState = 1;
    ResetForNewHand(rules::ReadyFlags::Clear);
    ++handSerial_;
    host_.sounds.PlayGameSound(StateSound::SaiZi);
    host_.painter.PaintFullWalls();
    table_.LoadHandStart(*start);
    table_.blnHandIdle = false;
    host_.sounds.PlayGameSound(StateSound::SaiZi);
    RollDice(table_.bytDice);
    if (ended_) return;
    Announce("新的一局开始，" + ChairName(table_, table_.bytDealerChair) + " 坐庄");
    EvaluateTurn();
}

void ClientSession::OnSideBetsOrDeal(Message message) {
    const auto decoded = net::DecodeSideBetsOrDeal(message);
    if (!decoded) return;
    const std::uint8_t chair = decoded->chair;
    if (decoded->sub == 0) {
        if (!IsChair(chair)) return;
        table_.Seats[chair].bytBetChoice = decoded->tile;
        host_.painter.PaintBetFlag(chair);
        return;
    }
    if (!IsMyChair(chair)) return;
    turn_.blnInputReady = false;
    table_.bytCurTile = decoded->tile;
    table_.bytMyHand.clear();
    const std::size_t dealt = table_.bytMyChair == table_.bytDealerChair ? 14 : 13;
    for (const std::uint8_t tile : decoded->tiles.first(std::min(dealt, decoded->tiles.size())))
        table_.InsertSorted(tile);
    table_.bytTurnChair = table_.bytDealerChair;
    table_.bytTurnPhase = phase::kDrew;
    host_.painter.PaintTable();
    EvaluateTurn();
}

void ClientSession::OnReadyForNextHand(Message message) {
    const auto ready = net::DecodeReadyForNext(message);
    if (!ready || !IsChair(ready->chair)) return;
    table_.Seats[ready->chair].blnReady = true;
    host_.painter.PaintHandUp(ready->chair);
}

void ClientSession::OnDraw(Message message) {
    const auto draw = net::DecodeChairTile(message);
    if (!draw || !IsChair(draw->chair)) return;
    const std::uint8_t chair = draw->chair;
    const rules::TileCode tile = draw->tile;
    turn_.blnInputReady = false;
    ClearActionButtons();
    // Only a discard that waited for claims is still out of the piles; the
    // draw that follows it puts it there.
    if (table_.bytTurnPhase == phase::kDiscarded && IsChair(table_.bytTurnChair)) {
        HideNewestDiscard();
        table_.AddDiscard(table_.bytTurnChair, table_.bytCurTile);
        host_.painter.PaintDiscards(table_.bytTurnChair, false);
    }
    const auto wallChair = table_.TakeWallTile(rules::WallEnd::Head);
    if (IsChair(wallChair)) host_.painter.PaintWall(wallChair);
    host_.sounds.PlayGameSound(StateSound::Recv);
    if (IsMyChair(chair)) {
        table_.AppendTile(tile);
        host_.painter.PaintLocalHand();
    } else {
        SetDrawnTileSeat(chair);
    }
    table_.bytTurnChair = chair;
    table_.bytCurTile = tile;
    table_.bytTurnPhase = phase::kDrew;
    EvaluateTurn();
}

void ClientSession::OnDiscard(Message message) {
    const auto discard = net::DecodeDiscard(message);
    if (!discard || !IsChair(discard->chair)) return;
    const std::uint8_t chair = discard->chair;
    const rules::TileCode tile = discard->tile;
    const std::uint8_t ting = discard->ting;
    const std::uint8_t nextChair = discard->nextChair;
    const rules::TileCode nextTile = discard->nextTile;
    const bool nextDrawGiven = IsChair(nextChair);
    turn_.blnInputReady = false;

    if (table_.IsWild(tile)) table_.Seats[chair].bytNoWin = 1;
    ++table_.bytDiscardCount;
    Announce(ChairName(table_, chair) + " 打出 " + TileName(tile));
    if (!nextDrawGiven) {
        host_.sounds.PlayTileSound(tile);
        PlayActionDisplay(chair, ActionCode::Discard, tile);
        if (ended_) return;
    }
    if (ting != 0) {
        table_.Seats[chair].bytTing = ting;
        host_.painter.PaintTing(chair);
        host_.sounds.PlayGameSound(StateSound::Ting);
    }
    if (IsMyChair(chair)) {
        table_.RemoveTile(tile);
        table_.SortHand();
        host_.painter.PaintLocalHand();
    } else {
        SetDrawnTileSeat(rules::kTableNoChair);
        RepaintOtherHands();
    }
    if (!nextDrawGiven) {
        table_.bytTurnChair = chair;
        table_.bytCurTile = tile;
        table_.bytTurnPhase = phase::kDiscarded;
        EvaluateTurn();
        return;
    }
    // Nobody could claim: the server has already given the next draw.
    SetDrawnTileSeat(rules::kTableNoChair);
    RepaintOtherHands();
    table_.AddDiscard(chair, tile);
    host_.painter.PaintDiscards(chair, false);
    const auto wallChair = table_.TakeWallTile(rules::WallEnd::Head);
    if (IsChair(wallChair)) host_.painter.PaintWall(wallChair);
    if (IsMyChair(nextChair)) {
        table_.AppendTile(nextTile);
        host_.painter.PaintLocalHand();
    } else {
        SetDrawnTileSeat(nextChair);
    }
    host_.sounds.PlayTileSound(tile);
    PlayActionDisplay(chair, ActionCode::Discard, tile);
    if (ended_) return;
    table_.bytTurnChair = nextChair;
    table_.bytCurTile = nextTile;
    table_.bytTurnPhase = phase::kDrew;
    EvaluateTurn();
}

void ClientSession::OnChowOrPung(Message message, net::ClaimKind claim) {
    const auto meld = net::DecodeChairTile(message);
    if (!meld || !IsChair(meld->chair)) return;
    const net::ClaimRow& row = net::RowOf(claim);
    const std::uint8_t chair = meld->chair;
    const rules::TileCode meldTile = meld->tile;
    turn_.blnInputReady = false;
    ClearActionButtons();
    HideNewestDiscard();
    host_.sounds.PlayGameSound(SoundOf(claim));
    Announce(ChairName(table_, chair) + " " + row.word + " " + TileName(table_.bytCurTile));
    PlayActionDisplay(chair, DisplayOf(claim), table_.bytCurTile);
    if (ended_) return;
    if (IsMyChair(chair)) table_.AppendTile(table_.bytCurTile);
    table_.ApplyMeld(chair, static_cast<rules::MeldKind>(row.meld), meldTile, table_.bytTurnChair);
    host_.painter.PaintHands(chair);
    table_.bytTurnChair = chair;
    table_.bytCurTile = meldTile;
    table_.bytTurnPhase = row.phase;
    EvaluateTurn();
}

void ClientSession::OnKong(Message message) {
    const auto kong = net::DecodeKong(message);
    if (!kong || !IsChair(kong->chair)) return;
    const std::uint8_t kindByte = kong->kind;
    if (kindByte != phase::kConcealedKong && kindByte != phase::kExposedKong) return;
    const auto kind = static_cast<rules::MeldKind>(kindByte);
    const std::uint8_t chair = kong->chair;
    const rules::TileCode tile = kong->tile;
    const rules::TileCode replacement = kong->replacement;
    const bool onDiscard = table_.bytTurnPhase == phase::kDiscarded;
    turn_.blnInputReady = false;
    if (onDiscard) {
        ClearActionButtons();
        HideNewestDiscard();
    }
    host_.sounds.PlayGameSound(SoundOf(net::ClaimKind::Kong));
    Announce(ChairName(table_, chair) + (kind == rules::MeldKind::ConcealedKong
                                             ? std::string(" 暗杠")
                                             : " 杠 " + TileName(tile)));
    PlayActionDisplay(chair, DisplayOf(net::ClaimKind::Kong),
                      kind == rules::MeldKind::ConcealedKong ? kFaceDownTile : tile);
    if (ended_) return;
    if (onDiscard && IsMyChair(chair)) table_.AppendTile(table_.bytCurTile);
    const auto wallChair = table_.TakeWallTile(rules::WallEnd::Tail);
    if (IsChair(wallChair)) host_.painter.PaintWall(wallChair);
    if (IsMyChair(chair)) turn_.bytReplacementTile = replacement;
    table_.ApplyKong(chair, kind, tile, replacement, table_.bytTurnChair);
    host_.painter.PaintHands(chair);
    table_.bytTurnChair = chair;
    table_.bytCurTile = tile;
    table_.bytTurnPhase = kindByte;
    EvaluateTurn();
}

void ClientSession::OnThreeIndicators(Message message) {
    const auto indicators = net::DecodeThreeIndicators(message);
    if (!indicators || !IsChair(indicators->chair)) return;
    const std::uint8_t chair = indicators->chair;
    turn_.blnInputReady = false;
    table_.ApplyMeld(chair, rules::MeldKind::Pung, table_.bytWildIndicator, chair);
    host_.painter.PaintHands(chair);
    EvaluateTurn();
}

void ClientSession::OnRobKongOffer(Message message) {
    const auto offer = net::DecodeRobKongOffer(message);
    if (!offer || !IsChair(offer->chair)) return;
    turn_.blnInputReady = false;
    table_.bytTurnChair = offer->chair;
    table_.bytTurnPhase = phase::kRobKong;
    EvaluateTurn();
}

void ClientSession::OnHandResync(Message message) {
    const auto resync = net::DecodeHandResync(message);
    if (!resync) return;
    turn_.blnInputReady = false;
    table_.bytMyHand.assign(resync->tiles.begin(), resync->tiles.end());
    host_.painter.PaintLocalHand();
    EvaluateTurn();
}

void ClientSession::OnWin(Message message) {
    if (message.size() < 2) return;
    const auto record = net::DecodeWinRecord(message);
    host_.sounds.PlayGameSound(SoundOf(net::ClaimKind::Win));
    if (record) AnnounceWinners(*record);
    host_.winResult.LoadHuResult();
    // A malformed record shows nothing: an empty window would have no
    // countdown to close it.
    if (record) {
        host_.winResult.ProcessHuResultData(*record);
        host_.winResult.ShowHuResultCentred();
    }
    EndHand();
}

void ClientSession::OnDrawnGame(Message message) {
    if (!net::DecodeDrawnGame(message)) return;
    host_.sounds.PlayGameSound(StateSound::HuangPai);
    Announce("荒牌，本局无人胡牌");
    ShowServerBox({.box = OneButtonBox("很遗憾：本局竟然是荒牌！都不得分！", GameTitle()),
                   .then = {.endHand = handSerial_}});
}

void ClientSession::OnServerNotice(Message message) {
    if (!admitted_) refusal_ = net::DecodeBody(message, 1);
    ShowServerBox({.box = OneButtonBox(net::DecodeBody(message, 1), GameTitle()),
                   .then = {.evaluateTurn = true}});
}

void ClientSession::OnPlayerMustStop(Message message) {
    const auto stop = net::DecodeMustStop(message);
    if (!stop) return;
    const std::uint8_t chair = stop->chair;
    const std::string name = IsChair(chair) ? table_.Seats[chair].strPlayerName : std::string();
    const std::string& reason = stop->reason;
    std::optional<std::string> leave;
    if (IsMyChair(chair) && !IsOnlooker()) leave = "服务器让你离开了牌桌，原因：" + reason + "。";
    ShowServerBox(
        {.box = OneButtonBox(name + " 不能继续玩下去，原因：" + reason, GameTitle() + "系统提示"),
         .then = {.leaveTable = std::move(leave)}});
}

void ClientSession::OnHandVisibility(Message message) {
    const auto permission = net::DecodeWatchPermission(message);
    if (!permission || !IsOnlooker() || globals_.bytGameState == 0) return;
    table_.bytHandVisible = permission->set ? 1 : 0;
    if (!table_.blnHandIdle) host_.painter.PaintLocalHand();
}

void ClientSession::OnChatMessage(Message message) {
    const auto fields = net::SplitFields(net::DecodeBody(message, 1));
    if (fields.size() < net::kChatFieldCount) return;
    host_.chat.ShowChatMessage(std::span<const std::string>(fields).subspan(2, 8));
}

}  // namespace qira::play
