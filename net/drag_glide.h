// Other players' drags arrive at most ten times a second. Instead of
// jumping between the positions received, a dragged group glides from where
// it was shown to the new position over the next 100 ms. What is sent is
// not changed, and a group its mover no longer holds (dropped, joined,
// released) stops gliding at once, wherever the drop put it.
#pragma once

#include <cstdint>
#include <vector>

#include "common/geometry.h"
#include "puzzle/puzzle_model.h"

namespace pavalo::net {

inline constexpr uint32_t kGlideMs = 100;

class DragGlides {
public:
    // A remote move of the piece's group from `from` to `to` (play area)
    // by the player in `slot`: the group goes back to `from` and glides.
    // Called with PIECEMutex held, as the dispatcher applies moves.
    void start(PuzzleModel& model, int32_t piece, Point from, Point to, int slot, uint32_t nowMs);
    // Moves every gliding group to its place at `nowMs`; returns the
    // play-area pixels that changed.
    Rect step(PuzzleModel& model, uint32_t nowMs);
    bool active() const;

private:
    struct Glide {
        int32_t piece;
        Point from, to;
        int slot;
        uint32_t start;
    };
    std::vector<Glide> glides_;  // guarded by PIECEMutex
};

}  // namespace pavalo::net
