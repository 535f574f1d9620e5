// AboutAnimation: the about box's picture (dialog 100, "About Pavalo")
// without a window: the background picture (WDA resource 326) on an 8-bit
// surface in its palette, and the 245 frames of resources 193 (frames
// 0-121) and 194 (frames 122-244) drawn at (4, 4) at about 15 frames a
// second, the last 27 frames repeating for ever, with the box's two sounds.
//
// Frame number n (counted from the start time, one every 67 ms) shows
// animation frame n while n < 218, then 218 + (n - 218) mod 27: the frames
// 218-244 loop. Every frame number between the last drawn and the due one
// is drawn in order, because frames only repaint what changed.
#pragma once

#include <cstdint>

#include "surface/draw_surface.h"
#include "media/wda.h"
#include "common/geometry.h"

namespace pavalo {

// The sounds of the about box, played by whoever has a sound system.
class AboutSounds {
public:
    virtual ~AboutSounds() = default;
    // WAVE 228 once, when sound is available.
    virtual void playIntro() = 0;
    // WAVE 227 looping until stopped.
    virtual void startLoop() = 0;
    virtual void stop() = 0;
};

class AboutAnimation {
public:
    static constexpr uint32_t kFirstId = 193, kSecondId = 194, kBackgroundId = 326;
    static constexpr uint32_t kIntroWave = 228, kLoopWave = 227;
    static constexpr int32_t kOriginX = 4, kOriginY = 4;
    static constexpr uint32_t kStartDelayMs = 667;
    static constexpr uint32_t kFrameMs = 67;
    static constexpr int32_t kLoopFirst = 218, kLoopFrames = 27;
    // The window's client area: the picture and a strip below it.
    static constexpr int32_t kClientWidth = 328, kClientHeight = 392;

    // The animation frame shown for frame number n.
    static int32_t animationFrame(int32_t n);

    // Loads the resources, draws the background and frame 0, starts the
    // sounds and sets the start time to now + 667 ms. False (nothing shown)
    // when a resource is missing or the surface cannot be made.
    bool open(uint32_t now, AboutSounds* sounds = nullptr);
    // Stops the sounds.
    void close();
    // A timer tick: draws the frames that are due. The area to repaint (the
    // animation's rectangle), or an empty rectangle when nothing changed.
    Rect tick(uint32_t now);

    DrawSurface& surface() { return surface_; }
    int32_t lastDrawn() const { return lastDrawn_; }
    // When frame number 0 is due: 667 ms after opening.
    uint32_t startTime() const { return start_; }
    // The rectangle of the animation on the surface.
    Rect animationRect() const { return area_; }

private:
    bool drawNumber(int32_t n);
    WdaAnimation first_, second_, background_;
    DrawSurface surface_;
    AboutSounds* sounds_ = nullptr;
    uint32_t start_ = 0;
    int32_t lastDrawn_ = 0;
    Rect area_;
};

}  // namespace pavalo
