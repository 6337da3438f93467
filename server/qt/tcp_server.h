#pragma once

#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <map>
#include <memory>

#include "net/frame_codec.h"
#include "server/core/peer.h"

namespace qira::server {

class Lobby;

// One client's TCP connection: frames in both directions, the hello frame
// first, then messages handed to the lobby.
class TcpConnection final : public QObject, public Peer {
    Q_OBJECT
public:
    TcpConnection(Lobby& lobby, QTcpSocket* socket, QObject* parent);
    ~TcpConnection() override;

    void Deliver(const net::Bytes& message) override;
    void Disconnect() override;
    std::string Describe() const override { return address_; }

signals:
    void Ended(TcpConnection* connection);

private:
    void OnReadyRead();
    void OnDisconnected();
    // Drops the connection and everything still to send.
    void CutOff();

    Lobby& lobby_;
    QTcpSocket* socket_;  // a child of this object
    net::FrameDecoder decoder_;
    std::string address_;
    bool helloSeen_ = false;
    bool ended_ = false;
    bool cutOff_ = false;
};

// Accepts connections and keeps them until they end.
class TcpServer final : public QObject {
    Q_OBJECT
public:
    TcpServer(Lobby& lobby, QObject* parent = nullptr);
    bool Listen(const QHostAddress& address, quint16 port);
    quint16 Port() const { return server_.serverPort(); }
    QString ErrorText() const { return server_.errorString(); }
    std::size_t ConnectionCount() const { return connections_.size(); }

private:
    void OnNewConnection();

    Lobby& lobby_;
    QTcpServer server_;
    std::map<TcpConnection*, std::unique_ptr<TcpConnection>> connections_;
};

}  // namespace qira::server
