// PNG decoding with libpng: errors end the decode through libpng's long jump
// instead of ending the program, and the data always comes from memory, with
// every read checked against what is left.
#include "media/png.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include <png.h>

#include "common/file_io.h"
#include "media/decoded_rows.h"

namespace pavalo {
namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// Longest side accepted; the surface's byte limit bounds the area.
constexpr uint32_t kMaxSide = 65535;

struct MemorySource {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t offset = 0;
};

void readFromMemory(png_structp png, png_bytep out, size_t length) {
    auto* source = static_cast<MemorySource*>(png_get_io_ptr(png));
    if (length > source->size - source->offset) png_error(png, "the file ends too soon");
    std::memcpy(out, source->data + source->offset, length);
    source->offset += length;
}

[[noreturn]] void onPngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
// Warnings are about ancillary chunks (a bad colour profile, a damaged text
// chunk), which libpng skips; the picture itself is whole.
void onPngWarning(png_structp, png_const_charp) {}

// The read structures; destroying them releases everything libpng
// allocated. Lives outside the function that calls setjmp.
struct PngDecoder {
    png_structp png = nullptr;
    png_infop info = nullptr;

    PngDecoder() {
        png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, onPngError, onPngWarning);
        if (png) info = png_create_info_struct(png);
    }
    PngDecoder(const PngDecoder&) = delete;
    PngDecoder& operator=(const PngDecoder&) = delete;
    ~PngDecoder() { png_destroy_read_struct(png ? &png : nullptr, info ? &info : nullptr, nullptr); }
};

// Everything that may end in a long jump. Objects with destructors live in
// the caller and are reached through references.
LoadError runDecode(PngDecoder& d, MemorySource& source, DrawSurface& surface, int32_t depth,
                    RgbaRowSink& sink, std::vector<uint8_t>& pixels, std::vector<png_bytep>& rows) {
    if (setjmp(png_jmpbuf(d.png))) return kLoadErrorDamaged;
    png_set_user_limits(d.png, kMaxSide, kMaxSide);
    png_set_read_fn(d.png, &source, readFromMemory);
    png_read_info(d.png, d.info);

    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colourType = 0, interlace = 0;
    png_get_IHDR(d.png, d.info, &width, &height, &bitDepth, &colourType, &interlace, nullptr, nullptr);
    // Every form becomes 8-bit red, green, blue, alpha.
    if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(d.png);
    if (colourType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(d.png);
    if (png_get_valid(d.png, d.info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(d.png);
    if (bitDepth == 16) png_set_scale_16(d.png);
    if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(d.png);
    png_set_filler(d.png, 0xFF, PNG_FILLER_AFTER);
    const int passes = png_set_interlace_handling(d.png);
    png_read_update_info(d.png, d.info);
    if (png_get_rowbytes(d.png, d.info) != size_t(width) * 4) return kLoadErrorDamaged;

    if (const LoadError e = sink.begin(surface, int32_t(width), int32_t(height), depth); e != kLoadErrorNone)
        return e;
    if (passes == 1) {
        pixels.resize(size_t(width) * 4);
        for (png_uint_32 y = 0; y < height; ++y) {
            png_read_row(d.png, pixels.data(), nullptr);
            sink.putRow(int32_t(y), pixels.data());
        }
    } else {
        // An interlaced picture is whole only after the last pass.
        const size_t bytes = size_t(width) * 4 * height;
        if (bytes > surfaceByteLimit()) return kLoadErrorNoSurface;
        pixels.resize(bytes);
        rows.resize(height);
        for (png_uint_32 y = 0; y < height; ++y) rows[y] = pixels.data() + size_t(y) * width * 4;
        png_read_image(d.png, rows.data());
        for (png_uint_32 y = 0; y < height; ++y) sink.putRow(int32_t(y), rows[y]);
    }
    // The chunks after the image, up to the end chunk, must be there too.
    png_read_end(d.png, nullptr);
    return sink.finish();
}

}  // namespace

bool hasPngSignature(std::span<const uint8_t> head) {
    return head.size() >= sizeof kSignature && std::memcmp(head.data(), kSignature, sizeof kSignature) == 0;
}

bool decodePngMemory(DrawSurface& surface, std::span<const uint8_t> data, int32_t depth) {
    LoadError e = kLoadErrorDamaged;
    if (hasPngSignature(data)) {
        PngDecoder decoder;
        if (!decoder.info) {
            e = kLoadErrorNoSurface;
        } else {
            MemorySource source{data.data(), data.size(), 0};
            RgbaRowSink sink;
            std::vector<uint8_t> pixels;
            std::vector<png_bytep> rows;
            e = runDecode(decoder, source, surface, depth, sink, pixels, rows);
        }
    }
    if (e == kLoadErrorNone) return true;
    surface.lastLoadError = e;
    return false;
}

bool decodePngFile(DrawSurface& surface, const std::string& path, int32_t depth) {
    std::vector<uint8_t> bytes;
    std::string error;
    if (!readWholeFile(path, bytes, error)) {
        surface.lastLoadError = kLoadErrorCannotOpen;
        return false;
    }
    return decodePngMemory(surface, bytes, depth);
}

bool readPngSize(const std::string& path, int32_t& width, int32_t& height) {
    // Signature, then the header chunk: length 13, "IHDR", width, height.
    uint8_t head[24];
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    const bool whole = std::fread(head, 1, sizeof head, file) == sizeof head;
    std::fclose(file);
    if (!whole || !hasPngSignature(head)) return false;
    auto be32 = [](const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; };
    if (be32(head + 8) != 13 || std::memcmp(head + 12, "IHDR", 4) != 0) return false;
    const uint32_t w = be32(head + 16), h = be32(head + 20);
    if (w == 0 || h == 0 || w > kMaxSide || h > kMaxSide) return false;
    width = int32_t(w);
    height = int32_t(h);
    return true;
}

}  // namespace pavalo
