// Named mutex table with per-thread hold counts for lock-order checks.
#include "common/named_mutex.h"

#include <array>
#include <cstdio>
#include <cstdlib>

namespace pavalo {
namespace {

constexpr std::array<std::string_view, kNamedMutexCount> kNames = {
    "DPMutex", "OUTMSGMutex", "INMSGMutex", "PIECEMutex", "UNDOMutex"};

std::array<std::recursive_mutex, kNamedMutexCount>& table() {
    static std::array<std::recursive_mutex, kNamedMutexCount> mutexes;
    return mutexes;
}

thread_local std::array<int, kNamedMutexCount> tHeld{};

int index(NamedMutex id) { return static_cast<int>(id); }

}  // namespace

std::string_view namedMutexName(NamedMutex id) { return kNames[index(id)]; }

bool findNamedMutex(std::string_view name, NamedMutex& out) {
    for (int i = 0; i < kNamedMutexCount; ++i) {
        if (kNames[i] == name) {
            out = static_cast<NamedMutex>(i);
            return true;
        }
    }
    return false;
}

std::recursive_mutex& namedMutex(NamedMutex id) { return table()[index(id)]; }

int heldCount(NamedMutex id) { return tHeld[index(id)]; }

bool lockOrderAllows(NamedMutex held, NamedMutex next) {
    if (held == NamedMutex::PIECE && next == NamedMutex::UNDO) return false;
    if (held == NamedMutex::DP && next == NamedMutex::OUTMSG) return false;
    return true;
}

NamedLock::NamedLock(NamedMutex id) : id_(id) {
    if (tHeld[index(id)] == 0) {
        for (int i = 0; i < kNamedMutexCount; ++i) {
            if (tHeld[i] > 0 && !lockOrderAllows(static_cast<NamedMutex>(i), id)) {
                std::fprintf(stderr, "lock order broken: %s taken while holding %s\n",
                             kNames[index(id)].data(), kNames[i].data());
                std::abort();
            }
        }
    }
    table()[index(id)].lock();
    ++tHeld[index(id)];
}

NamedLock::~NamedLock() {
    --tHeld[index(id_)];
    table()[index(id_)].unlock();
}

}  // namespace pavalo
