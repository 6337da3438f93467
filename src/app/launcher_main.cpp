// qira-launch: plays the lobby's part on one machine. It starts a local
// qira-server on a free loopback port and then the client with the nine
// launch tokens; closing the client stops the server. When the table sends the
// player away (for example after not pressing start in time), a small window
// offers another game at a new table on the same server; when the server
// cannot be reached or the connection breaks, it says so and offers to connect
// again (a local server that ended is started again first).
//   qira-launch              a local server with computer players
//   qira-launch HOST PORT    join a server elsewhere, for example on a LAN
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QProcess>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <iostream>
#include <memory>
#include <string>

#include <signal.h>
#include <sys/prctl.h>

#include "app/client_end_window.h"
#include "launch/client_end.h"
#include "launch/client_exit.h"
#include "launch/command_line.h"
#include "launch/exit_note.h"
#include "launch/launch_token.h"
#include "qira_build.h"

namespace {

constexpr const char* kGameTitle = "Qira麻将";
constexpr const char* kLevelTable =
    "长工_100`短工_200`佃农_300`贫农_400`中农_500`富农_600`地主_700`恶霸_800";
constexpr const char* kPointsMode = "1";

constexpr const char* kHelpText =
    "Usage: qira-launch [HOST PORT]\n"
    "Starts a game of Qira Mahjong. Without arguments it starts a local qira-server with\n"
    "computer players on a free loopback port and then the client; closing the client\n"
    "stops the server. With HOST and PORT it joins a server elsewhere, for example on a LAN.\n"
    "The user name is $QIRA_USER, else $USER.\n"
    "\n"
    "When the server cannot be reached or the connection breaks, a small window says so\n"
    "and offers to connect again: the new client has the same name and hello secret and\n"
    "takes the chair back while the hand runs. The exit status is 0, or the client's\n"
    "when it failed: 4 the connection broke, 5 the server could not be reached.\n"
    "\n"
    "Options:\n"
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

qira::launch::ClientEnd RunClient(const QString& dir, const QString& host, const QString& port) {
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
                  host, port, kGameTitle, kLevelTable, "-", "-", UserName(), kPointsMode});
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
    explicit LocalServer(QString dir) : dir_(std::move(dir)) {}
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
        process_->start(dir_ + "/qira-server",
                        {"--listen", "127.0.0.1:0", "--print-port", "--bot-wait", "0"});
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
    std::unique_ptr<QProcess> process_;
    QString port_;
};

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
    if (args.size() == 2)
        return qira::launch::RunClientsUntilDone([&] { return RunClient(dir, args[0], args[1]); },
                                                 Ask);
    if (!args.isEmpty()) {
        std::cerr << "usage: qira-launch [HOST PORT]\n";
        return 2;
    }

    LocalServer server(dir);
    if (!server.Start()) return 1;
    return qira::launch::RunClientsUntilDone(
        [&]() -> qira::launch::ClientEnd {
            if (!server.Running() && !server.Start()) return {};
            return RunClient(dir, "127.0.0.1", server.port());
        },
        Ask);
}
