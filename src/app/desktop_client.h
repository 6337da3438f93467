#pragma once

#include <QPointer>
#include <QSize>
#include <QTimer>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "app/frm_game_main.h"
#include "dialogs/msg_registry.h"
#include "dialogs/user_prefs.h"
#include "items/dao_ju.h"
#include "launch/globals.h"
#include "play/client_session.h"
#include "render/game_sound_player.h"
#include "ui/render/table_canvas.h"
#include "ui/render/table_display.h"

namespace qira::dialogs {
class MsgService;
class frmGameSet;
class frmUserSet;
}  // namespace qira::dialogs

namespace qira::play {
class frmHuPaiResult;
}

namespace qira::app {

// The whole client on the desktop: the main window and its components, the
// table painters and the dialogs, each behind the interface the headless
// session asks for, and the session itself. Screen events go to the session;
// what the session asks of the screen comes back through the interfaces.
class DesktopClient {
public:
    using RequestSink = std::function<void(std::span<const std::uint8_t> message)>;

    struct Options {
        QSize screenSize{1280, 800};
        // Where requests go: the socket in the program, a recorder in tests.
        RequestSink send;
        // How the dice and discard animations wait; empty for the real clock.
        std::function<void(int milliseconds)> wait;
        // Where the preferences are kept; empty for the program folder.
        std::string settingsFolder;
        // While it answers true the client shows the session's moves without
        // the animations, sounds and message boxes (the boxes take their
        // default answer): a replay rebuilding a position.
        std::function<bool()> quiet;
    };

    // The session keeps `globals`: it is their only owner, since the seat view
    // in them changes with the room messages.
    DesktopClient(launch::ClientGlobals globals, Options options);
    ~DesktopClient();
    DesktopClient(const DesktopClient&) = delete;
    DesktopClient& operator=(const DesktopClient&) = delete;

    FrmGameMain& window() { return window_; }
    play::ClientSession& session() { return *session_; }
    dialogs::MsgService& messageBoxes() { return *msgService_; }
    dialogs::UserSet& preferences() { return preferences_; }
    render::TableCanvas& canvas() { return canvas_; }

private:
    class Views;
    class LockingDisplay;

    void ConnectWindowEvents();
    bool Quiet() const { return options_.quiet && options_.quiet(); }
    void OpenPreferences();
    void PopUpUserMenu(const QString& record);

    const std::string appPath_;     // the program's folder, ending in "/"
    const std::string parentPath_;  // its parent, ending in "/"
    Options options_;
    const std::string settingsPath_;  // where the preferences are kept, ending in "/"
    dialogs::UserSet preferences_;
    FrmGameMain window_;
    render::TableCanvas canvas_;
    dialogs::MsgRegistry msgRegistry_;
    std::unique_ptr<dialogs::MsgService> msgService_;
    items::DaoJuMaket items_;
    std::unique_ptr<Views> views_;
    std::unique_ptr<render::GameSoundPlayer> sounds_;
    std::unique_ptr<render::TableDisplay> display_;
    std::unique_ptr<LockingDisplay> lockingDisplay_;
    std::unique_ptr<play::ClientSession> session_;
    QPointer<dialogs::frmUserSet> preferencesWindow_;  // deletes itself when closed
};

}  // namespace qira::app
