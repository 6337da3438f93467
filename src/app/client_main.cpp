// The client's entry: checks the nine launch tokens, opens the main window
// and connects to the room server. The program ends when the main window
// unloads: the user closes it, the connection ends, or the session ends it.
#include <malloc.h>
#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string_view>

#include "app/desktop_client.h"
#include "launch/client_exit.h"
#include "launch/command_line.h"
#include "launch/data_folders.h"
#include "launch/exit_note.h"
#include "launch/globals.h"
#include "qira_build.h"
#include "ui/platform/fonts.h"
#include "ui/platform/socket_client.h"

namespace {

using namespace qira;

constexpr std::string_view kHelpText =
    "Usage: qira-client TOKEN HOST PORT TITLE LEVELS EXTRA1 EXTRA2 USER MODE\n"
    "The Qira Mahjong table client. A lobby, or qira-launch on one machine, starts it with\n"
    "nine blank-separated values; it connects to the room server at HOST:PORT.\n"
    "\n"
    "Arguments:\n"
    "  TOKEN     The launch token shared by the lobby and the client.\n"
    "  HOST      The room server's address.\n"
    "  PORT      The room server's port.\n"
    "  TITLE     The game's title.\n"
    "  LEVELS    The level table: title_threshold entries joined by a backquote.\n"
    "  EXTRA1    Reserved; any value without blanks.\n"
    "  EXTRA2    Reserved; any value without blanks.\n"
    "  USER      The user's name.\n"
    "  MODE      The scoring mode: 0 experience, 1 to 255 points.\n"
    "\n"
    "The exit status is 0 when the player closed the window, 1 for a wrong number of\n"
    "values or a bad scoring mode, 2 for a wrong launch token, 3 when the table sent the\n"
    "player away, 4 when the server ended the connection and 5 when the server could\n"
    "not be reached. For 4 and 5 the reason is printed on standard error and, when\n"
    "QIRA_END_REPORT names a file, written to that file as one line.\n"
    "\n"
    "Options:\n"
    "  --help     Show this help and exit.\n"
    "  --version  Show the version and exit.\n";

// On standard error for anyone, and in the note file of a launcher that asked
// for one (launch/exit_note.h), which shows it in its window.
void TellWhyTheTableSentThePlayerAway(const std::string& farewell) {
    if (farewell.empty()) return;
    std::fprintf(stderr, "qira-client: %s\n", farewell.c_str());
    const QByteArray notePath = qgetenv(launch::kExitNoteVariable);
    if (!notePath.isEmpty()) launch::WriteExitNote(notePath.toStdString(), farewell);
}

// The data folder, and where the preferences go.
launch::ClientFolders ClientFolders() {
    return launch::FindClientFolders(launch::ExecutableFolder(), QIRA_DATA_FROM_BIN "/client",
                                     launch::UserConfigHome());
}

// The preferences folder is created when it is the user's configuration
// folder, which may not exist yet.
void CreateSettingsFolder(const launch::ClientFolders& folders) {
    std::error_code ignored;
    std::filesystem::create_directories(folders.settings, ignored);
}

QString SubsetFontFile(const launch::ClientFolders& folders) {
    return QString::fromStdString(folders.data) + QStringLiteral("/Res/") +
           QLatin1String(platform::kSubsetFontFile);
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
    return arguments;
}

// Shown in a message box where a screen exists, and always on standard error.
int RefuseLaunch(launch::LaunchError error) {
    const auto text = launch::LaunchErrorText(error);
    std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) {
        QMessageBox box(
            QMessageBox::Critical, QString::fromUtf8(launch::kLaunchErrorCaption.data()),
            QString::fromUtf8(text.data(), static_cast<int>(text.size())), QMessageBox::Ok);
        box.exec();
    }
    return static_cast<int>(error);
}

// Why the connection failed or broke, on standard error and in the end
// report the launcher reads (launch/client_exit.h).
void ReportConnectionEnd(const launch::LaunchData& launch, launch::ClientExit exit,
                         const QString& reason) {
    if (exit != launch::ClientExit::ConnectionLost && exit != launch::ClientExit::ServerUnreachable)
        return;
    const QByteArray text = reason.toUtf8();
    const QByteArray address =
        QString::fromStdString(launch.strRoomServerAddr + ":" + launch.lngRoomServerPort).toUtf8();
    if (exit == launch::ClientExit::ServerUnreachable)
        std::fprintf(stderr, "qira-client: cannot connect to %s: %s\n", address.constData(),
                     text.constData());
    else
        std::fprintf(stderr, "qira-client: the connection to %s ended: %s\n", address.constData(),
                     text.constData());
    const QByteArray reportFile = qgetenv(launch::kEndReportVariable);
    if (!reportFile.isEmpty() &&
        !launch::WriteEndReport(reportFile.toStdString(), text.toStdString()))
        std::fprintf(stderr, "qira-client: cannot write %s\n", reportFile.constData());
}

}  // namespace

int main(int argc, char** argv) {
    if (const auto answer = launch::AnswerInformationRequest(
            argc, argv, {"qira-client", QIRA_VERSION, kHelpText})) {
        std::fputs(answer->c_str(), stdout);
        return 0;
    }
    // One malloc arena for all threads: Qt's helper threads (X events, D-Bus)
    // allocate little, and an arena of their own each keeps pages for nothing.
    mallopt(M_ARENA_MAX, 1);
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    // Qt's own event loop rather than GLib's: nothing in the client needs
    // GLib sources (the socket, timers, D-Bus and X events are Qt's), and the
    // GLib loop keeps more of the library and the heap in use.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB")) qputenv("QT_NO_GLIB", "1");
    QApplication app(argc, argv);
    const auto folders = ClientFolders();
    platform::InstallFontSubstitutions(SubsetFontFile(folders));
    QApplication::setFont(QFont(QStringLiteral("宋体"), 9));
    const auto commandLine = launch::JoinArguments(ProgramArguments(argc, argv));
    const auto result = launch::ParseLaunchTokens(launch::SplitCommandLine(commandLine, 10));
    if (!result.data) return RefuseLaunch(result.error);

    launch::ClientGlobals globals;
    globals.launch = *result.data;
    CreateSettingsFolder(folders);
    globals.ResetGlobals(folders.data);

    platform::SocketClient socket;
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    app::DesktopClient::Options options;
    options.screenSize = screen.size();
    options.send = [&socket](std::span<const std::uint8_t> message) { socket.Send(message); };
    options.settingsFolder = folders.settings;
    app::DesktopClient client(globals, std::move(options));
    auto& window = client.window();
    auto& session = client.session();

    // The program ends with the main window, whoever closes it.
    QObject::connect(&window, &app::FrmGameMain::Unloaded, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    QObject::connect(&socket, &platform::SocketClient::Connected, &window,
                     [&session] { session.OnConnected(); });
    QObject::connect(&socket, &platform::SocketClient::MessageArrived, &window,
                     [&session](const net::Bytes& message) { session.OnMessage(message); });
    // Reported at once: a wait in an animation ends the program from inside
    // the handler.
    QObject::connect(&socket, &platform::SocketClient::ConnectionEnded, &window,
                     [&session, &window, &globals](const QString& reason) {
                         session.OnConnectionEnded();
                         ReportConnectionEnd(globals.launch, session.exit(), reason);
                         window.UnloadMainWindow();
                     });

    window.setGeometry(0, 0, screen.width(), screen.height() - 32);
    window.show();

    // ConnectRoomServer: the hello frame goes first, then the entry request.
    bool portOk = false;
    const auto port = QString::fromStdString(globals.launch.lngRoomServerPort).toUShort(&portOk);
    socket.ConnectTo(QString::fromStdString(globals.launch.strRoomServerAddr), portOk ? port : 0,
                     globals.strUserName());
    const int status = app.exec();
    TellWhyTheTableSentThePlayerAway(session.farewell());
    return status != 0 ? status : launch::StatusOf(session.exit());
}
