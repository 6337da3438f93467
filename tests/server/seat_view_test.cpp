// The server plays an absent player's turn from the view a computer player
// in that chair builds from its own messages: whole hands of computer players
// compare the two at every step.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <ostream>
#include <string>

#include "net/frame_codec.h"
#include "net/requests.h"
#include "server/core/bot_client.h"
#include "server/core/lobby.h"
#include "server/core/room.h"
#include "server/core/table.h"

namespace qira::bots {
template <typename List>
std::string Listed(const List& list) {
    std::string out;
    for (const auto& item : list) out += ::testing::PrintToString(item) + " ";
    return out;
}

void PrintTo(const BotView& v, std::ostream* out) {
    *out << "self " << v.self << " hand " << Listed(v.hand) << "melds " << v.melds.size()
         << " wild " << +v.wild << " noWin " << v.noWin << " ting " << v.ting << " fresh "
         << +v.freshTile << "\nseen " << Listed(v.seen) << "\ndiscards " << Listed(v.discards)
         << "\nexposed " << Listed(v.exposedMelds) << " ready " << Listed(v.declaredReady)
         << " log " << v.discardLog.size();
}
}  // namespace qira::bots

namespace qira::server {
namespace {

bool OnOwnTurn(const bots::SeatKnowledge& seat) {
    return seat.turn == seat.self && seat.phase >= net::phase::kChowed &&
           seat.phase <= net::phase::kDrew;
}

// A player on its own connection, played by the computer player's logic,
// that declares every ready hand (computer players never declare).
class Declarer final : public Peer {
public:
    Declarer(Lobby& lobby, Scheduler& scheduler)
        : lobby_(lobby),
          player(
              scheduler, [this](const net::Bytes& r) { Forward(r); }, "declarer", BotStyle::Expert,
              3, Milliseconds{0}) {
        lobby_.OnHello(*this, *net::BuildHello("declarer"));
        lobby_.OnMessage(*this, *net::requests::Entry(false));
    }
    void Deliver(const net::Bytes& message) override { player.Deliver(message); }
    void Disconnect() override {}
    std::string Describe() const override { return "declarer"; }

    Lobby& lobby_;
    BotClient player;

private:
    void Forward(net::Bytes request) {
        if (net::ClassifyRequest(request) == net::Request::Discard && request.size() > 4)
            request[4] = 1;
        lobby_.OnMessage(*this, request);
    }
};

TEST(SeatView, TheServersViewOfAChairIsTheViewItsPlayerBuilds) {
    ManualScheduler scheduler;
    MemoryStatsStore stats;
    ServerConfig config;
    config.log = false;
    config.seed = 5;
    config.botThink = Milliseconds{0};
    config.botStyle = BotStyle::Expert;
    Lobby lobby(scheduler, stats, config);
    Declarer declarer(lobby, scheduler);
    const Table* table = nullptr;
    lobby.SetHandObserver([&](const Lobby::HandSummary& hand) { table = hand.players[0]->table; });
    int compared = 0, turnsCompared = 0, ready = 0;
    const auto compare = [&] {
        if (!table || !table->HandRunning()) return;
        for (int chair = 0; chair < rules::kChairCount; ++chair) {
            const User* user = table->PlayerAt(chair);
            const auto* player = user->peer == &declarer
                                     ? &declarer.player
                                     : dynamic_cast<const BotClient*>(user->peer);
            ASSERT_NE(player, nullptr);
            BotView server = table->ViewOf(chair);
            BotView own = player->View();
            // The last drawn tile is the server's only on the chair's own turn.
            if (!OnOwnTurn(table->KnowledgeOf(chair))) server.freshTile = own.freshTile = 0;
            // The order of the concealed tiles is the deal's, not knowledge.
            std::ranges::sort(server.hand);
            std::ranges::sort(own.hand);
            ASSERT_EQ(server, own) << "chair " << chair << ", hand " << lobby.tally().hands;
            ++compared;
            turnsCompared += server.freshTile != 0;
            ready += server.ting;
        }
    };
    ASSERT_TRUE(scheduler.RunUntil([&] {
        compare();
        return HasFatalFailure() || lobby.tally().hands >= 12;
    }));
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_GT(turnsCompared, 100);
    EXPECT_GT(ready, 0);
    EXPECT_GT(compared, 1000);
}

}  // namespace
}  // namespace qira::server
