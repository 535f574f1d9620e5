// The preferences file "gthvale.prf": the player's settings kept between
// runs. Layout (little-endian): a 50-byte header holding the text
// kPreferencesHeader and a NUL, the 16-bit version 111, the 1512-byte
// PreferencesRecord, then the user's play list as (u32 length with NUL,
// bytes with NUL) for each of the record's play-list count.
//
// Reading never trusts the file: a short, foreign or other-version file is
// replaced by defaults, a play-list count is never followed past the end of
// the file or beyond kMaxPlayListEntries, and paths longer than
// kMaxPlayListPath characters are cut to that length, so the list keeps its
// positions (the current song is an index into it). Writing goes to a
// temporary file renamed into place.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "media/music_settings.h"

namespace pavalo {

inline constexpr std::string_view kPreferencesHeader = "Tavorn Studio's Glenthorpevale preferences";
inline constexpr size_t kPreferencesHeaderSize = 50;
inline constexpr uint16_t kPreferencesVersion = 111;
inline constexpr size_t kPreferencesRecordSize = 1512;
// Offset of the play list: header, version, record.
inline constexpr size_t kPreferencesPlayListOffset = kPreferencesHeaderSize + 2 + kPreferencesRecordSize;
inline constexpr size_t kMaxPlayListEntries = 255;
// Characters of a play-list path, without its NUL.
inline constexpr size_t kMaxPlayListPath = 255;
// Larger files are not preferences files; they are refused before reading.
inline constexpr size_t kMaxPreferencesFileSize = size_t(1) << 20;

// Sound selection modes.
inline constexpr int32_t kSoundsEnableAll = 0;
inline constexpr int32_t kSoundsDisableAll = 1;
inline constexpr int32_t kSoundsUseSwitches = 2;

namespace prefs_detail {
template <size_t N, class T>
constexpr std::array<T, N> filled(T v) {
    std::array<T, N> a{};
    a.fill(v);
    return a;
}
template <size_t N>
constexpr std::array<char, N> textField(std::string_view s) {
    std::array<char, N> a{};
    for (size_t i = 0; i < s.size() && i + 1 < N; ++i) a[i] = s[i];
    return a;
}
}  // namespace prefs_detail

// The settings record. Every field is stored at a fixed offset (in the
// comments), numbers as 32-bit little-endian, texts NUL-terminated in their
// fixed fields. Member defaults are the file's defaults, except the two
// directories, which name the data folder: use defaults(folder).
struct PreferencesRecord {
    int32_t documentOption = 0;                          // 0
    int32_t reserved4 = 0;                               // 4
    int32_t paletteWindowOption = 1;                     // 8: tool palette's window buttons
    std::array<char, 260> lastPuzzlePath{};              // 12: puzzle file saved or opened last
    int32_t rotatedPieces = 1;                           // 272: new puzzles have rotated pieces
    std::array<char, 260> restoreDirectory{};            // 276: made current after a picture dialog
    std::array<char, 260> pictureDirectory{};            // 536: where picture dialogs start
    int32_t pieceOutlines = 1;                           // 796
    int32_t soundEffects = 1;                            // 800
    int32_t musicOn = 1;                                 // 804: copy of MusicSettings
    int32_t autoAdvance = 1;                             // 808: copy of MusicSettings
    int32_t userPlayList = 0;                            // 812: copy of MusicSettings
    std::array<int32_t, 26> soundSwitches = prefs_detail::filled<26>(1);  // 816: 25 events, then other players'
    int32_t currentSong = 1;                             // 920: copy of MusicSettings
    int32_t playListCount = 0;                           // 924: copy of MusicSettings
    int32_t soundMode = kSoundsEnableAll;                // 928
    std::array<char, 64> playerName = prefs_detail::textField<64>("Player");  // 932
    int32_t scoresDisplay = -3;                          // 996
    std::array<char, 256> lastLibrary{};                 // 1000: image library opened last
    int32_t sideWindowOption = 0;                        // 1256
    uint32_t backgroundColour = 0;                       // 1260: chooser form, red in the low byte
    uint32_t pieceOutlineColour = 0xFFFFFFFF;            // 1264
    uint32_t puzzleOutlineColour = 0xFFFFFFFF;           // 1268
    uint32_t selectionColour = 0xFFFFFFFF;               // 1272
    std::array<uint32_t, 16> customColours = prefs_detail::filled<16>(0xFFFFFFu);  // 1276: colour dialog
    int32_t hardwareStretch = 1;                         // 1340
    std::array<char, 128> sessionName{};                 // 1344: network game last created
    int32_t maxPlayers = 16;                             // 1472
    int32_t gameType = 0;                                // 1476
    int32_t sortingBoxesAllowed = 0;                     // 1480
    // 1484: Arrange, Solve, Find Nearby Pieces, Find Edges, Find by Color, Puzzle Outline.
    std::array<int32_t, 6> toolsAllowed = {1, 0, 0, 0, 0, 0};
    int32_t reserved1508 = 0;                            // 1508

    // Every field at its default, the directories naming dataFolder (left
    // empty if the folder's path does not fit a 260-byte field).
    static PreferencesRecord defaults(std::string_view dataFolder);

    // The text of a NUL-terminated field, never reading past the field.
    static std::string text(std::span<const char> field);
    // Stores text and its NUL, clearing the rest; false (field unchanged)
    // when it does not fit.
    static bool setText(std::span<char> field, std::string_view text);

    std::array<uint8_t, kPreferencesRecordSize> encode() const;
    static PreferencesRecord decode(std::span<const uint8_t, kPreferencesRecordSize> bytes);

    // Each field's name and value as text, in file order (for inspection).
    std::vector<std::pair<std::string, std::string>> describe() const;

    bool operator==(const PreferencesRecord&) const = default;
};

// The record and the user's play list (paths of MIDI files).
struct Preferences {
    PreferencesRecord record;
    std::vector<std::string> playList;

    bool operator==(const Preferences&) const = default;
};

// The five music fields, into the record and back.
void copyMusicToRecord(const MusicSettings& music, PreferencesRecord& record);
void copyMusicFromRecord(const PreferencesRecord& record, MusicSettings& music);

enum class PreferencesStatus {
    Loaded,        // the file was read
    Missing,       // no file
    Unreadable,    // a file that cannot be read, or too large to be one
    Foreign,       // the header text differs
    OtherVersion,  // right header, version other than 111
    Truncated,     // right header and version, but the record is cut short
};
const char* preferencesStatusName(PreferencesStatus status);

struct PreferencesReadResult {
    PreferencesStatus status = PreferencesStatus::Missing;
    uint16_t version = 0;       // as found, when the header matched
    int32_t storedCount = 0;    // play-list count of the record as found
    size_t entriesRead = 0;     // play-list entries kept
    size_t entriesCut = 0;      // of those, paths cut to kMaxPlayListPath
    bool ok() const { return status == PreferencesStatus::Loaded; }
};

// Decodes a whole preferences file. On success replaces prefs.record and
// prefs.playList; the record's play-list count becomes the number of entries
// actually read (fewer than stored when the file ends early or the count is
// above kMaxPlayListEntries or negative). Otherwise prefs is left unchanged.
PreferencesReadResult decodePreferences(std::span<const uint8_t> bytes, Preferences& prefs);

// The number of play-list entries a file written from prefs holds: the
// record's count, limited to 0 .. min(playList size, kMaxPlayListEntries).
size_t storablePlayListCount(const Preferences& prefs);

// The file's bytes: header, version, record (with the play-list count set to
// storablePlayListCount) and that many entries, each cut to kMaxPlayListPath
// characters and ending at its first NUL.
std::vector<uint8_t> encodePreferences(const Preferences& prefs);

struct PreferencesLoadResult {
    PreferencesReadResult read;
    bool defaultsWritten = false;  // a fresh default file was written
};

// Reads the preferences file at path into prefs and, once read, copies the
// five music fields to music. A missing file gets a default file written and
// music takes the (unchanged) music fields back; an unreadable, foreign,
// other-version or truncated file is replaced by a default file and music is
// left alone. Never reports to the user; the result says what happened.
PreferencesLoadResult loadPreferences(const std::string& path, Preferences& prefs, MusicSettings& music);

// Writes the preferences file at path, creating its folder when missing.
// With keep false the record is first reset to its defaults (the directories
// naming the file's folder); the play list is kept. Then the music fields are
// copied in from music and the play-list count limited as encodePreferences
// does, so prefs matches the file. Returns false, silently, when the file
// could not be written; the file is then as it was before.
bool savePreferences(const std::string& path, Preferences& prefs, const MusicSettings& music, bool keep);

}  // namespace pavalo
