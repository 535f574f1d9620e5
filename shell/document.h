// Document: the one puzzle document. It turns a picture file into a new
// puzzle (checks and messages, the settings record's new-puzzle values, the
// piece-count choice, the cut sequence with its progress captions), opens and
// saves puzzles, recuts, and switches the rotation option. It owns the
// picture surface while a puzzle exists. No Qt: windows are reached through
// Platform and DocumentFrontEnd.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "surface/draw_surface.h"
#include "platform/platform.h"
#include "puzzle/piece_count.h"
#include "puzzle/puzzle_model.h"
#include "puzzle/settings_record.h"
#include "puzzle/undo.h"
#include "shell/movie_buffer.h"
#include "shell/preferences.h"

namespace pavalo {

// Texts shown by the document.
namespace document_text {
inline constexpr const char* kImageNotFound =
    "The specified image could not be found.  If it is located on a CD or other type of removable "
    "media, please insert the disk and try again.";
// The picture's pixels could not be allocated.
inline constexpr const char* kNoSurface =
    "There is not enough memory for a picture of this size.  Close other programs or choose a smaller "
    "picture.";
// A picture file that is there but cannot be read: %s is its file.
inline constexpr const char* kImageDamaged =
    "The picture %s cannot be read.  The file is damaged, or it is not the kind of picture its name says.";
inline constexpr const char* kNoMovieSystem =
    "The movie decoder could not be started, so .AVI and .MPG files cannot be played.";
inline constexpr const char* kTrueColourMovie =
    "The selected file is a true-color animation, but your video card does not support true-color at "
    "the current resolution.";
inline constexpr const char* kMovieNotFound =
    "The specified movie could not be found.  If it is located on a CD or other type of removable "
    "media, please insert the disk and try again.";
inline constexpr const char* kBmpDepth = "Pavalo only supports 8 and 24 bit .bmp files";
inline constexpr const char* kTrueColourBmp =
    "The specified image is a 24 bit .BMP file, but your video card does not support true-color at "
    "the current resolution.";
inline constexpr const char* kInvalidFormat =
    "Invalid file format.  The following formats are supported: 8 and 24 bit .BMP files, "
    "JPEGs(.jpg), AVI and MPEG(.mpg)";
inline constexpr const char* kPictureChanged =
    "The picture of this puzzle no longer has the size it had when the puzzle was saved, so the "
    "pieces are shown without it.";
// A saved puzzle's picture that is not where the puzzle says: %s is its file.
inline constexpr const char* kPuzzlePictureMissing =
    "The picture of this puzzle could not be found:\n%s\n\nIf it is on a removable disk, insert the disk first.  "
    "Do you want to locate the picture?  Without it the pieces are shown blank.";
inline constexpr const char* kLocatePictureTitle = "Locate Picture";
// The file filter of every picture chooser: each kind the loaders read.
inline constexpr const char* kPictureFileFilter =
    "Images (*.bmp,*.jpg,*.avi,*.mpg)|*.bmp;*.jpg;*.jpeg;*.png;*.webp;*.wda;*.avi;*.mpg;*.mpeg;*.mp4;*.m4v;*.mkv;*.webm;*.mov;*.ogv|"
    "All Files (*.*)|*.*";
// A located picture of another size than the puzzle's.
inline std::string locatedPictureSize(const std::string& file, int32_t w, int32_t h, int32_t puzzleW,
                                      int32_t puzzleH) {
    return file + " is " + std::to_string(w) + " x " + std::to_string(h) +
           " pixels, but this puzzle was cut from a picture of " + std::to_string(puzzleW) + " x " +
           std::to_string(puzzleH) + " pixels.  Choose the same picture.";
}
inline constexpr const char* kPicturePathTooLong =
    "The name of this picture is too long to be kept in the puzzle (at most 519 characters):\n%s";
// A puzzle file name that the preferences cannot keep as the last puzzle.
inline constexpr const char* kPuzzlePathTooLong =
    "The puzzle was not saved: its file name is longer than 259 characters.  Choose a shorter name or a "
    "folder nearer the top.\n%s";
inline constexpr const char* kCreatingTemplate = "Creating Template";
inline constexpr const char* kCuttingPuzzle = "Cutting Puzzle";
inline constexpr const char* kLoadingImage = "Loading Image";
}  // namespace document_text

// The picture kind a file name asks for, by its extension (any case):
// "jpg"/"jpeg" and also "png" and "webp" (kind 1), "bmp", "wda", the movie
// extensions ("avi", "mpg", "mpeg" and the common modern containers); nothing
// for anything else.
std::optional<PictureKind> pictureKindForName(const std::string& path);

// What the piece-count dialog returns.
struct PieceCountChoice {
    Grid grid;
    bool rotate = false;
    int preset = -1;        // index of the preset used, or -1 for the slider
    int32_t sliderCount = 0;  // pieces of the slider's last position
};

// The windows and dialogs the document works with.
class DocumentFrontEnd {
public:
    virtual ~DocumentFrontEnd() = default;
    // The picture chooser: a path, or nothing when cancelled.
    virtual std::optional<std::string> choosePicture() = 0;
    // The "Enter Number of Pieces" dialog; nothing when cancelled.
    virtual std::optional<PieceCountChoice> askPieceCount(const PieceCountRules& rules, bool rotate) = 0;
    // The progress window of the cut.
    virtual void progressOpen(const std::string& /*caption*/) {}
    virtual void progressSet(int /*percent*/, const std::string& /*caption*/) {}
    virtual void progressClose() {}
    // Side windows: the tool palette, preview and overview reset; the four
    // sorting boxes close.
    virtual void resetSideWindows() {}
    virtual void closeSortingBoxes() {}
    // The puzzle or its picture changed: rebuild buffers and redraw.
    virtual void puzzleChanged() {}
    // A file name leaves the recent-file list.
    virtual void forgetRecentFile(const std::string& /*path*/) {}
    virtual void addRecentFile(const std::string& /*path*/) {}
};

// What opening a movie as the picture came to.
struct MovieOpenResult {
    bool opened = false;
    bool needsTrueColour = false;  // refused: the display has no true colour
    std::string error;             // a sentence for the player when neither
};

// The picture sources that the media issues fill in: animations and movies.
class MoviePictures {
public:
    virtual ~MoviePictures() = default;
    // Loads the first frame of an animation into the surface; false when it
    // cannot be opened.
    virtual bool openAnimation(const std::string& /*path*/, DrawSurface& /*picture*/) { return false; }
    virtual bool movieSystemAvailable() const { return false; }
    // Opens a movie and puts its first frame into the picture, made at the
    // movie's size in `depth` (16, 16555 or 24; 8 when the display has no
    // true colour, which a true-colour movie refuses).
    virtual MovieOpenResult openMovie(const std::string& /*path*/, DrawSurface& /*picture*/, int32_t /*depth*/) {
        return {};
    }
    // Releases the animation and movie objects (new puzzle, exit).
    virtual void releasePictures() {}
};

struct NewPuzzleOptions {
    std::optional<std::string> picture;  // skips the chooser
    std::optional<int32_t> pieces;       // skips the piece-count dialog
    std::optional<bool> rotate;          // with `pieces` or `grid`
    // The columns and rows themselves, as a network game's cut takes them
    // from the host (instead of `pieces`).
    std::optional<Grid> grid;
    std::optional<uint32_t> seed;        // instead of the clock
};

class Document {
public:
    Document(PuzzleModel& model, UndoRing& undo, Preferences& prefs, Platform& platform,
             DocumentFrontEnd& frontEnd, MoviePictures* movies = nullptr);

    ~Document();
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    // Where movies from removable media are copied before they play; none
    // (the default) plays every movie from its own file.
    void setMovieStorage(std::optional<MovieStorage> storage) { movieStorage_ = std::move(storage); }
    // The temporary copy the movie plays from, or empty.
    const std::string& movieCopy() const { return movieCopy_; }

    // The play area's size (the screen, or the window's client area).
    void setPlayArea(int32_t width, int32_t height);
    int32_t playWidth() const { return playWidth_; }
    int32_t playHeight() const { return playHeight_; }

    // New puzzle. False when cancelled or refused (messages shown).
    bool newPuzzle(const NewPuzzleOptions& options = {});
    // Opens a saved puzzle and loads its picture. False when refused.
    bool open(const std::string& path);
    // Opens a puzzle kept for recovery: it takes the name `name` (empty: never
    // saved) and counts as changed; the kept file is neither remembered as
    // the last puzzle nor listed among the recent files.
    bool openKept(const std::string& keptFile, const std::string& name);
    // Writes the puzzle to `path` without making it the document's file.
    bool saveCopy(const std::string& path, std::string& error) const;
    // Saves to the current file, or asks for a name first; false on failure or cancel.
    bool save();
    bool saveAs(std::optional<std::string> path = std::nullopt);
    // Closing: asks to save a changed puzzle; false when the player cancels.
    bool askToSaveChanges();
    bool recut();
    void toggleRotation();

    bool hasPuzzle() const { return model_.hasPuzzle(); }
    bool hasPicture() const { return picture_.hasPixels(); }
    DrawSurface& picture() { return picture_; }
    SettingsRecord& record() { return record_; }
    const SettingsRecord& record() const { return record_; }
    uint32_t& puzzleState() { return record_.puzzleState; }
    const std::vector<int32_t>& pieceOrder() const { return pieceOrder_; }
    const std::string& path() const { return path_; }
    bool modified() const { return modified_; }
    void setModified(bool m = true) { modified_ = m; }
    // "Pavalo" and the file's name when there is one.
    std::string title() const;
    // Releases the puzzle and its picture (new puzzle, exit).
    void release();

private:
    bool loadPicture(const std::string& path, PictureKind kind);
    bool openFile(const std::string& path, bool remember);
    // The last puzzle becomes `path`; one too long to keep leaves none, so
    // that Continue never reopens another file.
    void rememberLastPuzzle(const std::string& path);
    // The saved puzzle's picture is missing: the player may point at it. A
    // picture of the size the puzzle was cut from is taken and the record
    // names it from then on.
    bool locateMissingPicture(const std::string& missing);
    // Records which file the movie plays from (kind 4 and the copy's path,
    // or kind 3).
    void recordMovieSource();
    // The movie's objects, and the temporary copy once they have let go of it.
    void releaseMovie();
    void removeMovieCopy();
    bool runCut(int32_t columns, int32_t rows);
    void showMessage(const char* text);
    void showMessage(const std::string& text) { showMessage(text.c_str()); }

    PuzzleModel& model_;
    UndoRing& undo_;
    Preferences& prefs_;
    Platform& platform_;
    DocumentFrontEnd& frontEnd_;
    MoviePictures* movies_;
    SettingsRecord record_;
    DrawSurface picture_;
    std::vector<int32_t> pieceOrder_;
    std::optional<MovieStorage> movieStorage_;
    std::string movieCopy_;
    std::string path_;
    bool modified_ = false;
    int32_t playWidth_ = 1920, playHeight_ = 1080;
};

}  // namespace pavalo
