// Joining pieces and completion: what happens when a group is let go — joins
// with fitting neighbours, the snap into the solved picture, the report of
// each outcome to the network layer, applying outcomes decided elsewhere,
// and the completion of the puzzle.
#pragma once

#include <cstdint>

#include "common/random.h"
#include "puzzle/puzzle_model.h"

namespace pavalo {

// Grid neighbours share an edge of their cells.
bool gridNeighbours(const PuzzleModel& model, int32_t a, int32_t b);

// a and b have the same rotation, are grid neighbours, and a lies within the
// join tolerance (inclusive) of its expected position beside b.
bool neighbourFits(const PuzzleModel& model, int32_t a, int32_t b);

// Merges the piece's group into the first group of the list (head to tail)
// holding a member that fits a member of it. Returns the number of the group
// merged into, or -1 when none fits, for the Finished list, or for a piece
// not in the list. Callers repeat until -1.
// A group another player holds (anyone but `player`) is in that player's
// hand, not on the table: nothing joins it.
int32_t joinNeighbours(PuzzleModel& model, ListId list, int32_t piece, int player = kNoHolder);

// In the Main list, an upright piece within 2 t (strict) of its solved place
// sends its whole group to the Finished list (result 1). Otherwise the group
// settles into the list order (result 0).
int snapToSolved(PuzzleModel& model, ListId list, int32_t piece, int32_t dx, int32_t dy);

// Where the outcomes of a deciding drop go. A single player records nothing.
class DropReporter {
public:
    virtual ~DropReporter() = default;
    virtual void reportJoin(int player, int32_t piece, int32_t groupNumber, ListId list) = 0;
    virtual void reportPlacement(int player, int32_t piece, int32_t pieceCount) = 0;
    virtual void reportDrop(int player, int32_t piece) = 0;
    // Called between consecutive reports so that a send queue takes them in
    // order; the network layer waits a millisecond here.
    virtual void pauseBetweenReports() {}
};

class NoReports final : public DropReporter {
public:
    void reportJoin(int, int32_t, int32_t, ListId) override {}
    void reportPlacement(int, int32_t, int32_t) override {}
    void reportDrop(int, int32_t) override {}
};

struct DropResult {
    int joins = 0;
    bool placed = false;
    Rect dirty;  // play-area pixels to redraw
};

// The deciding drop of a piece's group on the play area at picture-relative
// (x, y): move, joins, snap, reports, and the area to redraw.
DropResult dropGroup(PuzzleModel& model, int32_t piece, int32_t x, int32_t y, int player,
                     DropReporter& reporter);

// A drop inside a sorting box after its move: joins only (no solved place
// there), each reported as a join in that box; plays the join or drop sound.
DropResult dropInSortingBox(PuzzleModel& model, ListId box, int32_t piece, int player,
                            DropReporter& reporter);

// What the windows do when the puzzle is completed, or after a check.
class CompletionActions {
public:
    virtual ~CompletionActions() = default;
    virtual void recordNetworkGameEnd() {}        // elapsed time and scores
    virtual void disableAssistTools() {}          // palette buttons
    virtual void closePreviewAndOverview() {}
    virtual void closeSortingBoxes() {}
    virtual void centreView() {}                  // the "Center" command, and a redraw
    virtual void refreshTitleAndStatus() {}
    virtual void refreshStatusAndSortingBoxes() {}  // after every check
};

// The completion check: when every piece is in the Finished list and the
// puzzle is not already completed (state 16), completes it once: state 16,
// the windows' steps, and one of three finishing sounds picked by
// rand() mod 100. Returns true when this call completed the puzzle.
bool checkPuzzleCompletion(const PuzzleModel& model, uint32_t& puzzleState, bool networkGame,
                           CompletionActions& actions, Random& rng);

// Outcomes sent by the deciding machine.
inline constexpr int32_t kOutcomeDropped = -1;
inline constexpr int32_t kOutcomeSolved = -2;

struct RemoteOutcome {
    ListId list = ListId::Main;
    int32_t piece = 0;
    int32_t x = 0, y = 0;  // position of the piece in the list's coordinates
    int32_t outcome = kOutcomeDropped;  // a group number, -1 or -2
    int player = 0;
};

struct RemoteContext {
    bool decidingMachine = false;  // single player or the network host
    int localPlayer = 0;
    bool hearOtherPlayers = true;  // the "Other Player's Pickup/Drop Sounds" switch
    int zoomShift = 0;
    bool networkGame = false;
};

// Applies an outcome decided elsewhere (or, on the deciding machine, only
// sounds it, since the drop already applied it). Returns the area to redraw
// (empty unless the list is the Main list).
Rect applyRemoteOutcome(PuzzleModel& model, const RemoteOutcome& outcome, const RemoteContext& context,
                        uint32_t& puzzleState, CompletionActions& actions, Random& rng);

}  // namespace pavalo
