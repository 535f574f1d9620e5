// The side windows' composition: a sorting box against the box window's
// former drawing at every zoom, depth, band and clip; the overview's marks,
// frames and colours; the preview's scaling.
#include "display/side_window_composer.h"

#include <gtest/gtest.h>

#include <string>

#include "common/named_mutex.h"
#include "common/random.h"
#include "puzzle/cutter.h"
#include "render_reference.h"
#include "surface/display_modes.h"

namespace pavalo {
namespace {

using namespace pavalo::test;

// What the box window showed for one rectangle of its paint region.
struct ReferenceShown {
    bool present = false;
    Rect source, dest;
};

// The box window's drawing as it was done inside its paint handler, kept
// word for word (less the painter) as the reference for the composer:
// widen, convert with the canvas's origin, fill, draw the list, draw the
// band's edges inside the area, show the area magnified.
ReferenceShown referenceBoxPaint(Compositor& comp, const PuzzleModel& model, DrawSurface* picture, ListId list,
                                 Point o, int zoom, Rect clip, std::optional<Rect> band) {
    ReferenceShown shown;
    const RendererState& st = comp.state();
    DrawSurface& back = comp.backBuffer();
    if (!back.hasPixels() || st.displayState != DisplayState::Playing || !model.hasPuzzle()) return shown;
    const int z = std::clamp(zoom, 0, 3);
    Rect area = windowToPlay(widenClipBox(clip, z), o.x, o.y, z);
    {
        NamedLock lock(NamedMutex::PIECE);
        back.rectFill(st.backgroundColour, &area);
        if (area.empty()) return shown;
        uint8_t* target = back.lock();
        const uint8_t* source = picture ? picture->lock() : nullptr;
        if (target && (!picture || source)) {
            Rect drawn = area;
            comp.renderer.drawAllOutlinesAndPieces(model, list, drawn, back, picture);
        }
        back.unlock();
        if (picture) picture->unlock();
        if (band) {
            const Rect b = *band;
            const int32_t l = std::min(b.left, b.right), t = std::min(b.top, b.bottom);
            const int32_t rr = std::max(b.left, b.right) - 1, bb = std::max(b.top, b.bottom) - 1;
            auto h = [&](int32_t y) {
                if (y < area.top || y >= area.bottom) return;
                const int32_t a = std::max(l, area.left), e = std::min(rr, area.right - 1);
                if (a <= e) back.hLine(a, y, e - a + 1, st.selectionRectColour);
            };
            auto v = [&](int32_t x) {
                if (x < area.left || x >= area.right) return;
                const int32_t a = std::max(t, area.top), e = std::min(bb, area.bottom - 1);
                if (a <= e) back.vLine(x, a, e - a + 1, st.selectionRectColour);
            };
            h(t);
            h(bb);
            v(l);
            v(rr);
        }
    }
    shown.present = true;
    shown.source = area;
    shown.dest = playToWindow(area, o.x, o.y, z);
    return shown;
}

// A 320 x 240 display and a 160 x 120 picture cut into 6 x 4 pieces; ten of
// them in box 1 around (40, 30), overlapping, turned, two selected; others
// loose on the play area and two finished.
struct Scene {
    DisplaySurface display;
    DrawSurface picture;
    PuzzleModel model;
    SettingsRecord settings;
    Compositor compositor{display};

    explicit Scene(int32_t depth) {
        setDisplayModes(defaultDisplayModes(1920, 1080));
        EXPECT_TRUE(display.createDisplay(nullptr, 320, 240, depth, false, false));
        Random rng(91);
        std::vector<int32_t> order;
        std::string error;
        EXPECT_TRUE(runCutSequence({160, 120, 6, 4, 320, 240, true}, rng, model, order, error)) << error;
        for (int32_t i = 0; i < 10; ++i) {
            const int32_t piece = 2 * i + 1;
            model.movePieceToList(ListId::Box1, ListId::Main, piece);
            model.moveGroup(ListId::Box1, piece, 30 + int32_t(rng.below(120)), 20 + int32_t(rng.below(90)));
            if (i % 3 == 0) model.rotateGroup(ListId::Box1, piece, 1);
        }
        model.setGroupSelected(ListId::Box1, 3, true);
        model.setGroupSelected(ListId::Box1, 9, true);
        model.solvePiece(ListId::Main, 0, 0, 0);
        model.solvePiece(ListId::Main, 2, 0, 0);
        makeRandomSurface(picture, 160, 120, depth, 5);
        compositor.setScene({&model, &picture, &settings});
        RendererState& st = compositor.state();
        st.options.background = makeColour(10, 40, 90);
        st.options.selectionRect = makeColour(0, 255, 0);
        ViewRequest first;
        first.clipBox = {0, 0, 320, 240};
        compositor.updateView(first);  // the back buffer, native colours and outline shades
    }
};

TEST(SortingBoxComposition, SamePixelsAsTheBoxWindowDrew) {
    struct Case {
        Point origin;
        Rect clip;
    };
    // Clips cutting through pieces, a one-pixel sliver, unaligned edges at
    // every zoom, and a box hanging over the back buffer's right and bottom.
    const Case cases[] = {
        {{37, 21}, {0, 0, 240, 180}},
        {{37, 21}, {3, 5, 97, 61}},
        {{37, 21}, {41, 0, 42, 170}},
        {{25, 13}, {19, 33, 150, 77}},
        {{250, 190}, {0, 0, 300, 200}},
    };
    const std::optional<Rect> bands[] = {
        std::nullopt,
        Rect{45, 30, 130, 100},
        Rect{130, 100, 45, 30},  // dragged up and left
        Rect{60, 40, 60, 90},    // no wider than nothing yet
    };
    for (int32_t depth : {8, 16, 24}) {
        Scene s(depth);
        DrawSurface& bb = s.compositor.backBuffer();
        ASSERT_EQ(bb.depth(), depth);
        for (int zoom = 0; zoom <= 3; ++zoom)
            for (const Case& c : cases)
                for (const std::optional<Rect>& band : bands) {
                    const std::string where = "depth " + std::to_string(depth) + " zoom " + std::to_string(zoom) +
                                              " clip " + std::to_string(c.clip.left) + "," +
                                              std::to_string(c.clip.top) + " band " + (band ? "yes" : "no");
                    // Both start from the same unrelated pixels, so that a
                    // pixel either one leaves alone must be left by the other.
                    fillRandom(bb, 17);
                    const ReferenceShown expected =
                        referenceBoxPaint(s.compositor, s.model, &s.picture, ListId::Box1, c.origin, zoom, c.clip, band);
                    const std::vector<uint32_t> want = allPixels(bb);
                    fillRandom(bb, 17);
                    BoxRequest r;
                    r.list = ListId::Box1;
                    r.origin = c.origin;
                    r.zoomShift = zoom;
                    r.clipBox = c.clip;
                    r.band = band;
                    const Presentation got = composeSortingBox(s.compositor, s.model, &s.picture, r);
                    ASSERT_EQ(allPixels(bb), want) << where;
                    ASSERT_EQ(got.present, expected.present) << where;
                    ASSERT_EQ(got.source, expected.source) << where;
                    ASSERT_EQ(got.dest, expected.dest) << where;
                    ASSERT_EQ(got.zoomShift, zoom) << where;
                }
    }
}

TEST(SortingBoxComposition, ShowsTheBoxPiecesOnly) {
    Scene s(24);
    DrawSurface& bb = s.compositor.backBuffer();
    BoxRequest r;
    r.list = ListId::Box1;
    r.clipBox = {0, 0, 320, 240};
    const Presentation p = composeSortingBox(s.compositor, s.model, &s.picture, r);
    ASSERT_TRUE(p.present);
    // A loose piece of the Main list leaves only the background behind.
    const uint32_t bg = bb.nativeColour(makeColour(10, 40, 90));
    const Piece& loose = s.model.piece(4);
    ASSERT_EQ(s.model.listOfPiece(4), ListId::Main);
    for (int32_t y = std::max(loose.y, 0); y < std::min(loose.y + loose.drawnHeight(), 240); ++y)
        for (int32_t x = std::max(loose.x, 0); x < std::min(loose.x + loose.drawnWidth(), 320); ++x)
            if (s.model.findPieceAtPoint(ListId::Box1, x, y) == kNone) {
                ASSERT_EQ(getPixel(bb, x, y), bg) << x << "," << y;
            }

    // Nothing is composed outside play or without a puzzle.
    s.compositor.state().displayState = DisplayState::Tile;
    EXPECT_FALSE(composeSortingBox(s.compositor, s.model, &s.picture, r).present);
    s.compositor.state().displayState = DisplayState::Playing;
    PuzzleModel empty;
    EXPECT_FALSE(composeSortingBox(s.compositor, empty, &s.picture, r).present);
    // A box wholly past the back buffer shows nothing.
    r.origin = {400, 10};
    EXPECT_FALSE(composeSortingBox(s.compositor, s.model, &s.picture, r).present);
}

// ------------------------------------------------------------ overview

uint32_t rgbAt(const DrawSurface& s, int32_t x, int32_t y) { return getPixel(s, x, y) & 0xFFFFFF; }

constexpr uint32_t kAmber = 0xFFD200, kGrey = 0x808080, kBlue = 0x78A0DC;

TEST(OverviewComposition, MarksFramesAndColours) {
    Scene s(24);
    // A loose piece lying on a finished one: its mark covers the other's.
    const Piece& finished = s.model.piece(0);
    s.model.moveGroup(ListId::Main, 4, finished.x, finished.y);
    // 6 x 4 cells on a 185-pixel-wide client: 10-pixel cells, the picture's
    // 160 x 120 shown as 60 x 40 in the map's middle.
    DrawSurface out;
    ASSERT_TRUE(composeOverview(out, 185, 125, s.model, makeColour(10, 40, 90), 0));
    ASSERT_EQ(out.width(), 185);
    ASSERT_EQ(out.height(), 125);
    ASSERT_EQ(out.depth(), 24);
    const OverviewMap map = overviewMapFor(s.model, 185);
    ASSERT_EQ(map.cell(), 10);
    EXPECT_EQ(rgbAt(out, 184, 124), 0x0A285Au);  // the background as chosen

    // Marks: 9 x 9 at the cell OverviewMap gives, white on a dark background
    // for loose pieces (on top), blue for finished ones.
    std::vector<Point> mainMarks;
    s.model.forEachGroup(ListId::Main, [&](int32_t g) {
        s.model.forEachMember(g, [&](int32_t piece) { mainMarks.push_back(map.markOf(s.model, piece)); });
    });
    ASSERT_FALSE(mainMarks.empty());
    for (const Point& p : mainMarks) {
        EXPECT_EQ(rgbAt(out, p.x + 1, p.y + 1), 0xFFFFFFu);
        EXPECT_EQ(rgbAt(out, p.x + 8, p.y + 7), 0xFFFFFFu);
    }
    int finishedSeen = 0;
    for (int32_t piece : {0, 2}) {
        ASSERT_EQ(s.model.listOfPiece(piece), ListId::Finished);
        const Point p = map.markOf(s.model, piece);
        // Solved pieces are marked on the picture itself.
        EXPECT_GE(p.x, 60);
        EXPECT_LT(p.x, 120);
        if (std::find(mainMarks.begin(), mainMarks.end(), p) != mainMarks.end()) continue;
        EXPECT_EQ(rgbAt(out, p.x + 4, p.y + 4), kBlue);
        ++finishedSeen;
    }
    EXPECT_GT(finishedSeen, 0);
    const Point shared = map.markOf(s.model, 0);
    ASSERT_EQ(map.markOf(s.model, 4), shared);
    EXPECT_EQ(rgbAt(out, shared.x + 4, shared.y + 4), 0xFFFFFFu);
    // Box pieces are not marked: the gap between cells and empty cells keep
    // the background.
    EXPECT_EQ(rgbAt(out, 9, 9), 0x0A285Au);

    // The picture's frame (right and bottom edges on its last column and
    // row), seen in the gaps between marks.
    EXPECT_EQ(rgbAt(out, 69, 40), kGrey);
    EXPECT_EQ(rgbAt(out, 119, 49), kGrey);
    EXPECT_EQ(rgbAt(out, 120, 49), rgbAt(out, 121, 49));

    // The view's frame: the whole 320 x 240 play area at zoom 0 is the map's
    // (30, 20)-(150, 100); at zoom 2 its top-left quarter, (30, 20)-(60, 40).
    EXPECT_EQ(rgbAt(out, 30, 20), kAmber);
    EXPECT_EQ(rgbAt(out, 149, 99), kAmber);
    EXPECT_EQ(rgbAt(out, 149, 55), kAmber);
    EXPECT_NE(rgbAt(out, 150, 55), kAmber);
    ASSERT_TRUE(composeOverview(out, 185, 125, s.model, makeColour(10, 40, 90), 2));
    EXPECT_EQ(rgbAt(out, 30, 20), kAmber);
    EXPECT_EQ(rgbAt(out, 59, 39), kAmber);
    EXPECT_EQ(rgbAt(out, 59, 25), kAmber);
    EXPECT_NE(rgbAt(out, 149, 99), kAmber);
    EXPECT_NE(rgbAt(out, 60, 25), kAmber);
}

TEST(OverviewComposition, InkFollowsTheBackgroundsLightness) {
    EXPECT_EQ(OverviewPalette::forBackground(makeColour(0, 0, 0)).ink, 0xFFFFFFu);
    EXPECT_EQ(OverviewPalette::forBackground(0xFFFFFFFFu).ink, 0u);  // all ones is white
    EXPECT_EQ(OverviewPalette::forBackground(0xFFFFFFFFu).background, 0xFFFFFFu);
    // Lightness is (max + min) / 2, not brightness: a saturated yellow is
    // as light as a middle grey, a pale one is light.
    EXPECT_EQ(OverviewPalette::forBackground(makeColour(255, 255, 0)).ink, 0xFFFFFFu);
    EXPECT_EQ(OverviewPalette::forBackground(makeColour(255, 255, 128)).ink, 0u);
    EXPECT_EQ(OverviewPalette::forBackground(makeColour(128, 128, 128)).ink, 0xFFFFFFu);
    EXPECT_EQ(OverviewPalette::forBackground(makeColour(129, 128, 128)).ink, 0u);
    EXPECT_EQ(OverviewPalette::forBackground(makeColour(0, 0, 255)).ink, 0xFFFFFFu);

    Scene s(24);
    DrawSurface out;
    ASSERT_TRUE(composeOverview(out, 185, 125, s.model, makeColour(230, 230, 230), 0));
    const Point p = overviewMapFor(s.model, 185).markOf(s.model, 4);
    EXPECT_EQ(rgbAt(out, p.x + 1, p.y + 1), 0u);

    // Without a puzzle: the background alone; no size: nothing made.
    PuzzleModel empty;
    ASSERT_TRUE(composeOverview(out, 50, 40, empty, makeColour(230, 230, 230), 0));
    EXPECT_EQ(out.width(), 50);
    for (int32_t y = 0; y < 40; ++y)
        for (int32_t x = 0; x < 50; ++x) ASSERT_EQ(rgbAt(out, x, y), 0xE6E6E6u);
    EXPECT_FALSE(composeOverview(out, 0, 40, empty, 0, 0));
}

// ------------------------------------------------------------- preview

TEST(PreviewComposition, ScalesThePictureToTheClientArea) {
    // Grey rising by one per column: each output pixel of a quarter-size
    // preview averages a 4 x 4 block (4x .. 4x + 3, rounded up at a half).
    DrawSurface picture;
    picture.create(160, 120, 24);
    for (int32_t y = 0; y < 120; ++y)
        for (int32_t x = 0; x < 160; ++x) setPixel(picture, x, y, uint32_t(x) * 0x010101u);
    DrawSurface out;
    ASSERT_TRUE(composePreview(out, 40, 30, &picture));
    ASSERT_EQ(out.width(), 40);
    ASSERT_EQ(out.height(), 30);
    ASSERT_EQ(out.depth(), 24);
    for (int32_t x = 0; x < 40; ++x) ASSERT_EQ(rgbAt(out, x, 17), uint32_t(4 * x + 2) * 0x010101u) << x;

    // Another aspect: the whole picture is squeezed into the area, its last
    // column to the last output column.
    ASSERT_TRUE(composePreview(out, 80, 20, &picture));
    EXPECT_EQ(out.width(), 80);
    EXPECT_EQ(out.height(), 20);
    EXPECT_EQ(rgbAt(out, 0, 0), 0x010101u);     // average of 0 and 1, rounded up
    EXPECT_EQ(rgbAt(out, 79, 19), 0x9F9F9Fu);  // 158 and 159

    // Enlarging repeats pixels.
    DrawSurface tiny;
    tiny.create(2, 2, 24);
    setPixel(tiny, 0, 0, 0xFF0000);
    setPixel(tiny, 1, 0, 0x00FF00);
    setPixel(tiny, 0, 1, 0x0000FF);
    setPixel(tiny, 1, 1, 0xFFFFFF);
    ASSERT_TRUE(composePreview(out, 4, 4, &tiny));
    EXPECT_EQ(rgbAt(out, 1, 1), 0xFF0000u);
    EXPECT_EQ(rgbAt(out, 2, 1), 0x00FF00u);
    EXPECT_EQ(rgbAt(out, 1, 2), 0x0000FFu);
    EXPECT_EQ(rgbAt(out, 3, 3), 0xFFFFFFu);

    // No picture: black.
    ASSERT_TRUE(composePreview(out, 8, 6, nullptr));
    EXPECT_EQ(rgbAt(out, 7, 5), 0u);
}

TEST(PreviewComposition, ReadsEveryPictureDepth) {
    DrawSurface out;
    // 8 bits through the picture's palette.
    DrawSurface indexed;
    indexed.create(30, 20, 8);
    PaletteTable pal = defaultPalette();
    pal[200] = {250, 5, 7, 0};
    indexed.setPaletteEntries(pal, false);
    indexed.rectFill(200);
    ASSERT_TRUE(composePreview(out, 10, 10, &indexed));
    EXPECT_EQ(rgbAt(out, 5, 5), 0xFA0507u);
    // 16 bits in the display's layout: full channels read as 255.
    DrawSurface sixteen;
    sixteen.create(30, 20, 16);
    sixteen.rectFill(sixteen.nativeColour(makeColour(255, 0, 255)));
    ASSERT_TRUE(composePreview(out, 10, 10, &sixteen));
    EXPECT_EQ(rgbAt(out, 9, 9), 0xFF00FFu);
    // 32 bits.
    DrawSurface wide;
    wide.create(30, 20, 32);
    wide.rectFill(0x123456);
    ASSERT_TRUE(composePreview(out, 7, 3, &wide));
    EXPECT_EQ(rgbAt(out, 6, 2), 0x123456u);
}

}  // namespace
}  // namespace pavalo
