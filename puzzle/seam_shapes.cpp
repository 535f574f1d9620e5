// Seam-shape resources: size tables and a checked decoder.
#include "puzzle/seam_shapes.h"

#include <array>

#include "common/file_io.h"
#include "common/resources.h"

namespace pavalo {
namespace {

constexpr std::array<SeamResource, 21> kSeamResources = {{
    {12, 141}, {16, 153}, {20, 155}, {24, 157}, {28, 159}, {32, 160}, {36, 161},
    {40, 162}, {44, 163}, {48, 164}, {56, 165}, {64, 166}, {72, 167}, {80, 150},
    {96, 169}, {112, 168}, {128, 151}, {160, 152}, {192, 154}, {224, 156}, {256, 158},
}};

struct Tolerance {
    int32_t minCell, tolerance;
};
constexpr std::array<Tolerance, 13> kTolerances = {{
    {256, 50}, {224, 44}, {192, 38}, {160, 32}, {128, 26}, {112, 22}, {96, 18},
    {80, 16}, {72, 14}, {64, 12}, {56, 10}, {48, 9}, {44, 8},
}};

}  // namespace

std::span<const SeamResource> seamResources() { return kSeamResources; }

int32_t seamShapeSizeForCell(int32_t cell) {
    int32_t size = 12;
    for (const auto& r : kSeamResources)
        if (r.size <= cell) size = r.size;
    return size;
}

uint32_t seamResourceIdForSize(int32_t size) {
    for (const auto& r : kSeamResources)
        if (r.size == size) return r.resourceId;
    return 0;
}

int32_t snapToleranceForCell(int32_t cell) {
    for (const auto& t : kTolerances)
        if (cell >= t.minCell) return t.tolerance;
    return 7;
}

bool decodeSeamShapes(std::span<const uint8_t> bytes, SeamShapeSet& out, std::string& error) {
    ByteReader in(bytes);
    uint32_t height = in.u32(), width = in.u32(), count = in.u32();
    if (!in.ok() || height != width || height == 0 || height > 4096 || count == 0 ||
        count > 1024) {
        error = "seam shapes: bad header";
        return false;
    }
    int32_t s = int32_t(width);
    out.size = s;
    out.shapes.assign(count, Bitmap8(s, s));
    for (uint32_t k = 0; k < count; ++k) {
        Bitmap8& shape = out.shapes[k];
        for (int32_t y = 0; y < s; ++y) {
            uint32_t runs = in.u32();
            if (!in.ok() || runs > uint32_t(s) + 1) {
                error = "seam shapes: bad run count";
                return false;
            }
            uint32_t x = 0;
            uint8_t colour = 0;
            for (uint32_t r = 0; r < runs; ++r) {
                uint32_t len = in.u32();
                if (!in.ok() || len > uint32_t(s) - x) {
                    error = "seam shapes: runs exceed the shape width";
                    return false;
                }
                std::fill_n(shape.row(y) + x, len, colour);
                x += len;
                colour ^= 0xff;
            }
            if (x != uint32_t(s)) {
                error = "seam shapes: runs do not fill a row";
                return false;
            }
        }
    }
    return true;
}

bool loadSeamShapes(int32_t size, SeamShapeSet& out, std::string& error) {
    uint32_t id = seamResourceIdForSize(size);
    auto bytes = id ? findResource("PDF", id) : std::span<const uint8_t>{};
    if (bytes.empty()) {
        error = "seam shapes of size " + std::to_string(size) + " are missing";
        return false;
    }
    if (!decodeSeamShapes(bytes, out, error)) return false;
    if (out.size != size || out.shapes.size() != kSeamShapesPerSize) {
        error = "seam shapes of size " + std::to_string(size) + " have the wrong size or count";
        return false;
    }
    return true;
}

int32_t seamBoundaryColumn(const Bitmap8& shape, bool flipped) {
    int32_t s = shape.width;
    int32_t b = s - 1;
    const uint8_t* top = shape.row(0);
    for (int32_t x = 0; x < s; ++x) {
        if (top[x] != 0) {
            b = x - 1;
            break;
        }
    }
    return flipped ? s - b - 2 : b;
}

}  // namespace pavalo
