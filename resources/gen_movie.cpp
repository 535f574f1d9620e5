// Writes a movie through the project's movie encoder. With only an output
// path it makes the sample movie: four seconds at 640 x 480 of coloured
// bubbles rising over a slowly turning gradient, with a soft chord that
// swells and fades so the loop joins without a click. With a size, a frame
// count and a sound flag it writes the small test pattern movies that the
// fuzz target starts from.
//   pavalo-gen-movie OUT.(mpg|avi) [WIDTH HEIGHT FRAMES SOUND]
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "media/movie_encoder.h"

namespace {

using namespace pavalo;

constexpr int32_t kFps = 25;

void drawSampleFrame(DrawSurface& frame, int32_t index, int32_t frames) {
    const int32_t w = frame.width(), h = frame.height();
    const double phase = 2.0 * M_PI * index / frames;
    for (int32_t y = 0; y < h; ++y) {
        uint8_t* p = frame.row(y);
        for (int32_t x = 0; x < w; ++x, p += 3) {
            const double u = double(x) / w, v = double(y) / h;
            const double t = 0.5 + 0.5 * std::sin(phase + 3.0 * u + 2.0 * v);
            p[2] = uint8_t(40 + 120 * t * (1 - v));          // red
            p[1] = uint8_t(60 + 90 * (1 - t) * v + 40 * u);  // green
            p[0] = uint8_t(120 + 110 * v);                   // blue
        }
    }
    // Bubbles rise once per loop, so the last frame leads into the first.
    for (int32_t b = 0; b < 9; ++b) {
        const double cx = w * (0.08 + 0.105 * b) + 18.0 * std::sin(phase * 2 + b);
        const double cy = std::fmod(h * 1.2 * (1.0 - double(index) / frames) + b * 97.0, h * 1.2) - h * 0.1;
        const double r = 18.0 + 6.0 * (b % 4);
        for (int32_t y = std::max(0, int32_t(cy - r)); y < std::min(h, int32_t(cy + r + 1)); ++y)
            for (int32_t x = std::max(0, int32_t(cx - r)); x < std::min(w, int32_t(cx + r + 1)); ++x) {
                const double d = std::hypot(x - cx, y - cy) / r;
                if (d > 1.0) continue;
                uint8_t* p = frame.row(y) + 3 * x;
                const double light = d > 0.85 ? 0.9 : 0.35 * (1 - d);
                for (int c = 0; c < 3; ++c) p[c] = uint8_t(p[c] + (255 - p[c]) * light);
            }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 6) {
        std::fprintf(stderr, "usage: %s OUT.(mpg|avi) [WIDTH HEIGHT FRAMES SOUND]\n", argv[0]);
        return 2;
    }
    const bool sample = argc == 2;
    const int32_t width = sample ? 640 : std::atoi(argv[2]);
    const int32_t height = sample ? 480 : std::atoi(argv[3]);
    const int32_t frames = sample ? 4 * kFps : std::atoi(argv[4]);
    const bool sound = sample || std::atoi(argv[5]) != 0;
    const int64_t loopSamples = int64_t(frames) * 44100 / kFps;

    MovieEncodeOptions options;
    options.width = width;
    options.height = height;
    options.framesPerSecond = kFps;
    options.quality = sample ? 3 : 8;
    if (sound) {
        // A quiet A-major chord under a slow swell that is silent at the
        // loop's ends.
        options.sound = [loopSamples](int64_t i) {
            const double t = double(i) / 44100.0;
            const double swell = std::sin(M_PI * double(i % loopSamples) / double(loopSamples));
            const double chord = std::sin(2 * M_PI * 220.0 * t) + 0.6 * std::sin(2 * M_PI * 277.18 * t) +
                                 0.5 * std::sin(2 * M_PI * 329.63 * t);
            return int16_t(2400.0 * swell * swell * chord);
        };
    }
    MovieEncoder encoder;
    std::string error;
    DrawSurface frame;
    if (!encoder.open(argv[1], options, &error) || !frame.create(width, height, 24)) {
        std::fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
        return 1;
    }
    for (int32_t i = 0; i < frames; ++i) {
        if (sample)
            drawSampleFrame(frame, i, frames);
        else
            drawSyntheticMovieFrame(frame, i, frames);
        if (!encoder.addFrame(frame)) {
            std::fprintf(stderr, "%s: could not add frame %d\n", argv[1], i);
            return 1;
        }
    }
    return encoder.finish() ? 0 : 1;
}
