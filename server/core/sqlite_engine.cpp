// The statistics in an SQLite file: the engine the store's writer uses, the
// checks at the start, the schema's migrations and the export of the hands.
#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <ostream>
#include <stdexcept>

#include "server/core/json_check.h"
#include "server/core/stats_engine.h"

namespace qira::server {
namespace {

struct Statement {
    sqlite3_stmt* handle = nullptr;
    Statement(sqlite3* db, const char* sql);
    ~Statement() { sqlite3_finalize(handle); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void Bind(int index, const std::string& text) {
        sqlite3_bind_text(handle, index, text.c_str(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
    }
};

// SQLite's message, with the system's reason when there is one ("disk I/O
// error" alone does not tell an operator what to mend).
std::string DatabaseFault(sqlite3* db) {
    std::string text = sqlite3_errmsg(db);
    const int kind = sqlite3_errcode(db) & 0xFF;
    // The journal's open falls back to reading and fails with ENOENT, which
    // would hide the real reason.
    if (kind == SQLITE_CANTOPEN)
        return text + " (the journal beside it cannot be created: is its folder writable?)";
    const bool fromTheSystem =
        kind == SQLITE_IOERR || kind == SQLITE_FULL || kind == SQLITE_READONLY;
    const int code = sqlite3_system_errno(db);
    // WAL's shared memory file fails to grow as an I/O error; say what it is.
    if (kind == SQLITE_IOERR && code == ENOSPC) text = sqlite3_errstr(SQLITE_FULL);
    if (fromTheSystem && code != 0) text += std::string(" (") + std::strerror(code) + ")";
    if (kind == SQLITE_BUSY) text += ": another process holds the database";
    return text;
}

Statement::Statement(sqlite3* db, const char* sql) {
    if (sqlite3_prepare_v2(db, sql, -1, &handle, nullptr) != SQLITE_OK)
        throw std::runtime_error(DatabaseFault(db));
}

void Step(sqlite3* db, Statement& statement) {
    if (sqlite3_step(statement.handle) != SQLITE_DONE) throw std::runtime_error(DatabaseFault(db));
}

void Execute(sqlite3* db, const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        sqlite3_free(error);
        throw std::runtime_error(DatabaseFault(db));
    }
}

std::int64_t Number(sqlite3* db, const char* sql) {
    Statement select(db, sql);
    if (sqlite3_step(select.handle) != SQLITE_ROW) throw std::runtime_error(DatabaseFault(db));
    return sqlite3_column_int64(select.handle, 0);
}

constexpr std::chrono::milliseconds kStartLockWait{5'000};

// Each step takes the schema from the version before it to its own number
// (kept in PRAGMA user_version); a database of a newer program is refused.
constexpr const char* kMigrations[] = {
    // 1: users and the hand log.
    "CREATE TABLE IF NOT EXISTS users ("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " name TEXT NOT NULL UNIQUE,"
    " points INTEGER NOT NULL DEFAULT 1000,"
    " experience INTEGER NOT NULL DEFAULT 0,"
    " hands INTEGER NOT NULL DEFAULT 0,"
    " wins INTEGER NOT NULL DEFAULT 0,"
    " losses INTEGER NOT NULL DEFAULT 0,"
    " draws INTEGER NOT NULL DEFAULT 0,"
    " escapes INTEGER NOT NULL DEFAULT 0);"
    "CREATE TABLE IF NOT EXISTS hands (id INTEGER PRIMARY KEY AUTOINCREMENT, log TEXT NOT NULL);",
};
constexpr std::int64_t kSchemaVersion = std::size(kMigrations);

// A path that exists must be a regular file: SQLite takes /dev/null or a
// folder as a database and fails later with "disk I/O error".
void CheckRegularFile(const std::string& path) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
        throw std::runtime_error(path + " is not a regular file; --db wants an SQLite file");
}

void ReadStats(sqlite3_stmt* row, int first, UserStats& stats) {
    const auto fields = StatsFields(stats);
    for (int i = 0; i < 8; ++i) *fields[i] = sqlite3_column_int64(row, first + i);
}

constexpr const char* kStatsColumns = "id, points, experience, hands, wins, losses, draws, escapes";

class SqliteEngine final : public StatsEngine {
public:
    explicit SqliteEngine(const std::string& path);
    ~SqliteEngine() override { sqlite3_close(db_); }
    SqliteEngine(const SqliteEngine&) = delete;
    SqliteEngine& operator=(const SqliteEngine&) = delete;

    std::optional<std::map<std::string, UserStats>> AllUsers() override;
    UserStats LoadUser(const std::string& name, std::chrono::milliseconds lockWait) override;
    std::map<std::string, UserStats> WriteHands(std::span<const HandRows> hands,
                                                std::chrono::milliseconds lockWait) override;
    void ReadHands(std::optional<std::int64_t> id, const std::function<void(std::string)>& line,
                   const std::function<void(const std::string&)>& fault) override;

private:
    void CheckIntegrity();
    void Migrate();
    UserStats Select(const std::string& name);
    void WriteHand(const HandRows& hand);

    std::string path_;
    sqlite3* db_ = nullptr;
};

SqliteEngine::SqliteEngine(const std::string& path) : path_(path) {
    CheckRegularFile(path);
    if (const auto parent = std::filesystem::path(path).parent_path(); !parent.empty()) {
        std::error_code ignored;
        std::filesystem::create_directories(parent, ignored);
    }
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        const std::string message = db_ ? DatabaseFault(db_) : "out of memory";
        sqlite3_close(db_);
        throw std::runtime_error("cannot open " + path + ": " + message);
    }
    try {
        sqlite3_busy_timeout(db_, static_cast<int>(kStartLockWait.count()));
        if (sqlite3_db_readonly(db_, "main") == 1)
            throw std::runtime_error("is read-only; the server must be able to write it");
        CheckIntegrity();
        Migrate();
    } catch (const std::exception& error) {
        sqlite3_close(db_);
        throw std::runtime_error("statistics database " + path + " " + error.what());
    }
}

void SqliteEngine::CheckIntegrity() {
    std::string problems;
    try {
        Statement check(db_, "PRAGMA quick_check(3)");
        int result = SQLITE_OK;
        while ((result = sqlite3_step(check.handle)) == SQLITE_ROW) {
            const auto* line = reinterpret_cast<const char*>(sqlite3_column_text(check.handle, 0));
            const std::string text = line ? line : "";
            if (text != "ok") problems += (problems.empty() ? "" : "; ") + text;
        }
        if (result != SQLITE_DONE) problems = DatabaseFault(db_);
    } catch (const std::exception& error) {
        problems = error.what();
    }
    const int kind = sqlite3_errcode(db_) & 0xFF;
    if (kind == SQLITE_BUSY)
        throw std::runtime_error("is locked by another process; start again once it is free");
    // The file system failed, not the file: nothing to restore.
    if (kind == SQLITE_IOERR || kind == SQLITE_FULL || kind == SQLITE_CANTOPEN)
        throw std::runtime_error("cannot be read: " + problems);
    if (!problems.empty())
        throw std::runtime_error("fails SQLite's quick check (" + problems +
                                 "); restore it from a backup or move it away");
}

// WAL: a commit appends to the log without the rollback journal's four
// syncs; NORMAL syncs only at checkpoints, which keeps every commit through
// the end of the process and loses at most the last ones on a power cut.
// The migration commits a real write even when there is nothing to migrate,
// so a full disk or a read-only folder (no room for the log) shows now.
void SqliteEngine::Migrate() {
    try {
        Execute(db_, "PRAGMA journal_mode = WAL");
        Execute(db_, "PRAGMA synchronous = NORMAL");
        Execute(db_, "BEGIN IMMEDIATE");
        const std::int64_t version = Number(db_, "PRAGMA user_version");
        if (version > kSchemaVersion)
            throw std::runtime_error("has schema version " + std::to_string(version) +
                                     "; this qira-server knows up to " +
                                     std::to_string(kSchemaVersion) + ": use a newer one");
        for (std::int64_t step = version; step < kSchemaVersion; ++step)
            Execute(db_, kMigrations[step]);
        Execute(db_, ("PRAGMA user_version = " + std::to_string(kSchemaVersion)).c_str());
        Execute(db_, "COMMIT");
    } catch (const std::exception& error) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        throw std::runtime_error(std::string("cannot be written: ") + error.what());
    }
}

std::optional<std::map<std::string, UserStats>> SqliteEngine::AllUsers() {
    std::map<std::string, UserStats> users;
    Statement select(db_, (std::string("SELECT name, ") + kStatsColumns + " FROM users").c_str());
    int result = SQLITE_OK;
    while ((result = sqlite3_step(select.handle)) == SQLITE_ROW) {
        const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(select.handle, 0));
        ReadStats(select.handle, 1, users[name ? name : ""]);
    }
    if (result != SQLITE_DONE)
        throw std::runtime_error("statistics database " + path_ +
                                 " cannot be read: " + DatabaseFault(db_));
    return users;
}

UserStats SqliteEngine::Select(const std::string& name) {
    Statement select(
        db_, (std::string("SELECT ") + kStatsColumns + " FROM users WHERE name = ?").c_str());
    select.Bind(1, name);
    if (sqlite3_step(select.handle) != SQLITE_ROW) throw std::runtime_error(DatabaseFault(db_));
    UserStats stats;
    ReadStats(select.handle, 0, stats);
    return stats;
}

UserStats SqliteEngine::LoadUser(const std::string& name, std::chrono::milliseconds lockWait) {
    sqlite3_busy_timeout(db_, static_cast<int>(lockWait.count()));
    Statement insert(db_, "INSERT OR IGNORE INTO users (name) VALUES (?)");
    insert.Bind(1, name);
    if (sqlite3_step(insert.handle) != SQLITE_DONE)
        throw std::runtime_error("cannot add " + name + " to " + path_ + ": " + DatabaseFault(db_));
    return Select(name);
}

// One hand's changes, added to what the database holds (another program may
// have changed a user since it was read).
void SqliteEngine::WriteHand(const HandRows& hand) {
    if (!hand.log.empty()) {
        Statement insert(db_, "INSERT INTO hands (log) VALUES (?)");
        insert.Bind(1, hand.log);
        Step(db_, insert);
    }
    for (const auto& change : hand.changes) {
        Statement add(db_, "INSERT OR IGNORE INTO users (name) VALUES (?)");
        add.Bind(1, change.name);
        Step(db_, add);
        Statement update(db_,
                         "UPDATE users SET points = points + ?, experience = experience + ?,"
                         " hands = hands + 1, wins = wins + ?, losses = losses + ?,"
                         " draws = draws + ?, escapes = escapes + ? WHERE name = ?");
        const std::int64_t values[] = {change.points,
                                       change.experience,
                                       change.result == HandResult::Win,
                                       change.result == HandResult::Loss,
                                       change.result == HandResult::Draw,
                                       change.escaped};
        for (int i = 0; i < 6; ++i) sqlite3_bind_int64(update.handle, i + 1, values[i]);
        update.Bind(7, change.name);
        Step(db_, update);
    }
}

std::map<std::string, UserStats> SqliteEngine::WriteHands(std::span<const HandRows> hands,
                                                          std::chrono::milliseconds lockWait) {
    sqlite3_busy_timeout(db_, static_cast<int>(lockWait.count()));
    try {
        Execute(db_, "BEGIN IMMEDIATE");
        std::map<std::string, UserStats> after;
        for (const auto& hand : hands) {
            WriteHand(hand);
            for (const auto& change : hand.changes) after[change.name];
        }
        for (auto& [name, stats] : after) stats = Select(name);
        Execute(db_, "COMMIT");
        return after;
    } catch (...) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

// Calls `line` with every readable hand (its JSON with the "id") and `fault`
// with what keeps a hand, or the list of hands, from being read.
void ReadHandsOf(sqlite3* db, std::optional<std::int64_t> id,
                 const std::function<void(std::string)>& line,
                 const std::function<void(const std::string&)>& fault) {
    std::vector<std::int64_t> ids;
    {
        Statement list(
            db, id ? "SELECT id FROM hands WHERE id = ?" : "SELECT id FROM hands ORDER BY id");
        if (id) sqlite3_bind_int64(list.handle, 1, *id);
        int result = SQLITE_OK;
        while ((result = sqlite3_step(list.handle)) == SQLITE_ROW)
            ids.push_back(sqlite3_column_int64(list.handle, 0));
        if (result != SQLITE_DONE)
            fault("the hands after " +
                  (ids.empty() ? std::string("the start") : "hand " + std::to_string(ids.back())) +
                  " cannot be listed: " + DatabaseFault(db));
    }
    Statement select(db, "SELECT log FROM hands WHERE id = ?");
    for (const std::int64_t hand : ids) {
        sqlite3_reset(select.handle);
        sqlite3_bind_int64(select.handle, 1, hand);
        const std::string name = "hand " + std::to_string(hand);
        if (sqlite3_step(select.handle) != SQLITE_ROW) {
            fault(name + " cannot be read: " + DatabaseFault(db));
            continue;
        }
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(select.handle, 0));
        const std::string log = text ? text : "";
        if (!IsJsonObject(log)) {
            fault(name + " is not a valid JSON object");
            continue;
        }
        line(WithHandId(hand, log));
    }
}

void SqliteEngine::ReadHands(std::optional<std::int64_t> id,
                             const std::function<void(std::string)>& line,
                             const std::function<void(const std::string&)>& fault) {
    ReadHandsOf(db_, id, line, fault);
}

}  // namespace

std::unique_ptr<StatsEngine> OpenSqliteEngine(const std::string& path) {
    return std::make_unique<SqliteEngine>(path);
}

SqliteStatsStore::SqliteStatsStore(const std::string& path)
    : DatabaseStatsStore(OpenSqliteEngine(path)) {}

bool ExportHands(const std::string& path, std::optional<std::int64_t> id, std::ostream& out,
                 std::ostream& errors) {
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        errors << "no database at " << path << '\n';
        return false;
    }
    if (!std::filesystem::is_regular_file(path, error)) {
        errors << path << " is not a regular file; --db wants an SQLite file\n";
        return false;
    }
    sqlite3* db = nullptr;
    const bool opened =
        sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK;
    const std::unique_ptr<sqlite3, int (*)(sqlite3*)> owner(db, sqlite3_close);
    if (!opened) {
        errors << "cannot open " << path << ": " << (db ? DatabaseFault(db) : "out of memory")
               << '\n';
        return false;
    }
    sqlite3_busy_timeout(db, static_cast<int>(kStartLockWait.count()));
    bool complete = true;
    std::size_t written = 0;
    try {
        ReadHandsOf(
            db, id,
            [&](const std::string& line) {
                out << line << '\n';
                ++written;
            },
            [&](const std::string& fault) {
                errors << fault << '\n';
                complete = false;
            });
    } catch (const std::exception& fault) {
        errors << "cannot read the hands of " << path << ": " << fault.what() << '\n';
        return false;
    }
    if (id && complete && written == 0) {
        errors << "no hand " << *id << " in " << path << '\n';
        return false;
    }
    out.flush();
    return complete;
}

}  // namespace qira::server
