// Movie puzzle pictures through the document: a new puzzle from a movie
// with its first frame in a picture surface of the display's depth, the
// frames the idle pass copies in by the movie's clock, pausing, the
// refusals and their messages, saving and reopening, and release.
#include "shell/animated_picture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "media/bmp.h"
#include "media/movie_encoder.h"
#include "platform/scripted_platform.h"
#include "shell/document.h"
#include "surface/display_modes.h"

using namespace pavalo;
namespace fs = std::filesystem;

namespace {

constexpr int32_t kFrames = 10;

struct FrontEnd : DocumentFrontEnd {
    std::optional<std::string> choosePicture() override { return std::nullopt; }
    std::optional<PieceCountChoice> askPieceCount(const PieceCountRules&, bool) override { return std::nullopt; }
};

bool samePixels(const DrawSurface& a, const DrawSurface& b) {
    if (a.width() != b.width() || a.height() != b.height() || a.format() != b.format()) return false;
    const size_t rowBytes = size_t(a.width()) * size_t(a.depth() / 8);
    for (int32_t y = 0; y < a.height(); ++y)
        if (std::memcmp(a.row(y), b.row(y), rowBytes) != 0) return false;
    return true;
}

class MoviePictureTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("pavalo-moviepic-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
        setDisplayModes(defaultDisplayModes(1280, 1024));
        doc.setPlayArea(1280, 1024);
        path = (dir / "Clip.MPG").string();  // the extension counts in any case
        MovieEncodeOptions options;
        options.width = 80;
        options.height = 60;
        MovieEncoder encoder;
        ASSERT_TRUE(encoder.open(path, options));
        DrawSurface frame;
        ASSERT_TRUE(frame.create(80, 60, 24));
        for (int32_t i = 0; i < kFrames; ++i) {
            drawSyntheticMovieFrame(frame, i, kFrames);
            ASSERT_TRUE(encoder.addFrame(frame));
        }
        ASSERT_TRUE(encoder.finish());
    }
    void TearDown() override {
        doc.release();
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
    // The frame the decoder gives as frame `index` at `depth`.
    const DrawSurface& frameAt(int32_t index, int32_t depth) {
        MovieDecoder decoder;
        EXPECT_EQ(decoder.open(path, depth), MovieError::None);
        int64_t t = 0;
        for (int32_t i = 0; i <= index; ++i) EXPECT_TRUE(decoder.next(reference, t));
        return reference;
    }
    DrawSurface reference;
    // Runs the idle pass at the platform's tick until the picture changes.
    bool advanceSoon() {
        for (int i = 0; i < 2000; ++i) {
            if (animations.advanceMovie(doc.picture())) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
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

TEST_F(MoviePictureTest, ANewPuzzleFromAMovieStartsOnItsFirstFrameAndPlays) {
    platform.ticks = 5000;
    ASSERT_TRUE(newPuzzle(path));
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(doc.record().pictureKind, kPictureMovie);
    EXPECT_TRUE(animations.moviePlaying());
    EXPECT_EQ(doc.picture().depth(), 24);
    EXPECT_TRUE(samePixels(doc.picture(), frameAt(0, 24)));

    // Nothing is due before the movie's next frame (40 ms at 25 a second).
    platform.ticks = 5039;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(animations.advanceMovie(doc.picture()));
    platform.ticks = 5085;
    ASSERT_TRUE(advanceSoon());
    EXPECT_TRUE(samePixels(doc.picture(), frameAt(2, 24)));
    // No second copy within a thirtieth of a second.
    platform.ticks = 5110;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(animations.advanceMovie(doc.picture()));
}

TEST_F(MoviePictureTest, TheMoviesClockSurvivesTheTicksWrappingAround) {
    platform.ticks = 0xFFFFFFF0u;
    ASSERT_TRUE(newPuzzle(path));
    platform.ticks = 0x30;  // 64 ms later
    ASSERT_TRUE(advanceSoon());
    EXPECT_TRUE(samePixels(doc.picture(), frameAt(1, 24)));
}

TEST_F(MoviePictureTest, PausedMoviesShowNoNewFramesAndGoOnAfterwards) {
    platform.ticks = 100;
    ASSERT_TRUE(newPuzzle(path));
    platform.ticks = 110;
    animations.setModalWindowOpen(true);
    animations.pauseMovie(true);  // a popup menu over a modal window
    platform.ticks = 10000;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(animations.advanceMovie(doc.picture()));
    animations.pauseMovie(false);  // the popup closes; the modal window stays
    platform.ticks = 20000;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(animations.advanceMovie(doc.picture()));
    animations.setModalWindowOpen(false);
    // 10 ms had run: frame 1 is due 30 ms after the resume.
    platform.ticks = 20029;
    EXPECT_FALSE(animations.advanceMovie(doc.picture()));
    platform.ticks = 20035;
    ASSERT_TRUE(advanceSoon());
    EXPECT_TRUE(samePixels(doc.picture(), frameAt(1, 24)));
}

TEST_F(MoviePictureTest, AMovieOpenedUnderAModalWindowWaitsForItToClose) {
    platform.ticks = 100;
    animations.setModalWindowOpen(true);
    ASSERT_TRUE(newPuzzle(path));
    EXPECT_TRUE(animations.movie().paused());
    animations.pauseMovie(true);  // a popup opens and closes meanwhile
    animations.pauseMovie(false);
    EXPECT_TRUE(animations.movie().paused());
    animations.setModalWindowOpen(false);
    EXPECT_FALSE(animations.movie().paused());
}

TEST_F(MoviePictureTest, AMovieFromRemovableMediaPlaysFromItsCopyWhileThePuzzleLasts) {
    MovieStorage storage;
    storage.folder = (dir / "data").string();
    fs::create_directories(storage.folder);
    storage.isRemovable = [](const std::string&) { return true; };
    uint64_t free = uint64_t(1) << 40;
    storage.freeBytes = [&free](const std::string&) { return free; };
    doc.setMovieStorage(storage);
    const std::string copy = (dir / "data" / "tempmovie.avi").string();

    ASSERT_TRUE(newPuzzle(path));
    EXPECT_EQ(doc.record().pictureKind, kPictureMovieWithData);
    EXPECT_EQ(doc.record().picture(), path);
    EXPECT_EQ(doc.record().movieData(), copy);
    EXPECT_TRUE(fs::exists(copy));
    EXPECT_TRUE(samePixels(doc.picture(), frameAt(0, 24)));
    // Closing the puzzle takes the copy away with the movie.
    doc.release();
    EXPECT_FALSE(animations.moviePlaying());
    EXPECT_FALSE(fs::exists(copy));

    // A new picture instead of the movie takes it away too.
    ASSERT_TRUE(newPuzzle(path));
    EXPECT_TRUE(fs::exists(copy));
    const std::string still = (dir / "still.bmp").string();
    ASSERT_TRUE(reference.create(40, 30, 24));
    reference.rectFill(0);
    ASSERT_TRUE(saveBmp(reference, still));
    ASSERT_TRUE(newPuzzle(still));
    EXPECT_FALSE(fs::exists(copy));
    EXPECT_EQ(doc.record().pictureKind, kPictureBmp);

    // Cancelling the not-enough-space question makes no puzzle.
    free = 10;
    platform.messageAnswers = {MessageResult::Cancel};
    EXPECT_FALSE(newPuzzle(path));
    EXPECT_FALSE(doc.hasPuzzle());
    EXPECT_FALSE(animations.moviePlaying());
    EXPECT_EQ(platform.messages.size(), 1u);
}

TEST_F(MoviePictureTest, ThePictureTakesTheDisplaysDepth) {
    // A display whose 16 bits are 5-5-5 and that has no 24 bits.
    setDisplayModes({{1280, 1024, 8, 0}, {1280, 1024, 16, 0x7C00}});
    ASSERT_TRUE(newPuzzle(path));
    EXPECT_TRUE(doc.picture().is555());
    EXPECT_TRUE(samePixels(doc.picture(), frameAt(0, kDepth16555)));
}

TEST_F(MoviePictureTest, RefusalsGiveTheirMessagesAndLeaveNothingRunning) {
    // Only 8-bit modes: the true-colour refusal.
    setDisplayModes({{1280, 1024, 8, 0}});
    EXPECT_FALSE(newPuzzle(path));
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, document_text::kTrueColourMovie);
    EXPECT_FALSE(animations.moviePlaying());
    EXPECT_FALSE(doc.hasPuzzle());
    setDisplayModes(defaultDisplayModes(1280, 1024));

    platform.messages.clear();
    EXPECT_FALSE(newPuzzle((dir / "gone.avi").string()));
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, document_text::kMovieNotFound);

    // A file named as a movie that holds something else.
    const std::string fake = (dir / "fake.mp4").string();
    std::ofstream(fake) << std::string(3000, 'z');
    platform.messages.clear();
    EXPECT_FALSE(newPuzzle(fake));
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, movieErrorText(MovieError::NotAMovie));
    EXPECT_FALSE(animations.moviePlaying());
    EXPECT_FALSE(doc.hasPuzzle());
}

TEST_F(MoviePictureTest, ASavedMoviePuzzleReopensPlayingAndReleaseStopsIt) {
    ASSERT_TRUE(newPuzzle(path));
    const std::string saved = (dir / "movie.puz").string();
    ASSERT_TRUE(doc.saveAs(saved));
    doc.release();
    EXPECT_FALSE(animations.moviePlaying());

    ASSERT_TRUE(doc.open(saved));
    EXPECT_EQ(doc.record().pictureKind, kPictureMovie);
    EXPECT_TRUE(animations.moviePlaying());
    EXPECT_TRUE(samePixels(doc.picture(), frameAt(0, 24)));
    doc.release();
    EXPECT_FALSE(animations.moviePlaying());
}

TEST_F(MoviePictureTest, CancellingThePieceCountStopsTheMovie) {
    NewPuzzleOptions o;
    o.picture = path;  // the front end cancels the piece-count dialog
    EXPECT_FALSE(doc.newPuzzle(o));
    EXPECT_FALSE(doc.hasPicture());
    EXPECT_FALSE(animations.moviePlaying());
}

TEST_F(MoviePictureTest, AnotherPictureClosesTheMovie) {
    ASSERT_TRUE(newPuzzle(path));
    ASSERT_TRUE(newPuzzle(std::string(PAVALO_SAMPLE_DIR) + "/sunset-harbour.jpg"));
    EXPECT_FALSE(animations.moviePlaying());
    EXPECT_FALSE(animations.advanceMovie(doc.picture()));
}

}  // namespace
