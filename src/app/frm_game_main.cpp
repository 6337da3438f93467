#include "app/frm_game_main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>
#include <QWindow>

#include "ui/platform/resource_pixmap.h"

namespace qira::app {

namespace {

const QColor kWindowBack(250, 250, 250);
const QColor kTableBack(33, 89, 173);
constexpr int kTimerFormInterval = 100;
constexpr int kCaptionEndWidth = 15;
constexpr int kCaptionHeight = 36;
constexpr std::string_view kUserColumnTitles =
    "用户名`用户ID`经验`级别`旁观对象`总局数`胜率`逃跑率`胜`输`和`人物类型`图标号`实际椅子号`"
    "举手`掉线";
constexpr std::string_view kUserColumnWidths = "100`90`70`80`80`60`50`50`50`50`50";
constexpr int kShownUserColumns = 11;

QRect ToRect(const Box& box) {
    return {box.x, box.y, box.width, box.height};
}

Qt::CursorShape CursorFor(SizeZone zone) {
    switch (zone) {
        case SizeZone::Left:
        case SizeZone::Right:
            return Qt::SizeHorCursor;
        case SizeZone::Up:
        case SizeZone::Down:
            return Qt::SizeVerCursor;
        case SizeZone::LeftUp:
        case SizeZone::RightDown:
            return Qt::SizeFDiagCursor;
        case SizeZone::RightUp:
        case SizeZone::LeftDown:
            return Qt::SizeBDiagCursor;
        case SizeZone::Move:
        case SizeZone::None:
            break;
    }
    return Qt::ArrowCursor;
}

Qt::Edges EdgesFor(SizeZone zone) {
    switch (zone) {
        case SizeZone::Left:
            return Qt::LeftEdge;
        case SizeZone::Right:
            return Qt::RightEdge;
        case SizeZone::Up:
            return Qt::TopEdge;
        case SizeZone::Down:
            return Qt::BottomEdge;
        case SizeZone::LeftUp:
            return Qt::LeftEdge | Qt::TopEdge;
        case SizeZone::RightUp:
            return Qt::RightEdge | Qt::TopEdge;
        case SizeZone::LeftDown:
            return Qt::LeftEdge | Qt::BottomEdge;
        case SizeZone::RightDown:
            return Qt::RightEdge | Qt::BottomEdge;
        case SizeZone::Move:
        case SizeZone::None:
            break;
    }
    return {};
}

bool IsSizingZone(SizeZone zone) {
    return zone != SizeZone::None && zone != SizeZone::Move;
}

// The ghost of the vertical splitter while it is dragged: two outlines 2 px
// apart, light and dark so that it shows on any background.
class GhostBarPainter : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Paint) return false;
        auto* bar = static_cast<QWidget*>(watched);
        QPainter painter(bar);
        const QRect outer = bar->rect().adjusted(0, 0, -1, -1);
        painter.setPen(QPen(Qt::white, 1, Qt::SolidLine));
        painter.drawRect(outer);
        painter.setPen(QPen(QColor(40, 40, 40), 1, Qt::DotLine));
        painter.drawRect(outer.adjusted(2, 2, -2, -2));
        return true;
    }
};

}  // namespace

FrmGameMain::FrmGameMain(const launch::ClientGlobals& globals, QSize screenSize, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      appPath_(globals.strAppPath),
      gameTitle_(globals.launch.strGameTitle),
      famGameBack_(this),
      picGameBack_(std::make_unique<QWidget>(&famGameBack_)),
      picSplitter_(globals.strAppPath, this),
      ghostBar_(this),
      lstUser_(this),
      HSplitterBar_(this),
      picAdvBack_(this),
      HSplitterBar1_(this),
      TivChat_(this),
      YuClock_(picGameBack_.get()),
      cmdStart_(picGameBack_.get()) {
    LoadWindow(globals, screenSize);
}

// The members go in reverse order: the clock and the start button leave the
// game area first, the game area leaves its frame before the frame goes.
FrmGameMain::~FrmGameMain() = default;

void FrmGameMain::LoadWindow(const launch::ClientGlobals& globals, QSize screenSize) {
    setObjectName(QStringLiteral("frmGameMain"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setMouseTracking(true);
    setMinimumSize(kMinWindowWidth, kMinWindowHeight);
    QPalette back = palette();
    back.setColor(QPalette::Window, kWindowBack);
    setPalette(back);
    setAutoFillBackground(true);

    picGameBack_->setObjectName(QStringLiteral("picGameBack"));
    QPalette table = picGameBack_->palette();
    table.setColor(QPalette::Window, kTableBack);
    picGameBack_->setPalette(table);
    picGameBack_->setAutoFillBackground(true);
    picGameBack_->setFont(QFont(QStringLiteral("宋体"), 9));
    famGameBack_.setObjectName(QStringLiteral("famGameBack"));
    famGameBack_.installEventFilter(this);
    picGameBack_->installEventFilter(this);
    for (platform::HSplitterBar* bar : {&HSplitterBar_, &HSplitterBar1_}) {
        bar->setPalette(back);
        bar->setAutoFillBackground(true);
    }
    ghostBar_.setAttribute(Qt::WA_TransparentForMouseEvents);
    ghostBar_.installEventFilter(new GhostBarPainter(&ghostBar_));
    ghostBar_.hide();

    picAdvBack_.ShowPage(platform::ResourcePath(appPath_, "Res\\adv.htm"));

    connect(&tmrForm_, &QTimer::timeout, this, &FrmGameMain::TrackSizeZone);
    tmrForm_.start(kTimerFormInterval);

    setWindowTitle(QString::fromStdString(gameTitle_));
    lngSplitX_ = InitialSplitX(screenSize.width());
    lngSplitSaved_ = lngSplitX_;
    lngListSplit_ = InitialListSplit(screenSize.height());

    SetUpUserList(globals);
    SetUpChat(globals);

    YuClock_.Stop();
    YuClock_.hide();
    cmdStart_.hide();

    connect(&picSplitter_, &platform::VSplitterBar::GripClicked, this, &FrmGameMain::OnGripClicked);
    connect(&picSplitter_, &platform::VSplitterBar::GhostMoved, this, &FrmGameMain::OnGhostMoved);
    connect(&picSplitter_, &platform::VSplitterBar::Released, this,
            &FrmGameMain::OnSplitterReleased);
    connect(&HSplitterBar_, &platform::HSplitterBar::Moved, this,
            &FrmGameMain::OnListSplitterMoved);
    connect(&HSplitterBar1_, &platform::HSplitterBar::Moved, this,
            &FrmGameMain::OnChatSplitterMoved);
    NameForAssistiveTechnology();
}

void FrmGameMain::NameForAssistiveTechnology() {
    setAccessibleName(QString::fromStdString(gameTitle_));
    lstUser_.setAccessibleName(QStringLiteral("用户列表"));
    lstUser_.view().setAccessibleName(QStringLiteral("用户列表"));
    TivChat_.setAccessibleName(QStringLiteral("聊天室"));
    TivChat_.input().setAccessibleName(QStringLiteral("聊天输入"));
    TivChat_.targets().setAccessibleName(QStringLiteral("聊天对象"));
    TivChat_.sendButton().setAccessibleName(QStringLiteral("发送"));
    TivChat_.lines().setAccessibleName(QStringLiteral("聊天记录"));
    picAdvBack_.setAccessibleName(QStringLiteral("广告"));
    YuClock_.setAccessibleName(QStringLiteral("计时钟"));
    cmdStart_.setAccessibleName(QStringLiteral("开始"));
    picSplitter_.setAccessibleName(QStringLiteral("牌桌与右栏的分隔条"));
    HSplitterBar_.setAccessibleName(QStringLiteral("用户列表与广告的分隔条"));
    HSplitterBar1_.setAccessibleName(QStringLiteral("广告与聊天室的分隔条"));
}

void FrmGameMain::SetUpUserList(const launch::ClientGlobals& globals) {
    const bool points = globals.launch.bytScoreMode != 0;
    lstUser_.SetLocalUserName(globals.strUserName());
    lstUser_.SetColours(QColor(0, 138, 140), Qt::white, 4);
    lstUser_.SetTitle("用户列表");
    std::string titles(kUserColumnTitles);
    if (points) titles.replace(titles.find("经验"), std::string_view("经验").size(), "积分");
    lstUser_.SetColumns(titles, kShownUserColumns);
    lstUser_.SetThirdColumnTitle(points ? "积分" : "经验");
    lstUser_.SetColumnWidths(kUserColumnWidths);
    lstUser_.SetLevelInfo(globals.launch.strLevelInfo);
}

void FrmGameMain::SetUpChat(const launch::ClientGlobals& globals) {
    TivChat_.SetFaceFolder(launch::NativeResourcePath(globals.strParentPath, "UserRes\\face"));
    TivChat_.SetAppPath(appPath_);
    TivChat_.SetLocalPage("MeChatWeb.htm");
    TivChat_.SetLocalUserName(globals.strUserName());
    TivChat_.SetCurrentTarget(players::kChatEveryone);
    TivChat_.SetShowTime(true);
    TivChat_.SetTitle("聊天室");
    TivChat_.SetEchoOwnLines(false);
    connect(&TivChat_, &platform::ChatWidget::SendRequested, this, &FrmGameMain::ChatSendRequested);
}

void FrmGameMain::SetGameArea(std::unique_ptr<QWidget> area) {
    area->setParent(&famGameBack_);
    area->setObjectName(QStringLiteral("picGameBack"));
    area->installEventFilter(this);
    for (QWidget* child : {static_cast<QWidget*>(&YuClock_), static_cast<QWidget*>(&cmdStart_)}) {
        const bool hidden = child->isHidden();
        child->setParent(area.get());
        child->setHidden(hidden);
    }
    picGameBack_ = std::move(area);
    picGameBack_->show();
    picGameBack_->setFocus();
    FitGameArea();
}

// ---- Closing --------------------------------------------------------------

void FrmGameMain::UnloadMainWindow() {
    forceClose_ = true;
    // Called from inside closeEvent (the close was confirmed), the close that
    // is under way goes on by itself.
    if (!closing_) close();
}

bool FrmGameMain::MayClose() {
    if (forceClose_ || quitting_ || !hooks_.closeRequested) return true;
    closing_ = true;
    const bool mayClose = hooks_.closeRequested();
    closing_ = false;
    return mayClose;
}

void FrmGameMain::closeEvent(QCloseEvent* event) {
    if (!MayClose()) {
        event->ignore();
        return;
    }
    UnloadWindow();
    event->accept();
}

void FrmGameMain::UnloadWindow() {
    if (quitting_) return;
    quitting_ = true;
    tmrForm_.stop();
    YuClock_.Stop();
    wavePlayer_.Stop();
    if (hooks_.unloading) hooks_.unloading();
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window != this && window->isVisible()) window->close();
    emit Unloaded();
}

// ---- Layout ---------------------------------------------------------------

int FrmGameMain::RightColumnWidth() const {
    return width() - lngSplitX_ - kSplitterWidth - kSplitterGap - kRightMargin;
}

void FrmGameMain::resizeEvent(QResizeEvent*) {
    LayoutWindow();
}

void FrmGameMain::LayoutWindow() {
    if (isMinimized()) return;
    if (blnSplitCollapsed_) lngSplitX_ = CollapsedSplitX(width());
    const WindowLayout layout = ComputeWindowLayout(width(), height(), lngSplitX_, lngListSplit_);
    lngSplitX_ = layout.splitX;
    if (layout.splitter) {
        picSplitter_.setGeometry(ToRect(*layout.splitter));
        picSplitter_.update();
    }
    famGameBack_.setGeometry(ToRect(layout.gameFrame));
    PlaceRightColumn(layout);
    FitGameArea();
    const int listLeft = layout.rightColumn ? layout.rightColumn->userList.x : 0;
    const int listWidth = layout.rightColumn ? layout.rightColumn->userList.width : 0;
    buttons_ = PlaceCaptionButtons(width(), listLeft, listWidth);
    PlaceCaptionStandIns();
    update();
}

CaptionStandIn::CaptionStandIn(const QString& name, QWidget* parent) : QPushButton(parent) {
    setAccessibleName(name);
    setToolTip(name);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFlat(true);
}

void FrmGameMain::CreateCaptionStandIns() {
    const std::array<QString, 5> names = {QStringLiteral("最小化"), QStringLiteral("最大化"),
                                          QStringLiteral("关闭"), QStringLiteral("设置"),
                                          QStringLiteral("帮助")};
    for (std::size_t i = 0; i < names.size(); ++i) {
        auto standIn = std::make_unique<CaptionStandIn>(names[i], this);
        const int index = static_cast<int>(i);
        connect(standIn.get(), &QPushButton::clicked, this, [this, index] {
            if (index < 3)
                OnSysButtonClicked(index);
            else
                OnUserButtonClicked(index - 3);
        });
        captionStandIns_.push_back(std::move(standIn));
    }
}

void FrmGameMain::PlaceCaptionStandIns() {
    if (captionStandIns_.empty()) CreateCaptionStandIns();
    for (std::size_t i = 0; i < 3; ++i) {
        const Point at = buttons_.system[i];
        captionStandIns_[i]->setGeometry(at.x, at.y, kSysButtonSize, kSysButtonSize);
    }
    captionStandIns_[1]->setAccessibleName(isMaximized() ? QStringLiteral("还原")
                                                         : QStringLiteral("最大化"));
    for (std::size_t i = 0; i < 2; ++i) {
        const Point at = buttons_.user[i];
        captionStandIns_[3 + i]->setGeometry(at.x, at.y, kUserButtonWidth, kUserButtonHeight);
    }
    for (const auto& standIn : captionStandIns_) standIn->show();
}

void FrmGameMain::PlaceRightColumn(const WindowLayout& layout) {
    QWidget* panes[] = {&lstUser_, &HSplitterBar_, &picAdvBack_, &HSplitterBar1_, &TivChat_};
    if (!layout.rightColumn) {
        for (QWidget* pane : panes) pane->hide();
        return;
    }
    const RightColumn& column = *layout.rightColumn;
    if (column.userList.height > 0) lstUser_.setGeometry(ToRect(column.userList));
    HSplitterBar_.setGeometry(ToRect(column.listSplitter));
    picAdvBack_.setGeometry(ToRect(column.advPane));
    HSplitterBar1_.setGeometry(ToRect(column.chatSplitter));
    if (column.chat.height > 0) TivChat_.setGeometry(ToRect(column.chat));
    for (QWidget* pane : panes) pane->show();
    HSplitterBar_.raise();
    HSplitterBar1_.raise();
}

void FrmGameMain::FitGameArea() {
    picGameBack_->setGeometry(0, 0, std::max(famGameBack_.width(), kMinGameWidth),
                              std::max(famGameBack_.height(), kMinGameHeight));
}

void FrmGameMain::OnGripClicked() {
    if (blnSplitCollapsed_) {
        blnSplitCollapsed_ = false;
        lngSplitX_ = lngSplitSaved_;
    } else {
        lngSplitSaved_ = lngSplitX_;
        blnSplitCollapsed_ = true;
    }
    picSplitter_.SetCollapsed(blnSplitCollapsed_);
    LayoutWindow();
}

void FrmGameMain::OnGhostMoved(int x) {
    ghostBar_.setGeometry(x, 0, kSplitterWidth, height());
    ghostBar_.show();
    ghostBar_.raise();
}

void FrmGameMain::OnSplitterReleased(int x) {
    ghostBar_.hide();
    blnSplitCollapsed_ = false;
    picSplitter_.SetCollapsed(false);
    lngSplitX_ = ClampSplitX(x, width());
    LayoutWindow();
}

void FrmGameMain::OnListSplitterMoved(int top) {
    lngListSplit_ = ClampListSplit(top, height());
    LayoutWindow();
}

void FrmGameMain::OnChatSplitterMoved(int top) {
    lngListSplit_ = ListSplitForChatSplit(ClampChatSplit(top, height()));
    LayoutWindow();
}

// ---- Skin -----------------------------------------------------------------

void FrmGameMain::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    PaintBorder(painter);
    PaintCaption(painter);
}

void FrmGameMain::PaintBorder(QPainter& painter) {
    const QColor rings[] = {{115, 113, 115}, {173, 174, 173}, {214, 211, 214}, {231, 231, 231}};
    for (int inset = 0; inset < 4; ++inset) {
        painter.setPen(rings[inset]);
        painter.drawRect(rect().adjusted(inset, inset, -inset - 1, -inset - 1));
    }
}

void FrmGameMain::PaintCaption(QPainter& painter) {
    if (RightColumnWidth() < kSplitterWidth) return;
    const int left = lngSplitX_ + kSplitterWidth + kSplitterGap;
    const int right = width() - 4;
    const QPixmap middle = platform::LoadResourcePixmap(appPath_, "Res\\CaptionMid.bmp");
    const QPixmap end = platform::LoadResourcePixmap(appPath_, "Res\\CaptionLR.bmp");
    if (!middle.isNull()) painter.drawTiledPixmap(left, 2, right - left, middle.height(), middle);
    if (!end.isNull()) {
        painter.drawPixmap(left, 2, end);
        painter.drawPixmap(right - kCaptionEndWidth, 2,
                           QPixmap::fromImage(end.toImage().mirrored(true, false)));
    }
    QFont titleFont(QStringLiteral("宋体"), 11);
    titleFont.setBold(true);
    painter.setFont(titleFont);
    painter.setPen(Qt::white);
    const QRect titleArea(left + kCaptionEndWidth, 2, buttons_.system[0].x - left - 20,
                          kCaptionHeight);
    painter.drawText(titleArea, Qt::AlignVCenter | Qt::AlignLeft,
                     QString::fromStdString(gameTitle_));
    for (int slot = 0; slot < 3; ++slot) PaintSysButton(painter, slot, slot == hoveredSys_);
    for (int index = 0; index < 2; ++index) PaintUserButton(painter, index, index == hoveredUser_);
}

void FrmGameMain::PaintSysButton(QPainter& painter, int slot, bool hover) {
    const QPixmap icons = platform::LoadResourcePixmap(appPath_, "Res\\SysMenu.bmp");
    if (icons.isNull()) return;
    int icon = slot == 0 ? 0 : 3;
    if (slot == 1) icon = isMaximized() ? 2 : 1;
    const int sourceX = (hover ? 84 : 0) + kSysButtonSize * icon;
    const Point at = buttons_.system[static_cast<std::size_t>(slot)];
    painter.drawPixmap(at.x, at.y, icons, sourceX, 0, kSysButtonSize, kSysButtonSize);
}

void FrmGameMain::PaintUserButton(QPainter& painter, int index, bool hover) {
    const QPixmap cells = platform::LoadResourcePixmap(appPath_, "Res\\UserButton.bmp");
    if (cells.isNull()) return;
    const int sourceX = (hover ? 82 : 0) + kUserButtonWidth * index;
    const Point at = buttons_.user[static_cast<std::size_t>(index)];
    painter.drawPixmap(at.x, at.y, cells, sourceX, 0, kUserButtonWidth, kUserButtonHeight);
}

// ---- Mouse ----------------------------------------------------------------

void FrmGameMain::UpdateHover(QPoint at) {
    const int sys = HitSysButton(buttons_, at.x(), at.y());
    const int user = HitUserButton(buttons_, at.x(), at.y());
    if (sys == hoveredSys_ && user == hoveredUser_) return;
    hoveredSys_ = sys;
    hoveredUser_ = user;
    update(QRect(0, 0, width(), kUserListTop));
}

void FrmGameMain::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const QPoint at = event->position().toPoint();
    pressedSys_ = HitSysButton(buttons_, at.x(), at.y());
    pressedUser_ = HitUserButton(buttons_, at.x(), at.y());
    if (pressedSys_ >= 0 || pressedUser_ >= 0) return;
    const SizeZone zone = ZoneAt(
        {x(), y(), width(), height()},
        {event->globalPosition().toPoint().x(), event->globalPosition().toPoint().y()}, false);
    StartSizing(zone, event->globalPosition().toPoint());
}

void FrmGameMain::mouseMoveEvent(QMouseEvent* event) {
    if (sizingZone_ != SizeZone::None) {
        ContinueSizing(event->globalPosition().toPoint());
        return;
    }
    UpdateHover(event->position().toPoint());
}

void FrmGameMain::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    if (sizingZone_ != SizeZone::None) {
        sizingZone_ = SizeZone::None;
        return;
    }
    const QPoint at = event->position().toPoint();
    const int sys = HitSysButton(buttons_, at.x(), at.y());
    const int user = HitUserButton(buttons_, at.x(), at.y());
    const bool sysClick = sys >= 0 && sys == pressedSys_;
    const bool userClick = user >= 0 && user == pressedUser_;
    pressedSys_ = pressedUser_ = -1;
    if (sysClick) OnSysButtonClicked(sys);
    if (userClick) OnUserButtonClicked(user);
}

void FrmGameMain::leaveEvent(QEvent*) {
    UpdateHover({-1, -1});
}

bool FrmGameMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &famGameBack_ && watched != picGameBack_.get()) return false;
    auto* mouse = dynamic_cast<QMouseEvent*>(event);
    if (!mouse) return false;
    const QPoint global = mouse->globalPosition().toPoint();
    if (event->type() == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton) {
        // The table covers the left edges; presses there still size the window.
        const SizeZone zone = ZoneAt({x(), y(), width(), height()}, {global.x(), global.y()}, true);
        return IsSizingZone(zone) && StartSizing(zone, global);
    }
    if (sizingZone_ == SizeZone::None) return false;
    if (event->type() == QEvent::MouseMove) ContinueSizing(global);
    if (event->type() == QEvent::MouseButtonRelease) sizingZone_ = SizeZone::None;
    return true;
}

void FrmGameMain::OnSysButtonClicked(int slot) {
    if (slot == 0) showMinimized();
    if (slot == 1) isMaximized() ? showNormal() : showMaximized();
    if (slot == 2) close();
}

void FrmGameMain::OnUserButtonClicked(int index) {
    if (index == 0 && hooks_.openPreferences) hooks_.openPreferences();
    if (index != 1) return;
    if (hooks_.openHelp) {
        hooks_.openHelp();
        return;
    }
    QDesktopServices::openUrl(
        QUrl::fromLocalFile(platform::ResourcePath(appPath_, "Res\\help.html")));
}

bool FrmGameMain::StartSizing(SizeZone zone, QPoint globalPosition) {
    if (zone == SizeZone::None || isMaximized()) return false;
    QWindow* handle = windowHandle();
    const bool bySystem =
        handle && (zone == SizeZone::Move ? handle->startSystemMove()
                                          : handle->startSystemResize(EdgesFor(zone)));
    if (bySystem) return true;
    sizingZone_ = zone;
    sizingStart_ = globalPosition;
    sizingGeometry_ = geometry();
    return true;
}

void FrmGameMain::ContinueSizing(QPoint globalPosition) {
    const QPoint delta = globalPosition - sizingStart_;
    QRect frame = sizingGeometry_;
    if (sizingZone_ == SizeZone::Move) {
        frame.translate(delta);
        setGeometry(frame);
        return;
    }
    const Qt::Edges edges = EdgesFor(sizingZone_);
    if (edges & Qt::LeftEdge)
        frame.setLeft(std::min(frame.left() + delta.x(), frame.right() - kMinWindowWidth + 1));
    if (edges & Qt::RightEdge)
        frame.setRight(std::max(frame.right() + delta.x(), frame.left() + kMinWindowWidth - 1));
    if (edges & Qt::TopEdge)
        frame.setTop(std::min(frame.top() + delta.y(), frame.bottom() - kMinWindowHeight + 1));
    if (edges & Qt::BottomEdge)
        frame.setBottom(std::max(frame.bottom() + delta.y(), frame.top() + kMinWindowHeight - 1));
    setGeometry(frame);
}

void FrmGameMain::TrackSizeZone() {
    const Point size = EnforceMinimumSize({width(), height()});
    if (size.x != width() || size.y != height()) resize(size.x, size.y);
    if (sizingZone_ != SizeZone::None) return;
    const QPoint cursor = QCursor::pos();
    const QPoint local = mapFromGlobal(cursor);
    const bool overSysButton = HitSysButton(buttons_, local.x(), local.y()) >= 0;
    zone_ = isMaximized()
                ? SizeZone::None
                : ZoneAt({x(), y(), width(), height()}, {cursor.x(), cursor.y()}, overSysButton);
    ApplyZoneCursor();
}

void FrmGameMain::ApplyZoneCursor() {
    if (zone_ == shownCursorZone_) return;
    shownCursorZone_ = zone_;
    if (zone_ == SizeZone::None || zone_ == SizeZone::Move)
        unsetCursor();
    else
        setCursor(CursorFor(zone_));
}

}  // namespace qira::app
