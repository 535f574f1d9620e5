// The five process-wide named mutexes that guard shared game state, and a
// lock guard that enforces their lock order.
#pragma once

#include <mutex>
#include <string_view>

namespace pavalo {

// In creation order. PIECE guards the puzzle model and the holder table,
// UNDO the undo ring, DP the network session, OUTMSG/INMSG the message queues.
enum class NamedMutex { DP, OUTMSG, INMSG, PIECE, UNDO };
inline constexpr int kNamedMutexCount = 5;

// "DPMutex", "OUTMSGMutex", "INMSGMutex", "PIECEMutex", "UNDOMutex".
std::string_view namedMutexName(NamedMutex id);

// Looks a mutex up by its name; returns false when no such mutex exists.
bool findNamedMutex(std::string_view name, NamedMutex& out);

// The recursive mutex behind a name. Every lock is an unbounded wait; a thread
// may lock a mutex it already holds.
std::recursive_mutex& namedMutex(NamedMutex id);

// Scoped lock on a named mutex. Aborts when the stated order is broken:
// UNDO must be taken before PIECE, and OUTMSG before DP, never the reverse.
class NamedLock {
public:
    explicit NamedLock(NamedMutex id);
    ~NamedLock();
    NamedLock(const NamedLock&) = delete;
    NamedLock& operator=(const NamedLock&) = delete;

private:
    NamedMutex id_;
};

// How many times the calling thread currently holds a named mutex.
int heldCount(NamedMutex id);

// True when taking `next` while holding `held` keeps the lock order.
bool lockOrderAllows(NamedMutex held, NamedMutex next);

}  // namespace pavalo
