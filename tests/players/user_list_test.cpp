#include "players/user_list.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>

#include "launch/globals.h"
#include "net/packet.h"

namespace qira::players {
namespace {

// A player record: name, ID "1001", score "350", level "120", nobody watched,
// 40 hands, 55 % wins, 2 % escapes, 22/15/3, portrait, chair, raised, dropped.
std::string PlayerRecord(std::string_view name, std::string_view chair = "0",
                         std::string_view portrait = "12", std::string_view raised = "0",
                         std::string_view dropped = "0", std::string_view watched = "") {
    return net::JoinFields({name, "1001", "350", "120", watched, "40", "55", "2", "22", "15", "3",
                            "0", portrait, chair, raised, dropped});
}

std::string Lines(std::initializer_list<std::string> records) {
    std::string text;
    for (const auto& record : records) text += record + "\n";
    return text;
}

launch::ClientGlobals GlobalsWithLevels() {
    launch::ClientGlobals globals;
    globals.launch.strLevelInfo = "长工_100`短工_200";
    globals.ResetGlobals("/games/qira/bin");
    return globals;
}

TEST(UserList, KeepsOneRecordPerNameAndFindsItByName) {
    UserList list;
    EXPECT_TRUE(list.AddUser(PlayerRecord("甲")));
    EXPECT_FALSE(list.AddUser(PlayerRecord("甲", "1"))) << "a name is listed once";
    EXPECT_EQ(list.FindUser("甲"), PlayerRecord("甲"));
    EXPECT_EQ(list.FindUser("乙"), "");

    EXPECT_TRUE(list.RefreshUser(PlayerRecord("甲", "3")));
    EXPECT_EQ(list.FindUser("甲"), PlayerRecord("甲", "3"));
    EXPECT_FALSE(list.RefreshUser(PlayerRecord("乙"))) << "refresh never adds";
    EXPECT_EQ(list.size(), 1u);

    EXPECT_TRUE(list.RemoveUser("甲"));
    EXPECT_FALSE(list.RemoveUser("甲"));
    EXPECT_TRUE(list.empty());
}

TEST(UserList, RefusesRecordsWithoutSixteenFieldsOrName) {
    UserList list;
    const std::string full = PlayerRecord("甲");
    EXPECT_FALSE(list.AddUser(full + "`extra"));
    EXPECT_FALSE(list.AddUser(full.substr(0, full.rfind('`'))));
    EXPECT_FALSE(list.AddUser(""));
    EXPECT_FALSE(list.AddUser(PlayerRecord("")));
    ASSERT_TRUE(list.AddUser(full));
    EXPECT_FALSE(list.RefreshUser("甲`1`2")) << "a short refresh keeps the whole record";
    EXPECT_EQ(list.FindUser("甲"), full);
}

TEST(UserListLoad, ReplacesTheListAndReportsNamesInOrder) {
    UserList list;
    list.AddUser(PlayerRecord("旧"));
    const auto names =
        list.LoadList(Lines({PlayerRecord("乙"), PlayerRecord("甲"), PlayerRecord("丙")}));
    EXPECT_EQ(names, (std::vector<std::string>{"乙", "甲", "丙"}));
    EXPECT_EQ(list.Names(), names);
    EXPECT_EQ(list.FindUser("旧"), "");
}

TEST(UserListLoad, SkipsMalformedLinesRepeatsAndCarriageReturns) {
    UserList list;
    const std::string text = PlayerRecord("甲") + "\r\n" + "坏`记录\n\n" + PlayerRecord("甲", "2") +
                             "\n" + PlayerRecord("乙") + "`多余\n" + PlayerRecord("丙");
    EXPECT_EQ(list.LoadList(text), (std::vector<std::string>{"甲", "丙"}));
    EXPECT_EQ(list.FindUser("甲"), PlayerRecord("甲")) << "the first of a repeated name stays";
    EXPECT_TRUE(list.LoadList("").empty());
    EXPECT_TRUE(list.empty());
}

TEST(UserTypeLabel, ThousandsOfThePortraitNumberPickTheLabel) {
    const auto globals = GlobalsWithLevels();
    const auto& names = globals.strUserTypeNames;
    EXPECT_EQ(UserTypeLabel(0, names), "普通用户");
    EXPECT_EQ(UserTypeLabel(999, names), "普通用户");
    EXPECT_EQ(UserTypeLabel(2005, names), names[2]);
    EXPECT_EQ(UserTypeLabel(4999, names), names[4]);
    EXPECT_EQ(UserTypeLabel(5000, names), "未知身份");
    EXPECT_EQ(UserTypeLabel(-1000, names), "未知身份");
}

TEST(UserMenu, CaptionsShowTheRecordFields) {
    auto globals = GlobalsWithLevels();
    const auto menu = BuildUserMenu(PlayerRecord("甲", "0", "2005"), globals);
    ASSERT_TRUE(menu);
    EXPECT_EQ(menu->tag, "甲");
    EXPECT_EQ(menu->captions[0], "甲   身份：" + globals.strUserTypeNames[2]);
    EXPECT_EQ(menu->captions[1], "游戏ID：1001");
    EXPECT_EQ(menu->captions[2], "旁观对象：");
    EXPECT_EQ(menu->captions[3], "-");
    EXPECT_EQ(menu->captions[4], "与他（她）交谈");
    EXPECT_EQ(menu->captions[5], "-");
    EXPECT_EQ(menu->captions[6], "级别:长工   胜率:55%   逃跑率:2%");
    EXPECT_EQ(menu->captions[7], "经验:350   胜:22   输:15   和:3   总局数:40");

    globals.launch.bytScoreMode = 1;
    EXPECT_EQ(BuildUserMenu(PlayerRecord("甲"), globals)->captions[7],
              "积分:350   胜:22   输:15   和:3   总局数:40");
}

TEST(UserMenu, OnlyAWholeRecordBuildsAMenu) {
    const auto globals = GlobalsWithLevels();
    EXPECT_FALSE(BuildUserMenu("甲`1001`350", globals));
    EXPECT_FALSE(BuildUserMenu(PlayerRecord("甲") + "`", globals));
}

TEST(UserMenu, OnlyTheTalkItemMakesTheUserTheChatTarget) {
    const auto menu = BuildUserMenu(PlayerRecord("甲"), GlobalsWithLevels());
    ASSERT_TRUE(menu);
    EXPECT_EQ(ExecUserMenu(*menu, 4), "甲");
    for (const int item : {0, 1, 2, 3, 5, 6, 7, 8, -1})
        EXPECT_FALSE(ExecUserMenu(*menu, item)) << "item " << item;
    EXPECT_FALSE(ExecUserMenu(UserMenu{}, 4)) << "an empty tag does nothing";
}

TEST(UserRecord, BlanksAloneDoNotMakeAnOnlooker) {
    EXPECT_FALSE(IsOnlooker(*ParseUserRecord(PlayerRecord("甲", "0", "1", "0", "0", " "))));
    EXPECT_TRUE(IsOnlooker(*ParseUserRecord(PlayerRecord("甲", "0", "1", "0", "0", " 乙 "))));
}

}  // namespace
}  // namespace qira::players
