// A waitable event with manual or automatic reset, for the session layer's
// threads (receive, server) and the single waiter.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace pavalo::net {

class Event {
public:
    explicit Event(bool manualReset = true, bool initiallySet = false)
        : manual_(manualReset), set_(initiallySet) {}

    void set() {
        {
            std::lock_guard lock(m_);
            set_ = true;
        }
        cv_.notify_all();
    }
    void reset() {
        std::lock_guard lock(m_);
        set_ = false;
    }
    bool isSet() const {
        std::lock_guard lock(m_);
        return set_;
    }
    // Waits until set or until timeoutMs passed (negative: no limit). An
    // automatic-reset event is cleared by the wait that sees it set.
    bool wait(int timeoutMs = -1) {
        std::unique_lock lock(m_);
        auto ready = [this] { return set_; };
        if (timeoutMs < 0)
            cv_.wait(lock, ready);
        else if (!cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready))
            return false;
        if (!manual_) set_ = false;
        return true;
    }

private:
    mutable std::mutex m_;
    std::condition_variable cv_;
    bool manual_;
    bool set_;
};

}  // namespace pavalo::net
