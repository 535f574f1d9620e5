// Design of the jigsaw seam shapes that the build embeds as "PDF" resources.
//
// A seam shape is an S x S picture of the neighbourhood of one vertical seam:
// colour 0 is the left cell, colour 255 the right cell. The boundary runs from
// the top edge to the bottom edge and carries one knob, a rounded head on a
// narrower neck, that always points RIGHT: the left cell (colour 0) bulges
// into the right cell. The cutter mirrors a shape (and swaps its colours) to
// get a knob pointing the other way.
//
// Every shape of every size has its top-row and bottom-row boundary at the
// same column, boundaryColumn(S) = S/2 - 1 (the last colour-0 column). That
// column maps onto itself under the cutter's mirror (S - b - 2), so seams made
// of mirrored and unmirrored shapes join without steps.
//
// Shapes are drawn from a fixed seed with a generator of our own, so the
// output is the same on every build.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace pavalo::seam {

struct SeamSize {
    uint32_t id;  // resource id of type "PDF"
    int size;     // S: shape width and height in pixels
};

// The 21 shape sets, in resource-table order.
inline constexpr std::array<SeamSize, 21> kSeamSizes = {{
    {141, 12},  {153, 16},  {155, 20},  {157, 24},  {159, 28},  {160, 32},  {161, 36},
    {162, 40},  {163, 44},  {164, 48},  {165, 56},  {166, 64},  {167, 72},  {150, 80},
    {169, 96},  {168, 112}, {151, 128}, {152, 160}, {154, 192}, {156, 224}, {158, 256},
}};

inline constexpr int kShapesPerSet = 48;

// Last colour-0 column of the top and bottom rows of every shape of size S.
inline constexpr int boundaryColumn(int size) { return size / 2 - 1; }

// One rendered shape: size x size bytes, row-major, each 0 or 255.
struct ShapeImage {
    int size = 0;
    std::vector<uint8_t> pixels;

    uint8_t at(int x, int y) const { return pixels[size_t(y) * size_t(size) + size_t(x)]; }
};

// The free choices of one knob, in pixels of a shape of size S. The head is
// an ellipse whose half-width differs on its tip side and its neck side (an
// egg rather than a disc when they differ); the neck is a band of half-height
// neckHalf from the edge to the head centre; smooth unions with radii
// headBlend and filletRadius round the neck into the head and into the
// shoulders. The shoulders are the edge line shifted by a wave that vanishes
// at the top and bottom.
struct KnobParams {
    double centreY = 0;       // where the knob sits along the edge
    double headX = 0;         // head centre, measured from the left border
    double headY = 0;         // head centre row (may lean away from centreY)
    double headTipRadius = 0; // half-width of the head towards its tip
    double headBackRadius = 0;// half-width of the head towards the neck
    double headHalfHeight = 0;
    double neckHalf = 0;
    double headBlend = 0;
    double filletRadius = 0;
    // Shoulder wave: overall bow plus two bumps, in pixels of displacement
    // (positive moves the edge to the right, into the right cell).
    double bow = 0;
    double bump1 = 0, bump1Y = 0, bump1Width = 0;
    double bump2 = 0, bump2Y = 0, bump2Width = 0;
};

// Small deterministic generator (32-bit xorshift with a multiply on output).
class ShapeRng {
public:
    explicit ShapeRng(uint32_t seed) : state_(seed ? seed : 0x9e3779b9u) {}
    uint32_t next();
    // A value in [lo, hi) built from 24 bits of one draw.
    double uniform(double lo, double hi);

private:
    uint32_t state_;
};

// Draws the knob choices for one shape of the given size.
KnobParams drawKnobParams(ShapeRng& rng, int size);

// Renders a shape: a pixel is colour 0 when its centre lies inside the left
// cell (the region left of the shoulders, united with the knob).
ShapeImage renderShape(int size, const KnobParams& params);

// Checks that a shape is usable in a seam: every row starts with colour 0 and
// ends with colour 255, no row crosses more than three times, top and bottom
// rows cross at boundaryColumn, the knob overhangs its neck (some rows cross
// three times), and each colour is one 4-connected region. Returns an empty
// string when the shape passes, otherwise what is wrong.
std::string checkShape(const ShapeImage& shape);

// The 48 shapes of one size, each checked; deterministic.
std::vector<ShapeImage> designShapeSet(int size);

// Encodes a shape set as a "PDF" resource: height, width, count, then for each
// shape and row a run count and the run lengths (colour 0 first), all u32
// little-endian.
std::vector<uint8_t> encodeShapeSet(const std::vector<ShapeImage>& shapes);

}  // namespace pavalo::seam
