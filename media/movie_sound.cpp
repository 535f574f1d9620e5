// The movie's sound queue and its place in the shared audio output.
#include "media/movie_sound.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <chrono>

#include "media/audio_output.h"

namespace pavalo {

MovieSoundQueue::MovieSoundQueue(int32_t rate, int32_t channels)
    : rate_(std::max(rate, 1)), channels_(std::max(channels, 1)) {}

int64_t MovieSoundQueue::steadyMicroseconds() {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void MovieSoundQueue::push(const int16_t* samples, int32_t frames, int64_t timeUs) {
    if (frames <= 0) return;
    Block block;
    block.samples.assign(samples, samples + size_t(frames) * size_t(channels_));
    block.timeUs = timeUs;
    block.frames = frames;
    std::lock_guard lock(mutex_);
    if (!blocks_.empty()) {
        const Block& tail = blocks_.back();
        // Stamps round to microseconds: only a real overlap counts.
        if (timeUs + 1000 < tail.timeUs + frameTimeUs(tail.frames)) cutFromLocked(timeUs);
    }
    queued_ += frames;
    blocks_.push_back(std::move(block));
    // Sound far ahead of the picture (a badly interleaved file) is not
    // kept without bound.
    while (queued_ > kMaxQueuedSeconds * rate_ && blocks_.size() > 1) {
        queued_ -= blocks_.front().frames - blocks_.front().used;
        blocks_.pop_front();
    }
}

void MovieSoundQueue::cutFrom(int64_t timeUs) {
    std::lock_guard lock(mutex_);
    cutFromLocked(timeUs);
}

void MovieSoundQueue::cutFromLocked(int64_t timeUs) {
    while (!blocks_.empty()) {
        Block& b = blocks_.back();
        if (b.timeUs >= timeUs) {
            queued_ -= b.frames - b.used;
            blocks_.pop_back();
            continue;
        }
        const int32_t keep = int32_t(std::min<int64_t>(b.frames, std::max<int64_t>(framesIn(timeUs - b.timeUs), b.used)));
        queued_ -= b.frames - keep;
        b.frames = keep;
        b.samples.resize(size_t(keep) * size_t(channels_));
        break;
    }
}

void MovieSoundQueue::clear() {
    std::lock_guard lock(mutex_);
    blocks_.clear();
    queued_ = 0;
}

int64_t MovieSoundQueue::framesQueued() {
    std::lock_guard lock(mutex_);
    return queued_;
}

int64_t MovieSoundQueue::headTimeUs() {
    std::lock_guard lock(mutex_);
    for (const Block& b : blocks_)
        if (b.used < b.frames) return b.timeUs + frameTimeUs(b.used);
    return -1;
}

void MovieSoundQueue::setClock(int64_t movieUs, bool playing) {
    originUs_ = steadyMicroseconds() - movieUs;
    playing_ = playing;
}

void MovieSoundQueue::mixNow(int16_t* out, int32_t frames) {
    if (!playing_) return;
    mixInto(out, frames, steadyMicroseconds() - originUs_.load());
}

void MovieSoundQueue::mixInto(int16_t* out, int32_t frames, int64_t nowUs) {
    if (!playing_ || frames <= 0) return;
    std::lock_guard lock(mutex_);
    int32_t at = 0;
    int64_t cursorUs = nowUs;  // the movie's time at out[at]
    while (at < frames && !blocks_.empty()) {
        Block& b = blocks_.front();
        if (b.used >= b.frames) {
            blocks_.pop_front();
            continue;
        }
        const int64_t headUs = b.timeUs + frameTimeUs(b.used);
        if (headUs + kLateToleranceUs < cursorUs) {
            // Late (the picture moved on, or the audio thread was held up):
            // skip to the present.
            const int32_t skip = int32_t(std::min<int64_t>(b.frames - b.used, std::max<int64_t>(1, framesIn(cursorUs - headUs))));
            b.used += skip;
            queued_ -= skip;
            continue;
        }
        if (headUs > cursorUs + kEarlyToleranceUs) {
            // Early (a gap in the track): silence until it is due.
            const int32_t wait = int32_t(std::min<int64_t>(frames - at, std::max<int64_t>(1, framesIn(headUs - cursorUs))));
            at += wait;
            cursorUs += frameTimeUs(wait);
            continue;
        }
        const int32_t n = std::min(frames - at, b.frames - b.used);
        const int16_t* from = b.samples.data() + size_t(b.used) * size_t(channels_);
        int16_t* to = out + size_t(at) * size_t(channels_);
        for (size_t i = 0, count = size_t(n) * size_t(channels_); i < count; ++i)
            to[i] = int16_t(std::clamp(int32_t(to[i]) + int32_t(from[i]), -32768, 32767));
        at += n;
        b.used += n;
        queued_ -= n;
        framesMixed_ += n;
        cursorUs += frameTimeUs(n);
    }
}

// ------------------------------------------------------- MovieSoundOutput

namespace {

// The post-mix hook has one place, so one movie is heard at a time.
std::atomic<bool> gHookClaimed{false};

void SDLCALL postMix(void* queue, Uint8* stream, int length) {
    auto* q = static_cast<MovieSoundQueue*>(queue);
    const int frameBytes = int(sizeof(int16_t)) * q->channels();
    q->mixNow(reinterpret_cast<int16_t*>(stream), length / frameBytes);
}

}  // namespace

bool MovieSoundOutput::open(std::string& error) {
    close();
    bool expected = false;
    if (!gHookClaimed.compare_exchange_strong(expected, true)) {
        error = "another movie's sound is playing";
        return false;
    }
    if (!audio::acquireOutput(error)) {
        gHookClaimed = false;
        return false;
    }
    int rate = 0, channels = 0;
    Uint16 format = 0;
    {
        std::lock_guard lock(audio::mixerLock());
        if (!Mix_QuerySpec(&rate, &format, &channels)) rate = 0;
    }
    if (rate <= 0 || channels <= 0 || format != AUDIO_S16SYS) {
        error = "the audio output does not mix 16-bit samples";
        audio::releaseOutput();
        gHookClaimed = false;
        return false;
    }
    rate_ = rate;
    channels_ = channels;
    open_ = true;
    return true;
}

void MovieSoundOutput::attach(MovieSoundQueue* queue) {
    if (!open_ || !queue) return;
    std::lock_guard lock(audio::mixerLock());
    // The mixer holds its device lock while it swaps the hook, so no mix
    // runs half with the old one.
    Mix_SetPostMix(postMix, queue);
    attached_ = true;
}

void MovieSoundOutput::detach() {
    if (!attached_) return;
    std::lock_guard lock(audio::mixerLock());
    Mix_SetPostMix(nullptr, nullptr);
    attached_ = false;
}

void MovieSoundOutput::close() {
    if (!open_) return;
    detach();
    audio::releaseOutput();
    open_ = false;
    rate_ = channels_ = 0;
    gHookClaimed = false;
}

}  // namespace pavalo
