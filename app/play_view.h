// PlayView: the widget of the play-area view. It paints what the compositor
// composed for each invalid rectangle, magnified by the zoom, and hands mouse
// and key events to the view controller.
#pragma once

#include <QWidget>
#include <functional>
#include <utility>

#include "display/compositor.h"
#include "display/view_controller.h"

namespace pavalo {

class PlayView : public QWidget {
    Q_OBJECT
public:
    PlayView(QWidget* parent, Compositor& compositor);
    void setController(ViewController* controller) { controller_ = controller; }
    // Which window a global pointer position belongs to (a sorting box's
    // client area over the view, or the view) with its local pixel: moves
    // and releases while a button is held, and keys, go to that window.
    using PointerRoute = std::function<std::pair<WindowId, QPoint>(QPoint global)>;
    void setPointerRoute(PointerRoute route) { route_ = std::move(route); }

    // Milliseconds spent in the last paint (for the drag-latency figure).
    double lastPaintMs() const { return lastPaintMs_; }
    // Hardware stretching on: zoomed copies are scaled by the painter.
    // Off: they are stretched into a zoom surface of ours first and shown
    // unscaled (the same pixels, for displays whose scaling misbehaves).
    void setHardwareStretching(bool on) { hardwareStretching_ = on; }
    bool hardwareStretching() const { return hardwareStretching_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void enterEvent(QEnterEvent* event) override;

private:
    Compositor& compositor_;
    ViewController* controller_ = nullptr;
    PointerRoute route_;
    double lastPaintMs_ = 0;
    bool hardwareStretching_ = true;
    DrawSurface zoomSurface_;
    int wheelZoom_ = 0;  // Ctrl+wheel eighths of a degree not yet turned into a zoom step
};

// The view's key for a Qt key (number-pad digits count as digits; "=" is
// "+" without Shift).
ViewKey viewKeyFor(int qtKey);
KeyFlags keyFlagsOf(Qt::KeyboardModifiers modifiers);

}  // namespace pavalo
