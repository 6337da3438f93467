#include "server/core/directory.h"

#include <libpq-fe.h>

#include <stdexcept>

namespace qira::server {
namespace {

constexpr auto kHeartbeat = std::chrono::seconds(1);
constexpr const char* kSecretHash = "encode(sha256(convert_to($%d, 'UTF8')), 'hex')";

std::string Hash(int parameter) {
    char text[64];
    std::snprintf(text, sizeof text, kSecretHash, parameter);
    return text;
}

}  // namespace

// One libpq connection, opened again when it broke.
class Directory::Connection {
public:
    explicit Connection(const std::string& target) : conn_(PQconnectdb(target.c_str()), PQfinish) {
        if (!conn_ || PQstatus(conn_.get()) != CONNECTION_OK)
            throw std::runtime_error("the directory cannot reach PostgreSQL: " + Error());
    }
    // The first column of the first row, or empty; throws on an error.
    std::string Run(const std::string& sql, const std::vector<std::string>& values = {}) {
        if (PQstatus(conn_.get()) != CONNECTION_OK) PQreset(conn_.get());
        std::vector<const char*> pointers;
        for (const auto& value : values) pointers.push_back(value.c_str());
        const std::unique_ptr<PGresult, void (*)(PGresult*)> result(
            PQexecParams(conn_.get(), sql.c_str(), static_cast<int>(pointers.size()), nullptr,
                         pointers.data(), nullptr, nullptr, 0),
            PQclear);
        const auto status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
            throw std::runtime_error(Error());
        if (status != PGRES_TUPLES_OK || PQntuples(result.get()) == 0) return {};
        return PQgetvalue(result.get(), 0, 0);
    }
    void Rollback() { PQclear(PQexec(conn_.get(), "ROLLBACK")); }

private:
    std::string Error() const { return conn_ ? PQerrorMessage(conn_.get()) : "out of memory"; }
    std::unique_ptr<PGconn, void (*)(PGconn*)> conn_;
};

Directory::Directory(const std::string& target, std::string address, Scheduler& scheduler)
    : address_(std::move(address)),
      scheduler_(scheduler),
      connection_(std::make_unique<Connection>(target)) {
    WritePresence(last_);
    thread_ = std::thread([this] { Run(); });
}

Directory::~Directory() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
    try {
        connection_->Run("DELETE FROM seats WHERE server = $1", {address_});
        connection_->Run("DELETE FROM servers WHERE address = $1", {address_});
    } catch (const std::exception&) {
        // Expires on its own.
    }
}

void Directory::Publish(Presence presence) {
    {
        const std::lock_guard lock(mutex_);
        fresh_ = std::move(presence);
    }
    wake_.notify_one();
}

void Directory::Route(std::string name, std::string secret, std::function<void(std::string)> done) {
    {
        const std::lock_guard lock(mutex_);
        asks_.push_back({std::move(name), std::move(secret), std::move(done)});
    }
    wake_.notify_one();
}

void Directory::Run() {
    std::unique_lock lock(mutex_);
    auto beat = std::chrono::steady_clock::now() + kHeartbeat;
    while (!stopping_) {
        wake_.wait_until(lock, beat, [this] { return stopping_ || fresh_ || !asks_.empty(); });
        if (stopping_) return;
        if (fresh_ || std::chrono::steady_clock::now() >= beat) {
            if (fresh_) last_ = std::move(*fresh_);
            fresh_.reset();
            const Presence presence = last_;
            lock.unlock();
            WritePresence(presence);
            lock.lock();
            beat = std::chrono::steady_clock::now() + kHeartbeat;
        }
        while (!asks_.empty()) {
            Ask ask = std::move(asks_.front());
            asks_.pop_front();
            lock.unlock();
            const std::string answer = Answer(ask);
            scheduler_.PostFromThread(
                [alive = std::weak_ptr<int>(alive_), done = std::move(ask.done), answer] {
                    if (!alive.expired()) done(answer);
                });
            lock.lock();
        }
    }
}

// The server's row and its seats, in one transaction; a failure is tried
// again with the next heartbeat.
void Directory::WritePresence(const Presence& presence) {
    try {
        connection_->Run("BEGIN");
        connection_->Run(
            "INSERT INTO servers (address, load, open_chairs, seen) VALUES ($1, $2, $3, now())"
            " ON CONFLICT (address) DO UPDATE SET load = $2, open_chairs = $3, seen = now()",
            {address_, std::to_string(presence.load), std::to_string(presence.openChairs)});
        connection_->Run("DELETE FROM seats WHERE server = $1", {address_});
        for (const auto& seat : presence.seats)
            connection_->Run(
                "INSERT INTO seats (name, server, table_number, chair, secret_hash)"
                " VALUES ($1, $2, $3, $4, " +
                    Hash(5) +
                    ")"
                    " ON CONFLICT (name) DO UPDATE SET server = $2, table_number = $3, chair = $4,"
                    " secret_hash = " +
                    Hash(5),
                {seat.name, address_, std::to_string(seat.table), std::to_string(seat.chair),
                 seat.secret});
        connection_->Run("COMMIT");
    } catch (const std::exception&) {
        connection_->Rollback();
    }
}

std::string Directory::Answer(const Ask& ask) {
    const std::string alive =
        "v.seen > now() - interval '" + std::to_string(kExpiry.count()) + " seconds'";
    try {
        if (!ask.secret.empty()) {
            const std::string home = connection_->Run(
                "SELECT v.address FROM seats s JOIN servers v ON v.address = s.server"
                " WHERE s.name = $1 AND s.secret_hash = " +
                    Hash(2) + " AND " + alive,
                {ask.name, ask.secret});
            if (!home.empty()) return home;
        }
        const std::string open =
            connection_->Run("SELECT address FROM servers v WHERE open_chairs > 0 AND " + alive +
                             " ORDER BY open_chairs, load, address LIMIT 1");
        if (!open.empty()) return open;
        return connection_->Run("SELECT address FROM servers v WHERE " + alive +
                                " ORDER BY load, address LIMIT 1");
    } catch (const std::exception&) {
        return {};
    }
}

}  // namespace qira::server
