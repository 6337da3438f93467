// Saves a picture of the whole client, at 1280 x 800, with users in the list,
// a chat exchange, a hand being dealt and the close question open, for a
// person to look at: <build folder>/screenshots/main_window.png.
#include <gtest/gtest.h>

#include <QDir>
#include <QPainter>
#include <QTest>
#include <QTimer>

#include "app/desktop_client.h"
#include "net/packet.h"
#include "render/geometry.h"
#include "ui/dialogs/frm_msg.h"
#include "ui/render/game_area_widget.h"

namespace qira::app {
namespace {

using net::Bytes;

std::string Record(std::string_view name, std::string_view watched, int chair, int score, int level,
                   int portrait) {
    return net::JoinFields(
        {name, std::to_string(20000 + chair * 37), std::to_string(score), std::to_string(level),
         watched, std::to_string(score / 7), std::to_string(40 + chair * 3), std::to_string(chair),
         std::to_string(score / 20), std::to_string(score / 25), std::to_string(chair + 2), "0",
         std::to_string(portrait), std::to_string(chair), "0", "0"});
}

Bytes Chat(std::string_view sender, std::string_view target, std::string_view colour,
           std::string_view text) {
    Bytes message;
    const std::uint8_t header[] = {1};
    EXPECT_TRUE(net::BuildPacket(
        net::JoinFields({target, "0", sender, target, colour, "宋体", "10", "0", "0", text}),
        message, 1, header));
    return message;
}

Bytes NewHand() {
    Bytes message(29, 0);
    message[0] = 17;
    message[3] = 5;
    message[12] = 4;
    message[14] = 3;
    message[16] = 10;
    for (int chair = 0; chair < 4; ++chair) message[19 + 2 * chair] = 33;
    message[26] = 9;
    message[27] = 10;
    return message;
}

Bytes Deal(std::uint8_t chair, std::initializer_list<std::uint8_t> hand) {
    Bytes message{28, 1, chair, *hand.begin()};
    message.insert(message.end(), hand.begin(), hand.end());
    return message;
}

TEST(MainWindowScreenshot, WholeWindowWithUsersChatAndAMessageBox) {
    launch::ClientGlobals globals;
    globals.launch.strGameTitle = "Qira麻将";
    globals.launch.strUserName = "张三";
    globals.launch.strLevelInfo = "长工_100`短工_200`佃农_300`贫农_400`中农_500`富农_600";
    globals.ResetGlobals(launch::ExecutableFolder());
    DesktopClient::Options options;
    options.screenSize = QSize(1280, 800);
    options.send = [](std::span<const std::uint8_t>) {};
    options.wait = [](int) {};
    DesktopClient client(globals, std::move(options));
    client.preferences() = dialogs::UserSet{};
    client.preferences().bytSoundOn = 0;
    auto& window = client.window();
    window.setGeometry(0, 0, 1280, 800);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    auto& session = client.session();
    session.OnMessage(net::BuildTextPacket(130, 3, "张三`张三").value());
    session.OnMessage(net::BuildTextPacket(130, 2,
                                           Record("张三", "", 0, 1520, 350, 12) + "\n" +
                                               Record("李四", "", 1, 860, 180, 1003) + "\n" +
                                               Record("王五", "", 2, 2310, 620, 2040) + "\n" +
                                               Record("赵六", "", 3, 95, 60, 7) + "\n" +
                                               Record("小七", "张三", 0, 40, 20, 3))
                          .value());
    session.OnMessage(net::BuildTextPacket(111, 0, "a`b`c`0`d`0`0").value());
    session.OnMessage(net::BuildTextPacket(130, 0, Record("小八", "王五", 0, 40, 20, 3)).value());
    session.OnMessage(Chat("李四", "所有人", "#0000C0", "大家好，今天手气怎么样？"));
    session.OnMessage(Chat("张三", "所有人", "#008000", "还行，刚胡了一把清一色"));
    session.OnMessage(Chat("王五", "张三", "#C00000", "快点出牌啊"));
    session.OnMessage(NewHand());
    session.OnMessage(Deal(0, {0, 1, 2, 4, 9, 12, 13, 18, 19, 20, 27, 28, 36, 37}));
    window.TivChat().input().setText(QStringLiteral("马上就来"));
    QTest::qWait(50);

    // The user closes the window during the hand: the question stays open
    // while the picture is taken, then "取消" keeps the window.
    QImage shot;
    QTimer::singleShot(100, [&] {
        dialogs::frmMsg* box = client.messageBoxes().Window(0);
        ASSERT_NE(box, nullptr);
        shot = window.grab().toImage();
        QPainter painter(&shot);
        const QPoint at((shot.width() - box->width()) / 2, (shot.height() - box->height()) / 2);
        painter.fillRect(QRect(at - QPoint(1, 1), box->size() + QSize(2, 2)), QColor(60, 60, 60));
        painter.drawPixmap(at, box->grab());
        painter.end();
        box->cmdUser[1].click();
    });
    window.close();
    ASSERT_FALSE(shot.isNull());
    EXPECT_TRUE(window.isVisible());

    const QDir folder(QStringLiteral(QIRA_SCREENSHOT_DIR));
    ASSERT_TRUE(folder.mkpath(QStringLiteral(".")));
    ASSERT_TRUE(shot.save(folder.filePath(QStringLiteral("main_window.png"))));
    EXPECT_EQ(shot.size(), QSize(1280, 800));
    window.UnloadMainWindow();
}

// A running hand as the server's snapshot gives it: 张三 (chair 0) with `melds`
// melds, kongs among them, holding a full hand on his own draw.
Bytes SnapshotWithLocalMelds(int melds, const std::vector<std::uint8_t>& hand) {
    Bytes message{109, 0, 1, 0};
    const std::array<std::array<std::uint8_t, 3>, 4> made = {
        {{4, 36, 3},
         {1, 2, 3},
         {3, 27, 0},
         {2, 12, 1}}};  // exposed kong, chow, concealed kong, pung
    message.push_back(static_cast<std::uint8_t>(melds));
    for (int i = 0; i < melds; ++i)
        message.insert(message.end(), made[static_cast<std::size_t>(i)].begin(),
                       made[static_cast<std::size_t>(i)].end());
    message.insert(message.end(), {1, 2, 8, 2});  // chair 1 punged 九万 from chair 2
    message.insert(message.end(), {0, 0});
    message.insert(message.end(), {0, 3, 11, 20, 33, 2, 22, 23, 1, 25});  // discards
    for (int chair = 0; chair < 4; ++chair) message.insert(message.end(), {4, 33, 0});
    message.insert(message.end(), {0, 0, 0, 0, 0, 0, 0, 0});  // no-win, bets
    message.push_back(static_cast<std::uint8_t>(hand.size()));
    message.insert(message.end(), hand.begin(), hand.end());
    message.insert(message.end(), {0, 0, 3, 0, 5, hand.back(), 1, 21, 22, 0, 9});
    return message;
}

// The local melds and hand side by side, with 0, 2 and 4 melds in the
// smallest window and a common large one, for a person to look at:
// <build folder>/screenshots/local_row_<melds>_<width>x<height>.png. The mouse
// raises exactly the painted tile under it, and a click discards it.
TEST(MainWindowScreenshot, LocalMeldsAndHandInTheSmallestAndALargeWindow) {
    const QDir folder(QStringLiteral(QIRA_SCREENSHOT_DIR));
    ASSERT_TRUE(folder.mkpath(QStringLiteral(".")));
    const std::vector<std::uint8_t> tiles = {22, 4, 5, 6, 10, 11, 13, 14, 18, 19, 24, 28, 29, 37};
    for (const QSize size : {QSize(800, 570), QSize(1280, 800)}) {
        for (const int melds : {0, 2, 4}) {
            SCOPED_TRACE(testing::Message() << size.width() << " wide, " << melds << " melds");
            launch::ClientGlobals globals;
            globals.launch.strGameTitle = "Qira麻将";
            globals.launch.strUserName = "张三";
            globals.launch.strLevelInfo = "长工_100`短工_200";
            globals.ResetGlobals(launch::ExecutableFolder());
            std::vector<Bytes> sent;
            DesktopClient::Options options;
            options.screenSize = size;
            options.send = [&sent](std::span<const std::uint8_t> message) {
                sent.emplace_back(message.begin(), message.end());
            };
            options.wait = [](int) {};
            DesktopClient client(globals, std::move(options));
            client.preferences() = dialogs::UserSet{};
            client.preferences().bytSoundOn = 0;
            auto& window = client.window();
            window.setGeometry(0, 0, size.width(), size.height());
            window.show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
            auto& session = client.session();
            session.OnMessage(net::BuildTextPacket(130, 3, "张三`张三").value());
            session.OnMessage(net::BuildTextPacket(130, 2,
                                                   Record("张三", "", 0, 1520, 350, 12) + "\n" +
                                                       Record("李四", "", 1, 860, 180, 1003) +
                                                       "\n" +
                                                       Record("王五", "", 2, 2310, 620, 2040) +
                                                       "\n" + Record("赵六", "", 3, 95, 60, 7))
                                  .value());
            session.OnMessage(net::BuildTextPacket(111, 0, "a`b`c`0`d`0`0").value());
            const std::vector<std::uint8_t> hand(tiles.end() - (14 - 3 * melds), tiles.end());
            session.OnMessage(SnapshotWithLocalMelds(melds, hand));
            QTest::qWait(20);
            ASSERT_EQ(session.table().MyMelds().size(), static_cast<std::size_t>(melds));
            const QImage shot = window.grab().toImage();
            ASSERT_TRUE(shot.save(folder.filePath(QStringLiteral("local_row_%1_%2x%3.png")
                                                      .arg(melds)
                                                      .arg(size.width())
                                                      .arg(size.height()))));

            auto* area = window.findChild<render::GameAreaWidget*>();
            ASSERT_NE(area, nullptr);
            const auto& layout = client.canvas().layout();
            const int count = static_cast<int>(hand.size());
            auto middleOf = [&](int index) {
                return QPoint(render::LocalHandTileX(layout, index, count, melds) + 21,
                              layout.ptShouPai[2].y + 35);
            };
            for (int index = 1; index <= count; ++index) {
                area->HandleMouseMove({middleOf(index).x(), middleOf(index).y()});
                EXPECT_EQ(client.canvas().lngRaisedPai(), index);
            }
            if (melds > 0) {
                const auto meld = render::MeldOrigin(layout, 2, melds - 1, melds);
                area->HandleMouseMove({meld.x + 3 * 44 - 2, layout.ptShouPai[2].y + 35});
                EXPECT_EQ(client.canvas().lngRaisedPai(), -1) << "the last meld raises nothing";
            }
            QTest::mouseMove(area, middleOf(count));
            QTest::mouseClick(area, Qt::LeftButton, {}, middleOf(count));
            ASSERT_EQ(sent.size(), 1u);
            EXPECT_EQ(sent.front()[3], hand.back()) << "the drawn tile under the mouse goes";
            window.UnloadMainWindow();
        }
    }
}

}  // namespace
}  // namespace qira::app
