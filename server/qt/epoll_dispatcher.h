#pragma once

#include <QAbstractEventDispatcher>
#include <array>
#include <atomic>
#include <chrono>
#include <map>
#include <unordered_map>
#include <vector>

#include "server/qt/loop_lag.h"

namespace qira::server {

// Qt's event loop on Linux epoll: waiting costs the same with ten sockets as
// with ten thousand, where poll() (Qt's own loop) and GLib walk every socket
// on every turn. Timers wait in one table ordered by deadline.
class EpollDispatcher final : public QAbstractEventDispatcher {
    Q_OBJECT
public:
    explicit EpollDispatcher(QObject* parent = nullptr);
    ~EpollDispatcher() override;

    bool processEvents(QEventLoop::ProcessEventsFlags flags) override;
    void registerSocketNotifier(QSocketNotifier* notifier) override;
    void unregisterSocketNotifier(QSocketNotifier* notifier) override;
    void registerTimer(int timerId, qint64 interval, Qt::TimerType timerType,
                       QObject* object) override;
    bool unregisterTimer(int timerId) override;
    bool unregisterTimers(QObject* object) override;
    QList<TimerInfo> registeredTimers(QObject* object) const override;
    int remainingTime(int timerId) override;
    void wakeUp() override;
    void interrupt() override;

    // How long the loop's turns work between two looks at the sockets.
    const LoopLag& lag() const { return lag_; }

private:
    using Clock = std::chrono::steady_clock;
    // The notifiers of one descriptor by type (read, write, exception), each
    // with the serial number of its registration.
    struct Watch {
        std::array<QSocketNotifier*, 3> notifiers{};
        std::array<std::uint64_t, 3> serials{};
    };
    struct Timer {
        qint64 interval = 0;
        Qt::TimerType type = Qt::CoarseTimer;
        QObject* object = nullptr;
        Clock::time_point due;
        bool firing = false;
    };
    struct Activation {
        int fd;
        int type;
        std::uint64_t serial;
    };

    void UpdateInterest(int fd);
    int WaitMilliseconds() const;
    bool ActivateSockets(int ready);
    bool FireDueTimers();

    int epoll_ = -1;
    int wakeFd_ = -1;
    std::atomic<bool> interrupted_{false};
    std::atomic<bool> wakePending_{false};
    std::unordered_map<int, Watch> watches_;
    std::uint64_t lastSerial_ = 0;
    std::unordered_map<int, Timer> timers_;
    std::map<std::pair<Clock::time_point, int>, int> queue_;  // (due, id) -> id
    std::vector<Activation> activations_;
    LoopLag lag_;
};

}  // namespace qira::server
