// The shared audio output: SDL audio with the mixer on it, opened once for
// every user, falling back to the silent dummy driver.
#include "media/audio_output.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <vector>

namespace pavalo::audio {
namespace {

struct Output {
    int users = 0;
    int effectsVolume = MIX_MAX_VOLUME, musicVolume = MIX_MAX_VOLUME;
    bool dummyForced = false;  // the fallback driver was forced by us
    std::vector<bool> channelUsed;  // one entry per allocated mixer channel
};

Output& state() {
    static Output o;
    return o;
}

bool openMixer(std::string& error) {
    // SDL would otherwise turn SIGINT and SIGTERM into quit events that
    // nobody reads here, and the program could no longer be ended by them.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        error = SDL_GetError();
        return false;
    }
    if (Mix_OpenAudioDevice(kOutputRate, AUDIO_S16SYS, 2, 1024, nullptr, 0) != 0) {
        error = Mix_GetError();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    return true;
}

}  // namespace

std::recursive_mutex& mixerLock() {
    static std::recursive_mutex m;
    return m;
}

bool acquireOutput(std::string& error) {
    std::lock_guard lock(mixerLock());
    Output& o = state();
    if (o.users > 0) {
        ++o.users;
        return true;
    }
    std::string first;
    if (!openMixer(first)) {
        // No usable device: the dummy driver keeps everything working
        // silently. Only an overriding hint outranks SDL_AUDIODRIVER.
        SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
        std::string second;
        const bool ok = openMixer(second);
        o.dummyForced = ok;
        if (!ok) {
            SDL_ResetHint(SDL_HINT_AUDIODRIVER);
            error = first + "; " + second;
            return false;
        }
    }
    // Channels are only ever chosen by number; none are left for "any free
    // channel" plays, which would otherwise take one of ours.
    Mix_AllocateChannels(0);
    Mix_MasterVolume(o.effectsVolume);
    Mix_VolumeMusic(o.musicVolume);
    o.channelUsed.clear();
    o.users = 1;
    return true;
}

void releaseOutput() {
    std::lock_guard lock(mixerLock());
    Output& o = state();
    if (o.users == 0 || --o.users > 0) return;
    Mix_HaltChannel(-1);
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    o.channelUsed.clear();
    // The next opening looks for a real device again.
    if (o.dummyForced) SDL_ResetHint(SDL_HINT_AUDIODRIVER);
    o.dummyForced = false;
}

bool outputOpen() {
    std::lock_guard lock(mixerLock());
    return state().users > 0;
}

std::string outputDriver() {
    std::lock_guard lock(mixerLock());
    if (state().users == 0) return {};
    const char* name = SDL_GetCurrentAudioDriver();
    return name ? name : "";
}

int reserveChannels(int count) {
    std::lock_guard lock(mixerLock());
    Output& o = state();
    if (o.users == 0 || count <= 0) return -1;
    std::vector<bool>& used = o.channelUsed;
    // First fit among the channels already allocated, else grow the table.
    int run = 0;
    for (int i = 0; i < int(used.size()); ++i) {
        run = used[size_t(i)] ? 0 : run + 1;
        if (run == count) {
            const int first = i - count + 1;
            for (int k = first; k <= i; ++k) used[size_t(k)] = true;
            return first;
        }
    }
    const int first = int(used.size()) - run;
    used.resize(size_t(first + count), false);
    for (int k = first; k < first + count; ++k) used[size_t(k)] = true;
    Mix_AllocateChannels(int(used.size()));
    Mix_ReserveChannels(int(used.size()));
    return first;
}

void releaseChannels(int first, int count) {
    std::lock_guard lock(mixerLock());
    Output& o = state();
    if (o.users == 0 || first < 0) return;
    for (int k = first; k < first + count && k < int(o.channelUsed.size()); ++k) {
        Mix_HaltChannel(k);
        o.channelUsed[size_t(k)] = false;
    }
}

int mixerVolume(int percent) { return (std::clamp(percent, 0, 100) * MIX_MAX_VOLUME + 50) / 100; }

void setEffectsVolume(int percent) {
    std::lock_guard lock(mixerLock());
    Output& o = state();
    o.effectsVolume = mixerVolume(percent);
    if (o.users > 0) Mix_MasterVolume(o.effectsVolume);
}

void setMusicVolume(int percent) {
    std::lock_guard lock(mixerLock());
    Output& o = state();
    o.musicVolume = mixerVolume(percent);
    if (o.users > 0) Mix_VolumeMusic(o.musicVolume);
}

}  // namespace pavalo::audio
