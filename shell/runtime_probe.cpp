// Runtime version probe and the start-up messages about it.
#include "shell/runtime_probe.h"

#include <cstdlib>
#include <cstring>

namespace pavalo {

uint32_t probeRuntimeVersion() {
    if (const char* forced = std::getenv("PAVALO_RUNTIME_VERSION")) {
        char* end = nullptr;
        unsigned long major = std::strtoul(forced, &end, 10);
        unsigned long minor = (end && *end == '.') ? std::strtoul(end + 1, nullptr, 10) : 0;
        return packVersion(uint32_t(major & 0xffff), uint32_t(minor & 0xffff));
    }
    return kFullRuntimeVersion;
}

bool runtimeIsNtLike() {
    const char* nt = std::getenv("PAVALO_RUNTIME_NT");
    return nt && std::strcmp(nt, "1") == 0;
}

namespace {

std::string versionText(uint32_t version) {
    return std::to_string(version >> 16) + "." + std::to_string(version & 0xffff);
}

}  // namespace

StartupCheck checkRuntimeVersion(uint32_t version, bool ntLike) {
    StartupCheck check;
    check.multiplayer = version >= kFullRuntimeVersion;
    if (check.multiplayer) return check;
    // The runtime is the media and network libraries Pavalo was installed
    // with; reinstalling Pavalo brings the right ones.
    const std::string found = "Pavalo needs version " + versionText(kFullRuntimeVersion) +
                              " of its media and network libraries, but version " + versionText(version) +
                              " is installed.  ";
    if (ntLike) {
        if (version < packVersion(4, 3))
            check.message = found +
                            "Single-player games may not work correctly below version 4.3, and multi-player games "
                            "need version " + versionText(kFullRuntimeVersion) +
                            ".  Reinstall Pavalo to play every kind of game.";
        else
            check.message = found + "You can play single-player games, but multi-player games need version " +
                            versionText(kFullRuntimeVersion) + ".  Reinstall Pavalo to play them.";
        return check;
    }
    check.message = found + "Please reinstall Pavalo.";
    check.stop = true;
    return check;
}

}  // namespace pavalo
