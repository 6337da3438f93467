#include "render/game_sound_player.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace qira::render {
namespace {

class SoundService : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = std::filesystem::temp_directory_path() /
                ("qira_sounds_" +
                 std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(root_);
        for (const char* file :
             {"Res/Sound/State/Hu.wav", "Res/Sound/State/Recv.wav", "Res/Sound/pai/F1.WAV"}) {
            std::filesystem::create_directories((root_ / file).parent_path());
            std::ofstream(root_ / file) << "RIFF";
        }
        appPath_ = root_.string() + "/";
    }
    void TearDown() override { std::filesystem::remove_all(root_); }

    GameSoundPlayer MakePlayer() {
        return GameSoundPlayer(appPath_,
                               {[this] { return visible_; }, [this] { return soundOn_; },
                                [this](const std::string& file) { played_.push_back(file); }});
    }
    std::string Played(std::size_t i) const {
        return std::filesystem::path(played_.at(i)).filename().string();
    }

    std::filesystem::path root_;
    std::string appPath_;
    bool visible_ = true;
    bool soundOn_ = true;
    std::vector<std::string> played_;
};

TEST_F(SoundService, StateSoundsAndTileVoicesPlayTheirFiles) {
    auto player = MakePlayer();
    player.PlayGameSound(play::StateSound::Hu);
    player.PlayTileSound(27);
    ASSERT_EQ(played_.size(), 2u);
    EXPECT_EQ(Played(0), "Hu.wav");
    EXPECT_EQ(Played(1), "F1.WAV") << "found whatever the letter case";
}

TEST_F(SoundService, MissingFilesAndVoicelessCodesAreSilent) {
    auto player = MakePlayer();
    player.PlayGameSound(play::StateSound::Chi);  // no file
    player.PlayTileSound(33);                     // no tile
    player.PlayTileSound(100);
    EXPECT_TRUE(played_.empty());
}

TEST_F(SoundService, NothingPlaysBeforeTheWindowIsShownOrWithSoundOff) {
    auto player = MakePlayer();
    visible_ = false;
    player.PlayGameSound(play::StateSound::Recv);
    visible_ = true;
    soundOn_ = false;
    player.PlayGameSound(play::StateSound::Recv);
    EXPECT_TRUE(played_.empty());
    soundOn_ = true;
    player.PlayGameSound(play::StateSound::Recv);
    EXPECT_EQ(played_.size(), 1u);
}

}  // namespace
}  // namespace qira::render
