// PNG and WebP decoding: every PNG colour form, alpha over white, the
// display depths, truncated and garbage data, the surface limit, and the
// PNG/WebP side of the picture probe.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "common/file_io.h"
#include "media/image_library.h"
#include "media/picture_probe.h"
#include "media/png.h"
#include "media/webp.h"
#include "tests/unit/png_webp_writer.h"

namespace pavalo {
namespace {

namespace fs = std::filesystem;
using testing::encodeLosslessWebp;
using testing::encodeLossyWebp;
using testing::encodePng;
using testing::encodeRgbaPng;
using testing::PngLayout;

// 0xRRGGBB of a 24- or 32-bit pixel.
uint32_t rgbAt(const DrawSurface& s, int32_t x, int32_t y) {
    const uint8_t* p = s.row(y) + x * (s.depth() / 8);
    return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

uint8_t overWhite(uint8_t c, uint8_t a) { return uint8_t((c * a + 255 * (255 - a) + 127) / 255); }

// A 9 x 7 picture of distinct colours with a band of every alpha kind:
// row 0 see-through, row 1 half see-through, the rest opaque.
std::vector<uint8_t> varied() {
    std::vector<uint8_t> rgba;
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x)
            rgba.insert(rgba.end(), {uint8_t(x * 28 + 3), uint8_t(y * 36 + 5), uint8_t(200 - x * 11 - y * 7),
                                     uint8_t(y == 0 ? 0 : y == 1 ? 128 : 255)});
    return rgba;
}

void expectVaried(const DrawSurface& s, const std::vector<uint8_t>& rgba) {
    ASSERT_EQ(s.width(), 9);
    ASSERT_EQ(s.height(), 7);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x) {
            const uint8_t* p = rgba.data() + (y * 9 + x) * 4;
            const uint32_t want = uint32_t(overWhite(p[0], p[3])) << 16 | uint32_t(overWhite(p[1], p[3])) << 8 |
                                  overWhite(p[2], p[3]);
            ASSERT_EQ(rgbAt(s, x, y), want) << x << "," << y;
        }
}

TEST(PngDecode, TrueColourWithAlphaPlainAndInterlaced) {
    const std::vector<uint8_t> rgba = varied();
    for (bool interlaced : {false, true}) {
        for (int32_t depth : {24, 32}) {
            DrawSurface s;
            ASSERT_TRUE(decodePngMemory(s, encodeRgbaPng(9, 7, rgba, interlaced), depth)) << interlaced;
            EXPECT_EQ(s.depth(), depth);
            expectVaried(s, rgba);
        }
    }
    // Row 0 is see-through: white.
    DrawSurface s;
    ASSERT_TRUE(decodePngMemory(s, encodeRgbaPng(9, 7, rgba), 24));
    EXPECT_EQ(rgbAt(s, 4, 0), 0xFFFFFFu);
}

TEST(PngDecode, PaletteGreyAndSixteenBitForms) {
    struct Case {
        const char* name;
        PngLayout layout;
        std::vector<uint32_t> want;  // 0xRRGGBB of row 0
    };
    const uint8_t half = 128;
    std::vector<Case> cases = {
        {"palette with transparency",
         {3, 1, PNG_COLOR_TYPE_PALETTE, 8, false, {{0, 1, 2}}, {{200, 10, 20}, {5, 180, 60}, {30, 40, 250}},
          {255, 0, half}},
         {0xC80A14, 0xFFFFFF,
          uint32_t(overWhite(30, half)) << 16 | uint32_t(overWhite(40, half)) << 8 | overWhite(250, half)}},
        {"4-bit palette", {2, 1, PNG_COLOR_TYPE_PALETTE, 4, false, {{0x10}}, {{1, 2, 3}, {90, 91, 92}}, {}},
         {0x5A5B5C, 0x010203}},
        {"2-bit grey", {4, 1, PNG_COLOR_TYPE_GRAY, 2, false, {{0x1B}}, {}, {}},
         {0x000000, 0x555555, 0xAAAAAA, 0xFFFFFF}},
        {"16-bit grey", {2, 1, PNG_COLOR_TYPE_GRAY, 16, false, {{0x34, 0x34, 0xC8, 0xC8}}, {}, {}},
         {0x343434, 0xC8C8C8}},
        {"grey with alpha", {2, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, {{100, 0, 100, 255}}, {}, {}},
         {0xFFFFFF, 0x646464}},
        {"16-bit colour", {1, 1, PNG_COLOR_TYPE_RGB, 16, false, {{0x12, 0x12, 0x56, 0x56, 0x9A, 0x9A}}, {}, {}},
         {0x12569A}},
        {"16-bit colour with alpha",
         {2, 1, PNG_COLOR_TYPE_RGB_ALPHA, 16, true,
          {{0x12, 0x12, 0x56, 0x56, 0x9A, 0x9A, 0, 0, 0xAB, 0xAB, 0xCD, 0xCD, 0xEF, 0xEF, 0xFF, 0xFF}}, {}, {}},
         {0xFFFFFF, 0xABCDEF}},
    };
    for (const Case& c : cases) {
        DrawSurface s;
        ASSERT_TRUE(decodePngMemory(s, encodePng(c.layout), 24)) << c.name;
        ASSERT_EQ(s.width(), int32_t(c.want.size())) << c.name;
        for (size_t x = 0; x < c.want.size(); ++x) EXPECT_EQ(rgbAt(s, int32_t(x), 0), c.want[x]) << c.name << " " << x;
    }
}

TEST(PngDecode, SixteenAndEightBitDisplays) {
    std::vector<uint8_t> rgba = {255, 255, 255, 255, 0, 0, 0, 255, 0xA8, 0x54, 0x18, 255};
    const std::vector<uint8_t> png = encodeRgbaPng(3, 1, rgba);
    DrawSurface s565, s555, s8;
    ASSERT_TRUE(decodePngMemory(s565, png, 16));
    ASSERT_TRUE(decodePngMemory(s555, png, kDepth16555));
    EXPECT_FALSE(s565.is555());
    EXPECT_TRUE(s555.is555());
    const uint16_t want565[] = {0xFFDF, 0x0000, uint16_t(0xA8 << 8 | 0x50 << 3 | 0x18 >> 3)};
    const uint16_t want555[] = {0xFFFF, 0x8000, uint16_t(0x8000 | 0xA8 << 7 | 0x50 << 2 | 0x18 >> 3)};
    for (int x = 0; x < 3; ++x) {
        EXPECT_EQ(loadU16(s565.row(0) + 2 * x), want565[x]) << x;
        EXPECT_EQ(loadU16(s555.row(0) + 2 * x), want555[x]) << x;
    }
    // Eight bits: dithered to the default palette, white and black close.
    ASSERT_TRUE(decodePngMemory(s8, png, 8));
    ASSERT_EQ(s8.depth(), 8);
    PaletteTable palette;
    ASSERT_TRUE(s8.getPaletteEntries(palette));
    const PaletteEntry& white = palette[s8.row(0)[0]];
    const PaletteEntry& black = palette[s8.row(0)[1]];
    EXPECT_GE(std::min({white.red, white.green, white.blue}), 224);
    EXPECT_LE(std::max({black.red, black.green, black.blue}), 32);
}

TEST(WebpDecode, LosslessAndLossy) {
    const std::vector<uint8_t> rgba = varied();
    for (int32_t depth : {24, 32}) {
        DrawSurface s;
        ASSERT_TRUE(decodeWebpMemory(s, encodeLosslessWebp(9, 7, rgba), depth));
        EXPECT_EQ(s.depth(), depth);
        expectVaried(s, rgba);
    }
    // Lossy: a flat colour comes back close.
    std::vector<uint8_t> rgb;
    for (int i = 0; i < 32 * 16; ++i) rgb.insert(rgb.end(), {40, 120, 200});
    DrawSurface s;
    ASSERT_TRUE(decodeWebpMemory(s, encodeLossyWebp(32, 16, rgb, 90), 24));
    ASSERT_EQ(s.width(), 32);
    ASSERT_EQ(s.height(), 16);
    const uint32_t p = rgbAt(s, 17, 9);
    EXPECT_NEAR(int(p >> 16), 40, 6);
    EXPECT_NEAR(int(p >> 8 & 0xFF), 120, 6);
    EXPECT_NEAR(int(p & 0xFF), 200, 6);
    DrawSurface s16;
    ASSERT_TRUE(decodeWebpMemory(s16, encodeLosslessWebp(9, 7, rgba), 16));
    EXPECT_EQ(s16.depth(), 16);
}

using Decoder = bool (*)(DrawSurface&, std::span<const uint8_t>, int32_t);

// Every cut of a whole file fails as damaged, and garbage never crashes:
// random bytes, and the whole file with each byte changed.
void checkDamaged(Decoder decode, const std::vector<uint8_t>& whole, const char* name) {
    for (size_t n = 0; n < whole.size(); ++n) {
        DrawSurface s;
        ASSERT_FALSE(decode(s, std::span<const uint8_t>(whole.data(), n), 24)) << name << " cut at " << n;
        ASSERT_EQ(s.lastLoadError, kLoadErrorDamaged) << name << " cut at " << n;
    }
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        std::vector<uint8_t> bytes(whole.begin(), whole.begin() + 16);  // a real header first
        for (int i = 0; i < 300; ++i) bytes.push_back(uint8_t(random()));
        DrawSurface s;
        EXPECT_FALSE(decode(s, bytes, 24)) << name;
    }
    for (size_t i = 0; i < whole.size(); ++i) {
        std::vector<uint8_t> bytes = whole;
        bytes[i] ^= uint8_t(1 + random() % 255);
        DrawSurface s;
        if (!decode(s, bytes, 8 << (i % 3))) {
            ASSERT_TRUE(s.lastLoadError == kLoadErrorDamaged || s.lastLoadError == kLoadErrorNoSurface) << name;
        }
    }
}

TEST(PictureDamage, TruncatedAndGarbagePngAndWebp) {
    const std::vector<uint8_t> rgba = varied();
    checkDamaged(decodePngMemory, encodeRgbaPng(9, 7, rgba), "png");
    checkDamaged(decodePngMemory, encodeRgbaPng(9, 7, rgba, true), "interlaced png");
    checkDamaged(decodeWebpMemory, encodeLosslessWebp(9, 7, rgba), "lossless webp");
    std::vector<uint8_t> rgb(24 * 24 * 3, 90);
    checkDamaged(decodeWebpMemory, encodeLossyWebp(24, 24, rgb, 80), "lossy webp");
}

TEST(PictureDamage, PicturesAboveTheSurfaceLimitAreRefused) {
    std::vector<uint8_t> rgba(40 * 40 * 4, 200);
    const std::vector<uint8_t> png = encodeRgbaPng(40, 40, rgba), webp = encodeLosslessWebp(40, 40, rgba);
    const size_t old = surfaceByteLimit();
    setSurfaceByteLimit(2000);
    DrawSurface a, b;
    const bool pngOk = decodePngMemory(a, png, 24), webpOk = decodeWebpMemory(b, webp, 24);
    setSurfaceByteLimit(old);
    EXPECT_FALSE(pngOk);
    EXPECT_FALSE(webpOk);
    EXPECT_EQ(a.lastLoadError, kLoadErrorNoSurface);
    EXPECT_EQ(b.lastLoadError, kLoadErrorNoSurface);
}

TEST(PictureProbe, PngAndWebpKindsSizesAndLoading) {
    const fs::path dir = fs::temp_directory_path() / ("pavalo-pngwebp-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    auto write = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
        const std::string path = (dir / name).string();
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return path;
    };
    const std::vector<uint8_t> rgba = varied();
    const std::string png = write("p.PNG", encodeRgbaPng(9, 7, rgba));
    const std::string webp = write("w.webp", encodeLosslessWebp(9, 7, rgba));
    const std::string lossy = write("l.webp", encodeLossyWebp(24, 10, std::vector<uint8_t>(24 * 10 * 3, 9), 50));
    const std::string fake = write("f.png", {'n', 'o', 't'});
    BitmapInfoHeader info;
    EXPECT_EQ(probePictureFile(png, &info), kProbePng);
    EXPECT_EQ(info.width, 9);
    EXPECT_EQ(info.height, 7);
    EXPECT_EQ(probePictureFile(webp, &info), kProbeWebp);
    EXPECT_EQ(info.width, 9);
    EXPECT_EQ(probePictureFile(fake, &info), kProbePng | kProbeCannotOpen);
    EXPECT_EQ(probePictureFile("x.jpg.png", nullptr), kProbePng);
    EXPECT_EQ(probePictureFile("x.png.jpg", nullptr), kProbeJpeg);
    int32_t w = 0, h = 0;
    ASSERT_TRUE(probePictureSize(lossy, w, h));
    EXPECT_EQ(w, 24);
    EXPECT_EQ(h, 10);
    EXPECT_TRUE(pictureMatchesSize(webp, 9, 7));
    EXPECT_FALSE(probePictureSize(fake, w, h));

    EXPECT_EQ(pictureKindOfFile(png), kProbePng);
    EXPECT_EQ(pictureKindOfFile(webp), kProbeWebp);
    EXPECT_EQ(pictureKindOfFile(fake), 0u);
    EXPECT_EQ(pictureKindOfBytes(std::vector<uint8_t>{0xFF, 0xD8, 0xFF, 0xE0}), kProbeJpeg);
    EXPECT_EQ(pictureKindOfBytes(std::vector<uint8_t>{'B', 'M', 0}), kProbeBmp);

    // By name, and by first bytes whatever the name.
    DrawSurface s, t;
    ASSERT_TRUE(loadPictureFile(s, webp, 24));
    expectVaried(s, rgba);
    const std::string misnamed = write("really-a-png.jpg", encodeRgbaPng(9, 7, rgba));
    ASSERT_TRUE(decodeCompressedPicture(t, misnamed, 32));
    expectVaried(t, rgba);
    // Image libraries read them for thumbnails, at 24 bits.
    DrawSurface forThumb;
    ASSERT_TRUE(loadLibraryPicture(png, forThumb, nullptr, {}));
    EXPECT_EQ(forThumb.depth(), 24);
    expectVaried(forThumb, rgba);
    DrawSurface u;
    EXPECT_FALSE(decodePngFile(u, (dir / "missing.png").string(), 24));
    EXPECT_EQ(u.lastLoadError, kLoadErrorCannotOpen);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace pavalo
