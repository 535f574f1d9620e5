// SideWindows: the preview, the overview and the four sorting boxes of the
// play-area view — opening and closing them (with their sounds and open
// flags in the settings record), Hide and restore, the boxes' placements,
// zoom, scroll bars and captions, and which window a pointer position
// belongs to while a piece is dragged between the view and the boxes.
// Boxes are numbered 1 to 4.
#pragma once

#include <QObject>
#include <QPointer>
#include <array>
#include <memory>
#include <string>

#include "app/overview_window.h"
#include "app/preview_window.h"
#include "app/sorting_box_window.h"
#include "shell/game_session.h"

namespace pavalo {

class SideWindows : public QObject, public SideWindowHost {
    Q_OBJECT
public:
    SideWindows(QWidget* view, const SideWindowContext& context);
    ~SideWindows() override;

    // ---- sorting boxes ----
    bool isBoxOpen(int box) const override;
    // Opening plays sound 20, places the window at its saved rectangle (kept
    // on the screen) and sets the open flag; closing plays sound 19, saves
    // the rectangle and clears the flag. byPlayer: the window's close box.
    void openBox(int box, bool sound = true) override;
    void closeBox(int box, bool byPlayer = false, bool sound = true);
    void toggleBox(int box) override;
    SortingBoxWindow* boxWindow(int box) const;
    Rect boxClientRect(int box) const override;  // view pixels
    Rect boxClientArea(int box) const override;  // box coordinates
    int boxZoom(int box) const override;
    void setBoxZoom(int box, int zoom) override;
    void boxContentsChanged(int box) override;  // scroll bars
    void setBoxCaption(int box, const std::string& caption) override;
    void redrawBox(int box) override;
    void refreshCaptions() override;

    // ---- preview and overview ----
    bool isOpen(SideWindow w) const override { return set_.isOpen(w); }
    void togglePreview() override;
    void toggleOverview() override;
    void redrawOverview() override;
    void redrawAll() override;
    PreviewWindow* preview() const { return preview_; }
    OverviewWindow* overview() const { return overview_; }

    // ---- all of them ----
    // "Hide": closes the open windows remembering them, or reopens them.
    void toggleHide() override;
    void hide() override;
    void restore() override;
    bool hidden() const override { return set_.hidden(); }
    void endHide() override { set_.endHide(); }
    // New puzzle, open, completion: everything closed, nothing remembered.
    void closeAll() override;
    void closePreviewAndOverview() override;
    void closeSortingBoxes() override;
    // After an open: the boxes the record marks open are opened (silently).
    void openFromRecord() override;
    // After an undo: the open boxes and the preview go back to the record's
    // placements without moving their pieces; the record's open flags then
    // follow the windows.
    void restorePlacements() override;

    // The widget a window id paints into: the view or a box's canvas.
    QWidget* widgetFor(WindowId id) const;
    // The window a global pointer position belongs to while a piece is
    // dragged: an open box's canvas under it, else the view; with the local
    // pixel in that window.
    std::pair<WindowId, QPoint> route(QPoint global) const;
    // Whether the position lies over a side window.
    bool covers(QPoint global) const;

signals:
    // A window opened or closed (by a command, a key or its close box).
    void windowsChanged();

private:
    void open(SideWindow w, bool sound);
    void close(SideWindow w, bool byPlayer, bool sound);

    QWidget* view_;
    SideWindowContext context_;
    SideWindowSet set_;
    std::array<BoxState, 4> boxes_;
    std::array<QPointer<SortingBoxWindow>, 4> boxWindows_;
    QPointer<PreviewWindow> preview_;
    QPointer<OverviewWindow> overview_;
};

}  // namespace pavalo
