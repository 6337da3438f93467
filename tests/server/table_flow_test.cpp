#include <gtest/gtest.h>
#include <optional>

#include <QTemporaryDir>

#include "harness.h"
#include "net/byte_reader.h"
#include "net/requests.h"

namespace qira::server::testing {
namespace {

// Reads a win record the way the client does and checks that its parts add
// up to exactly the message.
struct WinRecord {
    std::vector<int> winners;
    std::array<std::int32_t, 4> actual{}, due{};
    int discarder = -1;
};

std::optional<WinRecord> ParseWin(const Bytes& m) {
    net::ByteReader r(m, 1);
    WinRecord record;
    const auto n = r.Byte();
    if (!n || *n < 1 || *n > 4) return std::nullopt;
    for (int i = 0; i < *n; ++i) {
        const auto chair = r.Byte();
        const auto meldBytes = r.Byte();
        if (!chair || !meldBytes) return std::nullopt;
        record.winners.push_back(*chair);
        for (int k = 0; k < *meldBytes; ++k) r.Byte();
        const auto tiles = r.Byte();
        if (!tiles || *tiles > 15) return std::nullopt;
        for (int k = 0; k < *tiles; ++k) r.Byte();
        const auto discarder = r.Byte();
        if (!discarder) return std::nullopt;
        record.discarder = *discarder;
        for (int k = 0; k < 16; ++k)
            if (!r.Byte()) return std::nullopt;
    }
    for (auto& v : record.actual) v = r.Int32BE().value_or(1 << 30);
    for (auto& v : record.due) v = r.Int32BE().value_or(1 << 30);
    if (!r.Int32BE()) return std::nullopt;
    for (int k = 0; k < 9 + 24; ++k)
        if (!r.Byte()) return std::nullopt;
    if (r.remaining() != 0) return std::nullopt;
    return record;
}

TEST(TableFlow, AClientAndThreeComputerPlayersPlayAWholeHand) {
    ServerHarness server(FastConfig());
    ScriptedClient alice("alice", ScriptedClient::Policy::DeclareWins);
    ASSERT_TRUE(alice.Connect(server.port()));
    ASSERT_TRUE(alice.PumpUntil([&] { return alice.handOver; }, 60s));

    // The welcome comes in the documented order: identity, users, settings.
    const auto& got = alice.received();
    ASSERT_GE(got.size(), 3u);
    EXPECT_EQ(got[0][0], 130);
    EXPECT_EQ(got[0][1], 3);
    EXPECT_EQ(FieldsOf(got[0]), (std::vector<std::string>{"alice", "alice"}));
    EXPECT_EQ(got[1][0], 130);
    EXPECT_EQ(got[1][1], 2);
    EXPECT_EQ(got[2][0], 111);
    EXPECT_EQ(FieldsOf(got[2])[3], "1") << "the first human owns the table";
    EXPECT_EQ(alice.Count(130, 4), 3) << "three computer players sat down";
    EXPECT_TRUE(alice.First(133, 0));
    EXPECT_TRUE(alice.First(133, 1));
    EXPECT_EQ(alice.Count(112, 2), 1) << "everybody ready before the first hand";

    const auto start = alice.First(17);
    ASSERT_TRUE(start);
    ASSERT_EQ(start->size(), 29u);
    EXPECT_EQ((*start)[16], 10) << "side bets first";

    if (const auto win = alice.First(23)) {
        const auto record = ParseWin(*win);
        ASSERT_TRUE(record) << "the win record is complete and nothing trails it";
        std::int32_t actualSum = 0, dueSum = 0;
        for (int c = 0; c < 4; ++c) {
            actualSum += record->actual[c];
            dueSum += record->due[c];
        }
        EXPECT_EQ(actualSum, 0);
        EXPECT_EQ(dueSum, 0);
        for (int w : record->winners) EXPECT_GT(record->due[w], 0);
    } else {
        EXPECT_TRUE(alice.First(27));
    }
    EXPECT_EQ(FindLeak(alice.received(), alice.chair), "");

    // Statistics reach the user list at the end of the hand.
    ASSERT_TRUE(alice.PumpUntil([&] { return alice.Count(108, 6) >= 4; }, 5s));
}

TEST(TableFlow, PlayersWhoNeverWinPlayToADrawnGame) {
    auto config = FastConfig();
    config.botWait = 60s;
    VirtualServer server(config);
    std::vector<std::unique_ptr<ScriptedClient>> clients;
    std::vector<ScriptedClient*> all;
    for (const char* name : {"p0", "p1", "p2", "p3"}) {
        clients.push_back(std::make_unique<ScriptedClient>(name));
        ASSERT_TRUE(clients.back()->Connect(server));
        all.push_back(clients.back().get());
        // Each joins after the one before is seated, so the chairs go in order.
        ASSERT_TRUE(clients.back()->PumpUntil([&] { return clients.back()->chair >= 0; }, 5s));
    }
    ASSERT_TRUE(PumpAll(
        all,
        [&] { return std::all_of(all.begin(), all.end(), [](auto* c) { return c->handOver; }); },
        60s));
    for (auto* c : all) {
        EXPECT_EQ(c->Count(27), 1) << c->name;
        EXPECT_EQ(c->Count(23), 0) << c->name;
        EXPECT_EQ(FindLeak(c->received(), c->chair), "") << c->name;
    }
    // The non-owners saw the owner's settings and agreed; nobody else owned the table.
    EXPECT_EQ(FieldsOf(*all[0]->First(111))[3], "1");
    EXPECT_EQ(FieldsOf(*all[1]->First(111))[3], "0");

    // Everybody presses start: the next hand begins.
    for (auto* c : all)
        c->Send(net::requests::ReadyForNextHand(static_cast<std::uint8_t>(c->chair)));
    ASSERT_TRUE(PumpAll(
        all, [&] { return all[0]->Count(17) == 2; }, 10s));
    EXPECT_EQ(all[0]->Count(18), 4);
}

TEST(TableFlow, StatisticsSurviveARestart) {
    QTemporaryDir dir;
    const std::string db = (dir.path() + "/stats.sqlite").toStdString();
    {
        VirtualServer server(FastConfig(), std::make_unique<SqliteStatsStore>(db));
        ScriptedClient alice("alice", ScriptedClient::Policy::DeclareWins);
        ASSERT_TRUE(alice.Connect(server));
        ASSERT_TRUE(
            alice.PumpUntil([&] { return alice.handOver && alice.Count(108, 6) >= 4; }, 60s));
        alice.Close();
    }
    VirtualServer again(FastConfig(), std::make_unique<SqliteStatsStore>(db));
    ScriptedClient alice("alice");
    ASSERT_TRUE(alice.Connect(again));
    ASSERT_TRUE(alice.PumpUntil([&] { return alice.First(130, 2).has_value(); }, 5s));
    const auto record = FieldsOf(*alice.First(130, 2));
    ASSERT_EQ(record.size(), 16u) << "only alice is listed when she arrives";
    EXPECT_EQ(record[0], "alice");
    EXPECT_EQ(record[5], "1") << "one hand played";
    EXPECT_EQ(std::stoi(record[8]) + std::stoi(record[9]) + std::stoi(record[10]), 1);
}

TEST(TableFlow, OwnerSettingsOutsideTheLimitsAreAskedForAgain) {
    auto config = FastConfig();
    config.settingsTimeout = 30s;
    VirtualServer server(config);
    ScriptedClient alice("alice");
    alice.autoPlay = false;
    ASSERT_TRUE(alice.Connect(server));
    ASSERT_TRUE(alice.PumpUntil([&] { return alice.Count(111) == 1; }, 5s));
    const std::vector<std::string> tooBig{"1000", "100", "1", "50", "500", "0"};
    alice.Send(*net::requests::ConfirmSettings("alice", tooBig));
    ASSERT_TRUE(alice.PumpUntil([&] { return alice.Count(111) == 2; }, 5s));
    EXPECT_EQ(alice.Count(17), 0);
    const std::vector<std::string> fine{"20", "100", "1", "50", "500", "0"};
    alice.Send(*net::requests::ConfirmSettings("alice", fine));
    ASSERT_TRUE(alice.PumpUntil([&] { return alice.Count(17) == 1; }, 5s));
    EXPECT_EQ(FieldsOf(*alice.First(112, 1))[1], "20");
}

TEST(TableFlow, ASecondUserWithTheSameNameIsRenamed) {
    auto config = FastConfig();
    config.botWait = 60s;
    VirtualServer server(config);
    ScriptedClient first("carol"), second("carol");
    ASSERT_TRUE(first.Connect(server));
    ASSERT_TRUE(first.PumpUntil([&] { return first.chair >= 0; }, 5s));
    ASSERT_TRUE(second.Connect(server));
    ASSERT_TRUE(second.PumpUntil([&] { return second.First(130, 3).has_value(); }, 5s));
    EXPECT_EQ(FieldsOf(*second.First(130, 3))[0], "carol(2)");
    ASSERT_TRUE(first.PumpUntil([&] { return first.Count(130, 4) == 1; }, 5s));
    EXPECT_EQ(FieldsOf(*first.First(130, 4))[0], "carol(2)");
}

}  // namespace
}  // namespace qira::server::testing

namespace qira::server::testing {
namespace {

TEST(TableFlow, APlayerWhoNeverActsIsPlayedForThenRemovedAsEscaped) {
    auto config = FastConfig();
    config.turnTimeout = 300ms;
    config.claimTimeout = 300ms;
    config.autoPlayLimit = 2;
    VirtualServer server(config);
    ScriptedClient alice("alice");
    alice.pauseAfterBets = true;
    ASSERT_TRUE(alice.Connect(server));
    ASSERT_TRUE(alice.PumpUntil([&] { return alice.Count(17) == 1; }, 10s));
    EXPECT_EQ((*alice.First(17))[3], 2) << "the limit travels in the new-hand record";
    ASSERT_TRUE(alice.PumpUntil([&] { return alice.Count(5) == 1; }, 20s));
    const Bytes stop = *alice.First(5);
    EXPECT_EQ(stop[2], alice.chair);
    ASSERT_TRUE(alice.PumpUntil([&] { return alice.Disconnected(); }, 5s));
    // Two of alice's discards were made for her before she was removed.
    int hers = 0;
    for (const Bytes& m : alice.received())
        if (m[0] == 19 && m[2] == alice.chair) ++hers;
    EXPECT_GE(hers, 1);
}

}  // namespace
}  // namespace qira::server::testing

namespace qira::server::testing {
namespace {

// Statistics that keep every change they were given.
class KeptStats final : public StatsStore {
public:
    UserStats Load(const std::string& name) override {
        UserStats stats = inner_.Load(name);
        if (name == "alice" && alicePoints) stats.points = *alicePoints;
        return stats;
    }
    using StatsStore::Record;
    std::vector<std::string> Hands(std::optional<std::int64_t> id) const override {
        return inner_.Hands(id);
    }
    std::map<std::string, UserStats> Record(std::span<const StatsChange> changes) override {
        kept.insert(kept.end(), changes.begin(), changes.end());
        return inner_.Record(changes);
    }
    std::vector<StatsChange> kept;
    std::optional<std::int64_t> alicePoints;

private:
    MemoryStatsStore inner_;
};

constexpr std::int64_t kPenalty = 50;  // FastConfig's default escape penalty

// Every way out of a running hand: the player pays the hand as if still
// seated, plus the penalty, and the hand counts as an escape.
void ExpectEscapeCosted(const KeptStats& stats) {
    std::int64_t total = 0;
    int aliceChanges = 0;
    for (const StatsChange& change : stats.kept) {
        total += change.points;
        if (change.name != "alice") continue;
        ++aliceChanges;
        EXPECT_TRUE(change.escaped);
        EXPECT_GE(change.experience, 1) << "the escapee's hand is counted";
    }
    EXPECT_EQ(aliceChanges, 1);
    EXPECT_EQ(stats.kept.size(), 4u) << "one hand, four seated players";
    EXPECT_EQ(total, -kPenalty) << "the hand's payments balance; only the penalty remains";
}

struct EscapeRoute : ::testing::Test {
    KeptStats* stats = nullptr;
    std::unique_ptr<VirtualServer> server;
    void Start(ServerConfig config) {
        auto store = std::make_unique<KeptStats>();
        stats = store.get();
        server = std::make_unique<VirtualServer>(config, std::move(store));
    }
    void RunToHandEnd() {
        ASSERT_TRUE(server->RunUntil([&] { return server->Logged("hand ends"); }, 600s));
    }
};

TEST_F(EscapeRoute, LeavingMidHandPaysTheHandAndThePenalty) {
    Start(FastConfig());
    ScriptedClient alice("alice");
    ASSERT_TRUE(alice.Connect(*server));
    ASSERT_TRUE(alice.PumpUntil([&] { return alice.Count(17) == 1; }, 10s));
    alice.Send(*net::requests::Leave("alice"));
    ASSERT_TRUE(alice.PumpUntil([&] { return alice.Disconnected(); }, 5s));
    RunToHandEnd();
    ExpectEscapeCosted(*stats);
}

TEST_F(EscapeRoute, TheAutomaticPlayLimitPaysTheHandAndThePenalty) {
    auto config = FastConfig();
    config.turnTimeout = 300ms;
    config.claimTimeout = 300ms;
    config.autoPlayLimit = 2;
    Start(config);
    ScriptedClient alice("alice");
    alice.pauseAfterBets = true;
    ASSERT_TRUE(alice.Connect(*server));
    ASSERT_TRUE(alice.PumpUntil([&] { return alice.Disconnected(); }, 20s));
    RunToHandEnd();
    ExpectEscapeCosted(*stats);
}

TEST_F(EscapeRoute, AConnectionLostForGoodPaysTheHandAndThePenalty) {
    Start(FastConfig());
    ScriptedClient alice("alice");
    ASSERT_TRUE(alice.Connect(*server));
    ASSERT_TRUE(alice.PumpUntil([&] { return alice.Count(17) == 1; }, 10s));
    alice.Close();
    RunToHandEnd();
    ExpectEscapeCosted(*stats);
}

}  // namespace
}  // namespace qira::server::testing

namespace qira::server::testing {
namespace {

TEST(ZeroBalance, AnEscapeePaysAtMostWhatItHasPenaltyIncluded) {
    auto store = std::make_unique<KeptStats>();
    KeptStats& stats = *store;
    stats.alicePoints = 0;
    VirtualServer server(FastConfig(), std::move(store));
    ScriptedClient alice("alice");
    ASSERT_TRUE(alice.Connect(server));
    ASSERT_TRUE(alice.PumpUntil([&] { return alice.Count(17) == 1; }, 10s));
    alice.Send(*net::requests::Leave("alice"));
    ASSERT_TRUE(alice.PumpUntil([&] { return alice.Disconnected(); }, 5s));
    ASSERT_TRUE(server.RunUntil([&] { return server.Logged("hand ends"); }, 600s));
    for (const StatsChange& change : stats.kept)
        if (change.name == "alice") {
            EXPECT_TRUE(change.escaped);
            EXPECT_GE(change.points, 0) << "a balance of zero pays nothing, the penalty included";
        }
}

}  // namespace
}  // namespace qira::server::testing

namespace qira::server::testing {
namespace {

TEST(EscapeRouteBack, APlayerWhoLeftMidHandDoesNotReclaimTheChair) {
    VirtualServer server(FastConfig());
    ScriptedClient alice("alice");
    alice.secret = "5ecret0f4lice";
    ASSERT_TRUE(alice.Connect(server));
    ASSERT_TRUE(alice.PumpUntil([&] { return alice.Count(17) == 1; }, 10s));
    alice.Send(*net::requests::Leave("alice"));
    ASSERT_TRUE(alice.PumpUntil([&] { return alice.Disconnected(); }, 5s));
    ScriptedClient back("alice");
    back.secret = "5ecret0f4lice";
    back.autoPlay = false;
    ASSERT_TRUE(back.Connect(server));
    ASSERT_TRUE(back.PumpUntil([&] { return back.First(130, 3).has_value(); }, 1s));
    EXPECT_EQ(FieldsOf(*back.First(130, 3))[0], "alice(2)") << "a new user";
    EXPECT_FALSE(back.First(109).has_value()) << "no snapshot of the left hand";
}

}  // namespace
}  // namespace qira::server::testing
