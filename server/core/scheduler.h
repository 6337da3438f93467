#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

// The server runs on one event loop. Tables and computer players only ever
// ask it for two things: run a task soon, or run it after a delay. The Qt
// loop implements this for the real server; ManualScheduler runs the same
// code in virtual time, deterministically, for self-play and tests.
namespace qira::server {

using Milliseconds = std::chrono::milliseconds;

class Scheduler {
public:
    using Task = std::function<void()>;
    using TimerId = std::uint64_t;

    virtual ~Scheduler() = default;
    virtual void Post(Task task) = 0;
    // The one call another thread may make: runs `task` on the loop soon.
    // Where Post is not safe from another thread, this must be overridden.
    virtual void PostFromThread(Task task) { Post(std::move(task)); }
    // Work done away from the loop (the statistics writer) whose results
    // come back through PostFromThread: a loop in virtual time calls `settle`
    // before it lets time pass, so the results arrive at a fixed point.
    virtual void SetSettle(std::function<void()> /*settle*/) {}
    virtual TimerId StartTimer(Milliseconds delay, Task task) = 0;
    virtual void CancelTimer(TimerId id) = 0;
    // A steady clock, for rates.
    virtual Milliseconds Now() const = 0;
    // How far the loop has lately fallen behind: the longest it recently
    // went without looking at its connections. None in virtual time.
    virtual Milliseconds Lag() const { return Milliseconds{0}; }
};

// Runs posted tasks in order and timers in virtual time: a timer fires only
// when no posted task is waiting, and the clock jumps to its deadline.
class ManualScheduler final : public Scheduler {
public:
    void Post(Task task) override { tasks_.push_back(std::move(task)); }
    void PostFromThread(Task task) override {
        const std::lock_guard lock(fromThreadsMutex_);
        fromThreads_.push_back(std::move(task));
    }
    void SetSettle(std::function<void()> settle) override { settle_ = std::move(settle); }
    TimerId StartTimer(Milliseconds delay, Task task) override {
        const TimerId id = ++lastId_;
        timers_.emplace(std::make_pair(now_ + delay, id), std::move(task));
        return id;
    }
    void CancelTimer(TimerId id) override {
        for (auto it = timers_.begin(); it != timers_.end(); ++it)
            if (it->first.second == id) {
                timers_.erase(it);
                return;
            }
    }

    // Runs one task or fires the next timer; false when nothing is left.
    bool Step() { return StepWithin(Milliseconds::max()); }
    // Runs one task, or fires the next timer due by `until`; false when there
    // is neither.
    bool StepWithin(Milliseconds until) {
        if (tasks_.empty() && settle_) settle_();
        if (tasks_.empty()) TakeTasksFromThreads();
        if (!tasks_.empty()) {
            auto task = std::move(tasks_.front());
            tasks_.pop_front();
            task();
            return true;
        }
        if (timers_.empty() || timers_.begin()->first.first > until) return false;
        auto node = timers_.extract(timers_.begin());
        now_ = node.key().first;
        node.mapped()();
        return true;
    }
    // Lets `span` of virtual time pass, running everything due in it.
    void RunFor(Milliseconds span) {
        const Milliseconds until = now_ + span;
        while (StepWithin(until)) {
        }
        now_ = std::max(now_, until);
    }
    // Runs until `done` holds or nothing is left; returns whether `done` holds.
    template <typename Predicate>
    bool RunUntil(Predicate done, std::uint64_t maxSteps = 50'000'000) {
        for (std::uint64_t i = 0; i < maxSteps && !done(); ++i)
            if (!Step()) break;
        return done();
    }
    Milliseconds Now() const override { return now_; }

private:
    void TakeTasksFromThreads() {
        const std::lock_guard lock(fromThreadsMutex_);
        for (auto& task : fromThreads_) tasks_.push_back(std::move(task));
        fromThreads_.clear();
    }

    std::deque<Task> tasks_;
    std::mutex fromThreadsMutex_;
    std::vector<Task> fromThreads_;  // guarded by fromThreadsMutex_
    std::function<void()> settle_;
    std::map<std::pair<Milliseconds, TimerId>, Task> timers_;
    Milliseconds now_{0};
    TimerId lastId_ = 0;
};

}  // namespace qira::server
