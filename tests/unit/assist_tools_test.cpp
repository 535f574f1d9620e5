// Tests of the assist tools' walks: edge and nearby finds, colour samples and
// closeness at every depth, the colour search, the row layout of arrange, and
// the solve operations by rectangle, point and area.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

#include "surface/draw_surface.h"
#include "display/picture_view_adapter.h"
#include "common/random.h"
#include "puzzle/assist_tools.h"
#include "puzzle/piece_mask.h"

using namespace pavalo;

namespace {

constexpr int kCell = 40;

// A cols x rows puzzle of square pieces (cell x cell, fully opaque) on a
// 3000 x 2000 play area; every piece lies away from its place, its top-left
// on a spread grid.
PuzzleModel makePuzzle(int cols, int rows, int cell = kCell) {
    std::vector<Piece> pieces(static_cast<size_t>(cols * rows));
    for (int i = 0; i < cols * rows; ++i) {
        Piece& p = pieces[size_t(i)];
        p.homeX = (i % cols) * cell;
        p.homeY = (i / cols) * cell;
        p.width = p.height = cell;
        p.mask = encodePieceMask(cell, cell, [](int, int) { return true; });
        p.x = 20 + 7 * i;
        p.y = 30 + 3 * i;
    }
    PuzzleModel m;
    m.geometry() = {3000, 2000, cols * cell, rows * cell, 0, 0, 7};
    m.createFromPieces(std::move(pieces), rows, cols);
    return m;
}

int32_t groupNumberOf(const PuzzleModel& m, int32_t piece) {
    return m.groupNode(m.member(piece).group).groupNumber;
}

// Merges the group of `b` into the group of `a` (both in `list`).
void join(PuzzleModel& m, ListId list, int32_t a, int32_t b) {
    m.mergeGroups(list, groupNumberOf(m, a), groupNumberOf(m, b));
}

std::set<int32_t> asSet(const std::vector<int32_t>& v) { return {v.begin(), v.end()}; }

std::vector<int32_t> range(int32_t from, int32_t to) {
    std::vector<int32_t> v;
    for (int32_t i = from; i < to; ++i) v.push_back(i);
    return v;
}

// A picture in plain memory, for building views by hand.
struct Picture {
    std::vector<uint8_t> bytes;
    PictureView view;
    Picture(int w, int h, int depth, bool is555 = false) {
        view.width = w;
        view.height = h;
        view.depth = depth;
        view.is555 = is555;
        view.pitch = (w * depth / 8 + 3) & ~3;
        bytes.assign(size_t(view.pitch) * size_t(h), 0);
        view.pixels = bytes.data();
    }
    void set24(int x, int y, uint8_t r, uint8_t g, uint8_t b) {
        uint8_t* p = bytes.data() + y * view.pitch + x * 3;
        p[0] = b;
        p[1] = g;
        p[2] = r;
    }
    void set16(int x, int y, uint16_t w) {
        uint8_t* p = bytes.data() + y * view.pitch + x * 2;
        p[0] = uint8_t(w);
        p[1] = uint8_t(w >> 8);
    }
    void set8(int x, int y, uint8_t index) { bytes[size_t(y * view.pitch + x)] = index; }
};

uint32_t bgr(uint8_t r, uint8_t g, uint8_t b) { return uint32_t(b) | uint32_t(g) << 8 | uint32_t(r) << 16; }
uint16_t word565(int r, int g, int b) { return uint16_t(r << 11 | g << 5 | b); }
uint16_t word555(int r, int g, int b) { return uint16_t(r << 10 | g << 5 | b); }

SampleColours allSamples(uint32_t v) {
    SampleColours s;
    s.fill(v);
    return s;
}

// A w x h piece at home (hx, hy); opaque where `opaque` says.
template <class Opaque>
Piece makePiece(int hx, int hy, int w, int h, Opaque&& opaque) {
    Piece p;
    p.homeX = hx;
    p.homeY = hy;
    p.width = w;
    p.height = h;
    p.mask = encodePieceMask(w, h, opaque);
    return p;
}
Piece solidPiece(int hx, int hy, int w, int h) {
    return makePiece(hx, hy, w, h, [](int, int) { return true; });
}

}  // namespace

// ------------------------------------------------------------------ finds

TEST(FindEdges, TopOnlyFindsRowZeroAndEverythingJoinedToIt) {
    PuzzleModel m = makePuzzle(10, 8);
    join(m, ListId::Main, 3, 13);   // row 1 piece joined to row 0
    join(m, ListId::Main, 13, 23);  // and a row 2 piece joined through it
    join(m, ListId::Main, 40, 41);  // a group away from the top
    const std::vector<int32_t> found = findEdgePieces(m, ListId::Main, kEdgeTop);
    std::set<int32_t> expect = asSet(range(0, 10));
    expect.insert({13, 23});
    EXPECT_EQ(asSet(found), expect);
    EXPECT_EQ(found.size(), expect.size()) << "a group is collected once";
}

TEST(FindEdges, EachMaskBitPicksItsEdgeAndResultsFollowListOrder) {
    PuzzleModel m = makePuzzle(10, 8);
    EXPECT_EQ(asSet(findEdgePieces(m, ListId::Main, kEdgeBottom)), asSet(range(70, 80)));
    std::set<int32_t> left, right;
    for (int r = 0; r < 8; ++r) {
        left.insert(r * 10);
        right.insert(r * 10 + 9);
    }
    EXPECT_EQ(asSet(findEdgePieces(m, ListId::Main, kEdgeLeft)), left);
    EXPECT_EQ(asSet(findEdgePieces(m, ListId::Main, kEdgeRight)), right);
    EXPECT_EQ(findEdgePieces(m, ListId::Main, kEdgeAll).size(), 2u * 10 + 2u * 6);
    EXPECT_TRUE(findEdgePieces(m, ListId::Main, 0).empty());

    // Groups come head to tail, members in member order.
    join(m, ListId::Main, 5, 0);  // group of 5 then 0
    m.bringGroupToFront(ListId::Main, 9);
    const std::vector<int32_t> found = findEdgePieces(m, ListId::Main, kEdgeTop);
    ASSERT_GE(found.size(), 3u);
    EXPECT_EQ(found[0], 9);
    const auto at5 = std::find(found.begin(), found.end(), 5);
    ASSERT_NE(at5, found.end());
    EXPECT_EQ(*(at5 + 1), 0);
}

TEST(FindNearby, RangesClipAtCornersAndEdges) {
    PuzzleModel m = makePuzzle(20, 20);
    // Range 1 around a corner looks at four cells only.
    EXPECT_EQ(asSet(findNearbyPieces(m, ListId::Main, 0, 1)), (std::set<int32_t>{0, 1, 20, 21}));
    EXPECT_EQ(findNearbyPieces(m, ListId::Main, 399, 1).size(), 4u);
    // Range 5 around the centre: an 11 x 11 square.
    const std::vector<int32_t> centre = findNearbyPieces(m, ListId::Main, 10 * 20 + 10, 5);
    EXPECT_EQ(centre.size(), 121u);
    for (int32_t p : centre) {
        EXPECT_LE(std::abs(p % 20 - 10), 5);
        EXPECT_LE(std::abs(p / 20 - 10), 5);
    }
    // Range 5 in the bottom-right corner: 6 x 6.
    EXPECT_EQ(findNearbyPieces(m, ListId::Main, 399, 5).size(), 36u);
    // On the left edge half way down: 6 columns x 11 rows.
    EXPECT_EQ(findNearbyPieces(m, ListId::Main, 10 * 20, 5).size(), 66u);
}

TEST(FindNearby, JoinedGroupsComeWholeAndOwnGroupAlwaysFound) {
    PuzzleModel m = makePuzzle(10, 10);
    join(m, ListId::Main, 12, 99);  // 99 is far away but joined to a neighbour of 11
    join(m, ListId::Main, 11, 88);  // the given piece's own group reaches far too
    const std::set<int32_t> found = asSet(findNearbyPieces(m, ListId::Main, 11, 1));
    EXPECT_TRUE(found.count(99));
    EXPECT_TRUE(found.count(88));
    EXPECT_TRUE(found.count(11));
    EXPECT_FALSE(found.count(55));
    // In another list only that list's pieces count.
    m.movePieceToList(ListId::Box1, ListId::Main, 1);
    m.movePieceToList(ListId::Box1, ListId::Main, 50);
    EXPECT_EQ(findNearbyPieces(m, ListId::Box1, 11, 1), std::vector<int32_t>{1});
    EXPECT_TRUE(findNearbyPieces(m, ListId::Main, -1, 3).empty());
}

// ---------------------------------------------------------------- colours

TEST(ColourMatch, TwentyFourBitLimits) {
    Picture pic(1, 1, 24);
    const SampleColours s = allSamples(bgr(100, 100, 100));
    // Range 1: limit 122.
    ColourMatcher one(pic.view, s, 1);
    EXPECT_TRUE(one.close(bgr(106, 107, 100)));   // 36 + 49 = 85
    EXPECT_FALSE(one.close(bgr(112, 100, 100)));  // 144
    EXPECT_TRUE(one.close(bgr(100, 111, 99)));    // 121 + 1 = 122, the limit itself
    EXPECT_FALSE(one.close(bgr(101, 111, 99)));   // 123
    EXPECT_TRUE(one.close(bgr(94, 93, 100)));     // differences below the sample too
    // Range 100: limit 12288.
    ColourMatcher all(pic.view, s, 100);
    EXPECT_TRUE(all.close(bgr(210, 111, 100)));   // 12100 + 121
    EXPECT_FALSE(all.close(bgr(211, 100, 100)));  // 12321
    // Close to any one of the nine is enough.
    SampleColours mixed = allSamples(bgr(0, 0, 0));
    mixed[8] = bgr(200, 10, 30);
    EXPECT_TRUE(ColourMatcher(pic.view, mixed, 1).close(bgr(205, 10, 30)));
    EXPECT_FALSE(ColourMatcher(pic.view, mixed, 1).close(bgr(100, 10, 30)));
}

TEST(ColourMatch, SixteenBitLimitsInBothLayouts) {
    // Range 100: limit 147. Red and blue steps count 4, green 2 (5-6-5) or 4 (5-5-5).
    Picture p565(1, 1, 16, false), p555(1, 1, 16, true);
    ColourMatcher m565(p565.view, allSamples(word565(10, 20, 10)), 100);
    EXPECT_TRUE(m565.close(word565(13, 20, 10)));   // 144
    EXPECT_FALSE(m565.close(word565(13, 21, 10)));  // 144 + 4
    EXPECT_TRUE(m565.close(word565(10, 26, 10)));   // 144
    EXPECT_FALSE(m565.close(word565(10, 27, 10)));  // 196
    EXPECT_TRUE(m565.close(word565(10, 20, 7)));    // 144
    EXPECT_FALSE(m565.close(word565(10, 20, 6)));   // 256
    ColourMatcher m555(p555.view, allSamples(word555(10, 20, 10) | 0x8000), 100);
    EXPECT_TRUE(m555.close(word555(10, 23, 10) | 0x8000));   // 144
    EXPECT_FALSE(m555.close(word555(10, 24, 10) | 0x8000));  // 256
    EXPECT_FALSE(m555.close(word555(13, 21, 10) | 0x8000));  // 144 + 16
    // The top bit of a 5-5-5 word is not part of any field.
    EXPECT_TRUE(m555.close(word555(10, 20, 10)));
    // Range 10: limit 14, so one step of red (16) is already too far.
    ColourMatcher narrow(p565.view, allSamples(word565(10, 20, 10)), 10);
    EXPECT_FALSE(narrow.close(word565(11, 20, 10)));
    EXPECT_TRUE(narrow.close(word565(10, 21, 10)));  // 4
}

TEST(ColourMatch, EightBitUsesPaletteColours) {
    Picture pic(1, 1, 8);
    pic.view.palette[3] = {100, 100, 100};
    pic.view.palette[7] = {106, 107, 100};  // 85 away from entry 3
    pic.view.palette[9] = {112, 100, 100};  // 144 away
    pic.view.palette[200] = {100, 100, 100};  // the same colour at another index
    SampleColours s = allSamples(3);
    ColourMatcher one(pic.view, s, 1);
    EXPECT_TRUE(one.close(3));
    EXPECT_TRUE(one.close(7));
    EXPECT_FALSE(one.close(9));
    EXPECT_TRUE(one.close(200));
    EXPECT_FALSE(one.close(0));  // black
    // A sample of 0 (as outside the piece) stands for palette entry 0.
    s[4] = 0;
    EXPECT_TRUE(ColourMatcher(pic.view, s, 1).close(0));
}

// The written rules, pixel by pixel, against the prepared tables.
TEST(ColourMatch, TablesAgreeWithThePlainRuleOnRandomColours) {
    Random rng(99);
    auto byte = [&] { return uint32_t(rng.next() & 0xFF); };
    Picture p24(1, 1, 24), p565(1, 1, 16, false), p555(1, 1, 16, true);
    for (int round = 0; round < 24; ++round) {
        const int colourRange = round < 4 ? round * 33 + 1 : 1 + rng.below(100);
        SampleColours s;
        const uint32_t base = byte() | byte() << 8 | byte() << 16;
        for (uint32_t& v : s) v = rng.below(3) ? base ^ uint32_t(rng.next() & 0x070707) : byte() | byte() << 8 | byte() << 16;
        const ColourMatcher m24(p24.view, s, colourRange);
        const int32_t limit24 = colourRange * 12288 / 100;
        for (int i = 0; i < 3000; ++i) {
            const uint32_t px = i & 1 ? base ^ uint32_t(rng.next() & 0x3F3F3F) : byte() | byte() << 8 | byte() << 16;
            bool close = false;
            for (uint32_t v : s) {
                int32_t d = 0;
                for (int sh = 0; sh < 24; sh += 8) d += (int32_t(px >> sh & 0xFF) - int32_t(v >> sh & 0xFF)) * (int32_t(px >> sh & 0xFF) - int32_t(v >> sh & 0xFF));
                close = close || d <= limit24;
            }
            ASSERT_EQ(m24.close(px), close) << std::hex << px << " range " << std::dec << colourRange;
        }
        for (bool is555 : {false, true}) {
            SampleColours w;
            for (size_t k = 0; k < 9; ++k) w[k] = s[k] & 0xFFFF;
            const ColourMatcher m16(is555 ? p555.view : p565.view, w, colourRange);
            const int32_t limit16 = colourRange * 147 / 100;
            for (uint32_t px = 0; px < 65536; px += 7) {
                bool close = false;
                for (uint32_t v : w) {
                    const int dr = is555 ? int(px >> 10 & 31) - int(v >> 10 & 31) : int(px >> 11 & 31) - int(v >> 11 & 31);
                    const int dg = is555 ? int(px >> 5 & 31) - int(v >> 5 & 31) : int(px >> 5 & 63) - int(v >> 5 & 63);
                    const int db = int(px & 31) - int(v & 31);
                    const int g = is555 ? 4 : 2;
                    close = close || 16 * dr * dr + g * g * dg * dg + 16 * db * db <= limit16;
                }
                ASSERT_EQ(m16.close(px), close) << px << (is555 ? " 5-5-5" : " 5-6-5");
            }
        }
    }
}

TEST(ColourMatch, ScoreCountsOpaquePixelsOnly) {
    Picture pic(20, 10, 24);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) pic.set24(x, y, x < 10 ? 200 : 0, 0, 0);
    const SampleColours red = allSamples(bgr(200, 0, 0));
    // Half the box close: 50.
    EXPECT_EQ(colorMatchScore(pic.view, red, 1, solidPiece(0, 0, 20, 10)), 50);
    // Transparent pixels count for nothing: only the left half is opaque.
    EXPECT_EQ(colorMatchScore(pic.view, red, 1, makePiece(0, 0, 20, 10, [](int x, int) { return x < 10; })), 100);
    EXPECT_EQ(colorMatchScore(pic.view, red, 1, makePiece(0, 0, 20, 10, [](int x, int) { return x >= 10; })), 0);
    // Read at the home position.
    EXPECT_EQ(colorMatchScore(pic.view, red, 1, solidPiece(10, 0, 10, 10)), 0);
    // Runs of 128 and more are walked like short ones.
    Picture wide(300, 2, 24);
    for (int x = 0; x < 300; ++x) wide.set24(x, 0, 200, 0, 0);
    EXPECT_EQ(colorMatchScore(wide.view, red, 1, solidPiece(0, 0, 300, 2)), 50);
    // No opaque pixels: 0.
    EXPECT_EQ(colorMatchScore(pic.view, red, 1, makePiece(0, 0, 4, 4, [](int, int) { return false; })), 0);
}

TEST(ColourMatch, ScoreTruncatesTheRealPercentage) {
    // 29 of 100 pixels: 29 / 100 * 100.0 is just below 29 in binary
    // floating point, and the integer part is taken.
    Picture pic(10, 10, 8);
    for (int i = 0; i < 29; ++i) pic.set8(i % 10, i / 10, 1);
    pic.view.palette[1] = {255, 0, 0};
    const Piece p = solidPiece(0, 0, 10, 10);
    EXPECT_EQ(colorMatchScore(pic.view, allSamples(1), 1, p), 28);
    for (int i = 29; i < 30; ++i) pic.set8(i % 10, i / 10, 1);
    EXPECT_EQ(colorMatchScore(pic.view, allSamples(1), 1, p), 30);
}

TEST(ColourMatch, PiecesReachingOutsideThePictureAreReadSafely) {
    Picture pic(10, 10, 24);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) pic.set24(x, y, 50, 60, 70);
    const SampleColours s = allSamples(bgr(50, 60, 70));
    // Wholly outside on every side, and far away.
    EXPECT_EQ(colorMatchScore(pic.view, s, 100, solidPiece(10, 0, 5, 5)), 0);
    EXPECT_EQ(colorMatchScore(pic.view, s, 100, solidPiece(0, 10, 5, 5)), 0);
    EXPECT_EQ(colorMatchScore(pic.view, s, 100, solidPiece(-5, -5, 5, 5)), 0);
    EXPECT_EQ(colorMatchScore(pic.view, s, 100, solidPiece(2000000000, 2000000000, 5, 5)), 0);
    // Half outside: the outside half counts but never matches.
    EXPECT_EQ(colorMatchScore(pic.view, s, 100, solidPiece(5, 0, 10, 10)), 50);
    EXPECT_EQ(colorMatchScore(pic.view, s, 100, solidPiece(-5, 0, 10, 10)), 50);
    // An invalid view or a 32-bit picture scores 0.
    EXPECT_EQ(colorMatchScore(PictureView{}, s, 100, solidPiece(0, 0, 5, 5)), 0);
    Picture deep(10, 10, 32);
    EXPECT_EQ(colorMatchScore(deep.view, allSamples(0), 100, solidPiece(0, 0, 5, 5)), 0);
}

TEST(Samples, NineInOrderOutsideTheBoxReadZero) {
    PuzzleModel m = makePuzzle(2, 2, 4);  // 8 x 8 picture, 4 x 4 pieces
    Picture pic(8, 8, 24);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) pic.set24(x, y, uint8_t(x + 1), uint8_t(y + 1), 9);
    // Piece 3 (home 4,4) drawn at (100, 200): click at its drawn (1, 2).
    m.moveGroup(ListId::None, 3, 100, 200);
    SampleColours s = sampleColours(m, pic.view, 3, 101, 202);
    int i = 0;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx, ++i)
            EXPECT_EQ(s[size_t(i)], bgr(uint8_t(4 + 1 + dx + 1), uint8_t(4 + 2 + dy + 1), 9)) << i;
    // At the box's top-left corner the samples above and left of it are 0,
    // even though the picture has pixels there (another piece's).
    s = sampleColours(m, pic.view, 3, 100, 200);
    EXPECT_EQ(s[0], 0u);
    EXPECT_EQ(s[1], 0u);
    EXPECT_EQ(s[3], 0u);
    EXPECT_EQ(s[6], 0u);
    EXPECT_EQ(s[4], bgr(5, 5, 9));
    // Piece 0's corner is the picture's corner: nothing outside is read.
    m.moveGroup(ListId::None, 0, 300, 300);
    s = sampleColours(m, pic.view, 0, 300, 300);
    EXPECT_EQ(s[4], bgr(1, 1, 9));
    EXPECT_EQ(s[0], 0u);
}

TEST(Samples, RotatedPieceSamplesThePixelShownUnderThePoint) {
    PuzzleModel m = makePuzzle(1, 1, 6);
    Picture pic(6, 6, 8);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x) pic.set8(x, y, uint8_t(10 * y + x));
    m.moveGroup(ListId::None, 0, 0, 0);
    // A quarter turn clockwise shows upright pixel (c, r) at drawn
    // (height - 1 - r, c); drawn (4, 1) is upright (1, 1).
    m.setPieceRotation(0, 1);
    EXPECT_EQ(sampleColours(m, pic.view, 0, 4, 1)[4], 11u);
    // Half a turn: drawn (0, 0) is upright (5, 5).
    m.setPieceRotation(0, 2);
    EXPECT_EQ(sampleColours(m, pic.view, 0, 0, 0)[4], 55u);
    m.setPieceRotation(0, 3);
    EXPECT_EQ(sampleColours(m, pic.view, 0, 0, 5)[4], 0u);  // upright (0, 0)
    EXPECT_EQ(sampleColours(m, pic.view, 0, 2, 5)[4], 20u);  // upright (0, 2)
}

TEST(Samples, SixteenBitWordsAndSurfaceViews) {
    DrawSurface surface;
    ASSERT_TRUE(surface.create(8, 8, kDepth16555));
    uint16_t w = word555(31, 1, 2) | 0x8000;
    std::memcpy(surface.row(5) + 2 * 3, &w, 2);
    const PictureView view = pictureViewOf(surface);
    EXPECT_TRUE(view.is555);
    EXPECT_EQ(view.depth, 16);
    PuzzleModel m = makePuzzle(1, 1, 8);
    m.moveGroup(ListId::None, 0, 0, 0);
    EXPECT_EQ(sampleColours(m, view, 0, 3, 5)[4], w);

    DrawSurface s8;
    ASSERT_TRUE(s8.create(4, 4, 8));
    PaletteTable table{};
    table[5] = {10, 20, 30, 0};
    ASSERT_TRUE(s8.setPaletteEntries(table, false));
    EXPECT_EQ(pictureViewOf(s8).palette[5], (PictureRgb{10, 20, 30}));
    DrawSurface grey;
    ASSERT_TRUE(grey.create(4, 4, 8));
    EXPECT_EQ(pictureViewOf(grey).palette[77], (PictureRgb{77, 77, 77}));
    EXPECT_FALSE(pictureViewOf(DrawSurface{}).valid());
}

TEST(FindColor, FindsGroupsWithAMatchingMemberAndStepsOncePerPieceScored) {
    // 4 x 1 puzzle of 10 px pieces over a picture whose third cell is red.
    PuzzleModel m = makePuzzle(4, 1, 10);
    Picture pic(40, 10, 24);
    for (int y = 0; y < 10; ++y)
        for (int x = 20; x < 30; ++x) pic.set24(x, y, 255, 0, 0);
    const SampleColours red = allSamples(bgr(255, 0, 0));
    int steps = 0;
    EXPECT_EQ(findColorPieces(m, ListId::Main, pic.view, red, 1, 5, [&] { ++steps; }),
              std::vector<int32_t>{2});
    EXPECT_EQ(steps, 4);
    // Joined to piece 0, piece 2 brings it along; the walk of that group
    // stops at its first matching member.
    join(m, ListId::Main, 2, 0);
    steps = 0;
    const std::vector<int32_t> found = findColorPieces(m, ListId::Main, pic.view, red, 1, 5, [&] { ++steps; });
    EXPECT_EQ(found, (std::vector<int32_t>{2, 0}));
    EXPECT_EQ(steps, 3);
    // Threshold 100 wants every opaque pixel close.
    Picture half = pic;
    half.view.pixels = half.bytes.data();
    for (int x = 20; x < 25; ++x) half.set24(x, 0, 0, 0, 0);
    EXPECT_TRUE(findColorPieces(m, ListId::Main, half.view, red, 1, 100).empty());
    EXPECT_EQ(findColorPieces(m, ListId::Main, half.view, red, 1, 95).size(), 2u);
    EXPECT_EQ(findColorPieces(m, ListId::Main, pic.view, red, 1, 100).size(), 2u);
}

// --------------------------------------------------------------- arranging

namespace {
// Positions of pieces after an arrange, in a sorting box (no region clamp).
PuzzleModel boxOfSquares(const std::vector<std::pair<int, int>>& sizes) {
    std::vector<Piece> pieces(sizes.size());
    for (size_t i = 0; i < sizes.size(); ++i) {
        pieces[i].width = sizes[i].first;
        pieces[i].height = sizes[i].second;
        pieces[i].homeX = int32_t(i) * 100;
        pieces[i].mask = encodePieceMask(sizes[i].first, sizes[i].second, [](int, int) { return true; });
        pieces[i].x = 500 + int32_t(i) * 3;
        pieces[i].y = 700;
    }
    PuzzleModel m;
    m.geometry() = {3000, 2000, int32_t(sizes.size()) * 100, 100, 0, 0, 7};
    m.createFromPieces(std::move(pieces), 1, int32_t(sizes.size()));
    // Into box 1 in piece order: moving to the head reverses, so go backwards.
    for (int32_t i = int32_t(sizes.size()) - 1; i >= 0; --i) m.movePieceToList(ListId::Box1, ListId::Main, i);
    return m;
}
std::pair<int32_t, int32_t> at(const PuzzleModel& m, int32_t p) { return {m.piece(p).x, m.piece(p).y}; }
using XY = std::pair<int32_t, int32_t>;
}  // namespace

TEST(Arrange, ThreeFortyPixelPiecesWrapInAHundredPixelArea) {
    PuzzleModel m = boxOfSquares({{40, 40}, {40, 40}, {40, 40}});
    Rect area{0, 0, 100, 1000};
    EXPECT_EQ(arrangeGroups(m, ListId::Box1, area, true), 3);
    EXPECT_EQ(at(m, 0), XY(10, 10));
    EXPECT_EQ(at(m, 1), XY(10, 55));   // 10 + 40 + 5 + 40 + 5 > 90: new row 45 lower
    EXPECT_EQ(at(m, 2), XY(10, 100));
    EXPECT_EQ(area, (Rect{0, 0, 100, 1000}));
    // Wide enough, they share a row 45 apart.
    Rect wide{0, 0, 200, 1000};
    arrangeGroups(m, ListId::Box1, wide, true);
    EXPECT_EQ(at(m, 0), XY(10, 10));
    EXPECT_EQ(at(m, 1), XY(55, 10));
    EXPECT_EQ(at(m, 2), XY(100, 10));
}

TEST(Arrange, RowsFollowEachGroupsOwnHeightAndTooWideGroupsWrapTwice) {
    // A short piece, then a tall one that wraps: the new row is the tall
    // piece's height lower, not the tallest of the old row.
    PuzzleModel m = boxOfSquares({{40, 20}, {40, 80}, {40, 10}});
    Rect area{100, 100, 200, 1000};
    arrangeGroups(m, ListId::Box1, area, true);
    EXPECT_EQ(at(m, 0), XY(110, 110));
    EXPECT_EQ(at(m, 1), XY(110, 110 + 80 + 5));
    EXPECT_EQ(at(m, 2), XY(110, 195 + 10 + 5));
    // Groups wider than a row: wrapped before placing (gap 5) and again
    // after (no gap).
    PuzzleModel w = boxOfSquares({{85, 40}, {85, 40}});
    Rect narrow{0, 0, 100, 1000};
    arrangeGroups(w, ListId::Box1, narrow, true);
    EXPECT_EQ(at(w, 0), XY(10, 55));
    EXPECT_EQ(at(w, 1), XY(10, 55 + 40 + 45));
}

TEST(Arrange, AreaSlidesByHalfAGroupUnlessConfined) {
    PuzzleModel m = boxOfSquares({{40, 40}, {40, 40}, {40, 40}});
    Rect area{0, 0, 100, 100};
    arrangeGroups(m, ListId::Box1, area, false);
    EXPECT_EQ(at(m, 0), XY(10, 10));
    EXPECT_EQ(at(m, 1), XY(30, 30));  // row 2 would pass the bottom: slide by 20, 20
    EXPECT_EQ(at(m, 2), XY(50, 50));
    // The wrap after the last group slid it once more.
    EXPECT_EQ(area, (Rect{60, 60, 100, 100}));
    // Confined, they run past the bottom instead.
    Rect confined{0, 0, 100, 100};
    arrangeGroups(m, ListId::Box1, confined, true);
    EXPECT_EQ(at(m, 2), XY(10, 100));
    EXPECT_EQ(confined, (Rect{0, 0, 100, 100}));
}

TEST(Arrange, GroupsMoveWholeByTheirBoxesWithoutOverlapAndSelectionFilters) {
    PuzzleModel m = makePuzzle(4, 4);
    for (int32_t p = 0; p < 16; ++p) m.movePieceToList(ListId::Box1, ListId::Main, p);
    m.moveGroup(ListId::Box1, 0, 1000, 900);
    m.moveGroup(ListId::Box1, 1, 1040, 900);
    join(m, ListId::Box1, 0, 1);
    Rect area{600, 600, 900, 2000};
    EXPECT_EQ(arrangeGroups(m, ListId::Box1, area, true), 16);
    EXPECT_EQ(m.piece(1).x - m.piece(0).x, 40);
    EXPECT_EQ(m.piece(1).y, m.piece(0).y);
    std::vector<Rect> boxes;
    m.forEachGroup(ListId::Box1, [&](int32_t g) {
        if (m.groupNode(g).firstMember != kNone) boxes.push_back(m.groupRect(g));
    });
    for (size_t i = 0; i < boxes.size(); ++i) {
        EXPECT_GE(boxes[i].left, 610);
        EXPECT_GE(boxes[i].top, 610);
        EXPECT_LE(boxes[i].right, 890);
        for (size_t j = 0; j < i; ++j) EXPECT_FALSE(boxes[i].intersects(boxes[j])) << i << " " << j;
    }

    // Only selected groups move, in list order.
    for (int32_t p : {2, 3, 4}) m.moveGroup(ListId::Box1, p, 1500 + p, 1500);
    m.setGroupSelected(ListId::Box1, 3, true);
    m.setGroupSelected(ListId::Box1, 0, true);
    Rect sel{0, 0, 400, 400};
    EXPECT_EQ(arrangeSelected(m, ListId::Box1, sel, true), 3);
    EXPECT_EQ(at(m, 2), XY(1502, 1500));
    EXPECT_EQ(at(m, 3), XY(10, 10));
    EXPECT_EQ(at(m, 0), XY(55, 10));
    EXPECT_EQ(at(m, 1), XY(95, 10));
}

TEST(Arrange, PlayerGroupsInPieceOrderOncePerGroup) {
    struct Holders : HolderTable {
        std::map<int32_t, int> held;
        int holderOf(int32_t p) const override {
            auto it = held.find(p);
            return it == held.end() ? kNoHolder : it->second;
        }
        void setHolder(int32_t p, int slot) override { held[p] = slot; }
    } holders;
    PuzzleModel m = makePuzzle(4, 4);
    for (int32_t p = 0; p < 16; ++p) m.movePieceToList(ListId::Box1, ListId::Main, p);
    m.setHolderTable(&holders);
    for (int32_t p : {1, 5, 9, 6}) holders.held[p] = 3;
    holders.held[7] = 4;
    m.moveGroup(ListId::Box1, 5, 1000, 1000);
    m.moveGroup(ListId::Box1, 6, 1040, 1000);
    join(m, ListId::Box1, 5, 6);
    const std::vector<int32_t> order = {9, 6, 7, 15, 5, 1, 99, -4};
    Rect area{0, 0, 1000, 1000};
    EXPECT_EQ(arrangePlayerGroups(m, 3, ListId::Box1, area, true, order), 4);
    EXPECT_EQ(at(m, 9), XY(10, 10));
    EXPECT_EQ(at(m, 5), XY(55, 10));  // the group of 6 and 5, placed once, by its box
    EXPECT_EQ(at(m, 6), XY(95, 10));
    EXPECT_EQ(at(m, 1), XY(140, 10));
    EXPECT_NE(at(m, 7), XY(185, 10));  // another player's piece stays
    m.setHolderTable(nullptr);
}

// ---------------------------------------------------------------- solving

TEST(SolveInRect, TopLeftQuarterSolvesEveryPieceWhoseSolvedBoxMeetsIt) {
    PuzzleModel m = makePuzzle(4, 4);  // 160 x 160 picture
    m.geometry().offsetX = 30;
    m.geometry().offsetY = -20;
    m.movePieceToList(ListId::Box2, ListId::Main, 5);
    join(m, ListId::Main, 4, 15);  // a far piece joined to a quarter piece comes too
    const Rect picture = assembledPictureRect(m);
    EXPECT_EQ(picture.left, 1500 - 80 + 30);
    const Rect quarter{picture.left, picture.top, picture.left + 80, picture.top + 80};
    int placed = 0;
    for (ListId list : {ListId::Main, ListId::Box1, ListId::Box2, ListId::Box3, ListId::Box4})
        placed += solveInRect(m, list, quarter, 30, -20);
    EXPECT_EQ(placed, 5);
    EXPECT_EQ(m.countListPieces(ListId::Finished), 5);
    for (int32_t p : {0, 1, 4, 5, 15}) {
        EXPECT_EQ(m.listOfPiece(p), ListId::Finished) << p;
        EXPECT_EQ(m.piece(p).x, m.solvedX(p));
        EXPECT_EQ(m.piece(p).y, m.solvedY(p));
    }
    // Boxes touching the rectangle's right or bottom edge do not meet it.
    EXPECT_EQ(m.listOfPiece(2), ListId::Main);
    EXPECT_EQ(m.listOfPiece(8), ListId::Main);
    // A one-pixel rectangle at the corner of four cells meets only the cell
    // it covers.
    EXPECT_EQ(solveInRect(m, ListId::Main, Rect{picture.left + 119, picture.top + 119, picture.left + 120,
                                                picture.top + 120},
                          30, -20),
              1);
    EXPECT_EQ(m.listOfPiece(10), ListId::Finished);
    EXPECT_EQ(m.listOfPiece(11), ListId::Main);
    EXPECT_EQ(m.listOfPiece(14), ListId::Main);
    EXPECT_TRUE(m.checkInvariants());
}

TEST(SelectSolvedInRect, SelectsThroughTheSelectorAndGrowsTheRectangle) {
    PuzzleModel m = makePuzzle(4, 4);
    const Rect picture = assembledPictureRect(m);
    m.moveGroup(ListId::None, 0, 2500, 1800);
    Rect rect{picture.left, picture.top, picture.left + 10, picture.top + 10};
    LocalPieceSelector local;
    EXPECT_EQ(selectSolvedInRect(m, ListId::Main, rect, local), 1);
    EXPECT_TRUE(m.isSelected(ListId::Main, 0));
    EXPECT_EQ(rect.right, 2540);
    EXPECT_EQ(rect.bottom, 1840);
    EXPECT_EQ(rect.left, picture.left);

    // A selector that grants nothing selects nothing and grows nothing.
    struct Refuse : PieceSelector {
        std::vector<int32_t> asked;
        std::vector<int32_t> select(PuzzleModel&, ListId, std::span<const int32_t> p) override {
            asked.assign(p.begin(), p.end());
            return {};
        }
    } refuse;
    Rect r2{picture.left + 45, picture.top, picture.left + 50, picture.top + 5};
    EXPECT_EQ(selectSolvedInRect(m, ListId::Main, r2, refuse), 0);
    EXPECT_EQ(refuse.asked, std::vector<int32_t>{1});
    EXPECT_EQ(r2, (Rect{picture.left + 45, picture.top, picture.left + 50, picture.top + 5}));
}

TEST(SolveThisSpace, SolvesThePieceOfTheCellWhereverItLies) {
    PuzzleModel m = makePuzzle(4, 3);  // 160 x 120
    const Rect picture = assembledPictureRect(m);
    m.movePieceToList(ListId::Box3, ListId::Main, 6);
    const int32_t x = picture.left + 2 * 40 + 5, y = picture.top + 40 + 39;  // cell (2, 1)
    EXPECT_EQ(pieceOfSolvedCell(m, x, y), 6);
    EXPECT_TRUE(solveSpaceAvailable(m, x, y));
    EXPECT_EQ(solveThisSpace(m, x, y), 1);
    EXPECT_EQ(m.listOfPiece(6), ListId::Finished);
    // Now a finished piece covers the spot: nothing more.
    EXPECT_FALSE(solveSpaceAvailable(m, x, y));
    EXPECT_EQ(solveThisSpace(m, x, y), 0);
    // Outside the assembled picture: nothing.
    EXPECT_EQ(pieceOfSolvedCell(m, picture.right, picture.top), -1);
    EXPECT_EQ(pieceOfSolvedCell(m, picture.left - 1, picture.top), -1);
    EXPECT_EQ(solveThisSpace(m, picture.left, picture.bottom), 0);
    EXPECT_EQ(m.countListPieces(ListId::Finished), 1);
}

TEST(SolveThisSpace, CellsAreRealFractionsOfThePicture) {
    // A 100-pixel picture of three columns: cells of 33.3 pixels.
    std::vector<Piece> pieces(3);
    for (int i = 0; i < 3; ++i) {
        pieces[size_t(i)].homeX = i * 33;
        pieces[size_t(i)].width = 34;
        pieces[size_t(i)].height = 10;
        pieces[size_t(i)].mask = encodePieceMask(34, 10, [](int, int) { return true; });
    }
    PuzzleModel m;
    m.geometry() = {1000, 1000, 100, 10, 0, 0, 7};
    m.createFromPieces(std::move(pieces), 1, 3);
    const int32_t left = assembledPictureRect(m).left, top = assembledPictureRect(m).top;
    EXPECT_EQ(pieceOfSolvedCell(m, left + 33, top), 0);
    EXPECT_EQ(pieceOfSolvedCell(m, left + 34, top), 1);
    EXPECT_EQ(pieceOfSolvedCell(m, left + 66, top), 1);
    EXPECT_EQ(pieceOfSolvedCell(m, left + 67, top), 2);
    EXPECT_EQ(pieceOfSolvedCell(m, left + 99, top + 9), 2);
}

TEST(SolveArea, SquareOfCellsClippedToTheGrid) {
    PuzzleModel m = makePuzzle(5, 5);
    const Rect picture = assembledPictureRect(m);
    m.movePieceToList(ListId::Box4, ListId::Main, 12);
    EXPECT_EQ(solveArea(m, picture.left + 2 * 40 + 1, picture.top + 2 * 40 + 1, 1), 9);
    for (int32_t p : {6, 7, 8, 11, 12, 13, 16, 17, 18}) EXPECT_EQ(m.listOfPiece(p), ListId::Finished) << p;
    EXPECT_EQ(solveArea(m, picture.left, picture.top, 1), 3);  // 0, 1, 5 (6 already placed)
    EXPECT_EQ(solveArea(m, picture.left - 1, picture.top, 3), 0);
    EXPECT_EQ(solveArea(m, picture.right - 1, picture.bottom - 1, 5), 25 - 12);
    EXPECT_EQ(m.countListPieces(ListId::Finished), 25);
}

TEST(SelectAll, GroupsInsideTheWidenedPlayArea) {
    PuzzleModel m = makePuzzle(3, 3);  // largest piece 40: margin 240
    EXPECT_EQ(selectAllRect(m), (Rect{-240, -240, 3240, 2240}));
    m.moveGroup(ListId::None, 0, -240, -240);  // just inside
    m.moveGroup(ListId::None, 1, -241, 0);     // just outside
    m.moveGroup(ListId::None, 2, 3200, 2200);  // inside at the far corner
    m.moveGroup(ListId::None, 3, 3201, 0);     // right edge past
    const std::set<int32_t> inside = asSet(piecesOfGroupsInside(m, ListId::Main, selectAllRect(m)));
    EXPECT_TRUE(inside.count(0));
    EXPECT_FALSE(inside.count(1));
    EXPECT_TRUE(inside.count(2));
    EXPECT_FALSE(inside.count(3));
    EXPECT_EQ(inside.size(), 7u);
    EXPECT_EQ(allPiecesOf(m, ListId::Main).size(), 9u);
}
