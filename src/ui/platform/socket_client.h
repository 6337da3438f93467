#pragma once

#include <sys/socket.h>
#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <deque>
#include <optional>
#include <vector>

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
//
// The connection is a plain non-blocking socket watched by the event loop:
// for one TCP connection, QTcpSocket would map Qt Network and the Kerberos
// and proxy libraries it links (close to 2 MB of a client at rest).
class SocketClient : public QObject {
    Q_OBJECT
public:
    explicit SocketClient(QObject* parent = nullptr);
    ~SocketClient() override;

    // Opens the connection; `userName` goes into the hello frame. A host name
    // that is not a numeric address is looked up before this returns.
    void ConnectTo(const QString& host, quint16 port, const std::string& userName);
    // Sends one whole message. Empty and oversized messages are not sent.
    // Messages sent before the connection is up wait for it.
    bool Send(std::span<const std::uint8_t> message);

signals:
    void Connected();
    void MessageArrived(const qira::net::Bytes& message);
    // The connection ended, failed, or broke the framing rules.
    void ConnectionEnded(const QString& reason);

private:
    struct Address {
        sockaddr_storage storage{};
        socklen_t length = 0;
    };

    void ConnectToNextAddress();
    void OnConnectFinished();
    void OnReadable();
    void OnWritable();
    void WritePending();
    // Queues every whole message the socket holds; returns why the
    // connection ended when it did.
    std::optional<QString> ReadReceivedBytes();
    void EndConnection(const QString& reason);
    void CloseSocket();
    // Deliveries run from the event loop, one message (or the end) each, so
    // that each can run inside an earlier handler's nested event loop.
    void PostDelivery();
    void DeliverNext();

    int socket_ = -1;
    // Children of this object: a notifier may be dropped from inside its own
    // signal, so it is deleted later, or with this object at the latest.
    QPointer<QSocketNotifier> readable_;
    QPointer<QSocketNotifier> writable_;
    std::vector<Address> addresses_;  // still to try, in order
    QString lastError_;
    bool connected_ = false;
    net::Bytes pending_;  // framed bytes not yet written
    net::FrameDecoder decoder_;
    bool ended_ = false;
    std::deque<net::Bytes> inbox_;
    std::optional<QString> endReason_;  // reported once the inbox is empty
    bool deliveryPosted_ = false;
};

}  // namespace qira::platform
