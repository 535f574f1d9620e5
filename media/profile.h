// The private profile file "tavorn.ini": "[Section]" headers followed by
// "key=value" lines, as the game keeps its MIDI folder in section "Tessel",
// key "midiDir". Section and key names match without regard to case; lines
// the game does not know are kept as they are when a value is written.
#pragma once

#include <string>
#include <string_view>

namespace pavalo {

inline constexpr std::string_view kProfileFileName = "tavorn.ini";
inline constexpr std::string_view kProfileSection = "Tessel";
inline constexpr std::string_view kMidiDirKey = "midiDir";
// The music and sound-effect volumes, in percent of full volume.
inline constexpr std::string_view kMusicVolumeKey = "musicVolume";
inline constexpr std::string_view kEffectsVolumeKey = "effectsVolume";

// Where "tavorn.ini" lives: $TAVORN_HOME when set (tests and portable
// installs keep everything in one folder), else the user's configuration
// folder ($XDG_CONFIG_HOME/tavorn, ~/.config/tavorn).
std::string profilePath();

// The value, or `fallback` when the file, the section or the key is missing.
std::string readProfileString(const std::string& file, std::string_view section, std::string_view key,
                              std::string_view fallback = {});
// Sets the value (adding the section or key when missing) and writes the
// file safely, making its folder when needed. Line breaks in the value are
// dropped. false when the file cannot be written; it is then unchanged.
bool writeProfileString(const std::string& file, std::string_view section, std::string_view key,
                        std::string_view value);

// A volume entry of section "Tessel": 0 to 100, full volume (100) when the
// entry is missing or is not a number; a number past either end is taken
// as that end.
int readProfileVolume(const std::string& file, std::string_view key);
bool writeProfileVolume(const std::string& file, std::string_view key, int percent);

}  // namespace pavalo
