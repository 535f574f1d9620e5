// libFuzzer target for the movie reader. Whatever the bytes, opening either
// fails with an error or gives a movie whose every frame has the movie's
// size and depth, and decoding (looping included) stops within a bounded
// number of frames or goes on giving frames, its sound track decoding
// beside it; it never hangs or overruns.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "media/movie_player.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace pavalo;
    // FFmpeg reads files by name: one scratch file per process.
    static const std::string path = "/tmp/pavalo-fuzz-movie-" + std::to_string(getpid()) + ".mpg";
    setSurfaceByteLimit(size_t(4) << 20);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    for (int32_t depth : {24, 16}) {
        MovieDecoder decoder;
        const MovieError error = decoder.open(path, depth);
        if (error != MovieError::None) {
            check(!decoder.isOpen());
            check(movieErrorText(error)[0] != 0);
            continue;
        }
        const MovieInfo& info = decoder.info();
        check(info.width >= 1 && info.height >= 1 && info.width <= 8192 && info.height <= 8192);
        // At one depth the sound track is decoded beside the pictures.
        MovieSoundQueue sound(44100, 2);
        if (depth == 24) decoder.enableSound(&sound);
        DrawSurface frame;
        int64_t t = 0, last = -1;
        for (int32_t i = 0; i < 24 && decoder.next(frame, t); ++i) {
            check(frame.width() == info.width && frame.height() == info.height);
            check(frame.depth() == depth);
            check(t > last);  // the clock only goes forward, across loops too
            last = t;
        }
    }
    std::remove(path.c_str());
    return 0;
}
