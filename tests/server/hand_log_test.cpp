#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <nlohmann/json.hpp>

#include "server/core/selfplay.h"
#include "server/core/stats_store.h"
#include "server/core/wall.h"

namespace qira::server {
namespace {

int Count(const std::string& text, const std::string& part) {
    int n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

TEST(HandLog, SelfPlayKeepsEveryHandOldestFirstAndExportsOneById) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string path = dir.filePath("hands.sqlite").toStdString();
    {
        SqliteStatsStore store(path);
        const auto report = RunSelfPlay(4, 5, Opponents::Smart, &store);
        ASSERT_FALSE(report.stuck);
        ASSERT_EQ(report.hands, 4u);
    }
    SqliteStatsStore reopened(path);
    const auto hands = reopened.Hands(std::nullopt);
    ASSERT_EQ(hands.size(), 4u);
    for (std::size_t i = 0; i < hands.size(); ++i) {
        const auto& line = hands[i];
        EXPECT_EQ(line.rfind("{\"id\":" + std::to_string(i + 1) + ",", 0), 0u) << line;
        EXPECT_EQ(line.find('\n'), std::string::npos);
        for (const char* key :
             {"\"table\":", "\"dealer\":", "\"players\":[", "\"time\":", "\"levels\":[",
              "\"indicator\":", "\"wild\":", "\"result\":{\"winners\":[", "\"points\":[",
              "\"wall\":[", "\"deal\":[[", "\"final\":[[", "\"seed\":", "\"events\":[{"})
            EXPECT_EQ(Count(line, key), 1) << key << " in " << line;
    }
    const auto wallAt = hands[0].find("\"wall\":[") + 8;
    const auto wall = hands[0].substr(wallAt, hands[0].find(']', wallAt) - wallAt);
    EXPECT_EQ(Count(wall, ","), 135) << "the whole wall of 136 tiles";
    const auto one = reopened.Hands(3);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0], hands[2]);
    EXPECT_TRUE(reopened.Hands(99).empty());
}

TEST(HandLog, TheMemoryStoreKeepsHandsLikeTheDatabase) {
    MemoryStatsStore store;
    RunSelfPlay(2, 5, Opponents::Smart, &store);
    const auto hands = store.Hands(std::nullopt);
    ASSERT_EQ(hands.size(), 2u);
    EXPECT_EQ(hands[1].rfind("{\"id\":2,\"table\":", 0), 0u) << hands[1];
    EXPECT_EQ(store.Hands(1), std::vector<std::string>{hands[0]});
}

TEST(HandLog, EachHandsSeedGivesBackItsWall) {
    MemoryStatsStore store;
    RunSelfPlay(3, 8, Opponents::Smart, &store);
    const auto hands = store.Hands(std::nullopt);
    ASSERT_EQ(hands.size(), 3u);
    std::vector<std::uint64_t> seeds;
    for (const auto& line : hands) {
        const auto hand = nlohmann::json::parse(line);
        const auto seed = hand.at("seed").get<std::uint64_t>();
        seeds.push_back(seed);
        Wall wall;
        wall.Build(seed, 0);
        const auto order = wall.DrawOrder();
        EXPECT_EQ(hand.at("wall").get<std::vector<int>>(),
                  std::vector<int>(order.begin(), order.end()));
    }
    EXPECT_NE(seeds[0], seeds[1]) << "every hand draws its own seed";
    EXPECT_NE(seeds[1], seeds[2]);
}

TEST(HandLog, AnIdGoesFirstWhateverTheLogHolds) {
    EXPECT_EQ(WithHandId(7, "{\"a\":1}"), "{\"id\":7,\"a\":1}");
    EXPECT_EQ(WithHandId(7, "{}"), "{\"id\":7}");
}

}  // namespace
}  // namespace qira::server
