#include "server/qt/soak.h"

#include <sys/resource.h>
#include <time.h>
#include <filesystem>

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

#include "net/frame_codec.h"
#include "net/protocol.h"
#include "net/requests.h"
#include "server/core/bot_client.h"
#include "server/core/room.h"
#include "server/core/stats_store.h"
#include "server/qt/epoll_dispatcher.h"
#include "server/qt/qt_scheduler.h"
#include "server/qt/tcp_server.h"

namespace qira::server {
namespace {

long ResidentKilobytes() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * 4;
}

double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// The CPU time the soak's own players take on the server's thread: their
// decisions, their handling of what arrives and their writes. What Qt does
// for their sockets before handing over the bytes is not metered and counts
// as the server's, so the server's own share comes out a little high.
class PlayerCpu {
public:
    template <typename Work>
    void Meter(Work&& work) {
        if (metering_) return work();
        metering_ = true;
        const double start = ThreadCpuSeconds();
        work();
        seconds_ += ThreadCpuSeconds() - start;
        metering_ = false;
    }
    double seconds() const { return seconds_; }

private:
    bool metering_ = false;
    double seconds_ = 0;
};

// The loop's scheduler for the players: every task they run is metered.
class MeteredScheduler final : public Scheduler {
public:
    MeteredScheduler(Scheduler& inner, PlayerCpu& cpu) : inner_(inner), cpu_(cpu) {}
    void Post(Task task) override { inner_.Post(Metered(std::move(task))); }
    TimerId StartTimer(Milliseconds delay, Task task) override {
        return inner_.StartTimer(delay, Metered(std::move(task)));
    }
    void CancelTimer(TimerId id) override { inner_.CancelTimer(id); }
    Milliseconds Now() const override { return inner_.Now(); }

private:
    Task Metered(Task task) {
        return [this, task = std::move(task)] { cpu_.Meter(task); };
    }
    Scheduler& inner_;
    PlayerCpu& cpu_;
};

// A computer player on its own TCP connection, as a human's client would be.
class RemotePlayer {
public:
    RemotePlayer(MeteredScheduler& scheduler, PlayerCpu& cpu, quint16 port, const std::string& name,
                 std::uint32_t seed, Milliseconds think = Milliseconds{0})
        : cpu_(cpu),
          bot_(
              scheduler, [this](const net::Bytes& m) { Write(m); }, name, BotStyle::Smart, seed,
              think) {
        // People do not all take the same time for every move.
        bot_.SetThinkSpread(0.5);
        socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        QObject::connect(&socket_, &QTcpSocket::connected, [this, name] {
            connected_ = true;
            cpu_.Meter([&] {
                Write(*net::BuildHello(name));
                Write(*net::requests::Entry(true));
            });
        });
        QObject::connect(&socket_, &QTcpSocket::readyRead,
                         [this] { cpu_.Meter([this] { Read(); }); });
        QObject::connect(&socket_, &QTcpSocket::disconnected, [this] { lost_ = true; });
        socket_.connectToHost(QHostAddress::LocalHost, port);
    }
    bool lost() const { return lost_; }
    bool connected() const { return connected_; }
    // Milliseconds from each request written to the next bytes read.
    const std::vector<double>& turnarounds() const { return turnarounds_; }
    // The same for discards alone: nothing else happens at the table while a
    // chair's discard is due, so the next bytes are the server announcing
    // it, whatever the other players' thinking time.
    const std::vector<double>& discardEchoes() const { return discardEchoes_; }
    void Chat(const std::string& text) {
        if (const auto line = net::requests::Chat(std::vector<std::string>{
                "所有人", "0", "talker", "所有人", "#000000", "宋体", "10", "0", "0", text}))
            Write(*line);
    }

private:
    void Read() {
        if (waitingSince_) {
            // The first bytes after a request: the server's answer.
            const double ms = static_cast<double>(waitingSince_->nsecsElapsed()) / 1e6;
            turnarounds_.push_back(ms);
            if (discardPending_) discardEchoes_.push_back(ms);
            waitingSince_.reset();
            discardPending_ = false;
        }
        const QByteArray data = socket_.readAll();
        decoder_.Feed(std::span(reinterpret_cast<const std::uint8_t*>(data.constData()),
                                static_cast<std::size_t>(data.size())),
                      [this](std::span<const std::uint8_t> m) {
                          bot_.Deliver(net::Bytes(m.begin(), m.end()));
                      });
    }

    void Write(const net::Bytes& message) {
        if (!waitingSince_) {
            waitingSince_.emplace().start();
            discardPending_ = IsDiscard(message);
        }
        const auto frame = net::FrameMessage(message);
        socket_.write(reinterpret_cast<const char*>(frame.data()),
                      static_cast<qint64>(frame.size()));
        // Sent now, within the player's metered time, not on a later turn.
        socket_.flush();
    }

    PlayerCpu& cpu_;
    QTcpSocket socket_;
    net::FrameDecoder decoder_;
    BotClient bot_;
    bool lost_ = false;
    bool connected_ = false;
    std::optional<QElapsedTimer> waitingSince_;
    bool discardPending_ = false;
    std::vector<double> turnarounds_;
    std::vector<double> discardEchoes_;

    static bool IsDiscard(const net::Bytes& message) {
        constexpr auto id = net::IdOf(net::Request::Discard);
        return message.size() >= 2 && message[0] == id.main && message[1] == id.sub;
    }
};

double Percentile(std::vector<double> values, double fraction) {
    if (values.empty()) return 0;
    const auto at = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(at),
                     values.end());
    return values[at];
}

// User and system time of this process so far.
double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace

namespace {

// The soak writes its hands where a real server would: the database --db
// names, or else an SQLite file in a folder of its own, removed afterwards.
class SoakDatabase {
public:
    explicit SoakDatabase(const std::string& named) : target_(named) {
        if (!target_.empty()) return;
        std::string folder = (std::filesystem::temp_directory_path() / "qira-soak-XXXXXX").string();
        if (!mkdtemp(folder.data()))
            throw std::runtime_error("cannot make a folder for the soak's database");
        folder_ = folder;
        target_ = (folder_ / "stats.sqlite").string();
    }
    ~SoakDatabase() {
        std::error_code ignored;
        if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
    }
    SoakDatabase(const SoakDatabase&) = delete;
    SoakDatabase& operator=(const SoakDatabase&) = delete;
    const std::string& target() const { return target_; }
    std::string Kind() const {
        if (IsPostgresTarget(target_)) return "postgresql";
        return folder_.empty() ? "sqlite" : "sqlite (temporary file)";
    }

private:
    std::string target_;
    std::filesystem::path folder_;
};

}  // namespace

int RunSoak(int tables, int seconds, std::uint32_t seed, Milliseconds think,
            const std::string& database) {
    QtScheduler scheduler;
    std::unique_ptr<SoakDatabase> soakDatabase;
    std::unique_ptr<StatsStore> store;
    try {
        soakDatabase = std::make_unique<SoakDatabase>(database);
        store = OpenStatsStore(soakDatabase->target());
    } catch (const std::exception& error) {
        std::cerr << "soak: " << error.what() << '\n';
        return 1;
    }
    StatsStore& stats = *store;
    ServerConfig config;
    config.seed = seed;
    config.log = std::getenv("QIRA_SOAK_LOG") != nullptr;
    config.botWait = Milliseconds{3'600'000};  // the players come over TCP
    // Every player comes from the loopback address.
    config.limits.connectionsPerAddress = static_cast<std::size_t>(tables) * 4 + 16;
    Lobby lobby(scheduler, stats, config);
    TcpServer server(lobby);
    if (!server.Listen(QHostAddress::LocalHost, 0)) {
        std::cerr << "soak: cannot listen on loopback\n";
        return 1;
    }
    PlayerCpu playerCpu;
    MeteredScheduler playerScheduler(scheduler, playerCpu);
    std::vector<std::unique_ptr<RemotePlayer>> players;
    for (int i = 0; i < tables * 4; ++i)
        players.push_back(std::make_unique<RemotePlayer>(
            playerScheduler, playerCpu, server.Port(), "soak" + std::to_string(i + 1),
            seed + static_cast<std::uint32_t>(i), think));

    QTimer report;
    int elapsed = 0;
    std::uint64_t lastHands = 0;
    const long startKb = ResidentKilobytes();
    long at30Kb = 0;
    // CPU time and hands at half time: the second half, when the tables are
    // past their first hand, gives the CPU time a hand costs.
    double halfCpu = 0, halfPlayerCpu = 0;
    std::uint64_t halfHands = 0;
    const auto lost = [&] {
        return std::count_if(players.begin(), players.end(),
                             [](const auto& p) { return p->lost(); });
    };
    QObject::connect(&report, &QTimer::timeout, [&] {
        elapsed += 10;
        const auto& t = lobby.tally();
        const long kb = ResidentKilobytes();
        if (elapsed == 30) at30Kb = kb;
        if (elapsed == (seconds / 2 + 9) / 10 * 10) {
            halfCpu = CpuSeconds();
            halfPlayerCpu = playerCpu.seconds();
            halfHands = t.hands;
        }
        std::cout << elapsed << " s: " << t.hands << " hands (" << (t.hands - lastHands) / 10.0
                  << " hands/s), tables " << lobby.TableCount() << ", connections "
                  << server.ConnectionCount() << ", refused " << t.refused << ", clocks run out "
                  << t.timeouts << ", resident " << kb << " kB" << std::endl;
        lastHands = t.hands;
        if (elapsed >= seconds) QCoreApplication::quit();
    });
    report.start(10'000);
    QCoreApplication::exec();
    const auto& t = lobby.tally();
    const long endKb = ResidentKilobytes();
    std::cout << "soak: " << tables << " tables over loopback TCP, " << t.hands << " hands in "
              << seconds << " s (" << static_cast<double>(t.hands) / seconds
              << " hands/s); resident memory " << startKb << " kB at start, " << at30Kb
              << " kB after 30 s, " << endKb << " kB at the end; refused " << t.refused
              << ", clocks run out " << t.timeouts << ", connections lost " << lost() << std::endl;
    const auto connected =
        std::count_if(players.begin(), players.end(), [](const auto& p) { return p->connected(); });
    std::vector<double> turnarounds, discardEchoes;
    for (const auto& p : players) {
        turnarounds.insert(turnarounds.end(), p->turnarounds().begin(), p->turnarounds().end());
        discardEchoes.insert(discardEchoes.end(), p->discardEchoes().begin(),
                             p->discardEchoes().end());
    }
    const char* dispatcher = QAbstractEventDispatcher::instance()->metaObject()->className();
    const auto* epoll = qobject_cast<EpollDispatcher*>(QAbstractEventDispatcher::instance());
    const LoopLag::Figures lag = epoll ? epoll->lag().Summary() : LoopLag::Figures{};
    const double secondHalfHands = static_cast<double>(t.hands - halfHands);
    const double cpuMsPerHand =
        t.hands > halfHands ? (CpuSeconds() - halfCpu) * 1e3 / secondHalfHands : 0.0;
    const double playersMsPerHand =
        t.hands > halfHands ? (playerCpu.seconds() - halfPlayerCpu) * 1e3 / secondHalfHands : 0.0;
    std::cout << "{\"tables\":" << tables << ",\"connected\":" << connected
              << ",\"hands\":" << t.hands << ",\"seconds\":" << seconds
              << ",\"hands_per_s\":" << static_cast<double>(t.hands) / std::max(1, seconds)
              << ",\"turnaround_ms\":{\"p50\":" << Percentile(turnarounds, 0.5)
              << ",\"p99\":" << Percentile(turnarounds, 0.99)
              << "},\"discard_echo_ms\":{\"p50\":" << Percentile(discardEchoes, 0.5)
              << ",\"p99\":" << Percentile(discardEchoes, 0.99) << ",\"max\":"
              << (discardEchoes.empty()
                      ? 0.0
                      : *std::max_element(discardEchoes.begin(), discardEchoes.end()))
              << "},\"cpu_s\":" << CpuSeconds() << ",\"cpu_ms_per_hand\":" << cpuMsPerHand
              << ",\"players_cpu_ms_per_hand\":" << playersMsPerHand
              << ",\"server_cpu_ms_per_hand\":" << cpuMsPerHand - playersMsPerHand
              << ",\"loop_lag_ms\":{\"p50\":" << lag.p50Ms << ",\"p99\":" << lag.p99Ms
              << ",\"max\":" << lag.maxMs << ",\"turns\":" << lag.turns << "}"
              << ",\"dispatcher\":\"" << dispatcher << "\""
              << ",\"store\":\"" << soakDatabase->Kind() << "\""
              << ",\"rss_kb\":{\"start\":" << startKb << ",\"end\":" << endKb
              << "},\"refused\":" << t.refused << ",\"clocks_run_out\":" << t.timeouts
              << ",\"lost\":" << lost() << "}" << std::endl;
    const bool written = stats.Flush(std::chrono::seconds(10)).empty();
    if (!written) std::cerr << "soak: hands not written: " << stats.Fault() << '\n';
    const bool clean = written && connected == static_cast<long>(players.size()) &&
                       t.refused == 0 && t.timeouts == 0 && lost() == 0 &&
                       lobby.TableCount() == static_cast<std::size_t>(tables);
    return clean ? 0 : 1;
}

namespace {

// An onlooker that says hello and never reads a byte.
std::unique_ptr<QTcpSocket> MuteOnlooker(quint16 port, const std::string& watched) {
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QHostAddress::LocalHost, port);
    QTcpSocket* raw = socket.get();
    QObject::connect(raw, &QTcpSocket::connected, [raw, watched] {
        raw->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4096);
        for (const auto& m : {*net::BuildHello("mute`" + watched), *net::requests::Entry(true)}) {
            const auto frame = net::FrameMessage(m);
            raw->write(reinterpret_cast<const char*>(frame.data()),
                       static_cast<qint64>(frame.size()));
        }
    });
    return socket;
}

}  // namespace

int RunHostileSoak(int seconds, std::uint32_t seed) {
    QtScheduler scheduler;
    MemoryStatsStore stats;
    ServerConfig config;
    config.seed = seed;
    config.log = std::getenv("QIRA_SOAK_LOG") != nullptr;
    config.botThink = Milliseconds{100};
    config.limits.connectionsPerAddress = 100'000;
    config.limits.helloDeadline = Milliseconds{2'000};
    // A small cap, so that the onlooker that never reads is cut off (and
    // comes back) within the run.
    config.limits.outputCapBytes = 16 * 1024;
    Lobby lobby(scheduler, stats, config);
    TcpServer server(lobby);
    if (!server.Listen(QHostAddress::LocalHost, 0)) return 1;
    const quint16 port = server.Port();
    PlayerCpu talkerCpu;
    MeteredScheduler talkerScheduler(scheduler, talkerCpu);
    RemotePlayer talker(talkerScheduler, talkerCpu, port, "talker", seed);
    std::unique_ptr<QTcpSocket> mute;
    std::vector<std::unique_ptr<QTcpSocket>> idle, leaving;
    std::uint64_t idleOpened = 0, muteArrivals = 0;
    QTimer second;
    int elapsed = 0;
    long baseKb = 0, peakKb = 0;
    QObject::connect(&second, &QTimer::timeout, [&] {
        ++elapsed;
        talker.Chat("第 " + std::to_string(elapsed) + " 秒：" + std::string(150, 'x'));
        if (!mute || mute->state() == QAbstractSocket::UnconnectedState) {
            mute = MuteOnlooker(port, "talker");
            ++muteArrivals;
        }
        leaving = std::move(idle);  // the ones from the second before go now
        idle.clear();
        for (int i = 0; i < 100; ++i, ++idleOpened) {
            idle.push_back(std::make_unique<QTcpSocket>());
            idle.back()->connectToHost(QHostAddress::LocalHost, port);
        }
        const long kb = ResidentKilobytes();
        if (elapsed == 10) baseKb = kb;
        if (elapsed > 10) peakKb = std::max(peakKb, kb);
        if (elapsed % 10 == 0)
            std::cout << elapsed << " s: resident " << kb << " kB, connections "
                      << server.ConnectionCount() << ", idle opened " << idleOpened
                      << ", mute onlooker arrivals " << muteArrivals << ", hands "
                      << lobby.tally().hands << std::endl;
        if (elapsed >= seconds) QCoreApplication::quit();
    });
    second.start(1'000);
    QCoreApplication::exec();
    const bool flat = baseKb > 0 && peakKb <= baseKb + baseKb / 5;
    std::cout << "hostile soak: " << seconds << " s, " << idleOpened << " idle connections, "
              << muteArrivals << " arrivals of the onlooker that never reads; resident " << baseKb
              << " kB after 10 s, at most " << peakKb << " kB after that ("
              << (flat ? "flat" : "GROWING") << ")" << std::endl;
    return flat ? 0 : 1;
}

}  // namespace qira::server
