#include "server/qt/qt_scheduler.h"

#include <QAbstractEventDispatcher>
#include <algorithm>

#include "server/qt/epoll_dispatcher.h"

namespace qira::server {

QtScheduler::QtScheduler(QObject* parent) : QObject(parent) {
    wake_.setSingleShot(true);
    // Precise: a coarse timer may fire early, before anything is due.
    wake_.setTimerType(Qt::PreciseTimer);
    connect(&wake_, &QTimer::timeout, this, [this] {
        armedFor_ = Milliseconds::max();
        RunDueTimers();
    });
}

QtScheduler::~QtScheduler() = default;

Milliseconds QtScheduler::Lag() const {
    const auto* loop = qobject_cast<EpollDispatcher*>(QAbstractEventDispatcher::instance(thread()));
    if (!loop) return Milliseconds{0};
    return std::chrono::duration_cast<Milliseconds>(
        loop->lag().Recent(std::chrono::steady_clock::now()));
}

void QtScheduler::Post(Task task) {
    QMetaObject::invokeMethod(
        this, [task = std::move(task)] { task(); }, Qt::QueuedConnection);
}

Scheduler::TimerId QtScheduler::StartTimer(Milliseconds delay, Task task) {
    const Milliseconds deadline = Now() + std::max(delay, Milliseconds{0});
    const TimerId id = timers_.Start(deadline, std::move(task));
    if (deadline < armedFor_) Rearm();
    return id;
}

void QtScheduler::CancelTimer(TimerId id) {
    // The wake-up stays armed; finding nothing due, it arms for the next.
    timers_.Cancel(id);
}

// Each due timer leaves the wheel before its task runs (the task may start
// or cancel timers). Timers the tasks start wait for the next turn of the
// loop, so that sockets are served in between.
void QtScheduler::RunDueTimers() {
    for (const TimerId id : timers_.Due(Now()))
        if (auto task = timers_.Take(id)) (*task)();
    Rearm();
}

void QtScheduler::Rearm() {
    const auto next = timers_.NextCheck();
    if (!next) {
        wake_.stop();
        armedFor_ = Milliseconds::max();
        return;
    }
    if (*next == armedFor_ && wake_.isActive()) return;
    armedFor_ = *next;
    wake_.start(static_cast<int>(std::max(Milliseconds{0}, *next - Now()).count()));
}

}  // namespace qira::server
