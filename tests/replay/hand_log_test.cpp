#include "replay/hand_log.h"

#include <gtest/gtest.h>

#include "scripted_hand.h"

namespace qira::replay {
namespace {

using testing::KongAndSelfDrawnWin;
using testing::ScriptedHand;

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

TEST(HandLog, ReadsEveryKeyOfALine) {
    const ScriptedHand script = KongAndSelfDrawnWin();
    const auto parsed = ParseHandLine(script.Line());
    ASSERT_TRUE(parsed.hand) << parsed.error;
    const HandLog& hand = *parsed.hand;
    EXPECT_EQ(hand.id, 1);
    EXPECT_EQ(hand.dealer, 0);
    EXPECT_EQ(hand.players[2], "西西");
    EXPECT_EQ(hand.indicator, 36);
    EXPECT_EQ(hand.wild, 37);
    ASSERT_EQ(hand.wall.size(), 136u);
    EXPECT_EQ(hand.wall[135], 36);
    EXPECT_EQ(hand.deal[0].size(), 14u);
    EXPECT_EQ(hand.deal[3].size(), 13u);
    EXPECT_EQ(hand.dice, 1);  // not logged
    EXPECT_FALSE(hand.Drawn());
    EXPECT_EQ(hand.result.winners, std::vector<Chair>{0});
    EXPECT_FALSE(hand.result.discarder);
    EXPECT_EQ(hand.result.tile, 6);
    EXPECT_EQ(hand.result.points[1], -8);

    ASSERT_EQ(hand.events.size(), 12u);
    const LogEvent& pung = hand.events[1];
    EXPECT_EQ(pung.act, Act::Pung);
    EXPECT_EQ(pung.from, 0);
    EXPECT_EQ(pung.meld, (std::vector<Tile>{27, 27, 27}));
    const LogEvent& draw = hand.events[5];
    EXPECT_EQ(draw.act, Act::Draw);
    EXPECT_FALSE(draw.fromTail);
    EXPECT_FALSE(draw.from);  // "head" names no chair
    EXPECT_TRUE(hand.events[7].fromTail);
    EXPECT_EQ(hand.events[6].kongKind, KongKind::Concealed);
    EXPECT_EQ(hand.events[8].act, Act::Ting);
    EXPECT_FALSE(hand.events[8].tile);
    EXPECT_EQ(hand.events[11].act, Act::Win);
}

TEST(HandLog, ReadsEveryActAndKongKindByItsName) {
    ScriptedHand script = KongAndSelfDrawnWin();
    script.events = {
        R"({"chair":1,"act":"kong","tile":5,"kind":"exposed","from":0})",
        R"({"chair":1,"act":"kong","tile":5,"kind":"added"})",
        R"({"chair":2,"act":"indicator_kong"})",
        R"({"chair":3,"act":"pass_win","tile":5})",
        R"({"chair":3,"act":"win","tile":5,"from":0})",
    };
    script.extraKeys = R"(,"dice":5,"future":{"any":[1,"x"]})";
    const auto parsed = ParseHandLine(script.Line());
    ASSERT_TRUE(parsed.hand) << parsed.error;
    const auto& e = parsed.hand->events;
    EXPECT_EQ(e[0].kongKind, KongKind::Exposed);
    EXPECT_EQ(e[0].from, 0);
    EXPECT_EQ(e[1].kongKind, KongKind::Added);
    EXPECT_EQ(e[2].act, Act::IndicatorKong);
    EXPECT_EQ(e[3].act, Act::PassWin);
    EXPECT_EQ(e[4].from, 0);
    EXPECT_EQ(parsed.hand->dice, 5);
    EXPECT_EQ(ActName(Act::IndicatorKong), "indicator_kong");
    EXPECT_EQ(ActName(Act::PassWin), "pass_win");
}

TEST(HandLog, RefusesALineThatBreaksTheFormatAndNamesTheFault) {
    const std::string good = KongAndSelfDrawnWin().Line();
    const std::vector<std::pair<std::string, std::string>> cases = {
        {Replace(good, "\"dealer\":0", "\"dealer\":4"), "\"dealer\""},
        {Replace(good, "\"dealer\":0,", ""), "\"dealer\" is missing"},
        {Replace(good, "\"indicator\":36", "\"indicator\":31"), "not a tile"},
        {Replace(good, "\"act\":\"ting\"", "\"act\":\"nap\""), "unknown act \"nap\""},
        {Replace(good, "\"from\":\"tail\"", "\"from\":\"middle\""), "event 8"},
        {Replace(good, "\"meld\":[9,10,11]", "\"meld\":[9,10]"), "three tiles"},
        {Replace(good, "\"kind\":\"concealed\"", "\"kind\":\"hidden\""), "\"kind\""},
        {Replace(good, R"({"chair":2,"act":"discard","tile":30})",
                 R"({"chair":2,"act":"discard"})"),
         "event 5: \"tile\" is missing"},
        {Replace(good, "\"wall\":[", "\"wall\":[1,"), "136"},
        {Replace(good, "\"players\":[", "\"players\":[\"x\","), "four names"},
        {good.substr(0, good.size() - 1), "not JSON"},
        {"[1,2]", "not an object"},
    };
    for (const auto& [line, reason] : cases) {
        const auto parsed = ParseHandLine(line);
        EXPECT_FALSE(parsed.hand) << reason;
        EXPECT_NE(parsed.error.find(reason), std::string::npos) << parsed.error;
    }
}

TEST(HandLog, ReadsALogLineByLineAndReportsBadLinesByNumber) {
    ScriptedHand second = KongAndSelfDrawnWin();
    second.id = 7;
    const std::string text =
        KongAndSelfDrawnWin().Line() + "\n\n  \r\n{\"id\":2}\n" + second.Line() + "\n";
    const auto log = ParseHandLog(text);
    ASSERT_EQ(log.hands.size(), 2u);
    ASSERT_EQ(log.errors.size(), 1u);
    EXPECT_EQ(log.errors[0].rfind("line 4: ", 0), 0u) << log.errors[0];
    ASSERT_NE(FindHand(log.hands, 7), nullptr);
    EXPECT_EQ(FindHand(log.hands, 7)->id, 7);
    EXPECT_EQ(FindHand(log.hands, 3), nullptr);
    EXPECT_TRUE(ParseHandLog("").hands.empty());
}

}  // namespace
}  // namespace qira::replay
