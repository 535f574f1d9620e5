// The session layer's tables: the player table (16 slots), the per-player
// data record, and the holder table that says which player holds each piece.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "net/wire.h"

namespace pavalo::net {

inline constexpr int kPlayerSlots = 16;
inline constexpr int kNoSlot = 16;  // holder-of's answer for "nobody"
inline constexpr uint32_t kNoHolder = 0xFFFFFFFFu;

enum class PlayerState : uint32_t {
    Connected = 1,
    PictureLoaded = 2,
    WaitingForOthers = 3,
    Playing = 4,
    Synchronising = 5,
    Downloading = 6,
};

// Each player's published 16-byte record. `ready` holds the ready flag in
// bit 0 and, in a Team Competitive game, the player's team (1..255) in bits
// 16-23; compare the flag with readyFlag(), not the whole field.
struct PlayerData {
    uint32_t ready = 0;
    uint32_t piecesPlaced = 0;
    uint32_t state = 0;
    uint32_t elapsedMs = 0;

    bool readyFlag() const { return ready & 1; }
    void setReadyFlag(bool on) { ready = (ready & ~1u) | (on ? 1u : 0u); }
    uint32_t team() const { return ready >> 16 & 0xFF; }
    void setTeam(uint32_t team) { ready = (ready & ~0x00FF0000u) | (team & 0xFF) << 16; }

    PlayerDataBytes encode() const;
    static PlayerData decode(const PlayerDataBytes& b);
    bool operator==(const PlayerData&) const = default;
};

// Which network player sits in which of the 16 slots; slot 0 is this machine.
struct PlayerTable {
    std::array<uint32_t, kPlayerSlots> inUse{};
    std::array<uint32_t, kPlayerSlots> dpid{};

    void clear();
    // The first in-use slot holding `id`, or -1. In local mode every id but
    // 0xFFFFFFFF is slot 0.
    int slotOf(uint32_t id, bool localMode) const;
    // Takes the first free slot for `id` unless it has one; -1 when full.
    int add(uint32_t id);
    int inUseCount() const;
};

// One piece's network view; also the payload record that synchronises late
// joiners.
struct HolderRecord {
    uint32_t pieceId = 0;
    uint32_t holder = kNoHolder;
    int16_t x = 0, y = 0;
    uint32_t placement = 0;  // bits 0-15 group, 21-22 list code, 23-24 rotation
};

inline uint32_t makePlacement(uint32_t group, uint32_t listCode, uint32_t rotation) {
    return (group & 0xFFFF) | (listCode & 3) << 21 | (rotation & 3) << 23;
}

// What the holder table needs to know of the puzzle model. Implemented by
// the game; tests use a small fake.
class HolderModel {
public:
    virtual ~HolderModel() = default;
    virtual int pieceCount() const = 0;
    // The piece's record from the model (holder field ignored).
    virtual HolderRecord pieceRecord(int piece) const = 0;
    virtual std::vector<int> groupMembers(int piece) const = 0;
    // The first member of every group in the main list.
    virtual std::vector<int> mainListGroups() const = 0;
    // Marks a piece as changed for players that are still synchronising.
    virtual void markChanged(int piece) = 0;
};

// Guarded by PIECEMutex: every operation takes it.
class HolderTable {
public:
    // (Re)builds every record from the model. Holders become none, except
    // with keepHolders a holder that still has a player slot stays.
    void rebuild(const HolderModel& model, const PlayerTable& players, bool keepHolders);
    void refresh(HolderModel& model, int piece, bool markChanged);
    void refreshHeld(HolderModel& model, const PlayerTable& players, int slot);
    // Slot 0..15 of the piece's holder, 16 for nobody, no table, no slot.
    int holderOf(int piece, const PlayerTable& players) const;
    void setHolder(HolderModel* model, int piece, int slot, const PlayerTable& players);
    int countHeld(int slot, const PlayerTable& players) const;
    // Frees every piece held by the slot; returns how many were freed.
    int releaseAll(HolderModel* model, int slot, const PlayerTable& players);

    bool exists() const { return !records_.empty(); }
    const std::vector<HolderRecord>& records() const { return records_; }
    void clear() { records_.clear(); }

private:
    std::vector<HolderRecord> records_;
};

}  // namespace pavalo::net
