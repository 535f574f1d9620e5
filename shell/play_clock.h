// PlayClock: how long the open puzzle has been played. It counts while the
// puzzle is in play (not finished) and nothing holds it (the window
// minimised, a modal dialog open), and starts from the seconds a saved
// puzzle kept. Milliseconds come from a steady clock that tests replace.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace pavalo {

// What can hold the clock; each is set and cleared on its own.
enum class ClockHold : uint32_t { Minimised = 1, ModalDialog = 2 };

class PlayClock {
public:
    using Now = std::function<int64_t()>;  // milliseconds, never going back
    PlayClock();
    explicit PlayClock(Now now) : now_(std::move(now)) {}

    // A puzzle with `seconds` already played; the clock stands until the
    // puzzle is in play.
    void reset(uint32_t seconds);
    void setInPlay(bool inPlay);
    void hold(ClockHold reason, bool held);
    bool running() const { return inPlay_ && holds_ == 0; }

    int64_t milliseconds() const;
    // Whole seconds, at most what a stored u32 holds.
    uint32_t seconds() const;

private:
    void changeRunning(bool wasRunning);

    Now now_;
    int64_t banked_ = 0;      // milliseconds counted before `since_`
    int64_t since_ = 0;       // when the clock last started running
    bool inPlay_ = false;
    uint32_t holds_ = 0;      // ClockHold bits
};

// "m:ss" below an hour, "h:mm:ss" from an hour on.
std::string formatPlayTime(uint32_t seconds);

}  // namespace pavalo
