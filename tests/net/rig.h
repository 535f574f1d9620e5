// Helpers for tests that run several sessions in one process on loopback.
#pragma once

#include <chrono>
#include <functional>
#include <random>
#include <thread>
#include <unistd.h>

#include "net/session.h"

namespace pavalo::net::test {

// Loopback-only settings with a discovery port of this test process's own,
// so parallel test runs do not answer each other.
inline NetSettings loopbackSettings() {
    NetSettings s;
    s.bindAddress = "127.0.0.1";
    s.port = 0;
    static const uint16_t discovery = uint16_t(30000 + (getpid() * 7919) % 20000);
    s.discoveryPort = discovery;
    s.broadcastAddress = "127.255.255.255";
    s.peerTimeoutMs = 1500;
    s.rejoinWindowMs = 3000;
    s.joinTimeoutMs = 3000;
    return s;
}

// Polls `done` every few milliseconds for at most `ms`.
inline bool waitUntil(const std::function<bool()>& done, int ms = 5000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
}

inline double msSince(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t).count();
}

}  // namespace pavalo::net::test
