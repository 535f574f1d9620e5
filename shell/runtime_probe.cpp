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

StartupCheck checkRuntimeVersion(uint32_t version, bool ntLike) {
    StartupCheck check;
    check.multiplayer = version >= packVersion(4, 6);
    if (check.multiplayer) return check;
    if (ntLike) {
        if (version < packVersion(4, 3))
            check.message =
                "Pavalo Requires DirectX version 6.  If you only want to play single-player games, DirectX "
                "version 3 is sufficient, which is part of Service Pack 3 for Windows NT version 4.  If you "
                "wish to play multi-player games, you must upgrade to Windows NT version 5, or download a "
                "Service Pack for your version of NT that include DirectX6, if one exists.";
        else
            check.message =
                "Pavalo Requires DirectX version 6.  You will be able to play single-player games, but will "
                "not be able to play multi-player games without DirectX6.  If you wish to play multiplayer, "
                "you must upgrade to Windows NT version 5, or download a Service Packfor your version of NT "
                "that includes DirectX6, if one exists.";
        return check;
    }
    check.message =
        "Pavalo Requires DirectX version 6.  Please install DirectX from your Pavalo CD by running \"Setup\" "
        "and assembling the DirectX mini-puzzle.";
    check.stop = true;
    return check;
}

}  // namespace pavalo
