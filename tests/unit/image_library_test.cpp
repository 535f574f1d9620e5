// Image library files and the registry file: the stored layout, adding
// pictures with their thumbnails (wide, tall, animated, unreadable), removal,
// duplicates by path ignoring case, damaged libraries, crash-safe appends,
// names that do not fit, and the registry's values.
#include "media/image_library.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstring>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "common/file_io.h"
#include "media/bmp.h"
#include "platform/scripted_platform.h"
#include "shell/registry.h"
#include "media/wda_encoder.h"

namespace pavalo {
namespace {

namespace fs = std::filesystem;

class LibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("pavalo-lib-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string path(const std::string& name) const { return (dir / name).string(); }
    // A 24-bit BMP of w x h: red on the left half, blue on the right.
    std::string picture(const std::string& name, int32_t w, int32_t h) {
        DrawSurface s;
        EXPECT_TRUE(s.create(w, h, 24));
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) {
                uint8_t* p = s.row(y) + 3 * x;
                p[0] = x < w / 2 ? 0 : 255;
                p[2] = x < w / 2 ? 255 : 0;
            }
        EXPECT_TRUE(saveBmp(s, path(name)));
        return path(name);
    }
    std::vector<uint8_t> bytes(const std::string& p) {
        std::vector<uint8_t> b;
        std::string error;
        EXPECT_TRUE(readWholeFile(p, b, error)) << error;
        return b;
    }
    void write(const std::string& p, const std::vector<uint8_t>& b) {
        std::string error;
        ASSERT_TRUE(writeFileAtomically(p, b, error)) << error;
    }
    LibraryImageRecord record(const std::string& lib, int32_t i) {
        auto r = readLibraryRecords(lib, i, 1);
        EXPECT_TRUE(r && r->size() == 1);
        return r && !r->empty() ? r->front() : LibraryImageRecord{};
    }

    fs::path dir;
    ScriptedPlatform platform;
};

TEST_F(LibraryTest, HeaderAndRecordFieldsLieAtTheirOffsets) {
    LibraryHeader h = *makeLibraryHeader("Holidays", "0123456789012345678901234567890123456789");
    h.count = 3;
    const auto hb = h.encode();
    ASSERT_EQ(hb.size(), 312u);
    EXPECT_EQ(loadU32(hb.data()), 100u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(hb.data() + 4)), "Holidays");
    // The password keeps its first 31 characters.
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(hb.data() + 276)), "0123456789012345678901234567890");
    EXPECT_EQ(loadU32(hb.data() + 308), 3u);
    EXPECT_EQ(LibraryHeader::decode(hb), h);

    LibraryImageRecord r;
    r.width = 640;
    r.height = 480;
    ASSERT_TRUE(makeImageRecord("/pictures/Beach Day.jpeg", DrawSurface{}, r));
    r.width = 640;
    const std::vector<uint8_t> rb = r.encode();
    ASSERT_EQ(rb.size(), 9624u);
    EXPECT_EQ(loadU32(rb.data() + 4), 640u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(rb.data() + 12)), "Beach Day");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(rb.data() + 140)), "/pictures/Beach Day.jpeg");
    EXPECT_EQ(loadU32(rb.data() + 400), uint32_t(r.thumbWidth));
    EXPECT_EQ(rb[408], r.thumbnail[0]);
    EXPECT_EQ(LibraryImageRecord::decode(std::span<const uint8_t, 9624>(rb)), r);

    // Names that do not fit their fields are refused.
    EXPECT_FALSE(makeLibraryHeader(std::string(256, 'n'), ""));
    EXPECT_TRUE(makeLibraryHeader(std::string(255, 'n'), ""));
}

TEST_F(LibraryTest, AddingToAMissingLibraryCreatesItNamedAfterItsFile) {
    const std::string lib = path("My.Pictures.gvl");
    const std::string pic = picture("wide.bmp", 200, 100);
    EXPECT_EQ(addImageToLibrary(platform, lib, pic), 1);
    EXPECT_TRUE(platform.messages.empty());
    const auto info = readLibraryInfo(lib);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->header.nameText(), "My.Pictures");  // cut at the last dot
    EXPECT_FALSE(info->header.hasPassword());
    EXPECT_EQ(info->header.count, 1);
    EXPECT_EQ(info->fileSize, 312 + 9624);
    EXPECT_EQ(addImageToLibrary(platform, lib, picture("tall.bmp", 100, 200)), 2);
    EXPECT_EQ(fs::file_size(lib), 312u + 2 * 9624u);
    EXPECT_EQ(record(lib, 1).titleText(), "tall");
    EXPECT_EQ(record(lib, 1).pathText(), pic.substr(0, pic.size() - 8) + "tall.bmp");
    // A library that can neither be opened nor created is said, with why.
    EXPECT_EQ(addImageToLibrary(platform, path("no/such/folder/x.gvl"), pic), -1);
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text,
              "Cannot write " + path("no/such/folder/x.gvl") + ": " + std::strerror(ENOENT));

    // A write that fails (the file may not grow, as on a full disk) is said
    // too, and the library stays as it was.
    platform.messages.clear();
    const uintmax_t size = fs::file_size(lib);
    const std::string third = picture("third.bmp", 60, 60);
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = rlim_t(size);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const int32_t added = addImageToLibrary(platform, lib, third);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(added, -1);
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, "Cannot write " + lib + ": " + std::strerror(EFBIG));
    EXPECT_EQ(readLibraryInfo(lib)->header.count, 2);
}

TEST_F(LibraryTest, ThumbnailsAreScaledAndCentredOnLightGrey) {
    const std::string lib = path("t.gvl");
    ASSERT_EQ(addImageToLibrary(platform, lib, picture("wide.bmp", 200, 100)), 1);
    ASSERT_EQ(addImageToLibrary(platform, lib, picture("tall.bmp", 100, 200)), 2);
    ASSERT_EQ(addImageToLibrary(platform, lib, picture("thin.bmp", 1000, 4)), 3);
    const LibraryImageRecord wide = record(lib, 0), tall = record(lib, 1), thin = record(lib, 2);
    EXPECT_EQ(wide.width, 200);
    EXPECT_EQ(wide.height, 100);
    // 200 x 100 gives 96 x 48 from row 24; 100 x 200 gives 48 x 96 from column 24.
    EXPECT_EQ(std::make_pair(wide.thumbWidth, wide.thumbHeight), std::make_pair(96, 48));
    EXPECT_EQ(std::make_pair(tall.thumbWidth, tall.thumbHeight), std::make_pair(48, 96));
    auto at = [](const LibraryImageRecord& r, int x, int y) { return r.thumbnail[size_t(y * 96 + x)]; };
    // The picture's left half is red, its right half blue (in DefaultPalette).
    auto red = [](uint8_t i) { return defaultPalette()[i].red > 200 && defaultPalette()[i].blue < 100; };
    auto blue = [](uint8_t i) { return defaultPalette()[i].blue > 200 && defaultPalette()[i].red < 100; };
    EXPECT_EQ(at(wide, 0, 23), kThumbnailBackground);
    EXPECT_TRUE(red(at(wide, 0, 24)));
    EXPECT_TRUE(blue(at(wide, 95, 71)));
    EXPECT_EQ(at(wide, 95, 72), kThumbnailBackground);
    EXPECT_EQ(at(tall, 23, 0), kThumbnailBackground);
    EXPECT_TRUE(red(at(tall, 24, 0)));
    EXPECT_TRUE(blue(at(tall, 71, 95)));
    EXPECT_EQ(at(tall, 72, 95), kThumbnailBackground);
    // A very thin picture keeps one row instead of none.
    EXPECT_EQ(std::make_pair(thin.thumbWidth, thin.thumbHeight), std::make_pair(96, 1));
    EXPECT_TRUE(red(at(thin, 0, 48)));
    EXPECT_EQ(at(thin, 0, 47), kThumbnailBackground);
    EXPECT_EQ(thumbnailSize(96, 96), (ThumbSize{96, 96}));
    EXPECT_EQ(thumbnailSize(300, 200), (ThumbSize{96, 64}));
    EXPECT_EQ(thumbnailSize(0, 5), ThumbSize{});

    DrawSurface s;
    ASSERT_TRUE(thumbnailSurface(wide, s));
    EXPECT_EQ(s.width(), 96);
    EXPECT_EQ(s.row(24)[0], at(wide, 0, 24));
    PaletteTable t;
    ASSERT_TRUE(s.getPaletteEntries(t));
    EXPECT_EQ(t[249].red, 252);
}

TEST_F(LibraryTest, FilesThatAreNotPicturesAreRefusedAndLeaveTheLibraryAsItWas) {
    const std::string lib = path("p.gvl");
    const std::string text = path("notes.txt");
    std::ofstream(text) << "not a picture";
    // A library that does not exist yet is not made for a refused file.
    EXPECT_EQ(addImageToLibrary(platform, lib, text), -1);
    ASSERT_EQ(platform.messages.size(), 2u);
    EXPECT_EQ(platform.messages[0].text, "Invalid file format");
    EXPECT_EQ(platform.messages[1].text, "Unable to create thumbnail");
    EXPECT_FALSE(std::filesystem::exists(lib));

    ASSERT_EQ(addImageToLibrary(platform, lib, picture("real.bmp", 40, 30)), 1);
    const auto bytesOf = [](const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string before = bytesOf(lib);
    platform.messages.clear();
    EXPECT_EQ(addImageToLibrary(platform, lib, text), -1);
    EXPECT_EQ(addImageToLibrary(platform, lib, path("gone.bmp")), -1);  // missing
    std::ofstream(path("broken.bmp")) << "BM but nothing more";
    EXPECT_EQ(addImageToLibrary(platform, lib, path("broken.bmp")), -1);
    EXPECT_EQ(addImageToLibrary(platform, lib, path("gone.avi"), [](const std::string&, DrawSurface&) { return false; }),
              -1);
    EXPECT_EQ(bytesOf(lib), before);

    // A movie without a movie system is kept with the placeholder (the
    // player was told that movies need one); 96 x 96, it fills the thumbnail.
    platform.messages.clear();
    EXPECT_EQ(addImageToLibrary(platform, lib, path("clip.MPG")), 2);
    ASSERT_EQ(platform.messages.size(), 2u);
    EXPECT_EQ(platform.messages[0].text, library_text::kNoMovieSystem);
    const LibraryImageRecord r = record(lib, 1);
    EXPECT_EQ(std::make_pair(r.thumbWidth, r.thumbHeight), std::make_pair(96, 96));
    EXPECT_NE(std::count(r.thumbnail.begin(), r.thumbnail.end(), kThumbnailBackground), 9216);
    // With a movie system, its first frame is the picture.
    platform.messages.clear();
    MovieFrameLoader frames = [](const std::string&, DrawSurface& s) { return s.create(64, 32, 24); };
    EXPECT_EQ(addImageToLibrary(platform, lib, path("clip.avi"), frames), 3);
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(record(lib, 2).width, 64);
}

TEST_F(LibraryTest, AnimationsAddTheirFirstFrame) {
    std::vector<uint8_t> palette(768, 0);
    palette[3 * 5 + 1] = 255;  // index 5 is green
    WdaEncoder enc(30, 10, palette);
    enc.addFrame(std::vector<uint8_t>(300, 5));
    enc.addFrame(std::vector<uint8_t>(300, 0));
    std::string error;
    ASSERT_TRUE(writeWdaFile(path("spin.wda"), enc.finish(), error));
    ASSERT_EQ(addImageToLibrary(platform, path("a.gvl"), path("spin.wda")), 1);
    const LibraryImageRecord r = record(path("a.gvl"), 0);
    EXPECT_EQ(r.width, 30);
    EXPECT_EQ(std::make_pair(r.thumbWidth, r.thumbHeight), std::make_pair(96, 32));
    EXPECT_EQ(defaultPalette()[r.thumbnail[size_t(48 * 96 + 48)]].green, 252);
}

TEST_F(LibraryTest, NamesLongerThanTheirFieldsAreRefusedBeforeAnythingIsWritten) {
    const std::string lib = path("n.gvl");
    const std::string longTitle = path(std::string(128, 't') + ".bmp");
    EXPECT_EQ(addImageToLibrary(platform, lib, longTitle), -1);
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_NE(platform.messages[0].text.find("at most 127 characters"), std::string::npos);
    EXPECT_FALSE(fs::exists(lib));
    std::string longPath = dir.string();
    while (longPath.size() < 300) longPath += "/deeper";
    EXPECT_EQ(addImageToLibrary(platform, lib, longPath + "/a.bmp"), -1);
    EXPECT_NE(platform.messages.back().text.find("at most 259 characters"), std::string::npos);
    EXPECT_FALSE(fs::exists(lib));
}

TEST_F(LibraryTest, RemovingMovesLaterRecordsDownAndShortensTheFile) {
    const std::string lib = path("r.gvl");
    for (const char* n : {"a", "b", "c"}) addImageToLibrary(platform, lib, picture(std::string(n) + ".bmp", 8, 8));
    std::string error;
    EXPECT_EQ(removeLibraryImage(lib, 1, error), 2);
    EXPECT_EQ(fs::file_size(lib), 312u + 2 * 9624u);
    EXPECT_EQ(record(lib, 0).titleText(), "a");
    EXPECT_EQ(record(lib, 1).titleText(), "c");
    EXPECT_EQ(removeLibraryImage(lib, 2, error), -1);
    EXPECT_EQ(removeLibraryImage(lib, 1, error), 1);
    EXPECT_EQ(removeLibraryImage(lib, 0, error), 0);
    // The last removal leaves a 312-byte library with count 0.
    EXPECT_EQ(fs::file_size(lib), 312u);
    EXPECT_EQ(readLibraryInfo(lib)->header.count, 0);
    EXPECT_EQ(removeLibraryImage(path("missing.gvl"), 0, error), -1);
}

TEST_F(LibraryTest, DuplicatesAreFoundByPathIgnoringCase) {
    const std::string lib = path("d.gvl");
    const std::string pic = picture("Photo.bmp", 8, 8);
    addImageToLibrary(platform, lib, pic);
    std::string upper = pic;
    for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(findImageInLibrary(lib, upper), 0);
    EXPECT_EQ(findImageInLibrary(lib, pic + "x"), -1);
    EXPECT_FALSE(findImageInLibrary(path("none.gvl"), pic));
    EXPECT_TRUE(equalIgnoringCase("/A/b.BMP", "/a/B.bmp"));
    EXPECT_FALSE(equalIgnoringCase("/a/b.bmp", "/a/b.bm"));
}

TEST_F(LibraryTest, DamagedLibrariesShowWhatIsSound) {
    const std::string lib = path("bad.gvl");
    for (const char* n : {"a", "b"}) addImageToLibrary(platform, lib, picture(std::string(n) + ".bmp", 8, 8));
    std::vector<uint8_t> b = bytes(lib);

    // A count beyond the file's length: only the records present are read.
    std::vector<uint8_t> more = b;
    storeU32(more.data() + 308, 1000);
    write(lib, more);
    EXPECT_EQ(readLibraryInfo(lib)->usableCount, 2);
    EXPECT_EQ(readLibraryRecords(lib, 0, 12)->size(), 2u);
    // A truncated last record is not read.
    write(lib, std::vector<uint8_t>(b.begin(), b.end() - 1));
    EXPECT_EQ(readLibraryRecords(lib, 0, 12)->size(), 1u);
    // A negative count reads as empty; a file shorter than a header is no library.
    std::vector<uint8_t> negative = b;
    storeU32(negative.data() + 308, uint32_t(-5));
    write(lib, negative);
    EXPECT_EQ(readLibraryInfo(lib)->usableCount, 0);
    EXPECT_TRUE(readLibraryRecords(lib, 0, 12)->empty());
    write(lib, std::vector<uint8_t>(b.begin(), b.begin() + 311));
    EXPECT_FALSE(readLibraryInfo(lib));
    EXPECT_FALSE(readLibraryInfo(dir.string()));  // a folder is no library

    // Texts without their terminating zero end at their field.
    std::vector<uint8_t> unterminated = b;
    std::fill(unterminated.begin() + 4, unterminated.begin() + 260, 'N');
    std::fill(unterminated.begin() + 312 + 12, unterminated.begin() + 312 + 400, 'P');
    write(lib, unterminated);
    EXPECT_EQ(readLibraryInfo(lib)->header.nameText(), std::string(256, 'N'));
    const LibraryImageRecord r = record(lib, 0);
    EXPECT_EQ(r.titleText(), std::string(128, 'P'));
    EXPECT_EQ(r.pathText(), std::string(260, 'P'));
    EXPECT_EQ(parseLibraryRecords(unterminated, 1, 5).size(), 1u);
    EXPECT_TRUE(parseLibraryRecords(unterminated, -1, 5).empty());
}

// An addition goes after every whole record on disk, whatever the stored
// count says, and never cuts the file: no record is lost to a damaged count.
TEST_F(LibraryTest, AppendingCountsTheRecordsPresentAndNeverCutsTheFile) {
    const std::string lib = path("s.gvl");
    for (const char* n : {"a", "b", "c"}) addImageToLibrary(platform, lib, picture(std::string(n) + ".bmp", 8, 8));
    for (const uint32_t damaged : {1u, 0u, 0xffffffffu, 50u}) {
        std::vector<uint8_t> b = bytes(lib);
        const auto before = b.size();
        const int32_t present = int32_t((before - 312) / 9624);
        storeU32(b.data() + 308, damaged);
        write(lib, b);
        EXPECT_EQ(addImageToLibrary(platform, lib, picture("d.bmp", 8, 8)), present + 1) << damaged;
        EXPECT_EQ(fs::file_size(lib), before + 9624u) << damaged;
        EXPECT_EQ(readLibraryInfo(lib)->header.count, present + 1);
        EXPECT_EQ(record(lib, 1).titleText(), "b") << damaged;
        EXPECT_EQ(record(lib, 2).titleText(), "c") << damaged;
        EXPECT_EQ(record(lib, present).titleText(), "d") << damaged;
    }
    // A partial record at the end (a crash inside a write) is overwritten.
    std::vector<uint8_t> b = bytes(lib);
    const int32_t present = int32_t((b.size() - 312) / 9624);
    b.insert(b.end(), 100, 0xee);
    write(lib, b);
    EXPECT_EQ(addImageToLibrary(platform, lib, picture("e.bmp", 8, 8)), present + 1);
    EXPECT_EQ(fs::file_size(lib), 312u + size_t(present + 1) * 9624u);
    EXPECT_EQ(record(lib, present).titleText(), "e");
}

TEST_F(LibraryTest, FileTitlesAndExtensions) {
    EXPECT_EQ(fileTitle("/a/b/Sunset.Harbour.jpg"), "Sunset.Harbour");
    EXPECT_EQ(fileTitle("plain"), "plain");
    EXPECT_EQ(fileTitle("/a.b/c"), "c");
    EXPECT_EQ(lowerExtension("/a/b.JPEG"), "jpeg");
    EXPECT_EQ(lowerExtension("/a.d/b"), "");
}

// --- The registry file ----------------------------------------------------

TEST_F(LibraryTest, RegistryValuesSurviveAndOtherKeysAreKept) {
    Registry reg(path("config/tavorn/registry.ini"));
    EXPECT_TRUE(registeredLibraries(reg).empty());  // no file yet
    EXPECT_TRUE(reg.setString(kInstallKey, kInstallDirectoryValue, "/games/tavorn"));
    const std::string odd = "/x/a=b\\c\n[d].gvl";
    EXPECT_TRUE(registerLibrary(reg, "/x/One.gvl"));
    EXPECT_TRUE(registerLibrary(reg, odd));
    EXPECT_TRUE(registerLibrary(reg, "/x/one.GVL"));  // the same value, ignoring case
    EXPECT_EQ(registeredLibraries(reg), (std::vector<std::string>{"/x/One.gvl", odd}));
    EXPECT_EQ(reg.dwordValue(kLibrariesKey, odd), 0u);
    // Keys ignore case too.
    EXPECT_EQ(reg.stringValue("SOFTWARE\\TAVORN\\GLENTHORPEVALE", "installdirectory"), "/games/tavorn");
    EXPECT_TRUE(unregisterLibrary(reg, "/X/ONE.gvl"));
    EXPECT_EQ(registeredLibraries(reg), (std::vector<std::string>{odd}));
    EXPECT_TRUE(unregisterLibrary(reg, "/never/there.gvl"));
    EXPECT_EQ(reg.stringValue(kInstallKey, kInstallDirectoryValue), "/games/tavorn");

    // The file as a person would read it.
    std::ifstream in(reg.path());
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("[SOFTWARE\\Tavorn\\Tessel98Libraries]\n/x/a\\=b\\\\c\\n[d].gvl=dword:0\n"), std::string::npos)
        << text;
}

TEST_F(LibraryTest, RegistryLinesThatCannotBeReadAreIgnored) {
    const auto entries = Registry::parse(
        "junk before a key\n[k]\nname=sz:v\r\nno equals\n=sz:nameless\nbad=dword:12x\nbig=dword:4294967296\n"
        "tail\\\n[]\nx=sz:y\n[k2]\nok=dword:7");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "name");
    EXPECT_EQ(entries[0].value, "sz:v");
    EXPECT_EQ(entries[1].key, "k2");
    EXPECT_EQ(Registry::parse(Registry::format(entries)).size(), 2u);
    EXPECT_FALSE(Registry("").setDword("k", "n", 1));
}

}  // namespace
}  // namespace pavalo
