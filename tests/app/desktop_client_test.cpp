// The whole desktop client over its real widgets and a real session, fed the
// server's messages by hand; requests are recorded instead of sent.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QDir>
#include <QSignalSpy>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <QToolTip>
#include <filesystem>
#include <functional>

#include <unistd.h>

#include "app/desktop_client.h"
#include "net/packet.h"
#include "net/requests.h"
#include "ui/dialogs/frm_msg.h"
#include "ui/dialogs/frm_user_set.h"
#include "ui/play/frm_hu_pai_result.h"
#include "ui/play/frm_shun_zi.h"
#include "ui/render/game_area_widget.h"

namespace qira::app {
namespace {

using net::Bytes;

Bytes Text(std::uint8_t mainType, std::uint8_t subType, std::string_view body) {
    return net::BuildTextPacket(mainType, subType, body).value();
}

std::string Record(const std::string& name, int chair, const std::string& watched = "") {
    return net::JoinFields({name, "1001", "250", "150", watched, "10", "50", "0", "5", "5", "0",
                            "0", "3", std::to_string(chair), "0", "0"});
}

// A new hand with `dealer` dealing and side bets to choose (phase 10).
Bytes NewHand(std::uint8_t dealer = 0) {
    Bytes message(29, 0);
    message[0] = 17;
    message[3] = 5;
    message[11] = dealer;
    message[15] = dealer;
    message[12] = 4;
    message[14] = 3;
    message[16] = 10;
    for (int chair = 0; chair < 4; ++chair) message[19 + 2 * chair] = 33;
    message[26] = 34;
    message[27] = 33;
    return message;
}

Bytes Deal(std::uint8_t chair, std::initializer_list<std::uint8_t> hand) {
    Bytes message{28, 1, chair, 0};
    message.insert(message.end(), hand.begin(), hand.end());
    return message;
}

// A discard; `nextChair` 255 opens the claim window, a chair draws `nextTile` at once.
Bytes Discard(std::uint8_t chair, std::uint8_t tile, std::uint8_t nextChair = 255,
              std::uint8_t nextTile = 0) {
    return Bytes{19, 0, chair, tile, 0, 0, nextChair, nextTile};
}

template <typename Window>
Window* OpenWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<Window*>(widget); window && window->isVisible())
            return window;
    return nullptr;
}

template <typename Window>
int CountWindows() {
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (qobject_cast<Window*>(widget) && widget->isVisible()) ++count;
    return count;
}

class DesktopClientTest : public ::testing::Test {
protected:
    DesktopClientTest() : client(Globals(), Options(sent)) {
        client.preferences() = dialogs::UserSet{};
        client.messageBoxes().SetTickInterval(2);
        client.window().setGeometry(0, 0, 1280, 800);
        client.window().show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&client.window()));
    }
    ~DesktopClientTest() override { client.window().UnloadMainWindow(); }

    static launch::ClientGlobals Globals() {
        launch::ClientGlobals globals;
        globals.launch.strGameTitle = "Qira麻将";
        globals.launch.strUserName = "张三";
        globals.launch.strLevelInfo = "长工_100`短工_200";
        globals.ResetGlobals(launch::ExecutableFolder());
        return globals;
    }
    static DesktopClient::Options Options(std::vector<Bytes>& sent) {
        DesktopClient::Options options;
        options.send = [&sent](std::span<const std::uint8_t> message) {
            sent.emplace_back(message.begin(), message.end());
        };
        options.wait = [](int) {};
        return options;
    }

    void Feed(const Bytes& message) { client.session().OnMessage(message); }

    // The table of 张三 (chair 0), 李四, 王五 and 赵六, viewed by `viewName`,
    // waiting for the first hand.
    void EnterTable(const std::string& viewName, bool withOnlooker = false) {
        Feed(Text(130, 3, net::JoinFields({"张三", viewName})));
        std::string list = Record(viewName == "张三" ? "张三" : viewName, 0) + "\n" +
                           Record("李四", 1) + "\n" + Record("王五", 2) + "\n" + Record("赵六", 3);
        if (withOnlooker) list += "\n" + Record("张三", 0, viewName);
        Feed(Text(130, 2, list));
        Feed(Text(111, 0, "a`b`c`0`d`0`0"));
    }

    // Closes the window the way the user does, answering a question (if one
    // comes) by the button `answer`, or by its countdown when `answer` is -1.
    bool UserCloses(int answer, bool* asked) {
        *asked = false;
        QTimer::singleShot(0, [&] {
            dialogs::frmMsg* box = client.messageBoxes().Window(0);
            if (!box) return;
            *asked = true;
            EXPECT_EQ(
                box->labNote.text(),
                QStringLiteral("大伙正在游戏，如果你现在退出是很不道德的，并且系统会算你逃跑！"
                               "你是否强退？"));
            EXPECT_EQ(box->windowTitle(), QStringLiteral("系统提示"));
            if (answer >= 0) box->cmdUser[static_cast<std::size_t>(answer)].click();
        });
        client.window().close();
        QApplication::processEvents();
        return !client.window().isVisible();
    }

    // 张三 (chair 0) in a hand dealt by 赵六 (chair 3), whose turn it is.
    void StartHandDealtByTheLastChair(std::initializer_list<std::uint8_t> hand) {
        EnterTable("张三");
        Feed(NewHand(3));
        client.session().OnGameButtonClick(2);
        Feed(Deal(0, hand));
        sent.clear();
    }

    std::vector<Bytes> sent;
    DesktopClient client;
};

TEST_F(DesktopClientTest, UserListShowsTheTableAndSeatsThePlayers) {
    EnterTable("张三");
    auto& list = client.window().lstUser();
    ASSERT_EQ(list.view().topLevelItemCount(), 4);
    EXPECT_EQ(list.view().topLevelItem(0)->text(0), QStringLiteral("张三"));
    EXPECT_EQ(list.view().topLevelItem(3)->text(0), QStringLiteral("赵六"));
    EXPECT_EQ(client.session().table().Seats[2].strPlayerName, "王五");
    EXPECT_EQ(client.window().TivChat().Targets(),
              (std::vector<std::string>{"所有人", "张三", "李四", "王五", "赵六"}));

    // A plain click on a user makes him the chat target.
    QTreeWidgetItem* wang = list.view().topLevelItem(2);
    const QRect row = list.view().visualItemRect(wang);
    QTest::mouseClick(list.view().viewport(), Qt::LeftButton, {}, QPoint(20, row.center().y()));
    EXPECT_EQ(client.window().TivChat().CurrentTarget(), "王五");
}

TEST_F(DesktopClientTest, ChatTravelsBothWays) {
    EnterTable("张三");
    sent.clear();
    auto& chat = client.window().TivChat();
    chat.input().insert(QStringLiteral("大家好"));
    QTest::keyClick(&chat.input(), Qt::Key_Return);
    ASSERT_EQ(sent.size(), 1u);
    ASSERT_FALSE(sent[0].empty());
    EXPECT_EQ(sent[0][0], 1);
    const auto fields = net::SplitFields(net::DecodeBody(sent[0], 1));
    ASSERT_EQ(fields.size(), 10u);
    EXPECT_EQ(fields[2], "张三");
    EXPECT_EQ(fields[9], "大家好");

    // The server relays a line of 李四 to everybody.
    Bytes relayed;
    const std::uint8_t header[] = {1};
    ASSERT_TRUE(net::BuildPacket(net::JoinFields({"所有人", "0", "李四", "所有人", "#0000FF",
                                                  "宋体", "10", "0", "0", "快点出牌"}),
                                 relayed, 1, header));
    Feed(relayed);
    EXPECT_TRUE(chat.lines().document()->toPlainText().contains(
        QStringLiteral("李四 对 所有人 说：快点出牌")));
    Feed(Text(108, 3, "李四"));
    EXPECT_TRUE(
        chat.lines().document()->toPlainText().contains(QStringLiteral("不好，李四 掉线了...")));
}

TEST_F(DesktopClientTest, PlayerBetweenHandsClosesWithoutAQuestion) {
    EnterTable("张三");
    bool asked = false;
    EXPECT_TRUE(UserCloses(0, &asked));
    EXPECT_FALSE(asked);
    EXPECT_TRUE(client.session().ended());
}

TEST_F(DesktopClientTest, PlayerInAHandIsAskedAndCancelOrTheCountdownKeepsTheWindow) {
    EnterTable("张三");
    Feed(NewHand());
    ASSERT_FALSE(client.session().table().blnHandIdle);
    bool asked = false;
    EXPECT_FALSE(UserCloses(1, &asked));  // "取消"
    EXPECT_TRUE(asked);
    EXPECT_FALSE(UserCloses(-1, &asked));  // the countdown answers "取消"
    EXPECT_TRUE(asked);
    EXPECT_FALSE(client.session().ended());

    EXPECT_TRUE(UserCloses(0, &asked));  // "强退"
    EXPECT_TRUE(asked);
    EXPECT_TRUE(client.session().ended());
}

TEST_F(DesktopClientTest, PlayerWhoSwitchedThePromptOffIsNotAsked) {
    client.preferences().bytQuitPrompt = 0;
    EnterTable("张三");
    Feed(NewHand());
    bool asked = false;
    EXPECT_TRUE(UserCloses(1, &asked));
    EXPECT_FALSE(asked);
}

TEST_F(DesktopClientTest, OnlookerIsNeverAsked) {
    Feed(Text(130, 3, net::JoinFields({"张三", "李四"})));
    Feed(Text(130, 2,
              Record("李四", 1) + "\n" + Record("王五", 2) + "\n" + Record("张三", 0, "李四")));
    Feed(NewHand());
    ASSERT_TRUE(client.session().globals().blnIsWatcher);
    bool asked = false;
    EXPECT_TRUE(UserCloses(1, &asked));
    EXPECT_FALSE(asked);
}

TEST_F(DesktopClientTest, ServerRemovingThePlayerEndsTheProgram) {
    EnterTable("张三");
    QSignalSpy unloaded(&client.window(), &FrmGameMain::Unloaded);
    client.session().OnConnectionEnded();
    EXPECT_FALSE(client.window().isVisible());
    EXPECT_EQ(unloaded.count(), 1);
}

TEST_F(DesktopClientTest, ThousandsOfServerNoticesOpenOneBoxAtATime) {
    EnterTable("张三");
    constexpr int kNotices = 3000;
    int fed = 0;
    int mostShown = 0;
    int mostAlive = 0;
    QStringList seen;
    const auto countBoxes = [&] {
        int shown = 0;
        int alive = 0;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<dialogs::frmMsg*>(widget);
            if (!box) continue;
            ++alive;
            if (!box->isVisible()) continue;
            ++shown;
            if (!seen.contains(box->labNote.text())) seen << box->labNote.text();
        }
        mostShown = std::max(mostShown, shown);
        mostAlive = std::max(mostAlive, alive);
        return shown;
    };
    // As the socket does it: the next delivery is posted before a message is
    // handled, so each notice arrives inside the box of the one before.
    std::function<void()> deliver = [&] {
        if (countBoxes() > 2) return;  // stacking: stop before the stack runs out
        if (++fed < kNotices)
            QMetaObject::invokeMethod(&client.window(), deliver, Qt::QueuedConnection);
        Bytes notice;
        const std::uint8_t header[] = {26};
        ASSERT_TRUE(net::BuildPacket("通知 " + std::to_string(fed), notice, 1, header));
        Feed(notice);
    };
    QMetaObject::invokeMethod(&client.window(), deliver, Qt::QueuedConnection);
    QTimer watch;  // sees the boxes shown after the last delivery
    QObject::connect(&watch, &QTimer::timeout, countBoxes);
    watch.start(1);
    QTRY_VERIFY_WITH_TIMEOUT((fed == kNotices || mostShown > 2) && countBoxes() == 0, 20000);
    EXPECT_EQ(fed, kNotices);
    EXPECT_EQ(mostShown, 1);
    EXPECT_LE(mostAlive, 2) << "a closed box may wait for its deletion";
    EXPECT_TRUE(seen.contains(QStringLiteral("通知 3000"))) << "the newest notice is shown";
    EXPECT_FALSE(client.session().ended());
}

TEST_F(DesktopClientTest, RefusedWinRecordOpensNoWindow) {
    StartHandDealtByTheLastChair({0, 1, 2, 3, 4, 5, 9, 10, 11, 18, 19, 20, 27});
    Feed(Bytes{23, 1, 0});  // one winner announced, nothing of him sent
    QApplication::processEvents();
    EXPECT_EQ(OpenWindow<play::frmHuPaiResult>(), nullptr)
        << "an empty win window would never close by itself";
    EXPECT_TRUE(client.session().globals().blnShowStart) << "the hand is over all the same";
}

// Chairs 1 and 3 win on chair 0's discard.
Bytes WinRecord() {
    Bytes m{23, 2};
    for (std::uint8_t chair : {1, 3}) {
        m.insert(m.end(), {chair, 4, 2, 5, 3, 27, 7, 0, 1, 2, 9, 10, 11, 36});
        Bytes items(17, 0);
        items[2] = 2;
        m.insert(m.end(), items.begin(), items.end());
    }
    for (int block = 0; block < 2; ++block)
        for (const std::int32_t v : {-20, 10, 0, 10})
            for (int shift = 24; shift >= 0; shift -= 8)
                m.push_back(static_cast<std::uint8_t>(v >> shift));
    m.insert(m.end(), {0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 36});
    for (int chair = 0; chair < 4; ++chair) m.insert(m.end(), {0, 0, 2, 0, 0, 0});
    return m;
}

// The player pressed start while the win window was still open: the next
// hand's side bets, with their buttons in the middle of the table, must not
// run out on the clock under it.
TEST_F(DesktopClientTest, NextHandClosesTheWinWindowSoTheSideBetsCanBeAnswered) {
    StartHandDealtByTheLastChair({0, 1, 2, 3, 4, 5, 9, 10, 11, 18, 19, 20, 27});
    Feed(WinRecord());
    QApplication::processEvents();
    ASSERT_NE(OpenWindow<play::frmHuPaiResult>(), nullptr);
    Feed(NewHand(1));
    QApplication::processEvents();
    EXPECT_EQ(OpenWindow<play::frmHuPaiResult>(), nullptr);
    EXPECT_NE(client.session().table().bytBetButtonStates[0], 0) << "the side bets are asked";
}

TEST_F(DesktopClientTest, SettingsButtonOpensOnePreferencesWindowAtATime) {
    const Point settings = client.window().captionButtons().user[0];
    const QPoint at(settings.x + 20, settings.y + 12);
    QTest::mouseClick(&client.window(), Qt::LeftButton, {}, at);
    QTest::mouseClick(&client.window(), Qt::LeftButton, {}, at);
    QApplication::processEvents();
    EXPECT_EQ(CountWindows<dialogs::frmUserSet>(), 1);

    // Once closed, the button opens it again.
    OpenWindow<dialogs::frmUserSet>()->close();
    QApplication::processEvents();
    QTest::mouseClick(&client.window(), Qt::LeftButton, {}, at);
    EXPECT_EQ(CountWindows<dialogs::frmUserSet>(), 1);
    OpenWindow<dialogs::frmUserSet>()->close();
}

TEST_F(DesktopClientTest, PreferencesComeFromTheSettingsFolderWhenOneIsGiven) {
    const auto folder =
        std::filesystem::temp_directory_path() / ("qira-settings-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    dialogs::UserSet saved;
    saved.bytSoundOn = 0;
    saved.bytQuitPrompt = 0;
    ASSERT_TRUE(dialogs::SaveUserSet(saved, folder.string() + "/"));

    std::vector<Bytes> otherSent;
    auto options = Options(otherSent);
    options.settingsFolder = folder.string() + "/";
    DesktopClient installed(Globals(), std::move(options));
    EXPECT_EQ(installed.preferences(), saved);
    installed.window().UnloadMainWindow();
    std::filesystem::remove_all(folder);
}

TEST_F(DesktopClientTest, DiscardAnimationClosesAnOpenChowChooser) {
    // 1 2 _ 4 5 of characters: 赵六's 3 of characters chows three ways.
    StartHandDealtByTheLastChair({0, 1, 3, 4, 9, 10, 11, 18, 19, 20, 27, 27, 28});
    Feed(Discard(3, 2));
    ASSERT_EQ(client.session().offer().bytActionButtons[0], 1) << "chow offered";

    bool openWhilePlayMovedOn = true;
    QTimer::singleShot(0, [&] {
        ASSERT_NE(OpenWindow<play::frmShunZi>(), nullptr);
        // 王五 punged the tile meanwhile and discards: the discard grows on the table.
        Feed(Bytes{21, 2, 2, 2});
        Feed(Discard(2, 30));
        openWhilePlayMovedOn = OpenWindow<play::frmShunZi>() != nullptr;
        if (auto* chooser = OpenWindow<play::frmShunZi>()) chooser->reject();
    });
    client.session().OnActionButton(0, play::MouseButton::Left);
    EXPECT_FALSE(openWhilePlayMovedOn);
    for (const Bytes& request : sent) EXPECT_NE(request[0], 20) << "no chow of a tile that is gone";
}

TEST_F(DesktopClientTest, DiscardsArrivingWhileADiscardGrowsFollowItAndLeaveTheTurnRight) {
    StartHandDealtByTheLastChair({0, 1, 2, 3, 4, 5, 9, 10, 11, 18, 19, 20, 27});
    // Like the socket: each delivery is posted before the message is handled,
    // so both arrive while the first discard grows on the table.
    std::vector<Bytes> arriving{Discard(1, 5, 2, 6), Discard(2, 6, 0, 8)};
    std::function<void()> deliver = [&] {
        const Bytes message = arriving.front();
        arriving.erase(arriving.begin());
        if (!arriving.empty())
            QMetaObject::invokeMethod(&client.window(), deliver, Qt::QueuedConnection);
        Feed(message);
    };
    QMetaObject::invokeMethod(&client.window(), deliver, Qt::QueuedConnection);
    Feed(Discard(3, 30, 1, 5));
    ASSERT_TRUE(arriving.empty()) << "the discard grew while messages came";

    const auto& table = client.session().table();
    EXPECT_EQ(table.bytTurnChair, 0);
    EXPECT_EQ(table.bytTurnPhase, 5);
    EXPECT_EQ(client.window().YuClock().Tag(), 0);
    EXPECT_EQ(table.Seats[2].Discards, (std::vector<rules::TileCode>{6}));
    EXPECT_TRUE(client.session().MayDiscardNow());
}

TEST_F(DesktopClientTest, ClockReturnsToItsSeatWhenTheWindowIsResized) {
    StartHandDealtByTheLastChair({0, 1, 2, 3, 4, 5, 9, 10, 11, 18, 19, 20, 27});
    const auto& clock = client.window().YuClock();
    ASSERT_FALSE(clock.isHidden());
    ASSERT_EQ(clock.Tag(), 3);
    const QPoint before = clock.pos();

    client.window().resize(900, 620);
    QApplication::processEvents();
    const render::Point place = client.canvas().ClockPlaceForTag(3);
    EXPECT_NE(QPoint(place.x, place.y), before) << "the seat moved with the smaller table";
    EXPECT_EQ(clock.pos(), QPoint(place.x, place.y));
}

TEST_F(DesktopClientTest, ReloadedListWipesALongerNameItReplaces) {
    const auto list = [](const std::string& secondName) {
        return Text(130, 2,
                    Record("张三", 0) + "\n" + Record(secondName, 1) + "\n" + Record("王五", 2) +
                        "\n" + Record("赵六", 3));
    };
    EnterTable("张三");
    const QImage table = client.canvas().picture().copy();
    Feed(list("李四李四李四李四李四"));
    ASSERT_NE(client.canvas().picture(), table);
    Feed(list("李四"));
    EXPECT_EQ(client.canvas().picture(), table) << "no trace of the longer name is left";
}

// --- the table as assistive technology reads it ---

QAccessibleInterface* PartNamed(QAccessibleInterface* parent, QAccessible::Role role,
                                const QString& name) {
    for (int i = 0; i < parent->childCount(); ++i) {
        QAccessibleInterface* part = parent->child(i);
        if (part->role() == role && part->text(QAccessible::Name).startsWith(name)) return part;
    }
    return nullptr;
}

TEST_F(DesktopClientTest, TableReadsAsHandDiscardTurnClockStatusAndButtons) {
    QAccessibleInterface* table =
        QAccessible::queryAccessibleInterface(&client.window().picGameBack());
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->text(QAccessible::Name), QStringLiteral("牌桌"));
    StartHandDealtByTheLastChair({0, 1, 3, 4, 9, 9, 12, 12, 12, 18, 19, 20, 27});

    QAccessibleInterface* hand = PartNamed(table, QAccessible::List, QStringLiteral("手牌"));
    ASSERT_NE(hand, nullptr);
    ASSERT_EQ(hand->childCount(), 13);
    EXPECT_EQ(hand->child(0)->text(QAccessible::Name), QStringLiteral("一萬"));
    EXPECT_EQ(hand->child(12)->text(QAccessible::Name), QStringLiteral("东风"));
    EXPECT_EQ(hand->child(12)->role(), QAccessible::ListItem);
    EXPECT_EQ(hand->indexOfChild(hand->child(5)), 5);
    EXPECT_TRUE(hand->child(0)->rect().intersects(table->rect()));

    QAccessibleInterface* pung = PartNamed(table, QAccessible::Button, QStringLiteral("碰"));
    ASSERT_NE(pung, nullptr);
    EXPECT_TRUE(pung->state().invisible) << "nothing offered yet";
    Feed(Discard(3, 12));
    EXPECT_FALSE(pung->state().invisible);
    EXPECT_EQ(pung->text(QAccessible::Description), QStringLiteral("碰（按键 P）"));
    EXPECT_NE(PartNamed(table, QAccessible::StaticText, QStringLiteral("最新打出：赵六 打出 四饼")),
              nullptr);
    EXPECT_NE(PartNamed(table, QAccessible::StaticText, QStringLiteral("等候吃、碰、杠、胡")),
              nullptr);
    EXPECT_NE(PartNamed(table, QAccessible::StaticText, QStringLiteral("计时钟：还剩 10 秒")),
              nullptr);
    EXPECT_NE(PartNamed(table, QAccessible::StatusBar, QStringLiteral("你可以 碰 / 杠 / 过")),
              nullptr);

    pung->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(sent, std::vector<Bytes>{net::requests::Pung(0, 12)}) << "press is the click";
}

TEST_F(DesktopClientTest, EveryControlOfTheWindowHasAName) {
    FrmGameMain& window = client.window();
    for (QWidget* control : std::initializer_list<QWidget*>{
             &window.lstUser().view(), &window.TivChat().input(), &window.TivChat().targets(),
             &window.TivChat().sendButton(), &window.TivChat().lines(), &window.YuClock(),
             &window.cmdStart(), &window.picGameBack()}) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
        ASSERT_NE(accessible, nullptr);
        EXPECT_FALSE(accessible->text(QAccessible::Name).isEmpty())
            << control->metaObject()->className();
    }
}

TEST_F(DesktopClientTest, CaptionButtonsAreNamedAndPressableForAScreenReader) {
    FrmGameMain& window = client.window();
    QStringList names;
    QAccessibleInterface* settings = nullptr;
    for (auto* button : window.findChildren<QPushButton*>()) {
        auto* standIn = dynamic_cast<CaptionStandIn*>(button);
        if (!standIn) continue;
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(standIn);
        ASSERT_NE(accessible, nullptr);
        EXPECT_EQ(accessible->role(), QAccessible::Button);
        names << accessible->text(QAccessible::Name);
        if (accessible->text(QAccessible::Name) == QStringLiteral("设置")) settings = accessible;
    }
    names.sort();
    EXPECT_EQ(names, (QStringList{"关闭", "帮助", "最大化", "最小化", "设置"}));
    ASSERT_NE(settings, nullptr);
    ASSERT_NE(settings->actionInterface(), nullptr);
    settings->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    // A pressed button clicks after its short press animation.
    for (int waited = 0; waited < 2000 && CountWindows<dialogs::frmUserSet>() == 0; waited += 20)
        QTest::qWait(20);
    EXPECT_EQ(CountWindows<dialogs::frmUserSet>(), 1) << "pressed like the painted button";
    OpenWindow<dialogs::frmUserSet>()->close();
}

// --- the keyboard: the same session events as the mouse ---

namespace rq = net::requests;

class KeyboardTest : public DesktopClientTest {
protected:
    QWidget& Table() { return client.window().picGameBack(); }
    void Press(Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key); }

    // The win window, once it holds the keyboard as a window manager gives it.
    play::frmHuPaiResult* ActiveWinWindow() {
        auto* win = OpenWindow<play::frmHuPaiResult>();
        if (!win) return nullptr;
        win->activateWindow();
        for (int waited = 0; waited < 2000 && QApplication::activeWindow() != win; waited += 10)
            QTest::qWait(10);
        return QApplication::activeWindow() == win ? win : nullptr;
    }
    // Windows are activated by the window system, a moment later.
    bool TableGetsTheKeys() {
        for (int waited = 0; waited < 2000 && QApplication::focusWidget() != &Table(); waited += 10)
            QTest::qWait(10);
        return QApplication::focusWidget() == &Table();
    }
};

TEST_F(KeyboardTest, ArrowsRaiseTheDrawnTileFirstAndEnterDiscardsTheRaisedOne) {
    StartHandDealtByTheLastChair({0, 1, 2, 3, 4, 5, 9, 10, 11, 18, 19, 20, 27});
    ASSERT_EQ(QApplication::focusWidget(), &Table()) << "the table has the keys from the start";
    Press(Qt::Key_Right);
    EXPECT_EQ(client.canvas().lngRaisedPai(), -1) << "not my turn: nothing to raise";

    Feed(Discard(3, 30, 0, 28));  // 赵六 discards, 张三 draws 南风 at once
    Press(Qt::Key_Left);
    EXPECT_EQ(client.canvas().lngRaisedPai(), 14) << "the drawn tile first";
    Press(Qt::Key_Right);
    EXPECT_EQ(client.canvas().lngRaisedPai(), 1) << "round to the first tile";
    Press(Qt::Key_Left);
    Press(Qt::Key_Left);
    EXPECT_EQ(client.canvas().lngRaisedPai(), 13);
    Press(Qt::Key_Return);
    const auto firstWinning = client.session().table().bytFirstWinningTile;
    EXPECT_EQ(sent, std::vector<Bytes>{rq::Discard(0, 27, 0, firstWinning)}) << "东风 goes";
    sent.clear();
    Press(Qt::Key_Space);
    EXPECT_TRUE(sent.empty()) << "one discard per turn";
}

TEST_F(KeyboardTest, EnterOnANewTurnRaisesTheDrawnTileBeforeItDiscards) {
    StartHandDealtByTheLastChair({0, 1, 2, 3, 4, 5, 9, 10, 11, 18, 19, 20, 27});
    client.canvas().RaiseTile(3);  // left raised by the mouse before the turn
    Feed(Discard(3, 30, 0, 28));
    Press(Qt::Key_Space);
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(client.canvas().lngRaisedPai(), 14);
    Press(Qt::Key_Space);
    EXPECT_EQ(sent, std::vector<Bytes>{
                        rq::Discard(0, 28, 0, client.session().table().bytFirstWinningTile)});
}

TEST_F(KeyboardTest, ClaimKeysActOnlyForTheOfferedButtons) {
    StartHandDealtByTheLastChair({0, 1, 3, 4, 9, 9, 12, 12, 12, 18, 19, 20, 27});
    Feed(Discard(3, 12));  // pung and kong offered, no chow, no win
    Press(Qt::Key_C);
    Press(Qt::Key_H);
    EXPECT_TRUE(sent.empty());
    Press(Qt::Key_P);
    EXPECT_EQ(sent, std::vector<Bytes>{rq::Pung(0, 12)});
    sent.clear();

    Feed(Discard(3, 9));  // a pair of 一饼 in hand: pung offered
    Press(Qt::Key_Escape);
    EXPECT_EQ(sent, std::vector<Bytes>{rq::Pass(0)});
}

// "出牌不对时给出提示": what cannot be played says why in a line above the
// hand, which goes by itself; no box opens.
TEST_F(KeyboardTest, MovesThatCannotBePlayedSayWhyAboveTheHand) {
    StartHandDealtByTheLastChair({0, 1, 3, 4, 9, 9, 12, 12, 12, 18, 19, 20, 27});
    auto& area = dynamic_cast<render::GameAreaWidget&>(Table());
    const int handTop = client.canvas().layout().ptShouPai[2].y;
    const QRect above(area.width() / 3, handTop - 60, area.width() / 3, 60);
    const QImage before = area.grab(above).toImage();
    Press(Qt::Key_Space);
    EXPECT_EQ(area.refusal(), QStringLiteral("还没轮到你出牌"));
    EXPECT_EQ(area.statusLine(), QStringLiteral("还没轮到你出牌"));
    Press(Qt::Key_P);
    EXPECT_EQ(area.refusal(), QStringLiteral("现在不能碰"));
    QDir().mkpath(QStringLiteral(QIRA_SCREENSHOT_DIR));
    area.grab().save(QStringLiteral(QIRA_SCREENSHOT_DIR "/refusal_line.png"));
    EXPECT_NE(area.grab(above).toImage(), before);
    EXPECT_EQ(client.messageBoxes().Window(0), nullptr);
    EXPECT_TRUE(sent.empty());
    QTRY_VERIFY_WITH_TIMEOUT(area.refusal().isEmpty(), 5000);
    EXPECT_EQ(area.grab(above).toImage(), before) << "the line goes by itself";

    client.preferences().bytWrongOutPrompt = 0;
    Press(Qt::Key_Space);
    EXPECT_TRUE(area.refusal().isEmpty());
}

TEST_F(KeyboardTest, ChowChooserTakesArrowsAndEnter) {
    // 1 2 _ 4 5 of characters: 赵六's 3 of characters chows three ways.
    StartHandDealtByTheLastChair({0, 1, 3, 4, 9, 10, 11, 18, 19, 20, 27, 27, 28});
    Feed(Discard(3, 2));
    const std::vector<std::uint8_t> choices = client.session().table().bytChowChoices;
    ASSERT_EQ(choices.size(), 3u);
    QTimer::singleShot(0, [&] {
        auto* chooser = OpenWindow<play::frmShunZi>();
        ASSERT_NE(chooser, nullptr);
        QTest::keyClick(chooser, Qt::Key_Right);
        QTest::keyClick(chooser, Qt::Key_Right);
        QTest::keyClick(chooser, Qt::Key_Right);
        QTest::keyClick(chooser, Qt::Key_Left);
        QTest::keyClick(chooser, Qt::Key_Return);
    });
    Press(Qt::Key_C);
    EXPECT_EQ(sent, std::vector<Bytes>{rq::Chow(0, choices[2])}) << "round and back";
}

TEST_F(KeyboardTest, StartAndSideBetsHaveTheirKeys) {
    EnterTable("张三");
    ASSERT_TRUE(client.session().globals().blnShowStart);
    Press(Qt::Key_S);
    EXPECT_EQ(sent.back(), rq::RaiseHand("张三").value());
    Feed(NewHand(3));
    sent.clear();
    Press(Qt::Key_2);
    EXPECT_TRUE(sent.empty());
    Press(Qt::Key_1);
    EXPECT_EQ(sent, std::vector<Bytes>{rq::SideBets(0, 3)});
}

// The win window opens holding the keyboard. The table's keys pressed in it
// reach the table; Enter or Esc close it and the table has the keys again.
TEST_F(KeyboardTest, WinWindowPassesTheStartKeyToTheTableAndEnterOrEscCloseIt) {
    StartHandDealtByTheLastChair({0, 1, 2, 3, 4, 5, 9, 10, 11, 18, 19, 20, 27});
    for (const Qt::Key closeKey : {Qt::Key_Return, Qt::Key_Escape}) {
        Feed(WinRecord());
        auto* win = ActiveWinWindow();
        ASSERT_NE(win, nullptr);
        ASSERT_TRUE(win->isAncestorOf(QApplication::focusWidget()));
        EXPECT_EQ(QAccessible::queryAccessibleInterface(win)->text(QAccessible::Description),
                  QStringLiteral(
                      "李四，赵六  同时胡牌，张三  点炮。按 S 开始下一局，按 Enter 或 Esc 关闭。"))
            << "what a screen reader hears as it opens";
        sent.clear();
        Press(Qt::Key_S);
        ASSERT_FALSE(sent.empty()) << "S in the win window starts";
        EXPECT_EQ(sent.back(), rq::ReadyForNextHand(0));
        EXPECT_TRUE(win->isVisible()) << "open until the next hand begins";
        Press(closeKey);
        EXPECT_FALSE(win->isVisible());
        EXPECT_TRUE(TableGetsTheKeys());
    }
}

// Closed by the next hand, the win window hands the keyboard back in time
// for the side bets.
TEST_F(KeyboardTest, NextHandClosingTheWinWindowGivesTheKeysBackForTheSideBets) {
    StartHandDealtByTheLastChair({0, 1, 2, 3, 4, 5, 9, 10, 11, 18, 19, 20, 27});
    Feed(WinRecord());
    ASSERT_NE(ActiveWinWindow(), nullptr);
    Press(Qt::Key_S);
    Feed(NewHand(3));
    ASSERT_EQ(OpenWindow<play::frmHuPaiResult>(), nullptr);
    ASSERT_TRUE(TableGetsTheKeys());
    sent.clear();
    Press(Qt::Key_3);
    EXPECT_EQ(sent, std::vector<Bytes>{rq::SideBets(0, 0)}) << "确定 without a bet";
}

TEST_F(KeyboardTest, ChatKeepsItsKeysAndTabLeavesTheTable) {
    StartHandDealtByTheLastChair({0, 1, 3, 4, 9, 9, 12, 12, 12, 18, 19, 20, 27});
    Feed(Discard(3, 12));
    Press(Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), &Table()) << "Tab moves on";

    QLineEdit& input = client.window().TivChat().input();
    input.setFocus();
    QTest::keyClicks(&input, "pg");
    QTest::keyClick(&input, Qt::Key_Escape);
    EXPECT_EQ(input.text(), QStringLiteral("pg"));
    EXPECT_TRUE(sent.empty()) << "typing in the chat claims nothing";
}

TEST_F(KeyboardTest, OfferedActionButtonsShowTheirKeyInATooltip) {
    StartHandDealtByTheLastChair({0, 1, 3, 4, 9, 9, 12, 12, 12, 18, 19, 20, 27});
    const render::Point bar = client.canvas().layout().ptActionBar;
    const auto tipAt = [&](int button) {
        const QPoint at(bar.x + 25 * button + 10, bar.y + 10);
        QHelpEvent help(QEvent::ToolTip, at, Table().mapToGlobal(at));
        QApplication::sendEvent(&Table(), &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    EXPECT_EQ(tipAt(1), QString()) << "nothing offered yet";
    Feed(Discard(3, 12));
    EXPECT_EQ(tipAt(1), QStringLiteral("碰（按键 P）"));
    EXPECT_EQ(tipAt(4), QStringLiteral("过（按键 Esc）"));
}

}  // namespace
}  // namespace qira::app
