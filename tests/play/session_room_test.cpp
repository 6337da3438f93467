// Room messages driven through the session: entering a table, the settings
// negotiation, users coming and going, chat, the snapshot and the reset.
#include <gtest/gtest.h>

#include "net/requests.h"
#include "session_fakes.h"

namespace qira::play::testing {
namespace {

TEST(EnteringATable, ConnectionSendsEntryWithTheOnlookerPreference) {
    SessionRig rig;
    rig.preferences.allowWatchCards = true;
    rig.session->OnConnected();
    ASSERT_EQ(rig.sender.sent.size(), 1u);
    EXPECT_EQ(rig.sender.sent[0], *net::requests::Entry(true));
    const Bytes expected{130, 0, '5', '0', '0', '`', 'Q', 'I', 'R', 'A', '`', '1'};
    EXPECT_EQ(rig.sender.sent[0], expected);
}

TEST(EnteringATable, IdentityListAndSettingsSeatThePlayersAndShowStart) {
    SessionRig rig("lobbyname");
    rig.Feed(Text(130, 3, "me`me"));
    EXPECT_EQ(rig.session->globals().strUserName(), "me");
    EXPECT_EQ(rig.userList.localName, "me");
    EXPECT_EQ(rig.chat.localName, "me");

    rig.Feed(WholeList({UserRecord("east", 4, "", 2005, 1), UserRecord("me", 1),
                        UserRecord("west", 2, "", 7, 0, 1), UserRecord("north", 3),
                        UserRecord("eye", 0, "east")}));
    const auto& table = rig.session->table();
    EXPECT_EQ(table.Seats[0].strPlayerName, "east");  // chair 4 is chair 0
    EXPECT_EQ(table.Seats[0].lngPlayerKey, 2005);
    EXPECT_TRUE(table.Seats[0].blnReady);
    EXPECT_TRUE(table.Seats[2].blnUserFlag);
    EXPECT_EQ(table.Seats[3].strPlayerName, "north");
    EXPECT_EQ(table.bytMyChair, 1);
    EXPECT_EQ(rig.session->globals().bytMyChair, 1);
    EXPECT_FALSE(rig.session->globals().blnIsWatcher);
    EXPECT_EQ(rig.session->globals().bytSeatPos[1], 2);
    EXPECT_EQ(rig.session->globals().bytSeatPos[2], 3);
    EXPECT_EQ(rig.chat.targets, (std::vector<std::string>{"east", "me", "west", "north", "eye"}));
    for (int chair = 0; chair < 4; ++chair) {
        EXPECT_TRUE(rig.log.Contains("PaintSeatInfo " + std::to_string(chair)));
        EXPECT_TRUE(rig.log.Contains("PaintHandUp " + std::to_string(chair)));
        EXPECT_TRUE(rig.log.Contains("PaintNetBreak " + std::to_string(chair)));
    }

    rig.Feed(Settings(false, 0, 0));
    EXPECT_TRUE(rig.session->globals().blnShowStart);
    EXPECT_EQ(rig.session->globals().bytGameState, 0);
    EXPECT_TRUE(rig.timers.start);
    EXPECT_TRUE(rig.gameSet.calls.empty());
}

TEST(EnteringATable, ListLoadDuringARunningHandClearsReadyMarks) {
    SessionRig rig;
    rig.Feed(Text(130, 3, "me`me"));
    rig.Feed(Message({109, 0, 0, 0, 1, 1, 1, 1, 1}));  // idle snapshot: game state 1
    rig.Feed(WholeList({UserRecord("east", 0, "", 1, 1), UserRecord("me", 1, "", 1, 1)}));
    EXPECT_FALSE(rig.session->table().Seats[0].blnReady);
    EXPECT_FALSE(rig.session->table().Seats[1].blnReady);
}

TEST(EnteringATable, LaterPlayerOnTheSameChairHoldsIt) {
    SessionRig rig;
    rig.Feed(Text(130, 3, "me`me"));
    rig.Feed(WholeList({UserRecord("me", 1), UserRecord("first", 2), UserRecord("second", 6)}));
    EXPECT_EQ(rig.session->table().Seats[2].strPlayerName, "second");
}

TEST(EnteringATable, NegativeChairNumbersAndOnlookersTakeNoChair) {
    SessionRig rig;
    rig.Feed(Text(130, 3, "me`me"));
    rig.Feed(WholeList({UserRecord("me", 1), UserRecord("lost", -1), UserRecord("eye", 2, "me"),
                        UserRecord("west", 2)}));
    const auto& table = rig.session->table();
    EXPECT_EQ(table.Seats[3].strPlayerName, "") << "-1 is no chair, not chair 3";
    EXPECT_EQ(table.Seats[2].strPlayerName, "west");
    EXPECT_EQ(table.Seats[1].strPlayerName, "me");
}

TEST(SettingsNegotiation, OwnerGetsTheDialogWithTheSettingsText) {
    SessionRig rig;
    EnterAsPlayer(rig);
    rig.TakeSent();
    rig.Feed(Settings(true, 1, 0, "10`100`1`5`50`0"));
    EXPECT_EQ(rig.gameSet.calls,
              (std::vector<std::string>{"Load", "SetInit owner 10`100`1`5`50`0", "Show"}));
    EXPECT_TRUE(rig.sender.sent.empty());

    // The dialog answers through the session.
    const auto confirm = *net::requests::ConfirmSettings(
        "me", std::vector<std::string>{"10", "100", "1", "5", "50", "0"});
    rig.session->SendGameSetResult(confirm);
    EXPECT_EQ(rig.TakeSent(), std::vector<Bytes>{confirm});
}

TEST(SettingsNegotiation, RefusedSettingsUnloadTheDialogAndLeave) {
    SessionRig rig;
    EnterAsPlayer(rig);
    rig.TakeSent();
    rig.gameSet.accept = false;
    rig.Feed(Settings(true, 1, 0, "10`100`1"));
    EXPECT_EQ(rig.gameSet.calls.back(), "Unload");
    EXPECT_EQ(rig.TakeSent(), std::vector<Bytes>{*net::requests::Leave("me")});
}

TEST(SettingsNegotiation, NonOwnerWaitsThenApprovesWhenTheSettingsCome) {
    SessionRig rig;
    EnterAsPlayer(rig);
    rig.Feed(Settings(false, 1, 0));
    ASSERT_FALSE(rig.messages.shown.empty());
    EXPECT_EQ(rig.messages.shown.back().type, MsgType::Notice);
    EXPECT_EQ(rig.messages.shown.back().note, "等待桌主进行本桌游戏设置...");
    EXPECT_TRUE(rig.gameSet.calls.empty());

    rig.Feed(Settings(false, 1, 1, "10`100`1`5`50`0"));
    EXPECT_EQ(rig.gameSet.calls,
              (std::vector<std::string>{"Load", "SetInit player 10`100`1`5`50`0", "Show"}));
}

TEST(SettingsNegotiation, SixFieldsWithoutApprovalFlagOnlyWaits) {
    SessionRig rig;
    EnterAsPlayer(rig);
    rig.Feed(Text(111, 0, "a`b`c`0`d`1"));
    EXPECT_TRUE(rig.messages.Showed("等待桌主进行本桌游戏设置..."));
    rig.Feed(Text(111, 0, "a`b`c`0`d"));  // five fields: ignored
    EXPECT_TRUE(rig.gameSet.calls.empty());
}

TEST(HandRaised, OwnersSettingsReachOtherPlayersAndCloseTheNotice) {
    SessionRig rig;
    EnterAsPlayer(rig);
    const int unloadsBefore = rig.messages.unloads;
    rig.Feed(Text(112, 1, "east`10`100`1`5`50`0"));
    EXPECT_TRUE(rig.session->table().Seats[0].blnReady);
    EXPECT_EQ(rig.messages.unloads, unloadsBefore + 1);
    EXPECT_EQ(rig.gameSet.calls,
              (std::vector<std::string>{"Load", "SetInit player 10`100`1`5`50`0", "Show"}));
}

TEST(HandRaised, EverybodyReadyClearsAllFourMarks) {
    SessionRig rig;
    EnterAsPlayer(rig);
    rig.Feed(Text(112, 1, "west"));
    EXPECT_TRUE(rig.session->table().Seats[2].blnReady);
    rig.log.Clear();
    rig.Feed(Text(112, 2, "north"));
    for (const auto& seat : rig.session->table().Seats) EXPECT_FALSE(seat.blnReady);
    EXPECT_EQ(rig.log.Count("PaintHandUp 3"), 2u);
    EXPECT_TRUE(rig.gameSet.calls.empty());
}

TEST(HandRaised, UnknownNameChangesNothing) {
    SessionRig rig;
    EnterAsPlayer(rig);
    const int unloads = rig.messages.unloads;
    rig.Feed(Text(112, 2, "stranger"));
    EXPECT_EQ(rig.messages.unloads, unloads);
}

TEST(UsersComingAndGoing, PlayerComesAndIsSeatedModuloFour) {
    SessionRig rig;
    rig.Feed(Text(130, 3, "me`me"));
    rig.Feed(WholeList({UserRecord("me", 1)}));
    rig.Feed(Text(130, 4, UserRecord("late", 6, "", 42)));
    EXPECT_EQ(rig.session->table().Seats[2].strPlayerName, "late");
    EXPECT_EQ(rig.session->table().Seats[2].lngPlayerKey, 42);
    EXPECT_EQ(rig.chat.systemLines.back(), "late 进来了...");
    EXPECT_EQ(rig.chat.targets.back(), "late");

    // The same user again: not added twice, no second line.
    const auto lines = rig.chat.systemLines.size();
    rig.Feed(Text(130, 4, UserRecord("late", 6)));
    EXPECT_EQ(rig.chat.systemLines.size(), lines);
}

TEST(UsersComingAndGoing, OnlookerComesOnlyWithAWatchedPlayer) {
    SessionRig rig;
    EnterAsPlayer(rig);
    rig.Feed(Text(130, 0, UserRecord("blank", 0, " ")));
    EXPECT_TRUE(rig.userList.FindUser("blank").empty());
    rig.Feed(Text(130, 0, UserRecord("eye", 0, "me")));
    EXPECT_FALSE(rig.userList.FindUser("eye").empty());
    EXPECT_EQ(rig.chat.systemLines.back(), "eye 进来了，正在旁观 me 游戏...");
    EXPECT_EQ(rig.session->table().Seats[0].strPlayerName, "east");

    rig.Feed(Text(108, 4, "eye"));
    EXPECT_TRUE(rig.userList.FindUser("eye").empty());
    EXPECT_EQ(rig.chat.systemLines.back(), "旁观用户 eye 走了...");
    EXPECT_EQ(std::count(rig.chat.targets.begin(), rig.chat.targets.end(), "eye"), 0);
}

// "显示用户进出消息" off: arrivals and departures change the list quietly;
// drops and returns still speak.
TEST(UsersComingAndGoing, ArrivalsAndDeparturesAreQuietWhenThePlayerTurnedThemOff) {
    SessionRig rig;
    rig.preferences.showInOut = false;
    EnterAsPlayer(rig);
    const auto lines = rig.chat.systemLines.size();
    rig.Feed(Text(130, 0, UserRecord("eye", 0, "me")));
    rig.Feed(Text(130, 4, UserRecord("late", -1)));
    rig.Feed(Text(108, 4, "eye"));
    rig.Feed(Text(110, 0, "late"));
    EXPECT_EQ(rig.chat.systemLines.size(), lines);
    EXPECT_TRUE(rig.userList.FindUser("eye").empty());
    EXPECT_EQ(std::count(rig.chat.targets.begin(), rig.chat.targets.end(), "late"), 0);
    rig.Feed(Text(108, 3, "west"));
    EXPECT_EQ(rig.chat.systemLines.back(), "不好，west 掉线了...");
}

// A server that sends arrivals without end fills the list once; later
// arrivals are neither listed, nor announced, nor chat targets.
TEST(UsersComingAndGoing, AFullListTakesNobodyMore) {
    SessionRig rig;
    EnterAsPlayer(rig);
    const auto lines = rig.chat.systemLines.size();
    for (int i = 0; i < 5200; ++i)
        rig.Feed(Text(130, 0, UserRecord("eye" + std::to_string(i), 0, "me")));
    EXPECT_EQ(rig.userList.model.size(), players::kMaxUsers);
    EXPECT_EQ(rig.chat.systemLines.size() - lines, players::kMaxUsers - 4);
    EXPECT_EQ(rig.chat.targets.back(), "eye4995");
    rig.Feed(Text(108, 4, "eye0"));
    rig.Feed(Text(130, 0, UserRecord("late", 0, "me")));
    EXPECT_FALSE(rig.userList.FindUser("late").empty()) << "a departure makes room";
}

TEST(UsersComingAndGoing, DroppingAndReturning) {
    SessionRig rig;
    EnterAsPlayer(rig);
    rig.Feed(Text(108, 3, "west"));
    EXPECT_TRUE(rig.session->table().Seats[2].blnUserFlag);
    EXPECT_EQ(rig.chat.systemLines.back(), "不好，west 掉线了...");
    rig.Feed(Text(108, 0, "west"));
    EXPECT_FALSE(rig.session->table().Seats[2].blnUserFlag);
    EXPECT_EQ(rig.chat.systemLines.back(), "哈哈，west 终于上线了...");
}

TEST(UsersComingAndGoing, PlayerLeavingFreesTheChair) {
    SessionRig rig;
    EnterAsPlayer(rig);
    rig.Feed(Text(108, 3, "north"));
    rig.log.Clear();
    rig.Feed(Text(110, 0, "north"));
    const auto& seat = rig.session->table().Seats[3];
    EXPECT_TRUE(seat.strPlayerName.empty());
    EXPECT_EQ(seat.lngPlayerKey, 0);
    EXPECT_FALSE(seat.blnUserFlag);
    EXPECT_EQ(rig.chat.systemLines.back(), "north 走了...");
    EXPECT_TRUE(rig.log.Contains("PaintSeatInfo 3"));
    EXPECT_TRUE(rig.log.Contains("PaintHandUp 3"));
    EXPECT_TRUE(rig.log.Contains("PaintNetBreak 3"));
}

TEST(UsersComingAndGoing, OnlookerLeavingBy110LeavesSeatsAlone) {
    SessionRig rig;
    EnterAsPlayer(rig);
    rig.Feed(Text(130, 0, UserRecord("eye", 0, "me")));
    rig.Feed(Text(110, 0, "eye"));
    EXPECT_TRUE(rig.userList.FindUser("eye").empty());
    EXPECT_EQ(rig.session->table().Seats[0].strPlayerName, "east");
}

TEST(UsersComingAndGoing, RefreshReplacesTheRecord) {
    SessionRig rig;
    EnterAsPlayer(rig);
    rig.Feed(Text(108, 6, UserRecord("west", 2, "", 99)));
    EXPECT_EQ(rig.userList.FindUser("west"), UserRecord("west", 2, "", 99));
}

TEST(Chat, RoomLinesAndRelayedMessagesReachThePane) {
    SessionRig rig;
    EnterAsPlayer(rig);
    rig.Feed(TextFrom({105, 0, 7}, "欢迎光临"));
    EXPECT_EQ(rig.chat.lines.back(), "欢迎光临");

    rig.Feed(TextFrom({1}, "a`b`c`d`e`f`g`h`i`j"));
    ASSERT_EQ(rig.chat.chatMessages.size(), 1u);
    EXPECT_EQ(rig.chat.chatMessages[0],
              (std::vector<std::string>{"c", "d", "e", "f", "g", "h", "i", "j"}));
    rig.Feed(TextFrom({1}, "a`b`c`d`e`f`g`h`i"));  // nine fields: ignored
    EXPECT_EQ(rig.chat.chatMessages.size(), 1u);
}

TEST(Chat, SendingJoinsTheTenFieldsBehindAOneByteHeader) {
    SessionRig rig;
    EnterAsPlayer(rig);
    rig.TakeSent();
    const std::vector<std::string> fields{"me", "所有人", "你好", "0", "0",
                                          "0",  "0",      "0",    "0", "0"};
    rig.session->OnChatSend(fields);
    const auto sent = rig.TakeSent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], *net::requests::Chat(fields));
    EXPECT_EQ(sent[0][0], 1);
    EXPECT_EQ(sent[0][1], 'm');

    rig.session->OnUserActivated("west");
    EXPECT_EQ(rig.chat.currentTarget, "west");
}

TEST(TableReset, ClearsEverythingAndTargetsEverybody) {
    SessionRig rig;
    EnterAsPlayer(rig);
    rig.Feed(Message({130, 1}));
    EXPECT_TRUE(rig.session->table().Seats[0].strPlayerName.empty());
    EXPECT_EQ(rig.messages.inits, 1);
    EXPECT_GE(rig.messages.unloads, 1);
    EXPECT_EQ(rig.window.repaints, 1);
    EXPECT_TRUE(rig.log.Contains("PaintTable"));
    EXPECT_TRUE(rig.userList.FindUser("east").empty());
    EXPECT_EQ(rig.chat.clears, 1);
    EXPECT_EQ(rig.chat.currentTarget, "所有人");
    EXPECT_FALSE(rig.session->globals().blnShowStart);
    EXPECT_FALSE(rig.timers.start);
}

TEST(MainWindowVisibility, FollowsTheFlagByte) {
    SessionRig rig;
    rig.Feed(Message({130, 5, 1}));
    EXPECT_TRUE(rig.window.hidden);
    rig.Feed(Message({130, 5, 0}));
    EXPECT_FALSE(rig.window.hidden);
    rig.Feed(Message({130, 5}));  // no flag byte: ignored
    EXPECT_FALSE(rig.window.hidden);
}

TEST(Snapshot, IdleTableShowsStartForAPlayerWhoIsNotReady) {
    SessionRig rig;
    EnterAsPlayer(rig);
    rig.Feed(Message({109, 0, 0, 0, 1, 0, 1, 0, 1}));
    const auto& table = rig.session->table();
    EXPECT_EQ(rig.session->globals().bytGameState, 1);
    EXPECT_TRUE(table.blnHandIdle);
    EXPECT_EQ(table.bytTurnPhase, 100);
    EXPECT_TRUE(table.Seats[0].blnReady);
    EXPECT_FALSE(table.Seats[1].blnReady);
    EXPECT_TRUE(rig.session->globals().blnShowStart);

    rig.Feed(Message({109, 0, 0, 0, 0, 1, 0, 0, 1}));  // now "me" is ready
    EXPECT_FALSE(rig.session->globals().blnShowStart);
}

}  // namespace
}  // namespace qira::play::testing
