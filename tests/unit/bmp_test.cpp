// BMP loading and saving: hand-made golden files, our corrupt files, the
// external BMP corpus, the resource form and the size probe.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "common/file_io.h"
#include "media/bmp.h"
#include "media/picture_probe.h"

namespace pavalo {
namespace {

namespace fs = std::filesystem;

const std::string kData = PAVALO_TEST_DATA;
const std::string kSuite = std::string(PAVALO_TESTDATA_DIR) + "/bmpsuite";

std::vector<uint8_t> readFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(readWholeFile(path, bytes, error)) << error;
    return bytes;
}

// The pixel bytes of each row, top row first, without padding.
std::vector<std::vector<uint8_t>> rowsOf(const DrawSurface& s) {
    std::vector<std::vector<uint8_t>> rows;
    const int32_t n = s.width() * s.depth() / 8;
    for (int32_t y = 0; y < s.height(); ++y) rows.emplace_back(s.row(y), s.row(y) + n);
    return rows;
}

fs::path tempDir() {
    fs::path dir = fs::temp_directory_path() / ("pavalo_bmp_test_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    return dir;
}

TEST(BmpGolden, EightBitPixelsAndPalette) {
    DrawSurface s;
    ASSERT_TRUE(loadBmpFile(s, kData + "/golden/pal8_5x3.bmp"));
    EXPECT_EQ(s.depth(), 8);
    EXPECT_EQ(rowsOf(s), (std::vector<std::vector<uint8_t>>{
                             {0, 1, 2, 3, 4}, {10, 20, 30, 40, 50}, {255, 254, 253, 252, 251}}));
    PaletteTable p;
    ASSERT_TRUE(s.getPaletteEntries(p));
    EXPECT_EQ(p[20], (PaletteEntry{140, 235, 20, 2}));  // stored as (i, 255 - i, 7i)
    EXPECT_EQ(p[255], (PaletteEntry{(255 * 7) & 255, 0, 255, 2}));
}

TEST(BmpGolden, TwentyFourBitBytesLandUnchanged) {
    const std::vector<std::vector<uint8_t>> want = {{0, 0, 255, 0, 255, 0, 255, 0, 0},
                                                    {3, 2, 1, 200, 150, 100, 255, 255, 255}};
    for (const char* name : {"rgb24_3x2.bmp", "rgb24_topdown_3x2.bmp"}) {
        DrawSurface s;
        ASSERT_TRUE(loadBmpFile(s, kData + "/golden/" + name)) << name;
        EXPECT_EQ(s.depth(), 24);
        EXPECT_EQ(rowsOf(s), want) << name;
    }
}

TEST(BmpGolden, ShortColourTableLeavesTheRestBlack) {
    DrawSurface s;
    ASSERT_TRUE(loadBmpFile(s, kData + "/golden/pal8_short_table_2x2.bmp"));
    EXPECT_EQ(rowsOf(s), (std::vector<std::vector<uint8_t>>{{1, 0}, {0, 1}}));
    PaletteTable p;
    ASSERT_TRUE(s.getPaletteEntries(p));
    EXPECT_EQ(p[0], (PaletteEntry{200, 100, 50, 2}));
    EXPECT_EQ(p[1], (PaletteEntry{10, 20, 30, 2}));
    EXPECT_EQ(p[2], (PaletteEntry{0, 0, 0, 2}));
}

TEST(BmpLoad, OddWidthRowsAreNotSheared) {
    // 801 pixels of each 804-byte row are pixels; the padding differs.
    ByteWriter w;
    const int32_t width = 801, height = 3;
    w.bytes(std::vector<uint8_t>{'B', 'M'});
    w.u32(0);
    w.u32(0);
    w.u32(54 + 1024);
    for (uint32_t v : {40u, uint32_t(width), uint32_t(height), 1u | 8u << 16, 0u, 0u, 0u, 0u, 0u, 0u})
        w.u32(v);
    w.zeros(1024);
    for (int32_t r = 0; r < height; ++r) {
        for (int32_t x = 0; x < width; ++x) w.u8(uint8_t(x + 50 * r));
        w.bytes(std::vector<uint8_t>{0xAA, 0xBB, 0xCC});
    }
    DrawSurface s;
    ASSERT_TRUE(loadBmpBytes(s, w.buffer()));
    ASSERT_EQ(s.width(), 801);
    for (int32_t y = 0; y < height; ++y) {
        const int32_t fileRow = height - 1 - y;
        for (int32_t x = 0; x < width; ++x)
            ASSERT_EQ(s.row(y)[x], uint8_t(x + 50 * fileRow)) << x << "," << y;
    }
}

TEST(BmpLoad, CorruptFilesFailCleanly) {
    const std::map<std::string, int32_t> expected = {
        {"truncated_rows.bmp", kLoadErrorDamaged},
        {"huge_dimensions.bmp", kLoadErrorDamaged},
        {"bad_magic.bmp", kLoadErrorDamaged},
        {"header_size_huge.bmp", kLoadErrorDamaged},
        {"pixel_offset_past_end.bmp", kLoadErrorDamaged},
        {"zero_height.bmp", kLoadErrorDamaged},
        {"negative_width.bmp", kLoadErrorDamaged},
        {"short_header.bmp", kLoadErrorDamaged},
        {"table_past_end.bmp", kLoadErrorDamaged},
    };
    for (const auto& [name, code] : expected) {
        DrawSurface s;
        EXPECT_FALSE(loadBmpFile(s, kData + "/corrupt/" + name)) << name;
        EXPECT_EQ(s.lastLoadError, code) << name;
        EXPECT_FALSE(s.hasPixels()) << name;  // refused before any allocation
    }
    DrawSurface s;
    EXPECT_FALSE(loadBmpFile(s, kData + "/corrupt/no_such_file.bmp"));
    EXPECT_EQ(s.lastLoadError, kLoadErrorCannotOpen);
}

TEST(BmpSuite, EveryFileLoadsOrFailsCleanly) {
    ASSERT_TRUE(fs::is_directory(kSuite)) << kSuite;
    int loaded = 0, files = 0;
    for (const auto& dir : {"g", "q", "b"}) {
        for (const auto& entry : fs::directory_iterator(kSuite + "/" + dir)) {
            if (entry.path().extension() != ".bmp") continue;
            ++files;
            DrawSurface s;
            s.lastLoadError = 0;
            if (loadBmpFile(s, entry.path().string())) {
                ++loaded;
                EXPECT_TRUE(s.depth() == 8 || s.depth() == 24) << entry.path();
                EXPECT_EQ(s.lastLoadError, 0) << entry.path();
            } else {
                EXPECT_GE(s.lastLoadError, 1) << entry.path();
                EXPECT_LE(s.lastLoadError, 5) << entry.path();
            }
        }
    }
    EXPECT_GT(files, 80);
    EXPECT_GT(loaded, 10);
}

TEST(BmpSuite, ExpectedOutcomes) {
    const std::map<std::string, int32_t> codes = {
        {"g/pal1.bmp", 1},         {"g/pal4.bmp", 1},        {"g/rgb16.bmp", 1},     {"g/rgb32.bmp", 1},
        {"g/pal8os2.bmp", 1},      {"g/pal8rle.bmp", 3},     {"g/pal4rle.bmp", 1},   {"b/reallybig.bmp", 5},
        {"b/rletopdown.bmp", 3},   {"b/badbitcount.bmp", 1}, {"b/shortfile.bmp", 1}, {"q/rgb24jpeg.bmp", 1},
        {"q/pal8os2v2-16.bmp", 1}, {"q/rgba64.bmp", 1},
    };
    for (const auto& [name, code] : codes) {
        DrawSurface s;
        EXPECT_FALSE(loadBmpFile(s, kSuite + "/" + name)) << name;
        EXPECT_EQ(s.lastLoadError, code) << name;
    }
}

// The pixels as the file holds them, read plainly from the bytes.
std::vector<std::vector<uint8_t>> fileRows(const std::vector<uint8_t>& f) {
    const uint32_t offset = loadU32(&f[10]);
    const int32_t width = int32_t(loadU32(&f[18])), height = int32_t(loadU32(&f[22]));
    const int bpp = loadU16(&f[28]) / 8;
    const size_t stride = (size_t(width) * bpp + 3) / 4 * 4;
    std::vector<std::vector<uint8_t>> rows;
    for (int32_t y = height - 1; y >= 0; --y) {
        const uint8_t* p = &f[offset + size_t(y) * stride];
        rows.emplace_back(p, p + size_t(width) * bpp);
    }
    return rows;
}

TEST(BmpSuite, ExactPixels) {
    for (const char* name : {"g/rgb24.bmp", "g/pal8-0.bmp"}) {
        const std::vector<uint8_t> f = readFile(kSuite + "/" + name);
        DrawSurface s;
        ASSERT_TRUE(loadBmpFile(s, kSuite + "/" + name)) << name;
        EXPECT_EQ(s.width(), 127);
        EXPECT_EQ(s.height(), 64);
        EXPECT_EQ(rowsOf(s), fileRows(f)) << name;
    }
    DrawSurface pal;
    ASSERT_TRUE(loadBmpFile(pal, kSuite + "/g/pal8-0.bmp"));
    const std::vector<uint8_t> f = readFile(kSuite + "/g/pal8-0.bmp");
    PaletteTable p;
    ASSERT_TRUE(pal.getPaletteEntries(p));
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(p[size_t(i)].blue, f[54 + 4 * i]);
        EXPECT_EQ(p[size_t(i)].red, f[54 + 4 * i + 2]);
    }
}

TEST(BmpSuite, VariantsGiveTheSamePicture) {
    // Longer headers, top-down rows, gaps and long colour tables are read by
    // their sizes and offsets, giving the pixels of the plain files.
    auto load = [](const std::string& name) {
        DrawSurface s;
        EXPECT_TRUE(loadBmpFile(s, kSuite + "/" + name)) << name;
        std::pair<std::vector<std::vector<uint8_t>>, PaletteTable> out{rowsOf(s), {}};
        s.getPaletteEntries(out.second);
        return out;
    };
    const auto pal8 = load("g/pal8.bmp");
    for (const char* name : {"g/pal8topdown.bmp", "g/pal8v4.bmp", "g/pal8v5.bmp", "q/pal8offs.bmp",
                             "q/pal8oversizepal.bmp", "q/pal8os2v2.bmp"}) {
        const auto other = load(name);
        EXPECT_EQ(other.first, pal8.first) << name;
        for (int i = 0; i < 252; ++i)
            EXPECT_EQ(other.second[size_t(i)], pal8.second[size_t(i)]) << name << " " << i;
    }
    const auto rgb24 = load("g/rgb24.bmp");
    for (const char* name : {"q/rgb24largepal.bmp", "g/rgb24pal.bmp", "q/rgb24prof.bmp"})
        EXPECT_EQ(load(name).first, rgb24.first) << name;
}

TEST(BmpResource, InfoHeaderFirst) {
    ByteWriter w;
    for (uint32_t v : {40u, 3u, 2u, 1u | 8u << 16, 0u, 0u, 0u, 0u, 0u, 0u}) w.u32(v);
    for (int i = 0; i < 256; ++i) w.u32(uint32_t(i) << 16);  // red i
    w.bytes(std::vector<uint8_t>{7, 8, 9, 0, 1, 2, 3, 0});
    DrawSurface s;
    ASSERT_TRUE(loadBmpResourceBytes(s, w.buffer()));
    EXPECT_EQ(rowsOf(s), (std::vector<std::vector<uint8_t>>{{1, 2, 3}, {7, 8, 9}}));
    PaletteTable p;
    s.getPaletteEntries(p);
    EXPECT_EQ(p[9].red, 9);
    // A resource's depth and compression are checked like a file's.
    std::vector<uint8_t> bad = w.buffer();
    bad[14] = 4;
    EXPECT_FALSE(loadBmpResourceBytes(s, bad));
    EXPECT_FALSE(loadBmpResourceBytes(s, std::span<const uint8_t>(w.buffer()).first(1000)));
    EXPECT_FALSE(loadBmpResource(s, 999999));
}

TEST(BmpSave, LayoutAndRoundTrip) {
    const fs::path dir = tempDir();
    DrawSurface s24;
    ASSERT_TRUE(loadBmpFile(s24, kData + "/golden/rgb24_3x2.bmp"));
    DrawSurface wide;
    ASSERT_TRUE(wide.create(5, 2, 24));
    wide.copyBitmap(s24, 0, 0);
    const std::string p24 = (dir / "wide.bmp").string();
    ASSERT_TRUE(saveBmp(wide, p24));
    std::vector<uint8_t> f = readFile(p24);
    ASSERT_EQ(f.size(), 54u + 2 * 16);  // rows of 15 bytes padded to 16
    EXPECT_EQ(loadU32(&f[2]), f.size());
    EXPECT_EQ(loadU32(&f[10]), 54u);
    EXPECT_EQ(loadU16(&f[28]), 24);
    DrawSurface back;
    ASSERT_TRUE(loadBmpFile(back, p24));
    EXPECT_EQ(rowsOf(back), rowsOf(wide));

    DrawSurface s8;
    ASSERT_TRUE(loadBmpFile(s8, kData + "/golden/pal8_5x3.bmp"));
    const std::string p8 = (dir / "pal.bmp").string();
    ASSERT_TRUE(saveBmp(s8, p8));
    f = readFile(p8);
    ASSERT_EQ(f.size(), 54u + 1024 + 3 * 8);
    EXPECT_EQ(loadU32(&f[10]), 1078u);
    EXPECT_EQ(loadU32(&f[46]), 256u);  // colours used
    ASSERT_TRUE(loadBmpFile(back, p8));
    EXPECT_EQ(rowsOf(back), rowsOf(s8));
    PaletteTable a, b;
    s8.getPaletteEntries(a);
    back.getPaletteEntries(b);
    EXPECT_EQ(a, b);

    // An 8-bit surface without a palette is saved with the grey palette.
    DrawSurface bare;
    ASSERT_TRUE(bare.create(2, 2, 8));
    ASSERT_TRUE(saveBmp(bare, p8));
    EXPECT_TRUE(bare.hasPalette());
    f = readFile(p8);
    EXPECT_EQ(f[54 + 4 * 77], 77);

    // Nothing is left behind or written on failure.
    EXPECT_FALSE(saveBmp(s8, (dir / "missing" / "x.bmp").string()));
    DrawSurface empty;
    EXPECT_FALSE(saveBmp(empty, (dir / "empty.bmp").string()));
    EXPECT_FALSE(fs::exists(dir / "empty.bmp"));
    fs::remove_all(dir);
}

TEST(BmpSave, SixteenBitLayouts) {
    DrawSurface s565, s555;
    ASSERT_TRUE(s565.create(3, 1, 16));
    ASSERT_TRUE(s555.create(3, 1, kDepth16555));
    const std::vector<uint8_t> f565 = encodeBmp(s565), f555 = encodeBmp(s555);
    EXPECT_EQ(loadU32(&f565[30]), 3u);  // bit fields, masks follow the header
    EXPECT_EQ(loadU32(&f565[54]), 0xF800u);
    EXPECT_EQ(loadU32(&f565[10]), 66u);
    EXPECT_EQ(f565.size(), 66u + 8);
    EXPECT_EQ(loadU32(&f555[30]), 0u);
    EXPECT_EQ(f555.size(), 54u + 8);
}

TEST(PictureProbe, KindFromNameAndSizes) {
    EXPECT_EQ(probePictureFile("/x/PICTURE.JPG", nullptr), kProbeJpeg);
    EXPECT_EQ(probePictureFile("a.jpeg.bmp", nullptr), kProbeJpeg);
    EXPECT_EQ(probePictureFile("a.bmp", nullptr), kProbeBmp);
    BitmapInfoHeader info;
    EXPECT_EQ(probePictureFile("/no/such/file.bmp", &info), kProbeBmp | kProbeCannotOpen);
    EXPECT_EQ(probePictureFile(kData + "/corrupt/short_header.bmp", &info), kProbeBmp | kProbeCannotOpen);

    const fs::path dir = tempDir();
    DrawSurface s;
    ASSERT_TRUE(s.create(801, 3, 8));
    const std::string path = (dir / "wide.bmp").string();
    ASSERT_TRUE(saveBmp(s, path));
    EXPECT_EQ(probePictureFile(path, &info), kProbeBmp);
    EXPECT_EQ(info.width, 804);  // rounded up to a multiple of 4
    EXPECT_EQ(info.height, 3);
    EXPECT_EQ(info.bitCount, 8);
    EXPECT_TRUE(pictureMatchesSize(path, 804, 3));
    EXPECT_FALSE(pictureMatchesSize(path, 801, 3));
    int32_t w = 0, h = 0;
    ASSERT_TRUE(probePictureSize(path, w, h));
    EXPECT_EQ(w, 801);
    EXPECT_EQ(h, 3);
    EXPECT_TRUE(probePictureSize(kData + "/golden/rgb24_topdown_3x2.bmp", w, h));
    EXPECT_EQ(h, 2);
    EXPECT_TRUE(pictureMatchesSize(kData + "/golden/rgb24_topdown_3x2.bmp", 4, 2));
    EXPECT_FALSE(probePictureSize(kData + "/corrupt/bad_magic.bmp", w, h));

    const std::string movie = (dir / "clip.AVI").string();
    fs::copy_file(path, movie);
    EXPECT_FALSE(pictureMatchesSize(movie, 804, 3));
    fs::remove_all(dir);
}

}  // namespace
}  // namespace pavalo
