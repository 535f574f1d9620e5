// StartupSplash: the play-area splash shown at start-up, before the start
// dialog — the data folder's gfx/splash.wda played in the compositor's
// start-up display state (1), centred on the play area, then the tile
// state (2). A key or a click ends it early.
#pragma once

#include <QObject>
#include <optional>
#include <string>

#include "display/compositor.h"
#include "media/wda.h"

class QWidget;

namespace pavalo {

class StartupSplash : public QObject {
    Q_OBJECT
public:
    // Frames the last picture stays before the splash ends (a second).
    static constexpr int32_t kHoldFrames = 15;

    StartupSplash(Compositor& compositor, QWidget* view);
    ~StartupSplash() override;

    // Plays the animation file to its end (and the hold) inside a local
    // event loop; false at once when the file cannot be loaded. The
    // compositor is left in the tile state either way.
    bool play(const std::string& path);

    // The compositor's start-up frame: draws every frame due since the last
    // call into the back buffer (through an 8-bit scratch surface when the
    // back buffer is deeper), gives it the animation's palette, and returns
    // the area to show — all of it after the buffer was made again.
    std::optional<Rect> drawFrame(DrawSurface& backBuffer, DisplaySurface& display);

    // Animation frames due now; the view shows them at its next update.
    int32_t dueFrame() const { return due_; }
    void setDueFrame(int32_t frame) { due_ = frame; }
    // Loads the animation without playing (for tests of drawFrame).
    bool load(const std::string& path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void finish();

    Compositor& compositor_;
    QWidget* view_;
    WdaAnimation animation_;
    DrawSurface scratch_;
    const uint8_t* buffer_ = nullptr;  // the back buffer drawn into last
    int32_t bufferWidth_ = 0, bufferHeight_ = 0, bufferDepth_ = 0;
    int32_t drawn_ = -1;  // the last frame drawn into it
    int32_t due_ = 0;
    bool done_ = false;
};

}  // namespace pavalo
