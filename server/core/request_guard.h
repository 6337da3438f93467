#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "server/core/scheduler.h"

namespace qira::server {

// So many events at once, then one per interval: a bucket of `burst` tokens
// that refills one token per interval.
class RateBucket {
public:
    RateBucket(std::size_t burst, Milliseconds interval) : burst_(burst), interval_(interval) {}

    bool Take(Milliseconds now) {
        Refill(now);
        if (tokens_ == 0) return false;
        --tokens_;
        return true;
    }

private:
    void Refill(Milliseconds now) {
        if (!started_) {
            started_ = true;
            tokens_ = burst_;
            since_ = now;
        }
        if (interval_.count() <= 0) {
            tokens_ = burst_;
            return;
        }
        const auto earned =
            static_cast<std::size_t>(std::max<std::int64_t>(0, (now - since_) / interval_));
        tokens_ = std::min(burst_, tokens_ + earned);
        since_ = tokens_ == burst_ ? now : since_ + interval_ * static_cast<std::int64_t>(earned);
    }

    std::size_t burst_;
    Milliseconds interval_;
    std::size_t tokens_ = 0;
    Milliseconds since_{0};
    bool started_ = false;
};

// Log lines about one connection's requests: `logBurst` at once, then one per
// `logInterval`. Refused requests: `refusalBurst` at once, then one per
// `refusalInterval` on average; beyond that the connection is closed.
struct RequestBounds {
    std::size_t logBurst = 20;
    Milliseconds logInterval{1'000};
    std::size_t refusalBurst = 100;
    Milliseconds refusalInterval{200};
};

// What one connection's requests may cost the server. Log lines about them
// (refusals, late claims, moves) come in a burst and then one per interval;
// the rest are only counted, and the count goes into the next line logged. A
// connection refused more often than its own bound allows is closed.
class RequestGuard {
public:
    RequestGuard() : RequestGuard(RequestBounds{}) {}
    explicit RequestGuard(const RequestBounds& bounds)
        : log_(bounds.logBurst, bounds.logInterval),
          refusals_(bounds.refusalBurst, bounds.refusalInterval) {}

    // Whether a line about the connection's requests may be logged now.
    bool MayLog(Milliseconds now) {
        if (closing_ || !log_.Take(now)) {
            ++suppressed_;
            return false;
        }
        return true;
    }
    // Lines not logged since the count was last taken.
    std::uint64_t TakeSuppressed() { return std::exchange(suppressed_, 0); }

    // Counts a refused request; true once, when the connection has gone past
    // its bound and is to be closed.
    bool RefusedOnceTooOften(Milliseconds now) {
        if (closing_ || refusals_.Take(now)) return false;
        closing_ = true;
        return true;
    }
    // The connection is being closed: nothing it sends is handled any more.
    bool closing() const { return closing_; }

private:
    RateBucket log_;
    RateBucket refusals_;
    std::uint64_t suppressed_ = 0;
    bool closing_ = false;
};

}  // namespace qira::server
