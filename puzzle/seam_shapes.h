// Seam shapes: the stored neighbourhoods of a vertical seam (a left cell in
// colour 0, a right cell in colour 255, one knob) from which cut templates
// are built, and the tables that pick a shape size and join tolerance from
// the cell size.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace pavalo {

// An 8-bit pixel rectangle (one byte per pixel, pitch = width).
struct Bitmap8 {
    int32_t width = 0, height = 0;
    std::vector<uint8_t> pixels;

    Bitmap8() = default;
    Bitmap8(int32_t w, int32_t h, uint8_t fill = 0)
        : width(w), height(h), pixels(size_t(w) * size_t(h), fill) {}
    uint8_t* row(int32_t y) { return pixels.data() + size_t(y) * size_t(width); }
    const uint8_t* row(int32_t y) const { return pixels.data() + size_t(y) * size_t(width); }
    uint8_t at(int32_t x, int32_t y) const { return row(y)[x]; }
    uint8_t& at(int32_t x, int32_t y) { return row(y)[x]; }
};

inline constexpr int kSeamShapesPerSize = 48;

struct SeamShapeSet {
    int32_t size = 0;             // S: every shape is S x S
    std::vector<Bitmap8> shapes;  // pixels 0 (left cell) and 255 (right cell)
};

// The 21 shape sizes with their "PDF" resource ids, ascending by size.
struct SeamResource {
    int32_t size;
    uint32_t resourceId;
};
std::span<const SeamResource> seamResources();

// Largest stored size not above the cell; 12 for cells below 16.
int32_t seamShapeSizeForCell(int32_t cell);
uint32_t seamResourceIdForSize(int32_t size);  // 0 when there is none
// Join tolerance in pixels for a cell size: 7..50.
int32_t snapToleranceForCell(int32_t cell);

// Decodes a shape resource, checking every count and run; false with a
// reason on a malformed resource.
bool decodeSeamShapes(std::span<const uint8_t> bytes, SeamShapeSet& out, std::string& error);

// Loads the embedded shape set of a size; false when missing or malformed.
bool loadSeamShapes(int32_t size, SeamShapeSet& out, std::string& error);

// The last colour-0 column of a shape's top row (S - 1 when the row has no
// colour 255); for a flipped shape, mirrored and colour-exchanged, S - b - 2.
int32_t seamBoundaryColumn(const Bitmap8& shape, bool flipped);

}  // namespace pavalo
