#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include "server/core/peer.h"
#include "server/core/request_guard.h"
#include "server/core/scheduler.h"
#include "server/core/stats_store.h"

namespace qira::server {

class Table;

// Who plays a chair: a computer player, a person at a connected client, or
// the server for a person who is gone.
enum class SeatKind : std::uint8_t { Computer, Person, PlayedByServer };

// A user the lobby knows: a player in a chair or an onlooker of a player.
struct User {
    std::string name;
    std::string nameKey;   // NameKey(name), kept: folding takes ICU a while
    Peer* peer = nullptr;  // null while the user's connection is gone
    bool isBot = false;
    int botLevel = 0;  // a computer player's level 1-4, 0 for the random discarder
    bool allowWatch = false;
    Table* table = nullptr;
    int chair = -1;       // -1 for an onlooker
    std::string watched;  // an onlooker's player
    UserStats stats;
    int portrait = 0;
    // The hello's secret: only a hello with the same one gets a dropped
    // chair back. Empty for a client that sent none.
    std::string secret;
    std::deque<Milliseconds> recentChat;  // when the user's last chat lines came
    RequestGuard requests;                // what the current connection's requests cost
};

}  // namespace qira::server
