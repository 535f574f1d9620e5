// The frame: command table, palette, menus, side windows, dialogs, colours,
// wallpaper, help, files and Exit.
#include "app/frame_controller.h"

#include <QApplication>
#include <QColorDialog>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

#include "app/application.h"
#include "app/assist_dialogs_qt.h"
#include "app/audio_session.h"
#include "app/game_window.h"
#include "app/help_window.h"
#include "app/play_view.h"
#include "app/video_options_dialog.h"
#include "common/random.h"
#include "common/sound_events.h"
#include "display/picture_view_adapter.h"
#include "puzzle/assist_allowances.h"
#include "shell/data_folder.h"
#include "shell/wallpaper.h"

namespace pavalo {
namespace {

namespace mc = menu_command;
namespace fc = frame_command;

constexpr const char* kPuzzleFilter = "Glenthorpevale Puzzles (*.gvp)|*.gvp|All Files (*.*)|*.*";

// gsettings, where the desktop has it: the wallpaper for the light and the
// dark style. Any failure leaves the setting as it was, silently.
void setWallpaperWithGsettings(const std::string& path) {
    const QString gsettings = QStandardPaths::findExecutable("gsettings");
    if (gsettings.isEmpty()) return;
    const QString uri = QUrl::fromLocalFile(QString::fromStdString(path)).toString();
    for (const char* key : {"picture-uri", "picture-uri-dark"}) {
        QProcess p;
        p.setProgram(gsettings);
        p.setArguments({"set", "org.gnome.desktop.background", key, uri});
        p.setStandardOutputFile(QProcess::nullDevice());
        p.setStandardErrorFile(QProcess::nullDevice());
        p.startDetached();
    }
}

}  // namespace

FrameController::FrameController(Application& app)
    : app_(app), colours_(app.preferences().record, app.compositor().state()) {
    setDesktopWallpaper = setWallpaperWithGsettings;
    recentPath_ = joinPath(app.dataFolderPath(), kRecentFilesName);
    recent_.load(recentPath_);
    colours_.applyPreferences(&app.compositor().backBuffer());

    GameWindow& window = app.window();
    palette_ = new ToolPalette(&window);
    palette_->onButton = [this](uint32_t id) { pressPaletteButton(id); };
    palette_->onMenuCommand = [this](uint32_t id) { dispatch(id); };
    palette_->menuContents = [this] { return paletteMenu(); };
    // Moves and releases over the palette go on to the view's drag handling.
    palette_->onPointer = [this](QPoint global, bool released) {
        const auto [w, local] = sideWindows_->route(global);
        const Point at{local.x(), local.y()};
        const KeyFlags keys = keyFlagsOf(QGuiApplication::keyboardModifiers());
        if (released)
            app_.view().mouseRelease(w, at, keys);
        else
            app_.view().mouseMove(w, at, keys);
    };
    palette_->onMoved = [this] { savePalettePlacement(); };
    palette_->hide();

    SideWindowContext context{app.model(),
                              app.compositor(),
                              app.document().record(),
                              [this] { return &app_.view(); },
                              [this]() -> DrawSurface* {
                                  return app_.document().hasPicture() ? &app_.document().picture() : nullptr;
                              },
                              [this] { app_.markChanged(); }};
    sideWindows_ = std::make_unique<SideWindows>(window.view(), context);
    window.view()->setPointerRoute([this](QPoint global) { return sideWindows_->route(global); });
    connect(sideWindows_.get(), &SideWindows::windowsChanged, this, &FrameController::refreshPalette);

    searching_ = new SearchingWindow(&window);
    registerCommands();
    connect(qApp, &QGuiApplication::applicationStateChanged, this, &FrameController::applicationStateChanged);
}

FrameController::~FrameController() = default;

// ------------------------------------------------------------ command table

void FrameController::registerCommands() {
    CommandTable& t = commands_;
    Document& doc = app_.document();
    ViewController& view = app_.view();

    // Menu 128 and the palette's New and Exit.
    t.set(mc::kNew, [this, &doc] {
        if (doc.askToSaveChanges()) doc.newPuzzle();
    });
    t.set(mc::kOpen, [this] { openPuzzle(); });
    t.set(mc::kSave, [&doc] { doc.save(); });
    t.set(mc::kSaveAs, [&doc] { doc.saveAs(); });
    for (int i = 0; i < int(kMaxRecentFiles); ++i) t.set(recentFileCommand(i), [this, i] { openRecent(i); });
    t.set(mc::kCenter, [&view] { view.centerView(); });
    t.set(mc::kRecut, [&doc] { doc.recut(); });
    t.set(mc::kWallpaper, [this] { saveWallpaper(); });
    t.set(mc::kRotatedPieces, [&doc] { doc.toggleRotation(); });
    t.set(mc::kSoundOptions, [this] {
        if (app_.audio()) app_.audio()->showSoundOptions();
    });
    t.set(mc::kMidiMusicOptions, [this] {
        if (app_.audio()) app_.audio()->showMidiOptions();
    });
    t.set(mc::kCdMusicOptions, [this] {
        if (app_.audio()) app_.audio()->showCdOptions();
    });
    t.set(mc::kVideoOptions, [this] { showVideoOptions(); });
    t.set(mc::kHelpTopics, [this] { showHelp(); });
    t.set(mc::kAbout, [this] { showAboutBox(&app_.window()); });
    t.set(mc::kExit, [this] { exitGame(); });
    t.set(mc::kViewExit, [this] { exitGame(); });

    // Menu 131, the colours.
    t.set(fc::kBackgroundColour, [this] { chooseColour(ColourItem::Background); });
    t.set(fc::kPieceOutlineColour, [this] { chooseColour(ColourItem::PieceOutline); });
    t.set(fc::kPuzzleOutlineColour, [this] { chooseColour(ColourItem::PuzzleOutline); });
    t.set(fc::kSelectionColour, [this] { chooseColour(ColourItem::Selection); });
    t.set(fc::kRestoreDefaultColours, [this] {
        colours_.restoreDefaults(&app_.compositor().backBuffer());
        colourOptionsChanged();
    });

    // Menu 132, the view's menu.
    t.set(mc::kMinimize, [this] { app_.window().showMinimized(); });
    t.set(mc::kToolBar, [this] { toggleToolPalette(); });
    for (uint32_t id : {mc::kZoom1, mc::kZoom2, mc::kZoom4, mc::kZoom8, mc::kSelectAll, mc::kPieceInfo,
                        view_command::kPieceNumber})
        t.set(id, [&view, id] { view.command(id); });
    t.set(mc::kFindEdges, [this] { findEdges(); });
    t.set(mc::kNearThisOne, [this] { findNearby(); });
    t.set(mc::kWithThisColor, [this] { findByColour(); });
    t.set(mc::kSolveThisPiece, [this, &view] {
        const Point click = view.clickPoint();
        if (app_.assist().solveThisPiece(click.x, click.y) > 0) app_.markChanged();
        app_.refreshAll();
    });
    // Never offered (the menu removes it); a body for the key-less command.
    t.set(mc::kSolveSelected, [this] {
        const HitCode hit = app_.assist().lastHit();
        const ListId list = hit.box() >= 0 ? hit.list() : ListId::Main;
        if (app_.model().solveSelectedPieces(list) > 0) {
            app_.markChanged();
            checkPuzzleCompletion(app_.model(), app_.document().puzzleState(), false, app_, processRandom());
        }
        app_.refreshAll();
        sideWindows_->redrawAll();
    });
    t.set(mc::kArrange, [this, &doc] {
        playEvent(kSoundArrange);
        if (app_.assist().arrange(doc.playWidth(), doc.playHeight()) > 0) app_.markChanged();
        const int box = app_.assist().lastHit().box() + 1;
        if (box >= 1) sideWindows_->boxContentsChanged(box);
        app_.refreshAll();
    });
    t.set(mc::kCheckCompletion, [this] {
        checkPuzzleCompletion(app_.model(), app_.document().puzzleState(), false, app_, processRandom());
    });

    // The palette's toggles, also reached by keys.
    t.set(fc::kPuzzleOutline, [this] {
        if (colours_.togglePuzzleOutline(AssistAllowances::fromRecord(app_.document().record()).puzzleOutline))
            colourOptionsChanged();
    });
    t.set(fc::kPieceOutlines, [this] {
        colours_.togglePieceOutlines();
        colourOptionsChanged();
    });
    t.set(fc::kOverview, [this] {
        sideWindows_->toggleOverview();
        refreshPalette();
    });
    t.set(fc::kPreview, [this] {
        sideWindows_->togglePreview();
        refreshPalette();
    });
    for (int box = 1; box <= 4; ++box)
        t.set(fc::kBox1 + uint32_t(box - 1), [this, box] {
            if (!AssistAllowances::fromRecord(app_.document().record()).sortingBoxes) return;
            sideWindows_->toggleBox(box);
            refreshPalette();
        });

    // The palette's own ids.
    for (const PaletteButton& b : kPaletteButtons)
        if (b.tool >= 0) t.set(b.id, [this, tool = b.tool] { setToolChecked(tool); }, CommandScope::Palette);
    t.set(fc::kColors, [this] {
        std::vector<MenuItem> items = composeColourMenu();
        QMenu menu(palette_);
        fillMenu(menu, items);
        PaletteButtonWidget* b = palette_->button(fc::kColors);
        QAction* chosen = menu.exec(b->mapToGlobal(QPoint(b->width(), 0)));
        if (chosen) dispatch(chosen->data().toUInt());
    }, CommandScope::Palette);
    t.set(fc::kHide, [this] {
        sideWindows_->toggleHide();
        app_.refreshAll();
        refreshPalette();
    }, CommandScope::Palette);
    // The key's path: refused while something is held and once complete.
    t.set(fc::kPaletteUndo, [this] {
        app_.view().keyDown(ViewKey::Backspace, keyFlagsOf(QGuiApplication::keyboardModifiers()));
    }, CommandScope::Palette);
}

std::vector<MenuItem> FrameController::paletteMenu() const {
    PaletteMenuState state;
    state.networkGame = app_.document().record().networkGame != 0;
    state.rotatedPieces = app_.document().record().rotationOption != 0;
    state.recentFiles = recent_.menuTexts();
    std::vector<MenuItem> menu = composePaletteMenu(state);
    commands_.disableUnhandled(menu);
    return menu.empty() ? std::vector<MenuItem>{} : menu.front().items;
}

// ------------------------------------------------------------------ palette

void FrameController::setToolChecked(int tool) {
    const AssistAllowances allowed = AssistAllowances::fromRecord(app_.document().record());
    if ((tool == kToolArrange && !allowed.arrange) || (tool == kToolSolve && !allowed.solve) ||
        (tool == kToolFind && !allowed.anyFind()))
        return;
    app_.view().setTool(tool);
    refreshPalette();
}

void FrameController::refreshPalette() {
    ToolPalette& p = *palette_;
    p.setTool(app_.view().tool());
    const RendererState& st = app_.compositor().state();
    p.setOn(fc::kPuzzleOutline, st.puzzleOutlineShown);
    p.setOn(fc::kPieceOutlines, st.outlinesShown);
    p.setOn(fc::kOverview, sideWindows_->isOpen(SideWindow::Overview));
    p.setOn(fc::kPreview, sideWindows_->isOpen(SideWindow::Preview));
    p.setOn(fc::kHide, sideWindows_->hidden());
    for (int box = 1; box <= 4; ++box) p.setOn(fc::kBox1 + uint32_t(box - 1), sideWindows_->isBoxOpen(box));
    const AssistAllowances allowed = AssistAllowances::fromRecord(app_.document().record());
    const bool playing = app_.document().hasPuzzle() && !assistDisabled_;
    p.setButtonEnabled(fc::kArrangeTool, playing && allowed.arrange);
    p.setButtonEnabled(fc::kSolveTool, playing && allowed.solve);
    p.setButtonEnabled(fc::kFindTool, playing && allowed.anyFind());
    p.setButtonEnabled(fc::kPuzzleOutline, allowed.puzzleOutline);
    for (int box = 1; box <= 4; ++box) p.setButtonEnabled(fc::kBox1 + uint32_t(box - 1), allowed.sortingBoxes);
}

void FrameController::savePalettePlacement() {
    app_.document().record().paletteRect = storedRect(palette_->geometry());
}

bool FrameController::restorePalettePlacement() {
    const StoredRect& r = app_.document().record().paletteRect;
    if (r.right <= r.left || r.bottom <= r.top) return false;
    palette_->placeAt(QPoint(r.left, r.top));
    return true;
}

void FrameController::toggleToolPalette() { palette_->setVisible(!palette_->isVisible()); }

void FrameController::showPalette() {
    // A puzzle that holds a placement brings the palette there; otherwise
    // the palette stays put and its placement goes into the puzzle.
    if (!restorePalettePlacement()) {
        if (palette_->pos() == QPoint(0, 0)) palette_->placeDefault();
        savePalettePlacement();
    }
    palette_->show();
    palette_->raise();
    refreshPalette();
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
            app_.assist().findEdges(15, parts[1].toInt());
            sideWindows_->boxContentsChanged(parts[1].toInt());
        } else if (parts[0] == "menu" && parts.size() == 3) {
            shootAndClose();
            app_.view().rightButton(WindowId::view(), {parts[1].toInt(), parts[2].toInt()}, {});
        } else if (parts[0] == "palettemenu") {
            shootAndClose();
            palette_->menuBar()->setActiveAction(palette_->menu()->menuAction());
        } else if (t.startsWith('p')) {
            pressPaletteButton(t.mid(1).toUInt());
        } else {
            dispatch(t.toUInt());
        }
    }
    refreshPalette();
}

void FrameController::disableAssistTools() {
    assistDisabled_ = true;
    refreshPalette();
}

void FrameController::resetSideWindows() {
    sideWindows_->closePreviewAndOverview();
    sideWindows_->endHide();
    assistDisabled_ = false;
    if (app_.view().tool() != kToolNormal) app_.view().setTool(kToolNormal);
    refreshPalette();
}

void FrameController::puzzleShown() {
    sideWindows_->openFromRecord();
    // A recut leaves open boxes open, with new (no) pieces in them.
    for (int box = 1; box <= 4; ++box) sideWindows_->boxContentsChanged(box);
    sideWindows_->refreshCaptions();
    assistDisabled_ = app_.document().puzzleState() == kPuzzleStateCompleted;
    refreshPalette();
}

QWidget* FrameController::widgetFor(WindowId id) const { return sideWindows_->widgetFor(id); }

// ------------------------------------------------------------ searching

void FrameController::searchingOpened(const SearchingProgress& progress) { searching_->start(progress); }
void FrameController::searchingStepped(const SearchingProgress& progress) { searching_->step(progress); }
void FrameController::searchingClosed() { searching_->hide(); }

// ------------------------------------------------------------------ finds

void FrameController::findEdges() {
    if (!app_.document().hasPuzzle()) return;
    const AssistAllowances allowed = AssistAllowances::fromRecord(app_.document().record());
    FindEdgesDialog model(DeliveryChoice(app_.assist().lastHit(), allowed.sortingBoxes));
    FindEdgesWindow dialog(&app_.window(), model);
    if (dialog.exec() != QDialog::Accepted) return;
    // The selection (and a delivery) is part of the saved puzzle.
    if (app_.assist().findEdges(model.mask(), model.delivery.value()) > 0) app_.markChanged();
    if (model.delivery.value() > 0) sideWindows_->boxContentsChanged(model.delivery.value());
    refreshPalette();
}

void FrameController::findNearby() {
    if (!app_.document().hasPuzzle() || !app_.assist().lastHit().hasPiece()) return;
    const AssistAllowances allowed = AssistAllowances::fromRecord(app_.document().record());
    FindNearbyDialog model(DeliveryChoice(app_.assist().lastHit(), allowed.sortingBoxes));
    FindNearbyWindow dialog(&app_.window(), model);
    if (dialog.exec() != QDialog::Accepted) return;
    if (app_.assist().findNearby(model.range(), model.delivery.value()) > 0) app_.markChanged();
    if (model.delivery.value() > 0) sideWindows_->boxContentsChanged(model.delivery.value());
    refreshPalette();
}

void FrameController::findByColour() {
    Document& doc = app_.document();
    if (!doc.hasPuzzle() || !doc.hasPicture() || !app_.assist().lastHit().hasPiece()) return;
    const PictureView picture = pictureViewOf(doc.picture());
    const Point click = app_.view().clickPoint();
    // The samples are taken at the click point before the dialog opens.
    const SampleColours samples = app_.assist().takeSamples(picture, click.x, click.y);
    const AssistAllowances allowed = AssistAllowances::fromRecord(doc.record());
    ColorMatchDialog model(DeliveryChoice(app_.assist().lastHit(), allowed.sortingBoxes));
    ColorMatchWindow dialog(&app_.window(), model);
    if (dialog.exec() != QDialog::Accepted) return;
    const int delivery = model.delivery.value();
    if (app_.assist().findByColour(picture, samples, model.colourRange(), model.threshold(), delivery) > 0)
        app_.markChanged();
    if (delivery > 0) sideWindows_->boxContentsChanged(delivery);
    refreshPalette();
}

// ---------------------------------------------------------------- colours

void FrameController::chooseColour(ColourItem item) {
    for (int i = 0; i < 16; ++i) {
        const uint32_t c = colours_.customColour(i);
        QColorDialog::setCustomColor(i, QColor(chosenRed(c), chosenGreen(c), chosenBlue(c)));
    }
    const uint32_t now = colours_.chosen(item);
    QColorDialog dialog(QColor(chosenRed(now), chosenGreen(now), chosenBlue(now)), &app_.window());
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    const bool ok = dialog.exec() == QDialog::Accepted;
    // The custom colours are kept whichever way the chooser closed.
    for (int i = 0; i < 16; ++i) {
        const QColor c = QColorDialog::customColor(i);
        colours_.setCustomColour(i, chosenColour(uint8_t(c.red()), uint8_t(c.green()), uint8_t(c.blue())));
    }
    if (!ok) return;
    const QColor c = dialog.selectedColor();
    colours_.choose(item, chosenColour(uint8_t(c.red()), uint8_t(c.green()), uint8_t(c.blue())),
                    &app_.compositor().backBuffer());
    colourOptionsChanged();
}

void FrameController::colourOptionsChanged() {
    app_.markChanged();
    app_.window().view()->update();
    sideWindows_->redrawAll();
    refreshPalette();
}

void FrameController::saveWallpaper() {
    Document& doc = app_.document();
    Compositor& comp = app_.compositor();
    if (!doc.hasPuzzle() || !doc.hasPicture() || !comp.backBuffer().hasPixels()) return;
    const std::string folder = wallpaperFolder(qEnvironmentVariable("XDG_DATA_HOME").toStdString(),
                                               QDir::homePath().toStdString());
    if (folder.empty()) return;
    const std::string path = wallpaperPath(folder);
    if (pavalo::saveWallpaper(comp.renderer, app_.model(), &doc.picture(), comp.backBuffer(), path) &&
        setDesktopWallpaper)
        setDesktopWallpaper(path);
}

// ------------------------------------------------------------------ files

void FrameController::openPuzzle() {
    Document& doc = app_.document();
    if (!doc.askToSaveChanges()) return;
    const std::string start = doc.path().empty() ? app_.dataFolderPath()
                                                 : QFileInfo(QString::fromStdString(doc.path())).absolutePath().toStdString();
    if (std::optional<std::string> path = app_.platform().pickOpenFile("Open", kPuzzleFilter, start)) doc.open(*path);
}

void FrameController::openRecent(int index) {
    if (index < 0 || size_t(index) >= recent_.files().size()) return;
    Document& doc = app_.document();
    if (!doc.askToSaveChanges()) return;
    const std::string path = recent_.files()[size_t(index)];
    doc.open(path);
}

void FrameController::addRecentFile(const std::string& path) {
    recent_.add(path);
    recent_.save(recentPath_);
}

void FrameController::forgetRecentFile(const std::string& path) {
    if (recent_.remove(path)) recent_.save(recentPath_);
}

// ------------------------------------------------------------ help, exit

void FrameController::showHelp() {
    if (!help_) help_ = new HelpWindow(&app_.window());
    if (!help_->showContents())
        app_.platform().messageBox("Error starting help file " + std::string(kHelpIndex), "WinHelp Error",
                                   MessageButtons::Ok);
}

void FrameController::showVideoOptions() {
    Preferences& prefs = app_.preferences();
    VideoOptionsDialog dialog(&app_.window(), prefs.record.hardwareStretch != 0);
    if (dialog.exec() != QDialog::Accepted) return;
    prefs.record.hardwareStretch = dialog.hardwareStretching() ? 1 : 0;
    app_.window().view()->setHardwareStretching(dialog.hardwareStretching());
    app_.window().view()->update();
}

void FrameController::exitGame() {
    Document& doc = app_.document();
    if (!doc.askToSaveChanges()) return;
    sideWindows_->closeAll();
    doc.release();
    app_.puzzleChanged();
    palette_->hide();
    // The start dialog runs after this command has returned.
    QTimer::singleShot(0, &app_, [this] { app_.runStartRoutine(); });
}

void FrameController::applicationStateChanged(Qt::ApplicationState state) {
    // Leaving the full-screen game for another program minimises it; a
    // windowed game stays as it is among the other windows.
    if (state != Qt::ApplicationInactive || app_.window().windowed() || app_.window().isMinimized()) return;
    if (QApplication::activeModalWidget() || QApplication::activePopupWidget()) return;
    dispatch(mc::kMinimize);
}

}  // namespace pavalo
