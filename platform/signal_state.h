// A signalled/non-signalled state with waiting, shared by threads (which
// become signalled when they end) and events.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/wait.h"

namespace platform {

class SignalState {
  public:
    explicit SignalState(bool manual_reset = true, bool initial = false)
        : manual_reset_(manual_reset), signalled_(initial) {}

    void set() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            signalled_ = true;
        }
        cv_.notify_all();
    }

    void reset() {
        std::lock_guard<std::mutex> lock(mutex_);
        signalled_ = false;
    }

    bool wait(DWORD milliseconds) {
        std::unique_lock<std::mutex> lock(mutex_);
        auto ready = [this] { return signalled_; };
        if (milliseconds == INFINITE)
            cv_.wait(lock, ready);
        else if (!cv_.wait_for(lock, std::chrono::milliseconds(milliseconds), ready))
            return false;
        if (!manual_reset_)
            signalled_ = false; // an auto-reset event releases one waiter
        return true;
    }

  private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool manual_reset_;
    bool signalled_;
};

} // namespace platform
