// Copies between surfaces: same-depth stretch/turn/colour-key blits, the depth
// conversions, and the 8-bit quarter turn and mirror.
#include <algorithm>
#include <cassert>
#include <cstring>
#include <vector>

#include "surface/draw_surface.h"

namespace pavalo {
namespace {

// The rectangle (x, y, w, h) clipped to a width x height surface. Computed in
// 64 bits so that no argument can overflow.
Rect clipRect(int64_t x, int64_t y, int64_t w, int64_t h, int32_t width, int32_t height) {
    int64_t left = std::max<int64_t>(x, 0), top = std::max<int64_t>(y, 0);
    int64_t right = std::min<int64_t>(x + w, width), bottom = std::min<int64_t>(y + h, height);
    if (right <= left || bottom <= top) return {};
    return {int32_t(left), int32_t(top), int32_t(right), int32_t(bottom)};
}

uint32_t loadPixel(const uint8_t* p, int bpp) {
    switch (bpp) {
        case 1:
            return p[0];
        case 2:
            return uint32_t(p[0]) | uint32_t(p[1]) << 8;
        case 3:
            return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
        default:
            return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    }
}

// Bits of a pixel that a colour key compares; the spare byte of a 32-bit
// pixel is not part of its colour.
uint32_t keyMask(int bpp) { return bpp == 4 ? 0xFFFFFFu : (1u << (8 * bpp)) - 1; }

// Nearest-pixel stretch of the source rectangle onto the destination
// rectangle, turned by `rotation` quarter turns clockwise. With `keyed`, source
// pixels equal to `key` leave the destination unchanged.
template <int Bpp>
void stretchBlit(uint8_t* dstBase, int32_t dstPitch, const Rect& dst, const uint8_t* srcBase,
                 int32_t srcPitch, const Rect& src, int32_t rotation, bool keyed, uint32_t key) {
    const int32_t sw = src.width(), sh = src.height();
    const int32_t dw = dst.width(), dh = dst.height();
    const bool quarter = rotation == 1 || rotation == 3;
    // Size of the turned source picture, which is stretched onto dst.
    const int64_t rw = quarter ? sh : sw, rh = quarter ? sw : sh;
    std::vector<int32_t> colMap(static_cast<size_t>(dw));
    for (int32_t dx = 0; dx < dw; ++dx) colMap[size_t(dx)] = int32_t(dx * rw / dw);
    for (int32_t dy = 0; dy < dh; ++dy) {
        const int32_t ry = int32_t(dy * rh / dh);
        uint8_t* d = dstBase + ptrdiff_t(dst.top + dy) * dstPitch + ptrdiff_t(dst.left) * Bpp;
        for (int32_t dx = 0; dx < dw; ++dx, d += Bpp) {
            const int32_t rx = colMap[size_t(dx)];
            int32_t x, y;
            switch (rotation) {
                case 1:
                    x = ry;
                    y = sh - 1 - rx;
                    break;
                case 2:
                    x = sw - 1 - rx;
                    y = sh - 1 - ry;
                    break;
                case 3:
                    x = sw - 1 - ry;
                    y = rx;
                    break;
                default:
                    x = rx;
                    y = ry;
                    break;
            }
            const uint8_t* s = srcBase + ptrdiff_t(src.top + y) * srcPitch + ptrdiff_t(src.left + x) * Bpp;
            if (keyed && (loadPixel(s, Bpp) & keyMask(Bpp)) == (key & keyMask(Bpp))) continue;
            std::memcpy(d, s, Bpp);
        }
    }
}

}  // namespace

bool DrawSurface::copyBitmap(const DrawSurface& source, int32_t destX, int32_t destY, int32_t srcX,
                             int32_t srcY, int32_t srcWidth, int32_t srcHeight, int32_t destWidth,
                             int32_t destHeight, int32_t rotation) {
    if (!store_ || !source.store_) return false;
    if (srcWidth == 0) srcWidth = source.width();
    if (srcHeight == 0) srcHeight = source.height();
    if (destWidth == -1) destWidth = srcWidth;
    if (destHeight == -1) destHeight = srcHeight;
    const Rect dst = clipRect(int64_t(destX) + originX_, int64_t(destY) + originY_, destWidth, destHeight,
                              width(), height());
    const Rect src = clipRect(int64_t(srcX) + source.originX_, int64_t(srcY) + source.originY_, srcWidth,
                              srcHeight, source.width(), source.height());
    if (dst.empty() || src.empty()) return true;
    if (rotation < 0 || rotation > 3) return false;

    if (source.store_ == store_) {
        // Source and destination share memory: work from a copy of the source
        // rectangle so that overlapping parts read the original pixels.
        DrawSurface temp;
        if (!temp.createWithFormat(src.width(), src.height(), source.format())) return false;
        const int32_t bpp = depth() / 8;
        for (int32_t y = 0; y < src.height(); ++y)
            std::memcpy(temp.row(y), source.row(src.top + y) + src.left * bpp, size_t(src.width() * bpp));
        temp.colourKey8 = source.colourKey8;
        temp.colourKeyTrue = source.colourKeyTrue;
        return copySameDepth(temp, dst, {0, 0, src.width(), src.height()}, rotation);
    }
    if (source.colourKey8 != -1 || depth() == source.depth())
        return copySameDepth(source, dst, src, rotation);
    return copyConverted(source, dst, src);
}

bool DrawSurface::copySameDepth(const DrawSurface& source, const Rect& dst, const Rect& src,
                                int32_t rotation) {
    // A keyed copy is a blit too, so it needs equal depths like every blit.
    if (depth() != source.depth()) return false;
    const int32_t bpp = depth() / 8;
    const bool keyed = source.colourKey8 != -1;
    const uint32_t key = depth() == 8 ? uint32_t(source.colourKey8) : source.colourKeyTrue;
    if (!keyed && rotation == 0 && dst.width() == src.width() && dst.height() == src.height()) {
        for (int32_t y = 0; y < dst.height(); ++y)
            std::memcpy(row(dst.top + y) + dst.left * bpp, source.row(src.top + y) + src.left * bpp,
                        size_t(dst.width() * bpp));
        return true;
    }
    switch (bpp) {
        case 1:
            stretchBlit<1>(pixels(), pitch(), dst, source.pixels(), source.pitch(), src, rotation, keyed,
                           key);
            break;
        case 2:
            stretchBlit<2>(pixels(), pitch(), dst, source.pixels(), source.pitch(), src, rotation, keyed,
                           key);
            break;
        case 3:
            stretchBlit<3>(pixels(), pitch(), dst, source.pixels(), source.pitch(), src, rotation, keyed,
                           key);
            break;
        default:
            stretchBlit<4>(pixels(), pitch(), dst, source.pixels(), source.pitch(), src, rotation, keyed,
                           key);
            break;
    }
    return true;
}

bool DrawSurface::copyConverted(const DrawSurface& source, const Rect& dst, const Rect& src) {
    // The conversions neither stretch nor turn; they cover the part that both
    // clipped rectangles share, from their top-left corners.
    const int32_t w = std::min(dst.width(), src.width());
    const int32_t h = std::min(dst.height(), src.height());
    const int32_t sd = source.depth(), dd = depth();
    const int32_t sBpp = sd / 8, dBpp = dd / 8;
    auto srcRow = [&](int32_t y) { return source.row(src.top + y) + src.left * sBpp; };
    auto dstRow = [&](int32_t y) { return row(dst.top + y) + dst.left * dBpp; };

    if (sd == 8 && dd == 24) {
        if (!source.palette_) return false;
        uint32_t table[256];
        for (int i = 0; i < 256; ++i) {
            const PaletteEntry& e = (*source.palette_)[i];
            table[i] = uint32_t(e.blue) | uint32_t(e.green) << 8 | uint32_t(e.red) << 16;
        }
        for (int32_t y = 0; y < h; ++y) {
            const uint8_t* s = srcRow(y);
            uint8_t* d = dstRow(y);
            // Four-byte stores overlap the next pixel, which then overwrites
            // the spare byte; the last pixel of the row stores three.
            int32_t x = 0;
            for (; x + 1 < w; ++x, d += 3) std::memcpy(d, &table[s[x]], 4);
            const uint32_t v = table[s[x]];
            d[0] = uint8_t(v);
            d[1] = uint8_t(v >> 8);
            d[2] = uint8_t(v >> 16);
        }
        return true;
    }
    if (sd == 8 && dd == 16) {
        if (!source.palette_) return false;
        const bool to555 = is555();
        uint16_t table[256];
        for (int i = 0; i < 256; ++i) {
            const PaletteEntry& e = (*source.palette_)[i];
            const uint32_t c = makeColour(e.red, e.green, e.blue);
            table[i] = to555 ? colourTo555(c) : colourTo565(c);
        }
        for (int32_t y = 0; y < h; ++y) {
            const uint8_t* s = srcRow(y);
            uint8_t* d = dstRow(y);
            for (int32_t x = 0; x < w; ++x) std::memcpy(d + 2 * x, &table[s[x]], 2);
        }
        return true;
    }
    if (sd == 32 && dd == 24) {
        for (int32_t y = 0; y < h; ++y) {
            const uint8_t* s = srcRow(y);
            uint8_t* d = dstRow(y);
            for (int32_t x = 0; x < w; ++x, s += 4, d += 3) std::memcpy(d, s, 3);
        }
        return true;
    }
    if ((sd == 24 || sd == 32) && dd == 16) {
        const bool to555 = is555();
        for (int32_t y = 0; y < h; ++y) {
            const uint8_t* s = srcRow(y);
            uint8_t* d = dstRow(y);
            if (to555) {
                for (int32_t x = 0; x < w; ++x, s += sBpp) {
                    const uint16_t p = uint16_t((s[2] >> 3) << 10 | (s[1] >> 3) << 5 | s[0] >> 3 | 0x8000);
                    std::memcpy(d + 2 * x, &p, 2);
                }
            } else {
                for (int32_t x = 0; x < w; ++x, s += sBpp) {
                    const uint16_t p = uint16_t((s[2] >> 3) << 11 | (s[1] >> 2) << 5 | s[0] >> 3);
                    std::memcpy(d + 2 * x, &p, 2);
                }
            }
        }
        return true;
    }
    if (sd == 16 && dd == 24) {
        const bool from555 = source.is555();
        const int greenShift = from555 ? 3 : 2;
        const int redShift = from555 ? 10 : 11;
        for (int32_t y = 0; y < h; ++y) {
            const uint8_t* s = srcRow(y);
            uint8_t* d = dstRow(y);
            for (int32_t x = 0; x < w; ++x, s += 2, d += 3) {
                const uint32_t p = uint32_t(s[0]) | uint32_t(s[1]) << 8;
                d[0] = uint8_t(p << 3);
                d[1] = uint8_t((p >> 5) << greenShift);
                d[2] = uint8_t((p >> redShift) << 3);
            }
        }
        return true;
    }
    return false;
}

bool DrawSurface::copyRect(const DrawSurface& source, Rect dest, Rect src, int32_t rotation) {
    if (dest.left < 0) {
        src.left -= dest.left;
        dest.left = 0;
    }
    if (dest.top < 0) {
        src.top -= dest.top;
        dest.top = 0;
    }
    // A zero-sized source would read as "the whole source" below.
    if (src.empty() || dest.empty()) return true;
    return copyBitmap(source, dest.left, dest.top, src.left, src.top, src.width(), src.height(), dest.width(),
                      dest.height(), rotation);
}

bool DrawSurface::copyFrom(DrawSurface& destination, int32_t destX, int32_t destY, int32_t srcX, int32_t srcY,
                           int32_t srcWidth, int32_t srcHeight, int32_t destWidth, int32_t destHeight,
                           int32_t rotation) const {
    return destination.copyBitmap(*this, destX, destY, srcX, srcY, srcWidth, srcHeight, destWidth, destHeight,
                                  rotation);
}

bool DrawSurface::rotateQuarter8(DrawSurface& destination, int32_t turn) const {
    if (turn != 1 && turn != 3) return false;
    if (destination.store_ == store_ || depth() != 8 || destination.depth() != 8) return false;
    if (destination.width() != height() || destination.height() != width()) return false;
    const int32_t w = width(), h = height();
    for (int32_t y = 0; y < h; ++y) {
        const uint8_t* s = row(y);
        if (turn == 1) {
            uint8_t* d = destination.pixels() + (h - 1 - y);
            for (int32_t x = 0; x < w; ++x) d[ptrdiff_t(x) * destination.pitch()] = s[x];
        } else {
            uint8_t* d = destination.pixels() + y;
            for (int32_t x = 0; x < w; ++x) d[ptrdiff_t(w - 1 - x) * destination.pitch()] = s[x];
        }
    }
    return true;
}

bool DrawSurface::mirror8(DrawSurface& destination, int32_t mode) const {
    if (mode != 1 && mode != 2) return false;
    if (destination.store_ == store_ || depth() != 8 || destination.depth() != 8) return false;
    if (destination.width() != width() || destination.height() != height()) return false;
    const int32_t w = width(), h = height();
    for (int32_t y = 0; y < h; ++y) {
        if (mode == 1) {
            const uint8_t* s = row(y);
            uint8_t* d = destination.row(y);
            for (int32_t x = 0; x < w; ++x) d[w - 1 - x] = s[x];
        } else {
            std::memcpy(destination.row(h - 1 - y), row(y), size_t(w));
        }
    }
    return true;
}

}  // namespace pavalo
