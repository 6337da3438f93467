#include "ui/platform/socket_client.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <unistd.h>
#include <QStandardPaths>
#include <cerrno>
#include <cstring>
#include <utility>

#include "net/hello_secret.h"
#include "net/keepalive.h"

namespace qira::platform {

namespace {

QString ErrorText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

const QString kFramingBroken = QStringLiteral("the server broke the framing rules");

}  // namespace

SocketClient::SocketClient(QObject* parent) : QObject(parent) {}

SocketClient::~SocketClient() {
    CloseSocket();
}

void SocketClient::ConnectTo(const QString& host, quint16 port, const std::string& userName) {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    const auto secret = net::LoadOrCreateHelloSecret((folder + "/hello-secret").toStdString());
    // The hello is the first frame on the wire, whatever is sent before the
    // connection is up.
    if (const auto hello = net::BuildHello(userName, {}, secret)) {
        const auto frame = net::FrameMessage(*hello);
        pending_.insert(pending_.begin(), frame.begin(), frame.end());
    }

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const int status =
        getaddrinfo(host.toUtf8().constData(), std::to_string(port).c_str(), &hints, &found);
    if (status != 0) {
        EndConnection(QString::fromLocal8Bit(gai_strerror(status)));
        return;
    }
    for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
        Address address;
        std::memcpy(&address.storage, entry->ai_addr, entry->ai_addrlen);
        address.length = entry->ai_addrlen;
        addresses_.push_back(address);
    }
    freeaddrinfo(found);
    ConnectToNextAddress();
}

// Tries the addresses in turn until one accepts; the last failure ends the
// connection.
void SocketClient::ConnectToNextAddress() {
    while (!addresses_.empty()) {
        const Address address = addresses_.front();
        addresses_.erase(addresses_.begin());
        CloseSocket();
        socket_ =
            ::socket(address.storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (socket_ < 0) {
            lastError_ = ErrorText(errno);
            continue;
        }
        if (::connect(socket_, reinterpret_cast<const sockaddr*>(&address.storage),
                      address.length) == 0 ||
            errno == EINPROGRESS) {
            // Writable once the connection is up or has failed.
            writable_ = new QSocketNotifier(socket_, QSocketNotifier::Write, this);
            connect(writable_, &QSocketNotifier::activated, this, &SocketClient::OnWritable);
            return;
        }
        lastError_ = ErrorText(errno);
    }
    CloseSocket();
    EndConnection(lastError_.isEmpty() ? QStringLiteral("no address to connect to") : lastError_);
}

void SocketClient::OnConnectFinished() {
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(socket_, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
    if (error != 0) {
        lastError_ = ErrorText(error);
        ConnectToNextAddress();
        return;
    }
    connected_ = true;
    addresses_.clear();
    const int on = 1;
    setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    // A server that vanished without closing (its machine off the network)
    // ends the connection within a minute instead of never.
    net::DetectDeadPeer(socket_);
    readable_ = new QSocketNotifier(socket_, QSocketNotifier::Read, this);
    connect(readable_, &QSocketNotifier::activated, this, &SocketClient::OnReadable);
    WritePending();
    if (!ended_) emit Connected();
}

bool SocketClient::Send(std::span<const std::uint8_t> message) {
    if (ended_ || message.empty() || message.size() > net::kMaxMessageBytes) return false;
    const auto frame = net::FrameMessage(message);
    pending_.insert(pending_.end(), frame.begin(), frame.end());
    if (connected_) WritePending();
    return true;
}

// Writes what the socket takes now; the rest waits for it to become writable.
void SocketClient::WritePending() {
    std::size_t written = 0;
    while (written < pending_.size()) {
        const ssize_t count =
            ::send(socket_, pending_.data() + written, pending_.size() - written, MSG_NOSIGNAL);
        if (count > 0) {
            written += static_cast<std::size_t>(count);
            continue;
        }
        if (count < 0 && errno == EINTR) continue;
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        const QString reason =
            count < 0 ? ErrorText(errno) : QStringLiteral("the connection broke");
        pending_.clear();
        EndConnection(reason);
        return;
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(written));
    if (writable_) writable_->setEnabled(!pending_.empty());
}

void SocketClient::OnWritable() {
    if (connected_) {
        WritePending();
    } else {
        OnConnectFinished();
    }
}

// Nothing is handled from here: the messages are queued and this handler
// returns at once, so that the event loop watches the socket again while a
// message's handler waits in a nested loop.
void SocketClient::OnReadable() {
    if (const auto end = ReadReceivedBytes()) EndConnection(*end);
}

std::optional<QString> SocketClient::ReadReceivedBytes() {
    if (ended_ || !connected_) return std::nullopt;
    std::optional<QString> end;
    std::uint8_t buffer[16384];
    for (;;) {
        const ssize_t count = ::recv(socket_, buffer, sizeof buffer, 0);
        if (count > 0) {
            const auto status = decoder_.Feed(
                std::span<const std::uint8_t>(buffer, static_cast<std::size_t>(count)),
                [this](std::span<const std::uint8_t> message) {
                    inbox_.emplace_back(message.begin(), message.end());
                });
            if (status == net::FrameDecoder::Status::ProtocolError) {
                end = kFramingBroken;
                break;
            }
            continue;
        }
        if (count < 0 && errno == EINTR) continue;
        if (count == 0) {
            end = QStringLiteral("connection closed by the server");
        } else if (errno != EAGAIN && errno != EWOULDBLOCK) {
            end = ErrorText(errno);
        }
        break;
    }
    PostDelivery();
    return end;
}

void SocketClient::EndConnection(const QString& reason) {
    if (ended_) return;
    // Whatever arrived before the end is still delivered, ahead of the end;
    // when those last bytes break the framing, that is the reason.
    const auto last = ReadReceivedBytes();
    ended_ = true;
    CloseSocket();
    endReason_ = last == kFramingBroken ? kFramingBroken : reason;
    PostDelivery();
}

void SocketClient::CloseSocket() {
    for (QSocketNotifier* notifier : {readable_.data(), writable_.data()}) {
        if (notifier == nullptr) continue;
        notifier->setEnabled(false);
        notifier->deleteLater();
    }
    readable_ = nullptr;
    writable_ = nullptr;
    connected_ = false;
    if (socket_ >= 0) ::close(std::exchange(socket_, -1));
}

// One delivery is posted at a time, and the next one is posted before a
// message's handler runs. A nested event loop dispatches only events posted
// after the event it runs in, so a delivery posted ahead with others would
// wait for the handler to return.
void SocketClient::PostDelivery() {
    if (deliveryPosted_ || (inbox_.empty() && !endReason_)) return;
    deliveryPosted_ = true;
    QMetaObject::invokeMethod(this, &SocketClient::DeliverNext, Qt::QueuedConnection);
}

void SocketClient::DeliverNext() {
    deliveryPosted_ = false;
    if (inbox_.empty()) {
        if (endReason_) emit ConnectionEnded(*std::exchange(endReason_, std::nullopt));
        return;
    }
    const net::Bytes message = std::move(inbox_.front());
    inbox_.pop_front();
    PostDelivery();
    emit MessageArrived(message);
}

}  // namespace qira::platform
