#include "ui/platform/splitter_bar.h"

#include <QMouseEvent>
#include <QPainter>

#include "ui/platform/resource_pixmap.h"
#include "ui/platform/splitter_grip.h"

namespace qira::platform {

HSplitterBar::HSplitterBar(QWidget* parent) : QWidget(parent) {
    setCursor(Qt::SplitVCursor);
    setFixedHeight(kHeight);
}

int HSplitterBar::TopFor(const QMouseEvent& event) const {
    const QPoint inParent = mapToParent(event.position().toPoint());
    return inParent.y() - grabOffset_;
}

void HSplitterBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    dragging_ = true;
    grabOffset_ = event->position().toPoint().y();
    raise();
    emit DragStarted();
}

void HSplitterBar::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_) move(x(), TopFor(*event));
}

void HSplitterBar::mouseReleaseEvent(QMouseEvent* event) {
    if (!dragging_ || event->button() != Qt::LeftButton) return;
    dragging_ = false;
    emit Moved(TopFor(*event));
}

VSplitterBar::VSplitterBar(std::string resourceRoot, QWidget* parent)
    : QWidget(parent), resourceRoot_(std::move(resourceRoot)) {
    setCursor(Qt::SplitHCursor);
    setFixedWidth(kWidth);
}

void VSplitterBar::SetCollapsed(bool collapsed) {
    collapsed_ = collapsed;
    update();
}

void VSplitterBar::paintEvent(QPaintEvent*) {
    if (painting_) return;
    painting_ = true;
    QPainter painter(this);
    const QPixmap back = LoadResourcePixmap(resourceRoot_, "Res\\VSpliterBk.bmp");
    if (!back.isNull())
        painter.drawTiledPixmap(rect(), back);
    else
        painter.fillRect(rect(), QColor(214, 211, 214));
    const int gripTop = (height() - kGripHeight) / 2;
    const QPixmap grip = LoadResourcePixmap(resourceRoot_, "Res\\VSpliterMidBk.bmp");
    if (!grip.isNull()) painter.drawPixmap(0, gripTop, grip);
    const QPixmap arrow = LoadResourcePixmap(
        resourceRoot_, collapsed_ ? "Res\\VSpliterMid_Left.bmp" : "Res\\VSpliterMid_Right.bmp");
    if (!arrow.isNull()) painter.drawPixmap(0, height() / 2 - 4, arrow);
    painting_ = false;
}

int VSplitterBar::GhostXFor(const QMouseEvent& event) const {
    return mapToParent(event.position().toPoint()).x() - grabOffset_;
}

void VSplitterBar::mousePressEvent(QMouseEvent* event) {
    if (locked_ || event->button() != Qt::LeftButton) return;
    const int y = event->position().toPoint().y();
    if (IsInGrip(y, height())) {
        emit GripClicked();
        return;
    }
    dragging_ = true;
    grabOffset_ = event->position().toPoint().x();
    emit GhostMoved(GhostXFor(*event));
}

void VSplitterBar::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_) emit GhostMoved(GhostXFor(*event));
}

void VSplitterBar::mouseReleaseEvent(QMouseEvent* event) {
    if (!dragging_ || event->button() != Qt::LeftButton) return;
    dragging_ = false;
    emit Released(GhostXFor(*event));
}

}  // namespace qira::platform
