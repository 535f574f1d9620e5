// Choosing the data folder from the environment.
#include "shell/data_folder.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
#include <vector>

#include "shell/registry.h"

namespace pavalo {
namespace {

std::string withoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

std::string resolveDataFolder(const DataFolderSources& s) {
    if (!s.tavornHome.empty()) return withoutTrailingSlashes(s.tavornHome);
    if (!s.installDirectory.empty()) return withoutTrailingSlashes(s.installDirectory);
    // A relative XDG_DATA_HOME is invalid and must be ignored.
    if (!s.xdgDataHome.empty() && s.xdgDataHome.front() == '/')
        return joinPath(withoutTrailingSlashes(s.xdgDataHome), "tavorn");
    if (!s.home.empty()) return joinPath(withoutTrailingSlashes(s.home), ".local/share/tavorn");
    return "tavorn";
}

DataFolderSources currentDataFolderSources() {
    DataFolderSources s;
    s.tavornHome = environment("TAVORN_HOME");
    s.xdgDataHome = environment("XDG_DATA_HOME");
    s.home = environment("HOME");
    s.installDirectory =
        Registry(defaultRegistryPath()).stringValue(kInstallKey, kInstallDirectoryValue).value_or("");
    if (s.home.empty()) {
        // Services and some sandboxes run without HOME; the password
        // database still knows the folder.
        long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
        std::vector<char> buffer(size > 0 ? size_t(size) : 16384);
        passwd entry;
        passwd* found = nullptr;
        if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
            found->pw_dir)
            s.home = found->pw_dir;
    }
    return s;
}

std::string dataFolder() { return resolveDataFolder(currentDataFolderSources()); }

std::string joinPath(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (!path.empty() && path.back() != '/') path += '/';
    path += name;
    return path;
}

}  // namespace pavalo
