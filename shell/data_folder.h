// The data folder: where the player's files (preferences, downloads) live.
#pragma once

#include <string>
#include <string_view>

namespace pavalo {

inline constexpr std::string_view kPreferencesFileName = "gthvale.prf";

// Everything the choice of data folder depends on; empty means unset.
struct DataFolderSources {
    std::string tavornHome;        // the TAVORN_HOME environment variable
    std::string installDirectory;  // "InstallDirectory" of the registry file
    std::string xdgDataHome;       // XDG_DATA_HOME
    std::string home;              // the user's home folder
};

// The first that is set of: TAVORN_HOME, the registry's install directory,
// $XDG_DATA_HOME/tavorn (only when absolute, as the base-directory rules
// require), ~/.local/share/tavorn. Trailing slashes are removed. When nothing
// at all is known the result is "tavorn" relative to the current folder.
std::string resolveDataFolder(const DataFolderSources& sources);

// The sources as the running process sees them; the install directory is
// the registry file's "InstallDirectory" text value.
DataFolderSources currentDataFolderSources();

// resolveDataFolder(currentDataFolderSources()).
std::string dataFolder();

// folder + "/" + name, without doubling a slash already there.
std::string joinPath(std::string_view folder, std::string_view name);

// The preferences file of a data folder.
inline std::string preferencesPath(std::string_view folder) {
    return joinPath(folder, kPreferencesFileName);
}

}  // namespace pavalo
