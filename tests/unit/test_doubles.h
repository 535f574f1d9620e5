// Test doubles shared by the unit tests: a sound player that records the
// events played, and a holder table backed by a map.
#pragma once

#include <map>
#include <utility>
#include <vector>

#include "common/sound_events.h"
#include "puzzle/holder_table.h"

namespace pavalo::testing {

// Registers itself as the sound player for its lifetime.
struct RecordingSounds : SoundPlayer {
    std::vector<int> played;                    // events, in order
    std::vector<std::pair<int, int>> repeats;   // (event, repeat count), in order
    std::vector<int> stopped;
    RecordingSounds() { setSoundPlayer(this); }
    ~RecordingSounds() override { setSoundPlayer(nullptr); }
    void playEvent(int event, int count) override {
        played.push_back(event);
        repeats.push_back({event, count});
    }
    void stopEvent(int event) override { stopped.push_back(event); }
};

struct MapHolders : HolderTable {
    std::map<int32_t, int> held;
    int holderOf(int32_t piece) const override {
        auto it = held.find(piece);
        return it == held.end() ? kNoHolder : it->second;
    }
    void setHolder(int32_t piece, int slot) override { held[piece] = slot; }
};

}  // namespace pavalo::testing
