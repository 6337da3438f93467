#include <gtest/gtest.h>

#include "net/requests.h"
#include "stacked_table.h"

namespace qira::server::testing {
namespace {

TEST(Claims, WinBeatsPungAndChowWhateverTheOrderOfArrival) {
    Table4 t(ClaimRaceConfig());
    ASSERT_EQ(t[0].chair, 0);
    ASSERT_EQ(t[0].hand.size(), 14u);
    t[0].Send(net::requests::Discard(0, 4, 0, 0));
    ASSERT_TRUE(t.AllGot(19));
    EXPECT_EQ((*t[1].First(19))[6], 255) << "a claim window opens";
    t[1].Send(net::requests::Chow(1, 2));
    t[2].Send(net::requests::Pung(2, 4));
    t[3].Send(net::requests::Win(3));
    ASSERT_TRUE(t.AllGot(23));
    const Bytes win = *t[0].First(23);
    EXPECT_EQ(win[1], 1) << "one winner";
    EXPECT_EQ(win[2], 3) << "chair 3 wins";
    EXPECT_EQ(t[0].Count(20) + t[0].Count(21), 0);
}

TEST(Claims, PungBeatsAnEarlierChowOncePassedOnTheWin) {
    Table4 t(ClaimRaceConfig());
    t[0].Send(net::requests::Discard(0, 4, 0, 0));
    ASSERT_TRUE(t.AllGot(19));
    t[1].Send(net::requests::Chow(1, 2));
    EXPECT_TRUE(t.Quiet(20)) << "the chow waits for the players who could claim more";
    t[3].Send(net::requests::Pass(3));
    t[2].Send(net::requests::Pung(2, 4));
    ASSERT_TRUE(t.AllGot(21));
    EXPECT_EQ((*t[0].First(21))[2], 2);
    EXPECT_EQ(t[0].Count(20), 0);
}

TEST(Claims, AChowGoesThroughWhenTheOthersPass) {
    Table4 t(ClaimRaceConfig());
    t[0].Send(net::requests::Discard(0, 4, 0, 0));
    ASSERT_TRUE(t.AllGot(19));
    t[3].Send(net::requests::Pass(3));
    t[2].Send(net::requests::Pass(2));
    t[1].Send(net::requests::Chow(1, 2));
    ASSERT_TRUE(t.AllGot(20));
    const Bytes chow = *t[3].First(20);
    EXPECT_EQ(chow[2], 1);
    EXPECT_EQ(chow[3], 2);
}

TEST(Claims, IllegalRequestsAreRefusedAndChangeNothing) {
    Table4 t(ClaimRaceConfig());
    t[1].Send(net::requests::Discard(1, 2, 0, 0));   // not chair 1's turn
    t[0].Send(net::requests::Discard(0, 36, 0, 0));  // not in the dealer's hand
    t[2].Send(net::requests::Discard(0, 4, 0, 0));   // chair 2 speaking for chair 0
    t[0].Send(Bytes{19, 0, 0});                      // cut short
    t[0].Send(net::requests::Pung(0, 4));            // no discard to claim
    t[0].Send(Bytes{250, 9, 1, 2, 3});               // unknown type
    t[3].Send(net::requests::Win(3));                // no win on the own turn of another
    EXPECT_TRUE(t.Quiet(19));
    EXPECT_TRUE(t.Quiet(23));
    const auto& refused = t.server->lobby().tally().refusedBy;
    const auto count = [&](Refusal why) { return refused[static_cast<std::size_t>(why)]; };
    EXPECT_EQ(count(Refusal::NotThisChairsTurn), 1u);
    EXPECT_EQ(count(Refusal::TileNotInHand), 1u);
    EXPECT_EQ(count(Refusal::NotSendersChair), 1u);
    EXPECT_EQ(count(Refusal::TooShort), 1u);
    EXPECT_EQ(count(Refusal::UnknownRequest), 1u);
    EXPECT_TRUE(t.server->Logged("refused from p0 [19 0 0]: too short"));
    t[0].Send(net::requests::Discard(0, 4, 0, 0));
    ASSERT_TRUE(t.AllGot(19));
    // A chow of a shape the hand does not hold is refused too.
    t[1].Send(net::requests::Chow(1, 3));
    t[3].Send(net::requests::Pass(3));
    t[2].Send(net::requests::Pass(2));
    EXPECT_TRUE(t.Quiet(20));
    t[1].Send(net::requests::Chow(1, 2));
    ASSERT_TRUE(t.AllGot(20));
}

TEST(Claims, ABrokenFrameEndsOnlyThatConnection) {
    Table4 t(ClaimRaceConfig(), Transport::Tcp);
    t[2].SendRaw(QByteArray("\0\0\0\0", 4));
    ASSERT_TRUE(t[2].PumpUntil([&] { return t[2].Disconnected(); }, 5s));
    // The others see the player drop; the hand goes on.
    ASSERT_TRUE(t[0].PumpUntil([&] { return t[0].Count(108, 3) == 1; }, 5s));
    t[0].Send(net::requests::Discard(0, 4, 0, 0));
    ASSERT_TRUE(t[1].PumpUntil([&] { return t[1].Count(19) == 1; }, 5s));
}

}  // namespace
}  // namespace qira::server::testing

namespace qira::server::testing {
namespace {

TEST(Claims, AddingToAPungCanBeRobbed) {
    Table4 t(RobKongConfig());
    const auto waitFor = [&](ScriptedClient& c, int type, int count) {
        return PumpAll(
            t.all, [&] { return c.Count(type) >= count; }, 10s);
    };
    t[0].Send(net::requests::Discard(0, 4, 0, 0));
    ASSERT_TRUE(waitFor(t[3], 19, 1));
    t[3].Send(net::requests::Pass(3));  // passes on the win for now
    t[2].Send(net::requests::Pung(2, 4));
    ASSERT_TRUE(waitFor(t[2], 21, 1));
    t[2].Send(net::requests::Discard(2, 26, 0, 0));
    ASSERT_TRUE(waitFor(t[3], 19, 2));
    EXPECT_EQ(t[3].received().back()[7], 38) << "chair 3 draws in the same message";
    t[3].Send(net::requests::Discard(3, 38, 0, 0));
    ASSERT_TRUE(waitFor(t[0], 19, 3));
    t[0].Send(net::requests::Discard(0, 38, 0, 0));
    ASSERT_TRUE(waitFor(t[1], 19, 4));
    t[1].Send(net::requests::Discard(1, 38, 0, 0));
    ASSERT_TRUE(waitFor(t[2], 19, 5));
    EXPECT_EQ(t[2].received().back()[7], 4) << "the fourth 5 of characters";
    t[2].Send(net::requests::Kong(2, 4, 4));
    ASSERT_TRUE(waitFor(t[3], 29, 1));
    EXPECT_EQ(*t[3].First(29), (Bytes{29, 0, 3}));
    EXPECT_EQ(t[1].Count(29), 0) << "only the robber is asked";
    t[3].Send(net::requests::RobKongAnswer(3, true));
    ASSERT_TRUE(t.AllGot(23));
    const Bytes win = *t[1].First(23);
    EXPECT_EQ(win[2], 3);
    ASSERT_EQ(win[4], 13);
    EXPECT_EQ(win[18], 2) << "the konger counts as the discarder";
    EXPECT_EQ(win[24], 2) << "杠上炮";
    EXPECT_EQ(t[1].Count(22), 0) << "the kong never happened";
}

TEST(Claims, DecliningTheRobLetsTheKongStand) {
    Table4 t(RobKongConfig());
    const auto waitFor = [&](ScriptedClient& c, int type, int count) {
        return PumpAll(
            t.all, [&] { return c.Count(type) >= count; }, 10s);
    };
    t[0].Send(net::requests::Discard(0, 4, 0, 0));
    ASSERT_TRUE(waitFor(t[3], 19, 1));
    t[3].Send(net::requests::Pass(3));
    t[2].Send(net::requests::Pung(2, 4));
    ASSERT_TRUE(waitFor(t[2], 21, 1));
    t[2].Send(net::requests::Discard(2, 26, 0, 0));
    ASSERT_TRUE(waitFor(t[3], 19, 2));
    t[3].Send(net::requests::Discard(3, 38, 0, 0));
    ASSERT_TRUE(waitFor(t[0], 19, 3));
    t[0].Send(net::requests::Discard(0, 38, 0, 0));
    ASSERT_TRUE(waitFor(t[1], 19, 4));
    t[1].Send(net::requests::Discard(1, 38, 0, 0));
    ASSERT_TRUE(waitFor(t[2], 19, 5));
    t[2].Send(net::requests::Kong(2, 4, 4));
    ASSERT_TRUE(waitFor(t[3], 29, 1));
    t[3].Send(net::requests::RobKongAnswer(3, false));
    ASSERT_TRUE(t.AllGot(22));
    const Bytes theirs = *t[0].First(22);
    EXPECT_EQ(theirs[1], 4);
    EXPECT_EQ(theirs[3], 4);
    EXPECT_EQ(theirs[4], rules::kFaceDownTile) << "the replacement is the konger's secret";
    EXPECT_NE((*t[2].First(22))[4], rules::kFaceDownTile);
}

}  // namespace
}  // namespace qira::server::testing
