// Benchmark of the colour search over a 4000-piece puzzle of a 4096 x 3072
// picture at 24 and 8 bits: every piece of the play area is scored.
#include <benchmark/benchmark.h>

#include "surface/draw_surface.h"
#include "display/picture_view_adapter.h"
#include "puzzle/assist_tools.h"
#include "puzzle/cutter.h"

using namespace pavalo;

namespace {

constexpr int32_t kWidth = 4096, kHeight = 3072;

PuzzleModel& bigPuzzle() {
    static PuzzleModel model = [] {
        PuzzleModel m;
        Random rng(7);
        std::vector<int32_t> order;
        std::string error;
        runCutSequence({kWidth, kHeight, 80, 50, 1920, 1080, false}, rng, m, order, error);
        return m;
    }();
    return model;
}

// Smooth colour ramps crossed by bands and a little noise, so that pieces
// differ and a colour matches in patches.
uint32_t hashNoise(uint32_t x, uint32_t y) {
    uint32_t h = x * 374761393u + y * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return h ^ (h >> 16);
}

DrawSurface& picture24() {
    static DrawSurface p;
    static const bool made = [] {
        p.create(kWidth, kHeight, 24);
        for (int32_t y = 0; y < kHeight; ++y) {
            uint8_t* row = p.row(y);
            for (int32_t x = 0; x < kWidth; ++x) {
                const uint32_t n = hashNoise(uint32_t(x), uint32_t(y)) & 15;
                row[3 * x + 0] = uint8_t((x * 255 / kWidth + n) & 0xFF);
                row[3 * x + 1] = uint8_t(((y * 255 / kHeight) ^ ((x / 97) * 40)) + n);
                row[3 * x + 2] = uint8_t(((x + y) / 23 * 17 + n) & 0xFF);
            }
        }
        return true;
    }();
    (void)made;
    return p;
}

DrawSurface& picture8() {
    static DrawSurface p;
    static const bool made = [] {
        p.create(kWidth, kHeight, 8);
        PaletteTable palette{};
        for (int i = 0; i < 256; ++i)
            palette[size_t(i)] = {uint8_t(i * 37), uint8_t(i * 91 + 13), uint8_t(255 - i), 0};
        p.setPaletteEntries(palette, false);
        for (int32_t y = 0; y < kHeight; ++y) {
            uint8_t* row = p.row(y);
            for (int32_t x = 0; x < kWidth; ++x)
                row[x] = uint8_t((x / 31 + y / 29 * 7 + (hashNoise(uint32_t(x), uint32_t(y)) & 3)) & 0xFF);
        }
        return true;
    }();
    (void)made;
    return p;
}

void colourSearch(benchmark::State& state, DrawSurface& surface) {
    PuzzleModel& m = bigPuzzle();
    const PictureView view = pictureViewOf(surface);
    // Samples from the middle of a piece near the picture's centre.
    const int32_t piece = 25 * 80 + 40;
    const Piece& p = m.piece(piece);
    const SampleColours samples =
        sampleColours(m, view, piece, p.x + p.drawnWidth() / 2, p.y + p.drawnHeight() / 2);
    const int range = int(state.range(0)), threshold = int(state.range(1));
    size_t found = 0;
    int64_t scored = 0;
    for (auto _ : state) {
        const std::vector<int32_t> f =
            findColorPieces(m, ListId::Main, view, samples, range, threshold, [&] { ++scored; });
        found = f.size();
        benchmark::DoNotOptimize(f.data());
    }
    state.counters["found"] = double(found);
    state.counters["scored"] = double(scored) / double(state.iterations());
}

void colourSearch24(benchmark::State& state) { colourSearch(state, picture24()); }
void colourSearch8(benchmark::State& state) { colourSearch(state, picture8()); }

}  // namespace

// Arguments: colour range, threshold (the dialog's defaults are 1 and 5).
BENCHMARK(colourSearch24)->Args({1, 5})->Args({20, 5})->Args({100, 50})->Unit(benchmark::kMillisecond);
BENCHMARK(colourSearch8)->Args({1, 5})->Args({20, 5})->Args({100, 50})->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
