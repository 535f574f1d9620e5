// Every command id of the game's menus, tool palette and keys, and the plain
// menu entry that menus are composed of. The ids are fixed numbers: the menus,
// the palette, the keys and the command table all use these names.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pavalo {

// Ids of the menus' entries.
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
// Full screen or a window (F11).
inline constexpr uint32_t kFullScreen = 32852;
inline constexpr uint32_t kAbout = 57664;
inline constexpr uint32_t kExit = 1062;
}  // namespace menu_command

// Ids of the tool palette, the colour menu and the network menu.
namespace frame_command {
// Palette buttons (palette scope).
inline constexpr uint32_t kPaletteNew = 1167;
inline constexpr uint32_t kPaletteExit = 1062;
inline constexpr uint32_t kArrow = 1046;
inline constexpr uint32_t kColors = 1043;
inline constexpr uint32_t kArrangeTool = 1044;
inline constexpr uint32_t kSolveTool = 1045;
inline constexpr uint32_t kZoomTool = 1058;
inline constexpr uint32_t kHide = 1059;
inline constexpr uint32_t kPuzzleOutline = 32785;
inline constexpr uint32_t kPieceOutlines = 32820;
inline constexpr uint32_t kOverview = 32819;
inline constexpr uint32_t kPreview = 32779;
inline constexpr uint32_t kBox1 = 32781;  // kBox1 + 0..3
inline constexpr uint32_t kFindTool = 32786;
inline constexpr uint32_t kPaletteUndo = 32787;
// Menu 131, the colour menu.
inline constexpr uint32_t kBackgroundColour = 32815;
inline constexpr uint32_t kPieceOutlineColour = 32816;
inline constexpr uint32_t kPuzzleOutlineColour = 32835;
inline constexpr uint32_t kSelectionColour = 32817;
inline constexpr uint32_t kRestoreDefaultColours = 32834;
// Menu 324, network games.
inline constexpr uint32_t kIncomingMessages = 32844;
}  // namespace frame_command

// View commands without a menu entry of their own.
namespace view_command {
inline constexpr uint32_t kPieceNumber = 32821;  // the key 8
// The view's zooms below x1 (the view menu's "Zoom" popup, keys - and 0).
inline constexpr uint32_t kZoomHalf = 33101, kZoomQuarter = 33102, kZoomEighth = 33103, kZoomFit = 33104;
}

// One menu entry; a popup has id 0 and its entries in `items`.
struct MenuItem {
    uint32_t id = 0;
    std::string text;
    bool enabled = true;
    bool checked = false;
    std::string statusPrompt;  // shown in the status line while highlighted
    std::string shortcut;      // the desktop key shown beside the entry ("Ctrl+S"), if any
    std::vector<MenuItem> items;

    bool isPopup() const { return id == 0; }
    bool operator==(const MenuItem&) const = default;
};

}  // namespace pavalo
