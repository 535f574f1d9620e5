// Run-length piece masks: fast encoder from pixels, validation, decoding and
// the point test used for picking pieces.
#include "puzzle/piece_mask.h"

#include <cstring>

namespace pavalo {
namespace {

// Length of the run starting at row[x] whose pixels are (== value) == kind.
inline int runLength(const uint8_t* row, int x, int width, uint8_t value, bool kind) {
    int start = x;
    if (kind) {
        while (x < width && row[x] == value) ++x;
    } else {
        const void* hit = std::memchr(row + x, value, size_t(width - x));
        x = hit ? int(static_cast<const uint8_t*>(hit) - row) : width;
    }
    return x - start;
}

inline int runLength(const uint16_t* row, int x, int width, uint16_t value, bool kind) {
    int start = x;
    while (x < width && (row[x] == value) == kind) ++x;
    return x - start;
}

template <class Pixel>
std::vector<uint8_t> encodeFromPixels(const Pixel* pixels, int pitch, int width, int height,
                                      Pixel value) {
    // The runs are found once; the byte count and the fill both read them.
    // Each run is stored as its length, negated for a transparent run; 0
    // marks a row end.
    thread_local std::vector<int32_t> runs;
    runs.clear();
    size_t size = 0;
    for (int y = 0; y < height; ++y) {
        const Pixel* row = pixels + ptrdiff_t(y) * pitch;
        int x = 0;
        while (x < width) {
            bool kind = row[x] == value;
            int n = runLength(row, x, width, value, kind);
            runs.push_back(kind ? n : -n);
            size += mask_detail::runBytes(n);
            x += n;
        }
        runs.push_back(0);
        size += 3;
    }
    std::vector<uint8_t> mask(size);
    uint8_t* out = mask.data();
    bool last = false;
    for (int32_t run : runs) {
        if (run == 0) {
            *out++ = last ? 0x00 : 0x80;
            *out++ = 0;
            *out++ = 0;
            continue;
        }
        last = run > 0;
        mask_detail::putRun(out, last ? run : -run, last);
    }
    return mask;
}

}  // namespace

std::vector<uint8_t> encodePieceMaskFromPixels(const uint8_t* pixels, int pitch, int width,
                                               int height, uint8_t value) {
    return encodeFromPixels(pixels, pitch, width, height, value);
}

std::vector<uint8_t> encodePieceMaskFromPixels(const uint16_t* pixels, int pitch, int width,
                                               int height, uint16_t value) {
    return encodeFromPixels(pixels, pitch, width, height, value);
}

bool pieceMaskIsValid(std::span<const uint8_t> mask, int width, int height) {
    if (width <= 0 || height <= 0) return false;
    size_t i = 0;
    for (int y = 0; y < height; ++y) {
        int64_t sum = 0;
        for (;;) {
            if (i >= mask.size()) return false;
            uint8_t code = mask[i++];
            int length = code & 0x7f;
            if (length == 0) {
                if (mask.size() - i < 2) return false;
                length = mask[i] | mask[i + 1] << 8;
                i += 2;
                if (length == 0) break;
            }
            sum += length;
            if (sum > width) return false;
        }
        if (sum != width) return false;
    }
    return i == mask.size();
}

int64_t countOpaquePixels(std::span<const uint8_t> mask) {
    int64_t count = 0;
    forEachMaskRun(mask, [&](int, int, int length, bool opaque) {
        if (opaque) count += length;
    });
    return count;
}

std::vector<uint8_t> decodePieceMask(std::span<const uint8_t> mask, int width, int height,
                                     uint8_t on) {
    std::vector<uint8_t> pixels(size_t(width) * size_t(height), 0);
    forEachMaskRun(mask, [&](int x, int y, int length, bool opaque) {
        if (opaque && y < height && x + length <= width)
            std::fill_n(pixels.begin() + ptrdiff_t(y) * width + x, length, on);
    });
    return pixels;
}

bool maskCoversPoint(std::span<const uint8_t> mask, int width, int height, int rotation, int px,
                     int py) {
    int c, r;
    switch (rotation & 3) {
        case 0: c = px; r = py; break;
        case 1: c = py; r = height - 1 - px; break;
        case 2: c = width - 1 - px; r = height - 1 - py; break;
        default: c = width - 1 - py; r = px; break;
    }
    if (c < 0 || r < 0 || c >= width || r >= height) return false;
    bool covered = false;
    walkMaskRuns(mask, [&](int x, int y, int length, bool opaque) {
        if (y < r || (y == r && c >= x + length)) return true;
        covered = y == r && opaque;
        return false;
    });
    return covered;
}

}  // namespace pavalo
