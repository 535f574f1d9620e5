// Tests of cutting: the fast template against a plain reading of the
// template rules, cell numbering, the cut into pieces, outlines, scatter,
// the order of random draws, and the piece-count rules.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "common/random.h"
#include "puzzle/cutter.h"
#include "puzzle/piece_count.h"
#include "puzzle/piece_mask.h"

using namespace pavalo;

namespace {

// Simple seam shapes of size s: a boundary near the middle with a round knob
// pointing right, its size varying with the index.
SeamShapeSet syntheticShapes(int s) {
    SeamShapeSet set;
    set.size = s;
    for (int k = 0; k < kSeamShapesPerSize; ++k) {
        Bitmap8 shape(s, s, 0);
        const int b = s / 2 - 1;
        const double radius = s * (0.15 + 0.1 * (k % 4) / 3.0);
        const double cy = s / 2.0 + (k % 3) - 1;
        for (int y = 0; y < s; ++y)
            for (int x = 0; x < s; ++x) {
                double dx = x + 0.5 - (b + 1 + radius * 0.6), dy = y + 0.5 - cy;
                bool knob = dx * dx + dy * dy < radius * radius;
                shape.at(x, y) = (x > b && !knob) ? 255 : 0;
            }
        set.shapes.push_back(shape);
    }
    return set;
}

// The template exactly as the rules read, touching every pixel below each
// horizontal seam.
Bitmap8 referenceTemplate(int W, int H, int cols, int rows, const SeamShapeSet& shapes, Random& rng) {
    const int S = shapes.size;
    Bitmap8 t(W, H, 0);
    uint8_t left = 1, right = uint8_t(rows + 1);
    for (int k = 0; k <= cols - 2; ++k) {
        Bitmap8 strip = buildVerticalSeamStrip(H, rows, shapes, rng);
        if (k & 1) {  // mirror left to right; colour 255 becomes the left side
            Bitmap8 m(S, H);
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < S; ++x) m.at(x, y) = strip.at(S - 1 - x, y);
            strip = m;
        }
        const uint8_t leftColour = (k & 1) ? 255 : 0;
        const int seamX = int((k + 1) * (double(W) / cols));
        const int x0 = seamX - S / 2;
        for (int y = 0; y < H; ++y) {
            if (k == 0)
                for (int x = 0; x < 2 * (W / cols) && x < W; ++x) t.at(x, y) = left;
            for (int i = 0; i < S; ++i) t.at(x0 + i, y) = strip.at(i, y) == leftColour ? left : right;
            for (int x = x0 + S; x < x0 + S + 2 * (W / cols) && x < W; ++x) t.at(x, y) = right;
        }
        left = uint8_t(left + rows);
        right = uint8_t(right + rows);
    }
    for (int k = 0; k <= rows - 2; ++k) {
        Bitmap8 v = buildVerticalSeamStrip(W, cols, shapes, rng);
        Bitmap8 h(W, S);  // quarter turn: (x, y) -> (y, S - 1 - x)
        for (int y = 0; y < W; ++y)
            for (int x = 0; x < S; ++x) h.at(y, S - 1 - x) = v.at(x, y);
        uint8_t lower = 0;
        if (k & 1) {
            Bitmap8 f(W, S);
            for (int y = 0; y < S; ++y)
                for (int x = 0; x < W; ++x) f.at(x, y) = h.at(x, S - 1 - y);
            h = f;
            lower = 255;
        }
        const int seamY = int((k + 1) * (double(H) / rows));
        const int y0 = seamY - S / 2;
        for (int x = 0; x < W; ++x) {
            for (int i = 0; i < S; ++i)
                if (h.at(x, i) == lower) t.at(x, y0 + i) = uint8_t(t.at(x, y0 + i) + 1);
            for (int y = y0 + S; y < H; ++y) t.at(x, y) = uint8_t(t.at(x, y) + 1);
        }
    }
    return t;
}

// The cell a pixel's number says it belongs to must be its own or a neighbour.
void expectOnlyNeighbourNumbers(const Bitmap8& t, int cols, int rows) {
    for (int y = 0; y < t.height; ++y)
        for (int x = 0; x < t.width; ++x) {
            int c = std::min(int(x / (double(t.width) / cols)), cols - 1);
            int r = std::min(int(y / (double(t.height) / rows)), rows - 1);
            bool ok = false;
            for (int dc = -1; dc <= 1 && !ok; ++dc)
                for (int dr = -1; dr <= 1 && !ok; ++dr) {
                    int cc = c + dc, rr = r + dr;
                    if (cc >= 0 && cc < cols && rr >= 0 && rr < rows)
                        ok = t.at(x, y) == uint8_t(1 + cc * rows + rr);
                }
            ASSERT_TRUE(ok) << "pixel " << x << "," << y << " holds " << int(t.at(x, y));
        }
}

}  // namespace

TEST(SeamTables, ShapeSizesAndTolerances) {
    EXPECT_EQ(seamShapeSizeForCell(15), 12);
    EXPECT_EQ(snapToleranceForCell(15), 7);
    EXPECT_EQ(seamShapeSizeForCell(300), 256);
    EXPECT_EQ(snapToleranceForCell(300), 50);
    EXPECT_EQ(seamShapeSizeForCell(5), 12);
    EXPECT_EQ(seamShapeSizeForCell(55), 48);
    EXPECT_EQ(seamShapeSizeForCell(56), 56);
    EXPECT_EQ(snapToleranceForCell(43), 7);
    EXPECT_EQ(snapToleranceForCell(44), 8);
    EXPECT_EQ(snapToleranceForCell(255), 44);
    EXPECT_EQ(seamResourceIdForSize(96), 169u);
    EXPECT_EQ(seamResourceIdForSize(97), 0u);
}

TEST(SeamStrip, RowsFollowTheBoundaryAndCopyTheShapes) {
    SeamShapeSet shapes = syntheticShapes(16);
    Random rng(3);
    Bitmap8 strip = buildVerticalSeamStrip(200, 4, shapes, rng);
    ASSERT_EQ(strip.width, 16);
    ASSERT_EQ(strip.height, 200);
    // Four segments: 4 draws for the first, 2 for each later one.
    Random count(3);
    for (int i = 0; i < 4 + 2 * 3; ++i) count.next();
    EXPECT_EQ(rng.state(), count.state());
    // Every row starts on the left side and ends on the right side.
    for (int y = 0; y < 200; ++y) {
        EXPECT_EQ(strip.at(0, y), 0) << y;
        EXPECT_EQ(strip.at(15, y), 255) << y;
    }
    // Consecutive rows never jump by more than the knob: the seam is connected.
    for (int y = 1; y < 200; ++y) {
        int a = 0, b = 0;
        while (a < 16 && strip.at(a, y - 1) == 0) ++a;
        while (b < 16 && strip.at(b, y) == 0) ++b;
        EXPECT_LE(std::abs(a - b), 8) << y;
    }
}

TEST(CutTemplate, FastTemplateEqualsThePlainReading) {
    struct Case { int W, H, cols, rows, S; uint32_t seed; };
    const Case cases[] = {
        {160, 120, 4, 3, 16, 1},  {203, 157, 5, 4, 20, 2}, {300, 90, 10, 3, 24, 3},
        {120, 300, 2, 9, 12, 4},  {97, 61, 1, 3, 16, 5},   {97, 61, 3, 1, 16, 6},
        {640, 480, 32, 24, 16, 7}, {400, 100, 40, 10, 12, 8},
    };
    for (const Case& c : cases) {
        SeamShapeSet shapes = syntheticShapes(c.S);
        Random a(c.seed), b(c.seed);
        CutTemplate fast = createTemplateWithShapes(c.W, c.H, c.cols, c.rows, shapes, a);
        Bitmap8 slow = referenceTemplate(c.W, c.H, c.cols, c.rows, shapes, b);
        ASSERT_EQ(fast.pixels.pixels, slow.pixels) << c.W << "x" << c.H << " grid " << c.cols << "x" << c.rows;
        EXPECT_EQ(a.state(), b.state());
    }
}

// Grids whose 8-bit numbers repeat within reach are numbered in 16 bits:
// the same seams and draws, the low byte the 8-bit number.
TEST(CutTemplate, SixteenBitNumbersKeepThePlainReadingInTheirLowByte) {
    EXPECT_TRUE(cellNumbersNeedSixteenBits(3, 128));
    EXPECT_TRUE(cellNumbersNeedSixteenBits(2, 256));
    EXPECT_FALSE(cellNumbersNeedSixteenBits(1, 256));  // one column: numbers run 0..255 down it
    EXPECT_FALSE(cellNumbersNeedSixteenBits(8, 6));
    SeamShapeSet shapes = syntheticShapes(12);
    for (const int rows : {128, 256}) {
        Random a(4), b(4);
        CutTemplate fast = createTemplateWithShapes(40, 3100, 3, rows, shapes, a);
        Bitmap8 slow = referenceTemplate(40, 3100, 3, rows, shapes, b);
        ASSERT_TRUE(fast.pixels.pixels.empty());
        ASSERT_EQ(fast.wide.pixels.size(), slow.pixels.size());
        for (size_t i = 0; i < slow.pixels.size(); ++i)
            ASSERT_EQ(uint8_t(fast.wide.pixels[i]), slow.pixels[i]) << rows << " rows, pixel " << i;
        EXPECT_EQ(a.state(), b.state());
        EXPECT_EQ(fast.wide.at(39, 3099), 1 + 2 * rows + rows - 1);  // the last cell's full number
    }
}

TEST(CutTemplate, CellsAreNumberedByColumnAndRow) {
    // Real shapes from the resources; numbers wrap past 255 with 40 x 10 cells.
    Random rng(11);
    auto t = createTemplate(1200, 300, 40, 10, rng);
    ASSERT_TRUE(t.has_value());
    EXPECT_EQ(t->shapeSize, 28);
    EXPECT_EQ(t->snapTolerance, 7);
    expectOnlyNeighbourNumbers(t->pixels, 40, 10);

    // One row: numbers are the column colours; one column: numbered by row,
    // colour 0 before the first horizontal seam is counted.
    auto row = createTemplate(300, 60, 5, 1, rng);
    ASSERT_TRUE(row.has_value());
    for (int c = 0; c < 5; ++c) EXPECT_EQ(row->pixels.at(c * 60 + 30, 30), 1 + c);
    auto column = createTemplate(60, 300, 1, 5, rng);
    ASSERT_TRUE(column.has_value());
    for (int r = 0; r < 5; ++r) EXPECT_EQ(column->pixels.at(30, r * 60 + 30), r);
}

TEST(CutPuzzle, PiecesPartitionThePicture) {
    const int W = 480, H = 360, cols = 8, rows = 6;
    Random rng(5);
    auto t = createTemplate(W, H, cols, rows, rng);
    ASSERT_TRUE(t.has_value());
    PuzzleModel m;
    m.geometry() = {1920, 1080, W, H, 0, 0, t->snapTolerance};
    cutPuzzle(t->pixels, cols, rows, rng, m);
    ASSERT_EQ(m.pieceCount(), cols * rows);
    ASSERT_TRUE(m.checkInvariants());
    std::vector<int> cover(size_t(W * H), 0);
    for (int i = 0; i < m.pieceCount(); ++i) {
        const Piece& p = m.piece(i);
        ASSERT_TRUE(pieceMaskIsValid(p.mask, p.width, p.height)) << i;
        ASSERT_TRUE(pieceMaskIsValid(p.outline, p.width, p.height)) << i;
        EXPECT_EQ(p.x, p.homeX);
        EXPECT_EQ(p.rotation, 0);
        // The box is tight: each edge row and column holds the shape.
        std::vector<uint8_t> px = decodePieceMask(p.mask, p.width, p.height, 1);
        auto any = [&](int x0, int y0, int dx, int dy, int n) {
            for (int k = 0; k < n; ++k)
                if (px[size_t((y0 + k * dy) * p.width + x0 + k * dx)]) return true;
            return false;
        };
        EXPECT_TRUE(any(0, 0, 1, 0, p.width) && any(0, p.height - 1, 1, 0, p.width) &&
                    any(0, 0, 0, 1, p.height) && any(p.width - 1, 0, 0, 1, p.height)) << i;
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x)
                if (px[size_t(y * p.width + x)]) ++cover[size_t((p.homeY + y) * W + p.homeX + x)];
    }
    for (int i = 0; i < W * H; ++i) ASSERT_EQ(cover[size_t(i)], 1) << "pixel " << i % W << "," << i / W;
}

// Cell numbers repeat every 256 in an 8-bit reading: with 128 or 254..258
// rows a cell two columns (or one column) away carries the same low byte
// within the cell-box search. For every grid the piece-count rules offer on
// wide and tall pictures, each piece must stay within its cell grown by the
// seam band's reach, and the pieces must cover the picture exactly once.
TEST(CutPuzzle, EveryOfferedGridCutsPiecesWithinTheirCells) {
    struct Picture { int W, H; };
    const Picture pictures[] = {{60, 1600}, {800, 50}, {40, 3100}};
    int grids = 0;
    for (const Picture& pic : pictures) {
        const PieceCountRules rules(pic.W, pic.H);
        for (int slider = rules.sliderMinimum(); slider <= rules.sliderMaximum(); ++slider) {
            const Grid g = rules.gridForSlider(slider);
            const int cols = g.columns, rows = g.rows;
            if (pic.W / cols < 1 || pic.H / rows < 1) continue;
            ++grids;
            Random rng{uint32_t(slider)};
            auto t = createTemplate(pic.W, pic.H, cols, rows, rng);
            ASSERT_TRUE(t.has_value());
            PuzzleModel m;
            cutPuzzle(*t, cols, rows, rng, m);
            const int S = t->shapeSize;
            const double fw = double(pic.W) / cols, fh = double(pic.H) / rows;
            std::vector<uint8_t> cover(size_t(pic.W) * size_t(pic.H), 0);
            for (int r = 0; r < rows; ++r)
                for (int c = 0; c < cols; ++c) {
                    const Piece& p = m.piece(r * cols + c);
                    const int left = c == 0 ? 0 : int(c * fw) - S / 2;
                    const int right = c == cols - 1 ? pic.W : int((c + 1) * fw) - S / 2 + S;
                    const int top = r == 0 ? 0 : int(r * fh) - S / 2;
                    const int bottom = r == rows - 1 ? pic.H : int((r + 1) * fh) - S / 2 + S;
                    ASSERT_TRUE(p.homeX >= left && p.homeX + p.width <= right && p.homeY >= top &&
                                p.homeY + p.height <= bottom)
                        << pic.W << "x" << pic.H << " grid " << cols << "x" << rows << " piece " << c
                        << "," << r << " box " << p.homeX << "," << p.homeY << " " << p.width << "x"
                        << p.height;
                    forEachMaskRun(p.mask, [&](int x, int y, int n, bool opaque) {
                        if (!opaque) return;
                        uint8_t* at = &cover[size_t(p.homeY + y) * size_t(pic.W) + size_t(p.homeX + x)];
                        for (int k = 0; k < n; ++k) ++at[k];
                    });
                }
            for (size_t i = 0; i < cover.size(); ++i)
                ASSERT_EQ(cover[i], 1) << pic.W << "x" << pic.H << " grid " << cols << "x" << rows
                                       << " pixel " << i % size_t(pic.W) << "," << i / size_t(pic.W);
        }
    }
    EXPECT_GT(grids, 300);
}

TEST(CutPuzzle, OutlinesAreTheBorderPixels) {
    Random rng(9);
    auto t = createTemplate(320, 240, 4, 3, rng);
    ASSERT_TRUE(t.has_value());
    PuzzleModel m;
    cutPuzzle(t->pixels, 4, 3, rng, m);
    for (int i = 0; i < m.pieceCount(); ++i) {
        const Piece& p = m.piece(i);
        std::vector<uint8_t> shape = decodePieceMask(p.mask, p.width, p.height, 1);
        std::vector<uint8_t> outline = decodePieceMask(p.outline, p.width, p.height, 1);
        auto at = [&](int x, int y) {
            return x >= 0 && y >= 0 && x < p.width && y < p.height && shape[size_t(y * p.width + x)];
        };
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x) {
                bool border = at(x, y) && (x == 0 || y == 0 || x == p.width - 1 || y == p.height - 1 ||
                                           !at(x - 1, y) || !at(x + 1, y) || !at(x, y - 1) || !at(x, y + 1));
                ASSERT_EQ(bool(outline[size_t(y * p.width + x)]), border) << i << " at " << x << "," << y;
            }
    }
}

TEST(PieceMask, EncodesLongRunsAndRowEnds) {
    auto solid = encodePieceMask(200, 1, [](int, int) { return true; });
    EXPECT_EQ(solid, (std::vector<uint8_t>{0x80, 200, 0, 0x00, 0, 0}));
    auto mixed = encodePieceMask(5, 2, [](int x, int y) { return y == 0 ? x < 2 : x >= 4; });
    EXPECT_EQ(mixed, (std::vector<uint8_t>{0x82, 0x03, 0x80, 0, 0, 0x04, 0x81, 0x00, 0, 0}));
    EXPECT_TRUE(pieceMaskIsValid(mixed, 5, 2));
    EXPECT_FALSE(pieceMaskIsValid(mixed, 6, 2));  // runs do not reach the width
    EXPECT_FALSE(pieceMaskIsValid(mixed, 5, 3));  // too few rows
    EXPECT_FALSE(pieceMaskIsValid(mixed, 5, 1));  // bytes left over
    std::vector<uint8_t> cut(mixed.begin(), mixed.end() - 1);
    EXPECT_FALSE(pieceMaskIsValid(cut, 5, 2));
    EXPECT_EQ(countOpaquePixels(mixed), 3);
    const uint8_t pixels[] = {7, 7, 1, 7};
    EXPECT_EQ(encodePieceMaskFromPixels(pixels, 4, 4, 1, 7),
              encodePieceMask(4, 1, [&](int x, int) { return pixels[x] == 7; }));
}

TEST(Scatter, PiecesLieAroundThePictureNeverOnIt) {
    CutRequest q{640, 480, 10, 8, 1920, 1080, true};
    Random rng(21);
    PuzzleModel m;
    std::vector<int32_t> order;
    std::string error;
    ASSERT_TRUE(runCutSequence(q, rng, m, order, error)) << error;
    const int cw = 64, ch = 60;
    std::set<int> rotations;
    for (int i = 0; i < m.pieceCount(); ++i) {
        int x = m.toPictureX(m.piece(i).x), y = m.toPictureY(m.piece(i).y);
        bool nearPicture = x + cw > -10 && x < 640 + 10 && y + ch > -10 && y < 480 + 10;
        EXPECT_FALSE(nearPicture) << "piece " << i << " at " << x << "," << y;
        EXPECT_GE(x, -640);
        EXPECT_LE(x + m.piece(i).drawnWidth(), 1280);
        rotations.insert(m.piece(i).rotation);
    }
    EXPECT_EQ(rotations.size(), 4u);
}

// The cut sequence draws in a fixed order: the piece order table (8 N), the
// template's strips, the 5000-swap shuffle, then per piece the scatter
// position (redrawn while too near the picture) and a rotation.
TEST(CutSequence, DrawsInTheGameOrder) {
    const int W = 400, H = 300, cols = 5, rows = 4, n = 20;
    CutRequest q{W, H, cols, rows, 1024, 768, false};
    Random rng(1234);
    PuzzleModel m;
    std::vector<int32_t> order;
    std::string error;
    ASSERT_TRUE(runCutSequence(q, rng, m, order, error)) << error;

    Random expect(1234);
    std::vector<int32_t> table = makePieceOrderTable(n, expect);
    EXPECT_EQ(order, table);
    const int templateDraws = (cols - 1) * (4 + 2 * (rows - 1)) + (rows - 1) * (4 + 2 * (cols - 1));
    for (int i = 0; i < templateDraws + 2 * 5000; ++i) expect.next();
    const int cw = W / cols, ch = H / rows;
    for (int i = 0; i < n; ++i) {
        int x, y;
        do {
            x = expect.below(3 * W - cw - 60) - W + 30;
            y = expect.below(3 * H - ch - 60) - H + 30;
        } while (x + cw > -10 && x < W + 10 && y + ch > -10 && y < H + 10);
        expect.next();  // the rotation, drawn even when rotation is off
        // Pieces reaching past one picture size beyond the picture are pushed back.
        x = std::min(x, 2 * W - m.piece(i).width);
        y = std::min(y, 2 * H - m.piece(i).height);
        EXPECT_EQ(m.toPictureX(m.piece(i).x), x) << i;
        EXPECT_EQ(m.toPictureY(m.piece(i).y), y) << i;
        EXPECT_EQ(m.piece(i).rotation, 0);
    }
    EXPECT_EQ(rng.state(), expect.state());

    // The same seed gives the same puzzle.
    Random again(1234);
    PuzzleModel m2;
    std::vector<int32_t> order2;
    ASSERT_TRUE(runCutSequence(q, again, m2, order2, error));
    for (int i = 0; i < n; ++i) {
        EXPECT_EQ(m.piece(i).mask, m2.piece(i).mask);
        EXPECT_EQ(m.piece(i).box(), m2.piece(i).box());
    }
    std::vector<int32_t> firsts, firsts2;
    m.forEachGroup(ListId::Main, [&](int32_t g) { firsts.push_back(m.groupNode(g).firstMember); });
    m2.forEachGroup(ListId::Main, [&](int32_t g) { firsts2.push_back(m2.groupNode(g).firstMember); });
    EXPECT_EQ(firsts, firsts2);
}

TEST(CutSequence, RefusesUnusableRequestsAndKeepsThePuzzle) {
    PuzzleModel m;
    std::vector<int32_t> order;
    std::string error;
    Random rng(1);
    ASSERT_TRUE(runCutSequence({200, 100, 4, 2, 800, 600, false}, rng, m, order, error));
    const CutRequest bad[] = {
        {0, 100, 4, 2, 800, 600, false},   {200, 100, 0, 2, 800, 600, false},
        {200, 100, 100, 41, 800, 600, false}, {200, 100, 201, 1, 800, 600, false},
        {200, 100, 4, 2, 0, 600, false},
    };
    for (const CutRequest& q : bad) {
        error.clear();
        EXPECT_FALSE(runCutSequence(q, rng, m, order, error));
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(m.pieceCount(), 8);
    }
}

TEST(PieceCount, SliderRangePresetsAndLabel) {
    PieceCountRules land(640, 480);
    EXPECT_TRUE(land.landscape());
    EXPECT_EQ(land.sliderMaximum(), 53);  // 640 / 12
    EXPECT_EQ(land.sliderMinimum(), 2);   // round(4/3) = 1, at least 2
    Grid g = land.gridForSlider(10);
    EXPECT_EQ(g.columns, 10);
    EXPECT_EQ(g.rows, 8);  // round(7.5)
    EXPECT_EQ(PieceCountRules::label(g), "80 Pieces");
    Grid simple = land.gridForTarget(12);  // sqrt(16) = 4 columns, 3 rows
    EXPECT_EQ(simple.columns, 4);
    EXPECT_EQ(simple.rows, 3);

    // A big landscape picture is limited by 4000 pieces, not its width.
    PieceCountRules big(4096, 3072);
    EXPECT_LE(big.gridForSlider(big.sliderMaximum()).pieces(), 4000);
    EXPECT_GT(big.gridForSlider(big.sliderMaximum() + 1).pieces(), 4000);
    Grid impossible = big.gridForTarget(4000);
    EXPECT_LE(impossible.pieces(), 4000);
    EXPECT_GE(impossible.pieces(), 3800);

    PieceCountRules tall(300, 900);
    EXPECT_FALSE(tall.landscape());
    EXPECT_EQ(tall.sliderMaximum(), 75);
    EXPECT_EQ(tall.sliderMinimum(), 3);  // round(1 / (1/3))
    Grid t = tall.gridForSlider(9);
    EXPECT_EQ(t.rows, 9);
    EXPECT_EQ(t.columns, 3);
    Grid easy = tall.gridForTarget(50);  // rows = sqrt(150) = 12.2
    EXPECT_EQ(easy.rows, 12);
    EXPECT_EQ(easy.columns, 4);

    EXPECT_STREQ(piecePresets()[5].name, "Really Hard");
    EXPECT_EQ(piecePresets()[7].target, 4000);
}

TEST(RotationOption, TurnsGroupsOnAndBackOff) {
    CutRequest q{400, 300, 5, 4, 1024, 768, false};
    Random rng(3);
    PuzzleModel m;
    std::vector<int32_t> order;
    std::string error;
    ASSERT_TRUE(runCutSequence(q, rng, m, order, error));
    m.mergeGroups(ListId::Main, m.groupNode(m.member(0).group).groupNumber,
                  m.groupNode(m.member(1).group).groupNumber);
    m.movePieceToList(ListId::Box3, ListId::Main, 7);
    m.solvePiece(ListId::Main, 9, 0, 0);
    const Rect solved = m.piece(9).box();

    Random turns(8);
    applyRotationOption(m, true, turns);
    // One draw per non-empty group of Main and the boxes; emptied groups draw nothing.
    Random count(8);
    for (int i = 0; i < 18; ++i) count.next();
    EXPECT_EQ(turns.state(), count.state());
    std::set<int> seen;
    for (int i = 0; i < 20; ++i) seen.insert(m.piece(i).rotation);
    EXPECT_GT(seen.size(), 1u);
    EXPECT_EQ(m.piece(0).rotation, m.piece(1).rotation);  // groups turn as one
    EXPECT_EQ(m.piece(9).box(), solved);                  // finished pieces stay

    applyRotationOption(m, false, turns);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(m.piece(i).rotation, 0) << i;
    int32_t ex, ey;
    m.expectedPosition(1, 0, ex, ey);
    EXPECT_EQ(m.piece(1).x, ex);
    EXPECT_EQ(m.piece(1).y, ey);
    EXPECT_TRUE(m.checkInvariants());
}
