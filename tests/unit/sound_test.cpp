// Tests of the sound effects: the embedded sounds themselves (they decode,
// sit below full scale, start and end at silence, loop without a seam), the
// event rules (modes, switches, the 200 ms guard, effects off), sounds that
// repeat, loop, pause and stop, the overlap queue's ring (order, full ring,
// wrap, pause), the sound options dialog's rules, and the output's fallback
// to the silent driver. Headless: SDL's dummy driver, and its disk driver
// where samples must be seen.
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_mixer.h>

#include <chrono>
#include <csignal>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>
#include <unistd.h>

#include "media/audio_output.h"
#include "media/sound.h"
#include "shell/dialogs/sound_options.h"
#include "common/resources.h"

using namespace pavalo;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// A mono 16-bit tone of the given length as a WAVE image.
std::vector<uint8_t> toneWave(int milliseconds, double hz = 440, int rate = 22050) {
    const uint32_t frames = uint32_t(rate * milliseconds / 1000);
    std::vector<uint8_t> b;
    auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
    };
    auto u16 = [&](uint16_t v) {
        b.push_back(uint8_t(v));
        b.push_back(uint8_t(v >> 8));
    };
    b.insert(b.end(), {'R', 'I', 'F', 'F'});
    u32(36 + frames * 2);
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    u32(16);
    u16(1);
    u16(1);
    u32(uint32_t(rate));
    u32(uint32_t(rate * 2));
    u16(2);
    u16(16);
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    u32(frames * 2);
    for (uint32_t i = 0; i < frames; ++i) u16(uint16_t(int16_t(8000 * std::sin(2 * M_PI * hz * i / rate))));
    return b;
}

// Waits until pred holds or the time runs out.
template <class P>
bool within(std::chrono::milliseconds limit, P pred) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (pred()) return true;
        std::this_thread::sleep_for(5ms);
    }
    return pred();
}

// Every test that plays opens the output on the silent driver and leaves it
// closed again, so tests do not depend on each other.
class AudioTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { setenv("SDL_AUDIODRIVER", "dummy", 1); }
    void TearDown() override { EXPECT_FALSE(audio::outputOpen()) << "a test left the output open"; }
};

struct Decoded {
    SDL_AudioSpec audio{};
    std::vector<int16_t> samples;
};

Decoded decodeWave(std::span<const uint8_t> bytes) {
    Decoded d;
    Uint8* buffer = nullptr;
    Uint32 length = 0;
    SDL_RWops* rw = SDL_RWFromConstMem(bytes.data(), int(bytes.size()));
    if (SDL_LoadWAV_RW(rw, 1, &d.audio, &buffer, &length)) {
        d.samples.assign(reinterpret_cast<int16_t*>(buffer), reinterpret_cast<int16_t*>(buffer) + length / 2);
        SDL_FreeWAV(buffer);
    }
    return d;
}

}  // namespace

// ---- the embedded sounds -------------------------------------------------------

TEST(EmbeddedSounds, EveryEventAndAboutSoundIsACleanShortWave) {
    std::vector<uint32_t> ids(kEventWaveIds.begin(), kEventWaveIds.end());
    ids.push_back(kAboutIntroWave);
    ids.push_back(kAboutLoopWave);
    std::set<std::vector<int16_t>> distinct;
    for (uint32_t id : ids) {
        SCOPED_TRACE("WAVE " + std::to_string(id));
        const std::span<const uint8_t> bytes = findResource("WAVE", id);
        ASSERT_FALSE(bytes.empty());
        const Decoded d = decodeWave(bytes);
        ASSERT_FALSE(d.samples.empty()) << SDL_GetError();
        EXPECT_EQ(d.audio.format, AUDIO_S16LSB);
        EXPECT_EQ(d.audio.channels, 1);
        const double seconds = double(d.samples.size()) / d.audio.freq;
        EXPECT_GE(seconds, 0.03);
        EXPECT_LE(seconds, 4.5);
        int peak = 0;
        for (int16_t s : d.samples) peak = std::max(peak, std::abs(int(s)));
        const double peakDb = 20 * std::log10(peak / 32768.0);
        EXPECT_LT(peakDb, -2.0) << "too close to clipping";
        EXPECT_GT(peakDb, -16.0) << "too quiet";
        const bool loop = id == kEventWaveIds[kSoundPuzzleCut] || id == kAboutLoopWave;
        if (loop) {
            // Played back to back: the jump from the last sample to the
            // first is no larger than the sound's ordinary steps.
            std::vector<int> steps;
            for (size_t i = 1; i < d.samples.size(); ++i) steps.push_back(std::abs(d.samples[i] - d.samples[i - 1]));
            std::sort(steps.begin(), steps.end());
            const int typical = steps[steps.size() * 99 / 100];
            EXPECT_LE(std::abs(d.samples.front() - d.samples.back()), typical);
        } else {
            EXPECT_LE(std::abs(d.samples.front()), 64) << "clicks at the start";
            EXPECT_LE(std::abs(d.samples.back()), 64) << "clicks at the end";
        }
        EXPECT_TRUE(distinct.insert(d.samples).second) << "the same sound as another id";
    }
}

// ---- rules --------------------------------------------------------------------------

TEST(SoundRules, ModesAndSwitchesDecideWhichEventsSound) {
    SoundPreferences p;
    for (int e = 0; e < kSoundEventCount; ++e) EXPECT_TRUE(eventEnabled(p, e)) << e;
    EXPECT_FALSE(eventEnabled(p, -1));
    EXPECT_FALSE(eventEnabled(p, kSoundEventCount));

    // Enable All ignores the switches; Disable All silences everything.
    p.switches.fill(0);
    EXPECT_TRUE(eventEnabled(p, kSoundZoomIn));
    p.mode = kSoundModeDisableAll;
    p.switches.fill(1);
    for (int e = 0; e < kSoundEventCount; ++e) EXPECT_FALSE(eventEnabled(p, e)) << e;

    // Use Selections: "Zoom In" unchecked silences zooming in only.
    p.mode = kSoundModeUseSwitches;
    p.switches[kSoundZoomIn] = 0;
    EXPECT_FALSE(eventEnabled(p, kSoundZoomIn));
    EXPECT_TRUE(eventEnabled(p, kSoundZoomOut));

    // An unknown stored mode behaves as Enable All.
    p.mode = 7;
    EXPECT_TRUE(eventEnabled(p, kSoundZoomIn));
}

TEST(SoundRules, AllThreeCompletionSoundsFollowThePuzzleFinishedSwitch) {
    SoundPreferences p;
    p.mode = kSoundModeUseSwitches;
    p.switches[kSoundPuzzleFinished] = 0;
    EXPECT_FALSE(eventEnabled(p, kSoundPuzzleFinished));
    EXPECT_FALSE(eventEnabled(p, kSoundFinishedShort));
    EXPECT_FALSE(eventEnabled(p, kSoundFinishedLong));
    // Their own entries (no check box) do not matter.
    p.switches[kSoundPuzzleFinished] = 1;
    p.switches[kSoundFinishedShort] = 0;
    p.switches[kSoundFinishedLong] = 0;
    EXPECT_TRUE(eventEnabled(p, kSoundFinishedShort));
    EXPECT_TRUE(eventEnabled(p, kSoundFinishedLong));
}

TEST(SoundRules, OtherPlayersSoundsFollowSwitch25OnlyWithSelections) {
    SoundPreferences p;
    p.switches[kOtherPlayersSwitch] = 0;
    EXPECT_TRUE(otherPlayersAudible(p));
    p.mode = kSoundModeUseSwitches;
    EXPECT_FALSE(otherPlayersAudible(p));
    p.switches[kOtherPlayersSwitch] = 1;
    EXPECT_TRUE(otherPlayersAudible(p));
    p.mode = kSoundModeDisableAll;
    EXPECT_FALSE(otherPlayersAudible(p));
}

TEST(SoundOptions, OpensWithTheStoredChoicesAndWritesBackOnlyItsOwnBoxes) {
    SoundOptionsModel::Switches stored;
    stored.fill(1);
    stored[kSoundZoomIn] = 0;
    stored[kSoundFinishedShort] = 5;  // no box: must survive untouched
    SoundOptionsModel m(stored, kSoundModeUseSwitches);
    EXPECT_EQ(m.mode(), kSoundModeUseSwitches);
    size_t zoomIn = 0, other = 0;
    for (size_t b = 0; b < kSoundSwitchBoxes.size(); ++b) {
        if (kSoundSwitchBoxes[b].label == "Zoom In") zoomIn = b;
        if (kSoundSwitchBoxes[b].label == "Other Player's Pickup/Drop Sounds") other = b;
    }
    EXPECT_FALSE(m.checked(zoomIn));
    EXPECT_TRUE(m.checked(other));
    m.setChecked(zoomIn, true);
    m.setChecked(other, false);
    m.setMode(kSoundModeDisableAll);

    SoundOptionsModel::Switches out = stored;
    int32_t mode = kSoundModeUseSwitches;
    m.apply(out, mode);
    EXPECT_EQ(out[kSoundZoomIn], 1);
    EXPECT_EQ(out[kOtherPlayersSwitch], 0);
    EXPECT_EQ(out[kSoundFinishedShort], 5);
    EXPECT_EQ(mode, kSoundModeDisableAll);

    // Every box names a distinct entry; together they cover every event
    // that has a switch of its own.
    std::set<int> entries;
    for (const SoundSwitchBox& b : kSoundSwitchBoxes) EXPECT_TRUE(entries.insert(b.entry).second) << b.label;
    for (int e : {1, 3, 6, 8, 10, 23}) EXPECT_EQ(entries.count(e), 0u) << e;
    EXPECT_EQ(entries.size(), 20u);

    EXPECT_EQ(SoundOptionsModel(stored, 9).mode(), kSoundModeEnableAll);
}

// ---- playing ------------------------------------------------------------------------------

TEST_F(AudioTest, ANoDeviceMachineFallsBackToTheSilentDriver) {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    std::string error;
    ASSERT_TRUE(audio::acquireOutput(error)) << error;
    EXPECT_EQ(audio::outputDriver(), "dummy");
    audio::releaseOutput();
    setenv("SDL_AUDIODRIVER", "dummy", 1);
}

TEST_F(AudioTest, TheOutputLeavesTheTerminationSignalsAlone) {
    // Whatever the process had for SIGTERM and SIGINT stays while the
    // output is open, so the game can still be ended by them.
    struct sigaction before {}, during {};
    ASSERT_EQ(sigaction(SIGTERM, nullptr, &before), 0);
    std::string error;
    ASSERT_TRUE(audio::acquireOutput(error)) << error;
    for (int sig : {SIGTERM, SIGINT}) {
        ASSERT_EQ(sigaction(sig, nullptr, &during), 0);
        EXPECT_EQ(during.sa_handler, sig == SIGTERM ? before.sa_handler : SIG_DFL) << "signal " << sig;
    }
    audio::releaseOutput();
}

TEST_F(AudioTest, BuffersPlayOnceRepeatLoopPauseAndStop) {
    ASSERT_TRUE(InitSound());
    {
        const std::vector<uint8_t> tone = toneWave(60);
        SoundBuffer once, thrice, forever;
        ASSERT_EQ(once.LoadFromMemory(tone), 1);
        ASSERT_EQ(thrice.LoadFromMemory(tone), 1);
        ASSERT_EQ(forever.LoadFromMemory(tone), 1);
        EXPECT_NEAR(double(once.lengthMs()), 60.0, 2.0);

        ASSERT_EQ(once.Play(1), 1);
        ASSERT_EQ(thrice.Play(3), 1);
        ASSERT_EQ(forever.Play(-1), 1);
        EXPECT_TRUE(once.IsPlaying());
        EXPECT_TRUE(within(1000ms, [&] { return !once.IsPlaying(); }));
        // Three plays last about three lengths: still going after the first
        // one ended.
        EXPECT_TRUE(thrice.IsPlaying());
        EXPECT_TRUE(within(1500ms, [&] { return !thrice.IsPlaying(); }));
        std::this_thread::sleep_for(200ms);
        EXPECT_TRUE(forever.IsPlaying());

        forever.Pause();
        EXPECT_FALSE(forever.IsPlaying());
        EXPECT_TRUE(forever.IsPaused());
        std::this_thread::sleep_for(150ms);
        EXPECT_TRUE(forever.IsPaused()) << "a paused sound must hold";
        forever.Resume();
        EXPECT_TRUE(forever.IsPlaying());
        forever.Stop();
        EXPECT_FALSE(forever.IsPlaying());
        EXPECT_FALSE(forever.IsPaused());

        // Playing a paused sound starts it afresh, unpaused.
        forever.Play(-1);
        forever.Pause();
        forever.Play(1);
        EXPECT_TRUE(forever.IsPlaying());
        forever.Stop();
    }
    ReleaseSound();
}

TEST_F(AudioTest, BadSoundsStaySilentWithoutHarm) {
    SoundBuffer before;
    EXPECT_EQ(before.LoadFromMemory(toneWave(30)), 0) << "no output yet";
    ASSERT_TRUE(InitSound());
    {
        SoundBuffer b;
        EXPECT_EQ(b.LoadFromResource(9999), 0);
        EXPECT_EQ(b.LoadFromFile("/nonexistent/sound.wav"), 0);
        const std::vector<uint8_t> junk = {'R', 'I', 'F', 'F', 1, 2, 3};
        EXPECT_EQ(b.LoadFromMemory(junk), 0);
        EXPECT_FALSE(b.loaded());
        EXPECT_EQ(b.Play(1), 0);
        b.Pause();
        b.Resume();
        b.Stop();
        EXPECT_FALSE(b.IsPlaying());

        const fs::path file = fs::temp_directory_path() / ("pavalo-sound-" + std::to_string(::getpid()) + ".wav");
        const std::vector<uint8_t> tone = toneWave(40);
        std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(tone.data()), std::streamsize(tone.size()));
        EXPECT_EQ(b.LoadFromFile(file.string()), 1);
        fs::remove(file);
    }
    ReleaseSound();
}

namespace {

struct EffectsHarness {
    SoundPreferences prefs;
    uint32_t now = 1000;
    SoundEffects fx{[this] { return prefs; }, [this] { return now; }};
};

}  // namespace

TEST_F(AudioTest, EventsFollowEffectsSwitchModesAndTheWindowGuard) {
    {
        EffectsHarness h;
        h.fx.playEvent(kSoundStartup, 1);  // before start: nothing, no crash
        EXPECT_EQ(h.fx.lastStart(kSoundStartup), 0u);
        ASSERT_TRUE(h.fx.start(8));
        for (int e = 0; e < kSoundEventCount; ++e) EXPECT_TRUE(h.fx.sound(e).loaded()) << e;

        // The sound player registered for the game's call sites.
        setSoundPlayer(&h.fx);
        pavalo::playEvent(kSoundStartup);
        EXPECT_TRUE(h.fx.sound(kSoundStartup).IsPlaying());
        setSoundPlayer(nullptr);

        h.prefs.effectsOn = false;
        h.fx.playEvent(kSoundPickupPiece, 1);
        EXPECT_FALSE(h.fx.sound(kSoundPickupPiece).IsPlaying());
        h.prefs.effectsOn = true;

        h.prefs.mode = kSoundModeUseSwitches;
        h.prefs.switches[kSoundZoomIn] = 0;
        h.fx.playEvent(kSoundZoomIn, 1);
        h.fx.playEvent(kSoundZoomOut, 1);
        EXPECT_FALSE(h.fx.sound(kSoundZoomIn).IsPlaying());
        EXPECT_TRUE(h.fx.sound(kSoundZoomOut).IsPlaying());

        h.prefs.mode = kSoundModeDisableAll;
        h.fx.playEvent(kSoundDropPiece, 1);
        EXPECT_FALSE(h.fx.sound(kSoundDropPiece).IsPlaying());
        h.prefs.mode = kSoundModeEnableAll;

        // Opening side windows twice within 200 ms sounds once; later it
        // sounds again. The close sound keeps its own time.
        h.fx.playEvent(kSoundOpenWindow, 1);
        EXPECT_EQ(h.fx.lastStart(kSoundOpenWindow), 1000u);
        h.now = 1150;
        h.fx.playEvent(kSoundOpenWindow, 1);
        EXPECT_EQ(h.fx.lastStart(kSoundOpenWindow), 1000u);
        h.fx.playEvent(kSoundCloseWindow, 1);
        EXPECT_EQ(h.fx.lastStart(kSoundCloseWindow), 1150u);
        h.now = 1200;
        h.fx.playEvent(kSoundOpenWindow, 1);
        EXPECT_EQ(h.fx.lastStart(kSoundOpenWindow), 1200u);
        // Other events have no guard.
        h.fx.playEvent(kSoundPickupPiece, 1);
        h.now = 1201;
        h.fx.playEvent(kSoundPickupPiece, 1);
        EXPECT_EQ(h.fx.lastStart(kSoundPickupPiece), 1201u);
        // A silenced event does not start the guard.
        h.prefs.mode = kSoundModeDisableAll;
        h.now = 5000;
        h.fx.playEvent(kSoundCloseWindow, 1);
        h.prefs.mode = kSoundModeEnableAll;
        h.now = 5050;
        h.fx.playEvent(kSoundCloseWindow, 1);
        EXPECT_EQ(h.fx.lastStart(kSoundCloseWindow), 5050u);

        // Cutting repeats its rustle until the cut ends, whatever the mode
        // has become by then.
        h.fx.playEvent(kSoundPuzzleCut, 128);
        std::this_thread::sleep_for(700ms);  // past one play of the rustle
        EXPECT_TRUE(h.fx.sound(kSoundPuzzleCut).IsPlaying());
        h.prefs.mode = kSoundModeDisableAll;
        h.fx.stopEvent(kSoundPuzzleCut);
        EXPECT_FALSE(h.fx.sound(kSoundPuzzleCut).IsPlaying());
        h.fx.stopEvent(-3);  // ignored
    }
}

// ---- the queue -------------------------------------------------------------------------------

TEST_F(AudioTest, QueueOverlapsCopiesKeepsRingOrderAndRefusesWhenFull) {
    ASSERT_TRUE(InitSound());
    {
        SoundBuffer loop, blip;
        ASSERT_EQ(loop.LoadFromMemory(toneWave(50)), 1);
        ASSERT_EQ(blip.LoadFromMemory(toneWave(20, 880)), 1);
        SoundQueue q;
        EXPECT_EQ(q.Enqueue(loop, -1), 0) << "not made yet";
        ASSERT_TRUE(q.Init(3));
        EXPECT_FALSE(q.Init(3));

        // The same sound three times at once.
        EXPECT_EQ(q.Enqueue(loop, -1), 1);
        EXPECT_EQ(q.Enqueue(loop, -1), 2);
        EXPECT_EQ(q.Enqueue(loop, -1), 3);
        EXPECT_EQ(q.queued(), 3);
        EXPECT_EQ(q.Enqueue(loop, -1), 0) << "a full ring refuses";
        EXPECT_EQ(q.queued(), 3);

        // A stopped slot in the middle is only reused in ring order.
        q.Stop(2);
        EXPECT_EQ(q.queued(), 2);
        EXPECT_EQ(q.Enqueue(loop, -1), 0) << "slot 1 is free but the oldest (0) still plays";
        q.Stop(1);
        EXPECT_EQ(q.readIndex(), 2);
        // The write index wraps to slot 0, then 1.
        EXPECT_EQ(q.Enqueue(loop, -1), 1);
        EXPECT_EQ(q.writeIndex(), 0);
        EXPECT_EQ(q.Enqueue(blip, 1), 2);
        EXPECT_EQ(q.Enqueue(blip, 1), 0);

        q.StopAll();
        EXPECT_EQ(q.queued(), 0);

        // Finished plays are recycled without anyone asking.
        EXPECT_NE(q.Enqueue(blip, 2), 0);
        EXPECT_NE(q.Enqueue(blip, 1), 0);
        EXPECT_TRUE(within(3000ms, [&] { return q.queued() == 0; }));

        // A paused queue holds new entries until it resumes.
        q.Pause();
        const int t = q.Enqueue(loop, -1);
        ASSERT_NE(t, 0);
        std::this_thread::sleep_for(100ms);
        EXPECT_EQ(q.queued(), 1);
        q.Resume();
        {
            std::lock_guard lock(audio::mixerLock());
            EXPECT_GE(Mix_Playing(-1), 1);
        }
        q.Stop(t);
        EXPECT_EQ(q.queued(), 0);
        EXPECT_EQ(q.Enqueue(SoundBuffer{}, 1), 0) << "an empty sound is not queued";
    }
    ReleaseSound();
}

TEST_F(AudioTest, QueuedCopiesOutliveTheBufferTheyCameFrom) {
    ASSERT_TRUE(InitSound());
    {
        SoundQueue q;
        ASSERT_TRUE(q.Init(4));
        {
            SoundBuffer about(kAboutLoopWave);
            ASSERT_TRUE(about.loaded());
            ASSERT_NE(q.Enqueue(about, -1, 64), 0);
        }
        std::this_thread::sleep_for(50ms);
        EXPECT_EQ(q.queued(), 1);
        std::lock_guard lock(audio::mixerLock());
        EXPECT_GE(Mix_Playing(-1), 1);
    }
    ReleaseSound();
}

// ---- samples reach the device ---------------------------------------------------------------

TEST_F(AudioTest, PlayedEventsProduceSamplesAndSilencedOnesDoNot) {
    const fs::path dir = fs::temp_directory_path() / ("pavalo-disk-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    auto record = [&](const fs::path& file, bool effectsOn) {
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
        {
            EffectsHarness h;
            h.prefs.effectsOn = effectsOn;
            EXPECT_TRUE(h.fx.start(4));
            EXPECT_EQ(audio::outputDriver(), "disk");
            h.fx.playEvent(kSoundJoinPieces, 1);
            // Until the sound has been mixed out, and a little longer.
            EXPECT_TRUE(within(3000ms, [&] { return !h.fx.sound(kSoundJoinPieces).IsPlaying(); }));
            std::this_thread::sleep_for(100ms);
        }
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        std::ifstream in(file, std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        int peak = 0;
        for (size_t i = 0; i + 1 < bytes.size(); i += 2)
            peak = std::max(peak, std::abs(int(int16_t(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8))));
        EXPECT_GT(bytes.size(), 4096u);
        return peak;
    };
    EXPECT_GT(record(dir / "on.raw", true), 3000);
    EXPECT_EQ(record(dir / "off.raw", false), 0);
    fs::remove_all(dir);
}

TEST_F(AudioTest, AboutBoxSoundsLoopWhileItIsOpenAndStopWhenItCloses) {
    {
        EffectsHarness h;
        ASSERT_TRUE(h.fx.start(8));
        {
            AboutBoxSounds about(h.fx);
            EXPECT_TRUE(about.started());
            EXPECT_EQ(h.fx.queue().queued(), 2);
            std::this_thread::sleep_for(2500ms);  // past the first sound's end
            EXPECT_TRUE(within(5000ms, [&] { return h.fx.queue().queued() == 1; })) << "the loop goes on";
        }
        EXPECT_EQ(h.fx.queue().queued(), 0);
        h.prefs.effectsOn = false;
        AboutBoxSounds silent(h.fx);
        EXPECT_FALSE(silent.started());
        EXPECT_EQ(h.fx.queue().queued(), 0);
    }
    EffectsHarness unstarted;
    AboutBoxSounds none(unstarted.fx);
    EXPECT_FALSE(none.started());
}
