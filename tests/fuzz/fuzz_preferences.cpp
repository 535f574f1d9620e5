// Fuzz target: the preferences reader must take any bytes without reading
// past them; what it accepts must respect the play-list limits and must write
// back to bytes that read the same and write again identically.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "shell/preferences.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace pavalo;
    Preferences prefs;
    const Preferences untouched = prefs;
    PreferencesReadResult r = decodePreferences(std::span<const uint8_t>(data, size), prefs);
    if (!r.ok()) {
        if (!(prefs == untouched)) std::abort();
        return 0;
    }
    if (prefs.playList.size() > kMaxPlayListEntries) std::abort();
    if (size_t(prefs.record.playListCount) != prefs.playList.size()) std::abort();
    for (const auto& path : prefs.playList)
        if (path.size() > kMaxPlayListPath) std::abort();

    std::vector<uint8_t> again = encodePreferences(prefs);
    Preferences second;
    PreferencesReadResult r2 = decodePreferences(again, second);
    if (!r2.ok() || r2.entriesCut != 0 || !(second == prefs)) std::abort();
    if (encodePreferences(second) != again) std::abort();
    return 0;
}
