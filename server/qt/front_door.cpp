#include "server/qt/front_door.h"

#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

#include "net/front_door.h"
#include "net/protocol.h"

namespace qira::server {

namespace {
constexpr int kLineWaitMs = 5'000;
}  // namespace

FrontDoor::FrontDoor(Directory& directory) : directory_(directory) {
    connect(&server_, &QTcpServer::newConnection, this, [this] { Accept(); });
}

bool FrontDoor::Listen(const QHostAddress& address, quint16 port) {
    return server_.listen(address, port);
}

void FrontDoor::Accept() {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Read(socket); });
        QTimer::singleShot(kLineWaitMs, socket, [socket] { socket->abort(); });
    }
}

void FrontDoor::Read(QTcpSocket* socket) {
    if (socket->property("asked").toBool()) return;
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > static_cast<qint64>(net::front_door::kLongestLine))
            socket->abort();
        return;
    }
    const QByteArray line = socket->readLine(net::front_door::kLongestLine + 1);
    const auto ask = net::ParseFrontDoorRequest(line.toStdString());
    if (!ask) return socket->abort();
    socket->setProperty("asked", true);
    directory_.Route(ask->name, ask->secret,
                     [socket = QPointer<QTcpSocket>(socket)](const std::string& address) {
                         if (!socket) return;
                         socket->write(QByteArray::fromStdString(net::FrontDoorAnswer(address)));
                         socket->disconnectFromHost();
                     });
}

}  // namespace qira::server
