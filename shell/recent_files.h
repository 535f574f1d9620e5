// RecentFileList: the saved puzzles opened or saved last, newest first, at
// most eight, kept between runs in a small text file of the data folder (one
// path a line). The palette's menu shows them in place of its "Recent File"
// entry; a file that fails to open as a puzzle leaves the list.
//
// Reading never trusts the file: blank lines, lines longer than a path can
// be, repeated paths and lines beyond the eighth are dropped. Writing goes to
// a temporary file renamed into place. No Qt.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace pavalo {

inline constexpr size_t kMaxRecentFiles = 8;
inline constexpr std::string_view kRecentFilesName = "recent-files.txt";

class RecentFileList {
public:
    // Puts the path first, removing an older entry of the same path and
    // dropping the oldest beyond eight. An empty path changes nothing.
    void add(const std::string& path);
    // Removes the path; false when it was not listed.
    bool remove(const std::string& path);
    const std::vector<std::string>& files() const { return files_; }
    // The menu texts: "&1 name" .. "&8 name", the file's name without its
    // folder (an accelerator's ampersand in a name is doubled).
    std::vector<std::string> menuTexts() const;

    // Replaces the list with the file's; a missing or unreadable file gives
    // an empty list (false).
    bool load(const std::string& path);
    // False, silently, when the file cannot be written.
    bool save(const std::string& path) const;

private:
    std::vector<std::string> files_;
};

}  // namespace pavalo
