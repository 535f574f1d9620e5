// ViewController: the behaviour of the play-area view and of the sorting-box
// windows without a window system — window points to play-area points under
// the zoom, hit codes, the tools and their cursors, picking up, dragging and
// dropping a group or the selection, the selection rectangle, rotation by
// double click, zoom, scrolling (which moves the pieces, not the window),
// scrolling at the screen edge, the keys and the right-button menu.
//
// The front end only feeds it events: the window the event happened in, the
// pointer in that window's pixels, the modifier keys, the key. Everything the
// controller asks of the windows goes through Platform (invalidate, cursor,
// pointer warp, popup menu, message box, posted command) and the three small
// seams below (the document, the side windows, the network game).
//
// Coordinates: a window pixel w maps to the list's point o + (w >> z), with
// o = (0, 0) and z the view's zoom for the play-area view, and o the top-left
// of the box's client area (in view pixels) and z the box's own zoom for a
// sorting box. Every rectangle invalidated after a change is converted to
// the window's pixels and grown by 2 << z on each side.
//
// State it owns: the interaction state (drag, band, anchors, the scroll
// remembered by Enter and Space, the click point, the scroll bounds). State
// it works on and does not copy: the view's zoom, the current tool and the
// assembly offset live in the settings record (zoomShift, currentTool,
// assemblyOffsetX/Y; the offset mirrored in the model's geometry), the view
// mode in the compositor's RendererState, the last hit in AssistCommands.
//
// Threads: user-interface thread only. Model calls take PIECEMutex
// themselves; a scroll holds it while the pieces and the offset change.
#pragma once

#include <cstdint>
#include <optional>

#include "display/compositor.h"
#include "display/piece_renderer.h"
#include "platform/platform.h"
#include "puzzle/assist_allowances.h"
#include "puzzle/assist_commands.h"
#include "puzzle/hit_code.h"
#include "puzzle/joining.h"
#include "puzzle/puzzle_model.h"
#include "puzzle/settings_record.h"
#include "puzzle/undo.h"

namespace pavalo {

// Tools of the view (the tool palette's tool mode).
inline constexpr int kToolNormal = 0;
inline constexpr int kToolZoom = 1;
inline constexpr int kToolArrange = 2;
inline constexpr int kToolSolve = 3;
inline constexpr int kToolFind = 4;

// Width of the border at the play area's edges where the pointer scrolls.
inline constexpr int32_t kEdgeScrollBorder = 20;

// Modifier keys held during an event.
struct KeyFlags {
    bool shift = false;
    bool control = false;
};

// The keys the view handles. The front end maps the number pad's 1-4 to
// Box1-Box4 as well; every other key is Other.
enum class ViewKey {
    Escape,
    A,
    S,
    Z,
    F,
    N,
    C,
    Box1,
    Box2,
    Box3,
    Box4,
    O,
    P,
    T,
    Backspace,
    Control,
    Left,
    Right,
    Up,
    Down,
    Enter,
    Space,
    Eight,
    Minus,  // zoom out
    Plus,   // zoom in
    Zero,   // fit the whole table
    Other,
};

// A window's mapping between its pixels and its list's coordinates.
struct ViewTransform {
    int32_t originX = 0, originY = 0;  // list point at the window's top-left
    int32_t zoom = 0;                  // 0..3: one list pixel is 1 << zoom window pixels
    // Zoomed out (zoom 0): above 1, one window pixel shows `reduce` x
    // `reduce` list pixels; a window pixel stands for the middle of its cell.
    int32_t reduce = 1;

    Point toPlay(Point window) const {
        if (reduce > 1)
            return {originX + window.x * reduce + reduce / 2, originY + window.y * reduce + reduce / 2};
        return {originX + (window.x >> zoom), originY + (window.y >> zoom)};
    }
    Point toWindow(Point play) const;
    Rect toPlay(const Rect& window) const;
    Rect toWindow(const Rect& play) const;
    // The window rectangle to repaint after a change of `play`: converted and
    // grown by 2 << zoom on each side (empty stays empty).
    Rect invalidation(const Rect& play) const;
};

// Zoom factors below x1 for the view: x1/2, x1/4, x1/8; "fit" may choose any
// factor up to kMaxReduce.
inline constexpr int32_t kMaxReduce = 12;

// The document's part in the view.
class ViewDocument {
public:
    virtual ~ViewDocument() = default;
    // A puzzle (and its picture) exists; otherwise the view does nothing.
    virtual bool puzzleExists() const = 0;
    // The puzzle's "Rotated Pieces" option: double clicks rotate.
    virtual bool rotatedPieces() const = 0;
    // Sets the document's modified flag.
    virtual void markChanged() = 0;
};

// The windows around the view. Box numbers are 1..4 here, as in
// AssistFrontEnd, whose box calls (isBoxOpen, redrawBox, redrawPlayArea,
// boxClientArea, captions) the view uses too; one front-end object serves
// both the assist commands and the view.
class ViewWindows : public AssistFrontEnd {
public:
    // The tool changed: redraw the tool palette.
    virtual void toolChanged(int /*tool*/) {}
    // Keys 1-4, O, P, T: open or close a side window or the palette.
    virtual void toggleSortingBox(int /*box*/) {}
    virtual void toggleOverview() {}
    virtual void togglePreview() {}
    virtual void toggleToolPalette() {}
    virtual void redrawOverview() {}
    // Space: close the preview, the boxes and the overview, remembering which
    // were open; later reopen the remembered ones.
    virtual void hideSideWindows() {}
    virtual void restoreSideWindows() {}
    // A playing movie pauses while a popup menu is open.
    virtual void pauseMovie(bool /*paused*/) {}
    // An open box's client area in view pixels: its top-left is the box's
    // coordinate origin.
    virtual Rect boxClientRect(int /*box*/) const { return {}; }
    virtual int boxZoom(int /*box*/) const { return 0; }
    virtual void setBoxZoom(int /*box*/, int /*zoom*/) {}
    // Pieces were dropped into or taken out of a box: update its scroll bars.
    virtual void boxContentsChanged(int /*box*/) {}
    // Runs a command of the frame's dispatch at once (a menu choice that is
    // not the view's own, the N and C keys), so that it acts on the hit and
    // click point of that moment rather than after later pointer moves.
    // False when it cannot; the command is then posted through Platform.
    virtual bool runCommand(uint32_t /*id*/) { return false; }
};

// The network game's part in the view. The defaults are a single player's:
// every hold is granted and nothing is announced. In a network game every
// local change is announced and drops go to the host, which decides.
class ViewNetwork {
public:
    virtual ~ViewNetwork() = default;
    virtual bool networkGame() const { return false; }
    virtual int localPlayer() const { return 0; }
    // Whether the drop sounds of other players are heard (applied outcomes).
    virtual bool hearOtherPlayers() const { return true; }

    // Asks to hold the piece's group; refused when another player holds it.
    virtual bool requestHold(ListId /*list*/, int32_t /*piece*/) { return true; }
    virtual void releaseHold(ListId /*list*/, int32_t /*piece*/) {}

    virtual void announceSelection(ListId /*list*/, int32_t /*piece*/, bool /*selected*/) {}
    virtual void announceDeselectAll(ListId /*list*/) {}
    // The group moved so that the piece's top-left is at (x, y) of the list.
    virtual void announceMove(ListId /*list*/, int32_t /*piece*/, int32_t /*x*/, int32_t /*y*/) {}
    virtual void announceMoveSelected(ListId /*list*/, int32_t /*dx*/, int32_t /*dy*/) {}
    // The dragged selection was let go: its groups lie where they will stay
    // (moves are announced at a limited pace, so the last ones may be missing).
    virtual void announceSelectionDropped(ListId /*list*/) {}
    // The group went from one list to another (into or out of a sorting box),
    // the piece's top-left at `at` of the new list.
    virtual void announceListChange(ListId /*from*/, ListId /*to*/, int32_t /*piece*/, Point /*at*/) {}
    virtual void announceSelectedListChange(ListId /*from*/, ListId /*to*/) {}
    virtual void announceRotation(ListId /*list*/, int32_t /*piece*/) {}
    // The arrange tool laid the selection out in `area` of the list.
    virtual void announceArrange(ListId /*list*/, const Rect& /*area*/) {}
    // A network drop: the group lies with the piece at (x, y) of the list;
    // the host decides and its outcome arrives as a remote outcome.
    virtual void sendDrop(ListId /*list*/, int32_t /*piece*/, int32_t /*x*/, int32_t /*y*/) {}
    // Whether the players work on one shared puzzle: then only the host
    // solves, and only what the player holds selected.
    virtual bool sharesPieces() const { return false; }
    // Asks the host to solve the list's selected groups the player holds;
    // the outcome arrives like any other.
    virtual void sendSolveSelected(ListId /*list*/) {}
};

// What the controller works with; everything must outlive it.
struct ViewContext {
    PuzzleModel& model;
    Platform& platform;
    SettingsRecord& settings;  // zoomShift, currentTool, assemblyOffset, permissions
    uint32_t& puzzleState;     // 16 once completed (the one AssistCommands uses)
    RendererState& renderer;   // viewMode (Space cycles it), the compositor's
    UndoRing& undo;
    UndoActions& undoActions;
    AssistCommands& assist;  // last hit, select all, rectangle tools, captions
    CompletionActions& completion;
    Random& rng;
    ViewDocument& document;
    ViewWindows& windows;
    ViewNetwork& network;
};

// The scroll bounds a puzzle allows: at zoom 0 the offset may move so far
// that either edge of the region pieces may lie in (one picture size around
// the assembled picture) reaches the window's edge, and never less than 0.
Rect defaultScrollBounds(const PuzzleGeometry& geometry);

class ViewController {
public:
    explicit ViewController(const ViewContext& context);

    // ---- coordinates ----------------------------------------------------
    ViewTransform transform(WindowId window) const;
    Point windowToPlay(WindowId window, Point p) const { return transform(window).toPlay(p); }
    Point playToWindow(WindowId window, Point p) const { return transform(window).toWindow(p); }
    Rect windowToPlay(WindowId window, const Rect& r) const { return transform(window).toPlay(r); }
    Rect playToWindow(WindowId window, const Rect& r) const { return transform(window).toWindow(r); }
    // The list a window shows: Main for the view, the box's own list.
    static ListId listOf(WindowId window);

    // ---- events (window pixels of the window the pointer is in) ----------
    // Left button down, up and double click; pointer moves (with or without
    // a button; the front end also forwards moves over the palette, the
    // preview and the overview as view events); the right button.
    void mousePress(WindowId window, Point at, KeyFlags keys);
    void mouseMove(WindowId window, Point at, KeyFlags keys);
    void mouseRelease(WindowId window, Point at, KeyFlags keys);
    void mouseDoubleClick(WindowId window, Point at, KeyFlags keys);
    void rightButton(WindowId window, Point at, KeyFlags keys);
    // Keys; the pointer's position in `window` comes from the platform.
    void keyDown(ViewKey key, KeyFlags keys, WindowId window = WindowId::view());
    // Puts the last recorded arrangement back: Backspace and Ctrl+Z
    // (fromKeyboard, refused once the puzzle is complete) and the tool
    // palette's Undo button (also after completion). Nothing while a piece,
    // selection or band is held. True when something was undone.
    bool undoLastMove(bool fromKeyboard);
    void keyUp(ViewKey key, KeyFlags keys);
    // A modal window opened and took the pointer and keys, so no button
    // release will come: a held group or selection is let go where it lies
    // (as a release there would), an unfinished rubber band is wiped.
    void modalWindowOpened();
    // The idle pass's edge scrolling: a pointer (view pixels) within the
    // border of the play area's edges is handled as a pointer move. Returns
    // whether it was in the border.
    bool idleEdgeScroll(Point pointer, KeyFlags keys);

    // ---- commands ---------------------------------------------------------
    // Runs a view command (zoom x1/8..x8 and fit, Select All, Center, Piece
    // Info, piece number); false when the id is not one of them.
    bool command(uint32_t id);
    void zoomTo(WindowId window, int zoom, bool redraw);
    void zoomClick(WindowId window, Point at, KeyFlags keys);
    // The view zoomed out to x1/factor (2 or more; 1 is zoomTo 0), keeping
    // what is at the window's centre there. The reduced zoom lives only
    // here: the settings record's zoom is then 0.
    void zoomOutTo(int32_t factor);
    // The zoom that shows the whole table (every piece on it and the
    // picture's frame), with the table centred; x1 when it fits the window.
    void zoomToFit();
    // A new or opened puzzle: zooms to fit when the table does not fit the
    // view at its zoom.
    void fitIfTableHidden();
    // One step in (steps > 0) or out through x1/8 .. x8 (the mouse wheel
    // with Ctrl), keeping the play-area point under `at` (view pixels) there.
    void zoomAbout(Point at, int steps);
    // The wheel without Ctrl: the view moves by (dx, dy) window pixels over
    // the table (positive: right and down).
    void wheelScroll(int32_t dx, int32_t dy);
    // Middle-button drag: the table follows the pointer (view pixels).
    void panPress(Point at);
    void panMove(Point at);
    void panRelease();
    bool panning() const { return panning_; }
    // Moves the world by (-dx, -dy) within the scroll bounds; 1 when anything
    // moved (and the view is then redrawn), else 0.
    int scroll(int32_t dx, int32_t dy);
    void centerView();
    // Deselects everything, then selects the focused list (the last hit's).
    int selectAll();
    void pieceInfo();
    void pieceNumber();
    void setTool(int tool);
    // The player chooses a tool (palette, keys): refused (false) when the
    // puzzle's permissions forbid it.
    bool selectTool(int tool);

    // ---- state ------------------------------------------------------------
    int tool() const;
    int zoom(WindowId window = WindowId::view()) const;
    // The view's reduction: 1 at x1 and above, else 2, 4, 8 or the fit's.
    int32_t reduce() const { return reduce_; }
    // The view is at "fit" (the reduction the last fit chose).
    bool fitted() const { return fitted_; }
    // The play-area rectangle the view shows.
    Rect visiblePlayArea() const;
    // The rectangle of the table: every piece on the play area and the
    // picture's frame.
    Rect tableRect() const;
    Point assemblyOffset() const;
    CursorShape cursor(bool ctrlHeld) const;
    static CursorShape cursorFor(int tool, bool ctrlHeld);
    int32_t dragPiece() const { return dragPiece_; }
    bool draggingSelection() const { return draggingSelection_; }
    bool bandActive() const { return bandActive_; }
    WindowId dragWindow() const { return dragWindow_; }
    // The band in a window's list coordinates (corners in drawing order:
    // anchor, then current point), when it is being drawn in that window.
    std::optional<Rect> bandRect(WindowId window) const;
    // What the compositor needs for one update of the view.
    ViewRequest viewRequest(const Rect& clipBox, bool minimised = false) const;
    HitCode lastHit() const { return c_.assist.lastHit(); }
    // Play-area point of the last press, right-button press or N/C key: the
    // point the assist commands act at.
    Point clickPoint() const { return clickPoint_; }
    std::optional<Point> savedScroll() const { return savedScroll_; }
    Rect scrollBounds() const;
    void setScrollBounds(const Rect& bounds) { scrollBounds_ = bounds; }
    // A new or opened puzzle: ends any drag or band, forgets the remembered
    // scroll and the explicit scroll bounds.
    void reset();

    // Draws a play-area rectangle of the view again (what other machines
    // changed in a network game).
    void redrawPlayRect(const Rect& play) { invalidate(WindowId::view(), play); }

private:
    bool puzzleExists() const;
    bool finished() const;
    bool busy() const { return dragPiece_ != kNone || draggingSelection_ || bandActive_; }
    bool windowOpen(WindowId window) const;
    Point windowSize(WindowId window) const;
    AssistAllowances allowances() const;
    HitCode hitAt(WindowId window, Point play);
    Point toViewPixels(WindowId window, Point at) const;
    Point fromViewPixels(WindowId window, Point at) const;
    Point convertPlay(WindowId from, Point play, WindowId to) const;

    void invalidate(WindowId window, const Rect& play);
    void invalidateAll(WindowId window);
    Rect groupBox(ListId list, int32_t piece) const;
    Rect selectedBox(ListId list) const;
    void markChanged();
    void recordUndo();
    int clearAllSelections();
    int selectInside(ListId list, const Rect& rect);

    void pressPiece(WindowId window, HitCode hit, KeyFlags keys, Point play, Point at);
    void dragPieceTo(WindowId window, KeyFlags keys, Point play, Point at);
    void releasePiece(WindowId window, KeyFlags keys, Point play, Point at);
    bool edgeScroll(Point at);
    void followIntoWindow(WindowId window, Point play);
    bool moveSelection(WindowId window, Point play);
    void releaseGroup(WindowId window, Point play);
    void releaseSelection(WindowId window, Point play);
    void releaseBand(WindowId window, KeyFlags keys, Point at);
    void dropGroupAt(ListId list, int32_t piece);
    void runMenuChoice(uint32_t id);
    void popUpViewMenu(WindowId window, HitCode hit, KeyFlags keys, Point play, Point at);
    void dragAtPointer();
    void scrollTo(Point offset);
    // Moves the pieces and the assembly offset by (sx, sy), ignoring bounds.
    void moveWorld(int32_t sx, int32_t sy);
    // A distance in view pixels as play-area pixels at the view's zoom.
    int32_t playDistance(int32_t windowPixels) const;
    void zoomStep(int steps);
    void enterKey();
    void spaceKey();

    ViewContext c_;
    int32_t dragPiece_ = kNone;
    bool draggingSelection_ = false;
    bool bandActive_ = false;
    WindowId dragWindow_;  // the drag's (or band's) window; the list is listOf(it)
    WindowId bandWindow_;
    Point bandAnchor_, bandCorner_;  // list coordinates of bandWindow_
    Point anchor_;                   // last pointer of a selection drag, list coordinates
    Point grabOffset_;               // piece top-left minus pointer at pick-up
    std::optional<Point> savedScroll_;
    std::optional<Rect> scrollBounds_;
    Point clickPoint_;
    KeyFlags keys_;  // the latest modifier keys
    int32_t reduce_ = 1;
    bool fitted_ = false;
    bool panning_ = false;
    Point panAnchor_;  // view pixels of the pan's last applied point
};

}  // namespace pavalo
