// Saves a picture of the whole window, at 1280 x 800, with users in the list,
// a chat exchange and a message box open, for a person to look at:
// <build folder>/screenshots/main_window.png.
#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

#include "launch/frm_game_main.h"

namespace qira::launch {
namespace {

std::string Record(std::string_view name, std::string_view watched, int chair, int score, int level,
                   int portrait) {
    return std::string(name) + "`" + std::to_string(20000 + chair * 37) + "`" +
           std::to_string(score) + "`" + std::to_string(level) + "`" + std::string(watched) + "`" +
           std::to_string(score / 7) + "`" + std::to_string(40 + chair * 3) + "`" +
           std::to_string(chair) + "`" + std::to_string(score / 20) + "`" +
           std::to_string(score / 25) + "`" + std::to_string(chair + 2) + "`0`" +
           std::to_string(portrait) + "`" + std::to_string(chair) + "`1`0";
}

std::vector<std::string> Line(std::string sender, std::string target, std::string colour,
                              std::string text) {
    return {std::move(sender), std::move(target), std::move(colour), "宋体", "10", "0", "0",
            std::move(text)};
}

TEST(MainWindowScreenshot, WholeWindowWithUsersChatAndAMessageBox) {
    ClientGlobals globals;
    globals.launch.strGameTitle = "Qira麻将";
    globals.launch.strUserName = "张三";
    globals.launch.strLevelInfo = "长工_100`短工_200`佃农_300`贫农_400`中农_500`富农_600";
    globals.ResetGlobals(ExecutableFolder());
    FrmGameMain window(globals, QSize(1280, 800));
    window.setGeometry(0, 0, 1280, 800);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    auto& list = window.lstUser();
    list.LoadWholeList(
        Record("张三", "", 0, 1520, 350, 12) + "\n" + Record("李四", "", 1, 860, 180, 1003) + "\n" +
        Record("王五", "", 2, 2310, 620, 2040) + "\n" + Record("赵六", "", 3, 95, 60, 7) + "\n" +
        Record("小七", "张三", 0, 40, 20, 3));
    auto& chat = window.TivChat();
    for (const char* name : {"李四", "王五", "赵六", "小七"})
        chat.ChangeChatTarget(platform::ChatWidget::TargetAction::Add, name);
    chat.ShowSystemLine("李四 进来了...");
    chat.ShowSystemLine("小七 进来了，正在旁观 张三 游戏...");
    chat.ShowChatMessage(Line("李四", "所有人", "#0000C0", "大家好，今天手气怎么样？"));
    chat.ShowChatMessage(Line("张三", "所有人", "#008000", "还行，刚胡了一把清一色"));
    chat.ShowChatMessage(Line("王五", "张三", "#C00000", "快点出牌啊"));
    chat.ShowLine("本桌底分 100，逃跑扣 500");
    chat.input().setText(QStringLiteral("马上就来"));

    window.YuClock().move(470, 560);
    window.YuClock().show();
    window.YuClock().StartClock(20);

    // The two-button question the window asks before a forced quit.
    QWidget box(nullptr, Qt::Dialog);
    box.setWindowTitle(QStringLiteral("系统提示"));
    auto* layout = new QVBoxLayout(&box);
    auto* note = new QLabel(QStringLiteral("大伙正在游戏，如果你现在退出是很不道德的，并且系统会"
                                           "算你逃跑！你是否强退？"),
                            &box);
    note->setWordWrap(true);
    layout->addWidget(note);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(new QPushButton(QStringLiteral("强退(&Y)"), &box));
    buttons->addWidget(new QPushButton(QStringLiteral("取消(&N) 10"), &box));
    buttons->addStretch();
    layout->addLayout(buttons);
    box.resize(368, 144);
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    QTest::qWait(50);

    QImage shot = window.grab().toImage();
    {
        QPainter painter(&shot);
        const QPoint at((shot.width() - box.width()) / 2, (shot.height() - box.height()) / 2);
        painter.fillRect(QRect(at - QPoint(1, 1), box.size() + QSize(2, 2)), QColor(80, 80, 80));
        painter.drawPixmap(at, box.grab());
    }
    const QDir folder(QStringLiteral(QIRA_SCREENSHOT_DIR));
    ASSERT_TRUE(folder.mkpath(QStringLiteral(".")));
    const QString path = folder.filePath(QStringLiteral("main_window.png"));
    ASSERT_TRUE(shot.save(path));
    EXPECT_EQ(shot.size(), QSize(1280, 800));
    window.UnloadMainWindow();
}

}  // namespace
}  // namespace qira::launch
