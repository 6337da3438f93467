#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "server/core/stats_store.h"

namespace qira::server {

// A statistics database as the store's writer thread uses it: one
// connection, used by one thread at a time. Every call throws
// std::runtime_error with a reason an operator can act on.
class StatsEngine {
public:
    virtual ~StatsEngine() = default;
    // Every user's numbers when this process is the only writer, so the loop
    // answers a returning player at once; nullopt when other servers share
    // the database and the numbers must be read fresh.
    virtual std::optional<std::map<std::string, UserStats>> AllUsers() = 0;
    // The user's numbers, adding the user with the starting numbers when new.
    virtual UserStats LoadUser(const std::string& name, std::chrono::milliseconds lockWait) = 0;
    // Writes the hands in one transaction, each change added to what the
    // database holds, and returns every named user's numbers afterwards.
    // Once it returns, the hands survive the end of this process.
    virtual std::map<std::string, UserStats> WriteHands(std::span<const HandRows> hands,
                                                        std::chrono::milliseconds lockWait) = 0;
    // Calls `line` with every readable hand (JSON with its "id"), oldest
    // first (`id` picks one), and `fault` with what keeps one from being read.
    virtual void ReadHands(std::optional<std::int64_t> id,
                           const std::function<void(std::string)>& line,
                           const std::function<void(const std::string&)>& fault) = 0;
};

// The user's numbers in the column order both engines select them in:
// id, points, experience, hands, wins, losses, draws, escapes.
inline std::array<std::int64_t*, 8> StatsFields(UserStats& stats) {
    return {&stats.id,   &stats.points, &stats.experience, &stats.hands,
            &stats.wins, &stats.losses, &stats.draws,      &stats.escapes};
}

// Opens an SQLite file, creating it when missing (checks as SqliteStatsStore says).
std::unique_ptr<StatsEngine> OpenSqliteEngine(const std::string& path);
// Connects to PostgreSQL (a URI or a libpq connection string).
std::unique_ptr<StatsEngine> OpenPostgresEngine(const std::string& target);

// The records as a reader sees them, on a read-only connection of its own
// (the web front). Every call throws std::runtime_error with the reason.
class RecordReader {
public:
    virtual ~RecordReader() = default;
    // The hands numbered above `after`, oldest first: their ids and logs.
    virtual std::vector<std::pair<std::int64_t, std::string>> HandsAfter(std::int64_t after) = 0;
    // One hand's log; nothing when there is no such hand.
    virtual std::optional<std::string> HandLog(std::int64_t id) = 0;
    // Every user's name and points.
    virtual std::vector<std::pair<std::string, std::int64_t>> Points() = 0;
};

// Connects to PostgreSQL for reading only; the schema is left as it is.
std::unique_ptr<RecordReader> OpenPostgresRecords(const std::string& target);

}  // namespace qira::server
