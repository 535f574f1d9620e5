// The host's answer to a player's DROPPIECE: the deciding drop of the
// group on the host's model, each outcome turned into the DROPPIECE that
// every machine then applies — one per join with the group joined, then one
// with -2 when the group lands on its solved place, or a single one with -1
// for a plain drop (whose holders the drop has released).
#pragma once

#include <vector>

#include "net/messages.h"
#include "puzzle/joining.h"
#include "puzzle/puzzle_model.h"

namespace pavalo::net {

class DropBroadcasts final : public DropReporter {
public:
    // `request` is the player's DROPPIECE: its player, piece and position
    // go into every answer.
    DropBroadcasts(const PuzzleModel& model, const GameMessage& request) : model_(model), request_(request) {}

    void reportJoin(int, int32_t piece, int32_t groupNumber, ListId) override { add(piece, groupNumber); }
    void reportPlacement(int, int32_t piece, int32_t) override { add(piece, kOutcomeSolved); }
    void reportDrop(int, int32_t piece) override { add(piece, kOutcomeDropped); }

    const std::vector<GameMessage>& messages() const { return messages_; }

private:
    void add(int32_t piece, int32_t code);

    const PuzzleModel& model_;
    GameMessage request_;
    std::vector<GameMessage> messages_;
};

// Runs the deciding drop of `request` (a decoded DROPPIECE) on the host's
// model for the player in `slot`, and returns the broadcasts in order.
// Nothing happens for a piece outside the model.
std::vector<GameMessage> decideDrop(PuzzleModel& model, const GameMessage& request, int slot);

}  // namespace pavalo::net
