#include "server/core/stats_store.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <future>
#include <iterator>
#include <memory>
#include <optional>
#include <ostream>
#include <stdexcept>

#include "server/core/json_check.h"
#include "server/core/stats_engine.h"

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

void StatsStore::LoadThen(const std::string& name, Loaded done) {
    std::optional<UserStats> stats;
    std::string fault;
    try {
        stats = Load(name);
    } catch (const std::exception& error) {
        fault = error.what();
    }
    done(stats, fault);
}

namespace {

// The writer waits this long for another process's lock before it counts
// the try as refused; nobody waits for the writer.
constexpr std::chrono::milliseconds kWriterLockWait{1'000};

}  // namespace

DatabaseStatsStore::DatabaseStatsStore(std::unique_ptr<StatsEngine> engine)
    : engine_(std::move(engine)), users_(engine_->AllUsers()) {
    StartWriter();
}

DatabaseStatsStore::~DatabaseStatsStore() {
    StopWriter();
    std::unique_lock lock(mutex_);
    scheduler_ = nullptr;
    if (!queue_.empty()) TryQueued(lock, std::chrono::milliseconds{0});
}

void DatabaseStatsStore::Remember(const std::string& name, const UserStats& stats) {
    if (users_) (*users_)[name] = stats;
}

UserStats DatabaseStatsStore::Load(const std::string& name) {
    std::promise<std::pair<std::optional<UserStats>, std::string>> answer;
    auto future = answer.get_future();
    {
        std::unique_lock lock(mutex_);
        if (users_)
            if (const auto found = users_->find(name); found != users_->end()) return found->second;
        newUsers_.push_back({name, [&](std::optional<UserStats> stats, const std::string& fault) {
                                 answer.set_value({stats, fault});
                             }});
    }
    wake_.notify_one();
    const auto [stats, fault] = future.get();
    if (!stats) throw std::runtime_error(fault);
    return *stats;
}

void DatabaseStatsStore::LoadThen(const std::string& name, Loaded done) {
    std::optional<UserStats> known;
    {
        const std::lock_guard lock(mutex_);
        if (users_)
            if (const auto found = users_->find(name); found != users_->end())
                known = found->second;
        if (!known) newUsers_.push_back({name, std::move(done), scheduler_ != nullptr});
    }
    if (known) return done(known, {});
    wake_.notify_one();
}

std::map<std::string, UserStats> DatabaseStatsStore::Record(std::span<const StatsChange> changes) {
    return Record(changes, std::string(), 0);
}

std::map<std::string, UserStats> DatabaseStatsStore::Record(std::span<const StatsChange> changes,
                                                            const std::string& handLog, int table) {
    std::map<std::string, UserStats> out;
    {
        const std::lock_guard lock(mutex_);
        for (const auto& change : changes) {
            UserStats stats = users_ ? (*users_)[change.name] : UserStats{};
            ApplyChange(stats, change);
            Remember(change.name, stats);
            out[change.name] = stats;
        }
    }
    RecordThen({changes.begin(), changes.end()}, handLog, table, {});
    return out;
}

void DatabaseStatsStore::RecordThen(std::vector<StatsChange> changes, std::string handLog,
                                    int table, Recorded done) {
    {
        const std::lock_guard lock(mutex_);
        queue_.push_back({{std::move(changes), std::move(handLog)},
                          table,
                          false,
                          std::move(done),
                          scheduler_ != nullptr});
        ++fresh_;
    }
    wake_.notify_one();
}

// Runs `answer` on the loop when it was asked from there (dropped once the
// loop detached), else here.
void DatabaseStatsStore::Answer(bool viaLoop, std::function<void()> answer) {
    if (!viaLoop) return answer();
    if (scheduler_) scheduler_->PostFromThread(std::move(answer));
}

// Adds the users asked for, one at a time, with `lock` released meanwhile.
void DatabaseStatsStore::LoadQueued(std::unique_lock<std::mutex>& lock) {
    while (!newUsers_.empty()) {
        QueuedUser user = std::move(newUsers_.front());
        newUsers_.pop_front();
        // Asks for the same name (a computer player seated again) share one answer.
        std::vector<QueuedUser> same;
        for (auto it = newUsers_.begin(); it != newUsers_.end();)
            if (it->name == user.name) {
                same.push_back(std::move(*it));
                it = newUsers_.erase(it);
            } else {
                ++it;
            }
        trying_ = true;
        lock.unlock();
        std::optional<UserStats> stats;
        std::string fault;
        try {
            const std::lock_guard engine(engineMutex_);
            stats = engine_->LoadUser(user.name, kWriterLockWait);
        } catch (const std::exception& error) {
            fault = error.what();
        }
        lock.lock();
        trying_ = false;
        if (stats) Remember(user.name, *stats);
        same.push_back(std::move(user));
        for (auto& asked : same)
            if (asked.done)
                Answer(asked.viaLoop,
                       [done = std::move(asked.done), stats, fault] { done(stats, fault); });
        // Hands finished meanwhile go before the next new user.
        if (fresh_ > 0) return;
    }
}

// Every queued hand in one transaction; the fault, or empty. Answers each
// hand's `done` with the numbers the database holds afterwards.
std::string DatabaseStatsStore::WriteBatch(std::deque<QueuedHand>& batch,
                                           std::chrono::milliseconds lockWait) {
    std::vector<HandRows> rows;
    rows.reserve(batch.size());
    for (const auto& hand : batch) rows.push_back(hand.rows);
    std::map<std::string, UserStats> after;
    try {
        const std::lock_guard engine(engineMutex_);
        after = engine_->WriteHands(rows, lockWait);
    } catch (const std::exception& error) {
        return error.what();
    }
    const std::lock_guard lock(mutex_);
    for (const auto& [name, stats] : after) Remember(name, stats);
    for (auto& hand : batch) {
        if (!hand.done) continue;
        std::map<std::string, UserStats> mine;
        for (const auto& change : hand.rows.changes) mine[change.name] = after[change.name];
        Answer(hand.viaLoop, [done = std::move(hand.done), mine] { done(mine); });
    }
    return {};
}

// Takes the queue with `lock` held, writes it without, and puts back what
// the database refused, in order, before the hands queued meanwhile.
void DatabaseStatsStore::TryQueued(std::unique_lock<std::mutex>& lock,
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

void DatabaseStatsStore::RunWriter() {
    std::unique_lock lock(mutex_);
    while (true) {
        wake_.wait(lock,
                   [this] { return stopping_ || fresh_ > 0 || retryAsked_ || !newUsers_.empty(); });
        if (stopping_) return;
        // Finished hands first: their tables wait, and a lock that makes
        // each new user wait must not hold them up.
        if (fresh_ > 0 || retryAsked_) TryQueued(lock, kWriterLockWait);
        if (stopping_) return;
        LoadQueued(lock);
        settled_.notify_all();
    }
}

void DatabaseStatsStore::StartWriter() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = false;
    }
    writer_ = std::thread([this] { RunWriter(); });
}

void DatabaseStatsStore::StopWriter() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    settled_.notify_all();
    if (writer_.joinable()) writer_.join();
}

std::string DatabaseStatsStore::Flush(std::chrono::milliseconds lockWait) {
    StopWriter();
    std::string fault;
    {
        std::unique_lock lock(mutex_);
        LoadQueued(lock);
        if (!queue_.empty()) TryQueued(lock, lockWait);
        fault = fault_;
    }
    StartWriter();
    return fault;
}

std::size_t DatabaseStatsStore::Waiting() const {
    const std::lock_guard lock(mutex_);
    return queue_.size() + inFlight_;
}

std::string DatabaseStatsStore::Fault() const {
    const std::lock_guard lock(mutex_);
    return fault_;
}

void DatabaseStatsStore::Attach(Scheduler& scheduler, Reports reports) {
    const std::lock_guard lock(mutex_);
    scheduler_ = &scheduler;
    reports_ = std::make_shared<Reports>(std::move(reports));
}

void DatabaseStatsStore::Detach() {
    const std::lock_guard lock(mutex_);
    scheduler_ = nullptr;
    reports_.reset();
}

void DatabaseStatsStore::Retry() {
    {
        const std::lock_guard lock(mutex_);
        if (queue_.empty()) return;
        retryAsked_ = true;
    }
    wake_.notify_one();
}

void DatabaseStatsStore::Settle() {
    WaitUntilTried();
}

void DatabaseStatsStore::WaitUntilTried() const {
    std::unique_lock lock(mutex_);
    settled_.wait(lock, [this] {
        return stopping_ || (fresh_ == 0 && !retryAsked_ && !trying_ && newUsers_.empty());
    });
}

std::vector<std::string> DatabaseStatsStore::Hands(std::optional<std::int64_t> id) const {
    WaitUntilTried();
    std::vector<std::string> out;
    const std::lock_guard engine(engineMutex_);
    engine_->ReadHands(
        id, [&](std::string line) { out.push_back(std::move(line)); }, [](const std::string&) {});
    return out;
}

bool IsPostgresTarget(const std::string& target) {
    if (target.starts_with("postgresql://") || target.starts_with("postgres://")) return true;
    // A libpq connection string: "host=... dbname=...".
    const auto equals = target.find('=');
    if (equals == std::string::npos || equals == 0) return false;
    return std::all_of(
        target.begin(), target.begin() + static_cast<std::ptrdiff_t>(equals),
        [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; });
}

std::unique_ptr<StatsStore> OpenStatsStore(const std::string& target) {
    if (IsPostgresTarget(target))
        return std::make_unique<DatabaseStatsStore>(OpenPostgresEngine(target));
    return std::make_unique<SqliteStatsStore>(target);
}

bool ExportStoredHands(const std::string& target, std::optional<std::int64_t> id, std::ostream& out,
                       std::ostream& errors) {
    if (!IsPostgresTarget(target)) return ExportHands(target, id, out, errors);
    bool complete = true;
    std::size_t written = 0;
    try {
        OpenPostgresEngine(target)->ReadHands(
            id,
            [&](const std::string& line) {
                out << line << '\n';
                ++written;
            },
            [&](const std::string& fault) {
                errors << fault << '\n';
                complete = false;
            });
    } catch (const std::exception& fault) {
        errors << fault.what() << '\n';
        return false;
    }
    if (id && complete && written == 0) {
        errors << "no hand " << *id << '\n';
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
