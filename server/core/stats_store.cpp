#include "server/core/stats_store.h"

#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>

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
};

}  // namespace

SqliteStatsStore::SqliteStatsStore(const std::string& path) {
    if (const auto parent = std::filesystem::path(path).parent_path(); !parent.empty()) {
        std::error_code ignored;
        std::filesystem::create_directories(parent, ignored);
    }
    if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK) {
        const std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        db_ = nullptr;
        throw std::runtime_error("cannot open " + path + ": " + message);
    }
    sqlite3_busy_timeout(db_, 2000);
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
}

SqliteStatsStore::~SqliteStatsStore() {
    sqlite3_close(db_);
}

void SqliteStatsStore::Execute(const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error ? error : "unknown error";
        sqlite3_free(error);
        throw std::runtime_error(message);
    }
}

std::optional<UserStats> SqliteStatsStore::Find(const std::string& name) {
    Statement select(db_,
                     "SELECT id, points, experience, hands, wins, losses, draws, escapes"
                     " FROM users WHERE name = ?");
    sqlite3_bind_text(select.handle, 1, name.c_str(), static_cast<int>(name.size()),
                      SQLITE_TRANSIENT);
    if (sqlite3_step(select.handle) != SQLITE_ROW) return std::nullopt;
    UserStats stats;
    std::int64_t* fields[] = {&stats.id,   &stats.points, &stats.experience, &stats.hands,
                              &stats.wins, &stats.losses, &stats.draws,      &stats.escapes};
    for (int i = 0; i < 8; ++i) *fields[i] = sqlite3_column_int64(select.handle, i);
    return stats;
}

UserStats SqliteStatsStore::Load(const std::string& name) {
    if (auto found = Find(name)) return *found;
    Statement insert(db_, "INSERT OR IGNORE INTO users (name) VALUES (?)");
    sqlite3_bind_text(insert.handle, 1, name.c_str(), static_cast<int>(name.size()),
                      SQLITE_TRANSIENT);
    sqlite3_step(insert.handle);
    return Find(name).value_or(UserStats{});
}

std::map<std::string, UserStats> SqliteStatsStore::Record(std::span<const StatsChange> changes) {
    return Record(changes, std::string());
}

std::map<std::string, UserStats> SqliteStatsStore::Record(std::span<const StatsChange> changes,
                                                          const std::string& handLog) {
    std::map<std::string, UserStats> out;
    Execute("BEGIN IMMEDIATE");
    try {
        if (!handLog.empty()) {
            Statement insert(db_, "INSERT INTO hands (log) VALUES (?)");
            sqlite3_bind_text(insert.handle, 1, handLog.c_str(), static_cast<int>(handLog.size()),
                              SQLITE_TRANSIENT);
            if (sqlite3_step(insert.handle) != SQLITE_DONE)
                throw std::runtime_error(sqlite3_errmsg(db_));
        }
        for (const auto& change : changes) {
            UserStats stats = Load(change.name);
            ApplyChange(stats, change);
            Statement update(db_,
                             "UPDATE users SET points = ?, experience = ?, hands = ?, wins = ?,"
                             " losses = ?, draws = ?, escapes = ? WHERE name = ?");
            const std::int64_t values[] = {stats.points, stats.experience, stats.hands,  stats.wins,
                                           stats.losses, stats.draws,      stats.escapes};
            for (int i = 0; i < 7; ++i) sqlite3_bind_int64(update.handle, i + 1, values[i]);
            sqlite3_bind_text(update.handle, 8, change.name.c_str(),
                              static_cast<int>(change.name.size()), SQLITE_TRANSIENT);
            if (sqlite3_step(update.handle) != SQLITE_DONE)
                throw std::runtime_error(sqlite3_errmsg(db_));
            out[change.name] = stats;
        }
        Execute("COMMIT");
    } catch (...) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    return out;
}

std::vector<std::string> SqliteStatsStore::Hands(std::optional<std::int64_t> id) const {
    Statement select(db_, id ? "SELECT id, log FROM hands WHERE id = ?"
                             : "SELECT id, log FROM hands ORDER BY id");
    if (id) sqlite3_bind_int64(select.handle, 1, *id);
    std::vector<std::string> out;
    while (sqlite3_step(select.handle) == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(select.handle, 1));
        out.push_back(WithHandId(sqlite3_column_int64(select.handle, 0), text ? text : "{}"));
    }
    return out;
}

std::vector<std::string> MemoryStatsStore::Hands(std::optional<std::int64_t> id) const {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < hands_.size(); ++i) {
        const auto number = static_cast<std::int64_t>(i + 1);
        if (!id || *id == number) out.push_back(WithHandId(number, hands_[i]));
    }
    return out;
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
