// Win offers through the session with the real win analysis: on a discard,
// on the own draw, and what passing them costs.
#include <gtest/gtest.h>

#include "net/requests.h"
#include "session_fakes.h"
#include "tile_notation.h"

namespace qira::play::testing {
namespace {

namespace rq = net::requests;

// Waits on the east wind only.
const std::vector<std::uint8_t> kWaitingHand = test_support::Tiles("123456m123p123s1z");

void StartWaitingHand(SessionRig& rig) {
    EnterAsPlayer(rig);
    rig.Feed(NewHand{}.Build());
    rig.session->OnGameButtonClick(2);
    rig.Feed(Deal(1, 0, kWaitingHand));
    rig.TakeSent();
}

std::array<std::uint8_t, 5> Buttons(const SessionRig& rig) {
    return rig.session->offer().bytActionButtons;
}

TEST(WinOffer, DiscardThatCompletesTheHandIsOfferedAndClaimed) {
    SessionRig rig;
    StartWaitingHand(rig);
    rig.Feed(DiscardMsg(2, 27));
    EXPECT_EQ(Buttons(rig), (std::array<std::uint8_t, 5>{0, 0, 0, 1, 1}));
    EXPECT_TRUE(rig.clock.RunningFor(kClaimWindowTag));
    rig.session->OnActionButton(3, MouseButton::Left);
    EXPECT_EQ(rig.TakeSent(), std::vector<Bytes>{rq::Win(1)});
    EXPECT_FALSE(rig.clock.visible);
}

TEST(WinResult, AMalformedRecordShowsNoWindowButStillEndsTheHand) {
    SessionRig rig;
    StartWaitingHand(rig);
    rig.Feed(Message({23, 1, 0}));
    EXPECT_FALSE(rig.winResult.lastRecord);
    EXPECT_FALSE(rig.log.Contains("ShowHuResultCentred"));
    EXPECT_TRUE(rig.session->globals().blnShowStart);
}

// Pressing start while the win window is open: the next hand's side bets
// must not open underneath it.
TEST(WinResult, TheNextHandClosesTheWindowBeforeItsDiceAndSideBets) {
    SessionRig rig;
    StartWaitingHand(rig);
    rig.log.Clear();
    rig.Feed(WinMessage({1}));
    ASSERT_TRUE(rig.log.Contains("ShowHuResultCentred"));
    EXPECT_FALSE(rig.log.Contains("CloseHuResult")) << "the hand's own result stays";
    rig.log.Clear();
    rig.Feed(NewHand{}.Build());
    ASSERT_TRUE(rig.log.Contains("CloseHuResult"));
    EXPECT_LT(rig.log.IndexOf("CloseHuResult"), rig.log.IndexOf("RollDice 4"));
}

TEST(WinOffer, PassingAWinLosesDiscardWinsUntilTheNextOwnDraw) {
    SessionRig rig;
    StartWaitingHand(rig);
    rig.Feed(DiscardMsg(2, 27));
    rig.session->OnActionButton(4, MouseButton::Left);
    EXPECT_EQ(rig.TakeSent(), std::vector<Bytes>{rq::Pass(1)});
    EXPECT_FALSE(rig.session->turn().blnMayWinOnDiscard);

    rig.Feed(Draw(3, 5));
    rig.Feed(DiscardMsg(3, 27));
    EXPECT_EQ(rig.TakeSent(), std::vector<Bytes>{rq::Pass(1)});  // no win offered

    // A self-drawn win is still offered, and the own draw restores the right.
    rig.Feed(Draw(1, 27));
    EXPECT_EQ(Buttons(rig), (std::array<std::uint8_t, 5>{0, 0, 0, 1, 1}));
    EXPECT_TRUE(rig.session->turn().blnMayWinOnDiscard);
    EXPECT_TRUE(rig.clock.RunningFor(kClaimWindowTag));
    // Letting the clock run out on the own turn gives the 20-second discard turn.
    rig.session->OnClockTimeout();
    EXPECT_TRUE(rig.sender.sent.empty());
    EXPECT_TRUE(rig.clock.RunningFor(1));
    EXPECT_EQ(rig.clock.seconds, 20);
}

TEST(WinOffer, ClaimClockRunningOutDeclinesTheWin) {
    SessionRig rig;
    StartWaitingHand(rig);
    rig.Feed(DiscardMsg(2, 27));
    rig.session->OnClockTimeout();
    EXPECT_EQ(rig.TakeSent(), std::vector<Bytes>{rq::Pass(1)});
    EXPECT_FALSE(rig.session->turn().blnMayWinOnDiscard);
}

TEST(WinOffer, ChoosingAPungDeclinesTheOfferedKong) {
    SessionRig rig;
    EnterAsPlayer(rig);
    rig.Feed(NewHand{}.Build());
    rig.session->OnGameButtonClick(2);
    // Waits on 1 of dots for the pair, and holds three east winds.
    rig.Feed(Deal(1, 0, test_support::Tiles("123456m1p123s111z")));
    rig.TakeSent();
    rig.Feed(DiscardMsg(2, 9));
    EXPECT_EQ(Buttons(rig), (std::array<std::uint8_t, 5>{0, 0, 0, 1, 1}));
    rig.Feed(Draw(3, 5));
    rig.TakeSent();
    rig.Feed(DiscardMsg(3, 27));
    EXPECT_EQ(Buttons(rig)[1], 1);  // pung of the east wind
    EXPECT_EQ(Buttons(rig)[2], 1);  // and the kong
    rig.session->OnActionButton(1, MouseButton::Left);
    EXPECT_EQ(rig.TakeSent(), std::vector<Bytes>{rq::Pung(1, 27)});
    EXPECT_TRUE(rig.session->table().IsPassedKongTile(27));
}

TEST(WinOffer, ReadyPlayerMustDiscardTheFreshTileAfterPassingAWin) {
    SessionRig rig;
    StartWaitingHand(rig);
    rig.Feed(DiscardMsg(0, 30));
    rig.TakeSent();
    rig.Feed(Draw(1, 36));
    rig.session->OnHandTileClick(14, MouseButton::Left);
    rig.Feed(DiscardMsg(1, 36, 1));  // the server marks "me" ready
    rig.Feed(Draw(2, 5));
    rig.Feed(DiscardMsg(2, 38));
    rig.TakeSent();

    rig.Feed(Draw(1, 27));
    EXPECT_EQ(Buttons(rig), (std::array<std::uint8_t, 5>{0, 0, 0, 1, 1}));
    rig.session->OnActionButton(4, MouseButton::Left);
    ASSERT_TRUE(rig.clock.RunningFor(1));

    // The rule is always said, whatever "出牌不对时给出提示", as a line and
    // not as a box to dismiss while the turn clock runs.
    rig.preferences.wrongOutPrompt = false;
    rig.session->OnHandTileClick(1, MouseButton::Left);
    EXPECT_EQ(rig.session->statusLine(), "你已经听牌了，必须打出刚抓到的牌！");
    EXPECT_TRUE(rig.messages.shown.empty());
    EXPECT_TRUE(rig.sender.sent.empty());
    EXPECT_TRUE(rig.clock.RunningFor(1));

    rig.session->OnHandTileClick(14, MouseButton::Left);
    EXPECT_EQ(rig.TakeSent(),
              std::vector<Bytes>{DiscardRequest(1, 27, rig.session->table().bytFirstWinningTile)});
}

TEST(WinOffer, ReadyPlayerIsOfferedAKongThatKeepsTheWait) {
    SessionRig rig;
    EnterAsPlayer(rig);
    rig.Feed(NewHand{}.Build());
    rig.session->OnGameButtonClick(2);
    rig.Feed(Deal(1, 0, test_support::Tiles("123456m444p123s1z")));
    rig.Feed(DiscardMsg(0, 30));
    rig.Feed(Draw(1, 36));
    rig.session->OnHandTileClick(14, MouseButton::Left);
    rig.Feed(DiscardMsg(1, 36, 1));
    rig.TakeSent();
    rig.Feed(Draw(2, 5));
    rig.Feed(DiscardMsg(2, 12));  // a ready player: no pung, but the kong keeps the wait
    EXPECT_EQ(Buttons(rig), (std::array<std::uint8_t, 5>{0, 0, 1, 0, 1}));
    EXPECT_EQ(rig.session->table().bytFirstWinningTile, 27);
}

}  // namespace
}  // namespace qira::play::testing
