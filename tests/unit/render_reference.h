// Plain reference drawing for the renderer tests: one pixel at a time, straight
// from the placement rule, and small helpers for surfaces and pieces.
#pragma once

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "surface/draw_surface.h"
#include "display/piece_renderer.h"
#include "puzzle/piece_mask.h"
#include "puzzle/puzzle_model.h"

namespace pavalo::test {

inline uint32_t getPixel(const DrawSurface& s, int32_t x, int32_t y) {
    const int bpp = s.depth() / 8;
    const uint8_t* p = s.row(y) + x * bpp;
    uint32_t v = 0;
    for (int i = 0; i < bpp; ++i) v |= uint32_t(p[i]) << (8 * i);
    return v;
}

inline void setPixel(DrawSurface& s, int32_t x, int32_t y, uint32_t v) {
    const int bpp = s.depth() / 8;
    uint8_t* p = s.row(y) + x * bpp;
    for (int i = 0; i < bpp; ++i) p[i] = uint8_t(v >> (8 * i));
}

inline void fillRandom(DrawSurface& s, uint32_t seed) {
    std::mt19937 rng(seed);
    for (int32_t y = 0; y < s.height(); ++y)
        for (int32_t x = 0; x < s.width(); ++x) setPixel(s, x, y, rng());
}

// Every pixel, row by row, without the pitch padding.
inline std::vector<uint32_t> allPixels(const DrawSurface& s) {
    std::vector<uint32_t> v;
    v.reserve(size_t(s.width()) * size_t(s.height()));
    for (int32_t y = 0; y < s.height(); ++y)
        for (int32_t x = 0; x < s.width(); ++x) v.push_back(getPixel(s, x, y));
    return v;
}

// A surface of the given requested depth filled with random pixels; 8-bit
// surfaces get the default palette.
inline void makeRandomSurface(DrawSurface& s, int32_t w, int32_t h, int32_t depth, uint32_t seed) {
    s.create(w, h, depth);
    if (s.depth() == 8) s.setDefaultPalette();
    fillRandom(s, seed);
}

// Where mask pixel (c, r) of a w x h piece lands at a rotation.
inline void placeMaskPixel(int32_t w, int32_t h, int32_t x, int32_t y, int rotation, int32_t c,
                           int32_t r, int64_t& dx, int64_t& dy) {
    switch (rotation & 3) {
        case 0: dx = int64_t(x) + c, dy = int64_t(y) + r; break;
        case 1: dx = int64_t(x) + h - 1 - r, dy = int64_t(y) + c; break;
        case 2: dx = int64_t(x) + w - 1 - c, dy = int64_t(y) + h - 1 - r; break;
        default: dx = int64_t(x) + r, dy = int64_t(y) + w - 1 - c; break;
    }
}

// drawPiece as the rules read: every opaque mask pixel in mask order, placed
// one by one; the shaded colours are numbered by that order.
inline bool referenceDrawPiece(DrawSurface& t, const DrawSurface* picture, const Piece& p,
                               int32_t x, int32_t y, int rotation, PieceDrawMode mode,
                               uint32_t colour, const Rect* clip = nullptr) {
    const int bpp = t.depth() / 8;
    const std::vector<uint8_t>& mask = mode == PieceDrawMode::Piece ? p.mask : p.outline;
    const std::vector<uint8_t> px = decodePieceMask(mask, p.width, p.height, 1);
    const bool usePicture = mode == PieceDrawMode::Piece && picture && picture->hasPixels() &&
                            picture->depth() == t.depth();
    bool any = false;
    size_t order = 0;
    for (int32_t r = 0; r < p.height; ++r) {
        for (int32_t c = 0; c < p.width; ++c) {
            int64_t dx, dy;
            placeMaskPixel(p.width, p.height, x, y, rotation, c, r, dx, dy);
            const bool inside = dx >= 0 && dy >= 0 && dx < t.width() && dy < t.height() &&
                                (!clip || (dx >= clip->left && dx < clip->right &&
                                           dy >= clip->top && dy < clip->bottom));
            any = any || inside;
            if (!px[size_t(r) * size_t(p.width) + size_t(c)]) continue;
            const size_t index = order++;
            if (!inside) continue;
            uint32_t v = colour;
            if (usePicture) {
                const int64_t sx = int64_t(p.homeX) + c, sy = int64_t(p.homeY) + r;
                if (sx < 0 || sy < 0 || sx >= picture->width() || sy >= picture->height()) continue;
                v = getPixel(*picture, int32_t(sx), int32_t(sy));
            } else if (mode == PieceDrawMode::ShadedOutline) {
                if ((index + 1) * size_t(bpp) > p.renderCache.size()) continue;
                v = 0;
                for (int i = 0; i < bpp; ++i)
                    v |= uint32_t(p.renderCache[index * size_t(bpp) + size_t(i)]) << (8 * i);
            }
            setPixel(t, int32_t(dx), int32_t(dy), v);
        }
    }
    return any;
}

// A piece of a random blob shape; wide pieces have rows of runs of 128 and
// more pixels. The outline is the shape's border, as the cut makes it.
inline Piece randomPiece(std::mt19937& rng, int32_t maxW, int32_t maxH) {
    Piece p;
    p.width = 1 + int32_t(rng() % uint32_t(maxW));
    p.height = 1 + int32_t(rng() % uint32_t(maxH));
    std::vector<uint8_t> px(size_t(p.width) * size_t(p.height));
    const int kind = int(rng() % 3);
    for (int32_t r = 0; r < p.height; ++r) {
        // Each row: one span, or random speckle.
        const int32_t a = int32_t(rng() % uint32_t(p.width));
        const int32_t b = a + int32_t(rng() % uint32_t(p.width - a + 1));
        for (int32_t c = 0; c < p.width; ++c) {
            bool on = kind == 0 ? true : kind == 1 ? (c >= a && c < b) : (rng() % 3 != 0);
            px[size_t(r) * size_t(p.width) + size_t(c)] = on ? 255 : 0;
        }
    }
    p.mask = encodePieceMaskFromPixels(px.data(), p.width, p.width, p.height, 255);
    std::vector<uint8_t> border = px;
    for (int32_t r = 1; r < p.height - 1; ++r)
        for (int32_t c = 1; c < p.width - 1; ++c) {
            auto at = [&](int32_t cc, int32_t rr) {
                return px[size_t(rr) * size_t(p.width) + size_t(cc)];
            };
            if (at(c, r) && at(c - 1, r) && at(c + 1, r) && at(c, r - 1) && at(c, r + 1))
                border[size_t(r) * size_t(p.width) + size_t(c)] = 128;
        }
    p.outline = encodePieceMaskFromPixels(border.data(), p.width, p.width, p.height, 255);
    return p;
}

}  // namespace pavalo::test
