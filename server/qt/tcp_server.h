#pragma once

#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>

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
    void OnMessage(std::span<const std::uint8_t> message);
    void OnDisconnected();
    void TimeOut(const std::string& what);
    // Drops the connection and everything still to send.
    void CutOff();

    Lobby& lobby_;
    QTcpSocket* socket_;  // a child of this object
    net::FrameDecoder decoder_;
    std::string address_;
    int messagesSeen_ = 0;  // the hello and the entry come first
    QTimer entryDeadline_;
    QTimer frameDeadline_;
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
    // Why a new connection is turned away, or nothing.
    std::optional<std::string> Refusal(const QTcpSocket& socket) const;
    void OnAcceptError();

    Lobby& lobby_;
    QTcpServer server_;
    std::map<TcpConnection*, std::unique_ptr<TcpConnection>> connections_;
    std::map<std::string, std::size_t> perAddress_;
    std::size_t maxConnections_ = 0;
};

}  // namespace qira::server
