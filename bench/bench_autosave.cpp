// Benchmarks of keeping the puzzle in progress for recovery: a 4000-piece
// 4096 x 3072 puzzle turned into the saved file's bytes (the part the game
// does while the player waits), and the whole write through a temporary
// name, flushed to the disk and renamed into place.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>

#include "puzzle/cutter.h"
#include "puzzle/saved_puzzle.h"

using namespace pavalo;

namespace {

struct Puzzle {
    PuzzleModel model;
    SettingsRecord record;
};

const Puzzle& puzzle() {
    static std::unique_ptr<Puzzle> made;
    if (made) return *made;
    made = std::make_unique<Puzzle>();
    Random rng(1);
    std::vector<int32_t> order;
    std::string error;
    if (!runCutSequence({4096, 3072, 80, 50, 1920, 1080, false}, rng, made->model, order, error)) std::abort();
    SettingsRecord::setText(made->record.picturePath, "/home/player/pictures/harbour.jpg");
    made->record.playSeconds = 754;
    return *made;
}

void BM_EncodeSavedPuzzle4000(benchmark::State& state) {
    const Puzzle& p = puzzle();
    size_t bytes = 0;
    for (auto _ : state) {
        std::vector<uint8_t> encoded = encodeSavedPuzzle(p.record, p.model);
        bytes = encoded.size();
        benchmark::DoNotOptimize(encoded.data());
    }
    state.counters["file_kB"] = double(bytes) / 1024.0;
}
BENCHMARK(BM_EncodeSavedPuzzle4000)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);

void BM_WriteSavedPuzzle4000(benchmark::State& state) {
    const Puzzle& p = puzzle();
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("pavalo-bench-autosave-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string path = (folder / "recovery.gvp").string();
    std::string error;
    for (auto _ : state)
        if (!savePuzzleFile(path, p.record, p.model, error)) state.SkipWithError(error.c_str());
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_WriteSavedPuzzle4000)->Unit(benchmark::kMillisecond)->Iterations(20)->Repetitions(3)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
