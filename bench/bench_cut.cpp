// Benchmarks of the whole new-puzzle cut sequence (order table, template,
// cut with masks and outlines, scatter).
#include <benchmark/benchmark.h>

#include "puzzle/cutter.h"

using namespace pavalo;

static void cutSequence(benchmark::State& state, int width, int height, int cols, int rows) {
    uint32_t seed = 1;
    for (auto _ : state) {
        Random rng(seed++);
        PuzzleModel model;
        std::vector<int32_t> order;
        std::string error;
        if (!runCutSequence({width, height, cols, rows, 1920, 1080, true}, rng, model, order, error))
            state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(model.pieceCount());
    }
}

static void templateOnly(benchmark::State& state, int width, int height, int cols, int rows) {
    uint32_t seed = 1;
    for (auto _ : state) {
        Random rng(seed++);
        auto t = createTemplate(width, height, cols, rows, rng);
        benchmark::DoNotOptimize(t->pixels.pixels.data());
        benchmark::DoNotOptimize(t->wide.pixels.data());
    }
}

// 4096 x 3072 with 4000 pieces: 73 x 55 = 4015 is over the limit, the
// piece-count rules give 72 x 54 = 3888; the exact 4000 is 80 x 50.
BENCHMARK_CAPTURE(cutSequence, 4096x3072_80x50, 4096, 3072, 80, 50)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK_CAPTURE(cutSequence, 640x480_4x3, 640, 480, 4, 3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(templateOnly, 4096x3072_80x50, 4096, 3072, 80, 50)->Unit(benchmark::kMillisecond);
// A grid the rules offer whose 8-bit cell numbers repeat within reach (128
// rows), so its cells are numbered in 16 bits.
BENCHMARK_CAPTURE(cutSequence, 992x4096_31x128, 992, 4096, 31, 128)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
