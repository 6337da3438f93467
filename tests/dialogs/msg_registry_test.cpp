#include "dialogs/msg_registry.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace qira::dialogs {
namespace {

// Displays nothing; while a modal box is "shown" it runs the test's script,
// as the nested event loop would run timers and other handlers.
class ScriptedHost : public MsgHost {
public:
    std::function<void(int slot)> whileModal;
    std::vector<int> shown;
    std::vector<int> closed;

    void ShowBox(int slot, const MsgBox& box) override {
        shown.push_back(slot);
        if (box.IsModal() && whileModal) whileModal(slot);
    }
    void CloseBox(int slot) override { closed.push_back(slot); }
};

MsgInfo Question(bool yesDefault = true, std::int32_t seconds = 10) {
    return {.bteMsgType = MsgType::TwoButtons,
            .strNote = "确实要离开吗？",
            .strCaption = "系统提示",
            .strYesCmdCaption = "确定",
            .strNoCmdCaption = "取消",
            .lngMaxDelayTime = seconds,
            .blnYesDefault = yesDefault};
}

MsgInfo Notice() {
    return {.bteMsgType = MsgType::Notice,
            .strNote = "等待桌主进行本桌游戏设置...",
            .strCaption = "系统提示",
            .strYesCmdCaption = "",
            .strNoCmdCaption = "",
            .lngMaxDelayTime = 10,
            .blnYesDefault = true};
}

MsgInfo OneButton(std::int32_t seconds = 10) {
    MsgInfo info = Question(true, seconds);
    info.bteMsgType = MsgType::OneButton;
    info.strNoCmdCaption.clear();
    return info;
}

class MsgRegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        registry.SetHost(&host);
        registry.InitGlobalMsgObject("/games/qira/");
    }
    ScriptedHost host;
    MsgRegistry registry;
};

TEST_F(MsgRegistryTest, OneButtonCountsDownFromTheStartValueAndAnswersTrueAfterZero) {
    std::vector<std::string> captions;
    host.whileModal = [&](int slot) {
        EXPECT_EQ(registry.Box(slot)->ButtonCaption(MsgButton::Yes), "确定(&Y)");
        while (registry.Box(slot) != nullptr) {
            registry.Tick(slot);
            if (registry.Box(slot))
                captions.push_back(registry.Box(slot)->ButtonCaption(MsgButton::Yes));
        }
    };
    EXPECT_TRUE(registry.ShowGlobalMsg(0, OneButton(10)));
    ASSERT_EQ(captions.size(), 11u) << "answered on the twelfth tick, 11 seconds after showing";
    EXPECT_EQ(captions.front(), "确定(&Y) 10");
    EXPECT_EQ(captions[9], "确定(&Y) 1");
    EXPECT_EQ(captions.back(), "确定(&Y) 0");
    EXPECT_EQ(registry.OpenCount(), 0);
}

TEST_F(MsgRegistryTest, SecondButtonDefaultCountsOnItHoldsFocusAndAnswersFalse) {
    int ticks = 0;
    host.whileModal = [&](int slot) {
        const MsgBox& box = *registry.Box(slot);
        EXPECT_EQ(box.FocusButton(), MsgButton::No);
        EXPECT_EQ(box.WindowCaption(), "系统提示");
        EXPECT_TRUE(box.IsButtonVisible(MsgButton::No));
        registry.Tick(slot);
        ++ticks;
        EXPECT_EQ(registry.Box(slot)->ButtonCaption(MsgButton::No), "取消(&N) 3");
        EXPECT_EQ(registry.Box(slot)->ButtonCaption(MsgButton::Yes), "确定(&Y)");
        while (registry.Box(slot) != nullptr) registry.Tick(slot), ++ticks;
    };
    EXPECT_FALSE(registry.ShowGlobalMsg(0, Question(false, 3)));
    EXPECT_EQ(ticks, 5);
}

TEST_F(MsgRegistryTest, ClickAnswersAtOnceWithTheButtonsValue) {
    host.whileModal = [&](int slot) { registry.PressButton(slot, MsgButton::No); };
    EXPECT_FALSE(registry.ShowGlobalMsg(0, Question()));
    host.whileModal = [&](int slot) { registry.PressButton(slot, MsgButton::Yes); };
    EXPECT_TRUE(registry.ShowGlobalMsg(0, Question(false)));
}

TEST_F(MsgRegistryTest, NegativeStartValueAnswersOnTheFirstTick) {
    int ticks = 0;
    host.whileModal = [&](int slot) {
        while (registry.Box(slot) != nullptr) registry.Tick(slot), ++ticks;
    };
    EXPECT_TRUE(registry.ShowGlobalMsg(0, OneButton(-5)));
    EXPECT_EQ(ticks, 1);
    EXPECT_TRUE(registry.ShowGlobalMsg(0, OneButton(INT32_MIN)));
}

TEST_F(MsgRegistryTest, NoticeReturnsAtOnceNeverCountsAndClosesOnlyFromOutside) {
    registry.ShowGlobalMsg(0, Notice());
    MsgBox* notice = registry.Box(0);
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(notice->WindowCaption(), "");
    EXPECT_FALSE(notice->IsButtonVisible(MsgButton::Yes));
    EXPECT_FALSE(notice->IsButtonVisible(MsgButton::No));
    for (int tick = 0; tick < 30; ++tick) registry.Tick(0);
    EXPECT_NE(registry.Box(0), nullptr);
    registry.PressButton(0, MsgButton::Yes);
    EXPECT_NE(registry.Box(0), nullptr) << "a notice has no button to press";

    registry.UnloadRoomMsgObjects(0);
    EXPECT_EQ(registry.Box(0), nullptr);
    EXPECT_EQ(host.closed, std::vector<int>{0});
}

TEST_F(MsgRegistryTest, FreedSlotsAreReusedBeforeTheRegistryGrows) {
    registry.ShowGlobalMsg(0, Notice());
    registry.ShowGlobalMsg(0, Notice());
    EXPECT_EQ(host.shown, (std::vector<int>{0, 1}));
    registry.CloseBox(0);
    registry.ShowGlobalMsg(0, Notice());
    EXPECT_EQ(host.shown.back(), 0);
    EXPECT_EQ(registry.UpperBound(), 1);
}

TEST_F(MsgRegistryTest, UnloadClosesOnlyBoxesWithTheKey) {
    registry.ShowGlobalMsg(7, Notice());
    registry.ShowGlobalMsg(0, Notice());
    registry.UnloadRoomMsgObjects(0);
    EXPECT_NE(registry.Box(0), nullptr);
    EXPECT_EQ(registry.Box(1), nullptr);
}

TEST_F(MsgRegistryTest, ModalBoxClosedFromOutsideAnswersFalseNotAnEarlierAnswer) {
    host.whileModal = [&](int slot) { registry.PressButton(slot, MsgButton::Yes); };
    ASSERT_TRUE(registry.ShowGlobalMsg(0, Question()));
    host.whileModal = [&](int) { registry.UnloadRoomMsgObjects(0); };
    EXPECT_FALSE(registry.ShowGlobalMsg(0, Question())) << "slot 0 held True from the first box";
}

TEST_F(MsgRegistryTest, BoxesOpenedWhileAModalBoxWaitsTakeOtherSlots) {
    int depth = 0;
    host.whileModal = [&](int slot) {
        if (++depth > 1) return registry.PressButton(slot, MsgButton::No);
        registry.ShowGlobalMsg(0, Notice());
        EXPECT_EQ(host.shown.back(), 1);
        EXPECT_FALSE(registry.ShowGlobalMsg(0, Question()));
        EXPECT_EQ(host.shown.back(), 2);
        registry.PressButton(slot, MsgButton::Yes);
    };
    EXPECT_TRUE(registry.ShowGlobalMsg(0, Question()));
    EXPECT_EQ(depth, 2);
    EXPECT_EQ(registry.OpenCount(), 1) << "the notice stays";
}

TEST_F(MsgRegistryTest, ResetInsideTheNestedLoopLeavesTheWaitingCallerWithFalse) {
    int depth = 0;
    host.whileModal = [&](int slot) {
        if (++depth > 1) return registry.PressButton(slot, MsgButton::Yes);
        registry.UnloadRoomMsgObjects(0);
        registry.InitGlobalMsgObject("/games/qira/");
        EXPECT_TRUE(registry.ShowGlobalMsg(0, Question())) << "a new box in the same slot";
        EXPECT_EQ(host.shown.back(), 0);
    };
    EXPECT_FALSE(registry.ShowGlobalMsg(0, Question()));
}

TEST_F(MsgRegistryTest, InitStartsOverFromSlotZero) {
    registry.ShowGlobalMsg(0, Notice());
    registry.ShowGlobalMsg(0, Notice());
    registry.InitGlobalMsgObject("/games/qira/");
    EXPECT_EQ(registry.UpperBound(), -1);
    EXPECT_EQ(registry.OpenCount(), 0);
    EXPECT_EQ(host.closed.size(), 2u) << "nothing stays on screen unreachable";
    registry.ShowGlobalMsg(0, Notice());
    EXPECT_EQ(registry.UpperBound(), 0);
}

TEST_F(MsgRegistryTest, WithoutAHostAQuestionAnswersFalseAndLeavesNothingOpen) {
    MsgRegistry headless;
    EXPECT_FALSE(headless.ShowGlobalMsg(0, Question()));
    EXPECT_EQ(headless.OpenCount(), 0);
}

TEST_F(MsgRegistryTest, IconsLieInTheResourceFolderOfTheParent) {
    EXPECT_EQ(registry.IconPath(MsgType::OneButton), "/games/qira/res/Msg1.ico");
}

TEST(MsgLayout, ButtonsAreCentredBelowTheNote) {
    MsgBox one(0, 0);
    one.SetMsgInfo(OneButton());
    const auto single = one.Layout(368, 120, 80);
    EXPECT_EQ(single.yesLeft, 144);
    EXPECT_EQ(single.buttonTop, 90);
    EXPECT_EQ(single.separatorY, 80);
    EXPECT_EQ(single.note.height, 50);

    MsgBox two(0, 0);
    two.SetMsgInfo(Question());
    const auto pair = two.Layout(368, 120, 80);
    EXPECT_EQ(pair.yesLeft, 101);
    EXPECT_EQ(pair.noLeft, 187);

    MsgBox notice(0, 0);
    notice.SetMsgInfo(Notice());
    const auto bare = notice.Layout(397, 69, 80);
    EXPECT_EQ(bare.note.left, 50);
    EXPECT_EQ(bare.note.top, 25);
    EXPECT_FALSE(notice.IsTimerEnabled());
}

}  // namespace
}  // namespace qira::dialogs
