// Palette algorithms: remapping to a palette, fitting a picture's palette
// around the static colours, box-filter shrinking, dithering true colour to
// DefaultPalette and the scaled 8-bit copy built from them.
#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <cstring>

#include "surface/draw_surface.h"

namespace pavalo {
namespace {

// The working grid of the dither: index (b << 6) | (g << 3) | r with r, g in
// 0-7 and b in 0-3, mapped once to the nearest DefaultPalette entry.
const std::array<uint8_t, 256>& gridToDefaultPalette() {
    static const std::array<uint8_t, 256> table = [] {
        std::array<uint8_t, 256> t{};
        for (int n = 0; n < 256; ++n) {
            const int r = n & 7, g = (n >> 3) & 7, b = n >> 6;
            t[size_t(n)] = nearestPaletteIndex(defaultPalette(), r * 32 + 16, g * 32 + 16, b * 64 + 32);
        }
        return t;
    }();
    return table;
}

uint8_t clampByte(int32_t v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); }

}  // namespace

bool DrawSurface::remapToPalette(const PaletteTable& entries) {
    if (depth() != 8) return true;
    if (!palette_) return false;
    const PaletteTable old = *palette_;
    setPaletteEntries(entries, false);
    const PaletteTable& now = *palette_;
    uint8_t map[256];
    for (int i = 0; i < 256; ++i) map[i] = nearestPaletteIndex(now, old[i].red, old[i].green, old[i].blue);
    for (int32_t y = 0; y < height(); ++y) {
        uint8_t* p = row(y);
        for (int32_t x = 0; x < width(); ++x) p[x] = map[p[x]];
    }
    return true;
}

bool DrawSurface::remapToDefaultPalette() { return remapToPalette(defaultPalette()); }

bool DrawSurface::fitPaletteToStatics() {
    if (depth() != 8 || !palette_) return false;
    const PaletteTable cur = *palette_;
    const PaletteTable& standard = defaultPalette();

    // map[i]: i itself (a root keeping its own slot), another entry j whose
    // slot i will share, or kStatic + k for static colour k.
    constexpr int kStatic = 256;
    int map[256];
    for (int i = 0; i < 256; ++i) map[i] = i;
    int budget = 20;

    // Entries that already are (nearly) a static colour move onto it.
    for (int i = 0; i < 256 && budget > 0; ++i) {
        int found = -1;
        for (int k = 0; k < 10 && found < 0; ++k)
            if (colourDistance(cur[i], standard[k]) < 100) found = k;
        for (int k = 246; k < 256 && found < 0; ++k)
            if (colourDistance(cur[i], standard[k]) < 100) found = k;
        if (found >= 0) {
            map[i] = kStatic + found;
            --budget;
        }
    }
    // Merge the closest colours, widening the threshold each pass, until 20
    // slots are free. Only an entry that still holds its own slot is merged,
    // so every merge frees exactly one slot and the remaining 236 roots fit
    // into entries 10-245.
    for (int t = 1; budget > 0; ++t) {
        for (int i = 0; i < 256 && budget > 0; ++i) {
            if (map[i] != i) continue;
            for (int j = 0; j < 256; ++j) {
                if (j != i && map[j] == j && colourDistance(cur[i], cur[j]) < t * 100) {
                    map[j] = i;
                    --budget;
                    break;
                }
            }
        }
    }

    // Roots take 10, 11, ... in index order; the others follow their chain
    // (chains are acyclic: only a root is ever merged, into another root).
    int finalIndex[256];
    int next = 10;
    for (int i = 0; i < 256; ++i) {
        if (map[i] == i)
            finalIndex[i] = next++;
        else if (map[i] >= kStatic)
            finalIndex[i] = map[i] - kStatic;
        else
            finalIndex[i] = -1;
    }
    assert(next == 246);
    for (int i = 0; i < 256; ++i) {
        int j = i;
        while (finalIndex[j] < 0) j = map[j];
        finalIndex[i] = finalIndex[j];
    }

    PaletteTable fresh = standard;
    for (int i = 0; i < 256; ++i)
        if (finalIndex[i] >= 10 && finalIndex[i] <= 245) fresh[size_t(finalIndex[i])] = cur[i];
    setPaletteEntries(fresh, false);
    uint8_t pixelMap[256];
    for (int i = 0; i < 256; ++i) pixelMap[i] = uint8_t(finalIndex[i]);
    for (int32_t y = 0; y < height(); ++y) {
        uint8_t* p = row(y);
        for (int32_t x = 0; x < width(); ++x) p[x] = pixelMap[p[x]];
    }
    return true;
}

bool DrawSurface::shrinkFrom24(DrawSurface& destination, int32_t width, int32_t height) const {
    if (depth() != 24 || destination.depth() != 24 || destination.store_ == store_) return false;
    if (width <= 0 || height <= 0 || width > destination.width() || height > destination.height())
        return false;
    const int32_t sw = this->width(), sh = this->height();
    if (sw < width || sh < height) return destination.copyBitmap(*this, 0, 0, 0, 0, 0, 0, width, height);

    const int32_t xStep = sw / width, yStep = sh / height;
    const int64_t xFrac = (int64_t(sw) << 16) / width - int64_t(xStep) * 65536;
    const int64_t yFrac = (int64_t(sh) << 16) / height - int64_t(yStep) * 65536;
    int64_t rowAcc = 0;
    int32_t sy = 0;
    for (int32_t oy = 0; oy < height; ++oy) {
        int32_t bh = yStep;
        if (rowAcc & 0x10000) {
            ++bh;
            rowAcc &= ~int64_t(0x10000);
        }
        assert(sy + bh <= sh);
        uint8_t* out = destination.row(oy);
        int64_t colAcc = 0;
        int32_t sx = 0;
        for (int32_t ox = 0; ox < width; ++ox, out += 3) {
            int32_t bw = xStep;
            if (colAcc & 0x10000) {
                ++bw;
                colAcc &= ~int64_t(0x10000);
            }
            assert(sx + bw <= sw);
            uint64_t sum0 = 0, sum1 = 0, sum2 = 0;
            for (int32_t y = sy; y < sy + bh; ++y) {
                const uint8_t* p = row(y) + sx * 3;
                for (int32_t x = 0; x < bw; ++x, p += 3) {
                    sum0 += p[0];
                    sum1 += p[1];
                    sum2 += p[2];
                }
            }
            const uint64_t count = uint64_t(bw) * uint64_t(bh);
            out[0] = uint8_t(sum0 / count);
            out[1] = uint8_t(sum1 / count);
            out[2] = uint8_t(sum2 / count);
            sx += bw;
            colAcc += xFrac;
        }
        sy += bh;
        rowAcc += yFrac;
    }
    return true;
}

bool DrawSurface::ditherFrom24(const DrawSurface& source) {
    if (source.depth() != 24 || source.store_ == store_) return false;
    if (!create(source.width(), source.height(), 8)) return false;
    setDefaultPalette();
    const std::array<uint8_t, 256>& map = gridToDefaultPalette();
    // Error carried into the first pixel of the next row: that of the first
    // pixel of this row.
    int32_t rowR = 0, rowG = 0, rowB = 0;
    for (int32_t y = 0; y < height(); ++y) {
        const uint8_t* s = source.row(y);
        uint8_t* d = row(y);
        int32_t er = rowR, eg = rowG, eb = rowB;
        for (int32_t x = 0; x < width(); ++x, s += 3) {
            const int32_t b = clampByte(s[0] + eb);
            const int32_t g = clampByte(s[1] + eg);
            const int32_t r = clampByte(s[2] + er);
            d[x] = map[size_t((b & 0xC0) | ((g & 0xE0) >> 2) | (r >> 5))];
            eb = (b & 0x3F) - 32;
            eg = (g & 0x1F) - 16;
            er = (r & 0x1F) - 16;
            if (x == 0) {
                rowR = er;
                rowG = eg;
                rowB = eb;
            }
        }
    }
    return true;
}

bool DrawSurface::makeScaledCopy8(const DrawSurface& source, int32_t width, int32_t height) {
    if (!source.store_ || source.store_ == store_) return false;
    if (width == -1 || height == -1) {
        const double ratio = double(source.width()) / double(source.height());
        if (width == -1 && height == -1) {
            width = source.width();
            height = source.height();
        } else if (width == -1) {
            // At least one pixel: a very long, thin picture still has a copy.
            width = std::max(1, int32_t(std::trunc(height * ratio)));
        } else {
            height = std::max(1, int32_t(std::trunc(width / ratio)));
        }
    }
    if (!create(width, height, 8)) return false;

    if (source.depth() != 8) {
        // True colour goes through a 24-bit copy at the target size. A 16- or
        // 32-bit source is first converted to 24 bits at its own size.
        const DrawSurface* full = &source;
        DrawSurface converted;
        if (source.depth() != 24) {
            if (!converted.create(source.width(), source.height(), 24) || !converted.copyBitmap(source, 0, 0))
                return false;
            full = &converted;
        }
        DrawSurface small;
        if (!small.create(width, height, 24) || !full->shrinkFrom24(small, width, height)) return false;
        return ditherFrom24(small);
    }

    PaletteTable sourcePalette;
    if (!source.getPaletteEntries(sourcePalette)) sourcePalette = source.fallbackPalette();
    setPaletteEntries(sourcePalette, false);
    copyBitmap(source, 0, 0, 0, 0, 0, 0, width, height);
    return remapToPalette(defaultPalette());
}

}  // namespace pavalo
