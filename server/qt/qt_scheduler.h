#pragma once

#include <QObject>
#include <QTimer>
#include "server/core/scheduler.h"
#include "server/core/timer_wheel.h"

namespace qira::server {

// The scheduler on Qt's event loop: posted tasks are queued calls; timers
// wait in a timing wheel behind a single QTimer set to the earliest, so
// starting or cancelling one of thousands costs the same as one of ten.
class QtScheduler final : public QObject, public Scheduler {
    Q_OBJECT
public:
    explicit QtScheduler(QObject* parent = nullptr);
    ~QtScheduler() override;

    // A queued call: safe from any thread, so PostFromThread uses it too.
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
    void RunDueTimers();
    void Rearm();

    TimerWheel timers_{Now()};
    QTimer wake_;
    Milliseconds armedFor_ = Milliseconds::max();
};

}  // namespace qira::server
