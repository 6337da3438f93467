#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "bots/sampling.h"
#include "server/core/bot_brain.h"
#include "server/core/request_guard.h"
#include "server/core/scheduler.h"

namespace qira::server {

enum class ScoreMode { Experience, Points };

// What one client may take of the server. Every limit refuses or closes with
// a log line; docs/protocol.md lists them.
struct Limits {
    // Unsent output to one connection beyond which it is cut off.
    std::size_t outputCapBytes = 1 << 20;
    // A user's name, in characters.
    std::size_t nameCharacters = 16;
    // A chat line's text, in characters, and how many lines a user may send
    // within the window.
    std::size_t chatCharacters = 200;
    std::size_t chatLines = 5;
    Milliseconds chatWindow{5'000};
    // A connection has this long for its hello and entry, and for the rest
    // of a frame once its first byte came.
    Milliseconds helloDeadline{10'000};
    Milliseconds frameDeadline{10'000};
    // A connection whose peer answers neither keepalive probes nor data is
    // dropped within this time (a player's chair is then played for).
    Milliseconds deadPeer{60'000};
    // Connections from one address (an IPv6 /64 counts as one), and in all
    // (0: as many as the descriptor limit leaves room for).
    std::size_t connectionsPerAddress = 16;
    std::size_t maxConnections = 0;
    // Onlookers at one table.
    std::size_t onlookersPerTable = 32;
    // What the half-written frames of all connections may hold together.
    std::size_t halfFrameBytes = 16 << 20;
    // While the event loop has lately gone this long without looking at its
    // connections, newcomers are told the server is busy and turned away;
    // seated players and returning ones are served as ever (0: never).
    Milliseconds busyLag{250};
    // Log lines and refusals one connection may cause.
    RequestBounds requests;
};

struct ServerConfig {
    // The server's own clocks run a little longer than the client's (20 s for
    // a turn, 10 s for claims and 20 s for side bets), so a client that plays
    // by itself at its time-out is never overtaken by the server.
    Milliseconds turnTimeout{25'000};
    Milliseconds claimTimeout{14'000};
    Milliseconds betTimeout{25'000};
    Milliseconds settingsTimeout{45'000};
    Milliseconds startTimeout{45'000};
    // How long a table with a human waits for more humans before computer
    // players take the empty chairs.
    Milliseconds botWait{0};
    // How long a computer player "thinks" at a table with humans.
    Milliseconds botThink{400};
    // The same at a table of computer players only: none for self-play and
    // soaks; the room's own such tables play at a pace people can watch.
    Milliseconds botOnlyThink{0};
    // How the computer players that fill chairs, and the automatic play of
    // a timed-out chair, choose their moves.
    BotStyle botStyle = BotStyle::Smart;
    // Level 4's time for one decision, and whether it stops at that time even
    // when its deals are not all played (a live server: answers come in time;
    // self-play: the same seed gives the same hands on any machine).
    int botBudgetMs = bots::kDefaultBudgetMs;
    bool botWatchClock = false;
    std::uint8_t autoPlayLimit = 5;
    ScoreMode scoreMode = ScoreMode::Points;
    // Stake, largest, smallest; escape penalty, largest, smallest.
    std::array<int, 6> defaultSettings{10, 100, 1, 50, 500, 0};
    std::uint32_t seed = 1;
    std::string itemsFile;
    // For tests: the tiles of every hand in draw order (136 codes; the last
    // one becomes the wild indicator) and the first dealer.
    std::vector<std::uint8_t> stackedWall;
    int firstDealer = -1;
    bool log = true;
    // How often the statistics of hands the database refused are tried again.
    Milliseconds statsRetry{3'000};
    Limits limits;
};

}  // namespace qira::server
