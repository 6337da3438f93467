#include "server/core/stats_store.h"

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iterator>
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

constexpr std::chrono::milliseconds kStartLockWait{5'000};
// The writer waits this long for another process's lock before it counts
// the try as refused; nobody waits for the writer.
constexpr std::chrono::milliseconds kWriterLockWait{1'000};
// A new user's row waits at most this long, on the loop, for the writer's
// transaction (a few milliseconds) or another process's.
constexpr std::chrono::milliseconds kNewUserLockWait{100};

// WAL: a commit appends to the log without the rollback journal's four
// syncs; NORMAL syncs only at checkpoints, which keeps every commit through
// a crash of the process and loses at most the last ones on a power cut.
void UseWriteAheadLog(sqlite3* db) {
    Execute(db, "PRAGMA journal_mode = WAL");
    Execute(db, "PRAGMA synchronous = NORMAL");
}

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
        OpenWriterConnection();
        sqlite3_busy_timeout(db_, static_cast<int>(kNewUserLockWait.count()));
    } catch (const std::exception& error) {
        sqlite3_close(writerDb_);
        sqlite3_close(db_);
        writerDb_ = db_ = nullptr;
        throw std::runtime_error("statistics database " + path + " " + error.what());
    }
    StartWriter();
}

SqliteStatsStore::~SqliteStatsStore() {
    StopWriter();
    {
        std::unique_lock lock(mutex_);
        scheduler_ = nullptr;
        if (!queue_.empty()) TryQueued(lock, std::chrono::milliseconds{0});
    }
    sqlite3_close(writerDb_);
    sqlite3_close(db_);
}

void SqliteStatsStore::OpenWriterConnection() {
    if (sqlite3_open_v2(path_.c_str(), &writerDb_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        throw std::runtime_error("cannot be opened a second time: " +
                                 (writerDb_ ? DatabaseFault(writerDb_) : "out of memory"));
    Execute(writerDb_, "PRAGMA synchronous = NORMAL");
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

// Creates the tables, and commits a real write even when they exist, so a
// full disk or a read-only folder (no room for the journal) shows now.
void SqliteStatsStore::CheckWritable() {
    try {
        UseWriteAheadLog(db_);
        Execute(db_, "BEGIN IMMEDIATE");
        Execute(db_,
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
            db_,
            "CREATE TABLE IF NOT EXISTS hands (id INTEGER PRIMARY KEY AUTOINCREMENT, log TEXT NOT "
            "NULL)");
        Execute(db_, "PRAGMA user_version = 1");
        Execute(db_, "COMMIT");
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

UserStats SqliteStatsStore::LoadWithoutWaiting(const std::string& name) {
    sqlite3_busy_timeout(db_, 0);
    struct RestoreWait {
        sqlite3* db;
        ~RestoreWait() { sqlite3_busy_timeout(db, static_cast<int>(kNewUserLockWait.count())); }
    } restore{db_};
    return Load(name);
}

std::map<std::string, UserStats> SqliteStatsStore::Record(std::span<const StatsChange> changes) {
    return Record(changes, std::string(), 0);
}

std::map<std::string, UserStats> SqliteStatsStore::Record(std::span<const StatsChange> changes,
                                                          const std::string& handLog, int table) {
    std::map<std::string, UserStats> out;
    for (const auto& change : changes) {
        UserStats& stats = users_[change.name];
        ApplyChange(stats, change);
        out[change.name] = stats;
    }
    {
        const std::lock_guard lock(mutex_);
        queue_.push_back({{changes.begin(), changes.end()}, handLog, table});
        ++fresh_;
    }
    wake_.notify_one();
    return out;
}

namespace {

// One hand's changes, added to what the database holds (another program may
// have changed a user since it was read).
void WriteHand(sqlite3* db, const std::vector<StatsChange>& changes, const std::string& log) {
    if (!log.empty()) {
        Statement insert(db, "INSERT INTO hands (log) VALUES (?)");
        insert.Bind(1, log);
        Step(db, insert);
    }
    for (const auto& change : changes) {
        Statement add(db, "INSERT OR IGNORE INTO users (name) VALUES (?)");
        add.Bind(1, change.name);
        Step(db, add);
        Statement update(db,
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
        Step(db, update);
    }
}

}  // namespace

// Every queued hand in one transaction; the fault, or empty.
std::string SqliteStatsStore::WriteBatch(const std::deque<QueuedHand>& batch,
                                         std::chrono::milliseconds lockWait) {
    sqlite3_busy_timeout(writerDb_, static_cast<int>(lockWait.count()));
    try {
        Execute(writerDb_, "BEGIN IMMEDIATE");
        for (const auto& hand : batch) WriteHand(writerDb_, hand.changes, hand.log);
        Execute(writerDb_, "COMMIT");
        return {};
    } catch (const std::exception& error) {
        sqlite3_exec(writerDb_, "ROLLBACK", nullptr, nullptr, nullptr);
        return error.what();
    }
}

// Takes the queue with `lock` held, writes it without, and puts back what
// the database refused, in order, before the hands queued meanwhile.
void SqliteStatsStore::TryQueued(std::unique_lock<std::mutex>& lock,
                                 std::chrono::milliseconds lockWait) {
    retryAsked_ = false;
    fresh_ = 0;
    std::deque<QueuedHand> batch;
    batch.swap(queue_);
    inFlight_ = batch.size();
    trying_ = true;
    lock.unlock();
    StoreReport report;
    report.fault = batch.empty() ? std::string() : WriteBatch(batch, lockWait);
    for (auto& hand : batch) {
        if (report.fault.empty() && hand.tried) ++report.waited;
        if (!report.fault.empty() && !hand.tried &&
            std::find(report.refusedTables.begin(), report.refusedTables.end(), hand.table) ==
                report.refusedTables.end())
            report.refusedTables.push_back(hand.table);
        hand.tried = true;
    }
    lock.lock();
    if (!report.fault.empty())
        queue_.insert(queue_.begin(), std::make_move_iterator(batch.begin()),
                      std::make_move_iterator(batch.end()));
    report.waiting = queue_.size();
    inFlight_ = 0;
    trying_ = false;
    fault_ = report.fault;
    if (scheduler_ && !batch.empty())
        scheduler_->PostFromThread([reports = std::weak_ptr<Reports>(reports_), report] {
            if (const auto deliver = reports.lock()) (*deliver)(report);
        });
    settled_.notify_all();
}

void SqliteStatsStore::RunWriter() {
    std::unique_lock lock(mutex_);
    while (true) {
        wake_.wait(lock, [this] { return stopping_ || fresh_ > 0 || retryAsked_; });
        if (stopping_) return;
        TryQueued(lock, kWriterLockWait);
    }
}

void SqliteStatsStore::StartWriter() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = false;
    }
    writer_ = std::thread([this] { RunWriter(); });
}

void SqliteStatsStore::StopWriter() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    settled_.notify_all();
    if (writer_.joinable()) writer_.join();
}

std::string SqliteStatsStore::Flush(std::chrono::milliseconds lockWait) {
    StopWriter();
    std::string fault;
    {
        std::unique_lock lock(mutex_);
        if (!queue_.empty()) TryQueued(lock, lockWait);
        fault = fault_;
    }
    StartWriter();
    return fault;
}

std::size_t SqliteStatsStore::Waiting() const {
    const std::lock_guard lock(mutex_);
    return queue_.size() + inFlight_;
}

std::string SqliteStatsStore::Fault() const {
    const std::lock_guard lock(mutex_);
    return fault_;
}

void SqliteStatsStore::Attach(Scheduler& scheduler, Reports reports) {
    const std::lock_guard lock(mutex_);
    scheduler_ = &scheduler;
    reports_ = std::make_shared<Reports>(std::move(reports));
}

void SqliteStatsStore::Detach() {
    const std::lock_guard lock(mutex_);
    scheduler_ = nullptr;
    reports_.reset();
}

void SqliteStatsStore::Retry() {
    {
        const std::lock_guard lock(mutex_);
        if (queue_.empty()) return;
        retryAsked_ = true;
    }
    wake_.notify_one();
}

void SqliteStatsStore::Settle() {
    WaitUntilTried();
}

void SqliteStatsStore::WaitUntilTried() const {
    std::unique_lock lock(mutex_);
    settled_.wait(lock, [this] { return stopping_ || (fresh_ == 0 && !retryAsked_ && !trying_); });
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
    WaitUntilTried();
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
