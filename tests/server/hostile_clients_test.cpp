// Clients that do not play by the rules: they never read, flood, forge or
// hold on to what is not theirs. Each case failed before its fix.
#include <gtest/gtest.h>

#include <QHostAddress>
#include <QTcpSocket>

#include "harness.h"
#include "net/frame_codec.h"
#include "net/requests.h"
#include "server/core/hello.h"
#include "server/core/text_rules.h"
#include "server/qt/tcp_server.h"

namespace qira::server::testing {
namespace {

std::vector<std::string> ChatLine(const std::string& text) {
    return {"所有人", "0", "x", "所有人", "#000000", "宋体", "10", "0", "0", text};
}

// A client that says hello and then never reads a byte.
class MuteClient {
public:
    MuteClient(quint16 port, const std::string& name) {
        socket_.connectToHost(QHostAddress::LocalHost, port);
        EXPECT_TRUE(socket_.waitForConnected(5000));
        socket_.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4096);
        for (const auto& m : {*net::BuildHello(name), *net::requests::Entry(false)}) {
            const auto frame = net::FrameMessage(m);
            socket_.write(reinterpret_cast<const char*>(frame.data()),
                          static_cast<qint64>(frame.size()));
        }
        socket_.waitForBytesWritten(1000);
    }

private:
    QTcpSocket socket_;
};

// Alice alone at a table no computer player joins yet, and bob watching her.
class QuietTableWithOnlooker : public ::testing::Test {
protected:
    static ServerConfig QuietConfig() {
        auto config = FastConfig();
        config.botWait = 600s;
        return config;
    }

    void SetUp() override {
        alice.autoPlay = bob.autoPlay = false;
        ASSERT_TRUE(alice.Connect(server));
        ASSERT_TRUE(bob.Connect(server, false, "alice"));
        ASSERT_TRUE(bob.PumpUntil([&] { return bob.Count(130, 3) == 1; }, 1s));
    }

    VirtualServer server{QuietConfig()};
    ScriptedClient alice{"alice"};
    ScriptedClient bob{"bob"};
};

TEST(HostileClients, AClientThatNeverReadsIsCutOffAtTheOutputCapAndItsChairFreed) {
    auto config = FastConfig();
    config.botWait = 600s;
    config.limits.outputCapBytes = 64 * 1024;
    config.limits.chatCharacters = 60'000;
    config.limits.chatLines = 1'000'000;
    ServerHarness server(config);
    ScriptedClient talker("talker");
    talker.autoPlay = false;
    ASSERT_TRUE(talker.Connect(server.port()));
    ASSERT_TRUE(talker.PumpUntil([&] { return talker.chair >= 0; }, 5s));
    MuteClient mute(server.port(), "mute");
    ASSERT_TRUE(talker.PumpUntil([&] { return talker.Count(130, 4) == 1; }, 5s));
    // Each line goes to both; the mute client's share piles up at the server.
    const auto line = *net::requests::Chat(ChatLine(std::string(20'000, 'a')));
    bool gone = false;
    for (int i = 0; i < 2'000 && !gone; ++i) {
        talker.Send(line);
        // The talker reads its own line back before the next one, so only
        // the mute client's output piles up.
        talker.PumpUntil([&] { return talker.Count(1) > i || talker.Disconnected(); }, 5s);
        gone = talker.Count(110, 0) == 1;
    }
    ASSERT_TRUE(gone || talker.PumpUntil([&] { return talker.Count(110, 0) == 1; }, 5s))
        << "the mute client leaves the table; talker disconnected: " << talker.Disconnected()
        << ", lines back: " << talker.Count(1);
    EXPECT_EQ(FieldsOf(*talker.First(110, 0))[0], "mute");
}

TEST(HostileClients, OnlookersComingAndGoingNeverHoldUpTheComputerPlayers) {
    auto config = FastConfig();
    config.botThink = 400ms;
    VirtualServer server(config);
    ScriptedClient alice("alice", ScriptedClient::Policy::DeclareWins);
    ASSERT_TRUE(alice.Connect(server));
    ASSERT_TRUE(alice.PumpUntil([&] { return alice.Count(17) == 1; }, 10s));
    std::vector<std::unique_ptr<ScriptedClient>> visitors;
    int handsSeen = 0;
    for (int i = 0; i < 100; ++i) {
        if (alice.handOver && alice.Count(17) > handsSeen) {
            handsSeen = alice.Count(17);
            alice.Send(net::requests::ReadyForNextHand(static_cast<std::uint8_t>(alice.chair)));
        }
        visitors.push_back(std::make_unique<ScriptedClient>("visitor"));
        visitors.back()->autoPlay = false;
        visitors.back()->Connect(server, false, "alice");
        server.scheduler().RunFor(150ms);
        visitors.back()->Close();
        server.scheduler().RunFor(150ms);
    }
    EXPECT_EQ(server.lobby().tally().timeouts, 0u) << "no computer player ran out of time";
    EXPECT_GE(alice.Count(17), 2) << "hands go on";
}

TEST(HostileClients, NamesWithControlCharactersAreRefusedAndLookAlikesRenamed) {
    auto config = FastConfig();
    config.botWait = 600s;
    VirtualServer server(config);
    ScriptedClient alice("alice");
    alice.autoPlay = false;
    ASSERT_TRUE(alice.Connect(server));
    ASSERT_TRUE(alice.PumpUntil([&] { return alice.chair >= 0; }, 1s));

    ScriptedClient forger("forger");
    ASSERT_TRUE(forger.Connect(server, false, {}, std::string("mal\nlory")));
    ASSERT_TRUE(forger.PumpUntil([&] { return forger.Disconnected(); }, 1s));
    EXPECT_EQ(forger.received().size(), 0u);
    EXPECT_TRUE(server.Logged("control characters in the name"));
    ScriptedClient longName("long");
    ASSERT_TRUE(longName.Connect(server, false, {}, std::string(17, 'x')));
    ASSERT_TRUE(longName.PumpUntil([&] { return longName.Disconnected(); }, 1s));

    ScriptedClient twin("ALICE ");
    twin.autoPlay = false;
    ASSERT_TRUE(twin.Connect(server));
    ASSERT_TRUE(twin.PumpUntil([&] { return twin.First(130, 3).has_value(); }, 1s));
    EXPECT_EQ(FieldsOf(*twin.First(130, 3))[0], "ALICE(2)") << "a look-alike name is taken";
    EXPECT_EQ(alice.Count(130, 2), 1) << "alice's user list arrived once, unbroken";
}

// Fullwidth letters, a Cyrillic "а" and an ideographic space: each would
// pass for alice in the user list and in chat.
TEST(HostileClients, LookAlikesInAnyWidthOrScriptAreRenamed) {
    auto config = FastConfig();
    config.botWait = 600s;
    VirtualServer server(config);
    std::vector<std::unique_ptr<ScriptedClient>> clients;
    for (const char* name : {"alice", "ａｌｉｃｅ", "\u0430lice", "alice\u3000", "\u3000Alice"}) {
        clients.push_back(std::make_unique<ScriptedClient>(name));
        clients.back()->autoPlay = false;
        ASSERT_TRUE(clients.back()->Connect(server));
        ASSERT_TRUE(clients.back()->PumpUntil(
            [&] { return clients.back()->First(130, 3).has_value(); }, 1s));
    }
    std::vector<std::string> names;
    for (const auto& client : clients) names.push_back(FieldsOf(*client->First(130, 3))[0]);
    EXPECT_EQ(names, (std::vector<std::string>{"alice", "ａｌｉｃｅ(2)", "\u0430lice(3)",
                                               "alice(4)", "Alice(5)"}));
    EXPECT_NE(NameKey("张三"), NameKey("张山"));
    EXPECT_NE(NameKey("alice"), NameKey("alicia"));
    EXPECT_EQ(NameKey("ＡＬＩＣＥ\u200B"), NameKey("alice"));
}

TEST(HostileClients, AHelloThatIsNotValidGbkIsRefused) {
    const auto hello = [](std::string_view text) {
        return ParseHello(
            std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), Limits{});
    };
    EXPECT_EQ(std::get<Hello>(hello("QIRA/1`\xD5\xC5\xC8\xFD")).name, "张三");
    for (const std::string_view bad :
         {std::string_view("QIRA/1`\xB0\x20lice"), std::string_view("QIRA/1`ali\xFF\xFF"),
          std::string_view("QIRA/1`alice\xD5")})
        EXPECT_EQ(std::get<Refusal>(hello(bad)), Refusal::InvalidGbk) << bad;
}

TEST_F(QuietTableWithOnlooker, ChatNeverRelaysControlCharacters) {
    auto line = ChatLine("line\none\x01two");
    line[5] = "宋\x7f体";
    alice.Send(*net::requests::Chat(line));
    ASSERT_TRUE(bob.PumpUntil([&] { return bob.Count(1) == 1; }, 1s));
    const auto relayed = FieldsOf(*bob.First(1), 1);
    EXPECT_EQ(relayed[9], "line one two");
    EXPECT_EQ(relayed[5], "宋 体");
}

TEST(HostileClients, AComputerPlayersHandIsNeverShownToOnlookers) {
    auto config = FastConfig();
    config.botThink = 30ms;
    VirtualServer server(config);
    ScriptedClient alice("alice");
    ASSERT_TRUE(alice.Connect(server));
    ASSERT_TRUE(alice.PumpUntil([&] { return alice.Count(28, 1) == 1; }, 10s));
    // A seated player's second connection, asking to see a computer opponent.
    ScriptedClient peeker("peeker");
    peeker.autoPlay = false;
    ASSERT_TRUE(peeker.Connect(server, true, "电脑1"));
    ASSERT_TRUE(PumpAll(
        {&alice, &peeker}, [&] { return peeker.Count(109) == 1 && alice.handOver; }, 60s));
    ASSERT_EQ(FieldsOf(*peeker.First(130, 3))[1], "电脑1");
    const Bytes snapshot = *peeker.First(109);
    EXPECT_EQ(snapshot[snapshot.size() - 5], 0) << "the snapshot shows the hand face down";
    const int watched = std::stoi(FieldsOf(*alice.First(130, 0))[13]);
    EXPECT_EQ(FindLeak(peeker.received(), watched, /*mayWatchOwnChair=*/false), "");
}

TEST(HostileClients, ADroppedChairGoesBackOnlyToTheSameSecret) {
    auto config = FastConfig();
    config.botThink = 60ms;
    VirtualServer server(config);
    ScriptedClient alice("alice");
    alice.secret = "5ecret0f4lice";
    alice.autoPlay = false;
    ASSERT_TRUE(alice.Connect(server));
    ASSERT_TRUE(alice.PumpUntil([&] { return alice.Count(111) == 1; }, 1s));
    alice.autoPlay = true;
    alice.Send(*net::requests::ConfirmSettings(
        "alice", std::vector<std::string>{"10", "100", "1", "50", "500", "0"}));
    ASSERT_TRUE(alice.PumpUntil([&] { return alice.Count(28, 1) == 1; }, 10s));
    alice.Close();
    server.scheduler().RunFor(10ms);

    for (const std::string secret : {"", "guessed"}) {
        ScriptedClient stranger("alice");
        stranger.secret = secret;
        stranger.autoPlay = false;
        ASSERT_TRUE(stranger.Connect(server));
        ASSERT_TRUE(stranger.PumpUntil([&] { return stranger.First(130, 3).has_value(); }, 1s));
        EXPECT_EQ(FieldsOf(*stranger.First(130, 3))[0], "alice(2)") << "a new user";
        EXPECT_FALSE(stranger.First(109).has_value()) << "no snapshot of alice's hand";
        stranger.Close();
        server.scheduler().RunFor(10ms);
    }
    ScriptedClient back("alice");
    back.secret = "5ecret0f4lice";
    back.autoPlay = false;
    ASSERT_TRUE(back.Connect(server));
    ASSERT_TRUE(back.PumpUntil([&] { return back.First(109).has_value(); }, 1s));
    EXPECT_EQ(FieldsOf(*back.First(130, 3))[0], "alice");
    EXPECT_EQ(back.chair, alice.chair);
}

TEST_F(QuietTableWithOnlooker, AnOnlookerWhoLeavesIsDisconnected) {
    bob.Send(*net::requests::Leave("bob"));
    ASSERT_TRUE(bob.PumpUntil([&] { return bob.Disconnected(); }, 1s));
    EXPECT_EQ(alice.Count(108, 4), 1) << "the others see the onlooker go";
}

// Statistics that note whether the hand's end was logged before they were.
class WatchedStats final : public StatsStore {
public:
    UserStats Load(const std::string& name) override { return inner_.Load(name); }
    using StatsStore::Record;
    std::vector<std::string> Hands(std::optional<std::int64_t> id) const override {
        return inner_.Hands(id);
    }
    std::map<std::string, UserStats> Record(std::span<const StatsChange> changes) override {
        if (beforeRecord) beforeRecord();
        return inner_.Record(changes);
    }
    std::function<void()> beforeRecord;

private:
    MemoryStatsStore inner_;
};

TEST(HostileClients, AHandIsLoggedAsEndedOnlyOnceItsStatisticsAreStored) {
    auto stats = std::make_unique<WatchedStats>();
    WatchedStats& watched = *stats;
    VirtualServer server(FastConfig(), std::move(stats));
    int loggedEarly = 0, records = 0;
    watched.beforeRecord = [&] {
        ++records;
        if (server.Logged("hand ends")) ++loggedEarly;
    };
    ScriptedClient alice("alice", ScriptedClient::Policy::DeclareWins);
    ASSERT_TRUE(alice.Connect(server));
    ASSERT_TRUE(alice.PumpUntil([&] { return alice.handOver; }, 60s));
    EXPECT_EQ(records, 1);
    EXPECT_EQ(loggedEarly, 0);
    EXPECT_TRUE(server.Logged("hand ends"));
}

TEST_F(QuietTableWithOnlooker, ChatHasTenFieldsAShortTextAndARate) {
    auto extra = ChatLine("eleven");
    extra.push_back("more");
    alice.Send(*net::requests::Chat(extra));
    alice.Send(*net::requests::Chat(ChatLine(std::string(201, 'x'))));
    for (int i = 0; i < 8; ++i) alice.Send(*net::requests::Chat(ChatLine("burst")));
    server.scheduler().RunFor(1s);
    EXPECT_EQ(bob.Count(1), 5) << "five lines in five seconds";
    EXPECT_TRUE(server.Logged("chat needs ten fields"));
    EXPECT_TRUE(server.Logged("chat text too long"));
    EXPECT_TRUE(server.Logged("too many chat lines"));
    server.scheduler().RunFor(5s);
    alice.Send(*net::requests::Chat(ChatLine("later")));
    server.scheduler().RunFor(100ms);
    EXPECT_EQ(bob.Count(1), 6) << "the rate allows more once the window has passed";
}

TEST_F(QuietTableWithOnlooker, RefusedRequestsAreLoggedWithinARateAndAFloodIsClosed) {
    const auto linesAboutAlice = [&] {
        return std::count_if(server.log().begin(), server.log().end(), [](const std::string& l) {
            return l.find("alice") != std::string::npos && l.find("stake") == std::string::npos;
        });
    };
    const auto before = linesAboutAlice();
    const auto discard = net::requests::Discard(static_cast<std::uint8_t>(alice.chair), 1, 0, 0);
    for (int i = 0; i < 60; ++i) {  // a clumsy client: one refusal a second
        alice.Send(discard);
        server.scheduler().RunFor(1s);
    }
    EXPECT_FALSE(alice.Disconnected());
    EXPECT_EQ(linesAboutAlice() - before, 60) << "at that pace every refusal is logged, once";

    const auto beforeFlood = linesAboutAlice();
    for (int i = 0; i < 5000; ++i) alice.Send(discard);
    server.scheduler().RunFor(100ms);
    EXPECT_TRUE(alice.Disconnected()) << "a flood of refused requests closes the connection";
    EXPECT_LE(linesAboutAlice() - beforeFlood, 30) << "the log is not flooded";
    EXPECT_TRUE(server.Logged("more lines about alice's requests not logged"));
    EXPECT_TRUE(server.Logged("keeps sending refused requests"));
}

TEST(HostileClients, OverTcpAFloodOfRefusedRequestsIsClosed) {
    auto config = FastConfig();
    config.botWait = 600s;
    ServerHarness server(config);
    ScriptedClient flooder("flooder");
    flooder.autoPlay = false;
    ASSERT_TRUE(flooder.Connect(server.port()));
    ASSERT_TRUE(flooder.PumpUntil([&] { return flooder.chair >= 0; }, 5s));
    const auto frame = net::FrameMessage(
        net::requests::Discard(static_cast<std::uint8_t>(flooder.chair), 1, 0, 0));
    QByteArray flood;
    for (int i = 0; i < 3000; ++i)
        flood.append(reinterpret_cast<const char*>(frame.data()),
                     static_cast<qsizetype>(frame.size()));
    flooder.SendRaw(flood);
    EXPECT_TRUE(flooder.PumpUntil([&] { return flooder.Disconnected(); }, 10s));
}

TEST(HostileClients, OnlookersAreLimitedWithAClearRefusal) {
    auto config = FastConfig();
    config.botWait = 600s;
    config.limits.onlookersPerTable = 2;
    VirtualServer server(config);
    ScriptedClient alice("alice");
    alice.autoPlay = false;
    ASSERT_TRUE(alice.Connect(server));
    std::vector<std::unique_ptr<ScriptedClient>> watchers;
    for (int i = 0; i < 3; ++i) {
        watchers.push_back(std::make_unique<ScriptedClient>("w" + std::to_string(i)));
        watchers.back()->autoPlay = false;
        watchers.back()->Connect(server, false, "alice");
        server.scheduler().RunFor(10ms);
    }
    EXPECT_EQ(alice.Count(130, 0), 2) << "two onlookers arrive";
    EXPECT_TRUE(watchers[2]->Disconnected());
    ASSERT_EQ(watchers[2]->Count(26), 1) << "the third is told why";
    EXPECT_TRUE(server.Logged("the table has as many onlookers as it takes"));
    EXPECT_FALSE(watchers[1]->Disconnected());
}

// A raw connection that sends what the test says and reports its end.
bool ClosedByServer(QTcpSocket& socket, int withinMs) {
    return socket.state() == QAbstractSocket::UnconnectedState ||
           socket.waitForDisconnected(withinMs);
}

TEST(HostileClients, SilentAndStalledConnectionsAreClosedAtTheirDeadlines) {
    auto config = FastConfig();
    config.limits.helloDeadline = 300ms;
    config.limits.frameDeadline = 300ms;
    ServerHarness server(config);
    QTcpSocket silent, stalled, player;
    for (QTcpSocket* s : {&silent, &stalled, &player}) {
        s->connectToHost(QHostAddress::LocalHost, server.port());
        ASSERT_TRUE(s->waitForConnected(5000));
    }
    const auto send = [](QTcpSocket& s, const net::Bytes& m) {
        const auto frame = net::FrameMessage(m);
        s.write(reinterpret_cast<const char*>(frame.data()), static_cast<qint64>(frame.size()));
        s.waitForBytesWritten(1000);
    };
    for (QTcpSocket* s : {&stalled, &player}) {
        send(*s, *net::BuildHello(s == &player ? "player" : "staller"));
        send(*s, *net::requests::Entry(false));
    }
    stalled.write(
        "\0\0\0\x10"
        "ab",
        6);  // a frame of 16 bytes that never ends
    stalled.waitForBytesWritten(1000);
    EXPECT_TRUE(ClosedByServer(silent, 3000)) << "no hello within the deadline";
    EXPECT_TRUE(ClosedByServer(stalled, 3000)) << "a frame left unfinished";
    player.readAll();
    EXPECT_FALSE(ClosedByServer(player, 600)) << "a quiet player whose frames are whole stays";
}

// A connection that begins a frame of 60,000 bytes and sends 40,000 of them.
std::unique_ptr<QTcpSocket> HalfFrameSender(quint16 port) {
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QHostAddress::LocalHost, port);
    EXPECT_TRUE(socket->waitForConnected(5000));
    QByteArray bytes("\0\0\xea\x60", 4);
    bytes.append(40'000, 'x');
    socket->write(bytes);
    EXPECT_TRUE(socket->waitForBytesWritten(1000));
    return socket;
}

TEST(HostileClients, HalfWrittenFramesOfAllConnectionsAreCapped) {
    auto config = FastConfig();
    config.limits.halfFrameBytes = 100'000;
    ServerHarness server(config);
    std::vector<std::unique_ptr<QTcpSocket>> senders;
    for (int i = 0; i < 3; ++i) senders.push_back(HalfFrameSender(server.port()));
    const auto closedCount = [&] {
        return std::count_if(senders.begin(), senders.end(),
                             [](const auto& s) { return ClosedByServer(*s, 20); });
    };
    for (int wait = 0; wait < 100 && closedCount() == 0; ++wait) {
    }
    EXPECT_EQ(closedCount(), 1) << "two fit in 100,000 bytes; the one that would pass it goes";

    const auto open = std::find_if(senders.begin(), senders.end(),
                                   [](const auto& s) { return !ClosedByServer(*s, 0); });
    ASSERT_NE(open, senders.end());
    (*open)->abort();  // what it held is given back
    bool room = false;
    for (int attempt = 0; attempt < 10 && !room; ++attempt)
        room = !ClosedByServer(*senders.emplace_back(HalfFrameSender(server.port())), 300);
    EXPECT_TRUE(room) << "room again once a connection closed";
}

TEST(HostileClients, ConnectionsAreCountedByIPv4AddressOrIPv6Slash64) {
    const auto group = [](const char* address) {
        return AddressGroup(QHostAddress(QString::fromLatin1(address)));
    };
    EXPECT_EQ(group("2001:db8:1:2::1"), group("2001:db8:1:2:ffff:ffff:ffff:fffe"));
    EXPECT_NE(group("2001:db8:1:2::1"), group("2001:db8:1:3::1"));
    EXPECT_EQ(group("::ffff:192.0.2.7"), group("192.0.2.7"));
    EXPECT_NE(group("192.0.2.7"), group("192.0.2.8"));
}

TEST(HostileClients, ConnectionsFromOneAddressAreLimited) {
    auto config = FastConfig();
    config.limits.connectionsPerAddress = 3;
    ServerHarness server(config);
    std::vector<std::unique_ptr<QTcpSocket>> sockets;
    for (int i = 0; i < 4; ++i) {
        sockets.push_back(std::make_unique<QTcpSocket>());
        sockets.back()->connectToHost(QHostAddress::LocalHost, server.port());
        ASSERT_TRUE(sockets.back()->waitForConnected(5000));
    }
    EXPECT_TRUE(ClosedByServer(*sockets[3], 3000)) << "the fourth is turned away";
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(ClosedByServer(*sockets[i], 100)) << i;
}

}  // namespace
}  // namespace qira::server::testing
