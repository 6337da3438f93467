#include "server/qt/qt_scheduler.h"

namespace qira::server {

QtScheduler::~QtScheduler() = default;

void QtScheduler::Post(Task task) {
    QMetaObject::invokeMethod(
        this, [task = std::move(task)] { task(); }, Qt::QueuedConnection);
}

Scheduler::TimerId QtScheduler::StartTimer(Milliseconds delay, Task task) {
    const TimerId id = ++lastId_;
    auto timer = std::make_unique<QTimer>();
    timer->setSingleShot(true);
    timer->setTimerType(Qt::CoarseTimer);
    connect(timer.get(), &QTimer::timeout, this, [this, id, task = std::move(task)] {
        // The timer leaves the table before the task runs (the task may start
        // or cancel timers) and is deleted once its signal has returned.
        auto node = timers_.extract(id);
        if (node) node.mapped().release()->deleteLater();
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
