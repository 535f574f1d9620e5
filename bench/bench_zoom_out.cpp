// Benchmarks of the zoomed-out view: a 4000-piece 4096 x 3072 puzzle whose
// pieces lie scattered over the table around the picture (three picture
// sizes across) on a 1920 x 1080 play area. The whole table composed at
// "fit", the update after a drag step at x1/4, and making the reduced copies
// (with their memory against the picture's).
#include <benchmark/benchmark.h>

#include <memory>
#include <random>

#include "display/compositor.h"
#include "display/reduced_pieces.h"
#include "puzzle/cutter.h"
#include "surface/display_modes.h"

using namespace pavalo;

namespace {

constexpr int32_t kPlayW = 1920, kPlayH = 1080, kPicW = 4096, kPicH = 3072;

struct Table {
    PuzzleModel model;
    DrawSurface picture;
    DisplaySurface display;
    SettingsRecord settings;
    std::unique_ptr<Compositor> compositor;
};

Table& table() {
    static std::unique_ptr<Table> made;
    if (made) return *made;
    made = std::make_unique<Table>();
    Table& t = *made;
    setDisplayModes(defaultDisplayModes(kPlayW, kPlayH));
    Random rng(1);
    std::vector<int32_t> order;
    std::string error;
    if (!runCutSequence({kPicW, kPicH, 80, 50, kPlayW, kPlayH, false}, rng, t.model, order, error)) std::abort();
    t.model.geometry().playWidth = kPlayW;
    t.model.geometry().playHeight = kPlayH;
    std::mt19937 gen(2);
    const int32_t left = kPlayW / 2 - 3 * kPicW / 2, top = kPlayH / 2 - 3 * kPicH / 2;
    for (int32_t i = 0; i < t.model.pieceCount(); ++i) {
        Piece& p = t.model.piece(i);
        p.x = left + int32_t(gen() % uint32_t(3 * kPicW - p.width));
        p.y = top + int32_t(gen() % uint32_t(3 * kPicH - p.height));
    }
    t.picture.create(kPicW, kPicH, 32);
    for (int32_t y = 0; y < kPicH; ++y) {
        uint8_t* row = t.picture.row(y);
        for (int32_t x = 0; x < kPicW * 4; ++x) row[x] = uint8_t((x / 4 + y) / 8 + (gen() & 15));
    }
    t.display.createDisplay(nullptr, kPlayW, kPlayH, 32, false, false);
    t.compositor = std::make_unique<Compositor>(t.display);
    t.compositor->setScene({&t.model, &t.picture, &t.settings});
    ViewRequest first;
    first.clipBox = {0, 0, kPlayW, kPlayH};
    t.compositor->updateView(first);
    t.compositor->renderer.buildOutlineShades(t.model, &t.picture);
    return t;
}

// The request of a view zoomed out by `factor` about the play area's centre.
ViewRequest reducedRequest(int32_t factor, const Rect& clip) {
    ViewRequest r;
    r.clipBox = clip;
    r.reduce = factor;
    r.reduceOrigin = {kPlayW / 2 - (kPlayW / 2) * factor, kPlayH / 2 - (kPlayH / 2) * factor};
    return r;
}

// "Fit": the table (12288 x 9216) in 1920 x 1080 is x1/9.
void composeFit(benchmark::State& state) {
    Table& t = table();
    const ViewRequest r = reducedRequest(9, {0, 0, kPlayW, kPlayH});
    t.compositor->updateView(r);  // the reduced copies are made once, before timing
    for (auto _ : state) {
        Presentation p = t.compositor->updateView(r);
        if (!p.present) state.SkipWithError("nothing composed");
        benchmark::DoNotOptimize(p);
    }
}

// One drag step at x1/4: the group moves three play pixels and the union of
// its old and new boxes, in window pixels grown by two, is composed again.
void dragAtQuarter(benchmark::State& state) {
    Table& t = table();
    const int32_t piece = t.model.groupNode(t.model.list(ListId::Main).head).firstMember;
    t.model.moveGroup(ListId::Main, piece, kPlayW / 2, kPlayH / 2);
    const ViewRequest whole = reducedRequest(4, {0, 0, kPlayW, kPlayH});
    t.compositor->updateView(whole);
    int32_t step = 3;
    for (auto _ : state) {
        const Rect before = t.model.piece(piece).box();
        t.model.moveGroup(ListId::Main, piece, before.left + step, before.top + step);
        step = -step;
        const Rect play = before.united(t.model.piece(piece).box());
        const Point o = whole.reduceOrigin;
        const Rect clip{floorDivide(play.left - o.x, 4) - 2, floorDivide(play.top - o.y, 4) - 2,
                        ceilDivide(play.right - o.x, 4) + 2, ceilDivide(play.bottom - o.y, 4) + 2};
        Presentation p = t.compositor->updateView(reducedRequest(4, clip));
        if (!p.present) state.SkipWithError("nothing composed");
        benchmark::DoNotOptimize(p);
    }
}

// A 4000-piece puzzle of a 1920 x 1080 picture (pieces about 24 x 22
// pixels), for making its copies alone.
struct SmallPuzzle {
    PuzzleModel model;
    DrawSurface picture;
};

SmallPuzzle& smallPuzzle() {
    static std::unique_ptr<SmallPuzzle> made;
    if (made) return *made;
    made = std::make_unique<SmallPuzzle>();
    Random rng(3);
    std::vector<int32_t> order;
    std::string error;
    if (!runCutSequence({kPlayW, kPlayH, 80, 50, kPlayW, kPlayH, false}, rng, made->model, order, error))
        std::abort();
    made->picture.create(kPlayW, kPlayH, 32);
    for (int32_t y = 0; y < kPlayH; ++y) {
        uint8_t* row = made->picture.row(y);
        for (int32_t x = 0; x < kPlayW * 4; ++x) row[x] = uint8_t((x / 4 + y) / 8 + ((x * 7 + y * 13) & 15));
    }
    return *made;
}

// The reduced picture and masks for one factor; the memory they hold as a
// share of the picture's.
void reduceOnce(benchmark::State& state, const PuzzleModel& model, const DrawSurface& picture) {
    const int32_t factor = int32_t(state.range(0));
    ReducedPuzzle reduced;
    for (auto _ : state) {
        buildReducedPuzzle(model, &picture, factor, reduced);
        benchmark::DoNotOptimize(reduced.pieces.data());
    }
    const double pictureBytes = double(size_t(picture.pitch()) * size_t(picture.height()));
    state.counters["share_of_picture"] = double(reduced.bytes()) / pictureBytes;
    size_t masks = 0, caches = 0;
    for (const Piece& p : reduced.pieces) masks += p.mask.capacity() + p.outline.capacity(), caches += p.renderCache.capacity();
    state.counters["masks_share"] = double(masks) / pictureBytes;
    state.counters["draw_lists_share"] = double(caches) / pictureBytes;
}

// The 4096 x 3072 picture's copies.
void makeReducedCopies(benchmark::State& state) {
    Table& t = table();
    reduceOnce(state, t.model, t.picture);
}

// The 1920 x 1080 picture's copies.
void makeReducedCopiesOfSmallPicture(benchmark::State& state) {
    SmallPuzzle& s = smallPuzzle();
    reduceOnce(state, s.model, s.picture);
}

}  // namespace

BENCHMARK(composeFit)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(dragAtQuarter)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
// Time: wall clock; CPU: both threads (the picture is reduced on a second one).
BENCHMARK(makeReducedCopies)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Arg(2)
    ->Arg(4)
    ->Arg(8)
    ->Arg(9)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(makeReducedCopiesOfSmallPicture)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK_MAIN();
