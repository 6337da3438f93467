#pragma once

#include <string>

namespace qira::server::testing {

// A throwaway PostgreSQL cluster for one test program: initdb and pg_ctl of
// the Debian package in a folder of its own under /tmp, reached only through
// a Unix socket in that folder, stopped and removed at the end. PostgreSQL
// refuses to run as root, so as root the cluster runs as the `postgres` user.
class PostgresCluster {
public:
    PostgresCluster();
    ~PostgresCluster();
    PostgresCluster(const PostgresCluster&) = delete;
    PostgresCluster& operator=(const PostgresCluster&) = delete;

    // Empty when the cluster runs, else why not (for GTEST_SKIP or a failure).
    const std::string& Problem() const { return problem_; }
    // Whether the PostgreSQL programs are installed at all.
    static bool Installed();
    // A new empty database; its libpq connection string.
    std::string NewDatabase();
    // The connection string of the database `name`.
    std::string Target(const std::string& name) const;
    // Stops and starts the server (the databases stay).
    bool Stop();
    bool Start();

private:
    bool Run(const std::string& program, const std::string& arguments);

    std::string bin_;
    std::string dir_;
    std::string problem_;
    int databases_ = 0;
};

}  // namespace qira::server::testing
