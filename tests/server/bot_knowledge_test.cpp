// A computer player decides from the messages its seat receives and nothing
// else: fed the same messages with the other seats' hidden tiles shown as
// real tiles, it makes exactly the same requests.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <set>

#include "harness.h"
#include "in_process_player.h"
#include "net/game_messages.h"
#include "net/protocol.h"
#include "net/requests.h"
#include "server/core/bot_client.h"
#include "server/core/room.h"

namespace qira::server {
namespace {

using testing::HumanAtTable;

// The messages one seat received during the first two hands of a table of
// computer players of `style`.
std::vector<net::Bytes> RecordASeat(BotStyle style) {
    ManualScheduler scheduler;
    MemoryStatsStore stats;
    ServerConfig config;
    config.log = false;
    config.seed = 9;
    config.botThink = Milliseconds{0};
    config.botStyle = style;
    config.botBudgetMs = 2;
    Lobby lobby(scheduler, stats, config);
    HumanAtTable seat(lobby, scheduler, "seat", /*slowToStart=*/false, style);
    scheduler.RunUntil([&] { return lobby.tally().hands >= 2; }, 20'000'000);
    return seat.received;
}

// Every face-down tile of another seat becomes a real tile, different each time.
std::vector<net::Bytes> RevealHiddenTiles(std::vector<net::Bytes> messages) {
    int next = 0;
    const auto reveal = [&](std::uint8_t& tile) {
        if (tile == net::kFaceDownTileCode) tile = static_cast<std::uint8_t>(next++ % 27);
    };
    for (auto& m : messages) {
        const auto kind = net::ClassifyServerMessage(m);
        if (!kind) continue;
        using enum net::ServerMessage;
        if (*kind == Deal)
            for (std::size_t i = 3; i < m.size(); ++i) reveal(m[i]);
        if (*kind == Draw && m.size() > 3) reveal(m[3]);
        if (*kind == Discarded && m.size() > 7) reveal(m[7]);
        if (*kind == Konged && m.size() > 4) reveal(m[4]);
    }
    return messages;
}

std::vector<net::Bytes> RequestsOf(const std::vector<net::Bytes>& messages, BotStyle style) {
    ManualScheduler scheduler;
    std::vector<net::Bytes> requests;
    BotClient player(
        scheduler, [&](const net::Bytes& m) { requests.push_back(m); }, "seat", style, 11,
        Milliseconds{0});
    player.SetSearchBudget(2, false);
    for (const auto& m : messages) {
        player.Deliver(m);
        scheduler.RunUntil([] { return false; });
    }
    return requests;
}

TEST(BotKnowledge, OtherSeatsHiddenTilesNeverChangeADecision) {
    for (BotStyle style :
         {BotStyle::Beginner, BotStyle::Smart, BotStyle::Expert, BotStyle::Searcher}) {
        const auto messages = RecordASeat(style);
        const auto revealed = RevealHiddenTiles(messages);
        ASSERT_NE(messages, revealed) << "the other seats' tiles were hidden and are now shown";
        const auto requests = RequestsOf(messages, style);
        EXPECT_GE(requests.size(), 10u) << "the seat played two hands";
        EXPECT_EQ(RequestsOf(revealed, style), requests) << "level " << bots::LevelOf(style);
    }
}

// Runs everything in virtual time and notes every timer's delay.
class DelayRecorder final : public Scheduler {
public:
    void Post(Task task) override { inner_.Post(std::move(task)); }
    TimerId StartTimer(Milliseconds delay, Task task) override {
        delays.push_back(delay);
        return inner_.StartTimer(delay, std::move(task));
    }
    void CancelTimer(TimerId id) override { inner_.CancelTimer(id); }
    Milliseconds Now() const override { return inner_.Now(); }
    void RunAll() {
        inner_.RunUntil([] { return false; });
    }

    std::vector<Milliseconds> delays;

private:
    ManualScheduler inner_;
};

struct ThinkingRun {
    std::vector<net::Bytes> requests;
    std::vector<Milliseconds> delays;
};

ThinkingRun PlayWithThinking(const std::vector<net::Bytes>& messages, double spread) {
    DelayRecorder scheduler;
    ThinkingRun run;
    BotClient player(
        scheduler, [&](const net::Bytes& m) { run.requests.push_back(m); }, "seat", BotStyle::Smart,
        11, Milliseconds{1'000});
    player.SetThinkSpread(spread);
    for (const auto& m : messages) {
        player.Deliver(m);
        scheduler.RunAll();
    }
    run.delays = std::move(scheduler.delays);
    return run;
}

TEST(BotThinking, SpreadVariesTheWaitsAroundTheThinkingTimeAndNotTheMoves) {
    const auto messages = RecordASeat(BotStyle::Smart);
    const auto steady = PlayWithThinking(messages, 0);
    const auto spread = PlayWithThinking(messages, 0.5);
    ASSERT_GE(steady.delays.size(), 20u);
    for (Milliseconds d : steady.delays) EXPECT_EQ(d, Milliseconds{1'000});
    std::set<Milliseconds::rep> distinct;
    for (Milliseconds d : spread.delays) {
        EXPECT_GE(d, Milliseconds{500});
        EXPECT_LE(d, Milliseconds{1'500});
        distinct.insert(d.count());
    }
    EXPECT_GT(distinct.size(), spread.delays.size() / 2) << "each wait is drawn anew";
    EXPECT_EQ(spread.requests, steady.requests);
    EXPECT_EQ(spread.requests, RequestsOf(messages, BotStyle::Smart))
        << "thinking time changes when, not what";
}

bool IsClaim(const net::Bytes& request) {
    return !request.empty() && (request[0] == net::MainOf(net::Request::Chow) ||
                                request[0] == net::MainOf(net::Request::Pung));
}

TEST(BotThinking, AClaimThatAnotherClaimBeatWhileThinkingBecomesAPass) {
    const auto messages = RecordASeat(BotStyle::Smart);
    // Without thinking time: the first discard the seat claims.
    ManualScheduler quick;
    std::vector<net::Bytes> sent;
    BotClient probe(
        quick, [&](const net::Bytes& m) { sent.push_back(m); }, "seat", BotStyle::Smart, 11,
        Milliseconds{0});
    std::optional<std::size_t> claimed;
    std::uint8_t seat = 0;
    for (std::size_t i = 0; i < messages.size() && !claimed; ++i) {
        const std::size_t before = sent.size();
        probe.Deliver(messages[i]);
        quick.RunUntil([] { return false; });
        for (std::size_t r = before; r < sent.size(); ++r)
            if (IsClaim(sent[r]) && net::DecodeDiscard(messages[i])) {
                claimed = i;
                seat = sent[r][2];
            }
    }
    ASSERT_TRUE(claimed) << "the seat claims a discard in two hands";
    const auto discard = net::DecodeDiscard(messages[*claimed]);
    ASSERT_TRUE(discard);

    // Thinking, it hears of a third chair's pung of that tile before it answers.
    DelayRecorder thinking;
    std::vector<net::Bytes> requests;
    BotClient player(
        thinking, [&](const net::Bytes& m) { requests.push_back(m); }, "seat", BotStyle::Smart, 11,
        Milliseconds{1'000});
    for (std::size_t i = 0; i < *claimed; ++i) {
        player.Deliver(messages[i]);
        thinking.RunAll();
    }
    std::uint8_t other = 0;
    while (other == seat || other == discard->chair) ++other;
    requests.clear();
    player.Deliver(messages[*claimed]);
    player.Deliver(net::Bytes{net::MainOf(net::ServerMessage::Punged), 2, other, discard->tile});
    thinking.RunAll();
    EXPECT_TRUE(std::none_of(requests.begin(), requests.end(), IsClaim));
    EXPECT_NE(std::find(requests.begin(), requests.end(), net::requests::Pass(seat)),
              requests.end())
        << "the window still gets its one answer";
}

// A person's client played by the computer player's logic, except that its
// first discard is the wild tile.
class ThrowsTheWildTile final : public Peer {
public:
    ThrowsTheWildTile(Lobby& lobby, Scheduler& scheduler, Tile wild)
        : lobby_(lobby),
          wild_(wild),
          player_(
              scheduler, [this](const net::Bytes& m) { Forward(m); }, "person", BotStyle::Smart, 11,
              Milliseconds{0}) {
        lobby_.OnHello(*this, *net::BuildHello("person"));
        lobby_.OnMessage(*this, *net::requests::Entry(false));
    }
    void Deliver(const net::Bytes& message) override { player_.Deliver(message); }
    void Disconnect() override {}
    std::string Describe() const override { return "test player"; }

private:
    void Forward(net::Bytes request) {
        if (net::ClassifyRequest(request) == net::Request::Discard && !thrown_) {
            thrown_ = true;
            request = net::requests::Discard(request[1], wild_, 0, 0);
        }
        lobby_.OnMessage(*this, request);
    }

    Lobby& lobby_;
    Tile wild_;
    BotClient player_;
    bool thrown_ = false;
};

// A person deals and throws a wild tile; the computer player after it holds
// a hand the analysis lets win on it, but it has not declared ready.
TEST(BotRights, AComputerPlayerWinsOnADiscardedWildTileOnlyAsAPersonWould) {
    constexpr Tile kWild = 38;
    ManualScheduler scheduler;
    MemoryStatsStore stats;
    ServerConfig config;
    config.log = false;
    config.seed = 9;
    config.botThink = Milliseconds{0};
    config.firstDealer = 0;
    const std::vector<Tile> fillerA{9, 10, 11, 13, 14, 15, 17, 18, 19, 20, 22, 24, 26};
    const std::vector<Tile> fillerB{9, 11, 12, 13, 15, 16, 17, 18, 20, 21, 22, 24, 26};
    const std::vector<Tile> winsOnTheWild{0, 1, 2, 3, 4, 5, 6, 7, 8, 36, 36, 36, kWild};
    config.stackedWall =
        testing::StackWall(0, {{fillerA, winsOnTheWild, fillerB, fillerB}}, kWild, 37);
    Lobby lobby(scheduler, stats, config);
    ThrowsTheWildTile person(lobby, scheduler, kWild);
    Lobby::HandSummary hand;
    lobby.SetHandObserver([&](const Lobby::HandSummary& summary) { hand = summary; });
    scheduler.RunUntil([&] { return lobby.tally().hands >= 1; }, 20'000'000);
    const auto& tally = lobby.tally();
    ASSERT_EQ(tally.hands, 1u);
    ASSERT_TRUE(hand.players[0] && hand.players[0]->name == "person") << "the person deals";
    EXPECT_NE(hand.discarder, 0) << "nobody won on the person's wild tile";
    for (std::size_t kind = 0; kind < 3; ++kind) EXPECT_EQ(tally.wildDiscardWins[kind], 0u);
    EXPECT_EQ(tally.refused, 0u) << "the computer players asked for nothing a client would not";
    EXPECT_EQ(tally.timeouts, 0u);
}

// Three computer players against one that discards at random, wild tiles
// included: over many hands they never ask for what a client would not offer.
TEST(BotRights, ComputerPlayersAskForNothingAClientWouldNotOffer) {
    ManualScheduler scheduler;
    MemoryStatsStore stats;
    ServerConfig config;
    config.log = false;
    config.seed = 5;
    Lobby lobby(scheduler, stats, config);
    const std::array<BotStyle, 4> styles{BotStyle::Expert, BotStyle::RandomDiscard, BotStyle::Smart,
                                         BotStyle::Beginner};
    lobby.OpenBotTable(styles);
    scheduler.RunUntil([&] { return lobby.tally().hands >= 150; }, 200'000'000);
    const auto& tally = lobby.tally();
    EXPECT_EQ(tally.hands, 150u);
    EXPECT_EQ(tally.refused, 0u);
    EXPECT_EQ(tally.timeouts, 0u);
    EXPECT_EQ(tally.wildDiscardWins[static_cast<std::size_t>(SeatKind::Computer)], 0u);
}

}  // namespace
}  // namespace qira::server
