#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include "render/geometry.h"
#include "render/resources.h"

// The generated artwork: every picture the painters load exists under the
// name they use, at the size the table geometry steps by.
namespace qira::render {
namespace {

const std::string kGame = QIRA_GAME_FOLDER "bin/";
const std::string kShared = QIRA_GAME_FOLDER;

QSize PictureSize(const std::string& root, std::string_view path) {
    const auto file = FindResourceFile(root, path);
    if (!file) return {};
    return QImage(QString::fromStdString(*file)).size();
}

QSize Qt(Size size) {
    return {size.width, size.height};
}

class Artwork : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "render_ui_tests";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance()) new QApplication(argc, argv);
    }
};

TEST_F(Artwork, EveryTileFaceAtItsViewsSize) {
    const std::array<std::pair<TileFaceSet, QSize>, 6> sets = {{
        {TileFaceSet::UpOut, Qt(szOutPai[0])},
        {TileFaceSet::LeftOut, Qt(szOutPai[1])},
        {TileFaceSet::RightOut, Qt(szOutPai[3])},
        {TileFaceSet::DownOut, Qt(szOutPai[2])},
        {TileFaceSet::DownPeng, Qt(szLiangPai[2])},
        {TileFaceSet::DownShou, Qt(szShouPai[2])},
    }};
    int faces = 0;
    for (const auto& [set, size] : sets) {
        for (int code = 0; code < 39; ++code) {
            const auto path = TileFacePath(set, code);
            if (!path) continue;
            EXPECT_EQ(PictureSize(kShared, *path), size) << *path;
            ++faces;
        }
    }
    EXPECT_EQ(faces, 6 * 34);
}

TEST_F(Artwork, BacksAndWallsMatchTheTileSizes) {
    for (int p = 0; p < 4; ++p) {
        const auto index = static_cast<std::size_t>(p);
        EXPECT_EQ(PictureSize(kShared, TileBackPath(BackKind::Hand, p)), Qt(szShouPai[index])) << p;
        EXPECT_EQ(PictureSize(kShared, TileBackPath(BackKind::MeldBack, p)), Qt(szLiangPai[index]))
            << p;
        EXPECT_EQ(PictureSize(kShared, TileBackPath(BackKind::Wall, p)), Qt(szWallPai[index])) << p;
    }
}

TEST_F(Artwork, SpriteSheetsHoldTheirCells) {
    const std::vector<std::pair<std::string_view, QSize>> game = {
        {"Res\\GameBackMid.bmp", {lngCentreWidth, lngCentreHeight}},
        {"Res\\GameBackJiao.bmp", {18, 18}},
        {"Res\\Arrow.bmp", {36, 18}},
        {"Res\\But.bmp", {125, 54}},
        {"Res\\GameBut.bmp", {540, 35}},
        {"Res\\Start.bmp", {142, 71}},
        {"Res\\UserPgFlagS.bmp", {224, 34}},
        {"Res\\UserPgFlagC.bmp", {34, 224}},
        {"Res\\OutPaiBk_0.bmp", {100, 62}},
        {"Res\\outpaibk_1.bmp", {112, 50}},
        {"Res\\OutPaiBk_2.bmp", {100, 62}},
        {"Res\\OutPaiBk_3.bmp", {112, 50}},
        {"Res\\cpgt.bmp", {111, 37}},
        {"Res\\SysMenu.bmp", {168, 21}},
        {"Res\\UserButton.bmp", {164, 25}},
        {"res\\VSpliterMidBk.bmp", {12, 60}},
    };
    for (const auto& [path, size] : game) EXPECT_EQ(PictureSize(kGame, path), size) << path;
    EXPECT_EQ(PictureSize(kGame, "Res\\GameBackVsBian.bmp").width(), 8);
    EXPECT_EQ(PictureSize(kGame, "Res\\GameBackHsBian.bmp").height(), 5);
    EXPECT_EQ(PictureSize(kGame, "Res\\CaptionLR.bmp").width(), 15);
    EXPECT_EQ(PictureSize(kGame, "res\\VSpliterBk.bmp").width(), 12);
    EXPECT_TRUE(FindResourceFile(kGame, "res\\VSpliterMid_Left.bmp"));
    EXPECT_TRUE(FindResourceFile(kGame, "res\\VSpliterMid_Right.bmp"));
    EXPECT_TRUE(FindResourceFile(kGame, "Res\\HunQiang.bmp"));
}

TEST_F(Artwork, MarksDiceIconsAndPortraits) {
    for (const std::string_view path :
         {"ResMj\\Other\\Zhuang.ico", "ResMj\\Other\\UD_Ting.bmp", "ResMj\\Other\\LR_Ting.bmp",
          "res\\Msg0.ico", "res\\Msg1.ico", "res\\Msg2.ico"})
        EXPECT_FALSE(PictureSize(kShared, path).isEmpty()) << path;
    for (int face = 1; face <= 6; ++face)
        EXPECT_EQ(PictureSize(kShared, "ResMj\\Other\\sz" + std::to_string(face) + ".ico"),
                  QSize(32, 32));
    for (int frame = 1; frame <= 4; ++frame)
        EXPECT_EQ(PictureSize(kShared, "ResMj\\Other\\dsz" + std::to_string(frame) + ".ico"),
                  QSize(32, 32));
    for (const std::int32_t key : {0, 499, 998, 999})
        EXPECT_EQ(PictureSize(kShared, PortraitPath(key)), QSize(32, 32)) << key;
}

// A playable wave file: RIFF/WAVE with a PCM format chunk and a non-empty
// data chunk that fits in the file.
bool IsPcmWave(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray bytes = file.readAll();
    if (bytes.size() < 12 || !bytes.startsWith("RIFF") || bytes.mid(8, 4) != "WAVE") return false;
    auto readLittle = [&bytes](qsizetype at, int size) {
        quint32 value = 0;
        for (int i = size - 1; i >= 0; --i) value = value << 8 | static_cast<quint8>(bytes[at + i]);
        return value;
    };
    bool pcm = false;
    for (qsizetype at = 12; bytes.size() - at >= 8;) {
        const QByteArray id = bytes.mid(at, 4);
        const quint32 size = readLittle(at + 4, 4);
        if (size > static_cast<quint32>(bytes.size() - at - 8)) return false;
        if (id == "fmt " && size >= 16) pcm = readLittle(at + 8, 2) == 1;
        if (id == "data") return pcm && size > 0;
        at += 8 + size + (size & 1);
    }
    return false;
}

TEST_F(Artwork, EverySoundIsAWaveFile) {
    for (int code = 1; code <= 9; ++code) {
        const auto file = FindResourceFile(kGame, *StateSoundPath(code));
        ASSERT_TRUE(file) << code;
        EXPECT_TRUE(IsPcmWave(QString::fromStdString(*file))) << *file;
    }
}

TEST_F(Artwork, WithoutSpeechEveryWordBecomesTones) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString program = folder.filePath("bin");
    QProcess generator;
    generator.start(QStringLiteral(QIRA_ARTGEN), {program, "--tones", "--sounds-only"});
    ASSERT_TRUE(generator.waitForFinished(60000));
    ASSERT_EQ(generator.exitCode(), 0) << generator.readAllStandardError().toStdString();
    const std::string root = program.toStdString() + "/";
    int voices = 0;
    for (int code = 0; code < 39; ++code) {
        const auto voice = TileVoicePath(code);
        if (!voice) continue;
        const auto file = FindResourceFile(root, *voice);
        ASSERT_TRUE(file) << *voice;
        EXPECT_TRUE(IsPcmWave(QString::fromStdString(*file))) << *file;
        ++voices;
    }
    EXPECT_EQ(voices, 34);
    for (int code = 1; code <= 9; ++code)
        EXPECT_TRUE(FindResourceFile(root, *StateSoundPath(code))) << code;
    EXPECT_FALSE(QDir(program + "/Res").exists("Arrow.bmp")) << "pictures were skipped";
}

TEST_F(Artwork, EverySoundExists) {
    for (int code = 1; code <= 9; ++code)
        EXPECT_TRUE(FindResourceFile(kGame, *StateSoundPath(code))) << code;
    for (int code = 0; code < 39; ++code) {
        if (const auto voice = TileVoicePath(code)) {
            EXPECT_TRUE(FindResourceFile(kGame, *voice)) << code;
        }
    }
}

}  // namespace
}  // namespace qira::render
