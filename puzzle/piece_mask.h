// PieceMask: the run-length shape of a piece's bounding box.
//
// Rows from the top, runs from the left. A run of 1..127 opaque pixels is the
// byte 0x80 + length, of 1..127 transparent pixels the byte length; a run of
// 128 or more is 0x80 (opaque) or 0x00 (transparent) followed by the length
// as u16 little-endian. Every row ends with a zero-length long run whose kind
// byte is the opposite of the row's last run (0x00 after opaque, 0x80 after
// transparent). Runs of a row add up to the box width.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace pavalo {

// Encodes a width x height box in two passes (count, then fill exactly).
// `opaque(x, y)` says whether the pixel belongs to the shape.
template <class IsOpaque>
std::vector<uint8_t> encodePieceMask(int width, int height, IsOpaque&& opaque);

// Encodes from an 8-bit pixel buffer: opaque where the pixel equals `value`.
std::vector<uint8_t> encodePieceMaskFromPixels(const uint8_t* pixels, int pitch, int width,
                                               int height, uint8_t value);
// The same from 16-bit pixels (cell numbers of a cut template); `pitch` in pixels.
std::vector<uint8_t> encodePieceMaskFromPixels(const uint16_t* pixels, int pitch, int width,
                                               int height, uint16_t value);

// Checks that a mask holds exactly `height` well-formed rows whose runs add up
// to `width`, with no bytes left over. Masks from files are checked with this
// before anything walks them.
bool pieceMaskIsValid(std::span<const uint8_t> mask, int width, int height);

// Calls run(x, y, length, opaque) for every run, row by row. The mask must be
// valid for the box.
template <class RunFn>
void forEachMaskRun(std::span<const uint8_t> mask, RunFn&& run);

// Number of opaque pixels.
int64_t countOpaquePixels(std::span<const uint8_t> mask);

// Unpacks a valid mask into width x height bytes: `on` for opaque, 0 elsewhere.
std::vector<uint8_t> decodePieceMask(std::span<const uint8_t> mask, int width, int height,
                                     uint8_t on = 255);

// Whether drawn-box point (px, py) of a piece shown at `rotation` quarter
// turns clockwise is opaque. (px, py) is relative to the drawn box, which is
// height x width at odd rotations.
bool maskCoversPoint(std::span<const uint8_t> mask, int width, int height, int rotation, int px,
                     int py);

// ---- implementation of the templates ----

namespace mask_detail {
inline size_t runBytes(int length) { return length < 128 ? 1 : 3; }
inline void putRun(uint8_t*& out, int length, bool opaque) {
    if (length < 128) {
        *out++ = uint8_t((opaque ? 0x80 : 0x00) + length);
    } else {
        *out++ = opaque ? 0x80 : 0x00;
        *out++ = uint8_t(length & 0xff);
        *out++ = uint8_t(length >> 8);
    }
}
}  // namespace mask_detail

template <class IsOpaque>
std::vector<uint8_t> encodePieceMask(int width, int height, IsOpaque&& opaque) {
    // Pass 1: count the bytes.
    size_t size = 0;
    for (int y = 0; y < height; ++y) {
        int x = 0;
        while (x < width) {
            bool kind = opaque(x, y);
            int start = x;
            while (x < width && bool(opaque(x, y)) == kind) ++x;
            size += mask_detail::runBytes(x - start);
        }
        size += 3;
    }
    // Pass 2: fill a buffer of exactly that size.
    std::vector<uint8_t> mask(size);
    uint8_t* out = mask.data();
    for (int y = 0; y < height; ++y) {
        int x = 0;
        bool last = false;
        while (x < width) {
            bool kind = opaque(x, y);
            int start = x;
            while (x < width && bool(opaque(x, y)) == kind) ++x;
            mask_detail::putRun(out, x - start, kind);
            last = kind;
        }
        *out++ = last ? 0x00 : 0x80;
        *out++ = 0;
        *out++ = 0;
    }
    return mask;
}

// Walks the runs until `run` returns false; returns whether it went to the end.
template <class RunFn>
bool walkMaskRuns(std::span<const uint8_t> mask, RunFn&& run) {
    const uint8_t* p = mask.data();
    const uint8_t* end = p + mask.size();
    int y = 0;
    int x = 0;
    while (p < end) {
        uint8_t code = *p++;
        int length = code & 0x7f;
        if (length == 0) {
            length = p[0] | p[1] << 8;
            p += 2;
            if (length == 0) {
                ++y;
                x = 0;
                continue;
            }
        }
        if (!run(x, y, length, (code & 0x80) != 0)) return false;
        x += length;
    }
    return true;
}

template <class RunFn>
void forEachMaskRun(std::span<const uint8_t> mask, RunFn&& run) {
    walkMaskRuns(mask, [&](int x, int y, int length, bool opaque) {
        run(x, y, length, opaque);
        return true;
    });
}

}  // namespace pavalo
