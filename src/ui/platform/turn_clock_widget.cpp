#include "ui/platform/turn_clock_widget.h"

#include <QPainter>

namespace qira::platform {

TurnClockWidget::TurnClockWidget(QWidget* parent) : QWidget(parent) {
    timer_.setInterval(1000);
    connect(&timer_, &QTimer::timeout, this, &TurnClockWidget::OnTick);
    resize(sizeHint());
    QFont digits(QStringLiteral("宋体"));
    digits.setPixelSize(16);
    digits.setBold(true);
    setFont(digits);
}

void TurnClockWidget::StartClock(int seconds, int warningAt) {
    countdown_.Start(seconds, warningAt);
    timer_.start();
    update();
}

void TurnClockWidget::Stop() {
    countdown_.Stop();
    timer_.stop();
    update();
}

void TurnClockWidget::SetColour(const QColor& colour) {
    colour_ = colour;
    update();
}

void TurnClockWidget::OnTick() {
    const play::CountdownEvent event = countdown_.Tick();
    if (!countdown_.running()) timer_.stop();
    update();
    // The handlers may restart or stop the clock; nothing here runs after them.
    if (event == play::CountdownEvent::Warning) emit Warning();
    if (event == play::CountdownEvent::TimeOut) emit TimedOut();
}

void TurnClockWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF face = QRectF(rect()).adjusted(1, 1, -1, -1);
    painter.setPen(QPen(QColor(90, 90, 90), 1));
    painter.setBrush(QColor(255, 250, 220));
    painter.drawRoundedRect(face, 6, 6);
    painter.setPen(colour_);
    painter.drawText(face, Qt::AlignCenter, QString::number(countdown_.remaining()));
}

}  // namespace qira::platform
