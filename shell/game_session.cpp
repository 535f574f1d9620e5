// The game session: the commands' logic and the seams of the document, the
// view, completion and undo.
#include "shell/game_session.h"

#include <cstdlib>
#include <filesystem>

#include "common/sound_events.h"
#include "display/picture_view_adapter.h"
#include "media/bmp.h"
#include "puzzle/assist_allowances.h"
#include "shell/data_folder.h"
#include "shell/dialogs/assist_dialogs.h"
#include "shell/recovery.h"
#include "shell/wallpaper.h"

namespace pavalo {
namespace {

namespace mc = menu_command;
namespace fc = frame_command;

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool lookUp(const std::vector<std::pair<uint32_t, bool>>& list, uint32_t id) {
    for (const auto& [key, value] : list)
        if (key == id) return value;
    return false;
}

}  // namespace

bool PaletteState::isOn(uint32_t id) const { return lookUp(on, id); }
bool PaletteState::isEnabled(uint32_t id) const { return lookUp(enabled, id); }

GameSession::GameSession(const SessionOptions& options, Platform& platform, Random& random)
    : dataFolder_(options.dataFolder),
      platform_(platform),
      random_(random),
      model_(puzzleModel()),
      colours_(prefs_.record, compositor_->state()) {
    if (!dataFolder_.empty()) {
        recentPath_ = joinPath(dataFolder_, kRecentFilesName);
        recovery_ = std::make_unique<RecoveryWriter>(dataFolder_);
    }
    animations_ = std::make_unique<AnimatedPictures>(platform_);
    document_ = std::make_unique<Document>(model_, undo_, prefs_, platform_, *this, animations_.get());
    // Movies from removable media are copied into the data folder first.
    if (!dataFolder_.empty()) document_->setMovieStorage(systemMovieStorage(dataFolder_));
    document_->setPlayArea(options.playWidth, options.playHeight);
    document_->puzzleState() = kPuzzleStateNone;
    compositor_->setDataFolder(dataFolder_);
    compositor_->setTileLoader([](DrawSurface& s, const std::string& path) { return loadBmpFile(s, path); });
    assist_ = std::make_unique<AssistCommands>(model_, *this, selector_, *this, document_->puzzleState(), random_);
    view_ = std::make_unique<ViewController>(ViewContext{model_, platform_, document_->record(),
                                                         document_->puzzleState(), compositor_->state(), undo_,
                                                         *this, *assist_, *this, random_, *this, *this, network_});
    RendererState& state = compositor_->state();
    state.displayState = DisplayState::Tile;  // the background tile until a puzzle exists
    state.viewMode = kViewNoPuzzle;
    state.rebuildBuffers = true;
    compositor_->setScene({&model_, nullptr, &document_->record()});
    sideWindows_ = std::make_unique<SideWindowManager>(
        model_, document_->record(),
        [this]() -> const DrawSurface* { return document_->hasPicture() ? &document_->picture() : nullptr; },
        [this] { markChanged(); }, Point{options.playWidth, options.playHeight});
    registerCommands();
}

GameSession::~GameSession() {
    if (document_) document_->release();
}

void GameSession::setFrontEnd(SessionFrontEnd* frontEnd) {
    frontEnd_ = frontEnd ? frontEnd : &headless_;
    shownTitle_.clear();
    sideWindows_->setViews(frontEnd_->sideWindowViews());
}

void GameSession::setPlayArea(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) return;
    // A network game keeps the host's play area, which every machine cut
    // in and clamps moves to, whatever this window does meanwhile.
    if (networkGame()) return;
    if (width == document_->playWidth() && height == document_->playHeight() &&
        (!display_.hasPixels() || (display_.requestedWidth() == width && display_.requestedHeight() == height)))
        return;
    document_->setPlayArea(width, height);
    if (display_.hasPixels()) display_.followWindowSize(width, height);
    compositor_->state().rebuildBuffers = true;
    sideWindows_->keepOnScreen();
    if (document_->hasPuzzle()) view_->scroll(0, 0);  // back within the new limits
    redrawPlayArea();
}

void GameSession::loadSettings() {
    loadPreferences(preferencesPath(dataFolder_), prefs_, music_);
    if (!recentPath_.empty()) recent_.load(recentPath_);
    colours_.applyPreferences(&compositor_->backBuffer());
}

void GameSession::saveSettings() { savePreferences(preferencesPath(dataFolder_), prefs_, music_, true); }

AssistAllowances GameSession::allowances() const { return AssistAllowances::fromRecord(document_->record()); }

// ------------------------------------------------------------ command table

void GameSession::registerCommands() {
    CommandTable& t = commands_;
    Document& doc = *document_;
    ViewController& view = *view_;

    // Menu 128 and the palette's New and Exit.
    // A network game's puzzle belongs to the session: the file commands,
    // recutting and the rotation switch do nothing there, whichever key or
    // button asks (the menus show them disabled or leave them out).
    t.set(mc::kNew, [this, &doc] {
        if (!networkGame() && doc.askToSaveChanges()) doc.newPuzzle();
    });
    t.set(mc::kOpen, [this] {
        if (!networkGame()) openPuzzle();
    });
    t.set(mc::kSave, [this, &doc] {
        if (!networkGame()) doc.save();
    });
    t.set(mc::kSaveAs, [this, &doc] {
        if (!networkGame()) doc.saveAs();
    });
    for (int i = 0; i < int(kMaxRecentFiles); ++i)
        t.set(recentFileCommand(i), [this, i] {
            if (!networkGame()) openRecent(i);
        });
    t.set(mc::kCenter, [&view] { view.centerView(); });
    t.set(mc::kRecut, [this, &doc] {
        if (!networkGame()) doc.recut();
    });
    t.set(mc::kWallpaper, [this] { saveWallpaper(); });
    t.set(mc::kRotatedPieces, [this, &doc] {
        if (!networkGame()) doc.toggleRotation();
    });
    t.set(mc::kSoundOptions, [this] { frontEnd_->showSoundOptions(); });
    t.set(mc::kMidiMusicOptions, [this] { frontEnd_->showMidiOptions(); });
    t.set(mc::kCdMusicOptions, [this] { frontEnd_->showCdOptions(); });
    t.set(mc::kVideoOptions, [this] { showVideoOptions(); });
    t.set(mc::kFullScreen, [this] { frontEnd_->toggleFullScreen(); });
    t.set(mc::kHelpTopics, [this] { frontEnd_->showHelp(); });
    t.set(mc::kAbout, [this] { frontEnd_->showAbout(); });
    t.set(mc::kExit, [this] { exitGame(); });
    t.set(mc::kViewExit, [this] { exitGame(); });

    // Menu 131, the colours.
    t.set(fc::kBackgroundColour, [this] { chooseColour(ColourItem::Background); });
    t.set(fc::kPieceOutlineColour, [this] { chooseColour(ColourItem::PieceOutline); });
    t.set(fc::kPuzzleOutlineColour, [this] { chooseColour(ColourItem::PuzzleOutline); });
    t.set(fc::kSelectionColour, [this] { chooseColour(ColourItem::Selection); });
    t.set(fc::kRestoreDefaultColours, [this] {
        colours_.restoreDefaults(&compositor_->backBuffer());
        colourOptionsChanged();
    });

    // Menu 132, the view's menu.
    t.set(mc::kMinimize, [this] { frontEnd_->minimize(); });
    t.set(mc::kToolBar, [this] { toggleToolPalette(); });
    for (uint32_t id : {mc::kZoom1, mc::kZoom2, mc::kZoom4, mc::kZoom8, view_command::kZoomHalf,
                        view_command::kZoomQuarter, view_command::kZoomEighth, view_command::kZoomFit,
                        mc::kSelectAll, mc::kPieceInfo, view_command::kPieceNumber})
        t.set(id, [&view, id] { view.command(id); });
    t.set(mc::kFindEdges, [this] { findEdges(); });
    t.set(mc::kNearThisOne, [this] { findNearby(); });
    t.set(mc::kWithThisColor, [this] { findByColour(); });
    t.set(mc::kSolveThisPiece, [this, &view] {
        const Point click = view.clickPoint();
        if (assist_->solveThisPiece(click.x, click.y) > 0) markChanged();
        redrawPlayArea();
    });
    // Never offered (the menu removes it); a body for the key-less command.
    t.set(mc::kSolveSelected, [this] { solveSelected(); });
    t.set(mc::kArrange, [this] { arrange(); });
    t.set(mc::kCheckCompletion, [this] {
        checkPuzzleCompletion(model_, document_->puzzleState(), false, *this, random_);
    });

    // The palette's toggles, also reached by keys.
    t.set(fc::kPuzzleOutline, [this] {
        if (colours_.togglePuzzleOutline(allowances().puzzleOutline)) colourOptionsChanged();
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
            if (!allowances().sortingBoxes) return;
            sideWindows_->toggleBox(box);
            refreshPalette();
        });

    // The palette's own ids.
    for (const PaletteButton& b : kPaletteButtons)
        if (b.tool >= 0) t.set(b.id, [this, tool = b.tool] { setToolChecked(tool); }, CommandScope::Palette);
    t.set(fc::kColors, [this] {
        if (const uint32_t chosen = frontEnd_->colourMenu(composeColourMenu())) dispatch(chosen);
    }, CommandScope::Palette);
    t.set(fc::kHide, [this] {
        sideWindows_->toggleHide();
        redrawPlayArea();
        refreshPalette();
    }, CommandScope::Palette);
    // Unlike the keys, the button also takes back the move that completed
    // the puzzle; the puzzle is then in play again.
    t.set(fc::kPaletteUndo, [this] {
        if (!view_->undoLastMove(false) || document_->puzzleState() == kPuzzleStateCompleted) return;
        RendererState& state = compositor_->state();
        if (state.viewMode == kViewFinished) state.viewMode = kViewPiecesShown;
        assistDisabled_ = false;
        followPuzzleState();
        refreshTitle();
        refreshPalette();
        redrawPlayArea();
    }, CommandScope::Palette);
}

bool GameSession::networkGame() const { return document_->record().networkGame != 0; }

std::vector<MenuItem> GameSession::paletteMenu() const {
    PaletteMenuState state;
    state.networkGame = networkGame();
    state.rotatedPieces = document_->record().rotationOption != 0;
    state.fullScreen = frontEnd_->fullScreen();
    state.recentFiles = recent_.menuTexts();
    std::vector<MenuItem> menu = composePaletteMenu(state);
    commands_.disableUnhandled(menu);
    return menu.empty() ? std::vector<MenuItem>{} : menu.front().items;
}

// ------------------------------------------------------------------ palette

void GameSession::setToolChecked(int tool) {
    if (view_->selectTool(tool)) refreshPalette();
}

PaletteState GameSession::paletteState() const {
    PaletteState p;
    p.tool = view_->tool();
    const RendererState& st = compositor_->state();
    const SideWindowManager& w = *sideWindows_;
    p.on = {{fc::kPuzzleOutline, st.puzzleOutlineShown},
            {fc::kPieceOutlines, st.outlinesShown},
            {fc::kOverview, w.isOpen(SideWindow::Overview)},
            {fc::kPreview, w.isOpen(SideWindow::Preview)},
            {fc::kHide, w.hidden()}};
    for (int box = 1; box <= 4; ++box) p.on.push_back({fc::kBox1 + uint32_t(box - 1), w.isBoxOpen(box)});
    const AssistAllowances allowed = allowances();
    const bool playing = document_->hasPuzzle() && !assistDisabled_;
    p.enabled = {{fc::kArrangeTool, playing && allowed.arrange},
                 {fc::kSolveTool, playing && allowed.solve},
                 {fc::kFindTool, playing && allowed.anyFind()},
                 {fc::kPuzzleOutline, allowed.puzzleOutline}};
    for (int box = 1; box <= 4; ++box) p.enabled.push_back({fc::kBox1 + uint32_t(box - 1), allowed.sortingBoxes});
    // Nobody starts another puzzle or takes back a move in a shared game.
    p.enabled.push_back({fc::kPaletteNew, !networkGame()});
    p.enabled.push_back({fc::kPaletteUndo, !networkGame()});
    return p;
}

void GameSession::refreshPalette() { frontEnd_->showPalette(paletteState()); }

void GameSession::palettePlaced(const StoredRect& placement) { document_->record().paletteRect = placement; }

void GameSession::puzzleShown() {
    sideWindows_->openFromRecord();
    // A recut leaves open boxes open, with new (no) pieces in them.
    for (int box = 1; box <= 4; ++box) sideWindows_->boxContentsChanged(box);
    sideWindows_->refreshCaptions();
    assistDisabled_ = document_->puzzleState() == kPuzzleStateCompleted;
    refreshPalette();
}

bool GameSession::advanceAnimatedPicture() {
    if (!document_->hasPicture()) return false;
    const uint32_t kind = document_->record().pictureKind;
    if (kind == kPictureWda) {
        if (!animations_->advance(document_->picture())) return false;
    } else if (kind == kPictureMovie || kind == kPictureMovieWithData) {
        if (!animations_->advanceMovie(document_->picture())) return false;
    } else {
        return false;
    }
    ++pictureVersion_;
    compositor_->pictureChanged();
    redrawPlayArea();
    return true;
}

// ------------------------------------------------------- DocumentFrontEnd

void GameSession::puzzleChanged() {
    ++pictureVersion_;
    ++changes_;
    if (document_->puzzleSerial() != clockSerial_) {
        // Another puzzle: its own play time, and the autosave of the one
        // before (saved or let go by the player) is no longer wanted.
        clockSerial_ = document_->puzzleSerial();
        clock_.reset(document_->record().playSeconds);
        finishPending_ = false;
        discardAutosave();
    }
    followPuzzleState();
    RendererState& state = compositor_->state();
    const bool playing = document_->hasPuzzle();
    DrawSurface* picture = document_->hasPicture() ? &document_->picture() : nullptr;
    compositor_->setScene({&model_, picture, &document_->record()});
    state.displayState = playing ? DisplayState::Playing : DisplayState::Tile;
    state.viewMode = !playing ? kViewNoPuzzle
                     : document_->puzzleState() == kPuzzleStateCompleted ? kViewFinished
                                                                         : kViewPiecesShown;
    state.rebuildBuffers = true;
    if (playing) {
        // The back buffer follows the picture's depth; shades are made at it.
        compositor_->updateView(ViewRequest{});
        compositor_->renderer.buildOutlineShades(model_, picture);
    }
    shownTitle_ = windowTitle();
    frontEnd_->setTitle(shownTitle_);
    view_->reset();
    // A table larger than the window is first shown whole.
    if (playing) view_->fitIfTableHidden();
    if (playing) puzzleShown();
    redrawPlayArea();
}

void GameSession::closeSortingBoxes() {
    sideWindows_->closeSortingBoxes();
    refreshPalette();
}

void GameSession::resetSideWindows() {
    sideWindows_->closePreviewAndOverview();
    sideWindows_->endHide();
    assistDisabled_ = false;
    if (view_->tool() != kToolNormal) view_->setTool(kToolNormal);
    refreshPalette();
}

void GameSession::addRecentFile(const std::string& path) {
    recent_.add(path);
    if (!recentPath_.empty()) recent_.save(recentPath_);
}

void GameSession::stampRecord(SettingsRecord& record) {
    if (document_->hasPuzzle()) record.playSeconds = clock_.seconds();
}

// The file now holds everything the autosave held, and more recently.
void GameSession::puzzleSaved() { discardAutosave(); }

void GameSession::forgetRecentFile(const std::string& path) {
    if (recent_.remove(path) && !recentPath_.empty()) recent_.save(recentPath_);
}

// ---------------------------------------------------------- ViewDocument

void GameSession::markChanged() {
    ++changes_;
    if (document_->puzzleState() != kPuzzleStateCompleted) document_->setModified();
    refreshTitle();
}

std::string GameSession::windowTitle() const {
    if (!document_) return "Pavalo";
    const std::string title = document_->title();
    return document_->hasPuzzle() && document_->modified() ? "*" + title : title;
}

void GameSession::refreshTitle() {
    if (!frontEnd_) return;
    std::string title = windowTitle();
    if (title == shownTitle_) return;
    shownTitle_ = title;
    frontEnd_->setTitle(shownTitle_);
}

// ----------------------------------------------------------- ViewWindows

void GameSession::redrawPlayArea() {
    frontEnd_->redrawPlayArea();
    // The side windows show the same pieces and picture.
    sideWindows_->redrawAll();
}

void GameSession::toolChanged(int) { refreshPalette(); }
void GameSession::toggleSortingBox(int box) { dispatch(fc::kBox1 + uint32_t(box - 1)); }
void GameSession::toggleOverview() { dispatch(fc::kOverview); }
void GameSession::togglePreview() { dispatch(fc::kPreview); }
void GameSession::toggleToolPalette() { frontEnd_->togglePaletteVisible(); }

void GameSession::redrawOverview() {
    sideWindows_->redrawOverview();
}

void GameSession::hideSideWindows() {
    sideWindows_->hide();
    refreshPalette();
}

void GameSession::restoreSideWindows() {
    sideWindows_->restore();
    refreshPalette();
}

Rect GameSession::boxClientRect(int box) const { return sideWindows_->boxClientRect(box); }

int GameSession::boxZoom(int box) const { return sideWindows_->boxZoom(box); }

void GameSession::setBoxZoom(int box, int zoom) {
    sideWindows_->setBoxZoom(box, zoom);
}

void GameSession::boxContentsChanged(int box) {
    sideWindows_->boxContentsChanged(box);
}

bool GameSession::isBoxOpen(int box) const { return sideWindows_->isBoxOpen(box); }

void GameSession::openBox(int box) {
    sideWindows_->openBox(box);
    refreshPalette();
}

Rect GameSession::boxClientArea(int box) const { return sideWindows_->boxClientArea(box); }

// The box's scroll position goes back to where its pieces now lie.
void GameSession::resetBoxScroll(int box) { boxContentsChanged(box); }

void GameSession::setBoxCaption(int box, const std::string& caption) {
    sideWindows_->setBoxCaption(box, caption);
}

void GameSession::redrawBox(int box) {
    sideWindows_->redrawBox(box);
}

// ------------------------------------------------------ CompletionActions

void GameSession::centreView() { view_->centerView(); }

void GameSession::refreshTitleAndStatus() {
    if (document_->puzzleState() == kPuzzleStateCompleted) {
        compositor_->state().viewMode = kViewFinished;
        followPuzzleState();
        // The finished puzzle is kept at once; the panel follows the
        // completion's last step.
        ++changes_;
        std::string error;
        autosave(error);
        finishPending_ = true;
    }
    shownTitle_ = windowTitle();
    frontEnd_->setTitle(shownTitle_);
    redrawPlayArea();
}

void GameSession::disableAssistTools() {
    assistDisabled_ = true;
    refreshPalette();
}

void GameSession::closePreviewAndOverview() {
    sideWindows_->closePreviewAndOverview();
    refreshPalette();
}

void GameSession::refreshStatusAndSortingBoxes() {
    sideWindows_->refreshCaptions();
    sideWindows_->redrawAll();
    if (!finishPending_) return;
    finishPending_ = false;
    FinishSummary summary;
    summary.pieces = model_.pieceCount();
    summary.seconds = clock_.seconds();
    summary.canStartAgain = document_->record().networkGame == 0;
    frontEnd_->puzzleFinished(summary);
}

// ----------------------------------------------------------- UndoActions

void GameSession::restoreWindows(const SettingsRecord&) {
    sideWindows_->restorePlacements();
    frontEnd_->placePalette(document_->record().paletteRect);
    sideWindows_->refreshCaptions();
    redrawPlayArea();
}

// ------------------------------------------------------------------ finds

void GameSession::findEdges() {
    if (!document_->hasPuzzle()) return;
    FindEdgesDialog model(DeliveryChoice(assist_->lastHit(), allowances().sortingBoxes));
    if (!frontEnd_->runFindEdges(model)) return;
    // The selection (and a delivery) is part of the saved puzzle.
    if (assist_->findEdges(model.mask(), model.delivery.value()) > 0) markChanged();
    if (model.delivery.value() > 0) boxContentsChanged(model.delivery.value());
    refreshPalette();
}

void GameSession::findNearby() {
    if (!document_->hasPuzzle() || !assist_->lastHit().hasPiece()) return;
    FindNearbyDialog model(DeliveryChoice(assist_->lastHit(), allowances().sortingBoxes));
    if (!frontEnd_->runFindNearby(model)) return;
    if (assist_->findNearby(model.range(), model.delivery.value()) > 0) markChanged();
    if (model.delivery.value() > 0) boxContentsChanged(model.delivery.value());
    refreshPalette();
}

void GameSession::findByColour() {
    Document& doc = *document_;
    if (!doc.hasPuzzle() || !doc.hasPicture() || !assist_->lastHit().hasPiece()) return;
    const PictureView picture = pictureViewOf(doc.picture());
    const Point click = view_->clickPoint();
    // The samples are taken at the click point before the dialog opens.
    const SampleColours samples = assist_->takeSamples(picture, click.x, click.y);
    ColorMatchDialog model(DeliveryChoice(assist_->lastHit(), allowances().sortingBoxes));
    if (!frontEnd_->runColorMatch(model)) return;
    const int delivery = model.delivery.value();
    if (assist_->findByColour(picture, samples, model.colourRange(), model.threshold(), delivery) > 0) markChanged();
    if (delivery > 0) boxContentsChanged(delivery);
    refreshPalette();
}

void GameSession::solveSelected() {
    const HitCode hit = assist_->lastHit();
    const ListId list = hit.box() >= 0 ? hit.list() : ListId::Main;
    if (network_.sharesPieces()) {
        network_.sendSolveSelected(list);
        return;
    }
    if (model_.solveSelectedPieces(list) > 0) {
        markChanged();
        checkPuzzleCompletion(model_, document_->puzzleState(), false, *this, random_);
    }
    redrawPlayArea();
}

void GameSession::arrange() {
    playEvent(kSoundArrange);
    if (assist_->arrange(document_->playWidth(), document_->playHeight()) > 0) markChanged();
    const int box = assist_->lastHit().box() + 1;
    if (box >= 1) boxContentsChanged(box);
    redrawPlayArea();
}

// ---------------------------------------------------------------- colours

void GameSession::chooseColour(ColourItem item) {
    std::array<uint32_t, 16> custom{};
    for (int i = 0; i < 16; ++i) custom[size_t(i)] = colours_.customColour(i);
    const std::optional<uint32_t> chosen = frontEnd_->chooseColour(colours_.chosen(item), custom);
    // Cancel changes nothing, the custom colours included.
    if (!chosen) return;
    for (int i = 0; i < 16; ++i) colours_.setCustomColour(i, custom[size_t(i)]);
    colours_.choose(item, *chosen, &compositor_->backBuffer());
    colourOptionsChanged();
}

void GameSession::colourOptionsChanged() {
    markChanged();
    redrawPlayArea();
    refreshPalette();
}

void GameSession::saveWallpaper() {
    Document& doc = *document_;
    if (!doc.hasPuzzle() || !doc.hasPicture() || !compositor_->backBuffer().hasPixels()) return;
    const std::string folder = wallpaperFolder(environment("XDG_DATA_HOME"), environment("HOME"));
    if (folder.empty()) return;
    const std::string path = wallpaperPath(folder);
    if (pavalo::saveWallpaper(compositor_->renderer, model_, &doc.picture(), compositor_->backBuffer(), path))
        frontEnd_->setDesktopWallpaper(path);
}

void GameSession::showVideoOptions() {
    const std::optional<bool> stretch = frontEnd_->askVideoOptions(prefs_.record.hardwareStretch != 0);
    if (!stretch) return;
    prefs_.record.hardwareStretch = *stretch ? 1 : 0;
    frontEnd_->setHardwareStretching(*stretch);
    frontEnd_->redrawPlayArea();
}

// ------------------------------------------------------------------ files

void GameSession::openPuzzle() {
    Document& doc = *document_;
    if (!doc.askToSaveChanges()) return;
    const std::string start =
        doc.path().empty() ? dataFolder_ : std::filesystem::path(doc.path()).parent_path().string();
    if (std::optional<std::string> path = platform_.pickOpenFile("Open", kPuzzleFileFilter, start)) doc.open(*path);
}

void GameSession::openRecent(int index) {
    if (index < 0 || size_t(index) >= recent_.files().size()) return;
    if (!document_->askToSaveChanges()) return;
    const std::string path = recent_.files()[size_t(index)];
    document_->open(path);
}

// ------------------------------------------------------- start and exit

std::optional<std::string> GameSession::continuePath() const {
    const std::string last = PreferencesRecord::text(prefs_.record.lastPuzzlePath);
    std::error_code ec;
    if (last.empty() || !std::filesystem::exists(last, ec)) return std::nullopt;
    return last;
}

bool GameSession::runStartChoice(StartChoice choice) {
    Document& doc = *document_;
    switch (choice) {
        case StartChoice::NewPuzzle: doc.newPuzzle(); break;
        case StartChoice::OpenPuzzle:
            if (std::optional<std::string> path = platform_.pickOpenFile("Open", kPuzzleFileFilter, dataFolder_))
                doc.open(*path);
            break;
        case StartChoice::Continue:
            if (std::optional<std::string> path = continuePath()) doc.open(*path);
            break;
        case StartChoice::HostGame:
        case StartChoice::JoinGame:
        case StartChoice::Exit: break;
    }
    // A puzzle whose picture is gone opens as it does through the menu:
    // its pieces blank, after the player was told and could locate it.
    return doc.hasPuzzle();
}

bool GameSession::acceptsDroppedFile(const DroppedFile& file) const {
    if (file.kind == DroppedFileKind::None) return false;
    // Without a puzzle (the start dialog) New and Open are always there.
    if (!document_->hasPuzzle()) return true;
    const std::vector<MenuItem> menu = paletteMenu();
    const MenuItem* item = findMenuItem(menu, file.kind == DroppedFileKind::SavedPuzzle ? mc::kOpen : mc::kNew);
    return item && item->enabled;
}

bool GameSession::openDroppedFile(const DroppedFile& file) {
    if (!acceptsDroppedFile(file)) return false;
    Document& doc = *document_;
    if (!doc.askToSaveChanges()) return false;
    if (file.kind == DroppedFileKind::SavedPuzzle) {
        doc.open(file.path);
    } else {
        NewPuzzleOptions options;
        options.picture = file.path;
        doc.newPuzzle(options);
    }
    return doc.hasPuzzle() && doc.hasPicture();
}

bool GameSession::closeRequested() {
    if (!document_->askToSaveChanges()) return false;
    discardAutosave();
    playEvent(kSoundExit);
    return true;
}

bool GameSession::keepPuzzleForNextStart(std::string& error) {
    error.clear();
    if (dataFolder_.empty()) return true;
    // An autosave still being written is overtaken by this one, never the
    // other way round.
    finishAutosave(error);
    error.clear();
    if (keepPuzzle(*document_, dataFolder_, error)) return true;
    return error.empty();
}

bool GameSession::offerKeptPuzzle() {
    if (dataFolder_.empty() || !pavalo::offerKeptPuzzle(*document_, platform_, dataFolder_)) return false;
    refreshTitle();
    return document_->hasPuzzle();
}

// ------------------------------------------ play time, progress, autosave

void GameSession::followPuzzleState() {
    clock_.setInPlay(document_->hasPuzzle() && document_->puzzleState() != kPuzzleStateCompleted);
}

void GameSession::setClock(PlayClock clock) {
    clock_ = std::move(clock);
    followPuzzleState();
}

std::string GameSession::progressText() const {
    if (!document_->hasPuzzle()) return {};
    const int32_t placed = model_.countListPieces(ListId::Finished);
    return std::to_string(placed) + " / " + std::to_string(model_.pieceCount()) + " pieces   " +
           formatPlayTime(clock_.seconds());
}

void GameSession::finishPanelClosed(FinishChoice choice) {
    if (choice == FinishChoice::NewPuzzle)
        dispatch(mc::kNew);
    else if (choice == FinishChoice::PlayAgain)
        dispatch(mc::kRecut);
}

bool GameSession::autosave(std::string& error) {
    error.clear();
    if (!recovery_ || autosaved_ == changes_ || !puzzleWorthKeeping(*document_)) return true;
    autosaved_ = changes_;
    const bool previousWritten = recovery_->finish(error);
    recovery_->write(document_->savedBytes(), document_->path());
    return previousWritten;
}

bool GameSession::finishAutosave(std::string& error) {
    error.clear();
    return !recovery_ || recovery_->finish(error);
}

void GameSession::discardAutosave() {
    if (recovery_) recovery_->discard();
    autosaved_ = 0;
}

bool GameSession::exitGame() {
    if (!frontEnd_->mayLeaveGame()) return false;
    Document& doc = *document_;
    if (!doc.askToSaveChanges()) return false;
    discardAutosave();
    sideWindows_->closeAll();
    doc.release();
    puzzleChanged();
    frontEnd_->returnToStart();
    return true;
}

}  // namespace pavalo
