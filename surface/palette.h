// Palette entries, colour values, the fixed DefaultPalette and colour matching.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace pavalo {

// One palette entry as surfaces keep it: red, green, blue and a flags byte.
struct PaletteEntry {
    uint8_t red = 0, green = 0, blue = 0, flags = 0;
    bool operator==(const PaletteEntry&) const = default;
};

// Every 8-bit palette has exactly 256 entries.
using PaletteTable = std::array<PaletteEntry, 256>;

// The flags value that every entry carries once it is set into a surface.
inline constexpr uint8_t kPaletteEntryFlags = 2;

// Colours passed around as one 32-bit value are 0x00BBGGRR.
constexpr uint32_t makeColour(uint8_t red, uint8_t green, uint8_t blue) {
    return uint32_t(red) | uint32_t(green) << 8 | uint32_t(blue) << 16;
}
constexpr uint8_t colourRed(uint32_t c) { return uint8_t(c); }
constexpr uint8_t colourGreen(uint32_t c) { return uint8_t(c >> 8); }
constexpr uint8_t colourBlue(uint32_t c) { return uint8_t(c >> 16); }

// A 0x00BBGGRR colour as a 16-bit pixel. The 5-5-5 form always sets the top bit.
constexpr uint16_t colourTo565(uint32_t c) {
    return uint16_t((colourRed(c) >> 3) << 11 | (colourGreen(c) >> 2) << 5 | colourBlue(c) >> 3);
}
constexpr uint16_t colourTo555(uint32_t c) {
    return uint16_t((colourRed(c) >> 3) << 10 | (colourGreen(c) >> 3) << 5 | colourBlue(c) >> 3 | 0x8000);
}

// Weighted distance used by every colour match: 35|dR| + 45|dG| + 20|dB|.
constexpr int32_t colourDistance(int32_t r1, int32_t g1, int32_t b1, int32_t r2, int32_t g2, int32_t b2) {
    auto absd = [](int32_t a, int32_t b) { return a > b ? a - b : b - a; };
    return 35 * absd(r1, r2) + 45 * absd(g1, g2) + 20 * absd(b1, b2);
}
constexpr int32_t colourDistance(const PaletteEntry& a, const PaletteEntry& b) {
    return colourDistance(a.red, a.green, a.blue, b.red, b.green, b.blue);
}

// Index of the entry nearest (r, g, b). Entries are visited in index order and
// only a strictly smaller distance replaces the best, so ties go to the lowest.
uint8_t nearestPaletteIndex(const PaletteTable& table, int32_t red, int32_t green, int32_t blue);

// The program's fixed 256-colour palette: the 20 system static colours in
// entries 0-9 and 246-255, a colour grid in 10-243 and two dark greys.
// Flags bytes are 0.
const PaletteTable& defaultPalette();

// The palette a surface gets when one is needed and none was given:
// entry i is (i, i, i), flags 0.
const PaletteTable& greyPalette();

// Palette tables from the two stored forms: 256 (red, green, blue) triples
// and 256 (blue, green, red, reserved) quads. Flags become 0.
PaletteTable paletteFromTriples(std::span<const uint8_t, 768> triples);
PaletteTable paletteFromQuads(std::span<const uint8_t, 1024> quads);

}  // namespace pavalo
