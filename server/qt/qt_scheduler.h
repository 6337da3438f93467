#pragma once

#include <QObject>
#include <QTimer>
#include <map>
#include <memory>

#include "server/core/scheduler.h"

namespace qira::server {

// The scheduler on Qt's event loop: posted tasks are queued calls, timers
// are single-shot QTimers.
class QtScheduler final : public QObject, public Scheduler {
    Q_OBJECT
public:
    explicit QtScheduler(QObject* parent = nullptr) : QObject(parent) {}
    ~QtScheduler() override;

    void Post(Task task) override;
    TimerId StartTimer(Milliseconds delay, Task task) override;
    void CancelTimer(TimerId id) override;
    Milliseconds Now() const override {
        return std::chrono::duration_cast<Milliseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
    }
    std::size_t PendingTimers() const { return timers_.size(); }

private:
    std::map<TimerId, std::unique_ptr<QTimer>> timers_;
    TimerId lastId_ = 0;
};

}  // namespace qira::server
