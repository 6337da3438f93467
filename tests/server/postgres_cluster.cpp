#include "postgres_cluster.h"

#include <libpq-fe.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

namespace qira::server::testing {
namespace {

// The newest installed version's programs, or empty.
std::string ProgramFolder() {
    std::string best;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/usr/lib/postgresql", error)) {
        const auto bin = entry.path() / "bin";
        if (std::filesystem::exists(bin / "initdb") && std::filesystem::exists(bin / "pg_ctl") &&
            bin.string() > best)
            best = bin.string();
    }
    return best;
}

std::string Quoted(const std::string& text) {
    return "'" + text + "'";
}

}  // namespace

bool PostgresCluster::Installed() {
    return !ProgramFolder().empty();
}

PostgresCluster::PostgresCluster() : bin_(ProgramFolder()) {
    if (bin_.empty()) {
        problem_ =
            "PostgreSQL is not installed (no initdb under /usr/lib/postgresql/*/bin; "
            "./scripts/setup installs it)";
        return;
    }
    // /tmp, not $TMPDIR: the postgres user must reach the folder.
    char pattern[] = "/tmp/qira-pg-XXXXXX";
    if (!mkdtemp(pattern)) {
        problem_ = "cannot create a folder under /tmp";
        return;
    }
    dir_ = pattern;
    if (getuid() == 0) {
        const passwd* user = getpwnam("postgres");
        if (!user || chown(dir_.c_str(), user->pw_uid, user->pw_gid) != 0) {
            problem_ = "running as root, and there is no postgres user to run PostgreSQL as";
            return;
        }
    }
    if (!Run("initdb", "-D " + Quoted(dir_ + "/data") + " -A trust -U qira -E UTF8 --no-sync") ||
        !Start())
        problem_ =
            "the throwaway PostgreSQL cluster in " + dir_ + " did not start; see " + dir_ + "/log";
}

PostgresCluster::~PostgresCluster() {
    if (dir_.empty()) return;
    Run("pg_ctl", "-D " + Quoted(dir_ + "/data") + " -m immediate -w stop");
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

bool PostgresCluster::Run(const std::string& program, const std::string& arguments) {
    const std::string command = bin_ + "/" + program + " " + arguments;
    const std::string asUser = getuid() == 0 ? "runuser -u postgres -- " : "";
    return std::system((asUser + command + " >>" + Quoted(dir_ + "/log") + " 2>&1").c_str()) == 0;
}

bool PostgresCluster::Start() {
    // No TCP at all: the socket in the folder is the only way in.
    return Run("pg_ctl", "-D " + Quoted(dir_ + "/data") + " -l " + Quoted(dir_ + "/server.log") +
                             " -o \"-k " + dir_ +
                             " -c listen_addresses='' -c fsync=off\" -w start");
}

bool PostgresCluster::Stop() {
    return Run("pg_ctl", "-D " + Quoted(dir_ + "/data") + " -m fast -w stop");
}

std::string PostgresCluster::Target(const std::string& name) const {
    return "host=" + dir_ + " user=qira dbname=" + name;
}

std::string PostgresCluster::NewDatabase() {
    const std::string name = "qira" + std::to_string(++databases_);
    const std::unique_ptr<PGconn, void (*)(PGconn*)> conn(PQconnectdb(Target("postgres").c_str()),
                                                          PQfinish);
    PQclear(PQexec(conn.get(), ("CREATE DATABASE " + name).c_str()));
    return Target(name);
}

}  // namespace qira::server::testing
