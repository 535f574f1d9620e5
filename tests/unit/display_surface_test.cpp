// The virtual display: display-mode queries, creation, mode changes,
// full-screen switching and the system palette, with a scripted window.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "surface/display_surface.h"

namespace pavalo {
namespace {

struct ModesGuard {
    ~ModesGuard() { setDisplayModes(defaultDisplayModes(1920, 1080)); }
};

// A window that records what the display asks of it.
struct FakeWindow : DisplayWindow {
    Rect outer{5, 10, 805, 610};
    bool allowFullScreen = true;
    std::optional<PaletteTable> palette;
    std::vector<std::string> calls;

    Rect windowRect() const override { return outer; }
    void clientOrigin(int32_t& x, int32_t& y) const override {
        x = outer.left + 4;
        y = outer.top + 30;
    }
    Rect frameForClient(const Rect& c) const override {
        return {c.left - 4, c.top - 30, c.right + 4, c.bottom + 4};
    }
    void moveWindow(const Rect& r, bool repaint) override {
        outer = r;
        calls.push_back(repaint ? "move+paint" : "move");
    }
    void showAndUpdate() override { calls.push_back("show"); }
    bool setFullScreen(bool full) override {
        calls.push_back(full ? "full" : "windowed");
        return allowFullScreen;
    }
    bool readSystemPalette(PaletteTable& out) override {
        if (!palette) return false;
        out = *palette;
        return true;
    }
};

PaletteTable warmPalette() {
    PaletteTable t{};
    for (int i = 0; i < 256; ++i) t[size_t(i)] = {uint8_t(i), uint8_t(i / 2), 7, 0};
    return t;
}

TEST(DisplayModes, BestDepthAndLayouts) {
    ModesGuard guard;
    setDisplayModes(defaultDisplayModes(1024, 768));
    EXPECT_EQ(bestDisplayDepth(1024, 768, 32), 24);  // never 32
    EXPECT_EQ(bestDisplayDepth(800, 600, 24), 24);
    EXPECT_EQ(bestDisplayDepth(1024, 768, 16), 16);
    EXPECT_EQ(bestDisplayDepth(1025, 768, 24), -1);
    EXPECT_TRUE(has565Mode());

    setDisplayModes({{1024, 768, 8, 0}});
    EXPECT_EQ(bestDisplayDepth(1024, 768, 24), 8);
    EXPECT_FALSE(has565Mode());

    setDisplayModes({{1024, 768, 8, 0}, {1024, 768, 16, 0x7C00}, {640, 480, 24, 0xFF0000}});
    EXPECT_EQ(bestDisplayDepth(1024, 768, 24), 16);
    EXPECT_EQ(bestDisplayDepth(640, 480, 24), 24);
    EXPECT_FALSE(has565Mode());
    DrawSurface s;
    ASSERT_TRUE(s.create(2, 2, 16));
    EXPECT_TRUE(is555(s));
    ASSERT_TRUE(findDisplayMode(1024, 768, 16).has_value());
    EXPECT_FALSE(findDisplayMode(1024, 768, 24).has_value());
}

TEST(DisplaySurfaceCreate, WindowedTakesSystemPalette) {
    ModesGuard guard;
    FakeWindow window;
    window.palette = warmPalette();
    DisplaySurface display;
    EXPECT_EQ(display.fullScreen(), -1);
    ASSERT_TRUE(display.createDisplay(&window, 640, 480, 8, false, true));
    EXPECT_EQ(display.fullScreen(), 0);
    EXPECT_TRUE(display.systemPaletteCaptured());
    EXPECT_EQ(display.width(), 640);
    EXPECT_EQ(display.requestedHeight(), 480);
    EXPECT_EQ(display.originX(), 0);  // the surface is the client area
    PaletteTable got;
    ASSERT_TRUE(display.getPaletteEntries(got));
    EXPECT_EQ(got[100].green, 50);
    EXPECT_EQ(got[100].flags, 2);
    // A surface copying the display's palette where the display has none
    // gets the system palette too.
    DisplaySurface bare;
    bare.captureSystemPalette(&window);
    DrawSurface pic;
    ASSERT_TRUE(pic.create(1, 1, 8));
    pic.copyPaletteFrom(bare, false);
    pic.getPaletteEntries(got);
    EXPECT_EQ(got[100].blue, 7);
    // The first creation puts the window in its windowed state.
    EXPECT_EQ(window.calls, (std::vector<std::string>{"windowed"}));
}

TEST(DisplaySurfaceCreate, GreySystemPaletteWithoutOne) {
    DisplaySurface display;
    ASSERT_TRUE(display.createDisplay(nullptr, 32, 16, 8, false, false));
    const PresentationTable* t = display.presentationTable();
    ASSERT_NE(t, nullptr);
    EXPECT_EQ((*t)[200], 0xFFC8C8C8u);
    EXPECT_FALSE(display.clipToWindow);
}

TEST(DisplaySurfaceCreate, FullScreenNeedsModeAndWindow) {
    ModesGuard guard;
    setDisplayModes({{800, 600, 8, 0}, {800, 600, 16, 0x7C00}});
    FakeWindow window;
    DisplaySurface display;
    EXPECT_FALSE(display.createDisplay(&window, 800, 600, 24, true, true));  // no such mode
    EXPECT_FALSE(display.createDisplay(nullptr, 800, 600, 16, true, true));  // no window
    EXPECT_EQ(display.fullScreen(), -1);
    window.allowFullScreen = false;
    EXPECT_FALSE(display.createDisplay(&window, 800, 600, 16, true, true));
    EXPECT_EQ(display.fullScreen(), -1);
    window.allowFullScreen = true;
    ASSERT_TRUE(display.createDisplay(&window, 800, 600, 16, true, true));
    EXPECT_EQ(display.fullScreen(), 1);
    EXPECT_TRUE(display.is555());  // the mode's own layout
    ASSERT_TRUE(display.currentMode().has_value());
    display.restoreDisplayMode();
    EXPECT_FALSE(display.currentMode().has_value());
}

TEST(DisplaySurfaceMode, WindowedChangeResizesWindowAndKeepsPalette) {
    FakeWindow window;
    DisplaySurface display;
    ASSERT_TRUE(display.createDisplay(&window, 640, 480, 8, false, true));
    display.setDefaultPalette();
    window.calls.clear();
    ASSERT_TRUE(display.changeMode(640, 480));  // nothing to change
    EXPECT_TRUE(window.calls.empty());

    ASSERT_TRUE(display.changeMode(800, 600, 8));
    EXPECT_EQ(display.width(), 800);
    PaletteTable got;
    ASSERT_TRUE(display.getPaletteEntries(got));
    EXPECT_EQ(got[249].red, 252);  // the picture's palette survived
    // Client area 800 x 600 at the old top left, framed, kept 30 from the edge.
    EXPECT_EQ(window.outer, (Rect{30, 30, 838, 664}));
    EXPECT_EQ(window.calls, (std::vector<std::string>{"move+paint", "show"}));

    ASSERT_TRUE(display.changeMode(800, 600, 24));
    EXPECT_EQ(display.depth(), 24);
    EXPECT_FALSE(display.hasPalette());
}

TEST(DisplaySurfaceMode, ToggleAndReacquireFullScreen) {
    ModesGuard guard;
    setDisplayModes(defaultDisplayModes(1024, 768));
    FakeWindow window;
    DisplaySurface display;
    EXPECT_FALSE(display.toggleFullScreen());  // no window, no surface yet
    ASSERT_TRUE(display.createDisplay(&window, 1024, 768, 8, false, true));
    display.setDefaultPalette();
    window.calls.clear();

    ASSERT_TRUE(display.changeMode(1024, 768, 8, 1));
    EXPECT_EQ(display.fullScreen(), 1);
    EXPECT_EQ(window.calls, (std::vector<std::string>{"full"}));
    PaletteTable got;
    ASSERT_TRUE(display.getPaletteEntries(got));
    EXPECT_EQ(got[249].red, 252);

    window.calls.clear();
    ASSERT_TRUE(display.reacquireFullScreen());
    EXPECT_EQ(window.calls, (std::vector<std::string>{"full"}));
    EXPECT_EQ(display.width(), 1024);
    EXPECT_EQ(display.getPaletteEntries(got), true);

    window.calls.clear();
    ASSERT_TRUE(display.toggleFullScreen());
    EXPECT_EQ(display.fullScreen(), 0);
    EXPECT_EQ(window.calls, (std::vector<std::string>{"windowed"}));
    EXPECT_FALSE(display.currentMode().has_value());
    window.calls.clear();
    EXPECT_TRUE(display.reacquireFullScreen());  // windowed: nothing to do
    EXPECT_TRUE(window.calls.empty());

    // A size without a full-screen mode cannot go full screen.
    ASSERT_TRUE(display.changeMode(700, 500, 8));
    EXPECT_FALSE(display.toggleFullScreen());
}

TEST(DisplaySurfaceMode, RestoreSystemPalette) {
    FakeWindow window;
    window.palette = warmPalette();
    DisplaySurface display;
    ASSERT_TRUE(display.createDisplay(&window, 64, 64, 8, false, true));
    display.setDefaultPalette();
    display.restoreSystemPalette(&window);
    PaletteTable got;
    ASSERT_TRUE(display.getPaletteEntries(got));
    EXPECT_EQ(got[200].green, 100);
}

}  // namespace
}  // namespace pavalo
