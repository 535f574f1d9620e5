// The protocol's decisions that need no session.
#include "net/protocol_rules.h"

#include <algorithm>

namespace pavalo::net {

FilteredSelection filterSelection(std::span<const uint32_t> pieces, const HolderTable& holders,
                                  const PlayerTable& players, int requesterSlot, bool inSession) {
    FilteredSelection out;
    out.entries.reserve(pieces.size());
    int held = holders.countHeld(requesterSlot, players);
    bool full = inSession && held >= kMaxHeldPieces;
    for (uint32_t piece : pieces) {
        if (full || piece == kNoPiece) {
            out.entries.push_back(kNoPiece);
            continue;
        }
        const int holder = holders.holderOf(int(piece), players);
        if (holder != kNoSlot && holder != requesterSlot) {
            out.entries.push_back(kNoPiece);
            continue;
        }
        out.entries.push_back(piece);
        out.kept.push_back(piece);
        if (holder != requesterSlot && ++held >= kMaxHeldPieces && inSession) full = true;
    }
    return out;
}

bool pickupGranted(int holderSlot, int requesterSlot, int heldByRequester, bool inSession) {
    if (holderSlot != kNoSlot && holderSlot != requesterSlot) return false;
    return !(inSession && heldByRequester > kMaxHeldPieces);
}

std::vector<GameMessage> dropRecordMessages(uint16_t id, uint32_t player, std::span<const DropRecord> records) {
    std::vector<GameMessage> out;
    for (size_t at = 0; at < records.size(); at += kMaxDropRecords) {
        GameMessage m;
        m.id = id;
        m.player = player;
        const size_t n = std::min(records.size() - at, size_t(kMaxDropRecords));
        m.drops.assign(records.begin() + std::ptrdiff_t(at), records.begin() + std::ptrdiff_t(at + n));
        out.push_back(std::move(m));
    }
    return out;
}

bool SendThrottle::allow(uint32_t nowMs) {
    if (sent_ && nowMs - last_ <= gap_) return false;
    sent_ = true;
    last_ = nowMs;
    return true;
}

}  // namespace pavalo::net
