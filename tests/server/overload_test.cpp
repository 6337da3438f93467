// A server whose event loop falls behind: newcomers are told it is busy,
// seated players play on, and connections the loop was too late to read are
// not held to their deadlines.
#include <gtest/gtest.h>

#include <QHostAddress>
#include <QTcpSocket>
#include <thread>

#include "harness.h"
#include "net/frame_codec.h"
#include "net/requests.h"
#include "server/qt/loop_lag.h"

namespace qira::server::testing {
namespace {

std::vector<std::string> ChatLine(const std::string& text) {
    return {"所有人", "0", "alice", "所有人", "#000000", "宋体", "10", "0", "0", text};
}

TEST(LoopLag, PercentilesWithinAnEighthAndTheLongestTurnOfTheLastSecondOrTwo) {
    using std::chrono::microseconds;
    LoopLag lag;
    const auto start = LoopLag::Clock::now();
    for (int i = 1; i <= 100; ++i) lag.Record(microseconds(i * 100), start);
    lag.Record(std::chrono::milliseconds(300), start + 500ms);
    const auto figures = lag.Summary();
    EXPECT_EQ(figures.turns, 101u);
    EXPECT_NEAR(figures.p50Ms, 5.1, 5.1 / 8);
    EXPECT_NEAR(figures.p99Ms, 10.0, 10.0 / 8);
    EXPECT_DOUBLE_EQ(figures.maxMs, 300.0);
    EXPECT_EQ(lag.Recent(start + 900ms), std::chrono::milliseconds(300));
    lag.Record(microseconds(50), start + 1200ms);  // a new second begins
    EXPECT_EQ(lag.Recent(start + 1500ms), std::chrono::milliseconds(300));
    EXPECT_EQ(lag.Recent(start + 2500ms), microseconds(50));
    EXPECT_EQ(lag.Recent(start + 3500ms), LoopLag::Clock::duration{});
}

TEST(Overload, NewcomersAreToldTheServerIsBusyWhileSeatedPlayersAreServed) {
    auto config = FastConfig();
    config.botWait = 600s;
    config.limits.busyLag = 200ms;
    ServerHarness server(config);
    ScriptedClient alice("alice");
    alice.autoPlay = false;
    ASSERT_TRUE(alice.Connect(server.port()));
    ASSERT_TRUE(alice.PumpUntil([&] { return alice.chair >= 0; }, 5s));

    server.Stall(800ms);
    std::this_thread::sleep_for(100ms);  // the loop is stuck now
    ScriptedClient bob("bob");
    bob.autoPlay = false;
    ASSERT_TRUE(bob.Connect(server.port()));
    alice.Send(*net::requests::Chat(ChatLine("还在吗")));
    ASSERT_TRUE(bob.PumpUntil([&] { return bob.Disconnected(); }, 5s));
    ASSERT_EQ(bob.Count(26), 1) << "the newcomer is told why";
    EXPECT_EQ(net::DecodeBody(*bob.First(26), 1), "服务器繁忙，请稍后再来");
    EXPECT_EQ(bob.chair, -1);
    EXPECT_TRUE(alice.PumpUntil([&] { return alice.Count(1) == 1; }, 5s))
        << "the seated player's chat is relayed";
    EXPECT_FALSE(alice.Disconnected());

    // Once the loop has kept up for a while, newcomers are welcome again.
    std::this_thread::sleep_for(2500ms);
    ScriptedClient carol("carol");
    carol.autoPlay = false;
    ASSERT_TRUE(carol.Connect(server.port()));
    EXPECT_TRUE(carol.PumpUntil([&] { return carol.chair >= 0; }, 5s));
    EXPECT_FALSE(alice.Disconnected());
}

// More connections are ready than one turn of the loop serves (512): those
// left for the next turn are not closed by a deadline that ran out while the
// loop was stuck.
TEST(Overload, ConnectionsTheLoopWasTooLateToReadKeepTheirDeadline) {
    constexpr int kConnections = 600;
    auto config = FastConfig();
    config.botWait = 600s;
    config.settingsTimeout = 600s;
    config.startTimeout = 600s;
    config.limits.busyLag = 0ms;
    config.limits.helloDeadline = 1s;
    config.limits.connectionsPerAddress = 1'000;
    ServerHarness server(config);
    std::vector<std::unique_ptr<QTcpSocket>> sockets;
    for (int i = 0; i < kConnections; ++i) {
        sockets.push_back(std::make_unique<QTcpSocket>());
        sockets.back()->connectToHost(QHostAddress::LocalHost, server.port());
        ASSERT_TRUE(sockets.back()->waitForConnected(5000));
    }
    std::this_thread::sleep_for(300ms);  // all accepted, their deadlines running
    server.Stall(1500ms);
    std::this_thread::sleep_for(100ms);
    for (int i = 0; i < kConnections; ++i) {
        QByteArray bytes;
        for (const auto& m :
             {*net::BuildHello("p" + std::to_string(i)), *net::requests::Entry(false)}) {
            const auto frame = net::FrameMessage(m);
            bytes.append(reinterpret_cast<const char*>(frame.data()),
                         static_cast<qsizetype>(frame.size()));
        }
        sockets[static_cast<std::size_t>(i)]->write(bytes);
        sockets[static_cast<std::size_t>(i)]->waitForBytesWritten(1000);
    }
    // Past the stall and past a fresh deadline: every connection was answered
    // and none was closed.
    int answered = 0, closed = 0;
    for (auto& socket : sockets) {
        if (socket->bytesAvailable() > 0 || socket->waitForReadyRead(5000)) ++answered;
    }
    std::this_thread::sleep_for(1500ms);
    for (auto& socket : sockets) {
        socket->readAll();
        if (socket->state() != QAbstractSocket::ConnectedState || socket->waitForDisconnected(1))
            ++closed;
    }
    EXPECT_EQ(answered, kConnections);
    EXPECT_EQ(closed, 0);
}

}  // namespace
}  // namespace qira::server::testing
