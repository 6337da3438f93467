// The skinned main window driven through its real widgets, offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QTextDocument>

#include "app/frm_game_main.h"

namespace qira::app {
namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 800;

launch::ClientGlobals TestGlobals(std::uint8_t scoreMode = 0) {
    launch::ClientGlobals globals;
    globals.launch.strGameTitle = "Qira麻将";
    globals.launch.strUserName = "张三";
    globals.launch.strLevelInfo = "长工_100`短工_200`佃农_300";
    globals.launch.bytScoreMode = scoreMode;
    globals.ResetGlobals(launch::ExecutableFolder());
    return globals;
}

void SendMouseAt(QWidget& widget, QEvent::Type type, QPoint global, Qt::MouseButtons held) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(widget.mapFromGlobal(global)), QPointF(global), button, held,
                      Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
}

void SendMouse(QWidget& widget, QEvent::Type type, QPoint at, Qt::MouseButtons held) {
    SendMouseAt(widget, type, widget.mapToGlobal(at), held);
}

// Press at `from`, move to `to`, release there (widget coordinates at the
// press: the mouse moves on the screen even when the widget moves with it).
void Drag(QWidget& widget, QPoint from, QPoint to) {
    const QPoint start = widget.mapToGlobal(from);
    const QPoint end = start + (to - from);
    SendMouseAt(widget, QEvent::MouseButtonPress, start, Qt::LeftButton);
    SendMouseAt(widget, QEvent::MouseMove, (start + end) / 2, Qt::LeftButton);
    SendMouseAt(widget, QEvent::MouseMove, end, Qt::LeftButton);
    SendMouseAt(widget, QEvent::MouseButtonRelease, end, Qt::NoButton);
}

void Click(QWidget& widget, QPoint at) {
    SendMouse(widget, QEvent::MouseButtonPress, at, Qt::LeftButton);
    SendMouse(widget, QEvent::MouseButtonRelease, at, Qt::NoButton);
}

std::string Record(std::string_view name, std::string_view watched, int chair) {
    return std::string(name) + "`10" + std::to_string(chair) + "`320`150`" + std::string(watched) +
           "`41`52`1`20`15`6`0`2005`" + std::to_string(chair) + "`1`0";
}

class MainWindowTest : public ::testing::Test {
protected:
    explicit MainWindowTest(std::uint8_t scoreMode = 0)
        : globals(TestGlobals(scoreMode)), window(globals, QSize(kWidth, kHeight)) {
        window.setGeometry(0, 0, kWidth, kHeight);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    ~MainWindowTest() override { window.UnloadMainWindow(); }

    // Drags the vertical splitter so that its ghost ends at `x`.
    void DragSplitterTo(int x) {
        auto& splitter = window.picSplitter();
        const QPoint grab(6, 20);  // well above the grip
        Drag(splitter, grab, grab + QPoint(x - splitter.x(), 0));
    }

    launch::ClientGlobals globals;
    FrmGameMain window;
};

TEST_F(MainWindowTest, LaysOutTheGameAreaAndTheRightColumn) {
    EXPECT_EQ(window.lngSplitX(), 984);
    EXPECT_EQ(window.lngListSplit(), 266);
    EXPECT_EQ(window.famGameBack().geometry(), QRect(0, 0, 984, kHeight));
    EXPECT_EQ(window.picSplitter().geometry(), QRect(984, 0, 12, kHeight));
    EXPECT_EQ(window.lstUser().geometry(), QRect(998, 80, 276, 186));
    EXPECT_EQ(window.HSplitterBar().geometry(), QRect(998, 266, 276, 5));
    EXPECT_EQ(window.picAdvBack().geometry(), QRect(998, 271, 276, 182));
    EXPECT_EQ(window.HSplitterBar1().geometry(), QRect(998, 453, 276, 5));
    EXPECT_EQ(window.TivChat().geometry(), QRect(998, 458, 276, kHeight - 4 - 458 - 2));
    EXPECT_EQ(window.picAdvBack().page().geometry(), QRect(4, 3, 268, 176));
    EXPECT_EQ(window.picGameBack().palette().color(QPalette::Window), QColor(33, 89, 173));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Qira麻将"));
    EXPECT_TRUE(window.picAdvBack().page().toPlainText().contains(QStringLiteral("Qira麻将")));
    EXPECT_FALSE(window.YuClock().isVisible());
    EXPECT_FALSE(window.cmdStart().isVisible());
}

TEST_F(MainWindowTest, DraggedSplitterStopsAt650AndAtWMinus140) {
    DragSplitterTo(300);
    EXPECT_EQ(window.lngSplitX(), 650);
    EXPECT_EQ(window.famGameBack().width(), 650);
    EXPECT_EQ(window.lstUser().x(), 664);
    // The game area never gets smaller than the table needs; the frame clips it.
    EXPECT_EQ(window.picGameBack().size(), QSize(650, kHeight));

    DragSplitterTo(kWidth - 100);
    EXPECT_EQ(window.lngSplitX(), kWidth - 140);
    EXPECT_EQ(window.lstUser().width(), 140 - 20);

    DragSplitterTo(900);
    EXPECT_EQ(window.lngSplitX(), 900);
}

TEST_F(MainWindowTest, GhostBarFollowsTheDragAndGoesAwayOnRelease) {
    auto& splitter = window.picSplitter();
    SendMouse(splitter, QEvent::MouseButtonPress, {6, 20}, Qt::LeftButton);
    SendMouse(splitter, QEvent::MouseMove, {6 - 200, 20}, Qt::LeftButton);
    const QWidget* ghost = nullptr;
    for (QWidget* child : window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (child->isVisible() && child->geometry() == QRect(784, 0, 12, kHeight)) ghost = child;
    ASSERT_NE(ghost, nullptr) << "a ghost bar at the dragged position";
    EXPECT_EQ(window.lngSplitX(), 984) << "the split moves only on release";
    SendMouse(splitter, QEvent::MouseButtonRelease, {6 - 200, 20}, Qt::NoButton);
    EXPECT_FALSE(ghost->isVisible());
    EXPECT_EQ(window.lngSplitX(), 784);
}

TEST_F(MainWindowTest, GripCollapsesTheRightColumnAndASecondClickRestoresIt) {
    DragSplitterTo(900);
    auto& splitter = window.picSplitter();
    Click(splitter, {6, splitter.height() / 2});
    EXPECT_TRUE(window.IsRightColumnCollapsed());
    EXPECT_TRUE(splitter.IsCollapsed());
    EXPECT_EQ(window.lngSplitX(), kWidth - 14);
    EXPECT_FALSE(window.lstUser().isVisible());
    EXPECT_FALSE(window.TivChat().isVisible());
    EXPECT_FALSE(window.picAdvBack().isVisible());

    Click(splitter, {6, splitter.height() / 2});
    EXPECT_FALSE(window.IsRightColumnCollapsed());
    EXPECT_EQ(window.lngSplitX(), 900);
    EXPECT_TRUE(window.lstUser().isVisible());
    EXPECT_TRUE(window.TivChat().isVisible());
}

TEST_F(MainWindowTest, SplitterIgnoresPressesWhileLocked) {
    window.picSplitter().SetLocked(true);
    DragSplitterTo(700);
    EXPECT_EQ(window.lngSplitX(), 984);
    window.picSplitter().SetLocked(false);
}

TEST_F(MainWindowTest, HorizontalSplittersMoveTheListAndTheChatWithinTheirLimits) {
    auto& listBar = window.HSplitterBar();
    Drag(listBar, {20, 2}, {20, 2 - 200});  // far above 200
    EXPECT_EQ(window.lngListSplit(), 200);
    EXPECT_EQ(window.lstUser().height(), 120);
    Drag(window.HSplitterBar(), {20, 2}, {20, 2 + 1000});
    EXPECT_EQ(window.lngListSplit(), kHeight - 282);

    auto& chatBar = window.HSplitterBar1();
    Drag(chatBar, {20, 2}, {20, 2 + (300 - chatBar.y())});
    EXPECT_EQ(window.HSplitterBar1().y(), 382);
    EXPECT_EQ(window.picAdvBack().y(), 382 - 182);
    EXPECT_EQ(window.TivChat().y(), 387);
}

TEST_F(MainWindowTest, WindowIsGrownBackToTheMinimumSize) {
    window.resize(700, 500);
    window.TrackSizeZone();
    QTest::qWait(20);
    EXPECT_GE(window.width(), 800);
    EXPECT_GE(window.height(), 570);
    EXPECT_EQ(window.size(), QSize(800, 570));
}

TEST_F(MainWindowTest, CaptionDragMovesAndEdgeDragResizesByHand) {
    // Offscreen there is no window manager to do it, so the window does it.
    window.setGeometry(100, 50, kWidth, 700);
    const QRect start = window.geometry();
    const int captionX = window.lngSplitX() + 40;
    Drag(window, {captionX, 20}, {captionX + 30, 20 + 25});
    EXPECT_EQ(window.geometry(), start.translated(30, 25));

    const QRect moved = window.geometry();
    Drag(window, {moved.width() - 2, 300}, {moved.width() - 2 + 60, 300});
    EXPECT_EQ(window.geometry(), moved.adjusted(0, 0, 60, 0));

    // The left edge lies under the table; it sizes the window all the same,
    // and never below the minimum width.
    const QRect wide = window.geometry();
    Drag(window.famGameBack(), {1, 300}, {1 + 700, 300});
    EXPECT_EQ(window.geometry().right(), wide.right());
    EXPECT_EQ(window.width(), 800);
}

TEST_F(MainWindowTest, ShowsUserRecordsInTheList) {
    auto& list = window.lstUser();
    EXPECT_EQ(list.view().headerItem()->text(2), QStringLiteral("经验"));
    EXPECT_EQ(list.view().columnCount(), 11);
    EXPECT_EQ(list.view().columnWidth(3), 80);
    list.LoadWholeList(Record("张三", "", 0) + "\n" + Record("李四", "", 1) + "\n" +
                       Record("王五", "张三", 0));
    ASSERT_EQ(list.view().topLevelItemCount(), 3);
    EXPECT_EQ(list.view().topLevelItem(1)->text(0), QStringLiteral("李四"));
    EXPECT_EQ(list.view().topLevelItem(1)->text(3), QStringLiteral("长工"));
    EXPECT_EQ(list.view().topLevelItem(2)->text(4), QStringLiteral("张三"));
}

class PointsWindowTest : public MainWindowTest {
protected:
    PointsWindowTest() : MainWindowTest(1) {}
};

TEST_F(PointsWindowTest, ThirdColumnCountsPoints) {
    EXPECT_EQ(window.lstUser().view().headerItem()->text(2), QStringLiteral("积分"));
}

TEST_F(MainWindowTest, ChatGoesOutAsTenFieldsAndRelayedLinesShow) {
    QSignalSpy sent(&window, &FrmGameMain::ChatSendRequested);
    auto& chat = window.TivChat();
    chat.input().insert(QStringLiteral("大家好"));
    QTest::keyClick(&chat.input(), Qt::Key_Return);
    ASSERT_EQ(sent.count(), 1);
    const auto fields = sent.at(0).at(0).value<std::vector<std::string>>();
    ASSERT_EQ(fields.size(), 10u);
    EXPECT_EQ(fields[0], "所有人");
    EXPECT_EQ(fields[2], "张三");
    EXPECT_EQ(fields[9], "大家好");

    const std::vector<std::string> relayed(fields.begin() + 2, fields.end());
    chat.ShowChatMessage(relayed);
    EXPECT_TRUE(chat.lines().document()->toPlainText().contains(
        QStringLiteral("张三 对 所有人 说：大家好")));
}

TEST_F(MainWindowTest, UserCloseAsksTheHookAndStaysOpenOnNo) {
    int asked = 0;
    bool answer = false;
    QSignalSpy unloaded(&window, &FrmGameMain::Unloaded);
    MainWindowHooks hooks;
    hooks.closeRequested = [&] {
        ++asked;
        return answer;
    };
    window.SetHooks(std::move(hooks));

    EXPECT_FALSE(window.close());
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(unloaded.count(), 0);

    // The painted close button asks the same question.
    const Point close = window.captionButtons().system[2];
    Click(window, {close.x + 10, close.y + 10});
    EXPECT_EQ(asked, 2);
    EXPECT_TRUE(window.isVisible());

    answer = true;
    Click(window, {close.x + 10, close.y + 10});
    EXPECT_EQ(asked, 3);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(unloaded.count(), 1);
    EXPECT_TRUE(window.IsQuitting());
}

TEST_F(MainWindowTest, ProgramEndsWithoutAskingWhenTheWindowIsUnloaded) {
    int asked = 0;
    int unloading = 0;
    MainWindowHooks hooks;
    hooks.closeRequested = [&] {
        ++asked;
        return false;
    };
    hooks.unloading = [&] { ++unloading; };
    window.SetHooks(std::move(hooks));
    QWidget otherWindow;
    otherWindow.show();

    window.UnloadMainWindow();
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(unloading, 1);
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(otherWindow.isVisible()) << "every other window closes with it";
    window.UnloadMainWindow();
    EXPECT_EQ(unloading, 1);
}

TEST_F(MainWindowTest, CaptionButtonsMinimiseMaximiseAndOpenTheUserWindows) {
    int preferences = 0;
    int help = 0;
    MainWindowHooks hooks;
    hooks.openPreferences = [&] { ++preferences; };
    hooks.openHelp = [&] { ++help; };
    window.SetHooks(std::move(hooks));
    const CaptionButtons buttons = window.captionButtons();
    Click(window, {buttons.user[0].x + 20, buttons.user[0].y + 12});
    Click(window, {buttons.user[1].x + 20, buttons.user[1].y + 12});
    EXPECT_EQ(preferences, 1);
    EXPECT_EQ(help, 1);

    Click(window, {buttons.system[1].x + 10, buttons.system[1].y + 10});
    EXPECT_TRUE(window.isMaximized());
    Click(window, {window.captionButtons().system[1].x + 10, 17});
    EXPECT_FALSE(window.isMaximized());
}

}  // namespace
}  // namespace qira::app
