// A player who comes back to a running hand: the chair, the hand in the
// client's order, the table's earlier chat, and a stale connection that still
// looks alive.
#include <gtest/gtest.h>

#include <QHostAddress>
#include <QTcpSocket>
#include <algorithm>

#include "harness.h"
#include "net/frame_codec.h"
#include "net/requests.h"
#include "rules/table_state.h"
#include "tcp_timer.h"

namespace qira::server::testing {
namespace {

std::vector<std::string> ChatTo(const std::string& target, const std::string& text) {
    return {target, "0", "alice", target, "#000000", "宋体", "10", "0", "0", text};
}

// Alice's client with her secret, waiting to be told what to do.
class Alice : public ScriptedClient {
public:
    Alice() : ScriptedClient("alice") {
        secret = "5ecret0f4lice";
        autoPlay = false;
    }
};

void SitDownAndGetDealt(ScriptedClient& alice) {
    ASSERT_TRUE(alice.PumpUntil([&] { return alice.Count(111) == 1; }, 5s));
    alice.autoPlay = true;
    alice.Send(*net::requests::ConfirmSettings(
        "alice", std::vector<std::string>{"10", "100", "1", "50", "500", "0"}));
    ASSERT_TRUE(alice.PumpUntil([&] { return alice.Count(28, 1) == 1; }, 10s));
}

// The snapshot's hand as the client loads it (as sent, no sort): wild tiles
// first, then ascending codes, a fresh draw (or kong replacement) last.
void ExpectHandAsTheClientKeepsIt(const Bytes& snapshot, int chair) {
    rules::TableState table;
    table.bytMyChair = static_cast<std::uint8_t>(chair);
    table.LoadTableSnapshot(snapshot, rules::Viewer::Player);
    const auto& hand = table.bytMyHand;
    ASSERT_GE(hand.size(), 13u);
    const auto plain =
        std::find_if(hand.begin(), hand.end(), [&](rules::TileCode t) { return !table.IsWild(t); });
    EXPECT_TRUE(
        std::none_of(plain, hand.end(), [&](rules::TileCode t) { return table.IsWild(t); }));
    const bool drew =
        table.bytTurnChair == chair && (table.bytTurnPhase == net::phase::kDrew ||
                                        table.bytTurnPhase == net::phase::kConcealedKong ||
                                        table.bytTurnPhase == net::phase::kExposedKong);
    const auto sortedUpTo = drew && plain != hand.end() ? hand.end() - 1 : hand.end();
    EXPECT_TRUE(std::is_sorted(plain, std::max(plain, sortedUpTo)))
        << "turn chair " << int(table.bytTurnChair) << " phase " << int(table.bytTurnPhase);
}

TEST(Rejoin, TheHandComesBackInTheClientsOrderWithTheTablesEarlierChat) {
    auto config = FastConfig();
    config.botThink = 60ms;
    VirtualServer server(config);
    Alice alice;
    ASSERT_TRUE(alice.Connect(server));
    SitDownAndGetDealt(alice);
    alice.Send(*net::requests::Chat(ChatTo("所有人", "大家好")));
    alice.Send(*net::requests::Chat(ChatTo("电脑1", "悄悄话")));
    alice.Send(*net::requests::Chat(ChatTo("所有人", "我去倒杯水")));
    server.scheduler().RunFor(10ms);
    alice.Close();
    server.scheduler().RunFor(10ms);

    Alice back;
    ASSERT_TRUE(back.Connect(server));
    ASSERT_TRUE(back.PumpUntil([&] { return back.Count(1) >= 2; }, 1s));
    ExpectHandAsTheClientKeepsIt(*back.First(109), alice.chair);
    std::vector<std::string> texts;
    for (const Bytes& m : back.received())
        if (m[0] == 1) texts.push_back(FieldsOf(m, 1)[9]);
    EXPECT_EQ(texts, (std::vector<std::string>{"（之前）大家好", "（之前）我去倒杯水"}))
        << "the table's lines, marked; never a whisper";
}

TEST(Rejoin, TheHandStaysInTheClientsOrderThroughAWholeHand) {
    auto config = FastConfig();
    config.botThink = 60ms;
    VirtualServer server(config);
    Alice alice;
    ASSERT_TRUE(alice.Connect(server));
    SitDownAndGetDealt(alice);
    alice.Close();
    // Comes back again and again while the server plays the chair.
    std::vector<std::unique_ptr<Alice>> visits;  // a closed link still has its end to report
    while (visits.size() < 40) {
        server.scheduler().RunFor(40ms);
        Alice& back = *visits.emplace_back(std::make_unique<Alice>());
        ASSERT_TRUE(back.Connect(server));
        back.PumpUntil([&] { return back.First(109).has_value(); }, 100ms);
        if (!back.First(109)) break;  // the hand is over
        ExpectHandAsTheClientKeepsIt(*back.First(109), alice.chair);
        back.Close();
    }
    server.scheduler().RunFor(10ms);
    EXPECT_GE(visits.size(), 5u);
}

// A player whose old connection never closed (a laptop that slept, a new
// Wi-Fi network) comes back with the secret: the chair is handed over at once
// and the stale connection closed.
TEST(Rejoin, TheSecretTakesTheChairFromAStaleConnectionThatLooksAlive) {
    auto config = FastConfig();
    config.botThink = 60ms;
    VirtualServer server(config);
    Alice alice;
    ASSERT_TRUE(alice.Connect(server));
    SitDownAndGetDealt(alice);
    alice.autoPlay = false;  // silent from here on, and never closed

    Alice back;
    ASSERT_TRUE(back.Connect(server));
    ASSERT_TRUE(back.PumpUntil([&] { return back.First(109).has_value(); }, 1s));
    EXPECT_EQ(FieldsOf(*back.First(130, 3))[0], "alice") << "not a new user";
    EXPECT_EQ(back.chair, alice.chair);
    EXPECT_TRUE(alice.Disconnected()) << "the stale connection is closed";
    EXPECT_TRUE(server.Logged("closing the old"));
    back.autoPlay = true;
    EXPECT_TRUE(back.PumpUntil([&] { return back.handOver; }, 120s)) << "the hand goes on";
}

TEST(Rejoin, OverTcpTheStaleConnectionIsClosedAndTheChairHandedOver) {
    auto config = FastConfig();
    config.botThink = 60ms;
    ServerHarness server(config);
    Alice alice;
    ASSERT_TRUE(alice.Connect(server.port()));
    SitDownAndGetDealt(alice);
    alice.autoPlay = false;

    Alice back;
    ASSERT_TRUE(back.Connect(server.port()));
    ASSERT_TRUE(back.PumpUntil([&] { return back.First(109).has_value(); }, 5s));
    EXPECT_EQ(FieldsOf(*back.First(130, 3))[0], "alice");
    EXPECT_EQ(back.chair, alice.chair);
    EXPECT_TRUE(alice.PumpUntil([&] { return alice.Disconnected(); }, 8s));
}

TEST(Rejoin, ASilentSeatedConnectionIsProbedWithinTheDeadPeerDeadline) {
    auto config = FastConfig();
    config.botWait = 600s;
    config.limits.deadPeer = 30s;
    ServerHarness server(config);
    QTcpSocket silent;
    silent.connectToHost(QHostAddress::LocalHost, server.port());
    ASSERT_TRUE(silent.waitForConnected(5000));
    for (const auto& m : {*net::BuildHello("sleeper"), *net::requests::Entry(false)}) {
        const auto frame = net::FrameMessage(m);
        silent.write(reinterpret_cast<const char*>(frame.data()),
                     static_cast<qint64>(frame.size()));
    }
    ASSERT_TRUE(silent.waitForReadyRead(5000)) << "seated";
    // Once the welcome has been acknowledged the line is idle and the
    // keepalive timer runs; on a busy machine the acknowledgement may lag.
    auto timer = qira::testing::TcpTimer(server.port(), silent.localPort());
    for (int tries = 0; tries < 50 && (!timer || timer->first != 2); ++tries) {
        QThread::msleep(100);
        timer = qira::testing::TcpTimer(server.port(), silent.localPort());
    }
    ASSERT_TRUE(timer.has_value());
    EXPECT_EQ(timer->first, 2) << "a keepalive timer runs on the server's end";
    EXPECT_LE(timer->second, 10 * 100) << "the first probe within a third of the deadline";
}

}  // namespace
}  // namespace qira::server::testing
