#pragma once

#include <QDialog>
#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <array>
#include <map>

#include "dialogs/msg_registry.h"

namespace qira::dialogs {

// The message-box window: shows one box of the registry, forwards clicks
// and one-second ticks to it, and is closed by it.
class frmMsg : public QDialog {
    Q_OBJECT
public:
    frmMsg(MsgRegistry& registry, int slot, QWidget* owner = nullptr);

    // The registry closed the box: the window takes itself down and never
    // speaks to the registry again (the slot may already hold another box).
    void Detach();

    // One countdown second, as the window's timer gives it.
    void OnDelayTick();

    QLabel labNote;
    std::array<QPushButton, 2> cmdUser;
    QTimer tmrDelay;

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void ApplyLayout();
    void RefreshCaptions();
    void OnButton(MsgButton button);

    MsgRegistry& registry_;
    int slot_;
    MsgType type_;
    QPixmap icon_;
    int separatorY_ = 0;
};

// Displays the registry's boxes as frmMsg windows: questions modally over
// the owner window (a nested event loop keeps the program running), notices
// without waiting.
class MsgService : public MsgHost {
public:
    // Installs itself as the registry's host; `owner` may be null.
    MsgService(MsgRegistry& registry, QWidget* owner);
    ~MsgService() override;
    MsgService(const MsgService&) = delete;
    MsgService& operator=(const MsgService&) = delete;

    // The window of an open box, or null.
    frmMsg* Window(int slot) const;
    // Countdown speed; one second unless a test wants it faster.
    void SetTickInterval(int milliseconds) { tickInterval_ = milliseconds; }

    void ShowBox(int slot, const MsgBox& box) override;
    void CloseBox(int slot) override;

private:
    MsgRegistry& registry_;
    QPointer<QWidget> owner_;
    std::map<int, QPointer<frmMsg>> windows_;
    int tickInterval_ = 1000;
};

}  // namespace qira::dialogs
