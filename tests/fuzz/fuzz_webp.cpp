// libFuzzer target for the WebP decoder. The depth is chosen by the input's
// length so that one corpus reaches the 8-, 16- (both layouts), 24- and
// 32-bit paths.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "media/webp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Pictures above 4 MiB of pixels are refused before decoding, which keeps
    // every run quick; the limit path itself is part of what is exercised.
    pavalo::setSurfaceByteLimit(size_t(4) << 20);
    static const int32_t kDepths[] = {8, 16, pavalo::kDepth16555, 24, 32};
    const int32_t depth = kDepths[size % 5];
    pavalo::DrawSurface surface;
    if (pavalo::decodeWebpMemory(surface, std::span<const uint8_t>(data, size), depth)) {
        if (surface.depth() != (depth == pavalo::kDepth16555 ? 16 : depth)) std::abort();
    } else if (surface.lastLoadError != pavalo::kLoadErrorDamaged &&
               surface.lastLoadError != pavalo::kLoadErrorNoSurface) {
        std::abort();
    }
    return 0;
}
