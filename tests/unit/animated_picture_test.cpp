// Animated (WDA) puzzle pictures through the document: a new puzzle from an
// animation, its frames advancing at 15 per second on the picture, saving
// and reopening, the messages of a missing file, and release.
#include "shell/animated_picture.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "surface/display_modes.h"
#include "platform/scripted_platform.h"
#include "shell/document.h"
#include "media/wda_encoder.h"

using namespace pavalo;
namespace fs = std::filesystem;

namespace {

struct FrontEnd : DocumentFrontEnd {
    std::optional<std::string> choosePicture() override { return std::nullopt; }
    std::optional<PieceCountChoice> askPieceCount(const PieceCountRules&, bool) override { return std::nullopt; }
};

// A 40 x 30 animation of three frames: frame i fills the picture with index
// 10 + i, coded as changes from the frame before.
std::vector<uint8_t> threeFrames() {
    std::vector<uint8_t> palette(768);
    for (int i = 0; i < 256; ++i) palette[3 * size_t(i)] = uint8_t(i);
    WdaEncoder enc(40, 30, palette);
    std::vector<std::vector<uint8_t>> frames;
    for (int i = 0; i < 3; ++i) frames.emplace_back(40 * 30, uint8_t(10 + i));
    for (size_t i = 0; i < frames.size(); ++i) {
        std::vector<std::span<const uint8_t>> before;
        if (i) before.push_back(frames[i - 1]);
        enc.addFrame(frames[i], before);
    }
    return enc.finish();
}

class AnimatedPictureTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("pavalo-anim-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
        setDisplayModes(defaultDisplayModes(1280, 1024));
        doc.setPlayArea(1280, 1024);
        path = (dir / "Spinner.WDA").string();  // the extension counts in any case
        std::string error;
        ASSERT_TRUE(writeWdaFile(path, threeFrames(), error)) << error;
    }
    void TearDown() override {
        fs::remove_all(dir);
        setDisplayModes(defaultDisplayModes(1920, 1080));
    }
    bool newPuzzle(const std::string& picture) {
        NewPuzzleOptions o;
        o.picture = picture;
        o.pieces = 12;
        o.seed = 3;
        return doc.newPuzzle(o);
    }

    fs::path dir;
    std::string path;
    PuzzleModel model;
    UndoRing undo;
    Preferences prefs;
    ScriptedPlatform platform;
    FrontEnd front;
    AnimatedPictures animations{platform};
    Document doc{model, undo, prefs, platform, front, &animations};
};

TEST_F(AnimatedPictureTest, ANewPuzzleFromAnAnimationPlaysItOnThePicture) {
    platform.ticks = 5000;
    ASSERT_TRUE(newPuzzle(path));
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(doc.record().pictureKind, kPictureWda);
    DrawSurface& picture = doc.picture();
    ASSERT_EQ(picture.depth(), 8);
    EXPECT_EQ(picture.width(), 40);
    EXPECT_EQ(picture.height(), 30);
    EXPECT_EQ(doc.record().pictureWidth, 40);
    // Frame 0 with the animation's palette.
    EXPECT_EQ(picture.row(29)[39], 10);
    PaletteTable t;
    ASSERT_TRUE(picture.getPaletteEntries(t));
    EXPECT_EQ(t[12].red, 12);

    // 15 frames a second, one per idle pass, then round again.
    platform.ticks = 5066;
    EXPECT_FALSE(animations.advance(picture));
    platform.ticks = 5067;
    EXPECT_TRUE(animations.advance(picture));
    EXPECT_EQ(picture.row(0)[0], 11);
    platform.ticks = 5300;
    EXPECT_TRUE(animations.advance(picture));
    EXPECT_EQ(picture.row(15)[20], 12);
    EXPECT_TRUE(animations.advance(picture));
    EXPECT_EQ(picture.row(15)[20], 10);
    EXPECT_EQ(animations.player().frameNumber(), 0);
}

TEST_F(AnimatedPictureTest, SavedPuzzlesReopenTheAnimationAndANewPictureStopsIt) {
    ASSERT_TRUE(newPuzzle(path));
    const std::string saved = (dir / "anim.gvp").string();
    ASSERT_TRUE(doc.saveAs(saved));
    doc.release();
    EXPECT_FALSE(animations.playing());
    ASSERT_TRUE(doc.open(saved));
    EXPECT_TRUE(animations.playing());
    EXPECT_EQ(doc.picture().row(0)[0], 10);

    // A still picture replaces the animation.
    const std::string still = std::string(PAVALO_SAMPLE_DIR) + "/stained-glass.bmp";
    ASSERT_TRUE(newPuzzle(still));
    EXPECT_FALSE(animations.playing());
    platform.ticks += 10000;
    EXPECT_FALSE(animations.advance(doc.picture()));
}

TEST_F(AnimatedPictureTest, MissingOrDamagedAnimationsAreRefusedWithTheirMessages) {
    using namespace document_text;
    const std::string missing = (dir / "gone.wda").string();
    EXPECT_FALSE(newPuzzle(missing));
    // The loader's own message, then the document's.
    ASSERT_EQ(platform.messages.size(), 2u);
    EXPECT_EQ(platform.messages[0].caption, "WDA Load Failure");
    EXPECT_EQ(platform.messages[0].text, missing + ": No such file, or sharing violation?");
    EXPECT_EQ(platform.messages[1].text, kImageNotFound);
    EXPECT_FALSE(doc.hasPuzzle());

    // An animation of width 0 cannot be a picture.
    std::vector<uint8_t> bytes = threeFrames();
    bytes[2] = bytes[3] = 0;
    const std::string flat = (dir / "flat.wda").string();
    std::string error;
    ASSERT_TRUE(writeWdaFile(flat, bytes, error));
    platform.messages.clear();
    EXPECT_FALSE(newPuzzle(flat));
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_NE(platform.messages[0].text.find("The picture " + flat + " cannot be read."), std::string::npos);
    EXPECT_FALSE(animations.playing());
}

}  // namespace
