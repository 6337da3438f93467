#pragma once

#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/window_layout.h"
#include "launch/globals.h"
#include "ui/platform/adv_pane.h"
#include "ui/platform/chat_widget.h"
#include "ui/platform/splitter_bar.h"
#include "ui/platform/turn_clock_widget.h"
#include "ui/platform/user_list_widget.h"
#include "ui/platform/wave_player.h"

namespace qira::app {

// What the main window needs from the rest of the program. Every hook may be
// left empty: the window then does without it.
struct MainWindowHooks {
    // The user asks to close the window (the system close command or the
    // caption's close button). Returns false to keep it open; that is where
    // a player in a running hand is asked whether to leave.
    std::function<bool()> closeRequested;
    // Runs once while the window unloads, whoever closes it.
    std::function<void()> unloading;
    std::function<void()> openPreferences;  // the skin's settings button
    std::function<void()> openHelp;         // the skin's help button; default: the help page
};

// The main window (frmGameMain): a frameless, skinned window with the game
// area on the left and the user list, the advertisement pane and the chat in
// a column on the right, separated by draggable splitters. It paints its own
// border and caption, moves and sizes itself from zones along its edges, and
// guards closing during a hand.
// A caption button as assistive technology sees it: the button is painted
// by the window, this invisible stand-in over it carries its name and role,
// and pressing it (by a screen reader) clicks the painted button. Mouse
// events pass through to the window.
class CaptionStandIn final : public QPushButton {
public:
    CaptionStandIn(const QString& name, QWidget* parent);

protected:
    void paintEvent(QPaintEvent*) override {}
};

class FrmGameMain : public QWidget {
    Q_OBJECT
public:
    // `screenSize` decides the first splitter positions.
    FrmGameMain(const launch::ClientGlobals& globals, QSize screenSize, QWidget* parent = nullptr);
    ~FrmGameMain() override;

    void SetHooks(MainWindowHooks hooks) { hooks_ = std::move(hooks); }

    // Closes the window without asking: the connection ended, the server
    // removed the player, the clock ran out, or the close was confirmed. The
    // program ends with it.
    void UnloadMainWindow();
    bool IsQuitting() const { return quitting_; }

    platform::UserListWidget& lstUser() { return lstUser_; }
    platform::ChatWidget& TivChat() { return TivChat_; }
    platform::TurnClockWidget& YuClock() { return YuClock_; }
    platform::AdvPane& picAdvBack() { return picAdvBack_; }
    platform::VSplitterBar& picSplitter() { return picSplitter_; }
    platform::HSplitterBar& HSplitterBar() { return HSplitterBar_; }
    platform::HSplitterBar& HSplitterBar1() { return HSplitterBar1_; }
    QWidget& famGameBack() { return famGameBack_; }
    // The table area: a plain table-coloured area until the table's own
    // widget takes its place.
    QWidget& picGameBack() { return *picGameBack_; }
    // Puts `area` in the place of the game area; the clock and the start
    // button move onto it.
    void SetGameArea(std::unique_ptr<QWidget> area);
    QPushButton& cmdStart() { return cmdStart_; }
    platform::WavePlayer& wavePlayer() { return wavePlayer_; }

    int lngSplitX() const { return lngSplitX_; }
    int lngListSplit() const { return lngListSplit_; }
    bool IsRightColumnCollapsed() const { return blnSplitCollapsed_; }
    const CaptionButtons& captionButtons() const { return buttons_; }
    SizeZone strSizeZone() const { return zone_; }

    // Places every pane for the current size (LayoutWindow).
    void LayoutWindow();
    // One tick of tmrForm: the minimum size, the zone under the cursor and
    // its cursor shape.
    void TrackSizeZone();

signals:
    // The ten chat fields the user sends.
    void ChatSendRequested(const std::vector<std::string>& fields);
    // The window has unloaded; the program ends.
    void Unloaded();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void LoadWindow(const launch::ClientGlobals& globals, QSize screenSize);
    void SetUpUserList(const launch::ClientGlobals& globals);
    void SetUpChat(const launch::ClientGlobals& globals);
    void UnloadWindow();
    void NameForAssistiveTechnology();
    bool MayClose();

    void PaintBorder(QPainter& painter);
    void PaintCaption(QPainter& painter);
    void PaintSysButton(QPainter& painter, int slot, bool hover);
    void PaintUserButton(QPainter& painter, int index, bool hover);
    int RightColumnWidth() const;
    void PlaceRightColumn(const WindowLayout& layout);
    void FitGameArea();

    void OnGripClicked();
    void OnGhostMoved(int x);
    void OnSplitterReleased(int x);
    void OnListSplitterMoved(int top);
    void OnChatSplitterMoved(int top);

    void OnSysButtonClicked(int slot);
    void OnUserButtonClicked(int index);
    void UpdateHover(QPoint at);
    bool StartSizing(SizeZone zone, QPoint globalPosition);
    void ContinueSizing(QPoint globalPosition);
    void ApplyZoneCursor();

    std::string appPath_;  // the program's folder, for the resource files
    std::string gameTitle_;
    MainWindowHooks hooks_;

    QWidget famGameBack_;
    std::unique_ptr<QWidget> picGameBack_;
    platform::VSplitterBar picSplitter_;
    QWidget ghostBar_;
    platform::UserListWidget lstUser_;
    platform::HSplitterBar HSplitterBar_;
    platform::AdvPane picAdvBack_;
    platform::HSplitterBar HSplitterBar1_;
    platform::ChatWidget TivChat_;
    platform::TurnClockWidget YuClock_;
    QPushButton cmdStart_;
    QTimer tmrForm_;
    platform::WavePlayer wavePlayer_;

    int lngSplitX_ = kMinSplitX;
    int lngSplitSaved_ = kMinSplitX;
    bool blnSplitCollapsed_ = false;
    int lngListSplit_ = 200;
    CaptionButtons buttons_;
    std::vector<std::unique_ptr<CaptionStandIn>> captionStandIns_;  // 3 system, then 2 user
    void CreateCaptionStandIns();
    void PlaceCaptionStandIns();
    int hoveredSys_ = -1;
    int hoveredUser_ = -1;
    int pressedSys_ = -1;
    int pressedUser_ = -1;
    SizeZone zone_ = SizeZone::None;
    SizeZone shownCursorZone_ = SizeZone::None;

    // The hand-made move or resize, where the platform cannot do it.
    SizeZone sizingZone_ = SizeZone::None;
    QPoint sizingStart_;
    QRect sizingGeometry_;

    bool quitting_ = false;
    bool forceClose_ = false;
    bool closing_ = false;
};

}  // namespace qira::app
