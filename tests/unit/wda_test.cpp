// WDA animations: the run codes of every type and length form, encode and
// decode round trips at every pixel format, clipping, conversion, damaged
// data, the file loader's message and the puzzle-picture player.
#include "media/wda.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <random>

#include "common/file_io.h"
#include "surface/display_modes.h"
#include "platform/scripted_platform.h"
#include "media/wda_encoder.h"

namespace pavalo {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> testPalette() {
    std::vector<uint8_t> p(768);
    for (int i = 0; i < 256; ++i) {
        p[3 * i] = uint8_t(i);
        p[3 * i + 1] = uint8_t(255 - i);
        p[3 * i + 2] = uint8_t(i * 7);
    }
    return p;
}

// Decodes codes into a fresh 8-bit line of `width` pixels filled with 0xEE.
std::vector<uint8_t> decode8(std::vector<uint8_t> codes, size_t width, int64_t x = 0,
                             WdaRowStatus want = WdaRowStatus::Ok) {
    std::vector<uint8_t> line(width, 0xEE);
    EXPECT_EQ(decodeWdaRow8(line, x, codes), want);
    return line;
}

TEST(WdaRowCodes, EveryRunTypeAndLengthForm) {
    // 0x23: a literal run of 2.
    EXPECT_EQ(decode8({0x23, 5, 6}, 4), (std::vector<uint8_t>{5, 6, 0xEE, 0xEE}));
    // 0x52 and one pixel: a fill of 5.
    EXPECT_EQ(decode8({0x52, 9}, 6), (std::vector<uint8_t>{9, 9, 9, 9, 9, 0xEE}));
    // 0x31: skip 3 (unchanged), then a literal of 1.
    EXPECT_EQ(decode8({0x31, 0x13, 4}, 5), (std::vector<uint8_t>{0xEE, 0xEE, 0xEE, 4, 0xEE}));
    // 0x30: a background run of 3 is drawn like a skip.
    EXPECT_EQ(decode8({0x30, 0x12, 1}, 4), (std::vector<uint8_t>{0xEE, 0xEE, 0xEE, 1}));
    // 0x26 0xC8 and one pixel: a fill of 200 (one-byte length form).
    std::vector<uint8_t> fill200 = decode8({0x26, 0xC8, 3}, 201);
    EXPECT_EQ(std::count(fill200.begin(), fill200.end(), 3), 200);
    EXPECT_EQ(fill200[200], 0xEE);
    // 0x1B 0x2C and 300 pixels: a literal of 300 (12-bit length form).
    std::vector<uint8_t> lit{0x1B, 0x2C};
    for (int i = 0; i < 300; ++i) lit.push_back(uint8_t(i));
    std::vector<uint8_t> lit300 = decode8(lit, 301);
    for (int i = 0; i < 300; ++i) ASSERT_EQ(lit300[size_t(i)], uint8_t(i));
    EXPECT_EQ(lit300[300], 0xEE);
    // A zero-length run does nothing; the 12-bit form reaches 4095.
    EXPECT_EQ(decode8({0x02, 7, 0x13, 8}, 2), (std::vector<uint8_t>{8, 0xEE}));
    std::vector<uint8_t> longSkip = decode8({0xF9, 0xFF, 0x12, 1}, 4097);
    EXPECT_EQ(longSkip[4094], 0xEE);
    EXPECT_EQ(longSkip[4095], 1);
}

TEST(WdaRowCodes, DamagedRunsStopAndKeepWhatCameBefore) {
    // Length form 3 is never written.
    EXPECT_EQ(decode8({0x13, 1, 0x0E}, 3, 0, WdaRowStatus::Damaged), (std::vector<uint8_t>{1, 0xEE, 0xEE}));
    // A length byte, a fill pixel or literal pixels missing at the end.
    decode8({0x06}, 3, 0, WdaRowStatus::Damaged);
    decode8({0x32}, 3, 0, WdaRowStatus::Damaged);
    EXPECT_EQ(decode8({0x23, 1}, 3, 0, WdaRowStatus::Damaged), (std::vector<uint8_t>(3, 0xEE)));
    // Every pixel format checks its own pixel size.
    std::vector<uint8_t> line(12, 0);
    const std::vector<uint8_t> shortFill{0x12, 1, 2};
    EXPECT_EQ(decodeWdaRow(kWdaBgr24, line, 0, shortFill), WdaRowStatus::Damaged);
    EXPECT_EQ(decodeWdaRow(kWda565, line, 0, shortFill), WdaRowStatus::Ok);
    EXPECT_EQ(decodeWdaRow(7, line, 0, shortFill), WdaRowStatus::Damaged);
}

// A literal run's bound is in bytes: at 2, 3 and 4 bytes per pixel a run of
// five pixels needs 5 x that many bytes; any fewer (even five or more) is
// damage, and the line keeps only the fill drawn before it.
TEST(WdaRowCodes, WideLiteralRunsNeedAllTheirBytes) {
    for (const int32_t code : {kWda555, kWda565, kWdaBgr24, kWda32}) {
        const size_t bpp = size_t(wdaBytesPerPixel(code));
        std::vector<uint8_t> codes{0x12};  // a fill of one pixel, then a literal of five
        for (size_t k = 0; k < bpp; ++k) codes.push_back(uint8_t(0x40 + k));
        codes.push_back(0x53);
        const size_t literalAt = codes.size();
        for (size_t k = 0; k < 5 * bpp; ++k) codes.push_back(uint8_t(k + 1));
        for (size_t have = 0; have <= 5 * bpp; ++have) {
            std::vector<uint8_t> line(8 * bpp, 0xEE);
            const std::vector<uint8_t> cut(codes.begin(), codes.begin() + ptrdiff_t(literalAt + have));
            const WdaRowStatus status = decodeWdaRow(code, line, 0, cut);
            for (size_t k = 0; k < bpp; ++k) ASSERT_EQ(line[k], 0x40 + k) << code;
            if (have == 5 * bpp) {
                ASSERT_EQ(status, WdaRowStatus::Ok) << code;
                for (size_t k = 0; k < 5 * bpp; ++k) ASSERT_EQ(line[bpp + k], k + 1) << code;
            } else {
                ASSERT_EQ(status, WdaRowStatus::Damaged) << code << " with " << have << " bytes";
                for (size_t k = bpp; k < line.size(); ++k) ASSERT_EQ(line[k], 0xEE) << code;
            }
        }
    }
}

TEST(WdaRowCodes, ClipsAtBothEndsOfTheLine) {
    // Starting two pixels left of the line: a literal's first two pixels are cut.
    EXPECT_EQ(decode8({0x43, 1, 2, 3, 4}, 3, -2), (std::vector<uint8_t>{3, 4, 0xEE}));
    // Past the right edge nothing is written, wherever the run starts.
    EXPECT_EQ(decode8({0x52, 9, 0x33, 1, 2, 3}, 4, 2), (std::vector<uint8_t>{0xEE, 0xEE, 9, 9}));
    EXPECT_EQ(decode8({0x52, 9}, 4, 100), (std::vector<uint8_t>(4, 0xEE)));
    std::vector<uint8_t> wide(9, 0);  // three 24-bit pixels
    const std::vector<uint8_t> fill{0x52, 1, 2, 3};
    EXPECT_EQ(decodeWdaRow(kWdaBgr24, wide, -3, fill), WdaRowStatus::Ok);
    EXPECT_EQ(wide, (std::vector<uint8_t>{1, 2, 3, 1, 2, 3, 0, 0, 0}));
}

TEST(WdaEncoderRuns, LengthFormsAndRunChoice) {
    auto header = [](uint8_t type, uint32_t n) {
        std::vector<uint8_t> out;
        appendWdaRunHeader(out, type, n);
        return out;
    };
    EXPECT_EQ(header(3, 2), (std::vector<uint8_t>{0x23}));
    EXPECT_EQ(header(2, 15), (std::vector<uint8_t>{0xF2}));
    EXPECT_EQ(header(2, 16), (std::vector<uint8_t>{0x06, 16}));
    EXPECT_EQ(header(2, 200), (std::vector<uint8_t>{0x26 & 0x0F, 0xC8}));
    EXPECT_EQ(header(3, 300), (std::vector<uint8_t>{0x1B, 0x2C}));
    EXPECT_EQ(header(1, 4095), (std::vector<uint8_t>{0xF9, 0xFF}));
    EXPECT_THROW(header(1, 4096), std::invalid_argument);

    // Three equal pixels make a fill; two stay literal; trailing skips are dropped.
    const std::vector<uint8_t> px{4, 4, 4, 1, 2, 2, 9, 9};
    const std::vector<uint8_t> unchanged{0, 0, 0, 0, 0, 0, 1, 1};
    EXPECT_EQ(encodeWdaRow(px, 1, unchanged), (std::vector<uint8_t>{0x32, 4, 0x33, 1, 2, 2}));
    // A wholly unchanged row still has one byte: a skip of 0.
    EXPECT_EQ(encodeWdaRow(std::vector<uint8_t>{1, 2}, 1, std::vector<uint8_t>{1, 1}), (std::vector<uint8_t>{0x01}));
    // Background pixels become background runs.
    EXPECT_EQ(encodeWdaRow(std::vector<uint8_t>{0, 0, 5}, 1, {}, 0u), (std::vector<uint8_t>{0x20, 0x13, 5}));
    // Runs longer than 4095 are split.
    std::vector<uint8_t> wide(5000, 6);
    EXPECT_EQ(encodeWdaRow(wide, 1), (std::vector<uint8_t>{0xFA, 0xFF, 6, 0x3A, 0x89, 6}));
}

// --- Whole animations ---------------------------------------------------

struct Frames {
    int32_t width, height;
    std::vector<std::vector<uint8_t>> pixels;  // 8-bit, top row first
};

// Random frames where each changes a few rectangles of the one before.
Frames randomFrames(uint32_t seed, int32_t width, int32_t height, int32_t count) {
    std::mt19937 rng(seed);
    Frames f{width, height, {}};
    std::vector<uint8_t> px(size_t(width * height));
    for (auto& p : px) p = uint8_t(rng() % 6 == 0 ? rng() : 40);
    for (int32_t i = 0; i < count; ++i) {
        if (i > 0) {
            for (int k = 0; k < 3; ++k) {
                const int32_t x0 = int32_t(rng() % uint32_t(width)), y0 = int32_t(rng() % uint32_t(height));
                const int32_t w = 1 + int32_t(rng() % 20), h = 1 + int32_t(rng() % 5);
                const uint8_t c = uint8_t(rng());
                for (int32_t y = y0; y < std::min(height, y0 + h); ++y)
                    for (int32_t x = x0; x < std::min(width, x0 + w); ++x)
                        px[size_t(y * width + x)] = rng() % 4 ? c : uint8_t(rng());
            }
        }
        f.pixels.push_back(px);
    }
    return f;
}

std::vector<uint8_t> encodeFrames(const Frames& f, const std::vector<uint8_t>& palette, bool deltas = true) {
    WdaEncoder enc(f.width, f.height, palette);
    for (size_t i = 0; i < f.pixels.size(); ++i) {
        std::vector<std::span<const uint8_t>> before;
        if (deltas && i > 0) before.push_back(f.pixels[i - 1]);
        enc.addFrame(f.pixels[i], before);
    }
    return enc.finish();
}

// The pixel bytes an 8-bit index becomes on a surface of `depth` (and
// layout), by the colour rules of the drawing surfaces.
std::vector<uint8_t> expectedPixel(uint8_t index, const std::vector<uint8_t>& pal, int32_t code) {
    const uint8_t r = pal[3 * index], g = pal[3 * index + 1], b = pal[3 * index + 2];
    switch (code) {
        case kWdaIndexed8:
            return {index};
        case kWda555: {
            const uint16_t w = colourTo555(makeColour(r, g, b));
            return {uint8_t(w), uint8_t(w >> 8)};
        }
        case kWda565: {
            const uint16_t w = colourTo565(makeColour(r, g, b));
            return {uint8_t(w), uint8_t(w >> 8)};
        }
        case kWdaBgr24:
            return {b, g, r};
        default:
            return {b, g, r, 0};
    }
}

void expectSurfaceShows(const DrawSurface& s, const Frames& f, size_t frame, const std::vector<uint8_t>& pal,
                        int32_t code) {
    const int32_t bpp = wdaBytesPerPixel(code);
    for (int32_t y = 0; y < f.height; ++y)
        for (int32_t x = 0; x < f.width; ++x) {
            const std::vector<uint8_t> want = expectedPixel(f.pixels[frame][size_t(y * f.width + x)], pal, code);
            const uint8_t* got = s.row(y) + x * bpp;
            ASSERT_TRUE(std::equal(want.begin(), want.end(), got))
                << "frame " << frame << " pixel " << x << "," << y << " code " << code;
        }
}

struct SurfaceKind {
    int32_t depth;
    int32_t code;
};

TEST(WdaRoundTrip, DeltaFramesDrawnInOrderShowEveryFrameAtEveryFormat) {
    const std::vector<uint8_t> pal = testPalette();
    const Frames f = randomFrames(7, 37, 23, 12);
    const std::vector<uint8_t> bytes = encodeFrames(f, pal);
    setDisplayModes(defaultDisplayModes(1920, 1080));  // 16 bits are 5-6-5
    for (SurfaceKind k : {SurfaceKind{8, kWdaIndexed8}, SurfaceKind{kDepth16555, kWda555}, SurfaceKind{16, kWda565},
                          SurfaceKind{24, kWdaBgr24}, SurfaceKind{32, kWda32}}) {
        WdaAnimation a;
        ASSERT_TRUE(a.loadBytes(bytes));
        DrawSurface s;
        ASSERT_TRUE(s.create(f.width, f.height, k.depth));
        ASSERT_EQ(wdaFormatOfSurface(s), k.code);
        for (size_t i = 0; i < f.pixels.size(); ++i) {
            ASSERT_TRUE(a.drawFrame(s, int32_t(i), 0, 0));
            expectSurfaceShows(s, f, i, pal, k.code);
        }
        // The 8-bit data is converted once, on the first draw, and only then.
        EXPECT_EQ(a.conversions(), k.code == kWdaIndexed8 ? 0 : 1);
        EXPECT_EQ(a.pixelFormat(), k.code);
    }
}

TEST(WdaRoundTrip, TrueColourDataDrawsAndConvertsBetweenTrueColourFormats) {
    // 24-bit frames (code 3) drawn on 24 bits as they are and on 16 bits converted.
    std::mt19937 rng(3);
    const int32_t w = 19, h = 7;
    std::vector<uint8_t> px(size_t(w * h * 3));
    for (auto& b : px) b = uint8_t(rng() % 3 ? 200 : rng());
    WdaEncoder enc(w, h, testPalette(), kWdaBgr24);
    enc.addFrame(px);
    WdaAnimation a;
    ASSERT_TRUE(a.loadBytes(enc.finish()));
    EXPECT_EQ(a.originalPixelFormat(), kWdaBgr24);
    DrawSurface s24, s16;
    ASSERT_TRUE(s24.create(w, h, 24));
    ASSERT_TRUE(s16.create(w, h, kDepth16555));
    ASSERT_TRUE(a.drawFrame(s24, 0, 0, 0));
    for (int32_t y = 0; y < h; ++y) ASSERT_EQ(0, std::memcmp(s24.row(y), px.data() + y * w * 3, size_t(w) * 3));
    ASSERT_TRUE(a.drawFrame(s16, 0, 0, 0));
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            const uint8_t* p = px.data() + (y * w + x) * 3;
            ASSERT_EQ(loadU16(s16.row(y) + 2 * x), colourTo555(makeColour(p[2], p[1], p[0])));
        }
    // True colour never becomes palette indices: nothing is drawn on 8 bits.
    DrawSurface s8;
    ASSERT_TRUE(s8.create(w, h, 8));
    EXPECT_FALSE(a.drawFrame(s8, 0, 0, 0));
    EXPECT_EQ(s8.row(0)[0], 0);
}

TEST(WdaRoundTrip, ConvertedDataIsAValidAnimationOfItsOwn) {
    const std::vector<uint8_t> pal = testPalette();
    const Frames f = randomFrames(11, 30, 9, 4);
    WdaAnimation a;
    ASSERT_TRUE(a.loadBytes(encodeFrames(f, pal)));
    ASSERT_TRUE(a.convertToCode(kWda565));
    // Going back to the loaded format needs no conversion; a new one counts.
    ASSERT_TRUE(a.convertToCode(kWdaIndexed8));
    EXPECT_EQ(a.conversions(), 1);
    DrawSurface s;
    ASSERT_TRUE(s.create(f.width, f.height, 8));
    ASSERT_TRUE(a.drawFrame(s, 0, 0, 0));
    expectSurfaceShows(s, f, 0, pal, kWdaIndexed8);
}

TEST(WdaFile, HeaderFieldsAndSizes) {
    const std::vector<uint8_t> pal = testPalette();
    const Frames one = randomFrames(5, 8, 4, 1);
    const std::vector<uint8_t> still = encodeFrames(one, pal);
    // One frame: dataSize is the whole size.
    EXPECT_EQ(loadU32(still.data() + 8), still.size());
    EXPECT_EQ(loadU16(still.data() + 6), 1);
    EXPECT_EQ(loadU32(still.data() + 808), 812u);
    EXPECT_EQ(loadU32(still.data() + 12), still.size() - 812);

    const Frames three = randomFrames(5, 8, 4, 3);
    const std::vector<uint8_t> anim = encodeFrames(three, pal);
    EXPECT_EQ(loadU32(anim.data() + 8), anim.size() - 8);
    // Frames lie one after another; row offsets start at 0; bottom row first.
    const uint32_t f0 = loadU32(anim.data() + 808), f1 = loadU32(anim.data() + 812);
    EXPECT_EQ(f0, 808u + 12);
    EXPECT_EQ(f1, f0 + loadU32(anim.data() + f0));
    EXPECT_EQ(loadU16(anim.data() + f0 + 8), 8);
    EXPECT_EQ(loadU16(anim.data() + f0 + 10), 4);
    EXPECT_EQ(loadU32(anim.data() + f0 + 20), 0u);

    WdaAnimation a;
    ASSERT_TRUE(a.loadBytes(anim));
    EXPECT_EQ(a.width(), 8);
    EXPECT_EQ(a.height(), 4);
    EXPECT_EQ(a.frameCount(), 3);
    EXPECT_EQ(a.kind(), 1);
    EXPECT_EQ(a.frameSize(2), (WdaFrameSize{8, 4}));
    EXPECT_EQ(a.frameSize(3), WdaFrameSize{});
    EXPECT_EQ(a.frameSize(-1), WdaFrameSize{});
    ASSERT_EQ(a.palette().size(), 768u);
    EXPECT_EQ(a.palette()[3 * 9 + 2], 63);

    DrawSurface s;
    ASSERT_TRUE(s.create(8, 4, 8));
    ASSERT_TRUE(a.paletteToSurface(s));
    PaletteTable t;
    ASSERT_TRUE(s.getPaletteEntries(t));
    EXPECT_EQ(t[9], (PaletteEntry{9, 246, 63, kPaletteEntryFlags}));
}

TEST(WdaDraw, ClippedAtEveryEdgeAndNeverOutsideTheSurface) {
    const std::vector<uint8_t> pal = testPalette();
    Frames f{4, 3, {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}}};
    WdaAnimation a;
    ASSERT_TRUE(a.loadBytes(encodeFrames(f, pal)));
    auto drawn = [&](int32_t x, int32_t y, int32_t w = 6, int32_t h = 5) {
        DrawSurface s;
        EXPECT_TRUE(s.create(w, h, 8));
        a.drawFrame(s, 0, x, y);
        std::vector<std::vector<uint8_t>> rows;
        for (int32_t r = 0; r < h; ++r) rows.emplace_back(s.row(r), s.row(r) + w);
        return rows;
    };
    using Rows = std::vector<std::vector<uint8_t>>;
    // Bottom rows below the surface: only the rows that fit, from the top line.
    EXPECT_EQ(
        drawn(0, 3),
        (Rows{{0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}, {1, 2, 3, 4, 0, 0}, {5, 6, 7, 8, 0, 0}}));
    // Above the top and left of the left edge.
    EXPECT_EQ(
        drawn(-2, -2),
        (Rows{{11, 12, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}}));
    // Past the right edge: the next line is not touched.
    EXPECT_EQ(
        drawn(4, 0),
        (Rows{{0, 0, 0, 0, 1, 2}, {0, 0, 0, 0, 5, 6}, {0, 0, 0, 0, 9, 10}, {0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}}));
    // Wholly outside in each direction.
    for (auto [x, y] : {std::pair{6, 0}, {-4, 0}, {0, 5}, {0, -3}, {-100000, 100000}})
        EXPECT_EQ(drawn(x, y), Rows(5, std::vector<uint8_t>(6, 0))) << x << "," << y;
}

// --- Damaged animations -------------------------------------------------

std::vector<uint8_t> sample(int32_t frames = 3) { return encodeFrames(randomFrames(21, 16, 6, frames), testPalette()); }

TEST(WdaDamaged, HeadersThatCannotBeAnimationsAreRefused) {
    std::string why;
    WdaAnimation a;
    std::vector<uint8_t> bytes = sample();
    EXPECT_FALSE(a.loadBytes(std::span(bytes).first(811), &why));
    EXPECT_FALSE(why.empty());
    std::vector<uint8_t> noFrames = bytes;
    storeU16(noFrames.data() + 6, 0);
    EXPECT_FALSE(a.loadBytes(noFrames));
    std::vector<uint8_t> tableTooLong = bytes;
    storeU16(tableTooLong.data() + 6, 60000);
    EXPECT_FALSE(a.loadBytes(tableTooLong));
    std::vector<uint8_t> badFormat = bytes;
    storeU16(badFormat.data() + 24, 5);
    EXPECT_FALSE(a.loadBytes(badFormat));
    EXPECT_FALSE(a.loaded());
    EXPECT_FALSE(a.drawFrame(*std::make_unique<DrawSurface>(), 0, 0, 0));
}

TEST(WdaDamaged, EveryTruncationDrawsWhatIsSoundAndNothingElse) {
    const std::vector<uint8_t> bytes = sample();
    for (size_t n = kWdaMinimumSize; n < bytes.size(); n += 7) {
        WdaAnimation a;
        if (!a.loadBytes(std::span(bytes).first(n))) continue;
        for (int32_t code : {kWdaIndexed8, kWdaBgr24}) {
            DrawSurface s;
            ASSERT_TRUE(s.create(16, 6, code == kWdaIndexed8 ? 8 : 24));
            for (int32_t i = 0; i < a.frameCount(); ++i) a.drawFrame(s, i, 0, 0);
        }
    }
}

TEST(WdaDamaged, BadRowOffsetsStopTheFrameAtThatRowInEveryFormat) {
    const std::vector<uint8_t> pal = testPalette();
    Frames f{3, 3, {{1, 2, 3, 4, 5, 6, 7, 8, 9}}};
    std::vector<uint8_t> bytes = encodeFrames(f, pal);
    const uint32_t frame = loadU32(bytes.data() + 808);
    // Stored row 1 (the middle line) gets an end offset before its start.
    storeU32(bytes.data() + frame + 20 + 4, 9);
    storeU32(bytes.data() + frame + 20 + 8, 2);
    WdaAnimation a;
    ASSERT_TRUE(a.loadBytes(bytes));
    DrawSurface s8, s24;
    ASSERT_TRUE(s8.create(3, 3, 8));
    ASSERT_TRUE(s24.create(3, 3, 24));
    ASSERT_TRUE(a.drawFrame(s8, 0, 0, 0));
    // Only the bottom line was drawn; drawing stopped at the bad row.
    EXPECT_EQ(std::vector<uint8_t>(s8.row(2), s8.row(2) + 3), (std::vector<uint8_t>{7, 8, 9}));
    EXPECT_EQ(s8.row(1)[0], 0);
    EXPECT_EQ(s8.row(0)[0], 0);
    // The converted animation shows exactly the same part.
    ASSERT_TRUE(a.drawFrame(s24, 0, 0, 0));
    EXPECT_EQ(s24.row(2)[2], pal[3 * 7]);
    EXPECT_EQ(s24.row(1)[0], 0);
    EXPECT_EQ(s24.row(0)[0], 0);
}

TEST(WdaDamaged, FramesOutsideTheDataAreMissingOthersStillDraw) {
    std::vector<uint8_t> bytes = sample(3);
    storeU32(bytes.data() + 808 + 4, uint32_t(bytes.size() - 10));  // frame 1 runs past the end
    storeU32(bytes.data() + 808 + 8, 0xFFFFFFF0u);                  // frame 2 far outside
    WdaAnimation a;
    ASSERT_TRUE(a.loadBytes(bytes));
    EXPECT_EQ(a.frameSize(1), WdaFrameSize{});
    EXPECT_EQ(a.frameSize(2), WdaFrameSize{});
    DrawSurface s;
    ASSERT_TRUE(s.create(16, 6, 24));
    EXPECT_TRUE(a.drawFrame(s, 0, 0, 0));
    EXPECT_FALSE(a.drawFrame(s, 1, 0, 0));
    EXPECT_FALSE(a.drawFrame(s, 2, 0, 0));
    // A frame whose row table does not fit its own record.
    std::vector<uint8_t> rowsTooMany = sample(1);
    storeU16(rowsTooMany.data() + 812 + 10, 5000);
    ASSERT_TRUE(a.loadBytes(rowsTooMany));
    EXPECT_FALSE(a.drawFrame(s, 0, 0, 0));
}

// --- Loading from files and resources ------------------------------------

TEST(WdaLoad, MissingFileShowsTheLoadFailureMessage) {
    ScriptedPlatform platform;
    WdaAnimation a;
    EXPECT_EQ(a.loadFile("/nonexistent/anim.wda", &platform), -1);
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, "/nonexistent/anim.wda: No such file, or sharing violation?");
    EXPECT_EQ(platform.messages[0].caption, "WDA Load Failure");

    const fs::path dir = fs::temp_directory_path() / ("pavalo_wda_test_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::string error;
    const std::vector<uint8_t> good = sample();
    ASSERT_TRUE(writeWdaFile((dir / "a.wda").string(), good, error)) << error;
    WdaAnimation b((dir / "a.wda").string());
    EXPECT_TRUE(b.loaded());
    EXPECT_TRUE(b.ownsData());
    const std::vector<uint8_t> junk(900, 0);
    ASSERT_TRUE(writeFileAtomically((dir / "junk.wda").string(), junk, error));
    EXPECT_EQ(b.loadFile((dir / "junk.wda").string(), &platform), 0);
    EXPECT_FALSE(b.loaded());
    EXPECT_EQ(platform.messages.size(), 1u);
    fs::remove_all(dir);
    EXPECT_EQ(b.loadResource(999999), -1);
}

// --- The puzzle-picture player -------------------------------------------

TEST(WdaPlayer, OneFramePerPassAtFifteenPerSecondThenTheSecondAnimationThenFromTheStart) {
    const std::vector<uint8_t> pal = testPalette();
    Frames first{2, 1, {{1, 1}, {2, 2}, {3, 3}}};
    Frames second{2, 1, {{7, 7}, {8, 8}}};
    WdaAnimation a, b;
    ASSERT_TRUE(a.loadBytes(encodeFrames(first, pal)));
    ASSERT_TRUE(b.loadBytes(encodeFrames(second, pal)));
    DrawSurface s;
    ASSERT_TRUE(s.create(2, 1, 8));
    WdaPlayer player;
    player.attach(&a, &b);
    EXPECT_EQ(player.totalFrames(), 5);
    const uint32_t t0 = 0xFFFFFF00u;  // the clock wraps during the test
    ASSERT_TRUE(player.start(s, t0));
    EXPECT_EQ(s.row(0)[0], 1);
    EXPECT_FALSE(player.advance(s, t0 + 66));  // frame 1 is due at 66.7 ms
    EXPECT_TRUE(player.advance(s, t0 + 67));
    EXPECT_EQ(s.row(0)[0], 2);
    // Late passes still draw one frame each, never skipping.
    EXPECT_TRUE(player.advance(s, t0 + 1000));
    EXPECT_EQ(s.row(0)[0], 3);
    EXPECT_TRUE(player.advance(s, t0 + 1001));
    EXPECT_EQ(s.row(0)[0], 7);
    EXPECT_TRUE(player.advance(s, t0 + 1002));
    EXPECT_EQ(s.row(0)[0], 8);
    // Past the end: frame 0 again, and the clock starts over.
    EXPECT_TRUE(player.advance(s, t0 + 1003));
    EXPECT_EQ(s.row(0)[0], 1);
    EXPECT_EQ(player.frameNumber(), 0);
    EXPECT_EQ(player.startTime(), t0 + 1003);
    EXPECT_FALSE(player.advance(s, t0 + 1003 + 60));

    WdaPlayer none;
    none.attach(nullptr, &b);
    EXPECT_FALSE(none.start(s, 0));
    EXPECT_FALSE(none.advance(s, 1000));
}

}  // namespace
}  // namespace pavalo
