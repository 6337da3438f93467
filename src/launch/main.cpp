// The client's entry: checks the nine launch tokens, opens the main window
// and connects to the room server. The program ends with the connection.
#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QWidget>
#include <cstdio>

#include "launch/command_line.h"
#include "launch/globals.h"
#include "net/packet.h"
#include "net/requests.h"
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
    const auto commandLine = launch::JoinArguments(ProgramArguments(argc, argv));
    const auto result = launch::ParseLaunchTokens(launch::SplitCommandLine(commandLine, 10));
    if (!result.data) return RefuseLaunch(result.error);

    launch::ClientGlobals globals;
    globals.launch = *result.data;
    globals.ResetGlobals(launch::ExecutableFolder());

    QWidget window;
    window.setWindowTitle(QString::fromStdString(globals.launch.strGameTitle));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    window.setGeometry(0, 0, screen.width(), screen.height() - 32);
    window.show();

    platform::SocketClient socket;
    QObject::connect(&socket, &platform::SocketClient::Connected, [&] {
        if (const auto entry = net::requests::Entry(false)) socket.Send(*entry);
    });
    QObject::connect(&socket, &platform::SocketClient::ConnectionEnded, &app,
                     [](const QString&) { QApplication::quit(); });

    bool portOk = false;
    const auto port = QString::fromStdString(globals.launch.lngRoomServerPort).toUShort(&portOk);
    socket.ConnectTo(QString::fromStdString(globals.launch.strRoomServerAddr), portOk ? port : 0,
                     globals.strUserName());
    return app.exec();
}
