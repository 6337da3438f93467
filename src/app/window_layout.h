#pragma once

#include <array>
#include <optional>

// The geometry of the skinned main window: where the splitters may go, where
// the panes of the right column sit, which edge zone the cursor is in and which
// caption button it is over. Pure arithmetic on window pixels, so that the
// widgets only apply it.
namespace qira::app {

struct Point {
    int x = 0;
    int y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Box {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const Box&, const Box&) = default;
};

inline constexpr int kSplitterWidth = 12;    // the vertical splitter picSplitter
inline constexpr int kSplitterGap = 2;       // between the splitter and the right column
inline constexpr int kRightMargin = 6;       // between the right column and the border
inline constexpr int kMinSplitX = 650;       // the game area never gets narrower
inline constexpr int kMinRightColumn = 140;  // room a dragged splitter leaves on the right
inline constexpr int kHSplitterHeight = 5;   // HSplitterBar and HSplitterBar1
inline constexpr int kAdvPaneHeight = 182;   // picAdvBack
inline constexpr int kUserListTop = 80;      // below the caption strip and the user buttons
inline constexpr int kMinWindowWidth = 800;
inline constexpr int kMinWindowHeight = 570;
inline constexpr int kSizeZoneWidth = 5;
inline constexpr int kMoveZoneBottom = 40;  // the caption strip that drags the window
inline constexpr int kSysButtonSize = 21;
inline constexpr int kUserButtonWidth = 41;
inline constexpr int kUserButtonHeight = 25;

// Where the vertical splitter starts: three quarters of a wide screen plus 24,
// five sixths of a narrow one.
int InitialSplitX(int screenWidth);
// Where the user list ends at first: a third of the screen height.
int InitialListSplit(int screenHeight);

// A dragged vertical splitter: at most W - 140, and never below 650 even when
// the window is narrower than that allows.
int ClampSplitX(int x, int innerWidth);
// The top of HSplitterBar after a drag: 200 ... H - 182 - 100.
int ClampListSplit(int top, int innerHeight);
// The top of HSplitterBar1 after a drag: 382 ... H - 100.
int ClampChatSplit(int top, int innerHeight);
// The list split that puts HSplitterBar1 at `chatSplitTop`: the advertisement
// pane and the first splitter sit directly above it.
int ListSplitForChatSplit(int chatSplitTop);

// A window smaller than 800 x 570 is grown back to it.
Point EnforceMinimumSize(Point size);

// The right column collapsed by the grip leaves only the splitter.
int CollapsedSplitX(int innerWidth);

struct RightColumn {
    Box userList;      // height 0 when the list split leaves no room
    Box listSplitter;  // HSplitterBar
    Box advPane;       // picAdvBack
    Box chatSplitter;  // HSplitterBar1
    Box chat;          // height 0 when the window leaves no room
};

struct WindowLayout {
    int splitX = kMinSplitX;
    std::optional<Box> splitter;             // absent while the window has no inner height
    Box gameFrame;                           // famGameBack
    std::optional<RightColumn> rightColumn;  // absent when narrower than the splitter
};

// The whole client area for an inner size W x H.
WindowLayout ComputeWindowLayout(int innerWidth, int innerHeight, int splitX, int listSplit);

// The caption's system buttons (minimise, maximise or restore, close) and the
// two user buttons (settings, help), as top-left corners.
struct CaptionButtons {
    std::array<Point, 3> system{};
    std::array<Point, 2> user{};
};
CaptionButtons PlaceCaptionButtons(int innerWidth, int userListLeft, int userListWidth);

// The button strictly containing (x, y), or -1.
int HitSysButton(const CaptionButtons& buttons, int x, int y);
int HitUserButton(const CaptionButtons& buttons, int x, int y);

enum class SizeZone { None, Left, Right, Up, Down, LeftUp, RightUp, LeftDown, RightDown, Move };

// The zone of a cursor at `cursor`, for a window whose frame is `window`
// (both in screen coordinates). `overSysButton` keeps the caption's buttons
// clickable inside the move strip.
SizeZone ZoneAt(const Box& window, Point cursor, bool overSysButton);

// The game area is never smaller than the table needs; a smaller frame clips it.
inline constexpr int kMinGameWidth = 574;
inline constexpr int kMinGameHeight = 545;

}  // namespace qira::app
