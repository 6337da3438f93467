#include "items/profile_file.h"

#include <gtest/gtest.h>

#include "items/dao_ju.h"

namespace qira::items {
namespace {

TEST(ProfileFile, NamesMatchWithoutCaseAndValuesLoseBlanksAndQuotes) {
    const auto profile = ProfileFile::Parse(
        "\xEF\xBB\xBF; 道具说明\r\n"
        "[DaoJuInfo_ID_7]\r\n"
        "  Note =  让对手的头像变成猪头  \r\n"
        "[daojuinfo_id_8]\n"
        "NOTE=\"  加倍积分  \"\n"
        "Note=second value is ignored\n");
    EXPECT_EQ(profile.GetString("daojuinfo_ID_7", "note", "x"), "让对手的头像变成猪头");
    EXPECT_EQ(profile.GetString("DaoJuInfo_ID_8", "Note", "x"), "  加倍积分  ");
    EXPECT_EQ(profile.GetString("DaoJuInfo_ID_9", "Note", "无"), "无");
    EXPECT_EQ(profile.GetString("DaoJuInfo_ID_7", "Price", ""), "");
}

TEST(ProfileFile, LinesOutsideSectionsAndWithoutEqualsAreIgnored) {
    const auto profile = ProfileFile::Parse("Note=orphan\n[S\nNote=broken header\n[T]\njunk\nk=v");
    EXPECT_EQ(profile.GetString("S", "Note", "-"), "-");
    EXPECT_EQ(profile.GetString("T", "k", "-"), "v");
    EXPECT_TRUE(ProfileFile::Load("/nonexistent/DaoJuInfo.ini").empty());
}

TEST(ReadDaoJuNote, TrimsDropsNulsAndFitsTheBuffer) {
    const std::string longNote(2000, 'a');
    const std::string text = "[DaoJuInfo_ID_1]\nNote=" + longNote + "\n[DaoJuInfo_ID_2]\nNote=a" +
                             std::string(1, '\0') +
                             "b\n[DaoJuInfo_ID_3]\nNote=" + std::string(1022, 'x') + "一\n";
    const auto profile = ProfileFile::Parse(text);
    EXPECT_EQ(ReadDaoJuNote(profile, 1).size(), 1023u);
    EXPECT_EQ(ReadDaoJuNote(profile, 2), "ab");
    EXPECT_EQ(ReadDaoJuNote(profile, 3), std::string(1022, 'x')) << "no half character";
    EXPECT_EQ(ReadDaoJuNote(profile, 4), "");
}

}  // namespace
}  // namespace qira::items
