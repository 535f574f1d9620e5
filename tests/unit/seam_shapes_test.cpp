// Checks the embedded seam-shape resources ("PDF"): their layout, and that
// every shape is a usable jigsaw seam with one knob.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "common/file_io.h"
#include "common/resources.h"

namespace {

struct SizeEntry {
    uint32_t id;
    int size;
};

void PrintTo(const SizeEntry& e, std::ostream* os) { *os << "id " << e.id << ", size " << e.size; }

const SizeEntry kSizes[] = {
    {141, 12},  {153, 16},  {155, 20},  {157, 24},  {159, 28},  {160, 32},  {161, 36},
    {162, 40},  {163, 44},  {164, 48},  {165, 56},  {166, 64},  {167, 72},  {150, 80},
    {169, 96},  {168, 112}, {151, 128}, {152, 160}, {154, 192}, {156, 224}, {158, 256},
};

// One decoded shape: the run lengths of each row and the pixels they paint.
struct Shape {
    int size = 0;
    std::vector<std::vector<uint32_t>> rows;  // run lengths, colour 0 first
    std::vector<uint8_t> pixels;              // size * size, 0 or 255

    uint8_t at(int x, int y) const { return pixels[size_t(y) * size_t(size) + size_t(x)]; }
};

struct ShapeSet {
    uint32_t height = 0, width = 0, count = 0;
    std::vector<Shape> shapes;
    std::string error;  // empty when the bytes decode exactly
};

// Decodes a resource strictly: any run total other than the width, a read
// past the end or bytes left over is an error.
ShapeSet decode(std::span<const uint8_t> bytes) {
    ShapeSet set;
    size_t pos = 0;
    auto next = [&](uint32_t& v) {
        if (pos + 4 > bytes.size()) return false;
        v = pavalo::loadU32(bytes.data() + pos);
        pos += 4;
        return true;
    };
    if (!next(set.height) || !next(set.width) || !next(set.count)) {
        set.error = "short header";
        return set;
    }
    if (set.height != set.width || set.height == 0 || set.height > 1024 || set.count > 1000) {
        set.error = "implausible header";
        return set;
    }
    const int s = int(set.width);
    for (uint32_t i = 0; i < set.count; ++i) {
        Shape shape;
        shape.size = s;
        shape.pixels.reserve(size_t(s) * size_t(s));
        for (int y = 0; y < s; ++y) {
            uint32_t n = 0;
            if (!next(n) || n == 0 || n > uint32_t(s) + 1) {
                set.error = "bad run count in shape " + std::to_string(i) + " row " + std::to_string(y);
                return set;
            }
            std::vector<uint32_t> runs(n);
            uint32_t total = 0;
            for (uint32_t k = 0; k < n; ++k) {
                if (!next(runs[k])) {
                    set.error = "truncated in shape " + std::to_string(i);
                    return set;
                }
                total += runs[k];
                if (total > uint32_t(s)) break;
                shape.pixels.insert(shape.pixels.end(), runs[k], k % 2 == 0 ? 0 : 255);
            }
            if (total != uint32_t(s)) {
                set.error = "runs of shape " + std::to_string(i) + " row " + std::to_string(y) + " add up to " +
                            std::to_string(total);
                return set;
            }
            shape.rows.push_back(std::move(runs));
        }
        set.shapes.push_back(std::move(shape));
    }
    if (pos != bytes.size()) set.error = std::to_string(bytes.size() - pos) + " bytes left over";
    return set;
}

ShapeSet load(const SizeEntry& entry) {
    auto bytes = pavalo::findResource("PDF", entry.id);
    if (bytes.empty()) {
        ShapeSet missing;
        missing.error = "resource missing";
        return missing;
    }
    return decode(bytes);
}

// Last colour-0 column of row y (the row's boundary when it crosses once).
int boundaryOf(const Shape& shape, int y) { return int(shape.rows[size_t(y)][0]) - 1; }

int regions(const Shape& shape, uint8_t colour) {
    const int s = shape.size;
    std::vector<uint8_t> seen(shape.pixels.size(), 0);
    int count = 0;
    for (int start = 0; start < s * s; ++start) {
        if (seen[size_t(start)] || shape.pixels[size_t(start)] != colour) continue;
        ++count;
        std::vector<int> stack{start};
        seen[size_t(start)] = 1;
        while (!stack.empty()) {
            int i = stack.back();
            stack.pop_back();
            int x = i % s, y = i / s;
            const int nb[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
            for (auto& p : nb) {
                if (p[0] < 0 || p[1] < 0 || p[0] >= s || p[1] >= s) continue;
                size_t j = size_t(p[1]) * size_t(s) + size_t(p[0]);
                if (!seen[j] && shape.pixels[j] == colour) {
                    seen[j] = 1;
                    stack.push_back(int(j));
                }
            }
        }
    }
    return count;
}

// The knob's outermost column and the middle of the rows that reach it.
struct Tip {
    int x = -1, row = 0;
};
Tip tipOf(const Shape& shape) {
    Tip tip;
    int first = 0, last = 0;
    for (int y = 0; y < shape.size; ++y) {
        int x = shape.size - 1;
        while (x > 0 && shape.at(x, y) != 0) --x;
        if (x > tip.x) {
            tip.x = x;
            first = last = y;
        } else if (x == tip.x) {
            last = y;
        }
    }
    tip.row = (first + last) / 2;
    return tip;
}

// Height of the colour-0 run in column x that holds row y, 0 when (x, y) is
// not colour 0.
int columnRun(const Shape& shape, int x, int y) {
    if (shape.at(x, y) != 0) return 0;
    int top = y, bottom = y;
    while (top > 0 && shape.at(x, top - 1) == 0) --top;
    while (bottom + 1 < shape.size && shape.at(x, bottom + 1) == 0) ++bottom;
    return bottom - top + 1;
}

// Narrowest neck over widest head along the tip row: walking from the tip
// towards the edge, the smallest ratio of a column's height to the tallest
// column seen further out. Below 1 means the knob pinches to a neck.
double neckToHead(const Shape& shape) {
    Tip tip = tipOf(shape);
    const int b = shape.size / 2 - 1;
    int widest = 0;
    double ratio = 1.0;
    for (int x = tip.x; x > b; --x) {
        int h = columnRun(shape, x, tip.row);
        if (h > 0 && widest > 0) ratio = std::min(ratio, double(h) / widest);
        widest = std::max(widest, h);
    }
    return ratio;
}

class SeamShapes : public ::testing::TestWithParam<SizeEntry> {};

TEST_P(SeamShapes, ResourceLayoutIsExact) {
    const SizeEntry e = GetParam();
    auto bytes = pavalo::findResource("PDF", e.id);
    ASSERT_FALSE(bytes.empty());
    ShapeSet set = decode(bytes);
    ASSERT_EQ(set.error, "");
    EXPECT_EQ(set.height, uint32_t(e.size));
    EXPECT_EQ(set.width, uint32_t(e.size));
    EXPECT_EQ(set.count, 48u);
    // Byte length follows from the run counts: header, then per row a count
    // and its runs.
    size_t expected = 12;
    for (const Shape& shape : set.shapes)
        for (const auto& runs : shape.rows) expected += 4 + 4 * runs.size();
    EXPECT_EQ(bytes.size(), expected);
}

TEST_P(SeamShapes, RowsStartLeftAndCrossAtMostThreeTimes) {
    const SizeEntry e = GetParam();
    ShapeSet set = load(e);
    ASSERT_EQ(set.error, "");
    for (size_t i = 0; i < set.shapes.size(); ++i) {
        const Shape& shape = set.shapes[i];
        for (int y = 0; y < e.size; ++y) {
            const auto& runs = shape.rows[size_t(y)];
            SCOPED_TRACE("shape " + std::to_string(i) + " row " + std::to_string(y));
            EXPECT_GT(runs.front(), 0u) << "row opens with the right cell";
            // Two runs (one crossing) or four (the head's overhang): the row
            // always ends in the right cell.
            EXPECT_TRUE(runs.size() == 2 || runs.size() == 4) << runs.size() << " runs";
            for (uint32_t r : runs) EXPECT_GT(r, 0u);
        }
    }
}

TEST_P(SeamShapes, EveryShapeIsOneKnobbedSeam) {
    const SizeEntry e = GetParam();
    ShapeSet set = load(e);
    ASSERT_EQ(set.error, "");
    for (size_t i = 0; i < set.shapes.size(); ++i) {
        const Shape& shape = set.shapes[i];
        SCOPED_TRACE("shape " + std::to_string(i));
        // Each side is a single region: the knob is joined to the left cell
        // and the pockets beside its neck open into the right cell.
        EXPECT_EQ(regions(shape, 0), 1);
        EXPECT_EQ(regions(shape, 255), 1);

        int overhangRows = 0;
        for (const auto& runs : shape.rows) overhangRows += runs.size() == 4;
        EXPECT_GE(overhangRows, 2) << "the head must overhang its neck above and below";

        // The rows that cross three times are the head's back on both sides
        // of the neck, so there are two bands of them: one above and one
        // below a neck row.
        Tip tip = tipOf(shape);
        bool above = false, below = false;
        for (int y = 0; y < e.size; ++y) {
            if (shape.rows[size_t(y)].size() != 4) continue;
            above |= y < tip.row;
            below |= y > tip.row;
        }
        EXPECT_TRUE(above && below);

        double ratio = neckToHead(shape);
        EXPECT_LT(ratio, 1.0) << "no neck narrower than the head";
        if (e.size >= 32) {
            EXPECT_LE(ratio, 0.8) << "neck hardly narrower than the head";
        }
    }
}

TEST_P(SeamShapes, SeamEndsMeetAtTheMiddleColumn) {
    const SizeEntry e = GetParam();
    ShapeSet set = load(e);
    ASSERT_EQ(set.error, "");
    // A seam strip joins shapes at their top and bottom boundary, and uses
    // shapes mirrored with colours swapped, whose boundary is S - b - 2. One
    // column b = S/2 - 1 satisfies both, so every shape must end there.
    const int b = e.size / 2 - 1;
    ASSERT_EQ(e.size - b - 2, b);
    for (size_t i = 0; i < set.shapes.size(); ++i) {
        const Shape& shape = set.shapes[i];
        SCOPED_TRACE("shape " + std::to_string(i));
        EXPECT_EQ(shape.rows.front().size(), 2u);
        EXPECT_EQ(shape.rows.back().size(), 2u);
        EXPECT_EQ(boundaryOf(shape, 0), b);
        EXPECT_EQ(boundaryOf(shape, e.size - 1), b);
    }
}

TEST_P(SeamShapes, KnobStaysNearTheEdgeMiddle) {
    const SizeEntry e = GetParam();
    ShapeSet set = load(e);
    ASSERT_EQ(set.error, "");
    const int s = e.size;
    const int edge = s / 2;
    for (size_t i = 0; i < set.shapes.size(); ++i) {
        const Shape& shape = set.shapes[i];
        SCOPED_TRACE("shape " + std::to_string(i));
        // The knob points right, into the right cell: colour 0 reaches well
        // past the middle, colour 255 never reaches far into the left half.
        Tip tip = tipOf(shape);
        EXPECT_GE(tip.x, edge + std::max(2, s / 6));
        EXPECT_LE(tip.x, edge + (s * 34 + 99) / 100);
        for (int y = 0; y < s; ++y) EXPECT_GE(boundaryOf(shape, y), edge - 1 - (s * 6 + 99) / 100);
        // Along the edge the knob stays near the middle, so that the knobs of
        // a vertical and a horizontal seam never meet at a cell corner.
        EXPECT_LE(std::abs(2 * tip.row + 1 - s), 2 * ((s * 12 + 99) / 100 + 1));
        for (int y = 0; y < s; ++y) {
            if (shape.rows[size_t(y)].size() == 4) {
                EXPECT_GE(y, s / 4);
                EXPECT_LT(y, s - s / 4);
            }
        }
    }
}

TEST_P(SeamShapes, ShapesVary) {
    const SizeEntry e = GetParam();
    ShapeSet set = load(e);
    ASSERT_EQ(set.error, "");
    std::set<std::vector<uint8_t>> distinct;
    std::set<int> tipRows, tipColumns;
    for (const Shape& shape : set.shapes) {
        distinct.insert(shape.pixels);
        Tip tip = tipOf(shape);
        tipRows.insert(tip.row);
        tipColumns.insert(tip.x);
    }
    // The smallest sizes have few pixel patterns to choose from.
    size_t wanted = e.size <= 12 ? 8 : e.size <= 16 ? 24 : 48;
    EXPECT_GE(distinct.size(), wanted);
    EXPECT_GE(tipRows.size(), 3u) << "knob always at the same place along the edge";
    EXPECT_GE(tipColumns.size(), e.size >= 24 ? 3u : 2u) << "knob always the same length";
}

INSTANTIATE_TEST_SUITE_P(AllSizes, SeamShapes, ::testing::ValuesIn(kSizes),
                         [](const ::testing::TestParamInfo<SizeEntry>& info) {
                             return "S" + std::to_string(info.param.size);
                         });

TEST(SeamShapeDecoder, RejectsMalformedResources) {
    // A valid one-shape, 2x2 resource: each row "1 left, 1 right".
    std::vector<uint8_t> good;
    auto put = [&](std::vector<uint8_t>& v, uint32_t x) {
        for (int i = 0; i < 4; ++i) v.push_back(uint8_t(x >> (8 * i)));
    };
    for (uint32_t x : {2u, 2u, 1u, 2u, 1u, 1u, 2u, 1u, 1u}) put(good, x);
    EXPECT_EQ(decode(good).error, "");

    std::vector<uint8_t> wrongTotal;
    for (uint32_t x : {2u, 2u, 1u, 2u, 1u, 2u, 2u, 1u, 1u}) put(wrongTotal, x);
    EXPECT_NE(decode(wrongTotal).error, "");

    std::vector<uint8_t> truncated(good.begin(), good.end() - 2);
    EXPECT_NE(decode(truncated).error, "");

    std::vector<uint8_t> trailing = good;
    trailing.push_back(0);
    EXPECT_NE(decode(trailing).error, "");
}

TEST(SeamShapeResources, OnlyTheTableSizesExist) {
    size_t pdf = 0;
    for (const auto& r : pavalo::allResources()) pdf += r.type == "PDF";
    EXPECT_EQ(pdf, std::size(kSizes));
    EXPECT_TRUE(pavalo::findResource("PDF", 142).empty());
}

}  // namespace
