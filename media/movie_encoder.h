// MovieEncoder: writes short movies through libavformat/libavcodec from
// 24-bit surfaces — MPEG-1 video in an MPEG program stream (".mpg",
// ".mpeg") or Motion JPEG in AVI (".avi"), optionally with a mono MP2 sound
// track whose samples a callback gives. Used by the sample-movie generator
// and by the tests, which need movies they made themselves. No Qt.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "surface/draw_surface.h"

namespace pavalo {

struct MovieEncodeOptions {
    int32_t width = 0, height = 0;  // even sizes
    int32_t framesPerSecond = 25;   // MPEG-1 takes 24, 25, 30, 50 or 60
    int32_t quality = 4;            // quantiser: 2 (best) .. 31
    // The sound track's sample i (mono, 44100 Hz); none means no sound.
    std::function<int16_t(int64_t index)> sound;
};

class MovieEncoder {
public:
    MovieEncoder();
    ~MovieEncoder();
    MovieEncoder(const MovieEncoder&) = delete;
    MovieEncoder& operator=(const MovieEncoder&) = delete;

    // Creates the file; the container and codec follow its extension. False
    // with `error` set when it cannot.
    bool open(const std::string& path, const MovieEncodeOptions& options, std::string* error = nullptr);
    // Adds a frame: a 24-bit surface of the movie's size. The sound track
    // advances by one frame's time.
    bool addFrame(const DrawSurface& frame);
    // Flushes the encoders and closes the file.
    bool finish();

private:
    struct State;
    std::unique_ptr<State> s_;
};

// Draws synthetic test frame `index` of a movie into a 24-bit surface: a
// background whose hue follows the index, and a bar that moves across it.
void drawSyntheticMovieFrame(DrawSurface& frame, int32_t index, int32_t frameCount);

}  // namespace pavalo
