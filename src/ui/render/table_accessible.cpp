#include "ui/render/table_accessible.h"

#include <QAccessibleActionInterface>
#include <QPointer>
#include <algorithm>

#include "play/table_words.h"
#include "render/geometry.h"
#include "ui/platform/turn_clock_widget.h"
#include "ui/render/game_area_widget.h"

namespace qira::render {
namespace {

constexpr int kDownPosition = 2;
constexpr int kTileWidth = 44;
constexpr int kTileHeight = 70;
constexpr int kRaise = 10;

// The parts of the table, in the order they are listed.
enum class Kind { Hand, NewestDiscard, Turn, Clock, Status, Action, SideBet, Start, Tile };

struct PartPlace {
    Kind kind;
    int index;  // the button's or the tile's index
};

constexpr int kFixedParts = 5 + play::kActionButtonCount + play::kGameButtonCount + 1;

PartPlace PlaceOfPart(int position) {
    if (position < 5) return {static_cast<Kind>(position), 0};
    position -= 5;
    if (position < play::kActionButtonCount) return {Kind::Action, position};
    position -= play::kActionButtonCount;
    if (position < play::kGameButtonCount) return {Kind::SideBet, position};
    return {Kind::Start, 0};
}

QString Words(const std::string& text) {
    return QString::fromStdString(text);
}

class TablePart final : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    TablePart(const TableAccessible& table, PartPlace place) : table_(table), place_(place) {}

    bool isValid() const override { return table_.isValid() && table_.area() != nullptr; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return table_.window(); }
    QAccessibleInterface* parent() const override {
        return place_.kind == Kind::Tile ? table_.child(0) : const_cast<TableAccessible*>(&table_);
    }
    int childCount() const override { return place_.kind == Kind::Hand ? HandCount() : 0; }
    QAccessibleInterface* child(int index) const override {
        return place_.kind == Kind::Hand ? table_.HandTile(index + 1) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        for (int i = 0; i < childCount(); ++i)
            if (table_.HandTile(i + 1) == child) return i;
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        for (int i = 0; i < childCount(); ++i)
            if (table_.HandTile(i + 1)->rect().contains(x, y)) return table_.HandTile(i + 1);
        return nullptr;
    }
    QString text(QAccessible::Text kind) const override;
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override;
    QAccessible::Role role() const override;
    QAccessible::State state() const override;
    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ActionInterface && IsButton())
            return static_cast<QAccessibleActionInterface*>(this);
        return nullptr;
    }

    QStringList actionNames() const override {
        return IsButton() ? QStringList{pressAction()} : QStringList{};
    }
    void doAction(const QString& name) override;
    QStringList keyBindingsForAction(const QString& name) const override;

private:
    bool IsButton() const {
        return place_.kind == Kind::Action || place_.kind == Kind::SideBet ||
               place_.kind == Kind::Start;
    }
    bool Shown() const;
    int HandCount() const { return table_.area() ? table_.area()->canvas().HandCount() : 0; }
    play::TableWords Described() const;
    QRect OnScreen(int x, int y, int width, int height) const {
        const QPoint at = table_.area()->mapToGlobal(QPoint(x, y));
        return {at, QSize(width, height)};
    }
    QString Name() const;
    QString Description() const;

    const TableAccessible& table_;
    PartPlace place_;
};

play::TableWords TablePart::Described() const {
    const TableSources& sources = table_.area()->canvas().sources();
    if (!sources.table || !sources.turn) return {};
    return play::DescribeTable(*sources.table, *sources.turn);
}

QString TablePart::Name() const {
    switch (place_.kind) {
        case Kind::Hand:
            return QStringLiteral("手牌");
        case Kind::Tile: {
            const auto hand = Described().hand;
            const auto index = static_cast<std::size_t>(place_.index - 1);
            return index < hand.size() ? Words(hand[index]) : QString();
        }
        case Kind::NewestDiscard: {
            const std::string discard = Described().newestDiscard;
            return QStringLiteral("最新打出：") +
                   (discard.empty() ? QStringLiteral("无") : Words(discard));
        }
        case Kind::Turn: {
            const std::string turn = Described().turn;
            return turn.empty() ? QStringLiteral("未在打牌") : Words(turn);
        }
        case Kind::Clock: {
            const auto* clock = table_.area()->findChild<platform::TurnClockWidget*>();
            if (!clock || clock->isHidden() || !clock->IsRunning())
                return QStringLiteral("计时钟：未计时");
            return QStringLiteral("计时钟：还剩 %1 秒").arg(clock->Remaining());
        }
        case Kind::Status:
            return table_.area()->statusLine();
        case Kind::Action:
            return Words(play::ActionName(static_cast<play::ActionButton>(place_.index)));
        case Kind::SideBet:
            return Words(play::SideBetName(place_.index));
        case Kind::Start:
            return QStringLiteral("开始");
    }
    return {};
}

QString TablePart::Description() const {
    switch (place_.kind) {
        case Kind::Hand:
            return QStringLiteral("←/→ 选牌，Enter 或空格 打出");
        case Kind::Action:
            return ActionButtonHint(static_cast<play::ActionButton>(place_.index));
        case Kind::SideBet:
            return SideBetButtonHint(place_.index);
        case Kind::Start:
            return StartButtonHint();
        default:
            return {};
    }
}

QString TablePart::text(QAccessible::Text kind) const {
    if (!isValid()) return {};
    if (kind == QAccessible::Name) return Name();
    if (kind == QAccessible::Description) return Description();
    return {};
}

bool TablePart::Shown() const {
    const TableCanvas& canvas = table_.area()->canvas();
    switch (place_.kind) {
        case Kind::Action: {
            const play::OfferData* offer = canvas.sources().offer;
            return offer && offer->Offered(static_cast<play::ActionButton>(place_.index));
        }
        case Kind::SideBet:
            return canvas.GameButtonState(place_.index) != 0;
        case Kind::Start:
            return canvas.StartButtonState() != 0;
        default:
            return true;
    }
}

QRect TablePart::rect() const {
    if (!isValid()) return {};
    const TableCanvas& canvas = table_.area()->canvas();
    const TableLayout& layout = canvas.layout();
    const int meldCount = canvas.LocalMeldCount();
    const int handTop = layout.ptShouPai[kDownPosition].y;
    switch (place_.kind) {
        case Kind::Hand: {
            const int count = HandCount();
            if (count == 0) return {};
            const int left = LocalHandTileX(layout, 1, count, meldCount);
            const int right = LocalHandTileX(layout, count, count, meldCount) + kTileWidth;
            return OnScreen(left, handTop - kRaise, right - left, kTileHeight + kRaise);
        }
        case Kind::Tile: {
            const int x = LocalHandTileX(layout, place_.index, HandCount(), meldCount);
            const int lift = canvas.lngRaisedPai() == place_.index ? kRaise : 0;
            return OnScreen(x, handTop - lift, kTileWidth, kTileHeight);
        }
        case Kind::Action:
            return OnScreen(layout.ptActionBar.x + kActionButtonWidth * place_.index,
                            layout.ptActionBar.y, kActionButtonWidth, kActionButtonHeight);
        case Kind::SideBet:
            return OnScreen(layout.ptGameBut.x + kGameButtonSpacing * place_.index,
                            layout.ptGameBut.y, kGameButtonSize.width, kGameButtonSize.height);
        case Kind::Start:
            return OnScreen(layout.ptStartBut.x, layout.ptStartBut.y, kStartButtonSide,
                            kStartButtonSide);
        default:
            return table_.rect();
    }
}

QAccessible::Role TablePart::role() const {
    switch (place_.kind) {
        case Kind::Hand:
            return QAccessible::List;
        case Kind::Tile:
            return QAccessible::ListItem;
        case Kind::Status:
            return QAccessible::StatusBar;
        case Kind::Action:
        case Kind::SideBet:
        case Kind::Start:
            return QAccessible::Button;
        default:
            return QAccessible::StaticText;
    }
}

QAccessible::State TablePart::state() const {
    QAccessible::State state;
    if (!isValid()) {
        state.invalid = true;
        return state;
    }
    if (IsButton() && !Shown()) {
        state.invisible = true;
        state.disabled = true;
    }
    if (place_.kind == Kind::Tile) {
        state.selectable = true;
        state.focusable = true;
        const bool raised = table_.area()->canvas().lngRaisedPai() == place_.index;
        state.selected = raised;
        state.focused = raised && table_.area()->hasFocus();
    }
    if (place_.kind == Kind::Status) state.readOnly = true;
    return state;
}

void TablePart::doAction(const QString& name) {
    if (name != pressAction() || !isValid() || !Shown()) return;
    GameAreaWidget* area = table_.area();
    switch (place_.kind) {
        case Kind::Action:
            area->PressActionButton(place_.index);
            break;
        case Kind::SideBet:
            area->PressSideBetButton(place_.index);
            break;
        case Kind::Start:
            area->PressStartButton();
            break;
        default:
            break;
    }
}

QStringList TablePart::keyBindingsForAction(const QString& name) const {
    if (name != pressAction()) return {};
    static constexpr std::array<const char*, play::kActionButtonCount> kKeys = {"C", "P", "G", "H",
                                                                                "Escape"};
    static_assert(std::ranges::none_of(kKeys, [](const char* key) { return key == nullptr; }),
                  "every action button has its key");
    switch (place_.kind) {
        case Kind::Action:
            return {QString::fromLatin1(kKeys[static_cast<std::size_t>(place_.index)])};
        case Kind::SideBet:
            return {QString::number(place_.index + 1)};
        case Kind::Start:
            return {QStringLiteral("S")};
        default:
            return {};
    }
}

QAccessibleInterface* CreateTableAccessible(const QString& className, QObject* object) {
    if (className != QLatin1String("qira::render::GameAreaWidget")) return nullptr;
    if (auto* area = qobject_cast<GameAreaWidget*>(object)) return new TableAccessible(area);
    return nullptr;
}

}  // namespace

TableAccessible::TableAccessible(GameAreaWidget* area)
    : QAccessibleWidget(area, QAccessible::Pane) {}

TableAccessible::~TableAccessible() {
    for (QAccessibleInterface* part : parts_)
        if (part) QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(part));
}

GameAreaWidget* TableAccessible::area() const {
    return qobject_cast<GameAreaWidget*>(object());
}

QAccessibleInterface* TableAccessible::Part(int index) const {
    if (index < 0) return nullptr;
    const auto slot = static_cast<std::size_t>(index);
    if (parts_.size() <= slot) parts_.resize(slot + 1, nullptr);
    if (!parts_[slot]) {
        const PartPlace place = index < kFixedParts
                                    ? PlaceOfPart(index)
                                    : PartPlace{Kind::Tile, index - kFixedParts + 1};
        parts_[slot] = new TablePart(*this, place);
        QAccessible::registerAccessibleInterface(parts_[slot]);
    }
    return parts_[slot];
}

int TableAccessible::childCount() const {
    return kFixedParts;
}

QAccessibleInterface* TableAccessible::child(int index) const {
    return index >= 0 && index < kFixedParts ? Part(index) : nullptr;
}

int TableAccessible::indexOfChild(const QAccessibleInterface* child) const {
    for (int i = 0; i < kFixedParts && i < static_cast<int>(parts_.size()); ++i)
        if (parts_[static_cast<std::size_t>(i)] == child) return i;
    return -1;
}

QAccessibleInterface* TableAccessible::childAt(int x, int y) const {
    for (int i = 0; i < kFixedParts; ++i) {
        QAccessibleInterface* part = Part(i);
        if (part->role() != QAccessible::StaticText && part->role() != QAccessible::StatusBar &&
            !part->state().invisible && part->rect().contains(x, y))
            return part;
    }
    return nullptr;
}

QAccessibleInterface* TableAccessible::focusChild() const {
    const GameAreaWidget* gameArea = area();
    if (!gameArea || !gameArea->hasFocus()) return nullptr;
    return HandTile(gameArea->canvas().lngRaisedPai());
}

QAccessibleInterface* TableAccessible::StatusPart() const {
    return Part(static_cast<int>(Kind::Status));
}

QAccessibleInterface* TableAccessible::HandTile(int index) const {
    const GameAreaWidget* gameArea = area();
    if (!gameArea || index < 1 || index > gameArea->canvas().HandCount()) return nullptr;
    return Part(kFixedParts + index - 1);
}

void InstallTableAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(CreateTableAccessible);
        return true;
    }();
    (void)installed;
}

}  // namespace qira::render
