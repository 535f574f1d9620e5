// Generates the background tile shown while no puzzle is open: a 128 x 128
// 8-bit BMP of soft wood grain in warm browns that repeats without seams.
//
// Usage: pavalo-gen-tile OUT.bmp
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "media/bmp.h"

namespace {

constexpr int kSize = 128;
constexpr double kTwoPi = 6.283185307179586;

// A repeatable per-pixel hash in 0..1 for the fine fibres.
double fibre(int x, int y) {
    uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return double((h ^ (h >> 16)) & 0xFFFF) / 65535.0;
}

// Grain brightness 0..1 at a pixel. Every wave has a whole number of cycles
// across the tile in both directions, so the right edge continues into the
// left and the bottom into the top.
double grain(int x, int y) {
    const double u = kTwoPi * x / kSize, v = kTwoPi * y / kSize;
    // Rings run mostly along x, bent by slow waves.
    const double bend = 0.6 * std::sin(u + 0.5 * std::sin(2 * v)) + 0.25 * std::sin(3 * u + v);
    const double rings = 0.5 + 0.5 * std::sin(6 * v + 1.6 * bend);
    const double soft = 0.5 + 0.5 * std::sin(2 * v - u);
    // Fibres: streaks along the rows, a few pixels long, plus fine speckle.
    const double f = 0.5 * fibre(x / 8, y) + 0.3 * fibre((x + 4) / 8, y) + 0.2 * fibre(x, y);
    return std::clamp(0.5 * rings * rings + 0.25 * soft + 0.25 * f, 0.0, 1.0);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: pavalo-gen-tile OUT.bmp\n");
        return 2;
    }
    // A 256-step ramp from a dark walnut to a light oak.
    const double dark[3] = {92, 60, 38}, light[3] = {168, 124, 84};
    pavalo::DrawSurface tile;
    if (!tile.create(kSize, kSize, 8)) return 1;
    pavalo::PaletteTable palette{};
    for (int i = 0; i < 256; ++i) {
        const double t = i / 255.0;
        uint8_t rgb[3];
        for (int c = 0; c < 3; ++c) rgb[c] = uint8_t(std::lround(dark[c] + (light[c] - dark[c]) * t));
        palette[size_t(i)] = {rgb[0], rgb[1], rgb[2], 0};
    }
    tile.setPaletteEntries(palette, true);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) tile.row(y)[x] = uint8_t(std::lround(grain(x, y) * 255.0));
    if (!pavalo::saveBmp(tile, argv[1])) {
        std::fprintf(stderr, "pavalo-gen-tile: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
