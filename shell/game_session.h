// GameSession: the one owner of a running game, without a window system.
// It owns the model's document, the undo ring, the assist commands, the
// view controller, the compositor, the colour settings, the recent-file list
// and the command table with every command's logic (files, recut, solve,
// arrange, finds, boxes, colours, wallpaper, Exit's steps, permissions), and
// implements the seams the document, the view, completion and undo call.
// The Qt window, pavalo-tool and tests all drive a game through it; what
// only a front end can do (windows, dialogs, the palette) goes through
// SessionFrontEnd, whose defaults are a headless player's: every dialog is
// cancelled and nothing is shown.
//
// Ownership: the session owns everything it creates; the platform, the
// front end and its side-window views are the caller's and must outlive it
// (or be replaced before they go). User-interface thread only.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "display/compositor.h"
#include "display/side_window_rules.h"
#include "display/view_controller.h"
#include "media/music_settings.h"
#include "platform/platform.h"
#include "puzzle/assist_commands.h"
#include "puzzle/joining.h"
#include "puzzle/puzzle_model.h"
#include "puzzle/undo.h"
#include "shell/animated_picture.h"
#include "shell/colour_options.h"
#include "shell/command_table.h"
#include "shell/document.h"
#include "shell/dropped_files.h"
#include "shell/play_clock.h"
#include "shell/preferences.h"
#include "shell/recent_files.h"
#include "shell/recovery.h"
#include "shell/side_window_manager.h"
#include "surface/display_surface.h"

namespace pavalo {

class FindEdgesDialog;
class FindNearbyDialog;
class ColorMatchDialog;

// The tool palette's buttons as the session wants them shown.
struct PaletteState {
    int tool = 0;
    std::vector<std::pair<uint32_t, bool>> on;       // toggle buttons that are down
    std::vector<std::pair<uint32_t, bool>> enabled;  // buttons that can be pressed
    bool isOn(uint32_t id) const;
    bool isEnabled(uint32_t id) const;
};

// What the finish panel shows of a completed puzzle.
struct FinishSummary {
    int32_t pieces = 0;
    uint32_t seconds = 0;
    // New Puzzle and Play Again can be offered (a network game takes
    // them away).
    bool canStartAgain = true;
};

// The finish panel's buttons.
enum class FinishChoice { NewPuzzle, PlayAgain, Close };

// What only a front end can do. Dialogs return false or nothing when
// cancelled; the defaults cancel every dialog and show nothing.
class SessionFrontEnd {
public:
    virtual ~SessionFrontEnd() = default;

    // ---- dialogs ----
    virtual std::optional<std::string> choosePicture() { return std::nullopt; }
    virtual std::optional<PieceCountChoice> askPieceCount(const PieceCountRules&, bool /*rotate*/) {
        return std::nullopt;
    }
    // The find dialogs: the model holds the player's choices on true.
    virtual bool runFindEdges(FindEdgesDialog&) { return false; }
    virtual bool runFindNearby(FindNearbyDialog&) { return false; }
    virtual bool runColorMatch(ColorMatchDialog&) { return false; }
    // The colour chooser, opened at `current` with the 16 custom colours
    // (kept only when a colour was chosen); the chosen colour (0x00BBGGRR).
    virtual std::optional<uint32_t> chooseColour(uint32_t /*current*/, std::array<uint32_t, 16>& /*custom*/) {
        return std::nullopt;
    }
    // The palette's colour menu; the chosen command id, or 0.
    virtual uint32_t colourMenu(const std::vector<MenuItem>& /*items*/) { return 0; }
    // "Video Options": the new hardware-stretching switch, or nothing.
    virtual std::optional<bool> askVideoOptions(bool /*hardwareStretch*/) { return std::nullopt; }
    virtual void showSoundOptions() {}
    virtual void showMidiOptions() {}
    virtual void showCdOptions() {}
    virtual void showHelp() {}
    virtual void showAbout() {}
    virtual void progressOpen(const std::string& /*caption*/) {}
    virtual void progressSet(int /*percent*/, const std::string& /*caption*/) {}
    virtual void progressClose() {}
    virtual void searchingOpened(const SearchingProgress&) {}
    virtual void searchingStepped(const SearchingProgress&) {}
    virtual void searchingClosed() {}

    // ---- windows ----
    // The side windows' own windows; null: rectangles only.
    virtual SideWindowViews* sideWindowViews() { return nullptr; }
    virtual void redrawPlayArea() {}
    virtual void setTitle(const std::string& /*title*/) {}
    virtual void showPalette(const PaletteState&) {}
    virtual void togglePaletteVisible() {}
    // Moves the palette to a stored placement; false when it has none.
    virtual bool placePalette(const StoredRect& /*placement*/) { return false; }
    virtual void minimize() {}
    virtual void setHardwareStretching(bool /*on*/) {}
    // The puzzle was released by Exit: the start routine comes back once
    // the command that exited has returned.
    virtual void returnToStart() {}
    // Exit's first step: false when the game may not be left yet (the
    // front end has said why).
    virtual bool mayLeaveGame() { return true; }
    virtual void setDesktopWallpaper(const std::string& /*path*/) {}
    // Full screen or a window; the front end reports the new size through
    // GameSession::setPlayArea.
    virtual bool fullScreen() const { return false; }
    virtual void toggleFullScreen() {}
    // The puzzle was just completed, after its sounds and actions: the
    // finish panel may be shown; its choice goes to
    // GameSession::finishPanelClosed.
    virtual void puzzleFinished(const FinishSummary&) {}
};

// The saved puzzles' file filter of the Open dialogs.
inline constexpr const char* kPuzzleFileFilter = "Pavalo Puzzles (*.gvp)|*.gvp|All Files (*.*)|*.*";

// The start dialog's buttons, in their order.
enum class StartChoice { NewPuzzle = 0, OpenPuzzle = 1, Continue = 2, HostGame = 3, JoinGame = 4, Exit = 5 };

struct SessionOptions {
    // The player's data folder; empty for a session that keeps no recent
    // files (a tool working on one file).
    std::string dataFolder;
    int32_t playWidth = 1920, playHeight = 1080;
};

// The view's network seam as the session hands it out: a network game
// plugs its own in; without one the single player's answers stand.
class NetworkSeam final : public ViewNetwork {
public:
    void setTarget(ViewNetwork* target) { target_ = target ? target : &alone_; }
    bool networkGame() const override { return target_->networkGame(); }
    int localPlayer() const override { return target_->localPlayer(); }
    bool hearOtherPlayers() const override { return target_->hearOtherPlayers(); }
    bool requestHold(ListId l, int32_t p) override { return target_->requestHold(l, p); }
    void releaseHold(ListId l, int32_t p) override { target_->releaseHold(l, p); }
    void announceSelection(ListId l, int32_t p, bool s) override { target_->announceSelection(l, p, s); }
    void announceDeselectAll(ListId l) override { target_->announceDeselectAll(l); }
    void announceMove(ListId l, int32_t p, int32_t x, int32_t y) override { target_->announceMove(l, p, x, y); }
    void announceMoveSelected(ListId l, int32_t dx, int32_t dy) override { target_->announceMoveSelected(l, dx, dy); }
    void announceSelectionDropped(ListId l) override { target_->announceSelectionDropped(l); }
    void announceListChange(ListId f, ListId t, int32_t p, Point at) override {
        target_->announceListChange(f, t, p, at);
    }
    void announceSelectedListChange(ListId f, ListId t) override { target_->announceSelectedListChange(f, t); }
    void announceRotation(ListId l, int32_t p) override { target_->announceRotation(l, p); }
    void announceArrange(ListId l, const Rect& a) override { target_->announceArrange(l, a); }
    void sendDrop(ListId l, int32_t p, int32_t x, int32_t y) override { target_->sendDrop(l, p, x, y); }
    bool sharesPieces() const override { return target_->sharesPieces(); }
    void sendSolveSelected(ListId l) override { target_->sendSolveSelected(l); }

private:
    ViewNetwork alone_;
    ViewNetwork* target_ = &alone_;
};

// The assist tools' selection seam, likewise: local unless a network game
// asks the host.
class SelectorSeam final : public PieceSelector {
public:
    void setTarget(PieceSelector* target) { target_ = target ? target : &local_; }
    std::vector<int32_t> select(PuzzleModel& model, ListId list, std::span<const int32_t> pieces) override {
        return target_->select(model, list, pieces);
    }

private:
    LocalPieceSelector local_;
    PieceSelector* target_ = &local_;
};

class GameSession final : public DocumentFrontEnd,
                          public ViewDocument,
                          public ViewWindows,
                          public CompletionActions,
                          public UndoActions {
public:
    GameSession(const SessionOptions& options, Platform& platform, Random& random);
    ~GameSession() override;
    GameSession(const GameSession&) = delete;
    GameSession& operator=(const GameSession&) = delete;

    // The front end; a default (headless) one until set.
    void setFrontEnd(SessionFrontEnd* frontEnd);
    SessionFrontEnd& frontEnd() { return *frontEnd_; }

    PuzzleModel& model() { return model_; }
    Document& document() { return *document_; }
    Compositor& compositor() { return *compositor_; }
    DisplaySurface& display() { return display_; }
    ViewController& view() { return *view_; }
    AssistCommands& assist() { return *assist_; }
    UndoRing& undo() { return undo_; }
    Preferences& preferences() { return prefs_; }
    MusicSettings& music() { return music_; }
    CommandTable& commands() { return commands_; }
    ColourSettings& colours() { return colours_; }
    RecentFileList& recentFiles() { return recent_; }
    AnimatedPictures& animations() { return *animations_; }
    SideWindowManager& sideWindows() { return *sideWindows_; }
    const std::string& dataFolder() const { return dataFolder_; }

    // The play area (the view's size) changed, as when the window goes full
    // screen: the display, the buffers, the scroll limits and the side
    // windows (kept on the new screen) follow. Ignored during a network
    // game, which keeps the area it was cut in.
    void setPlayArea(int32_t width, int32_t height);

    // A network game's seams for the view and the assist tools' selections
    // (null: playing alone). They must outlive their use.
    void setNetwork(ViewNetwork* network, PieceSelector* selector) {
        network_.setTarget(network);
        selector_.setTarget(selector);
    }

    // Preferences and recent files from the data folder, and back.
    void loadSettings();
    void saveSettings();

    // Runs a command of the frame; false when nothing handles it. The title
    // follows what the command did (a new name, a save).
    bool dispatch(uint32_t id) {
        const bool ran = commands_.dispatch(id);
        refreshTitle();
        return ran;
    }
    // A palette button (palette ids first, then the frame's).
    bool pressPaletteButton(uint32_t id) {
        const bool ran = commands_.dispatch(id, CommandScope::Palette);
        refreshTitle();
        return ran;
    }
    // The window's title: the document's, with a leading "*" while it has
    // changes that are not saved.
    std::string windowTitle() const;
    // Gives the front end the title when it differs from the one shown.
    void refreshTitle();
    // A network game is running (the record says so; its assist
    // permissions and menu rules follow).
    bool networkGame() const;
    // The palette's "&Menu" entries as they are when the menu opens.
    std::vector<MenuItem> paletteMenu() const;
    // The palette's buttons for the present state, and showing them.
    PaletteState paletteState() const;
    void refreshPalette();
    // The palette's placement as the player left it, kept in the record.
    void palettePlaced(const StoredRect& placement);

    // A puzzle is shown (after the start routine): palette and windows.
    void puzzleShown();
    // The idle pass: the next frame of an animated picture or the newest due
    // frame of a movie; true when the picture changed and the windows
    // showing it were redrawn.
    bool advanceAnimatedPicture();
    // Counts changes of the picture's pixels, for windows that keep a
    // scaled copy of it.
    uint64_t pictureVersion() const { return pictureVersion_; }

    // ---- DocumentFrontEnd ----
    std::optional<std::string> choosePicture() override { return frontEnd_->choosePicture(); }
    std::optional<PieceCountChoice> askPieceCount(const PieceCountRules& rules, bool rotate) override {
        return frontEnd_->askPieceCount(rules, rotate);
    }
    void progressOpen(const std::string& caption) override { frontEnd_->progressOpen(caption); }
    void progressSet(int percent, const std::string& caption) override { frontEnd_->progressSet(percent, caption); }
    void progressClose() override { frontEnd_->progressClose(); }
    void puzzleChanged() override;
    void closeSortingBoxes() override;
    void resetSideWindows() override;
    void forgetRecentFile(const std::string& path) override;
    void addRecentFile(const std::string& path) override;
    void stampRecord(SettingsRecord& record) override;
    void puzzleSaved() override;

    // ---- ViewDocument ----
    bool puzzleExists() const override { return document_ && document_->hasPuzzle(); }
    bool rotatedPieces() const override { return document_->record().rotationOption != 0; }
    void markChanged() override;

    // ---- ViewWindows and AssistFrontEnd ----
    void redrawPlayArea() override;
    void pauseMovie(bool paused) override { animations_->pauseMovie(paused); }
    bool runCommand(uint32_t id) override { return dispatch(id); }
    void toolChanged(int tool) override;
    void toggleSortingBox(int box) override;
    void toggleOverview() override;
    void togglePreview() override;
    void toggleToolPalette() override;
    void redrawOverview() override;
    void hideSideWindows() override;
    void restoreSideWindows() override;
    Rect boxClientRect(int box) const override;
    int boxZoom(int box) const override;
    void setBoxZoom(int box, int zoom) override;
    void boxContentsChanged(int box) override;
    bool isBoxOpen(int box) const override;
    void openBox(int box) override;
    Rect boxClientArea(int box) const override;
    void resetBoxScroll(int box) override;
    void setBoxCaption(int box, const std::string& caption) override;
    void redrawBox(int box) override;
    void searchingOpened(const SearchingProgress& progress) override { frontEnd_->searchingOpened(progress); }
    void searchingStepped(const SearchingProgress& progress) override { frontEnd_->searchingStepped(progress); }
    void searchingClosed() override { frontEnd_->searchingClosed(); }

    // ---- CompletionActions ----
    void centreView() override;
    void refreshTitleAndStatus() override;
    void disableAssistTools() override;
    void closePreviewAndOverview() override;
    void refreshStatusAndSortingBoxes() override;

    // ---- UndoActions ----
    void restoreWindows(const SettingsRecord& record) override;
    void refreshToolPalette() override { refreshPalette(); }

    // ---- starting and ending ----
    // The puzzle "Continue" reopens: the last puzzle's path while that file
    // still exists.
    std::optional<std::string> continuePath() const;
    // Carries out a choice of the start dialog (Exit and the network games
    // do nothing here); true when a puzzle is ready.
    bool runStartChoice(StartChoice choice);
    // Whether a dropped file would be taken now: a saved puzzle while "Open"
    // is available, a picture while "New" is (a network game takes them
    // away).
    bool acceptsDroppedFile(const DroppedFile& file) const;
    // A file dropped on the start dialog or the play area: after the question
    // to save the puzzle in progress, a saved puzzle opens and a picture
    // starts a new puzzle of it (the piece-count dialog first). True when a
    // puzzle and its picture are ready.
    bool openDroppedFile(const DroppedFile& file);
    // The window's close box: false when the player keeps the game (the
    // save question was cancelled); otherwise the exit sound plays.
    bool closeRequested();

    // Ended from outside (a signal, the desktop's logout): a puzzle that
    // closing would lose is kept in the data folder's recovery file, without
    // a question. False when it could not be written (`error` says why).
    bool keepPuzzleForNextStart(std::string& error);
    // The start: offers the puzzle kept at the last end from outside; true
    // when it is now the open puzzle.
    bool offerKeptPuzzle();

    // ---- play time, progress and autosave ----
    // The play clock counts while a puzzle is in play; the front end holds
    // it while the window is minimised or a modal dialog is open.
    void holdClock(ClockHold reason, bool held) { clock_.hold(reason, held); }
    const PlayClock& clock() const { return clock_; }
    void setClock(PlayClock clock);
    // "placed / total pieces   time", or empty without a puzzle.
    std::string progressText() const;
    // The finish panel's choice: a new puzzle, the same picture cut again,
    // or nothing.
    void finishPanelClosed(FinishChoice choice);
    // Keeps the puzzle in progress in the data folder's recovery file when
    // it changed since the last time and closing would lose it. The bytes
    // are made here, the file is written in the background. False when the
    // previous autosave could not be written (`error` says why).
    bool autosave(std::string& error);
    // Waits for the autosave being written; false when it failed.
    bool finishAutosave(std::string& error);

    // Exit: the document closes (its save prompt may cancel), the side
    // windows and the palette go, and the start routine comes back. False
    // when the player cancelled.
    bool exitGame();

private:
    void registerCommands();
    AssistAllowances allowances() const;
    void setToolChecked(int tool);
    void chooseColour(ColourItem item);
    void colourOptionsChanged();
    void saveWallpaper();
    void openPuzzle();
    void openRecent(int index);
    void findEdges();
    void findNearby();
    void findByColour();
    void solveSelected();
    void arrange();
    void showVideoOptions();
    // The clock runs while a puzzle exists and is not completed.
    void followPuzzleState();
    void discardAutosave();

    std::string dataFolder_;
    Platform& platform_;
    Random& random_;
    SessionFrontEnd headless_;
    SessionFrontEnd* frontEnd_ = &headless_;
    PuzzleModel& model_;
    UndoRing undo_;
    Preferences prefs_;
    MusicSettings music_;
    DisplaySurface display_;
    // Made before the colour settings, which refer to its state.
    std::unique_ptr<Compositor> compositor_ = std::make_unique<Compositor>(display_);
    std::unique_ptr<AnimatedPictures> animations_;
    std::unique_ptr<Document> document_;
    SelectorSeam selector_;
    NetworkSeam network_;
    std::unique_ptr<AssistCommands> assist_;
    std::unique_ptr<ViewController> view_;
    CommandTable commands_;
    ColourSettings colours_;
    std::unique_ptr<SideWindowManager> sideWindows_;
    RecentFileList recent_;
    std::string recentPath_;
    std::string shownTitle_;  // the title last given to the front end
    bool assistDisabled_ = false;
    uint64_t pictureVersion_ = 0;
    PlayClock clock_;
    uint64_t clockSerial_ = 0;     // the document's puzzle the clock belongs to
    bool finishPending_ = false;   // completed; the panel not yet offered
    uint64_t changes_ = 1;         // counts changes, for the autosave
    uint64_t autosaved_ = 0;       // the count the last autosave wrote
    std::unique_ptr<RecoveryWriter> recovery_;  // none without a data folder
};

}  // namespace pavalo
