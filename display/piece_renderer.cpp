// Piece drawing from run-length masks, shaded outline colours and the list
// walks of the play area.
#include "display/piece_renderer.h"

#include <algorithm>
#include <cstring>

#include "common/named_mutex.h"
#include "display/reduced_pieces.h"
#include "puzzle/piece_mask.h"

namespace pavalo {
namespace {

// The part of the unrotated mask that lands inside the drawing bounds:
// columns left..right and rows top..bottom, inclusive.
struct MaskWindow {
    int32_t left = 0, top = 0, right = -1, bottom = -1;
    bool empty() const { return left > right || top > bottom; }
    bool operator==(const MaskWindow&) const = default;
};

// Shrinks the full mask window by the parts of the drawn box that overhang
// `bounds`. The box is w x h upright and h x w at odd rotations; which side of
// the mask an overhang removes follows the placement rule of each rotation.
// 64-bit arithmetic keeps far-away positions from overflowing.
MaskWindow windowInside(int32_t w, int32_t h, int64_t x, int64_t y, int rotation,
                        const Rect& bounds) {
    const int64_t dw = (rotation & 1) ? h : w, dh = (rotation & 1) ? w : h;
    const int64_t overLeft = std::max<int64_t>(0, bounds.left - x);
    const int64_t overRight = std::max<int64_t>(0, x + dw - bounds.right);
    const int64_t overTop = std::max<int64_t>(0, bounds.top - y);
    const int64_t overBottom = std::max<int64_t>(0, y + dh - bounds.bottom);
    int64_t l, t, r, b;
    switch (rotation) {
        case 0:  // (c, r) -> (x + c, y + r)
            l = overLeft, r = w - 1 - overRight, t = overTop, b = h - 1 - overBottom;
            break;
        case 1:  // (c, r) -> (x + h - 1 - r, y + c): x overhang removes rows
            l = overTop, r = w - 1 - overBottom, t = overRight, b = h - 1 - overLeft;
            break;
        case 2:  // (c, r) -> (x + w - 1 - c, y + h - 1 - r)
            l = overRight, r = w - 1 - overLeft, t = overBottom, b = h - 1 - overTop;
            break;
        default:  // (c, r) -> (x + r, y + w - 1 - c)
            l = overBottom, r = w - 1 - overTop, t = overLeft, b = h - 1 - overRight;
            break;
    }
    MaskWindow win;
    if (l > r || t > b) return win;
    win = {int32_t(l), int32_t(t), int32_t(r), int32_t(b)};
    return win;
}

template <int Bpp>
inline void storePixel(uint8_t* d, uint32_t v) {
    std::memcpy(d, &v, Bpp);  // little-endian: the value's low bytes in order
}

template <int Bpp>
inline void fillSpan(uint8_t* d, int32_t n, uint32_t v) {
    if constexpr (Bpp == 1) {
        std::memset(d, int(v & 0xFF), size_t(n));
    } else if constexpr (Bpp == 3) {
        const uint8_t b0 = uint8_t(v), b1 = uint8_t(v >> 8), b2 = uint8_t(v >> 16);
        for (int32_t i = 0; i < n; ++i, d += 3) {
            d[0] = b0;
            d[1] = b1;
            d[2] = b2;
        }
    } else {
        for (int32_t i = 0; i < n; ++i, d += Bpp) storePixel<Bpp>(d, v);
    }
}

// Darkens n pixels at d, d + step, ... where they lie (see OutlineDarkening).
template <int Bpp>
inline void darkenRun(uint8_t* d, ptrdiff_t step, int32_t n, const OutlineDarkening& how) {
    for (int32_t i = 0; i < n; ++i, d += step) {
        if constexpr (Bpp == 1) {
            *d = how.table[*d];
        } else if constexpr (Bpp == 2) {
            uint16_t v;
            std::memcpy(&v, d, 2);
            v = how.is555 ? uint16_t(((v >> 1) & 0x3DEF) | 0x8000) : uint16_t((v >> 1) & 0x7BEF);
            std::memcpy(d, &v, 2);
        } else {
            // Blue, green, red; the spare byte of 32-bit pixels is kept.
            for (int j = 0; j < 3; ++j) d[j] = uint8_t(d[j] - (d[j] >> 2));
        }
    }
}

// Copies a run's bytes. Runs are a few dozen bytes: fixed-size moves of
// overlapping blocks beat a library call.
inline void copyBytes(uint8_t* d, const uint8_t* s, size_t n) {
    if (n >= 16) {
        size_t i = 0;
        for (; i + 16 < n; i += 16) std::memcpy(d + i, s + i, 16);
        std::memcpy(d + n - 16, s + n - 16, 16);
    } else if (n >= 8) {
        uint64_t a, b;
        std::memcpy(&a, s, 8);
        std::memcpy(&b, s + n - 8, 8);
        std::memcpy(d, &a, 8);
        std::memcpy(d + n - 8, &b, 8);
    } else if (n >= 4) {
        uint32_t a, b;
        std::memcpy(&a, s, 4);
        std::memcpy(&b, s + n - 4, 4);
        std::memcpy(d, &a, 4);
        std::memcpy(d + n - 4, &b, 4);
    } else {
        for (size_t i = 0; i < n; ++i) d[i] = s[i];
    }
}

inline uint64_t load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}
inline uint32_t load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

// Copies n source pixels to d, d - Bpp, d - 2 Bpp, ... (the upside-down
// rotation walks the destination backwards). Eight bytes of pixels at a time
// are turned around in a register; the rest one by one.
template <int Bpp>
inline void copyReversed(uint8_t* d, const uint8_t* s, int32_t n) {
    int32_t i = 0;
    if constexpr (Bpp == 3) {
        // Four pixels p0..p3 from 12 source bytes land as p3 p2 p1 p0 in the
        // 12 bytes that end with p0's destination.
        for (; i + 4 <= n; i += 4, s += 12, d -= 12) {
            const uint64_t a = load64(s);
            const uint64_t b = load32(s + 8);
            const uint64_t p0 = a & 0xFFFFFF, p1 = (a >> 24) & 0xFFFFFF;
            const uint64_t p2 = ((a >> 48) | (b << 16)) & 0xFFFFFF, p3 = b >> 8;
            const uint64_t lo = p3 | p2 << 24 | p1 << 48;
            const uint32_t hi = uint32_t(p1 >> 16 | p0 << 8);
            std::memcpy(d - 9, &lo, 8);
            std::memcpy(d - 1, &hi, 4);
        }
    } else {
        constexpr int32_t kPer = 8 / Bpp;
        for (; i + kPer <= n; i += kPer, s += 8, d -= 8) {
            uint64_t v = load64(s);
            if constexpr (Bpp == 1) {
                v = __builtin_bswap64(v);
            } else if constexpr (Bpp == 2) {
                v = v >> 32 | v << 32;
                v = (v >> 16 & 0x0000FFFF0000FFFFull) | (v & 0x0000FFFF0000FFFFull) << 16;
            } else {
                v = v >> 32 | v << 32;
            }
            std::memcpy(d - (8 - Bpp), &v, 8);
        }
    }
    for (; i < n; ++i, d -= Bpp, s += Bpp) std::memcpy(d, s, Bpp);
}

// Copies n source pixels to d, d + step, d + 2 step, ... (a column of the
// destination at the odd rotations). Source pixels are read four at a time.
template <int Bpp>
inline void copyStrided(uint8_t* d, ptrdiff_t step, const uint8_t* s, int32_t n) {
    int32_t i = 0;
    if constexpr (Bpp == 3) {
        for (; i + 4 <= n; i += 4, s += 12) {
            const uint64_t a = load64(s);
            const uint32_t b = load32(s + 8);
            const uint32_t p0 = uint32_t(a), p1 = uint32_t(a >> 24);
            const uint32_t p2 = uint32_t(a >> 48) | b << 16, p3 = b >> 8;
            std::memcpy(d, &p0, 3);
            d += step;
            std::memcpy(d, &p1, 3);
            d += step;
            std::memcpy(d, &p2, 3);
            d += step;
            std::memcpy(d, &p3, 3);
            d += step;
        }
    }
    for (; i < n; ++i, d += step, s += Bpp) std::memcpy(d, s, Bpp);
}

// Everything one drawPiece call needs, resolved once.
struct DrawJob {
    std::span<const uint8_t> mask;
    MaskWindow win;
    int rotation = 0;
    // Destination of mask pixel (c, r): pixels + base + r * rowStep + c * colStep.
    uint8_t* pixels = nullptr;
    ptrdiff_t base = 0, rowStep = 0, colStep = 0;
    PieceDrawMode mode = PieceDrawMode::Piece;
    uint32_t colour = 0;
    // Picture pixel of mask pixel (c, r): source + r * sourcePitch + c * Bpp
    // (already moved to the piece's home); null: solid colour.
    const uint8_t* source = nullptr;
    ptrdiff_t sourceOrigin = 0, sourcePitch = 0;
    // Shaded outline colours, Bpp bytes each, in mask order, and when the
    // cache carries them the mask positions of those pixels.
    const uint8_t* cache = nullptr;
    size_t cachePixels = 0;
    const uint8_t* points = nullptr;
    // Set for a shaded outline drawn without colours: the target's own
    // pixels under the outline are darkened.
    const OutlineDarkening* darkening = nullptr;
    // The shape's opaque runs from the cache, along rows and (for the odd
    // rotations) down columns (see CacheView); null: walk the mask.
    const uint8_t* runs = nullptr;
    size_t runCount = 0;
};

// A renderCache made by buildOutlineShades is a draw list for one depth:
//   colours     count x Bpp bytes, the shaded outline pixels in mask order;
//   points      count x 4 bytes, each outline pixel's mask column and row;
//   row runs    rowRuns x 6 bytes, each opaque run of the shape mask along
//               a row: column, row and length, rows in order;
//   column runs columnRuns x 6 bytes, the same down the columns: column,
//               first row and length, columns in order;
//   trailer     count, rowRuns, columnRuns and kDrawListMagic.
// All numbers are little-endian, u16 in the lists and u32 in the trailer.
// With it a piece is drawn from one block of memory without walking its
// masks, and at the odd rotations (where mask columns become target rows)
// each target row is written left to right rather than a pixel per row.
constexpr size_t kCacheTrailer = 16;
constexpr size_t kPointBytes = 4, kRunBytes = 6;
constexpr uint32_t kDrawListMagic = 0x334C5744;  // "DWL3"

// The parts of a renderCache for a depth. A cache whose size does not fit
// the draw-list layout for that depth is taken as colours only.
struct CacheView {
    const uint8_t* colours = nullptr;
    size_t count = 0;
    const uint8_t* points = nullptr;  // count points, or null
    const uint8_t* rowRuns = nullptr;  // null without a draw list
    size_t rowRunCount = 0;
    const uint8_t* columnRuns = nullptr;
    size_t columnRunCount = 0;
};

CacheView viewCache(const std::vector<uint8_t>& cache, int bpp) {
    CacheView v;
    v.colours = cache.data();
    if (cache.size() >= kCacheTrailer) {
        uint32_t trailer[4];
        std::memcpy(trailer, cache.data() + cache.size() - kCacheTrailer, kCacheTrailer);
        const uint64_t n = trailer[0], rowRuns = trailer[1], columnRuns = trailer[2];
        if (trailer[3] == kDrawListMagic &&
            n * uint64_t(bpp + kPointBytes) + (rowRuns + columnRuns) * kRunBytes +
                    kCacheTrailer ==
                cache.size()) {
            v.count = size_t(n);
            v.points = cache.data() + v.count * size_t(bpp);
            v.rowRuns = v.points + v.count * kPointBytes;
            v.rowRunCount = size_t(rowRuns);
            v.columnRuns = v.rowRuns + v.rowRunCount * kRunBytes;
            v.columnRunCount = size_t(columnRuns);
            return v;
        }
    }
    v.count = cache.size() / size_t(bpp);
    return v;
}

inline int32_t load16(const uint8_t* p) { return int32_t(p[0]) | int32_t(p[1]) << 8; }

// Writes n pixels of one run whose first pixel lands at `d`, in the run's
// direction for the rotation: forward along a row at 0, backward at 2, down
// (1) or up (3) a column, `step` bytes apart. `s` are the run's source
// pixels, or null for the solid colour.
template <int Bpp, int Rotation>
[[gnu::always_inline]] inline void writeRun(uint8_t* d, ptrdiff_t step, const uint8_t* s, int32_t n,
                                            uint32_t colour) {
    if constexpr (Rotation == 0) {
        if (!s) {
            fillSpan<Bpp>(d, n, colour);
        } else {
            copyBytes(d, s, size_t(n) * Bpp);
        }
    } else if constexpr (Rotation == 2) {
        if (s)
            copyReversed<Bpp>(d, s, n);
        else
            fillSpan<Bpp>(d - ptrdiff_t(n - 1) * Bpp, n, colour);
    } else {
        if (s) {
            copyStrided<Bpp>(d, step, s, n);
        } else {
            for (int32_t i = 0; i < n; ++i, d += step) storePixel<Bpp>(d, colour);
        }
    }
}

// Byte distance between the destinations of mask pixels (c, r) and (c + 1, r).
template <int Bpp, int Rotation>
[[gnu::always_inline]] inline ptrdiff_t columnStep(const DrawJob& job) {
    if constexpr (Rotation == 0) return Bpp;
    if constexpr (Rotation == 2) return -Bpp;
    return job.colStep;
}

// An outline from the cache's point list: one pixel per point inside the
// window, no mask to walk. Outline runs are a pixel or two long, so walking
// the mask would cost a run's worth of work for every pixel. Shaded: each
// point's own colour; otherwise the solid colour.
template <int Bpp, int Rotation, bool Shaded>
void drawPoints(const DrawJob& job) {
    const ptrdiff_t step = columnStep<Bpp, Rotation>(job), rowStep = job.rowStep;
    uint8_t* const origin = job.pixels + job.base;
    const MaskWindow win = job.win;
    const uint32_t spanC = uint32_t(win.right - win.left), spanR = uint32_t(win.bottom - win.top);
    const uint8_t* colour = job.cache;
    const uint8_t* point = job.points;
    const uint32_t solid = job.colour;
    const size_t n = job.cachePixels;
    for (size_t k = 0; k < n; ++k, colour += Bpp, point += kPointBytes) {
        const int32_t c = load16(point), r = load16(point + 2);
        // Outside the window, or not this piece's outline at all: skipped.
        if (uint32_t(c - win.left) > spanC || uint32_t(r - win.top) > spanR) continue;
        uint8_t* d = origin + (ptrdiff_t(r) * rowStep + ptrdiff_t(c) * step);
        if constexpr (Shaded)
            std::memcpy(d, colour, Bpp);
        else
            storePixel<Bpp>(d, solid);
    }
}

// Copies n source pixels, `sourceStep` bytes apart, to d, d + Bpp, ...
// (a mask column drawn along a target row at the odd rotations).
template <int Bpp>
inline void gatherSpan(uint8_t* d, const uint8_t* s, ptrdiff_t sourceStep, int32_t n) {
    int32_t i = 0;
    if constexpr (Bpp == 3) {
        // Four bytes per pixel, each store's spare byte overwritten by the
        // next pixel; the last pixel gets exactly three.
        // (Surfaces keep four readable bytes after their last pixel.)
        for (; i + 1 < n; ++i, d += 3, s += sourceStep) std::memcpy(d, s, 4);
    }
    for (; i < n; ++i, d += Bpp, s += sourceStep) std::memcpy(d, s, Bpp);
}

// The shape from the cache's run lists, each run cut to the window. Upright
// and upside down the row runs are drawn along target rows; at the odd
// rotations the column runs are, so every run is one left-to-right span.
template <int Bpp, int Rotation>
void drawRuns(const DrawJob& job) {
    const ptrdiff_t step = columnStep<Bpp, Rotation>(job), rowStep = job.rowStep;
    uint8_t* const origin = job.pixels + job.base;
    const uint8_t* const source = job.source ? job.source + job.sourceOrigin : nullptr;
    const ptrdiff_t sourcePitch = job.sourcePitch;
    const MaskWindow win = job.win;
    const uint32_t colour = job.colour;
    const uint8_t* run = job.runs;
    for (size_t k = 0; k < job.runCount; ++k, run += kRunBytes) {
        if constexpr (Rotation == 0 || Rotation == 2) {
            const int32_t r = load16(run + 2);
            if (r < win.top) continue;
            if (r > win.bottom) break;  // rows come in order
            const int32_t c = load16(run);
            const int32_t a = std::max(c, win.left);
            const int32_t b = std::min(c + load16(run + 4) - 1, win.right);
            if (a > b) continue;
            const uint8_t* s =
                source ? source + (ptrdiff_t(r) * sourcePitch + ptrdiff_t(a) * Bpp) : nullptr;
            writeRun<Bpp, Rotation>(origin + (ptrdiff_t(r) * rowStep + ptrdiff_t(a) * step), step,
                                    s, b - a + 1, colour);
        } else {
            const int32_t c = load16(run);
            if (c < win.left) continue;
            if (c > win.right) break;  // columns come in order
            const int32_t r0 = load16(run + 2);
            const int32_t a = std::max(r0, win.top);
            const int32_t b = std::min(r0 + load16(run + 4) - 1, win.bottom);
            if (a > b) continue;
            // Turned clockwise, mask row b lands leftmost; turned the other
            // way, row a does.
            const int32_t first = Rotation == 1 ? b : a;
            uint8_t* d = origin + (ptrdiff_t(first) * rowStep + ptrdiff_t(c) * step);
            if (source) {
                const ptrdiff_t sourceStep = Rotation == 1 ? -sourcePitch : sourcePitch;
                gatherSpan<Bpp>(d, source + (ptrdiff_t(first) * sourcePitch + ptrdiff_t(c) * Bpp),
                                sourceStep, b - a + 1);
            } else {
                fillSpan<Bpp>(d, b - a + 1, colour);
            }
        }
    }
}

// The whole mask lands inside the bounds: every opaque run is drawn whole.
template <int Bpp, int Rotation>
void drawWhole(const DrawJob& job) {
    const ptrdiff_t step = columnStep<Bpp, Rotation>(job);
    const bool darken = job.mode == PieceDrawMode::ShadedOutline && job.darkening;
    const bool shaded = job.mode == PieceDrawMode::ShadedOutline && !darken;
    size_t cacheIndex = 0;
    bool cacheShort = false;
    int32_t row = -1;
    uint8_t* dRow = nullptr;        // destination of mask pixel (0, row)
    const uint8_t* sRow = nullptr;  // picture pixel of mask pixel (0, row)
    forEachMaskRun(job.mask, [&](int32_t c, int32_t r, int32_t length, bool opaque) {
        if (!opaque || cacheShort) return;
        if (r != row) {
            row = r;
            dRow = job.pixels + (job.base + ptrdiff_t(r) * job.rowStep);
            if (job.source) sRow = job.source + (job.sourceOrigin + ptrdiff_t(r) * job.sourcePitch);
        }
        if (darken) {
            darkenRun<Bpp>(dRow + c * step, step, length, *job.darkening);
            return;
        }
        const uint8_t* s = nullptr;
        if (shaded) {
            // A cache shorter than the outline (made for another outline or
            // depth) is drawn as far as it goes.
            if (cacheIndex + size_t(length) > job.cachePixels) {
                cacheShort = true;
                length = int32_t(job.cachePixels - cacheIndex);
                if (length == 0) return;
            }
            s = job.cache + cacheIndex * Bpp;
            cacheIndex += size_t(length);
        } else if (sRow) {
            s = sRow + ptrdiff_t(c) * Bpp;
        }
        writeRun<Bpp, Rotation>(dRow + c * step, step, s, length, job.colour);
    });
}

// Part of the mask lies outside: rows above the window are skipped (the
// shaded colours still advance past their opaque pixels), runs are cut to the
// window's columns, rows below it are ignored.
template <int Bpp, int Rotation>
void drawClipped(const DrawJob& job) {
    const ptrdiff_t step = columnStep<Bpp, Rotation>(job);
    const MaskWindow win = job.win;
    const bool darken = job.mode == PieceDrawMode::ShadedOutline && job.darkening;
    const bool shaded = job.mode == PieceDrawMode::ShadedOutline && !darken;
    size_t cacheIndex = 0;
    bool cacheShort = false;
    forEachMaskRun(job.mask, [&](int32_t c, int32_t r, int32_t length, bool opaque) {
        if (!opaque || cacheShort || r > win.bottom) return;
        const size_t runCache = cacheIndex;
        if (shaded) cacheIndex += size_t(length);
        if (r < win.top) return;
        const int32_t a = std::max(c, win.left), b = std::min(c + length - 1, win.right);
        if (a > b) return;
        int32_t n = b - a + 1;
        uint8_t* d = job.pixels + (job.base + ptrdiff_t(r) * job.rowStep + a * step);
        if (darken) {
            darkenRun<Bpp>(d, step, n, *job.darkening);
            return;
        }
        const uint8_t* s = nullptr;
        if (shaded) {
            const size_t first = runCache + size_t(a - c);
            if (first + size_t(n) > job.cachePixels) {
                cacheShort = true;
                if (first >= job.cachePixels) return;
                n = int32_t(job.cachePixels - first);
            }
            s = job.cache + first * Bpp;
        } else if (job.source) {
            s = job.source +
                (job.sourceOrigin + ptrdiff_t(r) * job.sourcePitch + ptrdiff_t(a) * Bpp);
        }
        writeRun<Bpp, Rotation>(d, step, s, n, job.colour);
    });
}

template <int Bpp, int Rotation>
void runJob(const DrawJob& job, bool whole) {
    if (job.mode == PieceDrawMode::Piece && job.runs)
        drawRuns<Bpp, Rotation>(job);
    else if (job.mode == PieceDrawMode::ShadedOutline && job.points)
        drawPoints<Bpp, Rotation, true>(job);
    else if (job.mode == PieceDrawMode::SolidOutline && job.points)
        drawPoints<Bpp, Rotation, false>(job);
    else if (whole)
        drawWhole<Bpp, Rotation>(job);
    else
        drawClipped<Bpp, Rotation>(job);
}

template <int Bpp>
void runJob(const DrawJob& job, bool whole) {
    switch (job.rotation) {
        case 0: runJob<Bpp, 0>(job, whole); break;
        case 1: runJob<Bpp, 1>(job, whole); break;
        case 2: runJob<Bpp, 2>(job, whole); break;
        default: runJob<Bpp, 3>(job, whole); break;
    }
}

Rect targetBounds(const DrawSurface& target, const Rect* clip) {
    Rect b{0, 0, target.width(), target.height()};
    if (clip) {
        b = {std::max(b.left, clip->left), std::max(b.top, clip->top),
             std::min(b.right, clip->right), std::min(b.bottom, clip->bottom)};
    }
    return b;
}

// Asks the caches for the pixel rows a piece will touch: its drawn box in
// the target and its home box in the picture. Pieces lie scattered over
// buffers larger than the inner caches, so each one would otherwise start
// with a row of cache misses that its drawing waits for one by one.
template <int ForWrite>
void prefetchRows(const DrawSurface& s, Rect r) {
    constexpr int32_t kLine = 64;
    r = {std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, s.width()),
         std::min(r.bottom, s.height())};
    if (r.empty()) return;
    const int32_t bpp = s.depth() / 8;
    const uint8_t* base = s.pixels();
    for (int32_t y = r.top; y < r.bottom; ++y) {
        const uint8_t* row = base + ptrdiff_t(y) * s.pitch();
        for (int32_t x = r.left * bpp; x < r.right * bpp; x += kLine)
            __builtin_prefetch(row + x, ForWrite, 2);
        __builtin_prefetch(row + r.right * bpp - 1, ForWrite, 2);
    }
}

void prefetchBytes(const std::vector<uint8_t>& v) {
    if (v.empty()) return;
    __builtin_prefetch(v.data() + v.size() - 1, 0);
    for (size_t i = 0; i < v.size(); i += 64) __builtin_prefetch(v.data() + i, 0);
}

// The records drawOne reads for a piece: its Piece (which spans cache
// lines) and its group membership.
void prefetchRecord(const PuzzleModel& model, int32_t m) {
    const Piece* p = &model.piece(m);
    __builtin_prefetch(p);
    __builtin_prefetch(reinterpret_cast<const char*>(p + 1) - 1);
    __builtin_prefetch(&model.member(m));
}

void prefetchPiece(const DrawSurface& target, const DrawSurface* picture, const Piece& p,
                   const Rect& clip) {
    // The piece's own tables first (drawing starts by reading the draw
    // list's trailer): its draw list, or the masks without one.
    if (!p.renderCache.empty()) {
        prefetchBytes(p.renderCache);
    } else {
        prefetchBytes(p.mask);
        prefetchBytes(p.outline);
    }
    const Rect box = p.box();
    prefetchRows<1>(target, {std::max(box.left, clip.left), std::max(box.top, clip.top),
                             std::min(box.right, clip.right), std::min(box.bottom, clip.bottom)});
    if (picture && picture->depth() == target.depth())
        prefetchRows<0>(*picture, {p.homeX, p.homeY, p.homeX + p.width, p.homeY + p.height});
}

// Where a piece lands on a target: the part of its mask inside the bounds,
// where each mask pixel goes, and its draw list. Found once for a piece and
// used for both its shape and its outline.
struct Placement {
    const Piece* piece = nullptr;
    int rotation = 0;
    int32_t depth = 0;  // the target's
    MaskWindow win;
    bool whole = false;  // the whole mask lies inside
    // Destination of mask pixel (c, r): pixels + base + r * rowStep + c * colStep.
    uint8_t* pixels = nullptr;
    ptrdiff_t base = 0, rowStep = 0, colStep = 0;
    CacheView cache;
};

// False when nothing of the piece lies inside the target (and `clip`).
bool placePiece(DrawSurface& target, const Piece& piece, int32_t x, int32_t y, int32_t rotation,
                const Rect* clip, Placement& at) {
    const int32_t w = piece.width, h = piece.height;
    if (w <= 0 || h <= 0 || !target.hasPixels()) return false;
    const int bpp = target.depth() / 8;
    if (bpp < 1 || bpp > 4) return false;
    rotation &= 3;

    const Rect bounds = targetBounds(target, clip);
    if (bounds.empty()) return false;
    at.win = windowInside(w, h, x, y, rotation, bounds);
    if (at.win.empty()) return false;
    at.whole = at.win == MaskWindow{0, 0, w - 1, h - 1};
    at.pixels = target.lock();
    if (!at.pixels) return false;
    at.piece = &piece;
    at.rotation = rotation;
    at.depth = target.depth();

    const ptrdiff_t pitch = target.pitch();
    const ptrdiff_t px = x, py = y;
    switch (rotation) {
        case 0:
            at.base = py * pitch + px * bpp;
            at.rowStep = pitch;
            at.colStep = bpp;
            break;
        case 1:
            at.base = py * pitch + (px + h - 1) * bpp;
            at.rowStep = -bpp;
            at.colStep = pitch;
            break;
        case 2:
            at.base = (py + h - 1) * pitch + (px + w - 1) * bpp;
            at.rowStep = -pitch;
            at.colStep = -bpp;
            break;
        default:
            at.base = (py + w - 1) * pitch + px * bpp;
            at.rowStep = bpp;
            at.colStep = -pitch;
            break;
    }
    // The cache's lists stand for the masks only when made from this piece's
    // masks; any cache of this layout still never draws outside the window.
    if (!piece.renderCache.empty()) at.cache = viewCache(piece.renderCache, bpp);
    return true;
}

// Draws the placed piece's shape or outline; a shaded outline with
// `darkening` darkens the target's pixels instead of drawing cached colours.
void drawPlaced(const Placement& at, DrawSurface* picture, PieceDrawMode mode, uint32_t colour,
                const OutlineDarkening* darkening = nullptr) {
    const Piece& piece = *at.piece;
    const int bpp = at.depth / 8;
    DrawJob job;
    job.mask = mode == PieceDrawMode::Piece ? std::span<const uint8_t>(piece.mask)
                                            : std::span<const uint8_t>(piece.outline);
    if (job.mask.empty()) return;  // inside, but nothing to draw
    job.rotation = at.rotation;
    job.mode = mode;
    job.colour = colour;
    job.pixels = at.pixels;
    job.base = at.base;
    job.rowStep = at.rowStep;
    job.colStep = at.colStep;
    MaskWindow win = at.win;

    if (mode == PieceDrawMode::Piece && picture && picture->hasPixels() &&
        picture->depth() == at.depth) {
        // Only picture pixels that exist are read: the window shrinks to the
        // part of the piece's home box that lies inside the picture.
        const Rect home{piece.homeX, piece.homeY, piece.homeX + piece.width,
                        piece.homeY + piece.height};
        const Rect inPicture{std::max(home.left, 0), std::max(home.top, 0),
                             std::min(home.right, picture->width()),
                             std::min(home.bottom, picture->height())};
        if (inPicture.empty()) return;
        win.left = std::max(win.left, inPicture.left - piece.homeX);
        win.right = std::min(win.right, inPicture.right - 1 - piece.homeX);
        win.top = std::max(win.top, inPicture.top - piece.homeY);
        win.bottom = std::min(win.bottom, inPicture.bottom - 1 - piece.homeY);
        if (win.empty()) return;
        const uint8_t* src = picture->lock();
        if (!src) return;
        job.source = src;
        job.sourcePitch = picture->pitch();
        job.sourceOrigin = ptrdiff_t(piece.homeY) * job.sourcePitch + ptrdiff_t(piece.homeX) * bpp;
    }
    const CacheView& cache = at.cache;
    if (mode == PieceDrawMode::ShadedOutline && darkening) {
        job.darkening = darkening;
    } else if (cache.colours) {
        if (mode == PieceDrawMode::ShadedOutline) {
            job.cache = cache.colours;
            job.cachePixels = cache.count;
            job.points = cache.points;
        } else if (mode == PieceDrawMode::SolidOutline && cache.points) {
            job.cachePixels = cache.count;
            job.points = cache.points;
        } else if (mode == PieceDrawMode::Piece && (at.rotation & 1)) {
            job.runs = cache.columnRuns;
            job.runCount = cache.columnRunCount;
        } else if (mode == PieceDrawMode::Piece) {
            job.runs = cache.rowRuns;
            job.runCount = cache.rowRunCount;
        }
    }
    job.win = win;

    const bool whole = at.whole && win == at.win;
    switch (bpp) {
        case 1: runJob<1>(job, whole); break;
        case 2: runJob<2>(job, whole); break;
        case 3: runJob<3>(job, whole); break;
        default: runJob<4>(job, whole); break;
    }
}

}  // namespace

bool drawPiece(DrawSurface& target, DrawSurface* picture, const Piece& piece, int32_t x, int32_t y,
               int32_t rotation, PieceDrawMode mode, uint32_t colour, const Rect* clip) {
    Placement at;
    if (!placePiece(target, piece, x, y, rotation, clip, at)) return false;
    drawPlaced(at, picture, mode, colour);
    return true;
}

bool drawPiece(DrawSurface& target, DrawSurface* picture, const Piece& piece, PieceDrawMode mode,
               uint32_t colour, const Rect* clip) {
    return drawPiece(target, picture, piece, piece.x, piece.y, piece.rotation, mode, colour, clip);
}

// ------------------------------------------------------------ outline shades

std::array<uint8_t, 256> darkeningTable(const PaletteTable& palette) {
    std::array<uint8_t, 256> table{};
    for (int i = 0; i < 256; ++i) {
        const PaletteEntry& e = palette[size_t(i)];
        table[size_t(i)] = nearestPaletteIndex(palette, e.red - (e.red >> 2),
                                               e.green - (e.green >> 2), e.blue - (e.blue >> 2));
    }
    return table;
}

namespace {

// Scratch memory reused from piece to piece while draw lists are made.
struct ListScratch {
    std::vector<uint8_t> lists;    // the lists being made
    std::vector<uint8_t> columns;  // the shape turned on its side
    size_t used = 0;               // bytes of `lists` made for the last piece
};

// Makes the draw lists of a piece with `count` outline pixels: the outline's
// points, the shape's runs along rows and down columns, and the trailer (see
// CacheView), into scratch.lists. Needs a box of at most 65535 x 65535.
void makeDrawLists(const Piece& p, size_t count, ListScratch& scratch) {
    const size_t w = size_t(p.width), h = size_t(p.height);
    // Room for the most runs a w x h shape can have, so that the numbers are
    // stored without checks.
    const size_t most = count * kPointBytes + (h * ((w + 1) / 2) + w * ((h + 1) / 2)) * kRunBytes +
                        kCacheTrailer;
    if (scratch.lists.size() < most) scratch.lists.resize(most);
    uint8_t* const start = scratch.lists.data();
    uint8_t* out = start;
    auto put16 = [&out](int32_t v) {
        out[0] = uint8_t(v);
        out[1] = uint8_t(v >> 8);
        out += 2;
    };
    forEachMaskRun(p.outline, [&](int32_t c, int32_t r, int32_t length, bool opaque) {
        if (!opaque) return;
        for (int32_t k = c; k < c + length; ++k) {
            put16(k);
            put16(r);
        }
    });
    // Column c of the mask is row c of `columns`, so that the runs down each
    // column are found by walking memory in order.
    scratch.columns.assign(w * h, 0);
    uint8_t* const columns = scratch.columns.data();
    uint32_t rowRuns = 0, columnRuns = 0;
    forEachMaskRun(p.mask, [&](int32_t c, int32_t r, int32_t length, bool opaque) {
        if (!opaque) return;
        put16(c);
        put16(r);
        put16(length);
        ++rowRuns;
        for (int32_t k = c; k < c + length; ++k) columns[size_t(k) * h + size_t(r)] = 1;
    });
    for (int32_t c = 0; c < p.width; ++c) {
        const uint8_t* column = columns + size_t(c) * h;
        for (int32_t r = 0; r < p.height;) {
            if (!column[r]) {
                ++r;
                continue;
            }
            const int32_t first = r;
            while (r < p.height && column[r]) ++r;
            put16(c);
            put16(first);
            put16(r - first);
            ++columnRuns;
        }
    }
    const uint32_t trailer[4] = {uint32_t(count), rowRuns, columnRuns, kDrawListMagic};
    std::memcpy(out, trailer, kCacheTrailer);
    out += kCacheTrailer;
    scratch.used = size_t(out - start);
}

}  // namespace

OutlineDarkening outlineDarkening(const DrawSurface& picture) {
    OutlineDarkening how;
    const int32_t depth = picture.hasPixels() ? picture.depth() : 0;
    if (depth != 8 && depth != 16 && depth != 24 && depth != 32) return how;
    how.depth = depth;
    how.is555 = picture.is555();
    // At 8 bits the darkening goes through a table made once for the
    // picture's palette.
    if (depth == 8) {
        PaletteTable entries;
        how.table = darkeningTable(picture.getPaletteEntries(entries) ? entries : greyPalette());
    }
    return how;
}

namespace {

// The draw lists and shaded colours of the model's pieces.
int32_t buildShades(PuzzleModel& model, const DrawSurface* picture) {
    const OutlineDarkening how = picture ? outlineDarkening(*picture) : OutlineDarkening{};
    if (how.depth == 0) {
        for (int32_t i = 0; i < model.pieceCount(); ++i) {
            model.piece(i).renderCache.clear();
            model.piece(i).renderCache.shrink_to_fit();
        }
        return 0;
    }
    const int32_t depth = how.depth;
    const int bpp = depth / 8;
    const int32_t picW = picture->width(), picH = picture->height();

    ListScratch scratch;
    for (int32_t i = 0; i < model.pieceCount(); ++i) {
        Piece& p = model.piece(i);
        const int64_t count = countOpaquePixels(p.outline);
        const bool withLists = p.width <= 0xFFFF && p.height <= 0xFFFF;
        if (withLists) makeDrawLists(p, size_t(count), scratch);
        std::vector<uint8_t> cache;
        cache.reserve(size_t(count) * size_t(bpp) + (withLists ? scratch.used : 0));
        cache.resize(size_t(count) * size_t(bpp), 0);
        size_t at = 0;
        forEachMaskRun(p.outline, [&](int32_t c, int32_t r, int32_t length, bool opaque) {
            if (!opaque) return;
            const int64_t py = int64_t(p.homeY) + r;
            const int64_t first = int64_t(p.homeX) + c;
            if (py >= 0 && py < picH) {
                // Copy the part of the run that lies on the picture; the rest
                // stays 0.
                const int64_t a = std::max<int64_t>(first, 0);
                const int64_t b = std::min<int64_t>(first + length, picW);
                if (a < b) {
                    copyBytes(cache.data() + (at + size_t(a - first)) * size_t(bpp),
                              picture->row(int32_t(py)) + a * bpp, size_t(b - a) * size_t(bpp));
                }
            }
            at += size_t(length);
        });
        uint8_t* q = cache.data();
        const int32_t n = int32_t(count);
        switch (bpp) {
            case 1: darkenRun<1>(q, 1, n, how); break;
            case 2: darkenRun<2>(q, 2, n, how); break;
            case 3: darkenRun<3>(q, 3, n, how); break;
            default: darkenRun<4>(q, 4, n, how); break;
        }
        // The positions of the outline pixels, so that an unclipped outline
        // is drawn without walking its mask (see drawPoints).
        if (withLists)
            cache.insert(cache.end(), scratch.lists.begin(),
                         scratch.lists.begin() + ptrdiff_t(scratch.used));
        p.renderCache = std::move(cache);
    }
    return depth;
}

}  // namespace

int32_t buildOutlineShades(PuzzleModel& model, const DrawSurface* picture) {
    NamedLock lock(NamedMutex::PIECE);
    return buildShades(model, picture);
}

// ------------------------------------------------------------------ colours

uint32_t nativeOptionColour(const DrawSurface& target, uint32_t chosen) {
    if (chosen == 0xFFFFFFFFu) return chosen;
    return target.nativeColour(chosen);
}

void RendererState::refreshNativeColours(const DrawSurface& target) {
    pieceColour = nativeOptionColour(target, options.piece);
    backgroundColour = nativeOptionColour(target, options.background);
    puzzleOutlineColour = nativeOptionColour(target, options.puzzleOutline);
    selectionRectColour = nativeOptionColour(target, options.selectionRect);
    othersColour = target.nativeColour(makeColour(255, 0, 0));
}

// ------------------------------------------------------------- list walks

bool pieceMeetsRect(const PuzzleModel& model, ListId list, const Rect& rect, int32_t piece) {
    Rect box;
    if (!model.validPiece(piece)) return false;
    if (list != ListId::None && model.findGroupOfPiece(list, piece) == kNone) return false;
    if (!model.getPieceRect(list, piece, box, false)) return false;
    return box.intersects(rect);
}

bool PieceRenderer::drawPiece(DrawSurface& target, DrawSurface* picture, const Piece& piece,
                              int32_t x, int32_t y, int32_t rotation, PieceDrawMode mode,
                              const Rect* clip) const {
    return pavalo::drawPiece(target, picture, piece, x, y, rotation, mode, state.pieceColour, clip);
}

void PieceRenderer::drawAllOutlinesAndPieces(const PuzzleModel& model, ListId list, Rect& rect,
                                             DrawSurface& target, DrawSurface* picture) const {
    NamedLock lock(NamedMutex::PIECE);
    if (list == ListId::None || !model.hasPuzzle()) return;
    // Pieces are tested against the rectangle as given and drawn only inside
    // it: a piece that reaches beyond it must not cover, outside the
    // rectangle, pieces above it that this pass does not redraw.
    const Rect clip = rect;
    Rect grown = rect;
    const bool shadesFit = state.shadesDepth != 0 && state.shadesDepth == target.depth();
    const bool shaded = state.outlinesShown && state.viewMode != kViewFinished && shadesFit;

    // Each piece: the picture through its shape, then its outline by the rules.
    // The piece is placed once for both drawings.
    auto drawOne = [&](int32_t m, bool holderTest) {
        const Piece& p = model.piece(m);
        grown.unite(p.box());
        Placement at;
        if (!placePiece(target, p, p.x, p.y, p.rotation, &clip, at)) return;
        drawPlaced(at, picture, PieceDrawMode::Piece, state.pieceColour);
        if (model.member(m).selected)
            drawPlaced(at, nullptr, PieceDrawMode::SolidOutline, state.pieceColour);
        else if (holderTest && state.multiplayer && heldByOther(model, m))
            drawPlaced(at, nullptr, PieceDrawMode::SolidOutline, state.othersColour);
        else if (shaded)
            drawPlaced(at, nullptr, PieceDrawMode::ShadedOutline, 0);
    };
    // Lists from tail (bottom) to head (top), members first to last. The
    // pieces to draw are listed first, so that memory can be asked for ahead
    // of drawing: the piece records two pieces ahead, the pixel rows and
    // draw list of the next piece.
    std::vector<int32_t>& order = drawOrder_;
    order.clear();
    auto collect = [&](ListId which) {
        for (int32_t g = model.list(which).tail; g != kNone; g = model.groupNode(g).prev)
            for (int32_t m = model.groupNode(g).firstMember; m != kNone; m = model.member(m).next)
                if (model.piece(m).box().intersects(clip)) order.push_back(m);
    };
    size_t firstHolderTested = 0;  // Main-list pieces start here
    if (list == ListId::Main) {
        collect(ListId::Finished);
        firstHolderTested = order.size();
        if (!(state.viewMode & kViewPlayAreaHidden)) collect(ListId::Main);
    } else {
        collect(list);
        firstHolderTested = order.size();
    }
    const size_t n = order.size();
    if (n > 0) prefetchPiece(target, picture, model.piece(order[0]), clip);
    for (size_t k = 0; k < n; ++k) {
        if (k + 2 < n) prefetchRecord(model, order[k + 2]);
        if (k + 1 < n) prefetchPiece(target, picture, model.piece(order[k + 1]), clip);
        drawOne(order[k], k >= firstHolderTested);
    }
    rect = grown;
}

bool PieceRenderer::heldByOther(const PuzzleModel& model, int32_t piece) const {
    const int holder = model.holders().holderOf(piece);
    return holder != kNoHolder && holder != state.localPlayer;
}

namespace {

// Solved place of a piece: play-area centre minus half the picture (integer
// halves), plus its home and the offset.
void solvedPlace(const PuzzleModel& model, const Piece& p, int32_t offsetX, int32_t offsetY,
                 int32_t& x, int32_t& y) {
    const PuzzleGeometry& g = model.geometry();
    x = g.playWidth / 2 - g.pictureWidth / 2 + p.homeX + offsetX;
    y = g.playHeight / 2 - g.pictureHeight / 2 + p.homeY + offsetY;
}

}  // namespace

void PieceRenderer::drawAssembled(const PuzzleModel& model, const Rect& rect, DrawSurface& target,
                                  DrawSurface* picture, int32_t offsetX, int32_t offsetY) const {
    NamedLock lock(NamedMutex::PIECE);
    for (int32_t i = 0; i < model.pieceCount(); ++i) {
        const Piece& p = model.piece(i);
        int32_t x, y;
        solvedPlace(model, p, offsetX, offsetY, x, y);
        if (!Rect{x, y, x + p.width, y + p.height}.intersects(rect)) continue;
        pavalo::drawPiece(target, picture, p, x, y, 0, PieceDrawMode::Piece, state.pieceColour,
                          &rect);
    }
}

void PieceRenderer::drawPuzzleOutline(const PuzzleModel& model, const Rect& rect,
                                      DrawSurface& target, int32_t offsetX, int32_t offsetY) const {
    NamedLock lock(NamedMutex::PIECE);
    for (int32_t i = 0; i < model.pieceCount(); ++i) {
        const Piece& p = model.piece(i);
        int32_t x, y;
        solvedPlace(model, p, offsetX, offsetY, x, y);
        if (!Rect{x, y, x + p.width, y + p.height}.intersects(rect)) continue;
        pavalo::drawPiece(target, nullptr, p, x, y, 0, PieceDrawMode::SolidOutline,
                          state.puzzleOutlineColour, &rect);
    }
}

void PieceRenderer::drawReducedList(const PuzzleModel& model, const ReducedPuzzle& reduced, ListId list,
                                    const Rect& clip, DrawSurface& target, Point origin,
                                    bool shadedOutlines) const {
    NamedLock lock(NamedMutex::PIECE);
    if (list == ListId::None || !model.hasPuzzle() || reduced.factor < 2 ||
        reduced.pieces.size() != size_t(model.pieceCount()))
        return;
    const int32_t d = reduced.factor;
    DrawSurface* picture = const_cast<DrawSurface*>(&reduced.picture);
    if (!picture->hasPixels() || picture->depth() != target.depth()) picture = nullptr;
    const bool shaded = shadedOutlines && state.outlinesShown && state.viewMode != kViewFinished && picture &&
                        reduced.darkening.depth == target.depth();
    // The clip in play-area pixels, to pass over pieces far outside it
    // before converting their places.
    const Rect playClip{origin.x + clip.left * d, origin.y + clip.top * d, origin.x + clip.right * d,
                        origin.y + clip.bottom * d};
    auto drawOne = [&](int32_t m, bool holderTest) {
        const Piece& full = model.piece(m);
        const Piece& small = reduced.pieces[size_t(m)];
        if (small.width <= 0) return;
        const Point where = reducedPlace(full, small, d, origin);
        Placement at;
        if (!placePiece(target, small, where.x, where.y, full.rotation, &clip, at)) return;
        drawPlaced(at, picture, PieceDrawMode::Piece, state.pieceColour);
        if (model.member(m).selected)
            drawPlaced(at, nullptr, PieceDrawMode::SolidOutline, state.pieceColour);
        else if (holderTest && state.multiplayer && heldByOther(model, m))
            drawPlaced(at, nullptr, PieceDrawMode::SolidOutline, state.othersColour);
        else if (shaded)
            // The shape just drawn holds the reduced picture's pixels under
            // the outline: darkened there, they are its shaded outline.
            drawPlaced(at, nullptr, PieceDrawMode::ShadedOutline, 0, &reduced.darkening);
    };
    auto walk = [&](ListId which, bool holderTest) {
        for (int32_t g = model.list(which).tail; g != kNone; g = model.groupNode(g).prev)
            for (int32_t m = model.groupNode(g).firstMember; m != kNone; m = model.member(m).next) {
                // Grown by a cell: the reduced box may reach a cell beyond the full one.
                const Rect box = model.piece(m).box();
                if (Rect{box.left - d, box.top - d, box.right + d, box.bottom + d}.intersects(playClip))
                    drawOne(m, holderTest);
            }
    };
    if (list == ListId::Main) {
        walk(ListId::Finished, false);
        if (!(state.viewMode & kViewPlayAreaHidden)) walk(ListId::Main, true);
    } else {
        walk(list, false);
    }
}

void PieceRenderer::drawReducedAssembled(const PuzzleModel& model, const ReducedPuzzle& reduced, const Rect& clip,
                                         DrawSurface& target, Point origin, bool outlines) const {
    NamedLock lock(NamedMutex::PIECE);
    if (reduced.factor < 2 || reduced.pieces.size() != size_t(model.pieceCount())) return;
    DrawSurface* picture = const_cast<DrawSurface*>(&reduced.picture);
    if (!picture->hasPixels() || picture->depth() != target.depth()) picture = nullptr;
    const PuzzleGeometry& g = model.geometry();
    for (int32_t i = 0; i < model.pieceCount(); ++i) {
        const Piece& full = model.piece(i);
        const Piece& small = reduced.pieces[size_t(i)];
        if (small.width <= 0) continue;
        int32_t x, y;
        solvedPlace(model, full, g.offsetX, g.offsetY, x, y);
        const Point at = reducedPlaceAt(full, small, reduced.factor, origin, x, y, 0);
        if (outlines)
            pavalo::drawPiece(target, nullptr, small, at.x, at.y, 0, PieceDrawMode::SolidOutline,
                              state.puzzleOutlineColour, &clip);
        else
            pavalo::drawPiece(target, picture, small, at.x, at.y, 0, PieceDrawMode::Piece, state.pieceColour,
                              &clip);
    }
}

void PieceRenderer::buildOutlineShades(PuzzleModel& model, const DrawSurface* picture) {
    state.shadesDepth = pavalo::buildOutlineShades(model, picture);
}

}  // namespace pavalo
