// The recent-file list and its file.
#include "shell/recent_files.h"

#include <algorithm>

#include "common/file_io.h"

namespace pavalo {
namespace {

constexpr size_t kMaxPathLength = 4096;

}  // namespace

void RecentFileList::add(const std::string& path) {
    if (path.empty()) return;
    std::erase(files_, path);
    files_.insert(files_.begin(), path);
    if (files_.size() > kMaxRecentFiles) files_.resize(kMaxRecentFiles);
}

bool RecentFileList::remove(const std::string& path) { return std::erase(files_, path) > 0; }

std::vector<std::string> RecentFileList::menuTexts() const {
    std::vector<std::string> texts;
    for (size_t i = 0; i < files_.size(); ++i) {
        const size_t slash = files_[i].find_last_of('/');
        const std::string name = slash == std::string::npos ? files_[i] : files_[i].substr(slash + 1);
        std::string text = "&" + std::to_string(i + 1) + " ";
        for (char c : name) {
            if (c == '&') text += '&';
            text += c;
        }
        texts.push_back(std::move(text));
    }
    return texts;
}

bool RecentFileList::load(const std::string& path) {
    files_.clear();
    std::vector<uint8_t> bytes;
    std::string error;
    if (!readWholeFile(path, bytes, error, 64 * 1024)) return false;
    std::string line;
    auto take = [&] {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const bool usable = !line.empty() && line.size() <= kMaxPathLength &&
                            line.find('\0') == std::string::npos &&
                            std::find(files_.begin(), files_.end(), line) == files_.end();
        if (usable && files_.size() < kMaxRecentFiles) files_.push_back(line);
        line.clear();
    };
    for (uint8_t b : bytes) {
        if (b == '\n')
            take();
        else
            line += char(b);
    }
    take();
    return true;
}

bool RecentFileList::save(const std::string& path) const {
    std::string text;
    for (const std::string& f : files_) text += f + "\n";
    std::string error;
    return writeFileAtomically(path, {reinterpret_cast<const uint8_t*>(text.data()), text.size()}, error);
}

}  // namespace pavalo
