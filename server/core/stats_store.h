#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <iosfwd>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

struct sqlite3;

namespace qira::server {

struct UserStats {
    std::int64_t id = 0;
    std::int64_t points = 1000;
    std::int64_t experience = 0;
    std::int64_t hands = 0;
    std::int64_t wins = 0;
    std::int64_t losses = 0;
    std::int64_t draws = 0;
    std::int64_t escapes = 0;
};

// Spared: another player won and this one paid nothing (the discarder paid);
// it counts among the hands only, neither a win nor a loss nor a draw.
enum class HandResult { Win, Loss, Draw, Spared };

// What one hand changed for one user.
struct StatsChange {
    std::string name;
    HandResult result = HandResult::Draw;
    bool escaped = false;
    std::int64_t points = 0;  // actual score, may be negative
    std::int64_t experience = 0;
};

class StatsStore {
public:
    virtual ~StatsStore() = default;
    // The user's numbers; a new user is created with the starting numbers.
    // Throws std::runtime_error when a new user cannot be stored.
    virtual UserStats Load(const std::string& name) = 0;
    // Applies the changes of one hand, all or nothing, and returns the
    // numbers afterwards by name.
    virtual std::map<std::string, UserStats> Record(std::span<const StatsChange> changes) = 0;
    // Same, keeping `handLog` (one JSON object, without its "id") in the
    // same transaction; empty keeps no log.
    virtual std::map<std::string, UserStats> Record(std::span<const StatsChange> changes,
                                                    const std::string& handLog) {
        if (!handLog.empty()) KeepHand(handLog);
        return Record(changes);
    }
    // The kept hands as JSON lines with their "id", oldest first; `id` picks one.
    virtual std::vector<std::string> Hands(std::optional<std::int64_t> id) const = 0;
    // Hands recorded in memory whose writing storage refused so far.
    virtual std::size_t Waiting() const { return 0; }
    // Writes the waiting hands, waiting at most `lockWait` for another
    // process's lock; the fault that keeps them waiting, or empty.
    virtual std::string Flush(std::chrono::milliseconds /*lockWait*/ = {}) { return {}; }
    // What kept the waiting hands from being written the last time.
    virtual std::string Fault() const { return {}; }

protected:
    virtual void KeepHand(const std::string&) {}
};

void ApplyChange(UserStats& stats, const StatsChange& change);

class MemoryStatsStore final : public StatsStore {
public:
    UserStats Load(const std::string& name) override;
    std::map<std::string, UserStats> Record(std::span<const StatsChange> changes) override;
    using StatsStore::Record;
    std::vector<std::string> Hands(std::optional<std::int64_t> id) const override;

private:
    void KeepHand(const std::string& handLog) override { hands_.push_back(handLog); }
    std::map<std::string, UserStats> users_;
    std::vector<std::string> hands_;
    std::int64_t lastId_ = 0;
};

// Statistics in an SQLite file, every hand one transaction. Every user's
// numbers are read at the start, so a join never waits for the database; a
// hand the database refuses (full, read-only, locked by another process)
// waits in memory, already counted, until Flush writes it.
class SqliteStatsStore final : public StatsStore {
public:
    // Opens or creates the database and checks that it is a regular file,
    // writable and passes SQLite's quick check; throws std::runtime_error
    // with the reason when it is not.
    explicit SqliteStatsStore(const std::string& path);
    ~SqliteStatsStore() override;
    SqliteStatsStore(const SqliteStatsStore&) = delete;
    SqliteStatsStore& operator=(const SqliteStatsStore&) = delete;

    UserStats Load(const std::string& name) override;
    std::map<std::string, UserStats> Record(std::span<const StatsChange> changes) override;
    std::map<std::string, UserStats> Record(std::span<const StatsChange> changes,
                                            const std::string& handLog) override;
    std::vector<std::string> Hands(std::optional<std::int64_t> id) const override;
    std::size_t Waiting() const override { return waiting_.size(); }
    std::string Flush(std::chrono::milliseconds lockWait = {}) override;
    std::string Fault() const override { return fault_; }

private:
    struct WaitingHand {
        std::vector<StatsChange> changes;
        std::string log;
    };
    void Execute(const char* sql);
    void CheckIntegrity();
    void CheckWritable();
    void ReadUsers();
    void Write(const WaitingHand& hand, std::map<std::string, std::int64_t>& newIds);

    std::string path_;
    sqlite3* db_ = nullptr;
    std::map<std::string, UserStats> users_;
    std::deque<WaitingHand> waiting_;
    std::string fault_;
};

// Writes the kept hands of the database at `path` to `out` as JSON lines,
// oldest first (`id` picks one). A row that cannot be read or is not a JSON
// object is left out and named on `errors`, as is a database that cannot be
// read at all; returns whether every hand asked for was written.
bool ExportHands(const std::string& path, std::optional<std::int64_t> id, std::ostream& out,
                 std::ostream& errors);

// The default database path: $XDG_DATA_HOME/qira/server.sqlite, or
// ~/.local/share/qira/server.sqlite.
std::string DefaultDatabasePath();

// "1 hand", "3 hands".
std::string HandCount(std::size_t count);

// `log` (a JSON object) with "id" put first.
std::string WithHandId(std::int64_t id, const std::string& log);

}  // namespace qira::server
