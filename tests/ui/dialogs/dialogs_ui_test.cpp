#include <gtest/gtest.h>

#include <unistd.h>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "net/packet.h"
#include "net/requests.h"
#include "ui/dialogs/frm_game_set.h"
#include "ui/dialogs/frm_msg.h"
#include "ui/dialogs/frm_user_menu.h"
#include "ui/dialogs/frm_user_set.h"

namespace qira::dialogs {
namespace {

// The application object lives in main, so that it goes before the
// devices Qt keeps until exit.
void App() {
    ASSERT_NE(qApp, nullptr);
}

void SaveShot(QWidget& widget, const char* name) {
    QDir().mkpath(QStringLiteral(QIRA_SCREENSHOT_DIR));
    widget.grab().save(QStringLiteral(QIRA_SCREENSHOT_DIR "/") + name);
}

void DeleteClosedWindows() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

MsgInfo Question(bool yesDefault, std::int32_t seconds = 10) {
    return {.bteMsgType = MsgType::TwoButtons,
            .strNote = "本局还没有结束，确实要强行退出吗？",
            .strCaption = "系统提示",
            .strYesCmdCaption = "确定",
            .strNoCmdCaption = "取消",
            .lngMaxDelayTime = seconds,
            .blnYesDefault = yesDefault};
}

// Runs `script` once the event loop of a modal box is running.
void WhileModal(std::function<void()> script) {
    QTimer::singleShot(0, std::move(script));
}

class MsgWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        registry.InitGlobalMsgObject("/nonexistent/");
    }
    MsgRegistry registry;
    MsgService service{registry, nullptr};
};

TEST_F(MsgWindowTest, OneButtonBoxCountsOnItsButtonAndAnswersTrue) {
    std::vector<QString> captions;
    WhileModal([&] {
        frmMsg* box = service.Window(0);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), "系统提示");
        EXPECT_TRUE(box->windowFlags() & Qt::WindowStaysOnTopHint);
        EXPECT_FALSE(box->cmdUser[1].isVisibleTo(box));
        EXPECT_EQ(box->cmdUser[0].text(), "确定(&Y)");
        SaveShot(*box, "msg_one_button.png");
        box->tmrDelay.stop();
        for (int tick = 0; tick < 11; ++tick) {
            box->OnDelayTick();
            captions.push_back(box->cmdUser[0].text());
        }
        box->OnDelayTick();
    });
    MsgInfo info = Question(true);
    info.bteMsgType = MsgType::OneButton;
    info.strNote = "桌主已经离开，本桌游戏不能开始。";
    EXPECT_TRUE(registry.ShowGlobalMsg(0, info));
    ASSERT_EQ(captions.size(), 11u);
    EXPECT_EQ(captions.front(), "确定(&Y) 10");
    EXPECT_EQ(captions.back(), "确定(&Y) 0");
    DeleteClosedWindows();
    EXPECT_EQ(service.Window(0), nullptr);
}

TEST_F(MsgWindowTest, TwoButtonsWithoutYesDefaultFocusAndCountOnTheSecond) {
    service.SetTickInterval(5);
    QString focused;
    WhileModal([&] {
        frmMsg* box = service.Window(0);
        ASSERT_NE(box, nullptr);
        focused = box->focusWidget() ? box->focusWidget()->objectName() : QString();
        EXPECT_EQ(box->focusWidget(), &box->cmdUser[1]);
        EXPECT_TRUE(box->cmdUser[1].isDefault());
        SaveShot(*box, "msg_two_buttons.png");
    });
    EXPECT_FALSE(registry.ShowGlobalMsg(0, Question(false, 2))) << "the real timer answers";
}

TEST_F(MsgWindowTest, ClickingTheFirstButtonAnswersTrue) {
    WhileModal([&] { QTest::mouseClick(&service.Window(0)->cmdUser[0], Qt::LeftButton); });
    EXPECT_TRUE(registry.ShowGlobalMsg(0, Question(false)));
}

TEST_F(MsgWindowTest, EscapeOrTheCloseBoxAnswersFalse) {
    WhileModal([&] { QTest::keyClick(service.Window(0), Qt::Key_Escape); });
    EXPECT_FALSE(registry.ShowGlobalMsg(0, Question(true)));
    WhileModal([&] { service.Window(0)->close(); });
    EXPECT_FALSE(registry.ShowGlobalMsg(0, Question(true)));
    EXPECT_EQ(registry.OpenCount(), 0);
}

TEST_F(MsgWindowTest, NoticeStaysWithoutCaptionOrButtonsUntilClosedFromOutside) {
    MsgInfo notice;
    notice.bteMsgType = MsgType::Notice;
    notice.strNote = "等待桌主进行本桌游戏设置...";
    registry.ShowGlobalMsg(0, notice);
    QPointer<frmMsg> box = service.Window(0);
    ASSERT_TRUE(box);
    EXPECT_TRUE(box->isVisible());
    EXPECT_TRUE(box->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_FALSE(box->cmdUser[0].isVisibleTo(box));
    EXPECT_FALSE(box->tmrDelay.isActive());
    EXPECT_EQ(box->labNote.text(), "等待桌主进行本桌游戏设置...");
    SaveShot(*box, "msg_notice.png");
    QTest::keyClick(box, Qt::Key_Escape);
    EXPECT_TRUE(box && box->isVisible()) << "a notice ignores Escape";

    registry.UnloadRoomMsgObjects(0);
    DeleteClosedWindows();
    EXPECT_FALSE(box);
}

TEST_F(MsgWindowTest, IconsComeFromTheResourceFolderAboveTheProgram) {
    registry.InitGlobalMsgObject(QIRA_SHARED_FOLDER);
    ASSERT_TRUE(QFileInfo::exists(QString::fromStdString(registry.IconPath(MsgType::TwoButtons))));
    WhileModal([&] {
        SaveShot(*service.Window(0), "msg_two_buttons_artwork.png");
        QTest::mouseClick(&service.Window(0)->cmdUser[0], Qt::LeftButton);
    });
    EXPECT_TRUE(registry.ShowGlobalMsg(0, Question(true)));
}

TEST_F(MsgWindowTest, QuestionClosedFromOutsideWhileANoticeWaitsAnswersFalse) {
    MsgInfo notice;
    notice.bteMsgType = MsgType::Notice;
    notice.strNote = "<b>不是标记</b>";
    WhileModal([&] {
        registry.ShowGlobalMsg(0, notice);
        EXPECT_EQ(service.Window(1)->labNote.textFormat(), Qt::PlainText);
        registry.UnloadRoomMsgObjects(0);
    });
    EXPECT_FALSE(registry.ShowGlobalMsg(0, Question(true)));
    EXPECT_EQ(registry.OpenCount(), 0);
}

class GameSetWindowTest : public ::testing::Test {
protected:
    void SetUp() override { App(); }
    frmGameSet* Open(bool owner, std::string_view settings = "10`100`1`5`50`0") {
        auto* window = new frmGameSet("Qira麻将", owner ? "桌主甲" : "乙", [this](auto bytes) {
            sent.emplace_back(bytes.begin(), bytes.end());
        });
        window->SetWarningBox(
            [this, window](QWidget*, const QString& caption, const QString& text) {
                EXPECT_FALSE(window->tmrDelay.isActive()) << "no countdown while the warning shows";
                warnings.push_back(caption + "|" + text);
            });
        EXPECT_EQ(window->SetInitGameSetInfo(owner, settings), true);
        return window;
    }
    std::vector<net::Bytes> sent;
    std::vector<QString> warnings;
};

TEST_F(GameSetWindowTest, OwnerFormEditsDigitsOnlyWithLabelsBesideTheBoxes) {
    QPointer<frmGameSet> window = Open(true);
    EXPECT_EQ(window->windowTitle(), "Qira麻将 游戏设置");
    EXPECT_EQ(window->famGameSet.title(), "你是桌主，请进行本桌游戏设置");
    EXPECT_EQ(window->txtUser[0].text(), "10");
    EXPECT_EQ(window->txtUser[1].text(), "5");
    EXPECT_FALSE(window->txtUser[0].isReadOnly());
    EXPECT_EQ(window->Label1.x(), window->txtUser[0].x() - 112);
    EXPECT_EQ(window->Label2.y(), window->txtUser[1].y() + 3);
    EXPECT_TRUE(window->tmrDelay.isActive());
    window->show();
    SaveShot(*window, "game_set_owner.png");

    QTest::keyClicks(&window->txtUser[0], "a2-.x0 ");
    EXPECT_EQ(window->txtUser[0].text(), "1020");
    QTest::keyClick(&window->txtUser[0], Qt::Key_Backspace);
    EXPECT_EQ(window->txtUser[0].text(), "102");
    EXPECT_EQ(window->Model().BoxText(0), "102");

    QTest::mouseClick(&window->cmdUser[0], Qt::LeftButton);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0], "Qira麻将|本桌大小必须在 1 和 100 之间！");
    EXPECT_TRUE(sent.empty());
    EXPECT_TRUE(window->tmrDelay.isActive()) << "the countdown resumes after the warning";

    window->txtUser[0].setText("100");
    QTest::mouseClick(&window->cmdUser[0], Qt::LeftButton);
    const std::string fields[] = {"100", "100", "1", "5", "50", "0"};
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], *net::requests::ConfirmSettings("桌主甲", fields));
    DeleteClosedWindows();
    EXPECT_FALSE(window);
}

// Pasted or dropped text goes in whole or not at all: ASCII digits only.
TEST_F(GameSetWindowTest, PastedTextWithAnythingButDigitsIsRefusedWhole) {
    QPointer<frmGameSet> window = Open(true);
    QLineEdit& box = window->txtUser[1];
    box.selectAll();
    box.insert("3a");
    EXPECT_EQ(box.text(), "5");
    box.selectAll();
    box.insert(QStringLiteral("１２"));  // full-width digits
    EXPECT_EQ(box.text(), "5");
    box.selectAll();
    box.insert("42");
    EXPECT_EQ(box.text(), "42");
    EXPECT_EQ(window->Model().BoxText(1), "42");
    window->close();
}

TEST_F(GameSetWindowTest, EightDigitsWarnThroughARealWarningBox) {
    QPointer<frmGameSet> window = Open(true, "10`99999999`1`5`50`0");
    window->SetWarningBox([](QWidget* parent, const QString& caption, const QString& text) {
        QTimer::singleShot(0, [] {
            if (QWidget* box = QApplication::activeModalWidget()) {
                if (auto* message = qobject_cast<QMessageBox*>(box)) {
                    EXPECT_EQ(message->text(), "每个输入区域的数字不能超过 7 位！");
                    EXPECT_EQ(message->icon(), QMessageBox::Warning);
                    SaveShot(*message, "game_set_warning.png");
                }
                box->close();
            }
        });
        QMessageBox::warning(parent, caption, text);
    });
    window->txtUser[0].setValidator(nullptr);
    window->txtUser[0].setText("12345678");
    QTest::mouseClick(&window->cmdUser[0], Qt::LeftButton);
    EXPECT_TRUE(sent.empty());
    EXPECT_TRUE(window);
    window->close();
}

TEST_F(GameSetWindowTest, WindowDiscardedWhileItsWarningWaitsIsLeftAlone) {
    QPointer<frmGameSet> window = Open(true);
    window->SetWarningBox([&window](QWidget*, const QString&, const QString&) {
        delete window.data();  // a new settings message replaced the window
    });
    window->txtUser[0].setText("0");
    QTest::mouseClick(&window->cmdUser[0], Qt::LeftButton);
    EXPECT_FALSE(window);
    EXPECT_TRUE(sent.empty());
}

TEST_F(GameSetWindowTest, OtherPlayerAgreesByItselfAfterTwentyOneTicks) {
    QPointer<frmGameSet> window = Open(false);
    EXPECT_EQ(window->famGameSet.title(), "桌主对本桌游戏进行的设置情况");
    EXPECT_TRUE(window->txtUser[1].isReadOnly());
    EXPECT_EQ(window->cmdUser[1].text(), "不同意");
    window->show();
    window->OnDelayTick();
    EXPECT_EQ(window->cmdUser[0].text(), "同意 20");
    SaveShot(*window, "game_set_player.png");
    for (int tick = 2; tick <= 20; ++tick) window->OnDelayTick();
    EXPECT_TRUE(sent.empty());
    window->OnDelayTick();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], *net::requests::RaiseHand("乙"));
    DeleteClosedWindows();
    EXPECT_FALSE(window);
}

TEST_F(GameSetWindowTest, DisagreeSendsLeave) {
    QPointer<frmGameSet> window = Open(false);
    window->show();
    QTest::mouseClick(&window->cmdUser[1], Qt::LeftButton);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], *net::requests::Leave("乙"));
}

// The keyboard as a player uses it: the window pops up while keys go to the
// table; only a box the player chose takes digits; Enter confirms, Esc
// answers with the offered settings.
TEST_F(GameSetWindowTest, KeysReachOnlyTheChosenBoxAndEnterOrEscAnswer) {
    const std::string offered[] = {"10", "100", "1", "5", "50", "0"};
    for (const bool escape : {false, true}) {
        sent.clear();
        QPointer<frmGameSet> window = Open(true);
        window->show();
        QApplication::setActiveWindow(window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        QTest::keyClicks(static_cast<QWidget*>(nullptr), "3");  // meant for the side bets
        EXPECT_EQ(window->txtUser[0].text(), "10");
        EXPECT_EQ(window->txtUser[1].text(), "5");

        QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_Backtab, Qt::ShiftModifier);
        ASSERT_EQ(QApplication::focusWidget(), &window->txtUser[1]);
        QTest::keyClicks(static_cast<QWidget*>(nullptr), "2");  // moving in selected the whole box
        EXPECT_EQ(window->txtUser[1].text(), "2");
        EXPECT_EQ(window->txtUser[0].text(), "10");
        EXPECT_TRUE(sent.empty());

        QTest::keyClick(static_cast<QWidget*>(nullptr), escape ? Qt::Key_Escape : Qt::Key_Return);
        const std::string confirmed[] = {"10", "100", "1", "2", "50", "0"};
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0], *net::requests::ConfirmSettings("桌主甲", escape ? offered : confirmed));
        DeleteClosedWindows();
        EXPECT_FALSE(window);
    }
}

class UserSetWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        folder = std::filesystem::temp_directory_path() /
                 ("qira-ui-prefs-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        std::filesystem::remove(folder / "UserSet.ini");
        appPath = folder.string() + "/";
        values = LoadUserSet(appPath);
    }
    void TearDown() override { std::filesystem::remove_all(folder); }
    frmUserSet* Open() {
        return new frmUserSet(values, appPath, "甲", [this](auto bytes) {
            sent.emplace_back(bytes.begin(), bytes.end());
        });
    }
    std::filesystem::path folder;
    std::string appPath;
    UserSet values;
    std::vector<net::Bytes> sent;
};

TEST_F(UserSetWindowTest, FiveBoxesInTwoFramesShowTheStoredValues) {
    QPointer<frmUserSet> window = Open();
    EXPECT_EQ(window->windowTitle(), "用户设置");
    EXPECT_EQ(window->famUser[0].title(), "基本设置");
    EXPECT_EQ(window->famUser[1].title(), "提示设置");
    EXPECT_EQ(window->chkUser[2].parentWidget(), &window->famUser[0]);
    EXPECT_EQ(window->chkUser[3].parentWidget(), &window->famUser[1]);
    EXPECT_EQ(window->chkUser[0].text(), "允许旁观者看我的牌");
    EXPECT_FALSE(window->chkUser[0].isChecked());
    EXPECT_TRUE(window->chkUser[4].isChecked());
    EXPECT_EQ(window->cmdUser[0].text(), "默认值(&D)");
    window->show();
    SaveShot(*window, "user_set.png");
    window->close();
}

TEST_F(UserSetWindowTest, ConfirmSavesAndReportsOnlyAChangedOnlookerPreference) {
    QPointer<frmUserSet> window = Open();
    QTest::mouseClick(&window->cmdUser[1], Qt::LeftButton);
    EXPECT_TRUE(sent.empty());
    EXPECT_TRUE(std::filesystem::exists(folder / "UserSet.ini"));

    window = Open();
    window->chkUser[0].setChecked(true);
    window->chkUser[1].setChecked(false);
    QTest::mouseClick(&window->cmdUser[1], Qt::LeftButton);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], *net::requests::AllowWatchCards("甲", true));
    EXPECT_EQ(LoadUserSet(appPath), (UserSet{1, 0, 1, 1, 1}));
    DeleteClosedWindows();
    EXPECT_FALSE(window);
}

TEST_F(UserSetWindowTest, DefaultTicksAllButCancelKeepsEverything) {
    values.bytSoundOn = 0;
    QPointer<frmUserSet> window = Open();
    QTest::mouseClick(&window->cmdUser[0], Qt::LeftButton);
    for (int box = 0; box < kUserSetCount; ++box) EXPECT_TRUE(window->chkUser[box].isChecked());
    EXPECT_FALSE(window->chkUser[kDiscardHintIndex].isChecked()) << "hints are off by default";
    QTest::mouseClick(&window->cmdUser[2], Qt::LeftButton);
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(values.bytSoundOn, 0);
    EXPECT_FALSE(std::filesystem::exists(folder / "UserSet.ini"));
}

TEST(UserMenuWindow, ShowsTheCaptionsAndReportsTheChosenItem) {
    App();
    launch::ClientGlobals globals;
    globals.launch.strLevelInfo = "长工_100`短工_200";
    globals.ResetGlobals("/games/qira/bin");
    const std::string record = net::JoinFields({"A&B", "1001", "350", "250", "", "40", "55", "2",
                                                "22", "15", "3", "0", "1012", "0", "0", "0"});
    const auto menu = players::BuildUserMenu(record, globals);
    ASSERT_TRUE(menu);
    frmUserMenu popup(*menu);
    EXPECT_EQ(popup.mnuUserItem(0)->text(),
              "A&&B   身份：" + QString::fromStdString(globals.strUserTypeNames[1]));
    EXPECT_EQ(popup.mnuUserItem(1)->text(), "游戏ID：1001");
    EXPECT_TRUE(popup.mnuUserItem(3)->isSeparator());
    EXPECT_EQ(popup.mnuUserItem(4)->text(), "与他（她）交谈");
    EXPECT_TRUE(popup.mnuUserItem(5)->isSeparator());
    EXPECT_EQ(popup.mnuUserItem(6)->text(), "级别:短工   胜率:55%   逃跑率:2%");
    EXPECT_EQ(popup.mnuUserItem(7)->text(), "经验:350   胜:22   输:15   和:3   总局数:40");
    EXPECT_EQ(popup.mnuUserItem(4)->data().toString(), "A&B");

    std::vector<int> chosen;
    QObject::connect(&popup, &frmUserMenu::itemChosen, [&](int item) { chosen.push_back(item); });
    popup.mnuUserItem(4)->trigger();
    popup.mnuUserItem(6)->trigger();
    ASSERT_EQ(chosen, (std::vector<int>{4, 6}));
    EXPECT_EQ(players::ExecUserMenu(popup.Menu(), chosen[0]), "A&B");
    EXPECT_FALSE(players::ExecUserMenu(popup.Menu(), chosen[1]));

    popup.adjustSize();
    SaveShot(popup, "user_menu.png");
    EXPECT_EQ(frmUserMenu::PopUp("A`1`2", globals, QPoint(10, 10)), nullptr);
}

}  // namespace
}  // namespace qira::dialogs

// Replaces gtest_main's entry: the widgets need an application object.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
