// SortingBoxWindow: one of the four sorting boxes — a side window whose
// client area shows its own list of pieces at its own zoom, with scroll bars.
// The side windows' manager moves the pieces with the window, keeps 30
// pixels of it on the screen and works out the scroll bars. Its canvas shows
// what the composer drew for it and hands the mouse to the view controller
// as events of WindowId::sortingBox(box - 1).
#pragma once

#include <QWidget>
#include <functional>

#include "app/side_window.h"
#include "platform/platform.h"

class QScrollBar;

namespace pavalo {

// The window and local pixel a global pointer position belongs to.
using PointerRoute = std::function<std::pair<WindowId, QPoint>(QPoint global)>;

class BoxCanvas : public QWidget {
    Q_OBJECT
public:
    BoxCanvas(QWidget* parent, const SideWindowContext& context, int box);
    void setRoute(PointerRoute route) { route_ = std::move(route); }
    // The top-left of the canvas in the view's pixels: the box's origin.
    QPoint origin() const;
    int zoom = 0;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;

signals:
    // A button went down or up: the box's selection or contents may differ.
    void pressed();
    void released();

private:
    WindowId window() const { return WindowId::sortingBox(box_ - 1); }
    std::pair<WindowId, Point> routed(const QMouseEvent* e) const;

    SideWindowContext context_;
    int box_;
    PointerRoute route_;
};

class SortingBoxWindow : public SideWindowFrame {
    Q_OBJECT
public:
    SortingBoxWindow(QWidget* view, const SideWindowContext& context, int box);

    int box() const { return box_; }
    BoxCanvas* canvas() const { return canvas_; }
    // The canvas in view pixels; its top-left is the box's origin.
    Rect clientRect() const;
    // The visible area in box coordinates: the origin plus the canvas size
    // shifted by the zoom.
    Rect clientArea() const;
    // Recomputes the scroll bars from the box's pieces (shifting a heap that
    // fits back into view first) and redraws when anything moved.
    void updateScrollBars();
    void setZoom(int zoom);
    // The caption from the box's list: its piece and selection counts.
    void refreshCaption();
    // Shows the scroll bars the manager worked out.
    void showScrollBars(const ScrollAxis& horizontal, const ScrollAxis& vertical);
    // Redraws the pieces at the box's present zoom.
    void redraw();
    QScrollBar* horizontalBar() const { return horizontal_; }
    QScrollBar* verticalBar() const { return vertical_; }

private:
    void showAxis(QScrollBar* bar, const ScrollAxis& axis);

    SideWindowContext context_;
    int box_;
    BoxCanvas* canvas_;
    QScrollBar* horizontal_;
    QScrollBar* vertical_;
    bool updatingBars_ = false;
};

}  // namespace pavalo
