// Runs the real client program against a local listener.
#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

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

// `endReport` and `notePath` name the files the client writes why it ended to.
void StartClient(QProcess& process, const QStringList& arguments,
                 const QString& endReport = QString(), const QString& notePath = QString()) {
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("LC_ALL", "C.UTF-8");  // the system's reasons in English
    if (!endReport.isEmpty()) environment.insert(launch::kEndReportVariable, endReport);
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
    QTemporaryDir folder;
    const QString report = folder.filePath("end-report");
    QProcess client;
    StartClient(client, LaunchArguments(server.serverPort()), report);

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
    EXPECT_EQ(launch::ReadEndReport(report.toStdString()), "connection closed by the server");
}

net::Bytes Text(std::uint8_t type, std::uint8_t subtype, const std::string& text) {
    net::Bytes message{type, subtype};
    message.insert(message.end(), text.begin(), text.end());
    return message;
}

// The server seats the player, starts a hand and goes away while the client
// still rolls the dice.
TEST(ClientProcess, ReportsAConnectionThatEndsWhileTheDiceRoll) {
    App();
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    QTemporaryDir folder;
    const QString report = folder.filePath("end-report");
    QProcess client;
    StartClient(client, LaunchArguments(server.serverPort(), "me"), report);
    ASSERT_TRUE(server.waitForNewConnection(20000));
    std::unique_ptr<QTcpSocket> connection(server.nextPendingConnection());
    ASSERT_EQ(ReadMessages(*connection, 2).size(), 2u);
    const char* names[] = {"east", "me", "west", "north"};
    std::string users;
    for (int chair = 0; chair < 4; ++chair)
        users += (chair == 0 ? "" : "\n") +
                 net::JoinFields({names[chair], "1001", "250", "3", "", "10", "50", "0", "5", "5",
                                  "0", "0", "0", std::to_string(chair), "0", "0"});
    net::Bytes hand(29, 0);
    hand[0] = 17;  // a new hand, dealer 0, dice 4, no wild tile
    hand[3] = 5;
    hand[12] = 4;
    hand[14] = 3;
    hand[16] = 10;
    for (int chair = 0; chair < 4; ++chair) hand[19 + 2 * chair] = 33;
    hand[26] = 34;
    hand[27] = 33;
    for (const auto& message : {Text(130, 3, net::JoinFields({"me", "me"})), Text(130, 2, users),
                                Text(111, 0, "a`b`c`0`d`0`0"), hand}) {
        const auto frame = net::FrameMessage(message);
        connection->write(reinterpret_cast<const char*>(frame.data()),
                          static_cast<qint64>(frame.size()));
    }
    connection->waitForBytesWritten(5000);
    QThread::msleep(300);  // the dice roll for longer than this
    connection->close();
    const auto finished = RunToEnd(client);
    EXPECT_EQ(finished.exitCode, launch::StatusOf(launch::ClientExit::ConnectionLost));
    // Closed or reset, as the unread requests decide.
    const auto reason = QString::fromStdString(launch::ReadEndReport(report.toStdString()));
    EXPECT_FALSE(reason.isEmpty());
    EXPECT_TRUE(
        finished.standardError.contains(QStringLiteral("the connection to 127.0.0.1:%1 ended: %2")
                                            .arg(server.serverPort())
                                            .arg(reason)))
        << finished.standardError.toStdString();
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
    StartClient(client, LaunchArguments(server.serverPort()), QString(), notePath);
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
    QTemporaryDir folder;
    const QString report = folder.filePath("end-report");
    QProcess client;
    StartClient(client, LaunchArguments(closedPort), report);
    const auto finished = RunToEnd(client);
    EXPECT_EQ(client.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(finished.exitCode, launch::StatusOf(launch::ClientExit::ServerUnreachable))
        << "the launcher tells a server that is not there from a connection that broke";
    EXPECT_EQ(launch::ReadEndReport(report.toStdString()), "Connection refused");
    EXPECT_TRUE(finished.standardError.contains(
        QStringLiteral("cannot connect to 127.0.0.1:%1: Connection refused").arg(closedPort)));
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
