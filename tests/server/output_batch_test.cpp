// A connection's output: what one turn of the loop delivers leaves together
// at the turn's end, in order and past the socket's own buffer; a peer that
// stops reading is still cut off at the output cap.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTcpServer>
#include <algorithm>

#include "net/frame_codec.h"
#include "server/core/lobby.h"
#include "server/qt/qt_scheduler.h"
#include "server/qt/tcp_server.h"

namespace qira::server {
namespace {

// A server-side connection whose far end is a plain descriptor the test
// reads, or does not.
class ConnectionOverLoopback : public ::testing::Test {
protected:
    void Open(std::size_t outputCap) {
        ServerConfig config;
        config.log = true;
        config.limits.outputCapBytes = outputCap;
        lobby_ = std::make_unique<Lobby>(scheduler_, stats_, config,
                                         [this](const std::string& line) { log_.push_back(line); });
        ASSERT_TRUE(listener_.listen(QHostAddress::LocalHost));
        far_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int small = 4096;
        ::setsockopt(far_, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(listener_.serverPort());
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(::connect(far_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ASSERT_TRUE(listener_.waitForNewConnection(5000));
        socket_ = listener_.nextPendingConnection();
        connection_ = std::make_unique<TcpConnection>(*lobby_, budget_, batch_, socket_, nullptr);
    }
    void TearDown() override {
        if (far_ >= 0) ::close(far_);
    }
    std::string ReadWaiting() const {
        std::string got(1 << 16, '\0');
        const auto n = ::recv(far_, got.data(), got.size(), MSG_DONTWAIT);
        got.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        return got;
    }
    bool Logged(const std::string& part) const {
        return std::any_of(log_.begin(), log_.end(), [&](const std::string& line) {
            return line.find(part) != std::string::npos;
        });
    }

    QtScheduler scheduler_;
    MemoryStatsStore stats_;
    std::vector<std::string> log_;
    std::unique_ptr<Lobby> lobby_;
    HalfFrameBudget budget_{1 << 20};
    OutputBatch batch_;
    QTcpServer listener_;
    QTcpSocket* socket_ = nullptr;  // owned by the connection
    std::unique_ptr<TcpConnection> connection_;
    int far_ = -1;
};

TEST_F(ConnectionOverLoopback, MessagesOfOneTurnLeaveTogetherAtItsEndInOrder) {
    Open(64 * 1024);
    std::string expected;
    for (const std::string text : {"first", "second", "third"}) {
        const net::Bytes message(text.begin(), text.end());
        connection_->Deliver(message);
        const auto frame = net::FrameMessage(message);
        expected.append(frame.begin(), frame.end());
    }
    EXPECT_EQ(ReadWaiting(), "") << "nothing leaves during the turn";
    QCoreApplication::processEvents();
    EXPECT_EQ(socket_->bytesToWrite(), 0) << "straight to the kernel";
    std::string got;
    for (int i = 0; i < 100 && got.size() < expected.size(); ++i) {
        got += ReadWaiting();
        if (got.size() < expected.size()) ::usleep(1000);
    }
    EXPECT_EQ(got, expected);
}

TEST_F(ConnectionOverLoopback, APeerThatStopsReadingIsCutOffAtTheOutputCap) {
    Open(64 * 1024);
    const net::Bytes message(1000, 'x');
    int delivered = 0;
    while (delivered < 20'000 && !Logged("client does not read")) {
        connection_->Deliver(message);
        if (++delivered % 10 == 0) QCoreApplication::processEvents();
    }
    EXPECT_TRUE(Logged("client does not read")) << delivered << " messages delivered";
    // Beyond the kernel's buffers, no more than the cap piled up.
    EXPECT_LT(delivered, 5'000);
    QCoreApplication::processEvents();
    connection_->Deliver(message);  // after the end: nothing happens
}

}  // namespace
}  // namespace qira::server
