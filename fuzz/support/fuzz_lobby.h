// The room server as both server fuzzers set it up: a lobby on the
// virtual-time scheduler, computer players that think at once and discard at
// random (the full search costs a thousand times a random discard; the
// fuzzers are after the lobby and the tables, not the players' choices).
#pragma once

#include <memory>

#include "server/core/room.h"
#include "server/core/scheduler.h"
#include "server/core/stats_store.h"

namespace qira::fuzz {

class FuzzLobby {
public:
    FuzzLobby() : lobby_(std::make_unique<server::Lobby>(scheduler_, stats_, Config())) {}

    server::Lobby& operator*() { return *lobby_; }
    server::Lobby* operator->() { return lobby_.get(); }

    // Lets time pass for at most `steps` tasks or timers.
    void Run(int steps) {
        for (int step = 0; step < steps && scheduler_.Step(); ++step) {
        }
    }

private:
    static server::ServerConfig Config() {
        server::ServerConfig config;
        config.log = false;
        config.botThink = server::Milliseconds{0};
        config.botStyle = server::BotStyle::RandomDiscard;
        return config;
    }

    server::ManualScheduler scheduler_;
    server::MemoryStatsStore stats_;
    std::unique_ptr<server::Lobby> lobby_;  // last, so it goes before what it uses
};

}  // namespace qira::fuzz
