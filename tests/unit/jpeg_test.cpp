// JPEG decoding at every depth, damaged files, memory/file/resource
// equality and the JPEG side of the size probe.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/file_io.h"
#include "media/jpeg.h"
#include "media/picture_probe.h"
#include "common/resources.h"
#include "tests/unit/jpeg_writer.h"

namespace pavalo {
namespace {

namespace fs = std::filesystem;
using testing::encodeJpeg;
using testing::syntheticPicture;

const std::string kData = PAVALO_TEST_DATA;

std::vector<uint8_t> readFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(readWholeFile(path, bytes, error)) << error;
    return bytes;
}

uint16_t pixel16(const DrawSurface& s, int32_t x, int32_t y) { return loadU16(s.row(y) + 2 * x); }

std::vector<uint8_t> rowBytes(const DrawSurface& s) {
    std::vector<uint8_t> v;
    for (int32_t y = 0; y < s.height(); ++y)
        v.insert(v.end(), s.row(y), s.row(y) + s.width() * s.depth() / 8);
    return v;
}

std::vector<uint8_t> flat(int width, int height, uint8_t r, uint8_t g, uint8_t b) {
    std::vector<uint8_t> rgb;
    for (int i = 0; i < width * height; ++i) rgb.insert(rgb.end(), {r, g, b});
    return rgb;
}

TEST(JpegDecode, WhiteAndBlackAtSixteenBits) {
    for (const auto& [value, w565, w555] :
         {std::tuple{uint8_t(255), 0xFFDF, 0xFFFF}, std::tuple{uint8_t(0), 0x0000, 0x8000}}) {
        const std::vector<uint8_t> jpeg = encodeJpeg(16, 16, 3, flat(16, 16, value, value, value), 95);
        DrawSurface s565, s555;
        ASSERT_TRUE(decodeJpegMemory(s565, jpeg, 16));
        ASSERT_TRUE(decodeJpegMemory(s555, jpeg, kDepth16555));
        EXPECT_FALSE(s565.is555());
        EXPECT_TRUE(s555.is555());
        for (int32_t y = 0; y < 16; ++y)
            for (int32_t x = 0; x < 16; ++x) {
                ASSERT_EQ(pixel16(s565, x, y), w565) << int(value);
                ASSERT_EQ(pixel16(s555, x, y), w555) << int(value);
            }
    }
}

TEST(JpegDecode, SixteenBitsFollowTheTrueColourDecode) {
    // The same file at 24 and at 16 bits: each 16-bit pixel is the 24-bit
    // pixel with every channel cut to its top five bits.
    const std::vector<uint8_t> jpeg = readFile(kData + "/golden/colour_24x16.jpg");
    DrawSurface s24, s565, s555;
    ASSERT_TRUE(decodeJpegMemory(s24, jpeg, 24));
    ASSERT_TRUE(decodeJpegMemory(s565, jpeg, 16));
    ASSERT_TRUE(decodeJpegMemory(s555, jpeg, kDepth16555));
    ASSERT_EQ(s24.width(), 24);
    ASSERT_EQ(s24.height(), 16);
    std::set<uint32_t> distinct;
    for (int32_t y = 0; y < 16; ++y) {
        for (int32_t x = 0; x < 24; ++x) {
            const uint8_t* p = s24.row(y) + 3 * x;
            const uint32_t b = p[0] & 0xF8, g = p[1] & 0xF8, r = p[2] & 0xF8;
            distinct.insert(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16);
            EXPECT_EQ(pixel16(s565, x, y), r << 8 | g << 3 | b >> 3) << x << "," << y;
            EXPECT_EQ(pixel16(s555, x, y), 0x8000 | r << 7 | g << 2 | b >> 3) << x << "," << y;
        }
    }
    EXPECT_GT(distinct.size(), 50u);  // a real picture, not a flat one

    // 32 bits hold the same colours as 24.
    DrawSurface s32;
    ASSERT_TRUE(decodeJpegMemory(s32, jpeg, 32));
    for (int32_t x = 0; x < 24; ++x)
        for (int c = 0; c < 3; ++c) EXPECT_EQ(s32.row(5)[4 * x + c], s24.row(5)[3 * x + c]);
}

TEST(JpegDecode, GreyPicturesStayGrey) {
    const std::vector<uint8_t> jpeg = readFile(kData + "/golden/grey_16x16.jpg");
    DrawSurface s24, s16, s8;
    ASSERT_TRUE(decodeJpegMemory(s24, jpeg, 24));
    int dark = 255, light = 0;
    for (int32_t y = 0; y < 16; ++y)
        for (int32_t x = 0; x < 16; ++x) {
            const uint8_t* p = s24.row(y) + 3 * x;
            ASSERT_EQ(p[0], p[1]);
            ASSERT_EQ(p[1], p[2]);
            dark = std::min<int>(dark, p[0]);
            light = std::max<int>(light, p[0]);
        }
    EXPECT_LT(dark, 30);
    EXPECT_GT(light, 220);
    ASSERT_TRUE(decodeJpegMemory(s16, jpeg, 16));
    const uint32_t v = s24.row(3)[9] & 0xF8;
    EXPECT_EQ(pixel16(s16, 3, 3), v << 8 | v << 3 | v >> 3);
    ASSERT_TRUE(decodeJpegMemory(s8, jpeg, 8));
    PaletteTable p;
    ASSERT_TRUE(s8.getPaletteEntries(p));
    for (int32_t y = 0; y < 16; ++y)
        for (int32_t x = 0; x < 16; ++x) {
            const PaletteEntry& e = p[s8.row(y)[x]];
            ASSERT_TRUE(e.red == e.green && e.green == e.blue) << x << "," << y;
        }
}

TEST(JpegDecode, EightBitsUseIndicesTenTo245) {
    const std::vector<uint8_t> jpeg = encodeJpeg(96, 64, 3, syntheticPicture(96, 64), 90);
    DrawSurface s8, s24;
    ASSERT_TRUE(decodeJpegMemory(s8, jpeg, 8));
    ASSERT_TRUE(decodeJpegMemory(s24, jpeg, 24));
    EXPECT_EQ(s8.depth(), 8);
    PaletteTable p;
    ASSERT_TRUE(s8.getPaletteEntries(p));
    int maxIndex = 0;
    int64_t error = 0;
    for (int32_t y = 0; y < 64; ++y)
        for (int32_t x = 0; x < 96; ++x) {
            const uint8_t i = s8.row(y)[x];
            ASSERT_GE(i, 10);
            ASSERT_LE(i, 245);
            maxIndex = std::max<int>(maxIndex, i);
            const uint8_t* t = s24.row(y) + 3 * x;
            error += colourDistance(p[i].red, p[i].green, p[i].blue, t[2], t[1], t[0]);
        }
    EXPECT_GT(maxIndex, 200);            // a varied picture uses most of the 236 colours
    EXPECT_LT(error / (96 * 64), 1500);  // and the colours resemble the picture
    for (int k = 0; k < 256; ++k) {
        if (k < 10 || k > 245) {
            EXPECT_EQ(p[size_t(k)].red, defaultPalette()[size_t(k)].red) << k;
            EXPECT_EQ(p[size_t(k)].blue, defaultPalette()[size_t(k)].blue) << k;
        }
    }
}

TEST(JpegDecode, FewColoursLeaveDefaultEntries) {
    // Four flat quarters quantise to a handful of colours; the entries past
    // them keep the DefaultPalette's colours.
    std::vector<uint8_t> rgb;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const int q = (y / 16) * 2 + x / 16;
            const uint8_t c[4][3] = {{200, 30, 30}, {30, 200, 30}, {30, 30, 200}, {220, 220, 40}};
            rgb.insert(rgb.end(), c[q], c[q] + 3);
        }
    DrawSurface s8;
    ASSERT_TRUE(decodeJpegMemory(s8, encodeJpeg(32, 32, 3, rgb, 95), 8));
    PaletteTable p;
    ASSERT_TRUE(s8.getPaletteEntries(p));
    int used = 0;
    for (int32_t y = 0; y < 32; ++y)
        for (int32_t x = 0; x < 32; ++x) used = std::max<int>(used, s8.row(y)[x]);
    ASSERT_LT(used, 200);
    for (int k = 236; k < 246; ++k) EXPECT_EQ(p[size_t(k)].green, defaultPalette()[size_t(k)].green) << k;
    // Top-left quarter: red.
    const PaletteEntry& e = p[s8.row(4)[4]];
    EXPECT_GT(e.red, 150);
    EXPECT_LT(e.green, 80);
}

TEST(JpegDecode, MemoryFileAndResourceAgree) {
    const std::string path = kData + "/golden/progressive_24x16.jpg";
    const std::vector<uint8_t> bytes = readFile(path);
    for (int32_t depth : {8, 16, kDepth16555, 24}) {
        DrawSurface fromFile, fromMemory;
        ASSERT_TRUE(decodeJpegFile(fromFile, path, depth)) << depth;
        ASSERT_TRUE(decodeJpegMemory(fromMemory, bytes, depth)) << depth;
        EXPECT_EQ(rowBytes(fromFile), rowBytes(fromMemory)) << depth;
    }
    // Every embedded JPEG decodes like its bytes; an unknown id fails
    // without an error code.
    for (const ResourceEntry& r : allResources()) {
        if (r.type != "JPEG") continue;
        DrawSurface a, b;
        ASSERT_TRUE(decodeJpegResource(a, r.id, 24)) << r.id;
        ASSERT_TRUE(decodeJpegMemory(b, r.bytes, 24));
        EXPECT_EQ(rowBytes(a), rowBytes(b));
    }
    DrawSurface s;
    s.lastLoadError = 0;
    EXPECT_FALSE(decodeJpegResource(s, 987654, 24));
    EXPECT_EQ(s.lastLoadError, 0);
}

TEST(JpegDecode, DamagedFilesFail) {
    const std::map<std::string, int32_t> cases = {
        {"corrupt/truncated.jpg", kLoadErrorDamaged},       {"corrupt/scrambled_data.jpg", kLoadErrorDamaged},
        {"corrupt/not_a_picture.jpg", kLoadErrorDamaged},   {"corrupt/cmyk.jpg", kLoadErrorDamaged},
        {"corrupt/no_such_file.jpg", kLoadErrorCannotOpen},
    };
    for (const auto& [name, code] : cases) {
        for (int32_t depth : {8, 16, 24}) {
            DrawSurface s;
            EXPECT_FALSE(decodeJpegFile(s, kData + "/" + name, depth)) << name;
            EXPECT_EQ(s.lastLoadError, code) << name << " at " << depth;
        }
    }
    DrawSurface s;
    EXPECT_FALSE(decodeJpegMemory(s, {}, 24));
    EXPECT_EQ(s.lastLoadError, kLoadErrorDamaged);
}

TEST(JpegDecode, EveryCutOfAFileFails) {
    // A file cut anywhere, even just before its end marker, never loads.
    const std::vector<uint8_t> bytes = readFile(kData + "/golden/colour_24x16.jpg");
    for (size_t cut = 0; cut + 1 < bytes.size(); cut += 13) {
        for (int32_t depth : {8, 24}) {
            DrawSurface s;
            EXPECT_FALSE(decodeJpegMemory(s, std::span<const uint8_t>(bytes).first(cut), depth)) << cut;
            EXPECT_EQ(s.lastLoadError, kLoadErrorDamaged) << cut;
        }
    }
    DrawSurface s;
    EXPECT_FALSE(decodeJpegMemory(s, std::span<const uint8_t>(bytes).first(bytes.size() - 2), 24));
}

TEST(JpegDecode, HugeHeaderSizeFailsBeforeDecoding) {
    std::vector<uint8_t> bytes = readFile(kData + "/golden/colour_24x16.jpg");
    // Patch the frame header to 60000 x 60000 pixels.
    size_t sof = 0;
    for (size_t i = 2; i + 9 < bytes.size(); ++i)
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xC0) {
            sof = i;
            break;
        }
    ASSERT_NE(sof, 0u);
    bytes[sof + 5] = bytes[sof + 7] = 60000 >> 8;
    bytes[sof + 6] = bytes[sof + 8] = 60000 & 0xFF;
    DrawSurface s;
    EXPECT_FALSE(decodeJpegMemory(s, bytes, 24));
    EXPECT_EQ(s.lastLoadError, kLoadErrorNoSurface);
}

TEST(JpegProbe, SizeFromHeader) {
    const fs::path dir = fs::temp_directory_path() / ("pavalo_jpeg_test_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string upper = (dir / "PICTURE.JPG").string();
    fs::copy_file(kData + "/golden/colour_24x16.jpg", upper);
    BitmapInfoHeader info;
    EXPECT_EQ(probePictureFile(upper, &info), kProbeJpeg);
    EXPECT_EQ(info.width, 24);
    EXPECT_EQ(info.height, 16);
    EXPECT_EQ(info.bitCount, 24);
    EXPECT_TRUE(pictureMatchesSize(upper, 24, 16));
    EXPECT_FALSE(pictureMatchesSize(upper, 24, 17));
    int32_t w = 0, h = 0;
    EXPECT_TRUE(probePictureSize(upper, w, h));
    EXPECT_EQ(w, 24);
    const std::string bad = (dir / "bad.jpeg").string();
    fs::copy_file(kData + "/corrupt/not_a_picture.jpg", bad);
    EXPECT_EQ(probePictureFile(bad, &info), kProbeJpeg | kProbeCannotOpen);
    EXPECT_FALSE(probePictureSize(bad, w, h));
    fs::remove_all(dir);
}

}  // namespace
}  // namespace pavalo
