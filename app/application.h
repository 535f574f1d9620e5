// Application: the program's life — start-up in order, the start dialog, the
// idle work, and shutdown. It owns the game session (the running game), the
// windows and the audio; the frame is the session's front end.
#pragma once

#include <QObject>
#include <QSize>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>
#include <optional>
#include <string>

#include "app/qt_platform.h"
#include "net/lobby_launch.h"
#include "net/net_layer.h"
#include "shell/game_session.h"

class QLocalServer;

namespace pavalo {

class GameWindow;
class AudioSession;
class FrameController;
class EndSignals;
class NetworkGame;
class NetworkPlay;
namespace net {
class ChatSink;
}

struct LaunchOptions {
    QSize window;                        // empty: full screen
    std::optional<std::string> newPicture;
    std::optional<int32_t> pieces;
    std::optional<uint32_t> seed;
    bool rotate = false;
    std::optional<std::string> openFile;
    // Starts with the picture chooser of a new puzzle instead of the start
    // dialog (the desktop entry's "New Puzzle from Picture").
    bool choosePicture = false;
    // Saves a picture of the window once the puzzle is shown, then quits.
    std::optional<std::string> screenshot;
    // With the screenshot: a second one 600 ms after the first.
    std::optional<std::string> secondScreenshot;
    // Started by a lobby program (--lobby HOST:PORT and the connection
    // settings): the game the lobby sets up starts without the start
    // dialog, and the program ends with it.
    std::optional<net::LobbyRole> lobby;
    // Where network games bind (--port, --bind, --discovery-port).
    std::optional<net::NetSettings> net;
};

// Parses the command line; false with a message on a bad one.
bool parseLaunchOptions(const QStringList& args, LaunchOptions& out, QString& error);

class Application : public QObject {
    Q_OBJECT
public:
    explicit Application(LaunchOptions options);
    ~Application() override;

    // Runs the start-up steps; false when the program must end (another copy
    // runs, or the runtime is too old).
    bool start();
    // start() found another copy running (and brought it to the front).
    bool anotherCopyRuns() const { return anotherCopyRuns_; }
    // Ends as the window's close does, without questions: a puzzle that
    // closing would lose is kept for the next start, the preferences are
    // written and the event loops end (a SIGTERM, SIGINT or SIGHUP).
    void endWithoutQuestions();
    // Ends the game: preferences written, everything released.
    void shutdown();

    // The running game; it exists from start() to shutdown().
    GameSession& session() { return *session_; }
    Document& document() { return session_->document(); }
    GameWindow& window() { return *window_; }
    Compositor& compositor() { return session_->compositor(); }
    PuzzleModel& model() { return session_->model(); }
    QtPlatform& platform() { return *platform_; }
    ViewController& view() { return session_->view(); }
    // Sound effects and music; null before start-up and after shutdown.
    AudioSession* audio() { return audio_.get(); }
    // The frame: palette, side windows, dialogs.
    FrameController& frame() { return *frame_; }
    Preferences& preferences() { return session_->preferences(); }
    AssistCommands& assist() { return session_->assist(); }
    const std::string& dataFolderPath() const { return dataFolder_; }
    void markChanged() { session_->markChanged(); }

    // The start routine: the start dialog until a puzzle exists or the player
    // leaves.
    void runStartRoutine();
    // Redraws everything after the puzzle, picture or display changed.
    void refreshAll() { session_->redrawPlayArea(); }
    // Work for the idle pass while a puzzle is shown (moving pictures,
    // animations, the network's resend pass).
    void addIdleTask(std::function<void()> task) { idleTasks_.push_back(std::move(task)); }
    // The frame's command dispatch; the network message command goes to
    // the network game.
    bool dispatchCommand(uint32_t id);

    // A network game in this window: the set-up calls it with its hooks,
    // opens or joins a session on the layer and starts the game; the game
    // session then plays the shared puzzle. One at a time: attaching again
    // replaces the one before (which leaves its session).
    NetworkGame& attachNetworkGame(net::NetHooks hooks = {}, net::ChatSink* chat = nullptr);
    void detachNetworkGame();
    NetworkGame* networkGame() { return network_.get(); }
    // The start dialog's "Host a Game" and "Join a Game": the set-up in the
    // window; true when the game runs.
    bool runNetworkGame(bool host, std::optional<uint32_t> seed = std::nullopt);
    // Where network games bind and search (tests keep them on loopback).
    void setNetSettings(const net::NetSettings& settings) { netSettings_ = settings; }
    // The game played from the start dialog, while it lasts.
    NetworkPlay* networkPlay() { return netPlay_.get(); }
    // Exit left the game: the session is left at once, the rest goes when
    // the start dialog comes back.
    void leaveNetworkGame();
    // The lobby launch's start: the game settings asked of the lobby, its
    // picture found or downloaded (the progress window, with Abort), the
    // puzzle cut and the game entered as host or player as the lobby said.
    // False, after the message, when any of it failed or was aborted.
    bool runLobbyStart();
    bool lobbyLaunched() const { return options_.lobby.has_value(); }
    // What a second copy asks of this one: the window back from the task
    // bar, as it was (full screen stays full screen), in front.
    void bringToFront();

signals:
    void puzzleReady();

protected:
    // Watches the game window being blocked by a modal window and freed
    // again, which stops and restarts a playing movie.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool claimSingleInstance();
    void inhibitScreenSaver(bool inhibit);
    void idleTick();
    void requestClose();
    void takeScreenshotAndQuit();
    // A lobby-launched host's last status reply, before its session closes.
    void finishLobbyGame();

    LaunchOptions options_;
    std::string dataFolder_;
    std::unique_ptr<QtPlatform> platform_;
    std::unique_ptr<GameSession> session_;
    std::unique_ptr<GameWindow> window_;
    std::unique_ptr<QLocalServer> instanceServer_;
    std::unique_ptr<AudioSession> audio_;
    std::unique_ptr<FrameController> frame_;
    std::unique_ptr<EndSignals> endSignals_;
    std::unique_ptr<net::LobbyClient> lobby_;  // outlives the network game that answers it
    std::atomic<uint32_t> lobbyGameType_{0};   // what the status replies report
    bool lobbyStarted_ = false;
    std::unique_ptr<NetworkGame> network_;  // goes before the session
    std::unique_ptr<NetworkPlay> netPlay_;  // goes before the network game it uses
    std::optional<net::NetSettings> netSettings_;
    QTimer idle_;
    std::vector<std::function<void()>> idleTasks_;
    uint32_t screenSaverCookie_ = 0;
    bool multiplayer_ = false;
    bool shutDown_ = false;
    bool anotherCopyRuns_ = false;
    bool ending_ = false;
    bool splashShown_ = false;  // the start-up splash plays once, at the first start
};

}  // namespace pavalo
