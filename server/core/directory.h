#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "server/core/scheduler.h"

namespace qira::server {

// A seated human as the directory knows it; the secret is stored only as
// its SHA-256.
struct DirectorySeat {
    std::string name;
    int table = 0;
    int chair = 0;
    std::string secret;
    bool operator==(const DirectorySeat&) const = default;
};

// What one server tells the others about itself.
struct Presence {
    int load = 0;        // humans served
    int openChairs = 0;  // free chairs at fresh tables that have a human
    std::vector<DirectorySeat> seats;
    bool operator==(const Presence&) const = default;
};

// The directory of servers and seated players that several servers sharing
// one PostgreSQL database keep: each publishes its presence (written at once
// and every second, so that liveness expires `kExpiry` after its last word),
// and any of them routes a player to the server to join. A thread of its own
// with a connection of its own does the talking; answers come back on the
// loop through the scheduler.
class Directory {
public:
    static constexpr std::chrono::seconds kExpiry{5};

    // `address`: HOST:PORT by which players reach this server. Throws
    // std::runtime_error when the database cannot be reached.
    Directory(const std::string& target, std::string address, Scheduler& scheduler);
    // Takes this server out of the directory.
    ~Directory();
    Directory(const Directory&) = delete;
    Directory& operator=(const Directory&) = delete;

    void Publish(Presence presence);
    // The server for `name`: the one holding the player's chair when
    // `secret` matches, else one with a fresh table with a human and a free
    // chair, else the least loaded; empty when no server is alive. `done`
    // runs on the loop.
    void Route(std::string name, std::string secret, std::function<void(std::string)> done);

private:
    struct Ask {
        std::string name;
        std::string secret;
        std::function<void(std::string)> done;
    };
    class Connection;
    void Run();
    void WritePresence(const Presence& presence);
    std::string Answer(const Ask& ask);

    std::string address_;
    Scheduler& scheduler_;
    std::unique_ptr<Connection> connection_;  // the thread's alone
    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<Presence> fresh_;  // not yet written
    Presence last_;                  // written last; written again as the heartbeat
    std::deque<Ask> asks_;
    bool stopping_ = false;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    std::thread thread_;
};

}  // namespace qira::server
