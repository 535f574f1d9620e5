// WebP decoding with libwebp's one-shot decoder into a buffer of ours whose
// size is checked against the surface limit first.
#include "media/webp.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include <webp/decode.h>

#include "common/file_io.h"
#include "media/decoded_rows.h"

namespace pavalo {

bool hasWebpSignature(std::span<const uint8_t> head) {
    return head.size() >= 12 && std::memcmp(head.data(), "RIFF", 4) == 0 && std::memcmp(head.data() + 8, "WEBP", 4) == 0;
}

bool decodeWebpMemory(DrawSurface& surface, std::span<const uint8_t> data, int32_t depth) {
    auto fail = [&](LoadError e) {
        surface.lastLoadError = e;
        return false;
    };
    WebPBitstreamFeatures features;
    if (!hasWebpSignature(data) || WebPGetFeatures(data.data(), data.size(), &features) != VP8_STATUS_OK ||
        features.has_animation || features.width <= 0 || features.height <= 0)
        return fail(kLoadErrorDamaged);
    const size_t stride = size_t(features.width) * 4;
    const size_t bytes = stride * size_t(features.height);
    RgbaRowSink sink;
    if (const LoadError e = sink.begin(surface, features.width, features.height, depth); e != kLoadErrorNone)
        return fail(e);
    if (bytes > surfaceByteLimit()) return fail(kLoadErrorNoSurface);
    std::vector<uint8_t> pixels(bytes);
    if (!WebPDecodeRGBAInto(data.data(), data.size(), pixels.data(), bytes, int(stride)))
        return fail(kLoadErrorDamaged);
    for (int32_t y = 0; y < features.height; ++y) sink.putRow(y, pixels.data() + size_t(y) * stride);
    if (const LoadError e = sink.finish(); e != kLoadErrorNone) return fail(e);
    return true;
}

bool decodeWebpFile(DrawSurface& surface, const std::string& path, int32_t depth) {
    std::vector<uint8_t> bytes;
    std::string error;
    if (!readWholeFile(path, bytes, error)) {
        surface.lastLoadError = kLoadErrorCannotOpen;
        return false;
    }
    return decodeWebpMemory(surface, bytes, depth);
}

bool readWebpSize(const std::string& path, int32_t& width, int32_t& height) {
    // The sizes sit in the first chunk's first bytes whatever its kind.
    uint8_t head[64];
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    const size_t got = std::fread(head, 1, sizeof head, file);
    std::fclose(file);
    std::span<const uint8_t> bytes(head, got);
    int w = 0, h = 0;
    if (!hasWebpSignature(bytes) || !WebPGetInfo(head, got, &w, &h) || w <= 0 || h <= 0) return false;
    width = w;
    height = h;
    return true;
}

}  // namespace pavalo
