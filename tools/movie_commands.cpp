// pavalo-tool movie: describe a movie, and write its Nth frame as the game
// shows it (counting on across the loop) into a BMP.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "media/bmp.h"
#include "media/movie_player.h"
#include "tools/tool_commands.h"

namespace pavalo::tool {
namespace {

int usage(const std::string& message) {
    std::fprintf(stderr, "pavalo-tool movie: %s\n", message.c_str());
    return 2;
}

int failure(const std::string& message) {
    std::fprintf(stderr, "pavalo-tool movie: %s\n", message.c_str());
    return 1;
}

int info(const Args& args) {
    if (args.size() != 1) return usage("usage: movie info FILE");
    MovieDecoder decoder;
    const MovieError error = decoder.open(args[0], 24);
    if (error != MovieError::None) return failure(args[0] + ": " + movieErrorText(error));
    const MovieInfo& i = decoder.info();
    std::printf("size %dx%d\nframe rate %.3f\nduration %.3f\ncontainer %s\nvideo codec %s\nsound %s\n", i.width,
                i.height, i.framesPerSecond, i.durationSeconds, i.container.c_str(), i.videoCodec.c_str(),
                i.hasSound ? i.audioCodec.c_str() : "none");
    return 0;
}

int frame(const Args& args) {
    std::vector<std::string> positional;
    int32_t depth = 24;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--depth" && i + 1 < args.size()) {
            depth = std::atoi(args[++i].c_str());
            if (depth == 8) return failure("movies are true colour: an 8-bit display refuses them");
            if (depth != 16 && depth != 24) return usage("--depth takes 16 or 24");
        } else {
            positional.push_back(args[i]);
        }
    }
    if (positional.size() != 3) return usage("usage: movie frame FILE N OUT.bmp [--depth 16|24]");
    char* end = nullptr;
    const long long n = std::strtoll(positional[1].c_str(), &end, 10);
    if (!end || *end || n < 0 || n > 10000000) return usage("N is a frame number from 0");
    MovieDecoder decoder;
    const MovieError error = decoder.open(positional[0], depth);
    if (error != MovieError::None) return failure(positional[0] + ": " + movieErrorText(error));
    DrawSurface shown;
    int64_t time = 0;
    for (long long i = 0; i <= n; ++i)
        if (!decoder.next(shown, time)) {
            if (!shown.hasPixels()) return failure(positional[0] + ": no frame could be decoded");
            break;  // the movie ended on its last good frame, which stays
        }
    // Written at 24 bits: a 16-bit frame goes through the surfaces' own copy.
    DrawSurface out;
    if (!out.create(shown.width(), shown.height(), 24) || !out.copyBitmap(shown, 0, 0))
        return failure("out of memory");
    if (!saveBmp(out, positional[2])) return failure("cannot write " + positional[2]);
    std::printf("frame %lld at %.3f s\n", n, double(time) / 1e6);
    return 0;
}

}  // namespace

int movieCommand(const Args& args) {
    if (args.empty()) return usage("usage: movie info FILE | frame FILE N OUT.bmp [--depth 16|24]");
    const Args rest(args.begin() + 1, args.end());
    if (args[0] == "info") return info(rest);
    if (args[0] == "frame") return frame(rest);
    return usage("unknown movie command " + args[0]);
}

}  // namespace pavalo::tool
