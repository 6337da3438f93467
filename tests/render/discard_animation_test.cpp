#include "render/discard_animation.h"

#include <gtest/gtest.h>

namespace qira::render {
namespace {

struct Run {
    int ticks = 0;
    int drawnTicks = 0;
    std::optional<Rect> firstDraw, tenthDraw, lastDraw;
};

Run RunToEnd(int position, Point start) {
    const auto layout = ComposeAnimation(position, play::ActionCode::Discard, start);
    AnimationGrowth growth(position, layout, start);
    Run run;
    while (growth.running() && run.ticks < 1000) {
        const auto step = growth.Tick();
        ++run.ticks;
        EXPECT_EQ(step.restore, layout.fullRect) << "every tick restores the table first";
        if (!step.draw) continue;
        ++run.drawnTicks;
        if (run.ticks == 1) run.firstDraw = step.draw;
        if (run.ticks == 10) run.tenthDraw = step.draw;
        run.lastDraw = step.draw;
    }
    return run;
}

TEST(DiscardAnimation, GrowsInTenTicksHoldsAndEndsOnTheTwentySixth) {
    const auto run = RunToEnd(2, {300, 400});
    EXPECT_EQ(run.ticks, 26);
    EXPECT_EQ(run.drawnTicks, 25);
    EXPECT_EQ(run.firstDraw, (Rect{295, 394, 10, 6}));
    EXPECT_EQ(run.tenthDraw, (Rect{250, 340, 100, 60}));
    EXPECT_EQ(run.lastDraw, (Rect{250, 338, 100, 62})) << "full size, growing up from the anchor";
}

TEST(DiscardAnimation, SidePositionsGrowSideways) {
    const auto left = RunToEnd(1, {100, 200});
    EXPECT_EQ(left.ticks, 26);
    EXPECT_EQ(left.firstDraw, (Rect{100, 198, 11, 5}));
    EXPECT_EQ(left.lastDraw, (Rect{100, 175, 112, 50}));
    const auto right = RunToEnd(3, {500, 200});
    EXPECT_EQ(right.lastDraw, (Rect{388, 175, 112, 50}));
    const auto up = RunToEnd(0, {300, 50});
    EXPECT_EQ(up.lastDraw, (Rect{250, 50, 100, 62}));
}

TEST(DiscardAnimation, FullRectangleAndLayersByPosition) {
    const auto down = ComposeAnimation(2, play::ActionCode::Discard, {300, 400});
    EXPECT_EQ(down.fullRect, (Rect{250, 338, 100, 62}));
    EXPECT_FALSE(down.labelCellX);
    EXPECT_EQ(down.tileAt.x, 39);
    EXPECT_EQ(down.tileAt.y, 7);
    const auto right = ComposeAnimation(3, play::ActionCode::Discard, {500, 200});
    EXPECT_EQ(right.fullRect, (Rect{388, 175, 112, 50}));
    EXPECT_EQ(right.tileAt.x, 34);
}

TEST(DiscardAnimation, LabelCellsAndShiftedTileForClaims) {
    const auto kong = ComposeAnimation(0, play::ActionCode::Kong, {0, 0});
    EXPECT_EQ(kong.labelCellX, 74);
    EXPECT_EQ(kong.labelAt.x, 10);
    EXPECT_EQ(kong.labelAt.y, 17);
    EXPECT_EQ(kong.tileAt.x, 57);
    EXPECT_EQ(kong.tileAt.y, 19);
    EXPECT_EQ(ComposeAnimation(1, play::ActionCode::Chow, {0, 0}).labelCellX, 37);
    EXPECT_EQ(ComposeAnimation(1, play::ActionCode::Chow, {0, 0}).labelAt.x, 22);
    EXPECT_EQ(ComposeAnimation(2, play::ActionCode::Pung, {0, 0}).labelCellX, 0);
}

TEST(DiscardAnimation, PicturesFaceTheActingPositionAndBacksForHiddenTiles) {
    EXPECT_EQ(AnimationTilePicture(1, 5), "ResMj\\LeftOut\\plpLeftOut5.bmp");
    EXPECT_EQ(AnimationTilePicture(2, 100), "ResMj\\PaiBack\\Down_Wall.bmp");
    EXPECT_EQ(AnimationTilePicture(0, 39), "ResMj\\PaiBack\\Up_Liang_Back.bmp");
    EXPECT_EQ(AnimationFramePicture(3), "Res\\OutPaiBk_3.bmp");
    EXPECT_EQ(AnimationMaskPicture(3), "Res\\outpaibk_3.bmp");
}

}  // namespace
}  // namespace qira::render
