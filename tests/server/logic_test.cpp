#include <gtest/gtest.h>

#include "net/byte_reader.h"
#include "server/core/items_data.h"
#include "server/core/scoring.h"
#include "server/core/selfplay.h"
#include "server/core/wall.h"
#include "server/core/win_check.h"

namespace qira::server {
namespace {

TEST(Wall, SegmentsFollowTheClientsBookkeeping) {
    Wall wall;
    wall.Build(3, 2);
    EXPECT_EQ(wall.HeadChair(), 2);
    EXPECT_EQ(wall.TailChair(), 3) << "replacement draws come from the segment after the head";
    for (int i = 0; i < 53; ++i) wall.DrawFront();
    wall.DrawBack();
    const auto bytes = wall.SegmentBytes();
    EXPECT_EQ(bytes[2 * 2], 34) << "the head segment is used up";
    EXPECT_EQ(bytes[2 * 2 + 1], 33);
    EXPECT_EQ(wall.HeadChair(), 1) << "ordinary draws move on to (chair + 3) mod 4";
    EXPECT_EQ(bytes[1 * 2], 19);
    EXPECT_EQ(bytes[1 * 2 + 1], 33);
    EXPECT_EQ(bytes[3 * 2], 0);
    EXPECT_EQ(bytes[3 * 2 + 1], 32);
    EXPECT_EQ(wall.Remaining(), 136 - 54);
    std::array<int, 39> counts{};
    while (const auto tile = wall.DrawBack()) ++counts[*tile];
    EXPECT_FALSE(wall.DrawFront());
}

TEST(Wall, TheSameSeedGivesTheSameWall) {
    Wall x, y, other;
    x.Build(9, 0);
    y.Build(9, 3);
    other.Build(10, 0);
    EXPECT_EQ(x.DrawOrder(), y.DrawOrder()) << "the head chair does not change the order";
    EXPECT_NE(x.DrawOrder(), other.DrawOrder());
    x.Build(0xFEDCBA9876543210u, 0);
    y.Build(0xFEDCBA9876543210u, 1);
    EXPECT_EQ(x.DrawOrder(), y.DrawOrder()) << "all 64 bits of the seed count";
    for (int i = 0; i < 136; ++i) EXPECT_EQ(x.DrawFront(), y.DrawFront());
}

TEST(WildTile, FollowsTheIndicatorInItsCycle) {
    EXPECT_EQ(WildAfterIndicator(0), 1);
    EXPECT_EQ(WildAfterIndicator(8), 0) << "9 of characters is followed by 1";
    EXPECT_EQ(WildAfterIndicator(17), 9);
    EXPECT_EQ(WildAfterIndicator(30), 27) << "north is followed by east";
    EXPECT_EQ(WildAfterIndicator(38), 36);
}

TEST(WinCheck, WildTilesStandInAndDiscardLimitsHold) {
    const std::vector<Tile> ready{0, 1, 2, 9, 10, 11, 18, 19, 20, 27, 27, 27, 36};
    EXPECT_TRUE(CanWinWith({ready, {}, 30, false}, 36));
    EXPECT_FALSE(CanWinWith({ready, {}, 30, false}, 37));
    EXPECT_FALSE(CanWinWith({ready, {}, 30, true}, 36)) << "a wild discarder never wins";
    // Three wild tiles win only on the own draw.
    const std::vector<Tile> threeWilds{5, 5, 5, 0, 1, 2, 9, 10, 11, 18, 19, 20, 36};
    EXPECT_FALSE(CanWinWith({threeWilds, {}, 5, false}, 36));
    auto drawn = threeWilds;
    drawn.push_back(36);
    EXPECT_TRUE(CanWinWith({drawn, {}, 5, false}, 36));
    const std::vector<Tile> pairs{0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6};
    EXPECT_TRUE(CanWinWith({pairs, {}, 30, false}, 6)) << "seven pairs";
    const Meld meld{MeldKind::Pung, 20, 1};
    EXPECT_FALSE(CanWinWith(
        {std::vector<Tile>(pairs.begin(), pairs.begin() + 10), std::span(&meld, 1), 30, false}, 6));
    // A discarded wild tile stands for the missing pair tile, and comes first in code order.
    EXPECT_EQ(FirstWinningTile({ready, {}, 30, false}), std::optional<Tile>(30));
}

TEST(Scoring, ASelfDrawnWinWithSideBetsFillsTheRecord) {
    WinContext c;
    c.winners = {2};
    c.discarder = 4;
    c.dealer = 2;
    c.winningTile = 4;
    c.wild = 30;
    c.base = 10;
    c.seats[2].concealed = {0, 0, 1, 1, 2, 2, 3, 3, 4, 5, 5, 6, 6};
    c.seats[2].bets = 3;
    c.seats[0].bets = 1;
    const auto outcome = ScoreWin(c);
    const auto& r = outcome.record;
    ASSERT_EQ(r[0], 23);
    ASSERT_EQ(r[1], 1);
    ASSERT_EQ(r[2], 2);
    ASSERT_EQ(r[3], 0) << "no melds";
    ASSERT_EQ(r[4], 13);
    const std::size_t items = 5 + 13;
    EXPECT_EQ(r[items + 0], 4) << "self-drawn";
    EXPECT_EQ(r[items + 1], 2) << "自摸";
    EXPECT_EQ(r[items + 3], 2) << "庄家胡牌";
    EXPECT_EQ(r[items + 9], 2) << "七对";
    EXPECT_EQ(r[items + 12], 2) << "素胡";
    EXPECT_EQ(r[items + 13], 2) << "挂档";
    EXPECT_EQ(r[items + 14], 2) << "漂";
    // Each of the three others pays: 2 x 2 x 2 x 2 x 2 (the winner's) times the
    // payer's own, plus 2 base scores of the second bet.
    EXPECT_EQ(outcome.due[2], outcome.due[0] * -1 + outcome.due[1] * -1 + outcome.due[3] * -1);
    EXPECT_EQ(outcome.due[1], -(32 + 2) * 10);
    EXPECT_EQ(outcome.due[0], -(64 + 2) * 10) << "chair 0's own first bet doubles what it pays";
    EXPECT_EQ(r.size(), items + 17 + 16 + 16 + 4 + 8 + 1 + 24);
}

TEST(Scoring, ADiscardWinIsPaidByTheDiscarderUpToTheBalance) {
    WinContext c;
    c.winners = {1};
    c.discarder = 0;
    c.dealer = 0;
    c.winningTile = 8;
    c.wild = 30;
    c.base = 10;
    c.seats[1].concealed = {0, 1, 2, 9, 10, 11, 18, 19, 20, 30, 27, 27, 8};
    c.balance = {25, 100, 100, 100};
    c.capAtBalance = true;
    const auto outcome = ScoreWin(c);
    // 3 (discarder) x 2 (dealer) = 6 base scores due, 25 points paid.
    EXPECT_EQ(outcome.due[0], -60);
    EXPECT_EQ(outcome.actual[0], -25);
    EXPECT_EQ(outcome.actual[1], 25);
    EXPECT_EQ(outcome.actual[2], 0);
}

TEST(Scoring, TheWinnersConcealedTilesTravelWildFirstThenAscending) {
    WinContext c;
    c.winners = {1};
    c.discarder = 0;
    c.winningTile = 8;
    c.wild = 30;
    c.seats[1].concealed = {27, 1, 30, 18, 9, 0, 20, 27, 11, 2, 30, 19, 10};  // as drawn
    const auto& r = ScoreWin(c).record;
    ASSERT_EQ(r[2], 1);
    ASSERT_EQ(r[3], 0) << "no melds";
    ASSERT_EQ(r[4], 13);
    const std::vector<Tile> sent(r.begin() + 5, r.begin() + 5 + 13);
    EXPECT_EQ(sent, (std::vector<Tile>{30, 30, 0, 1, 2, 9, 10, 11, 18, 19, 20, 27, 27}));
    const std::size_t winningTile = 5 + 13 + 17 + 16 + 16 + 4 + 8;
    EXPECT_EQ(r[winningTile], 8) << "the winning tile travels on its own";
}

TEST(Items, TheShippedFormatBecomesTheCatalogueTexts) {
    const auto data = ParseItems(
        "# c\ntype 表情\ntype 功能\nitem 7 0 鲜花 10 72 1 2 3 4 0\nown 7 3 2009010112\n");
    ASSERT_TRUE(data);
    EXPECT_EQ(data->catalogue, "2`表情`功能`1`7`0`鲜花`10`72`1`2`3`4`0");
    EXPECT_EQ(data->ownItems, "7:3:2009010112");
    EXPECT_TRUE(data->Has(7));
    EXPECT_FALSE(ParseItems("item 7 0 x\n"));
}

// A broken items file is refused whole; it never stops the server.
TEST(Items, NumbersThatAreNotWholeIntsRefuseTheFile) {
    for (const char* id : {"-", "--", "1-2", "7x", "99999999999", "-99999999999"}) {
        const std::string line = std::string("item ") + id + " 0 鲜花 10 72 1 2 3 4 0\n";
        EXPECT_FALSE(ParseItems(line)) << id;
        const std::string price = std::string("item 7 0 鲜花 ") + id + " 72 1 2 3 4 0\n";
        EXPECT_FALSE(ParseItems(price)) << id;
    }
    const auto negative = ParseItems("item -7 0 鲜花 10 72 1 2 3 4 0\n");
    ASSERT_TRUE(negative);
    EXPECT_TRUE(negative->Has(-7));
}

TEST(SelfPlay, TheSameSeedPlaysTheSameHands) {
    const auto a = RunSelfPlay(3, 11, Opponents::Smart);
    const auto b = RunSelfPlay(3, 11, Opponents::Smart);
    EXPECT_FALSE(a.stuck);
    EXPECT_EQ(a.hands, 3u);
    EXPECT_EQ(a.timeouts, 0u) << "computer players always act before the clock runs out";
    EXPECT_EQ(a.selfDrawn, b.selfDrawn);
    EXPECT_EQ(a.onDiscard, b.onDiscard);
    EXPECT_EQ(a.firstChairWins, b.firstChairWins);
}

}  // namespace
}  // namespace qira::server

#include "net/frame_codec.h"
#include "net/requests.h"
#include "server/core/room.h"

namespace qira::server {
namespace {

// A link that records what it is sent and never answers.
class SilentPeer final : public Peer {
public:
    void Deliver(const net::Bytes&) override { ++delivered; }
    void Disconnect() override { disconnected = true; }
    std::string Describe() const override { return "test"; }
    int delivered = 0;
    bool disconnected = false;
};

TEST(Robustness, GarbageFromAPlayerNeverStopsOrBreaksTheTable) {
    ManualScheduler scheduler;
    MemoryStatsStore stats;
    ServerConfig config;
    config.log = false;
    config.seed = 5;
    Lobby lobby(scheduler, stats, config);
    SilentPeer peer;
    const auto hello = net::BuildHello("mallory");
    lobby.OnHello(peer, *hello);
    lobby.OnMessage(peer, *net::requests::Entry(false));
    std::mt19937 random(17);
    // Every known request type, with random bodies of random lengths, many
    // naming the sender's own chair (0) so that they get past the first checks.
    const std::uint8_t types[] = {130, 112, 110, 18, 19, 20,  21, 22, 23,
                                  24,  29,  30,  28, 2,  113, 1,  0,  255};
    for (int round = 0; round < 20000; ++round) {
        net::Bytes message(1 + random() % 20);
        for (auto& b : message)
            b = static_cast<std::uint8_t>(random() % 4 == 0 ? random() % 256 : random() % 40);
        message[0] = types[random() % std::size(types)];
        if (message.size() > 2 && random() % 2) message[2] = 0;
        if (message.size() > 1 && random() % 3 == 0) message[1] = 0;
        lobby.OnMessage(peer, message);
        for (int step = 0; step < 50 && scheduler.Step(); ++step) {
        }
    }
    // The table still plays: the hand ends (the silent player is played for,
    // then replaced at the automatic-play limit).
    scheduler.RunUntil([&] { return lobby.tally().hands >= 1; }, 5'000'000);
    EXPECT_GE(lobby.tally().hands, 1u);
    EXPECT_GT(peer.delivered, 0);
}

}  // namespace
}  // namespace qira::server
