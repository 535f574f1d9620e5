// Movies on FFmpeg: MovieDecoder reads a movie's best video stream frame by
// frame into a DrawSurface in a display pixel format and loops at the end of
// the stream; MoviePlayer runs a decoder on its own thread that keeps a few
// ready frames, from which the interface thread takes the newest due one
// without ever waiting for the decoder. No Qt.
//
// Timing: every frame carries its time on the movie's own clock, counted
// on across loops (the first pass starts at 0, the second at the length of
// the first, ...). The player maps that clock onto the caller's millisecond
// ticks, so the movie runs at its own speed whatever the caller's rate.
// The sound track, when wanted, is decoded beside the frames, stamped on the
// same clock, and mixed into the shared audio output by that clock
// (media/movie_sound.h), so it loops and pauses with the picture.
//
// Threads: a MovieDecoder is used by one thread at a time. A MoviePlayer is
// driven from one (the interface) thread; its decoder thread touches only
// the decoder and the frame slots it owns at that moment.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "media/movie_names.h"
#include "media/movie_sound.h"
#include "surface/draw_surface.h"

namespace pavalo {

// Why a movie could not be opened.
enum class MovieError {
    None,
    NotFound,     // the file does not exist or cannot be read
    NotAMovie,    // no container could read it
    NoVideo,      // no video stream
    NoDecoder,    // the video codec cannot be decoded here
    BadSize,      // frame size out of range (1..8192 each side)
    BadDepth,     // the requested surface depth has no movie pixel format
    NoFrame,      // no frame could be decoded
    NoSurface,    // the frame surface could not be made
};

// A sentence for the player about an error other than None.
const char* movieErrorText(MovieError error);

struct MovieInfo {
    int32_t width = 0, height = 0;
    double framesPerSecond = 0;  // the stream's average rate, or 25 when it has none
    double durationSeconds = 0;  // 0 when the container does not say
    std::string container, videoCodec, audioCodec;  // audioCodec empty without sound
    bool hasSound = false;
};

class MovieDecoder {
public:
    MovieDecoder();
    ~MovieDecoder();
    MovieDecoder(const MovieDecoder&) = delete;
    MovieDecoder& operator=(const MovieDecoder&) = delete;

    // Opens the movie for frames at a surface depth of 16, 16555, 24 or 32.
    MovieError open(const std::string& path, int32_t depth);
    void close();
    bool isOpen() const;
    const MovieInfo& info() const { return info_; }
    int32_t depth() const { return depth_; }

    // Decodes the next frame into `frame` (made at the movie's size and the
    // depth when it is not already) and gives its time in microseconds on
    // the looping clock. At the end of the stream the movie goes back to its
    // start and the first frame follows the last. False when no more frames
    // can come: a broken stream, a frame whose size differs from the
    // movie's, or a loop that yields no frame; `frame` then keeps the last
    // good picture and ended() is true.
    bool next(DrawSurface& frame, int64_t& timeMicroseconds);
    // From now on next() also decodes the movie's sound track into `queue`
    // (at its rate and channels), stamped on the same looping clock as the
    // frames. False, and the movie stays silent, without a track that can
    // be decoded.
    bool enableSound(MovieSoundQueue* queue);
    bool soundEnabled() const;
    bool ended() const { return ended_; }
    // Complete passes through the movie so far.
    int64_t loops() const { return loops_; }

private:
    struct State;
    bool rewind();
    bool convert(DrawSurface& frame);
    void drainSound(bool flush);
    void pushSound();
    std::unique_ptr<State> s_;
    MovieInfo info_;
    int32_t depth_ = 0;
    bool ended_ = false;
    int64_t loops_ = 0;
};

// Decodes a movie's first frame into a 24-bit surface (thumbnails, cutting
// from the first frame); false when the movie cannot be opened.
bool loadMovieFirstFrame(const std::string& path, DrawSurface& frame);

class MoviePlayer {
public:
    // Ready frames kept ahead of the interface (twice as many for a movie
    // whose sound plays).
    static constexpr int32_t kQueuedFrames = 4;

    MoviePlayer() = default;
    ~MoviePlayer() { close(); }
    MoviePlayer(const MoviePlayer&) = delete;
    MoviePlayer& operator=(const MoviePlayer&) = delete;

    // Opens the movie and decodes its first frame (see firstFrame); no
    // thread runs yet. With `withSound` a movie's sound track plays through
    // the shared audio output from start() on, in time with the frames
    // taken, stopping while paused; without an output it stays silent.
    MovieError open(const std::string& path, int32_t depth, bool withSound = false);
    const MovieInfo& info() const { return decoder_.info(); }
    bool isOpen() const { return decoder_.isOpen(); }
    // The first frame, decoded by open.
    const DrawSurface& firstFrame() const { return first_; }

    // Starts the decoder thread; the first frame counts as shown at `nowMs`.
    bool start(int64_t nowMs);
    // The interface thread's frame taking: copies the newest frame that is
    // due at `nowMs` into `picture` (same size and depth as the movie) and
    // drops the older ones. Never waits: false when nothing is due, the
    // player is paused, or the decoder holds the queue this instant.
    bool takeFrame(int64_t nowMs, DrawSurface& picture);
    // Stops and restarts the movie's clock; the decoder only fills the
    // queue while paused.
    void pause(int64_t nowMs);
    void resume(int64_t nowMs);
    bool paused() const { return paused_; }
    // True while the decoder thread runs.
    bool running() const { return thread_.joinable(); }
    // The decoder reached a stream it cannot go on with; the last frame
    // shown stays.
    bool ended() const { return decoderEnded_.load(); }
    // The sound track being played, or null for a silent movie.
    const MovieSoundQueue* sound() const { return sound_.get(); }
    // Frames taken by takeFrame so far.
    int64_t framesShown() const { return framesShown_; }
    // Stops the thread and closes the file.
    void close();

private:
    struct Slot {
        DrawSurface surface;
        int64_t timeUs = 0;
    };
    void decodeLoop();

    MovieDecoder decoder_;
    MovieSoundOutput soundOutput_;
    std::unique_ptr<MovieSoundQueue> sound_;
    DrawSurface first_;
    std::vector<std::unique_ptr<Slot>> slots_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Slot*> ready_;  // in time order
    std::vector<Slot*> free_;
    bool stop_ = false;
    std::atomic<bool> decoderEnded_{false};
    std::thread thread_;
    int64_t clockStartMs_ = 0, pausedAtMs_ = 0;
    bool paused_ = false;
    int64_t framesShown_ = 0;
};

}  // namespace pavalo
