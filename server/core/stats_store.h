#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <iosfwd>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "server/core/scheduler.h"

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

// What the statistics writer made of one try, told on the loop.
struct StoreReport {
    std::string fault;               // empty: every hand tried is written
    std::vector<int> refusedTables;  // tables whose hands were refused at their first try
    std::size_t waited = 0;          // hands written now that had been refused before
    std::size_t waiting = 0;         // hands not written after this try
};

class StatsStore {
public:
    using Reports = std::function<void(const StoreReport&)>;

    virtual ~StatsStore() = default;
    // The user's numbers; a new user is created with the starting numbers.
    // Throws std::runtime_error when a new user cannot be stored.
    virtual UserStats Load(const std::string& name) = 0;
    // As Load, for a computer player: never waits for another process's
    // lock on the event loop (its hands wait in the store like any other).
    virtual UserStats LoadWithoutWaiting(const std::string& name) { return Load(name); }
    // Applies the changes of one hand, all or nothing, and returns the
    // numbers afterwards by name.
    virtual std::map<std::string, UserStats> Record(std::span<const StatsChange> changes) = 0;
    // Same, keeping `handLog` (one JSON object, without its "id") in the
    // same transaction; empty keeps no log. `table` is named in the report
    // when the hand is refused.
    virtual std::map<std::string, UserStats> Record(std::span<const StatsChange> changes,
                                                    const std::string& handLog, int /*table*/) {
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
    // A store that writes away from the loop posts what each try came to
    // through `scheduler` (PostFromThread), until Detach.
    virtual void Attach(Scheduler& /*scheduler*/, Reports /*reports*/) {}
    virtual void Detach() {}
    // Asks for the waiting hands to be tried again; returns at once.
    virtual void Retry() {}
    // Waits until every hand handed over so far has been tried and its report
    // posted: a loop in virtual time calls it before time passes.
    virtual void Settle() {}

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

// Statistics in an SQLite file (WAL journal). Every user's numbers are read
// at the start, so a returning player's join never waits for the database.
// Hands are written by a thread of the store's own, in batches, so the loop
// never waits for a commit; a hand the database refuses (full, read-only,
// locked by another process) stays queued, already counted in memory, until
// a later try writes it.
class SqliteStatsStore final : public StatsStore {
public:
    // Opens or creates the database and checks that it is a regular file,
    // writable and passes SQLite's quick check; throws std::runtime_error
    // with the reason when it is not.
    explicit SqliteStatsStore(const std::string& path);
    // Writes what is still queued, without waiting for another process's lock.
    ~SqliteStatsStore() override;
    SqliteStatsStore(const SqliteStatsStore&) = delete;
    SqliteStatsStore& operator=(const SqliteStatsStore&) = delete;

    // A new user is added on the calling thread, waiting at most a moment
    // for the writer's transaction.
    UserStats Load(const std::string& name) override;
    UserStats LoadWithoutWaiting(const std::string& name) override;
    std::map<std::string, UserStats> Record(std::span<const StatsChange> changes) override;
    std::map<std::string, UserStats> Record(std::span<const StatsChange> changes,
                                            const std::string& handLog, int table) override;
    // The hands written so far, once the writer has tried those handed over.
    std::vector<std::string> Hands(std::optional<std::int64_t> id) const override;
    std::size_t Waiting() const override;
    // Stops the writer after its current try, writes what is queued on the
    // calling thread (waiting at most `lockWait` for another process's lock)
    // and starts the writer again: for the end of a run.
    std::string Flush(std::chrono::milliseconds lockWait = {}) override;
    std::string Fault() const override;
    void Attach(Scheduler& scheduler, Reports reports) override;
    void Detach() override;
    void Retry() override;
    void Settle() override;

private:
    struct QueuedHand {
        std::vector<StatsChange> changes;
        std::string log;
        int table = 0;
        bool tried = false;  // refused before
    };
    void CheckIntegrity();
    void CheckWritable();
    void ReadUsers();
    void OpenWriterConnection();
    void StartWriter();
    void StopWriter();
    void RunWriter();
    void TryQueued(std::unique_lock<std::mutex>& lock, std::chrono::milliseconds lockWait);
    void WaitUntilTried() const;
    std::string WriteBatch(const std::deque<QueuedHand>& batch, std::chrono::milliseconds lockWait);

    std::string path_;
    // The loop's connection: the checks at the start, new users, reading hands.
    sqlite3* db_ = nullptr;
    std::map<std::string, UserStats> users_;  // the loop's alone

    // The writer's connection: only the writer thread uses it, or the thread
    // that called Flush while the writer is stopped.
    sqlite3* writerDb_ = nullptr;
    std::thread writer_;

    // Everything below is shared by the loop and the writer: guarded by mutex_.
    mutable std::mutex mutex_;
    std::condition_variable wake_;             // the writer has something to do
    mutable std::condition_variable settled_;  // a try ended
    std::deque<QueuedHand> queue_;             // not yet written, oldest first
    std::size_t fresh_ = 0;                    // hands queued since the writer last took the queue
    std::size_t inFlight_ = 0;                 // hands the writer is writing now
    bool trying_ = false;
    bool retryAsked_ = false;
    bool stopping_ = false;
    std::string fault_;
    Scheduler* scheduler_ = nullptr;
    std::shared_ptr<Reports> reports_;
};

// Writes the kept hands of the database at `path` to `out` as JSON lines,
// oldest first (`id` picks one). A row that cannot be read or is not a JSON
// object is left out and named on `errors`, as is a database that cannot be
// read at all; returns whether every hand asked for was written.
bool ExportHands(const std::string& path, std::optional<std::int64_t> id, std::ostream& out,
                 std::ostream& errors);

// The default database path: $XDG_DATA_HOME/qira/server.sqlite, or
// ~/.local/share/qira/server.sqlite. The launcher's LocalDatabasePath
// (src/launch/start_settings.h) names the same file for 我的牌局.
std::string DefaultDatabasePath();

// "1 hand", "3 hands".
std::string HandCount(std::size_t count);

// `log` (a JSON object) with "id" put first.
std::string WithHandId(std::int64_t id, const std::string& log);

}  // namespace qira::server
