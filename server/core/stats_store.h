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

// One hand's rows: its users' changes and its log (empty keeps none).
struct HandRows {
    std::vector<StatsChange> changes;
    std::string log;
};

// What the statistics writer made of one try, told on the loop.
struct StoreReport {
    std::string fault;               // empty: every hand tried is written
    std::vector<int> refusedTables;  // tables whose hands were refused at their first try
    std::size_t waited = 0;          // hands written now that had been refused before
    std::size_t waiting = 0;         // hands not written after this try
};

class StatsEngine;

class StatsStore {
public:
    using Reports = std::function<void(const StoreReport&)>;
    // The user's numbers, or nullopt and why the user could not be stored.
    using Loaded = std::function<void(std::optional<UserStats>, const std::string& fault)>;
    // Every user of the hand with the numbers afterwards, by name.
    using Recorded = std::function<void(const std::map<std::string, UserStats>&)>;

    virtual ~StatsStore() = default;
    // The user's numbers; a new user is created with the starting numbers.
    // Throws std::runtime_error when a new user cannot be stored.
    virtual UserStats Load(const std::string& name) = 0;
    // As Load, calling `done` on the loop once the numbers are known: at
    // once when the store has them, else once the database answered.
    virtual void LoadThen(const std::string& name, Loaded done);
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
    // As Record, calling `done` on the loop only once the hand is stored so
    // that the end of the server's process cannot lose it; a hand the
    // database refuses waits in the store, and `done` with it.
    virtual void RecordThen(std::vector<StatsChange> changes, std::string handLog, int table,
                            Recorded done) {
        done(Record(changes, handLog, table));
    }
    // The kept hands as JSON lines with their "id", oldest first; `id` picks one.
    virtual std::vector<std::string> Hands(std::optional<std::int64_t> id) const = 0;
    // Hands handed over whose writing storage refused so far.
    virtual std::size_t Waiting() const { return 0; }
    // Writes the waiting hands, waiting at most `lockWait` for another
    // process's lock; the fault that keeps them waiting, or empty.
    virtual std::string Flush(std::chrono::milliseconds /*lockWait*/ = {}) { return {}; }
    // What kept the waiting hands from being written the last time.
    virtual std::string Fault() const { return {}; }
    // A store that writes away from the loop posts what each try came to,
    // and the answers of LoadThen and RecordThen, through `scheduler`
    // (PostFromThread), until Detach; after Detach those answers are dropped.
    virtual void Attach(Scheduler& /*scheduler*/, Reports /*reports*/) {}
    virtual void Detach() {}
    // Asks for the waiting hands to be tried again; returns at once.
    virtual void Retry() {}
    // Waits until every hand and user handed over so far has been tried and
    // its answer posted: a loop in virtual time calls it before time passes.
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

// Statistics in a database written by a thread of the store's own, in
// batches, so the loop never waits for a commit or a new user's row. A hand
// is answered once its batch is committed; a hand the database refuses
// (full, read-only, locked by another process, unreachable) stays queued
// until a later try writes it.
class DatabaseStatsStore : public StatsStore {
public:
    explicit DatabaseStatsStore(std::unique_ptr<StatsEngine> engine);
    // Writes what is still queued, without waiting for another process's lock.
    ~DatabaseStatsStore() override;
    DatabaseStatsStore(const DatabaseStatsStore&) = delete;
    DatabaseStatsStore& operator=(const DatabaseStatsStore&) = delete;

    // Waits for the writer when the user is not known yet.
    UserStats Load(const std::string& name) override;
    void LoadThen(const std::string& name, Loaded done) override;
    // Returns the numbers counted in memory at once; the hand is written later.
    std::map<std::string, UserStats> Record(std::span<const StatsChange> changes) override;
    std::map<std::string, UserStats> Record(std::span<const StatsChange> changes,
                                            const std::string& handLog, int table) override;
    void RecordThen(std::vector<StatsChange> changes, std::string handLog, int table,
                    Recorded done) override;
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
        HandRows rows;
        int table = 0;
        bool tried = false;  // refused before
        Recorded done;
        bool viaLoop = false;  // `done` is posted to the loop
    };
    struct QueuedUser {
        std::string name;
        Loaded done;
        bool viaLoop = false;
    };
    void StartWriter();
    void StopWriter();
    void RunWriter();
    void LoadQueued(std::unique_lock<std::mutex>& lock);
    void TryQueued(std::unique_lock<std::mutex>& lock, std::chrono::milliseconds lockWait);
    std::string WriteBatch(std::deque<QueuedHand>& batch, std::chrono::milliseconds lockWait);
    void Answer(bool viaLoop, std::function<void()> answer);
    void WaitUntilTried() const;
    void Remember(const std::string& name, const UserStats& stats);

    // Used by the writer thread, or by a thread that holds engineMutex_
    // while the writer is stopped or between tries.
    std::unique_ptr<StatsEngine> engine_;
    mutable std::mutex engineMutex_;
    std::thread writer_;

    // Everything below is shared by the loop and the writer: guarded by mutex_.
    mutable std::mutex mutex_;
    // Every user's numbers when this process is the database's only writer.
    std::optional<std::map<std::string, UserStats>> users_;
    std::condition_variable wake_;             // the writer has something to do
    mutable std::condition_variable settled_;  // a try ended
    std::deque<QueuedHand> queue_;             // not yet written, oldest first
    std::deque<QueuedUser> newUsers_;          // not yet loaded
    std::size_t fresh_ = 0;                    // hands queued since the writer last took the queue
    std::size_t inFlight_ = 0;                 // hands the writer is writing now
    bool trying_ = false;
    bool retryAsked_ = false;
    bool stopping_ = false;
    std::string fault_;
    Scheduler* scheduler_ = nullptr;
    std::shared_ptr<Reports> reports_;
};

// Statistics in an SQLite file (WAL journal, synchronous=NORMAL: a commit
// survives the end of the process, not a power cut). Every user's numbers are
// read at the start, so a returning player's join never waits for the database.
class SqliteStatsStore final : public DatabaseStatsStore {
public:
    // Opens or creates the database and checks that it is a regular file,
    // writable and passes SQLite's quick check; throws std::runtime_error
    // with the reason when it is not.
    explicit SqliteStatsStore(const std::string& path);
};

// Whether --db names a PostgreSQL database (a postgresql:// URI or a libpq
// "key=value" connection string) rather than an SQLite file.
bool IsPostgresTarget(const std::string& target);

// The store --db names: PostgreSQL or an SQLite file. Throws
// std::runtime_error with the reason when it cannot be used.
std::unique_ptr<StatsStore> OpenStatsStore(const std::string& target);

// Writes the kept hands of the database at `path` to `out` as JSON lines,
// oldest first (`id` picks one). A row that cannot be read or is not a JSON
// object is left out and named on `errors`, as is a database that cannot be
// read at all; returns whether every hand asked for was written.
bool ExportHands(const std::string& path, std::optional<std::int64_t> id, std::ostream& out,
                 std::ostream& errors);

// As ExportHands, for an SQLite file or a PostgreSQL database (IsPostgresTarget).
bool ExportStoredHands(const std::string& target, std::optional<std::int64_t> id, std::ostream& out,
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
