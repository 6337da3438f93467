#pragma once

// The turn clock's count: started with a number of seconds and the second at
// which it warns, it reports the warning and the time-out once each, one tick
// per second.
namespace qira::play {

enum class CountdownEvent { None, Warning, TimeOut };

class Countdown {
public:
    // A warning second not below the start second is never reached, so no
    // warning is given; a start of 0 or less times out on the first tick.
    void Start(int seconds, int warningAt);
    void Stop() { running_ = false; }
    // One second passed. After the time-out the count stops by itself.
    CountdownEvent Tick();

    bool running() const { return running_; }
    int remaining() const { return remaining_; }

private:
    int remaining_ = 0;
    int warningAt_ = 0;
    bool warned_ = false;
    bool running_ = false;
};

}  // namespace qira::play
