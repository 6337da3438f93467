#pragma once

// How qira-client ends, as its exit status, so that whoever started it (a
// lobby or qira-launch) can tell a player who closed the window from one the
// table sent away.
namespace qira::launch {

enum class ClientExit : int {
    ClosedByPlayer = 0,  // the player closed the window
    // 1 and 2 are the launch errors' statuses (a bad command line)
    LeftTable = 3,       // the table sent the player away: start clock, escape, removal
    ConnectionLost = 4,  // the server ended the connection or could not be reached
};

constexpr int StatusOf(ClientExit exit) {
    return static_cast<int>(exit);
}

}  // namespace qira::launch
