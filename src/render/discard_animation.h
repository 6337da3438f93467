#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "play/session_interfaces.h"
#include "render/geometry.h"

// The zoom of a discarded or konged tile out of the acting player's side:
// where each layer is composed, and how the picture grows tick by tick.
namespace qira::render {

struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const Rect&) const = default;
};

// Where the layers of the composed full-size picture go.
struct AnimationLayout {
    int fullWidth = 0;
    int fullHeight = 0;
    Rect fullRect;                  // on the table
    std::optional<int> labelCellX;  // x of the 37 x 37 cell in the label sheet
    Point labelAt;                  // label position inside the picture
    Point tileAt;                   // tile position inside the picture
};

inline constexpr int kLabelCellSize = 37;
inline constexpr int kAnimationTickMs = 5;

// `position` is the acting player's screen position 0-3, `start` its start point.
AnimationLayout ComposeAnimation(int position, play::ActionCode kind, Point start);

// Resource paths of the pictures, written with "\" as the resource folders name them.
std::string AnimationTilePicture(int position, int tile);  // tile 39 or above: a back
std::string AnimationFramePicture(int position);
std::string AnimationMaskPicture(int position);
inline constexpr const char* kAnimationLabelPicture = "Res\\cpgt.bmp";

// The growth: each tick restores the full rectangle, then draws the picture
// at `draw` stretched, until both sizes have been capped for 31 ticks in all.
class AnimationGrowth {
public:
    AnimationGrowth(int position, const AnimationLayout& layout, Point anchor);

    struct Step {
        Rect restore;
        std::optional<Rect> draw;  // nullopt on the last tick: the animation ends
    };
    Step Tick();
    bool running() const { return running_; }

private:
    int position_;
    Rect full_;
    Point anchor_;
    int fullWidth_, fullHeight_;
    int stepWidth_, stepHeight_;
    int width_ = 0, height_ = 0;
    int capCount_ = 0;
    bool running_ = true;
};

}  // namespace qira::render
