#include "server/qt/tcp_server.h"

#include <arpa/inet.h>
#include <malloc.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "net/keepalive.h"
#include "server/core/lobby.h"

namespace qira::server {

namespace {
// How long a closing connection may take to flush what it was sent.
constexpr int kCloseGraceMilliseconds = 5'000;
// A connection's output buffer keeps its room up to this between turns.
constexpr std::size_t kKeptOutputCapacity = 64 * 1024;

// Room for every connection below the descriptor limit, leaving some for
// the database, the log and the connections being refused.
std::size_t ConnectionsTheDescriptorsAllow() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return 60'000;
    return limit.rlim_cur > 128 ? static_cast<std::size_t>(limit.rlim_cur) - 64 : 64;
}
}  // namespace

std::string AddressGroup(const QHostAddress& address) {
    bool isIPv4 = false;
    const quint32 ipv4 = address.toIPv4Address(&isIPv4);
    if (isIPv4) return QHostAddress(ipv4).toString().toStdString();
    Q_IPV6ADDR bytes = address.toIPv6Address();
    std::fill(std::begin(bytes.c) + 8, std::end(bytes.c), quint8{0});
    return QHostAddress(bytes).toString().toStdString() + "/64";
}

void OutputBatch::Add(TcpConnection& connection) {
    waiting_.push_back(&connection);
    if (posted_) return;
    posted_ = true;
    QMetaObject::invokeMethod(this, &OutputBatch::SendAll, Qt::QueuedConnection);
}

void OutputBatch::Forget(TcpConnection& connection) {
    std::erase(waiting_, &connection);
}

void OutputBatch::SendAll() {
    posted_ = false;
    const auto connections = std::exchange(waiting_, {});
    for (TcpConnection* connection : connections) connection->SendWaiting();
}

TcpConnection::TcpConnection(Lobby& lobby, HalfFrameBudget& halfFrames, OutputBatch& batch,
                             QTcpSocket* socket, QObject* parent)
    : QObject(parent), lobby_(lobby), halfFrames_(halfFrames), batch_(batch), socket_(socket) {
    socket_->setParent(this);
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    const Limits& limits = lobby_.config().limits;
    net::DetectDeadPeer(static_cast<int>(socket_->socketDescriptor()),
                        std::chrono::duration_cast<std::chrono::seconds>(limits.deadPeer));
    address_ = (socket_->peerAddress().toString() + ":" + QString::number(socket_->peerPort()))
                   .toStdString();
    connect(socket_, &QTcpSocket::readyRead, this, &TcpConnection::OnReadyRead);
    entryDeadline_.setSingleShot(true);
    frameDeadline_.setSingleShot(true);
    connect(&entryDeadline_, &QTimer::timeout, this,
            [this] { TimeOut(entryDeadline_, "no hello and entry"); });
    connect(&frameDeadline_, &QTimer::timeout, this,
            [this] { TimeOut(frameDeadline_, "a frame left unfinished"); });
    entryDeadline_.start(static_cast<int>(limits.helloDeadline.count()));
    frameDeadline_.setInterval(static_cast<int>(limits.frameDeadline.count()));
    connect(socket_, &QTcpSocket::disconnected, this, &TcpConnection::OnDisconnected);
}

TcpConnection::~TcpConnection() {
    LeaveBatch();
    ReleaseHalfFrame();
}

void TcpConnection::LeaveBatch() {
    if (!inBatch_) return;
    batch_.Forget(*this);
    inBatch_ = false;
}

void TcpConnection::ReleaseHalfFrame() {
    if (halfFrameBytes_ == 0) return;
    halfFrames_.Change(halfFrameBytes_, 0);
    halfFrameBytes_ = 0;
}

void TcpConnection::Deliver(const net::Bytes& message) {
    if (ended_ || cutOff_ || message.empty()) return;
    if (message.size() > net::kMaxMessageBytes) {
        lobby_.log().Line("error: a message of " + std::to_string(message.size()) + " bytes to " +
                          address_ + " cannot be framed; not sent");
        return;
    }
    net::AppendFrame(message, waiting_);
    const auto unsent = waiting_.size() + static_cast<std::size_t>(socket_->bytesToWrite());
    if (unsent > lobby_.config().limits.outputCapBytes) {
        lobby_.log().Line("protocol error from " + address_ + ": client does not read (" +
                          std::to_string(unsent) + " bytes unsent); cut off");
        return CutOff();
    }
    if (inBatch_) return;
    inBatch_ = true;
    batch_.Add(*this);
}

// Straight to the kernel while the socket's buffer is empty, so that its
// write notifier stays off; an error leaves the rest to the socket, which
// reports it as the end of the connection.
void TcpConnection::SendWaiting() {
    inBatch_ = false;
    if (!ended_ && !cutOff_ && !waiting_.empty()) {
        std::size_t sent = 0;
        if (socket_->bytesToWrite() == 0) {
            const auto n = ::send(static_cast<int>(socket_->socketDescriptor()), waiting_.data(),
                                  waiting_.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0) sent = static_cast<std::size_t>(n);
        }
        if (sent < waiting_.size())
            socket_->write(reinterpret_cast<const char*>(waiting_.data() + sent),
                           static_cast<qint64>(waiting_.size() - sent));
    }
    waiting_.clear();
    if (waiting_.capacity() > kKeptOutputCapacity) net::Bytes().swap(waiting_);
}

void TcpConnection::CutOff() {
    // The buffered output goes at once; the lobby hears of the end after
    // the current call, as from a dropped connection.
    cutOff_ = true;
    waiting_.clear();
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
            SendWaiting();
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
    if (ended_) return;  // what it held is released already
    if (!AccountHalfFrame()) {
        lobby_.log().Line("error: half-written frames of all connections would hold over " +
                          std::to_string(halfFrames_.cap()) + " bytes; closing " + address_);
        return CutOff();
    }
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

std::size_t TcpConnection::UnreadBytes() const {
    int waiting = 0;
    const auto fd = static_cast<int>(socket_->socketDescriptor());
    if (fd < 0 || ::ioctl(fd, FIONREAD, &waiting) != 0) return 0;
    return static_cast<std::size_t>(std::max(0, waiting));
}

bool TcpConnection::AccountHalfFrame() {
    const std::size_t now = decoder_.buffered();
    if (!halfFrames_.Change(halfFrameBytes_, now)) return false;
    halfFrameBytes_ = now;
    return true;
}

void TcpConnection::OnMessage(std::span<const std::uint8_t> message) {
    if (ended_ || cutOff_) return;
    if (++messagesSeen_ == 1) return lobby_.OnHello(*this, message);
    if (messagesSeen_ == 2) entryDeadline_.stop();
    lobby_.OnMessage(*this, message);
}

void TcpConnection::TimeOut(QTimer& deadline, const std::string& what) {
    if (ended_ || cutOff_) return;
    // Bytes waiting that the loop has not read yet (it is behind, with more
    // connections ready than one turn serves) are the server's delay, not the
    // client's: the clock runs again from now, when they can be read.
    if (UnreadBytes() > 0) return deadline.start();
    lobby_.log().Line("protocol error from " + address_ + ": " + what + " in time; closing");
    CutOff();
}

void TcpConnection::OnDisconnected() {
    if (ended_) return;
    ended_ = true;
    // The budget and the batch may be gone before this object is: it leaves
    // them now.
    ReleaseHalfFrame();
    LeaveBatch();
    lobby_.OnDisconnected(*this);
    emit Ended(this);
}

ListeningDescriptor::~ListeningDescriptor() {
    if (fd_ >= 0) ::close(fd_);
}

namespace {

constexpr int kListenBacklog = 4096;
constexpr int kAcceptPauseMilliseconds = 1'000;
// After connections close, freed memory goes back to the system once they
// have stopped closing for this long.
constexpr int kReturnMemoryMilliseconds = 2'000;

// The socket address for `address` and `port`; an IPv6 address, the any
// address included, also takes IPv4 connections.
struct SocketAddress {
    sockaddr_storage storage{};
    socklen_t length = 0;
    int family = AF_INET;
};

std::optional<SocketAddress> SocketAddressOf(const QHostAddress& address, quint16 port) {
    SocketAddress result;
    if (address == QHostAddress::Any || address.protocol() == QAbstractSocket::IPv6Protocol) {
        sockaddr_in6 in6{};
        in6.sin6_family = AF_INET6;
        in6.sin6_port = htons(port);
        const Q_IPV6ADDR bytes = address == QHostAddress::Any
                                     ? QHostAddress(QHostAddress::AnyIPv6).toIPv6Address()
                                     : address.toIPv6Address();
        std::memcpy(&in6.sin6_addr, &bytes, sizeof in6.sin6_addr);
        // A link-local address names its interface, by name or number.
        const QString scope = address.scopeId();
        if (!scope.isEmpty()) {
            bool numeric = false;
            const uint index = scope.toUInt(&numeric);
            in6.sin6_scope_id = numeric ? index : ::if_nametoindex(scope.toLocal8Bit().constData());
        }
        std::memcpy(&result.storage, &in6, sizeof in6);
        result.length = sizeof in6;
        result.family = AF_INET6;
        return result;
    }
    if (address.protocol() != QAbstractSocket::IPv4Protocol) return std::nullopt;
    sockaddr_in in4{};
    in4.sin_family = AF_INET;
    in4.sin_port = htons(port);
    in4.sin_addr.s_addr = htonl(address.toIPv4Address());
    std::memcpy(&result.storage, &in4, sizeof in4);
    result.length = sizeof in4;
    return result;
}

quint16 BoundPort(int fd) {
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length) != 0) return 0;
    if (bound.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port);
    return ntohs(reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
}

// Errors after which accepting again at once would only fail again.
bool OutOfResources(int error) {
    return error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM;
}

}  // namespace

TcpServer::TcpServer(Lobby& lobby, QObject* parent)
    : QObject(parent), lobby_(lobby), halfFrames_(lobby.config().limits.halfFrameBytes) {
    returnMemory_.setSingleShot(true);
    returnMemory_.setInterval(kReturnMemoryMilliseconds);
    // Many connections' buffers freed at once leave the heap full of holes
    // that the allocator keeps unless asked.
    connect(&returnMemory_, &QTimer::timeout, this, [] { ::malloc_trim(0); });
    maxConnections_ = lobby.config().limits.maxConnections;
    if (maxConnections_ == 0) maxConnections_ = ConnectionsTheDescriptorsAllow();
    resumeAccepting_.setSingleShot(true);
    resumeAccepting_.setInterval(kAcceptPauseMilliseconds);
    connect(&resumeAccepting_, &QTimer::timeout, this, [this] {
        if (acceptNotifier_) acceptNotifier_->setEnabled(true);
    });
}

bool TcpServer::Listen(const QHostAddress& address, quint16 port) {
    const auto socketAddress = SocketAddressOf(address, port);
    if (!socketAddress) {
        errorText_ = QStringLiteral("not an IPv4 or IPv6 address");
        return false;
    }
    ListeningDescriptor fd(
        ::socket(socketAddress->family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    const int on = 1;
    const int off = 0;
    const bool listening =
        fd.get() >= 0 && ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0 &&
        (socketAddress->family != AF_INET6 ||
         ::setsockopt(fd.get(), IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off) == 0) &&
        ::bind(fd.get(), reinterpret_cast<const sockaddr*>(&socketAddress->storage),
               socketAddress->length) == 0 &&
        // Many tables' players may connect at once: the kernel's default
        // queue of pending connections would drop most of them.
        ::listen(fd.get(), kListenBacklog) == 0;
    if (!listening) {
        errorText_ = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    port_ = BoundPort(fd.get());
    acceptNotifier_.reset();
    listening_ = std::move(fd);
    acceptNotifier_ = std::make_unique<QSocketNotifier>(listening_.get(), QSocketNotifier::Read);
    connect(acceptNotifier_.get(), &QSocketNotifier::activated, this,
            &TcpServer::AcceptWhatIsWaiting);
    return true;
}

std::optional<std::string> TcpServer::Refusal(const QTcpSocket& socket) const {
    const Limits& limits = lobby_.config().limits;
    const auto it = perAddress_.find(AddressGroup(socket.peerAddress()));
    if (it != perAddress_.end() && it->second >= limits.connectionsPerAddress)
        return "too many connections from this address";
    if (connections_.size() >= maxConnections_) return "the server is full";
    return std::nullopt;
}

void TcpServer::AcceptWhatIsWaiting() {
    for (;;) {
        const int descriptor = ::accept4(listening_.get(), nullptr, nullptr, SOCK_CLOEXEC);
        if (descriptor >= 0) {
            Admit(descriptor);
            continue;
        }
        const int error = errno;
        if (error == EAGAIN || error == EWOULDBLOCK) return;
        if (OutOfResources(error)) return PauseAccepting(std::strerror(error));
        // A connection that failed before it was taken (reset, aborted, a
        // network error the kernel passes on): the next one may be fine.
        if (error == EINTR || error == ECONNABORTED || error == EPROTO || error == EPERM ||
            error == ENETDOWN || error == ENOPROTOOPT || error == EHOSTDOWN || error == ENONET ||
            error == EHOSTUNREACH || error == EOPNOTSUPP || error == ENETUNREACH)
            continue;
        return PauseAccepting(std::strerror(error));
    }
}

// Out of descriptors: accepting again at once would only fail again, so the
// server stops accepting for a second instead of spinning.
void TcpServer::PauseAccepting(const std::string& why) {
    lobby_.log().Line("cannot accept a connection: " + why + "; pausing for a second");
    acceptNotifier_->setEnabled(false);
    resumeAccepting_.start();
}

void TcpServer::LogTurnedAway(const std::string& line) {
    if (!turnedAwayLog_.Take(lobby_.scheduler().Now())) {
        ++turnedAwayUnlogged_;
        return;
    }
    if (turnedAwayUnlogged_ > 0)
        lobby_.log().Line(std::to_string(std::exchange(turnedAwayUnlogged_, 0)) +
                          " more refused connections not logged");
    lobby_.log().Line(line);
}

void TcpServer::Admit(int descriptor) {
    auto socket = std::make_unique<QTcpSocket>();
    if (!socket->setSocketDescriptor(descriptor)) {
        ::close(descriptor);
        return;
    }
    if (const auto why = Refusal(*socket)) {
        LogTurnedAway("refused connection from " + socket->peerAddress().toString().toStdString() +
                      ": " + *why);
        socket->abort();
        return;
    }
    const std::string address = AddressGroup(socket->peerAddress());
    ++perAddress_[address];
    auto connection =
        std::make_unique<TcpConnection>(lobby_, halfFrames_, batch_, socket.release(), nullptr);
    connect(connection.get(), &TcpConnection::Ended, this, [this, address](TcpConnection* ended) {
        if (--perAddress_[address] == 0) perAddress_.erase(address);
        returnMemory_.start();
        // The connection is still on the call stack: delete it afterwards.
        auto node = connections_.extract(ended);
        if (node) node.mapped().release()->deleteLater();
    });
    connections_.emplace(connection.get(), std::move(connection));
}

}  // namespace qira::server
