// pavalo-tool prefs: showing the preferences file and writing a default one.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "common/file_io.h"
#include "shell/data_folder.h"
#include "shell/preferences.h"
#include "tools/tool_commands.h"

namespace pavalo::tool {
namespace {

int prefsUsage(const std::string& why) {
    std::fprintf(stderr, "pavalo-tool prefs: %s\nusage: pavalo-tool prefs [--data DIR] (show | reset)\n",
                 why.c_str());
    return 2;
}

void printPreferences(const Preferences& prefs) {
    size_t width = 0;
    auto fields = prefs.record.describe();
    for (const auto& [name, value] : fields) width = std::max(width, name.size());
    for (const auto& [name, value] : fields)
        std::printf("%-*s  %s\n", int(width), name.c_str(), value.c_str());
    std::printf("playList (%zu)\n", prefs.playList.size());
    for (size_t i = 0; i < prefs.playList.size(); ++i)
        std::printf("  %3zu  \"%s\"\n", i + 1, prefs.playList[i].c_str());
}

// Read only: a missing or refused file is reported, and the defaults the
// game would write in its place are shown, with exit status 1.
int show(const std::string& folder) {
    std::string path = preferencesPath(folder);
    Preferences prefs;
    std::vector<uint8_t> bytes;
    std::string error;
    PreferencesReadResult read;
    if (readWholeFile(path, bytes, error, kMaxPreferencesFileSize)) {
        read = decodePreferences(bytes, prefs);
    } else {
        std::error_code ec;
        read.status = std::filesystem::exists(path, ec) || ec ? PreferencesStatus::Unreadable
                                                              : PreferencesStatus::Missing;
        if (read.status == PreferencesStatus::Unreadable)
            std::fprintf(stderr, "pavalo-tool prefs: %s\n", error.c_str());
    }
    std::printf("file     %s\n", path.c_str());
    if (read.ok()) {
        std::printf("status   loaded, version %u\n", unsigned(read.version));
        if (read.entriesRead != size_t(std::max(read.storedCount, 0)))
            std::printf("note     the file promises %d play-list entries and holds %zu\n", read.storedCount,
                        read.entriesRead);
        if (read.entriesCut)
            std::printf("note     %zu play-list paths cut to %zu characters\n", read.entriesCut,
                        kMaxPlayListPath);
    } else {
        std::printf("status   %s", preferencesStatusName(read.status));
        if (read.status == PreferencesStatus::OtherVersion) std::printf(" %u", unsigned(read.version));
        std::printf("; the game would replace it with these defaults\n");
        prefs.record = PreferencesRecord::defaults(folder);
    }
    printPreferences(prefs);
    return read.ok() ? 0 : 1;
}

int reset(const std::string& folder) {
    std::string path = preferencesPath(folder);
    Preferences prefs;
    if (!savePreferences(path, prefs, MusicSettings{}, false)) {
        std::fprintf(stderr, "pavalo-tool prefs: cannot write %s\n", path.c_str());
        return 1;
    }
    std::printf("default preferences written to %s\n", path.c_str());
    return 0;
}

}  // namespace

int prefsCommand(const Args& args) {
    std::string folder, action;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--data") {
            if (i + 1 >= args.size() || args[i + 1].empty()) return prefsUsage("--data takes a folder");
            folder = args[++i];
        } else if (action.empty() && (args[i] == "show" || args[i] == "reset")) {
            action = args[i];
        } else {
            return prefsUsage("unexpected argument '" + args[i] + "'");
        }
    }
    if (action.empty()) return prefsUsage("say show or reset");
    if (folder.empty()) {
        folder = dataFolder();
    } else {
        DataFolderSources given;  // --data wins like TAVORN_HOME, and is tidied the same way
        given.tavornHome = folder;
        folder = resolveDataFolder(given);
    }
    return action == "show" ? show(folder) : reset(folder);
}

}  // namespace pavalo::tool
