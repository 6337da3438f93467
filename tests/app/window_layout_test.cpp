#include "app/window_layout.h"

#include "ui/platform/splitter_grip.h"

#include <gtest/gtest.h>

namespace qira::app {
namespace {

TEST(SplitterPositions, StartFromTheScreenSize) {
    EXPECT_EQ(InitialSplitX(1280), 984);  // 3/4 + 24 on a wide screen
    EXPECT_EQ(InitialSplitX(1000), 833);  // 5/6 on a narrow one
    EXPECT_EQ(InitialListSplit(800), 266);
}

TEST(SplitterPositions, VerticalSplitterStaysBetween650AndWMinus140) {
    EXPECT_EQ(ClampSplitX(300, 1280), 650);
    EXPECT_EQ(ClampSplitX(1200, 1280), 1140);
    EXPECT_EQ(ClampSplitX(900, 1280), 900);
    EXPECT_EQ(ClampSplitX(900, 700), 650) << "650 wins over W - 140 in a narrow window";
}

TEST(SplitterPositions, HorizontalSplittersKeepRoomAboveAndBelow) {
    EXPECT_EQ(ClampListSplit(50, 800), 200);
    EXPECT_EQ(ClampListSplit(700, 800), 800 - 182 - 100);
    EXPECT_EQ(ClampChatSplit(100, 800), 382);
    EXPECT_EQ(ClampChatSplit(790, 800), 700);
    EXPECT_EQ(ListSplitForChatSplit(500), 313);
}

TEST(WindowSize, IsGrownBackTo800By570) {
    EXPECT_EQ(EnforceMinimumSize({700, 500}), (Point{800, 570}));
    EXPECT_EQ(EnforceMinimumSize({1000, 500}), (Point{1000, 570}));
    EXPECT_EQ(EnforceMinimumSize({1280, 800}), (Point{1280, 800}));
}

TEST(WindowLayout, StacksTheRightColumnBelowTheCaption) {
    const WindowLayout layout = ComputeWindowLayout(1280, 800, 984, 266);
    ASSERT_TRUE(layout.splitter.has_value());
    EXPECT_EQ(*layout.splitter, (Box{984, 0, 12, 800}));
    EXPECT_EQ(layout.gameFrame, (Box{0, 0, 984, 800}));
    ASSERT_TRUE(layout.rightColumn.has_value());
    const RightColumn& column = *layout.rightColumn;
    EXPECT_EQ(column.userList, (Box{998, 80, 276, 186}));
    EXPECT_EQ(column.listSplitter, (Box{998, 266, 276, 5}));
    EXPECT_EQ(column.advPane, (Box{998, 271, 276, 182}));
    EXPECT_EQ(column.chatSplitter, (Box{998, 453, 276, 5}));
    EXPECT_EQ(column.chat, (Box{998, 458, 276, 800 - 4 - 458 - 2}));
}

TEST(WindowLayout, SplitBelow650IsRaisedAndANarrowColumnIsHidden) {
    EXPECT_EQ(ComputeWindowLayout(1280, 800, 300, 266).splitX, 650);
    // The collapsed split leaves a column narrower than the splitter.
    const WindowLayout collapsed = ComputeWindowLayout(1280, 800, CollapsedSplitX(1280), 266);
    EXPECT_FALSE(collapsed.rightColumn.has_value());
    EXPECT_EQ(collapsed.gameFrame.width, 1266);
    EXPECT_FALSE(ComputeWindowLayout(1280, 4, 984, 266).splitter.has_value());
}

TEST(WindowLayout, ListWithoutRoomGetsNoHeight) {
    const WindowLayout layout = ComputeWindowLayout(1280, 800, 984, 60);
    ASSERT_TRUE(layout.rightColumn.has_value());
    EXPECT_EQ(layout.rightColumn->userList.height, 0);
}

TEST(CaptionButtons, SitAtTheTopRightAndAboveTheList) {
    const CaptionButtons buttons = PlaceCaptionButtons(1280, 998, 276);
    EXPECT_EQ(buttons.system[0], (Point{1180, 7}));
    EXPECT_EQ(buttons.system[1], (Point{1206, 7}));
    EXPECT_EQ(buttons.system[2], (Point{1232, 7}));
    EXPECT_EQ(buttons.user[0], (Point{998 + 92 - 30, 42}));
    EXPECT_EQ(buttons.user[1], (Point{998 + 92 - 30 + 92 + 20, 42}));
}

TEST(CaptionButtons, AreHitOnlyStrictlyInside) {
    const CaptionButtons buttons = PlaceCaptionButtons(1280, 998, 276);
    EXPECT_EQ(HitSysButton(buttons, 1180, 10), -1);  // on the left edge
    EXPECT_EQ(HitSysButton(buttons, 1181, 8), 0);
    EXPECT_EQ(HitSysButton(buttons, 1201, 10), -1);  // on the right edge
    EXPECT_EQ(HitSysButton(buttons, 1240, 20), 2);
    EXPECT_EQ(HitSysButton(buttons, 1240, 28), -1);
    EXPECT_EQ(HitUserButton(buttons, 1061, 43), 0);
    EXPECT_EQ(HitUserButton(buttons, 1173, 66), 1);
    EXPECT_EQ(HitUserButton(buttons, 1173, 67), -1);
}

TEST(SizeZones, CornersEdgesAndTheMoveStrip) {
    const Box window{100, 50, 800, 600};
    EXPECT_EQ(ZoneAt(window, {101, 52}, false), SizeZone::LeftUp);
    EXPECT_EQ(ZoneAt(window, {898, 51}, false), SizeZone::RightUp);
    EXPECT_EQ(ZoneAt(window, {102, 648}, false), SizeZone::LeftDown);
    EXPECT_EQ(ZoneAt(window, {899, 649}, false), SizeZone::RightDown);
    EXPECT_EQ(ZoneAt(window, {100, 300}, false), SizeZone::Left);
    EXPECT_EQ(ZoneAt(window, {897, 300}, false), SizeZone::Right);
    EXPECT_EQ(ZoneAt(window, {500, 53}, false), SizeZone::Up);
    EXPECT_EQ(ZoneAt(window, {500, 647}, false), SizeZone::Down);
    EXPECT_EQ(ZoneAt(window, {500, 70}, false), SizeZone::Move);
    EXPECT_EQ(ZoneAt(window, {500, 70}, true), SizeZone::None) << "over a system button";
    EXPECT_EQ(ZoneAt(window, {500, 90}, false), SizeZone::None);
    EXPECT_EQ(ZoneAt(window, {50, 300}, false), SizeZone::None) << "outside the window";
}

TEST(SplitterGrip, IsTheMiddleSixtyPixels) {
    EXPECT_TRUE(platform::IsInGrip(400, 800));
    EXPECT_TRUE(platform::IsInGrip(371, 800));
    EXPECT_FALSE(platform::IsInGrip(370, 800));
    EXPECT_FALSE(platform::IsInGrip(430, 800));
    EXPECT_FALSE(platform::IsInGrip(10, 800));
}

}  // namespace
}  // namespace qira::app
