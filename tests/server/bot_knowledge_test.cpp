// A computer player decides from the messages its seat receives and nothing
// else: fed the same messages with the other seats' hidden tiles shown as
// real tiles, it makes exactly the same requests.
#include <gtest/gtest.h>

#include "in_process_player.h"
#include "net/protocol.h"
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
    for (const auto& m : messages) {
        player.Deliver(m);
        scheduler.RunUntil([] { return false; });
    }
    return requests;
}

TEST(BotKnowledge, OtherSeatsHiddenTilesNeverChangeADecision) {
    for (BotStyle style : {BotStyle::Beginner, BotStyle::Smart, BotStyle::Expert}) {
        const auto messages = RecordASeat(style);
        const auto revealed = RevealHiddenTiles(messages);
        ASSERT_NE(messages, revealed) << "the other seats' tiles were hidden and are now shown";
        const auto requests = RequestsOf(messages, style);
        EXPECT_GE(requests.size(), 10u) << "the seat played two hands";
        EXPECT_EQ(RequestsOf(revealed, style), requests) << "level " << bots::LevelOf(style);
    }
}

}  // namespace
}  // namespace qira::server
