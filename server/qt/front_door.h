#pragma once

#include <QTcpServer>

#include "server/core/directory.h"

namespace qira::server {

// Answers qira-launch --front-door: one request line, the directory's
// answer, and the connection is closed. A line that is too long, malformed
// or not finished within a few seconds is closed without an answer.
class FrontDoor : public QObject {
public:
    explicit FrontDoor(Directory& directory);
    bool Listen(const QHostAddress& address, quint16 port);
    quint16 Port() const { return server_.serverPort(); }
    QString ErrorText() const { return server_.errorString(); }

private:
    void Accept();
    void Read(QTcpSocket* socket);

    Directory& directory_;
    QTcpServer server_;
};

}  // namespace qira::server
