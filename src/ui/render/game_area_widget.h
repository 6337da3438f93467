#pragma once

#include <QWidget>
#include <functional>

#include "play/client_session.h"
#include "ui/render/table_canvas.h"

namespace qira::render {

// The game area: shows the table picture and turns the mouse into the play
// logic's calls. Moving raises the hand tile and highlights the button under
// the mouse; releasing hands the target over. Whether an action is allowed is
// for the play logic to decide.
class GameAreaWidget final : public QWidget {
    Q_OBJECT
public:
    struct Handlers {
        std::function<void(int index, play::MouseButton button)> handTileClick;
        std::function<void(int index, play::MouseButton button)> actionButton;
        std::function<void(int index)> gameButtonClick;
        std::function<void()> startClick;
    };

    GameAreaWidget(TableCanvas& canvas, Handlers handlers, QWidget* parent = nullptr);

    void HandleMouseMove(Point point);
    void HandleMouseUp(Point point, play::MouseButton button);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int HitGameButtonAsDrawn(Point point) const;
    int HitHand(Point point) const;

    TableCanvas& canvas_;
    Handlers handlers_;
};

}  // namespace qira::render
