// qira-launch: plays the lobby's part on one machine. Without arguments it
// shows the start window (app/start_window.h): a local game against computer
// players, joining a server, the player's hands and record. A local game
// starts qira-server on a free loopback port and then the client with the
// nine launch tokens; closing the client stops the server, and the start
// window comes back. When the table sends the player away, a small window
// offers another game at a new table on the same server; when the server
// cannot be reached or the connection breaks, it says so and offers to connect
// again (a local server that ended is started again first).
//   qira-launch              the start window
//   qira-launch --local      a local game at once, as scripts do
//   qira-launch HOST PORT    join a server elsewhere, for example on a LAN
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include <signal.h>
#include <sys/prctl.h>

#include "app/client_end_window.h"
#include "app/start_window.h"
#include "launch/client_end.h"
#include "launch/client_exit.h"
#include "launch/command_line.h"
#include "launch/exit_note.h"
#include "launch/launch_token.h"
#include "launch/start_settings.h"
#include "net/front_door.h"
#include "net/hello_secret.h"
#include "net/protocol.h"
#include "qira_build.h"

namespace {

constexpr const char* kGameTitle = "Qira麻将";
constexpr const char* kLevelTable =
    "长工_100`短工_200`佃农_300`贫农_400`中农_500`富农_600`地主_700`恶霸_800";
constexpr const char* kPointsMode = "1";

constexpr const char* kHelpText =
    "Usage: qira-launch [--local | HOST PORT | --front-door HOST:PORT]\n"
    "Starts a game of Qira Mahjong.\n"
    "\n"
    "Without arguments it shows the start window, the desktop entry's way in. It has\n"
    "the player's name and four tabs. The local game tab starts a game against computer\n"
    "players of level 1 to 4 on a local qira-server. The join tab joins a server by\n"
    "host and port, lists the last servers used (most recent first) and names a server\n"
    "that does not answer, with the reason, in the window; with 经由前门 checked the\n"
    "address is a front door, asked as --front-door does. The hands tab lists the\n"
    "player's hands kept by the local server, newest first (date, table, the others,\n"
    "the result from the player's side, points); Enter opens the chosen one in\n"
    "qira-replay from the player's seat, and its review button with each of the\n"
    "player's decisions set beside the level 4 computer player's. The record tab\n"
    "draws the player's points after each hand, win rate, self-drawn share, deal-in\n"
    "rate and average points won and\n"
    "lost, by the computer players' level. The name, the level, the servers and the tab\n"
    "are remembered in $XDG_CONFIG_HOME/qira/launcher.conf; the local server keeps its\n"
    "hands in $XDG_DATA_HOME/qira/server.sqlite. Leaving the table brings the start\n"
    "window back; closing it ends the launcher with status 0.\n"
    "\n"
    "--local starts a local game at once (level 2, the name $QIRA_USER, else $USER),\n"
    "as scripts do; HOST PORT joins that server at once. Closing the client stops a\n"
    "local server.\n"
    "\n"
    "When the server cannot be reached or the connection breaks, a small window says so\n"
    "and offers to connect again: the new client has the same name and hello secret and\n"
    "takes the chair back while the hand runs. With --local, HOST PORT or --front-door\n"
    "the exit status is 0, or the client's when it failed: 4 the connection broke,\n"
    "5 the server (or the front door) could not be reached.\n"
    "\n"
    "Options:\n"
    "  --local    Start a local game without the start window.\n"
    "  --front-door HOST:PORT\n"
    "             Ask the front door of a group of servers which one to join, then\n"
    "             join it; asked again after a broken connection.\n"
    "  --help     Show this help and exit.\n"
    "  --version  Show the version and exit.\n";

// The programs the launcher starts end with it, however it ends (even
// killed), so that no server is left running behind a closed game.
void EndWithTheLauncher(QProcess& process) {
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

// The client splits its command line on blanks, so a name never carries one.
QString UserName() {
    const auto env = QProcessEnvironment::systemEnvironment();
    QString name = env.value("QIRA_USER", env.value("USER", "玩家"));
    name.replace(' ', '_').replace('\t', '_').replace('`', '_');
    return name.isEmpty() ? QString("玩家") : name;
}

// Where each client writes why its connection failed or broke
// (launch/client_exit.h); read and removed when it ends.
QString EndReportPath() {
    static QTemporaryDir folder(QDir::tempPath() + "/qira-launch-XXXXXX");
    return folder.filePath("end-report");
}

qira::launch::ClientEnd RunClient(const QString& dir, const QString& host, const QString& port,
                                  const QString& name) {
    const QString report = EndReportPath();
    QFile::remove(report);
    qira::launch::ClientEnd end;
    end.serverAddress = qira::launch::ServerAddress(host.toStdString(), port.toStdString());
    const QString note = report + "-note";
    QFile::remove(note);
    QProcess client;
    client.setProcessChannelMode(QProcess::ForwardedChannels);
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert(qira::launch::kEndReportVariable, report);
    environment.insert(QString::fromLatin1(qira::launch::kExitNoteVariable), note);
    client.setProcessEnvironment(environment);
    EndWithTheLauncher(client);
    client.start(dir + "/qira-client",
                 {QString::fromUtf8(qira::launch::kLaunchToken.data(),
                                    static_cast<int>(qira::launch::kLaunchToken.size())),
                  host, port, kGameTitle, kLevelTable, "-", "-", name, kPointsMode});
    if (!client.waitForStarted(10'000)) {
        std::cerr << "qira-launch: cannot start " << (dir + "/qira-client").toStdString() << '\n';
        return end;
    }
    client.waitForFinished(-1);
    if (client.exitStatus() == QProcess::NormalExit) end.status = client.exitCode();
    end.reason = qira::launch::ReadEndReport(report.toStdString());
    end.note = qira::launch::ReadExitNote(note.toStdString());
    QFile::remove(report);
    QFile::remove(note);
    return end;
}

// The client's hello secret (qira-client keeps it in its configuration
// folder), created now when the client has none yet, so that the front door
// and the server see the same one.
std::string ClientHelloSecret() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return qira::net::LoadOrCreateHelloSecret((folder + "/qira-client/hello-secret").toStdString());
}

// The server the front door at `door` ("HOST:PORT") sends `name` to, as
// host and port; nothing when the door cannot be asked or knows no server.
std::optional<std::pair<QString, QString>> AskFrontDoor(const QString& door, const QString& name) {
    const int colon = door.lastIndexOf(':');
    const auto request = qira::net::FrontDoorRequest(name.toStdString(), ClientHelloSecret());
    if (colon <= 0 || !request) return std::nullopt;
    QTcpSocket socket;
    socket.connectToHost(door.left(colon), door.mid(colon + 1).toUShort());
    if (!socket.waitForConnected(5'000)) return std::nullopt;
    socket.write(QByteArray::fromStdString(*request));
    while (!socket.canReadLine() && socket.waitForReadyRead(10'000)) {
    }
    const auto answer = qira::net::ParseFrontDoorAnswer(
        socket.readLine(qira::net::front_door::kLongestLine + 1).toStdString());
    if (!answer || answer->empty()) return std::nullopt;
    const QString address = QString::fromStdString(*answer);
    const int split = address.lastIndexOf(':');
    if (split <= 0) return std::nullopt;
    return std::pair(address.left(split), address.mid(split + 1));
}

// Every game (the first and each one after a broken connection) asks the
// front door anew: a server that died is no longer offered.
qira::launch::ClientEnd RunClientThroughDoor(const QString& dir, const QString& door,
                                             const QString& name) {
    const auto server = AskFrontDoor(door, name);
    if (server) return RunClient(dir, server->first, server->second, name);
    std::cerr << "qira-launch: the front door " << door.toStdString()
              << " named no server to join\n";
    qira::launch::ClientEnd end;
    end.status = qira::launch::StatusOf(qira::launch::ClientExit::ServerUnreachable);
    end.serverAddress = door.toStdString();
    return end;
}

// For tests of the whole program without a person at the screen: with
// QIRA_LAUNCH_TEST_HOOK set, each window prints its text and buttons on
// standard output and then presses the key named on the next line of
// standard input ("Return" or "Escape").
void AnswerForTheTest(qira::app::ClientEndWindow& window) {
    if (!qEnvironmentVariableIsSet("QIRA_LAUNCH_TEST_HOOK")) return;
    std::cout << "window: " << window.text().toStdString() << " ["
              << window.againButton().accessibleName().toStdString() << "] ["
              << window.quitButton().accessibleName().toStdString() << "]" << std::endl;
    QTimer::singleShot(0, &window, [&window] {
        std::string name;
        std::getline(std::cin, name);
        QKeyEvent press(QEvent::KeyPress, name == "Return" ? Qt::Key_Return : Qt::Key_Escape,
                        Qt::NoModifier);
        QApplication::sendEvent(window.focusWidget() ? window.focusWidget() : &window, &press);
    });
}

qira::launch::PlayerChoice Ask(const qira::launch::EndNotice& notice) {
    std::cerr << "qira-launch: " << notice.text << '\n';
    qira::app::ClientEndWindow window(notice);
    AnswerForTheTest(window);
    window.exec();
    return window.choice();
}

// The local room server: started again when it has ended (it crashed, or
// was stopped) and the player asks to connect again.
class LocalServer {
public:
    // `options`: more of qira-server's options (the level, the database).
    explicit LocalServer(QString dir, QStringList options = {})
        : dir_(std::move(dir)), options_(std::move(options)) {}
    ~LocalServer() { Stop(); }

    // Looks at the process itself: the launcher's loop may not have run since
    // it ended.
    bool Running() const {
        return process_ && process_->state() == QProcess::Running && !process_->waitForFinished(0);
    }
    const QString& port() const { return port_; }

    bool Start() {
        Stop();
        process_ = std::make_unique<QProcess>();
        process_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        EndWithTheLauncher(*process_);
        process_->start(
            dir_ + "/qira-server",
            QStringList{"--listen", "127.0.0.1:0", "--print-port", "--bot-wait", "0"} + options_);
        if (!process_->waitForStarted(10'000)) {
            std::cerr << "qira-launch: cannot start " << (dir_ + "/qira-server").toStdString()
                      << '\n';
            return false;
        }
        port_.clear();
        while (port_.isEmpty() && Running()) {
            if (!process_->canReadLine() && !process_->waitForReadyRead(10'000)) break;
            port_ = QString::fromUtf8(process_->readLine()).trimmed();
        }
        if (port_.isEmpty() || port_.toUInt() == 0) {
            std::cerr << "qira-launch: the server did not start listening\n";
            Stop();
            return false;
        }
        return true;
    }

    void Stop() {
        if (!process_) return;
        process_->terminate();
        if (!process_->waitForFinished(5000)) {
            process_->kill();
            process_->waitForFinished(3000);
        }
        process_.reset();
    }

private:
    QString dir_;
    QStringList options_;
    std::unique_ptr<QProcess> process_;
    QString port_;
};

int PlayLocally(const QString& dir, const QString& name, QStringList serverOptions = {}) {
    LocalServer server(dir, std::move(serverOptions));
    if (!server.Start()) return 1;
    return qira::launch::RunClientsUntilDone(
        [&]() -> qira::launch::ClientEnd {
            if (!server.Running() && !server.Start()) return {};
            return RunClient(dir, "127.0.0.1", server.port(), name);
        },
        Ask);
}

void NextTestCommand(qira::app::StartWindow& window);

// The start window under QIRA_LAUNCH_TEST_HOOK: it prints "start: NAME [TAB]"
// and then follows the lines of standard input: "local", "join HOST PORT"
// (a server that does not answer prints "start-error: " and the window's
// text, and the next line is read), anything else closes the window.
void DriveForTheTest(qira::app::StartWindow& window) {
    if (!qEnvironmentVariableIsSet("QIRA_LAUNCH_TEST_HOOK")) return;
    std::cout << "start: " << window.nameEdit().text().toStdString() << " ["
              << window.tabs().tabText(window.tabs().currentIndex()).toStdString() << "]"
              << std::endl;
    QTimer::singleShot(0, &window, [&window] { NextTestCommand(window); });
}

void NextTestCommand(qira::app::StartWindow& window) {
    std::string line;
    std::getline(std::cin, line);
    if (line == "local") {
        window.localButton().click();
    } else if (line.rfind("join ", 0) == 0) {
        const QStringList parts = QString::fromStdString(line).split(' ');
        window.tabs().setCurrentIndex(1);
        window.hostBox().setEditText(parts.value(1));
        window.portBox().setValue(parts.value(2).toInt());
        window.joinButton().click();
        auto* watch = new QTimer(&window);
        QObject::connect(watch, &QTimer::timeout, &window, [&window, watch] {
            if (!window.joinButton().isEnabled()) return;
            watch->deleteLater();
            std::cout << "start-error: " << window.joinStatus().text().toStdString() << std::endl;
            NextTestCommand(window);
        });
        watch->start(50);
    } else {
        window.reject();
    }
}

// The start window until the player closes it; each game it starts returns
// to it.
int RunStartWindow(const QString& dir) {
    using qira::app::StartWindow;
    const std::string settingsPath = qira::launch::SettingsPath();
    auto settings = qira::launch::LoadSettings(settingsPath);
    if (settings.name.empty()) settings.name = UserName().toStdString();
    const QString database = QString::fromStdString(qira::launch::LocalDatabasePath());
    for (;;) {
        StartWindow window(settings, {database, dir + "/qira-replay"});
        DriveForTheTest(window);
        window.exec();
        settings = window.settings();
        if (!qira::launch::SaveSettings(settingsPath, settings))
            std::cerr << "qira-launch: cannot write " << settingsPath << '\n';
        const QString name =
            settings.name.empty() ? UserName() : QString::fromStdString(settings.name);
        if (window.choice() == StartWindow::Choice::None) return 0;
        if (window.choice() == StartWindow::Choice::LocalGame) {
            PlayLocally(dir, name,
                        {"--bot-level", QString::number(settings.level), "--db", database});
        } else {
            const auto& server = window.server();
            const QString host = QString::fromStdString(server.host);
            const QString port = QString::number(server.port);
            qira::launch::RunClientsUntilDone(
                [&] {
                    return server.frontDoor ? RunClientThroughDoor(dir, host + ":" + port, name)
                                            : RunClient(dir, host, port, name);
                },
                Ask);
        }
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    if (const auto answer = qira::launch::AnswerInformationRequest(
            argc, argv, {"qira-launch", QIRA_VERSION, kHelpText})) {
        std::cout << *answer;
        return 0;
    }
    // A launcher started in the background inherits an ignored SIGINT (and a
    // desktop may have SIGHUP ignored): each of these ends it, and with it the
    // server and the client, as SIGTERM does.
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) ::signal(signalNumber, SIG_DFL);
    QApplication app(argc, argv);
    const QString dir = QApplication::applicationDirPath();
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 2 && args[0] == "--front-door")
        return qira::launch::RunClientsUntilDone(
            [&] { return RunClientThroughDoor(dir, args[1], UserName()); }, Ask);
    if (args.size() == 2)
        return qira::launch::RunClientsUntilDone(
            [&] { return RunClient(dir, args[0], args[1], UserName()); }, Ask);
    if (args == QStringList{"--local"}) return PlayLocally(dir, UserName());
    if (!args.isEmpty()) {
        std::cerr << "usage: qira-launch [--local | HOST PORT | --front-door HOST:PORT]\n";
        return 2;
    }
    return RunStartWindow(dir);
}
