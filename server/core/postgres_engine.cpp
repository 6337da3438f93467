// The statistics in PostgreSQL, shared by every server that names the same
// database: numbers change only by relative updates, so hands that several
// servers record for one user at once all count.
#include <libpq-fe.h>

#include <algorithm>
#include <memory>
#include <stdexcept>

#include "server/core/json_check.h"
#include "server/core/stats_engine.h"

namespace qira::server {
namespace {

using Result = std::unique_ptr<PGresult, void (*)(PGresult*)>;

// Each step takes the schema from the version before it to its own number,
// kept in schema_version; a database of a newer program is refused.
constexpr const char* kMigrations[] = {
    // 1: users and the hand log.
    "CREATE TABLE users ("
    " id BIGSERIAL PRIMARY KEY,"
    " name TEXT NOT NULL UNIQUE,"
    " points BIGINT NOT NULL DEFAULT 1000,"
    " experience BIGINT NOT NULL DEFAULT 0,"
    " hands BIGINT NOT NULL DEFAULT 0,"
    " wins BIGINT NOT NULL DEFAULT 0,"
    " losses BIGINT NOT NULL DEFAULT 0,"
    " draws BIGINT NOT NULL DEFAULT 0,"
    " escapes BIGINT NOT NULL DEFAULT 0);"
    "CREATE TABLE hands (id BIGSERIAL PRIMARY KEY, log TEXT NOT NULL);",
    // 2: the directory of servers and seated players (server/core/directory.h).
    "CREATE TABLE servers ("
    " address TEXT PRIMARY KEY,"
    " load INTEGER NOT NULL,"
    " open_chairs INTEGER NOT NULL,"
    " seen TIMESTAMPTZ NOT NULL);"
    "CREATE TABLE seats ("
    " name TEXT PRIMARY KEY,"
    " server TEXT NOT NULL,"
    " table_number INTEGER NOT NULL,"
    " chair INTEGER NOT NULL,"
    " secret_hash TEXT NOT NULL);"
    "CREATE INDEX seats_by_server ON seats (server);",
};
constexpr int kSchemaVersion = static_cast<int>(std::size(kMigrations));
// Servers starting together on a new database migrate one after another.
constexpr const char* kMigrationLock = "SELECT pg_advisory_xact_lock(7310532)";

constexpr const char* kStatsColumns = "id, points, experience, hands, wins, losses, draws, escapes";

class PostgresEngine final : public StatsEngine {
public:
    // `migrate`: bring the schema up to date (the server); else the
    // connection only reads (a reader of the records).
    PostgresEngine(const std::string& target, bool migrate);
    PostgresEngine(const PostgresEngine&) = delete;
    PostgresEngine& operator=(const PostgresEngine&) = delete;

    // Other servers change the numbers: they are read fresh on every join.
    std::optional<std::map<std::string, UserStats>> AllUsers() override { return std::nullopt; }
    UserStats LoadUser(const std::string& name, std::chrono::milliseconds lockWait) override;
    std::map<std::string, UserStats> WriteHands(std::span<const HandRows> hands,
                                                std::chrono::milliseconds lockWait) override;
    void ReadHands(std::optional<std::int64_t> id, const std::function<void(std::string)>& line,
                   const std::function<void(const std::string&)>& fault) override;
    // For a reader of the records: the hands numbered above `after`, oldest
    // first, each as its id and its log.
    std::vector<std::pair<std::int64_t, std::string>> HandsAfter(std::int64_t after);
    std::optional<std::string> HandLog(std::int64_t id);
    std::vector<std::pair<std::string, std::int64_t>> Points();

private:
    std::string Fault(const std::string& what) const;
    void Reconnect();
    Result Run(const char* sql, const std::vector<std::string>& values = {});
    // Several statements without parameters (a migration step).
    void RunScript(const char* sql);
    void Migrate();
    UserStats Select(const std::string& name);

    std::unique_ptr<PGconn, void (*)(PGconn*)> owner_;
    PGconn* conn_;
};

PostgresEngine::PostgresEngine(const std::string& target, bool migrate)
    : owner_(PQconnectdb(target.c_str()), PQfinish), conn_(owner_.get()) {
    if (!conn_) throw std::runtime_error("cannot connect to PostgreSQL: out of memory");
    if (PQstatus(conn_) != CONNECTION_OK)
        throw std::runtime_error(Fault("cannot connect to the PostgreSQL statistics database"));
    Run("SET client_min_messages = warning");
    if (migrate)
        Migrate();
    else
        Run("SET default_transaction_read_only = on");
}

// libpq's message names the host and database; the password never shows.
std::string PostgresEngine::Fault(const std::string& what) const {
    std::string reason = PQerrorMessage(conn_);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == ' ')) reason.pop_back();
    std::replace(reason.begin(), reason.end(), '\n', ' ');
    return what + ": " + reason;
}

// A connection the server closed (restarted, failed over) is opened again
// before the next try; the hands wait in the store meanwhile.
void PostgresEngine::Reconnect() {
    if (PQstatus(conn_) == CONNECTION_OK) return;
    PQreset(conn_);
    if (PQstatus(conn_) != CONNECTION_OK)
        throw std::runtime_error(Fault("PostgreSQL statistics database unreachable"));
}

Result PostgresEngine::Run(const char* sql, const std::vector<std::string>& values) {
    std::vector<const char*> pointers;
    for (const auto& value : values) pointers.push_back(value.c_str());
    Result result(PQexecParams(conn_, sql, static_cast<int>(pointers.size()), nullptr,
                               pointers.data(), nullptr, nullptr, 0),
                  PQclear);
    const auto status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        throw std::runtime_error(Fault("PostgreSQL statistics database"));
    return result;
}

void PostgresEngine::RunScript(const char* sql) {
    const Result result(PQexec(conn_, sql), PQclear);
    if (!result || PQresultStatus(result.get()) != PGRES_COMMAND_OK)
        throw std::runtime_error(Fault("PostgreSQL statistics database"));
}

void PostgresEngine::Migrate() {
    try {
        Run("BEGIN");
        Run(kMigrationLock);
        Run("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)");
        const Result current = Run("SELECT coalesce(max(version), 0) FROM schema_version");
        const int version = std::stoi(PQgetvalue(current.get(), 0, 0));
        if (version > kSchemaVersion)
            throw std::runtime_error("PostgreSQL statistics database has schema version " +
                                     std::to_string(version) + "; this qira-server knows up to " +
                                     std::to_string(kSchemaVersion) + ": use a newer one");
        for (int step = version; step < kSchemaVersion; ++step) RunScript(kMigrations[step]);
        Run("DELETE FROM schema_version");
        Run("INSERT INTO schema_version VALUES ($1)", {std::to_string(kSchemaVersion)});
        Run("COMMIT");
    } catch (...) {
        PQclear(PQexec(conn_, "ROLLBACK"));
        throw;
    }
}

void ReadStats(const PGresult* result, int row, UserStats& stats) {
    const auto fields = StatsFields(stats);
    for (int i = 0; i < 8; ++i) *fields[i] = std::stoll(PQgetvalue(result, row, i));
}

UserStats PostgresEngine::Select(const std::string& name) {
    const Result result = Run(
        (std::string("SELECT ") + kStatsColumns + " FROM users WHERE name = $1").c_str(), {name});
    if (PQntuples(result.get()) != 1) throw std::runtime_error("user " + name + " vanished");
    UserStats stats;
    ReadStats(result.get(), 0, stats);
    return stats;
}

UserStats PostgresEngine::LoadUser(const std::string& name, std::chrono::milliseconds) {
    try {
        Reconnect();
        Run("INSERT INTO users (name) VALUES ($1) ON CONFLICT (name) DO NOTHING", {name});
        return Select(name);
    } catch (const std::exception& error) {
        throw std::runtime_error("cannot add " + name + ": " + error.what());
    }
}

// What a batch changes for one user, summed: one update per user, in the
// order of the names, so two servers never wait for each other's rows in a
// circle.
struct Sum {
    std::int64_t points = 0, experience = 0, hands = 0, wins = 0, losses = 0, draws = 0,
                 escapes = 0;
    void Add(const StatsChange& change) {
        points += change.points;
        experience += change.experience;
        ++hands;
        wins += change.result == HandResult::Win;
        losses += change.result == HandResult::Loss;
        draws += change.result == HandResult::Draw;
        escapes += change.escaped;
    }
};

std::map<std::string, UserStats> PostgresEngine::WriteHands(std::span<const HandRows> hands,
                                                            std::chrono::milliseconds) {
    Reconnect();
    std::map<std::string, Sum> sums;
    for (const auto& hand : hands)
        for (const auto& change : hand.changes) sums[change.name].Add(change);
    try {
        Run("BEGIN");
        for (const auto& hand : hands)
            if (!hand.log.empty()) Run("INSERT INTO hands (log) VALUES ($1)", {hand.log});
        std::map<std::string, UserStats> after;
        for (const auto& [name, sum] : sums) {
            Run("INSERT INTO users (name) VALUES ($1) ON CONFLICT (name) DO NOTHING", {name});
            const Result result = Run(
                (std::string("UPDATE users SET points = points + $1, experience = experience + $2,"
                             " hands = hands + $3, wins = wins + $4, losses = losses + $5,"
                             " draws = draws + $6, escapes = escapes + $7 WHERE name = $8"
                             " RETURNING ") +
                 kStatsColumns)
                    .c_str(),
                {std::to_string(sum.points), std::to_string(sum.experience),
                 std::to_string(sum.hands), std::to_string(sum.wins), std::to_string(sum.losses),
                 std::to_string(sum.draws), std::to_string(sum.escapes), name});
            ReadStats(result.get(), 0, after[name]);
        }
        Run("COMMIT");
        return after;
    } catch (...) {
        PQclear(PQexec(conn_, "ROLLBACK"));
        throw;
    }
}

void PostgresEngine::ReadHands(std::optional<std::int64_t> id,
                               const std::function<void(std::string)>& line,
                               const std::function<void(const std::string&)>& fault) {
    Reconnect();
    const Result result = id ? Run("SELECT id, log FROM hands WHERE id = $1", {std::to_string(*id)})
                             : Run("SELECT id, log FROM hands ORDER BY id");
    for (int row = 0; row < PQntuples(result.get()); ++row) {
        const std::string number = PQgetvalue(result.get(), row, 0);
        const std::string log = PQgetvalue(result.get(), row, 1);
        if (!IsJsonObject(log)) {
            fault("hand " + number + " is not a valid JSON object");
            continue;
        }
        line(WithHandId(std::stoll(number), log));
    }
}

std::vector<std::pair<std::int64_t, std::string>> PostgresEngine::HandsAfter(std::int64_t after) {
    Reconnect();
    const Result result =
        Run("SELECT id, log FROM hands WHERE id > $1 ORDER BY id", {std::to_string(after)});
    std::vector<std::pair<std::int64_t, std::string>> hands;
    for (int row = 0; row < PQntuples(result.get()); ++row)
        hands.emplace_back(std::stoll(PQgetvalue(result.get(), row, 0)),
                           PQgetvalue(result.get(), row, 1));
    return hands;
}

std::optional<std::string> PostgresEngine::HandLog(std::int64_t id) {
    Reconnect();
    const Result result = Run("SELECT log FROM hands WHERE id = $1", {std::to_string(id)});
    if (PQntuples(result.get()) == 0) return std::nullopt;
    return PQgetvalue(result.get(), 0, 0);
}

std::vector<std::pair<std::string, std::int64_t>> PostgresEngine::Points() {
    Reconnect();
    const Result result = Run("SELECT name, points FROM users");
    std::vector<std::pair<std::string, std::int64_t>> points;
    for (int row = 0; row < PQntuples(result.get()); ++row)
        points.emplace_back(PQgetvalue(result.get(), row, 0),
                            std::stoll(PQgetvalue(result.get(), row, 1)));
    return points;
}

class PostgresRecords final : public RecordReader {
public:
    explicit PostgresRecords(const std::string& target) : engine_(target, false) {}
    std::vector<std::pair<std::int64_t, std::string>> HandsAfter(std::int64_t after) override {
        return engine_.HandsAfter(after);
    }
    std::optional<std::string> HandLog(std::int64_t id) override { return engine_.HandLog(id); }
    std::vector<std::pair<std::string, std::int64_t>> Points() override { return engine_.Points(); }

private:
    PostgresEngine engine_;
};

}  // namespace

std::unique_ptr<StatsEngine> OpenPostgresEngine(const std::string& target) {
    return std::make_unique<PostgresEngine>(target, true);
}

std::unique_ptr<RecordReader> OpenPostgresRecords(const std::string& target) {
    return std::make_unique<PostgresRecords>(target);
}

}  // namespace qira::server
