// One player's hands and record from a statistics database the real store
// wrote, with hands whose results are known.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "replay/hand_database.h"
#include "replay/my_record.h"
#include "scripted_hand.h"
#include "server/core/selfplay.h"
#include "server/core/stats_store.h"

namespace qira::replay {
namespace {

using testing::ScriptedHand;

// A drawn hand with the given result, levels and players; its line without
// "id", as the server keeps it.
std::string Kept(const std::array<std::string, 4>& players, const std::string& result,
                 const std::string& levels = "[0,2,2,2]") {
    ScriptedHand hand = testing::DrawnToTheEnd();
    hand.players = players;
    hand.result = result;
    hand.extraKeys = ",\"time\":1700000000,\"levels\":" + levels;
    const std::string line = hand.Line();
    return "{" + line.substr(line.find(',') + 1);
}

class MyRecordFromDatabase : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::remove(path_);
        server::SqliteStatsStore store(path_);
        const std::array<std::string, 4> me0{"张三", "电脑1", "电脑2", "电脑3"};
        const std::array<std::string, 4> me1{"电脑1", "张三", "电脑2", "电脑3"};
        const std::array<std::string, 4> others{"李四", "电脑1", "电脑2", "电脑3"};
        for (const auto& line : {
                 Kept(me0,
                      R"({"winners":[0],"discarder":null,"tile":5,"points":[30,-10,-10,-10]})"),
                 Kept(me0, R"({"winners":[1],"discarder":0,"tile":5,"points":[-10,10,0,0]})"),
                 Kept(me0, R"({"winners":[2],"discarder":3,"tile":5,"points":[0,0,8,-8]})"),
                 Kept(me0, R"({"winners":[],"discarder":null,"tile":null,"points":[0,0,0,0]})"),
                 Kept(me1, R"({"winners":[0],"discarder":null,"tile":5,"points":[15,-5,-5,-5]})",
                      "[3,0,3,3]"),
                 Kept(others, R"({"winners":[0],"discarder":1,"tile":5,"points":[9,-9,0,0]})"),
             })
            store.Record({}, line, 0);
    }
    void TearDown() override { std::filesystem::remove(path_); }

    std::string path_ = (std::filesystem::temp_directory_path() / "qira-my-record-test.sqlite");
};

TEST_F(MyRecordFromDatabase, ListsThePlayersOwnHandsNewestFirstFromTheirSide) {
    ASSERT_TRUE(LooksLikeDatabase(path_));
    const auto read = ReadDatabaseHands(path_);
    ASSERT_EQ(read.error, "");
    const auto log = ParseHandLog([&] {
        std::string text;
        for (const auto& line : read.lines) text += line + "\n";
        return text;
    }());
    ASSERT_TRUE(log.errors.empty()) << log.errors.front();
    ASSERT_EQ(log.hands.size(), 6u);
    EXPECT_EQ(log.hands[0].time, 1700000000);
    EXPECT_EQ(log.hands[4].levels, (std::array<int, 4>{3, 0, 3, 3}));

    const auto mine = MyHands(log.hands, "张三");
    ASSERT_EQ(mine.size(), 5u);
    std::vector<std::pair<std::int64_t, MyResult>> rows;
    for (const auto& hand : mine) rows.emplace_back(hand.id, hand.result);
    EXPECT_EQ(rows, (std::vector<std::pair<std::int64_t, MyResult>>{{5, MyResult::PaidOnSelfDraw},
                                                                    {4, MyResult::Drawn},
                                                                    {3, MyResult::OthersWon},
                                                                    {2, MyResult::PaidAsDiscarder},
                                                                    {1, MyResult::SelfDrawn}}));
    EXPECT_EQ(mine[0].seat, 1);
    EXPECT_EQ(mine[0].level, 3);
    EXPECT_EQ(mine[4].level, 2);
    EXPECT_EQ(ResultText(mine[2].result), "他人和牌");

    const auto record = RecordOf(mine);
    EXPECT_EQ(record.pointsAfter, (std::vector<std::int64_t>{30, 20, 20, 20, 15}));
    EXPECT_EQ(record.all.hands, 5);
    EXPECT_DOUBLE_EQ(record.all.WinRate(), 0.2);
    EXPECT_DOUBLE_EQ(record.all.SelfDrawnShare(), 1.0);
    EXPECT_DOUBLE_EQ(record.all.DealInRate(), 0.2);
    EXPECT_DOUBLE_EQ(record.all.AverageWon(), 30.0);
    EXPECT_DOUBLE_EQ(record.all.AverageLost(), -7.5);
    EXPECT_EQ(record.byLevel[2].hands, 4);
    EXPECT_EQ(record.byLevel[3].hands, 1);
    EXPECT_EQ(record.byLevel[0].hands, 0);
}

TEST(MyRecord, HandsAgainstLevelFourAreReadAndCounted) {
    ScriptedHand hand = testing::DrawnToTheEnd();
    hand.players = {"张三", "电脑1", "电脑2", "电脑3"};
    hand.extraKeys = ",\"levels\":[0,4,4,4]";
    const auto log = ParseHandLog(hand.Line() + "\n");
    ASSERT_TRUE(log.errors.empty()) << log.errors.front();
    const auto record = RecordOf(MyHands(log.hands, "张三"));
    EXPECT_EQ(record.byLevel[4].hands, 1);
}

// The counters the server keeps (and sends in the user record) say what the
// hands say: a hand another player won without the player paying is no loss.
TEST(StoredCounters, AgreeWithTheHandLog) {
    server::MemoryStatsStore store;
    ASSERT_FALSE(server::RunLevelMatch(80, 3, {1, 2, 3, 3}, &store).stuck);
    std::string text;
    for (const auto& line : store.Hands(std::nullopt)) text += line + "\n";
    const auto hands = ParseHandLog(text).hands;
    int spared = 0;
    for (const auto& name : hands.front().players) {
        const auto mine = MyHands(hands, name);
        const auto count = [&](std::initializer_list<MyResult> results) {
            return static_cast<std::int64_t>(std::count_if(mine.begin(), mine.end(), [&](auto& h) {
                return std::find(results.begin(), results.end(), h.result) != results.end();
            }));
        };
        const auto stats = store.Load(name);
        EXPECT_EQ(stats.hands, static_cast<std::int64_t>(mine.size())) << name;
        EXPECT_EQ(stats.wins, count({MyResult::WonOnDiscard, MyResult::SelfDrawn})) << name;
        EXPECT_EQ(stats.losses, count({MyResult::PaidAsDiscarder, MyResult::PaidOnSelfDraw}))
            << name;
        EXPECT_EQ(stats.draws, count({MyResult::Drawn})) << name;
        spared += static_cast<int>(count({MyResult::OthersWon}));
    }
    EXPECT_GT(spared, 0) << "the hands include some another player won on a third one's discard";
}

TEST(HandDatabase, SaysWhyAFileIsNotADatabaseOfHands) {
    EXPECT_NE(ReadDatabaseHands("/nonexistent/x.sqlite").error, "");
    EXPECT_FALSE(LooksLikeDatabase("/etc/hostname"));
}

}  // namespace
}  // namespace qira::replay
