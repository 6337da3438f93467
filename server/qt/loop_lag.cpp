#include "server/qt/loop_lag.h"

#include <algorithm>
#include <bit>

namespace qira::server {

// Below eight microseconds one bucket per microsecond; above, eight buckets
// per doubling.
std::size_t LoopLag::BucketOf(std::uint64_t micros) {
    if (micros < kSubBuckets) return static_cast<std::size_t>(micros);
    const int shift = std::bit_width(micros) - 4;
    const std::uint64_t top = micros >> shift;  // 8..15
    return static_cast<std::size_t>(kSubBuckets * (shift + 1) + (top - kSubBuckets));
}

double LoopLag::MicrosOf(std::size_t bucket) {
    if (bucket < kSubBuckets) return static_cast<double>(bucket);
    const auto shift = static_cast<int>(bucket / kSubBuckets) - 1;
    const auto top = static_cast<double>(kSubBuckets + bucket % kSubBuckets);
    // The middle of the bucket's range.
    return (top + 0.5) * static_cast<double>(std::uint64_t{1} << shift);
}

void LoopLag::Roll(Clock::time_point now) {
    if (now - windowStart_ < kWindow) return;
    previousLongest_ = now - windowStart_ < 2 * kWindow ? windowLongest_ : Clock::duration{};
    windowLongest_ = {};
    windowStart_ = now;
}

void LoopLag::Record(Clock::duration busy, Clock::time_point end) {
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(busy).count();
    ++buckets_[std::min(buckets_.size() - 1, BucketOf(static_cast<std::uint64_t>(micros)))];
    ++turns_;
    longest_ = std::max(longest_, busy);
    Roll(end);
    windowLongest_ = std::max(windowLongest_, busy);
}

LoopLag::Clock::duration LoopLag::Recent(Clock::time_point now) const {
    const auto age = now - windowStart_;
    if (age >= 2 * kWindow) return {};
    if (age >= kWindow) return windowLongest_;
    return std::max(windowLongest_, previousLongest_);
}

double LoopLag::Percentile(double fraction) const {
    const auto rank = static_cast<std::uint64_t>(fraction * static_cast<double>(turns_ - 1));
    std::uint64_t seen = 0;
    for (std::size_t b = 0; b < buckets_.size(); ++b) {
        seen += buckets_[b];
        if (seen > rank) return MicrosOf(b) / 1e3;
    }
    return 0;
}

LoopLag::Figures LoopLag::Summary() const {
    if (turns_ == 0) return {};
    const double maxMs = std::chrono::duration<double, std::milli>(longest_).count();
    return {std::min(Percentile(0.5), maxMs), std::min(Percentile(0.99), maxMs), maxMs, turns_};
}

}  // namespace qira::server
