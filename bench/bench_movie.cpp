// Benchmarks of movies: decoding one 640 x 480 frame and converting it into
// a 24-bit or a 16-bit frame surface (MPEG-1 and Motion JPEG, and a larger
// 1280 x 720 MPEG-1), the interface thread's part: taking a ready frame
// into the picture surface, and the whole cost of one movie frame on a
// 1000-piece puzzle at 1920 x 1080: decode, copy and recomposing the play area,
// and the process's share of a core while such a movie plays with its sound.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <sys/resource.h>
#include <random>
#include <filesystem>
#include <string>
#include <thread>
#include <unistd.h>

#include "display/compositor.h"
#include "media/movie_encoder.h"
#include "puzzle/cutter.h"
#include "surface/display_modes.h"
#include "media/movie_player.h"

namespace {

using namespace pavalo;
namespace fs = std::filesystem;

constexpr int32_t kFrames = 50;

// Writes a movie of moving colour once per name; removed at exit.
std::string movie(const std::string& name, int32_t width, int32_t height, bool sound = false) {
    static const fs::path dir = [] {
        fs::path d = fs::temp_directory_path() / ("pavalo-bench-movie-" + std::to_string(getpid()));
        fs::create_directories(d);
        std::atexit([] { fs::remove_all(fs::temp_directory_path() / ("pavalo-bench-movie-" + std::to_string(getpid()))); });
        return d;
    }();
    const std::string path = (dir / name).string();
    if (fs::exists(path)) return path;
    MovieEncodeOptions options;
    options.width = width;
    options.height = height;
    if (sound) options.sound = [](int64_t i) { return int16_t(2000.0 * std::sin(double(i) * 0.0627)); };
    MovieEncoder encoder;
    DrawSurface frame;
    if (!encoder.open(path, options) || !frame.create(width, height, 24)) std::abort();
    for (int32_t i = 0; i < kFrames; ++i) {
        drawSyntheticMovieFrame(frame, i, kFrames);
        // Some texture, so the codecs have real work.
        for (int32_t y = 0; y < height; y += 2)
            for (int32_t x = (y / 2 + i) % 7; x < width; x += 7) frame.row(y)[3 * x] ^= 0x55;
        if (!encoder.addFrame(frame)) std::abort();
    }
    if (!encoder.finish()) std::abort();
    return path;
}

void decodeLoop(benchmark::State& state, const std::string& path, int32_t depth) {
    MovieDecoder decoder;
    if (decoder.open(path, depth) != MovieError::None) std::abort();
    DrawSurface frame;
    int64_t t = 0;
    for (auto _ : state)
        if (!decoder.next(frame, t)) std::abort();
    state.SetItemsProcessed(state.iterations());
}

void BM_DecodeMpeg1_640x480_24(benchmark::State& s) { decodeLoop(s, movie("a.mpg", 640, 480), 24); }
void BM_DecodeMpeg1_640x480_16(benchmark::State& s) { decodeLoop(s, movie("a.mpg", 640, 480), 16); }
void BM_DecodeMjpeg_640x480_24(benchmark::State& s) { decodeLoop(s, movie("a.avi", 640, 480), 24); }
void BM_DecodeMjpeg_640x480_16(benchmark::State& s) { decodeLoop(s, movie("a.avi", 640, 480), 16); }
void BM_DecodeMpeg1_1280x720_24(benchmark::State& s) { decodeLoop(s, movie("b.mpg", 1280, 720), 24); }
BENCHMARK(BM_DecodeMpeg1_640x480_24)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeMpeg1_640x480_16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeMjpeg_640x480_24)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeMjpeg_640x480_16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeMpeg1_1280x720_24)->Unit(benchmark::kMillisecond);

// The interface thread's cost per shown frame: the queue hand-over and the
// copy into the picture surface. Before each round the decoder gets time
// (untimed) to have the next frame ready, and the clock jumps a frame time.
void BM_TakeFrame_640x480_24(benchmark::State& state) {
    MoviePlayer player;
    if (player.open(movie("a.mpg", 640, 480), 24) != MovieError::None) std::abort();
    DrawSurface picture;
    picture.createLike(player.firstFrame());
    player.start(0);
    int64_t now = 0, missed = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
        now += 40;
        state.ResumeTiming();
        if (!player.takeFrame(now, picture)) ++missed;
    }
    state.counters["missed"] = double(missed);
}
BENCHMARK(BM_TakeFrame_640x480_24)->Unit(benchmark::kMicrosecond)->Iterations(500);

// Opening up to the first frame.
void BM_OpenToFirstFrame_640x480(benchmark::State& state) {
    const std::string path = movie("a.mpg", 640, 480);
    for (auto _ : state) {
        MoviePlayer player;
        if (player.open(path, 24) != MovieError::None) std::abort();
    }
}
BENCHMARK(BM_OpenToFirstFrame_640x480)->Unit(benchmark::kMillisecond);

// One movie frame on a 1000-piece puzzle (40 x 25, pieces scattered and
// turned over the whole 1920 x 1080 play area): decoding and converting it,
// copying it into the picture and recomposing the whole visible play area.
constexpr int32_t kPlayW = 1920, kPlayH = 1080;

// A 1000-piece puzzle of a 640 x 480 picture (40 x 25, pieces scattered and
// turned over the whole play area) on a display of `depth`.
struct PlayArea {
    PuzzleModel model;
    DisplaySurface display;
    SettingsRecord settings;
    std::unique_ptr<Compositor> compositor;
    ViewRequest view;
    PlayArea(DrawSurface& picture, int32_t depth) {
        setDisplayModes(defaultDisplayModes(kPlayW, kPlayH));
        Random rng(1);
        std::vector<int32_t> order;
        std::string error;
        if (!runCutSequence({640, 480, 40, 25, kPlayW, kPlayH, true}, rng, model, order, error)) std::abort();
        std::mt19937 gen(2);
        for (int32_t i = 0; i < model.pieceCount(); ++i) {
            Piece& p = model.piece(i);
            p.rotation = int32_t(gen() % 4);
            p.x = int32_t(gen() % uint32_t(kPlayW - p.drawnWidth()));
            p.y = int32_t(gen() % uint32_t(kPlayH - p.drawnHeight()));
        }
        display.createDisplay(nullptr, kPlayW, kPlayH, depth, false, false);
        compositor = std::make_unique<Compositor>(display);
        compositor->setScene({&model, &picture, &settings});
        view.clipBox = {0, 0, kPlayW, kPlayH};
        compositor->updateView(view);
    }
};

void BM_MovieFrameOnA1000PiecePuzzle(benchmark::State& state) {
    const int32_t depth = int32_t(state.range(0));
    MovieDecoder decoder;
    if (decoder.open(movie("a.mpg", 640, 480), depth) != MovieError::None) std::abort();
    DrawSurface frame, picture;
    int64_t t = 0;
    if (!decoder.next(frame, t) || !picture.createLike(frame) || !picture.copyBitmap(frame, 0, 0)) std::abort();
    PlayArea area(picture, depth);
    Compositor& compositor = *area.compositor;
    const ViewRequest& view = area.view;
    for (auto _ : state) {
        if (!decoder.next(frame, t)) std::abort();
        picture.copyBitmap(frame, 0, 0);
        compositor.updateView(view);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MovieFrameOnA1000PiecePuzzle)->Arg(24)->Arg(16)->Unit(benchmark::kMillisecond);

double cpuSeconds() {
    rusage use{};
    getrusage(RUSAGE_SELF, &use);
    return double(use.ru_utime.tv_sec + use.ru_stime.tv_sec) + double(use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
}

// Four seconds of a 25-frame 640 x 480 movie with its sound (on SDL's
// silent driver unless SDL_AUDIODRIVER says otherwise) playing on the
// 1000-piece puzzle as the game plays it: an idle pass every 15 ms takes the
// newest due frame and recomposes the play area. cpu_share is the process's
// CPU time over the wall time, in per cent of one core.
void BM_PlayingMovieCpuShare(benchmark::State& state) {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    const int32_t depth = int32_t(state.range(0));
    MoviePlayer player;
    if (player.open(movie("s.mpg", 640, 480, true), depth, true) != MovieError::None) std::abort();
    DrawSurface picture;
    if (!picture.createLike(player.firstFrame()) || !picture.copyBitmap(player.firstFrame(), 0, 0)) std::abort();
    PlayArea area(picture, depth);
    using Clock = std::chrono::steady_clock;
    auto ms = [](Clock::time_point t) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count();
    };
    double share = 0, shown = 0, heard = 0;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        const double cpuStart = cpuSeconds();
        player.start(ms(start));
        const int64_t framesBefore = player.framesShown();
        while (Clock::now() - start < std::chrono::seconds(4)) {
            if (player.takeFrame(ms(Clock::now()), picture)) area.compositor->updateView(area.view);
            std::this_thread::sleep_for(std::chrono::milliseconds(15));
        }
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        share = 100.0 * (cpuSeconds() - cpuStart) / wall;
        shown = double(player.framesShown() - framesBefore) / wall;
        heard = player.sound() ? double(player.sound()->framesMixed()) / wall : 0;
        player.close();
    }
    state.counters["cpu_share"] = share;
    state.counters["frames_per_s"] = shown;
    state.counters["sound_frames_per_s"] = heard;
}
BENCHMARK(BM_PlayingMovieCpuShare)->Arg(24)->Arg(16)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
