// The table in words: tile names, and the status line a screen reader
// follows through a hand.
#include "play/table_words.h"

#include <gtest/gtest.h>

#include "session_fakes.h"

namespace qira::play::testing {
namespace {

TEST(TileWords, EveryKindOfTileHasItsChineseName) {
    EXPECT_EQ(TileName(0), "一萬");
    EXPECT_EQ(TileName(2), "三萬");
    EXPECT_EQ(TileName(13), "五饼");
    EXPECT_EQ(TileName(22), "五条");
    EXPECT_EQ(TileName(26), "九条");
    EXPECT_EQ(TileName(27), "东风");
    EXPECT_EQ(TileName(30), "北风");
    EXPECT_EQ(TileName(36), "红中");
    EXPECT_EQ(TileName(38), "白板");
    for (const rules::TileCode none : {31, 35, 39, 100, 255})
        EXPECT_EQ(TileName(none), "") << int{none};
}

TEST(TileWords, WildTileAndChowsReadAsOnTheTable) {
    rules::TableState table;
    table.bytWildTile = 22;
    EXPECT_EQ(HandTileName(table, 22), "混 五条");
    EXPECT_EQ(HandTileName(table, 21), "四条");
    EXPECT_EQ(ChowName(2), "三四五萬");
    EXPECT_EQ(ChowName(15), "七八九饼");
    EXPECT_EQ(ChowName(16), "") << "a chow never runs into the next suit";
    EXPECT_EQ(ChowName(27), "") << "winds make no chow";
}

struct NarratedRig {
    NarratedRig() {
        rig.session->SetAnnouncer([this](const std::string& words) { heard.push_back(words); });
        EnterAsPlayer(rig);
        heard.clear();
    }
    SessionRig rig;
    std::vector<std::string> heard;
};

TEST(StatusLine, HandIsToldInWordsFromTheDealToTheWin) {
    NarratedRig narrated;
    SessionRig& rig = narrated.rig;
    rig.Feed(NewHand{}.Build());
    EXPECT_EQ(narrated.heard, (std::vector<std::string>{"新的一局开始，east 坐庄", "请选择押注"}));
    rig.session->OnGameButtonClick(2);
    // 1 2 4 5 of characters, 1 1 and 4 4 4 of dots, 1 2 3 of bamboo, east wind.
    rig.Feed(Deal(1, 0, {0, 1, 3, 4, 9, 9, 12, 12, 12, 18, 19, 20, 27}));
    narrated.heard.clear();

    rig.Feed(DiscardMsg(0, 12));
    EXPECT_EQ(narrated.heard, (std::vector<std::string>{"east 打出 四饼", "你可以 碰 / 杠 / 过"}));
    EXPECT_EQ(rig.session->statusLine(), "你可以 碰 / 杠 / 过");

    rig.Feed(Message({21, 2, 1, 12}));
    EXPECT_EQ(rig.session->statusLine(), "轮到你出牌") << "after a pung nothing was drawn";
    rig.Feed(DiscardMsg(1, 27, 0, 2, 5));
    EXPECT_EQ(narrated.heard[narrated.heard.size() - 1], "你 打出 东风");

    rig.Feed(DiscardMsg(2, 36, 0, 3, 6));  // west's discard hands the draw on
    EXPECT_EQ(rig.session->statusLine(), "west 打出 红中");
    rig.Feed(DiscardMsg(3, 30, 0, 0, 7));
    rig.Feed(DiscardMsg(0, 29, 0, 1, 8));
    EXPECT_EQ(rig.session->statusLine(), "你可以 杠 / 过") << "the fourth 四饼 joins the pung";
    rig.session->OnActionButton(4, MouseButton::Left);
    EXPECT_EQ(rig.session->statusLine(), "轮到你出牌，摸到 九萬");

    rig.Feed(WinMessage({2}));
    EXPECT_EQ(narrated.heard[narrated.heard.size() - 2], "west 胡牌");
    EXPECT_EQ(rig.session->statusLine(), "可以开始");
}

TEST(StatusLine, DescribesTheHandTheNewestDiscardAndWhoseTurnItIs) {
    SessionRig rig;
    EnterAsPlayer(rig);
    EXPECT_EQ(DescribeTable(rig.session->table(), rig.session->turn()).turn, "") << "no hand yet";
    NewHand hand;
    hand.wildTile = 22;
    rig.Feed(hand.Build());
    rig.session->OnGameButtonClick(2);
    rig.Feed(Deal(1, 0, {22, 0, 1, 3, 4, 9, 9, 12, 12, 18, 19, 20, 27}));
    TableWords words = DescribeTable(rig.session->table(), rig.session->turn());
    EXPECT_EQ(words.hand.front(), "混 五条");
    EXPECT_EQ(words.hand.back(), "东风");
    EXPECT_EQ(words.hand.size(), 13u);
    EXPECT_EQ(words.turn, "轮到 east 出牌");

    rig.Feed(DiscardMsg(0, 30));
    words = DescribeTable(rig.session->table(), rig.session->turn());
    EXPECT_EQ(words.newestDiscard, "east 打出 北风");
    rig.Feed(Draw(1, 2));
    words = DescribeTable(rig.session->table(), rig.session->turn());
    EXPECT_EQ(words.turn, "轮到你出牌");
    EXPECT_EQ(words.newestDiscard, "");
    EXPECT_EQ(words.hand.back(), "三萬") << "the drawn tile stays last";
}

}  // namespace
}  // namespace qira::play::testing
