// qira-launch: plays the lobby's part on one machine. It starts a local
// qira-server on a free loopback port and then the client with the nine
// launch tokens; closing the client stops the server. When the table sends the
// player away (for example after not pressing start in time), a small window
// offers another game at a new table on the same server.
//   qira-launch              a local server with computer players
//   qira-launch HOST PORT    join a server elsewhere, for example on a LAN
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QProcess>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QTemporaryDir>
#include <iostream>

#include <signal.h>
#include <sys/prctl.h>

#include "launch/command_line.h"
#include "launch/exit_note.h"
#include "launch/launch_token.h"
#include "launch/play_again.h"
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

// The client's exit status, or nothing when it could not start or crashed;
// `note` receives what the client said about why it ended.
std::optional<int> RunClient(const QString& dir, const QString& host, const QString& port,
                             QString& note) {
    QTemporaryDir noteFolder;
    const QString notePath = noteFolder.filePath(QStringLiteral("exit-note"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(qira::launch::kExitNoteVariable), notePath);
    QProcess client;
    client.setProcessEnvironment(environment);
    client.setProcessChannelMode(QProcess::ForwardedChannels);
    EndWithTheLauncher(client);
    client.start(dir + "/qira-client",
                 {QString::fromUtf8(qira::launch::kLaunchToken.data(),
                                    static_cast<int>(qira::launch::kLaunchToken.size())),
                  host, port, kGameTitle, kLevelTable, "-", "-", UserName(), kPointsMode});
    if (!client.waitForStarted(10'000)) {
        std::cerr << "qira-launch: cannot start " << (dir + "/qira-client").toStdString() << '\n';
        return std::nullopt;
    }
    client.waitForFinished(-1);
    note = QString::fromStdString(qira::launch::ReadExitNote(notePath.toStdString()));
    if (client.exitStatus() != QProcess::NormalExit) return std::nullopt;
    return client.exitCode();
}

// `why`: the client's own words on why the table sent the player away and
// what it cost.
qira::launch::PlayerChoice AskPlayAgain(const QString& why) {
    QMessageBox box(QMessageBox::Information, QString::fromUtf8(kGameTitle),
                    QStringLiteral("你已离开牌桌"));
    box.setInformativeText(why);
    QPushButton* again = box.addButton(QStringLiteral("再来一局"), QMessageBox::AcceptRole);
    QPushButton* quit = box.addButton(QStringLiteral("退出"), QMessageBox::RejectRole);
    box.setDefaultButton(again);
    box.setEscapeButton(quit);
    box.exec();
    return box.clickedButton() == again ? qira::launch::PlayerChoice::PlayAgain
                                        : qira::launch::PlayerChoice::Quit;
}

int PlayAt(const QString& dir, const QString& host, const QString& port) {
    QString note;
    return qira::launch::RunClientsUntilDone([&] { return RunClient(dir, host, port, note); },
                                             [&] { return AskPlayAgain(note); });
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
    if (args.size() == 2) return PlayAt(dir, args[0], args[1]);
    if (!args.isEmpty()) {
        std::cerr << "usage: qira-launch [HOST PORT]\n";
        return 2;
    }

    QProcess server;
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    EndWithTheLauncher(server);
    server.start(dir + "/qira-server",
                 {"--listen", "127.0.0.1:0", "--print-port", "--bot-wait", "0"});
    if (!server.waitForStarted(10'000)) {
        std::cerr << "qira-launch: cannot start " << (dir + "/qira-server").toStdString() << '\n';
        return 1;
    }
    QString port;
    while (port.isEmpty() && server.state() == QProcess::Running) {
        if (!server.canReadLine() && !server.waitForReadyRead(10'000)) break;
        port = QString::fromUtf8(server.readLine()).trimmed();
    }
    if (port.isEmpty() || port.toUInt() == 0) {
        std::cerr << "qira-launch: the server did not start listening\n";
        server.kill();
        server.waitForFinished(3000);
        return 1;
    }
    const int status = PlayAt(dir, "127.0.0.1", port);
    server.terminate();
    if (!server.waitForFinished(5000)) {
        server.kill();
        server.waitForFinished(3000);
    }
    return status;
}
