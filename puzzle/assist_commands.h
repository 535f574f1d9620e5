// The assist-tool commands of the play-area view: the three finds with their
// selection and delivery into a sorting box, Solve This Piece / Space,
// Arrange, Select All, Solve an area, and the arrange, solve and find tools
// of a dragged rectangle. They run the walks of assist_tools.h and tell the
// front end what to open, move, caption and redraw through AssistFrontEnd.
//
// Sorting boxes are numbered 1 to 4 here, as the player sees them. The
// commands run on the user-interface thread; each walk takes PIECEMutex, and
// the selector is called between walks, without it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/random.h"
#include "puzzle/searching_progress.h"
#include "puzzle/assist_tools.h"
#include "puzzle/hit_code.h"
#include "puzzle/joining.h"
#include "puzzle/puzzle_model.h"

namespace pavalo {

// "Box %d", "Box %d  (%d pieces)" or "Box %d  (%d pieces / %d selected)"
// (two blanks before the parenthesis) for box 1..4 and its list's counts.
std::string sortingBoxCaption(int box, int32_t pieces, int32_t selected);
std::string sortingBoxCaption(const PuzzleModel& model, int box);

// What the commands need from the windows and the network layer. Every call
// has a harmless default.
class AssistFrontEnd {
public:
    virtual ~AssistFrontEnd() = default;

    // Sorting box windows (box 1..4).
    virtual bool isBoxOpen(int /*box*/) const { return false; }
    // Opens the box window (with its sound and caption) and marks it open.
    virtual void openBox(int /*box*/) {}
    // The box window's client area in the box's own coordinates.
    virtual Rect boxClientArea(int /*box*/) const { return {}; }
    virtual void resetBoxScroll(int /*box*/) {}
    virtual void setBoxCaption(int /*box*/, const std::string& /*caption*/) {}
    virtual void redrawPlayArea() {}
    virtual void redrawBox(int /*box*/) {}

    // Network announcements of a player who is not the host.
    virtual void announceIntoSortingBox(const std::vector<int32_t>& /*pieces*/) {}
    // Something in the Main list was deselected (every player is told).
    virtual void announceDeselection() {}

    // The "Searching" window of the colour search.
    virtual void searchingOpened(const SearchingProgress& /*progress*/) {}
    virtual void searchingStepped(const SearchingProgress& /*progress*/) {}
    virtual void searchingClosed() {}
};

struct AssistGame {
    bool networkGame = false;
    bool host = true;  // this machine hosts the network game, or plays alone
};

class AssistCommands {
public:
    AssistCommands(PuzzleModel& model, AssistFrontEnd& frontEnd, PieceSelector& selector,
                   CompletionActions& completion, uint32_t& puzzleState, Random& rng,
                   AssistGame game = {});

    // The last hit code: the view sets it on every hit test; a delivery into
    // a sorting box moves it to that box.
    HitCode lastHit() const { return lastHit_; }
    void setLastHit(HitCode hit) { lastHit_ = hit; }

    // ---- finds (delivery 0 for none, 1..4 for a sorting box) ----
    // Each searches the Main list, then sorting boxes 1 to 4, selects what it
    // found in the list it was found in and, with a box chosen, gathers the
    // selected groups of the other lists into that box, opening it first,
    // arranges it (confined to its client area), scrolls it home and
    // deselects it. Returns the number of pieces selected by the find.
    int findEdges(int mask, int delivery);
    // Needs a piece: the piece of the last hit, searched around in every list.
    int findNearby(int range, int delivery);
    // Samples at the click point (x, y) inside the last hit piece; all 0
    // without a piece.
    SampleColours takeSamples(const PictureView& picture, int32_t x, int32_t y) const;
    // The Main list is searched with the "Searching" window open.
    int findByColour(const PictureView& picture, const SampleColours& samples, int colourRange,
                     int threshold, int delivery);

    // ---- solving (each ends with the completion check) ----
    // On a piece: solves its group in its list (Main or the box of the hit).
    // On empty play area: Solve This Space at (x, y). Returns pieces placed.
    int solveThisPiece(int32_t x, int32_t y);
    // Solve an area of `radius` cells around (x, y). Returns pieces placed.
    int solveArea(int32_t x, int32_t y, int radius);

    // ---- arrange and select all ----
    // In a box: its list in its client area, confined, scroll reset. On the
    // play area: the Main list in (0, 0, viewWidth, viewHeight), unconfined.
    int arrange(int32_t viewWidth, int32_t viewHeight);
    // Deselects every list, then selects the focused list's pieces: a box's
    // whole list, or the play area's groups inside selectAllRect.
    int selectAll();

    // ---- rectangle tools (rect in the list's coordinates) ----
    // Arranges the list's selected groups in the rectangle (confined in a
    // sorting box, unconfined on the play area).
    int arrangeTool(ListId list, const Rect& rect);
    // Solves, over the Main list and the four boxes, the groups whose solved
    // boxes meet the rectangle, or (selectedOnly) the selected groups. Sound
    // 8 when nothing was placed; outside a network game a placement plays
    // sound 0 and runs the completion check.
    int solveTool(const Rect& rect, bool selectedOnly);
    // Selects, in the Main list and the four boxes, the groups that belong
    // inside the rectangle; sound 17 when any were selected, else sound 8.
    // `rect` grows by the selected pieces' boxes.
    int findTool(Rect& rect);

    // Sets the caption of every open sorting box from its list.
    void refreshBoxCaptions();

private:
    template <class Find>
    int findAndDeliver(Find&& find, int delivery);
    void checkCompletion();

    PuzzleModel& model_;
    AssistFrontEnd& frontEnd_;
    PieceSelector& selector_;
    CompletionActions& completion_;
    uint32_t& puzzleState_;
    Random& rng_;
    AssistGame game_;
    HitCode lastHit_;
};

}  // namespace pavalo
