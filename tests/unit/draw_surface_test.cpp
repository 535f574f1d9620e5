// DrawSurface: creation, pixel formats, fills and lines, copies with their
// depth conversions, stretching, turning and colour keys.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "surface/display_modes.h"
#include "surface/draw_surface.h"

namespace pavalo {
namespace {

uint32_t getPixel(const DrawSurface& s, int32_t x, int32_t y) {
    const int bpp = s.depth() / 8;
    const uint8_t* p = s.row(y) + x * bpp;
    uint32_t v = 0;
    for (int i = 0; i < bpp; ++i) v |= uint32_t(p[i]) << (8 * i);
    return v;
}

void setPixel(DrawSurface& s, int32_t x, int32_t y, uint32_t v) {
    const int bpp = s.depth() / 8;
    uint8_t* p = s.row(y) + x * bpp;
    for (int i = 0; i < bpp; ++i) p[i] = uint8_t(v >> (8 * i));
}

void fillRandom(DrawSurface& s, uint32_t seed) {
    std::mt19937 rng(seed);
    for (int32_t y = 0; y < s.height(); ++y)
        for (int32_t x = 0; x < s.width(); ++x) setPixel(s, x, y, rng());
}

// Every pixel as a vector, row by row, ignoring the pitch padding.
std::vector<uint32_t> allPixels(const DrawSurface& s) {
    std::vector<uint32_t> v;
    for (int32_t y = 0; y < s.height(); ++y)
        for (int32_t x = 0; x < s.width(); ++x) v.push_back(getPixel(s, x, y));
    return v;
}

// Restores the default display modes after a test that changes them.
struct ModesGuard {
    ~ModesGuard() { setDisplayModes(defaultDisplayModes(1920, 1080)); }
};

TEST(DrawSurfaceCreate, FormatsAndPitch) {
    ModesGuard guard;
    setDisplayModes(defaultDisplayModes(1920, 1080));
    struct Case {
        int32_t requested, depth;
        uint32_t red;
    } cases[] = {
        {8, 8, 0}, {16, 16, 0xF800}, {kDepth16555, 16, 0x7C00}, {24, 24, 0xFF0000}, {32, 32, 0xFF0000}};
    for (const Case& c : cases) {
        DrawSurface s;
        ASSERT_TRUE(s.create(5, 3, c.requested)) << c.requested;
        EXPECT_EQ(s.depth(), c.depth);
        EXPECT_EQ(s.format().redMask, c.red);
        EXPECT_EQ(s.pitch() % 4, 0);
        EXPECT_GE(s.pitch(), 5 * c.depth / 8);
        EXPECT_EQ(s.requestedWidth(), 5);
        for (uint32_t v : allPixels(s)) EXPECT_EQ(v, 0u);
    }
    // Without a 5-6-5 display mode, plain 16 bits are 5-5-5.
    setDisplayModes({{800, 600, 16, 0x7C00}});
    DrawSurface s;
    ASSERT_TRUE(s.create(4, 4, 16));
    EXPECT_TRUE(s.is555());
}

TEST(DrawSurfaceCreate, SameSizeAndDepthKeepsPixels) {
    DrawSurface s;
    ASSERT_TRUE(s.create(4, 4, 16));
    setPixel(s, 1, 1, 0x1234);
    const uint8_t* before = s.pixels();
    ASSERT_TRUE(s.create(4, 4, 16));
    EXPECT_EQ(s.pixels(), before);
    EXPECT_EQ(getPixel(s, 1, 1), 0x1234u);
    // 16555 compares as 16: the 5-6-5 surface is kept as it is.
    ASSERT_TRUE(s.create(4, 4, kDepth16555));
    EXPECT_EQ(getPixel(s, 1, 1), 0x1234u);
    EXPECT_FALSE(s.is555());
    // Another size makes fresh, zeroed pixels.
    ASSERT_TRUE(s.create(5, 4, 16));
    EXPECT_EQ(getPixel(s, 1, 1), 0u);
}

TEST(DrawSurfaceCreate, RefusesBadRequests) {
    DrawSurface s;
    EXPECT_FALSE(s.create(0, 5, 8));
    EXPECT_FALSE(s.create(5, -1, 8));
    EXPECT_FALSE(s.create(5, 5, 15));
    EXPECT_FALSE(s.hasPixels());
    EXPECT_EQ(s.lock(), nullptr);
    const size_t limit = surfaceByteLimit();
    setSurfaceByteLimit(1000);
    EXPECT_FALSE(s.create(100, 100, 8));
    EXPECT_TRUE(s.create(10, 10, 8));
    setSurfaceByteLimit(limit);
    EXPECT_FALSE(s.create(65536, 65536, 32));  // 16 GiB: above the default limit
}

TEST(DrawSurfaceCreate, PaletteSurvivesRecreation) {
    DrawSurface s;
    ASSERT_TRUE(s.create(3, 3, 8));
    ASSERT_TRUE(s.setDefaultPalette());
    ASSERT_TRUE(s.create(6, 2, 24));
    ASSERT_TRUE(s.create(2, 2, 8));
    PaletteTable t;
    ASSERT_TRUE(s.getPaletteEntries(t));
    EXPECT_EQ(t[249].red, 252);
}

TEST(DrawSurfaceCreate, CreateLikeAndAdopt) {
    DrawSurface a;
    ASSERT_TRUE(a.create(7, 5, kDepth16555));
    DrawSurface b;
    ASSERT_TRUE(b.createLike(a));
    EXPECT_EQ(b.width(), 7);
    EXPECT_EQ(b.height(), 5);
    EXPECT_TRUE(b.is555());
    ASSERT_TRUE(b.createLike(a, 3, -1));
    EXPECT_EQ(b.width(), 3);
    EXPECT_EQ(b.height(), 5);

    DrawSurface c;
    ASSERT_TRUE(c.adopt(a));
    setPixel(a, 2, 2, 0x8001);
    EXPECT_EQ(getPixel(c, 2, 2), 0x8001u);
    EXPECT_EQ(c.format(), a.format());
    DrawSurface empty;
    EXPECT_FALSE(c.adopt(empty));
}

TEST(DrawSurfaceCreate, LockAndOrigin) {
    DrawSurface s;
    ASSERT_TRUE(s.create(4, 4, 8));
    uint8_t* p = s.lock();
    EXPECT_NE(p, nullptr);
    EXPECT_EQ(s.lock(), p);
    EXPECT_EQ(s.lockedPixels(), p);
    s.unlock();
    EXPECT_EQ(s.lockedPixels(), nullptr);
    s.setOrigin(10, 10);  // real size equals requested size: origin stays 0
    EXPECT_EQ(s.originX(), 0);
    EXPECT_EQ(s.originY(), 0);
}

TEST(DrawSurfaceFill, RectFillClipsAndWritesBack) {
    DrawSurface s;
    ASSERT_TRUE(s.create(4, 3, 24));
    Rect r{2, -1, 9, 2};
    ASSERT_TRUE(s.rectFill(0x112233, &r));
    EXPECT_EQ(r, (Rect{2, 0, 4, 2}));
    EXPECT_EQ(s.row(0)[6], 0x33);  // bytes blue, green, red
    EXPECT_EQ(s.row(0)[7], 0x22);
    EXPECT_EQ(s.row(0)[8], 0x11);
    EXPECT_EQ(getPixel(s, 1, 0), 0u);
    EXPECT_EQ(getPixel(s, 3, 1), 0x112233u);
    EXPECT_EQ(getPixel(s, 3, 2), 0u);
    ASSERT_TRUE(s.rectFill(0x0A0B0C));
    for (uint32_t v : allPixels(s)) EXPECT_EQ(v, 0x0A0B0Cu);
    DrawSurface none;
    EXPECT_FALSE(none.rectFill(0));
}

TEST(DrawSurfaceFill, LinesAreClipped) {
    DrawSurface s;
    ASSERT_TRUE(s.create(5, 4, 16));
    EXPECT_TRUE(s.hLine(-2, 1, 4, 0xABCD));  // covers x 0 and 1
    EXPECT_TRUE(s.hLine(3, 2, 10, 0x1111));  // covers x 3 and 4
    EXPECT_TRUE(s.hLine(0, 4, 5, 0x2222));   // below the surface
    EXPECT_TRUE(s.vLine(4, -3, 5, 0x3333));  // covers y 0 and 1
    EXPECT_TRUE(s.vLine(5, 0, 5, 0x4444));   // right of the surface
    const std::vector<uint32_t> expected = {
        0,      0,      0, 0,      0x3333,  //
        0xABCD, 0xABCD, 0, 0,      0x3333,  //
        0,      0,      0, 0x1111, 0x1111,  //
        0,      0,      0, 0,      0,
    };
    EXPECT_EQ(allPixels(s), expected);
    DrawSurface none;
    EXPECT_FALSE(none.hLine(0, 0, 1, 0));
    EXPECT_FALSE(none.drawFrame(0, 0, 1, 1, 0));
}

TEST(DrawSurfaceFill, FrameEdgesAreInclusive) {
    DrawSurface s;
    ASSERT_TRUE(s.create(5, 5, 8));
    ASSERT_TRUE(s.drawFrame(1, 1, 3, 3, 7));
    const std::vector<uint32_t> expected = {
        0, 0, 0, 0, 0,  //
        0, 7, 7, 7, 0,  //
        0, 7, 0, 7, 0,  //
        0, 7, 7, 7, 0,  //
        0, 0, 0, 0, 0,
    };
    EXPECT_EQ(allPixels(s), expected);
}

TEST(DrawSurfaceFill, ReplaceColourComparesDepthBytes) {
    DrawSurface s;
    ASSERT_TRUE(s.create(3, 2, 24));
    s.rectFill(0x010203);
    setPixel(s, 1, 0, 0x040506);
    Rect r{1, 0, 3, 2};
    // High byte of `from` is ignored at 24 bits.
    ASSERT_TRUE(s.replaceColour(0xFF010203, 0x0A0B0C, &r));
    EXPECT_EQ(allPixels(s),
              (std::vector<uint32_t>{0x010203, 0x040506, 0x0A0B0C, 0x010203, 0x0A0B0C, 0x0A0B0C}));
}

TEST(DrawSurfaceFill, NativeColours) {
    DrawSurface s;
    ASSERT_TRUE(s.create(1, 1, 16));
    EXPECT_EQ(s.nativeColour(makeColour(255, 255, 255)), 0xFFFFu);
    ASSERT_TRUE(s.create(2, 1, kDepth16555));
    EXPECT_EQ(s.nativeColour(makeColour(255, 255, 255)), 0xFFFFu);
    EXPECT_EQ(s.nativeColour(makeColour(0, 0, 0)), 0x8000u);
    EXPECT_EQ(s.nativeColour(makeColour(8, 16, 24)), 0x8000u | 1 << 10 | 2 << 5 | 3);
    ASSERT_TRUE(s.create(1, 1, 24));
    EXPECT_EQ(s.nativeColour(makeColour(1, 2, 3)), 0x010203u);
    ASSERT_TRUE(s.create(1, 1, 8));
    s.setDefaultPalette();
    EXPECT_EQ(s.nativeColour(makeColour(252, 0, 0)), 249u);
}

// --- Depth conversions -----------------------------------------------------

// Four hand-picked colours and what each conversion must make of them.
struct Golden {
    uint8_t r, g, b;
    uint16_t p565, p555;
};
const Golden kGolden[] = {
    {0, 0, 0, 0x0000, 0x8000},
    {255, 255, 255, 0xFFFF, 0xFFFF},
    {0x12, 0x34, 0x56, 0x11AA, 0x88CA},
    {200, 100, 50, 0xCB26, 0xE586},
};

TEST(DrawSurfaceConvert, EightBitThroughPalette) {
    DrawSurface src;
    ASSERT_TRUE(src.create(4, 1, 8));
    PaletteTable pal = greyPalette();
    for (int i = 0; i < 4; ++i) {
        pal[size_t(10 + i)] = {kGolden[i].r, kGolden[i].g, kGolden[i].b, 0};
        setPixel(src, i, 0, uint32_t(10 + i));
    }
    src.setPaletteEntries(pal, false);

    DrawSurface d24, d565, d555;
    ASSERT_TRUE(d24.create(4, 1, 24));
    ASSERT_TRUE(d565.create(4, 1, 16));
    ASSERT_TRUE(d555.create(4, 1, kDepth16555));
    ASSERT_TRUE(d24.copyBitmap(src, 0, 0));
    ASSERT_TRUE(d565.copyBitmap(src, 0, 0));
    ASSERT_TRUE(d555.copyBitmap(src, 0, 0));
    for (int i = 0; i < 4; ++i) {
        const Golden& g = kGolden[i];
        EXPECT_EQ(getPixel(d24, i, 0), uint32_t(g.r) << 16 | uint32_t(g.g) << 8 | g.b) << i;
        EXPECT_EQ(getPixel(d565, i, 0), g.p565) << i;
        EXPECT_EQ(getPixel(d555, i, 0), g.p555) << i;
    }
}

TEST(DrawSurfaceConvert, TrueColourToSixteen) {
    for (int srcDepth : {24, 32}) {
        DrawSurface src;
        ASSERT_TRUE(src.create(4, 1, srcDepth));
        for (int i = 0; i < 4; ++i)
            setPixel(src, i, 0,
                     0xAA000000u | uint32_t(kGolden[i].r) << 16 | uint32_t(kGolden[i].g) << 8 | kGolden[i].b);
        DrawSurface d565, d555, d24;
        ASSERT_TRUE(d565.create(4, 1, 16));
        ASSERT_TRUE(d555.create(4, 1, kDepth16555));
        ASSERT_TRUE(d24.create(4, 1, 24));
        ASSERT_TRUE(d565.copyBitmap(src, 0, 0));
        ASSERT_TRUE(d555.copyBitmap(src, 0, 0));
        ASSERT_TRUE(d24.copyBitmap(src, 0, 0));
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(getPixel(d565, i, 0), kGolden[i].p565) << srcDepth << " " << i;
            EXPECT_EQ(getPixel(d555, i, 0), kGolden[i].p555) << srcDepth << " " << i;
            EXPECT_EQ(getPixel(d24, i, 0), getPixel(src, i, 0) & 0xFFFFFF);
        }
    }
}

TEST(DrawSurfaceConvert, SixteenToTwentyFour) {
    DrawSurface s565, s555, d;
    ASSERT_TRUE(s565.create(2, 1, 16));
    ASSERT_TRUE(s555.create(2, 1, kDepth16555));
    ASSERT_TRUE(d.create(2, 1, 24));
    setPixel(s565, 0, 0, 0xFFFF);
    setPixel(s565, 1, 0, 0x11AA);
    ASSERT_TRUE(d.copyBitmap(s565, 0, 0));
    EXPECT_EQ(getPixel(d, 0, 0), 0xF8FCF8u);
    EXPECT_EQ(getPixel(d, 1, 0), 0x103450u);
    setPixel(s555, 0, 0, 0xFFFF);
    setPixel(s555, 1, 0, 0x88CA);
    ASSERT_TRUE(d.copyBitmap(s555, 0, 0));
    EXPECT_EQ(getPixel(d, 0, 0), 0xF8F8F8u);
    EXPECT_EQ(getPixel(d, 1, 0), 0x103050u);
}

// The written formulas, pixel by pixel, against the table-driven copies on
// random pictures, with a destination offset.
TEST(DrawSurfaceConvert, MatchesFormulasOnRandomPictures) {
    DrawSurface s8, s16, s555, s24, s32;
    ASSERT_TRUE(s8.create(37, 11, 8));
    ASSERT_TRUE(s16.create(37, 11, 16));
    ASSERT_TRUE(s555.create(37, 11, kDepth16555));
    ASSERT_TRUE(s24.create(37, 11, 24));
    ASSERT_TRUE(s32.create(37, 11, 32));
    for (DrawSurface* s : {&s8, &s16, &s555, &s24, &s32}) fillRandom(*s, uint32_t(s->depth()));
    PaletteTable pal;
    std::mt19937 rng(5);
    for (PaletteEntry& e : pal) e = {uint8_t(rng()), uint8_t(rng()), uint8_t(rng()), 0};
    s8.setPaletteEntries(pal, false);

    auto rgbOf = [&](const DrawSurface& s, int32_t x, int32_t y, int& r, int& g, int& b) {
        const uint32_t p = getPixel(s, x, y);
        if (s.depth() == 8) {
            r = pal[p].red, g = pal[p].green, b = pal[p].blue;
        } else if (s.depth() == 16 && s.is555()) {
            b = (p << 3) & 0xFF, g = ((p >> 5) << 3) & 0xFF, r = ((p >> 10) << 3) & 0xFF;
        } else if (s.depth() == 16) {
            b = (p << 3) & 0xFF, g = ((p >> 5) << 2) & 0xFF, r = ((p >> 11) << 3) & 0xFF;
        } else {
            b = p & 0xFF, g = (p >> 8) & 0xFF, r = (p >> 16) & 0xFF;
        }
    };
    struct Pair {
        DrawSurface* src;
        int32_t destDepth;
    } pairs[] = {{&s8, 24},  {&s8, 16},           {&s8, kDepth16555}, {&s16, 24}, {&s555, 24},
                 {&s24, 16}, {&s24, kDepth16555}, {&s32, 16},         {&s32, 24}};
    for (const Pair& pr : pairs) {
        DrawSurface d;
        ASSERT_TRUE(d.create(40, 13, pr.destDepth));
        ASSERT_TRUE(d.copyBitmap(*pr.src, 2, 1));
        for (int32_t y = 0; y < 13; ++y) {
            for (int32_t x = 0; x < 40; ++x) {
                const bool inside = x >= 2 && x < 39 && y >= 1 && y < 12;
                uint32_t want = 0;
                if (inside) {
                    int r, g, b;
                    rgbOf(*pr.src, x - 2, y - 1, r, g, b);
                    const uint32_t c = makeColour(uint8_t(r), uint8_t(g), uint8_t(b));
                    want = d.depth() == 24 ? uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b)
                           : d.is555()     ? colourTo555(c)
                                           : colourTo565(c);
                }
                ASSERT_EQ(getPixel(d, x, y), want)
                    << pr.src->depth() << "->" << pr.destDepth << " at " << x << "," << y;
            }
        }
    }
}

TEST(DrawSurfaceConvert, RefusedPairsDrawNothing) {
    DrawSurface s8, s24, d;
    ASSERT_TRUE(s8.create(3, 3, 8));
    ASSERT_TRUE(s24.create(3, 3, 24));
    s8.rectFill(5);
    s24.rectFill(0xFFFFFF);
    ASSERT_TRUE(d.create(3, 3, 24));
    EXPECT_FALSE(d.copyBitmap(s8, 0, 0));  // 8-bit source without a palette
    for (uint32_t v : allPixels(d)) EXPECT_EQ(v, 0u);
    ASSERT_TRUE(d.create(3, 3, 8));
    EXPECT_FALSE(d.copyBitmap(s24, 0, 0));  // reduction to 8 bits is not a copy
    for (uint32_t v : allPixels(d)) EXPECT_EQ(v, 0u);
    ASSERT_TRUE(d.create(3, 3, 32));
    EXPECT_FALSE(d.copyBitmap(s24, 0, 0));
}

TEST(DrawSurfaceConvert, ClippedRectanglesStayInside) {
    DrawSurface src, d;
    ASSERT_TRUE(src.create(8, 8, 24));
    fillRandom(src, 1);
    ASSERT_TRUE(d.create(5, 5, 16));
    // Wholly outside: nothing drawn, and that is not an error.
    EXPECT_TRUE(d.copyBitmap(src, 5, 0));
    EXPECT_TRUE(d.copyBitmap(src, -8, 0));
    for (uint32_t v : allPixels(d)) EXPECT_EQ(v, 0u);
    // Partly outside on every side: only the shared part is converted, from
    // the top-left corners of the two clipped rectangles.
    EXPECT_TRUE(d.copyBitmap(src, -2, 3, 1, 1));
    for (int32_t y = 0; y < 5; ++y) {
        for (int32_t x = 0; x < 5; ++x) {
            const uint32_t p = y >= 3 ? getPixel(src, 1 + x, 1 + y - 3) : 0;
            const uint32_t want =
                y >= 3 ? colourTo565(makeColour(uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p))) : 0;
            EXPECT_EQ(getPixel(d, x, y), want) << x << "," << y;
        }
    }
}

// --- Same-depth blits --------------------------------------------------------

// The plain rule: turn the source rectangle into a new picture, then pick
// for each destination pixel the turned pixel at floor(d * size / destSize).
std::vector<uint32_t> referenceBlit(const DrawSurface& src, Rect sr, int32_t dw, int32_t dh, int rotation) {
    std::vector<std::vector<uint32_t>> turned;
    const int32_t sw = sr.width(), sh = sr.height();
    const bool quarter = rotation % 2 == 1;
    const int32_t tw = quarter ? sh : sw, th = quarter ? sw : sh;
    turned.assign(size_t(th), std::vector<uint32_t>(size_t(tw)));
    for (int32_t y = 0; y < sh; ++y) {
        for (int32_t x = 0; x < sw; ++x) {
            int32_t tx = x, ty = y;
            if (rotation == 1) tx = sh - 1 - y, ty = x;  // clockwise
            if (rotation == 2) tx = sw - 1 - x, ty = sh - 1 - y;
            if (rotation == 3) tx = y, ty = sw - 1 - x;  // counter-clockwise
            turned[size_t(ty)][size_t(tx)] = getPixel(src, sr.left + x, sr.top + y);
        }
    }
    std::vector<uint32_t> out;
    for (int32_t y = 0; y < dh; ++y)
        for (int32_t x = 0; x < dw; ++x)
            out.push_back(turned[size_t(int64_t(y) * th / dh)][size_t(int64_t(x) * tw / dw)]);
    return out;
}

TEST(DrawSurfaceBlit, StretchAndTurnMatchReference) {
    std::mt19937 rng(42);
    for (int depth : {8, 16, 24, 32}) {
        for (int trial = 0; trial < 40; ++trial) {
            DrawSurface src, dst;
            ASSERT_TRUE(src.create(1 + int32_t(rng() % 20), 1 + int32_t(rng() % 20), depth));
            fillRandom(src, rng());
            const int32_t sx = int32_t(rng() % uint32_t(src.width())),
                          sy = int32_t(rng() % uint32_t(src.height()));
            const int32_t sw = 1 + int32_t(rng() % uint32_t(src.width() - sx));
            const int32_t sh = 1 + int32_t(rng() % uint32_t(src.height() - sy));
            const int32_t dw = 1 + int32_t(rng() % 30), dh = 1 + int32_t(rng() % 30);
            const int rotation = int(rng() % 4);
            ASSERT_TRUE(dst.create(dw, dh, depth));
            ASSERT_TRUE(dst.copyBitmap(src, 0, 0, sx, sy, sw, sh, dw, dh, rotation));
            EXPECT_EQ(allPixels(dst), referenceBlit(src, {sx, sy, sx + sw, sy + sh}, dw, dh, rotation))
                << "depth " << depth << " trial " << trial << " rotation " << rotation;
        }
    }
}

TEST(DrawSurfaceBlit, QuarterTurnAgreesWithRotateQuarter8) {
    DrawSurface src, viaBlit, viaRotate;
    ASSERT_TRUE(src.create(3, 2, 8));
    for (int i = 0; i < 6; ++i) setPixel(src, i % 3, i / 3, uint32_t(i + 1));
    for (int turn : {1, 3}) {
        ASSERT_TRUE(viaBlit.create(2, 3, 8));
        ASSERT_TRUE(viaRotate.create(2, 3, 8));
        ASSERT_TRUE(viaBlit.copyBitmap(src, 0, 0, 0, 0, 3, 2, 2, 3, turn));
        ASSERT_TRUE(src.rotateQuarter8(viaRotate, turn));
        EXPECT_EQ(allPixels(viaBlit), allPixels(viaRotate));
    }
    // 1 2 3 / 4 5 6 turned clockwise is 4 1 / 5 2 / 6 3.
    EXPECT_EQ(allPixels(viaBlit).size(), 6u);
    ASSERT_TRUE(src.rotateQuarter8(viaRotate, 1));
    EXPECT_EQ(allPixels(viaRotate), (std::vector<uint32_t>{4, 1, 5, 2, 6, 3}));
    DrawSurface wrong;
    ASSERT_TRUE(wrong.create(3, 2, 8));
    EXPECT_FALSE(src.rotateQuarter8(wrong, 1));
    EXPECT_FALSE(src.rotateQuarter8(viaRotate, 2));
}

TEST(DrawSurfaceBlit, Mirror8) {
    DrawSurface src, dst;
    ASSERT_TRUE(src.create(3, 2, 8));
    ASSERT_TRUE(dst.create(3, 2, 8));
    for (int i = 0; i < 6; ++i) setPixel(src, i % 3, i / 3, uint32_t(i + 1));
    ASSERT_TRUE(src.mirror8(dst, 1));
    EXPECT_EQ(allPixels(dst), (std::vector<uint32_t>{3, 2, 1, 6, 5, 4}));
    ASSERT_TRUE(src.mirror8(dst, 2));
    EXPECT_EQ(allPixels(dst), (std::vector<uint32_t>{4, 5, 6, 1, 2, 3}));
    EXPECT_FALSE(src.mirror8(dst, 3));
    EXPECT_FALSE(src.mirror8(src, 1));
}

TEST(DrawSurfaceBlit, ColourKeyLeavesDestination) {
    DrawSurface src, dst;
    ASSERT_TRUE(src.create(3, 1, 8));
    ASSERT_TRUE(dst.create(3, 1, 8));
    setPixel(src, 0, 0, 9);
    setPixel(src, 1, 0, 4);
    setPixel(src, 2, 0, 9);
    dst.rectFill(1);
    src.colourKey8 = 9;
    ASSERT_TRUE(dst.copyBitmap(src, 0, 0));
    EXPECT_EQ(allPixels(dst), (std::vector<uint32_t>{1, 4, 1}));

    // Onto a deeper surface the key is colourKeyTrue, and depths must match.
    DrawSurface s24, d24, d16;
    ASSERT_TRUE(s24.create(2, 1, 24));
    ASSERT_TRUE(d24.create(2, 1, 24));
    ASSERT_TRUE(d16.create(2, 1, 16));
    setPixel(s24, 0, 0, 0x00FF00);
    setPixel(s24, 1, 0, 0x123456);
    d24.rectFill(0x777777);
    s24.colourKey8 = 0;
    s24.colourKeyTrue = 0x00FF00;
    ASSERT_TRUE(d24.copyBitmap(s24, 0, 0));
    EXPECT_EQ(allPixels(d24), (std::vector<uint32_t>{0x777777, 0x123456}));
    EXPECT_FALSE(d16.copyBitmap(s24, 0, 0));
}

TEST(DrawSurfaceBlit, OverlappingCopyWithinOneSurface) {
    DrawSurface s;
    ASSERT_TRUE(s.create(5, 1, 8));
    for (int i = 0; i < 5; ++i) setPixel(s, i, 0, uint32_t(i + 1));
    ASSERT_TRUE(s.copyBitmap(s, 1, 0, 0, 0, 4, 1));
    EXPECT_EQ(allPixels(s), (std::vector<uint32_t>{1, 1, 2, 3, 4}));
    DrawSurface shared;
    ASSERT_TRUE(shared.adopt(s));
    ASSERT_TRUE(s.copyBitmap(shared, 0, 0, 1, 0, 4, 1));
    EXPECT_EQ(allPixels(s), (std::vector<uint32_t>{1, 2, 3, 4, 4}));
}

TEST(DrawSurfaceBlit, CopyRectCutsNegativeDestination) {
    DrawSurface src, dst;
    ASSERT_TRUE(src.create(4, 1, 8));
    ASSERT_TRUE(dst.create(4, 1, 8));
    for (int i = 0; i < 4; ++i) setPixel(src, i, 0, uint32_t(i + 1));
    ASSERT_TRUE(dst.copyRect(src, {-2, 0, 2, 1}, {0, 0, 4, 1}));
    EXPECT_EQ(allPixels(dst), (std::vector<uint32_t>{3, 4, 0, 0}));
    DrawSurface dst2;
    ASSERT_TRUE(dst2.create(4, 1, 8));
    ASSERT_TRUE(src.copyFrom(dst2, 1, 0, 0, 0, 2, 1));
    EXPECT_EQ(allPixels(dst2), (std::vector<uint32_t>{0, 1, 2, 0}));
}

}  // namespace
}  // namespace pavalo
