// The host's and the players' decisions in the game protocol that need no
// session: the selection filter (requests and solving in a box), pickup
// arbitration, DROPSELECTED split into messages of 30 records, the movement
// throttle and the request serial. The dispatcher applies them to the model.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "net/messages.h"
#include "net/tables.h"

namespace pavalo::net {

// A player may hold at most this many pieces in a session.
inline constexpr int kMaxHeldPieces = 128;

// The filter of a selection request, run by the player before sending and
// by the host again: a piece held by somebody other than the requester
// becomes "no piece"; kept pieces the requester does not hold yet count
// towards its limit, and in a session every entry after the one that
// reaches the limit becomes "no piece" too.
struct FilteredSelection {
    std::vector<uint32_t> entries;  // the request's order, filtered ones kNoPiece
    std::vector<uint32_t> kept;     // the pieces that survived, in order
};
FilteredSelection filterSelection(std::span<const uint32_t> pieces, const HolderTable& holders,
                                  const PlayerTable& players, int requesterSlot, bool inSession);

// Whether the host grants a pickup: nobody or the requester holds the
// piece, and in a session the requester holds no more than the limit.
bool pickupGranted(int holderSlot, int requesterSlot, int heldByRequester, bool inSession);

// DROPSELECTED (or OUTOFSORTINGBOX) for any number of records: messages of
// at most 30 records in list order.
std::vector<GameMessage> dropRecordMessages(uint16_t id, uint32_t player, std::span<const DropRecord> records);

// The movement messages' pace: one is sent only when more than `gapMs`
// milliseconds have passed since the last one sent (the first always).
class SendThrottle {
public:
    explicit SendThrottle(uint32_t gapMs) : gap_(gapMs) {}
    bool allow(uint32_t nowMs);

private:
    uint32_t gap_;
    uint32_t last_ = 0;
    bool sent_ = false;
};
inline constexpr uint32_t kMovePieceGapMs = 100;
inline constexpr uint32_t kMoveSelectedGapMs = 100;

// Matches a SELECTPIECES reply to its request: incremented before each
// REQUESTSELECTION, UNSELECTPIECES, INTOSORTINGBOX and SOLVEINBOX.
class RequestSerial {
public:
    uint32_t next() { return ++value_; }
    uint32_t current() const { return value_; }

private:
    uint32_t value_ = 0;
};

}  // namespace pavalo::net
