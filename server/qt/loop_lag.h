#pragma once

#include <array>
#include <chrono>
#include <cstdint>

namespace qira::server {

// How long each turn of the event loop works before it waits on its sockets
// again: an event that arrives as a turn begins waits that long to be seen.
// Keeps a histogram for the percentiles and the longest turn of the last
// second or two, which tells whether the loop is falling behind now.
class LoopLag {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr Clock::duration kWindow = std::chrono::seconds(1);

    void Record(Clock::duration busy, Clock::time_point end);
    // The longest turn that ended within the last one to two windows.
    Clock::duration Recent(Clock::time_point now) const;

    struct Figures {
        double p50Ms = 0, p99Ms = 0, maxMs = 0;
        std::uint64_t turns = 0;
    };
    // Percentiles within an eighth of their value; the maximum exact.
    Figures Summary() const;

private:
    static constexpr int kSubBuckets = 8;  // per doubling
    static std::size_t BucketOf(std::uint64_t micros);
    static double MicrosOf(std::size_t bucket);
    double Percentile(double fraction) const;
    void Roll(Clock::time_point now);

    std::array<std::uint64_t, 64 * kSubBuckets> buckets_{};
    std::uint64_t turns_ = 0;
    Clock::duration longest_{};
    Clock::time_point windowStart_{};
    Clock::duration windowLongest_{};
    Clock::duration previousLongest_{};
};

}  // namespace qira::server
