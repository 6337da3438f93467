#pragma once

#include <QTimer>
#include <QWidget>
#include <functional>

#include "play/client_session.h"
#include "ui/render/table_canvas.h"

namespace qira::render {

// The tooltips of the buttons painted on the table, with their keys:
// "碰（按键 P）".
QString ActionButtonHint(play::ActionButton button);
QString SideBetButtonHint(int index);
QString StartButtonHint();

// The game area: shows the table picture and turns the mouse into the play
// logic's calls. Moving raises the hand tile and highlights the button under
// the mouse; releasing hands the target over. Whether an action is allowed is
// for the play logic to decide.
//
// The keyboard reaches the same calls: ←/→ raise a hand tile (the drawn tile
// first), Enter or Space discards it; C, P, G, H and Esc press the action
// buttons; 1, 2, 3 the side-bet buttons; Enter or S the start button.
class GameAreaWidget final : public QWidget {
    Q_OBJECT
public:
    struct Handlers {
        std::function<void(int index, play::MouseButton button)> handTileClick;
        std::function<void(int index, play::MouseButton button)> actionButton;
        std::function<void(int index)> gameButtonClick;
        std::function<void()> startClick;
        // 0 while no hand tile may be discarded; otherwise the turn's
        // evaluation, so that the keys begin each turn at the drawn tile.
        std::function<std::uint64_t()> discardTurn;
    };

    GameAreaWidget(TableCanvas& canvas, Handlers handlers, QWidget* parent = nullptr);

    void HandleMouseMove(Point point);
    void HandleMouseUp(Point point, play::MouseButton button);
    // True when the key meant something at the table.
    bool HandleKey(int key);

    // The buttons painted on the table, pressed by assistive technology.
    void PressActionButton(int index);
    void PressSideBetButton(int index);
    void PressStartButton();

    // The latest event in words; assistive technology hears each one.
    void Announce(const QString& words);
    const QString& statusLine() const { return statusLine_; }
    // Why a click could not be played: a short line above the hand that
    // goes by itself after a few seconds.
    void ShowRefusal(const QString& why);
    const QString& refusal() const { return refusal_; }
    const TableCanvas& canvas() const { return canvas_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;

private:
    int HitGameButtonAsDrawn(Point point) const;
    int HitHand(Point point) const;
    void MoveRaisedTile(int step);
    void DiscardOrRaiseByKey();
    bool PressStartByKey();
    QString ToolTipAt(Point point) const;
    void NotifyRaisedTile();
    void DrawRefusal(QPainter& painter) const;

    TableCanvas& canvas_;
    Handlers handlers_;
    QString statusLine_;
    QString refusal_;
    QTimer refusalTimer_;
    std::uint64_t keyTurn_ = 0;  // the turn in which the keys last raised a tile
};

}  // namespace qira::render
