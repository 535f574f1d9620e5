// Application: the program's life — start-up in order, the start dialog, the
// idle work, and shutdown. It owns the model, the document, the display, the
// compositor and the windows, and is the document's front end.
#pragma once

#include <QObject>
#include <QSize>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>
#include <optional>
#include <string>

#include "app/piece_count_dialog.h"
#include "app/qt_platform.h"
#include "display/compositor.h"
#include "surface/display_surface.h"
#include "display/view_controller.h"
#include "puzzle/assist_commands.h"
#include "puzzle/assist_tools.h"
#include "puzzle/puzzle_model.h"
#include "puzzle/undo.h"
#include "shell/animated_picture.h"
#include "shell/document.h"
#include "media/music_settings.h"
#include "shell/preferences.h"

class QLocalServer;

namespace pavalo {

class GameWindow;
class ProgressWindow;
class AudioSession;
class FrameController;

struct LaunchOptions {
    QSize window;                        // empty: full screen
    std::optional<std::string> newPicture;
    std::optional<int32_t> pieces;
    std::optional<uint32_t> seed;
    bool rotate = false;
    std::optional<std::string> openFile;
    // Saves a picture of the window once the puzzle is shown, then quits.
    std::optional<std::string> screenshot;
};

// Parses the command line; false with a message on a bad one.
bool parseLaunchOptions(const QStringList& args, LaunchOptions& out, QString& error);

class Application : public QObject,
                    public DocumentFrontEnd,
                    public ViewDocument,
                    public ViewWindows,
                    public CompletionActions,
                    public UndoActions {
    Q_OBJECT
public:
    explicit Application(LaunchOptions options);
    ~Application() override;

    // Runs the start-up steps; false when the program must end (another copy
    // runs, or the runtime is too old).
    bool start();
    // Ends the game: preferences written, everything released.
    void shutdown();

    Document& document() { return *document_; }
    GameWindow& window() { return *window_; }
    Compositor& compositor() { return *compositor_; }
    PuzzleModel& model() { return model_; }
    QtPlatform& platform() { return *platform_; }
    ViewController& view() { return *view_; }
    // Sound effects and music; null before start-up and after shutdown.
    AudioSession* audio() { return audio_.get(); }
    // The frame: palette, menus, command table, side windows, dialogs.
    FrameController& frame() { return *frame_; }
    Preferences& preferences() { return prefs_; }
    AssistCommands& assist() { return *assist_; }
    const std::string& dataFolderPath() const { return dataFolder_; }

    // The start routine: the start dialog until a puzzle exists or the player
    // leaves.
    void runStartRoutine();
    // Redraws everything after the puzzle, picture or display changed.
    void refreshAll();
    // Work for the idle pass while a puzzle is shown (moving pictures,
    // animations, the network's resend pass).
    void addIdleTask(std::function<void()> task) { idleTasks_.push_back(std::move(task)); }

    // DocumentFrontEnd
    std::optional<std::string> choosePicture() override;
    std::optional<PieceCountChoice> askPieceCount(const PieceCountRules& rules, bool rotate) override;
    void progressOpen(const std::string& caption) override;
    void progressSet(int percent, const std::string& caption) override;
    void progressClose() override;
    void puzzleChanged() override;
    void closeSortingBoxes() override;
    void resetSideWindows() override;
    void forgetRecentFile(const std::string& path) override;
    void addRecentFile(const std::string& path) override;

    // ViewDocument
    bool puzzleExists() const override;
    bool rotatedPieces() const override;
    void markChanged() override;

    // ViewWindows (and the assist commands' front end)
    void redrawPlayArea() override;
    bool runCommand(uint32_t id) override;
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
    void searchingOpened(const SearchingProgress& progress) override;
    void searchingStepped(const SearchingProgress& progress) override;
    void searchingClosed() override;

    // CompletionActions
    void centreView() override;
    void refreshTitleAndStatus() override;
    void disableAssistTools() override;
    void closePreviewAndOverview() override;
    void refreshStatusAndSortingBoxes() override;

    // UndoActions
    void restoreWindows(const SettingsRecord& record) override;
    void refreshToolPalette() override;

    // The frame's command dispatch.
    bool dispatchCommand(uint32_t id);

signals:
    void puzzleReady();

private:
    bool claimSingleInstance();
    void inhibitScreenSaver(bool inhibit);
    void idleTick();
    void requestClose();
    void takeScreenshotAndQuit();
    void advanceAnimatedPicture();

    LaunchOptions options_;
    PuzzleModel& model_;
    UndoRing undo_;
    Preferences prefs_;
    MusicSettings music_;
    std::string dataFolder_;
    DisplaySurface display_;
    std::unique_ptr<Compositor> compositor_;
    std::unique_ptr<QtPlatform> platform_;
    std::unique_ptr<AnimatedPictures> animations_;
    std::unique_ptr<Document> document_;
    std::unique_ptr<GameWindow> window_;
    std::unique_ptr<ProgressWindow> progress_;
    std::unique_ptr<QLocalServer> instanceServer_;
    LocalPieceSelector selector_;
    ViewNetwork network_;
    std::unique_ptr<AssistCommands> assist_;
    std::unique_ptr<ViewController> view_;
    std::unique_ptr<AudioSession> audio_;
    std::unique_ptr<FrameController> frame_;
    QTimer idle_;
    std::vector<std::function<void()>> idleTasks_;
    PieceCountMemory pieceMemory_;
    uint32_t screenSaverCookie_ = 0;
    bool multiplayer_ = false;
    bool shutDown_ = false;
    bool splashShown_ = false;  // the start-up splash plays once, at the first start
};

}  // namespace pavalo
