// The two links between the puzzle model and the network's holder table:
// PuzzleHolderModel lets the holder table read pieces, groups and lists
// from the model; NetHolders is the model's holder seam answered by the
// holder table, so the drop and merge code of the puzzle sees who holds
// what in a network game.
#pragma once

#include <atomic>
#include <vector>

#include "net/game_port.h"
#include "puzzle/holder_table.h"
#include "puzzle/puzzle_model.h"

namespace pavalo::net {

// List codes of HolderRecord placements: the Main list, the Finished list,
// anything else (sorting boxes, other players' boxes).
inline uint32_t listCode(ListId list) {
    return list == ListId::Main ? 0 : list == ListId::Finished ? 1 : 2;
}

// Told of every piece the host's holder table marks as changed (under
// PIECEMutex), for players that are still being synchronised.
class ChangeListener {
public:
    virtual ~ChangeListener() = default;
    virtual void pieceChanged(int piece) = 0;
};

class PuzzleHolderModel final : public HolderModel {
public:
    explicit PuzzleHolderModel(PuzzleModel& model) : model_(model) {}
    int pieceCount() const override { return model_.pieceCount(); }
    // The piece's picture-relative position (cut to 16 bits), group number,
    // list code and rotation.
    HolderRecord pieceRecord(int piece) const override;
    std::vector<int> groupMembers(int piece) const override;
    std::vector<int> mainListGroups() const override;
    // Remembers the piece for players still synchronising.
    void markChanged(int piece) override;
    // The pieces marked since the last call, in piece order.
    std::vector<int> takeChanged();
    // Null: nobody listens. The listener must outlive its installation.
    void setChangeListener(ChangeListener* listener) { listener_ = listener; }

private:
    PuzzleModel& model_;
    std::atomic<ChangeListener*> listener_{nullptr};
    std::vector<uint8_t> changed_;
};

class NetHolders final : public pavalo::HolderTable {
public:
    NetHolders(GamePort& port, HolderModel& model) : port_(port), model_(model) {}
    int holderOf(int32_t piece) const override { return port_.holders().holderOf(piece, port_.players()); }
    void setHolder(int32_t piece, int slot) override {
        port_.holders().setHolder(&model_, piece, slot, port_.players());
    }

private:
    GamePort& port_;
    HolderModel& model_;
};

}  // namespace pavalo::net
