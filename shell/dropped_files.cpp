#include "shell/dropped_files.h"

#include <filesystem>

#include "shell/document.h"

namespace pavalo {
namespace {

bool isSavedPuzzleName(const std::string& path) {
    const std::string ext = std::filesystem::path(path).extension().string();
    return ext.size() == 4 && ext[0] == '.' && (ext[1] | 0x20) == 'g' && (ext[2] | 0x20) == 'v' &&
           (ext[3] | 0x20) == 'p';
}

}  // namespace

DroppedFile chooseDroppedFile(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        std::error_code ec;
        if (path.empty() || !std::filesystem::is_regular_file(path, ec)) continue;
        if (isSavedPuzzleName(path)) return {DroppedFileKind::SavedPuzzle, path};
        if (pictureKindForName(path)) return {DroppedFileKind::Picture, path};
    }
    return {};
}

}  // namespace pavalo
