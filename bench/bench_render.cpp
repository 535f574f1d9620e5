// Benchmarks of piece rendering and composition on a 1920 x 1080 play area:
// all pieces of a 4000-piece puzzle drawn, full-screen updates at 8, 16 and
// 24 bits with the pieces scattered or assembled, the small update that
// follows dragging one piece, a sorting box full of pieces, and the preview.
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <random>
#include <tuple>

#include "display/compositor.h"
#include "display/side_window_composer.h"
#include "surface/display_modes.h"
#include "puzzle/cutter.h"

using namespace pavalo;

namespace {

constexpr int32_t kPlayW = 1920, kPlayH = 1080;

// A cut puzzle with its picture and a compositor on a display of the
// picture's depth. Pieces are either scattered at random over the whole play
// area (some hanging over its edges) with random rotations, or all solved.
struct World {
    PuzzleModel model;
    DrawSurface picture;
    DisplaySurface display;
    SettingsRecord settings;
    std::unique_ptr<Compositor> compositor;
};

void build(World& w, int32_t picW, int32_t picH, int32_t depth, bool assembled) {
    setDisplayModes(defaultDisplayModes(kPlayW, kPlayH));
    Random rng(1);
    std::vector<int32_t> order;
    std::string error;
    if (!runCutSequence({picW, picH, 80, 50, kPlayW, kPlayH, true}, rng, w.model, order, error))
        std::abort();
    w.model.geometry().playWidth = kPlayW;
    w.model.geometry().playHeight = kPlayH;
    std::mt19937 gen(2);
    if (assembled) {
        for (int32_t i = 0; i < w.model.pieceCount(); ++i)
            w.model.solvePiece(ListId::Main, i, 0, 0);
    } else {
        for (int32_t i = 0; i < w.model.pieceCount(); ++i) {
            Piece& p = w.model.piece(i);
            p.rotation = int32_t(gen() % 4);
            p.x = int32_t(gen() % uint32_t(kPlayW)) - p.drawnWidth() / 2;
            p.y = int32_t(gen() % uint32_t(kPlayH)) - p.drawnHeight() / 2;
        }
    }
    w.picture.create(picW, picH, depth);
    if (depth == 8) w.picture.setDefaultPalette();
    // A smooth picture with some noise, like a photograph.
    const int bpp = w.picture.depth() / 8;
    for (int32_t y = 0; y < picH; ++y) {
        uint8_t* row = w.picture.row(y);
        for (int32_t x = 0; x < picW * bpp; ++x) row[x] = uint8_t((x / bpp + y) / 8 + (gen() & 15));
    }
    w.display.createDisplay(nullptr, kPlayW, kPlayH, depth, false, false);
    w.compositor = std::make_unique<Compositor>(w.display);
    w.compositor->setScene({&w.model, &w.picture, &w.settings});
    w.compositor->state().puzzleOutlineShown = false;
    ViewRequest first;
    first.clipBox = {0, 0, kPlayW, kPlayH};
    w.compositor->updateView(first);  // builds the buffers and the outline shades
}

World& world(int32_t picW, int32_t picH, int32_t depth, bool assembled) {
    static std::map<std::tuple<int32_t, int32_t, int32_t, bool>, std::unique_ptr<World>> worlds;
    auto& slot = worlds[{picW, picH, depth, assembled}];
    if (!slot) {
        slot = std::make_unique<World>();
        build(*slot, picW, picH, depth, assembled);
    }
    return *slot;
}

// A 480 x 360 sorting box at (200, 150) holding 600 of the 4000 pieces of a
// 1600 x 1000 picture, heaped over it at random (turned, some hanging over
// its edges).
constexpr int32_t kBoxX = 200, kBoxY = 150, kBoxW = 480, kBoxH = 360, kBoxPieces = 600;

World& boxWorld(int32_t depth) {
    static std::map<int32_t, std::unique_ptr<World>> worlds;
    auto& slot = worlds[depth];
    if (!slot) {
        slot = std::make_unique<World>();
        World& w = *slot;
        build(w, 1600, 1000, depth, false);
        std::mt19937 gen(3);
        for (int32_t i = 0; i < kBoxPieces; ++i) {
            w.model.movePieceToList(ListId::Box1, ListId::Main, i);
            const Piece& p = w.model.piece(i);
            w.model.moveGroup(ListId::Box1, i, kBoxX + int32_t(gen() % uint32_t(kBoxW)) - p.drawnWidth() / 2,
                              kBoxY + int32_t(gen() % uint32_t(kBoxH)) - p.drawnHeight() / 2);
        }
    }
    return *slot;
}

// Every piece drawn with its shaded outline onto the back buffer.
void drawAllPieces(benchmark::State& state, int32_t picW, int32_t picH) {
    World& w = world(picW, picH, 24, false);
    DrawSurface& bb = w.compositor->backBuffer();
    for (auto _ : state) {
        Rect r{0, 0, kPlayW, kPlayH};
        w.compositor->renderer.drawAllOutlinesAndPieces(w.model, ListId::Main, r, bb, &w.picture);
        benchmark::DoNotOptimize(bb.pixels());
    }
}

// Every piece's shaded outline colours and draw lists made from the picture
// (once per puzzle: after a cut or an open).
void buildShades(benchmark::State& state, int32_t picW, int32_t picH) {
    World& w = world(picW, picH, 24, false);
    for (auto _ : state) {
        w.compositor->renderer.buildOutlineShades(w.model, &w.picture);
        benchmark::DoNotOptimize(w.model.piece(0).renderCache.data());
    }
}

// The whole update pass over the full screen.
void fullUpdate(benchmark::State& state, int32_t picW, int32_t picH, int32_t depth,
                bool assembled) {
    World& w = world(picW, picH, depth, assembled);
    ViewRequest r;
    r.clipBox = {0, 0, kPlayW, kPlayH};
    for (auto _ : state) {
        Presentation p = w.compositor->updateView(r);
        benchmark::DoNotOptimize(p);
    }
}

// The update after dragging one piece by a few pixels: the union of its old
// and new boxes, among the scattered pieces.
void dragUpdate(benchmark::State& state, int32_t picW, int32_t picH, int32_t depth) {
    World& w = world(picW, picH, depth, false);
    const int32_t piece = w.model.groupNode(w.model.list(ListId::Main).head).firstMember;
    w.model.moveGroup(ListId::Main, piece, kPlayW / 2, kPlayH / 2);
    int32_t step = 3;
    for (auto _ : state) {
        const Rect before = w.model.piece(piece).box();
        w.model.moveGroup(ListId::Main, piece, before.left + step, before.top + step);
        step = -step;
        ViewRequest r;
        r.clipBox = before.united(w.model.piece(piece).box());
        Presentation p = w.compositor->updateView(r);
        if (!p.present) state.SkipWithError("nothing composed");
        benchmark::DoNotOptimize(p);
    }
}

// The whole client area of the box above composed, at zoom 0 (480 x 360
// client pixels) or 1 (960 x 720 client pixels showing the same box area).
void boxUpdate(benchmark::State& state, int32_t depth, int32_t zoom) {
    World& w = boxWorld(depth);
    BoxRequest r;
    r.list = ListId::Box1;
    r.origin = {kBoxX, kBoxY};
    r.zoomShift = zoom;
    r.clipBox = {0, 0, kBoxW << zoom, kBoxH << zoom};
    for (auto _ : state) {
        Presentation p = composeSortingBox(*w.compositor, w.model, &w.picture, r);
        if (!p.present) state.SkipWithError("nothing composed");
        benchmark::DoNotOptimize(p);
    }
}

// The whole picture averaged into a 400 x 250 preview.
void previewUpdate(benchmark::State& state, int32_t picW, int32_t picH, int32_t depth) {
    World& w = world(picW, picH, depth, false);
    DrawSurface out;
    for (auto _ : state) {
        if (!composePreview(out, 400, 250, &w.picture)) state.SkipWithError("no preview");
        benchmark::DoNotOptimize(out.pixels());
    }
}

}  // namespace

#define PAVALO_RENDER_BENCH(...)        \
    BENCHMARK_CAPTURE(__VA_ARGS__)      \
        ->Unit(benchmark::kMillisecond) \
        ->Repetitions(5)                \
        ->ReportAggregatesOnly(true)

PAVALO_RENDER_BENCH(buildShades, 4096x3072_24, 4096, 3072);
PAVALO_RENDER_BENCH(drawAllPieces, 4096x3072_24, 4096, 3072);
PAVALO_RENDER_BENCH(fullUpdate, 4096x3072_scattered_8, 4096, 3072, 8, false);
PAVALO_RENDER_BENCH(fullUpdate, 4096x3072_scattered_16, 4096, 3072, 16, false);
PAVALO_RENDER_BENCH(fullUpdate, 4096x3072_scattered_24, 4096, 3072, 24, false);
PAVALO_RENDER_BENCH(drawAllPieces, 1600x1000_24, 1600, 1000);
PAVALO_RENDER_BENCH(fullUpdate, 1600x1000_scattered_8, 1600, 1000, 8, false);
PAVALO_RENDER_BENCH(fullUpdate, 1600x1000_scattered_16, 1600, 1000, 16, false);
PAVALO_RENDER_BENCH(fullUpdate, 1600x1000_scattered_24, 1600, 1000, 24, false);
PAVALO_RENDER_BENCH(fullUpdate, 1600x1000_assembled_8, 1600, 1000, 8, true);
PAVALO_RENDER_BENCH(fullUpdate, 1600x1000_assembled_16, 1600, 1000, 16, true);
PAVALO_RENDER_BENCH(fullUpdate, 1600x1000_assembled_24, 1600, 1000, 24, true);
PAVALO_RENDER_BENCH(boxUpdate, 1600x1000_zoom0_8, 8, 0);
PAVALO_RENDER_BENCH(boxUpdate, 1600x1000_zoom0_24, 24, 0);
PAVALO_RENDER_BENCH(boxUpdate, 1600x1000_zoom1_24, 24, 1);
PAVALO_RENDER_BENCH(previewUpdate, 4096x3072_24, 4096, 3072, 24);
PAVALO_RENDER_BENCH(previewUpdate, 1600x1000_8, 1600, 1000, 8);
BENCHMARK_CAPTURE(dragUpdate, 1600x1000_24, 1600, 1000, 24)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
