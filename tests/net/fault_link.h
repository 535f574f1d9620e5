// A fault-injecting UDP relay on loopback for session tests: a client talks
// to port() instead of the real target, and every datagram either way may be
// lost, doubled, delayed or reordered, or the link may go silent.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

namespace pavalo::net::test {

struct Faults {
    double loss = 0;       // chance a datagram is dropped
    double duplicate = 0;  // chance it is sent twice
    int delayMs = 0;       // added to every datagram
    int jitterMs = 0;      // extra random delay 0..jitter: reorders datagrams
    bool silent = false;   // drop everything, both ways
    bool dropReplies = false;  // drop only what the target sends back
};

class FaultLink {
public:
    // Relays to 127.0.0.1:targetPort. The relay's traffic ends with it.
    FaultLink(uint16_t targetPort, Faults faults, uint32_t seed = 1);
    ~FaultLink();
    FaultLink(const FaultLink&) = delete;
    FaultLink& operator=(const FaultLink&) = delete;

    uint16_t port() const { return port_; }
    void setFaults(const Faults& f);
    uint64_t forwarded() const { return forwarded_.load(); }
    uint64_t dropped() const { return dropped_.load(); }

private:
    void run();

    uint16_t targetPort_;
    uint16_t port_ = 0;
    int listen_ = -1;
    int wake_[2] = {-1, -1};
    std::mutex m_;
    Faults faults_;
    uint32_t seed_;
    std::atomic<bool> stop_{false};
    std::atomic<uint64_t> forwarded_{0}, dropped_{0};
    std::thread thread_;
};

}  // namespace pavalo::net::test
