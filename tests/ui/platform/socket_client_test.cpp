// The socket class over a real loopback connection: a local server plays the
// room server and writes framed messages, the client delivers them.
#include "ui/platform/socket_client.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "net/hello_secret.h"
#include "net/packet.h"
#include "tcp_timer.h"

namespace qira::platform {
namespace {

using net::Bytes;

// Long enough for loopback on a loaded machine; a wait that must not end by
// its timeout ends far sooner.
constexpr int kPatienceMs = 3000;

bool ProcessEventsUntil(const std::function<bool()>& done, int milliseconds = kPatienceMs) {
    QDeadlineTimer deadline(milliseconds);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

Bytes Numbered(int number) {
    return Bytes{7, 0, static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8)};
}

int NumberOf(const Bytes& message) {
    return message.size() == 4 ? message[2] | (message[3] << 8) : -1;
}

// The client connected to a server on 127.0.0.1, with the server's end of
// the connection in `server`.
class SocketClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(listener.listen(QHostAddress::LocalHost));
        client.ConnectTo(QStringLiteral("127.0.0.1"), listener.serverPort(), "tester");
        ASSERT_TRUE(ProcessEventsUntil([this] { return listener.hasPendingConnections(); }));
        server.reset(listener.nextPendingConnection());
        ASSERT_TRUE(server);
    }

    // Writes the messages, framed, in one write: they arrive as one burst.
    void ServerWrites(const std::vector<Bytes>& messages) {
        QByteArray bytes;
        for (const auto& message : messages) {
            const Bytes frame = net::FrameMessage(message);
            bytes.append(reinterpret_cast<const char*>(frame.data()),
                         static_cast<qsizetype>(frame.size()));
        }
        server->write(bytes);
        server->flush();
    }

    // What a handler does that waits in a nested event loop, as a question
    // or an animation does, until `done` holds or the patience runs out.
    void WaitInNestedLoop(const std::function<bool()>& done) {
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (done()) loop.quit();
        });
        poll.start(5);
        QTimer::singleShot(kPatienceMs, &loop, &QEventLoop::quit);
        loop.exec();
    }

    QTcpServer listener;
    std::unique_ptr<QTcpSocket> server;
    SocketClient client;
};

TEST_F(SocketClientTest, MessageArrivingWhileAHandlerWaitsIsHandledBeforeTheWaitEnds) {
    std::vector<std::string> events;
    QObject::connect(&client, &SocketClient::MessageArrived, [&](const Bytes& message) {
        if (NumberOf(message) != 1) {
            events.push_back("message " + std::to_string(NumberOf(message)));
            return;
        }
        events.push_back("first handler waits");
        ServerWrites({Numbered(2)});
        WaitInNestedLoop([&] { return events.size() >= 2; });
        events.push_back("first handler returns");
    });
    ServerWrites({Numbered(1)});
    ASSERT_TRUE(ProcessEventsUntil([&] { return events.size() >= 3; }))
        << "delivered: " << events.size();
    EXPECT_EQ(events, (std::vector<std::string>{"first handler waits", "message 2",
                                                "first handler returns"}));
}

TEST_F(SocketClientTest, BurstIsHandledInOrderAndCompletelyWhileItsFirstHandlerWaits) {
    constexpr int kBurst = 60;
    std::vector<int> handled;
    bool firstReturned = false;
    int handledBeforeFirstReturned = 0;
    QObject::connect(&client, &SocketClient::MessageArrived, [&](const Bytes& message) {
        handled.push_back(NumberOf(message));
        if (NumberOf(message) != 0) return;
        WaitInNestedLoop([&] { return handled.size() == kBurst; });
        handledBeforeFirstReturned = static_cast<int>(handled.size());
        firstReturned = true;
    });
    std::vector<Bytes> burst;
    for (int number = 0; number < kBurst; ++number) burst.push_back(Numbered(number));
    ServerWrites(burst);
    ASSERT_TRUE(ProcessEventsUntil([&] { return firstReturned && handled.size() == kBurst; }));
    std::vector<int> expected(kBurst);
    for (int number = 0; number < kBurst; ++number) expected[number] = number;
    EXPECT_EQ(handled, expected);
    EXPECT_EQ(handledBeforeFirstReturned, kBurst)
        << "the rest of the burst must not wait for the first handler";
}

TEST_F(SocketClientTest, EndOfTheConnectionComesAfterEveryMessageSentBeforeIt) {
    std::vector<std::string> events;
    QObject::connect(&client, &SocketClient::MessageArrived, [&](const Bytes& message) {
        events.push_back("message " + std::to_string(NumberOf(message)));
    });
    QObject::connect(&client, &SocketClient::ConnectionEnded,
                     [&](const QString&) { events.push_back("end"); });
    ServerWrites({Numbered(1), Numbered(2), Numbered(3)});
    server->disconnectFromHost();
    ASSERT_TRUE(ProcessEventsUntil([&] { return !events.empty() && events.back() == "end"; }));
    EXPECT_EQ(events, (std::vector<std::string>{"message 1", "message 2", "message 3", "end"}));
    EXPECT_FALSE(client.Send(Numbered(4))) << "nothing is sent after the end";
}

TEST_F(SocketClientTest, HelloGoesFirstThenWholeMessagesInTheirOrder) {
    ASSERT_TRUE(client.Send(Numbered(5)));
    ASSERT_TRUE(client.Send(Numbered(6)));
    net::FrameDecoder decoder;
    std::vector<Bytes> received;
    ASSERT_TRUE(ProcessEventsUntil([&] {
        const QByteArray bytes = server->readAll();
        decoder.Feed(
            std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                      static_cast<std::size_t>(bytes.size())),
            [&](std::span<const std::uint8_t> m) { received.emplace_back(m.begin(), m.end()); });
        return received.size() >= 3;
    }));
    // The name, no player to watch, and the client's secret.
    const auto hello = net::SplitFields(net::ParseHello(received[0]).value_or(""));
    ASSERT_EQ(hello.size(), 3u);
    EXPECT_EQ(hello[0], "tester");
    EXPECT_EQ(hello[2].size(), net::kHelloSecretLength);
    EXPECT_EQ(received[1], Numbered(5));
    EXPECT_EQ(received[2], Numbered(6));
}

// More than the socket buffers hold at once: the rest is written as the
// server reads, still whole and in order.
TEST_F(SocketClientTest, SendsLargerThanTheSocketBuffersArriveWholeAndInOrder) {
    constexpr int kMessages = 200;
    for (int number = 0; number < kMessages; ++number) {
        Bytes message(net::kMaxMessageBytes - 16, static_cast<std::uint8_t>(number));
        message[0] = 7;
        ASSERT_TRUE(client.Send(message));
    }
    net::FrameDecoder decoder;
    std::vector<Bytes> received;
    ASSERT_TRUE(ProcessEventsUntil(
        [&] {
            const QByteArray bytes = server->readAll();
            decoder.Feed(std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                   static_cast<std::size_t>(bytes.size())),
                         [&](std::span<const std::uint8_t> m) {
                             received.emplace_back(m.begin(), m.end());
                         });
            return received.size() >= kMessages + 1;
        },
        4 * kPatienceMs));
    for (int number = 0; number < kMessages; ++number) {
        const Bytes& message = received[static_cast<std::size_t>(number) + 1];
        ASSERT_EQ(message.size(), net::kMaxMessageBytes - 16);
        EXPECT_EQ(message.back(), static_cast<std::uint8_t>(number)) << number;
    }
}

TEST_F(SocketClientTest, AnIdleConnectionProbesTheServerWithinAMinute) {
    // Once the hello is acknowledged the keepalive timer runs; on a busy
    // machine the acknowledgement may lag.
    std::optional<std::pair<int, long>> timer;
    ProcessEventsUntil(
        [&] {
            timer = qira::testing::TcpTimer(server->peerPort(), listener.serverPort());
            return timer && timer->first == 2;
        },
        5000);
    ASSERT_TRUE(timer.has_value());
    EXPECT_EQ(timer->first, 2) << "a keepalive timer runs on the client's end";
    EXPECT_LE(timer->second, 20 * 100) << "the first probe within a third of a minute";
}

// Connecting by name and failing to connect, without a fixture's server.
TEST(SocketClientConnect, ByHostNameAndToAClosedPort) {
    QTcpServer listener;
    ASSERT_TRUE(listener.listen(QHostAddress::LocalHost));
    const quint16 port = listener.serverPort();
    {
        SocketClient client;
        bool connected = false;
        QObject::connect(&client, &SocketClient::Connected, [&] { connected = true; });
        client.ConnectTo(QStringLiteral("localhost"), port, "tester");
        EXPECT_TRUE(ProcessEventsUntil([&] { return connected; }));
    }
    listener.close();  // nothing listens on the port now
    SocketClient client;
    bool connected = false;
    std::vector<QString> ends;
    QObject::connect(&client, &SocketClient::Connected, [&] { connected = true; });
    QObject::connect(&client, &SocketClient::ConnectionEnded,
                     [&](const QString& reason) { ends.push_back(reason); });
    client.ConnectTo(QStringLiteral("127.0.0.1"), port, "tester");
    ASSERT_TRUE(ProcessEventsUntil([&] { return !ends.empty(); }));
    ProcessEventsUntil([] { return false; }, 100);  // no second end follows
    EXPECT_FALSE(connected);
    EXPECT_EQ(ends.size(), 1u);
    EXPECT_FALSE(ends.front().isEmpty());
    EXPECT_FALSE(client.Send(Numbered(1)));
}

}  // namespace
}  // namespace qira::platform
