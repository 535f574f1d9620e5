// Tests of the puzzle document: new puzzles from pictures with every check
// and message, the cut sequence's progress, open and save, recut, rotation.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "tests/unit/test_doubles.h"
#include "common/sound_events.h"
#include "surface/display_modes.h"
#include "media/bmp.h"
#include "media/still_picture.h"
#include "platform/scripted_platform.h"
#include "shell/document.h"
#include "shell/runtime_probe.h"
#include "tests/unit/png_webp_writer.h"

using namespace pavalo;
using pavalo::testing::MapHolders;
using pavalo::testing::RecordingSounds;
namespace fs = std::filesystem;

namespace {

struct FrontEnd : DocumentFrontEnd {
    std::deque<std::optional<std::string>> pictures;
    std::deque<std::optional<PieceCountChoice>> counts;
    std::vector<std::string> log;
    std::vector<std::pair<int, std::string>> progress;
    std::optional<std::string> choosePicture() override {
        log.push_back("choose");
        if (pictures.empty()) return std::nullopt;
        auto p = pictures.front();
        pictures.pop_front();
        return p;
    }
    std::optional<PieceCountChoice> askPieceCount(const PieceCountRules& rules, bool rotate) override {
        log.push_back(std::string("count ") + (rotate ? "rotated" : "upright") + " max " +
                      std::to_string(rules.sliderMaximum()));
        if (counts.empty()) return std::nullopt;
        auto c = counts.front();
        counts.pop_front();
        return c;
    }
    void progressOpen(const std::string& caption) override { progress.push_back({0, caption}); }
    void progressSet(int percent, const std::string& caption) override { progress.push_back({percent, caption}); }
    void progressClose() override { log.push_back("progress closed"); }
    void resetSideWindows() override { log.push_back("reset"); }
    void closeSortingBoxes() override { log.push_back("boxes closed"); }
    void forgetRecentFile(const std::string& p) override { log.push_back("forget " + p); }
};


class DocumentTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("pavalo-doc-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
        setDisplayModes(defaultDisplayModes(1280, 1024));
        doc.setPlayArea(1280, 1024);
        jpeg = std::string(PAVALO_SAMPLE_DIR) + "/sunset-harbour.jpg";
        bmp24 = std::string(PAVALO_SAMPLE_DIR) + "/balloons.bmp";
        bmp8 = std::string(PAVALO_SAMPLE_DIR) + "/stained-glass.bmp";
    }
    void TearDown() override {
        fs::remove_all(dir);
        setDisplayModes(defaultDisplayModes(1920, 1080));
    }
    PieceCountChoice grid(int c, int r, bool rotate = false) { return {{c, r}, rotate, -1, c * r}; }

    fs::path dir;
    std::string jpeg, bmp24, bmp8;
    PuzzleModel model;
    UndoRing undo;
    Preferences prefs;
    ScriptedPlatform platform;
    FrontEnd front;
    Document doc{model, undo, prefs, platform, front};
};

}  // namespace

TEST_F(DocumentTest, NewPuzzleRunsTheCutSequence) {
    RecordingSounds sounds;
    front.pictures.push_back(jpeg);
    front.counts.push_back(grid(8, 6, true));
    ASSERT_TRUE(doc.newPuzzle());
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(model.pieceCount(), 48);
    EXPECT_EQ(doc.record().pictureKind, kPictureJpeg);
    EXPECT_EQ(doc.record().picture(), jpeg);
    EXPECT_EQ(doc.record().columns, 8);
    EXPECT_EQ(doc.record().pictureWidth, 800);
    EXPECT_EQ(doc.record().rotationOption, 1u);
    EXPECT_EQ(doc.puzzleState(), kPuzzleStateNew);
    EXPECT_EQ(doc.pieceOrder().size(), 48u);
    EXPECT_EQ(prefs.record.rotatedPieces, 1);  // the choice is remembered
    EXPECT_EQ(front.log.front(), "choose");
    // Progress: the three captions in order, ending at 100.
    ASSERT_FALSE(front.progress.empty());
    EXPECT_EQ(front.progress.front().second, "Creating Template");
    std::vector<std::string> captions;
    for (auto& p : front.progress)
        if (captions.empty() || captions.back() != p.second) captions.push_back(p.second);
    EXPECT_EQ(captions, (std::vector<std::string>{"Creating Template", "Cutting Puzzle", "Loading Image"}));
    EXPECT_EQ(front.progress.back().first, 100);
    // New game sound, the cutting sound looping through the cut, then stopped.
    EXPECT_EQ(sounds.repeats.front(), std::make_pair(int(kSoundNewGame), 1));
    EXPECT_EQ(sounds.repeats.back(), std::make_pair(int(kSoundPuzzleCut), 128));
    EXPECT_EQ(sounds.stopped, (std::vector<int>{kSoundPuzzleCut}));
}

TEST_F(DocumentTest, TheSameSeedCutsTheSamePuzzle) {
    NewPuzzleOptions o;
    o.picture = bmp8;
    o.pieces = 60;
    o.seed = 7;
    ASSERT_TRUE(doc.newPuzzle(o));
    std::vector<Rect> first;
    for (int i = 0; i < model.pieceCount(); ++i) first.push_back(model.piece(i).box());
    ASSERT_TRUE(doc.newPuzzle(o));
    for (int i = 0; i < model.pieceCount(); ++i) EXPECT_EQ(model.piece(i).box(), first[size_t(i)]);
    EXPECT_TRUE(front.log.empty() || front.log.front() != "choose");  // no chooser with a given picture
}

TEST_F(DocumentTest, PictureChecksAndTheirMessages) {
    using namespace document_text;
    auto attempt = [&](const std::string& path) {
        platform.messages.clear();
        front.pictures.push_back(path);
        front.counts.push_back(grid(4, 3));
        return doc.newPuzzle();
    };
    EXPECT_FALSE(attempt((dir / "picture.gif").string()));
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, kInvalidFormat);
    EXPECT_FALSE(attempt((dir / "missing.jpg").string()));
    EXPECT_EQ(platform.messages.at(0).text, kImageNotFound);
    // A picture that is there but damaged is not "not found": it is named.
    for (const char* name : {"broken.jpg", "broken.bmp"}) {
        const std::string broken = (dir / name).string();
        std::ofstream(broken) << "this is no picture at all, only some text that goes on for a while";
        EXPECT_FALSE(attempt(broken));
        ASSERT_EQ(platform.messages.size(), 1u);
        EXPECT_EQ(platform.messages[0].text,
                  "The picture " + broken + " cannot be read.  The file is damaged, or it is not the kind of picture its name says.");
    }

    // A 1-bit BMP is refused with the depth message.
    const std::string onebit = std::string(PAVALO_TESTDATA_DIR) + "/bmpsuite/g/pal1.bmp";
    const std::string copy = (dir / "ONEBIT.BMP").string();  // capitals count as the extension
    fs::copy_file(onebit, copy);
    EXPECT_FALSE(attempt(copy));
    EXPECT_EQ(platform.messages.at(0).text, kBmpDepth);

    // With only 8-bit display modes a 24-bit BMP is refused, an 8-bit one is fine.
    setDisplayModes({{1280, 1024, 8, 0}});
    EXPECT_FALSE(attempt(bmp24));
    EXPECT_EQ(platform.messages.at(0).text, kTrueColourBmp);
    EXPECT_TRUE(attempt(bmp8));
    EXPECT_TRUE(platform.messages.empty());
    // JPEGs decode at 8 bits there.
    EXPECT_TRUE(attempt(jpeg));
    EXPECT_EQ(doc.picture().depth(), 8);

    // Movies and animations report through their missing systems.
    EXPECT_FALSE(attempt((dir / "clip.AVI").string()));
    EXPECT_EQ(platform.messages.at(0).text, kNoMovieSystem);
    EXPECT_FALSE(attempt((dir / "anim.wda").string()));
    EXPECT_EQ(platform.messages.at(0).text, kImageNotFound);
    EXPECT_FALSE(doc.hasPuzzle());  // every refusal leaves the play area empty
}

TEST_F(DocumentTest, CancellingTheChooserKeepsThePuzzleCancellingTheCountDoesNot) {
    front.pictures.push_back(bmp8);
    front.counts.push_back(grid(5, 4));
    ASSERT_TRUE(doc.newPuzzle());
    model.moveGroup(ListId::Main, 3, 100, 100);
    const Rect moved = model.piece(3).box();

    front.pictures.push_back(std::nullopt);
    EXPECT_FALSE(doc.newPuzzle());
    EXPECT_EQ(model.pieceCount(), 20);
    EXPECT_EQ(model.piece(3).box(), moved);

    front.pictures.push_back(bmp8);
    front.counts.push_back(std::nullopt);
    EXPECT_FALSE(doc.newPuzzle());
    EXPECT_FALSE(doc.hasPuzzle());
    EXPECT_FALSE(doc.hasPicture());
    EXPECT_EQ(doc.puzzleState(), kPuzzleStateNone);
}

TEST_F(DocumentTest, SaveOpenAndRefusedFiles) {
    front.pictures.push_back(bmp8);
    front.counts.push_back(grid(5, 4));
    ASSERT_TRUE(doc.newPuzzle());
    model.solvePiece(ListId::Main, 0, 0, 0);
    doc.setModified();
    const std::string path = (dir / "game.gvp").string();
    platform.saveAnswers.push_back(path);
    ASSERT_TRUE(doc.save());  // no file yet: asks for a name
    EXPECT_FALSE(doc.modified());
    EXPECT_EQ(PreferencesRecord::text(prefs.record.lastPuzzlePath), path);

    PuzzleModel other;
    UndoRing otherUndo;
    Document second(other, otherUndo, prefs, platform, front);
    second.setPlayArea(1280, 1024);
    ASSERT_TRUE(second.open(path));
    EXPECT_EQ(other.pieceCount(), 20);
    EXPECT_EQ(other.countListPieces(ListId::Finished), 1);
    EXPECT_TRUE(second.hasPicture());
    EXPECT_EQ(second.title(), "Pavalo - game.gvp");

    // A file that is not a saved puzzle: its message, and it leaves the recent files.
    const std::string junk = (dir / "junk.gvp").string();
    std::ofstream(junk) << "not a puzzle at all, just some text that is long enough to read";
    platform.messages.clear();
    EXPECT_FALSE(second.open(junk));
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, "This is not a Pavalo saved puzzle");
    EXPECT_EQ(front.log.back(), "forget " + junk);
    EXPECT_EQ(other.pieceCount(), 20);  // the puzzle stays

    // A picture that changed size since the save: the pieces stay, the picture goes.
    const std::string moved = (dir / "pic.bmp").string();
    fs::copy_file(bmp8, moved);
    front.pictures.push_back(moved);
    front.counts.push_back(grid(4, 3));
    ASSERT_TRUE(doc.newPuzzle());
    ASSERT_TRUE(doc.saveAs((dir / "other.gvp").string()));
    DrawSurface small;
    ASSERT_TRUE(small.create(100, 80, 8));
    small.setDefaultPalette();
    fs::remove(moved);
    ASSERT_TRUE(saveBmp(small, moved));
    platform.messages.clear();
    ASSERT_TRUE(second.open((dir / "other.gvp").string()));
    EXPECT_FALSE(second.hasPicture());
    EXPECT_EQ(platform.messages.at(0).text, document_text::kPictureChanged);

    // A name too long for the preferences' last puzzle is refused before
    // writing; opening such a file leaves no last puzzle rather than the
    // previous one.
    fs::path deep = dir;
    while (deep.string().size() < 200) deep /= std::string(40, 'd');
    fs::create_directories(deep);
    const size_t folderLength = deep.string().size() + 1;
    const std::string longName = (deep / (std::string(260 - folderLength, 'l') + ".gvp")).string();
    ASSERT_EQ(longName.size(), 264u);
    platform.messages.clear();
    EXPECT_FALSE(doc.saveAs(longName));
    EXPECT_FALSE(fs::exists(longName));
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_NE(platform.messages[0].text.find("longer than 259 characters"), std::string::npos);
    EXPECT_NE(platform.messages[0].text.find(longName), std::string::npos);
    EXPECT_EQ(PreferencesRecord::text(prefs.record.lastPuzzlePath), (dir / "other.gvp").string());
    fs::copy_file(dir / "other.gvp", longName);
    ASSERT_TRUE(second.open(longName));
    EXPECT_EQ(PreferencesRecord::text(prefs.record.lastPuzzlePath), "");
    // 259 characters still fit.
    const std::string fits = (deep / (std::string(255 - folderLength, 'f') + ".gvp")).string();
    ASSERT_EQ(fits.size(), 259u);
    ASSERT_TRUE(doc.saveAs(fits));
    EXPECT_EQ(PreferencesRecord::text(prefs.record.lastPuzzlePath), fits);

    // A save that fails names the file the player chose and why.
    const std::string nowhere = (dir / "no-such-folder" / "game.gvp").string();
    platform.messages.clear();
    EXPECT_FALSE(doc.saveAs(nowhere));
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text,
              "The puzzle was not saved.  Cannot write " + nowhere + ": " + std::strerror(ENOENT));
}

// Reopening loads the picture by the record's kind, whatever its name shows.
TEST_F(DocumentTest, ReopeningFollowsTheRecordsPictureKind) {
    const std::string named = (dir / "harbour.jpg").string();
    fs::copy_file(jpeg, named);
    front.pictures.push_back(named);
    front.counts.push_back(grid(4, 3));
    ASSERT_TRUE(doc.newPuzzle());
    ASSERT_EQ(doc.record().pictureKind, uint32_t(kPictureJpeg));
    const std::string renamed = (dir / "harbour.picture").string();
    fs::rename(named, renamed);
    ASSERT_TRUE(SettingsRecord::setText(doc.record().picturePath, renamed));
    const std::string path = (dir / "renamed.gvp").string();
    ASSERT_TRUE(doc.saveAs(path));

    PuzzleModel other;
    UndoRing otherUndo;
    Document second(other, otherUndo, prefs, platform, front);
    second.setPlayArea(1280, 1024);
    platform.messages.clear();
    ASSERT_TRUE(second.open(path));
    EXPECT_TRUE(second.hasPicture());
    EXPECT_TRUE(platform.messages.empty());

    // A kind no loader has: the format message, and the pieces without a picture.
    doc.record().pictureKind = 9;
    ASSERT_TRUE(doc.saveAs(path));
    ASSERT_TRUE(second.open(path));
    EXPECT_FALSE(second.hasPicture());
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, document_text::kInvalidFormat);
}

// An 8-bit picture's palette is fitted around the static colours on the
// new-puzzle and the reopen path; a true-colour display gets the fitted
// picture converted to its depth, the same pixels the tool loads.
TEST_F(DocumentTest, EightBitPicturesGetTheStaticColoursOnEveryPath) {
    // Every index is used; the colours at the static indices are far from the static colours.
    DrawSurface source;
    ASSERT_TRUE(source.create(64, 48, 8));
    PaletteTable table;
    for (int i = 0; i < 256; ++i)
        table[size_t(i)] = {uint8_t(i * 53 + 17), uint8_t(i * 97 + 101), uint8_t(i * 29 + 211), 0};
    ASSERT_TRUE(source.setPaletteEntries(table, true));
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) source.row(y)[x] = uint8_t(x + 64 * y);
    const std::string picture = (dir / "odd-palette.bmp").string();
    ASSERT_TRUE(saveBmp(source, picture));
    const std::string saved = (dir / "odd-palette.gvp").string();

    auto expectStatics = [](const DrawSurface& s, const char* path) {
        ASSERT_EQ(s.depth(), 8) << path;
        PaletteTable got;
        ASSERT_TRUE(s.getPaletteEntries(got));
        for (int k : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 246, 247, 248, 249, 250, 251, 252, 253, 254, 255}) {
            const PaletteEntry& want = defaultPalette()[size_t(k)];
            EXPECT_TRUE(got[size_t(k)].red == want.red && got[size_t(k)].green == want.green &&
                        got[size_t(k)].blue == want.blue)
                << path << ": entry " << k;
        }
    };
    setDisplayModes({{1280, 1024, 8, 0}});
    NewPuzzleOptions o;
    o.picture = picture;
    o.pieces = 12;
    o.seed = 3;
    ASSERT_TRUE(doc.newPuzzle(o));
    expectStatics(doc.picture(), "new puzzle");
    ASSERT_TRUE(doc.saveAs(saved));

    PuzzleModel other;
    UndoRing otherUndo;
    Document second(other, otherUndo, prefs, platform, front);
    second.setPlayArea(1280, 1024);
    ASSERT_TRUE(second.open(saved));
    expectStatics(second.picture(), "reopened");
    PaletteTable fitted;
    ASSERT_TRUE(second.picture().getPaletteEntries(fitted));
    std::vector<uint8_t> indices(second.picture().row(0), second.picture().row(0) + 64 * 48);
    for (int y = 1; y < 48; ++y)
        std::copy_n(second.picture().row(y), 64, indices.begin() + 64 * y);

    // True colour: the fitted colours, converted once the palette was fitted.
    setDisplayModes(defaultDisplayModes(1280, 1024));
    ASSERT_TRUE(second.open(saved));
    const DrawSurface& deep = second.picture();
    ASSERT_EQ(deep.depth(), 24);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            const PaletteEntry& c = fitted[indices[size_t(x + 64 * y)]];
            const uint8_t* p = deep.row(y) + 3 * x;
            ASSERT_TRUE(p[0] == c.blue && p[1] == c.green && p[2] == c.red) << x << "," << y;
        }
    DrawSurface tool;
    ASSERT_TRUE(loadStillPicture(tool, picture, false, 24));
    for (int y = 0; y < 48; ++y) EXPECT_TRUE(std::equal(deep.row(y), deep.row(y) + 3 * 64, tool.row(y))) << y;
}

// PNG and WebP pictures are recorded as kind 1 and read by the decoder their
// first bytes ask for, so a saved PNG puzzle reopens with its picture, and a
// BMP or JPEG recorded as before still loads as before.
TEST_F(DocumentTest, PngAndWebpPuzzlesSaveAndReopen) {
    std::vector<uint8_t> rgba;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) rgba.insert(rgba.end(), {uint8_t(x * 4), uint8_t(y * 5), 77, 255});
    auto write = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
        const std::string path = (dir / name).string();
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return path;
    };
    const std::string png = write("lake.png", pavalo::testing::encodeRgbaPng(64, 48, rgba));
    const std::string webp = write("hill.WebP", pavalo::testing::encodeLosslessWebp(64, 48, rgba));

    front.pictures.push_back(webp);
    front.counts.push_back(grid(4, 3));
    ASSERT_TRUE(doc.newPuzzle());
    EXPECT_EQ(doc.record().pictureKind, uint32_t(kPictureJpeg));
    EXPECT_EQ(doc.picture().width(), 64);

    front.pictures.push_back(png);
    front.counts.push_back(grid(4, 3));
    ASSERT_TRUE(doc.newPuzzle());
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(doc.record().pictureKind, uint32_t(kPictureJpeg));
    EXPECT_EQ(doc.record().pictureHeight, 48);
    const std::string saved = (dir / "lake.gvp").string();
    ASSERT_TRUE(doc.saveAs(saved));

    PuzzleModel other;
    UndoRing otherUndo;
    Document second(other, otherUndo, prefs, platform, front);
    second.setPlayArea(1280, 1024);
    ASSERT_TRUE(second.open(saved));
    EXPECT_TRUE(platform.messages.empty());
    ASSERT_TRUE(second.hasPicture());
    EXPECT_EQ(second.picture().width(), 64);
    EXPECT_EQ(second.picture().height(), 48);
    EXPECT_EQ(second.picture().depth(), doc.picture().depth());
    for (int32_t y = 0; y < 48; ++y)
        ASSERT_EQ(std::memcmp(second.picture().row(y), doc.picture().row(y),
                              size_t(64 * doc.picture().depth() / 8)), 0) << y;
    ASSERT_EQ(other.pieceCount(), model.pieceCount());
    for (int i = 0; i < model.pieceCount(); ++i) EXPECT_EQ(other.piece(i).box(), model.piece(i).box());

    // Recorded as kind 0 by another tool: still read as the PNG it is.
    doc.record().pictureKind = kPictureBmp;
    ASSERT_TRUE(doc.saveAs(saved));
    ASSERT_TRUE(second.open(saved));
    EXPECT_TRUE(second.hasPicture());
    EXPECT_TRUE(platform.messages.empty());

    // A damaged PNG: the damaged-picture message naming it, no puzzle.
    std::vector<uint8_t> bytes = pavalo::testing::encodeRgbaPng(64, 48, rgba);
    bytes.resize(60);
    const std::string cut = write("cut.png", bytes);
    front.pictures.push_back(cut);
    front.counts.push_back(grid(4, 3));
    EXPECT_FALSE(doc.newPuzzle());
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_NE(platform.messages[0].text.find("cut.png cannot be read"), std::string::npos);
}

// A missing picture is named, and the player may locate it: another size
// is refused, the same size is taken and the puzzle names it from then on.
TEST_F(DocumentTest, AMissingPictureIsNamedAndCanBeLocated) {
    const std::string original = (dir / "harbour.jpg").string();
    fs::copy_file(jpeg, original);
    front.pictures.push_back(original);
    front.counts.push_back(grid(4, 3));
    ASSERT_TRUE(doc.newPuzzle());
    const std::string path = (dir / "harbour.gvp").string();
    ASSERT_TRUE(doc.saveAs(path));
    const std::string elsewhere = (dir / "moved.jpg").string();
    fs::rename(original, elsewhere);

    PuzzleModel other;
    UndoRing otherUndo;
    Document second(other, otherUndo, prefs, platform, front);
    second.setPlayArea(1280, 1024);
    // No: the pieces are shown blank.
    platform.messages.clear();
    platform.messageAnswers = {MessageResult::No};
    ASSERT_TRUE(second.open(path));
    EXPECT_FALSE(second.hasPicture());
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_NE(platform.messages[0].text.find(original), std::string::npos);
    EXPECT_EQ(platform.messages[0].buttons, MessageButtons::YesNo);

    // Yes: a picture of another size is refused, then the moved one is taken.
    platform.messages.clear();
    platform.messageAnswers = {MessageResult::Yes, MessageResult::Ok, MessageResult::Yes};
    platform.openAnswers = {bmp24, elsewhere};
    ASSERT_TRUE(second.open(path));
    ASSERT_TRUE(second.hasPicture());
    ASSERT_EQ(platform.messages.size(), 3u);
    EXPECT_NE(platform.messages[1].text.find(bmp24), std::string::npos);
    EXPECT_NE(platform.messages[1].text.find("cut from a picture of"), std::string::npos);
    EXPECT_EQ(second.record().picture(), elsewhere);
    EXPECT_TRUE(second.modified());
    ASSERT_TRUE(second.save());
    platform.messages.clear();
    ASSERT_TRUE(second.open(path));
    EXPECT_TRUE(second.hasPicture());
    EXPECT_TRUE(platform.messages.empty());
}

TEST_F(DocumentTest, RecutAndRotation) {
    front.pictures.push_back(jpeg);
    front.counts.push_back(grid(4, 3));
    ASSERT_TRUE(doc.newPuzzle());
    front.counts.push_back(grid(10, 8, true));
    ASSERT_TRUE(doc.recut());
    EXPECT_EQ(model.pieceCount(), 80);
    EXPECT_EQ(doc.record().rotationOption, 1u);
    EXPECT_TRUE(doc.modified());
    front.counts.push_back(std::nullopt);
    EXPECT_FALSE(doc.recut());  // cancelled: the puzzle stays
    EXPECT_EQ(model.pieceCount(), 80);

    doc.toggleRotation();
    EXPECT_EQ(doc.record().rotationOption, 0u);
    for (int i = 0; i < 80; ++i) EXPECT_EQ(model.piece(i).rotation, 0);
    EXPECT_EQ(prefs.record.rotatedPieces, 0);
}

TEST(RuntimeCheck, OldVersionsGetTheirMessages) {
    const StartupCheck full = checkRuntimeVersion(kFullRuntimeVersion, false);
    EXPECT_TRUE(full.message.empty());
    EXPECT_TRUE(full.multiplayer);
    EXPECT_FALSE(full.stop);
    // Below 4.6 the program stops with the install message...
    const StartupCheck old = checkRuntimeVersion(packVersion(4, 5), false);
    EXPECT_TRUE(old.stop);
    EXPECT_NE(old.message.find("version 4.6 of its media and network libraries, but version 4.5 is installed"),
              std::string::npos);
    EXPECT_NE(old.message.find("reinstall Pavalo"), std::string::npos);
    // ...unless it is the variant that keeps running single-player, which has
    // one message below 4.3 and another from 4.3 up.
    const StartupCheck ntOld = checkRuntimeVersion(packVersion(4, 2), true);
    const StartupCheck ntMid = checkRuntimeVersion(packVersion(4, 3), true);
    EXPECT_FALSE(ntOld.stop);
    EXPECT_FALSE(ntMid.multiplayer);
    EXPECT_NE(ntOld.message.find("version 4.2 is installed"), std::string::npos);
    EXPECT_NE(ntOld.message.find("below version 4.3"), std::string::npos);
    EXPECT_NE(ntMid.message.find("You can play single-player games"), std::string::npos);
    // Nothing of another system's setup: no DirectX, no CD to install from.
    for (const StartupCheck* c : {&old, &ntOld, &ntMid})
        for (const char* foreign : {"DirectX", "CD", "Windows", "Service Pack"})
            EXPECT_EQ(c->message.find(foreign), std::string::npos) << foreign;
    // The override reaches them from the environment.
    setenv("PAVALO_RUNTIME_VERSION", "4.3", 1);
    EXPECT_EQ(probeRuntimeVersion(), packVersion(4, 3));
    unsetenv("PAVALO_RUNTIME_VERSION");
    EXPECT_EQ(probeRuntimeVersion(), kFullRuntimeVersion);
}
