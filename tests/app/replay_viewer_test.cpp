#include "app/replay_viewer.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QKeyEvent>

#include "render/geometry.h"
#include "replay/scripted_hand.h"
#include "ui/play/frm_hu_pai_result.h"

namespace qira::app {
namespace {

using replay::HandReplay;

// Screen positions of the table.
constexpr int kUp = 0, kLeft = 1, kDown = 2, kRight = 3;

HandReplay ScriptedReplay(replay::Chair view = 0) {
    const auto parsed = replay::ParseHandLine(replay::testing::KongAndSelfDrawnWin().Line());
    EXPECT_TRUE(parsed.hand) << parsed.error;
    std::string error;
    auto built = HandReplay::Build(*parsed.hand, view, &error);
    EXPECT_TRUE(built) << error;
    return std::move(*built);
}

ReplayViewer::Options NoWaiting() {
    ReplayViewer::Options options;
    options.wait = [](int) {};
    return options;
}

struct TableFacts {
    std::vector<rules::TileCode> hand;
    std::array<std::vector<rules::MeldRecord>, 4> melds;
    std::array<std::vector<rules::TileCode>, 4> discards;
    std::array<std::int32_t, 4> wallHeads{};
    friend bool operator==(const TableFacts&, const TableFacts&) = default;
};

TableFacts FactsOf(ReplayViewer& viewer) {
    const auto& table = viewer.client().session().table();
    TableFacts facts;
    facts.hand = table.bytMyHand;
    for (std::size_t c = 0; c < 4; ++c) {
        facts.melds[c] = table.Seats[c].Melds;
        facts.discards[c] = table.Seats[c].Discards;
        facts.wallHeads[c] = table.Seats[c].lngWallHead;
    }
    return facts;
}

bool WinWindowShown(ReplayViewer& viewer) {
    for (auto* result : viewer.window().findChildren<play::frmHuPaiResult*>())
        if (result->isVisible()) return true;
    return false;
}

void PressKey(ReplayViewer& viewer, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(&viewer.window().picGameBack(), &press);
}

// Pixels of `rect` that differ between two pictures of the same size.
int DifferingPixels(const QImage& a, const QImage& b, const QRect& rect) {
    int count = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y)) ++count;
    return count;
}

TEST(ReplayViewer, AJumpRebuildsTheSameTableAsSteppingThere) {
    ReplayViewer stepped(ScriptedReplay(), NoWaiting());
    for (int i = 0; i < 9; ++i) stepped.StepForward();
    ASSERT_EQ(stepped.step(), 9u);

    ReplayViewer jumped(ScriptedReplay(), NoWaiting());
    jumped.GoTo(11);
    jumped.GoTo(9);  // back, past the kong and its replacement
    EXPECT_EQ(FactsOf(jumped), FactsOf(stepped));
    EXPECT_EQ(jumped.client().session().table().Seats[3].Melds.size(), 1u);
}

TEST(ReplayViewer, KeysStepJumpAndPlay) {
    ReplayViewer viewer(ScriptedReplay(), NoWaiting());
    viewer.window().show();
    EXPECT_EQ(viewer.step(), 0u);
    PressKey(viewer, Qt::Key_Right);
    PressKey(viewer, Qt::Key_Right);
    EXPECT_EQ(viewer.step(), 2u);
    EXPECT_TRUE(viewer.CounterText().startsWith(QStringLiteral("第 2 / 12 步：南南 碰 东风")))
        << viewer.CounterText().toStdString();
    PressKey(viewer, Qt::Key_Left);
    EXPECT_EQ(viewer.step(), 1u);

    PressKey(viewer, Qt::Key_End);
    EXPECT_EQ(viewer.step(), 12u);
    EXPECT_TRUE(WinWindowShown(viewer));
    PressKey(viewer, Qt::Key_Right);  // nothing after the end
    EXPECT_EQ(viewer.step(), 12u);

    PressKey(viewer, Qt::Key_Home);
    EXPECT_EQ(viewer.step(), 0u);
    EXPECT_FALSE(WinWindowShown(viewer));

    PressKey(viewer, Qt::Key_Space);
    EXPECT_TRUE(viewer.playing());
    EXPECT_TRUE(viewer.CounterText().contains(QStringLiteral("播放中")));
    PressKey(viewer, Qt::Key_Space);
    EXPECT_FALSE(viewer.playing());
}

TEST(ReplayViewer, KeysPressedWhileAStepPlaysCountFromWhereTheyLead) {
    ReplayViewer viewer(ScriptedReplay(), NoWaiting());
    // Delivered while the dealer's discard grows on the table.
    for (int key : {Qt::Key_Right, Qt::Key_Right, Qt::Key_Left})
        QCoreApplication::postEvent(&viewer.window().picGameBack(),
                                    new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier));
    viewer.StepForward();
    EXPECT_EQ(viewer.step(), 2u);

    ReplayViewer stepped(ScriptedReplay(), NoWaiting());
    stepped.GoTo(1);
    stepped.GoTo(2);
    EXPECT_EQ(FactsOf(viewer), FactsOf(stepped));
}

// All four hands face up: with the replay's hands each other chair's hand
// looks different from the backs a game shows, while the bottom hand is the
// session's own either way. The picture is kept for looking at.
TEST(ReplayViewer, PaintsEveryHandFaceUpMidHand) {
    ReplayViewer viewer(ScriptedReplay(1), NoWaiting());
    viewer.window().setGeometry(0, 0, 1024, 720);
    viewer.window().show();
    viewer.GoTo(7);  // after the concealed kong
    QApplication::processEvents();
    auto& canvas = viewer.client().canvas();
    const QImage open = canvas.picture().copy();

    const QImage snapshot = viewer.Snapshot();
    EXPECT_GT(snapshot.width(), 800);
    QDir().mkpath(QStringLiteral(QIRA_SCREENSHOT_DIR));
    snapshot.save(QStringLiteral(QIRA_SCREENSHOT_DIR "/replay.png"));

    auto sources = canvas.sources();
    const auto* hands = sources.openHands;
    ASSERT_NE(hands, nullptr);
    sources.openHands = nullptr;
    canvas.SetSources(sources);
    canvas.PaintTable();
    const QImage backs = canvas.picture().copy();
    sources.openHands = hands;
    canvas.SetSources(sources);
    canvas.PaintTable();
    ASSERT_EQ(open.size(), backs.size());

    const qreal ratio = open.devicePixelRatio();
    auto handRect = [&](int position) {
        const auto at = render::HandEraseOrigin(canvas.layout(), position);
        const auto size = render::HandEraseSize(canvas.layout(), position);
        return QRect(static_cast<int>(at.x * ratio), static_cast<int>(at.y * ratio),
                     static_cast<int>(size.width * ratio), static_cast<int>(size.height * ratio))
            .intersected(open.rect());
    };
    for (int position : {kUp, kLeft, kRight}) {
        const QRect rect = handRect(position);
        EXPECT_GT(DifferingPixels(open, backs, rect), rect.width() * rect.height() / 10)
            << "position " << position;
    }
    EXPECT_EQ(DifferingPixels(open, backs, handRect(kDown)), 0);
}

}  // namespace
}  // namespace qira::app
