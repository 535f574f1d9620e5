// Benchmarks of WDA animations: drawing a whole 640 x 480 frame (the worst
// case: every row coded in literal and fill runs) at 8 bits, the changes of
// a typical later frame, a whole frame on a 24-bit surface, and converting
// a 30-frame animation to 24 bits.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>
#include <vector>

#include "media/wda.h"
#include "media/wda_encoder.h"

namespace {

using namespace pavalo;

constexpr int32_t kW = 640, kH = 480, kFrames = 30;

// Frames of bands of colour with noise, each moving a 200 x 100 block of
// the one before; made once.
const std::vector<uint8_t>& animation() {
    static const std::vector<uint8_t> bytes = [] {
        std::mt19937 rng(5);
        std::vector<uint8_t> palette(768);
        for (auto& b : palette) b = uint8_t(rng());
        std::vector<uint8_t> px(size_t(kW) * kH);
        for (int32_t y = 0; y < kH; ++y)
            for (int32_t x = 0; x < kW; ++x) px[size_t(y) * kW + size_t(x)] = uint8_t(rng() % 4 ? x / 40 : rng());
        WdaEncoder enc(kW, kH, palette);
        std::vector<uint8_t> before = px;
        enc.addFrame(px);
        for (int32_t f = 1; f < kFrames; ++f) {
            const int32_t bx = 20 * f, by = 10 * f;
            for (int32_t y = by; y < by + 100; ++y)
                for (int32_t x = bx; x < bx + 200; ++x) px[size_t(y) * kW + size_t(x)] = uint8_t(rng() % 3 ? f : rng());
            enc.addFrame(px, std::vector<std::span<const uint8_t>>{before});
            before = px;
        }
        return enc.finish();
    }();
    return bytes;
}

void BM_WholeFrame8(benchmark::State& state) {
    WdaAnimation a;
    if (!a.loadBytes(animation())) std::abort();
    DrawSurface s;
    s.create(kW, kH, 8);
    for (auto _ : state) a.drawFrame(s, 0, 0, 0);
    state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(BM_WholeFrame8);

void BM_ChangedFrame8(benchmark::State& state) {
    WdaAnimation a;
    if (!a.loadBytes(animation())) std::abort();
    DrawSurface s;
    s.create(kW, kH, 8);
    for (auto _ : state) a.drawFrame(s, 15, 0, 0);
}
BENCHMARK(BM_ChangedFrame8);

void BM_WholeFrame24(benchmark::State& state) {
    WdaAnimation a;
    if (!a.loadBytes(animation())) std::abort();
    DrawSurface s;
    s.create(kW, kH, 24);
    a.drawFrame(s, 0, 0, 0);  // converts once, outside the timing
    for (auto _ : state) a.drawFrame(s, 0, 0, 0);
    state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(BM_WholeFrame24);

void BM_ConvertTo24(benchmark::State& state) {
    for (auto _ : state) {
        WdaAnimation a;
        if (!a.loadBytes(animation()) || !a.convertToCode(kWdaBgr24)) std::abort();
        benchmark::DoNotOptimize(a.pixelFormat());
    }
}
BENCHMARK(BM_ConvertTo24);

}  // namespace

BENCHMARK_MAIN();
