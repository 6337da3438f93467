#include "ui/render/discard_animation_player.h"

#include <gtest/gtest.h>
#include <QGuiApplication>

namespace qira::render {
namespace {

QGuiApplication& App() {
    static int argc = 1;
    static char name[] = "discard_animation_player_tests";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
    return app;
}

const std::string kGameFolder = QIRA_GAME_FOLDER;  // holds bin/Res, ResMj, UserRes
const std::string kAppPath = kGameFolder + "bin/";

QImage Table() {
    QImage canvas(640, 480, QImage::Format_RGB32);
    canvas.fill(QColor(33, 89, 173));
    return canvas;
}

struct Recorder {
    int repaints = 0;
    QImage midway;
};

DiscardAnimationPlayer MakePlayer(Recorder& recorder, QImage& canvas,
                                  const std::string& appPath = kAppPath) {
    DiscardAnimationPlayer::Hooks hooks;
    hooks.repaint = [&recorder, &canvas](const QRect&) {
        if (++recorder.repaints == 20) recorder.midway = canvas.copy();
    };
    return DiscardAnimationPlayer(appPath, kGameFolder, std::move(hooks));
}

TEST(DiscardAnimationPlayer, ShowsTheTileAndLeavesTheTableAsItWas) {
    App();
    QImage canvas = Table();
    const QImage before = canvas.copy();
    Recorder recorder;
    auto player = MakePlayer(recorder, canvas);
    player.PlayDiscardAnimation(canvas, 2, 0, 5, {320, 400});
    EXPECT_EQ(recorder.repaints, 26);
    EXPECT_EQ(canvas, before) << "the last tick restores what lay under the picture";
    ASSERT_FALSE(recorder.midway.isNull());
    EXPECT_NE(recorder.midway.copy(270, 338, 100, 62), before.copy(270, 338, 100, 62));
    recorder.midway.save(QStringLiteral("discard_animation_midway.png"));
}

TEST(DiscardAnimationPlayer, KongOfAHiddenTileUsesTheBackWithTheLabel) {
    App();
    QImage canvas = Table();
    Recorder recorder;
    auto player = MakePlayer(recorder, canvas);
    player.PlayDiscardAnimation(canvas, 0, 3, 100, {320, 60});
    EXPECT_EQ(recorder.repaints, 26);
    recorder.midway.save(QStringLiteral("kong_animation_midway.png"));
}

TEST(DiscardAnimationPlayer, NothingHappensForUnknownKindsOrMissingPictures) {
    App();
    QImage canvas = Table();
    Recorder recorder;
    auto player = MakePlayer(recorder, canvas);
    player.PlayDiscardAnimation(canvas, 2, 4, 5, {320, 400});
    player.PlayDiscardAnimation(canvas, 2, 0, 33, {320, 400});
    EXPECT_EQ(recorder.repaints, 0);
    Recorder noArt;
    auto missing = MakePlayer(noArt, canvas, "/nonexistent/");
    missing.PlayDiscardAnimation(canvas, 2, 0, 5, {320, 400});
    EXPECT_EQ(noArt.repaints, 0);
}

TEST(DiscardAnimationPlayer, ACallFromInsideARunningAnimationReturnsAtOnce) {
    App();
    QImage canvas = Table();
    int repaints = 0;
    bool nestedReturned = false;
    std::unique_ptr<DiscardAnimationPlayer> player;
    DiscardAnimationPlayer::Hooks hooks;
    hooks.repaint = [&](const QRect&) {
        if (++repaints == 3) {
            player->PlayDiscardAnimation(canvas, 1, 0, 7, {40, 240});
            nestedReturned = true;
        }
    };
    player = std::make_unique<DiscardAnimationPlayer>(kAppPath, kGameFolder, std::move(hooks));
    player->PlayDiscardAnimation(canvas, 2, 0, 5, {320, 400});
    EXPECT_TRUE(nestedReturned);
    EXPECT_EQ(repaints, 26) << "the running animation was not disturbed";
    EXPECT_EQ(canvas, Table());
}

TEST(DiscardAnimationPlayer, StopsAtOnceWhenTheProgramQuits) {
    App();
    QImage canvas = Table();
    int repaints = 0;
    bool quitting = false;
    DiscardAnimationPlayer::Hooks hooks;
    hooks.repaint = [&](const QRect&) { quitting = ++repaints >= 5; };
    hooks.quitting = [&] { return quitting; };
    DiscardAnimationPlayer player(kAppPath, kGameFolder, std::move(hooks));
    player.PlayDiscardAnimation(canvas, 3, 0, 30, {600, 240});
    EXPECT_EQ(repaints, 5);
    EXPECT_FALSE(player.playing());
}

}  // namespace
}  // namespace qira::render
