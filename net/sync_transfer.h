// Bringing a player who joins a running game level with it: the host's
// SyncService (sixteen sender slots; each sender walks the pieces still to
// be sent and sends them five records a message, paced by the receiver's
// speed, until none is left, then FINISHEDSYNC) and the latecomer's
// SyncReceiver (asks for the synchronisation, applies every record to its
// model, and ends with FINISHEDSYNC).
//
// Every piece that changes on the host while a sender is active is marked
// to be sent again (the holder table's refresh reports the change), so a
// piece moved during the synchronisation arrives where it ended. A drag can
// mark its pieces faster than a slow link sends them: once every piece went
// out once, the pieces of a held group are not sent again while held (the
// drag's moves reach the latecomer as everybody's do); FINISHEDSYNC goes
// when nothing else is pending, and the sender then follows the pieces
// still held until they are let go, sending each once more where it ended.
//
// A record is applied by the merge-and-move rules: the piece's group joins
// the group with the record's number (moved into that group's list first),
// the group goes to the record's list, takes its rotation, the piece goes to
// its position and gets its holder. A record whose piece, group number or
// list code is out of range is skipped and counted; the model keeps its
// invariants whatever arrives.
//
// Threads: handle() on the dispatching thread; senders and the request
// thread are their own. The pending marks are guarded by PIECEMutex, which
// no sender holds while sending.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "net/dispatcher.h"
#include "net/net_layer.h"
#include "net/picture_transfer.h"

namespace pavalo::net {

inline constexpr const char* kSyncCaption = "Synchronizing Piece Positions";
inline constexpr const char* kSyncPleaseWait = "Please Wait";
inline constexpr const char* kRequestingSync = "Requesting Synchronization Info";
inline constexpr const char* kGettingSync = "Getting Synchronization Info";
inline constexpr const char* kPlayersStillSynchronising =
    "There are players joining that do not have all the synchronization info yet.  Please wait for them to "
    "finish, and try to exit again.";
inline constexpr size_t kSyncDataBytes = 88;

// Applies SYNCDATA records to a model in order (takes PIECEMutex). Holders
// map to slots of `players` (none without one). Returns how many records
// were skipped as out of range.
int applySyncRecords(PuzzleModel& model, HolderTable& holders, HolderModel* holderModel, const PlayerTable& players,
                     std::span<const HolderRecord> records);

// The host's Exit check: some player of the session is still in
// PlayerState 5 (synchronising).
bool anyPlayerSynchronising(NetLayer& layer);
// The "E&xit" command's check on a host: false, after saying so, while a
// player is still being synchronised.
bool hostMayExit(NetLayer& layer, Platform& platform);

class SyncService final : public ChangeListener {
public:
    SyncService(NetLayer& layer, Dispatcher& dispatcher);
    // Ends every sender and stops listening to changes.
    ~SyncService() override;
    // Ends every sender and takes no more requests; before the session closes.
    void stop();
    SyncService(const SyncService&) = delete;
    SyncService& operator=(const SyncService&) = delete;

    // REQUESTSYNC addressed to the server player; false for other messages.
    bool handle(const GameMessage& message, uint32_t from);
    // MarkChanged: every active sender sends the piece again.
    void pieceChanged(int piece) override;
    int activeSenders() const;
    uint64_t recordsSent() const { return recordsSent_.load(); }
    // Test aid: paces every sender as if its receiver reported this speed
    // (bits per second; 0: the reported speed).
    void setAssumedRate(uint32_t bitsPerSecond) { assumedRate_ = bitsPerSecond; }

private:
    struct Slot {
        std::thread thread;
        uint32_t player = 0;
        std::atomic<bool> active{false};
        std::vector<uint8_t> pending;  // guarded by PIECEMutex
    };
    void senderThread(int slot, uint32_t player);

    NetLayer& layer_;
    Dispatcher& dispatcher_;
    mutable std::mutex m_;  // the slots' threads and players
    std::array<Slot, kTransferSlots> slots_;
    std::atomic<bool> stop_{false};
    std::atomic<uint64_t> recordsSent_{0};
    std::atomic<uint32_t> assumedRate_{0};
};

class SyncReceiver {
public:
    enum class Phase { Idle, Requesting, Getting, Finished, Failed, Aborted };
    struct Status {
        Phase phase = Phase::Idle;
        uint32_t records = 0;
        int percent = 0;  // records x 100 / pieces, at most 100
        uint64_t skipped = 0;
    };

    SyncReceiver(NetLayer& layer, Dispatcher& dispatcher);
    // Aborts a request under way.
    ~SyncReceiver();
    SyncReceiver(const SyncReceiver&) = delete;
    SyncReceiver& operator=(const SyncReceiver&) = delete;

    // Builds the holder table when the game has none yet and starts the
    // request thread: REQUESTSYNC, asked again every 500 ms until the first
    // records come, then the wait for FINISHEDSYNC.
    void start();
    // Ends the request thread; the game's start then fails.
    void abort();
    // SYNCDATA and FINISHEDSYNC addressed to this player; false for others.
    bool handle(const GameMessage& message, uint32_t from);

    Status status() const;
    bool finished() const;
    // The dialog's status line for the phase.
    static const char* statusLine(Phase phase);

private:
    void run(uint64_t generation);

    NetLayer& layer_;
    Dispatcher& dispatcher_;
    mutable std::mutex m_;
    std::condition_variable cv_;
    Phase phase_ = Phase::Idle;
    uint32_t records_ = 0;
    uint64_t skipped_ = 0;
    uint64_t generation_ = 0;
    std::thread thread_;
};

}  // namespace pavalo::net
