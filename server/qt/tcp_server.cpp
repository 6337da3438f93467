#include "server/qt/tcp_server.h"

#include <QTimer>

#include "server/core/lobby.h"

namespace qira::server {

namespace {
// How long a closing connection may take to flush what it was sent.
constexpr int kCloseGraceMilliseconds = 5'000;
}  // namespace

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
    if (ended_ || cutOff_ || message.empty()) return;
    if (message.size() > net::kMaxMessageBytes) {
        lobby_.log().Line("error: a message of " + std::to_string(message.size()) + " bytes to " +
                          address_ + " cannot be framed; not sent");
        return;
    }
    const auto frame = net::FrameMessage(message);
    socket_->write(reinterpret_cast<const char*>(frame.data()), static_cast<qint64>(frame.size()));
    const auto unsent = static_cast<std::size_t>(socket_->bytesToWrite());
    if (unsent > lobby_.config().limits.outputCapBytes) {
        lobby_.log().Line("protocol error from " + address_ + ": client does not read (" +
                          std::to_string(unsent) + " bytes unsent); cut off");
        CutOff();
    }
}

void TcpConnection::CutOff() {
    // The buffered output goes at once; the lobby hears of the end after
    // the current call, as from a dropped connection.
    cutOff_ = true;
    QObject::disconnect(socket_, nullptr, this, nullptr);
    socket_->abort();
    QMetaObject::invokeMethod(this, &TcpConnection::OnDisconnected, Qt::QueuedConnection);
}

void TcpConnection::Disconnect() {
    if (ended_ || cutOff_) return;
    // Closing later keeps this call from re-entering the lobby; a client that
    // does not take what is left to send is cut off after a grace period.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (cutOff_ || ended_) return;
            socket_->disconnectFromHost();
            QTimer::singleShot(kCloseGraceMilliseconds, this, [this] {
                if (!ended_ && !cutOff_) CutOff();
            });
        },
        Qt::QueuedConnection);
}

void TcpConnection::OnReadyRead() {
    const QByteArray data = socket_->readAll();
    const auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(data.constData()),
                                 static_cast<std::size_t>(data.size()));
    const auto status = decoder_.Feed(bytes, [this](std::span<const std::uint8_t> message) {
        if (ended_ || cutOff_) return;
        if (!helloSeen_) {
            helloSeen_ = true;
            lobby_.OnHello(*this, message);
        } else {
            lobby_.OnMessage(*this, message);
        }
    });
    if (status == net::FrameDecoder::Status::ProtocolError && !ended_ && !cutOff_) {
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
