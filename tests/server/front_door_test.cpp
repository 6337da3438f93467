// Two real servers sharing a throwaway PostgreSQL database, each with a
// front door: where it sends new players, a player coming back, and the
// players of a server that died.
#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <memory>
#include <thread>

#include "harness.h"
#include "net/front_door.h"
#include "postgres_cluster.h"

namespace qira::server::testing {
namespace {

PostgresCluster& Cluster() {
    static PostgresCluster cluster;
    return cluster;
}

// qira-server on a free port of 127.0.0.1 with the shared database.
class SharingServer {
public:
    SharingServer(const std::string& target, bool frontDoor) {
        process_.setStandardErrorFile(dir_.filePath("server.log"));
        QStringList arguments{
            "--listen",   "127.0.0.1:0", "--print-port", "--db", QString::fromStdString(target),
            "--bot-wait", "3600"};
        if (frontDoor)
            arguments << "--front-door-port"
                      << "0";
        process_.start(QStringLiteral(QIRA_SERVER_PATH), arguments);
        for (quint16* port : {&port_, frontDoor ? &door_ : nullptr}) {
            if (!port) continue;
            while (!process_.canReadLine() && process_.waitForReadyRead(10'000)) {
            }
            *port = static_cast<quint16>(process_.readLine().trimmed().toUInt());
        }
    }
    ~SharingServer() { Kill(); }
    void Kill() {
        process_.kill();
        process_.waitForFinished(5'000);
    }
    quint16 port() const { return port_; }
    quint16 door() const { return door_; }
    std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }
    std::string Log() const {
        QFile log(dir_.filePath("server.log"));
        return log.open(QIODevice::ReadOnly) ? log.readAll().toStdString() : std::string();
    }

private:
    QTemporaryDir dir_;
    QProcess process_;
    quint16 port_ = 0;
    quint16 door_ = 0;
};

// The front door's answer ("" for none), or "?" when there is no valid one.
std::string AskDoor(quint16 door, const std::string& name, const std::string& secret) {
    QTcpSocket socket;
    socket.connectToHost("127.0.0.1", door);
    if (!socket.waitForConnected(5'000)) return "?";
    socket.write(QByteArray::fromStdString(*net::FrontDoorRequest(name, secret)));
    while (!socket.canReadLine() && socket.waitForReadyRead(10'000)) {
    }
    return net::ParseFrontDoorAnswer(socket.readLine().toStdString()).value_or("?");
}

std::string Secret(int n) {
    return std::string(31, '0') + std::to_string(n);
}

class FrontDoorTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!PostgresCluster::Installed()) GTEST_SKIP() << Cluster().Problem();
        ASSERT_EQ(Cluster().Problem(), "");
        target = Cluster().NewDatabase();
    }
    std::string Text(const std::string& sql) const {
        const std::unique_ptr<PGconn, void (*)(PGconn*)> conn(PQconnectdb(target.c_str()),
                                                              PQfinish);
        const std::unique_ptr<PGresult, void (*)(PGresult*)> result(PQexec(conn.get(), sql.c_str()),
                                                                    PQclear);
        return PQntuples(result.get()) > 0 ? PQgetvalue(result.get(), 0, 0) : "";
    }
    bool Eventually(const std::string& sql, const std::string& value) const {
        for (int i = 0; i < 100; ++i) {
            if (Text(sql) == value) return true;
            std::this_thread::sleep_for(50ms);
        }
        return false;
    }
    std::string target;
};

TEST_F(FrontDoorTest, SeatsFourAtOneTableRoutesTheReturningAndForgetsTheDead) {
    SharingServer east(target, true);
    ASSERT_NE(east.door(), 0) << east.Log();
    SharingServer west(target, true);
    ASSERT_NE(west.door(), 0) << west.Log();
    ASSERT_TRUE(Eventually("SELECT COUNT(*) FROM servers", "2"));

    std::vector<std::unique_ptr<ScriptedClient>> players;
    for (int i = 0; i < 4; ++i) {
        const std::string name = "p" + std::to_string(i);
        const std::string address = AskDoor(east.door(), name, Secret(i));
        ASSERT_TRUE(address == east.Address() || address == west.Address()) << address;
        players.push_back(std::make_unique<ScriptedClient>(name));
        players.back()->secret = Secret(i);
        const quint16 port = address == east.Address() ? east.port() : west.port();
        ASSERT_TRUE(players.back()->Connect(port));
        ASSERT_TRUE(
            players.back()->PumpUntil([&] { return players.back()->First(130, 2).has_value(); }));
        // The next newcomer is placed once the directory knows this one.
        ASSERT_TRUE(Eventually("SELECT COUNT(*) FROM seats", std::to_string(i + 1)));
    }
    EXPECT_EQ(Text("SELECT COUNT(DISTINCT (server, table_number)) FROM seats"), "1")
        << "the four humans share one table";
    const std::string home = Text("SELECT server FROM seats WHERE name = 'p0'");
    const std::string other = home == east.Address() ? west.Address() : east.Address();

    EXPECT_EQ(AskDoor(east.door(), "newcomer", Secret(9)), other) << "the least loaded";
    EXPECT_EQ(AskDoor(east.door(), "p0", Secret(0)), home) << "back to the chair";
    EXPECT_EQ(AskDoor(east.door(), "p0", Secret(5)), other) << "a wrong secret is a newcomer";

    // The players' server dies; the other's front door stops offering it
    // within seconds.
    SharingServer& dead = home == east.Address() ? east : west;
    SharingServer& alive = home == east.Address() ? west : east;
    dead.Kill();
    const auto killed = std::chrono::steady_clock::now();
    std::string answer;
    while (std::chrono::steady_clock::now() - killed < 15s &&
           (answer = AskDoor(alive.door(), "p0", Secret(0))) == home)
        std::this_thread::sleep_for(200ms);
    EXPECT_EQ(answer, alive.Address()) << "placed anew on the living server";
    EXPECT_LT(std::chrono::steady_clock::now() - killed, 8s);
}

TEST(FrontDoorLines, RefuseWhatIsNotOneWellFormedLine) {
    EXPECT_EQ(net::ParseFrontDoorRequest(*net::FrontDoorRequest("张三", "ab"))->name, "张三");
    EXPECT_FALSE(net::FrontDoorRequest("a\tb", "s"));
    EXPECT_FALSE(net::FrontDoorRequest("", "s"));
    EXPECT_FALSE(net::ParseFrontDoorRequest("WHERE\tname\n"));
    EXPECT_FALSE(net::ParseFrontDoorRequest("WHERE\t\tsecret\n"));
    EXPECT_FALSE(net::ParseFrontDoorRequest("WHERE\t" + std::string(600, 'x') + "\ts\n"));
    EXPECT_EQ(net::ParseFrontDoorAnswer(net::FrontDoorAnswer("h:1")), "h:1");
    EXPECT_EQ(net::ParseFrontDoorAnswer(net::FrontDoorAnswer("")), "");
    EXPECT_FALSE(net::ParseFrontDoorAnswer("SERVER\n"));
    EXPECT_FALSE(net::ParseFrontDoorAnswer("HELLO\tx\n"));
}

}  // namespace
}  // namespace qira::server::testing
