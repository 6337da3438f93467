#pragma once

#include <QObject>
#include <QTcpSocket>

#include "net/frame_codec.h"

namespace qira::platform {

// The client's end of the server connection: frames whole messages over one
// TCP connection, and introduces itself with the hello frame before anything
// else is sent.
class SocketClient : public QObject {
    Q_OBJECT
public:
    explicit SocketClient(QObject* parent = nullptr);

    // Opens the connection; `userName` goes into the hello frame.
    void ConnectTo(const QString& host, quint16 port, const std::string& userName);
    // Sends one whole message. Empty and oversized messages are not sent.
    bool Send(std::span<const std::uint8_t> message);

signals:
    void Connected();
    void MessageArrived(const qira::net::Bytes& message);
    // The connection ended, failed, or broke the framing rules.
    void ConnectionEnded(const QString& reason);

private:
    void OnReadyRead();
    void EndConnection(const QString& reason);

    QTcpSocket socket_;
    net::FrameDecoder decoder_;
    std::string userName_;
    bool ended_ = false;
};

}  // namespace qira::platform
