#include "play/countdown.h"

namespace qira::play {

void Countdown::Start(int seconds, int warningAt) {
    remaining_ = seconds > 0 ? seconds : 0;
    warningAt_ = warningAt;
    warned_ = warningAt >= remaining_;
    running_ = true;
}

CountdownEvent Countdown::Tick() {
    if (!running_) return CountdownEvent::None;
    if (remaining_ > 0) --remaining_;
    if (remaining_ == 0) {
        running_ = false;
        return CountdownEvent::TimeOut;
    }
    if (!warned_ && remaining_ <= warningAt_) {
        warned_ = true;
        return CountdownEvent::Warning;
    }
    return CountdownEvent::None;
}

}  // namespace qira::play
