// PictureView: a read-only look at the puzzle's picture pixels for the
// colour tools, independent of the drawing surfaces that hold them.
//
// The view does not own the pixels; they must stay alive and unmoved while
// it is used. Rows are `pitch` bytes apart, top row first. Depths: 8
// (palette index, colours in `palette`), 16 (little-endian words, 5-6-5 or,
// with is555, 5-5-5), 24 (blue, green, red bytes) and 32 (blue, green, red,
// spare). A view whose fields do not describe readable memory is invalid and
// every tool treats it as an empty picture.
#pragma once

#include <array>
#include <cstdint>

namespace pavalo {

struct PictureRgb {
    uint8_t red = 0, green = 0, blue = 0;
    bool operator==(const PictureRgb&) const = default;
};

struct PictureView {
    const uint8_t* pixels = nullptr;
    int32_t width = 0, height = 0;
    int32_t pitch = 0;  // bytes from one row to the next
    int32_t depth = 0;  // 8, 16, 24 or 32
    bool is555 = false;                    // 16 bits: 5-5-5 layout instead of 5-6-5
    std::array<PictureRgb, 256> palette{};  // 8 bits: the colour of each index

    int32_t bytesPerPixel() const { return depth / 8; }
    bool valid() const {
        return pixels != nullptr && width > 0 && height > 0 &&
               (depth == 8 || depth == 16 || depth == 24 || depth == 32) &&
               int64_t(pitch) >= int64_t(width) * bytesPerPixel();
    }
    bool contains(int32_t x, int32_t y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    const uint8_t* at(int32_t x, int32_t y) const {
        return pixels + int64_t(y) * pitch + int64_t(x) * bytesPerPixel();
    }
};

}  // namespace pavalo
