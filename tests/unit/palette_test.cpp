// Palettes: DefaultPalette, nearest-colour search, palette setting and the
// palette algorithms (remap, fit to statics, shrink, dither, scaled copy).
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <vector>

#include "surface/draw_surface.h"

namespace pavalo {
namespace {

std::vector<uint8_t> bytesOf(const DrawSurface& s) {
    std::vector<uint8_t> v;
    const int32_t rowBytes = s.width() * s.depth() / 8;
    for (int32_t y = 0; y < s.height(); ++y) v.insert(v.end(), s.row(y), s.row(y) + rowBytes);
    return v;
}

void fillRandom(DrawSurface& s, uint32_t seed) {
    std::mt19937 rng(seed);
    for (int32_t y = 0; y < s.height(); ++y)
        for (int32_t x = 0; x < s.width() * s.depth() / 8; ++x) s.row(y)[x] = uint8_t(rng());
}

PaletteEntry rgb(uint8_t r, uint8_t g, uint8_t b) { return {r, g, b, 0}; }

TEST(DefaultPaletteTable, ListedEntries) {
    const PaletteTable& p = defaultPalette();
    const std::pair<int, PaletteEntry> listed[] = {
        {0, rgb(0, 0, 0)},         {6, rgb(0, 128, 124)},     {9, rgb(164, 200, 240)},
        {10, rgb(0, 28, 0)},       {36, rgb(0, 252, 168)},    {37, rgb(40, 0, 0)},
        {67, rgb(40, 252, 252)},   {68, rgb(84, 0, 0)},       {69, rgb(84, 0, 84)},
        {104, rgb(124, 0, 0)},     {140, rgb(168, 0, 0)},     {176, rgb(212, 0, 0)},
        {211, rgb(212, 252, 252)}, {212, rgb(252, 0, 84)},    {243, rgb(252, 252, 168)},
        {244, rgb(16, 16, 16)},    {245, rgb(32, 32, 32)},    {246, rgb(252, 248, 240)},
        {247, rgb(160, 160, 164)}, {248, rgb(128, 128, 128)}, {249, rgb(252, 0, 0)},
        {253, rgb(252, 0, 252)},   {255, rgb(252, 252, 252)},
    };
    for (const auto& [i, e] : listed) EXPECT_EQ(p[size_t(i)], e) << i;
    // 10-243 are points of the colour grid.
    const std::set<int> reds{0, 40, 84, 124, 168, 212, 252}, greens{0, 28, 60, 92, 124, 156, 188, 220, 252},
        blues{0, 84, 168, 252};
    for (int i = 10; i < 244; ++i) {
        EXPECT_TRUE(reds.count(p[size_t(i)].red) && greens.count(p[size_t(i)].green) &&
                    blues.count(p[size_t(i)].blue))
            << i;
    }
    EXPECT_EQ(greyPalette()[77], rgb(77, 77, 77));
}

TEST(PaletteMatch, NearestIndexTiesGoToLowerIndex) {
    PaletteTable t;
    t.fill(rgb(255, 255, 255));
    t[3] = rgb(10, 0, 0);
    t[7] = rgb(30, 0, 0);
    EXPECT_EQ(nearestPaletteIndex(t, 20, 0, 0), 3);
    EXPECT_EQ(nearestPaletteIndex(t, 21, 0, 0), 7);
    EXPECT_EQ(colourDistance(rgb(0, 0, 0), rgb(1, 2, 3)), 35 + 90 + 60);

    DrawSurface s;
    ASSERT_TRUE(s.create(1, 1, 8));
    EXPECT_EQ(s.nearestIndex(makeColour(20, 0, 0)), 0);  // no palette yet
    s.setPaletteEntries(t, false);
    EXPECT_EQ(s.nearestIndex(makeColour(20, 0, 0)), 3);
    DrawSurface deep;
    ASSERT_TRUE(deep.create(1, 1, 24));
    EXPECT_EQ(deep.nearestIndex(makeColour(20, 0, 0)), 0);
}

TEST(PaletteSet, FlagsClearingAndSources) {
    DrawSurface s;
    ASSERT_TRUE(s.create(3, 2, 8));
    s.rectFill(9);
    PaletteTable t = greyPalette();
    t[5] = {1, 2, 3, 77};
    ASSERT_TRUE(s.setPaletteEntries(t, false));
    PaletteTable got;
    ASSERT_TRUE(s.getPaletteEntries(got));
    EXPECT_EQ(got[5], (PaletteEntry{1, 2, 3, 2}));
    EXPECT_EQ(got[200].flags, 2);
    EXPECT_EQ(bytesOf(s), std::vector<uint8_t>(6, 9));
    ASSERT_TRUE(s.setPaletteEntries(t, true));
    EXPECT_EQ(bytesOf(s), std::vector<uint8_t>(6, 0));

    std::vector<uint8_t> quads(1024), triples(768);
    for (int i = 0; i < 1024; ++i) quads[size_t(i)] = uint8_t(i % 4 == 3 ? 99 : i / 4 + i % 4);
    for (int i = 0; i < 768; ++i) triples[size_t(i)] = uint8_t(i / 3 + i % 3);
    ASSERT_TRUE(s.setPaletteFromQuads(std::span<const uint8_t, 1024>(quads.data(), 1024), false));
    s.getPaletteEntries(got);
    EXPECT_EQ(got[10], (PaletteEntry{12, 11, 10, 2}));  // stored blue, green, red
    ASSERT_TRUE(s.setPaletteFromPicture(std::span<const uint8_t, 768>(triples.data(), 768), false));
    s.getPaletteEntries(got);
    EXPECT_EQ(got[10], (PaletteEntry{10, 11, 12, 2}));

    DrawSurface other;
    ASSERT_TRUE(other.create(1, 1, 8));
    ASSERT_TRUE(s.copyPaletteFrom(other, false));  // other has none: grey
    s.getPaletteEntries(got);
    EXPECT_EQ(got[10], (PaletteEntry{10, 10, 10, 2}));

    DrawSurface deep;
    ASSERT_TRUE(deep.create(2, 2, 24));
    EXPECT_TRUE(deep.setPaletteEntries(t, true));  // succeeds doing nothing
    EXPECT_FALSE(deep.hasPalette());
    EXPECT_FALSE(deep.getPaletteEntries(got));
    EXPECT_EQ(deep.presentationTable(), nullptr);
}

TEST(PaletteSet, PresentationTableFollowsPalette) {
    DrawSurface s;
    ASSERT_TRUE(s.create(2, 2, 8));
    const PresentationTable* t = s.presentationTable();  // made with the grey palette
    ASSERT_NE(t, nullptr);
    EXPECT_EQ((*t)[0x40], 0xFF404040u);
    EXPECT_TRUE(s.hasPalette());
    s.setDefaultPalette();
    t = s.presentationTable();
    EXPECT_EQ((*t)[249], 0xFFFC0000u);
    EXPECT_EQ((*t)[1], 0xFF800000u);
}

TEST(PaletteRemap, PixelsFollowTheirColours) {
    DrawSurface s;
    ASSERT_TRUE(s.create(3, 1, 8));
    EXPECT_FALSE(s.remapToDefaultPalette());  // no palette
    PaletteTable t = greyPalette();
    t[0] = rgb(250, 0, 0);
    t[1] = rgb(0, 0, 250);
    t[2] = rgb(17, 17, 17);
    s.setPaletteEntries(t, false);
    s.row(0)[0] = 0;
    s.row(0)[1] = 1;
    s.row(0)[2] = 2;
    ASSERT_TRUE(s.remapToDefaultPalette());
    EXPECT_EQ(bytesOf(s), (std::vector<uint8_t>{249, 252, 244}));
    PaletteTable got;
    s.getPaletteEntries(got);
    EXPECT_EQ(got[249], (PaletteEntry{252, 0, 0, 2}));
}

// The flags bytes differ (2 once set); compare colours only.
bool sameColour(const PaletteEntry& a, const PaletteEntry& b) {
    return a.red == b.red && a.green == b.green && a.blue == b.blue;
}

TEST(FitPaletteToStatics, TwentyStaticLookalikesOnlyMove) {
    // Entries 100-119 are within distance 100 of the 20 static colours; the
    // rest are distinct colours far from every static colour.
    PaletteTable cur;
    std::vector<int> statics;
    for (int k = 0; k < 10; ++k) statics.push_back(k);
    for (int k = 246; k < 256; ++k) statics.push_back(k);
    int n = 0;
    for (int i = 0; i < 256; ++i) {
        if (i >= 100 && i < 120) {
            PaletteEntry e = defaultPalette()[size_t(statics[size_t(i - 100)])];
            e.blue = uint8_t(e.blue > 2 ? e.blue - 2 : e.blue + 2);  // distance 40
            cur[size_t(i)] = e;
        } else {
            cur[size_t(i)] =
                rgb(uint8_t(20 + (n % 6) * 40), uint8_t(12 + (n / 6 % 7) * 35), uint8_t(70 + n / 42 * 30));
            ++n;
        }
    }
    DrawSurface s;
    ASSERT_TRUE(s.create(256, 1, 8));
    for (int i = 0; i < 256; ++i) s.row(0)[i] = uint8_t(i);
    s.setPaletteEntries(cur, false);
    ASSERT_TRUE(s.fitPaletteToStatics());
    PaletteTable got;
    s.getPaletteEntries(got);
    int next = 10;
    for (int i = 0; i < 256; ++i) {
        const int want = (i >= 100 && i < 120) ? statics[size_t(i - 100)] : next++;
        EXPECT_EQ(s.row(0)[i], want) << i;
        if (want >= 10 && want < 246) {
            EXPECT_TRUE(sameColour(got[size_t(want)], cur[size_t(i)])) << i;
        }
    }
    for (int k : statics) EXPECT_TRUE(sameColour(got[size_t(k)], defaultPalette()[size_t(k)])) << k;
}

TEST(FitPaletteToStatics, GreyRampGolden) {
    // Black, 128, 160, 192 and 252 meet static colours; the other 15 slots
    // come from merging neighbours 1+2, 3+4, ..., 29+30 at threshold 200.
    DrawSurface s;
    ASSERT_TRUE(s.create(256, 1, 8));
    for (int i = 0; i < 256; ++i) s.row(0)[i] = uint8_t(i);
    s.setPaletteEntries(greyPalette(), false);
    ASSERT_TRUE(s.fitPaletteToStatics());
    std::vector<int> want(256);
    want[0] = 0;
    want[128] = 248;
    want[160] = 247;
    want[192] = 7;
    want[252] = 255;
    for (int k = 1; k <= 29; k += 2) want[size_t(k)] = want[size_t(k + 1)] = 10 + (k - 1) / 2;
    int next = 25;
    for (int i = 31; i < 256; ++i)
        if (i != 128 && i != 160 && i != 192 && i != 252) want[size_t(i)] = next++;
    EXPECT_EQ(next, 246);
    PaletteTable got;
    s.getPaletteEntries(got);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(s.row(0)[i], want[size_t(i)]) << i;
    // A shared slot shows the higher-numbered of its colours.
    EXPECT_TRUE(sameColour(got[10], rgb(2, 2, 2)));
    EXPECT_TRUE(sameColour(got[24], rgb(30, 30, 30)));
    EXPECT_TRUE(sameColour(got[25], rgb(31, 31, 31)));
    EXPECT_TRUE(sameColour(got[248], defaultPalette()[248]));
}

TEST(FitPaletteToStatics, RandomPalettesKeepStaticsIntact) {
    // However the colours lie, the result has the static colours in 0-9 and
    // 246-255 and every other colour in one slot of 10-245 near its own.
    std::mt19937 rng(7);
    for (int trial = 0; trial < 30; ++trial) {
        PaletteTable cur;
        for (PaletteEntry& e : cur) e = rgb(uint8_t(rng()), uint8_t(rng()), uint8_t(rng()));
        DrawSurface s;
        ASSERT_TRUE(s.create(256, 1, 8));
        for (int i = 0; i < 256; ++i) s.row(0)[i] = uint8_t(i);
        s.setPaletteEntries(cur, false);
        ASSERT_TRUE(s.fitPaletteToStatics());
        PaletteTable got;
        s.getPaletteEntries(got);
        for (int k = 0; k < 256; ++k) {
            if (k < 10 || k > 245) {
                EXPECT_TRUE(sameColour(got[size_t(k)], defaultPalette()[size_t(k)])) << trial;
            }
        }
        std::set<int> used;
        for (int i = 0; i < 256; ++i) used.insert(s.row(0)[i]);
        int mid = 0;
        for (int v : used) mid += v >= 10 && v <= 245;
        EXPECT_EQ(mid, 236) << trial;  // every free slot in use, none lost
    }
    DrawSurface deep, bare;
    ASSERT_TRUE(deep.create(2, 2, 16));
    ASSERT_TRUE(bare.create(2, 2, 8));
    EXPECT_FALSE(deep.fitPaletteToStatics());
    EXPECT_FALSE(bare.fitPaletteToStatics());
}

// The box filter as written: blocks of xStep or xStep + 1 columns chosen by
// carrying the 16.16 remainder, averaged with integer division.
std::vector<uint8_t> referenceShrink(const DrawSurface& src, int32_t w, int32_t h) {
    const int32_t sw = src.width(), sh = src.height();
    const int64_t xStep = sw / w, yStep = sh / h;
    const int64_t xFrac = (int64_t(sw) * 65536) / w - xStep * 65536,
                  yFrac = (int64_t(sh) * 65536) / h - yStep * 65536;
    std::vector<int64_t> colStart, colWidth, rowStart, rowHeight;
    auto blocks = [](int64_t n, int64_t step, int64_t frac, std::vector<int64_t>& start,
                     std::vector<int64_t>& size) {
        int64_t acc = 0, pos = 0;
        for (int64_t i = 0; i < n; ++i) {
            int64_t b = step;
            if (acc >= 65536) {
                ++b;
                acc -= 65536;
            }
            start.push_back(pos);
            size.push_back(b);
            pos += b;
            acc += frac;
        }
    };
    blocks(w, xStep, xFrac, colStart, colWidth);
    blocks(h, yStep, yFrac, rowStart, rowHeight);
    std::vector<uint8_t> out;
    for (int32_t oy = 0; oy < h; ++oy) {
        for (int32_t ox = 0; ox < w; ++ox) {
            for (int c = 0; c < 3; ++c) {
                int64_t sum = 0;
                for (int64_t y = rowStart[size_t(oy)]; y < rowStart[size_t(oy)] + rowHeight[size_t(oy)]; ++y)
                    for (int64_t x = colStart[size_t(ox)]; x < colStart[size_t(ox)] + colWidth[size_t(ox)];
                         ++x)
                        sum += src.row(int32_t(y))[x * 3 + c];
                out.push_back(uint8_t(sum / (rowHeight[size_t(oy)] * colWidth[size_t(ox)])));
            }
        }
    }
    return out;
}

std::vector<uint8_t> topLeftBytes(const DrawSurface& s, int32_t w, int32_t h) {
    std::vector<uint8_t> v;
    for (int32_t y = 0; y < h; ++y) v.insert(v.end(), s.row(y), s.row(y) + w * 3);
    return v;
}

TEST(ShrinkFrom24, GoldenBlocks) {
    // Eight columns into three: blocks of 2, 2 and 3 columns (column 7 unused).
    DrawSurface src, dst;
    ASSERT_TRUE(src.create(8, 1, 24));
    const uint8_t values[8] = {10, 20, 30, 41, 50, 60, 71, 250};
    for (int x = 0; x < 8; ++x) src.row(0)[x * 3] = src.row(0)[x * 3 + 1] = src.row(0)[x * 3 + 2] = values[x];
    ASSERT_TRUE(dst.create(4, 2, 24));
    ASSERT_TRUE(src.shrinkFrom24(dst, 3, 1));
    EXPECT_EQ(topLeftBytes(dst, 4, 1), (std::vector<uint8_t>{15, 15, 15, 35, 35, 35, 60, 60, 60, 0, 0, 0}));
    // Two rows of a three-row picture: blocks of one row, the last row unused.
    DrawSurface tall;
    ASSERT_TRUE(tall.create(1, 3, 24));
    for (int y = 0; y < 3; ++y) tall.row(y)[0] = tall.row(y)[1] = tall.row(y)[2] = uint8_t(100 * y + 1);
    ASSERT_TRUE(tall.shrinkFrom24(dst, 1, 2));
    EXPECT_EQ(dst.row(0)[0], 1);
    EXPECT_EQ(dst.row(1)[0], 101);
}

TEST(ShrinkFrom24, MatchesReferenceAndEnlargesByStretching) {
    std::mt19937 rng(3);
    for (int trial = 0; trial < 25; ++trial) {
        DrawSurface src, dst;
        ASSERT_TRUE(src.create(1 + int32_t(rng() % 90), 1 + int32_t(rng() % 90), 24));
        fillRandom(src, rng());
        const int32_t w = 1 + int32_t(rng() % uint32_t(src.width())),
                      h = 1 + int32_t(rng() % uint32_t(src.height()));
        ASSERT_TRUE(dst.create(w + 2, h + 1, 24));
        ASSERT_TRUE(src.shrinkFrom24(dst, w, h));
        EXPECT_EQ(topLeftBytes(dst, w, h), referenceShrink(src, w, h)) << trial;
    }
    DrawSurface small, big;
    ASSERT_TRUE(small.create(2, 1, 24));
    small.row(0)[0] = 7;
    small.row(0)[3] = 9;
    ASSERT_TRUE(big.create(4, 2, 24));
    ASSERT_TRUE(small.shrinkFrom24(big, 4, 2));
    EXPECT_EQ(big.row(1)[3], 7);
    EXPECT_EQ(big.row(1)[6], 9);
    EXPECT_FALSE(small.shrinkFrom24(big, 5, 2));  // larger than the destination
}

// The dither as written, with explicit error arrays per row.
std::vector<uint8_t> referenceDither(const DrawSurface& src) {
    std::vector<uint8_t> out;
    int firstErr[3] = {0, 0, 0};
    for (int32_t y = 0; y < src.height(); ++y) {
        int err[3] = {firstErr[0], firstErr[1], firstErr[2]};
        for (int32_t x = 0; x < src.width(); ++x) {
            int v[3];
            for (int c = 0; c < 3; ++c) v[c] = std::clamp(src.row(y)[x * 3 + c] + err[c], 0, 255);
            const int b = v[0] >> 6, g = v[1] >> 5, r = v[2] >> 5;
            out.push_back(nearestPaletteIndex(defaultPalette(), r * 32 + 16, g * 32 + 16, b * 64 + 32));
            err[0] = (v[0] & 63) - 32;
            err[1] = (v[1] & 31) - 16;
            err[2] = (v[2] & 31) - 16;
            if (x == 0) std::copy(err, err + 3, firstErr);
        }
    }
    return out;
}

TEST(DitherFrom24, GoldenAndReference) {
    DrawSurface src, dst;
    ASSERT_TRUE(src.create(2, 2, 24));
    src.rectFill(0xFFFFFF);
    ASSERT_TRUE(dst.ditherFrom24(src));
    // White sits in the grid cell (240, 240, 224), nearest to entry 246.
    EXPECT_EQ(bytesOf(dst), std::vector<uint8_t>(4, 246));
    src.rectFill(0);
    ASSERT_TRUE(dst.ditherFrom24(src));
    EXPECT_EQ(bytesOf(dst), std::vector<uint8_t>(4, 244));  // (16, 16, 32) -> (16, 16, 16)
    PaletteTable got;
    ASSERT_TRUE(dst.getPaletteEntries(got));
    EXPECT_TRUE(sameColour(got[100], defaultPalette()[100]));

    std::mt19937 rng(11);
    for (int trial = 0; trial < 10; ++trial) {
        ASSERT_TRUE(src.create(1 + int32_t(rng() % 40), 1 + int32_t(rng() % 40), 24));
        fillRandom(src, rng());
        ASSERT_TRUE(dst.ditherFrom24(src));
        EXPECT_EQ(bytesOf(dst), referenceDither(src)) << trial;
    }
    DrawSurface s16;
    ASSERT_TRUE(s16.create(2, 2, 16));
    EXPECT_FALSE(dst.ditherFrom24(s16));
}

TEST(MakeScaledCopy8, SizesFollowAspectRatio) {
    DrawSurface src, dst;
    ASSERT_TRUE(src.create(300, 200, 24));
    ASSERT_TRUE(dst.makeScaledCopy8(src, 96, -1));
    EXPECT_EQ(dst.width(), 96);
    EXPECT_EQ(dst.height(), 64);
    EXPECT_EQ(dst.depth(), 8);
    ASSERT_TRUE(src.create(200, 301, 24));
    ASSERT_TRUE(dst.makeScaledCopy8(src, -1, 96));
    EXPECT_EQ(dst.width(), 63);  // 96 * 200 / 301 = 63.8, truncated
    ASSERT_TRUE(dst.makeScaledCopy8(src, -1, -1));
    EXPECT_EQ(dst.width(), 200);
    EXPECT_EQ(dst.height(), 301);
    EXPECT_FALSE(dst.makeScaledCopy8(dst, 10, 10));
}

TEST(MakeScaledCopy8, EveryDepthGivesDefaultPaletteColours) {
    // A picture of four flat quadrants, red, green, blue and grey, reduced
    // to 4 x 4 from every depth: each quadrant keeps a fitting colour.
    const uint32_t quadrant[4] = {makeColour(252, 0, 0), makeColour(0, 252, 0), makeColour(0, 0, 252),
                                  makeColour(128, 128, 128)};
    const uint8_t expected[4] = {249, 250, 252, 248};
    DrawSurface s24;
    ASSERT_TRUE(s24.create(40, 40, 24));
    for (int q = 0; q < 4; ++q) {
        Rect r{(q % 2) * 20, (q / 2) * 20, (q % 2) * 20 + 20, (q / 2) * 20 + 20};
        s24.rectFill(s24.nativeColour(quadrant[q]), &r);
    }
    DrawSurface s8, s16;
    ASSERT_TRUE(s8.create(40, 40, 8));
    s8.setDefaultPalette();
    for (int32_t y = 0; y < 40; ++y)
        for (int32_t x = 0; x < 40; ++x) {
            const int q = (y / 20) * 2 + x / 20;
            s8.row(y)[x] = expected[q];
        }
    ASSERT_TRUE(s16.create(40, 40, 16));
    ASSERT_TRUE(s16.copyBitmap(s24, 0, 0));
    for (const DrawSurface* src : {&s24, &s8, &s16}) {
        DrawSurface thumb;
        ASSERT_TRUE(thumb.makeScaledCopy8(*src, 4, 4));
        PaletteTable got;
        ASSERT_TRUE(thumb.getPaletteEntries(got));
        EXPECT_TRUE(sameColour(got[77], defaultPalette()[77]));
        // Dithering spreads a colour over neighbours: compare each quadrant's
        // mean colour.
        for (int q = 0; q < 4; ++q) {
            int r = 0, g = 0, b = 0;
            for (int32_t y = (q / 2) * 2; y < (q / 2) * 2 + 2; ++y)
                for (int32_t x = (q % 2) * 2; x < (q % 2) * 2 + 2; ++x) {
                    const PaletteEntry& e = got[thumb.row(y)[x]];
                    r += e.red, g += e.green, b += e.blue;
                }
            const uint32_t want = quadrant[q];
            EXPECT_LT(
                colourDistance(r / 4, g / 4, b / 4, colourRed(want), colourGreen(want), colourBlue(want)),
                1500)
                << "depth " << src->depth() << " quadrant " << q;
        }
    }
    // From 8 bits at the same size every pixel is the nearest default colour.
    DrawSurface same;
    ASSERT_TRUE(same.makeScaledCopy8(s8, -1, -1));
    EXPECT_EQ(bytesOf(same), bytesOf(s8));
}

}  // namespace
}  // namespace pavalo
