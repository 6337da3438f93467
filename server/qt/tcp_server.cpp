#include "server/qt/tcp_server.h"

#include <sys/resource.h>
#include <QTimer>

#include "server/core/lobby.h"

namespace qira::server {

namespace {
// How long a closing connection may take to flush what it was sent.
constexpr int kCloseGraceMilliseconds = 5'000;

// Room for every connection below the descriptor limit, leaving some for
// the database, the log and the connections being refused.
std::size_t ConnectionsTheDescriptorsAllow() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return 60'000;
    return limit.rlim_cur > 128 ? static_cast<std::size_t>(limit.rlim_cur) - 64 : 64;
}
}  // namespace

TcpConnection::TcpConnection(Lobby& lobby, QTcpSocket* socket, QObject* parent)
    : QObject(parent), lobby_(lobby), socket_(socket) {
    socket_->setParent(this);
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    address_ = (socket_->peerAddress().toString() + ":" + QString::number(socket_->peerPort()))
                   .toStdString();
    connect(socket_, &QTcpSocket::readyRead, this, &TcpConnection::OnReadyRead);
    const Limits& limits = lobby_.config().limits;
    entryDeadline_.setSingleShot(true);
    frameDeadline_.setSingleShot(true);
    connect(&entryDeadline_, &QTimer::timeout, this, [this] { TimeOut("no hello and entry"); });
    connect(&frameDeadline_, &QTimer::timeout, this,
            [this] { TimeOut("a frame left unfinished"); });
    entryDeadline_.start(static_cast<int>(limits.helloDeadline.count()));
    frameDeadline_.setInterval(static_cast<int>(limits.frameDeadline.count()));
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
    const auto status =
        decoder_.Feed(bytes, [this](std::span<const std::uint8_t> message) { OnMessage(message); });
    // The clock for a frame runs from its first byte until it is whole.
    if (decoder_.buffered() == 0)
        frameDeadline_.stop();
    else if (!frameDeadline_.isActive())
        frameDeadline_.start();
    if (status == net::FrameDecoder::Status::ProtocolError && !ended_ && !cutOff_) {
        lobby_.log().Line("protocol error from " + address_ + ": bad frame length; closing");
        socket_->abort();
        OnDisconnected();
    }
}

void TcpConnection::OnMessage(std::span<const std::uint8_t> message) {
    if (ended_ || cutOff_) return;
    if (++messagesSeen_ == 1) return lobby_.OnHello(*this, message);
    if (messagesSeen_ == 2) entryDeadline_.stop();
    lobby_.OnMessage(*this, message);
}

void TcpConnection::TimeOut(const std::string& what) {
    if (ended_ || cutOff_) return;
    lobby_.log().Line("protocol error from " + address_ + ": " + what + " in time; closing");
    CutOff();
}

void TcpConnection::OnDisconnected() {
    if (ended_) return;
    ended_ = true;
    lobby_.OnDisconnected(*this);
    emit Ended(this);
}

TcpServer::TcpServer(Lobby& lobby, QObject* parent) : QObject(parent), lobby_(lobby) {
    connect(&server_, &QTcpServer::newConnection, this, &TcpServer::OnNewConnection);
    connect(&server_, &QTcpServer::acceptError, this, &TcpServer::OnAcceptError);
    maxConnections_ = lobby.config().limits.maxConnections;
    if (maxConnections_ == 0) maxConnections_ = ConnectionsTheDescriptorsAllow();
}

constexpr int kListenBacklog = 4096;

bool TcpServer::Listen(const QHostAddress& address, quint16 port) {
    // Many tables' players may connect at once: the kernel's default queue
    // of pending connections would drop most of them.
    server_.setListenBacklogSize(kListenBacklog);
    return server_.listen(address, port);
}

std::optional<std::string> TcpServer::Refusal(const QTcpSocket& socket) const {
    const Limits& limits = lobby_.config().limits;
    const auto it = perAddress_.find(socket.peerAddress().toString().toStdString());
    if (it != perAddress_.end() && it->second >= limits.connectionsPerAddress)
        return "too many connections from this address";
    if (connections_.size() >= maxConnections_) return "the server is full";
    return std::nullopt;
}

void TcpServer::OnNewConnection() {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        if (const auto why = Refusal(*socket)) {
            lobby_.log().Line("refused connection from " +
                              socket->peerAddress().toString().toStdString() + ": " + *why);
            socket->abort();
            socket->deleteLater();
            continue;
        }
        const std::string address = socket->peerAddress().toString().toStdString();
        ++perAddress_[address];
        auto connection = std::make_unique<TcpConnection>(lobby_, socket, nullptr);
        connect(connection.get(), &TcpConnection::Ended, this,
                [this, address](TcpConnection* ended) {
                    if (--perAddress_[address] == 0) perAddress_.erase(address);
                    // The connection is still on the call stack: delete it afterwards.
                    auto node = connections_.extract(ended);
                    if (node) node.mapped().release()->deleteLater();
                });
        connections_.emplace(connection.get(), std::move(connection));
    }
}

// Out of descriptors: accepting again at once would only fail again, so the
// server stops accepting for a second instead of spinning.
void TcpServer::OnAcceptError() {
    lobby_.log().Line("cannot accept a connection: " + server_.errorString().toStdString() +
                      "; pausing for a second");
    server_.pauseAccepting();
    QTimer::singleShot(1000, this, [this] { server_.resumeAccepting(); });
}

}  // namespace qira::server
