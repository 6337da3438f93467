#include "server/qt_scheduler.h"

namespace qira::server {

void QtScheduler::Post(Task task) {
    QMetaObject::invokeMethod(this, [task = std::move(task)] { task(); }, Qt::QueuedConnection);
}

Scheduler::TimerId QtScheduler::StartTimer(Milliseconds delay, Task task) {
    const TimerId id = ++lastId_;
    std::unique_ptr<QTimer, LaterDeleter> timer(new QTimer);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::CoarseTimer);
    connect(timer.get(), &QTimer::timeout, this, [this, id, task = std::move(task)] {
        // The timer object goes before the task runs: the task may start new timers.
        timers_.erase(id);
        task();
    });
    timer->start(static_cast<int>(delay.count()));
    timers_.emplace(id, std::move(timer));
    return id;
}

void QtScheduler::CancelTimer(TimerId id) {
    const auto it = timers_.find(id);
    if (it == timers_.end()) return;
    it->second->stop();
    timers_.erase(it);
}

}  // namespace qira::server
