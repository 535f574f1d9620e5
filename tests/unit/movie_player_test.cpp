// Movie decoding and the threaded player, on movies this test writes itself
// through libavcodec: MPEG-1 in an MPEG program stream, Motion JPEG in AVI,
// one with a sound track.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>

#include "media/audio_output.h"
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

TEST(MovieSound, TheQueueMixesWhatIsDueSkipsWhatIsLateAndWaitsForWhatIsEarly) {
    // 1000 frames a second, mono: one frame is one millisecond.
    MovieSoundQueue q(1000, 1);
    auto block = [](int16_t value, int32_t frames) { return std::vector<int16_t>(size_t(frames), value); };
    q.push(block(10, 100).data(), 100, 0);
    q.push(block(20, 100).data(), 100, 100000);
    q.push(block(30, 50).data(), 50, 400000);  // after a gap of 200 ms
    std::vector<int16_t> out(100, 0);
    q.mixInto(out.data(), 50, 0);
    EXPECT_EQ(q.framesMixed(), 0) << "nothing plays before the clock is set running";
    q.setClock(0, true);

    q.mixInto(out.data(), 50, 0);
    EXPECT_EQ(out[0], 10);
    EXPECT_EQ(out[49], 10);
    std::fill(out.begin(), out.end(), int16_t(0));
    q.mixInto(out.data(), 100, 50000);
    EXPECT_EQ(out[49], 10);
    EXPECT_EQ(out[50], 20);  // back to back into the next block
    // 110 ms later than the rest of the second block: it is skipped; the
    // third is still 150 ms away, so silence.
    std::fill(out.begin(), out.end(), int16_t(0));
    q.mixInto(out.data(), 10, 260000);
    EXPECT_EQ(std::count(out.begin(), out.begin() + 10, 0), 10);
    EXPECT_EQ(q.headTimeUs(), 400000);
    // Within the tolerance it plays at once.
    q.mixInto(out.data(), 20, 395000);
    EXPECT_EQ(out[0], 30);
    EXPECT_EQ(out[19], 30);
    EXPECT_EQ(q.framesMixed(), 170);

    // Stopped: nothing mixed, nothing used up.
    q.setClock(415000, false);
    std::fill(out.begin(), out.end(), int16_t(0));
    q.mixInto(out.data(), 10, 415000);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(q.framesQueued(), 30);
    // A loop drops the sound at and after its start.
    q.push(block(40, 100).data(), 100, 450000);
    q.cutFrom(470000);
    EXPECT_EQ(q.framesQueued(), 30 + 20);
    // Mixing saturates instead of wrapping.
    q.setClock(420000, true);
    out.assign(100, int16_t(32760));
    q.mixInto(out.data(), 5, 420000);
    EXPECT_EQ(out[0], 32767);
}

// Everything the queue holds, heard from movie time 0 on in 10 ms steps.
std::vector<int16_t> hearAll(MovieSoundQueue& q, int64_t untilUs) {
    const int32_t step = q.rate() / 100;
    std::vector<int16_t> heard(size_t(untilUs / 10000) * size_t(step) * size_t(q.channels()), 0);
    q.setClock(0, true);
    for (int64_t t = 0; t + 10000 <= untilUs; t += 10000)
        q.mixInto(heard.data() + size_t(t / 10000) * size_t(step) * size_t(q.channels()), step, t);
    return heard;
}

TEST(MovieSound, TheTrackGoesRoundWithThePictureAndRepeatsInTime) {
    TempDir dir;
    const std::string path = dir.file("sound.mpg");
    ASSERT_TRUE(writeMovie(path, kWidth, kHeight, kFrames, true));
    MovieDecoder decoder;
    ASSERT_EQ(decoder.open(path, 24), MovieError::None);
    MovieSoundQueue queue(44100, 2);
    ASSERT_TRUE(decoder.enableSound(&queue));
    // A pass and most of the next.
    ASSERT_EQ(int32_t(decodeFrames(decoder, 2 * kFrames - 4).frames.size()), 2 * kFrames - 4);
    EXPECT_EQ(decoder.loops(), 1);

    const int64_t passUs = int64_t(kFrames) * 1000000 / kFps;
    const std::vector<int16_t> heard = hearAll(queue, 2 * passUs - 200000);
    const size_t passSamples = size_t(passUs / 10000) * 441 * 2;
    // The track is heard (a square wave of +-3000 through a lossy codec) ...
    int64_t loud = 0;
    for (size_t i = 0; i < passSamples; ++i) loud += std::abs(heard[i]) > 1000;
    EXPECT_GT(loud, int64_t(passSamples / 2));
    // ... and the second pass repeats the first at the same distance as the
    // frames, sample for sample (to within a sample's rounding), over what
    // has been decoded of it.
    int64_t fewest = INT64_MAX;
    for (int shift = -4; shift <= 4; shift += 2) {
        int64_t differing = 0;
        for (size_t i = 4410; i < 22000; ++i) differing += std::abs(heard[i] - heard[size_t(int64_t(i + passSamples) + shift)]) > 64;
        fewest = std::min(fewest, differing);
    }
    EXPECT_EQ(fewest, 0);
}

TEST(MovieSound, ThePlayerIsHeardWhilePlayingStopsWhenPausedAndLetsGoWhenClosed) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    TempDir dir;
    const std::string path = dir.file("sound.avi"), silent = dir.file("silent.avi");
    ASSERT_TRUE(writeMovie(path, kWidth, kHeight, kFrames, true));
    ASSERT_TRUE(writeMovie(silent, kWidth, kHeight, kFrames, false));
    auto nowMs = [] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
    };
    // Plays for `ms`, taking frames as the interface does.
    auto play = [&](MoviePlayer& player, DrawSurface& picture, int ms) {
        for (const int64_t end = nowMs() + ms; nowMs() < end;) {
            player.takeFrame(nowMs(), picture);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    };
    {
        MoviePlayer player;
        ASSERT_EQ(player.open(silent, 24, true), MovieError::None);
        EXPECT_EQ(player.sound(), nullptr);
        EXPECT_FALSE(audio::outputOpen());
    }
    MoviePlayer player;
    ASSERT_EQ(player.open(path, 24, true), MovieError::None);
    ASSERT_NE(player.sound(), nullptr);
    EXPECT_TRUE(audio::outputOpen());
    DrawSurface picture;
    ASSERT_TRUE(picture.createLike(player.firstFrame()));
    ASSERT_TRUE(player.start(nowMs()));
    // Past the loop (0.8 s): the sound keeps coming.
    play(player, picture, 1000);
    const int64_t heardFirst = player.sound()->framesMixed();
    EXPECT_GT(heardFirst, 44100 / 2);
    play(player, picture, 300);
    EXPECT_GT(player.sound()->framesMixed(), heardFirst + 44100 / 10);

    player.pause(nowMs());
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // a mix already under way ends
    const int64_t atPause = player.sound()->framesMixed();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(player.sound()->framesMixed(), atPause);
    player.resume(nowMs());
    play(player, picture, 300);
    EXPECT_GT(player.sound()->framesMixed(), atPause + 44100 / 10);

    player.close();
    EXPECT_EQ(player.sound(), nullptr);
    EXPECT_FALSE(player.running());
    EXPECT_FALSE(audio::outputOpen());
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
