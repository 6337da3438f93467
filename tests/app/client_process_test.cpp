// Runs the real client program against a local listener.
#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include "launch/client_exit.h"
#include "launch/exit_note.h"
#include "launch/launch_token.h"
#include "net/frame_codec.h"
#include "net/hello_secret.h"
#include "net/packet.h"
#include "net/server_messages.h"

namespace qira {
namespace {

QCoreApplication& App() {
    static int argc = 1;
    static char name[] = "client_process_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

QStringList LaunchArguments(quint16 port, const QString& userName = QStringLiteral("张三")) {
    return {QString::fromLatin1(launch::kLaunchToken.data(), launch::kLaunchToken.size()),
            QStringLiteral("127.0.0.1"),
            QString::number(port),
            QStringLiteral("Qira麻将"),
            QStringLiteral("长工_100`短工_200"),
            QStringLiteral("-"),
            QStringLiteral("-"),
            userName,
            QStringLiteral("1")};
}

struct Finished {
    int exitCode = -1;
    QString standardError;
};

Finished RunToEnd(QProcess& process) {
    EXPECT_TRUE(process.waitForFinished(20000)) << "the client did not end";
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardError())};
}

void StartClient(QProcess& process, const QStringList& arguments, const QString& notePath = {}) {
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    if (!notePath.isEmpty()) environment.insert(launch::kExitNoteVariable, notePath);
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(QIRA_CLIENT_PATH), arguments);
    ASSERT_TRUE(process.waitForStarted(10000));
}

// Reads frames until `count` messages have arrived or the wait runs out.
std::vector<net::Bytes> ReadMessages(QTcpSocket& socket, std::size_t count) {
    net::FrameDecoder decoder;
    std::vector<net::Bytes> messages;
    while (messages.size() < count && socket.waitForReadyRead(10000)) {
        const QByteArray data = socket.readAll();
        decoder.Feed(std::span(reinterpret_cast<const std::uint8_t*>(data.constData()),
                               static_cast<std::size_t>(data.size())),
                     [&](std::span<const std::uint8_t> message) {
                         messages.emplace_back(message.begin(), message.end());
                     });
    }
    return messages;
}

TEST(ClientProcess, SendsHelloThenEntryAndEndsWhenTheServerCloses) {
    App();
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    QProcess client;
    StartClient(client, LaunchArguments(server.serverPort()));

    ASSERT_TRUE(server.waitForNewConnection(20000));
    std::unique_ptr<QTcpSocket> connection(server.nextPendingConnection());
    const auto messages = ReadMessages(*connection, 2);
    ASSERT_EQ(messages.size(), 2u);
    // Name, no player to watch, and the client's secret.
    const auto hello = net::SplitFields(net::ParseHello(messages[0]).value_or(""));
    ASSERT_EQ(hello.size(), 3u);
    EXPECT_EQ(hello[0], "张三");
    EXPECT_EQ(hello[1], "");
    EXPECT_EQ(hello[2].size(), net::kHelloSecretLength);
    const std::string_view body = "500`QIRA`0";
    net::Bytes entry{130, 0};
    entry.insert(entry.end(), body.begin(), body.end());
    EXPECT_EQ(messages[1], entry);

    connection->close();
    const auto finished = RunToEnd(client);
    EXPECT_EQ(client.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(finished.exitCode, launch::StatusOf(launch::ClientExit::ConnectionLost))
        << "the launcher tells a lost connection from a window the player closed";
}

void SendMessage(QTcpSocket& connection, const net::Bytes& message) {
    const net::Bytes frame = net::FrameMessage(message);
    connection.write(reinterpret_cast<const char*>(frame.data()),
                     static_cast<qint64>(frame.size()));
    connection.flush();
}

// The server sends the player away between hands: the client ends with the
// status that offers another game, and says why in the note file its
// launcher named and on standard error.
TEST(ClientProcess, TellsItsLauncherWhyTheTableSentThePlayerAway) {
    App();
    QTemporaryDir folder;
    const QString notePath = folder.filePath(QStringLiteral("note"));
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    QProcess client;
    StartClient(client, LaunchArguments(server.serverPort()), notePath);
    ASSERT_TRUE(server.waitForNewConnection(20000));
    std::unique_ptr<QTcpSocket> connection(server.nextPendingConnection());
    ASSERT_EQ(ReadMessages(*connection, 2).size(), 2u);

    namespace sm = net::server_messages;
    SendMessage(*connection, sm::Identity("张三", "张三"));
    const std::vector<std::string> records{net::JoinFields(
        {"张三", "1", "1000", "100", "", "0", "0", "0", "0", "0", "0", "0", "3", "0", "0", "0"})};
    SendMessage(*connection, sm::UserList(records));
    SendMessage(*connection, sm::MustStop(0, "超时次数过多，系统判定为逃跑"));
    const auto finished = RunToEnd(client);  // after the notice's countdown
    EXPECT_EQ(finished.exitCode, launch::StatusOf(launch::ClientExit::LeftTable));
    const std::string why =
        "服务器让你离开了牌桌，原因：超时次数过多，系统判定为逃跑。"
        "当时没有牌局在进行，不扣分。";
    EXPECT_EQ(launch::ReadExitNote(notePath.toStdString()), why);
    EXPECT_TRUE(finished.standardError.contains(QString::fromStdString(why)));
}

TEST(ClientProcess, EndsWhenTheServerRefusesTheConnection) {
    App();
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const quint16 closedPort = probe.serverPort();
    probe.close();
    QProcess client;
    StartClient(client, LaunchArguments(closedPort));
    const auto finished = RunToEnd(client);
    EXPECT_EQ(client.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(finished.exitCode, launch::StatusOf(launch::ClientExit::ConnectionLost));
}

TEST(ClientProcess, RefusesABadCommandLineWithTheNumberedMessage) {
    App();
    QProcess tooFew;
    StartClient(tooFew,
                {QStringLiteral("only"), QStringLiteral("three"), QStringLiteral("tokens")});
    const auto countError = RunToEnd(tooFew);
    EXPECT_EQ(countError.exitCode, 1);
    EXPECT_TRUE(countError.standardError.contains(QStringLiteral("1号错误，无法正常启动游戏！")));

    auto arguments = LaunchArguments(1);
    arguments[0] = arguments[0].toLower();
    QProcess wrongToken;
    StartClient(wrongToken, arguments);
    const auto tokenError = RunToEnd(wrongToken);
    EXPECT_EQ(tokenError.exitCode, 2);
    EXPECT_TRUE(tokenError.standardError.contains(QStringLiteral("2号错误，无法正常启动游戏！")));
}

}  // namespace
}  // namespace qira
