// Which assist tools the player may use: everything in a single-player game,
// the host's choices (the record's seven permission words) in a network game.
#pragma once

#include "puzzle/settings_record.h"

namespace pavalo {

struct AssistAllowances {
    bool sortingBoxes = true;
    bool arrange = true;
    bool solve = true;
    bool findNearby = true;
    bool findEdges = true;
    bool findByColour = true;
    bool puzzleOutline = true;

    bool anyFind() const { return findNearby || findEdges || findByColour; }

    // The permissions of the record's network game (words 1208..1232: sorting
    // boxes, Arrange, Solve, Find Nearby Pieces, Find Edges, Find by Color,
    // Puzzle Outline; 0 forbids); all allowed outside a network game.
    static AssistAllowances fromRecord(const SettingsRecord& record) {
        AssistAllowances a;
        if (!record.networkGame) return a;
        const auto& w = record.assistAllowed;
        a.sortingBoxes = w[0] != 0;
        a.arrange = w[1] != 0;
        a.solve = w[2] != 0;
        a.findNearby = w[3] != 0;
        a.findEdges = w[4] != 0;
        a.findByColour = w[5] != 0;
        a.puzzleOutline = w[6] != 0;
        return a;
    }
};

}  // namespace pavalo
