#include "launch/globals.h"

#include <gtest/gtest.h>

namespace qira::launch {
namespace {

TEST(LevelTitles, EachTitleCoversItsThresholdUpToTheNext) {
    const auto levels = ParseLevelInfo("长工_100`短工_200");
    ASSERT_EQ(levels.size(), 2u);
    EXPECT_EQ(GetLevelTitle(levels, 50), "长工");
    EXPECT_EQ(GetLevelTitle(levels, 100), "长工");
    EXPECT_EQ(GetLevelTitle(levels, 199), "长工");
    EXPECT_EQ(GetLevelTitle(levels, 200), "短工");
    EXPECT_EQ(GetLevelTitle(levels, 10000), "短工");
    EXPECT_EQ(GetLevelTitle(levels, INT32_MIN), "长工");
}

TEST(LevelTitles, MiddleEntriesAndEmptyTable) {
    const auto levels = ParseLevelInfo("a_0`b_10`c_20`d_30");
    EXPECT_EQ(GetLevelTitle(levels, 15), "b");
    EXPECT_EQ(GetLevelTitle(levels, 20), "c");
    EXPECT_EQ(GetLevelTitle({}, 5), "未知级别");
    EXPECT_EQ(GetLevelTitle(ParseLevelInfo(""), 5), "未知级别");
}

TEST(ParseLevelInfo, SkipsEntriesWithoutUnderscoreAndReadsLooseNumbers) {
    const auto levels = ParseLevelInfo("nounderscore`x_12.6`y_abc`z_99999999999");
    ASSERT_EQ(levels.size(), 3u);
    EXPECT_EQ(levels[0].title, "x");
    EXPECT_EQ(levels[0].threshold, 13);
    EXPECT_EQ(levels[1].threshold, 0);
    EXPECT_EQ(levels[2].threshold, INT32_MAX);
}

TEST(ComputeSeatView, ViewedChairAtBottomNextChairOnTheRight) {
    ClientGlobals globals;
    globals.launch.strUserName = "me";
    globals.strViewName = "me";
    globals.ComputeSeatView({"a", "b", "c", "me"});
    EXPECT_EQ(globals.bytMyChair, 3);
    EXPECT_EQ(globals.bytSeatPos, (std::array<std::uint8_t, 4>{3, 0, 1, 2}));
    EXPECT_FALSE(globals.blnIsWatcher);
}

TEST(ComputeSeatView, OnlookerSeesTheWatchedChair) {
    ClientGlobals globals;
    globals.launch.strUserName = "me";
    globals.strViewName = "b";
    globals.ComputeSeatView({"a", "b", "c", "d"});
    EXPECT_EQ(globals.bytMyChair, 1);
    EXPECT_EQ(globals.bytSeatPos, (std::array<std::uint8_t, 4>{1, 2, 3, 0}));
    EXPECT_TRUE(globals.blnIsWatcher);
}

TEST(ComputeSeatView, UnknownNameChangesNothing) {
    ClientGlobals globals;
    globals.launch.strUserName = "me";
    globals.strViewName = "me";
    globals.ComputeSeatView({"me", "b", "c", "d"});
    globals.strViewName = "nobody";
    globals.ComputeSeatView({"a", "b", "c", "d"});
    EXPECT_EQ(globals.bytMyChair, 0);
    EXPECT_EQ(globals.bytSeatPos, (std::array<std::uint8_t, 4>{2, 3, 0, 1}));
    EXPECT_FALSE(globals.blnIsWatcher);
}

TEST(ResetGlobals, FoldersEndInSlashWithOrWithoutOne) {
    ClientGlobals withSlash;
    withSlash.ResetGlobals("/games/Mj/");
    ClientGlobals without;
    without.ResetGlobals("/games/Mj");
    EXPECT_EQ(withSlash.strAppPath, "/games/Mj/");
    EXPECT_EQ(without.strAppPath, "/games/Mj/");
    EXPECT_EQ(without.strParentPath, "/games/");
}

TEST(ResetGlobals, ProgramAtTheRootKeepsTheRootAsParent) {
    ClientGlobals globals;
    globals.ResetGlobals("/");
    EXPECT_EQ(globals.strAppPath, "/");
    EXPECT_EQ(globals.strParentPath, "/");
}

TEST(ResetGlobals, ClearsViewStateAndParsesLevels) {
    ClientGlobals globals;
    globals.launch.strLevelInfo = "a_1`b_2";
    globals.bytSeatPos = {1, 2, 3, 0};
    globals.bytGameState = 1;
    globals.blnQuitting = true;
    globals.blnShowStart = true;
    globals.ResetGlobals("/x");
    EXPECT_EQ(globals.bytSeatPos, (std::array<std::uint8_t, 4>{0, 0, 0, 0}));
    EXPECT_EQ(globals.bytGameState, 0);
    EXPECT_FALSE(globals.blnQuitting);
    EXPECT_FALSE(globals.blnShowStart);
    EXPECT_EQ(globals.levels.size(), 2u);
    EXPECT_EQ(globals.strUserTypeNames[0], "普通用户");
}

TEST(NativeResourcePath, MapsBackslashesToSlashes) {
    EXPECT_EQ(NativeResourcePath("/app/", "Res\\Sound\\State\\Hu.wav"),
              "/app/Res/Sound/State/Hu.wav");
    EXPECT_EQ(NativeResourcePath("/app/", "\\UserRes\\face"), "/app/UserRes/face");
}

}  // namespace
}  // namespace qira::launch
