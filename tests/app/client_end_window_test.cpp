// qira-launch's window after a client ended, offscreen.
#include "app/client_end_window.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QPushButton>
#include <QTest>

namespace qira::app {
namespace {

const launch::EndNotice kRefused{"无法连接到服务器 192.168.1.9:5870（Connection refused）",
                                 "重新连接", true};

TEST(ClientEndWindow, SaysWhatHappenedAndNamesItsButtons) {
    ClientEndWindow window(kRefused);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.text().toStdString(), kRefused.text);
    EXPECT_EQ(window.againButton().accessibleName(), QStringLiteral("重新连接"));
    EXPECT_EQ(window.quitButton().accessibleName(), QStringLiteral("退出"));
    EXPECT_EQ(window.againButton().text(), QStringLiteral("重新连接"));
    EXPECT_FALSE(window.accessibleName().isEmpty());

    QDir().mkpath(QStringLiteral(QIRA_SCREENSHOT_DIR));
    EXPECT_TRUE(window.grab().save(QStringLiteral(QIRA_SCREENSHOT_DIR "/client_end_window.png")));
}

launch::PlayerChoice AnswerWith(Qt::Key key, const launch::EndNotice& notice) {
    ClientEndWindow window(notice);
    window.show();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &window, key);
    EXPECT_FALSE(window.isVisible()) << "the key closes the window";
    return window.choice();
}

TEST(ClientEndWindow, EnterConnectsAgainAndEscapeQuits) {
    EXPECT_EQ(AnswerWith(Qt::Key_Return, kRefused), launch::PlayerChoice::StartAnother);
    EXPECT_EQ(AnswerWith(Qt::Key_Enter, kRefused), launch::PlayerChoice::StartAnother);
    EXPECT_EQ(AnswerWith(Qt::Key_Escape, kRefused), launch::PlayerChoice::Quit);
    const launch::EndNotice dropped{"与服务器的连接断开了", "重新连接", true};
    EXPECT_EQ(AnswerWith(Qt::Key_Escape, dropped), launch::PlayerChoice::Quit);

    ClientEndWindow window(dropped);
    window.show();
    window.quitButton().click();
    EXPECT_EQ(window.choice(), launch::PlayerChoice::Quit);
}

}  // namespace
}  // namespace qira::app
