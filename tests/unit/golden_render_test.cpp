// Golden renders: a small puzzle composed at 8, 16 and 24 bits — pieces at
// every rotation, clipped at each edge of the play area, with shaded, solid
// (selected) and hidden outlines, over a finished corner — compared pixel for
// pixel with the pictures kept in tests/data/golden. PAVALO_UPDATE_GOLDEN=1
// writes them anew (look at them before committing).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "display/compositor.h"
#include "surface/display_modes.h"
#include "media/bmp.h"
#include "puzzle/cutter.h"

using namespace pavalo;

namespace {

constexpr int kPlayW = 320, kPlayH = 240;

// A 160 x 120 picture with smooth gradients and a few sharp shapes.
void paintPicture(DrawSurface& picture) {
    ASSERT_TRUE(picture.create(160, 120, 24));
    for (int y = 0; y < 120; ++y) {
        uint8_t* row = picture.row(y);
        for (int x = 0; x < 160; ++x) {
            const bool ring = std::abs((x - 80) * (x - 80) + (y - 60) * (y - 60) - 900) < 120;
            row[3 * x + 0] = uint8_t(ring ? 30 : 40 + y * 2);       // blue
            row[3 * x + 1] = uint8_t(ring ? 220 : (x * 3 + y) / 2);  // green
            row[3 * x + 2] = uint8_t(ring ? 240 : 255 - x);          // red
        }
    }
}

// Places the pieces of a 4 x 3 cut: a row of the four rotations, pieces
// hanging over each edge, a selected piece, and two solved pieces.
void arrange(PuzzleModel& m) {
    for (int i = 0; i < 4; ++i) {
        m.moveGroup(ListId::None, i, 20 + 60 * i, 12);
        m.setGroupRotation(ListId::Main, i, i);
    }
    m.moveGroup(ListId::None, 4, -25, 100);   // over the left edge
    m.moveGroup(ListId::None, 5, 150, -30);   // over the top
    m.moveGroup(ListId::None, 6, kPlayW - 20, 150);  // over the right
    m.setGroupRotation(ListId::Main, 6, 1);
    m.moveGroup(ListId::None, 7, 60, kPlayH - 18);   // over the bottom
    m.setGroupRotation(ListId::Main, 7, 3);
    m.moveGroup(ListId::None, 8, 250, 60);
    m.setGroupSelected(ListId::Main, 8, true);  // solid outline
    m.solvePiece(ListId::Main, 10, 0, 0);
    m.solvePiece(ListId::Main, 11, 0, 0);
    m.moveGroup(ListId::None, 9, 110, 95);  // covers a solved piece's neighbourhood
}

void renderAt(int depth, DrawSurface& out) {
    PuzzleModel m;
    Random rng(12);
    std::vector<int32_t> order;
    std::string error;
    ASSERT_TRUE(runCutSequence({160, 120, 4, 3, kPlayW, kPlayH, false}, rng, m, order, error)) << error;
    arrange(m);
    DrawSurface source;
    paintPicture(source);
    DrawSurface picture;
    if (depth == 8) {
        ASSERT_TRUE(picture.ditherFrom24(source));
    } else {
        ASSERT_TRUE(picture.create(160, 120, depth));
        ASSERT_TRUE(picture.copyBitmap(source, 0, 0));
    }
    setDisplayModes({{kPlayW, kPlayH, depth, depth == 16 ? 0xF800u : 0u}});
    DisplaySurface display;
    ASSERT_TRUE(display.createDisplay(nullptr, kPlayW, kPlayH, depth, false, true));
    Compositor c(display);
    SettingsRecord record;
    c.setScene({&m, &picture, &record});
    c.state().displayState = DisplayState::Playing;
    c.state().viewMode = kViewPiecesShown;
    c.state().options.background = 0x00403020;
    c.state().rebuildBuffers = true;
    c.updateView(ViewRequest{});
    c.renderer.buildOutlineShades(m, &picture);
    ViewRequest request;
    request.clipBox = {0, 0, kPlayW, kPlayH};
    Presentation shown = c.updateView(request);
    ASSERT_TRUE(shown.present);
    ASSERT_TRUE(out.createLike(c.backBuffer()));
    ASSERT_TRUE(out.copyPaletteFrom(c.backBuffer(), false));
    ASSERT_TRUE(out.copyBitmap(c.backBuffer(), 0, 0));
    setDisplayModes(defaultDisplayModes(1920, 1080));
}

}  // namespace

TEST(GoldenRender, EveryDepthMatchesItsPicture) {
    const bool update = std::getenv("PAVALO_UPDATE_GOLDEN") != nullptr;
    for (int depth : {8, 16, 24}) {
        SCOPED_TRACE(depth);
        DrawSurface rendered;
        renderAt(depth, rendered);
        ASSERT_TRUE(rendered.hasPixels());
        // Kept as 24-bit pictures of what the screen shows at each depth.
        DrawSurface shown;
        ASSERT_TRUE(shown.create(kPlayW, kPlayH, 24));
        ASSERT_TRUE(shown.copyBitmap(rendered, 0, 0));
        const std::string path = std::string(PAVALO_TEST_DATA) + "/golden/render_" + std::to_string(depth) + ".bmp";
        if (update) {
            ASSERT_TRUE(saveBmp(shown, path));
        }
        DrawSurface golden;
        ASSERT_TRUE(loadBmpFile(golden, path)) << path;
        ASSERT_EQ(golden.depth(), 24);
        ASSERT_EQ(golden.width(), kPlayW);
        ASSERT_EQ(golden.height(), kPlayH);
        int differ = 0;
        for (int y = 0; y < kPlayH; ++y)
            differ += std::memcmp(shown.row(y), golden.row(y), size_t(kPlayW) * 3) != 0;
        EXPECT_EQ(differ, 0) << "rows that differ from " << path;
    }
}
