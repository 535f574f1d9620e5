// SideWindows: the widgets of the preview, the overview and the four sorting
// boxes (numbered 1 to 4) — created, placed and destroyed as the side
// windows' manager says — and which window a pointer position belongs to
// while a piece is dragged between the view and the boxes. The rules
// (opening, closing, Hide, placements, the boxes' pieces and scroll bars)
// are the manager's.
#pragma once

#include <QObject>
#include <QPointer>
#include <array>
#include <memory>
#include <string>

#include "app/overview_window.h"
#include "app/preview_window.h"
#include "app/sorting_box_window.h"
#include "shell/side_window_manager.h"

namespace pavalo {

class SideWindows : public QObject, public SideWindowViews {
    Q_OBJECT
public:
    SideWindows(QWidget* view, const SideWindowContext& context);
    ~SideWindows() override;

    SideWindowManager& manager() const { return context_.manager; }
    bool isBoxOpen(int box) const { return manager().isBoxOpen(box); }
    bool isOpen(SideWindow w) const { return manager().isOpen(w); }
    SortingBoxWindow* boxWindow(int box) const;
    PreviewWindow* preview() const;
    OverviewWindow* overview() const;

    // The widget a window id paints into: the view or a box's canvas.
    QWidget* widgetFor(WindowId id) const;
    // The window a global pointer position belongs to while a piece is
    // dragged: an open box's canvas under it, else the view; with the local
    // pixel in that window.
    std::pair<WindowId, QPoint> route(QPoint global) const;
    // Whether the position lies over a side window.
    bool covers(QPoint global) const;

    // ---- SideWindowViews ----
    Point viewSize() const override { return {view_->width(), view_->height()}; }
    void create(SideWindow w, const Rect& frame) override;
    void destroy(SideWindow w) override;
    void place(SideWindow w, const Rect& frame) override;
    Rect frame(SideWindow w) const override;
    Rect client(SideWindow w) const override;
    Point frameExtra() const override;
    Point minimumSize() const override;
    void setCaption(SideWindow w, const std::string& caption) override;
    void showScrollBars(int box, const ScrollAxis& horizontal, const ScrollAxis& vertical) override;
    void redraw(SideWindow w) override;
    void windowsChanged() override { emit changed(); }

signals:
    // A window opened or closed (by a command, a key or its close box).
    void changed();

private:
    QWidget* view_;
    SideWindowContext context_;
    std::array<QPointer<SideWindowFrame>, kSideWindowCount> windows_;
};

}  // namespace pavalo
