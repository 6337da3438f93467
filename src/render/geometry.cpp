#include "render/geometry.h"

#include <algorithm>
#include <utility>

namespace qira::render {
namespace {

constexpr std::int32_t kWallStacks = 17;
constexpr std::int32_t kHandTiles = 13;
constexpr std::int32_t kDiscardRow = 16;     // up and down rows
constexpr std::int32_t kDiscardColumn = 10;  // left and right columns
constexpr std::int32_t kDrawnTileGap = 5;
constexpr std::int32_t kRaisedTileLift = 10;  // a local hand tile under the mouse

constexpr std::size_t kUp = 0;
constexpr std::size_t kLeft = 1;
constexpr std::size_t kDown = 2;
constexpr std::size_t kRight = 3;

Point Offset(Point p, std::int32_t dx, std::int32_t dy) {
    return {p.x + dx, p.y + dy};
}

std::size_t Index(int position) {
    return static_cast<std::size_t>(position & 3);
}

void PlaceSeatMarks(TableLayout& t) {
    const std::int32_t W = t.area.width;
    const std::int32_t H = t.area.height;
    auto& P = t.ptUserPic;
    P[kUp] = {(W - 32) / 2, 8};
    P[kLeft] = {8, (H - 32) / 2 - 50};
    P[kDown] = {P[kUp].x, H - 40};
    P[kRight] = {W - 45, P[kLeft].y};

    t.ptUserName = {Offset(P[kUp], 35, 8), Offset(P[kLeft], 0, 35), Offset(P[kDown], 35, 8),
                    Offset(P[kRight], -10, 35)};
    const auto& NB = t.ptNetBreak = {Offset(P[kUp], -40, 0), Offset(P[kLeft], 0, -40),
                                     Offset(P[kDown], -40, 0), Offset(P[kRight], 0, -40)};
    t.ptHandUp = {Offset(P[kUp], 0, 100), Offset(P[kLeft], 120, 0), Offset(P[kDown], 0, -45),
                  Offset(P[kRight], -130, 0)};
    const auto& Z = t.ptZhuang = {Offset(NB[kUp], -40, 0), Offset(NB[kLeft], 0, -40),
                                  Offset(NB[kDown], -40, 0), Offset(NB[kRight], 0, -40)};
    t.ptTing = {Offset(Z[kUp], -80, 12), Offset(P[kLeft], 12, 80), Offset(Z[kDown], -80, 12),
                Offset(P[kRight], 12, 80)};
}

void PlaceTileRings(TableLayout& t) {
    const std::int32_t W = t.area.width;
    const auto& P = t.ptUserPic;
    const std::int32_t ex = t.lngExtraX;
    const std::int32_t ey = t.lngExtraY;
    const std::int32_t ex10 = t.lngExtraX10;

    auto& S = t.ptShouPai;
    S[kUp] = {(W - kHandTiles * 27) / 2, P[kUp].y + ey + 32};
    S[kLeft] = {P[kLeft].x + ex + 32, S[kUp].y + 43 + ey + 33 - 20};
    S[kDown] = {(W - kHandTiles * 44) / 2, P[kDown].y - ey - 70};
    S[kRight] = {P[kRight].x - ex - 31, S[kLeft].y};

    auto& WL = t.ptWallPai;
    WL[kUp] = {(W - kWallStacks * 22) / 2, S[kUp].y + 43 + ey};
    WL[kLeft] = {S[kLeft].x + 31 + ex10, WL[kUp].y + 33 + 7 + ey};
    WL[kDown] = {(W - kWallStacks * 22) / 2, S[kDown].y - ey - 10 - 7 - 33};
    WL[kRight] = {S[kRight].x - 29 - ex10, WL[kLeft].y};

    auto& O = t.ptOutPai;
    O[kUp] = {W - (W - kDiscardRow * 22) / 2 - 22, WL[kUp].y + 33 + 7 + 5};
    O[kDown] = {(W - kDiscardRow * 22) / 2, WL[kDown].y - 35 - 5};
    O[kLeft] = {WL[kLeft].x + 29 + 10,
                O[kUp].y + ((O[kDown].y + 35 - O[kUp].y) - kDiscardColumn * 18) / 2};
    O[kRight] = {WL[kRight].x - 10 - 31, O[kLeft].y + 9 * 18};

    t.ptMoPai = {Offset(S[kUp], -27 - 10, 0), Offset(S[kLeft], 0, 12 * 23 + 43), Point{},
                 Offset(S[kRight], 0, -43)};
    // In a low window the left seat's drawn tile would reach into the local
    // row (a raised tile, a kong's lifted fourth tile): it moves up, at most
    // to where a fourteenth tile of its column would stand.
    const std::int32_t rowTop = S[kDown].y - kRaisedTileLift;
    const std::int32_t intrusion = t.ptMoPai[kLeft].y + szShouPai[kLeft].height - rowTop;
    t.ptMoPai[kLeft].y -= std::clamp(intrusion, 0, lngShouOverlap[kLeft]);
    t.ptAviStart = {
        Point{P[kUp].x + 16, S[kUp].y + 43 / 2}, Point{31 / 2 + S[kLeft].x, P[kLeft].y + 16},
        Point{P[kDown].x + 16, S[kDown].y - 20}, Point{31 / 2 + S[kRight].x, P[kRight].y + 16}};
}

constexpr std::int32_t kActionBarWidth = 5 * kActionButtonWidth;

// The bar stands above the right end of the local hand, right of the down
// wall (whose last stack it would cover) with the wall's erased margin
// between them. In a low window the right seat's column reaches down to it:
// the column rises until its erased rectangle ends a row above the bar.
void PlaceActionBar(TableLayout& t) {
    const Point hand = t.ptShouPai[kDown];
    const std::int32_t wallEnd =
        WallEraseOrigin(t, kDown).x + WallEraseSize(kDown).width + 1;  // EraseRect's extra column
    t.ptActionBar = {std::max(hand.x + 14 * 44 - 150, wallEnd), hand.y - 42};

    const Point column = HandEraseOrigin(t, kRight);
    const Size columnSize = HandEraseSize(t, kRight);
    const bool above = column.x < t.ptActionBar.x + kActionBarWidth &&
                       column.x + columnSize.width >= t.ptActionBar.x;
    if (!above) return;
    const std::int32_t foot = column.y + columnSize.height;  // the last erased row
    const std::int32_t lift = std::max(0, foot - (t.ptActionBar.y - 2));
    t.ptShouPai[kRight].y -= lift;
    t.ptMoPai[kRight].y -= lift;
}

// True when two rectangles share a pixel; `size` as EraseRect takes it, one
// short of the pixels filled, for the second.
bool MeetsErased(Point at, Size size, Point erased, Size erasedSize) {
    return at.x <= erased.x + erasedSize.width && erased.x < at.x + size.width &&
           at.y <= erased.y + erasedSize.height && erased.y < at.y + size.height;
}

// The countdown of a claim stands above the bar's left end, or above its
// right end where the left one would cover the right seat's wall or column.
void PlaceClaimClock(TableLayout& t) {
    const Point bar = t.ptActionBar;
    const Point left = {bar.x, bar.y - 28};
    const Point right = {bar.x + kActionBarWidth - kTurnClockSize.width, left.y};
    const bool covers =
        MeetsErased(left, kTurnClockSize, WallEraseOrigin(t, kRight), WallEraseSize(kRight)) ||
        MeetsErased(left, kTurnClockSize, HandEraseOrigin(t, kRight), HandEraseSize(t, kRight));
    t.ptClockCentre = covers ? right : left;
}

void PlaceControls(TableLayout& t) {
    const std::int32_t W = t.area.width;
    const std::int32_t H = t.area.height;
    const auto& P = t.ptUserPic;
    const auto& N = t.ptUserName;
    const auto& Z = t.ptZhuang;
    const auto& T = t.ptTing;
    PlaceActionBar(t);
    t.ptClock = {Point{N[kUp].x + 80, P[kUp].y + 2}, Point{P[kLeft].x, Z[kLeft].y - 28},
                 Point{N[kDown].x + 80, P[kDown].y}, Point{P[kRight].x - 21, Z[kRight].y - 28}};
    PlaceClaimClock(t);
    t.ptGameBut = {(W - 178) / 2, (H - 35) / 2};
    t.ptStartBut = {P[kDown].x + 180, P[kDown].y - 39};
    // The right flag shares the left mark's row, as the two side seats face each other.
    t.ptBetFlag = {Point{T[kUp].x + 21, P[kUp].y}, Point{P[kLeft].x, T[kLeft].y},
                   Point{T[kDown].x + 21, P[kDown].y - 1}, Point{P[kRight].x, T[kLeft].y}};
}

}  // namespace

std::int32_t MinGameWidth() {
    return 40 + szLiangPai[kLeft].width + szWallPai[kLeft].width +
           kWallStacks * szWallPai[kUp].width + szWallPai[kRight].width + szLiangPai[kRight].width +
           32 + 8;
}

std::int32_t MinGameHeight() {
    return 40 + szShouPai[kUp].height + szWallPai[kUp].height +
           kWallStacks * (szWallPai[kLeft].height - lngWallLift[kLeft]) + 2 * lngWallLift[kLeft] +
           lngWallLift[kLeft] + szWallPai[kDown].height + szShouPai[kDown].height + 10 + 32 + 8;
}

Size FitGameArea(Size frameInner) {
    return {std::max(frameInner.width, MinGameWidth()),
            std::max(frameInner.height, MinGameHeight())};
}

Point TableLayout::CentreOrigin() const {
    return {(area.width - lngCentreWidth) / 2, (area.height - lngCentreHeight) / 2};
}

TableLayout ComputeTableLayout(Size gameArea, Size windowInner) {
    TableLayout t;
    t.area = gameArea;
    t.lngExtraX = std::max(0, (windowInner.width - MinGameWidth()) / 6);
    t.lngExtraY = std::max(0, (windowInner.height - MinGameHeight()) / 6);
    t.lngExtraX10 = std::min(t.lngExtraX, 10);
    PlaceSeatMarks(t);
    PlaceTileRings(t);
    PlaceControls(t);
    return t;
}

bool LeftDrawnTileLifted(const TableLayout& layout) {
    return layout.ptMoPai[kLeft].y < layout.ptShouPai[kLeft].y + 12 * 23 + 43;
}

Point ClockPlace(const TableLayout& layout, int screenPosition) {
    if (screenPosition < 0 || screenPosition > 3) return layout.ptClockCentre;
    return layout.ptClock[static_cast<std::size_t>(screenPosition)];
}

namespace {

constexpr std::int32_t kMeldWidth = 3 * 44;
constexpr std::int32_t kMeldGap = 20;   // between melds, and between the melds and the hand
constexpr std::int32_t kTableEdge = 8;  // the table's painted border
constexpr std::int32_t kMeldDrop = 10;  // the local melds stand this much below the hand

bool HoldsDrawnTile(int handCount, int meldCount) {
    return handCount + 3 * meldCount >= 14;
}

// The widest the hand gets with `meldCount` melds: a drawn tile, 5 pixels apart.
std::int32_t FullHandWidth(int meldCount) {
    return 44 * std::max(0, kHandTiles + 1 - 3 * meldCount) + kDrawnTileGap;
}

std::int32_t HandLeft(const TableLayout& layout, int meldCount) {
    return LocalRowPlaces(layout, meldCount).handLeft;
}

}  // namespace

LocalRow LocalRowPlaces(const TableLayout& layout, int meldCount) {
    const int m = std::max(0, meldCount);
    const std::int32_t W = layout.area.width;
    const std::int32_t anchor = layout.ptShouPai[kDown].x;
    // Laid out for the widest row, four melds and two tiles, so that a meld
    // once made never moves: nothing of it (a kong's arrow above the hand)
    // is left behind when the next one comes.
    constexpr int kMostMelds = 4;
    const std::int32_t tiles = kMeldWidth * kMostMelds + FullHandWidth(kMostMelds);
    std::int32_t gap = kMeldGap;
    std::int32_t left = anchor - 5 * kMostMelds;
    if (left + tiles + gap * kMostMelds > W - kTableEdge) {
        const std::int32_t room = W - 2 * kTableEdge;
        gap = std::clamp((room - tiles) / kMostMelds, 0, kMeldGap);
        left = (W - tiles - gap * kMostMelds) / 2;
    }
    const std::int32_t step = kMeldWidth + gap;
    if (m == 0) return {left, step, std::min(anchor, W - kTableEdge - FullHandWidth(0))};
    return {left, step, left + step * m};
}

std::int32_t LocalHandTileX(const TableLayout& layout, int index, int handCount, int meldCount) {
    std::int32_t x = HandLeft(layout, meldCount) + 44 * (index - 1);
    if (index == handCount && HoldsDrawnTile(handCount, meldCount)) x += kDrawnTileGap;
    return x;
}

int HitHandTile(const TableLayout& layout, Point point, int handCount, int meldCount) {
    if (handCount <= 0) return -1;
    const std::int32_t left = HandLeft(layout, meldCount);
    std::int32_t right = left + 44 * handCount;
    if (HoldsDrawnTile(handCount, meldCount)) right += kDrawnTileGap;
    const std::int32_t top = layout.ptShouPai[kDown].y;
    const std::int32_t bottom = top + 70;
    if (point.x < left || point.x > right || point.y < top || point.y > bottom) return -1;
    return std::min((point.x - left) / 44 + 1, handCount);
}

int HitActionBar(const TableLayout& layout, Point point) {
    const Point bar = layout.ptActionBar;
    if (point.x < bar.x || point.x >= bar.x + 5 * kActionButtonWidth) return -1;
    if (point.y < bar.y || point.y > bar.y + kActionButtonHeight) return -1;
    return (point.x - bar.x) / kActionButtonWidth;
}

int HitGameButton(const TableLayout& layout, Point point,
                  const std::array<std::uint8_t, 3>& states) {
    if (states[0] == 0) return -1;
    const Point first = layout.ptGameBut;
    if (point.y <= first.y || point.y >= first.y + kGameButtonSize.height) return -1;
    for (int i = 0; i < 3; ++i) {
        const std::int32_t left = first.x + kGameButtonSpacing * i;
        if (point.x > left && point.x < left + kGameButtonSize.width) return i;
    }
    return -1;
}

int HitStartButton(const TableLayout& layout, Point point, std::uint8_t state) {
    if (state == 0) return -1;
    const Point at = layout.ptStartBut;
    const bool inside = point.x > at.x && point.x < at.x + kStartButtonSide && point.y > at.y &&
                        point.y < at.y + kStartButtonSide;
    return inside ? 0 : -1;
}

std::optional<DiscardSlot> DiscardPlace(const TableLayout& layout, int position, int index) {
    if (index < 0) return std::nullopt;
    const std::size_t p = Index(position);
    const bool rows = p == kUp || p == kDown;
    std::int32_t lineLength = rows ? kDiscardRow : kDiscardColumn;
    int line = 0;
    int rest = index;
    while (rest >= lineLength) {
        rest -= lineLength;
        lineLength -= 2;
        ++line;
        if (lineLength < 1) return std::nullopt;
    }
    const Point origin = layout.ptOutPai[p];
    const Size size = szOutPai[p];
    DiscardSlot slot{{}, size};
    switch (p) {
        case kUp:
            slot.at = {origin.x - 22 * line - 22 * rest, origin.y + 27 * line};
            break;
        case kLeft:
            slot.at = {origin.x + 31 * line, origin.y + 18 * line + 18 * rest};
            break;
        case kDown:
            slot.at = {origin.x + 22 * line + 22 * rest, origin.y - 27 * line};
            if (line > 0) slot.visible.height = 27;
            break;
        default:
            slot.at = {origin.x - 31 * line, origin.y - 18 * line - 18 * rest};
            if (rest > 0) slot.visible.height = 18;
            break;
    }
    return slot;
}

std::vector<Point> WallTilePlaces(const TableLayout& layout, int position, int first, int last) {
    std::vector<Point> places;
    if (last < first) return places;
    const std::size_t p = Index(position);
    if (p == kDown || p == kLeft) {
        const int mirroredFirst = 33 - last;
        last = 33 - first;
        first = mirroredFirst;
    }
    const bool alongX = p == kUp || p == kDown;
    const std::int32_t step = alongX ? 22 : 22 - lngWallLift[p];
    const Point origin = layout.ptWallPai[p];
    for (int stack = first / 2; stack <= last / 2; ++stack) {
        const Point upper =
            alongX ? Offset(origin, step * stack, 0) : Offset(origin, 0, step * stack);
        const bool lowerOnly =
            (stack == first / 2 && first % 2 == 1) || (stack == last / 2 && last % 2 == 0);
        places.push_back(Offset(upper, 0, lngWallLift[p]));
        if (!lowerOnly) places.push_back(upper);
    }
    return places;
}

Point WallEraseOrigin(const TableLayout& layout, int position) {
    return Offset(layout.ptWallPai[Index(position)], -1, -1);
}

Size WallEraseSize(int position) {
    const std::size_t p = Index(position);
    if (p == kUp || p == kDown) return {kWallStacks * 22 + 2, 33 + 7 + 2};
    return {29 + 2, kWallStacks * 15 + 7 + 2};
}

Point MeldOrigin(const TableLayout& layout, int position, int index, int meldCount) {
    const std::size_t p = Index(position);
    const Point S = layout.ptShouPai[p];
    const int concealed = kHandTiles - 3 * meldCount;
    const int fromLast = meldCount - 1 - index;  // up and right draw the last made first
    switch (p) {
        case kUp:
            return {S.x + concealed * 27 + 15 + 81 * fromLast, S.y + (43 - 35)};
        case kLeft:
            return {S.x, S.y + 69 * index};
        case kDown: {
            const LocalRow row = LocalRowPlaces(layout, meldCount);
            return {row.meldLeft + row.meldStep * index, S.y + kMeldDrop};
        }
        default:
            return {S.x, S.y + 23 * concealed + 20 + 69 * fromLast};
    }
}

std::vector<Point> MeldTilePlaces(int position, bool kong, Point o) {
    std::vector<Point> places;
    switch (Index(position)) {
        case kUp:
            places = {Offset(o, 44, 0), Offset(o, 22, 0), o};
            if (kong) places.push_back(Offset(o, 22, -lngKongLift[kUp]));
            break;
        case kDown:
            places = {o, Offset(o, 44, 0), Offset(o, 88, 0)};
            if (kong) places.push_back(Offset(o, 44, -lngKongLift[kDown]));
            break;
        default:  // the side seats step 27 - 7 down the column
            places = {o, Offset(o, 0, 20), Offset(o, 0, 40)};
            if (kong) places.push_back(Offset(o, 0, 13));
            break;
    }
    return places;
}

Point MeldArrowPlace(int position, bool kong, Point o) {
    switch (Index(position)) {
        case kUp:
            return Offset(o, 28, 35);
        case kLeft:
            return Offset(o, -9, 25);
        case kDown:
            // A kong's lifted tile fills the middle up to the down wall in a
            // low window: its arrow stands over the third tile instead.
            return Offset(o, kong ? 88 + 17 : 61, -9);
        default:
            return Offset(o, 31, 25);
    }
}

std::vector<Point> HandBackPlaces(const TableLayout& layout, int position, int meldCount) {
    const std::size_t p = Index(position);
    const Point S = layout.ptShouPai[p];
    const int concealed = std::max(0, kHandTiles - 3 * meldCount);
    std::vector<Point> places;
    for (int i = 0; i < concealed; ++i) {
        switch (p) {
            case kUp:
                places.push_back(Offset(S, 27 * i, 0));
                break;
            case kLeft:
                places.push_back(Offset(S, 0, 69 * meldCount + 23 * i));
                break;
            case kRight:
                places.push_back(Offset(S, 0, 23 * i));
                break;
            default:
                break;
        }
    }
    return places;
}

namespace {

// From the leftmost meld to the end of the fullest hand, over every count of melds.
std::pair<std::int32_t, std::int32_t> LocalRowSpan(const TableLayout& layout) {
    std::int32_t left = layout.area.width;
    std::int32_t right = 0;
    for (int melds = 0; melds <= 4; ++melds) {
        const LocalRow row = LocalRowPlaces(layout, melds);
        left = std::min(left, row.meldLeft);
        right = std::max(right, row.handLeft + FullHandWidth(melds));
    }
    return {left, right};
}

}  // namespace

Point HandEraseOrigin(const TableLayout& layout, int position) {
    const std::size_t p = Index(position);
    if (p == kDown) return {LocalRowSpan(layout).first, layout.ptShouPai[p].y - kRaisedTileLift};
    return Offset(layout.ptShouPai[p], -1, -1);
}

Size HandEraseSize(const TableLayout& layout, int position) {
    switch (Index(position)) {
        case kUp:
            return {kHandTiles * 27 + 2, 43 + 2};
        case kDown: {
            // Down to the melds' bottom, but above the bet flag and the
            // portrait, which the melds reach into when the window is low. The
            // far corners are erased too: the width stops one short of the row.
            const auto [left, right] = LocalRowSpan(layout);
            const std::int32_t top = layout.ptShouPai[kDown].y - kRaisedTileLift;
            const std::int32_t bottom =
                std::min(layout.ptShouPai[kDown].y + kMeldDrop + szLiangPai[kDown].height - 1,
                         layout.ptBetFlag[kDown].y - 1);
            return {right - left - 1, bottom - top};
        }
        default:
            return {31 + 2, 23 * kHandTiles + 20 + 2};
    }
}

}  // namespace qira::render
