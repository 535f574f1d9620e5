// Movie decoding and the threaded player, on movies this test writes itself
// through libavcodec: MPEG-1 in an MPEG program stream, Motion JPEG in AVI,
// one with a sound track.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>

#include "media/movie_encoder.h"
#include "media/movie_player.h"

namespace pavalo {
namespace {

namespace fs = std::filesystem;

constexpr int32_t kWidth = 96, kHeight = 64, kFrames = 20, kFps = 25;

class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "pavalo-movie-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~TempDir() { fs::remove_all(path_); }
    std::string file(const std::string& name) const { return (fs::path(path_) / name).string(); }

private:
    std::string path_;
};

bool writeMovie(const std::string& path, int32_t width, int32_t height, int32_t frames, bool sound = false) {
    MovieEncodeOptions options;
    options.width = width;
    options.height = height;
    options.framesPerSecond = kFps;
    options.quality = 2;
    if (sound) options.sound = [](int64_t i) { return int16_t((i / 50) % 2 ? 3000 : -3000); };
    MovieEncoder encoder;
    if (!encoder.open(path, options)) return false;
    DrawSurface frame;
    if (!frame.create(width, height, 24)) return false;
    for (int32_t i = 0; i < frames; ++i) {
        drawSyntheticMovieFrame(frame, i, frames);
        if (!encoder.addFrame(frame)) return false;
    }
    return encoder.finish();
}

void writeBytes(const std::string& path, const std::vector<char>& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

std::vector<char> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

bool samePixels(const DrawSurface& a, const DrawSurface& b) {
    if (a.width() != b.width() || a.height() != b.height() || a.depth() != b.depth()) return false;
    const size_t rowBytes = size_t(a.width()) * size_t(a.depth() / 8);
    for (int32_t y = 0; y < a.height(); ++y)
        if (std::memcmp(a.row(y), b.row(y), rowBytes) != 0) return false;
    return true;
}

// Blue, green, red of a 24-bit pixel.
std::array<int, 3> pixel24(const DrawSurface& s, int32_t x, int32_t y) {
    const uint8_t* p = s.row(y) + x * 3;
    return {p[0], p[1], p[2]};
}

// Frames of a whole pass and then of the next, as the decoder gives them.
struct Decoded {
    std::vector<std::unique_ptr<DrawSurface>> frames;
    std::vector<int64_t> times;
};

Decoded decodeFrames(MovieDecoder& decoder, int32_t count) {
    Decoded out;
    for (int32_t i = 0; i < count; ++i) {
        auto frame = std::make_unique<DrawSurface>();
        int64_t t = 0;
        if (!decoder.next(*frame, t)) break;
        out.frames.push_back(std::move(frame));
        out.times.push_back(t);
    }
    return out;
}

class MovieFormats : public ::testing::TestWithParam<const char*> {
protected:
    TempDir dir;
    std::string path = dir.file(std::string("movie") + GetParam());
    void SetUp() override { ASSERT_TRUE(writeMovie(path, kWidth, kHeight, kFrames)); }
};

TEST_P(MovieFormats, OpensWithItsSizeRateAndFirstFrameColours) {
    MovieDecoder decoder;
    ASSERT_EQ(decoder.open(path, 24), MovieError::None);
    EXPECT_EQ(decoder.info().width, kWidth);
    EXPECT_EQ(decoder.info().height, kHeight);
    EXPECT_NEAR(decoder.info().framesPerSecond, kFps, 0.01);
    EXPECT_FALSE(decoder.info().hasSound);

    DrawSurface expected, frame;
    ASSERT_TRUE(expected.create(kWidth, kHeight, 24));
    drawSyntheticMovieFrame(expected, 0, kFrames);
    int64_t t = -1;
    ASSERT_TRUE(decoder.next(frame, t));
    EXPECT_EQ(t, 0);
    ASSERT_EQ(frame.depth(), 24);
    // Lossy codecs: each channel within a few steps, away from the bar's edge.
    for (auto [x, y] : {std::pair{2, 2}, std::pair{kWidth - 20, kHeight / 2}, std::pair{3, kHeight - 3}}) {
        const auto got = pixel24(frame, x, y), want = pixel24(expected, x, y);
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(got[size_t(c)], want[size_t(c)], 12) << "x " << x << " c " << c;
    }
}

TEST_P(MovieFormats, LoopsWithoutGapAndRepeatsTheFirstPass) {
    MovieDecoder decoder;
    ASSERT_EQ(decoder.open(path, 24), MovieError::None);
    const Decoded d = decodeFrames(decoder, 2 * kFrames + 1);
    ASSERT_EQ(int32_t(d.frames.size()), 2 * kFrames + 1);
    EXPECT_EQ(decoder.loops(), 2);
    const int64_t step = 1000000 / kFps;
    for (int32_t i = 0; i < 2 * kFrames + 1; ++i) {
        // One frame time apart all the way, across the loop too.
        EXPECT_NEAR(double(d.times[size_t(i)]), double(i * step), 2.0) << "frame " << i;
    }
    for (int32_t i = 0; i < kFrames; ++i)
        EXPECT_TRUE(samePixels(*d.frames[size_t(i)], *d.frames[size_t(i + kFrames)])) << "frame " << i;
    // The frame after the last is the first.
    EXPECT_TRUE(samePixels(*d.frames[0], *d.frames[size_t(2 * kFrames)]));
    EXPECT_FALSE(samePixels(*d.frames[0], *d.frames[size_t(kFrames - 1)]));
}

// A channel of a pixel value, scaled to 0-255.
int channel(uint32_t value, uint32_t mask) {
    if (!mask) return 0;
    int shift = 0;
    while (!((mask >> shift) & 1)) ++shift;
    const uint32_t max = mask >> shift;
    return int(((value & mask) >> shift) * 255 / max);
}

TEST_P(MovieFormats, ConvertsIntoEveryDisplayDepthLikeTheSurfaceCopies) {
    MovieDecoder decoder24;
    ASSERT_EQ(decoder24.open(path, 24), MovieError::None);
    DrawSurface frame24;
    int64_t t = 0;
    ASSERT_TRUE(decoder24.next(frame24, t));
    for (int32_t depth : {16, kDepth16555, 32}) {
        MovieDecoder decoder;
        ASSERT_EQ(decoder.open(path, depth), MovieError::None);
        DrawSurface frame, expected;
        ASSERT_TRUE(decoder.next(frame, t));
        ASSERT_TRUE(expected.create(kWidth, kHeight, depth));
        EXPECT_EQ(frame.format(), expected.format()) << "depth " << depth;
        if (depth == 32) {
            // The surfaces have no 24 -> 32 copy: compare with the 24-bit bytes.
            for (int32_t y = 0; y < kHeight; ++y)
                for (int32_t x = 0; x < kWidth; ++x)
                    for (int c = 0; c < 3; ++c)
                        ASSERT_NEAR(frame.row(y)[4 * x + c], frame24.row(y)[3 * x + c], 2) << x << "," << y;
            continue;
        }
        ASSERT_TRUE(expected.copyBitmap(frame24, 0, 0));
        const PixelFormat& f = expected.format();
        const int step = f.greenMask == 0x7E0 ? 5 : 9;  // a little over one step of a 5- or 6-bit channel
        for (int32_t y = 0; y < kHeight; ++y)
            for (int32_t x = 0; x < kWidth; ++x) {
                uint16_t got = 0, want = 0;
                std::memcpy(&got, frame.row(y) + 2 * x, 2);
                std::memcpy(&want, expected.row(y) + 2 * x, 2);
                for (uint32_t mask : {f.redMask, f.greenMask, f.blueMask})
                    ASSERT_NEAR(channel(got, mask), channel(want, mask), step + 4) << "depth " << depth << " at " << x << "," << y;
            }
    }
    MovieDecoder decoder;
    EXPECT_EQ(decoder.open(path, 8), MovieError::BadDepth);
}

INSTANTIATE_TEST_SUITE_P(Containers, MovieFormats, ::testing::Values(".mpg", ".avi"),
                         [](const auto& info) { return std::string(info.param + 1); });

TEST(MovieSound, TheSoundTrackSetsTheFlag) {
    TempDir dir;
    const std::string path = dir.file("sound.mpg");
    ASSERT_TRUE(writeMovie(path, kWidth, kHeight, kFrames, true));
    MovieDecoder decoder;
    ASSERT_EQ(decoder.open(path, 24), MovieError::None);
    EXPECT_TRUE(decoder.info().hasSound);
    EXPECT_EQ(decoder.info().audioCodec, "mp2");
    // The sound packets do not disturb the pictures or the loop.
    EXPECT_EQ(int32_t(decodeFrames(decoder, kFrames + 1).frames.size()), kFrames + 1);
    EXPECT_EQ(decoder.loops(), 1);
}

// --------------------------------------------------------------- player

// Takes frames at `nowMs` until one comes (the decoder thread needs a moment).
bool takeSoon(MoviePlayer& player, int64_t nowMs, DrawSurface& picture) {
    for (int i = 0; i < 2000; ++i) {
        if (player.takeFrame(nowMs, picture)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

class MoviePlayerTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string path = dir.file("movie.mpg");
    Decoded reference;
    void SetUp() override {
        ASSERT_TRUE(writeMovie(path, kWidth, kHeight, kFrames));
        MovieDecoder decoder;
        ASSERT_EQ(decoder.open(path, 24), MovieError::None);
        reference = decodeFrames(decoder, 2 * kFrames);
        ASSERT_EQ(int32_t(reference.frames.size()), 2 * kFrames);
    }
    int32_t frameIndexOf(const DrawSurface& picture) const {
        for (size_t i = 0; i < size_t(kFrames); ++i)
            if (samePixels(picture, *reference.frames[i])) return int32_t(i);
        return -1;
    }
};

TEST_F(MoviePlayerTest, TakesTheNewestDueFrameByTheMoviesClock) {
    MoviePlayer player;
    ASSERT_EQ(player.open(path, 24), MovieError::None);
    EXPECT_TRUE(samePixels(player.firstFrame(), *reference.frames[0]));
    DrawSurface picture;
    ASSERT_TRUE(picture.createLike(player.firstFrame()));
    ASSERT_TRUE(player.start(1000));
    // Frame 1 is due 40 ms after the start, not before.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(player.takeFrame(1000 + 39, picture));
    // At 130 ms frames 1-3 are due: the newest of them is shown.
    ASSERT_TRUE(takeSoon(player, 1000 + 130, picture));
    EXPECT_EQ(frameIndexOf(picture), 3);
    // Frame 4 comes at 160 ms.
    EXPECT_FALSE(player.takeFrame(1000 + 150, picture));
    ASSERT_TRUE(takeSoon(player, 1000 + 165, picture));
    EXPECT_EQ(frameIndexOf(picture), 4);
}

TEST_F(MoviePlayerTest, KeepsPlayingAcrossTheLoop) {
    MoviePlayer player;
    ASSERT_EQ(player.open(path, 24), MovieError::None);
    DrawSurface picture;
    ASSERT_TRUE(picture.createLike(player.firstFrame()));
    ASSERT_TRUE(player.start(0));
    // Every frame one after the other, through the end and round again.
    for (int32_t i = 1; i <= kFrames + 2; ++i) {
        ASSERT_TRUE(takeSoon(player, int64_t(i) * 40, picture)) << "frame " << i;
        EXPECT_EQ(frameIndexOf(picture), i % kFrames) << "frame " << i;
    }
    EXPECT_EQ(player.framesShown(), kFrames + 2);
}

TEST_F(MoviePlayerTest, PauseStopsTheClockAndResumeGoesOnWhereItStopped) {
    MoviePlayer player;
    ASSERT_EQ(player.open(path, 24), MovieError::None);
    DrawSurface picture;
    ASSERT_TRUE(picture.createLike(player.firstFrame()));
    ASSERT_TRUE(player.start(0));
    player.pause(20);
    EXPECT_TRUE(player.paused());
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(player.takeFrame(5000, picture));
    player.resume(5000);
    // 20 ms had run before the pause: frame 1 is due 20 ms after resuming.
    EXPECT_FALSE(player.takeFrame(5019, picture));
    ASSERT_TRUE(takeSoon(player, 5021, picture));
    EXPECT_EQ(frameIndexOf(picture), 1);
}

TEST_F(MoviePlayerTest, CloseStopsTheThreadAndReleasesEverything) {
    MoviePlayer player;
    ASSERT_EQ(player.open(path, 24), MovieError::None);
    ASSERT_TRUE(player.start(0));
    EXPECT_TRUE(player.running());
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // the queue fills, the thread waits
    player.close();
    EXPECT_FALSE(player.running());
    EXPECT_FALSE(player.isOpen());
    EXPECT_FALSE(player.firstFrame().hasPixels());
    DrawSurface picture;
    EXPECT_FALSE(player.takeFrame(100000, picture));
    // The same player opens again afterwards.
    ASSERT_EQ(player.open(path, 24), MovieError::None);
    ASSERT_TRUE(player.start(0));
}

TEST_F(MoviePlayerTest, AStallOfTheCallerDoesNotMakeTheMovieRace) {
    MoviePlayer player;
    ASSERT_EQ(player.open(path, 24), MovieError::None);
    DrawSurface picture;
    ASSERT_TRUE(picture.createLike(player.firstFrame()));
    ASSERT_TRUE(player.start(0));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    // Ten seconds without a look: the newest ready frame shows ...
    ASSERT_TRUE(takeSoon(player, 10000, picture));
    const int32_t shown = frameIndexOf(picture);
    // ... and the next one follows a frame time later, not at once.
    EXPECT_FALSE(player.takeFrame(10010, picture));
    ASSERT_TRUE(takeSoon(player, 10040, picture));
    EXPECT_EQ(frameIndexOf(picture), (shown + 1) % kFrames);
}

// ------------------------------------------------------------ bad input

TEST(MovieBadInput, EachKindOfBadFileGivesItsError) {
    TempDir dir;
    MovieDecoder decoder;
    EXPECT_EQ(decoder.open(dir.file("missing.avi"), 24), MovieError::NotFound);

    writeBytes(dir.file("empty.avi"), {});
    EXPECT_EQ(decoder.open(dir.file("empty.avi"), 24), MovieError::NotAMovie);

    std::vector<char> text(4000, 'x');
    writeBytes(dir.file("text.mpg"), text);
    EXPECT_EQ(decoder.open(dir.file("text.mpg"), 24), MovieError::NotAMovie);

    // A sound file under a movie's name has no picture.
    std::vector<char> wave;
    auto put = [&](const void* p, size_t n) { wave.insert(wave.end(), (const char*)p, (const char*)p + n); };
    const uint32_t dataBytes = 8000, riffBytes = 36 + dataBytes, fmtBytes = 16, rate = 8000, byteRate = 16000;
    const uint16_t pcm = 1, channels = 1, align = 2, bits = 16;
    put("RIFF", 4), put(&riffBytes, 4), put("WAVEfmt ", 8), put(&fmtBytes, 4), put(&pcm, 2), put(&channels, 2);
    put(&rate, 4), put(&byteRate, 4), put(&align, 2), put(&bits, 2), put("data", 4), put(&dataBytes, 4);
    wave.resize(wave.size() + dataBytes, 0);
    writeBytes(dir.file("sound.avi"), wave);
    EXPECT_EQ(decoder.open(dir.file("sound.avi"), 24), MovieError::NoVideo);
    EXPECT_NE(std::string(movieErrorText(MovieError::NoVideo)), "");
}

TEST(MovieBadInput, ATruncatedMovieEitherLoopsWhatItHasOrEndsButNeverHangs) {
    TempDir dir;
    for (const char* ext : {".mpg", ".avi"}) {
        const std::string whole = dir.file(std::string("whole") + ext), cut = dir.file(std::string("cut") + ext);
        ASSERT_TRUE(writeMovie(whole, kWidth, kHeight, kFrames));
        std::vector<char> bytes = readBytes(whole);
        bytes.resize(bytes.size() / 2);
        writeBytes(cut, bytes);
        MoviePlayer player;
        ASSERT_EQ(player.open(cut, 24), MovieError::None) << ext;
        MovieDecoder decoder;
        ASSERT_EQ(decoder.open(cut, 24), MovieError::None);
        const Decoded d = decodeFrames(decoder, 3 * kFrames);
        EXPECT_GE(d.frames.size(), 1u) << ext;
        if (d.frames.size() < size_t(3 * kFrames)) {
            EXPECT_TRUE(decoder.ended());
        }
    }
}

TEST(MovieBadInput, AFrameSizeChangeEndsTheMovieOnItsLastGoodFrame) {
    TempDir dir;
    // Program streams join end to end: the second part has another size.
    const std::string a = dir.file("a.mpg"), b = dir.file("b.mpg"), joined = dir.file("joined.mpg");
    ASSERT_TRUE(writeMovie(a, kWidth, kHeight, kFrames));
    ASSERT_TRUE(writeMovie(b, kWidth * 2, kHeight, kFrames));
    std::vector<char> bytes = readBytes(a), tail = readBytes(b);
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    writeBytes(joined, bytes);

    MovieDecoder decoder;
    ASSERT_EQ(decoder.open(joined, 24), MovieError::None);
    ASSERT_EQ(decoder.info().width, kWidth);
    DrawSurface frame;
    int64_t t = 0;
    int32_t frames = 0;
    while (frames < 10 * kFrames && decoder.next(frame, t)) ++frames;
    EXPECT_TRUE(decoder.ended());
    EXPECT_GE(frames, kFrames - 2);
    EXPECT_LE(frames, kFrames);
    EXPECT_EQ(frame.width(), kWidth);  // the last good frame stays
}

TEST(MovieNames, TheMovieExtensionsInAnyCase) {
    for (const char* name : {"a.avi", "b.MPG", "c.mpeg", "d.Mp4", "e.m4v", "f.mkv", "g.webm", "h.MOV", "i.ogv"})
        EXPECT_TRUE(isMovieFileName(name)) << name;
    for (const char* name : {"a.jpg", "movie.avi.bmp", "mpg", "x.wda"}) EXPECT_FALSE(isMovieFileName(name)) << name;
}

}  // namespace
}  // namespace pavalo
