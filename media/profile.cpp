// Reading and writing "tavorn.ini".
#include "media/profile.h"

#include <algorithm>
#include <charconv>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "common/file_io.h"

namespace pavalo {
namespace {

namespace fs = std::filesystem;

// A profile is small; anything larger is not one and reads as empty.
constexpr size_t kMaxProfileSize = size_t(1) << 20;

std::string_view trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::vector<std::string> readLines(const std::string& file) {
    std::vector<uint8_t> bytes;
    std::string error;
    std::vector<std::string> lines;
    if (!readWholeFile(file, bytes, error, kMaxProfileSize)) return lines;
    std::string line;
    for (uint8_t b : bytes) {
        if (b == '\n') {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(std::move(line));
            line.clear();
        } else {
            line += char(b);
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

// The section a header line names, or nothing when it is not a header.
bool headerName(std::string_view line, std::string_view& name) {
    line = trim(line);
    if (line.size() < 2 || line.front() != '[' || line.back() != ']') return false;
    name = trim(line.substr(1, line.size() - 2));
    return true;
}

bool keyOf(std::string_view line, std::string_view& key, std::string_view& value) {
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) return false;
    key = trim(line.substr(0, eq));
    value = trim(line.substr(eq + 1));
    return true;
}

}  // namespace

std::string profilePath() {
    if (const char* home = std::getenv("TAVORN_HOME"); home && *home) return (fs::path(home) / kProfileFileName).string();
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/')
        return (fs::path(xdg) / "tavorn" / kProfileFileName).string();
    const char* home = std::getenv("HOME");
    return (fs::path(home && *home ? home : ".") / ".config" / "tavorn" / kProfileFileName).string();
}

std::string readProfileString(const std::string& file, std::string_view section, std::string_view key,
                              std::string_view fallback) {
    bool inSection = false;
    for (const std::string& line : readLines(file)) {
        std::string_view name, k, v;
        if (headerName(line, name)) inSection = sameName(name, section);
        else if (inSection && keyOf(line, k, v) && sameName(k, key)) return std::string(v);
    }
    return std::string(fallback);
}

bool writeProfileString(const std::string& file, std::string_view section, std::string_view key,
                        std::string_view value) {
    std::string clean;
    for (char c : value)
        if (c != '\n' && c != '\r') clean += c;
    const std::string entry = std::string(key) + "=" + clean;

    std::vector<std::string> lines = readLines(file);
    bool inSection = false, done = false;
    size_t sectionEnd = std::string::npos;  // where a missing key goes
    for (size_t i = 0; i < lines.size() && !done; ++i) {
        std::string_view name, k, v;
        if (headerName(lines[i], name)) {
            if (inSection) break;
            inSection = sameName(name, section);
            if (inSection) sectionEnd = i + 1;
        } else if (inSection) {
            if (keyOf(lines[i], k, v) && sameName(k, key)) {
                lines[i] = entry;
                done = true;
            } else if (!trim(lines[i]).empty()) {
                sectionEnd = i + 1;
            }
        }
    }
    if (!done) {
        if (sectionEnd == std::string::npos) {
            if (!lines.empty() && !trim(lines.back()).empty()) lines.emplace_back();
            lines.push_back("[" + std::string(section) + "]");
            lines.push_back(entry);
        } else {
            lines.insert(lines.begin() + std::ptrdiff_t(sectionEnd), entry);
        }
    }
    std::string text;
    for (const std::string& l : lines) text += l + "\n";
    std::error_code ec;
    fs::create_directories(fs::path(file).parent_path(), ec);
    std::string error;
    return writeFileAtomically(file, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()), error);
}

int readProfileVolume(const std::string& file, std::string_view key) {
    const std::string text = readProfileString(file, kProfileSection, key);
    long value = 0;
    const char* first = text.data();
    while (first < text.data() + text.size() && *first == ' ') ++first;
    const auto [end, ec] = std::from_chars(first, text.data() + text.size(), value);
    if (ec == std::errc::result_out_of_range) return *first == '-' ? 0 : 100;
    if (ec != std::errc() || end == first) return 100;
    return int(std::clamp<long>(value, 0, 100));
}

bool writeProfileVolume(const std::string& file, std::string_view key, int percent) {
    return writeProfileString(file, kProfileSection, key, std::to_string(std::clamp(percent, 0, 100)));
}

}  // namespace pavalo
