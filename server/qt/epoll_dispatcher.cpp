#include "server/qt/epoll_dispatcher.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <cstdint>

namespace qira::server {

namespace {

constexpr int kMostEventsPerWait = 512;

constexpr std::uint32_t InterestOf(int type) {
    switch (type) {
        case QSocketNotifier::Read:
            return EPOLLIN;
        case QSocketNotifier::Write:
            return EPOLLOUT;
        default:
            return EPOLLPRI;
    }
}

// Which notifier types an epoll result wakes, as Qt's own loop does for poll():
// an error or hang-up wakes the reader (and an error the writer) to find out.
bool Wakes(std::uint32_t events, int type) {
    switch (type) {
        case QSocketNotifier::Read:
            return (events & (EPOLLIN | EPOLLHUP | EPOLLERR)) != 0;
        case QSocketNotifier::Write:
            return (events & (EPOLLOUT | EPOLLERR)) != 0;
        default:
            return (events & EPOLLPRI) != 0;
    }
}

}  // namespace

EpollDispatcher::EpollDispatcher(QObject* parent)
    : QAbstractEventDispatcher(parent),
      epoll_(epoll_create1(EPOLL_CLOEXEC)),
      wakeFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = wakeFd_;
    epoll_ctl(epoll_, EPOLL_CTL_ADD, wakeFd_, &event);
}

EpollDispatcher::~EpollDispatcher() {
    close(wakeFd_);
    close(epoll_);
}

void EpollDispatcher::registerSocketNotifier(QSocketNotifier* notifier) {
    const int fd = static_cast<int>(notifier->socket());
    const int type = notifier->type();
    Watch& watch = watches_[fd];
    watch.notifiers[type] = notifier;
    watch.serials[type] = ++lastSerial_;
    UpdateInterest(fd);
}

void EpollDispatcher::unregisterSocketNotifier(QSocketNotifier* notifier) {
    const int fd = static_cast<int>(notifier->socket());
    const auto it = watches_.find(fd);
    if (it == watches_.end()) return;
    const int type = notifier->type();
    if (it->second.notifiers[type] != notifier) return;
    it->second.notifiers[type] = nullptr;
    it->second.serials[type] = 0;
    UpdateInterest(fd);
}

// Tells epoll what the descriptor's notifiers wait for; a descriptor without
// any leaves the set.
void EpollDispatcher::UpdateInterest(int fd) {
    const auto it = watches_.find(fd);
    if (it == watches_.end()) return;
    std::uint32_t interest = 0;
    for (int type = 0; type < 3; ++type)
        if (it->second.notifiers[type]) interest |= InterestOf(type);
    if (interest == 0) {
        epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
        watches_.erase(it);
        return;
    }
    epoll_event event{};
    event.events = interest;
    event.data.fd = fd;
    if (epoll_ctl(epoll_, EPOLL_CTL_MOD, fd, &event) != 0 && errno == ENOENT)
        epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &event);
}

void EpollDispatcher::registerTimer(int timerId, qint64 interval, Qt::TimerType timerType,
                                    QObject* object) {
    Timer timer;
    timer.interval = std::max<qint64>(0, interval);
    timer.type = timerType;
    timer.object = object;
    timer.due = Clock::now() + std::chrono::milliseconds(timer.interval);
    unregisterTimer(timerId);
    queue_.emplace(std::make_pair(timer.due, timerId), timerId);
    timers_.emplace(timerId, timer);
}

bool EpollDispatcher::unregisterTimer(int timerId) {
    const auto it = timers_.find(timerId);
    if (it == timers_.end()) return false;
    queue_.erase({it->second.due, timerId});
    timers_.erase(it);
    return true;
}

bool EpollDispatcher::unregisterTimers(QObject* object) {
    std::vector<int> ids;
    for (const auto& [id, timer] : timers_)
        if (timer.object == object) ids.push_back(id);
    for (int id : ids) unregisterTimer(id);
    return !ids.empty();
}

QList<QAbstractEventDispatcher::TimerInfo> EpollDispatcher::registeredTimers(
    QObject* object) const {
    QList<TimerInfo> list;
    for (const auto& [id, timer] : timers_)
        if (timer.object == object)
            list.append(TimerInfo(id, static_cast<int>(timer.interval), timer.type));
    return list;
}

int EpollDispatcher::remainingTime(int timerId) {
    const auto it = timers_.find(timerId);
    if (it == timers_.end()) return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(it->second.due - Clock::now());
    return static_cast<int>(std::max<std::int64_t>(0, left.count()));
}

// Every posted event wakes the loop: only the first since the loop last woke
// writes to the descriptor, the others find it woken already.
void EpollDispatcher::wakeUp() {
    if (wakePending_.exchange(true)) return;
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = write(wakeFd_, &one, sizeof one);
}

void EpollDispatcher::interrupt() {
    interrupted_.store(true);
    wakeUp();
}

int EpollDispatcher::WaitMilliseconds() const {
    if (queue_.empty()) return -1;
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(queue_.begin()->first.first - Clock::now());
    return static_cast<int>(std::clamp<std::int64_t>(left.count(), 0, 24 * 3600 * 1000));
}

bool EpollDispatcher::processEvents(QEventLoop::ProcessEventsFlags flags) {
    const auto turnStart = Clock::now();
    interrupted_.store(false);
    emit awake();
    // Posting an event always wakes the dispatcher (the event descriptor), so
    // a wait below never sleeps over one.
    QCoreApplication::sendPostedEvents();
    const bool canWait = (flags & QEventLoop::WaitForMoreEvents) && !interrupted_.load();
    const bool timersToo = !(flags & QEventLoop::X11ExcludeTimers);
    int timeout = 0;
    if (canWait) {
        timeout = timersToo ? WaitMilliseconds() : -1;
        emit aboutToBlock();
    }
    std::array<epoll_event, kMostEventsPerWait> events{};
    const auto waitStart = Clock::now();
    int ready = epoll_wait(epoll_, events.data(), kMostEventsPerWait, timeout);
    const auto waitEnd = Clock::now();
    if (ready < 0) ready = 0;
    if (canWait) emit awake();

    activations_.clear();
    bool woken = false;
    for (int i = 0; i < ready; ++i) {
        const int fd = events[i].data.fd;
        if (fd == wakeFd_) {
            std::uint64_t count = 0;
            [[maybe_unused]] const auto got = read(wakeFd_, &count, sizeof count);
            // Events posted before this are sent at the start of the next
            // turn, before it waits; those posted after it write again.
            wakePending_.store(false);
            woken = true;
            continue;
        }
        const auto it = watches_.find(fd);
        if (it == watches_.end()) continue;
        for (int type = 0; type < 3; ++type)
            if (it->second.notifiers[type] && Wakes(events[i].events, type))
                activations_.push_back({fd, type, it->second.serials[type]});
    }
    bool handled = woken;
    if (!(flags & QEventLoop::ExcludeSocketNotifiers)) handled = ActivateSockets(ready) || handled;
    if (timersToo) handled = FireDueTimers() || handled;
    const auto turnEnd = Clock::now();
    lag_.Record((waitStart - turnStart) + (turnEnd - waitEnd), turnEnd);
    return handled;
}

// A notifier is told only while the registration that epoll answered for
// still stands: one may disable another, or a descriptor may close and be
// opened again, between the wait and its turn.
bool EpollDispatcher::ActivateSockets(int /*ready*/) {
    const auto pending = std::move(activations_);
    activations_.clear();
    for (const Activation& a : pending) {
        const auto it = watches_.find(a.fd);
        if (it == watches_.end() || it->second.serials[a.type] != a.serial) continue;
        QEvent event(QEvent::SockAct);
        QCoreApplication::sendEvent(it->second.notifiers[a.type], &event);
    }
    return !pending.empty();
}

// Every timer due now fires once, in order of its deadline; a periodic
// timer is due again an interval later. A timer whose handler is still
// running (a nested loop) is not fired again inside it.
bool EpollDispatcher::FireDueTimers() {
    const auto now = Clock::now();
    std::vector<int> due;
    for (auto it = queue_.begin(); it != queue_.end() && it->first.first <= now; ++it)
        due.push_back(it->second);
    bool fired = false;
    for (int id : due) {
        const auto it = timers_.find(id);
        if (it == timers_.end() || it->second.firing) continue;
        Timer& timer = it->second;
        queue_.erase({timer.due, id});
        timer.due = std::max(timer.due + std::chrono::milliseconds(timer.interval), now);
        queue_.emplace(std::make_pair(timer.due, id), id);
        timer.firing = true;
        QTimerEvent event(id);
        QCoreApplication::sendEvent(timer.object, &event);
        fired = true;
        const auto after = timers_.find(id);
        if (after != timers_.end()) after->second.firing = false;
    }
    return fired;
}

}  // namespace qira::server
