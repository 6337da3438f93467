// The replay against hands the real server played and logged: every logged
// hand must replay, and a client session fed the replay must hold what the
// log says each chair held.
#include <gtest/gtest.h>

#include <algorithm>

#include "play/session_fakes.h"
#include "play/win_record.h"
#include "replay/hand_replay.h"
#include "server/core/selfplay.h"
#include "server/core/stats_store.h"

namespace qira::replay {
namespace {

std::vector<Tile> Sorted(std::vector<Tile> tiles) {
    std::sort(tiles.begin(), tiles.end());
    return tiles;
}

// Kind and tile of each meld: the client keeps an added kong's source as the
// chair whose turn it was, the log the pung's.
std::vector<std::pair<rules::MeldKind, Tile>> Shapes(const std::vector<rules::MeldRecord>& melds) {
    std::vector<std::pair<rules::MeldKind, Tile>> shapes;
    for (const auto& meld : melds) shapes.emplace_back(meld.bytKind, meld.bytTile);
    return shapes;
}

std::vector<HandLog> PlayedHands() {
    server::MemoryStatsStore store;
    EXPECT_FALSE(server::RunLevelMatch(60, 7, {1, 2, 3, 3}, &store).stuck);
    EXPECT_FALSE(server::RunSelfPlay(40, 7, server::Opponents::RandomDiscard, &store).stuck);
    std::string text;
    for (const auto& line : store.Hands(std::nullopt)) text += line + "\n";
    const auto log = ParseHandLog(text);
    EXPECT_TRUE(log.errors.empty()) << log.errors.front();
    return log.hands;
}

struct Seen {
    int hands = 0, kongs = 0, claims = 0, drawn = 0, selfDrawn = 0, onDiscard = 0;
};

// Feeds one hand to a session watching `view` and compares, step by step,
// the watched hand and every chair's melds; then the end of the hand.
void WatchHand(const HandLog& hand, Chair view, Seen& seen) {
    std::string error;
    const auto replay = HandReplay::Build(hand, view, &error);
    ASSERT_TRUE(replay) << "hand " << hand.id << ": " << error;
    play::testing::SessionRig rig("nobody");
    const std::size_t last = replay->StepCount();
    for (std::size_t n = 0; n < last; ++n) {
        for (const auto& message : replay->Step(n).messages) rig.Feed(message);
        const auto& table = rig.session->table();
        ASSERT_EQ(Sorted(table.bytMyHand), Sorted(replay->Step(n).hands[view]))
            << "hand " << hand.id << " step " << n;
        for (std::size_t c = 0; c < 4; ++c)
            ASSERT_EQ(Shapes(table.Seats[c].Melds), Shapes(replay->Step(n).melds[c]))
                << "hand " << hand.id << " step " << n;
    }
    for (std::size_t n = 1; n <= last; ++n) {
        const LogEvent& e = *replay->Step(n).event;
        seen.kongs += e.act == Act::Kong;
        seen.claims += e.act == Act::Chow || e.act == Act::Pung;
    }
    // The log's final hands: the winning tile is not among them.
    OpenHands final = replay->Step(last).hands;
    if (!hand.Drawn() && !hand.result.discarder)
        for (const Chair w : hand.result.winners)
            final[w].erase(std::find(final[w].begin(), final[w].end(), *hand.result.tile));
    for (std::size_t c = 0; c < 4; ++c)
        EXPECT_EQ(Sorted(final[c]), Sorted(hand.final[c])) << "hand " << hand.id;

    rig.winResult.lastRecord.reset();
    for (const auto& message : replay->Step(last).messages) rig.Feed(message);
    ++seen.hands;
    if (hand.Drawn()) {
        ++seen.drawn;
        EXPECT_FALSE(rig.messages.shown.empty());
        return;
    }
    hand.result.discarder ? ++seen.onDiscard : ++seen.selfDrawn;
    const auto& record = rig.winResult.lastRecord;
    ASSERT_TRUE(record) << "hand " << hand.id;
    ASSERT_EQ(record->winners.size(), hand.result.winners.size());
    for (std::size_t c = 0; c < 4; ++c)
        EXPECT_EQ(record->actualScore[c], hand.result.points[c]) << "hand " << hand.id;
    for (const auto& winner : record->winners) {
        EXPECT_EQ(winner.SelfDrawn(), !hand.result.discarder);
        // Whatever the win window shows is the rules engine's arrangement.
        EXPECT_FALSE(play::ArrangeWinnerHand(winner, record->winningTile, hand.wild).empty())
            << "hand " << hand.id << " winner " << int(winner.chair);
    }
}

TEST(ServerHandReplay, EveryHandTheServerLogsReplaysToTheLoggedHands) {
    const auto hands = PlayedHands();
    ASSERT_EQ(hands.size(), 100u);
    Seen seen;
    // Each hand from another chair's seat, the winner's among them.
    for (std::size_t i = 0; i < hands.size(); ++i) {
        const HandLog& hand = hands[i];
        const Chair first = hand.Drawn() ? hand.dealer : hand.result.winners.front();
        WatchHand(hand, static_cast<Chair>((first + i) % 4), seen);
    }
    EXPECT_EQ(seen.hands, 100);
    EXPECT_GT(seen.kongs, 0);
    EXPECT_GT(seen.claims, 0);
    EXPECT_GT(seen.drawn, 0);
    EXPECT_GT(seen.selfDrawn, 0);
    EXPECT_GT(seen.onDiscard, 0);
}

}  // namespace
}  // namespace qira::replay
