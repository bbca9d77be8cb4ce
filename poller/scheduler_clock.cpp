// The scheduler's clock and pause, each the real one unless a test has
// put another in its place.
#include "poller/scheduler_clock.h"

#include <atomic>
#include <ctime>

#include "platform/thread.h"

namespace {
std::atomic<PollClock> g_clock{nullptr};
std::atomic<PollPause> g_pause{nullptr};
} // namespace

std::int64_t poll_clock_now() {
    const PollClock clock = g_clock.load();
    return clock ? clock() : static_cast<std::int64_t>(std::time(nullptr));
}

void poll_pause(platform::DWORD milliseconds) {
    const PollPause pause = g_pause.load();
    if (pause)
        pause(milliseconds);
    else
        platform::Sleep(milliseconds);
}

void set_poll_clock(PollClock clock) { g_clock = clock; }
void set_poll_pause(PollPause pause) { g_pause = pause; }
