#include "render/resources.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace qira::render {
namespace {

class ResourceFolder : public ::testing::Test {
protected:
    void SetUp() override {
        root_ =
            std::filesystem::temp_directory_path() /
            ("qira_resources_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(root_);
        std::filesystem::create_directories(root_ / "Res" / "Sound" / "State");
    }
    void TearDown() override { std::filesystem::remove_all(root_); }

    void Touch(const std::filesystem::path& relative) {
        std::filesystem::create_directories((root_ / relative).parent_path());
        std::ofstream(root_ / relative) << "x";
    }
    std::string Root() const { return root_.string() + "/"; }

    std::filesystem::path root_;
};

TEST_F(ResourceFolder, FindsFilesWhateverTheLetterCaseOfEachComponent) {
    Touch("Res/OutPaiBk_0.bmp");
    Touch("Res/VSpliterBk.bmp");
    const auto exact = FindResourceFile(Root(), "Res\\OutPaiBk_0.bmp");
    ASSERT_TRUE(exact);
    EXPECT_EQ(FindResourceFile(Root(), "Res\\outpaibk_0.bmp"), exact);
    EXPECT_EQ(FindResourceFile(Root(), "RES\\OUTPAIBK_0.BMP"), exact);
    EXPECT_TRUE(FindResourceFile(Root(), "res\\VSpliterBk.bmp"));
    EXPECT_TRUE(FindResourceFile(Root(), "res/vspliterbk.bmp"));
}

TEST_F(ResourceFolder, MissingFilesAndFoldersAreNotFound) {
    Touch("Res/Start.bmp");
    EXPECT_FALSE(FindResourceFile(Root(), "Res\\Missing.bmp"));
    EXPECT_FALSE(FindResourceFile(Root(), "ResMj\\Other\\Zhuang.ico"));
    EXPECT_FALSE(FindResourceFile(Root(), "Res")) << "a folder is not a picture";
    EXPECT_FALSE(FindResourceFile(Root(), "Res\\Start.bmp\\x"));
}

TEST_F(ResourceFolder, AFileAddedLaterIsFoundWithoutRestart) {
    EXPECT_FALSE(FindResourceFile(Root(), "Res\\Sound\\State\\Hu.wav"));
    Touch("Res/Sound/State/Hu.wav");
    EXPECT_TRUE(FindResourceFile(Root(), "Res\\Sound\\State\\hu.wav"));
}

TEST(TilePictures, FaceFilesFollowTheSetAndCode) {
    EXPECT_EQ(TileFacePath(TileFaceSet::DownShou, 12), "ResMj\\DownShou\\plpDownShou12.bmp");
    EXPECT_EQ(TileFacePath(TileFaceSet::LeftOut, 0), "ResMj\\LeftOut\\plpLeftOut0.bmp");
    EXPECT_EQ(TileFacePath(TileFaceSet::DownPeng, 38), "ResMj\\DownPeng\\plpDownPeng38.bmp");
    EXPECT_FALSE(TileFacePath(TileFaceSet::UpOut, 33));
    EXPECT_FALSE(TileFacePath(TileFaceSet::UpOut, 39));
    EXPECT_FALSE(TileFacePath(TileFaceSet::UpOut, 100));
    EXPECT_EQ(MeldFaceSet(2), TileFaceSet::DownPeng);
    EXPECT_EQ(DiscardFaceSet(2), TileFaceSet::DownOut);
    EXPECT_EQ(MeldFaceSet(3), TileFaceSet::RightOut);
}

TEST(TilePictures, BacksByUseAndPosition) {
    EXPECT_EQ(TileBackPath(BackKind::Hand, 0), "ResMj\\PaiBack\\Up_Shou.bmp");
    EXPECT_EQ(TileBackPath(BackKind::Hand, 2), "ResMj\\PaiBack\\Down_shou_Back.bmp");
    EXPECT_EQ(TileBackPath(BackKind::MeldBack, 1), "ResMj\\PaiBack\\Left_Liang_Back.bmp");
    EXPECT_EQ(TileBackPath(BackKind::Wall, 3), "ResMj\\PaiBack\\Right_Wall.bmp");
}

TEST(Portraits, PlayerKeySelectsOneOfAThousandIcons) {
    EXPECT_EQ(PortraitPath(2999), "UserRes\\LargeUser\\1000.ico");
    EXPECT_EQ(PortraitPath(1000), "UserRes\\LargeUser\\1.ico");
    EXPECT_EQ(PortraitPath(0), "UserRes\\LargeUser\\1.ico");
    EXPECT_EQ(PortraitPath(-1), "UserRes\\LargeUser\\0.ico") << "no such icon: nothing drawn";
}

TEST(GameSounds, StateSoundsOneToNine) {
    EXPECT_EQ(StateSoundPath(1), "Res\\Sound\\State\\Chi.wav");
    EXPECT_EQ(StateSoundPath(6), "Res\\Sound\\State\\Recv.wav");
    EXPECT_EQ(StateSoundPath(9), "Res\\Sound\\State\\HuangPai.wav");
    EXPECT_FALSE(StateSoundPath(0));
    EXPECT_FALSE(StateSoundPath(10));
}

TEST(GameSounds, TileVoicesBySuit) {
    EXPECT_EQ(TileVoicePath(0), "Res\\Sound\\Pai\\w1.wav");
    EXPECT_EQ(TileVoicePath(8), "Res\\Sound\\Pai\\w9.wav");
    EXPECT_EQ(TileVoicePath(9), "Res\\Sound\\Pai\\b1.wav");
    EXPECT_EQ(TileVoicePath(17), "Res\\Sound\\Pai\\b9.wav");
    EXPECT_EQ(TileVoicePath(18), "Res\\Sound\\Pai\\t1.wav");
    EXPECT_EQ(TileVoicePath(26), "Res\\Sound\\Pai\\t9.wav");
    EXPECT_EQ(TileVoicePath(27), "Res\\Sound\\Pai\\f1.wav");
    EXPECT_EQ(TileVoicePath(30), "Res\\Sound\\Pai\\f4.wav");
    EXPECT_EQ(TileVoicePath(36), "Res\\Sound\\Pai\\j1.wav");
    EXPECT_EQ(TileVoicePath(38), "Res\\Sound\\Pai\\j3.wav");
    for (const int silent : {31, 33, 35, 39, 100, -1})
        EXPECT_FALSE(TileVoicePath(silent)) << silent;
}

TEST(GameSounds, NothingPlaysWhileHiddenOrSwitchedOff) {
    EXPECT_FALSE(GameSoundPath(SoundSource::State, 5, WindowVisibility::Hidden, true));
    EXPECT_FALSE(GameSoundPath(SoundSource::State, 5, WindowVisibility::Shown, false));
    EXPECT_EQ(GameSoundPath(SoundSource::State, 5, WindowVisibility::Shown, true),
              "Res\\Sound\\State\\Hu.wav");
    EXPECT_EQ(GameSoundPath(SoundSource::Tile, 27, WindowVisibility::Shown, true),
              "Res\\Sound\\Pai\\f1.wav");
    EXPECT_FALSE(GameSoundPath(SoundSource::Tile, 33, WindowVisibility::Shown, true));
}

}  // namespace
}  // namespace qira::render
