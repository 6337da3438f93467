#pragma once

#include <QHostAddress>
#include <QObject>
#include <QSocketNotifier>
#include <QTcpSocket>
#include <QTimer>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "net/frame_codec.h"
#include "server/core/peer.h"
#include "server/core/request_guard.h"

namespace qira::server {

class Lobby;
class TcpConnection;

// Output of all connections, sent once per turn of the event loop: what one
// turn delivers to a connection leaves in one write, and the socket's write
// notifier is switched on only while the kernel cannot take everything.
class OutputBatch final : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // `connection` has output waiting; the batch goes out after the current
    // event is handled.
    void Add(TcpConnection& connection);
    void Forget(TcpConnection& connection);
    void SendAll();

private:
    std::vector<TcpConnection*> waiting_;
    bool posted_ = false;
};

// The key under which connections from one place are counted: the IPv4
// address (also one mapped into IPv6), or the IPv6 /64, which one subscriber
// or one machine usually holds whole.
std::string AddressGroup(const QHostAddress& address);

// What the half-written frames of all connections hold together: one more
// byte beyond the cap closes the connection that would add it.
class HalfFrameBudget {
public:
    explicit HalfFrameBudget(std::size_t cap) : cap_(cap) {}
    // A connection's half frame goes from `before` to `after` bytes; false,
    // and nothing changes, when that would take the total beyond the cap.
    bool Change(std::size_t before, std::size_t after) {
        const std::size_t total = held_ - before + after;
        if (after > before && total > cap_) return false;
        held_ = total;
        return true;
    }
    std::size_t held() const { return held_; }
    std::size_t cap() const { return cap_; }

private:
    std::size_t cap_;
    std::size_t held_ = 0;
};

// One client's TCP connection: frames in both directions, the hello frame
// first, then messages handed to the lobby.
class TcpConnection final : public QObject, public Peer {
    Q_OBJECT
public:
    TcpConnection(Lobby& lobby, HalfFrameBudget& halfFrames, OutputBatch& batch, QTcpSocket* socket,
                  QObject* parent);
    ~TcpConnection() override;

    void Deliver(const net::Bytes& message) override;
    void Disconnect() override;
    std::string Describe() const override { return address_; }
    // Sends what this turn delivered; what the kernel does not take waits in
    // the socket's own buffer, behind which later output queues.
    void SendWaiting();

signals:
    void Ended(TcpConnection* connection);

private:
    void OnReadyRead();
    void OnMessage(std::span<const std::uint8_t> message);
    void OnDisconnected();
    // A deadline ran out; the connection is closed unless its bytes wait unread.
    void TimeOut(QTimer& deadline, const std::string& what);
    std::size_t UnreadBytes() const;
    // Counts the half frame the decoder now holds; false when the budget
    // cannot take it.
    bool AccountHalfFrame();
    void ReleaseHalfFrame();
    void LeaveBatch();
    // Drops the connection and everything still to send.
    void CutOff();

    Lobby& lobby_;
    HalfFrameBudget& halfFrames_;
    OutputBatch& batch_;
    std::size_t halfFrameBytes_ = 0;  // what this connection counts in the budget
    net::Bytes waiting_;              // framed output of this turn
    bool inBatch_ = false;
    QTcpSocket* socket_;  // a child of this object
    net::FrameDecoder decoder_;
    std::string address_;
    int messagesSeen_ = 0;  // the hello and the entry come first
    QTimer entryDeadline_;
    QTimer frameDeadline_;
    bool ended_ = false;
    bool cutOff_ = false;
};

// A listening socket's descriptor, closed with its owner.
class ListeningDescriptor {
public:
    ListeningDescriptor() = default;
    explicit ListeningDescriptor(int fd) : fd_(fd) {}
    ListeningDescriptor(ListeningDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    ListeningDescriptor& operator=(ListeningDescriptor&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    ~ListeningDescriptor();

    int get() const { return fd_; }

private:
    int fd_ = -1;
};

// Accepts connections and keeps them until they end.
//
// The listening socket is its own rather than a QTcpServer's: QTcpServer
// keeps the first accept error its socket engine ever saw, so once the
// backlog has been drained (a "try again") it reports running out of
// descriptors as "try again" too and the server would spin on accept, and
// once it has run out it reports every drained backlog as running out.
class TcpServer final : public QObject {
    Q_OBJECT
public:
    TcpServer(Lobby& lobby, QObject* parent = nullptr);
    bool Listen(const QHostAddress& address, quint16 port);
    quint16 Port() const { return port_; }
    QString ErrorText() const { return errorText_; }
    std::size_t ConnectionCount() const { return connections_.size(); }

private:
    void AcceptWhatIsWaiting();
    void Admit(int descriptor);
    // Why a new connection is turned away, or nothing.
    std::optional<std::string> Refusal(const QTcpSocket& socket) const;
    void PauseAccepting(const std::string& why);
    // Connections turned away are logged within a rate, the rest counted.
    void LogTurnedAway(const std::string& line);

    Lobby& lobby_;
    HalfFrameBudget halfFrames_;  // outlives the connections
    OutputBatch batch_;           // outlives the connections
    std::map<TcpConnection*, std::unique_ptr<TcpConnection>> connections_;
    std::map<std::string, std::size_t> perAddress_;
    std::size_t maxConnections_ = 0;
    ListeningDescriptor listening_;
    std::unique_ptr<QSocketNotifier> acceptNotifier_;  // destroyed before the descriptor closes
    QTimer resumeAccepting_;
    QTimer returnMemory_;
    RateBucket turnedAwayLog_{20, Milliseconds{1'000}};
    std::uint64_t turnedAwayUnlogged_ = 0;
    quint16 port_ = 0;
    QString errorText_;
};

}  // namespace qira::server
