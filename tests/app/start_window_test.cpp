// qira-launch's start window offscreen: each tab with real data (a database
// the real server's computer players filled) and a real refused connection.
#include "app/start_window.h"

#include <gtest/gtest.h>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include "server/core/selfplay.h"
#include "server/core/stats_store.h"

namespace qira::app {
namespace {

void Save(QWidget& window, const char* name) {
    QDir().mkpath(QStringLiteral(QIRA_SCREENSHOT_DIR));
    EXPECT_TRUE(window.grab().save(QStringLiteral(QIRA_SCREENSHOT_DIR "/%1.png").arg(name)));
}

class StartWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.isValid());
        server::SqliteStatsStore store(database().toStdString());
        ASSERT_FALSE(server::RunLevelMatch(24, 11, {2, 1, 3, 2}, &store).stuck);
        settings_.name = "电脑1";
        settings_.level = 3;
        launch::RememberServer(settings_, {"192.168.1.9", 5870});
        launch::RememberServer(settings_, {"lan.example", 6000});
    }
    QString database() const { return folder_.filePath("server.sqlite"); }

    QTemporaryDir folder_;
    launch::StartSettings settings_;
};

TEST_F(StartWindowTest, LocalGameRemembersTheLevelAndTheName) {
    StartWindow window(settings_, {database(), "qira-replay"});
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    Save(window, "start_local");
    window.nameEdit().setText(QStringLiteral("李 四"));
    const auto* summary = window.findChild<QLabel*>(QStringLiteral("levelSummary"));
    ASSERT_NE(summary, nullptr);
    EXPECT_TRUE(summary->text().startsWith(QStringLiteral("中级加上防守")))
        << "level 3 says what it is";
    EXPECT_EQ(window.findChildren<QRadioButton*>().size(), 4);
    for (auto* radio : window.findChildren<QRadioButton*>())
        if (radio->accessibleName() == QStringLiteral("电脑水平高级")) radio->click();
    EXPECT_TRUE(summary->text().contains(QStringLiteral("随机发出")));
    for (auto* radio : window.findChildren<QRadioButton*>())
        if (radio->accessibleName() == QStringLiteral("电脑水平初级")) radio->click();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);  // the default button
    EXPECT_EQ(window.choice(), StartWindow::Choice::LocalGame);
    EXPECT_EQ(window.settings().level, 1);
    EXPECT_EQ(window.settings().name, "李_四");
}

TEST_F(StartWindowTest, JoinListsTheLastServersFirstAndNamesAServerThatRefuses) {
    StartWindow window(settings_, {database(), "qira-replay"});
    window.tabs().setCurrentIndex(1);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_EQ(window.hostBox().count(), 2);
    EXPECT_EQ(window.hostBox().itemText(0), QStringLiteral("lan.example:6000"));
    EXPECT_EQ(window.hostBox().currentText(), QStringLiteral("lan.example"));
    EXPECT_EQ(window.portBox().value(), 6000);
    Save(window, "start_join");

    quint16 closed = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
        closed = probe.serverPort();
    }
    window.hostBox().setEditText(QStringLiteral("127.0.0.1"));
    window.portBox().setValue(closed);
    window.joinButton().click();
    QTRY_VERIFY_WITH_TIMEOUT(window.joinButton().isEnabled(), 10000);
    EXPECT_EQ(window.joinStatus().text(),
              QStringLiteral("无法连接到服务器 127.0.0.1:%1（Connection refused）").arg(closed));
    EXPECT_EQ(window.choice(), StartWindow::Choice::None);
    Save(window, "start_join_refused");

    QTcpServer listening;
    ASSERT_TRUE(listening.listen(QHostAddress::LocalHost));
    window.portBox().setValue(listening.serverPort());
    window.frontDoorBox().setChecked(true);  // the launcher asks it which server to join
    window.joinButton().click();
    QTRY_COMPARE_WITH_TIMEOUT(window.choice(), StartWindow::Choice::JoinServer, 10000);
    EXPECT_EQ(window.settings().servers.front(),
              (launch::ServerEntry{"127.0.0.1", listening.serverPort(), true}));
    EXPECT_EQ(window.settings().servers.size(), 3u);
}

TEST_F(StartWindowTest, MyHandsAreNewestFirstAndOpenFromMySeat) {
    StartWindow window(settings_, {database(), "qira-replay"});
    window.tabs().setCurrentIndex(2);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto& list = window.handList();
    ASSERT_EQ(list.rowCount(), 24);
    EXPECT_EQ(list.currentRow(), 0);
    const QStringList arguments = window.ReplayArguments();
    ASSERT_EQ(arguments.size(), 5);
    EXPECT_EQ(arguments[0], database());
    EXPECT_EQ(arguments[2], QStringLiteral("24")) << "the newest hand first";
    EXPECT_EQ(arguments.mid(3), (QStringList{"--player", "电脑1"}));
    EXPECT_EQ(window.ReplayArguments(true), arguments + QStringList{"--review"});
    EXPECT_TRUE(window.reviewButton().isEnabled());
    Save(window, "start_hands");

    window.nameEdit().setText(QStringLiteral("没打过"));
    window.LoadHands();
    EXPECT_EQ(list.rowCount(), 0);
    EXPECT_FALSE(window.replayButton().isEnabled());
}

TEST_F(StartWindowTest, RecordDrawsEveryHand) {
    settings_.tab = 3;
    StartWindow window(settings_, {database(), "qira-replay"});
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.record().pointsAfter.size(), 24u);
    EXPECT_EQ(window.record().all.hands, 24);
    int byLevel = 0;
    for (const auto& figures : window.record().byLevel) byLevel += figures.hands;
    EXPECT_EQ(byLevel, 24);
    Save(window, "start_record");
}

}  // namespace
}  // namespace qira::app
