// Whole hands driven through the session as the server would send them:
// start, side bets, deal, draws, discards, claims, kongs, the end of a hand.
#include <gtest/gtest.h>

#include "net/requests.h"
#include "session_fakes.h"
#include "tile_notation.h"

namespace qira::play::testing {
namespace {

namespace rq = net::requests;
using rules::MeldKind;
using rules::MeldRecord;
using Hand = std::vector<rules::TileCode>;

const Hand kMyHand = test_support::Tiles("1245m11444p123s1z");

// Starts a hand dealt by chair 0 with the given wild tiles, skips the side
// bets and deals kMyHand (or `tiles`) to "me" in chair 1.
void StartHand(SessionRig& rig, NewHand hand = {}, const Hand& tiles = kMyHand) {
    rig.Feed(hand.Build());
    rig.session->OnGameButtonClick(2);
    rig.Feed(Deal(1, 0, tiles));
    rig.TakeSent();
    rig.log.Clear();
}

// The dealer discards a tile nobody claims (the pass goes out), then "me" draws.
void DrawAfterDealerDiscard(SessionRig& rig, std::uint8_t tile) {
    rig.Feed(DiscardMsg(0, 30));
    rig.TakeSent();
    rig.Feed(Draw(1, tile));
}

std::array<std::uint8_t, 5> Buttons(const SessionRig& rig) {
    return rig.session->offer().bytActionButtons;
}

TEST(FullHand, NonDealerPlaysThroughChowPassAndADirectDraw) {
    SessionRig rig;
    EnterAsPlayer(rig);
    rig.TakeSent();

    rig.Feed(NewHand{}.Build());
    EXPECT_EQ(rig.TakeSent(), std::vector<Bytes>{rq::HandStarted()});
    EXPECT_EQ(rig.log.Count("Sound 7"), 2u);
    EXPECT_LT(rig.log.IndexOf("PaintFullWalls"), rig.log.IndexOf("RollDice 4"));
    EXPECT_FALSE(rig.session->globals().blnShowStart);
    EXPECT_FALSE(rig.session->table().blnHandIdle);
    EXPECT_EQ(rig.session->table().bytDealerChair, 0);
    EXPECT_TRUE(rig.clock.RunningFor(1));
    EXPECT_EQ(rig.clock.seconds, 20);

    // Side bets: both bets chosen send at once.
    rig.session->OnGameButtonClick(0);
    EXPECT_TRUE(rig.sender.sent.empty());
    rig.session->OnGameButtonClick(0);  // already chosen: no second add
    rig.session->OnGameButtonClick(1);
    EXPECT_EQ(rig.TakeSent(), std::vector<Bytes>{rq::SideBets(1, 3)});
    EXPECT_FALSE(rig.clock.visible);
    rig.Feed(Message({28, 0, 0, 2}));
    EXPECT_EQ(rig.session->table().Seats[0].bytBetChoice, 2);
    EXPECT_TRUE(rig.log.Contains("PaintBetFlag 0"));

    rig.Feed(Deal(1, 0, kMyHand));
    EXPECT_EQ(rig.session->table().bytMyHand, Hand(kMyHand));
    EXPECT_EQ(rig.session->table().bytTurnPhase, 5);
    EXPECT_TRUE(rig.clock.RunningFor(0));
    EXPECT_TRUE(rig.log.Contains("ShowTurnHighlight 0"));

    // The dealer (the chair before "me") discards 3 of characters: three chows.
    rig.log.Clear();
    rig.Feed(DiscardMsg(0, 2));
    EXPECT_EQ(rig.session->table().bytTurnPhase, 0);
    EXPECT_TRUE(rig.log.Contains("TileSound 2"));
    EXPECT_TRUE(rig.log.Contains("Animation 1 0 2"));  // chair 0 sits on the left
    EXPECT_TRUE(rig.log.Contains("ShowNewestDiscard 0 2"));
    EXPECT_TRUE(rig.timers.newestDiscard);
    EXPECT_EQ(Buttons(rig), (std::array<std::uint8_t, 5>{1, 0, 0, 0, 1}));
    EXPECT_TRUE(rig.clock.RunningFor(kClaimWindowTag));
    EXPECT_EQ(rig.clock.seconds, 10);

    rig.chowChooser.choice = 1;
    rig.session->OnActionButton(0, MouseButton::Left);
    ASSERT_EQ(rig.chowChooser.offered.size(), 1u);
    EXPECT_EQ(rig.chowChooser.offered[0], (std::vector<Tile>{0, 1, 2}));
    EXPECT_EQ(rig.TakeSent(), std::vector<Bytes>{rq::Chow(1, 1)});
    EXPECT_FALSE(rig.clock.visible);

    rig.Feed(Message({20, 1, 1, 1}));
    EXPECT_TRUE(rig.log.Contains("Sound 1"));
    EXPECT_TRUE(rig.log.Contains("Animation 2 1 2"));  // the chow of the discarded 3
    const auto& table = rig.session->table();
    EXPECT_EQ(table.bytMyHand, (Hand{0, 4, 9, 9, 12, 12, 12, 18, 19, 20, 27}));
    EXPECT_EQ(table.Seats[1].Melds, (std::vector<MeldRecord>{{MeldKind::Chow, 1, 0}}));
    EXPECT_TRUE(table.Seats[0].Discards.empty());  // a claimed discard never enters a pile
    EXPECT_EQ(table.bytTurnPhase, 1);
    EXPECT_TRUE(rig.clock.RunningFor(1));
    EXPECT_FALSE(rig.timers.newestDiscard);

    rig.session->OnHandTileClick(11, MouseButton::Right);  // right button: ignored
    EXPECT_TRUE(rig.sender.sent.empty());
    rig.session->OnHandTileClick(11, MouseButton::Left);
    EXPECT_EQ(rig.TakeSent(), std::vector<Bytes>{DiscardRequest(1, 27)});
    EXPECT_FALSE(rig.clock.visible);
    rig.session->OnHandTileClick(10, MouseButton::Left);  // the clock is stopped: ignored
    EXPECT_TRUE(rig.sender.sent.empty());

    rig.Feed(DiscardMsg(1, 27));
    EXPECT_EQ(table.bytMyHand.size(), 10u);
    EXPECT_TRUE(rig.sender.sent.empty());  // nobody asks "me" about its own discard

    rig.Feed(Draw(2, 5));
    EXPECT_EQ(table.Seats[1].Discards, (Hand{27}));
    EXPECT_EQ(table.Seats[0].lngWallHead, 1);  // head segment of chair 0 advanced from 0
    EXPECT_EQ(rig.session->turn().bytDrawnTileSeat, 2);
    EXPECT_TRUE(rig.clock.RunningFor(2));

    // West (not the chair before "me") discards 1 of dots: pung, no chow.
    rig.Feed(DiscardMsg(2, 9));
    EXPECT_EQ(Buttons(rig), (std::array<std::uint8_t, 5>{0, 1, 0, 0, 1}));
    rig.session->OnActionButton(4, MouseButton::Left);
    EXPECT_EQ(rig.TakeSent(), std::vector<Bytes>{rq::Pass(1)});

    rig.Feed(Draw(3, 6));
    EXPECT_EQ(table.Seats[2].Discards, (Hand{9}));

    // North's discard nobody can claim comes with the next draw already given.
    rig.log.Clear();
    rig.Feed(DiscardMsg(3, 30, 0, 0, 31));
    EXPECT_EQ(table.Seats[3].Discards, (Hand{30}));
    EXPECT_EQ(table.bytTurnChair, 0);
    EXPECT_EQ(table.bytTurnPhase, 5);
    EXPECT_LT(rig.log.IndexOf("PaintWall 0"), rig.log.IndexOf("Animation 3 0 30"));
    EXPECT_TRUE(rig.sender.sent.empty());

    // The dealer's discard hands the next draw to "me".
    rig.Feed(DiscardMsg(0, 13, 0, 1, 22));
    EXPECT_EQ(table.bytMyHand.back(), 22);
    EXPECT_EQ(table.bytTurnChair, 1);
    EXPECT_TRUE(rig.clock.RunningFor(1));
    EXPECT_TRUE(rig.session->turn().blnMayWinOnDiscard);

    rig.Feed(WinMessage({3}));
    EXPECT_TRUE(rig.log.Contains("Sound 5"));
    EXPECT_LT(rig.log.IndexOf("LoadHuResult"), rig.log.IndexOf("ProcessHuResultData"));
    EXPECT_LT(rig.log.IndexOf("ProcessHuResultData"), rig.log.IndexOf("ShowHuResultCentred"));
    ASSERT_TRUE(rig.winResult.lastRecord);
    EXPECT_EQ(rig.winResult.lastRecord->winners.at(0).chair, 3);
    EXPECT_TRUE(rig.session->globals().blnShowStart);
    EXPECT_TRUE(rig.timers.start);
    EXPECT_FALSE(rig.clock.visible);
}

TEST(FullHand, DealerGetsFourteenTilesAndTheFirstTurn) {
    SessionRig rig;
    EnterAsPlayer(rig);
    NewHand hand;
    hand.dealer = 1;
    rig.Feed(hand.Build());
    rig.session->OnGameButtonClick(2);
    rig.TakeSent();
    rig.Feed(Deal(1, 21, {0, 1, 3, 4, 9, 9, 12, 12, 12, 18, 19, 20, 27, 21, 36, 37}));
    const auto& table = rig.session->table();
    EXPECT_EQ(table.bytMyHand.size(), 14u);  // the extra tiles are dropped
    EXPECT_EQ(table.bytTurnChair, 1);
    EXPECT_EQ(table.bytCurTile, 21);
    EXPECT_TRUE(rig.clock.RunningFor(1));
    EXPECT_TRUE(rig.sender.sent.empty());

    rig.session->OnHandTileClick(14, MouseButton::Left);
    EXPECT_EQ(rig.TakeSent(), std::vector<Bytes>{DiscardRequest(1, 27)});
}

TEST(FullHand, DealToAnotherChairIsIgnored) {
    SessionRig rig;
    EnterAsPlayer(rig);
    StartHand(rig);
    const Hand before = rig.session->table().bytMyHand;
    rig.Feed(Deal(2, 0, {5, 5, 5}));
    EXPECT_EQ(rig.session->table().bytMyHand, before);
}

TEST(Claims, ChowChooserReChecksTheTurnWhenItCloses) {
    SessionRig rig;
    EnterAsPlayer(rig);
    StartHand(rig);
    rig.Feed(DiscardMsg(0, 2));
    ASSERT_EQ(Buttons(rig)[0], 1);
    // While the chooser is open, north pungs the discard.
    rig.chowChooser.whileOpen = [&] { rig.Feed(Message({21, 2, 3, 2})); };
    rig.session->OnActionButton(0, MouseButton::Left);
    EXPECT_EQ(rig.session->table().bytTurnChair, 3);
    EXPECT_TRUE(rig.sender.sent.empty());
}

TEST(Claims, ChowChooserThatWaitedOverALaterDiscardSendsNoChow) {
    SessionRig rig;
    EnterAsPlayer(rig);
    StartHand(rig);
    rig.Feed(DiscardMsg(0, 2));
    ASSERT_EQ(Buttons(rig)[0], 1);
    // While the chooser is open, north pungs and discards: a claim window is
    // open again, but for another tile.
    rig.chowChooser.whileOpen = [&] {
        rig.Feed(Message({21, 2, 3, 2}));
        rig.Feed(DiscardMsg(3, 30));
    };
    rig.session->OnActionButton(0, MouseButton::Left);
    for (const Bytes& request : rig.TakeSent())
        EXPECT_NE(request, rq::Chow(1, rig.chowChooser.offered[0][0])) << "the chow is stale";
}

TEST(TurnHighlight, FollowsTheOtherChairsAndGoesWhenTheTurnIsMine) {
    SessionRig rig;
    EnterAsPlayer(rig);
    StartHand(rig);
    rig.Feed(DiscardMsg(0, 30, 0, 1, 22));  // nobody claims: "me" draws at once
    rig.Feed(DiscardMsg(1, 22, 0, 2, 100));
    EXPECT_EQ(rig.session->turn().bytHighlightChair, 2);
    EXPECT_TRUE(rig.log.Contains("ShowTurnHighlight 2"));
    rig.Feed(DiscardMsg(2, 5, 0, 3, 100));
    EXPECT_EQ(rig.session->turn().bytHighlightChair, 3);
    rig.log.Clear();
    rig.Feed(DiscardMsg(3, 6, 0, 0, 100));
    EXPECT_EQ(rig.session->turn().bytHighlightChair, 0);
    rig.log.Clear();
    rig.Feed(DiscardMsg(0, 7, 0, 1, 23));  // straight to "me": no other chair's turn
    EXPECT_EQ(rig.session->turn().bytHighlightChair, rules::kTableNoChair);
    EXPECT_TRUE(rig.log.Contains("ClearTurnHighlight"));
}

TEST(Claims, SingleChowNeedsNoChooser) {
    SessionRig rig;
    EnterAsPlayer(rig);
    StartHand(rig);
    rig.Feed(DiscardMsg(0, 21));  // 4 of bamboo after 1 2 3 of bamboo: only 2-3-4
    ASSERT_EQ(Buttons(rig)[0], 1);
    rig.session->OnActionButton(0, MouseButton::Left);
    EXPECT_TRUE(rig.chowChooser.offered.empty());
    EXPECT_EQ(rig.TakeSent(), std::vector<Bytes>{rq::Chow(1, 19)});
}

TEST(Claims, PungTakesTheDiscardAndAsksForADiscard) {
    SessionRig rig;
    EnterAsPlayer(rig);
    StartHand(rig);
    rig.Feed(DiscardMsg(0, 9));
    rig.session->OnActionButton(1, MouseButton::Left);
    EXPECT_EQ(rig.TakeSent(), std::vector<Bytes>{rq::Pung(1, 9)});
    rig.log.Clear();
    rig.Feed(Message({21, 2, 1, 9}));
    const auto& table = rig.session->table();
    EXPECT_EQ(table.Seats[1].Melds, (std::vector<MeldRecord>{{MeldKind::Pung, 9, 0}}));
    EXPECT_EQ(table.bytMyHand, (Hand{0, 1, 3, 4, 12, 12, 12, 18, 19, 20, 27}));
    EXPECT_TRUE(rig.log.Contains("Sound 2"));
    EXPECT_TRUE(rig.log.Contains("Animation 2 2 9"));
    EXPECT_EQ(table.bytTurnPhase, 2);
    EXPECT_TRUE(rig.clock.RunningFor(1));
    EXPECT_FALSE(rig.session->offer().AnyOffered());
}

TEST(Claims, AnotherPlayersPungMovesTheTurnWithoutTouchingMyHand) {
    SessionRig rig;
    EnterAsPlayer(rig);
    StartHand(rig);
    rig.Feed(DiscardMsg(0, 9));
    rig.Feed(Message({21, 2, 3, 9}));
    const auto& table = rig.session->table();
    EXPECT_EQ(table.bytMyHand, Hand(kMyHand));
    EXPECT_EQ(table.Seats[3].Melds.size(), 1u);
    EXPECT_FALSE(rig.session->offer().AnyOffered());
    EXPECT_TRUE(rig.clock.RunningFor(3));
}

TEST(Claims, ExposedKongOnADiscardDrawsTheReplacement) {
    SessionRig rig;
    EnterAsPlayer(rig);
    StartHand(rig);
    rig.Feed(DiscardMsg(0, 12));
    EXPECT_EQ(Buttons(rig), (std::array<std::uint8_t, 5>{0, 1, 1, 0, 1}));
    rig.session->OnActionButton(2, MouseButton::Left);
    EXPECT_EQ(rig.TakeSent(), std::vector<Bytes>{rq::Kong(1, 4, 12)});

    rig.log.Clear();
    rig.Feed(Message({22, 4, 1, 12, 38}));
    const auto& table = rig.session->table();
    EXPECT_EQ(table.Seats[1].Melds, (std::vector<MeldRecord>{{MeldKind::ExposedKong, 12, 0}}));
    EXPECT_EQ(table.bytMyHand, (Hand{0, 1, 3, 4, 9, 9, 18, 19, 20, 27, 38}));
    EXPECT_EQ(rig.session->turn().bytReplacementTile, 38);
    EXPECT_EQ(table.Seats[3].lngWallTail, 33);  // 33 + 1 at the start, less the replacement
    EXPECT_TRUE(rig.log.Contains("Animation 2 3 12"));
    EXPECT_TRUE(rig.log.Contains("PaintWall 3"));
    EXPECT_EQ(table.bytTurnPhase, 4);
    EXPECT_TRUE(rig.clock.RunningFor(1));

    // The fresh tile after a kong is the replacement.
    rig.session->OnHandTileClick(11, MouseButton::Left);
    EXPECT_EQ(rig.TakeSent(), std::vector<Bytes>{DiscardRequest(1, 38)});
}

TEST(Claims, ConcealedKongOnTheOwnDrawShowsAFaceDownTile) {
    SessionRig rig;
    EnterAsPlayer(rig);
    StartHand(rig);
    DrawAfterDealerDiscard(rig, 12);
    EXPECT_EQ(Buttons(rig), (std::array<std::uint8_t, 5>{0, 0, 1, 0, 1}));
    EXPECT_EQ(rig.session->offer().bytOfferedKongKind, 3);
    EXPECT_TRUE(rig.clock.RunningFor(kClaimWindowTag));
    rig.session->OnActionButton(2, MouseButton::Left);
    EXPECT_EQ(rig.TakeSent(), std::vector<Bytes>{rq::Kong(1, 3, 12)});

    rig.log.Clear();
    rig.Feed(Message({22, 3, 1, 12, 36}));
    EXPECT_TRUE(rig.log.Contains("Animation 2 3 100"));
    const auto& table = rig.session->table();
    EXPECT_EQ(table.Seats[1].Melds, (std::vector<MeldRecord>{{MeldKind::ConcealedKong, 12, 1}}));
    EXPECT_EQ(table.bytMyHand.size(), 11u);
    EXPECT_EQ(table.bytMyHand.back(), 36);
    EXPECT_TRUE(rig.clock.RunningFor(1));
}

TEST(Claims, PassingAnOwnKongStartsTheDiscardClock) {
    SessionRig rig;
    EnterAsPlayer(rig);
    StartHand(rig);
    DrawAfterDealerDiscard(rig, 12);
    rig.session->OnActionButton(4, MouseButton::Left);
    EXPECT_TRUE(rig.sender.sent.empty());
    EXPECT_TRUE(rig.clock.RunningFor(1));
    EXPECT_TRUE(rig.session->table().IsPassedKongTile(12));
}

TEST(ClaimWindow, TimeOutPassesAndRemembersTheDeclinedKong) {
    SessionRig rig;
    EnterAsPlayer(rig);
    StartHand(rig);
    rig.Feed(DiscardMsg(0, 12));
    ASSERT_TRUE(rig.clock.RunningFor(kClaimWindowTag));
    rig.session->OnClockWarning();
    EXPECT_EQ(rig.clock.colour, "0,0,0");
    EXPECT_EQ(rig.log.entries().back(), "Sound 8");
    rig.session->OnClockTimeout();
    EXPECT_EQ(rig.TakeSent(), std::vector<Bytes>{rq::Pass(1)});
    EXPECT_FALSE(rig.session->offer().AnyOffered());
    EXPECT_TRUE(rig.session->table().IsPassedKongTile(12));

    // The same tile later in the hand offers the pung only.
    rig.Feed(Draw(1, 5));
    rig.Feed(DiscardMsg(1, 5));
    rig.Feed(Draw(2, 12));
    rig.Feed(DiscardMsg(2, 12));
    EXPECT_EQ(Buttons(rig), (std::array<std::uint8_t, 5>{0, 1, 0, 0, 1}));
}

TEST(ClaimWindow, NothingToClaimPassesAtOnce) {
    SessionRig rig;
    EnterAsPlayer(rig);
    StartHand(rig);
    rig.Feed(DiscardMsg(2, 38));
    EXPECT_EQ(rig.TakeSent(), std::vector<Bytes>{rq::Pass(1)});
    EXPECT_FALSE(rig.session->offer().AnyOffered());
}

TEST(ClaimWindow, WildDiscardOffersNothingToAPlayerWhoIsNotReady) {
    SessionRig rig;
    EnterAsPlayer(rig);
    NewHand hand;
    hand.wildTile = 9;  // "me" holds two of them
    StartHand(rig, hand);
    rig.Feed(DiscardMsg(0, 9));
    EXPECT_EQ(rig.TakeSent(), std::vector<Bytes>{rq::Pass(1)});
    EXPECT_EQ(rig.session->table().Seats[0].bytNoWin, 1);
}

TEST(ClaimWindow, DiscardFromTheChairAfterMeOffersNoChow) {
    SessionRig rig;
    EnterAsPlayer(rig);
    StartHand(rig);
    rig.Feed(DiscardMsg(2, 2));
    EXPECT_EQ(rig.TakeSent(), std::vector<Bytes>{rq::Pass(1)});
}

TEST(RobKong, PlayerIsAskedAndTheAnswerIsSent) {
    SessionRig rig;
    EnterAsPlayer(rig);
    StartHand(rig);
    rig.messages.answers = {true};
    rig.Feed(Message({29, 0, 1}));
    ASSERT_FALSE(rig.messages.shown.empty());
    EXPECT_EQ(rig.messages.shown.back().note, "恭喜你！你现在可以抢杠胡！要胡吗？");
    EXPECT_EQ(rig.messages.shown.back().caption, "Qira麻将");
    EXPECT_EQ(rig.TakeSent(), std::vector<Bytes>{rq::RobKongAnswer(1, true)});

    rig.messages.answers = {false};
    rig.Feed(Message({29, 0, 1}));
    EXPECT_EQ(rig.TakeSent(), std::vector<Bytes>{rq::RobKongAnswer(1, false)});

    rig.Feed(Message({29, 0, 2}));     // another chair: not asked
    rig.Feed(Message({29, 0, 1, 0}));  // four bytes: ignored
    EXPECT_TRUE(rig.sender.sent.empty());
}

TEST(ThreeIndicators, AskedOncePerHandAndAnsweredWithTheKongRequest) {
    SessionRig rig;
    EnterAsPlayer(rig);
    NewHand hand;
    hand.wildIndicator = 12;  // "me" holds three
    StartHand(rig, hand);
    rig.messages.answers = {true};
    DrawAfterDealerDiscard(rig, 5);
    ASSERT_EQ(rig.messages.shown.size(), 1u);
    EXPECT_EQ(rig.messages.shown[0].yesCaption, "当作杠");
    EXPECT_EQ(rig.messages.shown[0].noCaption, "不作杠");
    EXPECT_EQ(rig.messages.shown[0].caption, "测试麻将");
    EXPECT_EQ(rig.TakeSent(), std::vector<Bytes>{rq::ThreeIndicatorKong(1)});
    EXPECT_FALSE(rig.session->offer().AnyOffered());

    rig.Feed(Message({30, 1}));
    const auto& table = rig.session->table();
    EXPECT_EQ(table.Seats[1].Melds, (std::vector<MeldRecord>{{MeldKind::Pung, 12, 1}}));
    EXPECT_EQ(table.bytMyHand.size(), 11u);
    EXPECT_EQ(rig.messages.shown.size(), 1u);  // not asked again
    EXPECT_TRUE(rig.clock.RunningFor(1));
}

TEST(ThreeIndicators, DecliningGoesOnWithTheNormalOffers) {
    SessionRig rig;
    EnterAsPlayer(rig);
    NewHand hand;
    hand.wildIndicator = 12;
    StartHand(rig, hand);
    rig.messages.answers = {false};
    DrawAfterDealerDiscard(rig, 12);
    EXPECT_TRUE(rig.sender.sent.empty());
    EXPECT_EQ(Buttons(rig), (std::array<std::uint8_t, 5>{0, 0, 1, 0, 1}));
    EXPECT_TRUE(rig.session->table().blnThreeIndicatorAsked);
}

TEST(Resynchronisation, WrongHandSizeOnMyTurnAsksForTheHand) {
    SessionRig rig;
    EnterAsPlayer(rig);
    StartHand(rig, {}, {0, 1, 3, 4, 9, 9, 12, 12, 12, 18, 19, 20});  // a tile short
    DrawAfterDealerDiscard(rig, 8);  // 13 tiles on "me"'s turn: not 3k + 2
    EXPECT_EQ(rig.TakeSent(), std::vector<Bytes>{rq::Resynchronise(1)});
    rig.Feed(Message({2, 0, 5, 8, 7, 6, 36, 27}));
    EXPECT_EQ(rig.session->table().bytMyHand, (Hand{8, 7, 6, 36, 27}));  // as sent, unsorted
    EXPECT_TRUE(rig.log.Contains("PaintLocalHand"));
    EXPECT_TRUE(rig.sender.sent.empty());
    EXPECT_TRUE(rig.clock.RunningFor(1));

    rig.Feed(Message({2, 0, 9, 1, 2}));  // count beyond the end: the tiles present
    EXPECT_EQ(rig.session->table().bytMyHand, (Hand{1, 2}));
}

TEST(EndOfHand, DrawnGameShowsTheNoticeThenTheStartButton) {
    SessionRig rig;
    EnterAsPlayer(rig);
    StartHand(rig);
    rig.Feed(Message({27, 2}));  // flag above 1: ignored
    EXPECT_TRUE(rig.messages.shown.empty());
    rig.Feed(Message({27, 0}));
    ASSERT_EQ(rig.messages.shown.size(), 1u);
    EXPECT_EQ(rig.messages.shown[0].note, "很遗憾：本局竟然是荒牌！都不得分！");
    EXPECT_EQ(rig.messages.shown[0].caption, "测试麻将");
    EXPECT_TRUE(rig.log.Contains("Sound 9"));
    EXPECT_TRUE(rig.session->globals().blnShowStart);
}

TEST(EndOfHand, HandThatStartsWhileTheDrawnNoticeWaitsIsNotEnded) {
    SessionRig rig("eye");
    EnterAsOnlooker(rig);
    StartHand(rig);
    rig.messages.whileOpen = [&] { rig.Feed(NewHand{}.Build()); };
    rig.Feed(Message({27, 1}));
    EXPECT_FALSE(rig.session->table().blnHandIdle);
}

TEST(StartCountdown, RunsOnlyOnceSomebodyIsReadyThenTheNextHandComes) {
    SessionRig rig;
    EnterAsPlayer(rig);
    ASSERT_TRUE(rig.session->globals().blnShowStart);
    rig.session->OnStartTimerTick();
    EXPECT_EQ(rig.session->turn().strStartCaption, "可以开始");
    EXPECT_FALSE(rig.clock.visible);

    rig.Feed(Message({18, 0}));
    EXPECT_TRUE(rig.session->table().Seats[0].blnReady);
    rig.session->OnStartTimerTick();
    EXPECT_TRUE(rig.clock.RunningFor(1));
    EXPECT_EQ(rig.session->turn().strStartCaption, "可以开始 2");
    rig.session->OnStartTimerTick();
    EXPECT_EQ(rig.session->turn().strStartCaption, "可以开始 3");
    EXPECT_EQ(rig.clock.starts, 1);

    rig.TakeSent();
    rig.session->OnStartButtonClick();
    EXPECT_EQ(rig.TakeSent(), std::vector<Bytes>{*rq::RaiseHand("me")});
    EXPECT_FALSE(rig.session->globals().blnShowStart);
    EXPECT_FALSE(rig.clock.visible);
    rig.session->OnStartButtonClick();  // hidden now
    EXPECT_TRUE(rig.sender.sent.empty());

    // After a hand the same button sends the chair instead.
    StartHand(rig);
    rig.Feed(Message({23, 1}));
    rig.session->OnStartButtonClick();
    EXPECT_EQ(rig.TakeSent(), std::vector<Bytes>{rq::ReadyForNextHand(1)});
    rig.Feed(NewHand{}.Build());
    EXPECT_TRUE(rig.sender.sent.empty());  // 130/1 goes only with the first hand
}

TEST(StartCountdown, ClockRunningOutLeavesTheTable) {
    SessionRig rig;
    EnterAsPlayer(rig);
    rig.Feed(Message({18, 2}));
    rig.session->OnStartTimerTick();
    rig.session->OnClockTimeout();
    EXPECT_EQ(rig.window.unloads, 1);
    EXPECT_TRUE(rig.session->ended());
    EXPECT_FALSE(rig.timers.start);
    rig.Feed(NewHand{}.Build());  // nothing happens after the end
    EXPECT_TRUE(rig.session->table().blnHandIdle);
}

TEST(SessionEnd, TellsWhetherThePlayerClosedTheWindowOrTheTableSentHimAway) {
    SessionRig startClock;
    EnterAsPlayer(startClock);
    EXPECT_EQ(startClock.session->exit(), launch::ClientExit::ClosedByPlayer);
    startClock.Feed(Message({18, 2}));
    startClock.session->OnStartTimerTick();
    startClock.session->OnClockTimeout();
    EXPECT_EQ(startClock.session->exit(), launch::ClientExit::LeftTable);
    startClock.session->OnConnectionEnded();  // the server closes after the leave
    EXPECT_EQ(startClock.session->exit(), launch::ClientExit::LeftTable);
    EXPECT_EQ(startClock.session->farewell(),
              "你没有在时限内点“开始”，离开了牌桌。当时没有牌局在进行，不扣分。");

    SessionRig removed;
    EnterAsPlayer(removed);
    StartHand(removed);  // the table's settings were never heard: no figure
    removed.Feed(TextFrom({5, 0, 1}, "超时次数过多，系统判定为逃跑"));
    EXPECT_EQ(removed.session->exit(), launch::ClientExit::LeftTable);
    EXPECT_EQ(removed.session->farewell(),
              "服务器让你离开了牌桌，原因：超时次数过多，系统判定为逃跑。"
              "这算逃跑：按本桌设置扣逃跑分，本局由电脑替你打完，输赢也算在你名下。");

    SessionRig lost;
    lost.session->OnConnected();
    EnterAsPlayer(lost);
    lost.Feed(TextFrom({26}, "通知"));
    lost.session->OnConnectionEnded();
    EXPECT_EQ(lost.session->exit(), launch::ClientExit::ConnectionLost);

    EXPECT_EQ(lost.session->farewell(), "") << "a notice after entry is no reason for a drop";

    SessionRig busy;  // turned away before entering: told why, then closed
    busy.session->OnConnected();
    busy.Feed(TextFrom({26}, "服务器繁忙，请稍后再来"));
    busy.session->OnConnectionEnded();
    EXPECT_EQ(busy.session->exit(), launch::ClientExit::ConnectionLost);
    EXPECT_EQ(busy.session->farewell(), "服务器繁忙，请稍后再来");

    SessionRig unreachable;  // the connection never came up
    unreachable.session->OnConnectionEnded();
    EXPECT_EQ(unreachable.session->exit(), launch::ClientExit::ServerUnreachable);

    SessionRig closed;
    EnterAsPlayer(closed);
    EXPECT_TRUE(closed.session->OnCloseRequested());
    EXPECT_EQ(closed.session->exit(), launch::ClientExit::ClosedByPlayer);
    EXPECT_TRUE(closed.session->farewell().empty());
}

TEST(DiscardHint, MarksTheExpertsDiscardAndClaimOnlyWhenAskedFor) {
    SessionRig asked;
    asked.preferences.discardHint = true;
    EnterAsPlayer(asked);
    StartHand(asked);
    // Two sets, two pairs of neighbours and a pair: one tile from ready. The
    // dealer's 3 of characters completes 1-2-3.
    asked.Feed(DiscardMsg(0, 2));
    EXPECT_EQ(asked.session->offer().hintAction, ActionButton::Chow);
    EXPECT_FALSE(asked.session->offer().hintDiscard);
    asked.session->OnActionButton(4, MouseButton::Left);  // the player passes all the same
    asked.TakeSent();

    asked.Feed(Draw(1, 28));
    ASSERT_TRUE(asked.session->offer().hintDiscard);
    const auto tile = *asked.session->offer().hintDiscard;
    EXPECT_TRUE(tile == 27 || tile == 28) << "a lone wind goes first, not " << int(tile);
    EXPECT_FALSE(asked.session->offer().hintAction) << "nothing offered, nothing to light";
    asked.session->OnHandTileClick(static_cast<int>(asked.session->table().bytMyHand.size()),
                                   MouseButton::Left);
    EXPECT_FALSE(asked.session->offer().hintDiscard) << "the mark goes with the discard";

    // From level 4 the hint still names an offered button and a held tile.
    SessionRig strong;
    strong.preferences.discardHint = strong.preferences.strongHint = true;
    EnterAsPlayer(strong);
    StartHand(strong);
    strong.Feed(DiscardMsg(0, 2));
    const auto action = strong.session->offer().hintAction;
    EXPECT_TRUE(action == ActionButton::Chow || action == ActionButton::Pass);
    strong.session->OnActionButton(4, MouseButton::Left);
    strong.Feed(Draw(1, 28));
    ASSERT_TRUE(strong.session->offer().hintDiscard);
    const auto& hand = strong.session->table().bytMyHand;
    EXPECT_NE(std::find(hand.begin(), hand.end(), *strong.session->offer().hintDiscard),
              hand.end());

    SessionRig unasked;
    EnterAsPlayer(unasked);
    StartHand(unasked);
    unasked.Feed(DiscardMsg(0, 2));
    EXPECT_FALSE(unasked.session->offer().hintAction);
    unasked.session->OnActionButton(4, MouseButton::Left);
    unasked.Feed(Draw(1, 28));
    EXPECT_FALSE(unasked.session->offer().hintDiscard);
}

TEST(SideBets, ClockRunningOutSendsTheBetsChosenSoFar) {
    SessionRig rig;
    EnterAsPlayer(rig);
    rig.Feed(NewHand{}.Build());
    rig.TakeSent();
    rig.session->OnGameButtonClick(1);
    rig.session->OnClockTimeout();
    EXPECT_EQ(rig.TakeSent(), std::vector<Bytes>{rq::SideBets(1, 2)});
    EXPECT_EQ(rig.session->table().bytBetButtonStates, (std::array<std::uint8_t, 3>{0, 0, 0}));
}

TEST(NewestDiscard, BlinksWhileItWaitsForClaimsAndStopsWithTheDraw) {
    SessionRig rig;
    EnterAsPlayer(rig);
    StartHand(rig);
    rig.Feed(DiscardMsg(2, 38));
    ASSERT_TRUE(rig.timers.newestDiscard);
    rig.session->OnNewestDiscardTick();
    rig.session->OnNewestDiscardTick();
    EXPECT_EQ(rig.log.Count("PaintNewestDiscardFrame 1"), 1u);
    EXPECT_EQ(rig.log.Count("PaintNewestDiscardFrame 0"), 1u);
    rig.Feed(Draw(3, 5));
    EXPECT_FALSE(rig.timers.newestDiscard);
    EXPECT_TRUE(rig.log.Contains("HideNewestDiscard"));
    rig.log.Clear();
    rig.session->OnNewestDiscardTick();
    EXPECT_FALSE(rig.log.Contains("PaintNewestDiscardFrame 1"));
}

TEST(AutoPlay, ClockDiscardsTheLastTileWarnsAtFourAndEndsAtFive) {
    SessionRig rig;
    EnterAsPlayer(rig);
    rig.Feed(Text(112, 1, "east`10`100`1`20`50`0"));  // the owner agreed a penalty of 20
    StartHand(rig);
    rig.Feed(DiscardMsg(0, 30));
    rig.TakeSent();
    for (int round = 1; round <= 5; ++round) {
        rig.Feed(Draw(1, 37));
        ASSERT_TRUE(rig.clock.RunningFor(1)) << "round " << round;
        rig.session->OnClockTimeout();
        EXPECT_EQ(rig.TakeSent(), std::vector<Bytes>{DiscardRequest(1, 37)}) << "round " << round;
        if (round < 5) {
            EXPECT_EQ(rig.session->table().bytAutoPlayCount, round);
        }
        if (round == 4) {
            ASSERT_EQ(rig.messages.shown.size(), 1u);
            EXPECT_EQ(rig.messages.shown[0].note,
                      "注意：本局系统已替你自动出牌 4 次，本局再有一次就算你逃跑！");
            EXPECT_EQ(rig.window.unloads, 0);
        }
        rig.Feed(DiscardMsg(1, 37));
    }
    ASSERT_EQ(rig.messages.shown.size(), 2u);
    EXPECT_EQ(rig.messages.shown[1].note, "注意：本局系统已替你自动出牌 5 次，现在算你逃跑！");
    EXPECT_EQ(rig.window.unloads, 1);
    EXPECT_TRUE(rig.session->ended());
    EXPECT_EQ(rig.session->exit(), launch::ClientExit::LeftTable);
    EXPECT_EQ(rig.session->farewell(),
              "本局系统已替你自动出牌 5 次，到了每局的上限，算你逃跑，离开了牌桌。"
              "这算逃跑：扣逃跑分 20 分，本局由电脑替你打完，输赢也算在你名下。");
}

TEST(AutoPlay, ClockOfAnotherChairJustRestarts) {
    SessionRig rig;
    EnterAsPlayer(rig);
    StartHand(rig);
    ASSERT_TRUE(rig.clock.RunningFor(0));
    rig.session->OnClockTimeout();
    EXPECT_TRUE(rig.clock.RunningFor(0));
    EXPECT_TRUE(rig.sender.sent.empty());
}

TEST(Discarding, WildTileNeedsConfirmationAndTheSameTurn) {
    SessionRig rig;
    EnterAsPlayer(rig);
    NewHand hand;
    hand.wildTile = 27;
    StartHand(rig, hand);
    DrawAfterDealerDiscard(rig, 38);
    ASSERT_EQ(rig.session->table().bytMyHand.front(), 27);  // wild tiles stand first

    rig.messages.answers = {false};
    rig.session->OnHandTileClick(1, MouseButton::Left);
    EXPECT_EQ(rig.messages.shown.back().note, "打出混牌后就不能再胡牌了！你真的要打吗？");
    EXPECT_EQ(rig.messages.shown.back().caption, "Qira麻将");
    EXPECT_TRUE(rig.sender.sent.empty());

    rig.messages.answers = {true};
    rig.session->OnHandTileClick(1, MouseButton::Left);
    EXPECT_EQ(rig.TakeSent(), std::vector<Bytes>{DiscardRequest(1, 27)});

    // A non-wild tile goes without a question.
    const auto questions = rig.messages.shown.size();
    rig.session->OnHandTileClick(2, MouseButton::Left);
    EXPECT_EQ(rig.messages.shown.size(), questions);
}

TEST(Discarding, WildQuestionAnsweredAfterTheClockPlayedSendsNothing) {
    SessionRig rig;
    EnterAsPlayer(rig);
    NewHand hand;
    hand.wildTile = 27;
    StartHand(rig, hand);
    DrawAfterDealerDiscard(rig, 38);
    // The clock runs out while the question waits and discards for the player.
    rig.messages.answers = {true};
    rig.messages.whileOpen = [&] { rig.session->OnClockTimeout(); };
    rig.session->OnHandTileClick(1, MouseButton::Left);
    EXPECT_EQ(rig.TakeSent(), std::vector<Bytes>{DiscardRequest(1, 38)});
}

// "出牌不对时给出提示": a click that cannot be played says why in the status
// line (the table shows it briefly), never in a box; without the preference
// it is ignored as before.
TEST(WrongMoves, ClicksThatCannotBePlayedSayWhyWhenThePlayerAskedForIt) {
    for (const bool asked : {true, false}) {
        SessionRig rig;
        rig.preferences.wrongOutPrompt = asked;
        std::vector<std::string> heard;
        rig.session->SetRefusalListener([&](const std::string& why) { heard.push_back(why); });
        EnterAsPlayer(rig);
        rig.TakeSent();
        rig.session->OnHandTileClick(1, MouseButton::Left);
        rig.Feed(NewHand{}.Build());
        rig.session->OnHandTileClick(1, MouseButton::Left);
        rig.session->OnGameButtonClick(2);
        rig.Feed(Deal(1, 0, kMyHand));
        rig.TakeSent();
        rig.session->OnHandTileClick(3, MouseButton::Left);
        rig.session->OnHandTileClick(3, MouseButton::Right);  // not a play at all
        rig.session->OnActionButton(1, MouseButton::Left);
        rig.session->OnGameButtonClick(0);
        rig.Feed(DiscardMsg(0, 2));  // chow or pass
        rig.session->OnHandTileClick(3, MouseButton::Left);
        rig.session->OnActionButton(1, MouseButton::Left);
        EXPECT_TRUE(rig.sender.sent.empty());
        EXPECT_TRUE(rig.messages.shown.empty());
        const std::vector<std::string> reasons{"现在没有在打牌", "请先选择押注", "还没轮到你出牌",
                                               "现在不能碰",     "现在不能押注", "请先选择 吃 / 过",
                                               "现在不能碰"};
        EXPECT_EQ(heard, asked ? reasons : std::vector<std::string>{});
        EXPECT_EQ(rig.session->statusLine() == "现在不能碰", asked);
        rig.session->OnActionButton(0, MouseButton::Left);  // the offered chow still goes
        EXPECT_EQ(rig.TakeSent(), std::vector<Bytes>{rq::Chow(1, 0)});
    }
}

TEST(Discarding, ReadyPlayerMustDiscardTheFreshTile) {
    SessionRig rig;
    EnterAsPlayer(rig);
    StartHand(rig);
    DrawAfterDealerDiscard(rig, 37);
    rig.session->OnHandTileClick(14, MouseButton::Left);
    rig.Feed(DiscardMsg(1, 37, 1));  // the server marks "me" ready
    EXPECT_EQ(rig.session->table().Seats[1].bytTing, 1);
    EXPECT_TRUE(rig.log.Contains("PaintTing 1"));
    rig.TakeSent();

    // On the next own draw with nothing to offer, the fresh tile goes at once.
    rig.Feed(Draw(2, 5));
    rig.Feed(DiscardMsg(2, 38));
    rig.TakeSent();
    rig.Feed(Draw(1, 36));
    EXPECT_EQ(rig.TakeSent(), std::vector<Bytes>{DiscardRequest(1, 36)});
}

TEST(Onlooker, WatchesWithoutActingAndFollowsHandVisibility) {
    SessionRig rig("eye");
    EnterAsOnlooker(rig);
    EXPECT_TRUE(rig.session->globals().blnIsWatcher);
    EXPECT_EQ(rig.session->table().bytMyChair, 1);
    EXPECT_FALSE(rig.session->globals().blnShowStart);
    rig.TakeSent();

    rig.Feed(NewHand{}.Build());
    EXPECT_EQ(rig.TakeSent(), std::vector<Bytes>{rq::HandStarted()});
    EXPECT_EQ(rig.session->table().bytBetButtonStates, (std::array<std::uint8_t, 3>{0, 0, 0}));
    rig.Feed(Deal(1, 0, kMyHand));
    EXPECT_EQ(rig.session->table().bytMyHand.size(), 13u);
    rig.Feed(DiscardMsg(0, 9));  // a pung for the watched player: offered to nobody here
    EXPECT_FALSE(rig.session->offer().AnyOffered());
    rig.Feed(Draw(1, 37));
    EXPECT_TRUE(rig.clock.RunningFor(1));
    rig.session->OnHandTileClick(1, MouseButton::Left);
    rig.session->OnClockTimeout();
    EXPECT_TRUE(rig.clock.RunningFor(1));  // restarted, never played

    rig.Feed(Message({113, 0, 0}));
    EXPECT_EQ(rig.session->table().bytHandVisible, 0);
    EXPECT_TRUE(rig.log.Contains("PaintLocalHand"));
    rig.Feed(Message({113, 0, 1, 0}));  // four bytes: ignored
    EXPECT_EQ(rig.session->table().bytHandVisible, 0);
    rig.Feed(Message({113, 0, 7}));
    EXPECT_EQ(rig.session->table().bytHandVisible, 1);

    rig.Feed(Message({23, 1}));
    EXPECT_TRUE(rig.session->table().blnHandIdle);
    EXPECT_TRUE(rig.session->table().bytMyHand.empty());
    EXPECT_FALSE(rig.session->globals().blnShowStart);
    EXPECT_TRUE(rig.sender.sent.empty());

    // The player-must-stop notice for the watched chair only informs an onlooker.
    rig.Feed(TextFrom({5, 0, 1}, "网络故障"));
    EXPECT_EQ(rig.messages.shown.back().note, "me 不能继续玩下去，原因：网络故障");
    EXPECT_EQ(rig.window.unloads, 0);
}

TEST(Onlooker, PlayerIgnoresHandVisibility) {
    SessionRig rig;
    EnterAsPlayer(rig);
    StartHand(rig);
    rig.Feed(Message({113, 0, 0}));
    EXPECT_EQ(rig.session->table().bytHandVisible, 1);
}

// The body of a snapshot of a running hand: no melds or discards except one
// discard of chair 0, walls, and "me" (chair 1) holding `hand` on its own draw.
Bytes RunningSnapshot(std::initializer_list<std::uint8_t> hand, std::uint8_t turnChair,
                      std::uint8_t turnPhase, std::uint8_t curTile) {
    Bytes message{109, 0, 1, 0};
    for (int chair = 0; chair < 4; ++chair) message.push_back(0);  // melds
    message.insert(message.end(), {1, 30, 0, 0, 0});               // discards
    for (int chair = 0; chair < 4; ++chair) message.insert(message.end(), {4, 33, 0});
    message.insert(message.end(), {0, 0, 0, 0});  // no-win
    message.insert(message.end(), {0, 0, 0, 0});  // bets
    message.push_back(static_cast<std::uint8_t>(hand.size()));
    message.insert(message.end(), hand.begin(), hand.end());
    message.insert(message.end(), {0, 0, 3, turnChair, turnPhase, curTile, 1, 34, 33, 0, 5});
    return message;
}

TEST(Snapshot, JoiningARunningHandOnMyTurn) {
    SessionRig rig;
    EnterAsPlayer(rig);
    rig.TakeSent();
    rig.Feed(RunningSnapshot({0, 1, 3, 4, 9, 9, 12, 12, 12, 18, 19, 20, 27, 37}, 1, 5, 37));
    const auto& table = rig.session->table();
    EXPECT_FALSE(table.blnHandIdle);
    EXPECT_EQ(table.Seats[0].Discards, (Hand{30}));
    EXPECT_EQ(table.bytMyHand.size(), 14u);
    EXPECT_EQ(table.bytDiscardCount, 5);
    EXPECT_FALSE(rig.session->globals().blnShowStart);
    EXPECT_TRUE(rig.clock.RunningFor(1));
    EXPECT_TRUE(rig.log.Contains("PaintTable"));
    rig.session->OnHandTileClick(14, MouseButton::Left);
    EXPECT_EQ(rig.TakeSent(), std::vector<Bytes>{DiscardRequest(1, 37)});
}

TEST(Notices, ServerNoticeItemsAndPlayerMustStop) {
    SessionRig rig;
    EnterAsPlayer(rig);
    rig.Feed(TextFrom({26}, "服务器维护"));
    EXPECT_EQ(rig.messages.shown.back().note, "服务器维护");
    EXPECT_EQ(rig.messages.shown.back().caption, "测试麻将");

    rig.Feed(Text(133, 0, "1`道具`0"));
    rig.Feed(Text(133, 1, "7:3:2009010112"));
    EXPECT_EQ(rig.items.catalogues, std::vector<std::string>{"1`道具`0"});
    EXPECT_EQ(rig.items.ownItems, std::vector<std::string>{"7:3:2009010112"});
    rig.Feed(Text(133, 2, "道具已到"));
    EXPECT_EQ(rig.messages.shown.back().caption, "测试麻将提示");
    rig.Feed(Message({133, 3, 12, 34, 0, 0, 1, 0}));
    ASSERT_EQ(rig.messages.platformWarnings.size(), 1u);
    EXPECT_EQ(rig.messages.platformWarnings[0],
              "道具演示|12 号用户对 34 号用户使用ID号为 256 的道具");
    rig.Feed(Message({133, 3, 12, 34, 0, 0, 1}));  // item number cut short
    EXPECT_EQ(rig.messages.platformWarnings.size(), 1u);

    rig.Feed(TextFrom({5, 0, 2}, "逃跑"));
    EXPECT_EQ(rig.messages.shown.back().caption, "测试麻将系统提示");
    EXPECT_EQ(rig.window.unloads, 0);
    rig.Feed(TextFrom({5, 0, 1}, "逃跑"));
    EXPECT_EQ(rig.window.unloads, 1);
}

TEST(CloseGuard, RunningHandAsksAndCancelKeepsTheWindow) {
    SessionRig rig;
    EnterAsPlayer(rig);
    StartHand(rig);
    rig.messages.answers = {false};
    EXPECT_FALSE(rig.session->OnCloseRequested());
    ASSERT_EQ(rig.messages.shown.size(), 1u);
    const auto& question = rig.messages.shown[0];
    EXPECT_EQ(question.yesCaption, "强退");
    EXPECT_EQ(question.noCaption, "取消");
    EXPECT_FALSE(question.yesDefault);
    EXPECT_EQ(rig.window.unloads, 0);

    rig.messages.answers = {true};
    EXPECT_TRUE(rig.session->OnCloseRequested());
    EXPECT_EQ(rig.window.unloads, 1);
    EXPECT_TRUE(rig.session->globals().blnQuitting);
}

TEST(CloseGuard, BetweenHandsOrWithoutThePreferenceNobodyIsAsked) {
    SessionRig between;
    EnterAsPlayer(between);
    EXPECT_TRUE(between.session->OnCloseRequested());
    EXPECT_TRUE(between.messages.shown.empty());

    SessionRig noPrompt;
    EnterAsPlayer(noPrompt);
    StartHand(noPrompt);
    noPrompt.preferences.quitPrompt = false;
    EXPECT_TRUE(noPrompt.session->OnCloseRequested());
    EXPECT_TRUE(noPrompt.messages.shown.empty());

    SessionRig onlooker("eye");
    EnterAsOnlooker(onlooker);
    StartHand(onlooker);
    EXPECT_TRUE(onlooker.session->OnCloseRequested());
    EXPECT_TRUE(onlooker.messages.shown.empty());
}

}  // namespace
}  // namespace qira::play::testing

namespace qira::play::testing {
namespace {

TEST(CloseGuard, WindowUnloadingByItselfEndsTheSessionQuietly) {
    SessionRig rig;
    EnterAsPlayer(rig);
    StartHand(rig);
    rig.session->OnMainWindowUnloading();
    EXPECT_TRUE(rig.session->ended());
    EXPECT_EQ(rig.window.unloads, 0);  // the window is already on its way out
    EXPECT_TRUE(rig.session->globals().blnQuitting);
    EXPECT_TRUE(rig.session->table().bytMyHand.empty());
    rig.Feed(Draw(1, 5));
    rig.session->OnClockTimeout();
    EXPECT_TRUE(rig.sender.sent.empty());
}

}  // namespace
}  // namespace qira::play::testing
