// The statistics database when it fails: full, read-only, corrupt, or locked
// by another process. The real server program runs with a shim that makes
// the file system full or read-only on demand; the lock is held by a second
// SQLite connection in this process.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <functional>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <thread>

#include "harness.h"
#include "net/requests.h"
#include "server/core/json_check.h"
#include "server/core/stats_store.h"

namespace qira::server::testing {
namespace {

// A second connection to the database, as sqlite3 or a backup would hold one.
class OtherConnection {
public:
    explicit OtherConnection(const std::string& path) { sqlite3_open(path.c_str(), &db_); }
    ~OtherConnection() { sqlite3_close(db_); }
    OtherConnection(const OtherConnection&) = delete;
    OtherConnection& operator=(const OtherConnection&) = delete;

    bool Execute(const std::string& sql) {
        return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    std::int64_t Number(const std::string& sql) {
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr);
        const std::int64_t value =
            sqlite3_step(statement) == SQLITE_ROW ? sqlite3_column_int64(statement, 0) : -1;
        sqlite3_finalize(statement);
        return value;
    }
    std::string Text(const std::string& sql) {
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr);
        std::string value;
        if (sqlite3_step(statement) == SQLITE_ROW)
            value = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
        sqlite3_finalize(statement);
        return value;
    }

private:
    sqlite3* db_ = nullptr;
};

// --- the lock, through the real store and the lobby on virtual time ---

struct LockedDatabase : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        SqliteStatsStore(path).Load("bob");
        ASSERT_TRUE(other.Execute("UPDATE users SET points = 1234 WHERE name = 'bob'"));
        server =
            std::make_unique<VirtualServer>(FastConfig(), std::make_unique<SqliteStatsStore>(path));
        ASSERT_TRUE(other.Execute("BEGIN EXCLUSIVE"));
    }
    QTemporaryDir dir;
    std::string path = dir.filePath("stats.sqlite").toStdString();
    OtherConnection other{path};
    std::unique_ptr<VirtualServer> server;
};

TEST_F(LockedDatabase, AReturningPlayerJoinsAtOnceWithTheNumbersKept) {
    ScriptedClient bob("bob");
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(bob.Connect(*server));
    ASSERT_TRUE(server->RunUntil([&] { return bob.First(130, 2).has_value(); }, 5s));
    // Generous: a wait for the lock would take two seconds per statement.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    const auto record = FieldsOf(*bob.First(130, 2));
    EXPECT_EQ(record.at(2), "1234");
    EXPECT_NE(record.at(1), "0") << "bob's own user number";
}

TEST_F(LockedDatabase, ANewUserThatCannotBeStoredIsToldAndRefused) {
    ScriptedClient carol("carol");
    ASSERT_TRUE(carol.Connect(*server));
    ASSERT_TRUE(server->RunUntil([&] { return carol.Disconnected(); }, 5s));
    EXPECT_TRUE(carol.First(26).has_value()) << "a notice says why";
    EXPECT_FALSE(carol.First(130, 2).has_value());
    EXPECT_TRUE(server->Logged("error: cannot add carol"));
}

// The players hear that their hand waits to be stored.
std::size_t StatisticsNotices(const ScriptedClient& client) {
    return std::count_if(client.received().begin(), client.received().end(), [](const Bytes& m) {
        return m[0] == 105 && FieldsOf(m, 3).at(0).find("战绩") != std::string::npos;
    });
}

TEST_F(LockedDatabase, AHandUnderTheLockEndsForItsPlayersOnlyOnceWritten) {
    ScriptedClient bob("bob", ScriptedClient::Policy::DeclareWins);
    ASSERT_TRUE(bob.Connect(*server));
    // The writer reports on the loop once its wait for the lock is over.
    ASSERT_TRUE(bob.PumpUntil([&] { return StatisticsNotices(bob) > 0; }, 60s))
        << "the players hear that the hand waits";
    EXPECT_TRUE(server->Logged("statistics not saved: database is locked"));
    EXPECT_TRUE(server->Logged("1 hand waiting"));
    EXPECT_FALSE(server->Logged("hand ends"));
    EXPECT_FALSE(bob.handOver) << "no result before the hand is stored";
    EXPECT_EQ(other.Number("SELECT COUNT(*) FROM hands"), 0);

    ASSERT_TRUE(other.Execute("COMMIT"));
    server->scheduler().RunFor(FastConfig().statsRetry);
    ASSERT_TRUE(bob.PumpUntil([&] { return bob.handOver && bob.Count(108, 6) >= 4; }, 5s));
    EXPECT_TRUE(server->Logged("statistics saved of the 1 hand that waited"));
    EXPECT_TRUE(server->Logged("hand ends"));
    EXPECT_EQ(other.Number("SELECT COUNT(*) FROM hands"), 1);
    EXPECT_EQ(other.Number("SELECT hands FROM users WHERE name = 'bob'"), 1);
    const auto pointsShown = std::stoll(FieldsOf(*bob.First(108, 6)).at(2));
    EXPECT_EQ(other.Number("SELECT points FROM users WHERE name = 'bob'"), pointsShown)
        << "what the table showed is what was stored";
}

// --- the real server program ---

// qira-server in a folder of its own, its database `stats.sqlite` under the
// fault shim: SetFault("full"), ("readonly") or ("") at any time.
class ServerProcess {
public:
    ServerProcess() {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("LD_PRELOAD", QIRA_FAULT_SHIM_PATH);
        environment.insert("QIRA_FAULT_PATH", Db());
        environment.insert("QIRA_FAULT_FLAG", dir_.filePath("fault"));
        // The shim comes before the sanitizer's runtime, which is fine here.
        const QString asan = environment.value("ASAN_OPTIONS");
        environment.insert("ASAN_OPTIONS",
                           (asan.isEmpty() ? "" : asan + ":") + "verify_asan_link_order=0");
        process_.setProcessEnvironment(environment);
        process_.setStandardErrorFile(dir_.filePath("server.log"));
    }
    ~ServerProcess() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5'000);
        }
    }

    QString Db() const { return dir_.filePath("stats.sqlite"); }
    std::string DbPath() const { return Db().toStdString(); }

    void SetFault(const QByteArray& fault) {
        QFile flag(dir_.filePath("fault"));
        if (fault.isEmpty()) {
            flag.remove();
            return;
        }
        flag.open(QIODevice::WriteOnly);
        flag.write(fault);
    }

    // Runs to the end; the exit status (-1 when it does not end in 20 s).
    int Run(const QStringList& arguments) {
        process_.start(QStringLiteral(QIRA_SERVER_PATH), arguments);
        if (!process_.waitForFinished(20'000)) return -1;
        return process_.exitCode();
    }
    // Serves on a free port; 0 when it does not start.
    quint16 Serve() {
        process_.start(QStringLiteral(QIRA_SERVER_PATH), {"--listen", "127.0.0.1:0", "--print-port",
                                                          "--db", Db(), "--bot-think", "0"});
        if (!process_.waitForStarted(10'000) || !process_.waitForReadyRead(10'000)) return 0;
        return static_cast<quint16>(process_.readLine().trimmed().toUInt());
    }
    void Kill() {
        process_.kill();
        process_.waitForFinished(5'000);
    }
    int Stop() {
        process_.terminate();
        if (!process_.waitForFinished(20'000)) return -1;
        return process_.exitCode();
    }
    QByteArray Output() { return process_.readAllStandardOutput(); }

    std::string Log() const {
        QFile log(dir_.filePath("server.log"));
        return log.open(QIODevice::ReadOnly) ? log.readAll().toStdString() : std::string();
    }
    bool LogsWithin(const std::string& part, std::chrono::milliseconds wait) const {
        const auto deadline = std::chrono::steady_clock::now() + wait;
        while (Log().find(part) == std::string::npos) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(50ms);
        }
        return true;
    }

private:
    QTemporaryDir dir_;
    QProcess process_;
};

// Three hands kept by self-play in the server's database.
void KeepThreeHands(ServerProcess& server) {
    ASSERT_EQ(server.Run({"--selfplay", "3", "--db", server.Db()}), 0) << server.Log();
}

void Overwrite(const std::string& path, qint64 offset, const QByteArray& bytes) {
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.seek(offset));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

TEST(StorageFaults, TheServerDoesNotStartOnADatabaseItCannotTrust) {
    {
        ServerProcess server;
        EXPECT_EQ(server.Run({"--listen", "127.0.0.1:0", "--db", "/dev/null"}), 1);
        EXPECT_NE(server.Log().find("/dev/null is not a regular file"), std::string::npos)
            << server.Log();
    }
    for (const char* fault : {"readonly", "full"}) {
        ServerProcess server;
        KeepThreeHands(server);
        server.SetFault(fault);
        EXPECT_EQ(server.Run({"--listen", "127.0.0.1:0", "--db", server.Db()}), 1) << fault;
        const std::string why =
            fault == std::string("full") ? "database or disk is full" : "is read-only";
        EXPECT_NE(server.Log().find(why), std::string::npos) << server.Log();
    }
    ServerProcess server;
    KeepThreeHands(server);
    const auto root = OtherConnection(server.DbPath())
                          .Number("SELECT rootpage FROM sqlite_master WHERE name = 'hands'");
    const auto pageSize = OtherConnection(server.DbPath()).Number("PRAGMA page_size");
    Overwrite(server.DbPath(), (root - 1) * pageSize, QByteArray(64, 'g'));
    EXPECT_EQ(server.Run({"--listen", "127.0.0.1:0", "--db", server.Db()}), 1);
    EXPECT_NE(server.Log().find("fails SQLite's quick check"), std::string::npos) << server.Log();
}

// Plays one hand with three computer players until `over`.
void PlayHand(ScriptedClient& alice, const std::function<bool()>& over) {
    alice.handOver = false;
    if (alice.Count(23) + alice.Count(27) > 0)
        alice.Send(net::requests::ReadyForNextHand(static_cast<std::uint8_t>(alice.chair)));
    ASSERT_TRUE(alice.PumpUntil(over, 60s));
}

std::size_t Occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

// SIGKILL at a random moment of play, twenty times over one database: every
// hand the log calls ended (its players were told) is in the database.
TEST(StorageFaults, AKilledServerLosesNoHandItsPlayersSawEnd) {
    ServerProcess server;
    std::mt19937 random(20);
    std::size_t logged = 0;
    for (int run = 0; run < 20; ++run) {
        const quint16 port = server.Serve();
        ASSERT_NE(port, 0) << server.Log();
        ScriptedClient alice("alice", ScriptedClient::Policy::DeclareWins);
        ASSERT_TRUE(alice.Connect(port));
        ASSERT_TRUE(alice.PumpUntil([&] { return alice.handOver; }, 60s));
        // Half the runs die the moment alice sees the result, the others later.
        if (run % 2 == 1) {
            alice.Send(net::requests::ReadyForNextHand(static_cast<std::uint8_t>(alice.chair)));
            const auto until =
                std::chrono::steady_clock::now() +
                std::chrono::milliseconds(std::uniform_int_distribution(0, 400)(random));
            alice.PumpUntil([&] { return std::chrono::steady_clock::now() >= until; }, 1s);
        }
        server.Kill();
        logged += Occurrences(server.Log(), "hand ends");
        OtherConnection db(server.DbPath());
        const auto kept = db.Number("SELECT COUNT(*) FROM hands");
        ASSERT_GE(kept, static_cast<std::int64_t>(logged)) << "run " << run << "\n" << server.Log();
        // One table: at most its one hand in flight was stored unannounced.
        ASSERT_LE(kept, static_cast<std::int64_t>(logged + run + 1)) << "run " << run;
        EXPECT_GE(db.Number("SELECT hands FROM users WHERE name = 'alice'"),
                  static_cast<std::int64_t>(logged));
    }
    EXPECT_GE(logged, 20u);
}

// "full" and "readonly" through the shim; "locked": the test holds the lock.
class WriteFault : public ::testing::TestWithParam<const char*> {};

TEST_P(WriteFault, HandsWaitUntilTheDiskTakesThemAndAreLostOnlyWithExitStatusThree) {
    ServerProcess server;
    const quint16 port = server.Serve();
    ASSERT_NE(port, 0) << server.Log();
    OtherConnection db(server.DbPath());
    const auto setFault = [&](bool on) {
        if (GetParam() != std::string("locked")) return server.SetFault(on ? GetParam() : "");
        ASSERT_TRUE(db.Execute(on ? "BEGIN EXCLUSIVE" : "COMMIT"));
    };
    ScriptedClient alice("alice", ScriptedClient::Policy::DeclareWins);
    ASSERT_TRUE(alice.Connect(port));
    ASSERT_TRUE(alice.PumpUntil([&] { return alice.First(130, 2).has_value(); }));

    setFault(true);
    PlayHand(alice, [&] { return StatisticsNotices(alice) == 1; });
    EXPECT_TRUE(server.LogsWithin("1 hand waiting", 5s)) << server.Log();
    EXPECT_FALSE(alice.handOver) << "the hand ends for its players once stored";
    setFault(false);
    EXPECT_TRUE(alice.PumpUntil([&] { return alice.handOver; }, 10s));
    EXPECT_TRUE(server.LogsWithin("statistics saved of the 1 hand that waited", 10s))
        << server.Log();
    EXPECT_EQ(db.Number("SELECT COUNT(*) FROM hands"), 1);
    EXPECT_EQ(db.Number("SELECT hands FROM users WHERE name = 'alice'"), 1);

    setFault(true);
    PlayHand(alice, [&] { return StatisticsNotices(alice) == 2; });
    EXPECT_TRUE(server.LogsWithin("1 hand waiting", 5s)) << server.Log();
    EXPECT_EQ(server.Stop(), 3);
    EXPECT_NE(server.Log().find("error: statistics lost of 1 hand: "), std::string::npos)
        << server.Log();
    EXPECT_FALSE(alice.handOver) << "a lost hand never ended for its players";
    EXPECT_EQ(db.Number("SELECT COUNT(*) FROM hands"), 1);
}

INSTANTIATE_TEST_SUITE_P(StorageFaults, WriteFault,
                         ::testing::Values("full", "readonly", "locked"));

// "slow": every sync of the database takes 2 s; "locked": the test holds the
// lock, and the writer waits for it. Returning players keep joining while
// alice's hand and a dozen new users' rows are written: each is answered at once.
class DatabaseWait : public ::testing::TestWithParam<const char*> {};

TEST_P(DatabaseWait, TheLoopServesWhileAHandIsWritten) {
    ServerProcess server;
    KeepThreeHands(server);
    OtherConnection db(server.DbPath());
    ASSERT_TRUE(db.Execute("BEGIN"));
    for (int i = 0; i < 5'000; ++i)
        ASSERT_TRUE(db.Execute("INSERT INTO users (name) VALUES ('p" + std::to_string(i) + "')"));
    ASSERT_TRUE(db.Execute("COMMIT"));
    const quint16 port = server.Serve();
    ASSERT_NE(port, 0) << server.Log();
    ScriptedClient alice("alice", ScriptedClient::Policy::DeclareWins);
    ASSERT_TRUE(alice.Connect(port));
    ASSERT_TRUE(alice.PumpUntil([&] { return alice.First(130, 2).has_value(); }));
    if (GetParam() == std::string("locked"))
        ASSERT_TRUE(db.Execute("BEGIN EXCLUSIVE"));
    else
        server.SetFault(GetParam());

    // New users, whose rows wait for the lock or the disk, away from the loop.
    std::vector<std::unique_ptr<ScriptedClient>> newcomers;
    for (int i = 0; i < 12; ++i) {
        newcomers.push_back(std::make_unique<ScriptedClient>("new" + std::to_string(i)));
        ASSERT_TRUE(newcomers.back()->Connect(port));
    }
    auto slowest = 0ms;
    std::optional<std::chrono::steady_clock::time_point> ended;
    for (int i = 0; i < 5'000; ++i) {
        // Under the lock the hand waits to be stored instead of ending.
        const bool handDone = alice.handOver || StatisticsNotices(alice) > 0;
        if (handDone && !ended) ended = std::chrono::steady_clock::now();
        if (ended && std::chrono::steady_clock::now() - *ended > 1500ms) break;
        ScriptedClient ping("p" + std::to_string(i));
        const auto start = std::chrono::steady_clock::now();
        ASSERT_TRUE(ping.Connect(port));
        ASSERT_TRUE(PumpAll({&alice, &ping}, [&] { return ping.First(130, 2).has_value(); }))
            << server.Log();
        slowest = std::max(slowest, std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now() - start));
        ping.Close();
    }
    ASSERT_TRUE(ended) << "alice's hand ends or waits to be stored" << server.Log();
    // Generous against a loaded machine; waiting for the disk takes seconds.
    EXPECT_LT(slowest, 1s);
    if (GetParam() == std::string("locked")) {
        // Other tables may end hands under the lock too: one or more wait.
        EXPECT_TRUE(server.LogsWithin("waiting, tried again every", 5s)) << server.Log();
        ASSERT_TRUE(db.Execute("COMMIT"));
    }
    server.SetFault("");
    EXPECT_EQ(server.Stop(), 0);
    EXPECT_EQ(server.Log().find("AddressSanitizer"), std::string::npos) << server.Log();
}

INSTANTIATE_TEST_SUITE_P(StorageFaults, DatabaseWait, ::testing::Values("slow", "locked"));

TEST(StorageFaults, ExportNamesAnUnreadableHandAndPrintsOnlyValidJson) {
    ServerProcess server;
    KeepThreeHands(server);
    const std::string start =
        OtherConnection(server.DbPath()).Text("SELECT substr(log, 1, 40) FROM hands WHERE id = 2");
    QFile file(server.Db());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const qint64 at = file.readAll().indexOf(QByteArray::fromStdString(start));
    ASSERT_GE(at, 0);
    Overwrite(server.DbPath(), at + 1, "arbage");

    EXPECT_EQ(server.Run({"--db", server.Db(), "--export-hands"}), 1);
    std::vector<std::int64_t> ids;
    std::istringstream lines(server.Output().toStdString());
    for (std::string line; std::getline(lines, line);)
        ids.push_back(nlohmann::json::parse(line).at("id").get<std::int64_t>());
    EXPECT_EQ(ids, (std::vector<std::int64_t>{1, 3}));
    EXPECT_NE(server.Log().find("hand 2 is not a valid JSON object"), std::string::npos);

    EXPECT_EQ(server.Run({"--db", server.Db(), "--export-hands", "--hand", "2"}), 1);
    EXPECT_TRUE(server.Output().isEmpty());
    EXPECT_EQ(server.Run({"--db", server.Db(), "--export-hands", "--hand", "3"}), 0);
}

TEST(JsonCheck, TellsAWholeObjectFromGarbage) {
    for (const char* good : {"{}", " {\"a\":[1,-2.5e3,true,null,\"\\u00e9\\n\"],\"b\":{}} ",
                             "{\"名\":\"张三\"}", "{\"a\":\"\\ud83d\\ude00\"}"})
        EXPECT_TRUE(IsJsonObject(good)) << good;
    for (const char* bad :
         {"", "[]", "{\"id\":2,arbage", "{\"a\":01}", "{\"a\":\"\x01\"}", "{\"a\":\"\xC3\"}",
          "{\"a\":1}x", "{\"a\":\"\\x\"}", "{\"a\":1,}", "{\"a\":\"\\u12\"}", "{\"a\":\"\\ud800\"}",
          "{\"a\":1e999}", "{\"a\":\"\\udc00x\"}"})
        EXPECT_FALSE(IsJsonObject(bad)) << bad;
    EXPECT_FALSE(IsJsonObject(std::string(100, '[')));
    EXPECT_FALSE(IsJsonObject("{\"a\":" + std::string(100, '[') + std::string(100, ']') + "}"))
        << "nesting is bounded";
}

}  // namespace
}  // namespace qira::server::testing
