#include "items/dao_ju.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace qira::items {
namespace {

// Two types; item 7 of type 1 (type field 0): 10 pieces, 72 hours, used on others.
constexpr std::string_view kCatalogue = "2`整人道具`功能道具`1`7`0`猪头卡`10`72`100`90`80`70`0";
// The same catalogue with item 7 moved to type 2 and item 9 added to type 1.
constexpr std::string_view kMovedCatalogue =
    "2`整人道具`功能道具`2`9`0`喇叭`1`24`5`5`4`4`1`7`1`猪头卡新`10`72`100`90`80`70`0";

TEST(DaoJuCatalogue, ItemGoesIntoTheTypeAfterItsTypeField) {
    DaoJuMaket maket;
    ASSERT_TRUE(maket.LoadDaoJuInfo(kCatalogue));
    ASSERT_EQ(maket.TypeCount(), 2);
    EXPECT_EQ(maket.strDaoJuTypeName()[1], "整人道具");
    EXPECT_EQ(maket.strDaoJuTypeName()[2], "功能道具");
    EXPECT_TRUE(maket.DaoJuList()[0].empty());
    ASSERT_EQ(maket.DaoJuList()[1].size(), 1u);
    const DaoJuInfo& item = maket.DaoJuList()[1][0];
    EXPECT_EQ(item.lngID, 7);
    EXPECT_EQ(item.strName, "猪头卡");
    EXPECT_EQ(item.lngCount, 10);
    EXPECT_EQ(item.lngValidHours, 72);
    EXPECT_EQ(item.bteUseSelf, 0);
    EXPECT_EQ(item.lngPrice, (std::array<std::int32_t, 4>{100, 90, 80, 70}));
    EXPECT_TRUE(maket.DaoJuList()[2].empty());
}

TEST(DaoJuCatalogue, TextsCutShortOrWithImpossibleCountsChangeNothing) {
    DaoJuMaket maket;
    ASSERT_TRUE(maket.LoadDaoJuInfo(kCatalogue));
    const std::string full(kCatalogue);
    // Every cut that loses a field of the item group; the count field is the fourth.
    const std::size_t firstItemField = full.find("`7`") + 1;
    for (std::size_t cut = firstItemField; cut < full.size(); ++cut) {
        const std::string shorter = full.substr(0, cut);
        if (std::count(shorter.begin(), shorter.end(), '`') == 13) continue;  // last field partial
        EXPECT_FALSE(maket.LoadDaoJuInfo(shorter)) << "cut at " << cut;
        ASSERT_EQ(maket.DaoJuList()[1].size(), 1u) << "cut at " << cut;
    }
    EXPECT_FALSE(maket.LoadDaoJuInfo("2`整人道具`功能道具"));
    EXPECT_FALSE(maket.LoadDaoJuInfo(""));
    EXPECT_EQ(maket.TypeCount(), 2);
    for (const std::string_view text :
         {"2147483647`a`b", "2`a`b`2147483647", "-5`9`1`2`3`4`5`6`7`8`9`10", "2`a`b`-1"}) {
        DaoJuMaket fresh;
        fresh.LoadDaoJuInfo(text);
        EXPECT_LE(fresh.TypeCount(), 2) << text;
    }
}

TEST(DaoJuCatalogue, ItemWithATypeOutsideTheCatalogueIsSkipped) {
    DaoJuMaket maket;
    ASSERT_TRUE(maket.LoadDaoJuInfo(
        "1`甲类`3`1`0`a`1`1`1`1`1`1`0`2`1`b`1`1`1`1`1`1`0`3`-1`c`1`1`1`1`1`1`0"));
    ASSERT_EQ(maket.DaoJuList()[1].size(), 1u);
    EXPECT_EQ(maket.DaoJuList()[1][0].lngID, 1);
}

TEST(DaoJuCatalogue, DescriptionsComeFromTheInfoFile) {
    const auto folder =
        std::filesystem::temp_directory_path() / ("qira-items-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder / "Res" / "DaoJu");
    std::ofstream(folder / "Res" / "DaoJu" / "DaoJuInfo.ini")
        << "[DaoJuInfo_ID_7]\nNote= 把对方的头像变成猪头 \n";
    DaoJuMaket maket;
    maket.SetAppPath(folder.string() + "/");
    ASSERT_TRUE(maket.LoadDaoJuInfo(kCatalogue));
    EXPECT_EQ(maket.DaoJuList()[1][0].strNote, "把对方的头像变成猪头");
    std::filesystem::remove_all(folder);
}

TEST(MyDaoJu, TripleGivesCountAndExactExpiry) {
    DaoJuMaket maket;
    ASSERT_TRUE(maket.LoadDaoJuInfo(kCatalogue));
    ASSERT_TRUE(maket.LoadMyDaoJu("7:3:2009010112"));
    ASSERT_EQ(maket.MyDaoJuList()[1].size(), 1u);
    const MyDaoJu& mine = maket.MyDaoJuList()[1][0];
    EXPECT_EQ(mine.lngID, 7);
    EXPECT_EQ(mine.strName, "猪头卡");
    EXPECT_EQ(mine.lngCount, 3);
    EXPECT_EQ(mine.bteUseSelf, 0);
    EXPECT_EQ(mine.lngYear, 2009);
    EXPECT_EQ(mine.lngMonth, 1);
    EXPECT_EQ(mine.lngDay, 1);
    EXPECT_EQ(mine.lngHour, 12);
}

TEST(MyDaoJu, FieldCountNotAMultipleOfThreeChangesNothing) {
    DaoJuMaket maket;
    ASSERT_TRUE(maket.LoadDaoJuInfo(kCatalogue));
    ASSERT_TRUE(maket.LoadMyDaoJu("7:3:2009010112"));
    EXPECT_FALSE(maket.LoadMyDaoJu("7:3:2009010112:8"));
    EXPECT_EQ(maket.MyDaoJuList()[1].size(), 1u);
    EXPECT_TRUE(maket.LoadMyDaoJu("")) << "an empty text: the player owns nothing";
    EXPECT_TRUE(maket.MyDaoJuList()[1].empty());
}

TEST(MyDaoJu, UnknownItemsGoToTypeOneAsUnknown) {
    DaoJuMaket maket;
    ASSERT_TRUE(maket.LoadDaoJuInfo(kCatalogue));
    ASSERT_TRUE(maket.LoadMyDaoJu("9:1:2010123123:7:2:0"));
    ASSERT_EQ(maket.MyDaoJuList()[1].size(), 2u);
    EXPECT_EQ(maket.MyDaoJuList()[1][0].strName, "未知名称");
    EXPECT_EQ(maket.MyDaoJuList()[1][0].bteUseSelf, 1);
    EXPECT_EQ(maket.MyDaoJuList()[1][1].lngID, 7);
}

TEST(MyDaoJu, NewCatalogueMovesOwnItemsButKeepsTheirNames) {
    DaoJuMaket maket;
    ASSERT_TRUE(maket.LoadDaoJuInfo(kCatalogue));
    ASSERT_TRUE(maket.LoadMyDaoJu("7:3:2009010112:9:1:2009010100"));
    ASSERT_TRUE(maket.LoadDaoJuInfo(kMovedCatalogue));
    ASSERT_EQ(maket.MyDaoJuList()[2].size(), 1u);
    EXPECT_EQ(maket.MyDaoJuList()[2][0].lngID, 7);
    EXPECT_EQ(maket.MyDaoJuList()[2][0].strName, "猪头卡");
    ASSERT_EQ(maket.MyDaoJuList()[1].size(), 1u);
    EXPECT_EQ(maket.MyDaoJuList()[1][0].strName, "未知名称") << "a stored name is never refreshed";
}

TEST(MyDaoJu, ItemsBeforeTheFirstCatalogueWaitAndAreSortedInLater) {
    DaoJuMaket maket;
    ASSERT_TRUE(maket.LoadMyDaoJu("7:3:2009010112"));
    EXPECT_EQ(maket.MyDaoJuList()[0].size(), 1u);
    ASSERT_TRUE(maket.LoadDaoJuInfo(kMovedCatalogue));
    EXPECT_TRUE(maket.MyDaoJuList()[0].empty());
    ASSERT_EQ(maket.MyDaoJuList()[2].size(), 1u);
    EXPECT_EQ(maket.MyDaoJuList()[2][0].lngCount, 3);
}

TEST(MyDaoJu, InitEmptiesEverything) {
    DaoJuMaket maket;
    maket.LoadDaoJuInfo(kCatalogue);
    maket.LoadMyDaoJu("7:3:2009010112");
    maket.InitDaoJuMaket();
    EXPECT_EQ(maket.TypeCount(), 0);
    EXPECT_EQ(maket.DaoJuList().size(), 1u);
    EXPECT_EQ(maket.MyDaoJuList().size(), 1u);
    EXPECT_TRUE(maket.MyDaoJuList()[0].empty());
}

}  // namespace
}  // namespace qira::items
