// The registry file: parsing, formatting and safe changes.
#include "shell/registry.h"

#include <cstdlib>
#include <filesystem>

#include "common/file_io.h"
#include "media/image_library.h"

namespace pavalo {
namespace {

constexpr size_t kMaxRegistryBytes = size_t(16) << 20;

std::string escape(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '=':
                out += "\\=";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '[':
            case ';':
            case '#':
                // At the start of a line these would begin a key or a comment.
                if (i == 0) out += '\\';
                out += c;
                break;
            default:
                out += c;
        }
    }
    return out;
}

// Reads an escaped text up to an unescaped '=' (when stopAtEquals) or the
// end. `end` receives where it stopped; false on a dangling backslash.
bool unescape(std::string_view text, bool stopAtEquals, std::string& out, size_t& end) {
    out.clear();
    size_t i = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '=' && stopAtEquals) break;
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i >= text.size()) return false;
        switch (text[i]) {
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            default:
                out += text[i];
        }
    }
    end = i;
    return true;
}

std::optional<uint32_t> parseDword(std::string_view value) {
    if (value.substr(0, 6) != "dword:" || value.size() == 6 || value.size() > 16) return std::nullopt;
    uint64_t n = 0;
    for (char c : value.substr(6)) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + uint64_t(c - '0');
    }
    if (n > UINT32_MAX) return std::nullopt;
    return uint32_t(n);
}

}  // namespace

std::string defaultRegistryPath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') return std::string(config) + "/tavorn/registry.ini";
    const char* home = std::getenv("HOME");
    if (home && home[0]) return std::string(home) + "/.config/tavorn/registry.ini";
    return {};
}

std::vector<Registry::Entry> Registry::parse(std::string_view text) {
    std::vector<Entry> entries;
    std::string key;
    bool inKey = false;
    while (!text.empty()) {
        const size_t eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text = eol == std::string_view::npos ? std::string_view{} : text.substr(eol + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line[0] == '[') {
            const size_t close = line.rfind(']');
            inKey = close != std::string_view::npos && close > 1;
            if (inKey) key = std::string(line.substr(1, close - 1));
            continue;
        }
        if (!inKey) continue;
        Entry e;
        e.key = key;
        size_t end = 0;
        if (!unescape(line, true, e.name, end) || end >= line.size() || e.name.empty()) continue;
        std::string value;
        size_t valueEnd = 0;
        if (!unescape(line.substr(end + 1), false, value, valueEnd)) continue;
        if (value.substr(0, 3) != "sz:" && !parseDword(value)) continue;
        e.value = std::move(value);
        entries.push_back(std::move(e));
    }
    return entries;
}

std::string Registry::format(const std::vector<Entry>& entries) {
    // Entries grouped under their keys, keys in order of first appearance.
    std::vector<std::string> keys;
    for (const Entry& e : entries) {
        bool seen = false;
        for (const std::string& k : keys) seen = seen || equalIgnoringCase(k, e.key);
        if (!seen) keys.push_back(e.key);
    }
    std::string out;
    for (const std::string& k : keys) {
        if (!out.empty()) out += '\n';
        out += "[" + k + "]\n";
        for (const Entry& e : entries)
            if (equalIgnoringCase(e.key, k)) out += escape(e.name) + "=" + escape(e.value) + "\n";
    }
    return out;
}

std::vector<Registry::Entry> Registry::read() const {
    std::vector<uint8_t> bytes;
    std::string error;
    if (path_.empty() || !readWholeFile(path_, bytes, error, kMaxRegistryBytes)) return {};
    return parse(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

bool Registry::write(const std::vector<Entry>& entries) const {
    if (path_.empty()) return false;
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::path(path_).parent_path();
    if (!folder.empty()) std::filesystem::create_directories(folder, ec);
    const std::string text = format(entries);
    std::string error;
    return writeFileAtomically(path_, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()), error);
}

std::vector<std::string> Registry::valueNames(std::string_view key) const {
    std::vector<std::string> names;
    for (const Entry& e : read())
        if (equalIgnoringCase(e.key, key)) names.push_back(e.name);
    return names;
}

std::optional<std::string> Registry::stringValue(std::string_view key, std::string_view name) const {
    for (const Entry& e : read())
        if (equalIgnoringCase(e.key, key) && equalIgnoringCase(e.name, name) && e.value.substr(0, 3) == "sz:")
            return e.value.substr(3);
    return std::nullopt;
}

std::optional<uint32_t> Registry::dwordValue(std::string_view key, std::string_view name) const {
    for (const Entry& e : read())
        if (equalIgnoringCase(e.key, key) && equalIgnoringCase(e.name, name)) return parseDword(e.value);
    return std::nullopt;
}

bool Registry::hasValue(std::string_view key, std::string_view name) const {
    for (const Entry& e : read())
        if (equalIgnoringCase(e.key, key) && equalIgnoringCase(e.name, name)) return true;
    return false;
}

bool Registry::setRaw(std::string_view key, std::string_view name, std::string value) {
    if (name.empty()) return false;
    std::vector<Entry> entries = read();
    bool found = false;
    for (Entry& e : entries)
        if (equalIgnoringCase(e.key, key) && equalIgnoringCase(e.name, name)) {
            e.value = value;
            found = true;
        }
    if (!found) entries.push_back({std::string(key), std::string(name), std::move(value)});
    return write(entries);
}

bool Registry::setString(std::string_view key, std::string_view name, std::string_view value) {
    return setRaw(key, name, "sz:" + std::string(value));
}

bool Registry::setDword(std::string_view key, std::string_view name, uint32_t value) {
    return setRaw(key, name, "dword:" + std::to_string(value));
}

bool Registry::deleteValue(std::string_view key, std::string_view name) {
    std::vector<Entry> entries = read();
    const size_t before = entries.size();
    std::erase_if(entries,
                  [&](const Entry& e) { return equalIgnoringCase(e.key, key) && equalIgnoringCase(e.name, name); });
    return entries.size() == before || write(entries);
}

std::vector<std::string> registeredLibraries(const Registry& registry) { return registry.valueNames(kLibrariesKey); }

bool registerLibrary(Registry& registry, const std::string& libraryPath) {
    return registry.setDword(kLibrariesKey, libraryPath, 0);
}

bool unregisterLibrary(Registry& registry, const std::string& libraryPath) {
    return registry.deleteValue(kLibrariesKey, libraryPath);
}

}  // namespace pavalo
