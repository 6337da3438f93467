#include "render/discard_animation.h"

namespace qira::render {
namespace {

bool IsVertical(int position) {
    return position == 0 || position == 2;
}

constexpr const char* kFacePrefixes[4] = {"ResMj\\UpOut\\plpUpOut", "ResMj\\LeftOut\\plpLeftOut",
                                          "ResMj\\DownOut\\plpDownOut",
                                          "ResMj\\RightOut\\plpRightOut"};
constexpr const char* kBackPictures[4] = {
    "ResMj\\PaiBack\\Up_Liang_Back.bmp", "ResMj\\PaiBack\\Left_Liang_Back.bmp",
    "ResMj\\PaiBack\\Down_Wall.bmp", "ResMj\\PaiBack\\Right_Liang_Back.bmp"};

int Clamp(int position) {
    return position < 0 || position > 3 ? 2 : position;
}

}  // namespace

AnimationLayout ComposeAnimation(int position, play::ActionCode kind, Point start) {
    position = Clamp(position);
    AnimationLayout layout;
    layout.fullWidth = IsVertical(position) ? 100 : 112;
    layout.fullHeight = IsVertical(position) ? 62 : 50;
    switch (position) {
        case 0:
            layout.fullRect = {start.x - 50, start.y, 100, 62};
            break;
        case 1:
            layout.fullRect = {start.x, start.y - 25, 112, 50};
            break;
        case 2:
            layout.fullRect = {start.x - 50, start.y - 62, 100, 62};
            break;
        default:
            layout.fullRect = {start.x - 112, start.y - 25, 112, 50};
            break;
    }
    const bool labelled = kind != play::ActionCode::Discard;
    if (labelled) {
        layout.labelCellX = kind == play::ActionCode::Chow   ? 37
                            : kind == play::ActionCode::Pung ? 0
                                                             : 74;
        layout.labelAt = position == 0   ? Point{10, 17}
                         : position == 1 ? Point{22, 5}
                                         : Point{10, 5};
    }
    Point base = IsVertical(position) ? Point{39, 13} : Point{40, 11};
    if (labelled) base.x = 57;
    switch (position) {
        case 0:
            layout.tileAt = {base.x, base.y + 6};
            break;
        case 1:
            layout.tileAt = {base.x + 6, base.y};
            break;
        case 2:
            layout.tileAt = {base.x, base.y - 6};
            break;
        default:
            layout.tileAt = {base.x - 6, base.y};
            break;
    }
    return layout;
}

std::string AnimationTilePicture(int position, int tile) {
    position = Clamp(position);
    if (tile >= 39) return kBackPictures[position];
    return std::string(kFacePrefixes[position]) + std::to_string(tile) + ".bmp";
}

std::string AnimationFramePicture(int position) {
    return "Res\\OutPaiBk_" + std::to_string(Clamp(position)) + ".bmp";
}

std::string AnimationMaskPicture(int position) {
    return "Res\\outpaibk_" + std::to_string(Clamp(position)) + ".bmp";
}

AnimationGrowth::AnimationGrowth(int position, const AnimationLayout& layout, Point anchor)
    : position_(Clamp(position)),
      full_(layout.fullRect),
      anchor_(anchor),
      fullWidth_(layout.fullWidth),
      fullHeight_(layout.fullHeight),
      stepWidth_(layout.fullWidth / 10),
      stepHeight_(layout.fullHeight / 10) {}

AnimationGrowth::Step AnimationGrowth::Tick() {
    Step step{full_, std::nullopt};
    if (!running_) return step;
    width_ += stepWidth_;
    height_ += stepHeight_;
    if (width_ > fullWidth_) {
        width_ = fullWidth_;
        ++capCount_;
    }
    if (height_ > fullHeight_) {
        height_ = fullHeight_;
        ++capCount_;
    }
    if (capCount_ >= 31) {
        running_ = false;
        return step;
    }
    switch (position_) {
        case 0:
            step.draw = Rect{anchor_.x - width_ / 2, anchor_.y, width_, height_};
            break;
        case 1:
            step.draw = Rect{anchor_.x, anchor_.y - height_ / 2, width_, height_};
            break;
        case 2:
            step.draw = Rect{anchor_.x - width_ / 2, anchor_.y - height_, width_, height_};
            break;
        default:
            step.draw = Rect{anchor_.x - width_, anchor_.y - height_ / 2, width_, height_};
            break;
    }
    return step;
}

}  // namespace qira::render
