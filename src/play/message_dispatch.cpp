// Every server message to its handler: one receiver per row of the protocol's
// table (net::DispatchServerMessage calls them), so that a new message does
// not compile until the client says what it does with it. Room messages carry
// their text from byte 2.
#include <string>

#include "net/claims.h"
#include "net/game_messages.h"
#include "net/packet.h"
#include "net/protocol.h"
#include "play/client_session.h"

namespace qira::play {
namespace {

std::string RoomText(std::span<const std::uint8_t> m) {
    return net::DecodeBody(m, 2);
}

}  // namespace

// --- room messages ---

void ClientSession::ReceiveOnlookerArrived(Message m) {
    const std::string body = RoomText(m);
    OnOnlookerComes(net::SplitFields(body), body);
}

void ClientSession::ReceiveTableReset(Message) {
    OnTableReset();
}

void ClientSession::ReceiveUserList(Message m) {
    OnWholeUserList(RoomText(m));
}

void ClientSession::ReceiveIdentity(Message m) {
    OnIdentity(net::SplitFields(RoomText(m)));
}

void ClientSession::ReceiveUserArrived(Message m) {
    const std::string body = RoomText(m);
    OnUserComes(net::SplitFields(body), body);
}

void ClientSession::ReceiveWindowHidden(Message m) {
    if (const auto hidden = net::DecodeWindowHidden(m))
        host_.window.SetMainWindowHidden(hidden->set);
}

void ClientSession::ReceivePlayerBack(Message m) {
    OnPlayerBack(RoomText(m));
}

void ClientSession::ReceivePlayerDropped(Message m) {
    OnPlayerDropped(RoomText(m));
}

void ClientSession::ReceiveOnlookerLeft(Message m) {
    OnOnlookerLeaves(RoomText(m));
}

void ClientSession::ReceiveRefreshUser(Message m) {
    const std::string body = RoomText(m);
    if (net::SplitFields(body).size() == net::user_record::kFieldCount)
        host_.userList.RefreshUser(body);
}

void ClientSession::ReceiveUserLeft(Message m) {
    OnUserLeaves(RoomText(m));
}

void ClientSession::ReceiveSettings(Message m) {
    const auto fields = net::SplitFields(RoomText(m));
    if (fields.size() >= 6) OnSettingsNegotiation(fields);
}

void ClientSession::ReceiveHandRaised(Message m) {
    if (const auto raised = net::DecodeHandRaised(m))
        OnHandRaised(raised->allReady, raised->fields);
}

void ClientSession::ReceiveSnapshot(Message m) {
    OnTableSnapshot(m);
}

void ClientSession::ReceiveChatLine(Message m) {
    if (m.size() > 3) host_.chat.ShowLine(net::DecodeBody(m, 3));
}

// --- game messages ---

void ClientSession::ReceiveNewHand(Message m) {
    OnNewHand(m);
}

void ClientSession::ReceiveBetChosen(Message m) {
    OnSideBetsOrDeal(m);
}

void ClientSession::ReceiveDeal(Message m) {
    OnSideBetsOrDeal(m);
}

void ClientSession::ReceiveReadyForNext(Message m) {
    OnReadyForNextHand(m);
}

void ClientSession::ReceiveDraw(Message m) {
    OnDraw(m);
}

void ClientSession::ReceiveDiscarded(Message m) {
    OnDiscard(m);
}

void ClientSession::ReceiveChowed(Message m) {
    OnChowOrPung(m, net::ClaimKind::Chow);
}

void ClientSession::ReceivePunged(Message m) {
    OnChowOrPung(m, net::ClaimKind::Pung);
}

void ClientSession::ReceiveKonged(Message m) {
    OnKong(m);
}

void ClientSession::ReceiveThreeIndicators(Message m) {
    OnThreeIndicators(m);
}

void ClientSession::ReceiveMayRobKong(Message m) {
    OnRobKongOffer(m);
}

void ClientSession::ReceiveHandResync(Message m) {
    OnHandResync(m);
}

void ClientSession::ReceiveWinRecord(Message m) {
    OnWin(m);
}

void ClientSession::ReceiveDrawnGame(Message m) {
    OnDrawnGame(m);
}

void ClientSession::ReceiveNotice(Message m) {
    OnServerNotice(m);
}

void ClientSession::ReceiveMustStop(Message m) {
    OnPlayerMustStop(m);
}

void ClientSession::ReceiveWatchPermission(Message m) {
    OnHandVisibility(m);
}

void ClientSession::ReceiveChatRelay(Message m) {
    OnChatMessage(m);
}

// --- items ---

void ClientSession::ReceiveItemCatalogue(Message m) {
    host_.items.LoadDaoJuInfo(RoomText(m));
}

void ClientSession::ReceiveOwnItems(Message m) {
    host_.items.LoadMyDaoJu(RoomText(m));
}

void ClientSession::ReceiveItemNotice(Message m) {
    ShowServerBox({.box = OneButtonBox(RoomText(m), GameTitle() + "提示")});
}

void ClientSession::ReceiveItemUsed(Message m) {
    const auto used = net::DecodeItemUsed(m);
    if (!used) return;
    ShowServerBox({.box = OneButtonBox(std::to_string(used->userA) + " 号用户对 " +
                                           std::to_string(used->userB) + " 号用户使用ID号为 " +
                                           std::to_string(used->item) + " 的道具",
                                       "道具演示"),
                   .platformWarning = true});
}

}  // namespace qira::play
