// Drag latency in the real view: a 4000-piece puzzle on a 1920 x 1080 play
// area, a piece dragged with mouse-move events; each iteration is one move
// event up to the end of the repaint it causes (offscreen window system).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdio>
#include <QTemporaryDir>
#include <QtTest>

#include "app/application.h"
#include "app/game_window.h"
#include "app/play_view.h"
#include "media/bmp.h"
#include "puzzle/piece_mask.h"

using namespace pavalo;

namespace {
Application* gApp = nullptr;

// A point inside a loose piece well inside the screen (away from the
// edge-scroll border, with room to move 20 pixels each way).
QPoint grabPoint(PuzzleModel& m, int32_t& piece) {
    for (int32_t i = 0; i < m.pieceCount(); ++i) {
        const Piece& p = m.piece(i);
        if (m.listOfPiece(i) != ListId::Main || p.x < 60 || p.x > 1800 || p.y < 60 || p.y > 980) continue;
        const int x = p.drawnWidth() / 2, y = p.drawnHeight() / 2;
        if (maskCoversPoint(p.mask, p.width, p.height, p.rotation, x, y) && m.findPieceAtPoint(ListId::Main, p.x + x, p.y + y) == i) {
            piece = i;
            return QPoint(p.x + x, p.y + y);
        }
    }
    return {};
}
}  // namespace

static void dragMove(benchmark::State& state) {
    PlayView* view = gApp->window().view();
    int32_t piece = -1;
    const QPoint start = grabPoint(gApp->model(), piece);
    if (piece < 0) {
        state.SkipWithError("no piece to grab");
        return;
    }
    QTest::mousePress(view, Qt::LeftButton, {}, start);
    QApplication::processEvents();
    int step = 0;
    for (auto _ : state) {
        // Back and forth over 40 pixels, away from the screen's edges.
        const int dx = (step++ % 40) - 20;
        QTest::mouseMove(view, start + QPoint(dx, dx / 2));
        QApplication::processEvents();  // the repaint of the invalid boxes
    }
    QTest::mouseRelease(view, Qt::LeftButton, {}, start);
    state.counters["paint_ms"] = view->lastPaintMs();
}
BENCHMARK(dragMove)->Unit(benchmark::kMillisecond)->Iterations(400)->Repetitions(3)->ReportAggregatesOnly(true);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qt(argc, argv);
    QTemporaryDir home;
    qputenv("TAVORN_HOME", home.path().toUtf8());
    LaunchOptions o;
    o.window = QSize(1920, 1080);
    // A 1600 x 1000 picture takes 4000 pieces (80 x 50).
    DrawSurface picture;
    picture.create(1600, 1000, 24);
    for (int y = 0; y < 1000; ++y)
        for (int x = 0; x < 1600; ++x) {
            uint8_t* px = picture.row(y) + 3 * x;
            px[0] = uint8_t(x / 7 + y / 3);
            px[1] = uint8_t((x * y) >> 9);
            px[2] = uint8_t(255 - y / 4);
        }
    const std::string path = home.filePath("bench.bmp").toStdString();
    saveBmp(picture, path);
    o.newPicture = path;
    o.pieces = 4000;
    o.seed = 3;
    Application app(o);
    if (!app.start()) return 1;
    app.runStartRoutine();
    std::printf("%d pieces\n", app.model().pieceCount());
    if (!QTest::qWaitForWindowExposed(&app.window())) return 1;
    QApplication::processEvents();
    gApp = &app;
    ::benchmark::Initialize(&argc, argv);
    ::benchmark::RunSpecifiedBenchmarks();
    ::benchmark::Shutdown();
    app.shutdown();
    return 0;
}
