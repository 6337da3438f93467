#pragma once

#include <QObject>
#include <QTcpSocket>
#include <deque>
#include <optional>

#include "net/frame_codec.h"

namespace qira::platform {

// The client's end of the server connection: frames whole messages over one
// TCP connection, and introduces itself with the hello frame before anything
// else is sent.
//
// Messages are delivered in arrival order, each from its own turn of the event
// loop. A handler may wait in a nested event loop (a dice roll, a question);
// the messages that arrive meanwhile are delivered from inside that loop
// instead of waiting for it to end. The end of the connection is reported
// after every message received before it.
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
    void ReadReceivedBytes();
    void EndConnection(const QString& reason);
    // Deliveries run from the event loop, one message (or the end) each, so
    // that each can run inside an earlier handler's nested event loop.
    void PostDelivery();
    void DeliverNext();

    QTcpSocket socket_;
    net::FrameDecoder decoder_;
    std::string userName_;
    std::string secret_;  // see net/hello_secret.h
    bool ended_ = false;
    std::deque<net::Bytes> inbox_;
    std::optional<QString> endReason_;  // reported once the inbox is empty
    bool deliveryPosted_ = false;
};

}  // namespace qira::platform
