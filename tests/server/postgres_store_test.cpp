// The statistics in PostgreSQL, on a throwaway cluster: several servers
// (each its own store and connection) writing the same users, the schema's
// version, a database that goes away, and the same hands as SQLite.
#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <QProcess>
#include <QTemporaryDir>
#include <memory>
#include <sstream>
#include <thread>

#include "postgres_cluster.h"
#include "server/core/stats_store.h"
#include "server/web/hand_archive.h"

namespace qira::server::testing {
namespace {

PostgresCluster& Cluster() {
    static PostgresCluster cluster;
    return cluster;
}

class Postgres : public ::testing::Test {
protected:
    void SetUp() override {
        if (!PostgresCluster::Installed()) GTEST_SKIP() << Cluster().Problem();
        ASSERT_EQ(Cluster().Problem(), "");
        target = Cluster().NewDatabase();
    }
    std::string Text(const std::string& sql) const {
        const std::unique_ptr<PGconn, void (*)(PGconn*)> conn(PQconnectdb(target.c_str()),
                                                              PQfinish);
        const std::unique_ptr<PGresult, void (*)(PGresult*)> result(PQexec(conn.get(), sql.c_str()),
                                                                    PQclear);
        return PQntuples(result.get()) > 0 ? PQgetvalue(result.get(), 0, 0)
                                           : PQresultErrorMessage(result.get());
    }
    std::string target;
};

StatsChange Change(const std::string& name, std::int64_t points) {
    StatsChange change;
    change.name = name;
    change.result = points > 0 ? HandResult::Win : HandResult::Loss;
    change.points = points;
    change.experience = 1;
    return change;
}

TEST_F(Postgres, TwoServersRecordingOneUsersHandsAtOnceBothCount) {
    auto east = OpenStatsStore(target);
    auto west = OpenStatsStore(target);
    const auto play = [](StatsStore& store, std::int64_t points) {
        for (int hand = 0; hand < 40; ++hand) {
            const StatsChange change = Change("alice", points);
            store.Record(std::span(&change, 1), "{\"hand\":" + std::to_string(hand) + "}", 1);
        }
    };
    std::thread eastPlays(play, std::ref(*east), 3);
    std::thread westPlays(play, std::ref(*west), -1);
    eastPlays.join();
    westPlays.join();
    EXPECT_EQ(east->Flush(), "");
    EXPECT_EQ(west->Flush(), "");
    EXPECT_EQ(Text("SELECT hands FROM users WHERE name = 'alice'"), "80");
    EXPECT_EQ(Text("SELECT points FROM users WHERE name = 'alice'"),
              std::to_string(1000 + 40 * 3 - 40));
    EXPECT_EQ(Text("SELECT wins || '/' || losses FROM users WHERE name = 'alice'"), "40/40");
    EXPECT_EQ(Text("SELECT COUNT(*) FROM hands"), "80");
    // A third server reads the numbers fresh, not from what it saw at its start.
    const UserStats read = OpenStatsStore(target)->Load("alice");
    EXPECT_EQ(read.hands, 80);
    EXPECT_EQ(east->Load("alice").points, 1080) << "the store keeps no stale copy";
}

TEST_F(Postgres, TheSchemaIsMigratedOnceAndANewerOneIsRefused) {
    OpenStatsStore(target)->Load("bob");
    OpenStatsStore(target)->Load("carol");
    EXPECT_EQ(Text("SELECT string_agg(version::text, ',') FROM schema_version"), "2");
    EXPECT_EQ(Text("SELECT COUNT(*) FROM users"), "2") << "the second start kept the users";
    Text("UPDATE schema_version SET version = 99");
    try {
        OpenStatsStore(target);
        ADD_FAILURE() << "a newer schema must be refused";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("schema version 99"), std::string::npos)
            << error.what();
    }
}

TEST_F(Postgres, HandsWaitWhileTheDatabaseIsDownAndAreWrittenOnceItIsBack) {
    auto store = OpenStatsStore(target);
    store->Load("dave");
    ASSERT_TRUE(Cluster().Stop());
    const StatsChange change = Change("dave", 10);
    store->Record(std::span(&change, 1), "{\"hand\":1}", 1);
    EXPECT_NE(store->Flush(), "") << "the fault is named";
    EXPECT_EQ(store->Waiting(), 1u);
    ASSERT_TRUE(Cluster().Start());
    EXPECT_EQ(store->Flush(), "");
    EXPECT_EQ(Text("SELECT points FROM users WHERE name = 'dave'"), "1010");
}

TEST(PostgresTarget, TellsPostgresFromAnSqliteFile) {
    EXPECT_TRUE(IsPostgresTarget("postgresql://qira@db.example/qira"));
    EXPECT_TRUE(IsPostgresTarget("postgres:///qira"));
    EXPECT_TRUE(IsPostgresTarget("host=/run/postgresql dbname=qira"));
    EXPECT_FALSE(IsPostgresTarget("/var/lib/qira/server.sqlite"));
    EXPECT_FALSE(IsPostgresTarget("stats.sqlite"));
    EXPECT_FALSE(IsPostgresTarget("./a=b.sqlite"));
}

// qira-server's output for `arguments`; fails the test on a non-zero status.
std::string RunServer(const QStringList& arguments) {
    QProcess server;
    server.start(QStringLiteral(QIRA_SERVER_PATH), arguments);
    EXPECT_TRUE(server.waitForFinished(120'000));
    EXPECT_EQ(server.exitCode(), 0) << server.readAllStandardError().toStdString();
    return server.readAllStandardOutput().toStdString();
}

// The exported hands without their wall-clock "time".
std::string WithoutTimes(std::string lines) {
    for (auto at = lines.find("\"time\":"); at != std::string::npos;
         at = lines.find("\"time\":", at)) {
        const auto end = lines.find(',', at);
        lines.erase(at, end + 1 - at);
    }
    return lines;
}

TEST_F(Postgres, SelfPlayKeepsTheSameHandsAsInSqlite) {
    QTemporaryDir dir;
    const QString sqlite = dir.filePath("hands.sqlite");
    const QString postgres = QString::fromStdString(target);
    for (const QString& db : {sqlite, postgres})
        RunServer({"--selfplay", "4", "--seed", "17", "--quiet", "--db", db});
    const std::string fromSqlite = RunServer({"--db", sqlite, "--export-hands"});
    const std::string fromPostgres = RunServer({"--db", postgres, "--export-hands"});
    EXPECT_EQ(std::count(fromSqlite.begin(), fromSqlite.end(), '\n'), 4);
    // Compared whole; the hands are long, so a difference prints only the sizes.
    EXPECT_TRUE(WithoutTimes(fromSqlite) == WithoutTimes(fromPostgres))
        << fromSqlite.size() << " bytes from SQLite, " << fromPostgres.size() << " from PostgreSQL";
    EXPECT_EQ(Text("SELECT SUM(hands) FROM users"), "16");
}

TEST_F(Postgres, TheWebFrontReadsTheRecordsTheServersWrote) {
    RunServer(
        {"--selfplay", "4", "--seed", "17", "--quiet", "--db", QString::fromStdString(target)});
    web::HandArchive archive(target);
    EXPECT_EQ(archive.Refresh(), "");
    std::size_t seats = 0;
    for (const auto& [name, player] : archive.Players()) seats += player.hands.size();
    EXPECT_EQ(seats, 16u);  // four hands of four players
    ASSERT_TRUE(archive.ReadHand(1));
    EXPECT_EQ(archive.ReadHand(1)->id, 1);
    EXPECT_FALSE(archive.ReadHand(99));
    RunServer(
        {"--selfplay", "1", "--seed", "18", "--quiet", "--db", QString::fromStdString(target)});
    EXPECT_EQ(archive.Refresh(), "");  // only the new hand is read
    seats = 0;
    for (const auto& [name, player] : archive.Players()) seats += player.hands.size();
    EXPECT_EQ(seats, 20u);
}

}  // namespace
}  // namespace qira::server::testing
