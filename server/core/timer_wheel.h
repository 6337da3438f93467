#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

#include "server/core/scheduler.h"

namespace qira::server {

// Timers in a hashed timing wheel of one slot per millisecond: starting and
// cancelling a timer cost the same with ten timers as with a hundred
// thousand. A timer further off than one lap waits in its slot and is looked
// at once a lap; a cancelled one leaves its slot when the sweep passes it.
class TimerWheel {
public:
    using Task = Scheduler::Task;
    using TimerId = Scheduler::TimerId;

    // `now`: every deadline at or before it counts as already swept.
    explicit TimerWheel(Milliseconds now);

    TimerId Start(Milliseconds deadline, Task task);
    void Cancel(TimerId id);
    std::size_t size() const { return live_.size(); }

    // The timers due by `now`, by deadline and then in the order they were
    // started. Take each before running it: one may cancel another.
    std::vector<TimerId> Due(Milliseconds now);
    // The task of a timer still pending, which leaves the wheel.
    std::optional<Task> Take(TimerId id);
    // When the next timer may fall due: never later than its deadline, and
    // earlier at most once a lap for each slot that holds only later laps or
    // cancelled timers. Nothing when no timer is pending.
    std::optional<Milliseconds> NextCheck() const;

private:
    static constexpr std::size_t kSlots = 4096;  // about four seconds a lap
    static constexpr std::size_t kWordBits = 64;

    struct Pending {
        Milliseconds deadline;
        Task task;
    };
    struct Entry {
        Milliseconds deadline;
        TimerId id;
    };

    static std::size_t SlotOf(Milliseconds time);
    void Sweep(std::size_t slot, Milliseconds now, std::vector<Entry>& due);
    void Mark(std::size_t slot, bool occupied);
    std::optional<std::size_t> FirstOccupiedFrom(std::size_t slot) const;

    std::unordered_map<TimerId, Pending> live_;
    std::vector<std::vector<Entry>> slots_;
    std::array<std::uint64_t, kSlots / kWordBits> occupied_{};
    std::vector<Entry> late_;  // started with a deadline already swept past
    Milliseconds swept_;
    TimerId lastId_ = 0;
};

}  // namespace qira::server
