#include "app/client_end_window.h"

#include <QPushButton>

namespace qira::app {

namespace {

constexpr const char* kGameTitle = "Qira麻将";

QPushButton* AddButton(QMessageBox& box, const QString& caption, QMessageBox::ButtonRole role) {
    QPushButton* button = box.addButton(caption, role);
    button->setAccessibleName(caption);
    return button;
}

}  // namespace

ClientEndWindow::ClientEndWindow(const launch::EndNotice& notice, QWidget* parent)
    : QMessageBox(notice.failure ? QMessageBox::Warning : QMessageBox::Information,
                  QString::fromUtf8(kGameTitle), QString::fromStdString(notice.text),
                  QMessageBox::NoButton, parent),
      again_(
          AddButton(*this, QString::fromStdString(notice.againCaption), QMessageBox::AcceptRole)),
      quit_(AddButton(*this, QStringLiteral("退出"), QMessageBox::RejectRole)) {
    setTextFormat(Qt::PlainText);  // the system's reason is not markup
    setAccessibleName(QString::fromStdString(notice.text));
    setDefaultButton(again_);
    setEscapeButton(quit_);
    again_->setFocus();
}

launch::PlayerChoice ClientEndWindow::choice() const {
    return clickedButton() == again_ ? launch::PlayerChoice::StartAnother
                                     : launch::PlayerChoice::Quit;
}

}  // namespace qira::app
