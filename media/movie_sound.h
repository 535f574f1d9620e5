// A movie's sound: MovieSoundQueue holds the decoded samples, each block
// stamped with its time on the movie's looping clock, and mixes the ones due
// at a moment into an output buffer; MovieSoundOutput adds a queue to the
// shared audio output (the mixer that sound effects and music use) through
// the mixer's post-mix hook, so the movie is heard over them in time with
// its picture. No Qt.
//
// Threads: the movie's decoder thread pushes samples, the audio thread mixes
// them, the interface thread moves the clock (start, pause, resume); the
// queue serialises them with its own lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace pavalo {

class MovieSoundQueue {
public:
    // Samples are interleaved signed 16-bit with `channels` channels.
    MovieSoundQueue(int32_t rate, int32_t channels);
    int32_t rate() const { return rate_; }
    int32_t channels() const { return channels_; }

    // Decoder side: `frames` sample frames starting at `timeUs` on the
    // movie's clock. Blocks come in time order; the oldest are dropped when
    // more than kMaxQueuedSeconds wait. A block stamped before the end of
    // what waits (the start of the track again after a loop, while the
    // last pass's sound still ran on) replaces the sound from its time on.
    void push(const int16_t* samples, int32_t frames, int64_t timeUs);
    // The movie loops at `timeUs`: sound stamped at or after it (the tail of
    // a sound track longer than the picture) is dropped.
    void cutFrom(int64_t timeUs);
    void clear();

    // Mixing side: adds the samples due from movie time `nowUs` on into
    // `out` (`frames` sample frames), saturating. Sound more than
    // kLateToleranceUs late is skipped, sound more than kEarlyToleranceUs
    // early waits (the buffer keeps silence there); within them, blocks
    // play back to back so small jitter never clicks. Nothing is mixed or
    // used up while stopped.
    void mixInto(int16_t* out, int32_t frames, int64_t nowUs);
    // The same, with the movie's time read from the steady clock through
    // the mapping setClock left.
    void mixNow(int16_t* out, int32_t frames);

    // Interface side: the movie's clock reads `movieUs` now; sound plays
    // while `playing`.
    void setClock(int64_t movieUs, bool playing);
    bool playing() const { return playing_.load(); }

    // Sample frames taken from the queue into the output so far.
    int64_t framesMixed() const { return framesMixed_.load(); }
    int64_t framesQueued();
    // The time stamped on the first sample still waiting, or -1 without one.
    int64_t headTimeUs();

    // Sound a little behind the picture is hardly noticed, sound ahead of
    // it is; files often store the sound somewhat after its pictures.
    static constexpr int64_t kLateToleranceUs = 100000;
    static constexpr int64_t kEarlyToleranceUs = 45000;
    static constexpr int64_t kMaxQueuedSeconds = 4;

    static int64_t steadyMicroseconds();

private:
    struct Block {
        std::vector<int16_t> samples;
        int64_t timeUs = 0;
        int32_t frames = 0;
        int32_t used = 0;  // frames already mixed or skipped
    };
    int64_t frameTimeUs(int64_t frames) const { return frames * 1000000 / rate_; }
    int64_t framesIn(int64_t us) const { return us * rate_ / 1000000; }
    void cutFromLocked(int64_t timeUs);

    const int32_t rate_, channels_;
    std::mutex mutex_;
    std::deque<Block> blocks_;
    int64_t queued_ = 0;  // frames not yet used, over all blocks
    std::atomic<int64_t> originUs_{0};  // steady time at which the movie's clock read 0
    std::atomic<bool> playing_{false};
    std::atomic<int64_t> framesMixed_{0};
};

class MovieSoundOutput {
public:
    MovieSoundOutput() = default;
    ~MovieSoundOutput() { close(); }
    MovieSoundOutput(const MovieSoundOutput&) = delete;
    MovieSoundOutput& operator=(const MovieSoundOutput&) = delete;

    // Opens the shared audio output for the movie and reads its rate and
    // channels. False when there is no output (the movie is then silent),
    // when it does not mix 16-bit samples, or when another movie's sound
    // already plays.
    bool open(std::string& error);
    bool isOpen() const { return open_; }
    int32_t rate() const { return rate_; }
    int32_t channels() const { return channels_; }
    // Mixes `queue` into everything the output plays from now until
    // detach or close.
    void attach(MovieSoundQueue* queue);
    void detach();
    // Detaches and gives the output back.
    void close();

private:
    bool open_ = false;
    bool attached_ = false;
    int32_t rate_ = 0, channels_ = 0;
};

}  // namespace pavalo
