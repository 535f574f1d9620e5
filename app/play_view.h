// PlayView: the widget of the play-area view. It paints what the compositor
// composed for each invalid rectangle, magnified by the zoom, and hands mouse
// and key events to the view logic.
#pragma once

#include <QWidget>
#include <optional>

#include "display/compositor.h"
#include "platform/platform.h"

namespace pavalo {

// Modifier keys held with an event.
struct KeyFlags {
    bool shift = false;
    bool control = false;
};

// What the view logic offers the widget.
class ViewInput {
public:
    virtual ~ViewInput() = default;
    virtual void mousePress(Point at, KeyFlags keys) = 0;
    virtual void mouseMove(Point at, KeyFlags keys, bool leftHeld) = 0;
    virtual void mouseRelease(Point at, KeyFlags keys) = 0;
    virtual void mouseDoubleClick(Point at, KeyFlags keys) = 0;
    virtual void rightButton(Point at, KeyFlags keys) = 0;
    virtual void keyDown(int qtKey, KeyFlags keys) = 0;
    virtual void keyUp(int qtKey, KeyFlags keys) = 0;
    // The composition request of the moment (zoom, selection rectangle).
    virtual ViewRequest viewRequest() const = 0;
};

class PlayView : public QWidget {
    Q_OBJECT
public:
    PlayView(QWidget* parent, Compositor& compositor);
    void setInput(ViewInput* input) { input_ = input; }

    // Milliseconds spent in the last paint (for the drag-latency figure).
    double lastPaintMs() const { return lastPaintMs_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    Compositor& compositor_;
    ViewInput* input_ = nullptr;
    double lastPaintMs_ = 0;
};

}  // namespace pavalo
