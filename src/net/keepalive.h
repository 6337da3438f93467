#pragma once

#include <chrono>

namespace qira::net {

// How long either end of a game connection waits before it treats a silent
// peer as gone (a machine that slept, a changed network, a NAT that forgot
// the flow): TCP keepalive probes begin after a third of it, and data the
// peer never acknowledges ends the connection after all of it.
inline constexpr std::chrono::seconds kDeadPeerDeadline{60};

// Turns on TCP keepalive for the connected socket `fd` so that a peer that
// answers neither probes nor data ends the connection within `deadline`
// (at least 6 s). False when the system refused an option.
bool DetectDeadPeer(int fd, std::chrono::seconds deadline = kDeadPeerDeadline);

}  // namespace qira::net
