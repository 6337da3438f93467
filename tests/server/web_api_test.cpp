// The web front's JSON API and pages on a database with known hands.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "replay/scripted_hand.h"
#include "server/core/stats_store.h"
#include "server/web/web_site.h"

namespace qira::server::web {
namespace {

using nlohmann::json;
using replay::testing::ScriptedHand;
namespace fs = std::filesystem;

const std::string kHostile = "<script>alert(1)</script>\"&'";

// A database the server made, holding the given users and hand lines.
class KnownDatabase {
public:
    KnownDatabase() : path_(fs::temp_directory_path() / ("qira-web-" + std::to_string(getpid()))) {
        fs::create_directories(path_);
        { SqliteStatsStore store(File()); }
        EXPECT_EQ(sqlite3_open(File().c_str(), &db_), SQLITE_OK);
    }
    ~KnownDatabase() {
        sqlite3_close(db_);
        fs::remove_all(path_);
    }
    std::string File() const { return (path_ / "stats.sqlite").string(); }
    void AddUser(const std::string& name, std::int64_t points) {
        Run("INSERT INTO users(name, points) VALUES(?, " + std::to_string(points) + ")", name);
    }
    void AddHand(const ScriptedHand& hand) {
        std::string line = hand.Line();
        line.replace(0, line.find(',') + 1, "{");  // the database numbers the hands
        Run("INSERT INTO hands(log) VALUES(?)", line);
    }

private:
    void Run(const std::string& sql, const std::string& text) {
        sqlite3_stmt* statement = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr), SQLITE_OK);
        sqlite3_bind_text(statement, 1, text.c_str(), -1, SQLITE_TRANSIENT);
        EXPECT_EQ(sqlite3_step(statement), SQLITE_DONE);
        sqlite3_finalize(statement);
    }
    fs::path path_;
    sqlite3* db_ = nullptr;
};

json Get(WebSite& site, const std::string& target, int status = 200) {
    const WebAnswer answer = site.Answer(target);
    EXPECT_EQ(answer.status, status) << target;
    EXPECT_EQ(answer.contentType, "application/json; charset=utf-8") << target;
    return json::parse(answer.body);
}

class WebApi : public ::testing::Test {
protected:
    void SetUp() override {
        ScriptedHand win = replay::testing::KongAndSelfDrawnWin();  // chair 0 draws its win
        win.players = {"甲", "乙", "丙", "丁"};
        db.AddHand(win);
        ScriptedHand drawn = replay::testing::DrawnToTheEnd();
        drawn.players = {"乙", "甲", "丙", "丁"};
        db.AddHand(drawn);
        for (const auto& [name, points] : std::vector<std::pair<std::string, int>>{
                 {"甲", 1024}, {"乙", 992}, {"丙", 992}, {"丁", 992}})
            db.AddUser(name, points);
    }
    KnownDatabase db;
    LiveFeed feed;
};

TEST(WebApiWithoutDatabase, RecordsAnswerThatTheyCannotBeReadNotThatTheRoomIsEmpty) {
    LiveFeed feed;
    WebSite site({"", "", (fs::temp_directory_path() / "qira-web-none" / "x.sqlite").string()},
                 feed);
    for (const char* target : {"/api/leaderboard", "/api/players/甲", "/api/hands/1"})
        EXPECT_TRUE(Get(site, target, 503).contains("error"));
    Get(site, "/api/tables");
}

TEST_F(WebApi, LeaderboardSortsAndPagesThePlayers) {
    WebSite site({"", "", db.File()}, feed);
    const json board = Get(site, "/api/leaderboard");
    ASSERT_EQ(board["total"], 4);
    const json& first = board["rows"][0];
    EXPECT_EQ(first["name"], "甲");
    EXPECT_EQ(first["points"], 1024);
    EXPECT_EQ(first["hands"], 2);
    EXPECT_DOUBLE_EQ(first["winRate"].get<double>(), 0.5);
    EXPECT_DOUBLE_EQ(first["selfDrawnShare"].get<double>(), 1.0);
    EXPECT_DOUBLE_EQ(first["dealInRate"].get<double>(), 0.0);

    const json page = Get(site, "/api/leaderboard?sort=winRate&order=asc&size=3&page=2");
    EXPECT_EQ(page["pages"], 2);
    ASSERT_EQ(page["rows"].size(), 1u);
    EXPECT_EQ(page["rows"][0]["name"], "甲");  // the only winner sorts last going up
    EXPECT_EQ(page["rows"][0]["rank"], 4);
    EXPECT_EQ(Get(site, "/api/leaderboard?sort=drop%20table&page=-3")["sort"], "points");
}

TEST_F(WebApi, PlayerAndHandPagesTellTheKnownHands) {
    WebSite site({"", "", db.File()}, feed);
    const json player = Get(site, "/api/players/%E7%94%B2");  // 甲
    EXPECT_EQ(player["pointsAfter"], json::array({24, 24}));
    ASSERT_EQ(player["hands"].size(), 2u);
    EXPECT_EQ(player["hands"][0]["id"], 2);  // newest first
    EXPECT_EQ(player["hands"][1]["result"], "自摸和牌");

    const json hand = Get(site, "/api/hands/1");
    const json& last = hand["steps"].back();
    EXPECT_EQ(hand["steps"][0]["text"],
              "第 0 / " + std::to_string(hand["steps"].size() - 1) + " 步：发牌");
    EXPECT_EQ(last["act"], "win");
    ASSERT_TRUE(hand.contains("win"));
    bool wildStoodForFive = false;
    for (const json& group : hand["win"]["winners"][0]["groups"])
        for (const json& tile : group) wildStoodForFive |= tile["label"] == "当五萬";
    EXPECT_TRUE(wildStoodForFive);
    EXPECT_EQ(hand["win"]["actual"], json::array({24, -8, -8, -8}));

    Get(site, "/api/hands/3", 404);
    Get(site, "/api/hands/0x1", 404);
    Get(site, "/api/players/nobody", 404);
    Get(site, "/api/players/%E7%9", 400);
    EXPECT_EQ(site.Answer("/static/../../etc/passwd").status, 404);
}

TEST_F(WebApi, HostileNamesComeBackAsTheSameText) {
    ScriptedHand hand = replay::testing::DrawnToTheEnd();
    hand.players = {R"(<script>alert(1)</script>\"&')", "乙", "丙", "丁"};
    db.AddHand(hand);
    db.AddUser(kHostile, 5000);
    db.AddUser("bad \xc3\x28 bytes", 4000);  // not UTF-8: shown with a replacement mark
    db.AddUser("a+b", 3000);
    WebSite site({"", "", db.File()}, feed);
    const json board = Get(site, "/api/leaderboard");
    EXPECT_EQ(board["rows"][0]["name"], kHostile);
    EXPECT_EQ(board["rows"][1]["name"], "bad \xef\xbf\xbd( bytes");
    const json player =
        Get(site, "/api/players/" + std::string("%3Cscript%3Ealert(1)%3C%2Fscript%3E%22%26'"));
    EXPECT_EQ(player["name"], kHostile);
    EXPECT_EQ(Get(site, "/api/hands/3")["players"][0], kHostile);
    EXPECT_EQ(Get(site, "/api/players/a+b")["name"], "a+b");
}

}  // namespace
}  // namespace qira::server::web
