// libFuzzer target for WDA animations. Whatever the bytes, drawing every
// frame must stay inside the surfaces, and an animation drawn onto 24 bits
// (converted) must show exactly what its 8-bit drawing shows through the
// palette, frame after frame, however damaged it is.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "media/wda.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace pavalo;
    WdaAnimation a;
    if (!a.loadBytes(std::span<const uint8_t>(data, size))) return 0;
    // Small surfaces keep each input quick; frames larger than them are clipped.
    const int32_t w = std::clamp(a.width(), 1, 64), h = std::clamp(a.height(), 1, 64);
    const int32_t frames = std::min(a.frameCount(), 40);
    for (int32_t i = 0; i < a.frameCount() && i < 1000; ++i) a.frameSize(i);

    if (a.originalPixelFormat() == kWdaIndexed8) {
        WdaAnimation b;
        check(b.loadBytes(a.data()));
        DrawSurface s8, s24;
        check(s8.create(w, h, 8) && s24.create(w, h, 24));
        const std::span<const uint8_t> pal = a.palette();
        // Both surfaces start as the same picture: index 0 and its colour.
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) {
                uint8_t* p = s24.row(y) + 3 * x;
                p[0] = pal[2], p[1] = pal[1], p[2] = pal[0];
            }
        for (int32_t i = 0; i < frames; ++i) {
            const int32_t x = i % 3 - 1, y = (i / 3) % 3 - 1;
            check(a.drawFrame(s8, i, x, y) == b.drawFrame(s24, i, x, y));
            for (int32_t yy = 0; yy < h; ++yy)
                for (int32_t xx = 0; xx < w; ++xx) {
                    const uint8_t* c = pal.data() + 3 * s8.row(yy)[xx];
                    const uint8_t* p = s24.row(yy) + 3 * xx;
                    check(p[0] == c[2] && p[1] == c[1] && p[2] == c[0]);
                }
        }
        check(b.conversions() <= 1);
    } else {
        for (int32_t depth : {8, 16, kDepth16555, 24, 32}) {
            DrawSurface s;
            check(s.create(w, h, depth));
            for (int32_t i = 0; i < frames; ++i) a.drawFrame(s, i, i % 5 - 2, i % 7 - 3);
        }
    }
    return 0;
}
