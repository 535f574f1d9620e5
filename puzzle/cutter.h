// Cutting a picture into pieces: the cut template built from seam shapes,
// the cut into pieces with their masks and outlines, the scatter, and the
// whole new-puzzle cut sequence in the order of its random draws.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/random.h"
#include "puzzle/puzzle_model.h"
#include "puzzle/seam_shapes.h"

namespace pavalo {

// Progress in percent (0..100) for the document's progress window.
using CutProgress = std::function<void(int percent)>;

// An S-wide, length-high strip holding a vertical seam of `segments` shapes:
// each row is colour 0 up to and including its boundary column and 255 after
// it, except the rows of the shapes themselves, which are copied.
Bitmap8 buildVerticalSeamStrip(int32_t length, int32_t segments, const SeamShapeSet& shapes,
                               Random& rng);

// Cell numbers of a picture, one 16-bit value per pixel, for grids where 8
// bits are not enough (see cellNumbersNeedSixteenBits).
struct CellMap {
    int32_t width = 0, height = 0;
    std::vector<uint16_t> pixels;

    CellMap() = default;
    CellMap(int32_t w, int32_t h, uint16_t fill = 0)
        : width(w), height(h), pixels(size_t(w) * size_t(h), fill) {}
    uint16_t* row(int32_t y) { return pixels.data() + size_t(y) * size_t(width); }
    const uint16_t* row(int32_t y) const { return pixels.data() + size_t(y) * size_t(width); }
    uint16_t at(int32_t x, int32_t y) const { return row(y)[x]; }
};

// Whether the numbers (1 + column * rows + row) mod 256 repeat between cells
// close enough for the cell-box search to take one for the other (with 127
// to 129 or 253 to 259 rows, for example). Such grids number their cells in
// 16 bits.
bool cellNumbersNeedSixteenBits(int32_t cols, int32_t rows);

// The cut template: every pixel of a W x H picture holds the number
// (1 + column * rows + row) mod 256 of the cell it belongs to (row alone for a
// single column, where no vertical seam writes a column number); `wide`
// holds the numbers without the modulo instead, and `pixels` is empty, when
// cellNumbersNeedSixteenBits. Also yields the join tolerance for the cell
// size. Nothing when the shapes cannot be loaded.
struct CutTemplate {
    Bitmap8 pixels;
    CellMap wide;
    int32_t snapTolerance = 7;
    int32_t shapeSize = 0;
};
std::optional<CutTemplate> createTemplate(int32_t width, int32_t height, int32_t cols, int32_t rows,
                                          Random& rng, std::string* error = nullptr,
                                          const CutProgress& progress = {});
// The same with given shapes (tests use their own).
CutTemplate createTemplateWithShapes(int32_t width, int32_t height, int32_t cols, int32_t rows,
                                     const SeamShapeSet& shapes, Random& rng,
                                     const CutProgress& progress = {});

// Cuts the template into cols x rows pieces and fills the model: the pieces
// with their boxes and masks, the Main list with one shuffled group per
// piece, and the outlines.
void cutPuzzle(const Bitmap8& tmpl, int32_t cols, int32_t rows, Random& rng, PuzzleModel& model,
               const CutProgress& progress = {});
void cutPuzzle(const CellMap& tmpl, int32_t cols, int32_t rows, Random& rng, PuzzleModel& model,
               const CutProgress& progress = {});
// Whichever of the two the template holds.
void cutPuzzle(const CutTemplate& tmpl, int32_t cols, int32_t rows, Random& rng, PuzzleModel& model,
               const CutProgress& progress = {});

// Rebuilds the outline mask of every piece of the Main list from its shape:
// the opaque pixels that touch a transparent pixel or the box edge.
void extractOutlines(PuzzleModel& model);

// Scatters every piece around the picture's place, never within 10 pixels of
// the picture; with rotate, every piece gets a random rotation.
void scatterPieces(PuzzleModel& model, Random& rng, bool rotate);

// Turns the rotation option of a cut puzzle on or off. On: every group of
// the Main list and the four sorting boxes turns a quarter turn clockwise
// rand() mod 4 times. Off: every such group turns back until its first piece
// is upright. Finished pieces are not touched.
void applyRotationOption(PuzzleModel& model, bool on, Random& rng);

// The piece order table: 0..n-1 shuffled by 4 n random swaps.
std::vector<int32_t> makePieceOrderTable(int32_t n, Random& rng);

// Everything a new cut needs.
struct CutRequest {
    int32_t pictureWidth = 0, pictureHeight = 0;
    int32_t columns = 0, rows = 0;
    int32_t playWidth = 1920, playHeight = 1080;
    bool rotate = false;
};

// The new-puzzle cut sequence: piece order table, template, cut, scatter,
// drawing from `rng` in that order. Fills `model` (replacing what it held)
// and `order`. False with a reason when the request is unusable or the
// shapes are missing; the model is then left as it was.
bool runCutSequence(const CutRequest& request, Random& rng, PuzzleModel& model,
                    std::vector<int32_t>& order, std::string& error,
                    const CutProgress& progress = {});

}  // namespace pavalo
