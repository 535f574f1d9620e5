// The start-up check of the program's own runtime: a version number for the
// media and network stack the game was built with, and what start-up does
// about a version too old for the full game.
#pragma once

#include <cstdint>
#include <string>

namespace pavalo {

// Versions are packed as (major << 16) + minor.
inline constexpr uint32_t packVersion(uint32_t major, uint32_t minor) { return (major << 16) + minor; }
inline constexpr uint32_t kFullRuntimeVersion = packVersion(4, 6);

// The runtime's version: the full version when the game's media and network
// stack is present. PAVALO_RUNTIME_VERSION ("4.3") overrides it, so that
// tests can reach the start-up messages.
uint32_t probeRuntimeVersion();
// PAVALO_RUNTIME_NT=1 asks for the messages of the variant that keeps
// running without multiplayer.
bool runtimeIsNtLike();

struct StartupCheck {
    std::string message;  // empty: nothing to say
    bool stop = false;    // end the program after the message
    bool multiplayer = false;
};

StartupCheck checkRuntimeVersion(uint32_t version, bool ntLike);

}  // namespace pavalo
