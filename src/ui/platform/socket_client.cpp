#include "ui/platform/socket_client.h"

#include <QStandardPaths>
#include <utility>

#include "net/hello_secret.h"

namespace qira::platform {

SocketClient::SocketClient(QObject* parent) : QObject(parent) {
    connect(&socket_, &QTcpSocket::connected, this, [this] {
        socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        const auto hello = net::BuildHello(userName_, {}, secret_);
        if (hello) Send(*hello);
        emit Connected();
    });
    connect(&socket_, &QTcpSocket::readyRead, this, &SocketClient::OnReadyRead);
    connect(&socket_, &QTcpSocket::disconnected, this,
            [this] { EndConnection(QStringLiteral("connection closed by the server")); });
    connect(&socket_, &QTcpSocket::errorOccurred, this,
            [this](QAbstractSocket::SocketError) { EndConnection(socket_.errorString()); });
}

void SocketClient::ConnectTo(const QString& host, quint16 port, const std::string& userName) {
    userName_ = userName;
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    secret_ = net::LoadOrCreateHelloSecret((folder + "/hello-secret").toStdString());
    socket_.connectToHost(host, port);
}

bool SocketClient::Send(std::span<const std::uint8_t> message) {
    if (ended_ || message.empty() || message.size() > net::kMaxMessageBytes) return false;
    const auto frame = net::FrameMessage(message);
    return socket_.write(reinterpret_cast<const char*>(frame.data()),
                         static_cast<qint64>(frame.size())) == static_cast<qint64>(frame.size());
}

// The socket does not signal new data again while a handler of its signal is
// still running, so nothing is handled from here: the messages are queued and
// this handler returns at once.
void SocketClient::OnReadyRead() {
    ReadReceivedBytes();
}

void SocketClient::ReadReceivedBytes() {
    if (ended_ || !socket_.isOpen()) return;
    const QByteArray received = socket_.readAll();
    if (received.isEmpty()) return;
    const std::span<const std::uint8_t> bytes(
        reinterpret_cast<const std::uint8_t*>(received.constData()),
        static_cast<std::size_t>(received.size()));
    const auto status = decoder_.Feed(bytes, [this](std::span<const std::uint8_t> message) {
        inbox_.emplace_back(message.begin(), message.end());
    });
    PostDelivery();
    if (status == net::FrameDecoder::Status::ProtocolError)
        EndConnection(QStringLiteral("the server broke the framing rules"));
}

void SocketClient::EndConnection(const QString& reason) {
    if (ended_) return;
    // Whatever arrived before the end is still delivered, ahead of the end.
    ReadReceivedBytes();
    if (ended_) return;  // the last bytes broke the framing and ended it already
    ended_ = true;
    socket_.abort();
    endReason_ = reason;
    PostDelivery();
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
