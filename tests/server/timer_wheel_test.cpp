// The server's timer table: deadlines in order, cancelling, and many timers
// over more than one lap of the wheel.
#include "server/core/timer_wheel.h"

#include <gtest/gtest.h>

#include <vector>

namespace qira::server {
namespace {

using namespace std::chrono_literals;

// Runs what is due by `now` as the scheduler does: each taken before it runs.
void RunDue(TimerWheel& wheel, Milliseconds now) {
    for (const auto id : wheel.Due(now))
        if (auto task = wheel.Take(id)) (*task)();
}

TEST(TimerWheel, FiresByDeadlineThenStartOrderAndNotWhenCancelled) {
    TimerWheel wheel(1'000ms);
    std::vector<int> fired;
    const auto at = [&](Milliseconds deadline, int tag) {
        return wheel.Start(deadline, [&fired, tag] { fired.push_back(tag); });
    };
    at(1'030ms, 3);
    at(1'010ms, 1);
    const auto cancelled = at(1'020ms, -1);
    at(1'010ms, 2);
    at(900ms, 0);  // already past: due at once
    // Far beyond one lap, in the same slot as the first.
    at(1'030ms + 4'096ms, 5);
    wheel.Cancel(cancelled);
    EXPECT_EQ(wheel.NextCheck(), 1'000ms);
    RunDue(wheel, 1'000ms);
    EXPECT_EQ(fired, (std::vector<int>{0}));
    EXPECT_LE(*wheel.NextCheck(), 1'010ms);
    RunDue(wheel, 1'040ms);
    EXPECT_EQ(fired, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(wheel.size(), 1u);
    RunDue(wheel, 6'000ms);
    EXPECT_EQ(fired, (std::vector<int>{0, 1, 2, 3, 5}));
    EXPECT_EQ(wheel.NextCheck(), std::nullopt);
}

TEST(TimerWheel, OneTimerCancelsAnotherDueAtTheSameTime) {
    TimerWheel wheel(0ms);
    int fired = 0;
    TimerWheel::TimerId second = 0;
    wheel.Start(5ms, [&] { wheel.Cancel(second); });
    second = wheel.Start(5ms, [&] { ++fired; });
    RunDue(wheel, 5ms);
    EXPECT_EQ(fired, 0);
    EXPECT_EQ(wheel.size(), 0u);
}

TEST(TimerWheel, ManyTimersOverSeveralLapsFireInOrderWhenTheLoopStalls) {
    TimerWheel wheel(0ms);
    std::vector<Milliseconds> fired;
    std::vector<TimerWheel::TimerId> ids;
    for (int i = 0; i < 100'000; ++i) {
        const Milliseconds deadline{(i * 7919) % 20'000 + 1};
        ids.push_back(wheel.Start(deadline, [&fired, deadline] { fired.push_back(deadline); }));
    }
    for (std::size_t i = 0; i < ids.size(); i += 2) wheel.Cancel(ids[i]);
    EXPECT_EQ(wheel.size(), 50'000u);
    // Polled as the loop wakes, then one stall of more than a lap.
    for (Milliseconds now = 0ms; now < 5'000ms; now = std::max(now + 1ms, *wheel.NextCheck()))
        RunDue(wheel, now);
    RunDue(wheel, 30'000ms);
    ASSERT_EQ(fired.size(), 50'000u);
    EXPECT_TRUE(std::is_sorted(fired.begin(), fired.end()));
    EXPECT_EQ(wheel.size(), 0u);
}

}  // namespace
}  // namespace qira::server
