// The one audio output that sound effects and music share: SDL's audio
// subsystem with the SDL2_mixer mixer opened on it, and the mixer channels
// handed out to the sounds that play on them.
//
// Opening tries the driver SDL chooses (or the one SDL_AUDIODRIVER names);
// when that fails, as it does on a machine without a sound device, it tries
// again with SDL's "dummy" driver, which consumes the sound silently at the
// real rate, so the game behaves the same without hearing anything. Only
// when both fail is the output unavailable.
//
// Users acquire the output and release it when done; the last release closes
// it. Every mixer call made by our code is serialised through mixerLock(),
// because growing the channel table reallocates it under other callers.
#pragma once

#include <mutex>
#include <string>

namespace pavalo::audio {

inline constexpr int kOutputRate = 44100;

// Opens the output for one more user; true when it is open. On failure
// `error` says why and nothing is held.
bool acquireOutput(std::string& error);
// Gives back one acquireOutput.
void releaseOutput();
bool outputOpen();
// The name of the SDL driver in use ("pulseaudio", "alsa", "dummy", "disk"),
// empty when closed.
std::string outputDriver();

// Serialises the mixer calls made from several threads.
std::recursive_mutex& mixerLock();

// Reserves `count` consecutive mixer channels and returns the first, or -1
// when the output is not open. Reserved channels are the caller's alone
// until given back.
int reserveChannels(int count);
void releaseChannels(int first, int count);

// The mixer's volume (0 to 128) for a volume in percent, taken within 0..100.
int mixerVolume(int percent);
// Every channel's sound (the effects and a movie's sound) and the music
// are scaled by these; they hold whether or not the output is open.
void setEffectsVolume(int percent);
void setMusicVolume(int percent);

}  // namespace pavalo::audio
