#include "net/keepalive.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstdint>

namespace qira::net {

bool DetectDeadPeer(int fd, std::chrono::seconds deadline) {
    constexpr int kProbes = 4;
    const int total = static_cast<int>(std::max<std::int64_t>(deadline.count(), 6));
    const int idle = total / 3;
    const int interval = std::max(1, (total - idle) / kProbes);
    const int on = 1;
    // Unacknowledged data is bounded too: keepalive probes wait while data
    // is outstanding, and retransmissions alone would take many minutes.
    const unsigned int userTimeout = static_cast<unsigned int>(total) * 1000u;
    return setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) == 0 &&
           setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle) == 0 &&
           setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval) == 0 &&
           setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &kProbes, sizeof kProbes) == 0 &&
           setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &userTimeout, sizeof userTimeout) == 0;
}

}  // namespace qira::net
