// The compositor: clip-box conversion, composition against a plain reading
// of the drawing rules at each depth, partial updates and what is presented,
// buffer rebuilding, the state flags, the tile and the finished movie.
#include "display/compositor.h"

#include <gtest/gtest.h>

#include <string>

#include "common/random.h"
#include "surface/display_modes.h"
#include "puzzle/cutter.h"
#include "render_reference.h"

namespace pavalo {
namespace {

using namespace pavalo::test;

TEST(CompositorCoordinates, ClipBoxWideningAndConversion) {
    EXPECT_EQ(widenClipBox({5, 5, 10, 10}, 2), (Rect{4, 4, 12, 12}));
    EXPECT_EQ(widenClipBox({5, 5, 10, 10}, 0), (Rect{5, 5, 10, 10}));
    EXPECT_EQ(widenClipBox({8, 16, 24, 32}, 3), (Rect{8, 16, 24, 32}));
    EXPECT_EQ(widenClipBox({-3, -9, 1, 17}, 3), (Rect{-8, -16, 8, 24}));
    EXPECT_EQ(windowToPlay({4, 4, 12, 12}, 100, 50, 2), (Rect{101, 51, 103, 53}));
    EXPECT_EQ(playToWindow({101, 51, 103, 53}, 100, 50, 2), (Rect{4, 4, 12, 12}));
    EXPECT_EQ(windowToPlay({0, 0, 640, 480}, -7, 3, 0), (Rect{-7, 3, 633, 483}));
    EXPECT_EQ(tilePicturePath("/data"), "/data/gfx/tile.bmp");
    EXPECT_EQ(tilePicturePath("/data/"), "/data/gfx/tile.bmp");
}

// The whole play area as the rules read: background, the picture's frame,
// the puzzle outline, then the Finished and the Main list from tail to head
// with each piece's outline rule, every piece drawn pixel by pixel.
void referenceCompose(DrawSurface& out, const PuzzleModel& m, DrawSurface* picture,
                      const RendererState& st) {
    out.rectFill(st.backgroundColour);
    const PuzzleGeometry& g = m.geometry();
    const int32_t fx = g.playWidth / 2 - g.pictureWidth / 2 + g.offsetX;
    const int32_t fy = g.playHeight / 2 - g.pictureHeight / 2 + g.offsetY;
    if (picture)
        out.drawFrame(fx, fy, fx + g.pictureWidth - 1, fy + g.pictureHeight - 1,
                      st.puzzleOutlineColour);
    if (st.viewMode & kViewAssembled) {
        for (int32_t i = 0; i < m.pieceCount(); ++i) {
            const Piece& p = m.piece(i);
            referenceDrawPiece(out, picture, p, fx + p.homeX, fy + p.homeY, 0, PieceDrawMode::Piece,
                               st.pieceColour);
        }
        return;
    }
    if (st.puzzleOutlineShown && picture) {
        for (int32_t i = 0; i < m.pieceCount(); ++i) {
            const Piece& p = m.piece(i);
            referenceDrawPiece(out, nullptr, p, fx + p.homeX, fy + p.homeY, 0,
                               PieceDrawMode::SolidOutline, st.puzzleOutlineColour);
        }
    }
    for (ListId list : {ListId::Finished, ListId::Main}) {
        for (int32_t g2 = m.list(list).tail; g2 != kNone; g2 = m.groupNode(g2).prev) {
            for (int32_t i = m.groupNode(g2).firstMember; i != kNone; i = m.member(i).next) {
                const Piece& p = m.piece(i);
                referenceDrawPiece(out, picture, p, p.x, p.y, p.rotation, PieceDrawMode::Piece,
                                   st.pieceColour);
                const int holder = m.holders().holderOf(i);
                if (m.member(i).selected)
                    referenceDrawPiece(out, nullptr, p, p.x, p.y, p.rotation,
                                       PieceDrawMode::SolidOutline, st.pieceColour);
                else if (list == ListId::Main && st.multiplayer && holder != kNoHolder &&
                         holder != st.localPlayer)
                    referenceDrawPiece(out, nullptr, p, p.x, p.y, p.rotation,
                                       PieceDrawMode::SolidOutline, st.othersColour);
                else if (st.outlinesShown && st.viewMode != kViewFinished)
                    referenceDrawPiece(out, nullptr, p, p.x, p.y, p.rotation,
                                       PieceDrawMode::ShadedOutline, 0);
            }
        }
    }
}

class OneHolder final : public HolderTable {
public:
    int32_t piece = -1;
    int slot = kNoHolder;
    int holderOf(int32_t p) const override { return p == piece ? slot : kNoHolder; }
    void setHolder(int32_t p, int s) override { piece = p, slot = s; }
};

// A 320 x 240 display, a 160 x 120 picture cut into 6 x 4 pieces scattered
// around it, some of them pulled into view, some solved, some selected.
struct Scene {
    DisplaySurface display;
    DrawSurface picture;
    PuzzleModel model;
    SettingsRecord settings;
    OneHolder holder;
    Compositor compositor{display};

    explicit Scene(int32_t depth, bool withPicture = true) {
        setDisplayModes(defaultDisplayModes(1920, 1080));
        EXPECT_TRUE(display.createDisplay(nullptr, 320, 240, depth == 24 ? 8 : 24, false, false));
        Random rng(77);
        std::vector<int32_t> order;
        std::string error;
        EXPECT_TRUE(runCutSequence({160, 120, 6, 4, 320, 240, true}, rng, model, order, error))
            << error;
        // Pull half the pieces onto the play area, overlapping each other and
        // hanging over its edges.
        for (int32_t i = 0; i < model.pieceCount(); i += 2)
            model.moveGroup(ListId::Main, i, int32_t(rng.below(360)) - 30,
                            int32_t(rng.below(280)) - 30);
        model.setGroupSelected(ListId::Main, 4, true);
        model.solvePiece(ListId::Main, 7, 0, 0);
        model.solvePiece(ListId::Main, 8, 0, 0);
        holder.setHolder(6, 5);
        model.setHolderTable(&holder);
        if (withPicture) {
            makeRandomSurface(picture, 160, 120, depth, 5);
            compositor.setScene({&model, &picture, &settings});
        } else {
            compositor.setScene({&model, nullptr, &settings});
        }
        RendererState& st = compositor.state();
        st.options.background = makeColour(10, 40, 90);
        st.options.puzzleOutline = makeColour(200, 200, 0);
        st.puzzleOutlineShown = true;
        st.multiplayer = true;
        st.localPlayer = 0;
    }
    ~Scene() { model.setHolderTable(nullptr); }

    Presentation update(Rect clip, int32_t zoom = 0, int32_t sx = 0, int32_t sy = 0,
                        std::optional<Rect> selection = std::nullopt) {
        ViewRequest r;
        r.clipBox = clip;
        r.zoomShift = zoom;
        r.scrollX = sx;
        r.scrollY = sy;
        r.selection = selection;
        return compositor.updateView(r);
    }
};

TEST(Compositor, FullCompositionMatchesTheRulesAtEachDepth) {
    for (int32_t depth : {8, 16, 24}) {
        Scene s(depth);
        Presentation p = s.update({0, 0, 320, 240});
        const DrawSurface& bb = s.compositor.backBuffer();
        ASSERT_EQ(bb.depth(), depth);
        ASSERT_EQ(s.display.depth(), depth);  // the display followed the picture
        EXPECT_EQ(s.compositor.state().shadesDepth, depth);
        EXPECT_TRUE(p.present);
        EXPECT_EQ(p.source, (Rect{0, 0, 320, 240}));
        EXPECT_EQ(p.dest, p.source);
        EXPECT_EQ(bb.updateRect, p.source);

        DrawSurface want;
        want.createLike(bb);
        referenceCompose(want, s.model, &s.picture, s.compositor.state());
        EXPECT_EQ(allPixels(bb), allPixels(want)) << depth;

        // Assembled view: the picture whole in its place.
        s.compositor.state().viewMode = kViewPiecesShown | kViewAssembled;
        s.update({0, 0, 320, 240});
        referenceCompose(want, s.model, &s.picture, s.compositor.state());
        EXPECT_EQ(allPixels(bb), allPixels(want)) << depth;
        EXPECT_EQ(getPixel(bb, 80 + 10, 60 + 10), getPixel(s.picture, 10, 10));
    }
}

// A small update at zoom x4 recomposes only its widened rectangle and
// presents exactly that part, magnified, where the window shows it.
TEST(Compositor, PartialUpdateAtZoom) {
    Scene s(24);
    s.update({0, 0, 320, 240});
    DrawSurface& bb = s.compositor.backBuffer();
    const std::vector<uint32_t> before = allPixels(bb);
    // Move a piece so that the full reference differs from the old buffer.
    const int32_t moved = s.model.groupNode(s.model.list(ListId::Main).head).firstMember;
    s.model.moveGroup(ListId::Main, moved, 100, 80);

    Presentation p = s.update({5, 5, 43, 30}, 2, 90, 75);
    const Rect play{90 + 1, 75 + 1, 90 + 11, 75 + 8};  // (4,4)-(44,32) >> 2, plus scroll
    EXPECT_TRUE(p.present);
    EXPECT_EQ(p.zoomShift, 2);
    EXPECT_EQ(p.source, play);
    EXPECT_EQ(p.dest, (Rect{4, 4, 44, 32}));
    EXPECT_EQ(bb.updateRect, play);

    DrawSurface want;
    want.createLike(bb);
    referenceCompose(want, s.model, &s.picture, s.compositor.state());
    for (int32_t y = 0; y < 240; ++y)
        for (int32_t x = 0; x < 320; ++x) {
            const uint32_t expected =
                play.contains(x, y) ? getPixel(want, x, y) : before[size_t(y) * 320 + size_t(x)];
            ASSERT_EQ(getPixel(bb, x, y), expected) << x << "," << y;
        }

    // A window reaching past the play area presents only the part that exists,
    // unstretched.
    p = s.update({0, 0, 64, 64}, 1, 300, 220);
    EXPECT_EQ(p.source, (Rect{300, 220, 320, 240}));
    EXPECT_EQ(p.dest, (Rect{0, 0, 40, 40}));
    // An empty clip box does nothing.
    EXPECT_FALSE(s.update({10, 10, 10, 20}).present);
}

TEST(Compositor, SelectionRectangleAndFrameStayInsideTheUpdate) {
    Scene s(24);
    s.compositor.state().options.selectionRect = makeColour(0, 255, 0);
    s.compositor.state().viewMode = kViewPiecesShown | kViewAssembled;
    s.update({0, 0, 320, 240});
    DrawSurface& bb = s.compositor.backBuffer();
    const uint32_t green = 0x00FF00, bg = bb.nativeColour(makeColour(10, 40, 90));
    // Corners in any order; right and bottom exclusive.
    s.update({0, 0, 60, 60}, 0, 0, 0, Rect{50, 40, 10, 20});
    EXPECT_EQ(getPixel(bb, 10, 20), green);
    EXPECT_EQ(getPixel(bb, 49, 39), green);
    EXPECT_EQ(getPixel(bb, 49, 30), green);
    EXPECT_EQ(getPixel(bb, 50, 30), bg);
    EXPECT_EQ(getPixel(bb, 30, 30), bg);
    // A selection reaching outside the update draws only inside it.
    s.update({0, 0, 30, 30}, 0, 0, 0, Rect{5, 5, 200, 200});
    EXPECT_EQ(getPixel(bb, 5, 29), green);
    EXPECT_EQ(getPixel(bb, 5, 31), bg);  // from the previous update, untouched
    EXPECT_EQ(getPixel(bb, 150, 5), bg);
    EXPECT_NE(getPixel(bb, 199, 100), green);

    // The puzzle frame's right and bottom edges are the picture's last column
    // and row; the frame is drawn beneath the pieces and only inside the update.
    s.compositor.state().viewMode = kViewPiecesShown | kViewPlayAreaHidden;
    Presentation p = s.update({0, 0, 240, 120});
    ASSERT_TRUE(p.present);
    const uint32_t frame = bb.nativeColour(makeColour(200, 200, 0));
    EXPECT_EQ(getPixel(bb, 80 + 159, 60 + 30), frame);
    EXPECT_EQ(getPixel(bb, 80 + 160, 60 + 30), bg);
    EXPECT_EQ(getPixel(bb, 80, 60 + 30), frame);
    EXPECT_NE(getPixel(bb, 80 + 30, 60 + 119), frame);  // below the update
}

TEST(Compositor, RebuildFollowsThePicture) {
    // An 8-bit picture on a 24-bit display: the display becomes 8-bit with the
    // picture's palette, the back buffer shares it, red is the nearest index.
    Scene s(8);
    ASSERT_EQ(s.display.depth(), 24);
    PaletteTable pal = defaultPalette();
    pal[200] = {250, 5, 5, 0};
    pal[249] = {0, 0, 0, 0};
    s.picture.setPaletteEntries(pal, false);
    s.update({0, 0, 10, 10});
    EXPECT_EQ(s.display.depth(), 8);
    PaletteTable got;
    ASSERT_TRUE(s.compositor.backBuffer().getPaletteEntries(got));
    EXPECT_EQ(got[200].red, 250);
    EXPECT_EQ(s.compositor.state().othersColour, 200u);
    EXPECT_EQ(s.compositor.state().pieceColour, 0xFFFFFFFFu);  // all ones stays all ones
    EXPECT_FALSE(s.compositor.state().rebuildBuffers);

    // Native colours per depth.
    Scene t(16);
    t.compositor.state().options.background = makeColour(255, 0, 0);
    t.update({0, 0, 10, 10});
    EXPECT_EQ(t.compositor.state().othersColour, 0xF800u);
    EXPECT_EQ(t.compositor.state().backgroundColour, 0xF800u);

    // Without a picture while playing: like the display; pieces solid.
    Scene u(24, false);
    u.update({0, 0, 320, 240});
    EXPECT_EQ(u.compositor.backBuffer().depth(), 8);
    EXPECT_EQ(u.compositor.backBuffer().width(), 320);
}

TEST(Compositor, StateFlags) {
    Scene s(24);
    int reacquired = 0;
    s.compositor.setAfterReacquire([&] { ++reacquired; });
    s.update({0, 0, 320, 240});
    DrawSurface& bb = s.compositor.backBuffer();
    setPixel(bb, 3, 3, 0x123456);

    RendererState& st = s.compositor.state();
    st.updating = true;  // an update already running
    EXPECT_FALSE(s.update({0, 0, 320, 240}).present);
    st.updating = false;

    ViewRequest minimised;
    minimised.clipBox = {0, 0, 320, 240};
    minimised.minimised = true;
    EXPECT_FALSE(s.compositor.updateView(minimised).present);
    EXPECT_FALSE(st.updating);  // a skipped update does not block the next ones

    st.frozen = true;  // the back buffer is shown as it is
    Presentation p = s.update({0, 0, 50, 50}, 2);
    EXPECT_TRUE(p.present);
    EXPECT_EQ(p.source, (Rect{0, 0, 320, 240}));
    EXPECT_EQ(p.zoomShift, 0);
    EXPECT_EQ(getPixel(bb, 3, 3), 0x123456u);
    st.frozen = false;

    st.reacquire = true;
    s.update({0, 0, 10, 10});
    EXPECT_EQ(reacquired, 1);
    EXPECT_FALSE(st.reacquire);
    EXPECT_FALSE(st.updating);
}

TEST(Compositor, TileCoversTheBackBuffer) {
    Scene s(24, false);
    s.compositor.state().displayState = DisplayState::Tile;
    std::string askedPath;
    int loads = 0;
    s.compositor.setDataFolder("/some/data");
    s.compositor.setTileLoader([&](DrawSurface& tile, const std::string& path) {
        askedPath = path;
        ++loads;
        tile.create(7, 5, 8);
        PaletteTable pal{};
        for (int i = 0; i < 256; ++i)
            pal[size_t(i)] = {uint8_t(i), uint8_t(255 - i), uint8_t(i / 2), 0};
        tile.setPaletteEntries(pal, false);
        for (int32_t y = 0; y < 5; ++y)
            for (int32_t x = 0; x < 7; ++x) setPixel(tile, x, y, uint32_t(x * 5 + y));
        return true;
    });
    Presentation p = s.update({0, 0, 10, 10});
    EXPECT_EQ(askedPath, "/some/data/gfx/tile.bmp");
    const DrawSurface& bb = s.compositor.backBuffer();
    // The display is switched to 8 bits; a display below 800 x 600 gets an
    // 800 x 600 back buffer.
    EXPECT_EQ(s.display.depth(), 8);
    ASSERT_EQ(bb.width(), 800);
    ASSERT_EQ(bb.height(), 600);
    EXPECT_TRUE(p.present);
    EXPECT_EQ(p.source, (Rect{0, 0, 800, 600}));
    for (int32_t y = 0; y < 600; ++y)
        for (int32_t x = 0; x < 800; ++x)
            ASSERT_EQ(getPixel(bb, x, y), uint32_t((x % 7) * 5 + y % 5));
    EXPECT_EQ(getPixel(bb, 799, 599), uint32_t((799 % 7) * 5 + 599 % 5));
    PaletteTable pal;
    ASSERT_TRUE(bb.getPaletteEntries(pal));
    EXPECT_EQ(pal[10].green, 245);
    ASSERT_TRUE(s.display.getPaletteEntries(pal));
    EXPECT_EQ(pal[10].green, 245);
    s.update({0, 0, 10, 10});
    EXPECT_EQ(loads, 1);  // loaded once, not at every update

    // A missing tile leaves the back buffer as it was.
    Scene m(24, false);
    m.compositor.state().displayState = DisplayState::Tile;
    m.compositor.setTileLoader([](DrawSurface&, const std::string&) { return false; });
    m.update({0, 0, 10, 10});
    setPixel(m.compositor.backBuffer(), 1, 1, 77);
    p = m.update({0, 0, 10, 10});
    EXPECT_TRUE(p.present);
    EXPECT_EQ(getPixel(m.compositor.backBuffer(), 1, 1), 77u);
}

TEST(Compositor, FinishedMovieAndStartupHook) {
    Scene s(24);
    s.settings.pictureKind = kPictureMovie;
    s.compositor.state().viewMode = kViewFinished;
    Presentation p = s.update({0, 0, 320, 240}, 2, 50, 50);
    const DrawSurface& bb = s.compositor.backBuffer();
    // Centred on the screen, unmagnified, on the background.
    EXPECT_EQ(p.zoomShift, 0);
    EXPECT_EQ(p.source, (Rect{0, 0, 320, 240}));
    EXPECT_EQ(getPixel(bb, 80, 60), getPixel(s.picture, 0, 0));
    EXPECT_EQ(getPixel(bb, 239, 179), getPixel(s.picture, 159, 119));
    EXPECT_EQ(getPixel(bb, 79, 60), bb.nativeColour(makeColour(10, 40, 90)));
    // A still picture finishes like any puzzle.
    s.settings.pictureKind = kPictureBmp;
    p = s.update({0, 0, 8, 8}, 2, 50, 50);
    EXPECT_EQ(p.zoomShift, 2);

    Scene t(24, false);
    t.compositor.state().displayState = DisplayState::StartupAnimation;
    EXPECT_FALSE(t.update({0, 0, 10, 10}).present);  // no animation player yet
    int frames = 0;
    t.compositor.setStartupFrame([&](DrawSurface& bbuf, DisplaySurface&) -> std::optional<Rect> {
        ++frames;
        EXPECT_EQ(bbuf.depth(), 8);
        return Rect{10, 10, 110, 60};
    });
    p = t.update({0, 0, 10, 10});
    EXPECT_EQ(frames, 1);
    EXPECT_EQ(p.source, (Rect{10, 10, 110, 60}));
    EXPECT_EQ(p.dest, p.source);
}

}  // namespace
}  // namespace pavalo
