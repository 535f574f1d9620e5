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
#include <cstdio>
#include <filesystem>

#include "app/audio_session.h"
#include "app/frame_controller.h"
#include "app/game_window.h"
#include "app/picture_chooser.h"
#include "app/play_view.h"
#include "app/progress_window.h"
#include "app/start_dialog.h"
#include "app/startup_splash.h"
#include "common/random.h"
#include "common/sound_events.h"
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
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--rotate") {
            out.rotate = true;
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
        } else if (a == "--screenshot") {
            out.screenshot = args[++i].toStdString();
        } else {
            error = "unknown option " + a;
            return false;
        }
    }
    return true;
}

Application::Application(LaunchOptions options) : options_(std::move(options)), model_(puzzleModel()) {}

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
            if (window_) {
                window_->showNormal();
                window_->raise();
                window_->activateWindow();
            }
        });
    }
    return true;
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
    if (!claimSingleInstance()) return false;
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

    std::error_code ec;
    std::filesystem::create_directories(joinPath(dataFolder_, "downloads"), ec);
    installBundledContent(dataFolder_);
    processRandom().seed(millisecondTicks());
    loadPreferences(preferencesPath(dataFolder_), prefs_, music_);

    const QSize screen = QGuiApplication::primaryScreen()->size();
    const QSize play = options_.window.isEmpty() ? screen : options_.window;
    setDisplayModes(defaultDisplayModes(play.width(), play.height()));

    compositor_ = std::make_unique<Compositor>(display_);
    compositor_->setDataFolder(dataFolder_);
    compositor_->setTileLoader([](DrawSurface& s, const std::string& path) { return loadBmpFile(s, path); });
    window_ = std::make_unique<GameWindow>(*compositor_, options_.window);
    connect(window_.get(), &GameWindow::closeRequested, this, &Application::requestClose);
    platform_->setDialogParent(window_.get());
    progress_ = std::make_unique<ProgressWindow>(window_.get());

    animations_ = std::make_unique<AnimatedPictures>(*platform_);
    document_ = std::make_unique<Document>(model_, undo_, prefs_, *platform_, *this, animations_.get());
    addIdleTask([this] { advanceAnimatedPicture(); });
    document_->setPlayArea(play.width(), play.height());
    document_->puzzleState() = kPuzzleStateNone;

    assist_ = std::make_unique<AssistCommands>(model_, *this, selector_, *this, document_->puzzleState(),
                                               processRandom());
    view_ = std::make_unique<ViewController>(ViewContext{model_, *platform_, document_->record(), document_->puzzleState(),
                                                         compositor_->state(), undo_, *this, *assist_, *this,
                                                         processRandom(), *this, *this, network_});
    window_->view()->setController(view_.get());
    window_->view()->setHardwareStretching(prefs_.record.hardwareStretch != 0);
    frame_ = std::make_unique<FrameController>(*this);
    connect(this, &Application::puzzleReady, this, [this] { frame_->showPalette(); });

    const bool trueColour = bestDisplayDepth(play.width(), play.height(), 24) >= 16;
    display_.createDisplay(window_.get(), play.width(), play.height(), trueColour ? bestDisplayDepth(play.width(), play.height(), 24) : 8,
                           false, true);
    if (!trueColour) platform_->messageBox(kNoTrueColour, {}, MessageButtons::Ok);
    RendererState& state = compositor_->state();
    state.displayState = DisplayState::Tile;  // the background tile until a puzzle exists
    state.viewMode = kViewNoPuzzle;
    state.rebuildBuffers = true;
    compositor_->setScene({&model_, nullptr, &document_->record()});

    window_->showAndUpdate();
    audio_ = std::make_unique<AudioSession>(prefs_, music_, *platform_, window_.get());
    audio_->start();
    playEvent(kSoundStartup);

    if (options_.screenshot)
        connect(this, &Application::puzzleReady, this, [this] { QTimer::singleShot(700, this, &Application::takeScreenshotAndQuit); });
    connect(&idle_, &QTimer::timeout, this, &Application::idleTick);
    idle_.start(15);
    return true;
}

void Application::runStartRoutine() {
    if (!splashShown_) {
        // The play-area splash, at the program's first start only, and not
        // when the command line names a picture or a puzzle.
        splashShown_ = true;
        if (!options_.newPicture && !options_.openFile) {
            StartupSplash splash(*compositor_, window_->view());
            splash.play(joinPath(dataFolder_, "gfx/splash.wda"));
        }
    }
    if (options_.newPicture || options_.openFile) {
        NewPuzzleOptions o;
        o.picture = options_.newPicture;
        o.pieces = options_.pieces;
        o.seed = options_.seed;
        if (options_.pieces) o.rotate = options_.rotate;
        const bool ok = options_.openFile ? document_->open(*options_.openFile) : document_->newPuzzle(o);
        options_.newPicture.reset();
        options_.openFile.reset();
        if (ok && document_->hasPuzzle()) return emit puzzleReady();
    }
    for (;;) {
        const std::string last = PreferencesRecord::text(prefs_.record.lastPuzzlePath);
        std::error_code ec;
        const bool canContinue = !last.empty() && std::filesystem::exists(last, ec);
        refreshAll();
        StartDialog dialog(window_.get(), canContinue);
        dialog.exec();
        switch (dialog.choice()) {
            case StartChoice::NewPuzzle: document_->newPuzzle(); break;
            case StartChoice::OpenPuzzle: {
                std::optional<std::string> path = platform_->pickOpenFile(
                    "Open", "Glenthorpevale Puzzles (*.gvp)|*.gvp|All Files (*.*)|*.*", dataFolder_);
                if (path) document_->open(*path);
                break;
            }
            case StartChoice::Continue: document_->open(last); break;
            case StartChoice::HostGame:
            case StartChoice::JoinGame:
                // Network games arrive with the multiplayer issues.
                break;
            case StartChoice::Exit:
                QApplication::quit();
                return;
        }
        if (document_->hasPuzzle() && document_->hasPicture()) return emit puzzleReady();
    }
}

std::optional<std::string> Application::choosePicture() {
    return chooseLibraryPicture(window_.get(), *platform_, prefs_, dataFolder_, display_.depth());
}

std::optional<PieceCountChoice> Application::askPieceCount(const PieceCountRules& rules, bool rotate) {
    PieceCountDialog dialog(window_.get(), rules, rotate, pieceMemory_);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.choice();
}

void Application::progressOpen(const std::string& caption) { progress_->start(QString::fromStdString(caption)); }

void Application::progressSet(int percent, const std::string& caption) {
    progress_->set(percent, QString::fromStdString(caption));
}

void Application::progressClose() { progress_->hide(); }

void Application::puzzleChanged() {
    RendererState& state = compositor_->state();
    const bool playing = document_->hasPuzzle();
    compositor_->setScene({&model_, document_->hasPicture() ? &document_->picture() : nullptr, &document_->record()});
    state.displayState = playing ? DisplayState::Playing : DisplayState::Tile;
    state.viewMode = !playing ? kViewNoPuzzle
                     : document_->puzzleState() == kPuzzleStateCompleted ? kViewFinished
                                                                         : kViewPiecesShown;
    state.rebuildBuffers = true;
    if (playing) {
        // The back buffer follows the picture's depth; shades are made at it.
        compositor_->updateView(ViewRequest{});
        compositor_->renderer.buildOutlineShades(model_, document_->hasPicture() ? &document_->picture() : nullptr);
    }
    window_->setWindowTitle(QString::fromStdString(document_->title()));
    if (view_) view_->reset();
    if (frame_ && playing) frame_->puzzleShown();
    refreshAll();
}

bool Application::puzzleExists() const { return document_ && document_->hasPuzzle(); }

bool Application::rotatedPieces() const { return document_->record().rotationOption != 0; }

void Application::markChanged() {
    if (document_->puzzleState() != kPuzzleStateCompleted) document_->setModified();
}

void Application::redrawPlayArea() { refreshAll(); }

bool Application::runCommand(uint32_t id) { return dispatchCommand(id); }

void Application::centreView() { view_->centerView(); }

void Application::refreshTitleAndStatus() {
    if (document_->puzzleState() == kPuzzleStateCompleted) compositor_->state().viewMode = kViewFinished;
    window_->setWindowTitle(QString::fromStdString(document_->title()));
    refreshAll();
}

// Every command id goes through the frame's one table.
bool Application::dispatchCommand(uint32_t id) { return frame_ && frame_->dispatch(id); }

void Application::refreshAll() {
    if (window_) window_->view()->update();
    // The side windows show the same pieces and picture.
    if (frame_) frame_->sideWindows().redrawAll();
}

void Application::idleTick() {
    if (!window_ || window_->isMinimized() || !document_->hasPuzzle()) return;
    // Edge scrolling: the pointer near an edge of the play area scrolls the
    // view as a mouse move would.
    const QPoint p = window_->view()->mapFromGlobal(QCursor::pos());
    const QSize s = window_->view()->size();
    const bool inside = p.x() >= 0 && p.y() >= 0 && p.x() < s.width() && p.y() < s.height();
    if (inside && window_->isActiveWindow() && !(frame_ && frame_->sideWindows().covers(QCursor::pos())))
        view_->idleEdgeScroll({p.x(), p.y()}, keyFlagsOf(QGuiApplication::keyboardModifiers()));
    for (auto& task : idleTasks_) task();
}

// An animated (WDA) picture draws its next frame into the picture surface
// when one is due; the windows that show the picture are then redrawn.
void Application::advanceAnimatedPicture() {
    if (document_->record().pictureKind != kPictureWda || !document_->hasPicture()) return;
    if (animations_->advance(document_->picture())) refreshAll();
}

void Application::takeScreenshotAndQuit() {
    QScreen* screen = window_->screen();
    const QPixmap shot = screen->grabWindow(window_->winId());
    if (!shot.save(QString::fromStdString(*options_.screenshot)))
        std::fprintf(stderr, "pavalo: cannot save the screenshot %s\n", options_.screenshot->c_str());
    QApplication::quit();
}

void Application::requestClose() {
    if (document_ && !document_->askToSaveChanges()) return;
    playEvent(kSoundExit);  // the audio session lets it finish at shutdown
    QApplication::quit();
}

void Application::shutdown() {
    if (shutDown_) return;
    shutDown_ = true;
    idle_.stop();
    if (document_) {
        savePreferences(preferencesPath(dataFolder_), prefs_, music_, true);
        document_->release();
    }
    audio_.reset();
    frame_.reset();
    progress_.reset();
    window_.reset();
    inhibitScreenSaver(false);
    instanceServer_.reset();
}

}  // namespace pavalo
