#include "replay/hand_replay.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "net/protocol.h"
#include "play/session_fakes.h"
#include "play/win_record.h"
#include "scripted_hand.h"

namespace qira::replay {
namespace {

using rules::MeldKind;
using rules::MeldRecord;
using testing::DrawnToTheEnd;
using testing::KongAndSelfDrawnWin;
using testing::ScriptedHand;

HandLog Parse(const ScriptedHand& script) {
    auto parsed = ParseHandLine(script.Line());
    EXPECT_TRUE(parsed.hand) << parsed.error;
    return parsed.hand.value_or(HandLog{});
}

HandReplay BuildOrFail(const HandLog& hand, Chair view = 0) {
    std::string error;
    auto replay = HandReplay::Build(hand, view, &error);
    EXPECT_TRUE(replay) << error;
    return std::move(replay).value();
}

std::string BuildError(const ScriptedHand& script) {
    std::string error;
    EXPECT_FALSE(HandReplay::Build(Parse(script), 0, &error));
    return error;
}

std::vector<Tile> Sorted(std::vector<Tile> tiles) {
    std::sort(tiles.begin(), tiles.end());
    return tiles;
}

// A session as the desktop client has it, fed what the replay says.
struct Viewer {
    play::testing::SessionRig rig{"nobody"};
    void Feed(const ReplayStep& step) {
        for (const auto& message : step.messages) rig.Feed(message);
    }
    const rules::TableState& table() const { return rig.session->table(); }
};

TEST(HandReplay, FollowsEveryChairsTilesThroughClaimsAndKongs) {
    const HandLog hand = Parse(KongAndSelfDrawnWin());
    const HandReplay replay = BuildOrFail(hand);
    ASSERT_EQ(replay.StepCount(), 12u);
    EXPECT_EQ(replay.Step(0).event, nullptr);

    // The dealt hands, the dealer's fourteenth last and wild tiles first.
    const OpenHands& dealt = replay.Step(0).hands;
    EXPECT_EQ(dealt[0].front(), 37);
    EXPECT_EQ(dealt[0].back(), 27);
    EXPECT_EQ(dealt[1].size(), 13u);

    EXPECT_EQ(std::count(replay.Step(2).hands[1].begin(), replay.Step(2).hands[1].end(), 27), 0);
    EXPECT_EQ(replay.Step(2).melds[1], (std::vector<MeldRecord>{{MeldKind::Pung, 27, 0}}));
    EXPECT_EQ(replay.Step(4).melds[2], (std::vector<MeldRecord>{{MeldKind::Chow, 9, 1}}));
    EXPECT_EQ(replay.Step(4).hands[2].size(), 11u);
    EXPECT_EQ(replay.Step(6).hands[3].back(), 20);  // drawn, not yet sorted in
    EXPECT_EQ(replay.Step(7).melds[3], (std::vector<MeldRecord>{{MeldKind::ConcealedKong, 20, 3}}));
    EXPECT_EQ(replay.Step(7).hands[3].size(), 11u);
    EXPECT_EQ(replay.Step(7).hands[3].back(), 30);  // the replacement, drawn with the kong
    EXPECT_EQ(replay.Step(8).hands[3], replay.Step(7).hands[3]);
    EXPECT_EQ(replay.Step(10).hands[3].size(), 10u);
    EXPECT_EQ(Sorted(replay.Step(12).hands[0]),
              (std::vector<Tile>{0, 1, 2, 3, 5, 6, 6, 12, 13, 14, 21, 22, 23, 37}));
}

TEST(HandReplay, DrivesAClientSessionToTheLoggedTable) {
    const HandLog hand = Parse(KongAndSelfDrawnWin());
    for (Chair view = 0; view < 4; ++view) {
        SCOPED_TRACE("view chair " + std::to_string(view));
        const HandReplay replay = BuildOrFail(hand, view);
        Viewer viewer;
        // Up to the win, which ends the hand and clears the onlooker's table.
        for (std::size_t n = 0; n < replay.StepCount(); ++n) {
            viewer.Feed(replay.Step(n));
            // The watched chair's hand is the session's own, tile for tile.
            EXPECT_EQ(Sorted(viewer.table().bytMyHand), Sorted(replay.Step(n).hands[view]))
                << "step " << n;
            for (std::size_t c = 0; c < 4; ++c)
                EXPECT_EQ(viewer.table().Seats[c].Melds, replay.Step(n).melds[c]) << "step " << n;
        }
        const auto& table = viewer.table();
        EXPECT_EQ(table.bytMyChair, view);
        EXPECT_EQ(table.Seats[2].strPlayerName, "西西");
        EXPECT_EQ(table.bytWildTile, 37);
        EXPECT_TRUE(table.Seats[0].Discards.empty());  // the east wind was punged
        EXPECT_EQ(table.Seats[2].Discards, (std::vector<Tile>{30}));
        EXPECT_EQ(table.Seats[3].Discards, (std::vector<Tile>{38}));
        EXPECT_NE(table.Seats[3].bytTing, 0);
        // The acts grow out of the table as in a live hand: the watched chair's
        // discard from the bottom, the pung, the chow and the kong from their seats.
        if (view == 0) {
            EXPECT_TRUE(viewer.rig.log.Contains("Animation 2 0 27"));
        }
        for (const char* act : {" 1 10", " 2 27", " 3 100"}) {  // a concealed kong face down
            const auto& entries = viewer.rig.log.entries();
            EXPECT_TRUE(std::any_of(entries.begin(), entries.end(), [act](const std::string& e) {
                return e.starts_with("Animation ") && e.ends_with(act);
            })) << act;
        }
        EXPECT_FALSE(viewer.rig.log.Contains("ShowHuResultCentred"));
        viewer.Feed(replay.Step(replay.StepCount()));
        EXPECT_TRUE(viewer.rig.log.Contains("ShowHuResultCentred"));
    }
}

TEST(HandReplay, TheWinRecordCarriesTheLoggedPointsAndExplainsTheWildTile) {
    const HandReplay replay = BuildOrFail(Parse(KongAndSelfDrawnWin()));
    const auto& last = replay.Step(replay.StepCount()).messages;
    ASSERT_EQ(last.size(), 1u);
    ASSERT_EQ(net::ClassifyServerMessage(last[0]), net::ServerMessage::WinRecord);
    const auto record = play::DecodeWinRecord(last[0]);
    ASSERT_TRUE(record);
    ASSERT_EQ(record->winners.size(), 1u);
    const play::WinnerBlock& winner = record->winners[0];
    EXPECT_EQ(winner.chair, 0);
    EXPECT_TRUE(winner.SelfDrawn());
    EXPECT_EQ(winner.concealedTiles.size(), 13u);
    EXPECT_EQ(record->winningTile, 6);
    EXPECT_EQ(record->actualScore, (std::array<std::int32_t, 4>{24, -8, -8, -8}));
    EXPECT_EQ(record->dueScore, record->actualScore);
    EXPECT_EQ(record->concealedKongs[3], 1);

    const auto texts = play::BuildItemTexts(*record);
    EXPECT_NE(texts[0].find("自摸"), std::string::npos) << texts[0];
    EXPECT_NE(texts[0].find("庄家胡牌"), std::string::npos) << texts[0];

    bool explained = false;
    for (const auto& group : play::ArrangeWinnerHand(winner, 6, 37))
        for (const auto& tile : group) explained = explained || tile.label == "当五萬";
    EXPECT_TRUE(explained);
}

// A payer short of points pays what it has: the record shows both sums, the
// base and every chair's side bets as the server's record did.
TEST(HandReplay, TheWinRecordShowsTheLoggedBetsBaseAndDuePoints) {
    ScriptedHand script = KongAndSelfDrawnWin();
    script.result =
        R"({"winners":[0],"discarder":null,"tile":6,"points":[200,-80,-40,-80],"due":[240,-80,-80,-80]})";
    script.extraKeys =
        R"(,"score":{"mode":"points","base":10,"escape_penalty":50,"bets":[3,1,2,0],"balance":[900,500,40,700]})";
    const HandReplay replay = BuildOrFail(Parse(script));
    const auto record = play::DecodeWinRecord(replay.Step(replay.StepCount()).messages.at(0));
    ASSERT_TRUE(record);
    EXPECT_EQ(record->actualScore, (std::array<std::int32_t, 4>{200, -80, -40, -80}));
    EXPECT_EQ(record->dueScore, (std::array<std::int32_t, 4>{240, -80, -80, -80}));
    EXPECT_EQ(record->reserved, 10) << "the base score";
    EXPECT_EQ(record->winners[0].items[14], 2);
    EXPECT_EQ(record->winners[0].items[15], 2);
    using Bets = std::array<std::uint8_t, 2>;
    const auto betsOf = [&](int c) {
        return Bets{record->payerItems[c][2], record->payerItems[c][3]};
    };
    EXPECT_EQ(betsOf(1), (Bets{2, 0}));
    EXPECT_EQ(betsOf(2), (Bets{1, 2}));
    EXPECT_EQ(betsOf(3), (Bets{1, 0}));
}

TEST(HandReplay, ADiscardWinOnAKongReplacementsDiscardNamesTheDiscarder) {
    ScriptedHand script = KongAndSelfDrawnWin();
    // Chair 0 wins on chair 3's discard right after chair 3's kong.
    script.hands[3] = {20, 20, 20, 6, 1, 1, 4, 4, 8, 8, 17, 17, 11};
    script.hands[0][13] = 38;
    script.events = {
        R"({"chair":0,"act":"discard","tile":38})",
        R"({"chair":1,"act":"draw","tile":20,"from":"head"})",
        R"({"chair":1,"act":"discard","tile":20})",
        R"({"chair":3,"act":"pass_win","tile":20})",
        R"({"chair":3,"act":"kong","tile":20,"kind":"exposed","from":1,"meld":[20,20,20,20]})",
        R"({"chair":3,"act":"draw","tile":30,"from":"tail"})",
        R"({"chair":3,"act":"discard","tile":6})",
        R"({"chair":0,"act":"win","tile":6,"from":3})",
    };
    script.draws = {20};
    script.result = R"({"winners":[0],"discarder":3,"tile":6,"points":[9,0,0,-9]})";
    const HandReplay replay = BuildOrFail(Parse(script));
    EXPECT_TRUE(replay.Step(4).messages.empty());  // passing a win shows nothing
    const auto record = play::DecodeWinRecord(replay.Step(8).messages.at(0));
    ASSERT_TRUE(record);
    EXPECT_EQ(record->winners[0].items[1], 3);  // the discarder
    EXPECT_EQ(record->winners[0].items[7], 2);  // the discard followed a kong
    EXPECT_EQ(record->exposedKongs[3], 1);
    EXPECT_EQ(replay.Step(5).melds[3], (std::vector<MeldRecord>{{MeldKind::ExposedKong, 20, 1}}));
    EXPECT_EQ(replay.Describe(4), "第 4 / 8 步：北北 放弃胡 三条");
    EXPECT_EQ(replay.Describe(5), "第 5 / 8 步：北北 明杠 三条");
}

TEST(HandReplay, ARobbedKongsTileLeavesTheKongersHandForTheRobber) {
    ScriptedHand script = KongAndSelfDrawnWin();
    script.draws = {20, 6, 27};
    script.events.resize(5);  // up to chair 2's discard
    for (const char* event : {
             R"({"chair":3,"act":"draw","tile":20,"from":"head"})",
             R"({"chair":3,"act":"discard","tile":20})",
             R"({"chair":0,"act":"draw","tile":6,"from":"head"})",
             R"({"chair":0,"act":"discard","tile":6})",
             R"({"chair":1,"act":"draw","tile":27,"from":"head"})",
             R"({"chair":3,"act":"pass_win","tile":27,"from":1,"robbed":true})",
             R"({"chair":2,"act":"win","tile":27,"from":1,"robbed":true})",
         })
        script.events.push_back(event);
    script.result = R"({"winners":[2],"discarder":1,"tile":27,"points":[0,-6,6,0]})";
    const HandLog hand = Parse(script);
    EXPECT_TRUE(hand.events[10].robbed);
    EXPECT_FALSE(hand.events[9].robbed);
    const HandReplay replay = BuildOrFail(hand, 2);
    EXPECT_EQ(std::count(replay.Step(10).hands[1].begin(), replay.Step(10).hands[1].end(), 27), 1);
    EXPECT_EQ(std::count(replay.Step(12).hands[1].begin(), replay.Step(12).hands[1].end(), 27), 0);
    const auto record = play::DecodeWinRecord(replay.Step(12).messages.at(0));
    ASSERT_TRUE(record);
    EXPECT_EQ(record->winners[0].items[1], 1);  // the konger pays as the discarder
    EXPECT_EQ(record->winners[0].items[7], 2);  // robbing a kong counts as after a kong
    EXPECT_EQ(replay.Describe(12), "第 12 / 12 步：西西 抢杠胡 东风");

    script.events.back() = R"({"chair":2,"act":"win","tile":27,"from":1,"robbed":1})";
    EXPECT_NE(ParseHandLine(script.Line()).error.find("\"robbed\""), std::string::npos);
}

TEST(HandReplay, AnIndicatorKongLaysThreeIndicatorsAndCountsInTheWin) {
    ScriptedHand script = KongAndSelfDrawnWin();
    script.hands[1] = {27, 27, 10, 36, 36, 36, 16, 16, 16, 7, 8, 29, 29};
    script.draws = {20};
    script.events = {
        R"({"chair":0,"act":"discard","tile":27})",
        R"({"chair":1,"act":"draw","tile":20,"from":"head"})",
        R"({"chair":1,"act":"indicator_kong","tile":36,"meld":[36,36,36]})",
        R"({"chair":1,"act":"win","tile":20})",
    };
    script.result = R"({"winners":[1],"discarder":null,"tile":20,"points":[-9,27,-9,-9]})";
    const HandReplay replay = BuildOrFail(Parse(script), 1);
    EXPECT_EQ(replay.Step(3).melds[1], (std::vector<MeldRecord>{{MeldKind::Pung, 36, 1}}));
    EXPECT_EQ(replay.Step(3).hands[1].size(), 11u);
    EXPECT_EQ(replay.Describe(3), "第 3 / 4 步：南南 混皮子杠");

    Viewer viewer;
    for (std::size_t n = 0; n <= 3; ++n) viewer.Feed(replay.Step(n));
    EXPECT_EQ(viewer.table().Seats[1].Melds, replay.Step(3).melds[1]);
    EXPECT_EQ(Sorted(viewer.table().bytMyHand), Sorted(replay.Step(3).hands[1]));

    const auto record = play::DecodeWinRecord(replay.Step(4).messages.at(0));
    ASSERT_TRUE(record);
    EXPECT_EQ(record->winners[0].items[16], 2);  // laid before the chair's first discard
    EXPECT_NE(play::BuildItemTexts(*record)[1].find("混皮子暗杠"), std::string::npos);
}

TEST(HandReplay, TwoWinnersOnOneDiscardShareOneWinRecord) {
    ScriptedHand script = KongAndSelfDrawnWin();
    script.events = {
        R"({"chair":0,"act":"discard","tile":27})",
        R"({"chair":1,"act":"win","tile":27,"from":0})",
        R"({"chair":3,"act":"win","tile":27,"from":0})",
    };
    script.result = R"({"winners":[1,3],"discarder":0,"tile":27,"points":[-20,10,0,10]})";
    const HandReplay replay = BuildOrFail(Parse(script));
    EXPECT_TRUE(replay.Step(2).messages.empty());
    const auto record = play::DecodeWinRecord(replay.Step(3).messages.at(0));
    ASSERT_TRUE(record);
    ASSERT_EQ(record->winners.size(), 2u);
    EXPECT_EQ(record->winners[0].chair, 1);
    EXPECT_EQ(record->winners[1].chair, 3);
    EXPECT_EQ(record->winners[1].concealedTiles.size(), 13u);
    EXPECT_EQ(record->actualScore, (std::array<std::int32_t, 4>{-20, 10, 0, 10}));
    const auto texts = play::BuildItemTexts(*record);
    EXPECT_NE(texts[0].find("点炮"), std::string::npos) << texts[0];
}

TEST(HandReplay, ADrawnHandUsesTheWholeWallAndEndsWithTheDrawnGame) {
    const HandLog hand = Parse(DrawnToTheEnd());
    const HandReplay replay = BuildOrFail(hand, 1);
    ASSERT_EQ(replay.StepCount(), 1u + 2u * 82u);
    const auto& last = replay.Step(replay.StepCount()).messages;
    ASSERT_EQ(last.size(), 2u);
    EXPECT_EQ(net::ClassifyServerMessage(last[1]), net::ServerMessage::DrawnGame);
    EXPECT_NE(replay.Describe(replay.StepCount()).find("荒牌"), std::string::npos);

    Viewer viewer;
    for (std::size_t n = 0; n < replay.StepCount(); ++n) viewer.Feed(replay.Step(n));
    // Before the last discard: every draw made, every earlier discard on the table.
    std::size_t discards = 0;
    for (const auto& seat : viewer.table().Seats) discards += seat.Discards.size();
    EXPECT_EQ(discards, 82u);
    for (const auto& seat : viewer.table().Seats)  // every segment used up
        EXPECT_LT(seat.lngWallTail, seat.lngWallHead);
    viewer.Feed(replay.Step(replay.StepCount()));
    EXPECT_TRUE(viewer.rig.messages.Showed("很遗憾：本局竟然是荒牌！都不得分！"));

    // One draw more than the wall holds is refused.
    ScriptedHand tooLong = DrawnToTheEnd();
    tooLong.events.push_back(R"({"chair":3,"act":"draw","tile":5,"from":"head"})");
    EXPECT_NE(BuildError(tooLong).find("used up"), std::string::npos);
}

TEST(HandReplay, RefusesActsThatDoNotFitTheHandAndNamesTheAct) {
    const std::vector<std::pair<int, std::string>> faults = {
        {0, R"({"chair":0,"act":"discard","tile":38})"},                          // not held
        {5, R"({"chair":3,"act":"draw","tile":21,"from":"head"})"},               // not the wall's
        {7, R"({"chair":3,"act":"draw","tile":21,"from":"tail"})"},               // not the end
        {1, R"({"chair":1,"act":"pung","tile":16,"from":0,"meld":[16,16,16]})"},  // not discarded
        {1, R"({"chair":1,"act":"pung","tile":27,"from":2,"meld":[27,27,27]})"},  // wrong chair
        {3, R"({"chair":2,"act":"chow","tile":10,"from":1,"meld":[10,11,13]})"},  // no run
        {6, R"({"chair":3,"act":"kong","tile":20,"kind":"added"})"},              // no pung
    };
    for (const auto& [index, event] : faults) {
        ScriptedHand script = KongAndSelfDrawnWin();
        script.events[static_cast<std::size_t>(index)] = event;
        const std::string error = BuildError(script);
        EXPECT_EQ(error.rfind("event " + std::to_string(index + 1) + ":", 0), 0u)
            << event << " -> " << error;
    }
    ScriptedHand badDeal = KongAndSelfDrawnWin();
    auto hand = Parse(badDeal);
    std::swap(hand.deal[1][0], hand.deal[1][2]);
    std::string error;
    EXPECT_FALSE(HandReplay::Build(hand, 0, &error));
    EXPECT_NE(error.find("deal of chair 1"), std::string::npos) << error;
}

TEST(HandReplay, NamesEmptyChairsAndKeepsNamesApart) {
    ScriptedHand script = KongAndSelfDrawnWin();
    script.players = {"同名", "", "同名", HandReplay::kViewerName};
    const HandReplay replay = BuildOrFail(Parse(script));
    const auto& names = replay.names();
    EXPECT_EQ(names[1], "空位2");
    EXPECT_NE(names[0], names[2]);
    EXPECT_NE(names[3], HandReplay::kViewerName);
    EXPECT_EQ(replay.Describe(0), "第 0 / 12 步：发牌");
    EXPECT_EQ(replay.Describe(1), "第 1 / 12 步：同名 打出 东风");
}

}  // namespace
}  // namespace qira::replay
