#include "ui/render/game_area_widget.h"

#include <QMouseEvent>
#include <QPainter>

namespace qira::render {
namespace {

play::MouseButton ButtonOf(Qt::MouseButton button) {
    switch (button) {
        case Qt::RightButton:
            return play::MouseButton::Right;
        case Qt::MiddleButton:
            return play::MouseButton::Middle;
        default:
            return play::MouseButton::Left;
    }
}

}  // namespace

GameAreaWidget::GameAreaWidget(TableCanvas& canvas, Handlers handlers, QWidget* parent)
    : QWidget(parent), canvas_(canvas), handlers_(std::move(handlers)) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    canvas_.SetChangedHandler([this] { update(); });
}

void GameAreaWidget::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), kTableBackColour);
    painter.drawImage(event->rect().topLeft(), canvas_.picture(), event->rect());
    canvas_.DrawOverlays(painter);
}

void GameAreaWidget::resizeEvent(QResizeEvent* event) {
    const QSize windowSize = window() ? window()->size() : event->size();
    const bool repaint = canvas_.Resize({event->size().width(), event->size().height()},
                                        {windowSize.width(), windowSize.height()});
    if (repaint) canvas_.PaintTable();
}

int GameAreaWidget::HitHand(Point point) const {
    return HitHandTile(canvas_.layout(), point, canvas_.HandCount(), canvas_.LocalMeldCount());
}

int GameAreaWidget::HitGameButtonAsDrawn(Point point) const {
    const std::array<std::uint8_t, 3> states = {
        canvas_.GameButtonState(0), canvas_.GameButtonState(1), canvas_.GameButtonState(2)};
    return HitGameButton(canvas_.layout(), point, states);
}

void GameAreaWidget::HandleMouseMove(Point point) {
    const int tile = HitHand(point);
    if (tile > 0)
        canvas_.RaiseTile(tile);
    else
        canvas_.LowerTile();

    if (canvas_.GameButtonState(0) != 0) {
        const int button = HitGameButtonAsDrawn(point);
        if (button < 0)
            canvas_.SetHoveredGameButton(-1);
        else if (canvas_.GameButtonState(button) == 1)
            canvas_.SetHoveredGameButton(button);
    }

    const std::uint8_t start = canvas_.StartButtonState();
    if (start != 0) {
        const bool hit = HitStartButton(canvas_.layout(), point, start) == 0;
        if (hit && start == 1) canvas_.SetStartButtonHovered(true);
        if (!hit && start == 2) canvas_.SetStartButtonHovered(false);
    }
}

void GameAreaWidget::HandleMouseUp(Point point, play::MouseButton button) {
    if (canvas_.lngRaisedPai() > 0 && handlers_.handTileClick)
        handlers_.handTileClick(canvas_.lngRaisedPai(), button);
    const int action = HitActionBar(canvas_.layout(), point);
    if (action >= 0 && handlers_.actionButton) handlers_.actionButton(action, button);
    if (canvas_.GameButtonState(0) != 0) {
        const int game = HitGameButtonAsDrawn(point);
        if (game >= 0 && canvas_.GameButtonState(game) == 2 && handlers_.gameButtonClick)
            handlers_.gameButtonClick(game);
    }
    const std::uint8_t start = canvas_.StartButtonState();
    if (start == 2 && HitStartButton(canvas_.layout(), point, start) == 0 && handlers_.startClick)
        handlers_.startClick();
}

void GameAreaWidget::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    HandleMouseMove({p.x(), p.y()});
}

void GameAreaWidget::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    HandleMouseUp({p.x(), p.y()}, ButtonOf(event->button()));
}

}  // namespace qira::render
