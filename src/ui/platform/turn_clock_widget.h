#pragma once

#include <QColor>
#include <QTimer>
#include <QWidget>

#include "play/countdown.h"

namespace qira::platform {

// The turn clock (YuClock): a small box that counts seconds down visibly,
// warns a few seconds before the end and reports the time-out, once each.
// Its tag is whatever the caller stores (a chair, or 5 for the claim window).
class TurnClockWidget : public QWidget {
    Q_OBJECT
public:
    static constexpr int kDefaultWarningAt = 5;

    explicit TurnClockWidget(QWidget* parent = nullptr);

    void StartClock(int seconds, int warningAt = kDefaultWarningAt);
    void Stop();
    bool IsRunning() const { return countdown_.running(); }
    int Remaining() const { return countdown_.remaining(); }

    void SetTag(int tag) { tag_ = tag; }
    int Tag() const { return tag_; }

    void SetColour(const QColor& colour);
    QColor Colour() const { return colour_; }

    // Tests shorten the second.
    void SetTickInterval(int milliseconds) { timer_.setInterval(milliseconds); }

    QSize sizeHint() const override { return {40, 26}; }

signals:
    void Warning();
    void TimedOut();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void OnTick();

    play::Countdown countdown_;
    QTimer timer_;
    QColor colour_{0, 100, 0};
    int tag_ = 0;
};

}  // namespace qira::platform
