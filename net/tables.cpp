// Player table, player data and holder table operations.
#include "net/tables.h"

#include "common/file_io.h"
#include "common/named_mutex.h"

namespace pavalo::net {

PlayerDataBytes PlayerData::encode() const {
    PlayerDataBytes b{};
    storeU32(&b[0], ready);
    storeU32(&b[4], piecesPlaced);
    storeU32(&b[8], state);
    storeU32(&b[12], elapsedMs);
    return b;
}

PlayerData PlayerData::decode(const PlayerDataBytes& b) {
    return {loadU32(&b[0]), loadU32(&b[4]), loadU32(&b[8]), loadU32(&b[12])};
}

void PlayerTable::clear() {
    inUse.fill(0);
    dpid.fill(0);
}

int PlayerTable::slotOf(uint32_t id, bool localMode) const {
    if (localMode) return id == 0xFFFFFFFFu ? -1 : 0;
    for (int i = 0; i < kPlayerSlots; ++i)
        if ((inUse[i] & 1) && dpid[i] == id) return i;
    return -1;
}

int PlayerTable::add(uint32_t id) {
    if (int s = slotOf(id, false); s >= 0) return s;
    for (int i = 0; i < kPlayerSlots; ++i)
        if (inUse[i] == 0) {
            inUse[i] = 1;
            dpid[i] = id;
            return i;
        }
    return -1;
}

int PlayerTable::inUseCount() const {
    int n = 0;
    for (uint32_t u : inUse) n += (u & 1) ? 1 : 0;
    return n;
}

void HolderTable::rebuild(const HolderModel& model, const PlayerTable& players, bool keepHolders) {
    NamedLock lock(NamedMutex::PIECE);
    std::vector<HolderRecord> old = std::move(records_);
    int n = model.pieceCount();
    records_.assign(size_t(n > 0 ? n : 0), HolderRecord{});
    for (int i = 0; i < n; ++i) {
        HolderRecord r = model.pieceRecord(i);
        r.pieceId = uint32_t(i);
        r.holder = kNoHolder;
        if (keepHolders && size_t(i) < old.size() && old[i].holder != kNoHolder &&
            players.slotOf(old[i].holder, false) >= 0)
            r.holder = old[i].holder;
        records_[i] = r;
    }
}

void HolderTable::refresh(HolderModel& model, int piece, bool markChanged) {
    NamedLock lock(NamedMutex::PIECE);
    if (piece < 0 || size_t(piece) >= records_.size()) return;
    for (int m : model.groupMembers(piece)) {
        if (m < 0 || size_t(m) >= records_.size()) continue;
        HolderRecord r = model.pieceRecord(m);
        records_[m].x = r.x;
        records_[m].y = r.y;
        records_[m].placement = r.placement;
        if (markChanged) model.markChanged(m);
    }
}

void HolderTable::refreshHeld(HolderModel& model, const PlayerTable& players, int slot) {
    NamedLock lock(NamedMutex::PIECE);
    for (int first : model.mainListGroups())
        if (holderOf(first, players) == slot) refresh(model, first, true);
}

int HolderTable::holderOf(int piece, const PlayerTable& players) const {
    NamedLock lock(NamedMutex::PIECE);
    if (piece < 0 || size_t(piece) >= records_.size()) return kNoSlot;
    uint32_t h = records_[piece].holder;
    if (h == kNoHolder) return kNoSlot;
    int s = players.slotOf(h, false);
    return s < 0 ? kNoSlot : s;
}

void HolderTable::setHolder(HolderModel* model, int piece, int slot, const PlayerTable& players) {
    NamedLock lock(NamedMutex::PIECE);
    if (piece < 0 || size_t(piece) >= records_.size()) return;
    records_[piece].holder = (slot >= 0 && slot < kPlayerSlots) ? players.dpid[slot] : kNoHolder;
    if (model) model->markChanged(piece);
}

int HolderTable::countHeld(int slot, const PlayerTable& players) const {
    NamedLock lock(NamedMutex::PIECE);
    int n = 0;
    // A slot in use stands for one id: count that id's records in one pass.
    if (slot >= 0 && slot < kPlayerSlots && (players.inUse[slot] & 1) &&
        players.slotOf(players.dpid[slot], false) == slot) {
        const uint32_t id = players.dpid[slot];
        for (const HolderRecord& r : records_) n += r.holder == id ? 1 : 0;
        return n;
    }
    for (size_t i = 0; i < records_.size(); ++i)
        if (holderOf(int(i), players) == slot) ++n;
    return n;
}

int HolderTable::releaseAll(HolderModel* model, int slot, const PlayerTable& players) {
    NamedLock lock(NamedMutex::PIECE);
    int n = 0;
    for (size_t i = 0; i < records_.size(); ++i)
        if (holderOf(int(i), players) == slot) {
            setHolder(model, int(i), kNoSlot, players);
            ++n;
        }
    return n;
}

}  // namespace pavalo::net
