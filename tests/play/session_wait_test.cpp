// Messages that arrive while the session waits. The program's animations keep
// the socket going, and the session must apply what arrives in the order the
// server sent it, after the handler that waits has finished. Its boxes keep
// the socket going too, and must not stack up without bound.
#include <gtest/gtest.h>

#include "session_fakes.h"
#include "tile_notation.h"

namespace qira::play::testing {
namespace {

using rules::MeldKind;
using rules::MeldRecord;
using Hand = std::vector<rules::TileCode>;

const Hand kMyHand = test_support::Tiles("1245m11444p123s1z");

// "me" (chair 1) in a hand dealt by chair 0; the dealer's discard hands
// "me" the red dragon, and "me" discards it with the draw passed to west.
void StartHandWithWestToPlay(SessionRig& rig) {
    EnterAsPlayer(rig);
    rig.Feed(NewHand{}.Build());
    rig.session->OnGameButtonClick(2);
    rig.Feed(Deal(1, 0, kMyHand));
    rig.Feed(DiscardMsg(0, 30, 0, 1, 36));
    rig.Feed(DiscardMsg(1, 36, 0, 2, 29));
    rig.TakeSent();
    rig.log.Clear();
}

TEST(MessagesDuringAnimations, DirectDrawsThatGiveTheTurnToThePlayerLeaveHimTheTurn) {
    SessionRig rig;
    StartHandWithWestToPlay(rig);
    // While west's discard grows on the table, north's and east's discards
    // come, each with the next draw given; the second draw is "me"'s.
    rig.display.arriving = {DiscardMsg(3, 6, 0, 0, 7), DiscardMsg(0, 7, 0, 1, 8)};
    rig.Feed(DiscardMsg(2, 29, 0, 3, 6));

    const auto& table = rig.session->table();
    EXPECT_EQ(table.bytTurnChair, 1);
    EXPECT_EQ(table.bytTurnPhase, 5);
    EXPECT_EQ(table.bytCurTile, 8);
    EXPECT_TRUE(rig.clock.RunningFor(1));
    EXPECT_EQ(table.bytMyHand.size(), 14u);
    EXPECT_EQ(table.Seats[2].Discards, (Hand{29}));
    EXPECT_EQ(table.Seats[3].Discards, (Hand{6}));
    EXPECT_EQ(table.Seats[0].Discards, (Hand{30, 7}));
    // The three discards are shown one after another, in the server's order.
    EXPECT_LT(rig.log.IndexOf("Animation 3 0 29"), rig.log.IndexOf("Animation 0 0 6"));
    EXPECT_LT(rig.log.IndexOf("Animation 0 0 6"), rig.log.IndexOf("Animation 1 0 7"));

    ASSERT_TRUE(rig.session->MayDiscardNow());
    rig.session->OnHandTileClick(14, MouseButton::Left);
    EXPECT_EQ(rig.TakeSent(), std::vector<Bytes>{DiscardRequest(1, 8)});
}

TEST(MessagesDuringAnimations, DiscardDuringItsOwnChowLeavesTheClaimWindowAndThePileRight) {
    SessionRig rig;
    StartHandWithWestToPlay(rig);
    rig.Feed(DiscardMsg(2, 29, 0, 3, 6));
    rig.Feed(DiscardMsg(3, 6, 0, 0, 7));
    rig.Feed(DiscardMsg(0, 7, 0, 1, 21));
    rig.Feed(DiscardMsg(1, 21));  // "me" discards 4 of bamboo: the claim window opens
    rig.TakeSent();

    // West chows it, and its discard arrives while the chow is shown.
    rig.display.arriving = {DiscardMsg(2, 30)};
    rig.Feed(Message({20, 0, 2, 21}));

    const auto& table = rig.session->table();
    EXPECT_EQ(table.Seats[2].Melds, (std::vector<MeldRecord>{{MeldKind::Chow, 21, 1}}));
    EXPECT_EQ(table.bytTurnChair, 2);
    EXPECT_EQ(table.bytTurnPhase, 0);
    EXPECT_EQ(table.bytCurTile, 30);
    EXPECT_TRUE(rig.log.Contains("ShowNewestDiscard 2 30"));

    rig.Feed(Draw(3, 5));
    EXPECT_EQ(table.Seats[2].Discards, (Hand{29, 30}));
}

TEST(MessagesDuringAnimations, ReadyPlayersImmediateDiscardWaitsForTheDiscardBeforeIt) {
    SessionRig rig;
    StartHandWithWestToPlay(rig);
    rig.Feed(DiscardMsg(2, 29, 0, 3, 6));
    rig.Feed(DiscardMsg(3, 6, 1, 0, 7));  // north declares a ready hand
    rig.Feed(DiscardMsg(0, 7, 0, 1, 21));
    rig.Feed(DiscardMsg(1, 21, 0, 2, 22));
    rig.TakeSent();

    // West's discard opens a claim window nobody takes; north, ready, throws
    // the tile it draws at once, all while west's discard is still growing.
    rig.display.arriving = {Draw(3, 10), DiscardMsg(3, 10)};
    rig.Feed(DiscardMsg(2, 26));

    const auto& table = rig.session->table();
    EXPECT_EQ(table.Seats[2].Discards, (Hand{29, 26}));
    EXPECT_EQ(table.bytTurnChair, 3);
    EXPECT_EQ(table.bytTurnPhase, 0);
    EXPECT_EQ(table.bytCurTile, 10);
    EXPECT_EQ(rig.session->turn().bytNewestDiscardChair, 3);
    // "me" passes once on west's 9 of bamboo and once on north's 2 of dots.
    EXPECT_EQ(rig.TakeSent().size(), 2u);
}

TEST(MessagesDuringAnimations,
     QuestionAfterAnAnimationTakesTheHeldMessagesFirstAndKeepsDelivering) {
    SessionRig rig;
    EnterAsPlayer(rig);
    NewHand hand;
    hand.wildIndicator = 27;  // "me" holds three of them
    rig.Feed(hand.Build());
    rig.session->OnGameButtonClick(2);
    rig.Feed(Deal(1, 0, {0, 1, 3, 4, 9, 9, 12, 12, 18, 19, 27, 27, 27}));
    const auto chat = [](const std::string& words) {
        return TextFrom({1}, net::JoinFields({"", "", "east", "所有人", "#000000", "宋体", "10",
                                              "0", "0", words}));
    };
    rig.display.arriving = {chat("一")};
    std::size_t linesWhileAsked = 0;
    rig.messages.whileOpen = [&] {
        rig.Feed(chat("二"));
        linesWhileAsked = rig.chat.chatMessages.size();
    };
    rig.Feed(DiscardMsg(0, 30, 0, 1, 36));  // the draw that brings the question
    ASSERT_EQ(rig.messages.shown.size(), 1u);
    EXPECT_EQ(linesWhileAsked, 2u);
}

TEST(MessagesDuringAnimations, DiceHoldTheMessagesOfTheNewHand) {
    SessionRig rig;
    EnterAsPlayer(rig);
    rig.log.Clear();
    rig.display.arriving = {Message({28, 0, 0, 2})};
    rig.Feed(NewHand{}.Build());
    EXPECT_LT(rig.log.IndexOf("PaintGameButtons"), rig.log.IndexOf("PaintBetFlag 0"));
    EXPECT_EQ(rig.session->table().Seats[0].bytBetChoice, 2);
}

TEST(MessagesDuringAnimations, NothingHeldIsDeliveredOnceTheSessionHasEnded) {
    for (const bool connectionLost : {false, true}) {
        SessionRig rig;
        StartHandWithWestToPlay(rig);
        rig.display.arriving = {DiscardMsg(3, 6, 0, 0, 7), DiscardMsg(0, 7, 0, 1, 8)};
        rig.display.duringWait = [&] {
            if (connectionLost)
                rig.session->OnConnectionEnded();
            else
                rig.session->OnMainWindowUnloading();
        };
        rig.Feed(DiscardMsg(2, 29, 0, 3, 6));
        rig.Feed(Draw(1, 9));
        EXPECT_TRUE(rig.session->ended());
        EXPECT_EQ(rig.log.Count("Animation 0 0 6"), 0u);
        EXPECT_TRUE(rig.session->table().bytMyHand.empty());
        EXPECT_TRUE(rig.TakeSent().empty());
        EXPECT_FALSE(rig.clock.visible);
    }
}

Bytes Notice(const std::string& text) {
    return TextFrom({26}, text);
}

std::vector<std::string> ShownNotes(const SessionRig& rig) {
    std::vector<std::string> notes;
    for (const auto& box : rig.messages.shown) notes.push_back(box.note);
    return notes;
}

TEST(ServerBoxes, BoxesArrivingWhileOneIsOpenWaitBehindItAndTheNewestKeepsTheLastPlace) {
    SessionRig rig;
    EnterAsPlayer(rig);
    std::size_t shownWhileOpen = 0;
    rig.messages.whileOpen = [&] {
        for (int i = 2; i <= 3000; ++i) rig.Feed(Notice("通知" + std::to_string(i)));
        shownWhileOpen = rig.messages.shown.size();
    };
    rig.Feed(Notice("通知1"));
    EXPECT_EQ(shownWhileOpen, 1u);
    EXPECT_EQ(ShownNotes(rig), (std::vector<std::string>{"通知1", "通知2", "通知3", "通知3000"}));
}

TEST(ServerBoxes, WhatAWaitingBoxLeadsToHappensOnceItIsShown) {
    SessionRig rig;
    EnterAsPlayer(rig);
    rig.Feed(NewHand{}.Build());
    rig.messages.whileOpen = [&] {
        rig.Feed(Message({27, 0}));
        EXPECT_FALSE(rig.session->globals().blnShowStart);
    };
    rig.Feed(Notice("通知"));
    EXPECT_EQ(ShownNotes(rig).back(), "很遗憾：本局竟然是荒牌！都不得分！");
    EXPECT_TRUE(rig.session->globals().blnShowStart) << "the drawn game ended the hand";

    // The server stops "me" in a flood: its box takes the last place and
    // still closes the window.
    rig.messages.whileOpen = [&] {
        for (int i = 0; i < 3; ++i) rig.Feed(Notice("通知"));
        rig.Feed(TextFrom({5, 0, 1}, "超时"));
        for (int i = 0; i < 3; ++i) rig.Feed(Notice("通知"));
        EXPECT_EQ(rig.window.unloads, 0);
    };
    rig.Feed(Notice("通知"));
    EXPECT_EQ(rig.window.unloads, 1);
    EXPECT_EQ(rig.messages.shown.size(), 2u + 1u + kWaitingServerBoxLimit);
    EXPECT_TRUE(rig.session->ended());
}

TEST(ServerBoxes, RepeatedRobKongOfferDoesNotAskOnTopOfTheOpenQuestion) {
    SessionRig rig;
    EnterAsPlayer(rig);
    rig.Feed(NewHand{}.Build());
    rig.messages.whileOpen = [&] { rig.Feed(Message({29, 0, 1})); };
    rig.Feed(Message({29, 0, 1}));
    EXPECT_EQ(rig.messages.shown.size(), 1u);
}

}  // namespace
}  // namespace qira::play::testing
