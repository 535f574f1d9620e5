// The rules of the side windows without a window system: which of the
// preview, the overview and the four sorting boxes are open and which "Hide"
// remembered; how far a box window may leave the screen (the 30-pixel rule)
// and how its pieces follow a move or a sizing from the left or top; its
// scroll bars (range, position, the shift that pulls a small heap back into
// view, 5- and 20-pixel steps); the preview's aspect-keeping size; and the
// overview's map of the play area (cell size, picture frame, piece marks,
// the view's frame and the scroll a click asks for).
//
// Box coordinates: a box's pieces lie in the play area's pixel space under
// the box window. A point w of the box's client area is the box point
// o + (w >> zoom), o being the client area's top-left in view pixels.
//
// Everything here is arithmetic on values handed in; the model is read
// under PIECEMutex by the functions that take it.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "platform/platform.h"
#include "common/geometry.h"
#include "puzzle/puzzle_model.h"

namespace pavalo {

// ---------------------------------------------------------- open windows

enum class SideWindow : int { Preview = 0, Overview = 1, Box1 = 2, Box2 = 3, Box3 = 4, Box4 = 5 };
inline constexpr int kSideWindowCount = 6;
inline SideWindow sideWindowOfBox(int box) { return SideWindow(int(SideWindow::Box1) + box - 1); }
// The box number 1..4 of a box window, 0 for the preview and the overview.
inline int boxOfSideWindow(SideWindow w) { return int(w) >= int(SideWindow::Box1) ? int(w) - 1 : 0; }

// Which side windows are open, and "Hide": hiding closes every open one and
// remembers it; restoring reopens exactly the remembered ones. A window the
// player closes with its own close box is forgotten, so a later restore
// leaves it closed.
class SideWindowSet {
public:
    bool isOpen(SideWindow w) const { return open_[size_t(w)]; }
    bool remembered(SideWindow w) const { return remembered_[size_t(w)]; }
    bool hidden() const { return hidden_; }

    void opened(SideWindow w) { open_[size_t(w)] = true; }
    // byPlayer: closed with the window's own close box.
    void closed(SideWindow w, bool byPlayer);
    // Closes everything without remembering (a new puzzle, an open,
    // completion); the hide state ends.
    void forgetAll();
    // Ends a hide without reopening anything (a new puzzle replaces the
    // windows' contents).
    void endHide();

    // Not hidden: remembers and returns the open windows (to be closed) and
    // becomes hidden. Already hidden: nothing.
    std::vector<SideWindow> hide();
    // Hidden: returns the remembered windows that are closed now (to be
    // opened), forgets them and ends the hide state. Otherwise nothing.
    std::vector<SideWindow> restore();

private:
    std::array<bool, kSideWindowCount> open_{};
    std::array<bool, kSideWindowCount> remembered_{};
    bool hidden_ = false;
};

// --------------------------------------------------------- placing boxes

// At least this many pixels of a box window stay on the screen.
inline constexpr int32_t kOnScreenMargin = 30;

// A box window's rectangle pulled back onto the screen (W x H): a left edge
// beyond W - 30 moves left by 30, a right edge below 30 moves right by 30, a
// negative top moves down by the overhang, a top beyond H - 30 moves up by
// 30. The size never changes.
Rect keepBoxOnScreen(const Rect& window, int32_t screenWidth, int32_t screenHeight);

// A rectangle moved (not sized) so that it lies wholly on the screen as far
// as its size allows; the top-left wins when it is larger than the screen.
Rect keepWithinScreen(const Rect& window, int32_t screenWidth, int32_t screenHeight);

// How a box's pieces follow its window. A move carries them along by the
// window's travel, so the box shows the same pieces in the same places. A
// sizing from the left or top moves the box origin by d but shifts the
// pieces by d - d / 2^zoom (the previous shift of the same sizing taken back
// first), so that they stay where they are on the screen.
class BoxPlacement {
public:
    // The rectangle the window starts from (it becomes the saved one).
    explicit BoxPlacement(const Rect& window = {}) : saved_(window) {}
    const Rect& saved() const { return saved_; }

    // The window is now at `now` (same size as saved: a move). Returns the
    // pieces' offset and saves `now`.
    Point moved(const Rect& now);
    // The window's border is being dragged (the size differs). Returns the
    // offset to apply to the pieces now; the rectangle is saved when the
    // sizing ends.
    Point sizing(const Rect& now, int zoom);
    void sizingEnded(const Rect& final);
    // Places the window without touching its pieces (undo, open).
    void place(const Rect& window);

private:
    Rect saved_;
    bool sizing_ = false;
    Rect sizingStart_;
    Point applied_;
};

// ------------------------------------------------------- box scroll bars

inline constexpr int32_t kBoxContentMargin = 5;  // around the pieces' bounding box
inline constexpr int32_t kBoxLineStep = 5;
inline constexpr int32_t kBoxPageStep = 20;

struct ScrollAxis {
    int32_t minimum = 0, maximum = 0, position = 0;
    bool active() const { return maximum > minimum; }
    bool operator==(const ScrollAxis&) const = default;
};

struct BoxScrollBars {
    Point shift;  // to apply to the box's pieces first (0, 0: none)
    ScrollAxis horizontal, vertical;
};

// The scroll bars of a box whose visible area (box coordinates) is
// `visible` and whose pieces have the bounding box `pieces` (empty: no
// pieces). The bounding box grown by 5 pixels is C. Along each axis: when
// C fits V but reaches outside it, the pieces shift so that C starts where
// V starts and the axis is idle; when C reaches beyond V the range runs
// from C's start to C's start + (C's length - V's length), widened to take
// in V's start, and the position is V's start (the scroll position says
// where the visible area lies over the pieces); otherwise the axis is idle
// (0, 0, 0).
BoxScrollBars boxScrollBars(const Rect& visible, const Rect& pieces);

enum class ScrollAction { LineBack, LineForward, PageBack, PageForward, First, Last, Track };

// The position a scroll action leads to: lines of 5, pages of 20, the
// range's ends, or the dragged thumb's value; always within the range.
int32_t scrollTarget(const ScrollAxis& axis, ScrollAction action, int32_t trackValue = 0);

// -------------------------------------------------------------- preview

// Which border of a window is being dragged.
enum class SizingEdge { Left, Right, Top, Bottom, TopLeft, TopRight, BottomLeft, BottomRight };

// The client size of a preview whose border was dragged to give the client
// size `proposed`: the dragged side decides (width for the left, right and
// corner edges, height for the top and bottom) and the other follows the
// picture's aspect (height = width / (pictureWidth / pictureHeight)). The
// result is limited so that the window, with `frameExtra` added (borders,
// caption), fits `maxWindow`, and is no smaller than `minWindow`.
Point previewClientSize(Point proposed, SizingEdge edge, int32_t pictureWidth, int32_t pictureHeight,
                        Point frameExtra, Point maxWindow, Point minWindow);

// -------------------------------------------------------------- overview

// The overview's map: three picture widths by three picture heights (the
// region pieces may lie in, the assembled picture in its middle), one cell of
// s x s pixels per puzzle cell.
class OverviewMap {
public:
    OverviewMap(int32_t columns, int32_t rows, int32_t cell);
    // The cell size for a client width: width / (3 x columns), at least 1.
    static int32_t cellForWidth(int32_t clientWidth, int32_t columns);
    // The cell a new overview starts with, for a map about 240 pixels wide.
    static int32_t defaultCell(int32_t columns);
    // The client size of a new overview: 3 x columns x s + 5 by 3 x rows x s + 5.
    Point newClientSize() const;

    int32_t cell() const { return cell_; }
    int32_t width() const { return 3 * columns_ * cell_; }
    int32_t height() const { return 3 * rows_ * cell_; }
    // The assembled picture's frame on the map.
    Rect pictureFrame() const;
    // The top-left of the map cell that holds the piece's centre, clamped
    // inside the map; hold PIECEMutex.
    Point markOf(const PuzzleModel& model, int32_t piece) const;
    // The part of the play area the view shows ((0, 0) to its size shifted
    // by the zoom), on the map. A zoom below -1 is the view zoomed out to
    // x1/-zoom about the play area's centre.
    Rect viewFrame(const PuzzleGeometry& geometry, int32_t zoom) const;
    // The scroll (dx, dy, for ViewController::scroll) that brings the map
    // point `click` to the centre of the view: its offset from the view
    // frame's centre in play-area pixels.
    Point scrollFor(Point click, const PuzzleGeometry& geometry, int32_t zoom) const;

private:
    // A picture-relative position on the map (the assembled picture's
    // top-left is the map's (columns x s, rows x s)).
    int32_t mapX(int64_t pictureX, int32_t pictureWidth) const;
    int32_t mapY(int64_t pictureY, int32_t pictureHeight) const;

    int32_t columns_, rows_, cell_;
};

}  // namespace pavalo
