#include "play/countdown.h"

#include <gtest/gtest.h>

#include <vector>

namespace qira::platform {
namespace {

std::vector<play::CountdownEvent> RunToEnd(play::Countdown& countdown, int ticks) {
    std::vector<play::CountdownEvent> events;
    for (int i = 0; i < ticks; ++i) events.push_back(countdown.Tick());
    return events;
}

TEST(Countdown, WarnsAtTheWarningSecondAndTimesOutOnceEach) {
    play::Countdown countdown;
    countdown.Start(20, 5);
    const auto events = RunToEnd(countdown, 25);
    int warnings = 0;
    int timeOuts = 0;
    for (std::size_t second = 0; second < events.size(); ++second) {
        if (events[second] == play::CountdownEvent::Warning) {
            ++warnings;
            EXPECT_EQ(second, 14u);  // 20 - 15 = 5 left
        }
        if (events[second] == play::CountdownEvent::TimeOut) {
            ++timeOuts;
            EXPECT_EQ(second, 19u);
        }
    }
    EXPECT_EQ(warnings, 1);
    EXPECT_EQ(timeOuts, 1);
    EXPECT_FALSE(countdown.running());
    EXPECT_EQ(countdown.remaining(), 0);
}

TEST(Countdown, StoppedClockReportsNothing) {
    play::Countdown countdown;
    countdown.Start(3, 5);
    countdown.Stop();
    for (const auto event : RunToEnd(countdown, 5)) EXPECT_EQ(event, play::CountdownEvent::None);
    EXPECT_EQ(countdown.remaining(), 3);
}

TEST(Countdown, RestartBeginsAFreshCountWithItsOwnWarning) {
    play::Countdown countdown;
    countdown.Start(10, 5);
    RunToEnd(countdown, 6);  // warned at 5 left
    countdown.Start(10, 5);
    const auto events = RunToEnd(countdown, 10);
    EXPECT_EQ(events[4], play::CountdownEvent::Warning);
    EXPECT_EQ(events[9], play::CountdownEvent::TimeOut);
}

TEST(Countdown, StartShorterThanTheWarningOnlyTimesOut) {
    play::Countdown countdown;
    countdown.Start(3, 5);
    EXPECT_EQ(RunToEnd(countdown, 3),
              (std::vector{play::CountdownEvent::None, play::CountdownEvent::None,
                           play::CountdownEvent::TimeOut}));
    play::Countdown empty;
    empty.Start(0, 5);
    EXPECT_EQ(empty.Tick(), play::CountdownEvent::TimeOut);
}

}  // namespace
}  // namespace qira::platform
