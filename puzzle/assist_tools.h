// Assist tools: finding pieces (edges, nearby, by colour), arranging groups
// in rows, solving pieces by rectangle, point or area, and the selection
// seam through which found pieces become selected.
//
// Every walk holds PIECEMutex for its whole run. Finds return the piece
// numbers they collect: groups in list order from head to tail, each group's
// members in member order, every group at most once. Operations that change
// the model return the number of pieces they affected. Nothing here shows a
// window; the commands of assist_commands.h wire these to the front end.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "common/geometry.h"
#include "puzzle/picture_view.h"
#include "puzzle/puzzle_model.h"

namespace pavalo {

// ---- finding ---------------------------------------------------------------

// Edge mask of Find Edges.
inline constexpr int kEdgeTop = 1;
inline constexpr int kEdgeBottom = 2;
inline constexpr int kEdgeLeft = 4;
inline constexpr int kEdgeRight = 8;
inline constexpr int kEdgeAll = kEdgeTop | kEdgeBottom | kEdgeLeft | kEdgeRight;

// Every piece of every group of the list holding a piece on a masked edge
// of the grid (row 0 for Top, the last row for Bottom, column 0 for Left,
// the last column for Right).
std::vector<int32_t> findEdgePieces(const PuzzleModel& model, ListId list, int mask);

// Every piece of every group of the list holding a piece whose grid cell lies
// within `range` columns and rows of the given piece's cell (clipped to the
// grid). The piece's own group is among them when it lies in the list.
std::vector<int32_t> findNearbyPieces(const PuzzleModel& model, ListId list, int32_t piece,
                                      int range);

// The nine sample colours of a colour search, in the picture's pixel form
// (palette index, 16-bit word, or the low 24 bits blue | green << 8 |
// red << 16).
using SampleColours = std::array<uint32_t, 9>;

// Reads the 3 x 3 block of picture pixels around the point (x, y) inside the
// piece, in the coordinates of the list holding it, rows top to bottom and
// left to right. The drawn offset is turned back through the piece's
// rotation so that the samples come from the pixels the player sees. A
// sample outside the piece's box, outside the picture, or from a picture of
// another depth than 8, 16 or 24 reads as 0.
SampleColours sampleColours(const PuzzleModel& model, const PictureView& picture, int32_t piece,
                            int32_t x, int32_t y);

// Closeness of picture pixels to nine samples at a colour range (clamped to
// 0..100), prepared once for many pieces:
// - 24 bits: squared byte differences add up to at most range * 12288 / 100;
// - 16 bits: red and blue field differences times 4, green times 4 (5-5-5)
//   or 2 (5-6-5), squared, add up to at most range * 147 / 100;
// - 8 bits: the palette colours compared as at 24 bits, through a table of
//   256 flags;
// - any other depth matches nothing.
class ColourMatcher {
public:
    ColourMatcher(const PictureView& picture, const SampleColours& samples, int colourRange);

    // Whether one pixel value (in the picture's pixel form) is close to a sample.
    bool close(uint32_t pixel) const;
    // ColorMatchScore: the integer part of matches / total * 100.0 over the
    // piece's opaque pixels read from the picture at its home position.
    // Opaque pixels that fall outside the picture count in the total but never
    // match; a piece without opaque pixels scores 0.
    int score(const Piece& piece) const;

private:
    bool close24(const uint8_t* p) const;

    const PictureView& picture_;
    int depth_ = 0;
    int32_t limit_ = 0;
    std::array<uint8_t, 256> flags8_{};     // 8 bits: index is close
    std::vector<uint8_t> flags16_;          // 16 bits: word is close
    // 24 bits: one bit per colour (blue << 16 | green << 8 | red) that is close.
    std::vector<uint64_t> bits24_;
};

int colorMatchScore(const PictureView& picture, const SampleColours& samples, int colourRange,
                    const Piece& piece);

// Called once for every piece the colour search scores.
using SearchProgress = std::function<void()>;

// Every piece of every group of the list holding a piece that scores at
// least `threshold`; a group's walk stops at its first such piece.
std::vector<int32_t> findColorPieces(const PuzzleModel& model, ListId list,
                                     const PictureView& picture, const SampleColours& samples,
                                     int colourRange, int threshold,
                                     const SearchProgress& progress = {});

// ---- arranging -------------------------------------------------------------

// ArrangeGroups: lays every group of the list (head to tail) out in rows
// inside `area`, moving each group so that its box's top-left lands on the
// slot, which starts at (left + 10, top + 10). Before a group of w x h is
// placed, a slot whose x + w + 5 passes right - 10 starts a new row h + 5
// lower; after it, the slot moves w + 5 right and, once past right - 10,
// starts a new row only h lower. Whenever a new row's y + h + 5 passes
// bottom - 10 and `confine` is off, the area's left and top move by w / 2
// and h / 2 and the slot restarts at its corner (so `area` may change).
// Rows follow each group's own height; groups are never scaled, and with
// `confine` they may run past the bottom. Main-list moves keep to the
// region the model allows.
int arrangeGroups(PuzzleModel& model, ListId list, Rect& area, bool confine);
// The same for the groups whose first member is selected.
int arrangeSelected(PuzzleModel& model, ListId list, Rect& area, bool confine);
// The same for the groups held by network player slot `player`, visited in
// the piece order table (each group once, entries that are no piece skipped).
int arrangePlayerGroups(PuzzleModel& model, int player, ListId list, Rect& area, bool confine,
                        std::span<const int32_t> order);

// ---- selection seam --------------------------------------------------------

// The one way found pieces become selected. A single player or the network
// host selects at once; a networked player asks the host (REQUESTSELECTION)
// and selects what the SELECTPIECES reply grants. Called without PIECEMutex
// held, since a networked selector waits for the host.
class PieceSelector {
public:
    virtual ~PieceSelector() = default;
    // Selects the groups of `pieces` in `list` (those it is granted) and
    // returns the pieces that are now selected.
    virtual std::vector<int32_t> select(PuzzleModel& model, ListId list,
                                        std::span<const int32_t> pieces) = 0;
};

// Selects each found piece's group in the list at once.
class LocalPieceSelector final : public PieceSelector {
public:
    std::vector<int32_t> select(PuzzleModel& model, ListId list,
                                std::span<const int32_t> pieces) override;
};

// ---- solving ---------------------------------------------------------------

// The piece's box at its solved place (rotation 0) for assembly offset (dx, dy).
Rect solvedBox(const PuzzleModel& model, int32_t piece, int32_t dx, int32_t dy);

// SolvePiece for every group of the list holding a piece whose solved box
// meets the rectangle. Returns the number of pieces placed.
int solveInRect(PuzzleModel& model, ListId list, const Rect& rect, int32_t dx, int32_t dy);

// Every piece of every group of the list holding a piece whose solved box
// (at the assembly offset) meets the rectangle.
std::vector<int32_t> findSolvedInRect(const PuzzleModel& model, ListId list, const Rect& rect);

// Selects those pieces through the selector and grows `rect` by the boxes of
// the pieces selected. Returns the number selected.
int selectSolvedInRect(PuzzleModel& model, ListId list, Rect& rect, PieceSelector& selector);

// The assembled picture's rectangle on the play area (picture size, centred,
// moved by the assembly offset).
Rect assembledPictureRect(const PuzzleModel& model);

// The piece whose cell of the cutting grid holds the play-area point, or -1
// when the point lies outside the assembled picture.
int32_t pieceOfSolvedCell(const PuzzleModel& model, int32_t x, int32_t y);

// Solve This Space is possible at the point: it lies inside the assembled
// picture and no piece of the Finished list covers it.
bool solveSpaceAvailable(const PuzzleModel& model, int32_t x, int32_t y);

// Solves the piece's group wherever it lies: the Main list first, then
// sorting boxes 1 to 4 (the Finished and Extra lists are left alone).
// Returns the number of pieces placed.
int solvePieceAnywhere(PuzzleModel& model, int32_t piece);

// Solve This Space: when solveSpaceAvailable, solves the piece whose solved
// cell holds the point wherever it lies. Returns the number of pieces placed.
int solveThisSpace(PuzzleModel& model, int32_t x, int32_t y);

// Solve an area: when the point lies inside the assembled picture, solves
// every cell within `radius` columns and rows of the point's cell (clipped to
// the grid), each piece wherever it lies. Returns the number of pieces placed.
int solveArea(PuzzleModel& model, int32_t x, int32_t y, int radius);

// ---- select all ------------------------------------------------------------

// The play area widened on every side by six times the largest piece size.
Rect selectAllRect(const PuzzleModel& model);

// Every piece of every group of the list whose whole-group box lies inside
// the rectangle.
std::vector<int32_t> piecesOfGroupsInside(const PuzzleModel& model, ListId list, const Rect& rect);

// Every piece of the list, in list and member order.
std::vector<int32_t> allPiecesOf(const PuzzleModel& model, ListId list);

}  // namespace pavalo
