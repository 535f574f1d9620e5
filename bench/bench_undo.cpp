// Benchmarks of recording and taking back an arrangement of 4000 pieces.
#include <benchmark/benchmark.h>

#include "puzzle/cutter.h"
#include "puzzle/undo.h"

using namespace pavalo;

namespace {
PuzzleModel& bigPuzzle() {
    static PuzzleModel model = [] {
        PuzzleModel m;
        Random rng(1);
        std::vector<int32_t> order;
        std::string error;
        runCutSequence({4096, 3072, 80, 50, 1920, 1080, true}, rng, m, order, error);
        return m;
    }();
    return model;
}
}  // namespace

static void undoRecord(benchmark::State& state) {
    PuzzleModel& m = bigPuzzle();
    SettingsRecord settings;
    UndoRing ring;
    for (auto _ : state) ring.record(settings, m, false);
}
BENCHMARK(undoRecord)->Unit(benchmark::kMicrosecond);

static void undoRestore(benchmark::State& state) {
    PuzzleModel& m = bigPuzzle();
    SettingsRecord settings;
    UndoRing ring;
    UndoActions actions;
    for (auto _ : state) {
        state.PauseTiming();
        ring.record(settings, m, false);
        state.ResumeTiming();
        ring.undo(m, settings, actions);
    }
}
BENCHMARK(undoRestore)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
