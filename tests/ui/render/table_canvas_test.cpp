#include "ui/render/table_canvas.h"

#include <gtest/gtest.h>

#include "golden_image.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QTimer>
#include <cstdlib>

#include "render/resources.h"
#include "ui/render/game_area_widget.h"
#include "ui/render/table_display.h"

// Offscreen pictures of scripted tables, compared with reference pictures in
// tests/render/golden. To accept a deliberate change of the artwork or the
// painters, run the test binary once with QIRA_UPDATE_GOLDEN=1.
namespace qira::render {
namespace {

constexpr Size kArea{900, 660};

struct ScriptedTable {
    rules::TableState table;
    launch::ClientGlobals globals;
    play::TurnData turn;
    play::OfferData offer;

    ScriptedTable() {
        globals.strAppPath = QIRA_GAME_FOLDER "bin/";
        globals.strParentPath = QIRA_GAME_FOLDER;
        globals.strViewName = "小明";
        globals.bytMyChair = 0;
        globals.bytSeatPos = {2, 3, 0, 1};
        table.bytMyChair = 0;
        const std::array<std::string, 4> names = {"小明", "Alice", "老王头儿真厉害", "西门吹雪"};
        const std::array<std::int32_t, 4> keys = {4, 1016, 2122, 37};
        for (std::size_t chair = 0; chair < 4; ++chair) {
            table.Seats[chair].strPlayerName = names[chair];
            table.Seats[chair].lngPlayerKey = keys[chair];
        }
    }

    TableSources Sources() const { return {&table, &globals, &turn, &offer}; }
};

void SetWalls(rules::TableState& table, std::array<std::pair<int, int>, 4> segments) {
    for (std::size_t chair = 0; chair < 4; ++chair) {
        table.Seats[chair].lngWallHead = segments[chair].first;
        table.Seats[chair].lngWallTail = segments[chair].second;
    }
}

ScriptedTable StartOfHand() {
    ScriptedTable s;
    auto& t = s.table;
    t.blnHandIdle = false;
    t.bytDealerChair = 0;
    t.bytTurnChair = 0;
    t.bytTurnPhase = 5;
    t.bytWildTile = 5;
    t.bytMyHand = {5, 0, 1, 2, 10, 11, 12, 20, 21, 27, 28, 36, 37, 38};
    SetWalls(t, {{{0, 33}, {14, 33}, {0, 33}, {0, 29}}});
    const std::array<std::uint8_t, 4> bets = {1, 0, 2, 3};
    for (std::size_t chair = 0; chair < 4; ++chair) t.Seats[chair].bytBetChoice = bets[chair];
    return s;
}

ScriptedTable MidHand() {
    ScriptedTable s;
    auto& t = s.table;
    t.blnHandIdle = false;
    t.bytDealerChair = 2;
    t.bytTurnChair = 3;
    t.bytTurnPhase = 0;
    t.bytWildTile = 31 + 5;
    using rules::MeldKind;
    t.Seats[0].Melds = {{MeldKind::Chow, 2, 3}, {MeldKind::ConcealedKong, 27, 0}};
    t.Seats[1].Melds = {{MeldKind::Pung, 12, 0}, {MeldKind::ExposedKong, 36, 2}};
    t.Seats[2].Melds = {{MeldKind::Chow, 19, 1}, {MeldKind::ConcealedKong, 9, 2}};
    t.Seats[3].Melds = {{MeldKind::Pung, 30, 2}};
    t.bytMyHand = {36, 6, 7, 14, 15, 16, 24, 24};
    t.Seats[0].Discards = {29, 0, 18, 9, 22, 37, 4, 26, 13, 8, 17, 28};
    t.Seats[1].Discards = {27, 1, 2,  11, 19, 23, 25, 29, 30, 38,
                           3,  5, 10, 20, 21, 4,  8,  17, 26, 22};
    t.Seats[2].Discards = {28, 0, 6, 12, 13, 18, 24, 25, 27, 29, 30, 31 - 1, 38, 37, 9, 10, 14, 20};
    t.Seats[3].Discards = {30, 29, 1, 3, 16, 19, 22, 23, 26, 38, 15};
    t.Seats[2].bytTing = 1;
    t.Seats[1].blnUserFlag = true;
    SetWalls(t, {{{0, 21}, {2, 2}, {1, 0}, {0, 33}}});
    for (auto& seat : t.Seats) seat.bytBetChoice = 0;
    s.turn.bytDrawnTileSeat = 1;
    s.offer.bytActionButtons = {0, 1, 0, 0, 1};
    return s;
}

ScriptedTable BetweenHands() {
    ScriptedTable s;
    auto& t = s.table;
    t.blnHandIdle = true;
    t.Seats[1].blnReady = true;
    t.Seats[2].blnReady = true;
    t.Seats[3].strPlayerName.clear();
    t.Seats[3].lngPlayerKey = -1;
    t.bytStartButtonState = 1;
    t.bytBetButtonStates = {1, 2, 3};
    return s;
}

// The local seat with `melds` melds (kongs among them) and a full hand, the
// drawn tile included; the others hold their backs and a few discards.
ScriptedTable LocalRow(int melds) {
    ScriptedTable s;
    auto& t = s.table;
    t.blnHandIdle = false;
    t.bytDealerChair = 0;
    t.bytTurnChair = 0;
    t.bytTurnPhase = 5;
    t.bytWildTile = 22;
    t.bytWildIndicator = 21;
    using rules::MeldKind;
    const std::array<rules::MeldRecord, 4> made = {{{MeldKind::ExposedKong, 36, 3},
                                                    {MeldKind::Chow, 2, 3},
                                                    {MeldKind::ConcealedKong, 27, 0},
                                                    {MeldKind::Pung, 12, 1}}};
    t.Seats[0].Melds.assign(made.begin(), made.begin() + melds);
    const std::vector<std::uint8_t> tiles = {22, 4, 5, 6, 10, 11, 13, 14, 18, 19, 24, 28, 29, 37};
    t.bytMyHand.assign(tiles.end() - (14 - 3 * melds), tiles.end());
    t.Seats[1].Discards = {27, 1, 2, 11};
    t.Seats[2].Discards = {28, 0, 6};
    t.Seats[3].Discards = {30, 29, 1};
    t.Seats[2].bytTing = 1;  // the top seat's ready mark, right of the indicator
    SetWalls(t, {{{4, 33}, {0, 33}, {0, 33}, {0, 31}}});
    for (auto& seat : t.Seats) seat.bytBetChoice = 0;
    s.turn.bytDrawnTileSeat = 1;
    return s;
}

class TableCanvasTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "render_ui_tests";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance()) app_ = new QApplication(argc, argv);
    }

    void Paint(const ScriptedTable& scripted) {
        canvas_.SetSources(scripted.Sources());
        canvas_.Resize(kArea, {kArea.width + 60, kArea.height + 60});
        canvas_.PaintTable();
    }

    static void ExpectMatchesGolden(const QImage& actual, const QString& name) {
        test_support::ExpectMatchesGolden(actual, QStringLiteral(QIRA_GOLDEN_DIR), name);
    }

    static QColor At(const QImage& image, Point p) { return image.pixelColor(p.x, p.y); }

    static inline QApplication* app_ = nullptr;
    TableCanvas canvas_;
};

// The hint's gold: the corner over the tile to throw and the lit button.
int HintGoldPixels(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == QColor(255, 196, 0)) ++count;
    return count;
}

TEST_F(TableCanvasTest, HintMarksTheTileToThrowAndLightsTheButtonToPress) {
    ScriptedTable table = MidHand();
    Paint(table);
    const QImage plain = canvas_.picture().copy();
    ASSERT_EQ(HintGoldPixels(plain), 0);

    table.offer.hintDiscard = 14;  // the fourth tile of the hand
    Paint(table);
    const int markOnly = HintGoldPixels(canvas_.picture());
    EXPECT_GT(markOnly, 40) << "a corner mark over the tile";

    table.offer.hintAction = play::ActionButton::Pung;  // offered in this position
    Paint(table);
    ExpectMatchesGolden(canvas_.ComposeFrame(), "discard_hint");
    EXPECT_GT(HintGoldPixels(canvas_.picture()), markOnly + 100) << "the lit button";

    table.offer.hintAction = play::ActionButton::Win;  // not offered: nothing to light
    Paint(table);
    EXPECT_EQ(HintGoldPixels(canvas_.picture()), markOnly);

    table.offer.hintDiscard.reset();
    table.offer.hintAction.reset();
    Paint(table);
    EXPECT_EQ(canvas_.picture(), plain) << "without a hint the table is as before";
}

TEST_F(TableCanvasTest, OnAScaledDesktopThePictureHasTheScreensResolution) {
    const ScriptedTable table = MidHand();
    Paint(table);
    const QImage single = canvas_.picture().copy();

    canvas_.SetPixelRatio(2.0);
    EXPECT_TRUE(canvas_.Resize(kArea, {kArea.width + 60, kArea.height + 60}))
        << "a new resolution asks for a full repaint";
    canvas_.PaintTable();
    const QImage& sharp = canvas_.picture();
    EXPECT_EQ(sharp.size(), single.size() * 2);
    EXPECT_EQ(sharp.devicePixelRatio(), 2.0);
    // Scaled back down, it is the same table: layout and coordinates are unchanged.
    const QImage down = sharp.scaled(single.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                            .convertToFormat(QImage::Format_RGB32);
    int differing = 0;
    for (int y = 0; y < down.height(); y += 3)
        for (int x = 0; x < down.width(); x += 3)
            if (std::abs(qGray(down.pixel(x, y)) - qGray(single.pixel(x, y))) > 48) ++differing;
    EXPECT_LT(differing, down.width() * down.height() / 9 / 50);
}

TEST_F(TableCanvasTest, StartOfHandLooksAsRecorded) {
    const ScriptedTable table = StartOfHand();
    Paint(table);
    ExpectMatchesGolden(canvas_.ComposeFrame(), "start_of_hand");
}

TEST_F(TableCanvasTest, MidHandWithMeldsAndDiscardsOnEverySide) {
    const ScriptedTable table = MidHand();
    Paint(table);
    canvas_.ShowNewestDiscard(3, 15);
    EXPECT_EQ(canvas_.NewestDiscardTag(), "315");
    ExpectMatchesGolden(canvas_.ComposeFrame(), "mid_hand");
}

TEST_F(TableCanvasTest, BetweenHandsShowsMarksAndButtons) {
    const ScriptedTable table = BetweenHands();
    Paint(table);
    ExpectMatchesGolden(canvas_.ComposeFrame(), "between_hands");
}

// The smallest game area the window allows and a large one.
constexpr std::array<std::pair<Size, Size>, 2> kRowSizes = {
    {{{650, 570}, {800, 570}}, {{984, 768}, {1280, 768}}}};

TEST_F(TableCanvasTest, MeldsAndTheHandStandSideBySide) {
    for (const int melds : {0, 2, 4}) {
        for (const auto& [area, window] : kRowSizes) {
            const ScriptedTable table = LocalRow(melds);
            canvas_.SetSources(table.Sources());
            canvas_.Resize(area, window);
            canvas_.PaintTable();
            ExpectMatchesGolden(canvas_.ComposeFrame(),
                                QStringLiteral("local_row_%1_melds_%2").arg(melds).arg(area.width));
        }
    }
}

// In the lowest window the left seat's drawn tile stands over the foot of its
// column: taking it away, or repainting the column while it is there, leaves
// the same picture as painting afresh.
TEST_F(TableCanvasTest, LeftDrawnTileInALowWindowComesAndGoesCleanly) {
    const auto& [area, window] = kRowSizes[0];
    ScriptedTable table = LocalRow(0);
    table.turn.bytDrawnTileSeat = 3;  // the left seat
    auto matchesFresh = [&] {
        TableCanvas fresh;
        fresh.SetSources(table.Sources());
        fresh.Resize(area, window);
        fresh.PaintTable();
        return canvas_.picture() == fresh.picture();
    };
    canvas_.SetSources(table.Sources());
    canvas_.Resize(area, window);
    canvas_.PaintTable();
    canvas_.RaiseTile(2);
    canvas_.LowerTile();
    EXPECT_TRUE(matchesFresh()) << "the raised tile passed below the drawn one";
    canvas_.PaintHands(3);
    EXPECT_TRUE(matchesFresh()) << "column repainted under the drawn tile";
    table.turn.bytDrawnTileSeat = rules::kTableNoChair;
    canvas_.PaintMoPai();
    EXPECT_TRUE(matchesFresh()) << "drawn tile taken away";
}

// The walls, the right seat's column and the local row are repainted on their
// own all through a hand: none of them takes a piece of the action bar, of a
// local kong's arrow or of the right seat's drawn tile with it.
TEST_F(TableCanvasTest, CornerRepaintsLeaveTheActionBarKongArrowsAndDrawnTileWhole) {
    for (const auto& [area, window] : kRowSizes) {
        ScriptedTable table = LocalRow(4);  // two kongs, the right seat holding a drawn tile
        table.offer.bytActionButtons = {0, 1, 1, 0, 1};
        canvas_.SetSources(table.Sources());
        canvas_.Resize(area, window);
        canvas_.PaintTable();
        TableCanvas fresh;
        fresh.SetSources(table.Sources());
        fresh.Resize(area, window);
        fresh.PaintTable();
        const TableLayout& t = canvas_.layout();
        const Point row = HandEraseOrigin(t, 2);
        const Size rowSize = HandEraseSize(t, 2);
        const Point column = t.ptMoPai[3];
        const std::array<QRect, 3> parts = {
            QRect(t.ptActionBar.x, t.ptActionBar.y, 125, 27),
            QRect(row.x, row.y, rowSize.width + 1, rowSize.height + 1),
            QRect(column.x, column.y, 20, HandEraseSize(t, 3).height + 43)};
        auto whole = [&] {
            for (const QRect& part : parts)
                if (canvas_.picture().copy(part) != fresh.picture().copy(part)) return false;
            return true;
        };
        canvas_.PaintWall(0);
        EXPECT_TRUE(whole()) << area.width << ": a draw from the down wall";
        canvas_.PaintHands(1);
        EXPECT_TRUE(whole()) << area.width << ": the right column";
        canvas_.PaintWall(1);
        canvas_.PaintHands(0);
        canvas_.PaintActionBar();
        EXPECT_TRUE(whole()) << area.width << ": the right wall, the row, the bar";
    }
}

// A tile raised over the place where the next meld goes leaves nothing above
// the meld once it is made and the hand is repainted.
TEST_F(TableCanvasTest, MeldMadeUnderARaisedTileLeavesNoEdgeAbove) {
    for (const auto& [area, window] : kRowSizes) {
        ScriptedTable table = LocalRow(1);
        canvas_.SetSources(table.Sources());
        canvas_.Resize(area, window);
        canvas_.PaintTable();
        canvas_.RaiseTile(2);
        table.table.Seats[0].Melds.push_back({rules::MeldKind::Pung, 5, 2});
        table.table.bytMyHand.erase(table.table.bytMyHand.begin() + 1,
                                    table.table.bytMyHand.begin() + 4);
        canvas_.PaintHands(0);
        canvas_.LowerTile();
        TableCanvas fresh;
        fresh.SetSources(table.Sources());
        fresh.Resize(area, window);
        fresh.PaintTable();
        EXPECT_EQ(canvas_.picture(), fresh.picture()) << area.width << " wide";
    }
}

// The ring's gold, inside a rectangle of the picture.
int HaloPixels(const QImage& image, const QRect& rect) {
    int count = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > 200 && c.green() > 130 && c.green() < 190 && c.blue() < 60) ++count;
        }
    return count;
}

// Each wild tile of the hand wears a gold halo, raised or not, and only while
// the hand is shown; the indicator stands beside the wild-tile panel.
TEST_F(TableCanvasTest, WildTilesWearAGoldHaloAndTheIndicatorIsShown) {
    ScriptedTable table = StartOfHand();
    table.table.bytWildTile = 11;
    table.table.bytWildIndicator = 10;
    table.table.bytMyHand = {11, 11, 0, 1, 2, 10, 12, 20, 21, 27, 28, 36, 37, 38};
    Paint(table);
    const TableLayout& layout = canvas_.layout();
    auto tileRect = [&](int index) {
        return QRect(LocalHandTileX(layout, index, 14, 0), layout.ptShouPai[2].y - 10, 43, 80);
    };
    EXPECT_GT(HaloPixels(canvas_.picture(), tileRect(1)), 100);
    EXPECT_GT(HaloPixels(canvas_.picture(), tileRect(2)), 100);
    for (int index = 3; index <= 14; ++index)
        EXPECT_EQ(HaloPixels(canvas_.picture(), tileRect(index)), 0) << "tile " << index;
    canvas_.RaiseTile(2);
    canvas_.RaiseTile(3);
    canvas_.RaiseTile(1);
    ExpectMatchesGolden(canvas_.ComposeFrame(), "wild_tiles_marked");
    EXPECT_GT(HaloPixels(canvas_.picture(), tileRect(1)), 100) << "raised";
    EXPECT_GT(HaloPixels(canvas_.picture(), tileRect(2)), 100) << "lowered again";

    const QRect indicator(10, 67, 64, 44);
    const QImage shown = canvas_.picture().copy(indicator);
    table.table.bytHandVisible = 0;
    table.table.bytWildIndicator = 34;  // not a tile: no indicator to show
    canvas_.PaintTable();
    EXPECT_EQ(HaloPixels(canvas_.picture(), tileRect(1)), 0) << "a hidden hand tells nothing";
    EXPECT_NE(canvas_.picture().copy(indicator), shown);
    for (int y = indicator.top(); y <= indicator.bottom(); y += 3)
        for (int x = indicator.left(); x <= indicator.right(); x += 3)
            ASSERT_EQ(At(canvas_.picture(), {x, y}), kTableBackColour) << x << "," << y;
}

TEST_F(TableCanvasTest, WithoutAViewedPlayerOnlyTheBackgroundIsPainted) {
    ScriptedTable table = MidHand();
    Paint(table);
    const QImage full = canvas_.picture().copy();
    table.globals.strViewName.clear();
    canvas_.PaintTable();
    const QImage background = canvas_.picture().copy();
    EXPECT_NE(full, background);
    const Point hand = canvas_.layout().ptShouPai[2];
    EXPECT_EQ(At(background, {hand.x + 100, hand.y + 30}), kTableBackColour);
    EXPECT_NE(At(full, {hand.x + 400, hand.y + 30}), kTableBackColour);
}

TEST_F(TableCanvasTest, MissingResourcesLeaveThePicturesOut) {
    ScriptedTable table = MidHand();
    table.globals.strAppPath = "/nonexistent/bin/";
    table.globals.strParentPath = "/nonexistent/";
    for (auto& seat : table.table.Seats)
        seat.strPlayerName.clear();  // names are text, not pictures
    Paint(table);
    const QImage& picture = canvas_.picture();
    for (int y = 0; y < picture.height(); y += 7)
        for (int x = 0; x < picture.width(); x += 7)
            ASSERT_EQ(picture.pixelColor(x, y), kTableBackColour) << x << "," << y;
}

TEST_F(TableCanvasTest, EraseIncludesBothCornersAndRestoreRedrawsOnlyTheCentre) {
    const ScriptedTable table = StartOfHand();
    Paint(table);
    const QImage before = canvas_.picture().copy();
    const Point centre = canvas_.layout().CentreOrigin();
    const int x = centre.x - 10;
    const int y = centre.y + 100;
    canvas_.EraseRect(x, y, 20, 20);
    EXPECT_EQ(At(canvas_.picture(), {x + 20, y + 20}), kTableBackColour);
    EXPECT_EQ(At(canvas_.picture(), {x + 21, y + 21}), At(before, {x + 21, y + 21}));
    ASSERT_NE(At(before, {x + 15, y + 10}), kTableBackColour) << "a point of the centre picture";
    canvas_.RestoreCentre(x, y, 21, 21);
    EXPECT_EQ(canvas_.picture(), before);
}

TEST_F(TableCanvasTest, RaisingAndLoweringATileRestoresTheHand) {
    const ScriptedTable table = StartOfHand();
    Paint(table);
    const QImage before = canvas_.picture().copy();
    const TableLayout& layout = canvas_.layout();
    const std::int32_t x = LocalHandTileX(layout, 3, 14, 0);
    const std::int32_t top = layout.ptShouPai[2].y;
    canvas_.RaiseTile(3);
    EXPECT_EQ(canvas_.lngRaisedPai(), 3);
    EXPECT_EQ(At(canvas_.picture(), {x + 20, top + 65}), kTableBackColour) << "uncovered bottom";
    EXPECT_NE(At(canvas_.picture(), {x + 20, top - 5}), kTableBackColour)
        << "tile raised into view";
    canvas_.RaiseTile(5);
    EXPECT_EQ(canvas_.lngRaisedPai(), 5);
    canvas_.LowerTile();
    EXPECT_EQ(canvas_.lngRaisedPai(), -1);
    EXPECT_EQ(canvas_.picture(), before);
}

TEST_F(TableCanvasTest, ShrunkenLocalHandLeavesNoStaleTile) {
    ScriptedTable table = StartOfHand();
    Paint(table);
    const TableLayout& layout = canvas_.layout();
    const Point last{LocalHandTileX(layout, 14, 14, 0) + 20, layout.ptShouPai[2].y + 35};
    ASSERT_NE(At(canvas_.picture(), last), kTableBackColour);
    table.table.bytMyHand.erase(table.table.bytMyHand.begin() + 3);
    canvas_.PaintLocalHand();
    EXPECT_EQ(At(canvas_.picture(), last), kTableBackColour);
    TableCanvas fresh;
    fresh.SetSources(table.Sources());
    fresh.Resize(kArea, {kArea.width + 60, kArea.height + 60});
    fresh.PaintTable();
    EXPECT_EQ(canvas_.picture(), fresh.picture()) << "same as painting the smaller hand afresh";
}

TEST_F(TableCanvasTest, RepaintedHandKeepsTheRaisedTileRaised) {
    ScriptedTable table = StartOfHand();
    Paint(table);
    canvas_.RaiseTile(3);
    const QImage raised = canvas_.picture().copy();
    canvas_.PaintLocalHand();
    EXPECT_EQ(canvas_.picture(), raised);
    EXPECT_EQ(canvas_.lngRaisedPai(), 3);

    canvas_.RaiseTile(14);
    table.table.bytMyHand.pop_back();
    canvas_.PaintLocalHand();
    EXPECT_EQ(canvas_.lngRaisedPai(), -1) << "the raised tile left the hand";
    TableCanvas fresh;
    fresh.SetSources(table.Sources());
    fresh.Resize(kArea, {kArea.width + 60, kArea.height + 60});
    fresh.PaintTable();
    EXPECT_EQ(canvas_.picture(), fresh.picture()) << "nothing of the raised tile is left";
}

TEST_F(TableCanvasTest, HiddenHandShowsBacksAndIdleTableNoWildPanel) {
    ScriptedTable table = StartOfHand();
    Paint(table);
    const TableLayout& layout = canvas_.layout();
    const Point face{LocalHandTileX(layout, 2, 14, 0) + 4, layout.ptShouPai[2].y + 64};
    const QColor shown = At(canvas_.picture(), face);
    table.table.bytHandVisible = 0;
    canvas_.PaintTable();
    const QColor hidden = At(canvas_.picture(), face);
    EXPECT_GT(shown.lightness(), 200) << "an ivory face";
    EXPECT_GT(hidden.green(), hidden.red() + 40) << "a green back";
    EXPECT_NE(At(canvas_.picture(), {80, 40}), kTableBackColour) << "wild panel while in play";
    table.table.blnHandIdle = true;
    canvas_.PaintTable();
    EXPECT_EQ(At(canvas_.picture(), {80, 40}), kTableBackColour);
}

TEST_F(TableCanvasTest, NothingIsRaisedWhileSideBetsAreChosen) {
    ScriptedTable table = StartOfHand();
    table.table.bytTurnPhase = 10;
    Paint(table);
    canvas_.RaiseTile(2);
    EXPECT_EQ(canvas_.lngRaisedPai(), -1);
}

TEST_F(TableCanvasTest, MaskedButtonsKeepTheTableAroundTheirCorners) {
    ScriptedTable table = BetweenHands();
    Paint(table);
    const Point button = canvas_.layout().ptGameBut;
    const QImage& picture = canvas_.picture();
    const QColor centreBefore = At(picture, {button.x, button.y});
    EXPECT_NE(centreBefore, QColor(Qt::black)) << "the mask let the table show through";
    EXPECT_NE(At(picture, {button.x + 27, button.y + 17}), centreBefore);
    table.table.bytBetButtonStates = {0, 0, 0};
    canvas_.PaintGameButtons();
    TableCanvas fresh;
    fresh.SetSources(table.Sources());
    fresh.Resize(kArea, {kArea.width + 60, kArea.height + 60});
    fresh.PaintTable();
    EXPECT_EQ(canvas_.picture(), fresh.picture()) << "hiding restores the centre picture";
}

TEST_F(TableCanvasTest, StartButtonComesAndGoes) {
    ScriptedTable table = BetweenHands();
    Paint(table);
    const Point at = canvas_.layout().ptStartBut;
    EXPECT_NE(At(canvas_.picture(), {at.x + 35, at.y + 35}), kTableBackColour);
    table.table.bytStartButtonState = 0;
    canvas_.UpdateStartButton();
    EXPECT_EQ(At(canvas_.picture(), {at.x + 35, at.y + 35}), kTableBackColour);
}

TEST_F(TableCanvasTest, NewestDiscardSitsOnTheLastDiscardAndBlinks) {
    const ScriptedTable table = MidHand();
    Paint(table);
    canvas_.ShowNewestDiscard(0, 28);
    const auto slot = DiscardPlace(canvas_.layout(), 2, 11);
    ASSERT_TRUE(slot);
    EXPECT_EQ(canvas_.NewestDiscardRect(), QRect(slot->at.x - 3, slot->at.y - 3, 28, 41));
    EXPECT_EQ(canvas_.NewestDiscardTag(), "028");
    const QImage first = canvas_.ComposeFrame();
    EXPECT_EQ(At(first, {slot->at.x - 3, slot->at.y - 3}), QColor(255, 0, 0));
    canvas_.PaintNewestDiscardFrame(true);
    EXPECT_EQ(At(canvas_.ComposeFrame(), {slot->at.x - 3, slot->at.y - 3}), QColor(0, 255, 0));
    EXPECT_EQ(At(canvas_.ComposeFrame(), {slot->at.x - 2, slot->at.y - 2}), QColor(255, 0, 255));
    canvas_.HideNewestDiscard();
    EXPECT_EQ(canvas_.ComposeFrame(), canvas_.picture());
}

TEST_F(TableCanvasTest, ShrinkingTheAreaAsksForARepaint) {
    EXPECT_TRUE(canvas_.Resize({900, 700}, {900, 700}));
    EXPECT_FALSE(canvas_.Resize({900, 700}, {900, 700}));
    EXPECT_TRUE(canvas_.Resize({800, 700}, {800, 700}));
    EXPECT_TRUE(canvas_.Resize({500, 400}, {500, 400}));
    EXPECT_EQ(canvas_.picture().size(), QSize(574, 545));
}

TEST_F(TableCanvasTest, ClockStandsAtTheChairsSeat) {
    const ScriptedTable table = StartOfHand();
    Paint(table);
    const TableLayout& layout = canvas_.layout();
    EXPECT_EQ(canvas_.ClockPlaceForTag(255), layout.ptClockCentre);
    EXPECT_EQ(canvas_.ClockPlaceForTag(4), layout.ptClockCentre);
    EXPECT_EQ(canvas_.ClockPlaceForTag(0), layout.ptClock[2]) << "chair 0 sits at the bottom";
    EXPECT_EQ(canvas_.ClockPlaceForTag(3), layout.ptClock[1]);
}

// --- the mouse over the game area ---

class GameAreaTest : public TableCanvasTest {
protected:
    struct Call {
        std::string what;
        int index;
        bool operator==(const Call&) const = default;
    };

    std::unique_ptr<GameAreaWidget> MakeWidget() {
        GameAreaWidget::Handlers handlers;
        handlers.handTileClick = [this](int i, play::MouseButton) {
            calls_.push_back({"tile", i});
        };
        handlers.actionButton = [this](int i, play::MouseButton) {
            calls_.push_back({"action", i});
        };
        handlers.gameButtonClick = [this](int i) { calls_.push_back({"game", i}); };
        handlers.startClick = [this] { calls_.push_back({"start", 0}); };
        return std::make_unique<GameAreaWidget>(canvas_, handlers);
    }

    Point GameButtonCentre(int i) const {
        const Point g = canvas_.layout().ptGameBut;
        return {g.x + 62 * i + 27, g.y + 17};
    }

    std::vector<Call> calls_;
};

TEST_F(GameAreaTest, WidgetShowsTheTableWithItsOverlays) {
    const ScriptedTable table = MidHand();
    auto widget = MakeWidget();
    canvas_.SetSources(table.Sources());
    widget->resize(kArea.width, kArea.height);
    widget->show();
    QCoreApplication::processEvents();
    canvas_.PaintTable();
    canvas_.ShowNewestDiscard(3, 15);
    const QImage shown = widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown, canvas_.ComposeFrame().convertToFormat(QImage::Format_RGB32));
}

// The chair whose turn it is has its name plate lit; the mark moves from
// seat to seat and goes without a trace.
TEST_F(GameAreaTest, TurnHighlightLightsTheNamePlateAndMovesFromSeatToSeat) {
    const ScriptedTable table = MidHand();
    auto widget = MakeWidget();
    canvas_.SetSources(table.Sources());
    widget->resize(kArea.width, kArea.height);
    widget->show();
    QCoreApplication::processEvents();
    canvas_.PaintTable();
    const QImage unlit = canvas_.picture().copy();

    canvas_.ShowTurnHighlight(1);  // Alice, on the right
    const QImage shown = widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ExpectMatchesGolden(shown, "turn_highlight");
    const QRect left = canvas_.NamePlateRect(1);
    ASSERT_FALSE(left.isEmpty());
    EXPECT_EQ(At(shown, {left.left(), left.bottom()}), QColor(255, 204, 51)) << "the plate is lit";

    canvas_.ShowTurnHighlight(2);  // on to the top seat
    EXPECT_EQ(canvas_.picture().copy(left), unlit.copy(left)) << "the left plate is unlit again";
    const QRect top = canvas_.NamePlateRect(2);
    EXPECT_EQ(At(canvas_.picture(), {top.left(), top.top()}), QColor(255, 204, 51));

    canvas_.PaintTable();
    EXPECT_EQ(At(canvas_.picture(), {top.left(), top.top()}), QColor(255, 204, 51))
        << "a full repaint keeps the mark";
    canvas_.ClearTurnHighlight();
    EXPECT_EQ(canvas_.picture(), unlit);
}

TEST_F(GameAreaTest, MovingBetweenCentreButtonsHighlightsOnlyTheNewOne) {
    ScriptedTable table = BetweenHands();
    table.table.bytBetButtonStates = {1, 1, 1};
    Paint(table);
    auto widget = MakeWidget();
    widget->HandleMouseMove(GameButtonCentre(0));
    EXPECT_EQ(canvas_.GameButtonState(0), 2);
    widget->HandleMouseMove(GameButtonCentre(1));
    EXPECT_EQ(canvas_.GameButtonState(0), 1);
    EXPECT_EQ(canvas_.GameButtonState(1), 2);
    widget->HandleMouseUp(GameButtonCentre(1), play::MouseButton::Left);
    EXPECT_EQ(calls_, (std::vector<Call>{{"game", 1}}));
    widget->HandleMouseMove({5, 5});
    EXPECT_EQ(canvas_.GameButtonState(1), 1);
}

TEST_F(GameAreaTest, ChosenButtonsStayAsTheyAreUnderTheMouse) {
    ScriptedTable table = BetweenHands();
    table.table.bytBetButtonStates = {3, 1, 1};
    Paint(table);
    auto widget = MakeWidget();
    widget->HandleMouseMove(GameButtonCentre(0));
    EXPECT_EQ(canvas_.GameButtonState(0), 3);
    widget->HandleMouseUp(GameButtonCentre(0), play::MouseButton::Left);
    EXPECT_TRUE(calls_.empty()) << "only a highlighted button is clicked";
}

TEST_F(GameAreaTest, ReleaseOutsideEveryTargetHandsNothingOver) {
    const ScriptedTable table = BetweenHands();
    Paint(table);
    auto widget = MakeWidget();
    widget->HandleMouseMove({20, 300});
    widget->HandleMouseUp({20, 300}, play::MouseButton::Left);
    EXPECT_TRUE(calls_.empty());
}

TEST_F(GameAreaTest, StartButtonHighlightsThenStarts) {
    const ScriptedTable table = BetweenHands();
    Paint(table);
    auto widget = MakeWidget();
    const Point start = canvas_.layout().ptStartBut;
    const Point inside{start.x + 35, start.y + 35};
    widget->HandleMouseUp(inside, play::MouseButton::Left);
    EXPECT_TRUE(calls_.empty()) << "not highlighted yet";
    widget->HandleMouseMove(inside);
    EXPECT_EQ(canvas_.StartButtonState(), 2);
    widget->HandleMouseUp(inside, play::MouseButton::Left);
    EXPECT_EQ(calls_, (std::vector<Call>{{"start", 0}}));
    widget->HandleMouseMove({start.x - 5, start.y});
    EXPECT_EQ(canvas_.StartButtonState(), 1);
}

TEST_F(GameAreaTest, HandTileUnderTheMouseIsRaisedAndClicked) {
    const ScriptedTable table = StartOfHand();
    Paint(table);
    auto widget = MakeWidget();
    const Point hand = canvas_.layout().ptShouPai[2];
    widget->HandleMouseMove({hand.x + 44 * 4 + 10, hand.y + 30});
    EXPECT_EQ(canvas_.lngRaisedPai(), 5);
    widget->HandleMouseUp({hand.x + 44 * 4 + 10, hand.y + 30}, play::MouseButton::Right);
    EXPECT_EQ(calls_, (std::vector<Call>{{"tile", 5}}));
    widget->HandleMouseMove({hand.x, hand.y - 40});
    EXPECT_EQ(canvas_.lngRaisedPai(), -1);
}

TEST_F(GameAreaTest, ActionButtonsAreHandedOverWhateverTheirFlags) {
    const ScriptedTable table = StartOfHand();
    Paint(table);
    auto widget = MakeWidget();
    const Point bar = canvas_.layout().ptActionBar;
    widget->HandleMouseUp({bar.x + 80, bar.y + 10}, play::MouseButton::Left);
    EXPECT_EQ(calls_, (std::vector<Call>{{"action", 3}}));
}

// --- the discard animation over a table that changes meanwhile ---

TEST_F(TableCanvasTest, TableChangedDuringADiscardAnimationShowsItsNewStateAfterwards) {
    ScriptedTable table = MidHand();
    Paint(table);
    TableDisplay display(canvas_, table.globals.strAppPath, table.globals.strParentPath, {});
    // A message handled while the discard grows: the top seat (chair 2) melds.
    QTimer::singleShot(0, [&] {
        table.table.Seats[2].Melds.push_back({rules::MeldKind::Pung, 30, 1});
        canvas_.PaintHands(2);
    });
    display.PlayDiscardAnimation(0, play::ActionCode::Discard, 12);
    const QImage shown = canvas_.picture().copy();
    canvas_.PaintTable();
    EXPECT_EQ(shown, canvas_.picture()) << "the animation must not restore the old table";
}

// --- the dice ---

class DiceTest : public TableCanvasTest {
protected:
    std::unique_ptr<TableDisplay> MakeDisplay(const ScriptedTable& table) {
        TableDisplay::Hooks hooks;
        hooks.wait = [this](int ms) {
            waits_.push_back(ms);
            if (canvas_.DieVisible()) shownWhileWaiting_ += 1;
        };
        hooks.random = [](int low, int) { return low; };
        return std::make_unique<TableDisplay>(canvas_, table.globals.strAppPath,
                                              table.globals.strParentPath, hooks);
    }
    std::vector<int> waits_;
    int shownWhileWaiting_ = 0;
};

TEST_F(DiceTest, OnlyValuesOneToSixRoll) {
    const ScriptedTable table = StartOfHand();
    Paint(table);
    auto display = MakeDisplay(table);
    display->RollDice(0);
    display->RollDice(7);
    EXPECT_TRUE(waits_.empty());
    EXPECT_FALSE(canvas_.DieVisible());
}

TEST_F(DiceTest, TumblesFiveTimesThenShowsTheValueForTwoSeconds) {
    const ScriptedTable table = StartOfHand();
    Paint(table);
    auto display = MakeDisplay(table);
    display->RollDice(4);
    ASSERT_EQ(waits_.size(), 11u);
    EXPECT_EQ(waits_.front(), 50);
    EXPECT_EQ(waits_[1], 80);
    EXPECT_EQ(waits_.back(), 2000);
    EXPECT_EQ(shownWhileWaiting_, 11);
    EXPECT_FALSE(canvas_.DieVisible()) << "hidden at the end";
    EXPECT_EQ(canvas_.DieRect(), QRect((kArea.width - 32) / 2, (kArea.height - 32) / 2, 32, 32));
}

TEST_F(DiceTest, MissingPicturesSkipTheirWaits) {
    ScriptedTable table = StartOfHand();
    table.globals.strParentPath = "/nonexistent/";
    Paint(table);
    auto display = MakeDisplay(table);
    display->RollDice(2);
    EXPECT_TRUE(waits_.empty());
}

TEST(SideNames, BreakAfterEightColumns) {
    EXPECT_EQ(BreakSideName("西门吹雪大侠"), (std::vector<QString>{"西门吹雪", "大侠"}));
    EXPECT_EQ(BreakSideName("Alice"), (std::vector<QString>{"Alice"}));
    EXPECT_EQ(BreakSideName("abcdefghij"), (std::vector<QString>{"abcdefgh", "ij"}));
    EXPECT_EQ(BreakSideName("abc西门吹"), (std::vector<QString>{"abc西门吹"}))
        << "3 + 6 = 9: the line closes after the count reaches 8";
    EXPECT_TRUE(BreakSideName("").empty());
}

}  // namespace
}  // namespace qira::render
