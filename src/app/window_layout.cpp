#include "app/window_layout.h"

#include <algorithm>

namespace qira::app {

int InitialSplitX(int screenWidth) {
    return screenWidth > 1000 ? screenWidth * 3 / 4 + 24 : screenWidth * 5 / 6;
}

int InitialListSplit(int screenHeight) {
    return screenHeight / 3;
}

int ClampSplitX(int x, int innerWidth) {
    return std::max(std::min(x, innerWidth - kMinRightColumn), kMinSplitX);
}

int ClampListSplit(int top, int innerHeight) {
    return std::max(std::min(top, innerHeight - kAdvPaneHeight - 100), 200);
}

int ClampChatSplit(int top, int innerHeight) {
    return std::max(std::min(top, innerHeight - 100), 382);
}

int ListSplitForChatSplit(int chatSplitTop) {
    return chatSplitTop - kAdvPaneHeight - kHSplitterHeight;
}

Point EnforceMinimumSize(Point size) {
    return {std::max(size.x, kMinWindowWidth), std::max(size.y, kMinWindowHeight)};
}

int CollapsedSplitX(int innerWidth) {
    return innerWidth - kSplitterWidth - kSplitterGap;
}

WindowLayout ComputeWindowLayout(int innerWidth, int innerHeight, int splitX, int listSplit) {
    WindowLayout layout;
    layout.splitX = std::max(splitX, kMinSplitX);
    if (innerHeight - 4 > 0) layout.splitter = Box{layout.splitX, 0, kSplitterWidth, innerHeight};
    layout.gameFrame = {0, 0, layout.splitX, innerHeight};

    const int left = layout.splitX + kSplitterWidth + kSplitterGap;
    const int width = innerWidth - layout.splitX - kSplitterWidth - kSplitterGap - kRightMargin;
    if (width < kSplitterWidth) return layout;

    RightColumn column;
    column.userList = {left, kUserListTop, width, std::max(listSplit - kUserListTop, 0)};
    column.listSplitter = {left, listSplit, width, kHSplitterHeight};
    column.advPane = {left, listSplit + kHSplitterHeight, width, kAdvPaneHeight};
    const int chatSplitTop = column.advPane.y + kAdvPaneHeight;
    column.chatSplitter = {left, chatSplitTop, width, kHSplitterHeight};
    const int chatTop = chatSplitTop + kHSplitterHeight;
    column.chat = {left, chatTop, width, std::max(innerHeight - 4 - chatTop - 2, 0)};
    layout.rightColumn = column;
    return layout;
}

CaptionButtons PlaceCaptionButtons(int innerWidth, int userListLeft, int userListWidth) {
    CaptionButtons buttons;
    for (int i = 0; i < 3; ++i) buttons.system[i] = {innerWidth - 100 + 26 * i, 7};
    const int third = userListWidth / 3;
    buttons.user[0] = {userListLeft + third - 30, 42};
    buttons.user[1] = {buttons.user[0].x + third + 20, 42};
    return buttons;
}

namespace {

bool StrictlyInside(Point corner, int width, int height, int x, int y) {
    return x > corner.x && x < corner.x + width && y > corner.y && y < corner.y + height;
}

template <std::size_t N>
int HitButton(const std::array<Point, N>& corners, int width, int height, int x, int y) {
    for (std::size_t i = 0; i < N; ++i)
        if (StrictlyInside(corners[i], width, height, x, y)) return static_cast<int>(i);
    return -1;
}

}  // namespace

int HitSysButton(const CaptionButtons& buttons, int x, int y) {
    return HitButton(buttons.system, kSysButtonSize, kSysButtonSize, x, y);
}

int HitUserButton(const CaptionButtons& buttons, int x, int y) {
    return HitButton(buttons.user, kUserButtonWidth, kUserButtonHeight, x, y);
}

SizeZone ZoneAt(const Box& window, Point cursor, bool overSysButton) {
    const bool inside = cursor.x >= window.x && cursor.x < window.x + window.width &&
                        cursor.y >= window.y && cursor.y < window.y + window.height;
    if (!inside) return SizeZone::None;
    const bool nearLeft = cursor.x - window.x < kSizeZoneWidth;
    const bool nearRight = window.x + window.width - 1 - cursor.x < kSizeZoneWidth;
    const bool nearTop = cursor.y - window.y < kSizeZoneWidth;
    const bool nearBottom = window.y + window.height - 1 - cursor.y < kSizeZoneWidth;
    if (nearLeft && nearTop) return SizeZone::LeftUp;
    if (nearRight && nearTop) return SizeZone::RightUp;
    if (nearLeft && nearBottom) return SizeZone::LeftDown;
    if (nearRight && nearBottom) return SizeZone::RightDown;
    if (nearLeft) return SizeZone::Left;
    if (nearRight) return SizeZone::Right;
    if (nearTop) return SizeZone::Up;
    if (nearBottom) return SizeZone::Down;
    const int belowTop = cursor.y - window.y;
    if (belowTop > kSizeZoneWidth && belowTop < kMoveZoneBottom && !overSysButton)
        return SizeZone::Move;
    return SizeZone::None;
}

}  // namespace qira::app
