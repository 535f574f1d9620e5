// FrameController: the main frame's part of the game — the tool palette, the
// menus, the one command table every command id goes through, the side
// windows, the assist tools' dialogs and "Searching" window, the colour
// options and wallpaper, help and about, the recent-file list, Exit and
// Undo. The Application owns one and forwards to it the window calls of the
// view controller, the assist commands, the document and the undo ring.
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>

#include "app/side_windows.h"
#include "app/tool_palette.h"
#include "shell/dialogs/assist_dialogs.h"
#include "shell/colour_options.h"
#include "shell/command_table.h"
#include "shell/recent_files.h"

namespace pavalo {

class Application;
class HelpWindow;
class SearchingWindow;

class FrameController : public QObject {
    Q_OBJECT
public:
    explicit FrameController(Application& app);
    ~FrameController() override;

    CommandTable& commands() { return commands_; }
    ToolPalette& palette() { return *palette_; }
    SideWindows& sideWindows() { return *sideWindows_; }
    ColourSettings& colours() { return colours_; }
    RecentFileList& recentFiles() { return recent_; }
    SearchingWindow* searchingWindow() const { return searching_; }
    HelpWindow* helpWindow() const { return help_; }

    // Runs a command of the frame; false when nothing handles it.
    bool dispatch(uint32_t id) { return commands_.dispatch(id); }
    // A palette button (palette ids first, then the frame's).
    bool pressPaletteButton(uint32_t id) { return commands_.dispatch(id, CommandScope::Palette); }
    // The "&Menu" entries as they are when the menu opens.
    std::vector<MenuItem> paletteMenu() const;

    // ---- what the view, the assist commands and the document ask ----
    void refreshPalette();
    void toggleToolPalette();
    void showPalette();
    bool restorePalettePlacement();
    void disableAssistTools();
    // A new puzzle, an open or a recut: tool back to the arrow, the preview
    // and the overview closed, the assist buttons enabled again.
    void resetSideWindows();
    void searchingOpened(const SearchingProgress& progress);
    void searchingStepped(const SearchingProgress& progress);
    void searchingClosed();
    void addRecentFile(const std::string& path);
    void forgetRecentFile(const std::string& path);
    // A puzzle is shown again (after a cut or an open).
    void puzzleShown();

    // The widget a window id paints into.
    QWidget* widgetFor(WindowId id) const;

    // Exit: the document closes (its save prompt may cancel), the side
    // windows and the palette go, and the start dialog comes back.
    void exitGame();
    // The desktop's wallpaper setting; tests replace it.
    std::function<void(const std::string& path)> setDesktopWallpaper;

private:
    void registerCommands();
    void chooseColour(ColourItem item);
    void colourOptionsChanged();
    void saveWallpaper();
    void openPuzzle();
    void openRecent(int index);
    void findEdges();
    void findNearby();
    void findByColour();
    void setToolChecked(int tool);
    void showHelp();
    // The palette's placement in the settings record, kept after every drag
    // and brought back by an undo and an open. Restoring does nothing (false)
    // when the record holds no placement.
    void savePalettePlacement();
    void showVideoOptions();
    void applicationStateChanged(Qt::ApplicationState state);
    void runDebugCommands();

    Application& app_;
    CommandTable commands_;
    ColourSettings colours_;
    RecentFileList recent_;
    std::string recentPath_;
    ToolPalette* palette_;
    std::unique_ptr<SideWindows> sideWindows_;
    SearchingWindow* searching_ = nullptr;  // children of the game window
    HelpWindow* help_ = nullptr;
    bool assistDisabled_ = false;
    bool debugCommandsRun_ = false;
};

}  // namespace pavalo
