// The game's random generator: a linear congruential generator whose exact
// sequence every machine of a network game reproduces from a shared seed.
#pragma once

#include <cstdint>

namespace pavalo {

// state = state * 214013 + 2531011 (mod 2^32); each draw yields bits 16..30
// of the new state, a value in 0..32767.
class Random {
public:
    explicit Random(uint32_t seed = 1) : state_(seed) {}

    void seed(uint32_t seed) { state_ = seed; }
    uint32_t state() const { return state_; }

    int next() {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int>((state_ >> 16) & 0x7fffu);
    }

    // next() mod n; n must be positive.
    int below(int n) { return next() % n; }

private:
    uint32_t state_;
};

// The one process-wide generator. Seeded once at start-up from the
// millisecond clock and again from a game's seed before a network cut.
Random& processRandom();

// Milliseconds of a monotonic clock, truncated to 32 bits (the start-up seed).
uint32_t millisecondTicks();

}  // namespace pavalo
