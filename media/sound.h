// Sound effects: loaded sounds (`SoundBuffer`) that play once, a number of
// times or for ever, pause and resume; a ring of overlapping plays
// (`SoundQueue`); and the game's event player (`SoundEffects`), which applies
// the player's choices (effects on, the three modes, one switch per event,
// the 200 ms guard of the window sounds) before an event sounds.
//
// Everything plays through the shared audio output (audio_output.h). Sounds
// are decoded from memory: embedded "WAVE" resources never pass through a
// temporary file. A failure only silences: a sound that cannot be made stays
// silent, an output that cannot be opened makes InitSound return false, and
// nothing here ends the program or throws.
//
// Threads: SoundBuffer and SoundEffects are used from the user-interface
// thread; SoundQueue is safe from any thread and runs one worker thread that
// recycles the slots of finished plays.
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "common/sound_events.h"

namespace pavalo {

// The "WAVE" resource of each sound event, in event order.
inline constexpr std::array<uint32_t, kSoundEventCount> kEventWaveIds = {
    196, 245, 277, 278, 279, 293, 280, 281, 282, 284, 285, 287, 289,
    290, 291, 292, 294, 295, 297, 299, 300, 301, 302, 338, 354};
// The about box's two sounds: played once, then looped.
inline constexpr uint32_t kAboutIntroWave = 228;
inline constexpr uint32_t kAboutLoopWave = 227;

// Sound selection modes, as the preferences store them.
enum SoundMode : int32_t { kSoundModeEnableAll = 0, kSoundModeDisableAll = 1, kSoundModeUseSwitches = 2 };
// Entry of the switch array for other players' pickup and drop sounds.
inline constexpr int kOtherPlayersSwitch = 25;
inline constexpr int kSoundSwitchCount = 26;
// Events 19 and 20 are not restarted within this many milliseconds.
inline constexpr uint32_t kWindowSoundGuardMs = 200;
inline constexpr int kSoundQueueSlots = 1000;

// The player's sound choices, read afresh for every event.
struct SoundPreferences {
    bool effectsOn = true;
    int32_t mode = kSoundModeEnableAll;
    std::array<int32_t, kSoundSwitchCount> switches = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
                                                       1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
};

// Whether the mode and switches let an event sound (effects being on and
// the output open are checked by the player). The three completion sounds
// (events 1, 5 and 6) all follow the "Puzzle Finished" switch (5): events 1
// and 6 have no check box of their own.
bool eventEnabled(const SoundPreferences& prefs, int event);
// Whether other players' pickup and drop sounds are heard: always with
// "Enable All", never with "Disable All", else switch 25.
bool otherPlayersAudible(const SoundPreferences& prefs);

// Opens the output for sound effects; false when no output can be opened
// (not even the silent one). Each true result is paired with ReleaseSound.
bool InitSound();
void ReleaseSound();

// A decoded sound, shared between a SoundBuffer and the queued copies still
// playing it. Holds the audio output open while it exists.
class SoundData;

class SoundBuffer {
public:
    SoundBuffer() = default;
    // Constructs and loads from the "WAVE" resource (silent if that fails).
    explicit SoundBuffer(uint32_t resourceId);
    ~SoundBuffer();
    SoundBuffer(const SoundBuffer&) = delete;
    SoundBuffer& operator=(const SoundBuffer&) = delete;

    // 1 on success; 0 when the resource is missing, the output is not open
    // or the data is not a sound. A failed load leaves the buffer empty.
    int LoadFromResource(uint32_t resourceId);
    // The same for a WAVE file on disk.
    int LoadFromFile(const std::string& path);
    int LoadFromMemory(std::span<const uint8_t> bytes);
    bool loaded() const { return data_ != nullptr; }

    // count -1 loops until stopped; 1 plays once; n > 1 plays n times back
    // to back; 0 and other negatives play once. Restarts from the beginning
    // if already playing. 1 when started, 0 when the buffer is empty.
    int Play(int count);
    // Pause holds the position; Resume continues from it with the repeats
    // that remained. Stop ends the play and its repeats.
    void Pause();
    void Resume();
    void Stop();
    // Playing and not paused.
    bool IsPlaying() const;
    bool IsPaused() const;
    // Length of one play in milliseconds (0 when empty).
    uint32_t lengthMs() const;

    std::shared_ptr<SoundData> data() const { return data_; }

private:
    void release();
    std::shared_ptr<SoundData> data_;
    int channel_ = -1;
};

// A ring of slots, each playing a copy of a sound so that a sound can
// overlap earlier plays of itself. The ring keeps its order: a slot is
// reused only after every slot before it has finished, and when the slot
// after the last queued one is the oldest still in use the ring is full and
// the enqueue is refused.
class SoundQueue {
public:
    SoundQueue() = default;
    ~SoundQueue();
    SoundQueue(const SoundQueue&) = delete;
    SoundQueue& operator=(const SoundQueue&) = delete;

    // Makes `slots` slots (at least 1) and starts the worker. false when the
    // output is not open or the queue was already made.
    bool Init(int slots);
    // Queues a play of `sound` with a repeat count as SoundBuffer::Play
    // takes it; `value` is the play's volume, 0 to 128 (anything else plays
    // at full volume). Starts at once unless the queue is paused. Returns a
    // ticket (slot number + 1) for Stop, or 0 when the ring is full, the
    // queue is not made or the sound is empty.
    int Enqueue(const SoundBuffer& sound, int count, int value = -1);
    void Stop(int ticket);
    void StopAll();
    // While paused, playing copies hold and new ones wait; Resume starts
    // both.
    void Pause();
    void Resume();

    int slotCount() const;
    int queued() const;  // slots in use, playing, paused or waiting
    int readIndex() const;
    int writeIndex() const;

private:
    struct Slot {
        std::shared_ptr<SoundData> data;
        int count = 0;
        int value = -1;
        bool used = false;
        bool started = false;
    };
    void startSlot(int index);
    void recycleFinished();  // mutex held
    void work();

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<Slot> ring_;
    int read_ = 0, write_ = 0, used_ = 0;
    int firstChannel_ = -1;
    bool paused_ = false, ending_ = false;
    std::thread worker_;
};

// The game's sound-effect player: the 25 event sounds and the queue,
// registered as the process's SoundPlayer by its owner.
class SoundEffects final : public SoundPlayer {
public:
    using PreferencesSource = std::function<SoundPreferences()>;
    using Clock = std::function<uint32_t()>;  // milliseconds, monotonic

    // prefs is read at every event; clock defaults to a steady clock.
    explicit SoundEffects(PreferencesSource prefs, Clock clock = {});
    ~SoundEffects() override;

    // Start-up: InitSound, then the event sounds in table order and the
    // queue. false (and silence from then on) when InitSound fails; the
    // caller tells the player.
    bool start(int queueSlots = kSoundQueueSlots);
    bool initialised() const { return initialised_; }

    // PlayEvent: nothing unless effects are on and sound is initialised;
    // events 19 and 20 are not restarted within 200 ms of their last start;
    // then the mode and switch decide; then the event's sound plays `count`
    // times. Unknown events and sounds that failed to load are skipped.
    void playEvent(int event, int count) override;
    // StopEvent: stops the event's sound whatever the preferences say.
    void stopEvent(int event) override;

    SoundBuffer& sound(int event) { return sounds_[size_t(event)]; }
    SoundQueue& queue() { return queue_; }
    // Clock time of the event's last start; 0 before the first.
    uint32_t lastStart(int event) const;
    bool otherPlayersAudible() const { return pavalo::otherPlayersAudible(prefs_()); }
    SoundPreferences preferences() const { return prefs_(); }

private:
    PreferencesSource prefs_;
    Clock clock_;
    std::array<SoundBuffer, kSoundEventCount> sounds_;
    std::array<uint32_t, kSoundEventCount> lastStart_{};
    std::array<bool, kSoundEventCount> started_{};
    SoundQueue queue_;
    bool initialised_ = false;
};

// The about box's two sounds, for as long as the box is open: the first
// (228) queued once and the second (227) queued to loop for ever, when
// sound is available and effects are on. Closing the box (destroying this)
// stops both.
class AboutBoxSounds {
public:
    explicit AboutBoxSounds(SoundEffects& effects);
    ~AboutBoxSounds();
    AboutBoxSounds(const AboutBoxSounds&) = delete;
    AboutBoxSounds& operator=(const AboutBoxSounds&) = delete;
    bool started() const { return loopTicket_ != 0; }

private:
    SoundQueue& queue_;
    SoundBuffer intro_, loop_;
    int introTicket_ = 0, loopTicket_ = 0;
};

}  // namespace pavalo
