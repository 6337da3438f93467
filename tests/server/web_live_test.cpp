// What the live table page gets is what an onlooker without permission may
// see: compared, at every step of real hands, with the hidden tiles.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <nlohmann/json.hpp>

#include "server/core/lobby.h"
#include "server/core/table.h"
#include "server/web/onlooker_sight.h"
#include "server/web/site_json.h"

namespace qira::server::web {
namespace {

using nlohmann::json;
using Tiles = std::multiset<int>;

// Every tile code the page was sent for the running hand.
void CollectTiles(const json& node, const std::string& key, Tiles& tiles) {
    if (node.is_object()) {
        for (const auto& [name, value] : node.items()) CollectTiles(value, name, tiles);
    } else if (node.is_array()) {
        for (const json& value : node) CollectTiles(value, key, tiles);
    } else if (node.is_number() && (key == "discards" || key == "tiles" || key == "current" ||
                                    key == "wild" || key == "indicator")) {
        tiles.insert(node.get<int>());
    }
}

// What lies face up (or face down for a concealed kong), as the players' views tell it.
Tiles PublicTiles(const Table& table) {
    Tiles tiles;
    const bots::SeatKnowledge known = table.KnowledgeOf(0);
    tiles.insert(known.wild);
    tiles.insert(known.indicator);
    for (const auto& discard : known.discards)
        if (discard.claimedBy < 0) tiles.insert(discard.tile);  // else it lies in the meld
    for (int chair = 0; chair < 4; ++chair) {
        for (const Meld& meld : known.melds[chair]) {
            const bool hidden = meld.bytKind == rules::MeldKind::ConcealedKong;
            for (const std::uint8_t tile : MeldTiles({meld.bytKind, meld.bytTile, 0}))
                tiles.insert(hidden ? kFaceDown : tile);
        }
    }
    return tiles;
}

TEST(WebLive, TheTablePageGetsNoConcealedTile) {
    ManualScheduler scheduler;
    MemoryStatsStore stats;
    ServerConfig config;
    config.log = false;
    config.seed = 1;
    Lobby lobby(scheduler, stats, config);
    const std::array<BotStyle, 4> styles{BotStyle::Smart, BotStyle::Smart, BotStyle::Smart,
                                         BotStyle::Expert};
    Table& table = lobby.OpenBotTable(styles);
    int checked = 0, mismatches = 0;
    bool sawConcealedKong = false;
    scheduler.RunUntil([&] {
        if (!table.HandRunning()) return lobby.tally().hands >= 20;
        const json page = json::parse(*TableJson(lobby.LiveTables(), table.number()));
        const json& seats = page["table"]["seats"];
        // The tiles are dealt once the side bets are chosen.
        if (!page["table"]["running"].get<bool>() ||
            page["table"]["phase"] == net::phase::kSideBets)
            return false;
        Tiles sent;
        CollectTiles(page["table"], "", sent);
        const Tiles expected = PublicTiles(table);
        sawConcealedKong |= expected.count(kFaceDown) > 0;
        bool same = sent == expected;
        for (int chair = 0; chair < 4; ++chair) {
            const std::vector<Tile> hidden = table.ViewOf(chair).hand;
            same &= seats[chair]["concealed"] == hidden.size();
            same &= seats[chair].size() == 6u;  // melds, discards, counts and marks only
        }
        if (!same && mismatches == 0) ADD_FAILURE() << "first difference: " << page.dump();
        mismatches += same ? 0 : 1;
        ++checked;
        return false;
    });
    EXPECT_GE(lobby.tally().hands, 20u);
    EXPECT_GT(checked, 1000);
    EXPECT_EQ(mismatches, 0);
    EXPECT_TRUE(sawConcealedKong) << "pick a seed whose hands hold a concealed kong";
}

TEST(WebLive, ACutOrForgedSnapshotIsNotRead) {
    ManualScheduler scheduler;
    MemoryStatsStore stats;
    ServerConfig config;
    config.log = false;
    Lobby lobby(scheduler, stats, config);
    const std::array<BotStyle, 4> styles{};
    Table& table = lobby.OpenBotTable(styles);
    scheduler.RunUntil(
        [&] { return table.HandRunning() && table.ViewOf(0).discards[0].size() > 3; });
    LiveTable live = lobby.LiveTables().front();
    ASSERT_TRUE(ReadSight(live.onlookerSnapshots));
    for (std::size_t cut = 0; cut < live.onlookerSnapshots[2].size(); ++cut) {
        LiveTable shorter = live;
        shorter.onlookerSnapshots[2].resize(cut);
        EXPECT_FALSE(ReadSight(shorter.onlookerSnapshots)) << cut;
    }
    live.onlookerSnapshots[1][live.onlookerSnapshots[1].size() - 5] = 1;  // "the hand is visible"
    EXPECT_FALSE(ReadSight(live.onlookerSnapshots));
}

}  // namespace
}  // namespace qira::server::web
