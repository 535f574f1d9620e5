// SettingsRecord: the 1264-byte record of the current puzzle's settings
// (picture, kind, grid, options, window placements), stored in saved puzzles
// and undo steps. Read and written field by field in little-endian at fixed
// offsets; bytes that no field names yet are kept as read.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "common/geometry.h"

namespace pavalo {

inline constexpr size_t kSettingsRecordSize = 1264;

// Picture kinds.
enum PictureKind : uint32_t {
    kPictureBmp = 0,
    kPictureJpeg = 1,
    kPictureWda = 2,
    kPictureMovie = 3,
    kPictureMovieWithData = 4,
};

// Puzzle state values.
inline constexpr uint32_t kPuzzleStateNew = 1;
inline constexpr uint32_t kPuzzleStateCompleted = 16;
inline constexpr uint32_t kPuzzleStateNone = 32;

// A rectangle stored as four i32: left, top, right, bottom.
struct StoredRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const StoredRect&) const = default;
};

struct SettingsRecord {
    std::array<uint8_t, 4> spare0{};           // 0
    uint32_t pickerValue = 0;                  // 4: left by the picture chooser
    uint32_t pictureKind = 0;                  // 8
    std::array<char, 520> picturePath{};       // 12, zero-terminated
    std::array<char, 256> movieDataPath{};     // 532, zero-terminated
    std::array<uint8_t, 4> spare788{};         // 788
    std::array<uint32_t, 4> boxOpen{};         // 792: sorting box windows open
    std::array<StoredRect, 4> boxRect{};       // 808: sorting box windows
    StoredRect overviewRect{};                 // 872: overview window (empty: not placed yet)
    StoredRect paletteRect{};                  // 888: tool palette (empty: not placed yet)
    uint32_t playSeconds = 0;                  // 904: time the puzzle was played, in seconds
    std::array<uint8_t, 28> spare908{};        // 908
    uint32_t field936 = 0;                     // 936
    StoredRect previewRect{};                  // 940
    std::array<uint8_t, 4> spare956{};         // 956
    int32_t snapTolerance = 0;                 // 960
    int32_t assemblyOffsetX = 0;               // 964
    int32_t assemblyOffsetY = 0;               // 968
    int32_t zoomShift = 0;                     // 972: 0..3
    uint32_t puzzleState = 0;                  // 976
    std::array<uint8_t, 20> spare980{};        // 980
    std::array<uint32_t, 3> colourChoices{};   // 1000
    uint32_t field1012 = 0;                    // 1012
    std::array<uint8_t, 32> spare1016{};       // 1016
    uint32_t field1048 = 0;                    // 1048
    uint32_t field1052 = 0;                    // 1052
    uint32_t field1056 = 0;                    // 1056
    uint32_t currentTool = 0;                  // 1060: 0 for none
    uint32_t colourChoice4 = 0;                // 1064
    uint32_t rotationOption = 0;               // 1068: 1 when pieces may be rotated
    std::array<uint8_t, 132> spare1072{};      // 1072
    uint32_t networkGame = 0;                  // 1204
    std::array<uint32_t, 7> assistAllowed{};   // 1208: assist-tool permissions
    uint32_t networkSeed = 0;                  // 1236
    int32_t columns = 0;                       // 1240
    int32_t rows = 0;                          // 1244
    int32_t pictureWidth = 0;                  // 1248
    int32_t pictureHeight = 0;                 // 1252
    uint32_t field1256 = 0;                    // 1256
    std::array<uint8_t, 4> spare1260{};        // 1260

    // The text of a zero-terminated field, never reading past the field.
    static std::string text(std::span<const char> field);
    // Stores text with its terminating zero; false when it does not fit.
    static bool setText(std::span<char> field, std::string_view text);

    std::string picture() const { return text(picturePath); }
    std::string movieData() const { return text(movieDataPath); }

    std::array<uint8_t, kSettingsRecordSize> encode() const;
    static SettingsRecord decode(std::span<const uint8_t, kSettingsRecordSize> bytes);

    bool operator==(const SettingsRecord&) const = default;
};

// The defaults of a new puzzle: everything zero except the picture kind and
// movie data path (kept), then the chooser value, network fields, picture
// path, state 1, closed sorting boxes at 60,60-260,260 stepping by 20, the
// preview in the play area's top right corner and the other new-puzzle
// values. Colour choices and the rotation option are the caller's to copy.
void resetForNewPuzzle(SettingsRecord& record, uint32_t pickerValue, std::string_view picture,
                       int32_t playWidth, int32_t pictureWidth, int32_t pictureHeight);

}  // namespace pavalo
