#pragma once

#include <QFile>
#include <QString>
#include <optional>
#include <utility>

namespace qira::testing {

// The kernel's timer on the TCP connection from `localPort` to `remotePort`,
// as /proc/net/tcp lists it: the kind (0 none, 1 retransmission, 2 keepalive)
// and the hundredths of a second until it fires.
inline std::optional<std::pair<int, long>> TcpTimer(quint16 localPort, quint16 remotePort) {
    const auto port = [](const QString& address) {
        return address.section(':', -1).toUInt(nullptr, 16);
    };
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        QFile file(table);
        if (!file.open(QIODevice::ReadOnly)) continue;
        file.readLine();
        while (!file.atEnd()) {
            const auto fields = QString::fromLatin1(file.readLine()).simplified().split(' ');
            if (fields.size() < 6 || port(fields[1]) != localPort || port(fields[2]) != remotePort)
                continue;
            return std::pair{fields[5].section(':', 0, 0).toInt(nullptr, 16),
                             fields[5].section(':', 1, 1).toLong(nullptr, 16)};
        }
    }
    return std::nullopt;
}

}  // namespace qira::testing
