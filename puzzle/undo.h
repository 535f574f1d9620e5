// The undo ring: up to ten recorded arrangements of the pieces (every list's
// groups, members, positions, rotations and selection, plus the settings
// record), taken before each move and put back one at a time. Nothing is
// recorded in a network game. There is no redo.
//
// Locking: UNDOMutex guards the ring and is always taken before PIECEMutex.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "puzzle/puzzle_model.h"
#include "puzzle/settings_record.h"

namespace pavalo {

inline constexpr int kUndoSteps = 10;

// What the windows do after an undo.
class UndoActions {
public:
    virtual ~UndoActions() = default;
    virtual void refreshToolPalette() {}
    // Redraw the play area and move the open sorting boxes, the overview, the
    // preview and the tool palette to the placements of the restored record.
    virtual void restoreWindows(const SettingsRecord& /*record*/) {}
};

class UndoRing {
public:
    // Records the arrangement before a move (nothing in a network game).
    void record(const SettingsRecord& settings, const PuzzleModel& model, bool networkGame);
    // Puts the last recorded arrangement back. With nothing recorded it plays
    // the "nothing to undo" sound and returns false.
    bool undo(PuzzleModel& model, SettingsRecord& settings, UndoActions& actions);
    // The Backspace key: refused (false, no sound) once the puzzle is complete.
    bool undoFromKeyboard(uint32_t puzzleState, PuzzleModel& model, SettingsRecord& settings,
                          UndoActions& actions);
    // Frees every step (a new puzzle replaces the old one).
    void clear();
    int available() const;

private:
    struct Member {
        int32_t piece, x, y, rotation, selected;
    };
    struct Slot {
        bool used = false;
        SettingsRecord settings;
        std::array<std::vector<int32_t>, 6> groupSizes;  // per list, in list order
        std::array<std::vector<Member>, 6> members;      // per list, list and member order
    };
    std::array<Slot, kUndoSteps> slots_;
    int index_ = -1;
    int count_ = 0;
};

}  // namespace pavalo
