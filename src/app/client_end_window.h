#pragma once

#include <QMessageBox>

#include "launch/client_end.h"

namespace qira::app {

// qira-launch's small window after a client ended: what happened, and a
// button to start another client ("重新连接", "再来一局") or to quit. Enter
// presses the first, Esc the second.
class ClientEndWindow : public QMessageBox {
public:
    explicit ClientEndWindow(const launch::EndNotice& notice, QWidget* parent = nullptr);

    launch::PlayerChoice choice() const;
    QPushButton& againButton() const { return *again_; }
    QPushButton& quitButton() const { return *quit_; }

private:
    QPushButton* again_;  // owned by the box
    QPushButton* quit_;
};

}  // namespace qira::app
