// The play time of the open puzzle.
#include "shell/play_clock.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <limits>

namespace pavalo {

PlayClock::PlayClock()
    : now_([] {
          return std::chrono::duration_cast<std::chrono::milliseconds>(
                     std::chrono::steady_clock::now().time_since_epoch())
              .count();
      }) {}

void PlayClock::reset(uint32_t seconds) {
    banked_ = int64_t(seconds) * 1000;
    inPlay_ = false;
}

void PlayClock::changeRunning(bool wasRunning) {
    const bool isRunning = running();
    if (wasRunning == isRunning) return;
    const int64_t now = now_();
    if (isRunning)
        since_ = now;
    else
        banked_ += std::max<int64_t>(now - since_, 0);
}

void PlayClock::setInPlay(bool inPlay) {
    const bool was = running();
    inPlay_ = inPlay;
    changeRunning(was);
}

void PlayClock::hold(ClockHold reason, bool held) {
    const bool was = running();
    if (held)
        holds_ |= uint32_t(reason);
    else
        holds_ &= ~uint32_t(reason);
    changeRunning(was);
}

int64_t PlayClock::milliseconds() const {
    return banked_ + (running() ? std::max<int64_t>(now_() - since_, 0) : 0);
}

uint32_t PlayClock::seconds() const {
    return uint32_t(std::min<int64_t>(milliseconds() / 1000, std::numeric_limits<uint32_t>::max()));
}

std::string formatPlayTime(uint32_t seconds) {
    const uint32_t h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
    char text[32];
    if (h > 0)
        std::snprintf(text, sizeof text, "%u:%02u:%02u", h, m, s);
    else
        std::snprintf(text, sizeof text, "%u:%02u", m, s);
    return text;
}

}  // namespace pavalo
