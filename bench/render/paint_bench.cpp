// Full repaint against the partial repaints that a discard or a draw from the
// wall cause: the partial ones must stay a small fraction of the full one.
// Run: QT_QPA_PLATFORM=offscreen build/release/game/bin/render_bench
#include <benchmark/benchmark.h>

#include <QGuiApplication>

#include "ui/render/table_canvas.h"

namespace {

using namespace qira;

struct Table {
    rules::TableState table;
    launch::ClientGlobals globals;
    play::TurnData turn;
    play::OfferData offer;

    Table() {
        globals.strAppPath = QIRA_GAME_FOLDER "bin/";
        globals.strParentPath = QIRA_GAME_FOLDER;
        globals.strViewName = "甲";
        globals.bytSeatPos = {2, 3, 0, 1};
        table.blnHandIdle = false;
        table.bytDealerChair = 0;
        table.bytWildTile = 4;
        table.bytMyHand = {4, 0, 1, 2, 10, 11, 12, 20, 21, 27, 28, 36, 37, 38};
        const std::array<std::string, 4> names = {"甲", "乙", "丙", "丁"};
        for (std::size_t chair = 0; chair < 4; ++chair) {
            auto& seat = table.Seats[chair];
            seat.strPlayerName = names[chair];
            seat.lngPlayerKey = static_cast<std::int32_t>(chair * 7);
            seat.lngWallHead = 4;
            seat.lngWallTail = 30;
            for (int i = 0; i < 14; ++i)
                seat.Discards.push_back(static_cast<rules::TileCode>((i * 5 + chair) % 27));
        }
    }
};

QGuiApplication& App() {
    static int argc = 1;
    static char name[] = "render_bench";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
    return app;
}

struct Painted {
    Table table;
    render::TableCanvas canvas;
    Painted() {
        App();
        canvas.SetSources({&table.table, &table.globals, &table.turn, &table.offer});
        canvas.Resize({900, 660}, {1100, 700});
        canvas.PaintTable();
    }
};

void BM_FullRepaint(benchmark::State& state) {
    Painted painted;
    for (auto _ : state) painted.canvas.PaintTable();
}
BENCHMARK(BM_FullRepaint)->Unit(benchmark::kMillisecond);

void BM_NewestDiscardOnly(benchmark::State& state) {
    Painted painted;
    for (auto _ : state) painted.canvas.PaintDiscards(1, false);
}
BENCHMARK(BM_NewestDiscardOnly)->Unit(benchmark::kMicrosecond);

void BM_WallSegment(benchmark::State& state) {
    Painted painted;
    for (auto _ : state) painted.canvas.PaintWall(2);
}
BENCHMARK(BM_WallSegment)->Unit(benchmark::kMicrosecond);

void BM_LocalHand(benchmark::State& state) {
    Painted painted;
    for (auto _ : state) painted.canvas.PaintHands(0);
}
BENCHMARK(BM_LocalHand)->Unit(benchmark::kMicrosecond);

}  // namespace
