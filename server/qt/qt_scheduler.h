#pragma once

#include <QObject>
#include <QTimer>
#include <map>
#include <unordered_map>

#include "server/core/scheduler.h"

namespace qira::server {

// The scheduler on Qt's event loop: posted tasks are queued calls; timers
// wait in one table ordered by deadline behind a single QTimer set to the
// earliest, so starting or cancelling one of thousands costs a tree
// operation, not a walk over Qt's list of timers.
class QtScheduler final : public QObject, public Scheduler {
    Q_OBJECT
public:
    explicit QtScheduler(QObject* parent = nullptr);
    ~QtScheduler() override;

    void Post(Task task) override;
    TimerId StartTimer(Milliseconds delay, Task task) override;
    void CancelTimer(TimerId id) override;
    Milliseconds Now() const override {
        return std::chrono::duration_cast<Milliseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
    }
    // The lag of this thread's loop when it runs on epoll, else none.
    Milliseconds Lag() const override;
    std::size_t PendingTimers() const { return timers_.size(); }

private:
    using Key = std::pair<Milliseconds, TimerId>;  // deadline, then order of starting

    void RunDueTimers();
    void Rearm();

    std::map<Key, Task> timers_;
    std::unordered_map<TimerId, Milliseconds> deadlines_;
    QTimer wake_;
    Milliseconds armedFor_ = Milliseconds::max();
    TimerId lastId_ = 0;
};

}  // namespace qira::server
