#include "dialogs/game_set.h"

#include <gtest/gtest.h>

#include "net/requests.h"

namespace qira::dialogs {
namespace {

constexpr std::string_view kSettings = "10`100`1`5`50`0";

GameSetModel OwnerDialog(std::string_view settings = kSettings) {
    GameSetModel dialog("Qira麻将", "甲");
    EXPECT_TRUE(dialog.SetInitGameSetInfo(DeskRole::Master, settings));
    return dialog;
}

GameSetOutcome TickUntilSomethingHappens(GameSetModel& dialog, int& ticks) {
    for (ticks = 1; ticks <= 100; ++ticks) {
        auto outcome = dialog.Tick();
        if (outcome.request || outcome.warning || outcome.closeWindow) return outcome;
    }
    return {};
}

TEST(GameSetInit, SixFieldsLoadTheBoxesAndStartTheCountdown) {
    GameSetModel dialog = OwnerDialog();
    EXPECT_EQ(dialog.BoxText(0), "10");
    EXPECT_EQ(dialog.BoxText(1), "5");
    EXPECT_TRUE(dialog.IsTimerEnabled());
    EXPECT_TRUE(dialog.AreBoxesEditable());
    EXPECT_EQ(dialog.WindowCaption(), "Qira麻将 游戏设置");
    EXPECT_EQ(dialog.FrameCaption(), "你是桌主，请进行本桌游戏设置");
    EXPECT_EQ(dialog.ButtonCaption(GameSetButton::Confirm), "确定");
    EXPECT_EQ(dialog.ButtonCaption(GameSetButton::Cancel), "取消");
}

TEST(GameSetInit, OtherPlayersSeeTheSettingsReadOnly) {
    GameSetModel dialog("Qira麻将", "乙");
    ASSERT_TRUE(dialog.SetInitGameSetInfo(DeskRole::Player, kSettings));
    EXPECT_FALSE(dialog.AreBoxesEditable());
    EXPECT_EQ(dialog.FrameCaption(), "桌主对本桌游戏进行的设置情况");
    EXPECT_EQ(dialog.ButtonCaption(GameSetButton::Confirm), "同意");
    EXPECT_EQ(dialog.ButtonCaption(GameSetButton::Cancel), "不同意");
}

TEST(GameSetInit, FiveOrSevenFieldsAreRefused) {
    for (const std::string_view text : {"10`100`1`5`50", "10`100`1`5`50`0`9", ""}) {
        GameSetModel dialog("Qira麻将", "甲");
        EXPECT_FALSE(dialog.SetInitGameSetInfo(DeskRole::Master, text)) << text;
        EXPECT_FALSE(dialog.IsTimerEnabled());
        EXPECT_FALSE(dialog.Tick().request);
    }
}

TEST(GameSetKeys, OnlyDigitsAndBackspacePass) {
    for (char32_t key = U'0'; key <= U'9'; ++key) EXPECT_TRUE(AcceptsGameSetKey(key));
    EXPECT_TRUE(AcceptsGameSetKey(8));
    for (const char32_t key : {U'a', U'-', U'.', U' ', U'\r', U'\t', U'０', U'一', char32_t{127}})
        EXPECT_FALSE(AcceptsGameSetKey(key)) << static_cast<int>(key);
}

TEST(GameSetValidation, BoundsAreInclusiveAndNamedInTheWarning) {
    GameSetModel dialog = OwnerDialog();
    for (const char* stake : {"100", "1"}) {
        dialog.SetBoxText(0, stake);
        EXPECT_FALSE(dialog.Validate()) << stake;
    }
    dialog.SetBoxText(0, "101");
    EXPECT_EQ(dialog.Validate(), "本桌大小必须在 1 和 100 之间！");
    dialog.SetBoxText(0, "");
    EXPECT_EQ(dialog.Validate(), "本桌大小必须在 1 和 100 之间！") << "an empty box reads 0";
    dialog.SetBoxText(0, "50");
    dialog.SetBoxText(1, "51");
    EXPECT_EQ(dialog.Validate(), "逃跑者扣分大小必须在 0 和 50 之间！");
}

TEST(GameSetValidation, MoreThanSevenDigitsIsRefusedBeforeTheRange) {
    GameSetModel dialog = OwnerDialog("10`99999999`0`5`50`0");
    dialog.SetBoxText(1, "00000005");
    EXPECT_EQ(dialog.Validate(), "每个输入区域的数字不能超过 7 位！");
    dialog.SetBoxText(1, "0000005");
    EXPECT_FALSE(dialog.Validate());
    dialog.SetBoxText(0, "12345678");
    EXPECT_EQ(dialog.Validate(), "每个输入区域的数字不能超过 7 位！");
}

TEST(GameSetValidation, LimitsReadTheLeadingNumberAndClampInsteadOfWrapping) {
    // 4294967297 wrapped to 32 bits would be 1 and refuse a stake of 5.
    GameSetModel dialog = OwnerDialog("5`4294967297`-9999999999`5` 50points`x");
    EXPECT_FALSE(dialog.Validate());
    const auto settings = dialog.RebuiltSettings();
    EXPECT_EQ(settings[1], "2147483647");
    EXPECT_EQ(settings[2], "-2147483648");
    EXPECT_EQ(settings[4], "50");
    EXPECT_EQ(settings[5], "0") << "no leading number reads as 0";
    dialog.SetBoxText(1, "51");
    EXPECT_EQ(dialog.Validate(), "逃跑者扣分大小必须在 0 和 50 之间！");
}

TEST(GameSetButtons, OwnerConfirmSendsTheRebuiltSettings) {
    GameSetModel dialog = OwnerDialog("10`100`1`5`50`junk");
    dialog.SetBoxText(0, "20");
    const auto outcome = dialog.PressButton(GameSetButton::Confirm);
    EXPECT_TRUE(outcome.closeWindow);
    const std::string fields[] = {"20", "100", "1", "5", "50", "0"};
    EXPECT_EQ(outcome.request, net::requests::ConfirmSettings("甲", fields));
    EXPECT_FALSE(dialog.IsTimerEnabled());
}

TEST(GameSetButtons, CancelLeavesForEitherRole) {
    GameSetModel owner = OwnerDialog();
    owner.SetBoxText(0, "99999");  // invalid numbers do not stop a cancel
    EXPECT_EQ(owner.PressButton(GameSetButton::Cancel).request, net::requests::Leave("甲"));

    GameSetModel player("Qira麻将", "乙");
    player.SetInitGameSetInfo(DeskRole::Player, kSettings);
    EXPECT_EQ(player.PressButton(GameSetButton::Cancel).request, net::requests::Leave("乙"));
    EXPECT_FALSE(player.PressButton(GameSetButton::Confirm).request)
        << "closed windows send nothing";
}

TEST(GameSetCountdown, AbsentPlayerAgreesAfterTwentyOneSeconds) {
    GameSetModel dialog("Qira麻将", "乙");
    ASSERT_TRUE(dialog.SetInitGameSetInfo(DeskRole::Player, kSettings));
    dialog.Tick();
    EXPECT_EQ(dialog.ButtonCaption(GameSetButton::Confirm), "同意 20");
    int ticks = 0;
    const auto outcome = TickUntilSomethingHappens(dialog, ticks);
    EXPECT_EQ(ticks + 1, 21);
    EXPECT_EQ(dialog.ButtonCaption(GameSetButton::Confirm), "同意 0");
    EXPECT_EQ(outcome.request, net::requests::RaiseHand("乙"));
    EXPECT_TRUE(dialog.IsClosed());
}

TEST(GameSetCountdown, InvalidOwnerTimeoutWarnsThenRetriesEveryTick) {
    GameSetModel dialog = OwnerDialog();
    dialog.SetBoxText(0, "101");
    int ticks = 0;
    auto outcome = TickUntilSomethingHappens(dialog, ticks);
    EXPECT_EQ(ticks, 21);
    ASSERT_TRUE(outcome.warning);
    EXPECT_FALSE(outcome.request);
    EXPECT_FALSE(dialog.IsTimerEnabled()) << "no ticks while the warning is up";
    EXPECT_FALSE(dialog.Tick().warning);

    dialog.ResumeAfterWarning();
    EXPECT_TRUE(dialog.Tick().warning) << "the very next tick presses again";
    dialog.ResumeAfterWarning();
    dialog.SetBoxText(0, "100");
    outcome = dialog.Tick();
    EXPECT_TRUE(outcome.closeWindow);
    ASSERT_TRUE(outcome.request);
    EXPECT_EQ((*outcome.request)[0], 112);
    EXPECT_EQ((*outcome.request)[1], 0);
}

}  // namespace
}  // namespace qira::dialogs
