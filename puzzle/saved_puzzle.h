// Saved puzzle files (.gvp): a 50-byte magic, version 108, the 1264-byte
// settings record, every piece with its masks, and the groups of the Main,
// Finished and four sorting-box lists in list order. Positions are stored
// relative to the picture, so a puzzle reopens correctly on a play area of
// another size. The picture itself is not stored; the record names it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/random.h"
#include "puzzle/puzzle_model.h"
#include "puzzle/settings_record.h"

namespace pavalo {

inline constexpr const char* kSavedPuzzleMagic = "Tavorn Glenthorpevale Saved Puzzle";
inline constexpr uint32_t kSavedPuzzleVersion = 108;
inline constexpr const char* kNotSavedPuzzleMessage = "This is not a Pavalo saved puzzle";
inline constexpr const char* kOldVersionMessage =
    "This Puzzle was saved with an older version of Pavalo";

enum class OpenStatus {
    Ok,
    NotSavedPuzzle,  // wrong magic: the file leaves the recent-file list
    OtherVersion,    // version other than 108: the file leaves the recent-file list
    Damaged,         // structure wrong or file ends early
    Unreadable,      // the file cannot be read at all
};

struct OpenResult {
    OpenStatus status = OpenStatus::Ok;
    std::string message;  // the text to show the player
    bool ok() const { return status == OpenStatus::Ok; }
};

// Copies the model's puzzle-wide values (join tolerance, assembly offset,
// grid, picture size) into the record so the file describes the model.
void syncRecordFromModel(SettingsRecord& record, const PuzzleModel& model);

// Makes the record values the game acts on safe after reading, keeping every
// value that is already sound:
// - a join tolerance outside 7..50 (the range cutting gives) becomes the one
//   cutting gives for the record's cell size (grid and picture size must be
//   checked before);
// - window rectangles (sorting boxes, preview, overview, tool palette): an
//   inverted or empty one becomes all zero (not placed yet), a larger one is
//   cut to the screen's size, and one lying more than a screen's size off
//   the screen is brought to within that distance, where the windows' own
//   on-screen rules pull it back in a few steps;
// - an opened file is a single-player game: the network-game word becomes 0
//   and every assist-tool permission 1, as in a new puzzle.
void repairOpenedRecord(SettingsRecord& record, int32_t screenWidth, int32_t screenHeight);

// The bytes of a saved puzzle. The record is synchronised with the model first.
std::vector<uint8_t> encodeSavedPuzzle(SettingsRecord record, const PuzzleModel& model);

// Writes the file through a temporary name; false with a message on failure.
bool savePuzzleFile(const std::string& path, const SettingsRecord& record,
                    const PuzzleModel& model, std::string& error);

// Reads a saved puzzle into `record` and `model`, which are replaced only on
// success. (playWidth, playHeight) is the current play area, used to turn
// stored positions back into play-area positions. Rebuilds the piece order
// table into `order` with `rng` (4 N swaps). Every count, size, piece number
// and mask is checked; a bad file is refused with a message and nothing of it
// is kept. The record is repaired by repairOpenedRecord, the play area taken
// as the screen. A group number the file repeats is given an unused one.
OpenResult decodeSavedPuzzle(std::span<const uint8_t> bytes, int32_t playWidth, int32_t playHeight,
                             Random& rng, SettingsRecord& record, PuzzleModel& model,
                             std::vector<int32_t>& order);
OpenResult openPuzzleFile(const std::string& path, int32_t playWidth, int32_t playHeight,
                          Random& rng, SettingsRecord& record, PuzzleModel& model,
                          std::vector<int32_t>& order);

}  // namespace pavalo
