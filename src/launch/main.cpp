// The client's entry: checks the nine launch tokens, opens the main window
// and connects to the room server. The program ends when the main window
// unloads: the user closes it, or the connection ends.
#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <cstdio>

#include "dialogs/user_prefs.h"
#include "launch/command_line.h"
#include "launch/frm_game_main.h"
#include "launch/globals.h"
#include "net/packet.h"
#include "net/requests.h"
#include "platform/fonts.h"
#include "platform/socket_client.h"

namespace {

using namespace qira;

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

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    platform::InstallFontSubstitutions();
    QApplication::setFont(QFont(QStringLiteral("宋体"), 9));
    const auto commandLine = launch::JoinArguments(ProgramArguments(argc, argv));
    const auto result = launch::ParseLaunchTokens(launch::SplitCommandLine(commandLine, 10));
    if (!result.data) return RefuseLaunch(result.error);

    launch::ClientGlobals globals;
    globals.launch = *result.data;
    globals.ResetGlobals(launch::ExecutableFolder());
    dialogs::UserSet preferences = dialogs::LoadUserSet(globals.strAppPath);

    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    launch::FrmGameMain window(globals, screen.size());
    platform::SocketClient socket;

    launch::MainWindowHooks hooks;
    hooks.unloading = [&] {
        globals.blnQuitting = true;
        globals.ResetGlobals(launch::ExecutableFolder());
    };
    window.SetHooks(std::move(hooks));
    QObject::connect(&window, &launch::FrmGameMain::ChatSendRequested,
                     [&](const std::vector<std::string>& fields) {
                         if (const auto chat = net::requests::Chat(fields)) socket.Send(*chat);
                     });

    window.setGeometry(0, 0, screen.width(), screen.height() - 32);
    window.show();

    QObject::connect(&socket, &platform::SocketClient::Connected, [&] {
        if (const auto entry = net::requests::Entry(preferences.bytAllowWatchCards != 0))
            socket.Send(*entry);
    });
    QObject::connect(&socket, &platform::SocketClient::ConnectionEnded, &window,
                     [&](const QString&) { window.UnloadMainWindow(); });
    QObject::connect(&window, &launch::FrmGameMain::Unloaded, &app, &QApplication::quit,
                     Qt::QueuedConnection);

    bool portOk = false;
    const auto port = QString::fromStdString(globals.launch.lngRoomServerPort).toUShort(&portOk);
    socket.ConnectTo(QString::fromStdString(globals.launch.strRoomServerAddr), portOk ? port : 0,
                     globals.strUserName());
    return app.exec();
}
