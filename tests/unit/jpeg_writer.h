// Test and benchmark support: pictures of known content for the JPEG tests
// and benchmarks, encoded with the program's own JPEG writer.
#pragma once

#include <cstdint>
#include <vector>

#include "media/jpeg_writer.h"

namespace pavalo::testing {

using pavalo::encodeJpeg;

// A varied colour picture: smooth gradients crossed by sharp bands, so that
// every part of the decoder has work.
inline std::vector<uint8_t> syntheticPicture(int width, int height) {
    std::vector<uint8_t> rgb(size_t(width) * size_t(height) * 3);
    size_t i = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool band = ((x / 37) + (y / 23)) % 5 == 0;
            rgb[i++] = uint8_t(band ? 255 - (x * 255 / width) : x * 255 / width);
            rgb[i++] = uint8_t((y * 255 / height + (x * y) % 31) & 0xFF);
            rgb[i++] = uint8_t(band ? 40 : ((x + y) * 127 / (width + height) + 64));
        }
    }
    return rgb;
}

}  // namespace pavalo::testing
