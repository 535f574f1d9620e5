// The DefaultPalette table, the grey palette and nearest-colour search.
#include "surface/palette.h"

namespace pavalo {
namespace {

struct Rgb {
    uint8_t r, g, b;
};

// clang-format off
// Entries 0-67 as (red, green, blue), four to a line.
constexpr Rgb kLow[68] = {
    /*   0 */ {0, 0, 0}, {128, 0, 0}, {0, 128, 0}, {128, 128, 0},
    /*   4 */ {0, 0, 128}, {128, 0, 128}, {0, 128, 124}, {192, 192, 192},
    /*   8 */ {192, 220, 192}, {164, 200, 240}, {0, 28, 0}, {0, 28, 84},
    /*  12 */ {0, 28, 168}, {0, 60, 0}, {0, 60, 84}, {0, 92, 0},
    /*  16 */ {0, 92, 84}, {0, 92, 168}, {0, 92, 252}, {0, 124, 0},
    /*  20 */ {0, 124, 84}, {0, 124, 168}, {0, 124, 252}, {0, 156, 0},
    /*  24 */ {0, 156, 84}, {0, 156, 168}, {0, 156, 252}, {0, 188, 0},
    /*  28 */ {0, 188, 84}, {0, 188, 168}, {0, 188, 252}, {0, 220, 0},
    /*  32 */ {0, 220, 84}, {0, 220, 168}, {0, 220, 252}, {0, 252, 84},
    /*  36 */ {0, 252, 168}, {40, 0, 0}, {40, 0, 84}, {40, 28, 0},
    /*  40 */ {40, 28, 84}, {40, 60, 0}, {40, 60, 84}, {40, 60, 168},
    /*  44 */ {40, 92, 0}, {40, 92, 84}, {40, 92, 168}, {40, 92, 252},
    /*  48 */ {40, 124, 0}, {40, 124, 84}, {40, 124, 168}, {40, 124, 252},
    /*  52 */ {40, 156, 0}, {40, 156, 84}, {40, 156, 168}, {40, 156, 252},
    /*  56 */ {40, 188, 0}, {40, 188, 84}, {40, 188, 168}, {40, 188, 252},
    /*  60 */ {40, 220, 0}, {40, 220, 84}, {40, 220, 168}, {40, 220, 252},
    /*  64 */ {40, 252, 0}, {40, 252, 84}, {40, 252, 168}, {40, 252, 252},
};

// Entries 212-255 as (red, green, blue), four to a line.
constexpr Rgb kHigh[44] = {
    /* 212 */ {252, 0, 84}, {252, 0, 168}, {252, 28, 0}, {252, 28, 84},
    /* 216 */ {252, 28, 168}, {252, 28, 252}, {252, 60, 0}, {252, 60, 84},
    /* 220 */ {252, 60, 168}, {252, 60, 252}, {252, 92, 0}, {252, 92, 84},
    /* 224 */ {252, 92, 168}, {252, 92, 252}, {252, 124, 0}, {252, 124, 84},
    /* 228 */ {252, 124, 168}, {252, 124, 252}, {252, 156, 0}, {252, 156, 84},
    /* 232 */ {252, 156, 168}, {252, 156, 252}, {252, 188, 0}, {252, 188, 84},
    /* 236 */ {252, 188, 168}, {252, 188, 252}, {252, 220, 0}, {252, 220, 84},
    /* 240 */ {252, 220, 168}, {252, 220, 252}, {252, 252, 84}, {252, 252, 168},
    /* 244 */ {16, 16, 16}, {32, 32, 32}, {252, 248, 240}, {160, 160, 164},
    /* 248 */ {128, 128, 128}, {252, 0, 0}, {0, 252, 0}, {252, 252, 0},
    /* 252 */ {0, 0, 252}, {252, 0, 252}, {0, 252, 252}, {252, 252, 252},
};
// clang-format on

constexpr PaletteTable buildDefaultPalette() {
    PaletteTable t{};
    int n = 0;
    for (const Rgb& c : kLow) t[n++] = {c.r, c.g, c.b, 0};
    // 68-211: the complete grid for the middle four reds.
    constexpr uint8_t reds[] = {84, 124, 168, 212};
    constexpr uint8_t greens[] = {0, 28, 60, 92, 124, 156, 188, 220, 252};
    constexpr uint8_t blues[] = {0, 84, 168, 252};
    for (uint8_t r : reds)
        for (uint8_t g : greens)
            for (uint8_t b : blues) t[n++] = {r, g, b, 0};
    for (const Rgb& c : kHigh) t[n++] = {c.r, c.g, c.b, 0};
    return t;
}

constexpr PaletteTable kDefaultPalette = buildDefaultPalette();
static_assert(kDefaultPalette[211] == PaletteEntry{212, 252, 252, 0});
static_assert(kDefaultPalette[212] == PaletteEntry{252, 0, 84, 0});
static_assert(kDefaultPalette[255] == PaletteEntry{252, 252, 252, 0});

constexpr PaletteTable buildGreyPalette() {
    PaletteTable t{};
    for (int i = 0; i < 256; ++i) t[i] = {uint8_t(i), uint8_t(i), uint8_t(i), 0};
    return t;
}
constexpr PaletteTable kGreyPalette = buildGreyPalette();

}  // namespace

const PaletteTable& defaultPalette() { return kDefaultPalette; }
const PaletteTable& greyPalette() { return kGreyPalette; }

uint8_t nearestPaletteIndex(const PaletteTable& table, int32_t red, int32_t green, int32_t blue) {
    int32_t best = 100000000;
    uint8_t bestIndex = 0;
    for (int i = 0; i < 256; ++i) {
        const PaletteEntry& e = table[i];
        int32_t d = colourDistance(red, green, blue, e.red, e.green, e.blue);
        if (d < best) {
            best = d;
            bestIndex = uint8_t(i);
        }
    }
    return bestIndex;
}

PaletteTable paletteFromTriples(std::span<const uint8_t, 768> triples) {
    PaletteTable t{};
    for (int i = 0; i < 256; ++i) t[i] = {triples[3 * i], triples[3 * i + 1], triples[3 * i + 2], 0};
    return t;
}

PaletteTable paletteFromQuads(std::span<const uint8_t, 1024> quads) {
    PaletteTable t{};
    for (int i = 0; i < 256; ++i) t[i] = {quads[4 * i + 2], quads[4 * i + 1], quads[4 * i], 0};
    return t;
}

}  // namespace pavalo
