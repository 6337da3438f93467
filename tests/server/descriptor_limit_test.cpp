// The real server program under a small descriptor limit, flooded with
// idle connections: it refuses or pauses instead of spinning, and serves a
// new player once the flood is gone. Also the program's answer to a stale
// connection and to a flood of refused requests.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <thread>

#include "net/frame_codec.h"
#include "net/requests.h"

namespace qira {
namespace {

using namespace std::chrono_literals;

QCoreApplication& App() {
    static int argc = 1;
    static char name[] = "server_process_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

// A blocking loopback socket, IPv4 or IPv6, closed with its owner.
class RawConnection {
public:
    explicit RawConnection(quint16 port, int family = AF_INET)
        : fd_(::socket(family, SOCK_STREAM, 0)) {
        sockaddr_storage address{};
        socklen_t length = 0;
        if (family == AF_INET6) {
            auto* in6 = reinterpret_cast<sockaddr_in6*>(&address);
            in6->sin6_family = AF_INET6;
            in6->sin6_port = htons(port);
            in6->sin6_addr = in6addr_loopback;
            length = sizeof *in6;
        } else {
            auto* in4 = reinterpret_cast<sockaddr_in*>(&address);
            in4->sin_family = AF_INET;
            in4->sin_port = htons(port);
            in4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            length = sizeof *in4;
        }
        connected_ = fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&address), length) == 0;
    }
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;
    ~RawConnection() {
        if (fd_ >= 0) ::close(fd_);
    }

    bool connected() const { return connected_; }

    bool Send(const net::Bytes& message) {
        const auto frame = net::FrameMessage(message);
        return ::send(fd_, frame.data(), frame.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(frame.size());
    }

    // True once the server has closed the connection within `wait`,
    // whatever it sent before.
    bool ClosedWithin(std::chrono::milliseconds wait) {
        const auto deadline = std::chrono::steady_clock::now() + wait;
        std::uint8_t buffer[4096];
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd ready{fd_, POLLIN, 0};
            if (::poll(&ready, 1, 100) == 1 && ::recv(fd_, buffer, sizeof buffer, 0) <= 0)
                return true;
        }
        return false;
    }

    // True once any byte arrives within `wait`.
    bool Answered(std::chrono::milliseconds wait) {
        pollfd ready{fd_, POLLIN, 0};
        if (::poll(&ready, 1, static_cast<int>(wait.count())) != 1) return false;
        std::uint8_t byte = 0;
        return ::recv(fd_, &byte, 1, 0) == 1;
    }

private:
    int fd_;
    bool connected_ = false;
};

// The server program with at most `descriptors` open files.
class LimitedServer {
public:
    LimitedServer(rlim_t descriptors, const QStringList& extraOptions) {
        App();
        process_.setChildProcessModifier([descriptors] {
            const rlimit limit{descriptors, descriptors};
            ::setrlimit(RLIMIT_NOFILE, &limit);
        });
        QStringList options{"--listen",
                            "127.0.0.1:0",
                            "--print-port",
                            "--db",
                            directory_.filePath("stats.db"),
                            "--hello-seconds",
                            "2",
                            "--per-address",
                            "1000"};
        options += extraOptions;
        process_.setStandardErrorFile(directory_.filePath("server.log"));
        process_.start(QStringLiteral(QIRA_SERVER_PATH), options);
        if (process_.waitForStarted(10'000) && process_.waitForReadyRead(10'000))
            port_ = static_cast<quint16>(process_.readLine().trimmed().toUInt());
    }
    ~LimitedServer() {
        process_.kill();
        process_.waitForFinished(5'000);
    }

    quint16 port() const { return port_; }
    bool running() const { return process_.state() == QProcess::Running; }

    // Log lines so far that contain `part`.
    int LinesWith(const QString& part) const { return static_cast<int>(Log().count(part)); }

    // Whether a line containing `part` is in the log by `wait` from now.
    bool LogsWithin(const QString& part, std::chrono::milliseconds wait) const {
        const auto deadline = std::chrono::steady_clock::now() + wait;
        while (LinesWith(part) == 0) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(100ms);
        }
        return true;
    }

    // The end of the log, to tell what happened when a check fails.
    std::string LogTail() const { return Log().right(1500).toStdString(); }

private:
    QString Log() const {
        QFile log(directory_.filePath("server.log"));
        return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
    }

    QTemporaryDir directory_;
    QProcess process_;
    quint16 port_ = 0;
};

std::vector<std::unique_ptr<RawConnection>> Flood(quint16 port, int count) {
    std::vector<std::unique_ptr<RawConnection>> idle;
    for (int i = 0; i < count; ++i) idle.push_back(std::make_unique<RawConnection>(port));
    return idle;
}

// A new player is answered after its hello within `wait`. The server
// notices closed connections in its own time, so a newcomer refused as one
// too many tries again.
bool ServesANewPlayer(quint16 port, std::chrono::milliseconds wait) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (std::chrono::steady_clock::now() < deadline) {
        RawConnection player(port);
        if (player.connected() && player.Send(*net::BuildHello("newcomer")) &&
            player.Send(*net::requests::Entry(true)) && player.Answered(1s))
            return true;
        std::this_thread::sleep_for(200ms);
    }
    return false;
}

TEST(Listening, AnIPv6AddressIsServedAndABusyPortIsReportedClearly) {
    const int probe = ::socket(AF_INET6, SOCK_STREAM, 0);
    sockaddr_in6 loopback{};
    loopback.sin6_family = AF_INET6;
    loopback.sin6_addr = in6addr_loopback;
    const bool hasIPv6 =
        probe >= 0 && ::bind(probe, reinterpret_cast<sockaddr*>(&loopback), sizeof loopback) == 0;
    if (probe >= 0) ::close(probe);
    if (!hasIPv6) GTEST_SKIP() << "this machine has no IPv6 loopback";

    LimitedServer server(1024, {"--listen", "[::1]:0"});
    ASSERT_NE(server.port(), 0) << server.LogTail();
    RawConnection player(server.port(), AF_INET6);
    EXPECT_TRUE(player.connected() && player.Send(*net::BuildHello("ipv6")) &&
                player.Send(*net::requests::Entry(true)) && player.Answered(5s))
        << server.LogTail();

    QProcess second;
    second.start(QStringLiteral(QIRA_SERVER_PATH),
                 {"--listen", QStringLiteral("[::1]:%1").arg(server.port()), "--db",
                  QDir::temp().filePath(QStringLiteral("qira-busy-port-test.db"))});
    ASSERT_TRUE(second.waitForFinished(10'000));
    EXPECT_NE(second.exitCode(), 0);
    EXPECT_TRUE(second.readAllStandardError().contains("Address already in use"));
    QFile::remove(QDir::temp().filePath(QStringLiteral("qira-busy-port-test.db")));
}

TEST(ServerProgram, TheSecretTakesTheChairFromAConnectionThatStaysOpenAndSilent) {
    LimitedServer server(1024, {});
    ASSERT_NE(server.port(), 0);
    const auto hello = *net::BuildHello("alice", "", "5ecret0f4lice");
    RawConnection stale(server.port());
    ASSERT_TRUE(stale.Send(hello) && stale.Send(*net::requests::Entry(true)) && stale.Answered(5s))
        << server.LogTail();
    RawConnection back(server.port());
    ASSERT_TRUE(back.Send(hello) && back.Send(*net::requests::Entry(true)) && back.Answered(5s));
    EXPECT_TRUE(stale.ClosedWithin(10s)) << server.LogTail();
    EXPECT_FALSE(back.ClosedWithin(500ms));
    EXPECT_EQ(server.LinesWith("renamed"), 0) << "not a second alice";
    EXPECT_TRUE(server.LogsWithin("closing the old", 1s)) << server.LogTail();
}

TEST(ServerProgram, AFloodOfRefusedRequestsTakesAFewLogLinesAndTheConnection) {
    LimitedServer server(1024, {});
    ASSERT_NE(server.port(), 0);
    RawConnection flooder(server.port());
    ASSERT_TRUE(flooder.Send(*net::BuildHello("flooder")) &&
                flooder.Send(*net::requests::Entry(true)) && flooder.Answered(5s));
    const auto settings = *net::requests::ConfirmSettings(
        "someone else", std::vector<std::string>{"10", "100", "1", "50", "500", "0"});
    for (int i = 0; i < 20'000 && flooder.Send(settings); ++i) {
    }
    EXPECT_TRUE(flooder.ClosedWithin(10s)) << server.LogTail();
    EXPECT_TRUE(server.LogsWithin("keeps sending refused requests", 2s)) << server.LogTail();
    EXPECT_LE(server.LinesWith("refused from flooder"), 25) << server.LogTail();
}

TEST(ServerProgram, ConnectionsTurnedAwayTakeAFewLogLines) {
    LimitedServer server(1024, {"--per-address", "2"});
    ASSERT_NE(server.port(), 0);
    RawConnection first(server.port()), second(server.port());
    for (int i = 0; i < 500; ++i) RawConnection(server.port()).ClosedWithin(1s);
    std::this_thread::sleep_for(1100ms);
    RawConnection(server.port()).ClosedWithin(1s);  // logged, after the count of the rest
    EXPECT_TRUE(server.LogsWithin("more refused connections not logged", 5s)) << server.LogTail();
    EXPECT_LE(server.LinesWith("too many connections from this address"), 30);
}

TEST(DescriptorLimit, ConnectionsBeyondWhatTheDescriptorsAllowAreRefusedWithAReason) {
    LimitedServer server(128, {});
    ASSERT_NE(server.port(), 0);
    auto idle = Flood(server.port(), 120);

    EXPECT_TRUE(server.LogsWithin("the server is full", 10s)) << server.LogTail();
    EXPECT_EQ(server.LinesWith("cannot accept"), 0);
    idle.clear();
    EXPECT_TRUE(ServesANewPlayer(server.port(), 10s)) << server.LogTail();
    EXPECT_TRUE(server.running()) << server.LogTail();
}

// Waits until no line containing `part` has been added for two seconds.
void WaitUntilQuiet(const LimitedServer& server, const QString& part) {
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    int lines = server.LinesWith(part);
    while (std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(2s);
        const int now = server.LinesWith(part);
        if (now == lines) return;
        lines = now;
    }
}

TEST(DescriptorLimit, OutOfDescriptorsTheServerPausesInsteadOfSpinningAndRecovers) {
    // Told to take more connections than it has descriptors for, the
    // server runs out of them while accepting. The idle connections get
    // long enough to say hello that the server meets the limit before the
    // first of them is closed, however slow the machine.
    LimitedServer server(48, {"--max-connections", "1000", "--hello-seconds", "6"});
    ASSERT_NE(server.port(), 0);
    // A server that has already served someone has emptied its queue of
    // waiting connections before; running out must still be noticed.
    ASSERT_TRUE(ServesANewPlayer(server.port(), 10s)) << server.LogTail();
    auto idle = Flood(server.port(), 100);
    const auto connected =
        std::count_if(idle.begin(), idle.end(), [](const auto& each) { return each->connected(); });
    ASSERT_GT(connected, 60) << "the flood itself could not connect";

    ASSERT_TRUE(server.LogsWithin("cannot accept", 10s)) << server.LogTail();
    std::this_thread::sleep_for(3s);
    // An accept loop that retried at once would log thousands of failures;
    // pausing a second each time allows a handful.
    EXPECT_LE(server.LinesWith("cannot accept"), 8) << server.LogTail();
    // The idle connections it holds run out of time and make room.
    EXPECT_TRUE(server.LogsWithin("no hello and entry in time", 15s)) << server.LogTail();
    idle.clear();
    EXPECT_TRUE(ServesANewPlayer(server.port(), 10s)) << server.LogTail();

    // Recovered, it takes new players without calling it a failure.
    WaitUntilQuiet(server, "cannot accept");
    const int failures = server.LinesWith("cannot accept");
    for (int player = 0; player < 3; ++player)
        EXPECT_TRUE(ServesANewPlayer(server.port(), 10s)) << server.LogTail();
    EXPECT_EQ(server.LinesWith("cannot accept"), failures) << server.LogTail();
    EXPECT_TRUE(server.running()) << server.LogTail();
}

}  // namespace
}  // namespace qira
