#include "ui/platform/socket_client.h"

namespace qira::platform {

SocketClient::SocketClient(QObject* parent) : QObject(parent) {
    connect(&socket_, &QTcpSocket::connected, this, [this] {
        socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        const auto hello = net::BuildHello(userName_);
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
    socket_.connectToHost(host, port);
}

bool SocketClient::Send(std::span<const std::uint8_t> message) {
    if (ended_ || message.empty() || message.size() > net::kMaxMessageBytes) return false;
    const auto frame = net::FrameMessage(message);
    return socket_.write(reinterpret_cast<const char*>(frame.data()),
                         static_cast<qint64>(frame.size())) == static_cast<qint64>(frame.size());
}

void SocketClient::OnReadyRead() {
    const QByteArray received = socket_.readAll();
    const std::span<const std::uint8_t> bytes(
        reinterpret_cast<const std::uint8_t*>(received.constData()),
        static_cast<std::size_t>(received.size()));
    const auto status = decoder_.Feed(bytes, [this](std::span<const std::uint8_t> message) {
        if (!ended_) emit MessageArrived(net::Bytes(message.begin(), message.end()));
    });
    if (status == net::FrameDecoder::Status::ProtocolError)
        EndConnection(QStringLiteral("the server broke the framing rules"));
}

void SocketClient::EndConnection(const QString& reason) {
    if (ended_) return;
    ended_ = true;
    socket_.abort();
    emit ConnectionEnded(reason);
}

}  // namespace qira::platform
