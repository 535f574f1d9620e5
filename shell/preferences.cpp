// Reading and writing the preferences file, field by field.
#include "shell/preferences.h"

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "common/file_io.h"
#include "common/text_field.h"

namespace pavalo {
namespace {

// Walks every field in file order with a codec that reads, writes or
// describes it; one table serves all directions so they cannot drift apart.
template <class Codec, class Record>
void visitFields(Codec& c, Record& r) {
    c("documentOption", r.documentOption);
    c("reserved4", r.reserved4);
    c("paletteWindowOption", r.paletteWindowOption);
    c("lastPuzzlePath", r.lastPuzzlePath);
    c("rotatedPieces", r.rotatedPieces);
    c("restoreDirectory", r.restoreDirectory);
    c("pictureDirectory", r.pictureDirectory);
    c("pieceOutlines", r.pieceOutlines);
    c("soundEffects", r.soundEffects);
    c("musicOn", r.musicOn);
    c("autoAdvance", r.autoAdvance);
    c("userPlayList", r.userPlayList);
    c("soundSwitches", r.soundSwitches);
    c("currentSong", r.currentSong);
    c("playListCount", r.playListCount);
    c("soundMode", r.soundMode);
    c("playerName", r.playerName);
    c("scoresDisplay", r.scoresDisplay);
    c("lastLibrary", r.lastLibrary);
    c("sideWindowOption", r.sideWindowOption);
    c("backgroundColour", r.backgroundColour);
    c("pieceOutlineColour", r.pieceOutlineColour);
    c("puzzleOutlineColour", r.puzzleOutlineColour);
    c("selectionColour", r.selectionColour);
    c("customColours", r.customColours);
    c("hardwareStretch", r.hardwareStretch);
    c("sessionName", r.sessionName);
    c("maxPlayers", r.maxPlayers);
    c("gameType", r.gameType);
    c("sortingBoxesAllowed", r.sortingBoxesAllowed);
    c("toolsAllowed", r.toolsAllowed);
    c("reserved1508", r.reserved1508);
}

struct Writer {
    uint8_t* out;
    size_t pos = 0;
    void operator()(const char*, uint32_t v) { storeU32(out + pos, v), pos += 4; }
    void operator()(const char* n, int32_t v) { (*this)(n, uint32_t(v)); }
    template <class T, size_t N>
    void operator()(const char* n, const std::array<T, N>& a) {
        for (T v : a) (*this)(n, v);
    }
    template <size_t N>
    void operator()(const char*, const std::array<char, N>& a) {
        std::memcpy(out + pos, a.data(), N), pos += N;
    }
};

struct Reader {
    const uint8_t* in;
    size_t pos = 0;
    void operator()(const char*, uint32_t& v) { v = loadU32(in + pos), pos += 4; }
    void operator()(const char*, int32_t& v) { v = int32_t(loadU32(in + pos)), pos += 4; }
    template <class T, size_t N>
    void operator()(const char* n, std::array<T, N>& a) {
        for (T& v : a) (*this)(n, v);
    }
    template <size_t N>
    void operator()(const char*, std::array<char, N>& a) {
        std::memcpy(a.data(), in + pos, N), pos += N;
    }
};

// Counts the bytes the table covers, so a field added or resized in one
// place only cannot go unnoticed.
struct Sizer {
    size_t size = 0;
    void operator()(const char*, uint32_t) { size += 4; }
    void operator()(const char*, int32_t) { size += 4; }
    template <class T, size_t N>
    void operator()(const char*, const std::array<T, N>&) {
        size += N * 4;
    }
    template <size_t N>
    void operator()(const char*, const std::array<char, N>&) {
        size += N;
    }
};

struct Describer {
    std::vector<std::pair<std::string, std::string>> out;
    static std::string number(int32_t v) { return std::to_string(v); }
    // Colours read best in hexadecimal.
    static std::string number(uint32_t v) {
        char b[16];
        std::snprintf(b, sizeof b, "0x%08X", v);
        return b;
    }
    void operator()(const char* n, int32_t v) { out.emplace_back(n, number(v)); }
    void operator()(const char* n, uint32_t v) { out.emplace_back(n, number(v)); }
    template <class T, size_t N>
    void operator()(const char* n, const std::array<T, N>& a) {
        std::string text;
        for (T v : a) text += (text.empty() ? "" : " ") + number(v);
        out.emplace_back(n, text);
    }
    template <size_t N>
    void operator()(const char* n, const std::array<char, N>& a) {
        out.emplace_back(n, "\"" + PreferencesRecord::text(a) + "\"");
    }
};

bool tableCoversRecord() {
    Sizer s;
    const PreferencesRecord r;
    visitFields(s, r);
    return s.size == kPreferencesRecordSize;
}

// The text of a play-list entry as stored: up to its first NUL, at most
// kMaxPlayListPath characters.
std::string_view storedEntry(std::string_view path) {
    path = path.substr(0, std::min(path.find('\0'), path.size()));
    return path.substr(0, std::min(path.size(), kMaxPlayListPath));
}

}  // namespace

PreferencesRecord PreferencesRecord::defaults(std::string_view dataFolder) {
    PreferencesRecord r;
    setText(r.restoreDirectory, dataFolder);
    setText(r.pictureDirectory, dataFolder);
    copyMusicToRecord(MusicSettings{}, r);
    return r;
}

std::string PreferencesRecord::text(std::span<const char> field) { return fieldText(field); }

bool PreferencesRecord::setText(std::span<char> field, std::string_view text) { return setFieldText(field, text); }

std::array<uint8_t, kPreferencesRecordSize> PreferencesRecord::encode() const {
    [[maybe_unused]] static const bool covered = tableCoversRecord();
    assert(covered);
    std::array<uint8_t, kPreferencesRecordSize> bytes{};
    Writer w{bytes.data()};
    visitFields(w, *this);
    return bytes;
}

PreferencesRecord PreferencesRecord::decode(std::span<const uint8_t, kPreferencesRecordSize> bytes) {
    [[maybe_unused]] static const bool covered = tableCoversRecord();
    assert(covered);
    PreferencesRecord r;
    Reader rd{bytes.data()};
    visitFields(rd, r);
    return r;
}

std::vector<std::pair<std::string, std::string>> PreferencesRecord::describe() const {
    Describer d;
    visitFields(d, *this);
    return std::move(d.out);
}

void copyMusicToRecord(const MusicSettings& music, PreferencesRecord& record) {
    record.musicOn = music.musicOn ? 1 : 0;
    record.autoAdvance = music.autoAdvance ? 1 : 0;
    record.userPlayList = music.userPlayList ? 1 : 0;
    record.currentSong = music.currentSong;
    record.playListCount = music.playListCount;
}

void copyMusicFromRecord(const PreferencesRecord& record, MusicSettings& music) {
    music.musicOn = record.musicOn != 0;
    music.autoAdvance = record.autoAdvance != 0;
    music.userPlayList = record.userPlayList != 0;
    music.currentSong = record.currentSong;
    music.playListCount = record.playListCount;
}

const char* preferencesStatusName(PreferencesStatus status) {
    switch (status) {
        case PreferencesStatus::Loaded: return "loaded";
        case PreferencesStatus::Missing: return "missing";
        case PreferencesStatus::Unreadable: return "unreadable";
        case PreferencesStatus::Foreign: return "not a preferences file";
        case PreferencesStatus::OtherVersion: return "other version";
        case PreferencesStatus::Truncated: return "truncated";
    }
    return "?";
}

PreferencesReadResult decodePreferences(std::span<const uint8_t> bytes, Preferences& prefs) {
    PreferencesReadResult result;
    ByteReader in(bytes);

    // The header compares as text: whatever follows its NUL is padding.
    std::span<const uint8_t> header = in.bytes(kPreferencesHeaderSize);
    const auto* text = reinterpret_cast<const char*>(header.data());
    if (!in.ok() || header[kPreferencesHeader.size()] != 0 ||
        std::string_view(text, kPreferencesHeader.size()) != kPreferencesHeader) {
        result.status = PreferencesStatus::Foreign;
        return result;
    }
    result.version = in.u16();
    if (!in.ok()) {
        result.status = PreferencesStatus::Truncated;
        return result;
    }
    if (result.version != kPreferencesVersion) {
        result.status = PreferencesStatus::OtherVersion;
        return result;
    }
    std::span<const uint8_t> recordBytes = in.bytes(kPreferencesRecordSize);
    if (!in.ok()) {
        result.status = PreferencesStatus::Truncated;
        return result;
    }
    PreferencesRecord record =
        PreferencesRecord::decode(std::span<const uint8_t, kPreferencesRecordSize>(recordBytes));
    result.storedCount = record.playListCount;

    // The count is only a promise: stop at the list's limit and at the first
    // entry the file does not hold in full. Every length is checked against
    // the bytes left before anything is taken, so nothing is allocated beyond
    // the file's own size.
    size_t wanted = size_t(std::clamp<int64_t>(record.playListCount, 0, int64_t(kMaxPlayListEntries)));
    std::vector<std::string> playList;
    playList.reserve(wanted);
    while (playList.size() < wanted) {
        uint32_t length = in.u32();
        if (!in.ok() || length > in.remaining()) break;
        std::span<const uint8_t> entry = in.bytes(length);
        std::string_view whole(reinterpret_cast<const char*>(entry.data()), entry.size());
        if (std::min(whole.find('\0'), whole.size()) > kMaxPlayListPath) ++result.entriesCut;
        playList.emplace_back(storedEntry(whole));
    }

    record.playListCount = int32_t(playList.size());
    result.entriesRead = playList.size();
    result.status = PreferencesStatus::Loaded;
    prefs.record = record;
    prefs.playList = std::move(playList);
    return result;
}

size_t storablePlayListCount(const Preferences& prefs) {
    size_t limit = std::min(prefs.playList.size(), kMaxPlayListEntries);
    return size_t(std::clamp<int64_t>(prefs.record.playListCount, 0, int64_t(limit)));
}

std::vector<uint8_t> encodePreferences(const Preferences& prefs) {
    size_t count = storablePlayListCount(prefs);
    PreferencesRecord record = prefs.record;
    record.playListCount = int32_t(count);

    ByteWriter out;
    out.bytes(std::span(reinterpret_cast<const uint8_t*>(kPreferencesHeader.data()), kPreferencesHeader.size()));
    out.zeros(kPreferencesHeaderSize - kPreferencesHeader.size());
    out.u16(kPreferencesVersion);
    out.bytes(record.encode());
    for (size_t i = 0; i < count; ++i) {
        std::string_view path = storedEntry(prefs.playList[i]);
        out.u32(uint32_t(path.size() + 1));
        out.bytes(std::span(reinterpret_cast<const uint8_t*>(path.data()), path.size()));
        out.u8(0);
    }
    return std::move(out.buffer());
}

bool savePreferences(const std::string& path, Preferences& prefs, const MusicSettings& music, bool keep) {
    namespace fs = std::filesystem;
    fs::path folder = fs::path(path).parent_path();
    std::error_code ec;
    // A failure here shows up as a failed write below.
    if (!folder.empty()) fs::create_directories(folder, ec);

    if (!keep) prefs.record = PreferencesRecord::defaults(folder.empty() ? "." : folder.string());
    copyMusicToRecord(music, prefs.record);
    prefs.record.playListCount = int32_t(storablePlayListCount(prefs));

    std::vector<uint8_t> bytes = encodePreferences(prefs);
    std::string error;
    return writeFileAtomically(path, bytes, error);
}

PreferencesLoadResult loadPreferences(const std::string& path, Preferences& prefs, MusicSettings& music) {
    PreferencesLoadResult result;
    std::vector<uint8_t> bytes;
    std::string error;
    if (!readWholeFile(path, bytes, error, kMaxPreferencesFileSize)) {
        std::error_code ec;
        bool exists = std::filesystem::exists(path, ec) || ec;
        result.read.status = exists ? PreferencesStatus::Unreadable : PreferencesStatus::Missing;
    } else {
        result.read = decodePreferences(bytes, prefs);
        if (result.read.ok()) {
            copyMusicFromRecord(prefs.record, music);
            return result;
        }
    }
    result.defaultsWritten = savePreferences(path, prefs, music, false);
    // Without a file at all, the music settings take the record's copy back;
    // a file that was there but unusable leaves them as they are.
    if (result.read.status == PreferencesStatus::Missing) copyMusicFromRecord(prefs.record, music);
    return result;
}

}  // namespace pavalo
