// qira-artgen PROGRAM_FOLDER [--tones] [--sounds-only]
// qira-artgen --icons ICON_ROOT NAME
// Draws every picture and writes every sound the client loads: "Res/" inside
// PROGRAM_FOLDER, "ResMj/", "UserRes/" and "res/" in its parent. --tones
// replaces speech by synthesised tones (as happens when espeak-ng is missing);
// --sounds-only skips the pictures. --icons writes only the desktop icon, in
// the hicolor theme's layout below ICON_ROOT.
#include <QElapsedTimer>
#include <QGuiApplication>
#include <cstdio>
#include <string_view>

#include "art_canvas.h"
#include "icon_art.h"
#include "sound_art.h"
#include "table_art.h"
#include "tile_art.h"

namespace {

// Distinct portraits drawn; the 1000 icon names reuse them in turn.
constexpr int kPortraitCount = 240;

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: qira-artgen PROGRAM_FOLDER [--tones] [--sounds-only]\n"
                     "       qira-artgen --icons ICON_ROOT NAME\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (std::string_view(argv[1]) == "--icons") {
        if (argc != 4) {
            std::fprintf(stderr, "usage: qira-artgen --icons ICON_ROOT NAME\n");
            return 2;
        }
        const bool ok = qira::artgen::GenerateDesktopIcons(QString::fromLocal8Bit(argv[2]),
                                                           QString::fromLocal8Bit(argv[3]));
        return ok ? 0 : 1;
    }
    const QString programFolder = QString::fromLocal8Bit(argv[1]);
    bool tonesOnly = false;
    bool soundsOnly = false;
    for (int i = 2; i < argc; ++i) {
        const std::string_view option(argv[i]);
        if (option == "--tones") {
            tonesOnly = true;
        } else if (option == "--sounds-only") {
            soundsOnly = true;
        } else {
            std::fprintf(stderr, "qira-artgen: unknown option %s\n", argv[i]);
            return 2;
        }
    }

    QElapsedTimer timer;
    timer.start();
    qira::artgen::ArtWriter writer(programFolder);
    if (!soundsOnly) {
        qira::artgen::GenerateTileArt(writer);
        qira::artgen::GenerateHelpTileArt(writer);
        qira::artgen::GenerateTableArt(writer);
        qira::artgen::GenerateSkinArt(writer);
        qira::artgen::GenerateIconArt(writer, kPortraitCount);
    }
    const auto engine = !tonesOnly && qira::artgen::EspeakAvailable()
                            ? qira::artgen::SpeechEngine::Espeak
                            : qira::artgen::SpeechEngine::SynthesisedTones;
    const bool soundsOk = qira::artgen::GenerateSounds(programFolder, engine);
    std::printf("qira-artgen: %d pictures, sounds with %s, %lld ms\n", writer.FilesWritten(),
                engine == qira::artgen::SpeechEngine::Espeak ? "espeak-ng" : "tones",
                static_cast<long long>(timer.elapsed()));
    return writer.Failed() || !soundsOk ? 1 : 0;
}
