// Runs the real qira-launch, with the real client, against a server that is
// not there, a listener that drops the client, and a real server killed and
// started again. The launcher's test hook (QIRA_LAUNCH_TEST_HOOK) prints each
// window's text and answers it with the key the test writes to its input.
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <optional>

#include <signal.h>

#include "net/frame_codec.h"
#include "net/front_door.h"
#include "net/hello_secret.h"
#include "net/packet.h"

namespace qira {
namespace {

const QString kDropped = QStringLiteral("window: 与服务器的连接断开了 [重新连接] [退出]");

QString ProgramBeside(const char* name) {
    return QFileInfo(QStringLiteral(QIRA_LAUNCH_PATH)).absolutePath() + '/' + name;
}

class LauncherProgram : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(home_.isValid()); }

    // Starts `qira-launch 127.0.0.1 PORT`, or with no port `qira-launch
    // --local`, or with `arguments` given those.
    void StartLauncher(std::optional<quint16> port, std::optional<QStringList> arguments = {}) {
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("HOME", home_.path());  // the client's own hello secret
        environment.insert("XDG_CONFIG_HOME", home_.filePath("config"));
        environment.insert("LC_ALL", "C.UTF-8");  // the system's reasons in English
        environment.insert("QIRA_USER", "张三");
        environment.insert("QIRA_LAUNCH_TEST_HOOK", "1");
        environment.insert("XDG_DATA_HOME", home_.filePath("data"));
        launcher_.setProcessEnvironment(environment);
        launcher_.start(QStringLiteral(QIRA_LAUNCH_PATH),
                        arguments ? *arguments
                        : port    ? QStringList{QStringLiteral("127.0.0.1"), QString::number(*port)}
                                  : QStringList{QStringLiteral("--local")});
        ASSERT_TRUE(launcher_.waitForStarted(10000));
    }

    // Waits for the launcher's next window and answers it with `key`;
    // returns the window's line.
    QString Answer(const char* key) {
        while (!launcher_.canReadLine() && launcher_.waitForReadyRead(60000)) {
        }
        const QString line = QString::fromUtf8(launcher_.readLine()).trimmed();
        launcher_.write(QByteArray(key) + '\n');
        launcher_.waitForBytesWritten(10000);  // no event loop here writes it
        return line;
    }

    // Waits until the launcher's standard error (where a local server logs)
    // has said `text` `count` times.
    bool WaitForStandardError(const QString& text, int count) {
        for (int i = 0; i < 300 && errors_.count(text) < count; ++i) {
            launcher_.waitForReadyRead(100);
            errors_ += QString::fromUtf8(launcher_.readAllStandardError());
        }
        return errors_.count(text) >= count;
    }

    int Finish() {
        EXPECT_TRUE(launcher_.waitForFinished(60000)) << "the launcher did not end";
        return launcher_.exitCode();
    }

    QTemporaryDir home_;
    QProcess launcher_;
    QString errors_;
};

quint16 ClosedPort() {
    QTcpServer probe;
    EXPECT_TRUE(probe.listen(QHostAddress::LocalHost));
    return probe.serverPort();  // closed when the probe goes
}

TEST_F(LauncherProgram, AnUnreachableServerIsNamedWithTheSystemsReason) {
    const quint16 port = ClosedPort();
    StartLauncher(port);
    EXPECT_EQ(Answer("Escape"),
              QStringLiteral("window: 无法连接到服务器 127.0.0.1:%1（Connection refused） "
                             "[重新连接] [退出]")
                  .arg(port));
    EXPECT_EQ(Finish(), 5);
}

// The hello's name and secret from the next client that connects.
std::vector<std::string> NextHello(QTcpServer& server) {
    if (!server.waitForNewConnection(30000)) return {};
    std::unique_ptr<QTcpSocket> connection(server.nextPendingConnection());
    net::FrameDecoder decoder;
    std::optional<net::Bytes> first;
    while (!first && connection->waitForReadyRead(10000)) {
        const QByteArray data = connection->readAll();
        decoder.Feed(std::span(reinterpret_cast<const std::uint8_t*>(data.constData()),
                               static_cast<std::size_t>(data.size())),
                     [&](std::span<const std::uint8_t> message) {
                         if (!first) first.emplace(message.begin(), message.end());
                     });
    }
    if (!first) return {};
    const auto fields = net::SplitFields(net::ParseHello(*first).value_or(""));
    connection->close();  // the drop
    return fields.size() == 3 ? std::vector<std::string>{fields[0], fields[2]}
                              : std::vector<std::string>{};
}

// A front door that answers the next request with `address`; the request.
std::optional<net::FrontDoorAsk> AnswerFrontDoor(QTcpServer& door, const std::string& address) {
    if (!door.waitForNewConnection(30000)) return std::nullopt;
    std::unique_ptr<QTcpSocket> connection(door.nextPendingConnection());
    while (!connection->canReadLine() && connection->waitForReadyRead(10000)) {
    }
    const auto ask = net::ParseFrontDoorRequest(connection->readLine().toStdString());
    connection->write(QByteArray::fromStdString(net::FrontDoorAnswer(address)));
    connection->waitForBytesWritten(10000);
    return ask;
}

TEST_F(LauncherProgram, JoinsTheServerTheFrontDoorNamesWithTheClientsSecret) {
    QTcpServer door, game;
    ASSERT_TRUE(door.listen(QHostAddress::LocalHost));
    ASSERT_TRUE(game.listen(QHostAddress::LocalHost));
    StartLauncher({},
                  QStringList{"--front-door", "127.0.0.1:" + QString::number(door.serverPort())});
    const auto ask = AnswerFrontDoor(door, "127.0.0.1:" + std::to_string(game.serverPort()));
    ASSERT_TRUE(ask);
    EXPECT_EQ(ask->name, "张三");
    EXPECT_EQ(ask->secret.size(), net::kHelloSecretLength);
    const auto hello = NextHello(game);
    ASSERT_EQ(hello.size(), 2u);
    EXPECT_EQ(hello[0], "张三");
    EXPECT_EQ(hello[1], ask->secret) << "the server sees the secret the door saw";
    EXPECT_EQ(Answer("Return"), kDropped);
    // Asked again after the drop; now it knows no server.
    EXPECT_EQ(AnswerFrontDoor(door, "").value_or(net::FrontDoorAsk{}).name, "张三");
    EXPECT_TRUE(Answer("Escape").startsWith("window: 无法连接到服务器 127.0.0.1:"));
    EXPECT_EQ(Finish(), 5);
}

TEST_F(LauncherProgram, ADroppedPlayerReconnectsWithTheSameNameAndSecret) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    StartLauncher(server.serverPort());
    const auto first = NextHello(server);
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first[0], "张三");
    EXPECT_EQ(first[1].size(), net::kHelloSecretLength);
    EXPECT_EQ(Answer("Return"), kDropped);
    EXPECT_EQ(NextHello(server), first) << "Enter starts a client that can take the chair back";
    EXPECT_EQ(Answer("Escape"), kDropped);
    EXPECT_EQ(Finish(), 4) << "Escape quits after the second drop";
}

// A server on `port` (0: any), its log on standard error.
void StartServer(QProcess& server, quint16 port, const QString& database) {
    server.start(ProgramBeside("qira-server"),
                 {"--listen", QStringLiteral("127.0.0.1:%1").arg(port), "--print-port", "--db",
                  database, "--bot-wait", "0"});
    ASSERT_TRUE(server.waitForStarted(10000));
    ASSERT_TRUE(server.waitForReadyRead(10000));
}

bool WaitForLog(QProcess& server, const QString& text, QString* log) {
    for (int i = 0; i < 300 && !log->contains(text); ++i) {
        server.waitForReadyRead(100);
        *log += QString::fromUtf8(server.readAllStandardError());
    }
    return log->contains(text);
}

TEST_F(LauncherProgram, AfterTheServerIsKilledEnterConnectsToItsSuccessor) {
    QProcess server;
    StartServer(server, 0, home_.filePath("first.db"));
    const auto port = static_cast<quint16>(server.readLine().trimmed().toUInt());
    ASSERT_NE(port, 0);
    StartLauncher(port);
    QString log;
    ASSERT_TRUE(WaitForLog(server, "张三 joined", &log)) << log.toStdString();
    server.kill();
    server.waitForFinished(5000);
    QProcess successor;
    StartServer(successor, port, home_.filePath("second.db"));

    EXPECT_EQ(Answer("Return"), kDropped);
    QString successorLog;
    EXPECT_TRUE(WaitForLog(successor, "张三 joined", &successorLog)) << successorLog.toStdString();
    successor.kill();
    successor.waitForFinished(5000);
    EXPECT_EQ(Answer("Escape"), kDropped);
    EXPECT_EQ(Finish(), 4);
}

// The process id of the launcher's child `name`, waiting up to 30 s for it.
std::optional<pid_t> ChildOf(qint64 parent, const QString& name) {
    for (int attempt = 0; attempt < 300; ++attempt) {
        for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
            QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
            if (!stat.open(QIODevice::ReadOnly)) continue;
            // pid (comm) state ppid ...
            const QString line = QString::fromUtf8(stat.readAll());
            const int close = line.lastIndexOf(')');
            const QString command = line.mid(line.indexOf('(') + 1, close - line.indexOf('(') - 1);
            const QStringList rest = line.mid(close + 2).split(' ');
            const bool living = !rest.isEmpty() && rest[0] != "Z";
            if (command == name && living && rest.size() > 1 && rest[1].toLongLong() == parent)
                return entry.toInt();
        }
        QThread::msleep(100);
    }
    return std::nullopt;
}

TEST_F(LauncherProgram, ALocalServerThatEndedIsStartedAgainOnReconnect) {
    StartLauncher(std::nullopt);
    const auto first = ChildOf(launcher_.processId(), "qira-server");
    ASSERT_TRUE(first);
    ASSERT_TRUE(WaitForStandardError("张三 joined", 1)) << errors_.toStdString();
    ::kill(*first, SIGKILL);
    EXPECT_EQ(Answer("Return"), kDropped);

    const auto second = ChildOf(launcher_.processId(), "qira-server");
    ASSERT_TRUE(second);
    EXPECT_NE(*second, *first);
    ASSERT_TRUE(WaitForStandardError("张三 joined", 2)) << "a client joins the new server";
    ::kill(*second, SIGKILL);
    EXPECT_EQ(Answer("Escape"), kDropped);
    EXPECT_EQ(Finish(), 4);
}

TEST_F(LauncherProgram, TheStartWindowNamesARefusingServerAndComesBackAfterALocalGame) {
    StartLauncher(std::nullopt, QStringList{});
    const quint16 closed = ClosedPort();
    EXPECT_EQ(Answer(QStringLiteral("join 127.0.0.1 %1").arg(closed).toUtf8().constData()),
              QStringLiteral("start: 张三 [单机游戏]"));
    EXPECT_EQ(Answer("local"),
              QStringLiteral("start-error: 无法连接到服务器 127.0.0.1:%1（Connection refused）")
                  .arg(closed));
    const auto server = ChildOf(launcher_.processId(), "qira-server");
    ASSERT_TRUE(server);
    ASSERT_TRUE(WaitForStandardError("张三 joined", 1)) << errors_.toStdString();
    QFile command(QStringLiteral("/proc/%1/cmdline").arg(*server));
    ASSERT_TRUE(command.open(QIODevice::ReadOnly));
    EXPECT_TRUE(command.readAll().contains(QByteArray("--bot-level\0002\0--db\0", 19)));
    ::kill(*server, SIGKILL);
    EXPECT_EQ(Answer("Escape"), kDropped);
    EXPECT_EQ(Answer("quit"), QStringLiteral("start: 张三 [加入游戏]"))
        << "back at the start, at the tab last used";
    EXPECT_EQ(Finish(), 0);
    QFile settings(home_.filePath("config/qira/launcher.conf"));
    ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
    EXPECT_FALSE(settings.readAll().contains("server =")) << "only servers that answered";
}

}  // namespace
}  // namespace qira
