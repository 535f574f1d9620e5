// Start-up, the start routine, idle work and shutdown.
#include "app/application.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QCursor>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDir>
#include <QFileDialog>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QScreen>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "app/audio_session.h"
#include "app/end_signals.h"
#include "app/frame_controller.h"
#include "app/game_window.h"
#include "app/lobby_progress_window.h"
#include "app/network_game.h"
#include "app/network_play.h"
#include "app/play_view.h"
#include "app/start_dialog.h"
#include "app/startup_splash.h"
#include "common/random.h"
#include "common/sound_events.h"
#include "net/lobby_front_end.h"
#include "surface/display_modes.h"
#include "media/bmp.h"
#include "shell/data_folder.h"
#include "shell/runtime_probe.h"

namespace pavalo {
namespace {

constexpr const char* kNoTrueColour =
    "Your video card does not support a 16, 24, or 32 bit true-color mode at the current resolution, "
    "so you will be unable to load 24 bit .BMP files or animations.  In order to play with 24 bit "
    "files, you must switch to a resolution that supports true-color modes using the Display "
    "Properties control panel.";

bool parseSize(const QString& text, QSize& out) {
    const QStringList parts = text.split('x');
    bool okW = false, okH = false;
    if (parts.size() != 2) return false;
    const int w = parts[0].toInt(&okW), h = parts[1].toInt(&okH);
    if (!okW || !okH || w < 320 || h < 240 || w > 16384 || h > 16384) return false;
    out = QSize(w, h);
    return true;
}

// The folder of the content installed with the program (gfx/, samples/):
// PAVALO_SHARE, else share/pavalo beside the program's bin folder, else the
// build tree the program was built in.
QString bundledContentFolder() {
    if (qEnvironmentVariableIsSet("PAVALO_SHARE")) return qEnvironmentVariable("PAVALO_SHARE");
    const QDir bin(QCoreApplication::applicationDirPath());
    for (const QString& candidate : {bin.filePath("../share/pavalo"), bin.filePath("..")})
        if (QFileInfo::exists(candidate + "/gfx/tile.bmp")) return QDir::cleanPath(candidate);
    return {};
}

// A fresh data folder receives the background tile and the sample pictures
// the program ships; files already there are left alone.
void installBundledContent(const std::string& dataFolder) {
    const QString source = bundledContentFolder();
    if (source.isEmpty()) return;
    const QString target = QString::fromStdString(dataFolder);
    for (const QString& sub : {QStringLiteral("gfx"), QStringLiteral("samples")}) {
        const QDir from(source + "/" + sub);
        if (!from.exists()) continue;
        QDir().mkpath(target + "/" + sub);
        for (const QString& name : from.entryList(QDir::Files))
            if (!QFileInfo::exists(target + "/" + sub + "/" + name))
                QFile::copy(from.filePath(name), target + "/" + sub + "/" + name);
    }
}

}  // namespace

bool parseLaunchOptions(const QStringList& args, LaunchOptions& out, QString& error) {
    bool positionalSeen = false;
    // The lobby's connection settings, complete only with --lobby.
    std::optional<net::LobbyRole> role;
    auto lobbyRole = [&]() -> net::LobbyRole& {
        if (!role) role = net::LobbyRole{};
        return *role;
    };
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (!a.startsWith('-')) {
            // A bare file name, as a file manager passes it: a saved puzzle is
            // opened, anything else is the picture of a new puzzle (--pieces,
            // --seed and --rotate apply as with --new).
            if (positionalSeen) {
                error = "more than one file named: " + a;
                return false;
            }
            positionalSeen = true;
            if (a.endsWith(".gvp", Qt::CaseInsensitive))
                out.openFile = a.toStdString();
            else
                out.newPicture = a.toStdString();
        } else if (a == "--rotate") {
            out.rotate = true;
        } else if (a == "--choose-picture") {
            out.choosePicture = true;
        } else if (!hasValue) {
            error = "missing value after " + a;
            return false;
        } else if (a == "--window") {
            if (!parseSize(args[++i], out.window)) {
                error = "--window takes WxH, at least 320x240";
                return false;
            }
        } else if (a == "--new") {
            out.newPicture = args[++i].toStdString();
        } else if (a == "--pieces") {
            bool ok = false;
            const int n = args[++i].toInt(&ok);
            if (!ok || n < 1) {
                error = "--pieces takes a piece count";
                return false;
            }
            out.pieces = n;
        } else if (a == "--seed") {
            bool ok = false;
            const uint seed = args[++i].toUInt(&ok);
            if (!ok) {
                error = "--seed takes a number";
                return false;
            }
            out.seed = seed;
        } else if (a == "--open") {
            out.openFile = args[++i].toStdString();
        } else if (a == "--lobby") {
            std::string why;
            const std::optional<net::LobbyAddress> address = net::parseLobbyAddress(args[++i].toStdString(), why);
            if (!address) {
                error = "--lobby takes HOST:PORT: " + QString::fromStdString(why);
                return false;
            }
            lobbyRole().lobby = *address;
        } else if (a == "--join") {
            net::LobbyRole& role = lobbyRole();
            if (!net::parseJoinAddress(args[++i].toStdString(), role.joinAddress, role.joinPort)) {
                error = "--join takes ADDRESS:PORT";
                return false;
            }
            role.host = false;
        } else if (a == "--name") {
            lobbyRole().sessionName = args[++i].toStdString();
        } else if (a == "--player") {
            lobbyRole().playerName = args[++i].toStdString();
        } else if (a == "--team") {
            bool ok = false;
            const uint team = args[++i].toUInt(&ok);
            if (!ok || team > 255) {
                error = "--team takes a team number";
                return false;
            }
            lobbyRole().team = team;
        } else if (a == "--port" || a == "--discovery-port") {
            bool ok = false;
            const uint port = args[++i].toUInt(&ok);
            if (!ok || port > 65535) {
                error = a + " takes a port number";
                return false;
            }
            if (!out.net) out.net = net::NetSettings{};
            (a == "--port" ? out.net->port : out.net->discoveryPort) = uint16_t(port);
        } else if (a == "--bind") {
            if (!out.net) out.net = net::NetSettings{};
            out.net->bindAddress = args[++i].toStdString();
        } else if (a == "--screenshot") {
            out.screenshot = args[++i].toStdString();
        } else if (a == "--second-screenshot") {
            out.secondScreenshot = args[++i].toStdString();
        } else {
            error = "unknown option " + a;
            return false;
        }
    }
    if (role && role->lobby.port == 0) {
        error = "--join, --name, --player and --team are a lobby's: they need --lobby HOST:PORT";
        return false;
    }
    out.lobby = role;
    return true;
}

Application::Application(LaunchOptions options) : options_(std::move(options)) {}

Application::~Application() { shutdown(); }

bool Application::claimSingleInstance() {
    // One copy per data folder: a second copy asks the first to come forward.
    const QByteArray key = QCryptographicHash::hash(QByteArray::fromStdString(dataFolder_), QCryptographicHash::Sha1);
    const QString name = "pavalo-" + QString::fromLatin1(key.toHex().left(16));
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(300)) {
        probe.write("raise\n");
        probe.waitForBytesWritten(300);
        return false;
    }
    QLocalServer::removeServer(name);
    instanceServer_ = std::make_unique<QLocalServer>();
    if (instanceServer_->listen(name)) {
        connect(instanceServer_.get(), &QLocalServer::newConnection, this, [this] {
            while (QLocalSocket* s = instanceServer_->nextPendingConnection()) s->deleteLater();
            bringToFront();
        });
    }
    return true;
}

void Application::bringToFront() {
    if (!window_) return;
    window_->setWindowState(window_->windowState() & ~Qt::WindowMinimized);
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void Application::inhibitScreenSaver(bool inhibit) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    QDBusInterface saver("org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver", "org.freedesktop.ScreenSaver", bus);
    if (!saver.isValid()) return;
    if (inhibit) {
        QDBusReply<uint> cookie = saver.call("Inhibit", "Pavalo", "Assembling a puzzle");
        if (cookie.isValid()) screenSaverCookie_ = cookie.value();
    } else if (screenSaverCookie_) {
        saver.call("UnInhibit", screenSaverCookie_);
        screenSaverCookie_ = 0;
    }
}

bool Application::start() {
    dataFolder_ = dataFolder();
    if (!claimSingleInstance()) {
        anotherCopyRuns_ = true;
        std::fprintf(stderr, "pavalo: Pavalo is already running with the data folder %s; that copy was brought to the front.\n",
                     dataFolder_.c_str());
        return false;
    }
    // Before the audio starts: SDL keeps end-signal handlers that are
    // already there instead of putting in its own.
    endSignals_ = std::make_unique<EndSignals>();
    connect(endSignals_.get(), &EndSignals::received, this, [this](int) { endWithoutQuestions(); });
    inhibitScreenSaver(true);

    platform_ = std::make_unique<QtPlatform>(
        [this](WindowId id) -> QWidget* {
            if (frame_) return frame_->widgetFor(id);
            return id.isView() && window_ ? window_->view() : nullptr;
        },
        [this](uint32_t id) { dispatchCommand(id); });

    const StartupCheck check = checkRuntimeVersion(probeRuntimeVersion(), runtimeIsNtLike());
    if (!check.message.empty()) platform_->messageBox(check.message, {}, MessageButtons::Ok);
    if (check.stop) return false;
    multiplayer_ = check.multiplayer;

    if (options_.lobby) {
        // A lobby launch: the connection to the lobby program, kept while
        // the program runs.
        std::string why;
        lobby_ = net::LobbyClient::connect(options_.lobby->lobby, net::kLobbyConnectWaitMs, why);
        if (!lobby_) {
            std::fprintf(stderr, "pavalo: cannot reach the lobby: %s\n", why.c_str());
            platform_->messageBox(net::kLobbyConnectFailed, {}, MessageButtons::Ok);
            return false;
        }
    }
    if (options_.net) netSettings_ = options_.net;

    std::error_code ec;
    std::filesystem::create_directories(joinPath(dataFolder_, "downloads"), ec);
    installBundledContent(dataFolder_);
    processRandom().seed(millisecondTicks());

    const QSize screen = QGuiApplication::primaryScreen()->size();
    const QSize play = options_.window.isEmpty() ? screen : options_.window;
    setDisplayModes(defaultDisplayModes(play.width(), play.height()));
    session_ = std::make_unique<GameSession>(SessionOptions{dataFolder_, play.width(), play.height()}, *platform_,
                                             processRandom());
    session_->loadSettings();

    window_ = std::make_unique<GameWindow>(session_->compositor(), options_.window);
    connect(window_.get(), &GameWindow::closeRequested, this, &Application::requestClose);
    // The play area follows the window (full screen and back).
    connect(window_.get(), &GameWindow::playAreaResized, this, [this](QSize size) {
        if (!session_ || size.width() < 1 || size.height() < 1) return;
        setDisplayModes(defaultDisplayModes(size.width(), size.height()));
        session_->setPlayArea(size.width(), size.height());
    });
    platform_->setDialogParent(window_.get());
    addIdleTask([this] { session_->advanceAnimatedPicture(); });
    window_->installEventFilter(this);
    // A movie is heard unless the player turned every sound off.
    session_->animations().setMovieSoundWanted(
        [this] { return audio_ && session_->preferences().record.soundMode != kSoundsDisableAll; });

    window_->view()->setController(&session_->view());
    window_->view()->setHardwareStretching(session_->preferences().record.hardwareStretch != 0);
    frame_ = std::make_unique<FrameController>(*this);
    session_->setFrontEnd(frame_.get());
    connect(this, &Application::puzzleReady, this, [this] { frame_->showPuzzlePalette(); });

    DisplaySurface& display = session_->display();
    const int32_t best = bestDisplayDepth(play.width(), play.height(), 24);
    const bool trueColour = best >= 16;
    display.createDisplay(window_.get(), play.width(), play.height(), trueColour ? best : 8, false, true);
    if (!trueColour) platform_->messageBox(kNoTrueColour, {}, MessageButtons::Ok);

    window_->showAndUpdate();
    audio_ = std::make_unique<AudioSession>(session_->preferences(), session_->music(), *platform_, window_.get());
    audio_->start();
    playEvent(kSoundStartup);

    if (options_.screenshot)
        connect(this, &Application::puzzleReady, this, [this] { QTimer::singleShot(700, this, &Application::takeScreenshotAndQuit); });
    connect(&idle_, &QTimer::timeout, this, &Application::idleTick);
    idle_.start(15);
    return true;
}

void Application::runStartRoutine() {
    // A network game that ended is gone before the start dialog shows.
    finishLobbyGame();
    netPlay_.reset();
    if (ending_) return;
    if (options_.lobby) {
        // The lobby's game, once, without the start dialog; the program
        // ends when it fails or ends.
        if (!lobbyStarted_) {
            lobbyStarted_ = true;
            if (runLobbyStart()) return emit puzzleReady();
            QApplication::exit(1);
            return;
        }
        QApplication::quit();
        return;
    }
    if (!splashShown_ && session_->offerKeptPuzzle()) {
        // The puzzle kept when the program was last ended from outside
        // comes back before anything the command line asks for.
        splashShown_ = true;
        options_.newPicture.reset();
        options_.openFile.reset();
        options_.choosePicture = false;
        return emit puzzleReady();
    }
    if (ending_) return;
    if (!splashShown_) {
        // The play-area splash, at the program's first start only, and not
        // when the command line names a picture or a puzzle.
        splashShown_ = true;
        if (!options_.newPicture && !options_.openFile && !options_.choosePicture) {
            StartupSplash splash(session_->compositor(), window_->view());
            splash.play(joinPath(dataFolder_, "gfx/splash.wda"));
        }
    }
    if (options_.newPicture || options_.openFile) {
        NewPuzzleOptions o;
        o.picture = options_.newPicture;
        o.pieces = options_.pieces;
        o.seed = options_.seed;
        if (options_.pieces) o.rotate = options_.rotate;
        Document& doc = session_->document();
        const bool ok = options_.openFile ? doc.open(*options_.openFile) : doc.newPuzzle(o);
        options_.newPicture.reset();
        options_.openFile.reset();
        if (ok && doc.hasPuzzle()) return emit puzzleReady();
    }
    if (options_.choosePicture) {
        options_.choosePicture = false;
        refreshAll();
        if (session_->runStartChoice(StartChoice::NewPuzzle)) return emit puzzleReady();
    }
    for (;;) {
        refreshAll();
        StartDialog dialog(window_.get(), session_->continuePath().has_value());
        dialog.takeFileDrops([this](const DroppedFile& file) { return session_->acceptsDroppedFile(file); });
        dialog.exec();
        if (ending_) return;
        if (const std::optional<DroppedFile>& dropped = dialog.droppedFile()) {
            if (session_->openDroppedFile(*dropped)) return emit puzzleReady();
            continue;
        }
        if (dialog.choice() == StartChoice::Exit) {
            QApplication::quit();
            return;
        }
        if (dialog.choice() == StartChoice::HostGame || dialog.choice() == StartChoice::JoinGame) {
            if (runNetworkGame(dialog.choice() == StartChoice::HostGame)) return emit puzzleReady();
            if (ending_) return;
            continue;
        }
        if (session_->runStartChoice(dialog.choice())) return emit puzzleReady();
    }
}

bool Application::dispatchCommand(uint32_t id) {
    if (id == net::kNetMessageCommand && network_) {
        network_->dispatchMessages();
        return true;
    }
    return session_ && session_->dispatch(id);
}

NetworkGame& Application::attachNetworkGame(net::NetHooks hooks, net::ChatSink* chat) {
    network_.reset();
    // A lobby's status query, answered on the server thread: the pieces
    // are read under the piece mutex.
    if (!hooks.lobbyStatus)
        hooks.lobbyStatus = [this] { return net::lobbyCountsOf(session_->model(), lobbyGameType_.load()); };
    network_ = std::make_unique<NetworkGame>(*session_, std::move(hooks), chat);
    if (netSettings_) network_->layer().setSettings(*netSettings_);
    return *network_;
}

void Application::detachNetworkGame() { network_.reset(); }

bool Application::runNetworkGame(bool host, std::optional<uint32_t> seed) {
    netPlay_.reset();
    netPlay_ = std::make_unique<NetworkPlay>(*this);
    if (netPlay_->run(host, seed)) return true;
    netPlay_.reset();
    return false;
}

void Application::leaveNetworkGame() {
    finishLobbyGame();
    if (netPlay_) netPlay_->leave();
}

bool Application::runLobbyStart() {
    if (!options_.lobby || !lobby_) return false;
    const net::LobbyRole& role = *options_.lobby;
    LobbyProgressWindow progress(window_.get());
    progress.setAbortable(false);
    progress.showText(net::kGettingLobbySettings);
    std::string why;
    const std::optional<net::LobbyGameSettings> settings = lobby_->requestSettings(net::kLobbySettingsWaitMs, why);
    if (!settings) std::fprintf(stderr, "pavalo: %s\n", why.c_str());
    if (!settings && lobby_->failed()) {
        progress.hide();
        platform_->messageBox(net::kLobbyMessagesFailed, {}, MessageButtons::Ok);
        return false;
    }

    // The lobby's picture: downloaded or found before the session opens.
    net::LobbyPicture picture;
    if (settings && !settings->picture.empty()) {
        progress.setAbortable(true);
        picture = net::resolveLobbyPicture(settings->picture, dataFolder_, [&progress](const std::string& text) {
            return progress.showText(QString::fromStdString(text));
        });
        progress.hide();
        if (picture.cancelled || progress.aborted()) return false;
        // A player may still be sent the host's picture; the host stops.
        if (!picture.ok && role.host) {
            if (!picture.detail.empty()) std::fprintf(stderr, "pavalo: %s\n", picture.detail.c_str());
            platform_->messageBox(picture.message, {}, MessageButtons::Ok);
            return false;
        }
    }
    progress.hide();

    std::optional<uint32_t> seed;
    if (settings && settings->seed != net::kLobbyUnset) seed = settings->seed;
    netPlay_.reset();
    netPlay_ = std::make_unique<NetworkPlay>(*this);
    const bool started = netPlay_->run(role.host, seed, [&](net::SetupFrontEnd& dialogs) {
        return std::make_unique<net::LobbyFrontEnd>(dialogs, role, settings, picture);
    });
    if (!started) {
        netPlay_.reset();
        return false;
    }
    const net::NetOptions& options = netPlay_->setup().options();
    lobbyGameType_ = options.gameType;
    if (options.gameType == net::kGameTeamCompetitive) {
        net::PlayerData d = network_->layer().localPlayerData();
        d.setTeam(role.team);
        network_->layer().setLocalPlayerData(d);
    }
    // The host answers the lobby's status queries while the game runs.
    if (role.host) network_->layer().setLobby(lobby_.get());
    return true;
}

void Application::finishLobbyGame() {
    if (!lobby_ || !network_ || !options_.lobby || !options_.lobby->host) return;
    net::NetLayer& layer = network_->layer();
    layer.setLobby(nullptr);
    if (layer.sessionOpen() && !lobby_->failed()) lobby_->send(layer.lobbyStatusReply());
}

void Application::idleTick() {
    // The network resends and glides whether or not the window shows.
    if (network_) network_->idle();
    if (!window_ || window_->isMinimized() || !session_->document().hasPuzzle()) return;
    // Edge scrolling: the pointer near an edge of the play area scrolls the
    // view as a mouse move would.
    const QPoint p = window_->view()->mapFromGlobal(QCursor::pos());
    const QSize s = window_->view()->size();
    const bool inside = p.x() >= 0 && p.y() >= 0 && p.x() < s.width() && p.y() < s.height();
    // Only over the play area itself (not the tool palette or a side window
    // lying in the border) and never while a menu or a dialog is open.
    const bool overPlayArea = QApplication::widgetAt(QCursor::pos()) == window_->view() &&
                              !(frame_ && frame_->sideWindowsWidget().covers(QCursor::pos()));
    const bool menuOrDialog = QApplication::activePopupWidget() || QApplication::activeModalWidget();
    if (inside && window_->isActiveWindow() && overPlayArea && !menuOrDialog)
        session_->view().idleEdgeScroll({p.x(), p.y()}, keyFlagsOf(QGuiApplication::keyboardModifiers()));
    for (auto& task : idleTasks_) task();
}

bool Application::eventFilter(QObject* watched, QEvent* event) {
    if (session_ && window_ && watched == window_.get()) {
        if (event->type() == QEvent::WindowBlocked)
            session_->animations().setModalWindowOpen(true);
        else if (event->type() == QEvent::WindowUnblocked)
            session_->animations().setModalWindowOpen(false);
    }
    return QObject::eventFilter(watched, event);
}

void Application::takeScreenshotAndQuit() {
    auto save = [this](const std::string& path) {
        const QPixmap shot = window_->screen()->grabWindow(window_->winId());
        if (!shot.save(QString::fromStdString(path)))
            std::fprintf(stderr, "pavalo: cannot save the screenshot %s\n", path.c_str());
    };
    save(*options_.screenshot);
    if (!options_.secondScreenshot) return QApplication::quit();
    // The second shows what moved meanwhile (a movie on the pieces).
    QTimer::singleShot(600, this, [this, save] {
        save(*options_.secondScreenshot);
        QApplication::quit();
    });
}

void Application::requestClose() {
    // The audio session lets the exit sound finish at shutdown.
    if (session_ && !session_->closeRequested()) return;
    QApplication::quit();
}

void Application::endWithoutQuestions() {
    if (ending_ || shutDown_) return;
    ending_ = true;
    if (platform_) platform_->setEnding();
    if (session_) {
        std::string error;
        if (!session_->keepPuzzleForNextStart(error))
            std::fprintf(stderr, "pavalo: the open puzzle could not be kept: %s\n", error.c_str());
        session_->saveSettings();
    }
    // What is worth keeping is on disk now. Code that a dialog's ended loop
    // returns to still runs before the main loop ends; should any of it
    // hang, the program ends regardless a moment later.
    std::thread([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        std::_Exit(0);
    }).detach();
    QApplication::exit(0);
}

void Application::shutdown() {
    if (shutDown_) return;
    shutDown_ = true;
    idle_.stop();
    finishLobbyGame();
    netPlay_.reset();
    network_.reset();
    lobby_.reset();
    if (session_) {
        session_->saveSettings();
        session_->document().release();
        session_->setFrontEnd(nullptr);
    }
    audio_.reset();
    frame_.reset();
    window_.reset();
    session_.reset();
    inhibitScreenSaver(false);
    instanceServer_.reset();
}

}  // namespace pavalo
