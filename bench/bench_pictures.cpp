// Benchmarks of picture work: JPEG decoding at each depth, PNG and WebP
// decoding at 24 bits, depth-converting
// copies at screen size, dithering and thumbnails of a large picture.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

#include "surface/draw_surface.h"
#include "media/jpeg.h"
#include "media/png.h"
#include "media/webp.h"
#include "tests/unit/jpeg_writer.h"
#include "tests/unit/png_webp_writer.h"

namespace {

using namespace pavalo;

constexpr int kBigWidth = 4096, kBigHeight = 3072;
constexpr int kScreenWidth = 1920, kScreenHeight = 1080;

// A 4096 x 3072 JPEG of a varied picture, made once.
const std::vector<uint8_t>& bigJpeg() {
    static const std::vector<uint8_t> bytes =
        testing::encodeJpeg(kBigWidth, kBigHeight, 3, testing::syntheticPicture(kBigWidth, kBigHeight), 90);
    return bytes;
}

// The same picture decoded at 24 bits, made once.
const DrawSurface& bigPicture() {
    static DrawSurface* surface = [] {
        auto* s = new DrawSurface;
        if (!decodeJpegMemory(*s, bigJpeg(), 24)) std::abort();
        return s;
    }();
    return *surface;
}

void BM_DecodeJpeg4096x3072(benchmark::State& state) {
    const int32_t depth = int32_t(state.range(0));
    const std::vector<uint8_t>& jpeg = bigJpeg();
    DrawSurface surface;
    for (auto _ : state) {
        if (!decodeJpegMemory(surface, jpeg, depth)) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(surface.pixels());
    }
}
BENCHMARK(BM_DecodeJpeg4096x3072)
    ->Arg(24)
    ->Arg(16)
    ->Arg(8)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// The synthetic picture as 8-bit red, green, blue, alpha.
std::vector<uint8_t> bigRgba() {
    const std::vector<uint8_t> rgb = testing::syntheticPicture(kBigWidth, kBigHeight);
    std::vector<uint8_t> rgba;
    rgba.reserve(size_t(kBigWidth) * kBigHeight * 4);
    for (size_t i = 0; i < rgb.size(); i += 3) rgba.insert(rgba.end(), {rgb[i], rgb[i + 1], rgb[i + 2], 255});
    return rgba;
}

void BM_DecodePng4096x3072(benchmark::State& state) {
    static const std::vector<uint8_t> png = testing::encodeRgbaPng(kBigWidth, kBigHeight, bigRgba());
    DrawSurface surface;
    for (auto _ : state) {
        if (!decodePngMemory(surface, png, 24)) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(surface.pixels());
    }
}
BENCHMARK(BM_DecodePng4096x3072)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);

void BM_DecodeWebp4096x3072(benchmark::State& state) {
    static const std::vector<uint8_t> webp =
        testing::encodeLossyWebp(kBigWidth, kBigHeight, testing::syntheticPicture(kBigWidth, kBigHeight), 85);
    DrawSurface surface;
    for (auto _ : state) {
        if (!decodeWebpMemory(surface, webp, 24)) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(surface.pixels());
    }
}
BENCHMARK(BM_DecodeWebp4096x3072)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);

void BM_CopyBitmap1920x1080(benchmark::State& state) {
    const int32_t from = int32_t(state.range(0)), to = int32_t(state.range(1));
    DrawSurface source, dest;
    if (!source.create(kScreenWidth, kScreenHeight, from) || !dest.create(kScreenWidth, kScreenHeight, to))
        std::abort();
    DrawSurface picture24;
    picture24.create(kScreenWidth, kScreenHeight, 24);
    picture24.copyBitmap(bigPicture(), 0, 0);
    if (from == 8) {
        source.ditherFrom24(picture24);
    } else {
        source.copyBitmap(picture24, 0, 0);
    }
    for (auto _ : state) {
        if (!dest.copyBitmap(source, 0, 0)) state.SkipWithError("copy refused");
        benchmark::DoNotOptimize(dest.pixels());
    }
}
BENCHMARK(BM_CopyBitmap1920x1080)
    ->Args({8, 24})
    ->Args({24, 16})
    ->Args({16, 24})
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_DitherFrom24_4096x3072(benchmark::State& state) {
    const DrawSurface& picture = bigPicture();
    DrawSurface dest;
    for (auto _ : state) {
        dest.ditherFrom24(picture);
        benchmark::DoNotOptimize(dest.pixels());
    }
}
BENCHMARK(BM_DitherFrom24_4096x3072)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_MakeScaledCopy8_4096x3072ToThumbnail(benchmark::State& state) {
    const DrawSurface& picture = bigPicture();
    DrawSurface thumb;
    for (auto _ : state) {
        thumb.makeScaledCopy8(picture, 96, -1);
        benchmark::DoNotOptimize(thumb.pixels());
    }
}
BENCHMARK(BM_MakeScaledCopy8_4096x3072ToThumbnail)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
