#include "server/qt/tcp_server.h"

#include "server/core/lobby.h"

namespace qira::server {

// A client that does not read what it is sent is cut off rather than
// letting its buffer grow without bound.
constexpr qint64 kMaxPendingBytes = 4 * 1024 * 1024;

TcpConnection::TcpConnection(Lobby& lobby, QTcpSocket* socket, QObject* parent)
    : QObject(parent), lobby_(lobby), socket_(socket) {
    socket_->setParent(this);
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    address_ = (socket_->peerAddress().toString() + ":" + QString::number(socket_->peerPort()))
                   .toStdString();
    connect(socket_, &QTcpSocket::readyRead, this, &TcpConnection::OnReadyRead);
    connect(socket_, &QTcpSocket::disconnected, this, &TcpConnection::OnDisconnected);
}

TcpConnection::~TcpConnection() = default;

void TcpConnection::Deliver(const net::Bytes& message) {
    if (ended_ || message.empty() || message.size() > net::kMaxMessageBytes) return;
    const auto frame = net::FrameMessage(message);
    socket_->write(reinterpret_cast<const char*>(frame.data()), static_cast<qint64>(frame.size()));
    if (socket_->bytesToWrite() > kMaxPendingBytes) {
        lobby_.log().Line("protocol error from " + address_ + ": client does not read; closing");
        Disconnect();
    }
}

void TcpConnection::Disconnect() {
    if (ended_) return;
    // Closing later keeps this call from re-entering the lobby.
    QMetaObject::invokeMethod(
        this, [this] { socket_->disconnectFromHost(); }, Qt::QueuedConnection);
}

void TcpConnection::OnReadyRead() {
    const QByteArray data = socket_->readAll();
    const auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(data.constData()),
                                 static_cast<std::size_t>(data.size()));
    const auto status = decoder_.Feed(bytes, [this](std::span<const std::uint8_t> message) {
        if (ended_) return;
        if (!helloSeen_) {
            helloSeen_ = true;
            lobby_.OnHello(*this, message);
        } else {
            lobby_.OnMessage(*this, message);
        }
    });
    if (status == net::FrameDecoder::Status::ProtocolError && !ended_) {
        lobby_.log().Line("protocol error from " + address_ + ": bad frame length; closing");
        socket_->abort();
        OnDisconnected();
    }
}

void TcpConnection::OnDisconnected() {
    if (ended_) return;
    ended_ = true;
    lobby_.OnDisconnected(*this);
    emit Ended(this);
}

TcpServer::TcpServer(Lobby& lobby, QObject* parent) : QObject(parent), lobby_(lobby) {
    connect(&server_, &QTcpServer::newConnection, this, &TcpServer::OnNewConnection);
}

bool TcpServer::Listen(const QHostAddress& address, quint16 port) {
    return server_.listen(address, port);
}

void TcpServer::OnNewConnection() {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        auto connection = std::make_unique<TcpConnection>(lobby_, socket, nullptr);
        connect(connection.get(), &TcpConnection::Ended, this, [this](TcpConnection* ended) {
            // The connection is still on the call stack: delete it afterwards.
            auto node = connections_.extract(ended);
            if (node) node.mapped().release()->deleteLater();
        });
        connections_.emplace(connection.get(), std::move(connection));
    }
}

}  // namespace qira::server
