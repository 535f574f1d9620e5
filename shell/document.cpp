// The puzzle document: new puzzles, open, save, recut and rotation.
#include "shell/document.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "common/file_io.h"
#include "common/named_mutex.h"
#include "common/random.h"
#include "common/sound_events.h"
#include "surface/display_modes.h"
#include "media/load_error.h"
#include "media/still_picture.h"
#include "media/movie_names.h"
#include "media/picture_probe.h"
#include "puzzle/cutter.h"
#include "puzzle/saved_puzzle.h"
#include "shell/colour_options.h"

namespace pavalo {
namespace {

constexpr const char* kPuzzleFilter = "Pavalo Puzzles (*.gvp)|*.gvp|All Files (*.*)|*.*";

std::string lowerExtension(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string ext = path.substr(dot + 1);
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

// The display depth pictures are loaded at: true colour when the display
// offers it, else 8 bits.
int32_t trueColourDepth(int32_t width, int32_t height) {
    int32_t best = bestDisplayDepth(width, height, 24);
    return best >= 16 ? best : 8;
}

// A message pattern with its one blank (%s) filled in.
std::string filled(const char* pattern, const std::string& text) {
    std::vector<char> out(std::strlen(pattern) + text.size() + 1);
    std::snprintf(out.data(), out.size(), pattern, text.c_str());
    return out.data();
}

}  // namespace

std::optional<PictureKind> pictureKindForName(const std::string& path) {
    const std::string ext = lowerExtension(path);
    // PNG and WebP pictures are recorded as kind 1, the compressed still
    // picture decoded at the display's depth; the decoder is then chosen by
    // the file's first bytes (Document::loadPicture).
    if (ext == "jpg" || ext == "jpeg" || ext == "png" || ext == "webp") return kPictureJpeg;
    if (ext == "bmp") return kPictureBmp;
    if (ext == "wda") return kPictureWda;
    if (isMovieFileName(path)) return kPictureMovie;
    // A name that says nothing (a downloaded picture's): the first bytes.
    const uint32_t bytes = pictureKindOfFile(path);
    if (bytes == kProbeBmp) return kPictureBmp;
    if (bytes) return kPictureJpeg;
    return std::nullopt;
}

Document::Document(PuzzleModel& model, UndoRing& undo, Preferences& prefs, Platform& platform,
                   DocumentFrontEnd& frontEnd, MoviePictures* movies)
    : model_(model), undo_(undo), prefs_(prefs), platform_(platform), frontEnd_(frontEnd), movies_(movies) {
    record_.puzzleState = kPuzzleStateNone;
}

Document::~Document() {
    // The movie's objects may be gone already; the copy is only a file
    // (and may go while still open).
    removeMovieCopy();
}

void Document::removeMovieCopy() {
    if (movieCopy_.empty()) return;
    std::error_code ec;
    std::filesystem::remove(movieCopy_, ec);
    movieCopy_.clear();
}

void Document::releaseMovie() {
    if (movies_) movies_->releasePictures();
    removeMovieCopy();
}

void Document::recordMovieSource() {
    if (record_.pictureKind != kPictureMovie && record_.pictureKind != kPictureMovieWithData) return;
    const bool copy = !movieCopy_.empty() && SettingsRecord::setText(record_.movieDataPath, movieCopy_);
    record_.pictureKind = copy ? kPictureMovieWithData : kPictureMovie;
    if (!copy) SettingsRecord::setText(record_.movieDataPath, "");
}

void Document::setPlayArea(int32_t width, int32_t height) {
    playWidth_ = width;
    playHeight_ = height;
    NamedLock lock(NamedMutex::PIECE);
    model_.geometry().playWidth = width;
    model_.geometry().playHeight = height;
}

void Document::showMessage(const char* text) { platform_.messageBox(text, {}, MessageButtons::Ok); }

std::string Document::title() const {
    if (path_.empty()) return "Pavalo";
    return "Pavalo - " + std::filesystem::path(path_).filename().string();
}

void Document::release() {
    {
        NamedLock lock(NamedMutex::PIECE);
        model_.freePuzzle();
    }
    picture_.releasePixels();
    releaseMovie();
    pieceOrder_.clear();
    undo_.clear();
    record_.puzzleState = kPuzzleStateNone;
}

bool Document::loadPicture(const std::string& path, PictureKind kind) {
    namespace fs = std::filesystem;
    using namespace document_text;
    const int32_t W = playWidth_, H = playHeight_;
    std::error_code ec;
    const bool exists = fs::exists(path, ec);
    // A file that is there but cannot be read is said as such, not as missing.
    auto unreadable = [&] { showMessage(exists ? filled(kImageDamaged, path) : std::string(kImageNotFound)); };
    switch (kind) {
        case kPictureJpeg: {
            if (!exists) {
                showMessage(kImageNotFound);
                return false;
            }
            if (!loadStillPicture(picture_, path, true, trueColourDepth(W, H))) {
                if (picture_.lastLoadError == kLoadErrorNoSurface)
                    showMessage(kNoSurface);
                else
                    unreadable();
                return false;
            }
            return true;
        }
        case kPictureWda:
            if (!movies_ || !movies_->openAnimation(path, picture_)) {
                unreadable();
                return false;
            }
            return true;
        case kPictureMovie:
        case kPictureMovieWithData: {
            if (!movies_ || !movies_->movieSystemAvailable()) {
                showMessage(kNoMovieSystem);
                return false;
            }
            if (!exists) {
                showMessage(kMovieNotFound);
                return false;
            }
            releaseMovie();
            std::string source = path;
            if (movieStorage_) {
                const MovieBufferResult buffered = bufferMovie(path, *movieStorage_, platform_, frontEnd_);
                if (buffered.outcome == MovieBufferOutcome::Cancelled) return false;
                if (buffered.outcome == MovieBufferOutcome::PlayCopy) source = movieCopy_ = buffered.copyPath;
            }
            const MovieOpenResult opened = movies_->openMovie(source, picture_, trueColourDepth(W, H));
            if (opened.opened) return true;
            releaseMovie();
            picture_.releasePixels();
            if (opened.needsTrueColour)
                showMessage(kTrueColourMovie);
            else
                showMessage(opened.error.empty() ? kMovieNotFound : opened.error.c_str());
            return false;
        }
        case kPictureBmp: {
            if (!exists) {
                showMessage(kImageNotFound);
                return false;
            }
            if (!loadStillPicture(picture_, path, false, trueColourDepth(W, H))) {
                switch (picture_.lastLoadError) {
                    case kLoadErrorUnsupportedDepth:
                    case kLoadErrorCompressed: showMessage(kBmpDepth); break;
                    case kLoadErrorNeedsTrueColour: showMessage(kTrueColourBmp); break;
                    case kLoadErrorNoSurface: showMessage(kNoSurface); break;
                    default: unreadable(); break;
                }
                return false;
            }
            return true;
        }
    }
    return false;
}

bool Document::newPuzzle(const NewPuzzleOptions& options) {
    playEvent(kSoundNewGame);
    std::optional<std::string> chosen = options.picture;
    if (!chosen) chosen = frontEnd_.choosePicture();
    if (!chosen) return false;

    frontEnd_.resetSideWindows();
    frontEnd_.closeSortingBoxes();
    release();
    path_.clear();
    modified_ = false;
    frontEnd_.puzzleChanged();

    processRandom().seed(options.seed ? *options.seed : millisecondTicks());

    const std::optional<PictureKind> kind = pictureKindForName(*chosen);
    if (!kind) {
        showMessage(document_text::kInvalidFormat);
        return false;
    }
    if (!loadPicture(*chosen, *kind)) {
        picture_.releasePixels();
        frontEnd_.puzzleChanged();
        return false;
    }
    if (!SettingsRecord::setText(record_.picturePath, *chosen)) {
        picture_.releasePixels();
        if (movies_) movies_->releasePictures();
        showMessage(filled(document_text::kPicturePathTooLong, *chosen));
        frontEnd_.puzzleChanged();
        return false;
    }
    record_.pictureKind = *kind;
    resetForNewPuzzle(record_, 0, *chosen, playWidth_, picture_.width(), picture_.height());
    recordMovieSource();
    record_.rotationOption = prefs_.record.rotatedPieces ? 1 : 0;
    copyColourChoices(prefs_.record, record_);

    const PieceCountRules rules(picture_.width(), picture_.height());
    Grid grid;
    if (options.grid) {
        grid = *options.grid;
        if (options.rotate) record_.rotationOption = *options.rotate ? 1 : 0;
    } else if (options.pieces) {
        grid = rules.gridForTarget(std::clamp(*options.pieces, 1, kMaxPuzzlePieces));
        if (options.rotate) record_.rotationOption = *options.rotate ? 1 : 0;
    } else {
        std::optional<PieceCountChoice> choice = frontEnd_.askPieceCount(rules, record_.rotationOption != 0);
        if (!choice) {
            picture_.releasePixels();
            releaseMovie();  // no movie plays on without its picture
            record_.puzzleState = kPuzzleStateNone;
            frontEnd_.puzzleChanged();
            return false;
        }
        grid = choice->grid;
        record_.rotationOption = choice->rotate ? 1 : 0;
        prefs_.record.rotatedPieces = choice->rotate ? 1 : 0;
    }
    record_.columns = grid.columns;
    record_.rows = grid.rows;
    record_.pictureWidth = picture_.width();
    record_.pictureHeight = picture_.height();
    if (!runCut(grid.columns, grid.rows)) {
        release();
        frontEnd_.puzzleChanged();
        return false;
    }
    return true;
}

bool Document::runCut(int32_t columns, int32_t rows) {
    using namespace document_text;
    frontEnd_.progressOpen(kCreatingTemplate);
    playEvent(kSoundPuzzleCut, 128);
    std::string caption = kCreatingTemplate;
    auto progress = [&](int percent) {
        if (percent >= 90)
            caption = kLoadingImage;
        else if (percent >= 50)
            caption = kCuttingPuzzle;
        frontEnd_.progressSet(percent, caption);
    };
    CutRequest request{picture_.width(), picture_.height(), columns, rows, playWidth_, playHeight_,
                       record_.rotationOption != 0};
    std::string error;
    const bool ok = runCutSequence(request, processRandom(), model_, pieceOrder_, error, progress);
    frontEnd_.progressClose();
    stopEvent(kSoundPuzzleCut);
    if (!ok) {
        platform_.messageBox(error, {}, MessageButtons::Ok);
        return false;
    }
    undo_.clear();
    record_.puzzleState = kPuzzleStateNew;
    record_.playSeconds = 0;  // a recut is played from the start
    syncRecordFromModel(record_, model_);
    ++puzzleSerial_;
    frontEnd_.puzzleChanged();
    return true;
}

bool Document::open(const std::string& path) { return openFile(path, true); }

bool Document::openKept(const std::string& keptFile, const std::string& name) {
    if (!openFile(keptFile, false)) return false;
    path_ = name;
    modified_ = true;
    return true;
}

bool Document::saveCopy(const std::string& path, std::string& error) const {
    return hasPuzzle() && writeFileAtomically(path, savedBytes(), error);
}

std::vector<uint8_t> Document::savedBytes() const {
    if (!hasPuzzle()) return {};
    SettingsRecord record = record_;
    frontEnd_.stampRecord(record);
    return encodeSavedPuzzle(record, model_);
}

bool Document::openFile(const std::string& path, bool remember) {
    SettingsRecord record;
    PuzzleModel fresh;
    std::vector<int32_t> order;
    OpenResult r = openPuzzleFile(path, playWidth_, playHeight_, processRandom(), record, fresh, order);
    if (r.status == OpenStatus::NotSavedPuzzle || r.status == OpenStatus::OtherVersion ||
        r.status == OpenStatus::Damaged || r.status == OpenStatus::Unreadable) {
        platform_.messageBox(r.message, {}, MessageButtons::Ok);
        if (remember) frontEnd_.forgetRecentFile(path);
        return false;
    }
    frontEnd_.resetSideWindows();
    frontEnd_.closeSortingBoxes();
    release();
    {
        NamedLock lock(NamedMutex::PIECE);
        HolderTable* holders = &model_.holders();
        model_ = std::move(fresh);
        model_.setHolderTable(holders);
    }
    record_ = record;
    pieceOrder_ = std::move(order);
    path_ = path;
    modified_ = false;
    ++puzzleSerial_;
    if (remember) {
        rememberLastPuzzle(path);
        frontEnd_.addRecentFile(path);
    }

    // The record says which loader reads the picture; its name may not show
    // the kind (a picture renamed, or one from another system).
    const std::string picture = record_.picture();
    std::optional<PictureKind> kind;
    if (record_.pictureKind <= kPictureMovieWithData) kind = PictureKind(record_.pictureKind);
    std::error_code ec;
    if (!kind) {
        showMessage(document_text::kInvalidFormat);
    } else if (!std::filesystem::exists(picture, ec)) {
        locateMissingPicture(picture);
    } else if (loadPicture(picture, *kind)) {
        recordMovieSource();
        if (picture_.width() != record_.pictureWidth || picture_.height() != record_.pictureHeight) {
            // Pieces read the picture at their home positions, so a picture
            // of another size is never used.
            picture_.releasePixels();
            releaseMovie();
            showMessage(document_text::kPictureChanged);
        }
    }
    frontEnd_.puzzleChanged();
    return true;
}

bool Document::locateMissingPicture(const std::string& missing) {
    using namespace document_text;
    const std::string folder = std::filesystem::path(missing).parent_path().string();
    for (;;) {
        if (platform_.messageBox(filled(kPuzzlePictureMissing, missing), {}, MessageButtons::YesNo) !=
            MessageResult::Yes)
            return false;
        const std::optional<std::string> chosen = platform_.pickOpenFile(kLocatePictureTitle, kPictureFileFilter, folder);
        if (!chosen) return false;
        // The loader follows the chosen file's kind where its name shows one.
        const PictureKind kind = pictureKindForName(*chosen).value_or(PictureKind(record_.pictureKind));
        if (!loadPicture(*chosen, kind)) continue;
        if (picture_.width() != record_.pictureWidth || picture_.height() != record_.pictureHeight) {
            const int32_t w = picture_.width(), h = picture_.height();
            picture_.releasePixels();
            releaseMovie();
            showMessage(locatedPictureSize(*chosen, w, h, record_.pictureWidth, record_.pictureHeight));
            continue;
        }
        if (!SettingsRecord::setText(record_.picturePath, *chosen)) {
            picture_.releasePixels();
            releaseMovie();
            showMessage(filled(kPicturePathTooLong, *chosen));
            continue;
        }
        record_.pictureKind = kind;
        recordMovieSource();
        modified_ = true;
        return true;
    }
}

bool Document::save() {
    if (path_.empty()) return saveAs();
    return saveAs(path_);
}

bool Document::saveAs(std::optional<std::string> path) {
    if (!hasPuzzle()) return false;
    if (!path) path = platform_.pickSaveFile("Save As", kPuzzleFilter, PreferencesRecord::text(prefs_.record.pictureDirectory), "puzzle.gvp");
    if (!path) return false;
    // The file is reopened by Continue through the preferences, which keep
    // 259 characters; a longer name is refused before anything is written.
    if (path->size() >= prefs_.record.lastPuzzlePath.size()) {
        showMessage(filled(document_text::kPuzzlePathTooLong, *path));
        return false;
    }
    std::string error;
    frontEnd_.stampRecord(record_);
    if (!savePuzzleFile(*path, record_, model_, error)) {
        platform_.messageBox("The puzzle was not saved.  " + error, {}, MessageButtons::Ok);
        return false;
    }
    path_ = *path;
    modified_ = false;
    rememberLastPuzzle(path_);
    frontEnd_.addRecentFile(path_);
    frontEnd_.puzzleSaved();
    return true;
}

void Document::rememberLastPuzzle(const std::string& path) {
    if (!PreferencesRecord::setText(prefs_.record.lastPuzzlePath, path))
        PreferencesRecord::setText(prefs_.record.lastPuzzlePath, "");
}

bool Document::askToSaveChanges() {
    if (!modified_ || !hasPuzzle()) return true;
    std::string name = path_.empty() ? std::string("Untitled") : std::filesystem::path(path_).filename().string();
    MessageResult r = platform_.messageBox("Save changes to " + name + "?", {}, MessageButtons::YesNoCancel);
    if (r == MessageResult::Cancel) return false;
    if (r == MessageResult::Yes) return save();
    return true;
}

bool Document::recut() {
    if (!hasPuzzle() || !hasPicture()) return false;
    const PieceCountRules rules(picture_.width(), picture_.height());
    std::optional<PieceCountChoice> choice = frontEnd_.askPieceCount(rules, record_.rotationOption != 0);
    if (!choice) return false;
    record_.columns = choice->grid.columns;
    record_.rows = choice->grid.rows;
    record_.rotationOption = choice->rotate ? 1 : 0;
    prefs_.record.rotatedPieces = choice->rotate ? 1 : 0;
    {
        NamedLock lock(NamedMutex::PIECE);
        model_.freePuzzle();
    }
    frontEnd_.resetSideWindows();
    modified_ = true;
    if (!runCut(choice->grid.columns, choice->grid.rows)) {
        release();
        frontEnd_.puzzleChanged();
        return false;
    }
    return true;
}

void Document::toggleRotation() {
    record_.rotationOption = record_.rotationOption ? 0 : 1;
    prefs_.record.rotatedPieces = record_.rotationOption ? 1 : 0;
    if (hasPuzzle()) {
        applyRotationOption(model_, record_.rotationOption != 0, processRandom());
        modified_ = true;
        frontEnd_.puzzleChanged();
    }
}

}  // namespace pavalo
