// The room messages: who is at the table and in which role, the settings
// negotiation before the first hand, chat lines and the table snapshot.
#include <string>
#include <utility>

#include "net/packet.h"
#include "net/protocol.h"
#include "net/requests.h"
#include "play/client_session.h"
#include "play/seats_from_list.h"
#include "play/text_fields.h"

namespace qira::play {
namespace {

namespace user_record = net::user_record;

bool IsOnlookerRecord(std::span<const std::string> fields) {
    return !TrimBlanks(fields[user_record::kWatched]).empty();
}

// The chair a record names, or -1 for a negative number, which names none.
int ChairOfRecord(std::span<const std::string> fields) {
    const auto number = NumberOf(fields[user_record::kChair]);
    if (number < 0) return -1;
    return static_cast<int>(number % rules::kChairCount);
}

std::int32_t PortraitOf(std::span<const std::string> fields) {
    return static_cast<std::int32_t>(NumberOf(fields[user_record::kPortrait]));
}

}  // namespace

void ClientSession::OnOnlookerComes(std::span<const std::string> fields, std::string_view record) {
    if (fields.size() != user_record::kFieldCount || !IsOnlookerRecord(fields)) return;
    const std::string& name = fields[0];
    if (name.empty() || !host_.userList.FindUser(name).empty()) return;
    host_.userList.AddUser(record);
    if (host_.userList.FindUser(name).empty()) return;  // a full list takes nobody more
    ShowInOutLine(name + " 进来了，正在旁观 " + fields[user_record::kWatched] + " 游戏...");
    host_.chat.ChangeChatTarget(ChatTargetAction::Add, name);
}

void ClientSession::OnTableReset() {
    globals_.ResetGlobals(programFolder_);
    host_.messages.UnloadRoomMsgObjects(0);
    host_.messages.InitGlobalMsgObject();
    ResetTable();
    ClearTurnDisplay();
    host_.window.RepaintWindow();
    host_.painter.PaintTable();
    host_.userList.ClearUsers();
    host_.chat.ClearChat();
    host_.chat.SetCurrentTarget("所有人");
}

void ClientSession::OnWholeUserList(std::string_view text) {
    host_.userList.ClearUsers();
    const auto names = host_.userList.LoadWholeList(text);
    OnUserListLoaded(names);
}

void ClientSession::OnUserListLoaded(std::span<const std::string> names) {
    for (const auto& name : names) host_.chat.ChangeChatTarget(ChatTargetAction::Add, name);
    const auto seats = SeatsFromLoadedList(
        names, [this](std::string_view name) { return host_.userList.FindUser(name); },
        globals_.bytGameState);
    for (int chair = 0; chair < rules::kChairCount; ++chair) {
        const auto& loaded = seats[static_cast<std::size_t>(chair)];
        if (!loaded) continue;
        auto& seat = table_.Seats[chair];
        seat.strPlayerName = loaded->strPlayerName;
        seat.lngPlayerKey = loaded->lngPlayerKey;
        seat.blnReady = loaded->blnReady;
        seat.blnUserFlag = loaded->blnUserFlag;
    }
    std::array<std::string, rules::kChairCount> seatNames;
    for (int chair = 0; chair < rules::kChairCount; ++chair)
        seatNames[chair] = table_.Seats[chair].strPlayerName;
    globals_.ComputeSeatView(seatNames);
    table_.bytMyChair = globals_.bytMyChair;
    for (Chair chair = 0; chair < rules::kChairCount; ++chair) RepaintSeatWipingOldName(chair);
}

// A seat's name is painted over the table without erasing what lies under it,
// so the seat is first painted empty, which erases it, and then with its name:
// a shorter new name must not show over an old, longer one.
void ClientSession::RepaintSeatWipingOldName(Chair chair) {
    auto& seat = table_.Seats[chair];
    std::string name = std::exchange(seat.strPlayerName, {});
    host_.painter.PaintSeatInfo(chair);
    seat.strPlayerName = std::move(name);
    host_.painter.PaintSeatInfo(chair);
    host_.painter.PaintNetBreak(chair);
    host_.painter.PaintHandUp(chair);
}

void ClientSession::OnIdentity(std::span<const std::string> fields) {
    if (fields.size() != 2) return;
    globals_.launch.strUserName = fields[0];
    globals_.strViewName = fields[1];
    host_.userList.SetLocalUserName(fields[0]);
    host_.chat.SetLocalUserName(fields[0]);
}

void ClientSession::OnUserComes(std::span<const std::string> fields, std::string_view record) {
    if (fields.size() != user_record::kFieldCount) return;
    const std::string& name = fields[0];
    if (name.empty() || !host_.userList.FindUser(name).empty()) return;
    host_.userList.AddUser(record);
    if (host_.userList.FindUser(name).empty()) return;  // a full list takes nobody more
    ShowInOutLine(name + " 进来了...");
    host_.chat.ChangeChatTarget(ChatTargetAction::Add, name);
    if (IsOnlookerRecord(fields)) return;
    const int chair = ChairOfRecord(fields);
    if (chair < 0) return;
    table_.Seats[chair].strPlayerName = name;
    table_.Seats[chair].lngPlayerKey = PortraitOf(fields);
    host_.painter.PaintSeatInfo(static_cast<Chair>(chair));
}

void ClientSession::OnPlayerBack(std::string_view name) {
    const int chair = FindChairOf(name);
    if (chair >= 0) {
        table_.Seats[chair].blnUserFlag = false;
        host_.painter.PaintNetBreak(static_cast<Chair>(chair));
    }
    host_.chat.ShowSystemLine("哈哈，" + std::string(name) + " 终于上线了...");
}

void ClientSession::OnPlayerDropped(std::string_view name) {
    const int chair = FindChairOf(name);
    if (chair >= 0) {
        table_.Seats[chair].blnUserFlag = true;
        host_.painter.PaintNetBreak(static_cast<Chair>(chair));
    }
    host_.chat.ShowSystemLine("不好，" + std::string(name) + " 掉线了...");
}

void ClientSession::OnOnlookerLeaves(std::string_view name) {
    if (name.empty() || host_.userList.FindUser(name).empty()) return;
    host_.userList.RemoveUser(name);
    ShowInOutLine("旁观用户 " + std::string(name) + " 走了...");
    host_.chat.ChangeChatTarget(ChatTargetAction::Remove, name);
}

void ClientSession::OnUserLeaves(std::string_view name) {
    if (!name.empty() && !host_.userList.FindUser(name).empty()) {
        host_.userList.RemoveUser(name);
        ShowInOutLine(std::string(name) + " 走了...");
        host_.chat.ChangeChatTarget(ChatTargetAction::Remove, name);
    }
    const int chair = FindChairOf(name);
    if (chair < 0) return;
    auto& seat = table_.Seats[chair];
    seat.strPlayerName.clear();
    seat.lngPlayerKey = 0;
    seat.blnReady = false;
    seat.blnUserFlag = false;
    const auto paintedChair = static_cast<Chair>(chair);
    host_.painter.PaintSeatInfo(paintedChair);
    host_.painter.PaintHandUp(paintedChair);
    host_.painter.PaintNetBreak(paintedChair);
}

// Arrivals and departures, unless the player turned them off ("显示用户进出
//消息"); drops and returns concern the game and are always shown.
void ClientSession::ShowInOutLine(const std::string& line) {
    if (host_.preferences.ShowInOut()) host_.chat.ShowSystemLine(line);
}

bool ClientSession::OpenGameSet(bool deskMaster, std::string_view settings) {
    host_.gameSet.LoadGameSet();
    if (host_.gameSet.SetInitGameSetInfo(deskMaster, settings)) {
        host_.gameSet.ShowGameSet();
        return true;
    }
    host_.gameSet.UnloadGameSet();
    if (const auto leave = net::requests::Leave(globals_.strUserName())) Send(*leave);
    return false;
}

void ClientSession::OnSettingsNegotiation(std::span<const std::string> fields) {
    if (fields.size() > 7) RememberEscapePenalty(fields.subspan(7));
    if (NumberOf(fields[5]) <= 0) {
        globals_.bytGameState = 0;
        ShowStartButton();
        return;
    }
    const std::string settings = JoinFrom(fields, 7);
    if (NumberOf(fields[3]) > 0) {
        OpenGameSet(true, settings);
        return;
    }
    // A message of exactly six fields carries no approval flag: nothing to approve yet.
    const bool readyForApproval = fields.size() > 6 && NumberOf(fields[6]) != 0;
    if (!readyForApproval) {
        GlobalMsg notice;
        notice.type = MsgType::Notice;
        notice.note = "等待桌主进行本桌游戏设置...";
        notice.yesCaption.clear();
        host_.messages.ShowGlobalMsg(notice);
        return;
    }
    OpenGameSet(false, settings);
}

void ClientSession::OnHandRaised(bool allReady, std::span<const std::string> fields) {
    if (fields.empty()) return;
    const int chair = FindChairOf(fields[0]);
    if (chair < 0) return;
    table_.Seats[chair].blnReady = true;
    host_.painter.PaintHandUp(static_cast<Chair>(chair));
    host_.messages.UnloadRoomMsgObjects(0);
    RememberEscapePenalty(fields.subspan(1));
    if (fields[0] != globals_.strUserName() && fields.size() > 1) {
        if (!OpenGameSet(false, JoinFrom(fields, 1))) return;
    }
    if (allReady) {
        for (Chair seat = 0; seat < rules::kChairCount; ++seat) {
            table_.Seats[seat].blnReady = false;
            host_.painter.PaintHandUp(seat);
        }
    }
}

void ClientSession::OnTableSnapshot(std::span<const std::uint8_t> message) {
    if (message.size() < 3) return;
    globals_.bytGameState = 1;
    ResetForNewHand(rules::ReadyFlags::Clear);
    ClearTurnDisplay();
    table_.LoadTableSnapshot(message,
                             IsOnlooker() ? rules::Viewer::Onlooker : rules::Viewer::Player);
    ++handSerial_;
    host_.painter.PaintTable();
    EvaluateTurn();
}

}  // namespace qira::play
