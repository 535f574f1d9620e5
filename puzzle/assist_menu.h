// The menus whose entries depend on the game's state, composed as plain item
// lists that a front end only shows: the view's right-button menu (132), the
// find tool's menu (133) and the tool palette's menu bar (128).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/commands.h"
#include "puzzle/assist_allowances.h"
#include "puzzle/hit_code.h"

namespace pavalo {

// What the right-button menu depends on.
struct ViewMenuState {
    HitCode hit;                // where the button went down
    bool puzzleLoaded = false;  // a picture and puzzle exist
    bool finished = false;      // the puzzle is completed (state 16)
    // Solve This Space is possible at the click point (solveSpaceAvailable);
    // only looked at for the play area without a piece.
    bool solveSpaceAvailable = false;
    bool networkGame = false;
    AssistAllowances allowed;  // all true outside a network game
    int zoom = 0;              // zoom shift of the area under the pointer (the box's own in a box)
    int reduce = 1;            // the play area's zoom below x1: 2, 4, 8 or a fit's factor
    bool fitted = false;       // the play area is at "Fit"
};

// Menu 132 as it is shown: "Piece Info" and "Solve Selected Pieces" never
// appear; without a piece "Near this one" and "With This Color" go, and
// "Solve This Piece" becomes "Solve This Space" on the play area when Solve
// This Space is possible, else goes; without a puzzle the solve entries,
// "Select All" and "Arrange" go, and in the finished state "Select All" and
// "Arrange"; in a network game disallowed tools go ("Arrange" only on the
// play area, a "Find Pieces" popup left empty with it) and "Check Puzzle
// Completion" is added at the end. The zoom entry of `zoom` is checked. On
// the play area the "Zoom" popup also offers "Fit", "x1/8", "x1/4" and
// "x1/2"; below x1 the entry of `reduce` (or "Fit") is checked instead.
std::vector<MenuItem> composeViewMenu(const ViewMenuState& state);

// Menu 133 of the find tool: "Near this one" and "With This Color", each
// only when allowed. Empty when neither is, and then it is not shown.
std::vector<MenuItem> composeFindToolMenu(const AssistAllowances& allowed);

// What the palette's menu bar depends on.
struct PaletteMenuState {
    bool networkGame = false;
    bool rotatedPieces = false;            // the current puzzle's rotation option
    bool fullScreen = false;               // the game covers the screen
    std::vector<std::string> recentFiles;  // display texts, newest first (at most eight used)
};

// The palette's "&Menu" popup as it opens: the recent files replace the
// "Recent File" placeholder outside a network game (the placeholder stays,
// disabled, when there are none or in a network game); "Rotated Pieces" is
// checked when the option is on; in a network game "&New", "&Open...",
// "&Save", "Save &As..." and "Rotated Pieces" are disabled and "Recut
// Puzzle" is removed.
std::vector<MenuItem> composePaletteMenu(const PaletteMenuState& state);

// The keyboard shortcuts desktop programs share, for menu entries that have
// one: the frame binds the keys and the menus show them beside the entries.
// Undo's Ctrl+Z is the view's, beside Backspace.
struct DesktopShortcut {
    uint32_t id;
    const char* keys;  // in the portable form "Ctrl+Shift+S"
};
inline constexpr DesktopShortcut kDesktopShortcuts[] = {
    {menu_command::kNew, "Ctrl+N"},          {menu_command::kOpen, "Ctrl+O"},
    {menu_command::kSave, "Ctrl+S"},         {menu_command::kSaveAs, "Ctrl+Shift+S"},
    {menu_command::kHelpTopics, "F1"},       {menu_command::kExit, "Ctrl+Q"},
    {menu_command::kFullScreen, "F11"},
};

// Finds an entry by id anywhere in a composed menu; null when absent.
const MenuItem* findMenuItem(const std::vector<MenuItem>& menu, uint32_t id);

}  // namespace pavalo
