// The virtual display: creation, mode changes, full-screen switching and the
// system palette.
#include "surface/display_surface.h"

#include <algorithm>

namespace pavalo {

const PaletteTable& DisplaySurface::fallbackPalette() const {
    return systemPaletteCaptured_ ? systemPalette_ : greyPalette();
}

void DisplaySurface::captureSystemPalette(DisplayWindow* window) {
    PaletteTable entries{};
    if (!window || !window->readSystemPalette(entries)) entries = greyPalette();
    systemPalette_ = entries;
    systemPaletteCaptured_ = true;
}

void DisplaySurface::restoreSystemPalette(DisplayWindow* /*window*/) {
    if (hasPalette() && systemPaletteCaptured_) setPaletteEntries(systemPalette_, false);
}

bool DisplaySurface::createDisplay(DisplayWindow* window, int32_t width, int32_t height, int32_t depth,
                                   bool fullScreen, bool clipToWindow) {
    if (!systemPaletteCaptured_) captureSystemPalette(window);
    window_ = window;
    this->clipToWindow = clipToWindow;

    const int32_t wanted = fullScreen ? 1 : 0;
    std::optional<PixelFormat> format;
    std::optional<DisplayMode> mode;
    if (fullScreen) {
        if (!window) return false;
        mode = findDisplayMode(width, height, depth == kDepth16555 ? 16 : depth);
        if (!mode) return false;
        // A 16-bit mode's own layout decides: 0x7C00 is 5-5-5, else 5-6-5.
        if (mode->depth == 16 && mode->redMask != 0x7C00)
            format = PixelFormat{16, false, 0xF800, 0x07E0, 0x001F};
        else
            format = pixelFormatForDepth(mode->depth == 16 ? kDepth16555 : mode->depth);
    } else {
        format = pixelFormatForDepth(depth);
    }
    if (!format) return false;
    if (wanted != fullScreen_) {
        if (window && !window->setFullScreen(fullScreen)) return false;
        fullScreen_ = wanted;
    }
    currentMode_ = mode;
    if (!createWithFormat(width, height, *format)) return false;
    if (!fullScreen && window) {
        int32_t x = 0, y = 0;
        window->clientOrigin(x, y);
        setOrigin(x, y);
    }
    if (this->depth() == 8 && !hasPalette()) setPaletteEntries(fallbackPalette(), false);
    return true;
}

bool DisplaySurface::toggleFullScreen() {
    if (!window_ || !hasPixels()) return false;
    const int32_t width = requestedWidth(), height = requestedHeight(), depth = this->depth();
    const bool leaving = fullScreen_ == 1;
    releasePixels();
    dropPalette();
    if (leaving) currentMode_.reset();
    return createDisplay(window_, width, height, depth, !leaving, clipToWindow);
}

bool DisplaySurface::followWindowSize(int32_t width, int32_t height) {
    if (hasPixels() && requestedWidth() == width && requestedHeight() == height) return true;
    const int32_t keptDepth = depth();
    PaletteTable saved{};
    const bool keepPalette = keptDepth == 8 && getPaletteEntries(saved);
    releasePixels();
    dropPalette();
    if (!createDisplay(window_, width, height, keptDepth, fullScreen_ == 1, clipToWindow)) return false;
    if (keepPalette) setPaletteEntries(saved, false);
    return true;
}

bool DisplaySurface::changeMode(int32_t width, int32_t height, int32_t depth, int32_t fullScreen) {
    const int32_t newDepth = depth == -1 ? this->depth() : depth;
    const int32_t newFull = fullScreen == -1 ? fullScreen_ : fullScreen;
    if (hasPixels() && requestedWidth() == width && requestedHeight() == height &&
        this->depth() == newDepth && fullScreen_ == newFull)
        return true;

    PaletteTable saved{};
    const bool keepPalette = newDepth == 8 && getPaletteEntries(saved);
    releasePixels();
    dropPalette();
    const bool currentlyFull = fullScreen_ == 1;
    if (!createDisplay(window_, width, height, newDepth, currentlyFull, clipToWindow)) return false;

    if (newFull == fullScreen_) {
        if (keepPalette) setPaletteEntries(saved, false);
        if (!currentlyFull && window_) {
            // Size the window so that its client area is the new size, with
            // the frame kept on screen at least 30 pixels from the top left.
            const Rect outer = window_->windowRect();
            Rect frame =
                window_->frameForClient({outer.left, outer.top, outer.left + width, outer.top + height});
            frame = frame.offset(std::max(0, 30 - frame.left), std::max(0, 30 - frame.top));
            window_->moveWindow(frame, true);
            window_->showAndUpdate();
        }
        return true;
    }
    const bool ok = toggleFullScreen();
    if (keepPalette) setPaletteEntries(saved, false);
    return ok;
}

bool DisplaySurface::reacquireFullScreen() {
    if (fullScreen_ != 1) return true;
    if (!window_ || !window_->setFullScreen(true)) return false;
    const int32_t width = requestedWidth(), height = requestedHeight(), depth = this->depth();
    if (!findDisplayMode(width, height, depth)) return false;
    return createDisplay(window_, width, height, depth, true, clipToWindow);
}

void DisplaySurface::restoreDisplayMode() {
    if (fullScreen_ == 1) currentMode_.reset();
}

}  // namespace pavalo
