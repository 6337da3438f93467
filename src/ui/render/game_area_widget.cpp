#include "ui/render/game_area_widget.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>

#include "play/table_words.h"
#include "ui/render/table_accessible.h"

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

QString FromUtf8(const std::string& text) {
    return QString::fromStdString(text);
}

constexpr int kRefusalMilliseconds = 3000;

constexpr std::array<const char*, play::kActionButtonCount> kActionKeys = {"C", "P", "G", "H",
                                                                           "Esc"};
static_assert(std::ranges::none_of(kActionKeys, [](const char* key) { return key == nullptr; }),
              "every action button has its key");

std::optional<play::ActionButton> ActionForKey(int key) {
    switch (key) {
        case Qt::Key_C:
            return play::ActionButton::Chow;
        case Qt::Key_P:
            return play::ActionButton::Pung;
        case Qt::Key_G:
            return play::ActionButton::Kong;
        case Qt::Key_H:
            return play::ActionButton::Win;
        case Qt::Key_Escape:
            return play::ActionButton::Pass;
        default:
            return std::nullopt;
    }
}

}  // namespace

QString ActionButtonHint(play::ActionButton button) {
    return FromUtf8(play::ActionName(button)) + QStringLiteral("（按键 ") +
           QString::fromLatin1(kActionKeys[static_cast<std::size_t>(button)]) +
           QStringLiteral("）");
}

QString SideBetButtonHint(int index) {
    return FromUtf8(play::SideBetName(index)) + QStringLiteral("（按键 %1）").arg(index + 1);
}

QString StartButtonHint() {
    return QStringLiteral("开始（按键 Enter 或 S）");
}

GameAreaWidget::GameAreaWidget(TableCanvas& canvas, Handlers handlers, QWidget* parent)
    : QWidget(parent), canvas_(canvas), handlers_(std::move(handlers)) {
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    // Before anything asks for this widget's accessible interface, which
    // Qt then keeps: the factory must be there to build the table's.
    InstallTableAccessibility();
    setAccessibleName(QStringLiteral("牌桌"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    canvas_.SetChangedHandler([this] { update(); });
    refusalTimer_.setSingleShot(true);
    refusalTimer_.setInterval(kRefusalMilliseconds);
    connect(&refusalTimer_, &QTimer::timeout, this, [this] {
        refusal_.clear();
        update();
    });
}

void GameAreaWidget::ShowRefusal(const QString& why) {
    refusal_ = why;
    refusalTimer_.start();
    update();
}

// Centred over the local hand, clear of the action buttons on its right.
void GameAreaWidget::DrawRefusal(QPainter& painter) const {
    if (refusal_.isEmpty()) return;
    QFont font = painter.font();
    font.setPixelSize(14);
    painter.setFont(font);
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(refusal_) + 24;
    const int height = metrics.height() + 8;
    constexpr int kLocalPosition = 2;  // the viewed player sits at the bottom
    const int handTop = canvas_.layout().ptShouPai[kLocalPosition].y;
    const QRect box((this->width() - width) / 2, handTop - height - 16, width, height);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 150));
    painter.drawRoundedRect(box, 6, 6);
    painter.setPen(QColor(255, 236, 160));
    painter.drawText(box, Qt::AlignCenter, refusal_);
}

void GameAreaWidget::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), kTableBackColour);
    const QImage& picture = canvas_.picture();
    const qreal ratio = picture.devicePixelRatio();
    const QRectF area(event->rect());
    painter.drawImage(
        area, picture,
        QRectF(area.x() * ratio, area.y() * ratio, area.width() * ratio, area.height() * ratio));
    canvas_.DrawOverlays(painter);
    DrawRefusal(painter);
}

void GameAreaWidget::resizeEvent(QResizeEvent* event) {
    const QSize windowSize = window() ? window()->size() : event->size();
    canvas_.SetPixelRatio(devicePixelRatioF());
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

bool GameAreaWidget::HandleKey(int key) {
    if (const auto action = ActionForKey(key)) {
        if (handlers_.actionButton)
            handlers_.actionButton(static_cast<int>(*action), play::MouseButton::Left);
        return true;
    }
    switch (key) {
        case Qt::Key_Left:
            MoveRaisedTile(-1);
            return true;
        case Qt::Key_Right:
            MoveRaisedTile(+1);
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (!PressStartByKey()) DiscardOrRaiseByKey();
            return true;
        case Qt::Key_Space:
            DiscardOrRaiseByKey();
            return true;
        case Qt::Key_S:
            PressStartByKey();
            return true;
        case Qt::Key_1:
        case Qt::Key_2:
        case Qt::Key_3:
            if (handlers_.gameButtonClick) handlers_.gameButtonClick(key - Qt::Key_1);
            return true;
        default:
            return false;
    }
}

void GameAreaWidget::MoveRaisedTile(int step) {
    const std::uint64_t turn = handlers_.discardTurn ? handlers_.discardTurn() : 0;
    const int count = canvas_.HandCount();
    if (turn == 0 || count <= 0) return;
    int raised = canvas_.lngRaisedPai();
    if (turn != keyTurn_ || raised <= 0 || raised > count) {
        keyTurn_ = turn;
        raised = count;  // the drawn tile lies last
    } else {
        raised = (raised - 1 + step + count) % count + 1;
    }
    canvas_.RaiseTile(raised);
    NotifyRaisedTile();
}

void GameAreaWidget::NotifyRaisedTile() {
    if (!QAccessible::isActive()) return;
    auto* table = dynamic_cast<TableAccessible*>(QAccessible::queryAccessibleInterface(this));
    QAccessibleInterface* tile = table ? table->HandTile(canvas_.lngRaisedPai()) : nullptr;
    if (!tile) return;
    QAccessibleEvent focus(tile, QAccessible::Focus);
    QAccessible::updateAccessibility(&focus);
}

void GameAreaWidget::Announce(const QString& words) {
    statusLine_ = words;
    if (!QAccessible::isActive()) return;
    auto* table = dynamic_cast<TableAccessible*>(QAccessible::queryAccessibleInterface(this));
    if (!table) return;
    QAccessibleEvent changed(table->StatusPart(), QAccessible::NameChanged);
    QAccessible::updateAccessibility(&changed);
}

void GameAreaWidget::PressActionButton(int index) {
    if (handlers_.actionButton) handlers_.actionButton(index, play::MouseButton::Left);
}

void GameAreaWidget::PressSideBetButton(int index) {
    if (handlers_.gameButtonClick) handlers_.gameButtonClick(index);
}

void GameAreaWidget::PressStartButton() {
    if (handlers_.startClick) handlers_.startClick();
}

void GameAreaWidget::DiscardOrRaiseByKey() {
    const std::uint64_t turn = handlers_.discardTurn ? handlers_.discardTurn() : 0;
    if (turn == 0) {
        // No tile may go: the play logic says why, when the player asked for it.
        if (handlers_.handTileClick) handlers_.handTileClick(0, play::MouseButton::Left);
        return;
    }
    // A tile left raised by the mouse or an earlier turn is not discarded
    // by a key: the keys raise the drawn tile first.
    if (turn != keyTurn_ || canvas_.lngRaisedPai() <= 0) return MoveRaisedTile(0);
    if (handlers_.handTileClick)
        handlers_.handTileClick(canvas_.lngRaisedPai(), play::MouseButton::Left);
}

bool GameAreaWidget::PressStartByKey() {
    if (canvas_.StartButtonState() == 0 || !handlers_.startClick) return false;
    handlers_.startClick();
    return true;
}

void GameAreaWidget::keyPressEvent(QKeyEvent* event) {
    const bool modified =
        event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (!modified && HandleKey(event->key())) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

QString GameAreaWidget::ToolTipAt(Point point) const {
    const int action = HitActionBar(canvas_.layout(), point);
    const play::OfferData* offer = canvas_.sources().offer;
    if (action >= 0 && offer && offer->Offered(static_cast<play::ActionButton>(action)))
        return ActionButtonHint(static_cast<play::ActionButton>(action));
    if (canvas_.GameButtonState(0) != 0) {
        const int bet = HitGameButtonAsDrawn(point);
        if (bet >= 0) return SideBetButtonHint(bet);
    }
    const std::uint8_t start = canvas_.StartButtonState();
    if (start != 0 && HitStartButton(canvas_.layout(), point, start) == 0) return StartButtonHint();
    return {};
}

bool GameAreaWidget::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString tip = ToolTipAt({help->pos().x(), help->pos().y()});
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, this);
        return true;
    }
    return QWidget::event(event);
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
