// Sound effects on SDL2_mixer: chunks decoded from memory, one mixer channel
// per loaded sound, a ring of channels for overlapping copies, and the rules
// that decide whether a game event sounds.
#include "media/sound.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <chrono>

#include "common/file_io.h"
#include "media/audio_output.h"
#include "common/resources.h"

namespace pavalo {

// ---- the rules ---------------------------------------------------------------

bool eventEnabled(const SoundPreferences& prefs, int event) {
    if (event < 0 || event >= kSoundEventCount) return false;
    switch (prefs.mode) {
        case kSoundModeDisableAll: return false;
        case kSoundModeUseSwitches: {
            const int sw = event == kSoundFinishedShort || event == kSoundFinishedLong ? kSoundPuzzleFinished : event;
            return prefs.switches[size_t(sw)] != 0;
        }
        default: return true;  // "Enable All", and any unknown mode as the default
    }
}

bool otherPlayersAudible(const SoundPreferences& prefs) {
    if (prefs.mode == kSoundModeDisableAll) return false;
    if (prefs.mode == kSoundModeUseSwitches) return prefs.switches[kOtherPlayersSwitch] != 0;
    return true;
}

// ---- the output for effects -----------------------------------------------------

namespace {
int gSoundUsers = 0;  // InitSound calls not yet released (user-interface thread)
}

bool InitSound() {
    std::string error;
    if (!audio::acquireOutput(error)) return false;
    ++gSoundUsers;
    return true;
}

void ReleaseSound() {
    if (gSoundUsers == 0) return;
    --gSoundUsers;
    audio::releaseOutput();
}

// ---- decoded sounds ------------------------------------------------------------

class SoundData {
public:
    // Decodes a WAVE image; null when the output is closed or the bytes are
    // not a sound SDL can read.
    static std::shared_ptr<SoundData> decode(std::span<const uint8_t> bytes) {
        if (bytes.empty() || !audio::outputOpen()) return nullptr;
        std::string error;
        if (!audio::acquireOutput(error)) return nullptr;
        Mix_Chunk* chunk = nullptr;
        {
            std::lock_guard lock(audio::mixerLock());
            SDL_RWops* rw = SDL_RWFromConstMem(bytes.data(), int(bytes.size()));
            if (rw) chunk = Mix_LoadWAV_RW(rw, 1);
        }
        if (!chunk || chunk->alen == 0) {
            if (chunk) Mix_FreeChunk(chunk);
            audio::releaseOutput();
            return nullptr;
        }
        return std::shared_ptr<SoundData>(new SoundData(chunk));
    }
    ~SoundData() {
        {
            std::lock_guard lock(audio::mixerLock());
            Mix_FreeChunk(chunk_);  // halts any channel still playing it
        }
        audio::releaseOutput();
    }
    Mix_Chunk* chunk() const { return chunk_; }
    uint32_t lengthMs() const {
        int rate = 0, channels = 0;
        Uint16 format = 0;
        if (!Mix_QuerySpec(&rate, &format, &channels) || rate == 0 || channels == 0) return 0;
        const uint32_t frameBytes = uint32_t(SDL_AUDIO_BITSIZE(format) / 8 * channels);
        return uint32_t(uint64_t(chunk_->alen) / frameBytes * 1000 / uint32_t(rate));
    }

private:
    explicit SoundData(Mix_Chunk* chunk) : chunk_(chunk) {}
    Mix_Chunk* chunk_;
};

namespace {

// SDL counts extra plays: -1 for ever, n - 1 for n plays.
int loopsFor(int count) { return count == -1 ? -1 : count > 1 ? count - 1 : 0; }

}  // namespace

// ---- SoundBuffer -----------------------------------------------------------------

SoundBuffer::SoundBuffer(uint32_t resourceId) { LoadFromResource(resourceId); }

SoundBuffer::~SoundBuffer() { release(); }

void SoundBuffer::release() {
    if (channel_ >= 0) audio::releaseChannels(channel_, 1);
    channel_ = -1;
    data_.reset();
}

int SoundBuffer::LoadFromResource(uint32_t resourceId) {
    return LoadFromMemory(findResource("WAVE", resourceId));
}

int SoundBuffer::LoadFromFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    std::string error;
    // Sound effects are short; a file this large is not one.
    if (!readWholeFile(path, bytes, error, size_t(64) << 20)) {
        release();
        return 0;
    }
    return LoadFromMemory(bytes);
}

int SoundBuffer::LoadFromMemory(std::span<const uint8_t> bytes) {
    release();
    std::shared_ptr<SoundData> data = SoundData::decode(bytes);
    if (!data) return 0;
    const int channel = audio::reserveChannels(1);
    if (channel < 0) return 0;
    data_ = std::move(data);
    channel_ = channel;
    return 1;
}

int SoundBuffer::Play(int count) {
    if (!data_) return 0;
    std::lock_guard lock(audio::mixerLock());
    Mix_HaltChannel(channel_);
    Mix_Resume(channel_);
    return Mix_PlayChannel(channel_, data_->chunk(), loopsFor(count)) == channel_ ? 1 : 0;
}

void SoundBuffer::Pause() {
    if (!data_) return;
    std::lock_guard lock(audio::mixerLock());
    if (Mix_Playing(channel_)) Mix_Pause(channel_);
}

void SoundBuffer::Resume() {
    if (!data_) return;
    std::lock_guard lock(audio::mixerLock());
    if (Mix_Paused(channel_)) Mix_Resume(channel_);
}

void SoundBuffer::Stop() {
    if (!data_) return;
    std::lock_guard lock(audio::mixerLock());
    Mix_HaltChannel(channel_);
    Mix_Resume(channel_);
}

bool SoundBuffer::IsPlaying() const {
    if (!data_) return false;
    std::lock_guard lock(audio::mixerLock());
    return Mix_Playing(channel_) && !Mix_Paused(channel_);
}

bool SoundBuffer::IsPaused() const {
    if (!data_) return false;
    std::lock_guard lock(audio::mixerLock());
    return Mix_Playing(channel_) && Mix_Paused(channel_);
}

uint32_t SoundBuffer::lengthMs() const { return data_ ? data_->lengthMs() : 0; }

// ---- SoundQueue --------------------------------------------------------------------

SoundQueue::~SoundQueue() {
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
    }
    wake_.notify_all();
    if (worker_.joinable()) worker_.join();
    if (firstChannel_ >= 0) {
        audio::releaseChannels(firstChannel_, int(ring_.size()));  // halts them
        ring_.clear();
        audio::releaseOutput();
    }
}

bool SoundQueue::Init(int slots) {
    std::lock_guard lock(mutex_);
    if (firstChannel_ >= 0 || !audio::outputOpen()) return false;
    std::string error;
    if (!audio::acquireOutput(error)) return false;
    slots = std::max(1, slots);
    const int first = audio::reserveChannels(slots);
    if (first < 0) {
        audio::releaseOutput();
        return false;
    }
    firstChannel_ = first;
    ring_.assign(size_t(slots), Slot{});
    read_ = write_ = used_ = 0;
    worker_ = std::thread([this] { work(); });
    return true;
}

void SoundQueue::startSlot(int index) {
    Slot& s = ring_[size_t(index)];
    const int channel = firstChannel_ + index;
    std::lock_guard lock(audio::mixerLock());
    Mix_Volume(channel, s.value >= 0 && s.value <= MIX_MAX_VOLUME ? s.value : MIX_MAX_VOLUME);
    Mix_Resume(channel);
    Mix_PlayChannel(channel, s.data->chunk(), loopsFor(s.count));
    s.started = true;
}

// Frees, from the oldest on, the slots whose plays have ended, so the ring
// keeps its order. Stopped slots are already marked unused.
void SoundQueue::recycleFinished() {
    while (used_ > 0) {
        Slot& s = ring_[size_t(read_)];
        if (s.used) {
            if (!s.started) break;
            bool playing;
            {
                std::lock_guard lock(audio::mixerLock());
                playing = Mix_Playing(firstChannel_ + read_) != 0;
            }
            if (playing) break;
            s = Slot{};
        }
        --used_;
        if (used_ > 0) read_ = (read_ + 1) % int(ring_.size());
    }
}

int SoundQueue::Enqueue(const SoundBuffer& sound, int count, int value) {
    std::shared_ptr<SoundData> data = sound.data();
    std::lock_guard lock(mutex_);
    if (firstChannel_ < 0 || !data) return 0;
    recycleFinished();
    int index;
    if (used_ == 0) {
        index = read_;
    } else {
        index = (write_ + 1) % int(ring_.size());
        if (index == read_) return 0;  // full: refused, nothing queued
    }
    ring_[size_t(index)] = Slot{std::move(data), count, value, true, false};
    write_ = index;
    ++used_;
    if (!paused_) startSlot(index);
    wake_.notify_all();
    return index + 1;
}

void SoundQueue::Stop(int ticket) {
    std::lock_guard lock(mutex_);
    const int index = ticket - 1;
    if (index < 0 || index >= int(ring_.size()) || !ring_[size_t(index)].used) return;
    {
        std::lock_guard mix(audio::mixerLock());
        Mix_HaltChannel(firstChannel_ + index);
    }
    // The slot stays counted until the slots before it are recycled.
    ring_[size_t(index)] = Slot{};
    recycleFinished();
}

void SoundQueue::StopAll() {
    std::lock_guard lock(mutex_);
    for (size_t i = 0; i < ring_.size(); ++i) {
        if (!ring_[i].used) continue;
        {
            std::lock_guard mix(audio::mixerLock());
            Mix_HaltChannel(firstChannel_ + int(i));
        }
        ring_[i] = Slot{};
    }
    recycleFinished();
}

void SoundQueue::Pause() {
    std::lock_guard lock(mutex_);
    if (paused_ || firstChannel_ < 0) return;
    paused_ = true;
    std::lock_guard mix(audio::mixerLock());
    for (size_t i = 0; i < ring_.size(); ++i)
        if (ring_[i].used && ring_[i].started) Mix_Pause(firstChannel_ + int(i));
}

void SoundQueue::Resume() {
    std::lock_guard lock(mutex_);
    if (!paused_) return;
    paused_ = false;
    for (size_t i = 0; i < ring_.size(); ++i) {
        if (!ring_[i].used) continue;
        if (ring_[i].started) {
            std::lock_guard mix(audio::mixerLock());
            Mix_Resume(firstChannel_ + int(i));
        } else {
            startSlot(int(i));
        }
    }
    wake_.notify_all();
}

int SoundQueue::slotCount() const {
    std::lock_guard lock(mutex_);
    return int(ring_.size());
}

int SoundQueue::queued() const {
    std::lock_guard lock(mutex_);
    int n = 0;
    for (const Slot& s : ring_) n += s.used;
    return n;
}

int SoundQueue::readIndex() const {
    std::lock_guard lock(mutex_);
    return read_;
}

int SoundQueue::writeIndex() const {
    std::lock_guard lock(mutex_);
    return write_;
}

// The worker recycles finished slots while any are in use, so their sounds
// are let go soon after they end even when nothing else is queued.
void SoundQueue::work() {
    std::unique_lock lock(mutex_);
    while (!ending_) {
        if (used_ == 0) wake_.wait(lock, [this] { return ending_ || used_ > 0; });
        else wake_.wait_for(lock, std::chrono::milliseconds(50));
        if (!ending_) recycleFinished();
    }
}

// ---- SoundEffects -------------------------------------------------------------------

namespace {
uint32_t steadyMs() {
    using namespace std::chrono;
    return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}
}  // namespace

SoundEffects::SoundEffects(PreferencesSource prefs, Clock clock)
    : prefs_(std::move(prefs)), clock_(clock ? std::move(clock) : Clock(steadyMs)) {}

SoundEffects::~SoundEffects() {
    for (SoundBuffer& s : sounds_) s.Stop();
    if (initialised_) ReleaseSound();
}

bool SoundEffects::start(int queueSlots) {
    if (initialised_) return true;
    if (!InitSound()) return false;
    initialised_ = true;
    for (int e = 0; e < kSoundEventCount; ++e) sounds_[size_t(e)].LoadFromResource(kEventWaveIds[size_t(e)]);
    queue_.Init(queueSlots);
    return true;
}

void SoundEffects::playEvent(int event, int count) {
    if (event < 0 || event >= kSoundEventCount || !initialised_) return;
    const SoundPreferences prefs = prefs_();
    if (!prefs.effectsOn) return;
    const uint32_t now = clock_();
    const size_t e = size_t(event);
    if ((event == kSoundCloseWindow || event == kSoundOpenWindow) && started_[e] &&
        now - lastStart_[e] < kWindowSoundGuardMs)
        return;
    if (!eventEnabled(prefs, event)) return;
    if (sounds_[e].Play(count)) {
        lastStart_[e] = now;
        started_[e] = true;
    }
}

void SoundEffects::stopEvent(int event) {
    if (event < 0 || event >= kSoundEventCount) return;
    sounds_[size_t(event)].Stop();
}

uint32_t SoundEffects::lastStart(int event) const {
    return event >= 0 && event < kSoundEventCount ? lastStart_[size_t(event)] : 0;
}

// ---- the about box ---------------------------------------------------------------------

AboutBoxSounds::AboutBoxSounds(SoundEffects& effects) : queue_(effects.queue()) {
    if (!effects.initialised() || !effects.preferences().effectsOn) return;
    if (intro_.LoadFromResource(kAboutIntroWave)) introTicket_ = queue_.Enqueue(intro_, 1);
    if (loop_.LoadFromResource(kAboutLoopWave)) loopTicket_ = queue_.Enqueue(loop_, -1);
}

AboutBoxSounds::~AboutBoxSounds() {
    queue_.Stop(loopTicket_);
    queue_.Stop(introTicket_);
}

}  // namespace pavalo
