#include "dialogs/user_prefs.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "net/requests.h"

namespace qira::dialogs {
namespace {

namespace fs = std::filesystem;

class UserPrefsTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("qira-prefs-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
        appPath = folder.string() + "/";
    }
    void TearDown() override { fs::remove_all(folder); }

    void WriteFile(std::string_view text) const {
        std::ofstream(UserSetPath(appPath), std::ios::binary) << text;
    }
    std::string ReadFile() const {
        std::ifstream file(UserSetPath(appPath), std::ios::binary);
        std::ostringstream content;
        content << file.rdbuf();
        return content.str();
    }

    fs::path folder;
    std::string appPath;
};

constexpr UserSet kDefaults{0, 1, 1, 1, 1};

TEST_F(UserPrefsTest, MissingFileGivesTheDefaults) {
    EXPECT_EQ(LoadUserSet(appPath), kDefaults);
}

TEST_F(UserPrefsTest, NumbersReadAlikeWithOrWithoutBlanks) {
    for (const std::string_view text : {" 1 \n 0 \n 1 \n 0 \n 0 \n", "1\n0\n1\n0\n0", "1 0 1 0 0",
                                        " 1 \r\n 0 \r\n 1 \r\n 0 \r\n 0 \r\n", "1,0,1,0,0\n7\n"}) {
        WriteFile(text);
        EXPECT_EQ(LoadUserSet(appPath), (UserSet{1, 0, 1, 0, 0})) << text;
    }
}

TEST_F(UserPrefsTest, UnreadableFilesGiveTheDefaultsForAllFive) {
    for (const std::string_view text :
         {" 0 \n 0 \n 0 \n", "", "0\n0\nx\n0\n0\n", "0 0 0 0 -1", "0 0 0 0 256"}) {
        WriteFile(text);
        EXPECT_EQ(LoadUserSet(appPath), kDefaults) << text;
    }
}

TEST_F(UserPrefsTest, SaveWritesFiveLinesAndLeavesNoTemporaryFile) {
    ASSERT_TRUE(SaveUserSet(UserSet{1, 0, 1, 1, 0}, appPath));
    EXPECT_EQ(ReadFile(), " 1 \n 0 \n 1 \n 1 \n 0 \n");
    EXPECT_EQ(LoadUserSet(appPath), (UserSet{1, 0, 1, 1, 0}));
    int files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder)) ++files;
    EXPECT_EQ(files, 2) << "the five settings and the hint's file";
}

TEST_F(UserPrefsTest, TheHintIsKeptBesideTheFiveAndIsOffUntilChosen) {
    WriteFile(" 1 \n 1 \n 1 \n 1 \n 1 \n");
    EXPECT_EQ(LoadUserSet(appPath).bytDiscardHint, 0) << "a folder from before the hint";

    UserSet values{0, 1, 1, 1, 1};
    values.bytDiscardHint = 1;
    ASSERT_TRUE(SaveUserSet(values, appPath));
    EXPECT_EQ(ReadFile(), " 0 \n 1 \n 1 \n 1 \n 1 \n") << "the five lines stay as they were";
    EXPECT_EQ(LoadUserSet(appPath), values);

    values.bytStrongHint = 1;
    ASSERT_TRUE(SaveUserSet(values, appPath));
    EXPECT_EQ(LoadUserSet(appPath), values) << "the strong hint is the file's second number";

    std::ofstream(folder / std::string(kHintSetFileName)) << " 1 \n";
    EXPECT_EQ(LoadUserSet(appPath).bytStrongHint, 0) << "a file from before it: level 3";
    std::ofstream(folder / std::string(kHintSetFileName)) << "yes\n";
    EXPECT_EQ(LoadUserSet(appPath).bytDiscardHint, 0) << "an unreadable hint file leaves it off";
}

TEST_F(UserPrefsTest, FailedSaveKeepsTheOldFile) {
    WriteFile(" 1 \n 1 \n 1 \n 1 \n 1 \n");
    EXPECT_FALSE(SaveUserSet(kDefaults, appPath + "missing-folder/"));
    EXPECT_EQ(LoadUserSet(appPath), (UserSet{1, 1, 1, 1, 1}));
}

TEST_F(UserPrefsTest, ConfirmWithoutChangeSavesAndSendsNothing) {
    UserSet values = LoadUserSet(appPath);
    UserSetDialog dialog(values, appPath, "甲");
    EXPECT_FALSE(dialog.IsChecked(0));
    EXPECT_TRUE(dialog.IsChecked(4));
    EXPECT_FALSE(dialog.PressButton(UserSetButton::Confirm));
    EXPECT_TRUE(dialog.IsClosed());
    EXPECT_EQ(ReadFile(), " 0 \n 1 \n 1 \n 1 \n 1 \n");
}

TEST_F(UserPrefsTest, AllowingOnlookersToSeeTheHandIsReported) {
    UserSet values = LoadUserSet(appPath);
    UserSetDialog dialog(values, appPath, "甲");
    dialog.SetChecked(0, true);
    dialog.SetChecked(1, false);
    EXPECT_EQ(dialog.PressButton(UserSetButton::Confirm),
              net::requests::AllowWatchCards("甲", true));
    EXPECT_EQ(values, (UserSet{1, 0, 1, 1, 1}));
    EXPECT_EQ(LoadUserSet(appPath), values);

    UserSetDialog again(values, appPath, "甲");
    again.SetChecked(0, false);
    EXPECT_EQ(again.PressButton(UserSetButton::Confirm),
              net::requests::AllowWatchCards("甲", false));
}

TEST_F(UserPrefsTest, OtherSettingsChangeWithoutARequest) {
    UserSet values = LoadUserSet(appPath);
    UserSetDialog dialog(values, appPath, "甲");
    dialog.SetChecked(3, false);
    EXPECT_FALSE(dialog.PressButton(UserSetButton::Confirm));
    EXPECT_EQ(values.bytQuitPrompt, 0);
}

TEST_F(UserPrefsTest, DefaultThenCancelChangesNothing) {
    UserSet values{0, 0, 0, 0, 0};
    UserSetDialog dialog(values, appPath, "甲");
    dialog.PressButton(UserSetButton::Default);
    for (int box = 0; box < kUserSetCount; ++box) EXPECT_TRUE(dialog.IsChecked(box)) << box;
    EXPECT_FALSE(dialog.PressButton(UserSetButton::Cancel));
    EXPECT_EQ(values, (UserSet{0, 0, 0, 0, 0}));
    EXPECT_FALSE(fs::exists(UserSetPath(appPath)));
}

TEST_F(UserPrefsTest, DefaultThenConfirmTicksBoxZeroToo) {
    UserSet values = LoadUserSet(appPath);
    UserSetDialog dialog(values, appPath, "甲");
    dialog.PressButton(UserSetButton::Default);
    EXPECT_EQ(dialog.PressButton(UserSetButton::Confirm),
              net::requests::AllowWatchCards("甲", true));
    EXPECT_EQ(values, (UserSet{1, 1, 1, 1, 1}));
}

}  // namespace
}  // namespace qira::dialogs
