// Titles of the twenty built-in songs, in the order of their "MIDI"
// resources 50 to 69. Shared by the song generator and the music player's
// 20-byte title table, so each title keeps to 19 characters.
#pragma once

#include <array>
#include <string_view>

namespace pavalo {

inline constexpr int kFirstSongResource = 50;
inline constexpr int kBuiltInSongCount = 20;

inline constexpr std::array<std::string_view, kBuiltInSongCount> kBuiltInSongTitles = {
    "Morning Meadow",   "Ode to Joy",     "Lantern Waltz",    "Quiet Harbour",    "Greensleeves",
    "Willow Brook",     "Tea by the Window", "Minuet in G",   "Drifting Clouds",  "Little Clockwork",
    "Scarborough Fair", "Amber Afternoon", "Evening Garden",  "Pebble Shore",     "Autumn Path",
    "Starlit Attic",    "Sunday Market",  "Hilltop Breeze",   "Puzzle Box Reverie", "Homeward Lane",
};

constexpr bool songTitlesFit() {
    for (std::string_view t : kBuiltInSongTitles)
        if (t.empty() || t.size() > 19) return false;
    return true;
}
static_assert(songTitlesFit(), "a built-in song title must fit its 20-byte field with its NUL");

}  // namespace pavalo
