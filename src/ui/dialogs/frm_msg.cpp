#include "ui/dialogs/frm_msg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QIcon>
#include <QPainter>
#include <QScreen>
#include <QStyle>

namespace qira::dialogs {
namespace {

constexpr QSize kButtonSize{81, 25};
constexpr QPoint kIconCorner{10, 15};
constexpr int kIconSize = 32;
constexpr int kSeparatorMargin = 10;

std::size_t IndexOf(MsgButton button) {
    return static_cast<std::size_t>(button);
}

// Without the icon file the style's own icon of the same meaning is shown.
QPixmap LoadIcon(const std::string& path, MsgType type) {
    const QString file = QString::fromStdString(path);
    if (QFileInfo::exists(file)) {
        QPixmap icon(file);
        if (!icon.isNull()) return icon;
    }
    const auto standard = type == MsgType::TwoButtons ? QStyle::SP_MessageBoxQuestion
                                                      : QStyle::SP_MessageBoxInformation;
    return QApplication::style()->standardIcon(standard).pixmap(kIconSize, kIconSize);
}

}  // namespace

frmMsg::frmMsg(MsgRegistry& registry, int slot, QWidget* owner)
    : QDialog(owner), registry_(registry), slot_(slot) {
    const MsgBox& box = *registry_.Box(slot_);
    type_ = box.Type();
    Qt::WindowFlags flags = Qt::WindowStaysOnTopHint;
    if (type_ == MsgType::Notice)
        flags |= Qt::Tool | Qt::FramelessWindowHint;
    else
        flags |= Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint;
    setWindowFlags(flags);
    setWindowTitle(QString::fromStdString(box.WindowCaption()));
    setAttribute(Qt::WA_DeleteOnClose);
    icon_ = LoadIcon(registry_.IconPath(type_), type_);

    labNote.setParent(this);
    labNote.setTextFormat(Qt::PlainText);  // server text is never markup
    labNote.setWordWrap(true);
    labNote.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    labNote.setText(QString::fromStdString(box.Info().strNote));
    for (const MsgButton button : {MsgButton::Yes, MsgButton::No}) {
        QPushButton& command = cmdUser[IndexOf(button)];
        command.setParent(this);
        command.setVisible(box.IsButtonVisible(button));
        command.setAutoDefault(false);
        connect(&command, &QPushButton::clicked, this, [this, button] { OnButton(button); });
    }
    RefreshCaptions();
    ApplyLayout();

    tmrDelay.setInterval(1000);
    connect(&tmrDelay, &QTimer::timeout, this, &frmMsg::OnDelayTick);
    if (box.IsTimerEnabled()) tmrDelay.start();
}

void frmMsg::ApplyLayout() {
    const MsgBox& box = *registry_.Box(slot_);
    const MsgLayout size = box.Layout(0, 0, kButtonSize.width());
    setFixedSize(size.windowWidth, size.windowHeight);
    const MsgLayout layout = box.Layout(width(), height(), kButtonSize.width());
    const MsgRect& note = layout.note;
    labNote.setGeometry(note.left, note.top, note.width, note.height);
    cmdUser[0].setGeometry(layout.yesLeft, layout.buttonTop, kButtonSize.width(),
                           kButtonSize.height());
    cmdUser[1].setGeometry(layout.noLeft, layout.buttonTop, kButtonSize.width(),
                           kButtonSize.height());
    separatorY_ = layout.separatorY;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.left() + (area.width() - width()) / 2,
             area.top() + (area.height() - height()) / 2);
    }
    if (box.IsModal()) {
        QPushButton& focused = cmdUser[IndexOf(box.FocusButton())];
        focused.setDefault(true);
        focused.setFocus();
    }
}

void frmMsg::RefreshCaptions() {
    const MsgBox* box = registry_.Box(slot_);
    if (box == nullptr) return;
    for (const MsgButton button : {MsgButton::Yes, MsgButton::No})
        cmdUser[IndexOf(button)].setText(QString::fromStdString(box->ButtonCaption(button)));
}

void frmMsg::OnDelayTick() {
    if (slot_ < 0) return;
    registry_.Tick(slot_);
    if (slot_ < 0) return;
    if (const MsgBox* box = registry_.Box(slot_); box != nullptr && !box->IsTimerEnabled())
        tmrDelay.stop();
    RefreshCaptions();
}

void frmMsg::OnButton(MsgButton button) {
    if (slot_ < 0) return;
    tmrDelay.stop();
    registry_.PressButton(slot_, button);
}

void frmMsg::Detach() {
    slot_ = -1;
    tmrDelay.stop();
    done(QDialog::Rejected);
    deleteLater();
}

void frmMsg::closeEvent(QCloseEvent* event) {
    if (slot_ >= 0) registry_.CloseBox(slot_);  // answers through Detach
    QDialog::closeEvent(event);
}

void frmMsg::reject() {
    // Escape closes a question like its close box does; a notice ignores it.
    if (type_ == MsgType::Notice && slot_ >= 0) return;
    if (slot_ >= 0) {
        registry_.CloseBox(slot_);
        return;
    }
    QDialog::reject();
}

void frmMsg::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    QPainter painter(this);
    if (!icon_.isNull()) painter.drawPixmap(kIconCorner, icon_);
    if (type_ == MsgType::Notice) {
        painter.setPen(QColor(132, 130, 132));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
        return;
    }
    const int right = width() - kSeparatorMargin;
    painter.setPen(QColor(255, 255, 255));
    painter.drawLine(kSeparatorMargin, separatorY_, right, separatorY_);
    painter.setPen(QColor(132, 130, 132));
    painter.drawLine(kSeparatorMargin, separatorY_ + 1, right, separatorY_ + 1);
}

MsgService::MsgService(MsgRegistry& registry, QWidget* owner) : registry_(registry), owner_(owner) {
    registry_.SetHost(this);
}

MsgService::~MsgService() {
    registry_.SetHost(nullptr);
    for (auto& [slot, window] : windows_)
        if (window) {
            window->Detach();
            delete window.data();
        }
}

frmMsg* MsgService::Window(int slot) const {
    const auto found = windows_.find(slot);
    return found == windows_.end() ? nullptr : found->second.data();
}

void MsgService::ShowBox(int slot, const MsgBox& box) {
    const bool modal = box.IsModal();
    auto* window = new frmMsg(registry_, slot, modal ? owner_.data() : nullptr);
    window->tmrDelay.setInterval(tickInterval_);
    windows_[slot] = window;
    if (!modal) {
        window->show();
        return;
    }
    window->setWindowModality(owner_ ? Qt::WindowModal : Qt::ApplicationModal);
    window->exec();
}

void MsgService::CloseBox(int slot) {
    const auto found = windows_.find(slot);
    if (found == windows_.end()) return;
    const QPointer<frmMsg> window = found->second;
    windows_.erase(found);
    if (window) window->Detach();
}

}  // namespace qira::dialogs
