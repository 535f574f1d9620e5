// Piece rendering: the run-based drawPiece against the per-pixel reference,
// clipping by rotation, shaded outline colours at every depth, and the list,
// assembled and puzzle-outline walks.
#include "display/piece_renderer.h"
#include "display/reduced_pieces.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "common/random.h"
#include "surface/display_modes.h"
#include "puzzle/cutter.h"
#include "render_reference.h"

namespace pavalo {
namespace {

using namespace pavalo::test;

constexpr int32_t kDepths[] = {8, 16, kDepth16555, 24, 32};

// A small real cut: pieces with knobs, their outlines, scattered on a play area.
PuzzleModel cutSmallPuzzle(int32_t picW, int32_t picH, int32_t cols, int32_t rows, int32_t playW,
                           int32_t playH, uint32_t seed, bool rotate) {
    Random rng(seed);
    PuzzleModel model;
    std::vector<int32_t> order;
    std::string error;
    CutRequest request{picW, picH, cols, rows, playW, playH, rotate};
    EXPECT_TRUE(runCutSequence(request, rng, model, order, error)) << error;
    return model;
}

// A w x h piece that is fully opaque, its outline the one-pixel border.
Piece solidPiece(int32_t w, int32_t h) {
    Piece p;
    p.width = w;
    p.height = h;
    p.mask = encodePieceMask(w, h, [](int, int) { return true; });
    p.outline = encodePieceMask(
        w, h, [&](int x, int y) { return x == 0 || y == 0 || x == w - 1 || y == h - 1; });
    return p;
}

int countEqual(const DrawSurface& s, uint32_t value) {
    int n = 0;
    for (int32_t y = 0; y < s.height(); ++y)
        for (int32_t x = 0; x < s.width(); ++x) n += getPixel(s, x, y) == value;
    return n;
}

// Random pieces at random places (clipped on every side, sometimes wholly
// outside), rotations, modes and depths, with and without a clip rectangle,
// drawn from the masks or from the cached draw lists: the run-based drawing
// must match the per-pixel rule exactly.
TEST(DrawPiece, MatchesPerPixelReference) {
    std::mt19937 rng(7);
    for (int32_t depth : kDepths) {
        DrawSurface picture, background;
        makeRandomSurface(picture, 300, 200, depth, 11);
        makeRandomSurface(background, 97, 71, depth, 12);
        for (int iter = 0; iter < 200; ++iter) {
            Piece p = randomPiece(rng, iter % 5 == 0 ? 260 : 40, iter % 7 == 0 ? 150 : 40);
            // Home mostly inside the picture, sometimes hanging off it.
            p.homeX = int32_t(rng() % 320) - 20;
            p.homeY = int32_t(rng() % 220) - 20;
            const int rotation = int(rng() % 4);
            const auto mode = PieceDrawMode(1 + rng() % 3);
            // Shaded outlines need the cache; the other modes are drawn from
            // its lists every other time and from the masks otherwise.
            if (mode == PieceDrawMode::ShadedOutline || iter % 2 == 1) {
                PuzzleModel m;
                m.createFromPieces({p}, 1, 1);
                buildOutlineShades(m, &picture);
                p.renderCache = m.piece(0).renderCache;
                if (iter % 9 == 0 && !p.renderCache.empty())
                    p.renderCache.resize(p.renderCache.size() / 2);
            }
            DrawSurface got, want;
            for (DrawSurface* t : {&got, &want}) {
                t->createLike(background);
                std::memcpy(t->pixels(), background.pixels(), size_t(background.pitch()) * 71);
            }
            const int32_t span = std::max(p.width, p.height);
            const int32_t x = int32_t(rng() % uint32_t(97 + 2 * span)) - span;
            const int32_t y = int32_t(rng() % uint32_t(71 + 2 * span)) - span;
            const uint32_t colour = rng();
            Rect clipRect{int32_t(rng() % 50) - 5, int32_t(rng() % 40) - 5, 0, 0};
            clipRect.right = clipRect.left + int32_t(rng() % 80);
            clipRect.bottom = clipRect.top + int32_t(rng() % 60);
            const Rect* clip = iter % 3 == 0 ? &clipRect : nullptr;
            const bool usePicture = iter % 4 != 0;
            DrawSurface* pic = usePicture ? &picture : nullptr;
            bool drewGot = drawPiece(got, pic, p, x, y, rotation, mode, colour, clip);
            bool drewWant = referenceDrawPiece(want, pic, p, x, y, rotation, mode, colour, clip);
            ASSERT_EQ(drewGot, drewWant) << "depth " << depth << " iter " << iter;
            ASSERT_EQ(allPixels(got), allPixels(want))
                << "depth " << depth << " iter " << iter << " rot " << rotation << " mode "
                << int(mode) << " at " << x << "," << y << " size " << p.width << "x" << p.height;
        }
    }
}

TEST(DrawPiece, ClippingByRotation) {
    // Box overhanging the left edge by its full width minus one: one column.
    Piece p = solidPiece(9, 5);
    DrawSurface s;
    s.create(20, 20, 24);
    EXPECT_TRUE(drawPiece(s, nullptr, p, -8, 3, 0, PieceDrawMode::Piece, 0xABCDEF));
    EXPECT_EQ(countEqual(s, 0xABCDEF), 5);
    for (int y = 3; y < 8; ++y) EXPECT_EQ(getPixel(s, 0, y), 0xABCDEFu);
    // By its full width: nothing, and the call says so.
    s.rectFill(0);
    EXPECT_FALSE(drawPiece(s, nullptr, p, -9, 3, 0, PieceDrawMode::Piece, 0xABCDEF));
    EXPECT_EQ(countEqual(s, 0xABCDEF), 0);

    // Rotation 1 over the top edge loses mask columns: a 10 x 6 piece drawn
    // 6 wide and 10 high, 3 rows above the top, keeps 6 x 7 pixels (losing
    // mask rows instead would keep 10 x 3 fewer).
    Piece q = solidPiece(10, 6);
    s.rectFill(0);
    EXPECT_TRUE(drawPiece(s, nullptr, q, 2, -3, 1, PieceDrawMode::Piece, 0x123456));
    EXPECT_EQ(countEqual(s, 0x123456), 6 * 7);
    // Which mask pixels survive: mask (c, r) is at (2 + 5 - r, -3 + c), so the
    // pixel at (7, 0) is mask (3, 0) and at (2, 6) is mask (9, 5).
    Piece marked = q;
    marked.mask = encodePieceMask(10, 6, [](int c, int r) { return !(c == 3 && r == 0); });
    s.rectFill(0);
    drawPiece(s, nullptr, marked, 2, -3, 1, PieceDrawMode::Piece, 0x123456);
    EXPECT_EQ(getPixel(s, 7, 0), 0u);
    EXPECT_EQ(getPixel(s, 2, 6), 0x123456u);

    // Every rotation overhanging every side draws what the rule places inside.
    for (int rotation = 0; rotation < 4; ++rotation) {
        for (auto [x, y] : {std::pair{-4, 5}, {15, 5}, {5, -4}, {5, 15}, {-4, -4}, {15, 15}}) {
            DrawSurface a, b;
            a.create(20, 20, 16);
            b.create(20, 20, 16);
            Piece r = solidPiece(9, 7);
            r.mask = encodePieceMask(9, 7, [](int c, int rr) { return (c * 3 + rr) % 4 != 0; });
            drawPiece(a, nullptr, r, x, y, rotation, PieceDrawMode::Piece, 0x7777);
            referenceDrawPiece(b, nullptr, r, x, y, rotation, PieceDrawMode::Piece, 0x7777);
            EXPECT_EQ(allPixels(a), allPixels(b)) << rotation << " at " << x << "," << y;
        }
    }
}

// Shaded outlines with clipped top rows draw the same colours as the
// unclipped piece: the cache is skipped past every opaque pixel of the hidden
// rows, long runs (128 and more) included, and past clipped run parts.
TEST(DrawPiece, ShadedOutlineClippedMatchesUnclipped) {
    Piece p = solidPiece(300, 12);  // top and bottom outline rows are 300-pixel runs
    const int64_t n = countOpaquePixels(p.outline);
    p.renderCache.resize(size_t(n) * 3);
    for (size_t i = 0; i < p.renderCache.size(); ++i) p.renderCache[i] = uint8_t(i * 7 + 1);
    for (int rotation = 0; rotation < 4; ++rotation) {
        const bool odd = rotation & 1;
        const int32_t dw = odd ? 12 : 300, dh = odd ? 300 : 12;
        DrawSurface whole, cut;
        whole.create(dw + 40, dh + 40, 24);
        cut.create(dw + 40, dh + 40, 24);
        drawPiece(whole, nullptr, p, 20, 20, rotation, PieceDrawMode::ShadedOutline, 0);
        // The same piece moved up and left so that 5 rows and 3 columns of its
        // drawn box are cut off.
        drawPiece(cut, nullptr, p, -3, -5, rotation, PieceDrawMode::ShadedOutline, 0);
        for (int32_t y = 0; y < dh - 5; ++y)
            for (int32_t x = 0; x < dw - 3; ++x)
                ASSERT_EQ(getPixel(cut, x, y), getPixel(whole, x + 23, y + 25))
                    << "rotation " << rotation << " at " << x << "," << y;
    }
}

TEST(DrawPiece, PictureAndCacheBoundsAreRespected) {
    DrawSurface picture;
    makeRandomSurface(picture, 30, 20, 24, 3);
    Piece p = solidPiece(16, 12);
    // Home box reaching past the picture's right and bottom edges: only the
    // part on the picture is drawn.
    p.homeX = 22;
    p.homeY = 15;
    DrawSurface s;
    s.create(40, 40, 24);
    s.rectFill(0x010101);
    EXPECT_TRUE(drawPiece(s, &picture, p, 0, 0, 0, PieceDrawMode::Piece, 0));
    for (int32_t y = 0; y < 12; ++y)
        for (int32_t x = 0; x < 16; ++x) {
            const bool onPicture = x < 8 && y < 5;
            EXPECT_EQ(getPixel(s, x, y), onPicture ? getPixel(picture, 22 + x, 15 + y) : 0x010101u);
        }
    // Home wholly off the picture: nothing drawn, no read.
    p.homeX = -100;
    s.rectFill(0x010101);
    drawPiece(s, &picture, p, 0, 0, 2, PieceDrawMode::Piece, 0);
    EXPECT_EQ(countEqual(s, 0x010101), 40 * 40);
    // A picture of another depth is not read: the piece is drawn solid.
    DrawSurface picture16;
    makeRandomSurface(picture16, 30, 20, 16, 3);
    p.homeX = 0;
    drawPiece(s, &picture16, p, 0, 0, 0, PieceDrawMode::Piece, 0x445566);
    EXPECT_EQ(countEqual(s, 0x445566), 16 * 12);
    // A cache shorter than the outline (stale, from another depth) is drawn
    // as far as it goes.
    p.renderCache.assign(10 * 3, 0x20);
    s.rectFill(0);
    drawPiece(s, nullptr, p, 0, 0, 0, PieceDrawMode::ShadedOutline, 0);
    EXPECT_EQ(countEqual(s, 0x202020), 10);
}

// Golden darkened values at each depth; pixels off the picture are 0 before
// darkening.
TEST(OutlineShades, DarkenedByDepth) {
    Piece p = solidPiece(4, 1);  // outline = the whole row of 4 pixels
    p.homeX = 0;
    // The colours: the first 4 pixels of the cache.
    auto shades = [&](DrawSurface& picture) {
        PuzzleModel m;
        m.createFromPieces({p}, 1, 1);
        EXPECT_EQ(buildOutlineShades(m, &picture), picture.depth());
        std::vector<uint8_t> c = m.piece(0).renderCache;
        c.resize(4 * size_t(picture.depth() / 8));
        return c;
    };
    DrawSurface pic24;
    pic24.create(4, 1, 24);
    setPixel(pic24, 0, 0, 0xFFFFFF);
    setPixel(pic24, 1, 0, 0x804001);
    setPixel(pic24, 2, 0, 0x030405);
    setPixel(pic24, 3, 0, 0x000000);
    EXPECT_EQ(shades(pic24), (std::vector<uint8_t>{0xC0, 0xC0, 0xC0, 0x01, 0x30, 0x60, 0x04, 0x03,
                                                   0x03, 0, 0, 0}));

    {
        setDisplayModes(defaultDisplayModes(1920, 1080));  // 16 bits is 5-6-5 there
        DrawSurface pic565;
        pic565.create(4, 1, 16);
        ASSERT_FALSE(pic565.is555());
        setPixel(pic565, 0, 0, 0xFFFF);
        setPixel(pic565, 1, 0, 0xF800);
        setPixel(pic565, 2, 0, 0x0821);
        setPixel(pic565, 3, 0, 0x0001);
        EXPECT_EQ(shades(pic565),
                  (std::vector<uint8_t>{0xEF, 0x7B, 0x00, 0x78, 0x00, 0x00, 0x00, 0x00}));
    }
    DrawSurface pic555;
    pic555.create(4, 1, kDepth16555);
    setPixel(pic555, 0, 0, 0xFFFF);
    setPixel(pic555, 1, 0, 0xFC00);
    setPixel(pic555, 2, 0, 0x8421);
    setPixel(pic555, 3, 0, 0x8000);
    EXPECT_EQ(shades(pic555),
              (std::vector<uint8_t>{0xEF, 0xBD, 0x00, 0xBC, 0x00, 0x80, 0x00, 0x80}));

    // 8 bits: through the palette, darkened by a quarter, nearest entry.
    DrawSurface pic8;
    pic8.create(4, 1, 8);
    pic8.setDefaultPalette();
    setPixel(pic8, 0, 0, 255);  // (252,252,252) -> (189,189,189): nearest (192,192,192)
    setPixel(pic8, 1, 0, 249);
    setPixel(pic8, 2, 0, 0);  // black stays black
    setPixel(pic8, 3, 0, 240);
    std::vector<uint8_t> c8 = shades(pic8);
    const std::array<uint8_t, 256> table = darkeningTable(defaultPalette());
    EXPECT_EQ(c8, (std::vector<uint8_t>{table[255], table[249], table[0], table[240]}));
    EXPECT_EQ(table[255], 7);
    EXPECT_EQ(table[0], 0);
    for (int i = 0; i < 256; ++i) {
        const PaletteEntry& e = defaultPalette()[size_t(i)];
        EXPECT_EQ(table[size_t(i)],
                  nearestPaletteIndex(defaultPalette(), e.red - e.red / 4, e.green - e.green / 4,
                                      e.blue - e.blue / 4));
    }

    // Pixels of the outline off the picture are black (0) before darkening.
    p.homeX = 2;
    EXPECT_EQ(shades(pic24), (std::vector<uint8_t>{0x04, 0x03, 0x03, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    // A cache whose point and run lists name pixels outside the piece's box
    // (another piece's cache) never draws outside the box.
    {
        Piece q = solidPiece(4, 3);
        q.renderCache = {1, 2, 3, 4, 5, 6};  // two 24-bit colours
        q.renderCache.insert(q.renderCache.end(),
                             {0, 0, 0, 0, 0x20, 0, 0x20, 0});  // points (0,0), (32,32)
        // Row runs (1, 1) length 30, (40, 2) length 1, (0, 9) length 2; the
        // same numbers as column runs.
        for (int twice = 0; twice < 2; ++twice)
            q.renderCache.insert(q.renderCache.end(),
                                 {1, 0, 1, 0, 30, 0, 40, 0, 2, 0, 1, 0, 0, 0, 9, 0, 2, 0});
        q.renderCache.insert(q.renderCache.end(), {2, 0, 0, 0, 3, 0, 0, 0, 3, 0, 0, 0, 0x44, 0x57,
                                                   0x4C, 0x33});
        for (int rotation = 0; rotation < 4; ++rotation) {
            DrawSurface t;
            t.create(50, 50, 24);
            drawPiece(t, nullptr, q, 5, 5, rotation, PieceDrawMode::ShadedOutline, 0);
            EXPECT_EQ(countEqual(t, 0), 50 * 50 - 1) << rotation;
            EXPECT_EQ(countEqual(t, 0x030201), 1) << rotation;
            t.rectFill(0);
            drawPiece(t, nullptr, q, 5, 5, rotation, PieceDrawMode::Piece, 0x0000FF);
            // Only the first run, cut to the box: columns 1..3 of row 1, or
            // rows 1..2 of column 1.
            EXPECT_EQ(countEqual(t, 0x0000FF), rotation & 1 ? 2 : 3) << rotation;
        }
        DrawSurface t;
        t.create(50, 50, 24);
        drawPiece(t, nullptr, q, 5, 5, 0, PieceDrawMode::Piece, 0x0000FF);
        EXPECT_EQ(getPixel(t, 6, 6), 0x0000FFu);
        EXPECT_EQ(getPixel(t, 8, 6), 0x0000FFu);
    }
    // Without a picture the caches are freed.
    PuzzleModel m;
    p.renderCache.assign(6, 1);
    m.createFromPieces({p}, 1, 1);
    EXPECT_EQ(buildOutlineShades(m, nullptr), 0);
    EXPECT_TRUE(m.piece(0).renderCache.empty());
}

// Holder slots set by the test.
class TestHolders final : public HolderTable {
public:
    std::vector<int> slots = std::vector<int>(64, kNoHolder);
    int holderOf(int32_t piece) const override { return slots[size_t(piece)]; }
    void setHolder(int32_t piece, int slot) override { slots[size_t(piece)] = slot; }
};

// Four solid 10 x 10 pieces side by side on a 24-bit play area, their home
// the top-left of a random picture, with shaded outlines built.
struct ListScene {
    DrawSurface picture, target;
    PuzzleModel model;
    PieceRenderer renderer;
    TestHolders holders;

    ListScene() {
        makeRandomSurface(picture, 40, 10, 24, 5);
        std::vector<Piece> pieces;
        for (int i = 0; i < 4; ++i) {
            Piece p = solidPiece(10, 10);
            p.homeX = 10 * i;
            p.x = 20 * i;
            p.y = 5;
            pieces.push_back(p);
        }
        model.createFromPieces(pieces, 1, 4);
        model.geometry() = {100, 30, 40, 10, 0, 0, 7};
        model.setHolderTable(&holders);
        target.create(100, 30, 24);
        renderer.state.pieceColour = 0xFFFFFF;
        renderer.state.othersColour = 0xFF0000;
        renderer.buildOutlineShades(model, &picture);
    }
    void draw(ListId list = ListId::Main) {
        target.rectFill(0);
        Rect r{0, 0, 100, 30};
        renderer.drawAllOutlinesAndPieces(model, list, r, target, &picture);
    }
    // Top-left border pixel of piece i: what its outline left there.
    uint32_t corner(int i) const { return getPixel(target, 20 * i, 5); }
    uint32_t pictureCorner(int i) const { return getPixel(picture, 10 * i, 0); }
    uint32_t shadedCorner(int i) const {
        const std::vector<uint8_t>& c = model.piece(i).renderCache;
        return uint32_t(c[0]) | uint32_t(c[1]) << 8 | uint32_t(c[2]) << 16;
    }
};

TEST(DrawAllOutlinesAndPieces, OutlineRules) {
    ListScene s;
    s.model.setGroupSelected(ListId::Main, 0, true);
    s.renderer.state.outlinesShown = false;
    s.draw();
    EXPECT_EQ(s.corner(0), 0xFFFFFFu);  // selected: coloured outline even with outlines hidden
    EXPECT_EQ(s.corner(1), s.pictureCorner(1));
    EXPECT_EQ(getPixel(s.target, 25, 10), getPixel(s.picture, 15, 5));  // interior: the picture

    s.renderer.state.outlinesShown = true;
    s.draw();
    EXPECT_EQ(s.corner(0), 0xFFFFFFu);
    EXPECT_EQ(s.corner(1), s.shadedCorner(1));
    EXPECT_NE(s.shadedCorner(1), s.pictureCorner(1));

    s.renderer.state.viewMode = kViewFinished;  // finished: no shaded outlines
    s.draw();
    EXPECT_EQ(s.corner(0), 0xFFFFFFu);
    EXPECT_EQ(s.corner(1), s.pictureCorner(1));
    s.renderer.state.viewMode = kViewPiecesShown;

    // Network game: another player's piece gets the others' colour, the local
    // player's own hold and nobody's the shaded outline.
    s.holders.slots[2] = 3;
    s.holders.slots[3] = 0;
    s.renderer.state.localPlayer = 0;
    s.draw();
    EXPECT_EQ(s.corner(2), s.shadedCorner(2));  // not a network game yet
    s.renderer.state.multiplayer = true;
    s.draw();
    EXPECT_EQ(s.corner(2), 0xFF0000u);
    EXPECT_EQ(s.corner(3), s.shadedCorner(3));
    s.holders.slots[0] = 3;  // selected wins over held
    s.draw();
    EXPECT_EQ(s.corner(0), 0xFFFFFFu);
    // The Finished list has no holder test.
    s.model.movePieceToList(ListId::Finished, ListId::Main, 2);
    s.model.piece(2).x = 40;
    s.draw();
    EXPECT_EQ(s.corner(2), s.shadedCorner(2));

    // Shades built at another depth than the target's are not drawn.
    DrawSurface other;
    makeRandomSurface(other, 40, 10, 16, 1);
    s.renderer.buildOutlineShades(s.model, &other);
    s.draw();
    EXPECT_EQ(s.corner(1), s.pictureCorner(1));
}

TEST(DrawAllOutlinesAndPieces, OrderClipAndGrowth) {
    ListScene s;
    s.renderer.state.outlinesShown = false;
    // Pieces 0 and 1 overlap; 0 is nearer the head, so it is drawn last.
    s.model.piece(1).x = 5;
    s.draw();
    EXPECT_EQ(getPixel(s.target, 7, 10), getPixel(s.picture, 7, 5));
    s.model.bringGroupToFront(ListId::Main, 1);
    s.draw();
    EXPECT_EQ(getPixel(s.target, 7, 10), getPixel(s.picture, 12, 5));

    // Members of one group: first to last, the last covers.
    s.model.mergeGroups(ListId::Main,
                        s.model.groupNode(s.model.findGroupOfPiece(ListId::Main, 1)).groupNumber,
                        s.model.groupNode(s.model.findGroupOfPiece(ListId::Main, 3)).groupNumber);
    s.model.piece(3).x = 0;
    s.model.piece(3).y = 5;
    s.draw();
    EXPECT_EQ(getPixel(s.target, 7, 10), getPixel(s.picture, 37, 5));

    // The Finished list lies beneath the Main list; viewMode bit 2 hides Main.
    ListScene f;
    f.renderer.state.outlinesShown = false;
    f.model.movePieceToList(ListId::Finished, ListId::Main, 0);
    f.model.piece(1).x = 5;
    f.draw();
    EXPECT_EQ(getPixel(f.target, 7, 10), getPixel(f.picture, 12, 5));
    f.renderer.state.viewMode = kViewPiecesShown | kViewPlayAreaHidden;
    f.draw();
    EXPECT_EQ(getPixel(f.target, 7, 10), getPixel(f.picture, 7, 5));
    EXPECT_EQ(getPixel(f.target, 45, 10), 0u);  // Main's piece 2 not drawn
    // A sorting-box list is drawn alone.
    f.model.movePieceToList(ListId::Box1, ListId::Main, 3);
    f.target.rectFill(0);
    Rect all{0, 0, 100, 30};
    f.renderer.drawAllOutlinesAndPieces(f.model, ListId::Box1, all, f.target, &f.picture);
    EXPECT_EQ(getPixel(f.target, 65, 10), getPixel(f.picture, 35, 5));
    EXPECT_EQ(getPixel(f.target, 7, 10), 0u);

    // Only pieces meeting the rectangle are drawn, only inside it, and the
    // rectangle grows by their boxes.
    ListScene c;
    c.renderer.state.outlinesShown = false;
    c.target.rectFill(0x0A0A0A);
    Rect r{25, 8, 27, 9};  // inside piece 1 (x 20..29, y 5..14)
    c.renderer.drawAllOutlinesAndPieces(c.model, ListId::Main, r, c.target, &c.picture);
    EXPECT_EQ(r, (Rect{20, 5, 30, 15}));
    EXPECT_EQ(countEqual(c.target, 0x0A0A0A), 100 * 30 - 2);
    Rect none{90, 0, 100, 5};
    c.renderer.drawAllOutlinesAndPieces(c.model, ListId::Main, none, c.target, &c.picture);
    EXPECT_EQ(none, (Rect{90, 0, 100, 5}));
}

// The assembled picture tiles the picture exactly: no gaps, no seams, and
// nothing drawn outside the picture's rectangle or the given rectangle.
TEST(DrawAssembled, CoversThePictureExactly) {
    for (int32_t depth : {8, 16, 24}) {
        PuzzleModel m = cutSmallPuzzle(160, 120, 4, 3, 320, 240, 9, true);
        DrawSurface picture, target;
        makeRandomSurface(picture, 160, 120, depth, 21);
        target.create(320, 240, depth);
        const uint32_t bg = depth == 8 ? 3 : 0x0A0B0C & ((1u << depth) - 1);
        target.rectFill(bg);
        PieceRenderer r;
        m.geometry().offsetX = 7;
        const int32_t x0 = 160 - 80 + 7, y0 = 120 - 60;
        r.drawAssembled(m, {0, 0, 320, 240}, target, &picture, 7, 0);
        for (int32_t y = 0; y < 240; ++y)
            for (int32_t x = 0; x < 320; ++x) {
                const bool in = x >= x0 && x < x0 + 160 && y >= y0 && y < y0 + 120;
                ASSERT_EQ(getPixel(target, x, y), in ? getPixel(picture, x - x0, y - y0) : bg)
                    << depth << " at " << x << "," << y;
            }
        // A partial rectangle: only its inside changes.
        target.rectFill(bg);
        const Rect part{x0 + 30, y0 + 20, x0 + 31, y0 + 90};
        r.drawAssembled(m, part, target, &picture, 7, 0);
        int changed = 0;
        for (int32_t y = 0; y < 240; ++y)
            for (int32_t x = 0; x < 320; ++x) changed += getPixel(target, x, y) != bg;
        EXPECT_LE(changed, 70);
        EXPECT_EQ(getPixel(target, x0 + 30, y0 + 50), getPixel(picture, 30, 50));
    }
}

// A solved position of exactly -1 is a position like any other.
TEST(DrawAssembled, PositionMinusOneIsDrawnThere) {
    PuzzleModel m = cutSmallPuzzle(160, 120, 4, 3, 320, 240, 4, false);
    DrawSurface picture, got, want;
    makeRandomSurface(picture, 160, 120, 24, 2);
    got.create(320, 240, 24);
    want.create(320, 240, 24);
    // Piece 0's home is (0, 0): with offset -(160 - 80) - 1 its place is x = -1.
    const int32_t dx = -(160 - 80) - 1, dy = -(120 - 60) - 1;
    PieceRenderer r;
    r.state.puzzleOutlineColour = 0x00FF00;
    r.drawAssembled(m, {0, 0, 320, 240}, got, &picture, dx, dy);
    r.drawPuzzleOutline(m, {0, 0, 320, 240}, got, dx, dy);
    for (int32_t i = 0; i < m.pieceCount(); ++i) {
        const Piece& p = m.piece(i);
        referenceDrawPiece(want, &picture, p, p.homeX - 1, p.homeY - 1, 0, PieceDrawMode::Piece, 0);
    }
    for (int32_t i = 0; i < m.pieceCount(); ++i) {
        const Piece& p = m.piece(i);
        referenceDrawPiece(want, nullptr, p, p.homeX - 1, p.homeY - 1, 0,
                           PieceDrawMode::SolidOutline, 0x00FF00);
    }
    EXPECT_EQ(allPixels(got), allPixels(want));
    // The pieces' own positions are untouched.
    PuzzleModel again = cutSmallPuzzle(160, 120, 4, 3, 320, 240, 4, false);
    for (int32_t i = 0; i < m.pieceCount(); ++i) EXPECT_EQ(m.piece(i).box(), again.piece(i).box());
}

TEST(PieceMeetsRect, OwnBoxAndList) {
    ListScene s;
    s.model.setPieceRotation(1, 1);  // still 10 x 10
    EXPECT_TRUE(pieceMeetsRect(s.model, ListId::Main, {29, 14, 31, 16}, 1));
    EXPECT_FALSE(
        pieceMeetsRect(s.model, ListId::Main, {30, 5, 40, 15}, 1));  // right edge exclusive
    EXPECT_FALSE(pieceMeetsRect(s.model, ListId::Finished, {20, 5, 30, 15}, 1));
    EXPECT_TRUE(pieceMeetsRect(s.model, ListId::None, {20, 5, 30, 15}, 1));
    EXPECT_FALSE(pieceMeetsRect(s.model, ListId::Main, {0, 0, 100, 30}, 99));
}

}  // namespace
}  // namespace pavalo

namespace pavalo {
namespace {

// Zoomed out, the reduced pieces of a solved puzzle show the reduced picture
// whole: every cell drawn once, by the piece that owns its sample point, so
// joined pieces meet without gaps; a turned group keeps its cells together.
TEST(ReducedPieces, MasksCoverTheReducedPictureOnceAndDrawItWhole) {
    PuzzleModel model = cutSmallPuzzle(203, 151, 8, 6, 640, 480, 11, false);
    DrawSurface picture;
    ASSERT_TRUE(picture.create(203, 151, 32));
    for (int32_t y = 0; y < 151; ++y)
        for (int32_t x = 0; x < 203; ++x) {
            const uint32_t v = uint32_t(x * 7 + y * 1000 + 1);
            std::memcpy(picture.row(y) + 4 * x, &v, 4);
        }
    for (int32_t factor : {2, 3, 8}) {
        ReducedPuzzle reduced;
        ASSERT_TRUE(buildReducedPuzzle(model, &picture, factor, reduced));
        const int32_t rw = (203 + factor - 1) / factor, rh = (151 + factor - 1) / factor;
        ASSERT_EQ(reduced.picture.width(), rw);
        std::vector<int> covered(size_t(rw * rh), 0);
        for (const Piece& p : reduced.pieces) {
            if (p.width <= 0) continue;
            forEachMaskRun(p.mask, [&](int32_t c, int32_t r, int32_t n, bool opaque) {
                if (!opaque) return;
                for (int32_t k = 0; k < n; ++k) ++covered[size_t((p.homeY + r) * rw + p.homeX + c + k)];
            });
        }
        EXPECT_EQ(std::count(covered.begin(), covered.end(), 1), rw * rh) << "factor " << factor;
        // Each outline: the shape's cells with a side on a cell outside it.
        for (const Piece& p : reduced.pieces) {
            if (p.width <= 0) continue;
            const std::vector<uint8_t> shape = decodePieceMask(p.mask, p.width, p.height, 1);
            const std::vector<uint8_t> outline = decodePieceMask(p.outline, p.width, p.height, 1);
            auto in = [&](int32_t c, int32_t r) {
                return c >= 0 && r >= 0 && c < p.width && r < p.height && shape[size_t(r * p.width + c)];
            };
            int wrongOutline = 0;
            for (int32_t r = 0; r < p.height; ++r)
                for (int32_t c = 0; c < p.width; ++c)
                    wrongOutline += outline[size_t(r * p.width + c)] !=
                                    (in(c, r) && !(in(c - 1, r) && in(c + 1, r) && in(c, r - 1) && in(c, r + 1)));
            ASSERT_EQ(wrongOutline, 0) << "factor " << factor;
        }

        // Every piece solved: the assembled picture at (playW / 2 - 101,
        // playH / 2 - 75); the window's origin there shows cell (0, 0) at (0, 0).
        PuzzleModel solved = cutSmallPuzzle(203, 151, 8, 6, 640, 480, 11, false);
        for (int32_t i = 0; i < solved.pieceCount(); ++i) solved.solvePiece(ListId::Main, i, 0, 0);
        DrawSurface target;
        ASSERT_TRUE(target.create(rw, rh, 32));
        target.rectFill(0);
        PieceRenderer renderer;
        renderer.state.outlinesShown = false;
        const Rect clip{0, 0, rw, rh};
        renderer.drawReducedList(solved, reduced, ListId::Main, clip, target, {320 - 101, 240 - 75}, false);
        int wrong = 0;
        for (int32_t y = 0; y < rh; ++y)
            wrong += std::memcmp(target.row(y), reduced.picture.row(y), size_t(rw) * 4) != 0;
        EXPECT_EQ(wrong, 0) << "factor " << factor;
    }
}

// The reduced picture keeps the colours: a cell's average, partial cells at
// the edges included; at 8 bits the cell's middle pixel.
TEST(ReducedPieces, ReducedPictureAveragesEachCell) {
    PuzzleModel model = cutSmallPuzzle(50, 31, 4, 3, 640, 480, 5, false);
    for (int32_t depth : {16, 24, 32}) {
        DrawSurface picture;
        ASSERT_TRUE(picture.create(50, 31, depth));
        const uint32_t dark = picture.nativeColour(makeColour(40, 80, 120));
        const uint32_t light = picture.nativeColour(makeColour(200, 160, 120));
        Rect left{0, 0, 25, 31}, right{25, 0, 50, 31};
        picture.rectFill(dark, &left);
        picture.rectFill(light, &right);
        ReducedPuzzle reduced;
        ASSERT_TRUE(buildReducedPuzzle(model, &picture, 5, reduced));
        const int bpp = depth / 8;
        auto pixel = [&](int32_t x, int32_t y) {
            uint32_t v = 0;
            std::memcpy(&v, reduced.picture.row(y) + x * bpp, size_t(bpp));
            return v;
        };
        EXPECT_EQ(pixel(0, 0), dark) << depth;
        EXPECT_EQ(pixel(9, 6), light) << depth;  // the bottom row's cells are one pixel high
        EXPECT_EQ(pixel(4, 0), dark) << depth;
        EXPECT_EQ(pixel(5, 3), light) << depth;
    }
    // x1/2 of a noisy picture with an odd width and height: every cell, the
    // last column's and row's halves included, is its pixels' rounded mean.
    for (int32_t depth : {24, 32}) {
        DrawSurface picture;
        makeRandomSurface(picture, 51, 31, depth, 4);
        PuzzleModel small = cutSmallPuzzle(51, 31, 2, 2, 640, 480, 5, false);
        ReducedPuzzle reduced;
        ASSERT_TRUE(buildReducedPuzzle(small, &picture, 2, reduced));
        int wrong = 0;
        for (int32_t Y = 0; Y < 16; ++Y)
            for (int32_t X = 0; X < 26; ++X)
                for (int j = 0; j < 3; ++j) {
                    uint32_t sum = 0, n = 0;
                    for (int32_t y = 2 * Y; y < std::min(2 * Y + 2, 31); ++y)
                        for (int32_t x = 2 * X; x < std::min(2 * X + 2, 51); ++x, ++n)
                            sum += (getPixel(picture, x, y) >> (8 * j)) & 0xFF;
                    wrong += ((getPixel(reduced.picture, X, Y) >> (8 * j)) & 0xFF) != (sum + n / 2) / n;
                }
        EXPECT_EQ(wrong, 0) << depth;
    }
}

// Zoomed out at x1/2 and x1/3 the shaded outline is the reduced picture
// darkened under each piece's reduced outline, at every depth and rotation,
// for pieces wholly inside the clip and cut by it; nothing outside the clip
// changes. The outline pixels are found as the pixels whose colour follows
// the selection colour when every piece is selected.
TEST(ReducedPieces, ShadedOutlinesAreThePictureDarkenedUnderTheOutline) {
    PuzzleModel model = cutSmallPuzzle(203, 151, 8, 6, 640, 480, 11, false);
    std::mt19937 rng(3);
    for (int32_t i = 0; i < model.pieceCount(); ++i) {
        model.moveGroup(ListId::None, i, int32_t(rng() % 500) - 60, int32_t(rng() % 380) - 60);
        model.setGroupRotation(ListId::Main, i, i % 4);
    }
    const Rect clip{13, 9, 171, 117};  // of a 190 x 130 window
    for (int32_t depth : kDepths) {
        DrawSurface picture;
        makeRandomSurface(picture, 203, 151, depth, 21);
        const bool is555 = picture.is555();
        const std::array<uint8_t, 256> table = depth == 8 ? darkeningTable(defaultPalette()) : std::array<uint8_t, 256>{};
        auto darkened = [&](uint32_t v) -> uint32_t {
            switch (picture.depth()) {
                case 8: return table[v];
                case 16: return is555 ? (((v >> 1) & 0x3DEF) | 0x8000) : ((v >> 1) & 0x7BEF);
                default: {
                    uint32_t out = v & 0xFF000000u;
                    for (int j = 0; j < 24; j += 8) {
                        const uint32_t b = (v >> j) & 0xFF;
                        out |= (b - (b >> 2)) << j;
                    }
                    return out;
                }
            }
        };
        for (int32_t factor : {2, 3}) {
            SCOPED_TRACE(::testing::Message() << "depth " << depth << " factor " << factor);
            ReducedPuzzle reduced;
            ASSERT_TRUE(buildReducedPuzzle(model, &picture, factor, reduced));
            ASSERT_TRUE(reduced.pieces.front().renderCache.empty());
            PieceRenderer renderer;
            auto render = [&](bool outlines, bool allSelected, uint32_t selectionColour) {
                for (int32_t i = 0; i < model.pieceCount(); ++i)
                    model.setGroupSelected(ListId::Main, i, allSelected);
                renderer.state.outlinesShown = outlines;
                renderer.state.pieceColour = selectionColour;
                DrawSurface target;
                EXPECT_TRUE(target.createLike(picture, 190, 130));
                target.rectFill(1);
                renderer.drawReducedList(model, reduced, ListId::Main, clip, target, {-40, -30}, true);
                return allPixels(target);
            };
            const std::vector<uint32_t> plain = render(false, false, 0);
            const std::vector<uint32_t> shaded = render(true, false, 0);
            const std::vector<uint32_t> markA = render(true, true, 2), markB = render(true, true, 3);
            int outline = 0, wrong = 0;
            for (size_t k = 0; k < plain.size(); ++k) {
                const bool onOutline = markA[k] != markB[k];
                outline += onOutline;
                wrong += shaded[k] != (onOutline ? darkened(plain[k]) : plain[k]);
            }
            EXPECT_GT(outline, 500);
            EXPECT_EQ(wrong, 0);
            EXPECT_NE(plain, std::vector<uint32_t>(plain.size(), 1u));
        }
    }
}

// A piece's reduced place follows its full-size place at every rotation:
// the cell grid of two pieces turned and moved as one group stays shared.
TEST(ReducedPieces, PlacesOfATurnedGroupShareOneCellGrid) {
    PuzzleModel model = cutSmallPuzzle(200, 150, 4, 3, 640, 480, 5, false);
    ReducedPuzzle reduced;
    ASSERT_TRUE(buildReducedPuzzle(model, nullptr, 4, reduced));
    // Pieces 0 and 1 side by side in the picture, turned a quarter: piece 1
    // lies below piece 0, by its home offset turned.
    const Piece& a = model.piece(0);
    const Piece& b = model.piece(1);
    const int32_t dx = b.homeX - a.homeX;  // becomes a downward offset at rotation 1
    for (int32_t ax : {101, 102, 103, 104}) {
        const int32_t ay = 57;
        // Rotation 1 maps home column c to row y + c and row r to x + h - 1 - r.
        const int32_t bx = ax + (a.height - 1) - (b.height - 1) - (b.homeY - a.homeY);
        const int32_t by = ay + dx;
        const Point pa = reducedPlaceAt(a, reduced.pieces[0], 4, {0, 0}, ax, ay, 1);
        const Point pb = reducedPlaceAt(b, reduced.pieces[1], 4, {0, 0}, bx, by, 1);
        // Piece 1's first reduced column lands on piece 0's rows after the
        // cells of piece 0 that lie before it.
        EXPECT_EQ(pb.y - pa.y, reduced.pieces[1].homeX - reduced.pieces[0].homeX) << ax;
        EXPECT_EQ((pa.x + reduced.pieces[0].height) - (pb.x + reduced.pieces[1].height),
                  reduced.pieces[1].homeY - reduced.pieces[0].homeY)
            << ax;
    }
}

}  // namespace
}  // namespace pavalo
