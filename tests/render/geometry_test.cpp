#include "render/geometry.h"

#include <gtest/gtest.h>

namespace qira::render {
namespace {

constexpr Size kMinimum{574, 545};

TableLayout LayoutFor(Size area) {
    return ComputeTableLayout(FitGameArea(area), area);
}

TEST(GameArea, MinimumIsDerivedFromTheTileSizes) {
    EXPECT_EQ(MinGameWidth(), 574);
    EXPECT_EQ(MinGameHeight(), 545);
}

TEST(GameArea, SmallFrameClipsInsteadOfShrinking) {
    EXPECT_EQ(FitGameArea({400, 300}), kMinimum);
    EXPECT_EQ(FitGameArea({574, 300}), kMinimum);
    EXPECT_EQ(FitGameArea({900, 700}), (Size{900, 700}));
    const TableLayout small = ComputeTableLayout(FitGameArea({400, 300}), {400, 300});
    EXPECT_EQ(small.lngExtraX, 0);
    EXPECT_EQ(small.lngExtraY, 0);
    EXPECT_EQ(small.ptShouPai, LayoutFor(kMinimum).ptShouPai);
}

TEST(GameArea, SurplusWidthMovesSideHandsFurtherThanWalls) {
    const TableLayout base = ComputeTableLayout({800, 600}, {574, 545});
    const TableLayout sixty = ComputeTableLayout({800, 600}, {634, 545});
    const TableLayout twice = ComputeTableLayout({800, 600}, {694, 545});
    EXPECT_EQ(sixty.lngExtraX, 10);
    EXPECT_EQ(sixty.lngExtraX10, 10);
    EXPECT_EQ(twice.lngExtraX, 20);
    EXPECT_EQ(twice.lngExtraX10, 10);

    EXPECT_EQ(sixty.ptShouPai[1].x - base.ptShouPai[1].x, 10);
    EXPECT_EQ(sixty.ptWallPai[1].x - base.ptWallPai[1].x, 20);
    EXPECT_EQ(base.ptShouPai[3].x - sixty.ptShouPai[3].x, 10);
    EXPECT_EQ(base.ptWallPai[3].x - sixty.ptWallPai[3].x, 20);

    EXPECT_EQ(twice.ptShouPai[1].x - base.ptShouPai[1].x, 20);
    EXPECT_EQ(twice.ptWallPai[1].x - twice.ptShouPai[1].x,
              base.ptWallPai[1].x - base.ptShouPai[1].x + 10)
        << "the walls move only 10 more than the hands";
}

TEST(GameArea, SurplusHeightOpensTheRingsVertically) {
    const TableLayout base = ComputeTableLayout({800, 700}, {800, 545});
    const TableLayout taller = ComputeTableLayout({800, 700}, {800, 605});
    EXPECT_EQ(taller.lngExtraY, 10);
    EXPECT_EQ(taller.ptShouPai[0].y - base.ptShouPai[0].y, 10);
    EXPECT_EQ(taller.ptWallPai[0].y - base.ptWallPai[0].y, 20);
    EXPECT_EQ(base.ptShouPai[2].y - taller.ptShouPai[2].y, 10);
}

TEST(Anchors, TopAndBottomHandsAreCentred) {
    const TableLayout t = ComputeTableLayout({600, 545}, {600, 545});
    EXPECT_EQ(t.ptShouPai[0].x, 124);
    EXPECT_EQ(t.ptShouPai[2].x, 14);
}

TEST(Anchors, MarksHangOffThePlayerPictures) {
    const TableLayout t = ComputeTableLayout({800, 600}, {800, 600});
    EXPECT_EQ(t.ptUserPic[0], (Point{384, 8}));
    EXPECT_EQ(t.ptUserPic[1], (Point{8, 234}));
    EXPECT_EQ(t.ptUserPic[2], (Point{384, 560}));
    EXPECT_EQ(t.ptUserPic[3], (Point{755, 234}));
    EXPECT_EQ(t.ptNetBreak[1], (Point{8, 194}));
    EXPECT_EQ(t.ptZhuang[0], (Point{304, 8}));
    EXPECT_EQ(t.ptTing[0], (Point{224, 20}));
    EXPECT_EQ(t.ptTing[3], (Point{767, 314}));
    EXPECT_EQ(t.ptBetFlag[3], (Point{755, t.ptTing[1].y}));
    EXPECT_EQ(t.ptClockCentre, (Point{t.ptActionBar.x, t.ptActionBar.y - 28}));
    const TableLayout low = ComputeTableLayout({650, 570}, {800, 570});
    EXPECT_EQ(low.ptClockCentre, (Point{low.ptActionBar.x + 125 - 40, low.ptActionBar.y - 28}))
        << "clear of the right seat's wall and column";
    EXPECT_EQ(t.ptGameBut, (Point{311, 282}));
    EXPECT_EQ(t.ptStartBut, (Point{564, 521}));
    EXPECT_EQ(t.CentreOrigin(), (Point{250, 185}));
}

TEST(Anchors, LeftDiscardColumnIsCentredBetweenTopAndBottomAreas) {
    const TableLayout t = ComputeTableLayout({800, 600}, {800, 600});
    const auto& O = t.ptOutPai;
    EXPECT_EQ(O[1].y, O[0].y + ((O[2].y + 35 - O[0].y) - 180) / 2);
    EXPECT_EQ(O[3].y, O[1].y + 162);
    EXPECT_EQ(O[0].x, 800 - (800 - 352) / 2 - 22);
}

TEST(Anchors, ClockStandsAtItsSeatOrInTheCentre) {
    const TableLayout t = ComputeTableLayout({800, 600}, {800, 600});
    EXPECT_EQ(ClockPlace(t, 255), t.ptClockCentre);
    EXPECT_EQ(ClockPlace(t, 4), t.ptClockCentre);
    EXPECT_EQ(ClockPlace(t, 1), (Point{8, t.ptZhuang[1].y - 28}));
    EXPECT_EQ(ClockPlace(t, 2), (Point{t.ptUserName[2].x + 80, 560}));
}

// --- the local hand ---

TEST(HandHitTest, DrawnTileGapBelongsToTheTileBefore) {
    const TableLayout t = LayoutFor({800, 600});
    const std::int32_t left = t.ptShouPai[2].x;
    const std::int32_t top = t.ptShouPai[2].y;
    EXPECT_EQ(HitHandTile(t, {left + 13 * 44 + 2, top + 30}, 14, 0), 14);
    EXPECT_EQ(HitHandTile(t, {left + 14 * 44 + 5, top + 30}, 14, 0), 14) << "right edge";
    EXPECT_EQ(HitHandTile(t, {left + 14 * 44 + 6, top + 30}, 14, 0), -1);
    EXPECT_EQ(HitHandTile(t, {left, top}, 14, 0), 1) << "top-left corner";
    EXPECT_EQ(HitHandTile(t, {left + 50, top + 70}, 14, 0), 2) << "bottom edge";
    EXPECT_EQ(HitHandTile(t, {left + 50, top + 71}, 14, 0), -1);
    EXPECT_EQ(HitHandTile(t, {left - 1, top + 30}, 14, 0), -1);
}

TEST(HandHitTest, MeldsPushTheHandRight) {
    const TableLayout t = LayoutFor({900, 600});
    const std::int32_t left = LocalRowPlaces(t, 1).handLeft;
    EXPECT_EQ(left, MeldOrigin(t, 2, 0, 1).x + 3 * 44 + 20) << "20 pixels after the meld";
    EXPECT_EQ(HitHandTile(t, {left - 1, t.ptShouPai[2].y + 5}, 11, 1), -1);
    EXPECT_EQ(HitHandTile(t, {left, t.ptShouPai[2].y + 5}, 11, 1), 1);
    EXPECT_EQ(LocalHandTileX(t, 11, 11, 1), left + 10 * 44 + 5) << "11 tiles and a meld: drawn";
    EXPECT_EQ(LocalHandTileX(t, 10, 10, 1), left + 9 * 44) << "10 tiles and a meld: none drawn";
    EXPECT_EQ(LocalHandTileX(t, 14, 14, 0), t.ptShouPai[2].x + 13 * 44 + 5);
}

TEST(HandHitTest, EmptyHandHitsNothing) {
    const TableLayout t = LayoutFor({800, 600});
    EXPECT_EQ(HitHandTile(t, t.ptShouPai[2], 0, 0), -1);
}

struct Span {
    std::int32_t left;
    std::int32_t right;  // one past the last column
};

// Every tile of the local row, melds first, at the size it is painted.
std::vector<Span> LocalRowTiles(const TableLayout& t, int melds) {
    std::vector<Span> tiles;
    for (int i = 0; i < melds; ++i)
        for (const Point at : MeldTilePlaces(2, false, MeldOrigin(t, 2, i, melds)))
            tiles.push_back({at.x, at.x + 44});
    const int hand = 14 - 3 * melds;
    for (int i = 1; i <= hand; ++i) {
        const std::int32_t x = LocalHandTileX(t, i, hand, melds);
        tiles.push_back({x, x + 43});
    }
    return tiles;
}

// From the smallest game area the window allows (650 wide) to a large one, with
// 0-4 melds (a kong's fourth tile lies on its own middle tile): melds and the
// full hand never cover each other, stay inside the table's edges, and a click
// on a tile's middle finds that tile.
TEST(LocalRow, MeldsAndHandNeverOverlapAndClicksFindThePaintedTiles) {
    const std::array<std::pair<Size, Size>, 4> sizes = {{{{650, 570}, {800, 570}},
                                                         {{700, 600}, {850, 600}},
                                                         {{900, 660}, {960, 720}},
                                                         {{1250, 800}, {1280, 800}}}};
    for (const auto& [area, window] : sizes) {
        const TableLayout t = ComputeTableLayout(FitGameArea(area), window);
        for (int melds = 0; melds <= 4; ++melds) {
            SCOPED_TRACE(testing::Message() << area.width << " wide, " << melds << " melds");
            const auto tiles = LocalRowTiles(t, melds);
            for (std::size_t i = 1; i < tiles.size(); ++i)
                EXPECT_LE(tiles[i - 1].right, tiles[i].left) << "tile " << i;
            EXPECT_GE(tiles.front().left, 8);
            EXPECT_LE(tiles.back().right, area.width - 8);
            const int hand = 14 - 3 * melds;
            const std::int32_t y = t.ptShouPai[2].y + 35;
            for (int i = 1; i <= hand; ++i) {
                const auto tile = tiles[static_cast<std::size_t>(3 * melds + i - 1)];
                EXPECT_EQ(HitHandTile(t, {(tile.left + tile.right) / 2, y}, hand, melds), i);
            }
            if (melds > 0) {
                const auto meld = tiles[static_cast<std::size_t>(3 * melds - 1)];
                EXPECT_EQ(HitHandTile(t, {meld.right - 2, y}, hand, melds), -1);
            }
        }
    }
}

// The smallest window is low enough for the left seat's drawn tile to reach
// the local row: it moves up over the foot of its column, by no more than the
// overlap of two standing tiles.
TEST(LocalRow, LeftDrawnTileKeepsClearOfTheRowInALowWindow) {
    const TableLayout low = ComputeTableLayout({650, 570}, {800, 570});
    const Point drawn = low.ptMoPai[1];
    EXPECT_TRUE(LeftDrawnTileLifted(low));
    EXPECT_LE(drawn.y + 43, low.ptShouPai[2].y - 10) << "above a raised tile";
    EXPECT_GE(drawn.y, low.ptShouPai[1].y + 12 * 23 + 43 - 20);
    const TableLayout tall = ComputeTableLayout({984, 768}, {1280, 768});
    EXPECT_FALSE(LeftDrawnTileLifted(tall));
    EXPECT_EQ(tall.ptMoPai[1], (Point{tall.ptShouPai[1].x, tall.ptShouPai[1].y + 12 * 23 + 43}));
}

TEST(LocalRow, WideAreaKeepsTheAnchorAndNarrowOneCentresTheRow) {
    const TableLayout wide = LayoutFor({900, 600});
    const LocalRow two = LocalRowPlaces(wide, 2);
    EXPECT_EQ(two.meldLeft, wide.ptShouPai[2].x - 20);
    EXPECT_EQ(two.meldStep, 152);
    EXPECT_EQ(two.handLeft, two.meldLeft + 2 * 152);
    EXPECT_EQ(LocalRowPlaces(wide, 0).handLeft, wide.ptShouPai[2].x);
    EXPECT_EQ(LocalRowPlaces(wide, 4).meldLeft, two.meldLeft) << "melds never move";

    const TableLayout narrow = ComputeTableLayout({650, 570}, {800, 570});
    const LocalRow none = LocalRowPlaces(narrow, 0);
    EXPECT_EQ(none.handLeft, 650 - 8 - 14 * 44 - 5);
    const LocalRow four = LocalRowPlaces(narrow, 4);
    EXPECT_EQ(four.meldLeft, 8) << "the gaps shrink to fit between the edges";
    EXPECT_EQ(four.meldStep, 132 + 3);

    const Point erase = HandEraseOrigin(narrow, 2);
    const Size size = HandEraseSize(narrow, 2);
    EXPECT_EQ(erase.y, narrow.ptShouPai[2].y - 10) << "a raised tile's top";
    EXPECT_EQ(erase.y + size.height, narrow.ptBetFlag[2].y - 1) << "above the bet flag";
    const TableLayout tall = ComputeTableLayout({900, 660}, {960, 720});
    EXPECT_EQ(HandEraseOrigin(tall, 2).y + HandEraseSize(tall, 2).height,
              tall.ptShouPai[2].y + 10 + 66 - 1)
        << "the melds' bottom";
    EXPECT_LE(erase.x, four.meldLeft);
    EXPECT_GE(erase.x + size.width + 1, none.handLeft + 14 * 44 + 5);
}

// --- the bottom right corner ---

// A rectangle of the picture, right and bottom one past the last pixel.
struct Box {
    std::int32_t left, top, right, bottom;
    bool Meets(const Box& o) const {
        return left < o.right && o.left < right && top < o.bottom && o.top < bottom;
    }
};

Box Painted(Point at, Size size) {
    return {at.x, at.y, at.x + size.width, at.y + size.height};
}

// What a partial repaint fills: one pixel more each way than the size says.
Box Erased(Point at, Size size) {
    return Painted(at, {size.width + 1, size.height + 1});
}

// The smallest window, a narrow table in a wide window and larger ones.
constexpr std::array<std::pair<Size, Size>, 6> kCornerSizes = {{{{650, 570}, {800, 570}},
                                                                {{650, 570}, {1280, 570}},
                                                                {{700, 600}, {850, 600}},
                                                                {{900, 660}, {960, 720}},
                                                                {{984, 768}, {1280, 768}},
                                                                {{1250, 800}, {1280, 800}}}};

// The action bar and the claim clock over it stand clear of the down wall,
// the right seat's column and wall and the local row, inside the table's
// edges: no painter's erasing reaches them, nor they anything painted.
TEST(BottomRightCorner, ActionBarAndClaimClockStandClearOfWallsColumnAndRow) {
    for (const auto& [area, window] : kCornerSizes) {
        SCOPED_TRACE(testing::Message() << area.width << "x" << area.height << " in "
                                        << window.width << "x" << window.height);
        const TableLayout t = ComputeTableLayout(area, window);
        const Box bar = Painted(t.ptActionBar, {5 * kActionButtonWidth, kActionButtonHeight});
        const Box clock = Painted(t.ptClockCentre, kTurnClockSize);
        const std::array<std::pair<const char*, Box>, 4> others = {
            {{"down wall", Erased(WallEraseOrigin(t, 2), WallEraseSize(2))},
             {"right wall", Erased(WallEraseOrigin(t, 3), WallEraseSize(3))},
             {"right column", Erased(HandEraseOrigin(t, 3), HandEraseSize(t, 3))},
             {"local row", Erased(HandEraseOrigin(t, 2), HandEraseSize(t, 2))}}};
        for (const auto& [name, box] : others) {
            EXPECT_FALSE(bar.Meets(box)) << "bar on the " << name;
            EXPECT_FALSE(clock.Meets(box)) << "clock on the " << name;
        }
        EXPECT_FALSE(clock.Meets(bar));
        EXPECT_GE(bar.left, 8);
        EXPECT_LE(std::max(bar.right, clock.right), area.width - 8);
    }
}

// A local kong's arrow keeps clear of the down wall above it and of its own
// lifted tile, inside the row that the hand's repaint redraws.
TEST(BottomRightCorner, LocalKongArrowKeepsClearOfTheDownWall) {
    for (const auto& [area, window] : kCornerSizes) {
        const TableLayout t = ComputeTableLayout(area, window);
        const Box wall = Erased(WallEraseOrigin(t, 2), WallEraseSize(2));
        const Box row = Erased(HandEraseOrigin(t, 2), HandEraseSize(t, 2));
        for (int melds = 1; melds <= 4; ++melds) {
            SCOPED_TRACE(testing::Message() << area.width << " wide, " << melds << " melds");
            const Point origin = MeldOrigin(t, 2, melds - 1, melds);
            const Box arrow = Painted(MeldArrowPlace(2, true, origin), {9, 9});
            EXPECT_FALSE(arrow.Meets(wall));
            for (const Point tile : MeldTilePlaces(2, true, origin))
                EXPECT_FALSE(arrow.Meets(Painted(tile, szLiangPai[2])));
            EXPECT_TRUE(arrow.left >= row.left && arrow.right <= row.right &&
                        arrow.top >= row.top && arrow.bottom <= row.bottom);
        }
    }
}

// --- buttons ---

TEST(ButtonHitTests, ActionBarRightEdgeIsOutside) {
    const TableLayout t = LayoutFor({800, 600});
    const Point bar = t.ptActionBar;
    EXPECT_EQ(HitActionBar(t, bar), 0);
    EXPECT_EQ(HitActionBar(t, {bar.x + 124, bar.y + 27}), 4);
    EXPECT_EQ(HitActionBar(t, {bar.x + 125, bar.y + 5}), -1);
    EXPECT_EQ(HitActionBar(t, {bar.x + 60, bar.y + 5}), 2);
    EXPECT_EQ(HitActionBar(t, {bar.x + 60, bar.y - 1}), -1);
}

TEST(ButtonHitTests, CentreButtonsExcludeEdgesAndNeedTheFirstShown) {
    const TableLayout t = LayoutFor({800, 600});
    const Point g = t.ptGameBut;
    const std::array<std::uint8_t, 3> shown = {1, 1, 1};
    EXPECT_EQ(HitGameButton(t, {g.x + 1, g.y + 1}, shown), 0);
    EXPECT_EQ(HitGameButton(t, {g.x, g.y + 1}, shown), -1);
    EXPECT_EQ(HitGameButton(t, {g.x + 62 + 53, g.y + 34}, shown), 1);
    EXPECT_EQ(HitGameButton(t, {g.x + 58, g.y + 10}, shown), -1) << "the gap between buttons";
    EXPECT_EQ(HitGameButton(t, {g.x + 130, g.y + 10}, shown), 2);
    EXPECT_EQ(HitGameButton(t, {g.x + 130, g.y + 10}, {0, 1, 1}), -1);
}

TEST(ButtonHitTests, StartButtonOnlyWhileShown) {
    const TableLayout t = LayoutFor({800, 600});
    const Point s = t.ptStartBut;
    EXPECT_EQ(HitStartButton(t, {s.x + 1, s.y + 1}, 1), 0);
    EXPECT_EQ(HitStartButton(t, {s.x + 70, s.y + 70}, 2), 0);
    EXPECT_EQ(HitStartButton(t, {s.x + 71, s.y + 10}, 1), -1);
    EXPECT_EQ(HitStartButton(t, {s.x + 10, s.y + 10}, 0), -1);
}

// --- discards ---

TEST(DiscardLayout, UpRowsTaperAndStepLeftAndDown) {
    const TableLayout t = LayoutFor({800, 600});
    const Point o = t.ptOutPai[0];
    EXPECT_EQ(DiscardPlace(t, 0, 0)->at, o);
    EXPECT_EQ(DiscardPlace(t, 0, 15)->at, (Point{o.x - 15 * 22, o.y}));
    EXPECT_EQ(DiscardPlace(t, 0, 16)->at, (Point{o.x - 22, o.y + 27})) << "second row";
    EXPECT_EQ(DiscardPlace(t, 0, 24)->at, (Point{o.x - 22 - 8 * 22, o.y + 27}))
        << "25 discards: 9 in the second row";
    EXPECT_EQ(DiscardPlace(t, 0, 30)->at, (Point{o.x - 44, o.y + 54})) << "third row of 12";
    EXPECT_TRUE(DiscardPlace(t, 0, 71));
    EXPECT_FALSE(DiscardPlace(t, 0, 72)) << "16 + 14 + ... + 2 places";
    EXPECT_FALSE(DiscardPlace(t, 0, -1));
}

TEST(DiscardLayout, DownRowsBehindTheFirstShowOnlyTheirTop) {
    const TableLayout t = LayoutFor({800, 600});
    const Point o = t.ptOutPai[2];
    const auto first = DiscardPlace(t, 2, 3);
    EXPECT_EQ(first->at, (Point{o.x + 66, o.y}));
    EXPECT_EQ(first->visible, (Size{22, 35}));
    const auto second = DiscardPlace(t, 2, 16);
    EXPECT_EQ(second->at, (Point{o.x + 22, o.y - 27}));
    EXPECT_EQ(second->visible, (Size{22, 27}));
}

TEST(DiscardLayout, SideColumns) {
    const TableLayout t = LayoutFor({800, 600});
    const Point left = t.ptOutPai[1];
    EXPECT_EQ(DiscardPlace(t, 1, 9)->at, (Point{left.x, left.y + 162}));
    EXPECT_EQ(DiscardPlace(t, 1, 10)->at, (Point{left.x + 31, left.y + 18}));
    EXPECT_FALSE(DiscardPlace(t, 1, 30)) << "10 + 8 + 6 + 4 + 2 places";
    const Point right = t.ptOutPai[3];
    const auto bottom = DiscardPlace(t, 3, 0);
    EXPECT_EQ(bottom->at, right);
    EXPECT_EQ(bottom->visible, (Size{31, 27}));
    const auto above = DiscardPlace(t, 3, 1);
    EXPECT_EQ(above->at, (Point{right.x, right.y - 18}));
    EXPECT_EQ(above->visible, (Size{31, 18}));
    EXPECT_EQ(DiscardPlace(t, 3, 10)->at, (Point{right.x - 31, right.y - 18}));
    EXPECT_EQ(DiscardPlace(t, 3, 10)->visible, (Size{31, 27})) << "first of its column";
}

// --- walls ---

TEST(WallLayout, ResetSegmentDrawsNothing) {
    const TableLayout t = LayoutFor({800, 600});
    EXPECT_TRUE(WallTilePlaces(t, 0, 1, 0).empty());
}

TEST(WallLayout, UpSegmentStartsWithALoneLowerTile) {
    const TableLayout t = LayoutFor({800, 600});
    const Point w = t.ptWallPai[0];
    const auto places = WallTilePlaces(t, 0, 3, 33);
    ASSERT_EQ(places.size(), 31u);
    EXPECT_EQ(places[0], (Point{w.x + 22, w.y + 7})) << "stack 1, lower tile only";
    EXPECT_EQ(places[1], (Point{w.x + 44, w.y + 7}));
    EXPECT_EQ(places[2], (Point{w.x + 44, w.y}));
    EXPECT_EQ(places.back(), (Point{w.x + 16 * 22, w.y}));
}

TEST(WallLayout, DownSegmentIsMirrored) {
    const TableLayout t = LayoutFor({800, 600});
    const Point w = t.ptWallPai[2];
    const auto places = WallTilePlaces(t, 2, 3, 33);
    ASSERT_EQ(places.size(), 31u);
    EXPECT_EQ(places[0], (Point{w.x, w.y + 7}));
    EXPECT_EQ(places[1], w);
    EXPECT_EQ(places.back(), (Point{w.x + 15 * 22, w.y + 7})) << "stack 15, lower tile only";
}

TEST(WallLayout, SideSegmentsStepFifteenPixels) {
    const TableLayout t = LayoutFor({800, 600});
    const Point w = t.ptWallPai[3];
    const auto places = WallTilePlaces(t, 3, 0, 33);
    ASSERT_EQ(places.size(), 34u);
    EXPECT_EQ(places[2], (Point{w.x, w.y + 15 + 7}));
    EXPECT_EQ(places[3], (Point{w.x, w.y + 15}));
    EXPECT_EQ(WallEraseSize(1), (Size{31, 264}));
    EXPECT_EQ(WallEraseSize(0), (Size{376, 42}));
}

// --- melds and hands ---

TEST(MeldLayout, KongsLiftTheFourthTileOntoTheMiddle) {
    const Point o{100, 200};
    const auto up = MeldTilePlaces(0, true, o);
    ASSERT_EQ(up.size(), 4u);
    EXPECT_EQ(up[0], (Point{144, 200}));
    EXPECT_EQ(up[3], (Point{122, 192}));
    const auto down = MeldTilePlaces(2, true, o);
    EXPECT_EQ(down[3], (Point{144, 183}));
    const auto left = MeldTilePlaces(1, false, o);
    ASSERT_EQ(left.size(), 3u);
    EXPECT_EQ(left[2], (Point{100, 240}));
    EXPECT_EQ(MeldTilePlaces(3, true, o)[3], (Point{100, 213}));
}

TEST(MeldLayout, ArrowsSitBesideTheMeld) {
    const Point o{100, 200};
    EXPECT_EQ(MeldArrowPlace(0, false, o), (Point{128, 235}));
    EXPECT_EQ(MeldArrowPlace(2, false, o), (Point{161, 191}));
    EXPECT_EQ(MeldArrowPlace(2, true, o), (Point{205, 191})) << "beside the lifted tile";
    EXPECT_EQ(MeldArrowPlace(1, false, o), (Point{91, 225}));
    EXPECT_EQ(MeldArrowPlace(3, false, o), (Point{131, 225}));
}

TEST(MeldLayout, SeatsOrderTheirMelds) {
    const TableLayout t = LayoutFor({800, 600});
    const Point up = t.ptShouPai[0];
    EXPECT_EQ(MeldOrigin(t, 0, 1, 2), (Point{up.x + 7 * 27 + 15, up.y + 8})) << "last made first";
    EXPECT_EQ(MeldOrigin(t, 0, 0, 2), (Point{up.x + 7 * 27 + 15 + 81, up.y + 8}));
    const Point left = t.ptShouPai[1];
    EXPECT_EQ(MeldOrigin(t, 1, 1, 2), (Point{left.x, left.y + 69}));
    const auto backs = HandBackPlaces(t, 1, 2);
    ASSERT_EQ(backs.size(), 7u);
    EXPECT_EQ(backs[0], (Point{left.x, left.y + 138}));
    const Point right = t.ptShouPai[3];
    EXPECT_EQ(MeldOrigin(t, 3, 0, 1), (Point{right.x, right.y + 23 * 10 + 20}));
    EXPECT_EQ(MeldOrigin(t, 2, 1, 2).y, t.ptShouPai[2].y + 10);
    EXPECT_TRUE(HandBackPlaces(t, 2, 0).empty());
    EXPECT_EQ(HandBackPlaces(t, 0, 0).size(), 13u);
}

}  // namespace
}  // namespace qira::render
