// The outside components driven as widgets, offscreen.
#include <gtest/gtest.h>

#include <cstdio>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGlyphRun>
#include <QHeaderView>
#include <QImage>
#include <QPainter>
#include <QRawFont>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

#include "launch/globals.h"
#include "ui/platform/adv_pane.h"
#include "ui/platform/chat_widget.h"
#include "ui/platform/fonts.h"
#include "ui/platform/resource_pixmap.h"
#include "ui/platform/turn_clock_widget.h"
#include "ui/platform/user_list_widget.h"
#include "ui/platform/wave_player.h"

namespace qira::platform {
namespace {

// The program's QApplication lives in qt_test_main.cpp.
QApplication& App() {
    return *qApp;
}

std::string Record(std::string_view name, std::string_view watched, int chair, int level = 150) {
    return std::string(name) + "`10" + std::to_string(chair) + "`320`" + std::to_string(level) +
           "`" + std::string(watched) + "`41`52`1`20`15`6`0`2005`" + std::to_string(chair) + "`1`0";
}

class UserListWidgetTest : public ::testing::Test {
protected:
    UserListWidgetTest() {
        list.SetColumns(
            "用户名`用户ID`积分`级别`旁观对象`总局数`胜率`逃跑率`胜`输`和`人物类型`图标号`"
            "实际椅子号`举手`掉线",
            11);
        list.SetColumnWidths("100`90`70`80`80`60`50`50`50`50`50");
        list.SetLevelInfo("长工_100`短工_200");
        list.SetLocalUserName("张三");
        list.resize(700, 300);
        list.show();
    }
    QString Cell(int row, int column) { return list.view().topLevelItem(row)->text(column); }
    QApplication& app = App();
    UserListWidget list;
};

TEST_F(UserListWidgetTest, ShowsElevenColumnsWithTheirTitlesAndWidths) {
    ASSERT_EQ(list.view().columnCount(), 11);
    EXPECT_EQ(list.view().headerItem()->text(0), QStringLiteral("用户名"));
    EXPECT_EQ(list.view().headerItem()->text(2), QStringLiteral("积分"));
    EXPECT_EQ(list.view().headerItem()->text(10), QStringLiteral("和"));
    EXPECT_EQ(list.view().columnWidth(0), 100);
    EXPECT_EQ(list.view().columnWidth(1), 90);
    EXPECT_EQ(list.view().columnWidth(10), 50);
    EXPECT_EQ(list.Title(), QStringLiteral("用户列表"));
}

TEST_F(UserListWidgetTest, ShowsRecordsWithTheLevelTitle) {
    ASSERT_TRUE(list.AddUser(Record("张三", "", 0, 150)));
    ASSERT_TRUE(list.AddUser(Record("王五", "张三", 0, 250)));
    EXPECT_FALSE(list.AddUser(Record("张三", "", 1)));  // already listed
    EXPECT_FALSE(list.AddUser("too`few`fields"));
    ASSERT_EQ(list.view().topLevelItemCount(), 2);
    EXPECT_EQ(Cell(0, 0), QStringLiteral("张三"));
    EXPECT_EQ(Cell(0, 2), QStringLiteral("320"));
    EXPECT_EQ(Cell(0, 3), QStringLiteral("长工"));
    EXPECT_EQ(Cell(1, 3), QStringLiteral("短工"));
    EXPECT_EQ(Cell(1, 4), QStringLiteral("张三"));
    EXPECT_EQ(Cell(1, 10), QStringLiteral("6"));
    EXPECT_TRUE(list.view().topLevelItem(0)->font(0).bold());  // the local user
    EXPECT_FALSE(list.view().topLevelItem(1)->font(0).bold());

    EXPECT_TRUE(list.RefreshUser(Record("王五", "张三", 0, 50)));
    EXPECT_EQ(Cell(1, 3), QStringLiteral("长工"));
    EXPECT_TRUE(list.RemoveUser("张三"));
    EXPECT_EQ(list.view().topLevelItemCount(), 1);
    EXPECT_EQ(list.FindUser("张三"), "");
    list.ClearUsers();
    EXPECT_EQ(list.view().topLevelItemCount(), 0);
}

TEST_F(UserListWidgetTest, ThousandsOfArrivalsKeepEveryRowAndTheSelection) {
    for (int i = 0; i < 3000; ++i)
        ASSERT_TRUE(list.AddUser(Record("旁观" + std::to_string(i), "张三", 0)));
    ASSERT_EQ(list.view().topLevelItemCount(), 3000);
    list.view().setCurrentItem(list.view().topLevelItem(1500));

    // A departure and a refresh touch their own rows; the rest stay as they were.
    EXPECT_TRUE(list.RemoveUser("旁观10"));
    EXPECT_TRUE(list.RefreshUser(Record("旁观2000", "", 2)));
    EXPECT_EQ(list.view().topLevelItemCount(), 2999);
    EXPECT_EQ(Cell(10, 0), QStringLiteral("旁观11"));
    EXPECT_EQ(Cell(1999, 0), QStringLiteral("旁观2000"));
    EXPECT_EQ(Cell(1999, 4), QString()) << "refreshed in place: no longer an onlooker";
    EXPECT_EQ(list.view().topLevelItem(0)->foreground(0).color(), QColor(110, 110, 110))
        << "an onlooker's grey";
    EXPECT_NE(list.view().topLevelItem(1999)->foreground(0).color(), QColor(110, 110, 110));
    ASSERT_NE(list.view().currentItem(), nullptr);
    EXPECT_EQ(list.view().currentItem()->text(0), QStringLiteral("旁观1500"));
    EXPECT_EQ(list.FindUser("旁观2999"), Record("旁观2999", "张三", 0));
}

TEST_F(UserListWidgetTest, WholeListLoadRaisesListLoadedWithTheNames) {
    QSignalSpy loaded(&list, &UserListWidget::ListLoaded);
    list.AddUser(Record("旧人", "", 3));
    const std::string text = Record("张三", "", 0) + "\n" + Record("李四", "", 1) + "\r\n" +
                             "broken line\n" + Record("王五", "张三", 0);
    const auto names = list.LoadWholeList(text);
    EXPECT_EQ(names, (std::vector<std::string>{"张三", "李四", "王五"}));
    ASSERT_EQ(loaded.count(), 1);
    EXPECT_EQ(loaded.at(0).at(0).toString(), QStringLiteral("张三`李四`王五"));
    EXPECT_EQ(list.view().topLevelItemCount(), 3);
}

TEST_F(UserListWidgetTest, ClickActivatesForChatAndRightClickAsksForTheMenu) {
    list.LoadWholeList(Record("张三", "", 0) + "\n" + Record("李四", "", 1));
    QSignalSpy activated(&list, &UserListWidget::UserActivated);
    QTreeWidgetItem* second = list.view().topLevelItem(1);
    const QPoint centre = list.view().visualItemRect(second).center();
    QTest::mouseClick(list.view().viewport(), Qt::LeftButton, {}, centre);
    ASSERT_EQ(activated.count(), 1);
    EXPECT_FALSE(activated.at(0).at(0).toBool());
    EXPECT_EQ(activated.at(0).at(1).toString(), QStringLiteral("李四"));
    EXPECT_EQ(activated.at(0).at(2).toString().toStdString(), Record("李四", "", 1));

    emit list.view().customContextMenuRequested(centre);
    ASSERT_EQ(activated.count(), 2);
    EXPECT_TRUE(activated.at(1).at(0).toBool());
    EXPECT_EQ(activated.at(1).at(1).toString(), QStringLiteral("李四"));
}

class ChatWidgetTest : public ::testing::Test {
protected:
    ChatWidgetTest() {
        chat.SetLocalUserName("张三");
        chat.SetShowTime(false);
        chat.resize(300, 300);
        chat.show();
    }
    QString Lines() { return chat.lines().document()->toPlainText(); }
    QApplication& app = App();
    ChatWidget chat;
};

TEST_F(ChatWidgetTest, TypedLineIsSentAsTenFieldsToTheCurrentTarget) {
    QSignalSpy sent(&chat, &ChatWidget::SendRequested);
    chat.ChangeChatTarget(ChatWidget::TargetAction::Add, "李四");
    chat.SetCurrentTarget("李四");
    chat.input().insert(QStringLiteral("快点出牌"));  // typed through the input method
    QTest::keyClick(&chat.input(), Qt::Key_Return);
    ASSERT_EQ(sent.count(), 1);
    const auto fields = sent.at(0).at(0).value<std::vector<std::string>>();
    ASSERT_EQ(fields.size(), 10u);
    EXPECT_EQ(fields[0], "李四");
    EXPECT_EQ(fields[2], "张三");
    EXPECT_EQ(fields[3], "李四");
    EXPECT_EQ(fields[9], "快点出牌");
    EXPECT_TRUE(chat.input().text().isEmpty());
    EXPECT_TRUE(Lines().isEmpty()) << "own lines wait for the server's relay";

    QTest::keyClicks(&chat.input(), QStringLiteral("   "));
    QTest::mouseClick(&chat.sendButton(), Qt::LeftButton);
    EXPECT_EQ(sent.count(), 1) << "a blank line is not sent";
}

TEST_F(ChatWidgetTest, ShowsSystemLinesLinesAndRelayedMessagesAsPlainText) {
    chat.ShowSystemLine("李四 进来了...");
    chat.ShowLine("欢迎光临");
    const std::vector<std::string> relayed{"李四", "所有人", "#0000FF", "宋体",
                                           "10",   "1",      "0",       "<b>hi</b> & 你好"};
    chat.ShowChatMessage(relayed);
    const std::vector<std::string> privately{"李四", "张三", "#000000", "宋体",
                                             "10",   "0",    "0",       "悄悄话"};
    chat.ShowChatMessage(privately);
    chat.ShowChatMessage(std::vector<std::string>{"too", "few"});
    const QString text = Lines();
    EXPECT_TRUE(text.contains(QStringLiteral("【系统】李四 进来了...")));
    EXPECT_TRUE(text.contains(QStringLiteral("欢迎光临")));
    EXPECT_TRUE(text.contains(QStringLiteral("李四 对 所有人 说：<b>hi</b> & 你好")));
    EXPECT_TRUE(text.contains(QStringLiteral("李四 对 你 悄悄地说：悄悄话")));
    EXPECT_EQ(text.count('\n'), 3);
}

TEST_F(ChatWidgetTest, TargetsKeepEveryoneFirstAndFollowAddRemoveAndClear) {
    EXPECT_EQ(chat.Targets(), (std::vector<std::string>{"所有人"}));
    chat.ChangeChatTarget(ChatWidget::TargetAction::Add, "李四");
    chat.ChangeChatTarget(ChatWidget::TargetAction::Add, "李四");
    chat.ChangeChatTarget(ChatWidget::TargetAction::Add, "王五");
    chat.ChangeChatTarget(ChatWidget::TargetAction::Remove, "所有人");
    EXPECT_EQ(chat.Targets(), (std::vector<std::string>{"所有人", "李四", "王五"}));
    chat.SetCurrentTarget("王五");
    chat.ChangeChatTarget(ChatWidget::TargetAction::Remove, "王五");
    EXPECT_EQ(chat.CurrentTarget(), "所有人");
    chat.SetCurrentTarget("赵六");  // not yet a target: added and chosen
    EXPECT_EQ(chat.CurrentTarget(), "赵六");
    chat.ShowLine("x");
    chat.ClearChat();
    EXPECT_EQ(chat.Targets(), (std::vector<std::string>{"所有人"}));
    EXPECT_TRUE(Lines().isEmpty());
}

// A long evening, or a server sending a line every millisecond, keeps the
// latest lines only, and lines in ever new looks do not pile up formats.
TEST_F(ChatWidgetTest, KeepsTheLatestLinesAndFewFormatsUnderAFlood) {
    for (int i = 0; i < 6000; ++i) {
        char colour[8];
        std::snprintf(colour, sizeof colour, "#%06X",
                      static_cast<unsigned>(i) * 2654435u % 0xFFFFFFu);
        const std::vector<std::string> fields{"李四", "所有人", colour, "宋体" + std::to_string(i),
                                              "10",   "0",      "0",    "行" + std::to_string(i)};
        chat.ShowChatMessage(fields);
        if (i % 100 == 99) chat.ShowPendingLines();  // as the pane's timer shows them
    }
    QTextDocument& lines = *chat.lines().document();
    EXPECT_EQ(lines.blockCount(), ChatWidget::kMaxLines);
    EXPECT_TRUE(lines.lastBlock().text().endsWith(QStringLiteral("行5999")));
    EXPECT_TRUE(lines.firstBlock().text().endsWith(QStringLiteral("行5500")));
    EXPECT_LE(lines.allFormats().size(), 2 * 2000);
    QTextCursor end(&lines);
    end.movePosition(QTextCursor::End);
    EXPECT_FALSE(lines.isUndoRedoEnabled());
    EXPECT_EQ(end.charFormat().fontFamilies().toStringList(),
              QStringList{QStringLiteral("宋体5999")})
        << "the kept lines keep their looks";

    chat.ClearChat();
    for (int i = 0; i < 600; ++i) chat.ShowLine("x");
    EXPECT_EQ(chat.lines().document()->blockCount(), ChatWidget::kMaxLines);
}

// 100,000 users arriving one message at a time, each in its own turn of the
// event loop as the socket delivers them, as a hostile server may send them.
// Every turn used to lay out the whole list and search the whole target list:
// this test then ran for hours.
TEST(ClientPanes, HundredThousandArrivalsAreHandledInBatches) {
    App();
    UserListWidget list;
    ChatWidget chat;
    list.SetColumns("用户名`用户ID`积分`级别`旁观对象", 5);
    list.resize(400, 300);
    chat.resize(300, 300);
    list.show();
    chat.show();
    constexpr int kArrivals = 100'000;
    for (int i = 0; i < kArrivals; ++i) {
        const std::string name = "旁观" + std::to_string(i);
        list.AddUser(Record(name, "张三", 0));
        chat.ShowSystemLine(name + " 进来了...");
        chat.ChangeChatTarget(ChatWidget::TargetAction::Add, name);
        QCoreApplication::processEvents();
    }
    constexpr int kListed = static_cast<int>(players::kMaxUsers);  // the rest were refused
    list.RemoveUser("旁观5");
    list.AddUser(Record("旁观5", "", 1));  // gone and back within one batch
    EXPECT_EQ(list.view().topLevelItemCount(), kListed);
    EXPECT_EQ(list.view().topLevelItem(kListed - 1)->text(0), QStringLiteral("旁观4999"));
    EXPECT_EQ(list.view().topLevelItem(5)->text(4), QString()) << "the new record shows";
    EXPECT_EQ(chat.targets().count(), kArrivals + 1);
    EXPECT_EQ(chat.lines().document()->blockCount(), ChatWidget::kMaxLines);

    for (int i = 0; i < kArrivals; i += 2) list.RemoveUser("旁观" + std::to_string(i));
    EXPECT_EQ(list.view().topLevelItemCount(), kListed / 2);
    EXPECT_EQ(list.view().topLevelItem(0)->text(0), QStringLiteral("旁观1"));
}

TEST(TurnClockWidget, CountsDownWarnsAndTimesOutOnceEach) {
    App();
    TurnClockWidget clock;
    clock.SetTickInterval(5);
    QSignalSpy warning(&clock, &TurnClockWidget::Warning);
    QSignalSpy timedOut(&clock, &TurnClockWidget::TimedOut);
    clock.SetTag(5);
    clock.StartClock(8);
    EXPECT_EQ(clock.Remaining(), 8);
    EXPECT_TRUE(timedOut.wait(2000));
    EXPECT_EQ(warning.count(), 1);
    EXPECT_EQ(timedOut.count(), 1);
    EXPECT_FALSE(clock.IsRunning());
    EXPECT_EQ(clock.Tag(), 5);
    QTest::qWait(50);
    EXPECT_EQ(timedOut.count(), 1) << "a stopped clock stays quiet";
}

TEST(TurnClockWidget, StopBeforeTheEndReportsNothing) {
    App();
    TurnClockWidget clock;
    clock.SetTickInterval(5);
    QSignalSpy timedOut(&clock, &TurnClockWidget::TimedOut);
    clock.StartClock(4);
    clock.Stop();
    QTest::qWait(60);
    EXPECT_EQ(timedOut.count(), 0);
    EXPECT_EQ(clock.Remaining(), 4);
}

TEST(AdvPane, ShowsTheShippedLocalPageAndPlacesItInsideTheBorder) {
    App();
    AdvPane pane;
    pane.resize(300, 182);
    pane.show();
    pane.ShowPage(QString::fromStdString(launch::ExecutableFolder()) + "Res/adv.htm");
    EXPECT_TRUE(pane.page().toPlainText().contains(QStringLiteral("Qira麻将")));
    EXPECT_EQ(pane.page().geometry(), QRect(4, 3, 292, 176));
    pane.ShowPage(QStringLiteral("/nonexistent/adv.htm"));
    EXPECT_TRUE(pane.page().toPlainText().isEmpty());
}

// Files read by the format their names give; a file whose content is another
// format than its name says is still read, by its content.
TEST(ReadPicture, ReadsByNameFallsBackToContentAndGivesNullForNothing) {
    App();
    QImage picture(5, 3, QImage::Format_RGB32);
    picture.fill(QColor(10, 200, 30));
    const QDir folder = QDir::temp();
    const QString bmp = folder.filePath(QStringLiteral("qira_read_picture.bmp"));
    const QString pngNamedBmp = folder.filePath(QStringLiteral("qira_read_picture_png.bmp"));
    ASSERT_TRUE(picture.save(bmp, "BMP"));
    ASSERT_TRUE(picture.save(pngNamedBmp, "PNG"));
    for (const QString& file : {bmp, pngNamedBmp}) {
        const QImage read = ReadPicture(file);
        ASSERT_FALSE(read.isNull()) << file.toStdString();
        EXPECT_EQ(read.size(), QSize(5, 3));
        EXPECT_EQ(read.pixelColor(4, 2), QColor(10, 200, 30));
    }
    EXPECT_TRUE(ReadPicture(folder.filePath(QStringLiteral("qira_no_such_picture.bmp"))).isNull());
    QFile::remove(bmp);
    QFile::remove(pngNamedBmp);
}

// The families the glyphs of `text` are drawn from, in `font`, sorted (the
// layout hands out its runs in no particular order).
QStringList GlyphFamilies(const QString& text, const QFont& font) {
    QTextLayout layout(text, font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    QStringList families;
    for (const QGlyphRun& run : layout.glyphRuns()) {
        const QString family = run.rawFont().familyName().toLower();
        if (!families.contains(family)) families << family;
    }
    families.sort();
    return families;
}

QImage DrawnIn(const QString& family, const QString& text, int pixelSize) {
    QImage picture(640, 2 * pixelSize, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    QFont font(family);
    font.setPixelSize(pixelSize);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(2, pixelSize + pixelSize / 2, text);
    return picture;
}

bool SubsetBuilt() {
    return QFileInfo::exists(QString::fromStdString(launch::ExecutableFolder()) +
                             QStringLiteral("Res/") + QLatin1String(kSubsetFontFile));
}

const QString kOwnTexts = QStringLiteral(
    "游戏提示 1号错误，无法正常启动游戏！ 长工 富农 胡牌 东南西北 Qira AVAT To 12:34");

TEST(InterfaceFont, OwnTextsAndCommonNamesComeFromTheSubsetRareCharactersFromTheFullFont) {
    App();
    if (!SubsetBuilt()) GTEST_SKIP() << "the font subset was not built (fonttools missing)";
    const QFont font(QStringLiteral("宋体"), 9);
    EXPECT_EQ(GlyphFamilies(kOwnTexts, font), QStringList{QStringLiteral("qira hei")});
    EXPECT_EQ(GlyphFamilies(QStringLiteral("王小明 Qira"), font),
              QStringList{QStringLiteral("qira hei")});
    EXPECT_EQ(GlyphFamilies(QStringLiteral("龘"), font),
              QStringList{QStringLiteral("wenquanyi micro hei")});
    QFont byFamilies;
    byFamilies.setFamilies(CjkFamilies());
    EXPECT_EQ(GlyphFamilies(QStringLiteral("胡牌龘"), byFamilies),
              (QStringList{QStringLiteral("qira hei"), QStringLiteral("wenquanyi micro hei")}));
}

// The auto-hinter measures a font on a sample of common characters: a subset
// without them would place strokes differently.
TEST(InterfaceFont, SubsetDrawsPixelForPixelAsTheFullFont) {
    App();
    if (!SubsetBuilt()) GTEST_SKIP() << "the font subset was not built (fonttools missing)";
    for (const int size : {12, 13, 16, 20}) {
        EXPECT_EQ(DrawnIn(QStringLiteral("Qira Hei"), kOwnTexts, size),
                  DrawnIn(QStringLiteral("WenQuanYi Micro Hei"), kOwnTexts, size))
            << size << " px";
    }
}

TEST(InterfaceFont, WithoutTheSubsetEverythingComesFromTheFullFont) {
    App();
    EXPECT_FALSE(InstallFontSubstitutions(QStringLiteral("/nonexistent/QiraHei.ttf")));
    QFont font;
    font.setFamilies(
        QStringList{QStringLiteral("Qira Hei Missing"), QStringLiteral("WenQuanYi Micro Hei")});
    EXPECT_EQ(GlyphFamilies(QStringLiteral("胡牌"), font),
              QStringList{QStringLiteral("wenquanyi micro hei")});
}

// 0.01 s of silence, 8 kHz mono 8-bit.
void WriteSilentWave(const QString& path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const int samples = 80;
    QByteArray wav("RIFF");
    auto le32 = [&](quint32 v) {
        for (int i = 0; i < 4; ++i) wav.append(char((v >> (8 * i)) & 0xFF));
    };
    auto le16 = [&](quint16 v) { wav.append(char(v & 0xFF)).append(char(v >> 8)); };
    le32(36 + samples);
    wav.append("WAVEfmt ");
    le32(16);
    le16(1);
    le16(1);
    le32(8000);
    le32(8000);
    le16(1);
    le16(8);
    wav.append("data");
    le32(samples);
    wav.append(QByteArray(samples, char(0x80)));
    file.write(wav);
}

bool MediaFrameworkMapped() {
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libQt6Multimedia");
}

// Sets an environment variable, or removes it when `value` is null, for the
// guard's life.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const QString* value)
        : name_(name), wasSet_(qEnvironmentVariableIsSet(name)), was_(qgetenv(name)) {
        if (value)
            qputenv(name, value->toLocal8Bit());
        else
            qunsetenv(name);
    }
    ~ScopedVariable() {
        if (wasSet_)
            qputenv(name_, was_);
        else
            qunsetenv(name_);
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* name_;
    bool wasSet_;
    QByteArray was_;
};

// A home, runtime folder and PATH with no trace of a sound server.
struct NoSoundServer {
    QTemporaryDir home;
    QString homePath = home.path();
    QString runtime = home.filePath(QStringLiteral("runtime"));
    QString config = home.filePath(QStringLiteral("config"));
    bool made = QDir(home.path()).mkpath(QStringLiteral("runtime")) &&
                QDir(home.path()).mkpath(QStringLiteral("config/pulse"));
    ScopedVariable noServer{"PULSE_SERVER", nullptr};
    ScopedVariable noPulseRuntime{"PULSE_RUNTIME_PATH", nullptr};
    ScopedVariable homeFolder{"HOME", &homePath};
    ScopedVariable runtimeFolder{"XDG_RUNTIME_DIR", &runtime};
    ScopedVariable configFolder{"XDG_CONFIG_HOME", &config};
    ScopedVariable path{"PATH", &homePath};
};

// Declared before the other sound tests, which load the library.
TEST(WavePlayer, WithNoSoundServerToAskTheSoundLibraryIsNeverLoaded) {
    App();
    NoSoundServer none;
    ASSERT_TRUE(none.made);
    if (SoundServerMayAnswer()) GTEST_SKIP() << "this machine runs a system-wide sound server";
    const QString path = QDir::temp().filePath(QStringLiteral("qira_wave_no_server_test.wav"));
    WriteSilentWave(path);
    EXPECT_EQ(WavePlayer().PlayWave(path), WavePlayer::Outcome::NoOutputDevice);
    EXPECT_FALSE(MediaFrameworkMapped());
    QFile::remove(path);
}

TEST(WavePlayer, ASoundServerIsFoundByItsSocketItsNameOrTheClientSettings) {
    NoSoundServer none;
    ASSERT_TRUE(none.made);
    if (SoundServerMayAnswer()) GTEST_SKIP() << "this machine runs a system-wide sound server";
    {
        QFile socket(none.runtime + QStringLiteral("/pulse/native"));
        ASSERT_TRUE(QDir(none.runtime).mkpath(QStringLiteral("pulse")) &&
                    socket.open(QIODevice::WriteOnly));
        EXPECT_TRUE(SoundServerMayAnswer());
        socket.remove();
    }
    {
        const QString address = QStringLiteral("tcp:192.0.2.1");
        ScopedVariable named("PULSE_SERVER", &address);
        EXPECT_TRUE(SoundServerMayAnswer());
    }
    {
        QFile settings(none.config + QStringLiteral("/pulse/client.conf"));
        ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
        settings.write("; default-server = commented out\n");
        settings.flush();
        EXPECT_FALSE(SoundServerMayAnswer());
        settings.write("default-server = tcp:192.0.2.1\n");
        settings.flush();
        EXPECT_TRUE(SoundServerMayAnswer());
    }
}

TEST(WavePlayer, MapsTheMediaFrameworkOnlyWhenAFileIsToBePlayed) {
    App();
    // A named server, even one that does not answer, is worth asking.
    const QString address = QStringLiteral("unix:/nonexistent/qira-test-sound");
    ScopedVariable named("PULSE_SERVER", &address);
    EXPECT_FALSE(MediaFrameworkMapped());
    WavePlayer player;
    player.Stop();
    EXPECT_EQ(player.PlayWave(QStringLiteral("/nonexistent/Hu.wav")), WavePlayer::Outcome::NoFile);
    EXPECT_FALSE(MediaFrameworkMapped());
    const QString path = QDir::temp().filePath(QStringLiteral("qira_wave_lazy_test.wav"));
    WriteSilentWave(path);
    const auto outcome = player.PlayWave(path);
    EXPECT_NE(outcome, WavePlayer::Outcome::NoSoundLibrary);
    EXPECT_TRUE(MediaFrameworkMapped());
    player.Stop();
    QFile::remove(path);
}

TEST(WavePlayer, MissingFileIsSilentAndAnExistingOneNeverBlocks) {
    App();
    const QString address = QStringLiteral("unix:/nonexistent/qira-test-sound");
    ScopedVariable named("PULSE_SERVER", &address);
    WavePlayer player;
    EXPECT_EQ(player.PlayWave(QStringLiteral("/nonexistent/Hu.wav")), WavePlayer::Outcome::NoFile);
    const QString path = QDir::temp().filePath(QStringLiteral("qira_wave_test.wav"));
    WriteSilentWave(path);
    const auto outcome = player.PlayWave(path);
    EXPECT_NE(outcome, WavePlayer::Outcome::NoFile);
    EXPECT_NE(outcome, WavePlayer::Outcome::NoSoundLibrary);
    player.PlayWave(path);  // starting again stops the first one
    player.Stop();
    QFile::remove(path);
}

}  // namespace
}  // namespace qira::platform
