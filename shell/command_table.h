// The frame's command table: every command of the game's menus, tool palette
// and keys is a fixed numeric id, and one CommandTable maps each id to its
// handler. The tool palette has ids of its own that clash with the view's
// (32787 is Undo on the palette and "x1" in the view), so the table has two
// scopes: a palette id is looked up among the palette's own handlers first
// and then among the frame's. No Qt: the front end registers handlers and
// calls dispatch; menus are composed as MenuItem lists; every id is in platform/commands.h.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <unordered_map>
#include <vector>

#include "platform/commands.h"
#include "puzzle/assist_menu.h"

namespace pavalo {


// One button of the tool palette: 32 x 32 pixels, in 9 rows of 2 in this
// order (left column x = 0, right x = 32, row y = 32 x row).
struct PaletteButton {
    uint32_t id;
    const char* name;
    const char* toolTip;
    int tool;  // the tool mode it selects, or -1
};

inline constexpr int kPaletteButtonSize = 32;
inline constexpr std::array<PaletteButton, 18> kPaletteButtons = {{
    {frame_command::kPaletteNew, "New", "Create a new puzzle", -1},
    {frame_command::kPaletteExit, "Exit", "Exit Pavalo", -1},
    {frame_command::kArrow, "Arrow", "Normal Selection Tool (ESC)", 0},
    {frame_command::kColors, "Colors", "Change Colors", -1},
    {frame_command::kArrangeTool, "Arrange", "Arrange Tool (A)", 2},
    {frame_command::kSolveTool, "Solve", "Solve Tool (S)", 3},
    {frame_command::kZoomTool, "Zoom", "Zoom Tool (Z)", 1},
    {frame_command::kHide, "Hide", "Hide/View all open windows", -1},
    {frame_command::kPuzzleOutline, "PzO", "View/Hide Puzzle Outline", -1},
    {frame_command::kPieceOutlines, "PcO", "View/Hide Piece Outlines", -1},
    {frame_command::kOverview, "Over", "Open/Close Overview (O)", -1},
    {frame_command::kPreview, "Pre", "Open/Close Preview (P)", -1},
    {frame_command::kBox1, "Box1", "Open/Close Sorting Box 1 (1)", -1},
    {frame_command::kBox1 + 1, "Box2", "Open/Close Sorting Box 2 (2)", -1},
    {frame_command::kBox1 + 2, "Box3", "Open/Close Sorting Box 3 (3)", -1},
    {frame_command::kBox1 + 3, "Box4", "Open/Close Sorting Box 4 (4)", -1},
    {frame_command::kFindTool, "Find", "Find Tool (F)", 4},
    {frame_command::kPaletteUndo, "Undo", "Undo (BACKSPACE)", -1},
}};

// Where a command comes from: the frame's menus and keys, or the palette.
enum class CommandScope { Frame, Palette };

class CommandTable {
public:
    using Handler = std::function<void()>;

    // Registers (or replaces) the handler of an id; an empty handler removes it.
    void set(uint32_t id, Handler handler, CommandScope scope = CommandScope::Frame);
    // Whether the id has a handler (a palette id also through the frame's).
    bool handles(uint32_t id, CommandScope scope = CommandScope::Frame) const;
    // Runs the id's handler; false when it has none. Handlers may register
    // or remove handlers while they run.
    bool dispatch(uint32_t id, CommandScope scope = CommandScope::Frame) const;
    // Disables every entry of a composed menu whose command has no handler,
    // as a menu of the framework shows commands nobody handles.
    void disableUnhandled(std::vector<MenuItem>& menu, CommandScope scope = CommandScope::Frame) const;

private:
    const Handler* find(uint32_t id, CommandScope scope) const;
    std::unordered_map<uint32_t, Handler> frame_, palette_;
};

// Menu 131, the colour menu: "Background", "Piece Outline", "Puzzle
// Outline", "Selection Rectangle", "Restore Default".
std::vector<MenuItem> composeColourMenu();
// Menu 324 of a network game: "Check Puzzle Completion", "Incoming Messages".
std::vector<MenuItem> composeNetworkMenu();

// The recent-file entry's id for file index 0..7, and back (-1 when the id
// is not one of them).
inline uint32_t recentFileCommand(int index) { return menu_command::kFirstRecentFile + uint32_t(index); }
inline int recentFileIndex(uint32_t id) {
    return id >= menu_command::kFirstRecentFile && id < menu_command::kFirstRecentFile + 8
               ? int(id - menu_command::kFirstRecentFile)
               : -1;
}

}  // namespace pavalo
