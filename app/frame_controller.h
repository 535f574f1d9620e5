// FrameController: the Qt half of the main frame — the tool palette widget,
// the side windows, the dialogs, the "Searching" window, help and the
// desktop's wallpaper setting. It is the game session's front end: the
// session decides what every command does and the frame only shows what it
// is told and asks the player what the session needs to know.
#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "app/piece_count_dialog.h"
#include "app/side_windows.h"
#include "app/tool_palette.h"
#include "shell/game_session.h"

class QLabel;

namespace pavalo {

class Application;
class HelpWindow;
class ProgressWindow;
class SearchingWindow;

class FrameController : public QObject, public SessionFrontEnd {
    Q_OBJECT
public:
    explicit FrameController(Application& app);
    ~FrameController() override;

    ToolPalette& palette() { return *palette_; }
    SideWindows& sideWindowsWidget() { return *sideWindows_; }
    RecentFileList& recentFiles();
    SearchingWindow* searchingWindow() const { return searching_; }
    HelpWindow* helpWindow() const { return help_; }
    // The line over the play area's corner with the placed pieces and the
    // play time.
    QLabel* statusLine() const { return status_; }
    // Refreshes the status line and holds the play clock while the window
    // is minimised or a modal dialog is open (a timer does this twice a
    // second).
    void updateStatus();

    // Runs a command of the session; false when nothing handles it.
    bool dispatch(uint32_t id);
    std::vector<MenuItem> paletteMenu() const;
    void addRecentFile(const std::string& path);
    // Shows the palette for a puzzle that is shown again.
    void showPuzzlePalette();

    // The widget a window id paints into.
    QWidget* widgetFor(WindowId id) const;
    // The desktop's wallpaper setting; tests replace it.
    std::function<void(const std::string& path)> setWallpaper;

    // ---- SessionFrontEnd ----
    std::optional<std::string> choosePicture() override;
    std::optional<PieceCountChoice> askPieceCount(const PieceCountRules& rules, bool rotate) override;
    bool runFindEdges(FindEdgesDialog& model) override;
    bool runFindNearby(FindNearbyDialog& model) override;
    bool runColorMatch(ColorMatchDialog& model) override;
    std::optional<uint32_t> chooseColour(uint32_t current, std::array<uint32_t, 16>& custom) override;
    uint32_t colourMenu(const std::vector<MenuItem>& items) override;
    std::optional<bool> askVideoOptions(bool hardwareStretch) override;
    void showSoundOptions() override;
    void showMidiOptions() override;
    void showCdOptions() override;
    void showHelp() override;
    void showAbout() override;
    void progressOpen(const std::string& caption) override;
    void progressSet(int percent, const std::string& caption) override;
    void progressClose() override;
    void searchingOpened(const SearchingProgress& progress) override;
    void searchingStepped(const SearchingProgress& progress) override;
    void searchingClosed() override;
    SideWindowViews* sideWindowViews() override { return sideWindows_.get(); }
    void redrawPlayArea() override;
    void setTitle(const std::string& title) override;
    void showPalette(const PaletteState& state) override;
    void togglePaletteVisible() override;
    bool placePalette(const StoredRect& placement) override;
    void minimize() override;
    void setHardwareStretching(bool on) override;
    void returnToStart() override;
    bool mayLeaveGame() override;
    void setDesktopWallpaper(const std::string& path) override;
    bool fullScreen() const override;
    void toggleFullScreen() override;
    void puzzleFinished(const FinishSummary& summary) override;

private:
    GameSession& session() const;
    void savePalettePlacement();
    void applicationStateChanged(Qt::ApplicationState state);
    void runDebugCommands();

    Application& app_;
    ToolPalette* palette_;
    std::unique_ptr<SideWindows> sideWindows_;
    SearchingWindow* searching_ = nullptr;  // children of the game window
    HelpWindow* help_ = nullptr;
    ProgressWindow* progress_ = nullptr;
    PieceCountMemory pieceMemory_;
    bool debugCommandsRun_ = false;
    QLabel* status_ = nullptr;
    QTimer statusTimer_;
    QTimer autosaveTimer_;
};

}  // namespace pavalo
