// "Save Puzzle as Wallpaper": the whole play area at zoom x1 as the view
// would show it (background colour, the assembled picture's frame in the
// puzzle-outline colour, the Finished list and then the Main list; pieces in
// sorting boxes are left out), always written as a 24-bit BMP named
// "Pavalo Background.bmp" in the backgrounds folder
// ($XDG_DATA_HOME/backgrounds, else ~/.local/share/backgrounds). Setting it
// as the desktop's wallpaper is the front end's part. No Qt.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "surface/draw_surface.h"
#include "display/piece_renderer.h"
#include "puzzle/puzzle_model.h"

namespace pavalo {

inline constexpr std::string_view kWallpaperFileName = "Pavalo Background.bmp";

// The backgrounds folder: $XDG_DATA_HOME/backgrounds when that is an
// absolute path, else home/.local/share/backgrounds; empty when neither is
// known.
std::string wallpaperFolder(std::string_view xdgDataHome, std::string_view home);
// The folder, a slash when it does not end in one, then the file name.
std::string wallpaperPath(std::string_view folder);

// Composes the play area (the model's play-area size) in `like`'s pixel
// format with the renderer's colours and switches, then copies it into
// `out` at 24 bits. False without a back buffer, a picture or a puzzle.
bool composeWallpaper(const PieceRenderer& renderer, const PuzzleModel& model, DrawSurface* picture,
                      const DrawSurface& like, DrawSurface& out);

// composeWallpaper, then the BMP at `path` (its folder made when missing).
// False, silently, when anything fails; the file is then as it was.
bool saveWallpaper(const PieceRenderer& renderer, const PuzzleModel& model, DrawSurface* picture,
                   const DrawSurface& like, const std::string& path);

}  // namespace pavalo

namespace pavalo {

// ---- setting it on the desktop ----------------------------------------------------

// One program run: its name (looked up on PATH) and arguments.
struct DesktopCommand {
    std::string program;
    std::vector<std::string> arguments;
    bool operator==(const DesktopCommand&) const = default;
};
struct DesktopCommandResult {
    bool ran = false;  // the program was found and ended by itself
    int status = -1;   // its exit status
    std::string output;
};
// Runs programs for the wallpaper setting; the game's runs them for real,
// tests record them instead so that the desktop is left alone.
struct DesktopCommands {
    std::function<bool(const std::string& program)> exists;
    std::function<DesktopCommandResult(const DesktopCommand&)> run;
};

// Sets the BMP at `path` as the wallpaper the way the desktop named by
// `currentDesktop` (XDG_CURRENT_DESKTOP: names separated by ':') offers:
// GNOME-like desktops, Cinnamon and MATE through gsettings, KDE Plasma
// through plasma-apply-wallpaperimage or qdbus, XFCE through xfconf-query
// (every monitor and workspace). Empty when it was set; otherwise a
// sentence for the player saying why not and where the picture is.
std::string setDesktopWallpaper(const std::string& path, const std::string& currentDesktop,
                                const DesktopCommands& commands);

}  // namespace pavalo
