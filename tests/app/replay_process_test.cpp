// Runs the real qira-replay program on hand logs written by the tests.
#include <gtest/gtest.h>

#include <sqlite3.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>

#include "replay/scripted_hand.h"

namespace qira {
namespace {

QCoreApplication& App() {
    static int argc = 1;
    static char name[] = "replay_process_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

struct Finished {
    int exitCode = -1;
    QString standardOutput;
    QString standardError;
};

Finished RunReplay(const QStringList& arguments, const QByteArray& input = {},
                   const QString& program = QStringLiteral(QIRA_REPLAY_PATH)) {
    App();
    QProcess process;
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    EXPECT_TRUE(process.waitForStarted(10000));
    process.write(input);
    process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(60000)) << "qira-replay did not end";
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

class ReplayProgram : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        auto second = replay::testing::KongAndSelfDrawnWin();
        second.id = 42;
        second.dealer = 0;
        const std::string text =
            replay::testing::DrawnToTheEnd().Line() + "\n" + second.Line() + "\n";
        log_ = QByteArray::fromStdString(text);
        QFile file(LogPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(log_);
    }
    QString LogPath() const { return dir_.filePath(QStringLiteral("hands.jsonl")); }
    QString Picture(const QString& name) const { return dir_.filePath(name); }

    QTemporaryDir dir_;
    QByteArray log_;
};

int DistinctColours(const QImage& image) {
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 3)
        for (int x = 0; x < image.width(); x += 3) colours.insert(image.pixel(x, y));
    return static_cast<int>(colours.size());
}

TEST_F(ReplayProgram, PaintsAStepOfAHandToAPicture) {
    const auto run = RunReplay({LogPath(), QStringLiteral("--hand"), QStringLiteral("42"),
                                QStringLiteral("--step"), QStringLiteral("7"),
                                QStringLiteral("--snapshot"), Picture("step7.png")});
    EXPECT_EQ(run.exitCode, 0) << run.standardError.toStdString();
    const QImage picture(Picture("step7.png"));
    ASSERT_FALSE(picture.isNull());
    EXPECT_GE(picture.width(), 800);
    EXPECT_GT(DistinctColours(picture), 200);  // tiles, names and the counter, not a blank table
}

// Installed, the program sits in bin/ and the pictures in share/qira/: the
// build tree's folders are linked into that shape around a copy of it.
TEST_F(ReplayProgram, AnInstalledProgramPaintsFromTheSharedDataFolder) {
    const QDir build = QFileInfo(QStringLiteral(QIRA_REPLAY_PATH)).absoluteDir();
    const QDir root(dir_.filePath(QStringLiteral("usr")));
    ASSERT_TRUE(root.mkpath(QStringLiteral("bin")));
    ASSERT_TRUE(root.mkpath(QStringLiteral("share/qira/client")));
    const QString program = root.filePath(QStringLiteral("bin/qira-replay"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(QIRA_REPLAY_PATH), program));
    QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner);
    ASSERT_TRUE(QFile::link(build.filePath(QStringLiteral("Res")),
                            root.filePath(QStringLiteral("share/qira/client/Res"))));
    for (const char* folder : {"ResMj", "UserRes", "res"})
        QFile::link(build.filePath(QStringLiteral("../") + folder),
                    root.filePath(QStringLiteral("share/qira/") + folder));

    const auto snapshot = [&](const QString& from, const char* name) {
        const auto run = RunReplay(
            {LogPath(), QStringLiteral("--hand"), QStringLiteral("42"), QStringLiteral("--step"),
             QStringLiteral("7"), QStringLiteral("--snapshot"), Picture(name)},
            {}, from);
        EXPECT_EQ(run.exitCode, 0) << run.standardError.toStdString();
        return QImage(Picture(name)).convertToFormat(QImage::Format_RGB32);
    };
    const QImage inBuild = snapshot(QStringLiteral(QIRA_REPLAY_PATH), "build.png");
    const QImage installed = snapshot(program, "installed.png");
    ASSERT_FALSE(installed.isNull());
    EXPECT_TRUE(installed == inBuild) << "the installed program paints another table";
}

TEST_F(ReplayProgram, ReadsTheLogFromStandardInputAndShowsTheWinAtTheEnd) {
    const auto run = RunReplay({QStringLiteral("-"), QStringLiteral("--hand"), QStringLiteral("42"),
                                QStringLiteral("--step"), QStringLiteral("12"),
                                QStringLiteral("--snapshot"), Picture("end.png")},
                               log_);
    EXPECT_EQ(run.exitCode, 0) << run.standardError.toStdString();
    EXPECT_FALSE(QImage(Picture("end.png")).isNull());
}

TEST_F(ReplayProgram, TheFirstHandIsTheDefaultAndItsLastStepIsTheDrawnGame) {
    const auto run = RunReplay({LogPath(), QStringLiteral("--step"), QStringLiteral("165"),
                                QStringLiteral("--snapshot"), Picture("drawn.png")});
    EXPECT_EQ(run.exitCode, 0) << run.standardError.toStdString();
    EXPECT_FALSE(QImage(Picture("drawn.png")).isNull());
}

// The statistics database as the server keeps it: the log without its "id".
void WriteDatabase(const QString& path, std::int64_t id, const std::string& line) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    const std::string log = "{" + line.substr(line.find(',') + 1);
    const std::string sql =
        "CREATE TABLE hands (id INTEGER PRIMARY KEY AUTOINCREMENT, log TEXT NOT NULL);"
        "INSERT INTO hands VALUES (" +
        std::to_string(id) + ", '" + log + "');";
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

TEST_F(ReplayProgram, ReadsTheDatabaseAndSeatsThePlayerByName) {
    auto hand = replay::testing::KongAndSelfDrawnWin();
    hand.id = 42;
    WriteDatabase(dir_.filePath("server.sqlite"), 42, hand.Line());
    const auto byName = RunReplay({dir_.filePath("server.sqlite"), "--hand", "42", "--player",
                                   "西西", "--snapshot", Picture("by-name.png")});
    EXPECT_EQ(byName.exitCode, 0) << byName.standardError.toStdString();
    const auto bySeat = RunReplay({dir_.filePath("server.sqlite"), "--hand", "42", "--seat", "2",
                                   "--snapshot", Picture("by-seat.png")});
    EXPECT_EQ(QImage(Picture("by-name.png")), QImage(Picture("by-seat.png")));
    const auto dealerSeat = RunReplay(
        {dir_.filePath("server.sqlite"), "--hand", "42", "--snapshot", Picture("default.png")});
    EXPECT_NE(QImage(Picture("by-name.png")), QImage(Picture("default.png")));
    const auto stranger =
        RunReplay({dir_.filePath("server.sqlite"), "--hand", "42", "--player", "无名"});
    EXPECT_EQ(stranger.exitCode, 1);
    EXPECT_TRUE(stranger.standardError.contains("第 42 局里没有玩家 无名"));
}

TEST_F(ReplayProgram, HelpAndVersion) {
    const auto help = RunReplay({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.standardOutput.contains(QStringLiteral("--snapshot")));
    EXPECT_TRUE(help.standardOutput.contains(QStringLiteral("Space play or pause")));
    const auto version = RunReplay({QStringLiteral("--version")});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.standardOutput.startsWith(QStringLiteral("qira-replay ")));
}

TEST_F(ReplayProgram, RefusesWhatItCannotReplayAndSaysWhy) {
    struct Case {
        QStringList arguments;
        int exitCode;
        QString says;
    };
    const std::vector<Case> cases = {
        {{LogPath(), "--hand", "9"}, 1, QStringLiteral("没有第 9 局")},
        {{LogPath(), "--hand", "42", "--step", "13", "--snapshot", Picture("x.png")},
         1,
         QStringLiteral("只有 12 步")},
        {{Picture("missing.jsonl")}, 1, QStringLiteral("无法读取")},
        {{LogPath(), "--seat", "4"}, 2, QStringLiteral("--seat")},
        {{LogPath(), "--step"}, 2, QStringLiteral("--step")},
        {{LogPath(), "--bogus"}, 2, QStringLiteral("--bogus")},
        {{LogPath(), LogPath()}, 2, QStringLiteral("只能给一个文件")},
    };
    for (const auto& c : cases) {
        const auto run = RunReplay(c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments.join(' ').toStdString();
        EXPECT_TRUE(run.standardError.contains(c.says)) << run.standardError.toStdString();
    }
    const auto empty = RunReplay({QStringLiteral("-")}, "not json\n");
    EXPECT_EQ(empty.exitCode, 1);
    EXPECT_TRUE(empty.standardError.contains(QStringLiteral("line 1")));
    EXPECT_TRUE(empty.standardError.contains(QStringLiteral("没有可以回放的牌局")));
}

TEST_F(ReplayProgram, RefusesAFolderOrADeviceAndReadsAnEndlessInputOnlyToItsLimit) {
    const auto folder = RunReplay({dir_.path()});
    EXPECT_EQ(folder.exitCode, 1);
    EXPECT_TRUE(folder.standardError.contains(QStringLiteral("是一个文件夹")))
        << folder.standardError.toStdString();
    const auto device = RunReplay({QStringLiteral("/dev/zero")});
    EXPECT_EQ(device.exitCode, 1);
    EXPECT_TRUE(device.standardError.contains(QStringLiteral("不是普通文件")))
        << device.standardError.toStdString();

    QProcess endless;
    endless.setStandardInputFile(QStringLiteral("/dev/zero"));
    endless.start(QStringLiteral(QIRA_REPLAY_PATH), {QStringLiteral("-")});
    ASSERT_TRUE(endless.waitForFinished(60000)) << "qira-replay read /dev/zero without end";
    EXPECT_EQ(endless.exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(endless.readAllStandardError()).contains("1 MiB"));

    const auto help = RunReplay({QStringLiteral("--help")});
    EXPECT_TRUE(help.standardOutput.contains(QStringLiteral("64 MiB")));
}

}  // namespace
}  // namespace qira
