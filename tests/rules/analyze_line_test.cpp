#include "analyze_line.h"

#include <gtest/gtest.h>

namespace qira::analyze {
namespace {

TEST(AnalyzeLine, ReadyHandListsItsWaitsAndTheClaimsOnATile) {
    // The discarded wild tile (30) wins too, standing in for the second 36.
    EXPECT_EQ(AnalyzeLine("hand=0,1,2,9,10,11,18,19,20,27,27,27,36 wild=30 tile=36"),
              R"({"win":[30,36],"ready":true,"first":30,"barred":false,)"
              R"("chow":[],"pung":-1,"kong":-1})");
    EXPECT_EQ(AnalyzeLine("hand=1,2,4,5,9,9,9 wild=30 melds=2:27,1:18 tile=3"),
              R"({"win":[],"ready":false,"first":null,"barred":false,)"
              R"("chow":[1,2,3],"pung":-1,"kong":-1})");
}

TEST(AnalyzeLine, AWildHandWithATooWideWaitIsBarred) {
    EXPECT_EQ(AnalyzeLine("hand=22,3,9,10,11,18,19,20,27,27,27,36,36 wild=22"),
              R"({"win":[],"ready":false,"first":null,"barred":true})");
}

TEST(AnalyzeLine, AFullHandWinsWithAnyTile) {
    const std::string answer = AnalyzeLine("hand=0,1,2,9,10,11,18,19,20,27,27,27,36,36 wild=30");
    EXPECT_NE(answer.find(R"("win":[0,1,2,3,4,5,6,7,8,9,)"), std::string::npos) << answer;
    EXPECT_NE(answer.find(R"("first":0)"), std::string::npos) << answer;
}

TEST(AnalyzeLine, ExplainGroupsTheWinningHandAndNamesWhatEachWildTileStoodFor) {
    // Between turns with the winning discard: the held wild tile (36) fills
    // the chow 1-2-3 of dots; the melds are not repeated.
    EXPECT_EQ(AnalyzeLine("hand=36,9,11,18,18,18,30 wild=36 melds=2:27,1:0 tile=30 explain=1"),
              R"({"win":[10,30,36],"ready":true,"first":10,"barred":false,)"
              R"("chow":[],"pung":-1,"kong":-1,"groups":[)"
              R"({"kind":"chow","tiles":[9,36,11],"as":[9,10,11]},)"
              R"({"kind":"pung","tiles":[18,18,18],"as":[18,18,18]},)"
              R"({"kind":"pair","tiles":[30,30],"as":[30,30]}]})");
    // A full hand explains itself; seven pairs are pairs.
    EXPECT_EQ(AnalyzeLine("hand=36,0,0,4,4,9,9,20,20,27,27,30,30,38 wild=36 explain=1")
                  .ends_with(R"("groups":[{"kind":"pair","tiles":[0,0],"as":[0,0]},)"
                             R"({"kind":"pair","tiles":[4,4],"as":[4,4]},)"
                             R"({"kind":"pair","tiles":[9,9],"as":[9,9]},)"
                             R"({"kind":"pair","tiles":[20,20],"as":[20,20]},)"
                             R"({"kind":"pair","tiles":[27,27],"as":[27,27]},)"
                             R"({"kind":"pair","tiles":[30,30],"as":[30,30]},)"
                             R"({"kind":"pair","tiles":[38,36],"as":[38,38]}]})"),
              true);
}

TEST(AnalyzeLine, ExplainGivesNullWithoutAWin) {
    // Not winning with this discard, no discard named, or not asked for.
    const std::string hand = "hand=36,9,11,18,18,18,30 wild=36 melds=2:27,1:0";
    EXPECT_TRUE(AnalyzeLine(hand + " tile=29 explain=1").ends_with(R"("groups":null})"));
    EXPECT_TRUE(AnalyzeLine(hand + " explain=1").ends_with(R"("groups":null})"));
    EXPECT_EQ(AnalyzeLine(hand + " tile=30 explain=0").find("groups"), std::string::npos);
    EXPECT_EQ(AnalyzeLine(hand + " explain=yes"), R"({"error":"explain: must be 0 or 1"})");
}

TEST(AnalyzeLine, MalformedLinesNameTheProblem) {
    EXPECT_EQ(AnalyzeLine(""), R"({"error":"empty line"})");
    EXPECT_EQ(AnalyzeLine("wild=22"), R"({"error":"hand= is missing"})");
    EXPECT_EQ(AnalyzeLine("hand=1,2"), R"({"error":"wild= is missing"})");
    EXPECT_EQ(AnalyzeLine("hand=1,x wild=22"), R"({"error":"hand: 'x' is not a number"})");
    EXPECT_EQ(AnalyzeLine("hand=1,33 wild=22"),
              R"json({"error":"hand: 33 is not a tile code (0-30, 36-38)"})json");
    EXPECT_EQ(AnalyzeLine("hand=1,,2 wild=22"), R"({"error":"hand: '' is not a number"})");
    EXPECT_EQ(AnalyzeLine("hand=1 wild=22 wild=23"), R"({"error":"wild given twice"})");
    EXPECT_EQ(AnalyzeLine("hand=1 wild=22 melds=5:1"), R"({"error":"melds: kind '5' is not 1-4"})");
    EXPECT_EQ(AnalyzeLine("hand=1 wild=22 melds=1:8"), R"({"error":"melds: no chow starts at 8"})");
    EXPECT_EQ(AnalyzeLine("hand=1 wild=22 nowin=2"), R"({"error":"nowin: must be 0 or 1"})");
    EXPECT_EQ(AnalyzeLine("hand=1 wild=22 \"x\"=1"), R"({"error":"unknown key '\"x\"'"})");
    EXPECT_EQ(AnalyzeLine("hand=1,2,3,4,5,6,7,8,9,10,11,12,13,14,15 wild=22"),
              R"({"error":"hand: more than 14 tiles"})");
    EXPECT_EQ(AnalyzeLine("hand=1 wild=99999999999999"),
              R"({"error":"wild: '99999999999999' is not a number"})");
}

TEST(AnalyzeLine, ControlBytesInTheEchoAreEscaped) {
    EXPECT_EQ(AnalyzeLine("hand=\x01 wild=1"), R"({"error":"hand: '\u0001' is not a number"})");
}

}  // namespace
}  // namespace qira::analyze
