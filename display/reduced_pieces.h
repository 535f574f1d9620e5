// Reduced pieces: the picture and every piece's masks at 1/factor of their
// size, for drawing the play area zoomed out without shrinking a full-size
// frame.
//
// The reduced picture's pixel (X, Y) stands for the picture's cell of
// factor x factor pixels starting at (X * factor, Y * factor): the cell's
// average colour (at 8 bits its middle pixel, the palette kept). The cell
// belongs to the piece whose mask covers the cell's sample point, its middle
// pixel (kept inside the picture for the last, partial cells). Each picture
// pixel belongs to one piece, so the reduced masks cover the reduced picture
// once: joined pieces meet without gaps or overlaps, since members of a group
// share one picture-to-play-area placement and so one cell grid.
//
// A reduced piece is a Piece whose home is its first cell and whose box is
// counted in cells; it keeps no renderCache (its shaded outline is darkened
// on the target as it is drawn, see drawReducedList); its x, y and rotation
// are unused: the full-size piece's place is converted with reducedPlace at
// drawing time.
//
// Ownership: a ReducedPuzzle is a value made from a model and a picture and
// does not refer to them afterwards.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/geometry.h"
#include "display/piece_renderer.h"
#include "puzzle/puzzle_model.h"
#include "surface/draw_surface.h"

namespace pavalo {

// floor(a / b) and ceil(a / b) for b > 0.
inline int32_t floorDivide(int64_t a, int32_t b) { return int32_t(a >= 0 ? a / b : -((-a + b - 1) / b)); }
inline int32_t ceilDivide(int64_t a, int32_t b) { return floorDivide(a + b - 1, b); }

struct ReducedPuzzle {
    int32_t factor = 0;          // 0: nothing made
    int32_t pictureWidth = 0;    // of the full picture, to notice a change
    int32_t pictureHeight = 0;
    DrawSurface picture;         // no pixels without a picture
    std::vector<Piece> pieces;   // one per model piece; width 0: no cell of its own
    OutlineDarkening darkening;  // for the reduced picture; depth 0: no shaded outlines

    // Heap bytes held (picture pixels and the pieces' tables).
    size_t bytes() const;
};

// Makes the reduced copies for `factor` (2 or more) from the model's pieces
// and, when given, the picture. False (and `out` emptied) when the factor is
// below 2 or the picture is larger than the model's geometry allows.
bool buildReducedPuzzle(const PuzzleModel& model, const DrawSurface* picture, int32_t factor,
                        ReducedPuzzle& out);

// Makes the reduced picture again from `picture` (an animated picture's new
// frame); the masks stay.
void refreshReducedPicture(const DrawSurface& picture, ReducedPuzzle& reduced);

// Where the reduced piece `small` of the full-size piece `full` is drawn on a
// window that shows play-area point origin + w * factor at window pixel w:
// its drawn box's top-left, for drawPiece with full.rotation.
Point reducedPlace(const Piece& full, const Piece& small, int32_t factor, Point origin);
// The same for the piece at its solved place (top-left x, y, upright).
Point reducedPlaceAt(const Piece& full, const Piece& small, int32_t factor, Point origin, int32_t x,
                     int32_t y, int32_t rotation);

}  // namespace pavalo
