// Buffering a movie from removable media to a temporary copy.
#include "shell/movie_buffer.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "shell/document.h"

namespace pavalo {

namespace fs = std::filesystem;

namespace {

constexpr size_t kCopyBlock = 4096;

std::string readFirstLine(const fs::path& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

}  // namespace

bool isOnRemovableMedia(const std::string& path, const std::string& sysfs) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    // The block device behind the mount that holds the file; file systems
    // without one (network, overlay, tmpfs) have no entry here.
    const fs::path entry =
        fs::path(sysfs) / "dev" / "block" / (std::to_string(major(st.st_dev)) + ":" + std::to_string(minor(st.st_dev)));
    std::error_code ec;
    fs::path device = fs::canonical(entry, ec);
    if (ec) return false;
    // A partition's flags are its disk's.
    if (fs::exists(device / "partition", ec)) device = device.parent_path();
    const std::string name = device.filename().string();
    // Optical drives: "sr0", "sr1", ...
    if (name.rfind("sr", 0) == 0) return true;
    return readFirstLine(device / "removable") == "1";
}

uint64_t freeBytesIn(const std::string& folder) {
    struct statvfs vfs {};
    if (::statvfs(folder.c_str(), &vfs) != 0) return 0;
    return uint64_t(vfs.f_bavail) * uint64_t(vfs.f_frsize);
}

MovieStorage systemMovieStorage(std::string folder) {
    MovieStorage s;
    s.folder = std::move(folder);
    s.isRemovable = [](const std::string& path) { return isOnRemovableMedia(path); };
    s.freeBytes = freeBytesIn;
    return s;
}

std::string movieCopyPath(const std::string& folder) {
    if (folder.empty() || folder.back() == '/') return folder + movie_buffer_text::kCopyName;
    return folder + "/" + movie_buffer_text::kCopyName;
}

bool copyWithProgress(const std::string& from, const std::string& to, DocumentFrontEnd& frontEnd) {
    std::FILE* in = std::fopen(from.c_str(), "rb");
    if (!in) return false;
    std::error_code ec;
    // A copy left by an earlier run may be read-only.
    fs::remove(to, ec);
    std::FILE* out = std::fopen(to.c_str(), "wb");
    if (!out) {
        std::fclose(in);
        return false;
    }
    const uint64_t size = fs::file_size(from, ec);
    frontEnd.progressOpen(movie_buffer_text::kCopying);
    std::vector<char> block(kCopyBlock);
    uint64_t copied = 0;
    int shown = -1;
    bool ok = true;
    for (;;) {
        const size_t n = std::fread(block.data(), 1, block.size(), in);
        if (n > 0 && std::fwrite(block.data(), 1, n, out) != n) {
            ok = false;
            break;
        }
        copied += n;
        // The window hears of every block; it redraws when the percentage moves.
        const int percent = size > 0 ? int(std::min<uint64_t>(copied * 100 / size, 100)) : 100;
        if (percent != shown) {
            frontEnd.progressSet(percent, movie_buffer_text::kCopying);
            shown = percent;
        }
        if (n < block.size()) {
            ok = !std::ferror(in);
            break;
        }
    }
    std::fclose(in);
    if (std::fclose(out) != 0) ok = false;
    frontEnd.progressClose();
    if (!ok) fs::remove(to, ec);
    return ok;
}

MovieBufferResult bufferMovie(const std::string& moviePath, const MovieStorage& storage, Platform& platform,
                              DocumentFrontEnd& frontEnd) {
    using namespace movie_buffer_text;
    MovieBufferResult result;
    if (!storage.isRemovable || !storage.freeBytes || !storage.isRemovable(moviePath)) return result;
    std::error_code ec;
    const uint64_t size = fs::file_size(moviePath, ec);
    if (ec) return result;  // cannot be measured: played from the disk it is on

    std::string folder = storage.folder;
    uint64_t free = storage.freeBytes(folder);
    while (free < size) {
        char text[1024 + 4096];
        std::snprintf(text, sizeof text, kNotEnoughSpace, folder.substr(0, 4096).c_str(), double(free), double(size));
        const MessageResult answer = platform.messageBox(text, kNotEnoughSpaceCaption, MessageButtons::YesNoCancel);
        if (answer == MessageResult::No) return result;
        if (answer != MessageResult::Yes) {
            result.outcome = MovieBufferOutcome::Cancelled;
            return result;
        }
        const std::optional<std::string> chosen = platform.pickFolder(kFolderTitle, folder);
        if (!chosen) {
            result.outcome = MovieBufferOutcome::Cancelled;
            return result;
        }
        folder = *chosen;
        free = storage.freeBytes(folder);
    }
    // Exactly enough would leave the disk full: play from the movie's own disk.
    if (free == size) return result;

    const std::string copy = movieCopyPath(folder);
    if (!copyWithProgress(moviePath, copy, frontEnd)) {
        const MessageResult answer = platform.messageBox(kCopyFailed, kCopyFailedCaption, MessageButtons::YesNo);
        if (answer != MessageResult::Yes) result.outcome = MovieBufferOutcome::Cancelled;
        return result;
    }
    // Files from a disc come read-only; the copy must be removable later.
    fs::permissions(copy, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add, ec);
    result.outcome = MovieBufferOutcome::PlayCopy;
    result.copyPath = copy;
    return result;
}

}  // namespace pavalo
