// SideWindowManager: the rules of the play area's side windows — the
// preview, the overview and the four sorting boxes (numbered 1 to 4) —
// without a window system: opening and closing them (sounds, open flags and
// placements in the settings record, defaults for a first opening, windows
// pulled back onto a smaller screen), Hide and restore, box zoom, the boxes'
// pieces that travel with their window, box scroll bars, the preview's
// aspect and the overview's first size. The windows themselves belong to a
// front end (SideWindowViews); a headless session keeps their rectangles
// only (RectangleViews), so the same rules run in tests and tools.
//
// Ownership: the model, the record and the views must outlive the manager
// (or the views be replaced first). User-interface thread only.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "common/geometry.h"
#include "display/side_window_rules.h"
#include "puzzle/puzzle_model.h"
#include "puzzle/settings_record.h"
#include "surface/draw_surface.h"

namespace pavalo {

// What a box keeps while its window is closed.
struct BoxState {
    int zoom = 0;
    BoxPlacement placement;
    ScrollAxis horizontal, vertical;
};

// The front end's windows. Rectangles are in the view's pixels; a frame is
// the whole window (border and caption included).
class SideWindowViews {
public:
    virtual ~SideWindowViews() = default;
    // The play-area view's size: the screen the side windows live on.
    virtual Point viewSize() const = 0;
    virtual void create(SideWindow w, const Rect& frame) = 0;
    virtual void destroy(SideWindow w) = 0;
    virtual void place(SideWindow w, const Rect& frame) = 0;
    virtual Rect frame(SideWindow w) const = 0;
    // The drawing area of an open window (a box's pieces area, without its
    // scroll bars).
    virtual Rect client(SideWindow w) const = 0;
    // What border and caption add to a client size, and the smallest window.
    virtual Point frameExtra() const = 0;
    virtual Point minimumSize() const = 0;
    virtual void setCaption(SideWindow w, const std::string& caption) = 0;
    virtual void showScrollBars(int box, const ScrollAxis& horizontal, const ScrollAxis& vertical) = 0;
    virtual void redraw(SideWindow w) = 0;
    // A window opened or closed.
    virtual void windowsChanged() {}
};

// Side windows as rectangles only, for a session without windows: the
// client is the frame less a 4-pixel border and an 18-pixel caption.
class RectangleViews final : public SideWindowViews {
public:
    explicit RectangleViews(Point viewSize) : view_(viewSize) {}
    Point viewSize() const override { return view_; }
    void create(SideWindow w, const Rect& frame) override { frames_[size_t(w)] = frame; }
    void destroy(SideWindow w) override { frames_[size_t(w)] = {}; }
    void place(SideWindow w, const Rect& frame) override { frames_[size_t(w)] = frame; }
    Rect frame(SideWindow w) const override { return frames_[size_t(w)]; }
    Rect client(SideWindow w) const override;
    Point frameExtra() const override { return {2 * kBorder, 2 * kBorder + kCaption}; }
    Point minimumSize() const override { return {80, 50}; }
    void setCaption(SideWindow w, const std::string& caption) override { captions_[size_t(w)] = caption; }
    void showScrollBars(int, const ScrollAxis&, const ScrollAxis&) override {}
    void redraw(SideWindow) override {}
    const std::string& caption(SideWindow w) const { return captions_[size_t(w)]; }

private:
    static constexpr int32_t kBorder = 4, kCaption = 18;
    Point view_;
    std::array<Rect, kSideWindowCount> frames_{};
    std::array<std::string, kSideWindowCount> captions_{};
};

class SideWindowManager {
public:
    // `picture` gives the puzzle's picture (null without one); `markChanged`
    // marks the puzzle changed after a box moved its pieces.
    SideWindowManager(PuzzleModel& model, SettingsRecord& record, std::function<const DrawSurface*()> picture,
                      std::function<void()> markChanged, Point viewSize);

    // The front end's windows; null goes back to rectangles only. Open
    // windows are closed first.
    void setViews(SideWindowViews* views);
    SideWindowViews& views() const { return *views_; }

    bool isOpen(SideWindow w) const { return set_.isOpen(w); }
    bool isBoxOpen(int box) const { return validBox(box) && set_.isOpen(sideWindowOfBox(box)); }
    // Opening plays the open sound (boxes; the preview always), places the
    // window at its saved rectangle (kept on the screen) and sets the open
    // flag; closing saves the rectangle and clears the flag.
    void openBox(int box, bool sound = true);
    void closeBox(int box, bool byPlayer = false, bool sound = true);
    void toggleBox(int box);
    void togglePreview();
    void toggleOverview();

    // An open box's client area in view pixels; its top-left is the box's
    // coordinate origin. The visible area in box coordinates is that origin
    // plus the client size shifted by the zoom.
    Rect boxClientRect(int box) const;
    Rect boxClientArea(int box) const;
    int boxZoom(int box) const { return validBox(box) ? boxes_[size_t(box - 1)].zoom : 0; }
    void setBoxZoom(int box, int zoom);
    const BoxState& boxState(int box) const { return boxes_[size_t(box - 1)]; }
    // Pieces went into or out of a box: a heap that fits is shifted back into
    // view and the scroll bars follow the pieces.
    void boxContentsChanged(int box);
    void setBoxCaption(int box, const std::string& caption);
    // Every open box's caption from its list's counts.
    void refreshCaptions();
    void redrawBox(int box);
    void redrawOverview();
    void redrawAll();

    // "Hide": closes the open windows remembering them, or reopens them.
    bool hidden() const { return set_.hidden(); }
    void toggleHide();
    void hide();
    void restore();
    void endHide() { set_.endHide(); }
    // New puzzle, open, completion: everything closed, nothing remembered.
    void closeAll();
    void closePreviewAndOverview();
    void closeSortingBoxes();
    // After an open: the boxes the record marks open are opened silently.
    void openFromRecord();
    // After an undo: the open windows go back to the record's placements
    // without moving the boxes' pieces; the open flags follow the windows.
    void restorePlacements();
    // The screen changed size: open windows that now lie off it are pulled
    // back (boxes with their pieces).
    void keepOnScreen();

    // ---- what the windows report ----
    // A drag of the caption or of the border proposes a frame; the result is
    // where the window goes (boxes keep 30 pixels on the screen, the preview
    // keeps the picture's aspect and stays on the screen).
    Rect correctMove(SideWindow w, const Rect& proposed) const;
    Rect correctSize(SideWindow w, const Rect& proposed, SizingEdge edge) const;
    // The window was moved or sized to `now`: a box's pieces travel with it
    // (sizing from the left or the top keeps them where they are on the
    // screen); placements go into the record.
    void moved(SideWindow w, const Rect& now);
    void sized(SideWindow w, const Rect& now);
    void sizingEnded(SideWindow w);
    // The close box.
    void closeClicked(SideWindow w);
    // A box's scroll bar moved to `value`: the pieces move the other way.
    void scrollTo(int box, bool horizontal, int32_t value);
    // Where a scroll bar action takes the bar.
    int32_t scrollTarget(int box, bool horizontal, ScrollAction action, int32_t track) const;

private:
    static bool validBox(int box) { return box >= 1 && box <= 4; }
    void open(SideWindow w, bool sound);
    void close(SideWindow w, bool byPlayer, bool sound);
    void saveFrame(SideWindow w);
    Rect previewFrame(const Rect& proposed, SizingEdge edge) const;
    void offsetBox(int box, Point d);

    PuzzleModel& model_;
    SettingsRecord& record_;
    std::function<const DrawSurface*()> picture_;
    std::function<void()> markChanged_;
    RectangleViews rectangles_;
    SideWindowViews* views_ = &rectangles_;
    SideWindowSet set_;
    std::array<BoxState, 4> boxes_;
};

// A window's rectangle as the settings record stores it, and back.
inline StoredRect storedRectOf(const Rect& r) { return {r.left, r.top, r.right, r.bottom}; }
inline Rect rectOf(const StoredRect& r) { return {r.left, r.top, r.right, r.bottom}; }

}  // namespace pavalo
