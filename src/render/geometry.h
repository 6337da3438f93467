#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

// The table's geometry in pixels of the game area: tile sizes, the anchor
// tables every painter steps from, and the pure layouts built on them (hit
// tests of the local hand and the buttons, discard blocks, wall segments,
// melds). Every table is indexed by screen position: 0 up, 1 left, 2 down
// (the local or watched player), 3 right. Divisions truncate toward zero.
namespace qira::render {

struct Point {
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    std::int32_t width = 0;
    std::int32_t height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

using PerPosition = std::array<Point, 4>;

inline constexpr std::array<Size, 4> szShouPai = {{{27, 43}, {20, 43}, {44, 70}, {20, 43}}};
inline constexpr std::array<Size, 4> szLiangPai = {{{22, 35}, {31, 27}, {44, 66}, {31, 27}}};
inline constexpr std::array<Size, 4> szOutPai = {{{22, 35}, {31, 27}, {22, 35}, {31, 27}}};
inline constexpr std::array<Size, 4> szWallPai = {{{22, 33}, {29, 22}, {22, 33}, {29, 22}}};
inline constexpr std::array<std::int32_t, 4> lngShouOverlap = {0, 20, 0, 20};
inline constexpr std::array<std::int32_t, 4> lngKongLift = {8, 7, 17, 7};
inline constexpr std::array<std::int32_t, 4> lngOutOverlap = {8, 9, 8, 9};
inline constexpr std::array<std::int32_t, 4> lngWallLift = {7, 7, 7, 7};
inline constexpr std::int32_t lngCentreWidth = 300;
inline constexpr std::int32_t lngCentreHeight = 230;

// 574 x 545: the smallest game area that holds the table.
std::int32_t MinGameWidth();
std::int32_t MinGameHeight();

// The game area's size for a frame of `frameInner`: never below the minimum,
// so a small frame clips the table rather than shrinking it.
Size FitGameArea(Size frameInner);

struct TableLayout {
    Size area;  // the game area's inner size (W x H)
    std::int32_t lngExtraX = 0;
    std::int32_t lngExtraY = 0;
    std::int32_t lngExtraX10 = 0;

    PerPosition ptUserPic;
    PerPosition ptUserName;
    PerPosition ptNetBreak;
    PerPosition ptHandUp;
    PerPosition ptZhuang;
    PerPosition ptTing;
    PerPosition ptShouPai;
    PerPosition ptWallPai;
    PerPosition ptOutPai;
    PerPosition ptMoPai;  // the down position's entry is not used; see LeftDrawnTileLifted
    PerPosition ptAviStart;
    PerPosition ptClock;
    PerPosition ptBetFlag;
    Point ptActionBar;
    Point ptClockCentre;
    Point ptGameBut;
    Point ptStartBut;

    // Top-left of the centre picture.
    Point CentreOrigin() const;
};

// Every anchor for a game area of `gameArea`; the spare room spread between
// the rings comes from the main window's inner size `windowInner`.
TableLayout ComputeTableLayout(Size gameArea, Size windowInner);

// True when the left seat's drawn tile stands higher than usual, over the
// foot of its column, to keep clear of the local row in a low window.
bool LeftDrawnTileLifted(const TableLayout& layout);

// Where the turn clock stands: the seat's place for a chair's screen position
// 0-3, the centre place for anything else (the claim window).
Point ClockPlace(const TableLayout& layout, int screenPosition);

// --- the local hand ---------------------------------------------------------

// The local seat's melds (in the order made) and its concealed hand share one
// row in which no tile covers another. The melds start 20 pixels left of the
// hand's anchor and stand 20 apart, the hand 20 after them; where the widest
// row (four melds and two tiles) would pass the table's right edge, it is
// centred and the gaps shrink as needed. A hand without melds keeps its anchor
// as long as it fits.
struct LocalRow {
    std::int32_t meldLeft = 0;  // x of the first meld
    std::int32_t meldStep = 0;  // from one meld to the next
    std::int32_t handLeft = 0;  // x of the first hand tile
};
LocalRow LocalRowPlaces(const TableLayout& layout, int meldCount);

// x of hand tile `index` (1-based) lying in its place; the drawn tile of a
// full hand stands 5 pixels apart.
std::int32_t LocalHandTileX(const TableLayout& layout, int index, int handCount, int meldCount);

// The hand tile (1-based) under a point, or -1. Edges belong to the hand and
// the gap before a drawn tile to the tile before it.
int HitHandTile(const TableLayout& layout, Point point, int handCount, int meldCount);

// --- buttons ----------------------------------------------------------------

inline constexpr std::int32_t kActionButtonWidth = 25;
inline constexpr std::int32_t kActionButtonHeight = 27;
inline constexpr Size kGameButtonSize = {54, 35};
inline constexpr std::int32_t kGameButtonSpacing = 62;
inline constexpr std::int32_t kStartButtonSide = 71;
// The turn clock's widget.
inline constexpr Size kTurnClockSize = {40, 26};

int HitActionBar(const TableLayout& layout, Point point);
// Only while the first button is shown (`states[0]` non-zero).
int HitGameButton(const TableLayout& layout, Point point,
                  const std::array<std::uint8_t, 3>& states);
int HitStartButton(const TableLayout& layout, Point point, std::uint8_t state);

// --- discards -----------------------------------------------------------------

struct DiscardSlot {
    Point at;      // top-left of the tile picture
    Size visible;  // the part drawn: the whole tile or its top, behind nearer tiles
};

// Where discard `index` (0-based, oldest first) of a screen position lies in
// its tapering block, or nothing once the block is full.
std::optional<DiscardSlot> DiscardPlace(const TableLayout& layout, int position, int index);

// --- walls --------------------------------------------------------------------

// The tiles of a wall segment holding positions first..last (0-33), in drawing
// order: each stack's lower tile, then its upper tile.
std::vector<Point> WallTilePlaces(const TableLayout& layout, int position, int first, int last);

// The rectangle erased before a wall segment is repainted.
Point WallEraseOrigin(const TableLayout& layout, int position);
Size WallEraseSize(int position);

// --- hands and melds of a seat ------------------------------------------------

// Top-left of meld `index` (0-based, in the order made) of a seat with
// `meldCount` melds.
Point MeldOrigin(const TableLayout& layout, int position, int index, int meldCount);

// The three tiles of a meld at `origin`, then the kong's fourth on top.
std::vector<Point> MeldTilePlaces(int position, bool kong, Point origin);

// Top-left of the 9 x 9 arrow beside a meld at `origin`.
Point MeldArrowPlace(int position, bool kong, Point origin);

// Where an opponent's concealed backs go, 13 - 3 x meldCount of them.
std::vector<Point> HandBackPlaces(const TableLayout& layout, int position, int meldCount);

// The rectangle erased before a seat's hand and melds are repainted. The
// local seat's covers its row for any number of melds, a raised tile and the
// kong's lifted fourth tile.
Point HandEraseOrigin(const TableLayout& layout, int position);
Size HandEraseSize(const TableLayout& layout, int position);

}  // namespace qira::render
