// The server's event loop on epoll, on a thread of its own: timers in order
// of their deadlines, queued calls and deferred deletes, and sockets that
// carry a conversation to its end.
#include "server/qt/epoll_dispatcher.h"

#include <gtest/gtest.h>

#include <QEventLoop>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <memory>
#include <vector>

namespace qira::server {
namespace {

// Runs `body` on a thread whose loop is an EpollDispatcher, until it quits the loop.
template <typename Body>
void OnEpollLoop(Body body) {
    std::unique_ptr<QThread> thread(QThread::create([&] {
        QEventLoop loop;
        body(loop);
        loop.exec();
    }));
    thread->setEventDispatcher(std::make_unique<EpollDispatcher>().release());
    thread->start();
    ASSERT_TRUE(thread->wait(QDeadlineTimer(60'000)));
}

TEST(EpollLoop, TimersFireByDeadlineOnceOrRepeatedlyAndNotWhenStopped) {
    std::vector<int> fired;
    int ticks = 0;
    OnEpollLoop([&](QEventLoop& loop) {
        for (int delay : {30, 0, 20, 10})
            QTimer::singleShot(delay, [&, delay] { fired.push_back(delay); });
        auto* stopped = new QTimer(&loop);
        QObject::connect(stopped, &QTimer::timeout, [&] { fired.push_back(-1); });
        stopped->start(5);
        stopped->stop();
        auto* periodic = new QTimer(&loop);
        QObject::connect(periodic, &QTimer::timeout, [&, periodic] {
            if (++ticks < 5) return;
            periodic->stop();
            // Due after every single shot above, however late this tick came.
            QTimer::singleShot(40, &loop, &QEventLoop::quit);
        });
        periodic->start(2);
    });
    EXPECT_EQ(fired, (std::vector<int>{0, 10, 20, 30}));
    EXPECT_EQ(ticks, 5);
}

TEST(EpollLoop, QueuedCallsAndDeferredDeletesRun) {
    int calls = 0;
    bool deleted = false;
    OnEpollLoop([&](QEventLoop& loop) {
        for (int i = 0; i < 100; ++i)
            QMetaObject::invokeMethod(
                &loop, [&] { ++calls; }, Qt::QueuedConnection);
        auto* doomed = new QObject;
        QObject::connect(doomed, &QObject::destroyed, [&] { deleted = true; });
        doomed->deleteLater();
        QMetaObject::invokeMethod(
            &loop, [&] { QTimer::singleShot(0, &loop, &QEventLoop::quit); }, Qt::QueuedConnection);
    });
    EXPECT_EQ(calls, 100);
    EXPECT_TRUE(deleted);
}

// Twenty clients each send a thousand numbered lines to an echo server and
// read them back; then both sides close.
TEST(EpollLoop, SocketsCarryManyConversationsToTheirEnd) {
    constexpr int kClients = 20;
    constexpr int kLines = 1000;
    std::vector<int> echoed(kClients, 0);
    int closed = 0;
    OnEpollLoop([&](QEventLoop& loop) {
        auto* server = new QTcpServer(&loop);
        ASSERT_TRUE(server->listen(QHostAddress::LocalHost, 0));
        QObject::connect(server, &QTcpServer::newConnection, [server] {
            while (QTcpSocket* peer = server->nextPendingConnection()) {
                QObject::connect(peer, &QTcpSocket::readyRead,
                                 [peer] { peer->write(peer->readAll()); });
                QObject::connect(peer, &QTcpSocket::disconnected, peer, &QObject::deleteLater);
            }
        });
        for (int c = 0; c < kClients; ++c) {
            auto* client = new QTcpSocket(&loop);
            auto buffer = std::make_shared<QByteArray>();
            QObject::connect(client, &QTcpSocket::connected, [client] {
                for (int i = 0; i < kLines; ++i) client->write(QByteArray::number(i) + '\n');
            });
            QObject::connect(client, &QTcpSocket::readyRead, [&, c, client, buffer] {
                buffer->append(client->readAll());
                while (buffer->contains('\n')) {
                    const int end = static_cast<int>(buffer->indexOf('\n'));
                    EXPECT_EQ(buffer->left(end).toInt(), echoed[c]);
                    buffer->remove(0, end + 1);
                    if (++echoed[c] == kLines) client->disconnectFromHost();
                }
            });
            QObject::connect(client, &QTcpSocket::disconnected, [&] {
                if (++closed == kClients) loop.quit();
            });
            client->connectToHost(QHostAddress::LocalHost, server->serverPort());
        }
    });
    EXPECT_EQ(closed, kClients);
    for (int c = 0; c < kClients; ++c) EXPECT_EQ(echoed[c], kLines) << "client " << c;
}

}  // namespace
}  // namespace qira::server
