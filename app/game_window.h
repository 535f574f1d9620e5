// GameWindow: the main frame — a borderless window covering the screen (or
// of the size asked for on the command line) that holds the play-area view.
// It is the display's window too.
#pragma once

#include <QWidget>

#include "surface/display_surface.h"

namespace pavalo {

class Compositor;
class PlayView;

class GameWindow : public QWidget, public DisplayWindow {
    Q_OBJECT
public:
    // size: the play area's size when windowed; an empty size means full screen.
    GameWindow(Compositor& compositor, QSize windowed);
    PlayView* view() const { return view_; }
    bool windowed() const { return windowed_; }
    // F11: full screen becomes a window (of the size asked for on the
    // command line, else three quarters of the screen) and back.
    void toggleFullScreen();

    // DisplayWindow
    Rect windowRect() const override;
    void clientOrigin(int32_t& x, int32_t& y) const override;
    Rect frameForClient(const Rect& client) const override;
    void moveWindow(const Rect& windowRect, bool repaint) override;
    void showAndUpdate() override;
    bool setFullScreen(bool fullScreen) override;

signals:
    void closeRequested();
    // The play area's size changed (full screen and back).
    void playAreaResized(QSize size);
    // A modal window now blocks this one (it takes the pointer and keys).
    void blockedByModal();

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    PlayView* view_;
    bool windowed_;
    QSize windowedSize_;  // the client size when windowed
};

}  // namespace pavalo
