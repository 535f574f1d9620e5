// DisplaySurface: the virtual display. A DrawSurface the size of the play
// window (or the full screen) plus its mode state: windowed or full screen,
// the display mode in use, and the system palette captured at start-up.
//
// The front end presents its pixels (with the presentation colour table at 8
// bits) and implements DisplayWindow for the few window operations that mode
// changes need. One instance, owned by the application, used on the user-
// interface thread. The window passed in must outlive the display's use of it.
#pragma once

#include <optional>

#include "surface/display_modes.h"
#include "surface/draw_surface.h"

namespace pavalo {

// The window operations a display needs, implemented by the front end.
class DisplayWindow {
public:
    virtual ~DisplayWindow() = default;
    // The window's outer rectangle in screen pixels.
    virtual Rect windowRect() const = 0;
    // Screen position of the client area's top-left corner.
    virtual void clientOrigin(int32_t& x, int32_t& y) const = 0;
    // The outer rectangle of a window with a caption-only frame whose client
    // area is `client`.
    virtual Rect frameForClient(const Rect& client) const = 0;
    virtual void moveWindow(const Rect& windowRect, bool repaint) = 0;
    virtual void showAndUpdate() = 0;
    // Takes (true) or gives back (false) the whole screen; false when refused.
    virtual bool setFullScreen(bool fullScreen) = 0;
    // The system's palette; false when there is none (the grey palette is
    // then used).
    virtual bool readSystemPalette(PaletteTable& out) {
        (void)out;
        return false;
    }
};

class DisplaySurface : public DrawSurface {
public:
    DisplaySurface() = default;

    // -1 before the first creation, then 0 (windowed) or 1 (full screen).
    int32_t fullScreen() const { return fullScreen_; }
    bool systemPaletteCaptured() const { return systemPaletteCaptured_; }
    const PaletteTable& systemPalette() const { return systemPalette_; }
    DisplayWindow* window() const { return window_; }
    // The display mode set for full screen; none while windowed or after
    // restoreDisplayMode.
    std::optional<DisplayMode> currentMode() const { return currentMode_; }

    // Reads the system palette through the window (grey without one).
    void captureSystemPalette(DisplayWindow* window);
    // At shutdown: puts the captured system palette back into the display's
    // palette when it has one.
    void restoreSystemPalette(DisplayWindow* window);

    // Makes the display width x height at `depth`. Full screen needs a
    // window and a display mode of exactly that size and depth; the 16-bit
    // layout then follows the mode. Windowed, any size is allowed and 16 bits
    // follow has565Mode. At 8 bits a display without a palette gets the
    // system palette. False (state unchanged) when the window refuses the
    // full-screen change or no mode fits.
    bool createDisplay(DisplayWindow* window, int32_t width, int32_t height, int32_t depth, bool fullScreen,
                       bool clipToWindow);
    // Switches between windowed and full screen at the requested size and
    // the current depth. Needs a window and pixels.
    bool toggleFullScreen();
    // Changes size, depth (-1 keeps it) and full-screen state (-1 keeps it),
    // keeping the palette at 8 bits and resizing the window when windowed.
    bool changeMode(int32_t width, int32_t height, int32_t depth = -1, int32_t fullScreen = -1);
    // The window's client area changed to width x height: the display
    // follows at its depth (and palette), leaving the window alone.
    bool followWindowSize(int32_t width, int32_t height);
    // After the application is reactivated: takes the screen and the mode
    // again and re-creates the display (full screen only; true otherwise).
    bool reacquireFullScreen();
    // Gives the screen's own mode back while full screen.
    void restoreDisplayMode();

protected:
    // The captured system palette once there is one.
    const PaletteTable& fallbackPalette() const override;

private:
    DisplayWindow* window_ = nullptr;
    int32_t fullScreen_ = -1;
    bool systemPaletteCaptured_ = false;
    PaletteTable systemPalette_{};
    std::optional<DisplayMode> currentMode_;
};

}  // namespace pavalo
