#include "media/decoded_rows.h"

#include <algorithm>

namespace pavalo {
namespace {

// c over white with alpha a, rounded.
inline uint8_t overWhite(uint32_t c, uint32_t a) { return uint8_t((c * a + 255 * (255 - a) + 127) / 255); }

}  // namespace

void bgrRowTo16(uint8_t* out, const uint8_t* bgr, uint32_t width, bool layout555) {
    if (layout555) {
        for (uint32_t x = 0; x < width; ++x, bgr += 3, out += 2) {
            const uint16_t p = uint16_t(0x8000 | (bgr[2] & 0xF8) << 7 | (bgr[1] & 0xF8) << 2 | bgr[0] >> 3);
            out[0] = uint8_t(p);
            out[1] = uint8_t(p >> 8);
        }
    } else {
        for (uint32_t x = 0; x < width; ++x, bgr += 3, out += 2) {
            const uint16_t p = uint16_t((bgr[2] & 0xF8) << 8 | (bgr[1] & 0xF8) << 3 | bgr[0] >> 3);
            out[0] = uint8_t(p);
            out[1] = uint8_t(p >> 8);
        }
    }
}

LoadError RgbaRowSink::begin(DrawSurface& surface, int32_t width, int32_t height, int32_t depth) {
    out_ = &surface;
    target_ = depth == 8 ? &wide_ : &surface;
    if (!target_->create(width, height, depth == 8 ? 24 : depth)) return kLoadErrorNoSurface;
    return kLoadErrorNone;
}

void RgbaRowSink::putRow(int32_t y, const uint8_t* rgba) {
    DrawSurface& s = *target_;
    const uint32_t width = uint32_t(s.width());
    uint8_t* out = s.row(y);
    switch (s.depth()) {
        case 16: {
            // Composited in runs of 256 pixels through a small triple buffer.
            uint8_t bgr[3 * 256];
            for (uint32_t x0 = 0; x0 < width; x0 += 256) {
                const uint32_t n = std::min<uint32_t>(256, width - x0);
                for (uint32_t i = 0; i < n; ++i) {
                    const uint8_t* p = rgba + 4 * (x0 + i);
                    bgr[3 * i] = overWhite(p[2], p[3]);
                    bgr[3 * i + 1] = overWhite(p[1], p[3]);
                    bgr[3 * i + 2] = overWhite(p[0], p[3]);
                }
                bgrRowTo16(out + 2 * x0, bgr, n, s.is555());
            }
            break;
        }
        case 24:
            for (uint32_t x = 0; x < width; ++x, rgba += 4, out += 3) {
                out[0] = overWhite(rgba[2], rgba[3]);
                out[1] = overWhite(rgba[1], rgba[3]);
                out[2] = overWhite(rgba[0], rgba[3]);
            }
            break;
        default:
            for (uint32_t x = 0; x < width; ++x, rgba += 4, out += 4) {
                out[0] = overWhite(rgba[2], rgba[3]);
                out[1] = overWhite(rgba[1], rgba[3]);
                out[2] = overWhite(rgba[0], rgba[3]);
                out[3] = 0;
            }
            break;
    }
}

LoadError RgbaRowSink::finish() {
    if (target_ != &wide_) return kLoadErrorNone;
    const bool ok = out_->ditherFrom24(wide_);
    wide_.releasePixels();
    return ok ? kLoadErrorNone : kLoadErrorNoSurface;
}

}  // namespace pavalo
