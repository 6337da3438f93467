#pragma once

// The collapse grip in the middle of the vertical splitter: a click inside it
// folds the right column away and back instead of starting a drag.
namespace qira::platform {

inline constexpr int kGripHeight = 60;

constexpr bool IsInGrip(int y, int height) {
    return y > (height - kGripHeight) / 2 && y < (height + kGripHeight) / 2;
}

}  // namespace qira::platform
