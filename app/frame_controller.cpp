// The frame's widgets and dialogs: the game session's Qt front end.
#include "app/frame_controller.h"

#include <QApplication>
#include <algorithm>
#include <cstdio>
#include <QColorDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QScreen>
#include <QShortcut>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

#include "app/application.h"
#include "app/assist_dialogs_qt.h"
#include "app/audio_session.h"
#include "app/game_window.h"
#include "app/network_play.h"
#include "app/file_drops.h"
#include "app/finish_panel.h"
#include "app/help_window.h"
#include "app/picture_chooser.h"
#include "app/piece_count_dialog.h"
#include "app/play_view.h"
#include "app/progress_window.h"
#include "app/surface_image.h"
#include "app/video_options_dialog.h"
#include "shell/command_table.h"
#include "puzzle/assist_menu.h"
#include "shell/data_folder.h"
#include "shell/wallpaper.h"

namespace pavalo {
namespace {

// The desktop's programs, run for real: found on PATH, given five seconds.
DesktopCommands systemDesktopCommands() {
    DesktopCommands c;
    c.exists = [](const std::string& program) {
        return !QStandardPaths::findExecutable(QString::fromStdString(program)).isEmpty();
    };
    c.run = [](const DesktopCommand& command) {
        DesktopCommandResult r;
        QProcess p;
        QStringList arguments;
        for (const std::string& a : command.arguments) arguments << QString::fromStdString(a);
        p.start(QStandardPaths::findExecutable(QString::fromStdString(command.program)), arguments);
        p.setStandardInputFile(QProcess::nullDevice());
        if (!p.waitForFinished(5000)) {
            p.kill();
            p.waitForFinished(1000);
            return r;
        }
        r.ran = p.exitStatus() == QProcess::NormalExit;
        r.status = p.exitCode();
        r.output = p.readAllStandardOutput().toStdString();
        return r;
    };
    return c;
}

}  // namespace

FrameController::FrameController(Application& app) : app_(app) {
    setWallpaper = [this](const std::string& path) {
        const std::string problem =
            pavalo::setDesktopWallpaper(path, qEnvironmentVariable("XDG_CURRENT_DESKTOP").toStdString(), systemDesktopCommands());
        if (!problem.empty()) app_.platform().messageBox(problem, {}, MessageButtons::Ok);
    };
    GameWindow& window = app.window();
    palette_ = new ToolPalette(&window);
    palette_->onButton = [this](uint32_t id) { session().pressPaletteButton(id); };
    palette_->onMenuCommand = [this](uint32_t id) { dispatch(id); };
    palette_->menuContents = [this] { return paletteMenu(); };
    // Moves and releases over the palette go on to the view's drag handling.
    palette_->onPointer = [this](QPoint global, bool released) {
        const auto [w, local] = sideWindows_->route(global);
        const Point at{local.x(), local.y()};
        const KeyFlags keys = keyFlagsOf(QGuiApplication::keyboardModifiers());
        if (released)
            session().view().mouseRelease(w, at, keys);
        else
            session().view().mouseMove(w, at, keys);
    };
    palette_->onMoved = [this] { savePalettePlacement(); };
    palette_->hide();

    GameSession& s = app.session();
    SideWindowContext context{s.model(),
                              s.compositor(),
                              s.document().record(),
                              [this] { return &session().view(); },
                              [this]() -> DrawSurface* {
                                  Document& doc = session().document();
                                  return doc.hasPicture() ? &doc.picture() : nullptr;
                              },
                              s.sideWindows(),
                              [this] { return session().pictureVersion(); }};
    sideWindows_ = std::make_unique<SideWindows>(window.view(), context);
    window.view()->setPointerRoute([this](QPoint global) { return sideWindows_->route(global); });
    connect(sideWindows_.get(), &SideWindows::changed, this, [this] { session().refreshPalette(); });

    // The desktop's shortcuts act as their menu entries would, and only
    // when the entry is there and enabled (a network game disables some).
    for (const DesktopShortcut& s : kDesktopShortcuts) {
        auto* shortcut = new QShortcut(QKeySequence(QString::fromLatin1(s.keys)), &window);
        connect(shortcut, &QShortcut::activated, this, [this, id = s.id] {
            const std::vector<MenuItem> menu = paletteMenu();
            if (const MenuItem* m = findMenuItem(menu, id); m && m->enabled) dispatch(id);
        });
    }

    // A dialog opened in the middle of a drag (by a key) ends the drag: the
    // button's release would go to the dialog.
    connect(&window, &GameWindow::blockedByModal, this, [this] { session().view().modalWindowOpened(); });

    // A picture or saved puzzle dropped on the play area starts or opens a
    // puzzle, as New and Open would.
    new FileDropTarget(
        window.view(), [this](const DroppedFile& file) { return session().acceptsDroppedFile(file); },
        [this](const DroppedFile& file) {
            if (session().openDroppedFile(file)) showPuzzlePalette();
        });

    // The placed pieces and the play time, over the play area's lower left
    // corner; the pointer goes through to the pieces beneath.
    status_ = new QLabel(window.view());
    status_->setObjectName(QStringLiteral("statusLine"));
    status_->setAttribute(Qt::WA_TransparentForMouseEvents);
    status_->setStyleSheet(QStringLiteral(
        "QLabel { color: #f0f0f0; background: rgba(0, 0, 0, 150); padding: 3px 8px; border-radius: 4px; }"));
    status_->hide();
    connect(&statusTimer_, &QTimer::timeout, this, &FrameController::updateStatus);
    statusTimer_.start(500);
    // The puzzle in progress goes to the recovery file every minute, so
    // that a crash or a power cut loses at most that.
    connect(&autosaveTimer_, &QTimer::timeout, this, [this] {
        std::string error;
        if (!session().autosave(error))
            std::fprintf(stderr, "pavalo: the puzzle could not be kept for recovery: %s\n", error.c_str());
    });
    autosaveTimer_.start(60'000);

    searching_ = new SearchingWindow(&window);
    progress_ = new ProgressWindow(&window);
    connect(qApp, &QGuiApplication::applicationStateChanged, this, &FrameController::applicationStateChanged);
}

FrameController::~FrameController() = default;

GameSession& FrameController::session() const { return app_.session(); }

// Through the application, which also takes the network message command.
bool FrameController::dispatch(uint32_t id) { return app_.dispatchCommand(id); }

std::vector<MenuItem> FrameController::paletteMenu() const {
    std::vector<MenuItem> menu = session().paletteMenu();
    // A network game's own entries (checking the shared puzzle, taking the
    // messages that came) stand before Exit while it runs.
    if (app_.networkPlay() && app_.networkPlay()->playing()) {
        const std::vector<MenuItem> network = composeNetworkMenu();
        auto exit = std::find_if(menu.begin(), menu.end(), [](const MenuItem& m) { return m.id == menu_command::kExit; });
        menu.insert(exit, network.begin(), network.end());
    }
    return menu;
}

RecentFileList& FrameController::recentFiles() { return session().recentFiles(); }

void FrameController::addRecentFile(const std::string& path) { session().addRecentFile(path); }

QWidget* FrameController::widgetFor(WindowId id) const { return sideWindows_->widgetFor(id); }

// ------------------------------------------------------------------ palette

void FrameController::showPalette(const PaletteState& state) {
    ToolPalette& p = *palette_;
    p.setTool(state.tool);
    for (const auto& [id, on] : state.on) p.setOn(id, on);
    for (const auto& [id, enabled] : state.enabled) p.setButtonEnabled(id, enabled);
}

void FrameController::savePalettePlacement() { session().palettePlaced(storedRect(palette_->geometry())); }

bool FrameController::placePalette(const StoredRect& r) {
    if (r.right <= r.left || r.bottom <= r.top) return false;
    palette_->placeAt(QPoint(r.left, r.top));
    return true;
}

void FrameController::togglePaletteVisible() { palette_->setVisible(!palette_->isVisible()); }

void FrameController::showPuzzlePalette() {
    // A puzzle that holds a placement brings the palette there; otherwise
    // the palette stays put and its placement goes into the puzzle.
    if (!placePalette(session().document().record().paletteRect)) {
        if (palette_->pos() == QPoint(0, 0)) palette_->placeDefault();
        savePalettePlacement();
    }
    palette_->show();
    palette_->raise();
    session().refreshPalette();
    runDebugCommands();
}

// PAVALO_DEBUG_COMMANDS, for looking at the windows in screenshots: a comma-
// separated list run once when the first puzzle is shown. A number is a
// frame command, "p" and a number a palette button, "edges:K" finds every
// edge piece into box K, and "menu:X:Y" / "palettemenu" open the view's
// right-button menu at (X, Y) or the palette's menu and, after a moment,
// save a shot of the whole screen to PAVALO_DEBUG_SHOT and close it; "shot"
// does the same for the dialog that the next entry opens.
void FrameController::runDebugCommands() {
    if (debugCommandsRun_ || !qEnvironmentVariableIsSet("PAVALO_DEBUG_COMMANDS")) return;
    debugCommandsRun_ = true;
    const QStringList tokens = qEnvironmentVariable("PAVALO_DEBUG_COMMANDS").split(',', Qt::SkipEmptyParts);
    auto shootAndClose = [] {
        QTimer::singleShot(400, [] {
            const QString path = qEnvironmentVariable("PAVALO_DEBUG_SHOT");
            if (!path.isEmpty()) QGuiApplication::primaryScreen()->grabWindow(0).save(path);
            if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
            else if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
        });
    };
    for (const QString& t : tokens) {
        const QStringList parts = t.split(':');
        if (parts[0] == "shot") {
            shootAndClose();
        } else if (parts[0] == "edges" && parts.size() == 2) {
            session().assist().findEdges(15, parts[1].toInt());
            session().boxContentsChanged(parts[1].toInt());
        } else if (parts[0] == "menu" && parts.size() == 3) {
            shootAndClose();
            session().view().rightButton(WindowId::view(), {parts[1].toInt(), parts[2].toInt()}, {});
        } else if (parts[0] == "palettemenu") {
            shootAndClose();
            palette_->menuBar()->setActiveAction(palette_->menu()->menuAction());
        } else if (t.startsWith('p')) {
            session().pressPaletteButton(t.mid(1).toUInt());
        } else {
            dispatch(t.toUInt());
        }
    }
    session().refreshPalette();
}

// ------------------------------------------------------------ dialogs

std::optional<std::string> FrameController::choosePicture() {
    GameSession& s = session();
    return chooseLibraryPicture(&app_.window(), app_.platform(), s.preferences(), s.dataFolder(), s.display().depth());
}

std::optional<PieceCountChoice> FrameController::askPieceCount(const PieceCountRules& rules, bool rotate) {
    PieceCountDialog dialog(&app_.window(), rules, rotate, pieceMemory_);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.choice();
}

bool FrameController::runFindEdges(FindEdgesDialog& model) {
    FindEdgesWindow dialog(&app_.window(), model);
    return dialog.exec() == QDialog::Accepted;
}

bool FrameController::runFindNearby(FindNearbyDialog& model) {
    FindNearbyWindow dialog(&app_.window(), model);
    return dialog.exec() == QDialog::Accepted;
}

bool FrameController::runColorMatch(ColorMatchDialog& model) {
    ColorMatchWindow dialog(&app_.window(), model);
    return dialog.exec() == QDialog::Accepted;
}

std::optional<uint32_t> FrameController::chooseColour(uint32_t current, std::array<uint32_t, 16>& custom) {
    for (int i = 0; i < 16; ++i) {
        const uint32_t c = custom[size_t(i)];
        QColorDialog::setCustomColor(i, QColor(chosenRed(c), chosenGreen(c), chosenBlue(c)));
    }
    QColorDialog dialog(QColor(chosenRed(current), chosenGreen(current), chosenBlue(current)), &app_.window());
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    const bool ok = dialog.exec() == QDialog::Accepted;
    for (int i = 0; i < 16; ++i) {
        const QColor c = QColorDialog::customColor(i);
        custom[size_t(i)] = chosenColour(uint8_t(c.red()), uint8_t(c.green()), uint8_t(c.blue()));
    }
    if (!ok) return std::nullopt;
    const QColor c = dialog.selectedColor();
    return chosenColour(uint8_t(c.red()), uint8_t(c.green()), uint8_t(c.blue()));
}

uint32_t FrameController::colourMenu(const std::vector<MenuItem>& items) {
    QMenu menu(palette_);
    fillMenu(menu, items);
    PaletteButtonWidget* b = palette_->button(frame_command::kColors);
    QAction* chosen = menu.exec(b->mapToGlobal(QPoint(b->width(), 0)));
    return chosen ? chosen->data().toUInt() : 0;
}

std::optional<bool> FrameController::askVideoOptions(bool hardwareStretch) {
    VideoOptionsDialog dialog(&app_.window(), hardwareStretch);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.hardwareStretching();
}

void FrameController::showSoundOptions() {
    if (app_.audio()) app_.audio()->showSoundOptions();
}

void FrameController::showMidiOptions() {
    if (app_.audio()) app_.audio()->showMidiOptions();
}

void FrameController::showCdOptions() {
    if (app_.audio()) app_.audio()->showCdOptions();
}

void FrameController::showHelp() {
    if (!help_) help_ = new HelpWindow(&app_.window());
    if (!help_->showContents())
        app_.platform().messageBox("Error starting help file " + std::string(kHelpIndex), "WinHelp Error",
                                   MessageButtons::Ok);
}

void FrameController::showAbout() { showAboutBox(&app_.window()); }

void FrameController::progressOpen(const std::string& caption) { progress_->start(QString::fromStdString(caption)); }

void FrameController::progressSet(int percent, const std::string& caption) {
    progress_->set(percent, QString::fromStdString(caption));
}

void FrameController::progressClose() { progress_->hide(); }

void FrameController::searchingOpened(const SearchingProgress& progress) { searching_->start(progress); }
void FrameController::searchingStepped(const SearchingProgress& progress) { searching_->step(progress); }
void FrameController::searchingClosed() { searching_->hide(); }

// ------------------------------------------------------------ windows

void FrameController::redrawPlayArea() { app_.window().view()->update(); }

void FrameController::setTitle(const std::string& title) { app_.window().setWindowTitle(QString::fromStdString(title)); }

void FrameController::minimize() { app_.window().showMinimized(); }

void FrameController::updateStatus() {
    GameSession& s = session();
    GameWindow& window = app_.window();
    s.holdClock(ClockHold::Minimised, window.isMinimized());
    s.holdClock(ClockHold::ModalDialog, QApplication::activeModalWidget() != nullptr);
    const QString text = QString::fromStdString(s.progressText());
    if (text.isEmpty()) {
        status_->hide();
        return;
    }
    if (status_->text() != text) {
        status_->setText(text);
        status_->adjustSize();
    }
    const QWidget* view = window.view();
    const int margin = 6;
    status_->move(margin, view->height() - status_->height() - margin);
    status_->show();
    status_->raise();
}

void FrameController::puzzleFinished(const FinishSummary& summary) {
    updateStatus();
    // After the event that completed the puzzle has been handled (the
    // button's release belongs to the play area, not to the panel).
    QTimer::singleShot(0, this, [this, summary] {
        GameSession& s = session();
        Document& doc = s.document();
        if (!doc.hasPuzzle() || doc.puzzleState() != kPuzzleStateCompleted) return;
        const QImage picture = doc.hasPicture() ? surfaceImage(doc.picture()) : QImage();
        const QSize view = app_.window().view()->size();
        FinishPanel panel(&app_.window(), picture, summary, QSize(std::max(view.width() / 2, 160), std::max(view.height() / 2, 120)));
        panel.exec();
        s.finishPanelClosed(panel.choice());
        if (s.document().hasPuzzle() && panel.choice() != FinishChoice::Close) showPuzzlePalette();
        updateStatus();
    });
}

void FrameController::setHardwareStretching(bool on) { app_.window().view()->setHardwareStretching(on); }

void FrameController::returnToStart() {
    palette_->hide();
    // The network session ends with the game, before the start dialog.
    app_.leaveNetworkGame();
    // The start dialog runs after the command that exited has returned.
    QTimer::singleShot(0, &app_, [this] { app_.runStartRoutine(); });
}

bool FrameController::mayLeaveGame() { return !app_.networkPlay() || app_.networkPlay()->mayExit(); }

bool FrameController::fullScreen() const { return !app_.window().windowed(); }

void FrameController::toggleFullScreen() { app_.window().toggleFullScreen(); }

void FrameController::setDesktopWallpaper(const std::string& path) {
    if (setWallpaper) setWallpaper(path);
}

void FrameController::applicationStateChanged(Qt::ApplicationState state) {
    // Leaving the full-screen game for another program minimises it; a
    // windowed game stays as it is among the other windows.
    if (state != Qt::ApplicationInactive || app_.window().windowed() || app_.window().isMinimized()) return;
    if (QApplication::activeModalWidget() || QApplication::activePopupWidget()) return;
    dispatch(menu_command::kMinimize);
}

}  // namespace pavalo
