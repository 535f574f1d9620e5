// Piece rendering: one piece drawn through its run-length mask at any quarter
// turn and clipped to its target, the shaded outline colours kept per piece,
// and the walks that draw the lists, the assembled picture and the puzzle
// outline onto the play area's back buffer.
//
// Pieces are drawn straight from their PieceMasks into the target's pixel
// memory: one fill or copy per run when upright or upside down, one pixel
// per step at the odd rotations. Outline masks come from extractOutlines
// (puzzle/cutter.h), which the cut runs; the renderer only reads them.
//
// Locking: the list walks hold PIECEMutex for their whole run and take the
// surfaces' pixel pointers inside it. drawPiece takes the pointers with
// lock() and never unlocks; callers lock before a batch and unlock after.
//
// Masks must be valid for their piece's box (pieceMaskIsValid); the cutter
// makes them so and the file readers check them.
//
// Failure: nothing here reports errors. A piece wholly outside its target is
// skipped; a surface without pixels draws nothing; picture pixels are read
// only inside the picture and shaded colours only inside the piece's cache.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "surface/draw_surface.h"
#include "common/geometry.h"
#include "puzzle/holder_table.h"
#include "puzzle/puzzle_model.h"

namespace pavalo {

struct ReducedPuzzle;

// What drawPiece draws.
enum class PieceDrawMode : int32_t {
    Piece = 1,         // picture pixels through the shape mask (the solid colour without a picture)
    SolidOutline = 2,  // the solid colour through the outline mask
    ShadedOutline = 3,  // the piece's renderCache through the outline mask
};

// How outline pixels are darkened for a picture's format: 24/32 bits each
// colour byte b - (b >> 2); 16 bits halved channels; 8 bits through `table`,
// the palette colour darkened by a quarter and matched back to the palette.
struct OutlineDarkening {
    int32_t depth = 0;  // 0: no picture, nothing to darken
    bool is555 = false;
    std::array<uint8_t, 256> table{};
};

// The darkening for `picture`'s depth and palette (the grey palette when an
// 8-bit picture has none); depth 0 without pixels.
OutlineDarkening outlineDarkening(const DrawSurface& picture);

// Bits and values of RendererState::viewMode.
inline constexpr int32_t kViewPiecesShown = 1;
inline constexpr int32_t kViewPlayAreaHidden = 2;  // only the Finished list is drawn
inline constexpr int32_t kViewAssembled = 4;       // the assembled picture instead of pieces
inline constexpr int32_t kViewFinished = 16;       // the whole value: the puzzle is finished
inline constexpr int32_t kViewNoPuzzle = 32;       // the whole value: no puzzle yet

// What the view shows.
enum class DisplayState : int32_t {
    Playing = 0,
    StartupAnimation = 1,
    Tile = 2,  // the background tile, no puzzle
};

// The chosen colours as 0x00BBGGRR values; the native forms in
// RendererState are derived from them for the back buffer's format. The
// all-ones value stays all ones: the brightest colour at every depth (white,
// or palette index 255).
struct ColourOptions {
    uint32_t piece = 0xFFFFFFFF;          // "Piece Outline"
    uint32_t background = 0;              // "Background"
    uint32_t puzzleOutline = 0xFFFFFFFF;  // "Puzzle Outline"
    uint32_t selectionRect = 0xFFFFFFFF;  // "Selection Rectangle"
};

// A chosen colour in `target`'s native form (all ones stays all ones).
uint32_t nativeOptionColour(const DrawSurface& target, uint32_t chosen);

// The renderer's state, one object for the whole view. Colours are native
// pixel values of the back buffer's format (see DrawSurface::nativeColour).
struct RendererState {
    ColourOptions options;
    uint32_t pieceColour = 0xFFFFFFFF;
    uint32_t othersColour = 0xFF0000;  // outline of pieces another player holds
    uint32_t backgroundColour = 0;
    uint32_t puzzleOutlineColour = 0xFFFFFFFF;
    uint32_t selectionRectColour = 0xFFFFFFFF;

    bool outlinesShown = true;        // "View/Hide Piece Outlines"
    bool puzzleOutlineShown = false;  // "View/Hide Puzzle Outline"
    int32_t viewMode = kViewPiecesShown;
    DisplayState displayState = DisplayState::Playing;
    bool rebuildBuffers = true;  // make the back buffer again at the next update
    bool updating = false;       // an update is running; re-entered updates return
    bool frozen = false;         // show the back buffer as it is, without composing
    bool reacquire = false;      // re-enter full screen at the next update

    // Network game: pieces held by a player other than localPlayer get
    // othersColour outlines in the Main list.
    bool multiplayer = false;
    int32_t localPlayer = kNoHolder;

    // Depth of the pixels in the pieces' renderCaches (0: none built). Shaded
    // outlines are drawn only onto targets of this depth.
    int32_t shadesDepth = 0;

    // Sets the native colours from `options` for `target`'s format
    // (othersColour is pure red).
    void refreshNativeColours(const DrawSurface& target);
};

// Draws `piece` onto `target` with its box's top-left at (x, y), turned by
// `rotation` quarter turns clockwise (taken modulo 4). Mask pixel (c, r) lands
// at (x + c, y + r) at rotation 0, (x + h - 1 - r, y + c) at 1,
// (x + w - 1 - c, y + h - 1 - r) at 2 and (x + r, y + w - 1 - c) at 3.
// `colour` is the native colour of the solid modes. Pixels outside the target
// (and outside `clip` when given) are not touched. Mode Piece reads the
// picture at (homeX + c, homeY + r); picture pixels outside the picture are
// not drawn, and a picture whose depth differs from the target's is treated
// as no picture. Returns false when nothing of the piece lies inside.
bool drawPiece(DrawSurface& target, DrawSurface* picture, const Piece& piece, int32_t x, int32_t y,
               int32_t rotation, PieceDrawMode mode, uint32_t colour, const Rect* clip = nullptr);
// The same at the piece's own place and rotation.
bool drawPiece(DrawSurface& target, DrawSurface* picture, const Piece& piece, PieceDrawMode mode,
               uint32_t colour, const Rect* clip = nullptr);

// Makes every piece's renderCache from `picture`: the picture's pixels under
// the outline mask, in mask order, darkened as outlineDarkening(picture)
// says. Pixels outside the picture count as black. Without a picture (or
// pixels) every cache is freed and 0 is returned; otherwise the depth of the
// cached pixels.
// After the colours the cache keeps the outline pixels' mask positions and
// their count, so that an unclipped outline is drawn without walking its
// mask; drawPiece takes a cache of any other size as colours alone.
int32_t buildOutlineShades(PuzzleModel& model, const DrawSurface* picture);

// The 8-bit darkening table for a palette: index i maps to the entry nearest
// colour i with each channel reduced by a quarter.
std::array<uint8_t, 256> darkeningTable(const PaletteTable& palette);

// Whether the piece's own drawn box meets `rect`. False when the piece is not
// in the list (ListId::None: any piece).
bool pieceMeetsRect(const PuzzleModel& model, ListId list, const Rect& rect, int32_t piece);

// Draws lists, the assembled picture and the puzzle outline with the state's
// colours and flags.
class PieceRenderer {
public:
    RendererState state;

    // drawPiece with pieceColour as the solid colour.
    bool drawPiece(DrawSurface& target, DrawSurface* picture, const Piece& piece, int32_t x,
                   int32_t y, int32_t rotation, PieceDrawMode mode,
                   const Rect* clip = nullptr) const;

    // Draws every piece of `list` whose box meets `rect` (for the Main list
    // the Finished list first, beneath it; the Main list itself unless
    // viewMode has kViewPlayAreaHidden), tail to head and each group's
    // members first to last, so later pieces cover earlier ones. Each piece:
    // mode Piece, then its outline: selected members get a pieceColour
    // outline; unselected Main-list members held by another player in a
    // network game an othersColour outline; others the shaded outline when
    // outlinesShown and viewMode is not kViewFinished. Drawing is clipped to
    // `rect`, so pixels outside it stay as they were; `rect` grows to cover
    // the boxes of all drawn pieces. Holds PIECEMutex throughout.
    void drawAllOutlinesAndPieces(const PuzzleModel& model, ListId list, Rect& rect,
                                  DrawSurface& target, DrawSurface* picture) const;

    // Every piece at its solved place (play-area centre minus half the
    // picture, plus home and offset), upright, mode Piece, clipped to `rect`.
    void drawAssembled(const PuzzleModel& model, const Rect& rect, DrawSurface& target,
                       DrawSurface* picture, int32_t offsetX, int32_t offsetY) const;
    // Every piece's outline at its solved place in puzzleOutlineColour.
    void drawPuzzleOutline(const PuzzleModel& model, const Rect& rect, DrawSurface& target,
                           int32_t offsetX, int32_t offsetY) const;

    // Zoomed out: the same walk as drawAllOutlinesAndPieces from the reduced
    // pieces onto a target in window pixels, where window pixel w shows the
    // play-area point origin + w * reduced.factor; drawing is clipped to
    // `clip` (window pixels). Shaded outlines only when `shadedOutlines`:
    // reduced pieces keep no shaded colours, so the outline pixels the piece
    // has just been drawn with are darkened where they lie, which draws the
    // same colours as a cache made from the reduced picture.
    void drawReducedList(const PuzzleModel& model, const ReducedPuzzle& reduced, ListId list, const Rect& clip,
                         DrawSurface& target, Point origin, bool shadedOutlines) const;
    // Zoomed out: every reduced piece at its solved place, upright: the
    // picture (mode Piece) or, with `outlines`, the puzzle outline.
    void drawReducedAssembled(const PuzzleModel& model, const ReducedPuzzle& reduced, const Rect& clip,
                              DrawSurface& target, Point origin, bool outlines) const;

    // buildOutlineShades, remembering the depth in state.shadesDepth.
    void buildOutlineShades(PuzzleModel& model, const DrawSurface* picture);

private:
    // The pieces of one drawAllOutlinesAndPieces pass, kept to reuse its memory.
    mutable std::vector<int32_t> drawOrder_;

    // Another player (not nobody, not the local player) holds the piece.
    bool heldByOther(const PuzzleModel& model, int32_t piece) const;
};

}  // namespace pavalo
