// Registry: the program's small key/value file that stands in for the
// system registry — the install directory and the list of image libraries.
//
// The file ("registry.ini" in $XDG_CONFIG_HOME/tavorn, else
// ~/.config/tavorn) holds sections named by key and one value per line:
//
//   [SOFTWARE\Tavorn\Tessel98Libraries]
//   /home/ann/.local/share/tavorn/Holidays.gvl=dword:0
//
// Values are "dword:" with a decimal number or "sz:" with text. A key is
// the text between the brackets; lines starting with ';' or '#' are
// comments. In value names and texts a backslash, '=', a '[', ';' or '#' at
// the start, and line breaks are escaped ("\\", "\=", "\[", "\n", "\r").
// Keys and value names compare ignoring the case of ASCII letters, as
// registry keys do. Lines that cannot be read are ignored and not written
// back.
//
// Every change reads the file again, applies itself and writes the file to a
// temporary name that is renamed into place, so changes made meanwhile by
// another copy of the program are kept and a crash never leaves half a file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pavalo {

// The key of the image library list and of the install directory.
inline constexpr std::string_view kLibrariesKey = "SOFTWARE\\Tavorn\\Tessel98Libraries";
inline constexpr std::string_view kInstallKey = "software\\Tavorn\\Glenthorpevale";
inline constexpr std::string_view kInstallDirectoryValue = "InstallDirectory";

// The registry file's path: $XDG_CONFIG_HOME/tavorn/registry.ini (when that
// is absolute), else ~/.config/tavorn/registry.ini; empty when neither is known.
std::string defaultRegistryPath();

class Registry {
public:
    explicit Registry(std::string path) : path_(std::move(path)) {}
    const std::string& path() const { return path_; }

    // The value names of a key, in file order; empty when the key or the
    // file is missing.
    std::vector<std::string> valueNames(std::string_view key) const;
    std::optional<std::string> stringValue(std::string_view key, std::string_view name) const;
    std::optional<uint32_t> dwordValue(std::string_view key, std::string_view name) const;
    bool hasValue(std::string_view key, std::string_view name) const;

    // Changes: false when the file cannot be written (the folder is made
    // when missing).
    bool setString(std::string_view key, std::string_view name, std::string_view value);
    bool setDword(std::string_view key, std::string_view name, uint32_t value);
    // True when the value is gone afterwards (also when it never existed).
    bool deleteValue(std::string_view key, std::string_view name);

    // The file's text from entries, and back (for tests and the fuzz target).
    struct Entry {
        std::string key, name, value;  // value as stored: "dword:0", "sz:..."
    };
    static std::vector<Entry> parse(std::string_view text);
    static std::string format(const std::vector<Entry>& entries);

private:
    std::vector<Entry> read() const;
    bool write(const std::vector<Entry>& entries) const;
    bool setRaw(std::string_view key, std::string_view name, std::string value);
    std::string path_;
};

// The libraries in the list: the value names of the libraries key.
std::vector<std::string> registeredLibraries(const Registry& registry);
// Adds a library (value data 0); false when the file cannot be written.
bool registerLibrary(Registry& registry, const std::string& libraryPath);
bool unregisterLibrary(Registry& registry, const std::string& libraryPath);

}  // namespace pavalo
