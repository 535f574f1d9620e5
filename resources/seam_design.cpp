// Draws, checks and encodes the jigsaw seam shapes (see seam_design.h).
#include "resources/seam_design.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>

namespace pavalo::seam {

uint32_t ShapeRng::next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_ * 0x2545f491u;
}

double ShapeRng::uniform(double lo, double hi) {
    double unit = double(next() >> 8) / double(1u << 24);
    return lo + (hi - lo) * unit;
}

namespace {
// Below this size the knob is laid on the pixel grid (see drawKnobParams).
constexpr int kSmallShape = 32;
}  // namespace

KnobParams drawKnobParams(ShapeRng& rng, int size) {
    const double s = size;
    const double edge = s / 2;
    KnobParams p;

    // Proportions of a classic piece, in fractions of S: head about 0.2 to
    // 0.25 wide, neck a bit over half the head's height, the whole knob
    // reaching at most 0.3 from the edge. The knob sits within 0.08 of the
    // edge's middle, and large heads may lean by 0.02 more. With these limits
    // the heads of a vertical and a horizontal seam meeting at one corner
    // stay apart even when the cell is exactly S. Knob and head are centred
    // on row boundaries, so that heights of about whole pixels come out
    // symmetric.
    p.centreY = std::round(s * (0.5 + rng.uniform(-0.08, 0.08)));
    double lean = s * rng.uniform(-0.02, 0.02);
    p.headY = p.centreY + (size >= 64 ? std::round(lean) : 0.0);
    double radius = s * rng.uniform(0.105, 0.125);
    p.headHalfHeight = radius * rng.uniform(0.95, 1.08);
    p.headTipRadius = radius * rng.uniform(0.92, 1.06);
    p.headBackRadius = p.headTipRadius * rng.uniform(0.88, 1.06);
    p.neckHalf = p.headHalfHeight * rng.uniform(0.52, 0.64);

    // The gap between the head's back and the edge leaves a visible neck and
    // makes the head overhang it (rows above and below the neck cross three
    // times).
    double reach = p.headBackRadius + s * rng.uniform(0.04, 0.07);
    p.headX = edge + std::min(reach, s * 0.30 - p.headTipRadius);

    p.headBlend = s * 0.025;
    p.filletRadius = s * rng.uniform(0.085, 0.11);

    // Shoulders: a gentle bow of the whole edge and one broad wave on each
    // side of the knob.
    p.bow = s * rng.uniform(-0.035, 0.025);
    p.bump1 = s * rng.uniform(-0.02, 0.02);
    p.bump1Y = s * rng.uniform(0.18, 0.28);
    p.bump1Width = s * rng.uniform(0.2, 0.3);
    p.bump2 = s * rng.uniform(-0.02, 0.02);
    p.bump2Y = s * rng.uniform(0.72, 0.82);
    p.bump2Width = s * rng.uniform(0.2, 0.3);

    if (size < kSmallShape) {
        // At a few pixels a rounded fillet, a leaning head or sub-pixel
        // offsets only leave stray pixels. Lay the knob on the pixel grid
        // instead: whole-pixel half-heights for neck and head, so the head
        // shows as a symmetric block taller than its neck, at least four rows
        // on a neck of two.
        p.headHalfHeight = std::max(2.0, std::round(p.headHalfHeight));
        p.neckHalf = std::round(p.headHalfHeight * rng.uniform(0.55, 0.7));
        p.neckHalf = std::clamp(p.neckHalf, 1.0, p.headHalfHeight - 1.0);
        p.headTipRadius = p.headHalfHeight * rng.uniform(0.6, 1.4);
        p.headBackRadius = p.headTipRadius * rng.uniform(0.85, 1.05);
        double nearest = edge + p.headBackRadius * 0.8 + 0.5;
        double farthest = edge + s * 0.33 - p.headTipRadius;
        p.headX = std::round(std::min(farthest, nearest + rng.uniform(0.0, 1.0)) * 2) / 2;
        p.headBlend = 0;
        p.filletRadius = 0;
        // Only the broad bow survives as a one-pixel shift of the shoulders;
        // the narrower waves would show as stray notches.
        p.bump1 = p.bump2 = 0;
        if (size < 16) p.bow = 0;
    }
    return p;
}

namespace {

// Polynomial smooth union of two signed distances (negative inside): equal to
// min(a, b) away from the seam between them, rounded with radius k near it.
double smoothUnion(double a, double b, double k) {
    if (k <= 0) return std::min(a, b);
    double h = std::max(k - std::fabs(a - b), 0.0) / k;
    return std::min(a, b) - h * h * k * 0.25;
}

// A bump of height 1 at t = 0 falling smoothly to 0 at |t| = 1.
double bump(double t) {
    if (t <= -1 || t >= 1) return 0;
    double u = 1 - t * t;
    return u * u;
}

// Horizontal displacement of the shoulders at row position y. The factor
// 4v(1-v) pins the edge to the middle at the top and bottom of the shape.
double shoulderWave(const KnobParams& p, double y, double size) {
    double v = y / size;
    double pin = 4 * v * (1 - v);
    double wave = p.bow * pin + p.bump1 * bump((y - p.bump1Y) / p.bump1Width) +
                  p.bump2 * bump((y - p.bump2Y) / p.bump2Width);
    return wave * pin;
}

// Signed distance to the left cell (negative inside) at point (x, y).
double leftCellDistance(const KnobParams& p, double x, double y, double size) {
    const double edge = size / 2;
    double shoulders = x - (edge + shoulderWave(p, y, size));

    // Neck: a band from a little inside the left cell to the head centre,
    // leaning from the knob's row at the edge to the head's row.
    double along = std::clamp((x - edge) / (p.headX - edge), 0.0, 1.0);
    double neckY = p.centreY + (p.headY - p.centreY) * along;
    double neckLeft = edge - size * 0.08;
    double neck = std::max(std::fabs(y - neckY) - p.neckHalf, std::max(neckLeft - x, x - p.headX));

    double dx = x - p.headX;
    double dy = y - p.headY;
    double rx = dx >= 0 ? p.headTipRadius : p.headBackRadius;
    double q = std::sqrt((dx / rx) * (dx / rx) + (dy / p.headHalfHeight) * (dy / p.headHalfHeight));
    double head = (q - 1) * std::min(rx, p.headHalfHeight);

    double knob = smoothUnion(neck, head, p.headBlend);
    return smoothUnion(shoulders, knob, p.filletRadius);
}

// Number of colour changes along row y.
int crossings(const ShapeImage& shape, int y) {
    int n = 0;
    for (int x = 1; x < shape.size; ++x)
        if (shape.at(x, y) != shape.at(x - 1, y)) ++n;
    return n;
}

// Number of 4-connected regions of the given colour.
int regionCount(const ShapeImage& shape, uint8_t colour) {
    const int s = shape.size;
    std::vector<uint8_t> seen(shape.pixels.size(), 0);
    std::vector<int> stack;
    int regions = 0;
    for (int start = 0; start < s * s; ++start) {
        if (seen[size_t(start)] || shape.pixels[size_t(start)] != colour) continue;
        ++regions;
        seen[size_t(start)] = 1;
        stack.push_back(start);
        while (!stack.empty()) {
            int i = stack.back();
            stack.pop_back();
            int x = i % s, y = i / s;
            const int nx[4] = {x - 1, x + 1, x, x};
            const int ny[4] = {y, y, y - 1, y + 1};
            for (int k = 0; k < 4; ++k) {
                if (nx[k] < 0 || ny[k] < 0 || nx[k] >= s || ny[k] >= s) continue;
                size_t j = size_t(ny[k]) * size_t(s) + size_t(nx[k]);
                if (seen[j] || shape.pixels[j] != colour) continue;
                seen[j] = 1;
                stack.push_back(int(j));
            }
        }
    }
    return regions;
}

int lastLeftColumn(const ShapeImage& shape, int y) {
    int x = 0;
    while (x + 1 < shape.size && shape.at(x + 1, y) == 0) ++x;
    return x;
}

// Where the knob reaches furthest: its rightmost colour-0 column, and the
// middle of the rows that reach it (the head's middle, level with the neck).
struct KnobTip {
    int x = -1;
    int row = 0;
};

KnobTip findTip(const ShapeImage& shape) {
    KnobTip tip;
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

// How much the knob pinches between the edge and its head. Along the tip
// row, each column right of the edge has a height: that of the colour-0 run
// holding the tip row. Walking in from the tip, the result is the smallest
// ratio of a column's height to the tallest column further out: below 1 the
// knob narrows to a neck and widens again into the head.
double neckToHeadRatio(const ShapeImage& shape, const KnobTip& tip) {
    const int s = shape.size;
    double ratio = 1.0;
    int widest = 0;
    for (int x = tip.x; x > boundaryColumn(s); --x) {
        if (shape.at(x, tip.row) != 0) continue;
        int top = tip.row, bottom = tip.row;
        while (top > 0 && shape.at(x, top - 1) == 0) --top;
        while (bottom + 1 < s && shape.at(x, bottom + 1) == 0) ++bottom;
        int height = bottom - top + 1;
        if (widest > 0) ratio = std::min(ratio, double(height) / widest);
        widest = std::max(widest, height);
    }
    return ratio;
}

// Point sampling of a round outline leaves single-pixel spurs where the
// outline grazes a row or column of pixel centres: a lone pixel on top of
// the head, a speck on a shoulder. Removes every colour-0 pixel with at most
// one colour-0 neighbour (of four), repeatedly. Colour-255 pixels are left
// alone: a one-pixel gap between the head and the shoulder is exactly such a
// pixel, and it is what makes the head overhang its neck on small shapes.
void removeSpurs(ShapeImage& shape) {
    const int s = shape.size;
    bool changed = true;
    while (changed) {
        changed = false;
        for (int y = 1; y + 1 < s; ++y) {
            for (int x = 1; x + 1 < s; ++x) {
                if (shape.at(x, y) != 0) continue;
                int agree = (shape.at(x - 1, y) == 0) + (shape.at(x + 1, y) == 0) + (shape.at(x, y - 1) == 0) +
                            (shape.at(x, y + 1) == 0);
                if (agree <= 1) {
                    shape.pixels[size_t(y) * size_t(s) + size_t(x)] = 255;
                    changed = true;
                }
            }
        }
    }
}

}  // namespace

ShapeImage renderShape(int size, const KnobParams& params) {
    ShapeImage shape;
    shape.size = size;
    shape.pixels.assign(size_t(size) * size_t(size), 255);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            if (leftCellDistance(params, x + 0.5, y + 0.5, size) < 0)
                shape.pixels[size_t(y) * size_t(size) + size_t(x)] = 0;
    removeSpurs(shape);
    return shape;
}

std::string checkShape(const ShapeImage& shape) {
    const int s = shape.size;
    const int b = boundaryColumn(s);
    const KnobTip tip = findTip(shape);
    int overhangAbove = 0, overhangBelow = 0;
    int widestOverhang = 0;  // longest colour-0 run beyond a gap (the head's back)
    for (int y = 0; y < s; ++y) {
        if (shape.at(0, y) != 0) return "row " + std::to_string(y) + " starts with colour 255";
        if (shape.at(s - 1, y) != 255) return "row " + std::to_string(y) + " ends with colour 0";
        int n = crossings(shape, y);
        if (n > 3) return "row " + std::to_string(y) + " crosses " + std::to_string(n) + " times";
        if (n == 3) {
            (y < tip.row ? overhangAbove : overhangBelow) += 1;
            int x = lastLeftColumn(shape, y) + 1;
            while (shape.at(x, y) != 0) ++x;
            int start = x;
            while (shape.at(x, y) == 0) ++x;
            widestOverhang = std::max(widestOverhang, x - start);
        }
    }
    for (int y : {0, s - 1}) {
        if (crossings(shape, y) != 1 || lastLeftColumn(shape, y) != b)
            return "row " + std::to_string(y) + " does not cross at column " + std::to_string(b);
    }
    if (overhangAbove == 0 || overhangBelow == 0) return "the head does not overhang its neck on both sides";
    if (widestOverhang < 2) return "the head is a one-pixel bar";
    if (tip.x < b + 1 + std::max(2, s / 6)) return "the knob is too short";
    if (regionCount(shape, 0) != 1) return "colour 0 is not one region";
    if (regionCount(shape, 255) != 1) return "colour 255 is not one region";
    // Small shapes can only pinch by whole pixels; larger ones must show a
    // clear neck.
    double ratio = neckToHeadRatio(shape, tip);
    if (ratio >= 1.0 || (s >= 32 && ratio > 0.8)) return "the knob has no neck narrower than its head";
    return {};
}

std::vector<ShapeImage> designShapeSet(int size) {
    ShapeRng rng(0x5ea77a11u ^ (uint32_t(size) * 0x01000193u));
    std::vector<ShapeImage> shapes;
    std::set<std::vector<uint8_t>> seen;
    for (int i = 0; i < kShapesPerSet; ++i) {
        // Draw until a shape passes the checks; prefer one not yet in the set
        // (the smallest sizes have few distinct pixel patterns, so a repeat is
        // accepted when fresh ones run out).
        ShapeImage fallback;
        bool placed = false;
        for (int attempt = 0; attempt < 400 && !placed; ++attempt) {
            ShapeImage shape = renderShape(size, drawKnobParams(rng, size));
            if (!checkShape(shape).empty()) continue;
            if (seen.insert(shape.pixels).second) {
                shapes.push_back(std::move(shape));
                placed = true;
            } else if (fallback.size == 0) {
                fallback = std::move(shape);
            }
            if (!placed && fallback.size != 0 && attempt >= 40) {
                shapes.push_back(std::move(fallback));
                placed = true;
            }
        }
        if (!placed) {
            std::fprintf(stderr, "seam design: no usable shape of size %d\n", size);
            std::exit(1);
        }
    }
    return shapes;
}

std::vector<uint8_t> encodeShapeSet(const std::vector<ShapeImage>& shapes) {
    std::vector<uint8_t> out;
    auto put = [&out](uint32_t v) {
        for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
    };
    const int s = shapes.empty() ? 0 : shapes.front().size;
    put(uint32_t(s));
    put(uint32_t(s));
    put(uint32_t(shapes.size()));
    std::vector<uint32_t> runs;
    for (const ShapeImage& shape : shapes) {
        for (int y = 0; y < s; ++y) {
            runs.clear();
            uint8_t colour = 0;
            uint32_t length = 0;
            for (int x = 0; x < s; ++x) {
                if (shape.at(x, y) != colour) {
                    runs.push_back(length);  // zero only when a row opens with 255
                    colour = shape.at(x, y);
                    length = 0;
                }
                ++length;
            }
            runs.push_back(length);
            put(uint32_t(runs.size()));
            for (uint32_t r : runs) put(r);
        }
    }
    return out;
}

}  // namespace pavalo::seam
