// MusicSettings: the music choices the preferences file carries between runs.
// The music player owns them while the game runs; the preferences file only
// copies them in and out.
#pragma once

#include <cstdint>

namespace pavalo {

struct MusicSettings {
    bool musicOn = true;
    // When a song ends the next one in the list in use starts by itself.
    bool autoAdvance = true;
    // The user's play list is the list in use; otherwise the built-in songs.
    bool userPlayList = false;
    // Selection in the list in use: 0 is "None", 1 the first song.
    int32_t currentSong = 1;
    // Number of paths in the user's play list (at most 255).
    int32_t playListCount = 0;

    bool operator==(const MusicSettings&) const = default;
};

}  // namespace pavalo
