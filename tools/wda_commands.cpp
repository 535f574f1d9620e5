// pavalo-tool wda: describe a WDA animation, draw its frames as a player
// would into a BMP, and encode 8-bit BMP frames as a WDA animation.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/file_io.h"
#include "media/bmp.h"
#include "media/wda.h"
#include "tools/tool_commands.h"
#include "media/wda_encoder.h"

namespace pavalo::tool {
namespace {

int usage(const std::string& message) {
    std::fprintf(stderr, "pavalo-tool wda: %s\n", message.c_str());
    return 2;
}

int failure(const std::string& message) {
    std::fprintf(stderr, "pavalo-tool wda: %s\n", message.c_str());
    return 1;
}

// An animation from a file, or an embedded resource named "resource:ID".
bool loadAnimation(WdaAnimation& a, const std::string& name, std::string& error) {
    if (name.rfind("resource:", 0) == 0) {
        if (a.loadResource(uint32_t(std::strtoul(name.c_str() + 9, nullptr, 10))) == 1) return true;
        error = "no WDA resource " + name.substr(9);
        return false;
    }
    std::vector<uint8_t> bytes;
    if (!readWholeFile(name, bytes, error)) return false;
    if (!a.loadBytes(bytes, &error)) {
        error = name + ": " + error;
        return false;
    }
    return true;
}

int info(const Args& args) {
    if (args.size() != 1) return usage("usage: wda info FILE.wda|resource:ID");
    WdaAnimation a;
    std::string error;
    if (!loadAnimation(a, args[0], error)) return failure(error);
    const std::span<const uint8_t> d = a.data();
    const uint32_t dataSize = loadU32(d.data() + 8), largest = loadU32(d.data() + 12);
    const uint64_t total = uint64_t(dataSize) + 4 * uint64_t(a.frameCount() - 1);
    std::printf("kind %d\nsize %dx%d\nframes %d\npixel format %d\n", a.kind(), a.width(), a.height(), a.frameCount(),
                a.originalPixelFormat());
    std::printf("data size %u (total %llu, %s the %zu bytes read)\nlargest frame %u\n", dataSize,
                static_cast<unsigned long long>(total), total == d.size() ? "equals" : "differs from", d.size(),
                largest);
    int damaged = 0;
    for (int32_t i = 0; i < a.frameCount(); ++i) {
        const WdaFrameSize s = a.frameSize(i);
        const uint32_t offset = loadU32(d.data() + kWdaFrameTableOffset + 4 * size_t(i));
        if (s.width == 0 && s.rows == 0) {
            ++damaged;
            std::printf("frame %d: offset %u: missing or damaged\n", i, offset);
        } else {
            std::printf("frame %d: offset %u, %d x %d, %u bytes\n", i, offset, s.width, s.rows,
                        loadU32(d.data() + offset));
        }
    }
    if (damaged) std::printf("%d frame(s) missing or damaged\n", damaged);
    return damaged ? 1 : 0;
}

int frame(const Args& args) {
    std::vector<std::string> positional;
    int32_t depth = 8;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--depth" && i + 1 < args.size()) {
            depth = std::atoi(args[++i].c_str());
            if (depth != 8 && depth != 16 && depth != 24) return usage("--depth takes 8, 16 or 24");
        } else {
            positional.push_back(args[i]);
        }
    }
    if (positional.size() != 3) return usage("usage: wda frame FILE.wda|resource:ID N OUT.bmp [--depth 8|16|24]");
    WdaAnimation a;
    std::string error;
    if (!loadAnimation(a, positional[0], error)) return failure(error);
    const int32_t last = std::atoi(positional[1].c_str());
    if (last < 0 || last >= a.frameCount())
        return usage("frame " + positional[1] + " is not one of 0.." + std::to_string(a.frameCount() - 1));
    DrawSurface s;
    if (a.width() < 1 || a.height() < 1 || !s.create(a.width(), a.height(), depth))
        return failure("no surface of " + std::to_string(a.width()) + "x" + std::to_string(a.height()));
    a.paletteToSurface(s);
    // Frames only repaint what changed: every frame up to N is drawn in order.
    for (int32_t i = 0; i <= last; ++i)
        if (!a.drawFrame(s, i, 0, 0)) std::fprintf(stderr, "pavalo-tool wda: frame %d could not be drawn\n", i);
    if (!saveBmp(s, positional[2])) return failure("cannot write " + positional[2]);
    return 0;
}

int encode(const Args& args) {
    if (args.size() < 2) return usage("usage: wda encode OUT.wda FRAME.bmp...");
    std::vector<DrawSurface> frames(args.size() - 1);
    PaletteTable palette{};
    for (size_t i = 1; i < args.size(); ++i) {
        DrawSurface& f = frames[i - 1];
        if (!loadBmpFile(f, args[i])) return failure(args[i] + ": not a BMP picture");
        if (f.depth() != 8) return failure(args[i] + ": frames must be 8-bit pictures");
        if (f.width() != frames[0].width() || f.height() != frames[0].height())
            return failure(args[i] + ": every frame must have the first frame's size");
        PaletteTable p;
        f.getPaletteEntries(p);
        if (i == 1) palette = p;
        for (int c = 0; c < 256; ++c)
            if (p[size_t(c)].red != palette[size_t(c)].red || p[size_t(c)].green != palette[size_t(c)].green ||
                p[size_t(c)].blue != palette[size_t(c)].blue)
                return failure(args[i] + ": every frame must have the first frame's palette");
    }
    std::vector<uint8_t> triples;
    for (const PaletteEntry& e : palette) triples.insert(triples.end(), {e.red, e.green, e.blue});
    const int32_t w = frames[0].width(), h = frames[0].height();
    if (w > 0xFFFF || h > 0xFFFF) return failure("frames larger than 65535 pixels cannot be stored");
    WdaEncoder enc(w, h, triples);
    std::vector<std::vector<uint8_t>> pixels;
    for (DrawSurface& f : frames) {
        std::vector<uint8_t> p(size_t(w) * size_t(h));
        for (int32_t y = 0; y < h; ++y) std::memcpy(p.data() + size_t(y) * size_t(w), f.row(y), size_t(w));
        std::vector<std::span<const uint8_t>> before;
        if (!pixels.empty()) before.push_back(pixels.back());
        enc.addFrame(p, before);
        pixels.push_back(std::move(p));
    }
    const std::vector<uint8_t> bytes = enc.finish();
    std::string error;
    if (!writeWdaFile(args[0], bytes, error)) return failure("cannot write " + args[0] + ": " + error);
    std::printf("%s: %zu frames, %zu bytes\n", args[0].c_str(), frames.size(), bytes.size());
    return 0;
}

}  // namespace

int wdaCommand(const Args& args) {
    if (args.empty()) return usage("usage: wda info|frame|encode ...");
    const Args rest(args.begin() + 1, args.end());
    if (args[0] == "info") return info(rest);
    if (args[0] == "frame") return frame(rest);
    if (args[0] == "encode") return encode(rest);
    return usage("unknown wda command '" + args[0] + "'");
}

}  // namespace pavalo::tool
