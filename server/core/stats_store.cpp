#include "server/core/stats_store.h"

#include <sqlite3.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <stdexcept>

#include "server/core/json_check.h"

namespace qira::server {

void ApplyChange(UserStats& stats, const StatsChange& change) {
    ++stats.hands;
    switch (change.result) {
        case HandResult::Win:
            ++stats.wins;
            break;
        case HandResult::Loss:
            ++stats.losses;
            break;
        case HandResult::Draw:
            ++stats.draws;
            break;
        case HandResult::Spared:
            break;
    }
    if (change.escaped) ++stats.escapes;
    stats.points += change.points;
    stats.experience += change.experience;
}

UserStats MemoryStatsStore::Load(const std::string& name) {
    auto [it, added] = users_.try_emplace(name);
    if (added) it->second.id = ++lastId_;
    return it->second;
}

std::map<std::string, UserStats> MemoryStatsStore::Record(std::span<const StatsChange> changes) {
    std::map<std::string, UserStats> out;
    for (const auto& change : changes) {
        Load(change.name);
        ApplyChange(users_[change.name], change);
        out[change.name] = users_[change.name];
    }
    return out;
}

namespace {

struct Statement {
    sqlite3_stmt* handle = nullptr;
    Statement(sqlite3* db, const char* sql) {
        if (sqlite3_prepare_v2(db, sql, -1, &handle, nullptr) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(db));
    }
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
    if (const int code = sqlite3_system_errno(db); fromTheSystem && code != 0)
        text += std::string(" (") + std::strerror(code) + ")";
    if (kind == SQLITE_BUSY) text += ": another process holds the database";
    return text;
}

void Step(sqlite3* db, Statement& statement) {
    if (sqlite3_step(statement.handle) != SQLITE_DONE) throw std::runtime_error(DatabaseFault(db));
}

constexpr std::chrono::milliseconds kStartLockWait{5'000};

// A path that exists must be a regular file: SQLite takes /dev/null or a
// folder as a database and fails later with "disk I/O error".
void CheckRegularFile(const std::string& path) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
        throw std::runtime_error(path + " is not a regular file; --db wants an SQLite file");
}

}  // namespace

SqliteStatsStore::SqliteStatsStore(const std::string& path) : path_(path) {
    CheckRegularFile(path);
    if (const auto parent = std::filesystem::path(path).parent_path(); !parent.empty()) {
        std::error_code ignored;
        std::filesystem::create_directories(parent, ignored);
    }
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        const std::string message = db_ ? DatabaseFault(db_) : "out of memory";
        sqlite3_close(db_);
        db_ = nullptr;
        throw std::runtime_error("cannot open " + path + ": " + message);
    }
    try {
        // Waiting is fine before the server serves; afterwards it never waits.
        sqlite3_busy_timeout(db_, static_cast<int>(kStartLockWait.count()));
        if (sqlite3_db_readonly(db_, "main") == 1)
            throw std::runtime_error("is read-only; the server must be able to write it");
        CheckIntegrity();
        CheckWritable();
        ReadUsers();
        sqlite3_busy_timeout(db_, 0);
    } catch (const std::exception& error) {
        sqlite3_close(db_);
        db_ = nullptr;
        throw std::runtime_error("statistics database " + path + " " + error.what());
    }
}

SqliteStatsStore::~SqliteStatsStore() {
    sqlite3_close(db_);
}

void SqliteStatsStore::Execute(const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        sqlite3_free(error);
        throw std::runtime_error(DatabaseFault(db_));
    }
}

void SqliteStatsStore::CheckIntegrity() {
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
    if (sqlite3_errcode(db_) == SQLITE_BUSY)
        throw std::runtime_error("is locked by another process; start again once it is free");
    if (!problems.empty())
        throw std::runtime_error("fails SQLite's quick check (" + problems +
                                 "); restore it from a backup or move it away");
}

// Creates the tables, and commits a real write even when they exist, so a
// full disk or a read-only folder (no room for the journal) shows now.
void SqliteStatsStore::CheckWritable() {
    try {
        Execute("BEGIN IMMEDIATE");
        Execute(
            "CREATE TABLE IF NOT EXISTS users ("
            " id INTEGER PRIMARY KEY AUTOINCREMENT,"
            " name TEXT NOT NULL UNIQUE,"
            " points INTEGER NOT NULL DEFAULT 1000,"
            " experience INTEGER NOT NULL DEFAULT 0,"
            " hands INTEGER NOT NULL DEFAULT 0,"
            " wins INTEGER NOT NULL DEFAULT 0,"
            " losses INTEGER NOT NULL DEFAULT 0,"
            " draws INTEGER NOT NULL DEFAULT 0,"
            " escapes INTEGER NOT NULL DEFAULT 0)");
        Execute(
            "CREATE TABLE IF NOT EXISTS hands (id INTEGER PRIMARY KEY AUTOINCREMENT, log TEXT NOT "
            "NULL)");
        Execute("PRAGMA user_version = 1");
        Execute("COMMIT");
    } catch (const std::exception& error) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        throw std::runtime_error(std::string("cannot be written: ") + error.what());
    }
}

void SqliteStatsStore::ReadUsers() {
    Statement select(db_,
                     "SELECT name, id, points, experience, hands, wins, losses, draws, escapes"
                     " FROM users");
    int result = SQLITE_OK;
    while ((result = sqlite3_step(select.handle)) == SQLITE_ROW) {
        const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(select.handle, 0));
        UserStats& stats = users_[name ? name : ""];
        std::int64_t* fields[] = {&stats.id,   &stats.points, &stats.experience, &stats.hands,
                                  &stats.wins, &stats.losses, &stats.draws,      &stats.escapes};
        for (int i = 0; i < 8; ++i) *fields[i] = sqlite3_column_int64(select.handle, i + 1);
    }
    if (result != SQLITE_DONE) throw std::runtime_error("cannot be read: " + DatabaseFault(db_));
}

UserStats SqliteStatsStore::Load(const std::string& name) {
    if (const auto found = users_.find(name); found != users_.end()) return found->second;
    Statement insert(db_, "INSERT INTO users (name) VALUES (?)");
    insert.Bind(1, name);
    if (sqlite3_step(insert.handle) != SQLITE_DONE)
        throw std::runtime_error("cannot add " + name + " to " + path_ + ": " + DatabaseFault(db_));
    UserStats stats;
    stats.id = sqlite3_last_insert_rowid(db_);
    return users_[name] = stats;
}

std::map<std::string, UserStats> SqliteStatsStore::Record(std::span<const StatsChange> changes) {
    return Record(changes, std::string());
}

std::map<std::string, UserStats> SqliteStatsStore::Record(std::span<const StatsChange> changes,
                                                          const std::string& handLog) {
    std::map<std::string, UserStats> out;
    for (const auto& change : changes) {
        UserStats& stats = users_[change.name];
        ApplyChange(stats, change);
        out[change.name] = stats;
    }
    waiting_.push_back({{changes.begin(), changes.end()}, handLog});
    Flush();
    return out;
}

// One hand's changes, added to what the database holds (another program may
// have changed a user since it was read).
void SqliteStatsStore::Write(const WaitingHand& hand, std::map<std::string, std::int64_t>& newIds) {
    if (!hand.log.empty()) {
        Statement insert(db_, "INSERT INTO hands (log) VALUES (?)");
        insert.Bind(1, hand.log);
        Step(db_, insert);
    }
    for (const auto& change : hand.changes) {
        Statement add(db_, "INSERT OR IGNORE INTO users (name) VALUES (?)");
        add.Bind(1, change.name);
        Step(db_, add);
        if (sqlite3_changes(db_) > 0) newIds[change.name] = sqlite3_last_insert_rowid(db_);
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

std::string SqliteStatsStore::Flush(std::chrono::milliseconds lockWait) {
    if (waiting_.empty()) return fault_ = {};
    sqlite3_busy_timeout(db_, static_cast<int>(lockWait.count()));
    std::string fault;
    std::map<std::string, std::int64_t> newIds;
    try {
        Execute("BEGIN IMMEDIATE");
        for (const auto& hand : waiting_) Write(hand, newIds);
        Execute("COMMIT");
        waiting_.clear();
        for (const auto& [name, id] : newIds) users_[name].id = id;
    } catch (const std::exception& error) {
        fault = error.what();
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    sqlite3_busy_timeout(db_, 0);
    return fault_ = fault;
}

namespace {

// Calls `line` with every readable hand (its JSON with the "id") and `fault`
// with what keeps a hand, or the list of hands, from being read.
void ReadHands(sqlite3* db, std::optional<std::int64_t> id,
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

}  // namespace

std::vector<std::string> SqliteStatsStore::Hands(std::optional<std::int64_t> id) const {
    std::vector<std::string> out;
    ReadHands(
        db_, id, [&](std::string line) { out.push_back(std::move(line)); },
        [](const std::string&) {});
    return out;
}

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
        ReadHands(
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

std::vector<std::string> MemoryStatsStore::Hands(std::optional<std::int64_t> id) const {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < hands_.size(); ++i) {
        const auto number = static_cast<std::int64_t>(i + 1);
        if (!id || *id == number) out.push_back(WithHandId(number, hands_[i]));
    }
    return out;
}

std::string HandCount(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " hand" : " hands");
}

std::string WithHandId(std::int64_t id, const std::string& log) {
    const std::string rest = log.size() > 2 ? "," + log.substr(1) : "}";
    return "{\"id\":" + std::to_string(id) + rest;
}

std::string DefaultDatabasePath() {
    std::filesystem::path base;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) {
        base = data;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        base = std::filesystem::path(home) / ".local" / "share";
    } else {
        base = ".";
    }
    return (base / "qira" / "server.sqlite").string();
}

}  // namespace qira::server
