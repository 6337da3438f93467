#include <algorithm>

#include <gtest/gtest.h>

#include "harness.h"
#include "net/requests.h"

namespace qira::server::testing {
namespace {

TEST(Onlookers, SeeTheWatchedHandOnlyWithPermission) {
    auto config = FastConfig();
    config.botThink = 30ms;
    VirtualServer server(config);
    ScriptedClient alice("alice");
    alice.autoPlay = false;
    ASSERT_TRUE(alice.Connect(server, /*allowWatch=*/false));
    ASSERT_TRUE(alice.PumpUntil([&] { return alice.Count(111) == 1; }, 5s));
    ScriptedClient bob("bob");
    bob.autoPlay = false;
    ASSERT_TRUE(bob.Connect(server, false, "alice"));
    ASSERT_TRUE(bob.PumpUntil([&] { return bob.Count(111) == 1; }, 5s));
    alice.autoPlay = true;
    alice.Send(*net::requests::ConfirmSettings(
        "alice", std::vector<std::string>{"10", "100", "1", "50", "500", "0"}));
    ASSERT_TRUE(PumpAll(
        {&alice, &bob}, [&] { return bob.Count(28, 1) >= 1 && bob.Count(19) >= 6; }, 20s));

    EXPECT_EQ(FieldsOf(*bob.First(130, 3)), (std::vector<std::string>{"bob", "alice"}));
    EXPECT_EQ(bob.Count(28, 1), 1) << "only the watched player's deal";
    EXPECT_EQ(FindLeak(bob.received(), alice.chair, /*mayWatchOwnChair=*/false), "");
    EXPECT_EQ(FindLeak(alice.received(), alice.chair), "");

    const std::size_t before = bob.received().size();
    alice.Send(*net::requests::AllowWatchCards("alice", true));
    ASSERT_TRUE(PumpAll(
        {&alice, &bob}, [&] { return bob.Count(113) == 1 && bob.Count(2) >= 1; }, 5s));
    EXPECT_EQ(*bob.First(113), (Bytes{113, 0, 1}));
    Bytes resync;
    for (std::size_t i = before; i < bob.received().size(); ++i)
        if (bob.received()[i][0] == 2) resync = bob.received()[i];
    ASSERT_GE(resync.size(), 3u);
    EXPECT_GE(resync[2], 1);
    for (std::size_t k = 3; k < resync.size(); ++k) EXPECT_NE(resync[k], rules::kFaceDownTile);
    // The other players' tiles stay hidden from the onlooker all along.
    ASSERT_TRUE(PumpAll(
        {&alice, &bob}, [&] { return alice.handOver; }, 60s));
    EXPECT_EQ(FindLeak(bob.received(), alice.chair, true), "");
    EXPECT_EQ(FindLeak(alice.received(), alice.chair), "");
}

TEST(Reconnect, ADroppedPlayerGetsTheTableBackThroughTheSnapshot) {
    auto config = FastConfig();
    config.botThink = 60ms;
    VirtualServer server(config);
    auto alice = std::make_unique<ScriptedClient>("alice");
    alice->secret = "a1ice5ecret";
    alice->autoPlay = false;
    ASSERT_TRUE(alice->Connect(server, true));
    ASSERT_TRUE(alice->PumpUntil([&] { return alice->Count(111) == 1; }, 5s));
    ScriptedClient bob("bob");
    bob.autoPlay = false;
    ASSERT_TRUE(bob.Connect(server, false, "alice"));
    ASSERT_TRUE(bob.PumpUntil([&] { return bob.Count(111) == 1; }, 5s));
    alice->autoPlay = true;
    alice->Send(*net::requests::ConfirmSettings(
        "alice", std::vector<std::string>{"10", "100", "1", "50", "500", "0"}));
    ASSERT_TRUE(PumpAll(
        {alice.get(), &bob}, [&] { return alice->Count(28, 1) == 1 && bob.Count(28, 1) == 1; },
        10s));
    const int chair = alice->chair;
    alice->Close();
    ASSERT_TRUE(bob.PumpUntil([&] { return bob.Count(108, 3) == 1; }, 5s));
    EXPECT_EQ(FieldsOf(*bob.First(108, 3))[0], "alice");

    ScriptedClient again("alice");
    again.secret = "a1ice5ecret";
    again.autoPlay = false;
    ASSERT_TRUE(again.Connect(server, true));
    ASSERT_TRUE(PumpAll(
        {&again, &bob}, [&] { return again.First(109).has_value() && bob.Count(108, 0) == 1; },
        5s));
    EXPECT_EQ(FieldsOf(*again.First(130, 3)), (std::vector<std::string>{"alice", "alice"}));
    const Bytes snapshot = *again.First(109);
    ASSERT_GT(snapshot.size(), 8u);
    EXPECT_EQ(snapshot[2], 1) << "the hand is still running";
    // The snapshot's own hand holds real tiles, 3k+1 or 3k+2 of them.
    std::size_t at = 4;
    for (int c = 0; c < 4; ++c) at += 1 + 3 * snapshot[at];
    for (int c = 0; c < 4; ++c) at += 1 + snapshot[at];
    at += 12 + 4 + 4;
    ASSERT_LT(at, snapshot.size());
    const int count = snapshot[at];
    EXPECT_TRUE(count % 3 == 1 || count % 3 == 2) << count;
    for (int k = 1; k <= count; ++k) EXPECT_NE(snapshot[at + k], rules::kFaceDownTile);
    ASSERT_EQ(snapshot.size(), at + 1 + count + 11u) << "nothing trails the snapshot";
    EXPECT_EQ(chair, again.chair);
}

TEST(Chat, LinesAreRelayedAndItemsAnnounced) {
    auto config = FastConfig();
    config.botWait = 60s;
    VirtualServer server(config);
    ScriptedClient alice("alice"), bob("bob");
    alice.autoPlay = bob.autoPlay = false;
    ASSERT_TRUE(alice.Connect(server));
    ASSERT_TRUE(alice.PumpUntil([&] { return alice.chair >= 0; }, 5s));
    ASSERT_TRUE(bob.Connect(server, false, "alice"));
    ASSERT_TRUE(PumpAll(
        {&alice, &bob}, [&] { return alice.Count(130, 0) == 1; }, 5s));
    const std::vector<std::string> line{"所有人", "0",  "alice", "所有人", "#000000",
                                        "宋体",   "10", "0",     "0",      "你好"};
    alice.Send(*net::requests::Chat(line));
    ASSERT_TRUE(PumpAll(
        {&alice, &bob}, [&] { return bob.Count(1) == 1; }, 5s));
    EXPECT_EQ(FieldsOf(*bob.First(1), 1), line);

    auto forged = line;
    forged[2] = "bob";
    forged[9] = "冒名";
    alice.Send(*net::requests::Chat(forged));
    ASSERT_TRUE(PumpAll(
        {&alice, &bob}, [&] { return bob.Count(1) == 2; }, 5s));
    const auto& received = bob.received();
    const auto lastChat = std::find_if(received.rbegin(), received.rend(),
                                       [](const Bytes& m) { return !m.empty() && m[0] == 1; });
    ASSERT_NE(lastChat, received.rend());
    const auto relayed = FieldsOf(*lastChat, 1);
    EXPECT_EQ(relayed[9], "冒名");
    EXPECT_EQ(relayed[2], "alice") << "nobody speaks for another";

    auto use = line;
    use[9] = "/道具 7 bob";
    alice.Send(*net::requests::Chat(use));
    ASSERT_TRUE(PumpAll(
        {&alice, &bob}, [&] { return bob.Count(133, 3) == 1; }, 5s));
    const Bytes used = *bob.First(133, 3);
    ASSERT_EQ(used.size(), 8u);
    EXPECT_EQ(used[7], 7);
    EXPECT_EQ(FieldsOf(*bob.First(133, 1)), (std::vector<std::string>{"7:3:2009010112"}));
}

}  // namespace
}  // namespace qira::server::testing
