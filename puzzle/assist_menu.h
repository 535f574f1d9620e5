// The menus whose entries depend on the game's state, composed as plain item
// lists that a front end only shows: the view's right-button menu (132), the
// find tool's menu (133) and the tool palette's menu bar (128).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "puzzle/assist_allowances.h"
#include "puzzle/hit_code.h"

namespace pavalo {

// Command ids of the menu entries.
namespace menu_command {
inline constexpr uint32_t kMinimize = 32847;
inline constexpr uint32_t kToolBar = 59392;
inline constexpr uint32_t kZoom1 = 32787, kZoom2 = 32788, kZoom4 = 32790, kZoom8 = 32791;
inline constexpr uint32_t kSelectAll = 32803;
inline constexpr uint32_t kArrange = 32799;
inline constexpr uint32_t kPieceInfo = 32841;
inline constexpr uint32_t kFindEdges = 32794;
inline constexpr uint32_t kNearThisOne = 32802;
inline constexpr uint32_t kWithThisColor = 32810;
inline constexpr uint32_t kSolveThisPiece = 32804;
inline constexpr uint32_t kSolveSelected = 32805;
inline constexpr uint32_t kHelpTopics = 57670;
inline constexpr uint32_t kViewExit = 32845;
inline constexpr uint32_t kCheckCompletion = 1126;
// Palette menu bar.
inline constexpr uint32_t kNew = 1167;
inline constexpr uint32_t kOpen = 57601;
inline constexpr uint32_t kSave = 57603;
inline constexpr uint32_t kSaveAs = 57604;
inline constexpr uint32_t kRecentFile = 32833;
inline constexpr uint32_t kFirstRecentFile = 57616;  // up to eight: 57616..57623
inline constexpr uint32_t kCenter = 32818;
inline constexpr uint32_t kRecut = 32807;
inline constexpr uint32_t kWallpaper = 32778;
inline constexpr uint32_t kRotatedPieces = 32792;
inline constexpr uint32_t kSoundOptions = 32839;
inline constexpr uint32_t kCdMusicOptions = 32837;
inline constexpr uint32_t kMidiMusicOptions = 32838;
inline constexpr uint32_t kVideoOptions = 32851;
inline constexpr uint32_t kAbout = 57664;
inline constexpr uint32_t kExit = 1062;
}  // namespace menu_command

// One entry; a popup has id 0 and its entries in `items`.
struct MenuItem {
    uint32_t id = 0;
    std::string text;
    bool enabled = true;
    bool checked = false;
    std::string statusPrompt;  // shown in the status line while highlighted
    std::vector<MenuItem> items;

    bool isPopup() const { return id == 0; }
    bool operator==(const MenuItem&) const = default;
};

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
};

// Menu 132 as it is shown: "Piece Info" and "Solve Selected Pieces" never
// appear; without a piece "Near this one" and "With This Color" go, and
// "Solve This Piece" becomes "Solve This Space" on the play area when Solve
// This Space is possible, else goes; without a puzzle the solve entries,
// "Select All" and "Arrange" go, and in the finished state "Select All" and
// "Arrange"; in a network game disallowed tools go ("Arrange" only on the
// play area, a "Find Pieces" popup left empty with it) and "Check Puzzle
// Completion" is added at the end. The zoom entry of `zoom` is checked.
std::vector<MenuItem> composeViewMenu(const ViewMenuState& state);

// Menu 133 of the find tool: "Near this one" and "With This Color", each
// only when allowed. Empty when neither is, and then it is not shown.
std::vector<MenuItem> composeFindToolMenu(const AssistAllowances& allowed);

// What the palette's menu bar depends on.
struct PaletteMenuState {
    bool networkGame = false;
    bool rotatedPieces = false;            // the current puzzle's rotation option
    std::vector<std::string> recentFiles;  // display texts, newest first (at most eight used)
};

// The palette's "&Menu" popup as it opens: the recent files replace the
// "Recent File" placeholder outside a network game (the placeholder stays,
// disabled, when there are none or in a network game); "Rotated Pieces" is
// checked when the option is on; in a network game "&New", "&Open...",
// "&Save", "Save &As..." and "Rotated Pieces" are disabled and "Recut
// Puzzle" is removed.
std::vector<MenuItem> composePaletteMenu(const PaletteMenuState& state);

// Finds an entry by id anywhere in a composed menu; null when absent.
const MenuItem* findMenuItem(const std::vector<MenuItem>& menu, uint32_t id);

}  // namespace pavalo
