// The scheduler's clocks and pause, each the real one unless a test has
// put another in its place.
#include "poller/scheduler_clock.h"

#include <atomic>
#include <ctime>

#include "platform/thread.h"
#include "platform/tick_count.h"

namespace {
std::atomic<PollClock> g_clock{nullptr};
std::atomic<PollClock> g_ticks{nullptr};
std::atomic<PollPause> g_pause{nullptr};
} // namespace

std::int64_t poll_clock_now() {
    const PollClock clock = g_clock.load();
    return clock ? clock() : static_cast<std::int64_t>(std::time(nullptr));
}

std::int64_t poll_ticks_now() {
    const PollClock ticks = g_ticks.load();
    return ticks ? ticks() : static_cast<std::int64_t>(platform::GetTickCount64() / 1000u);
}

void poll_pause(platform::DWORD milliseconds) {
    const PollPause pause = g_pause.load();
    if (pause)
        pause(milliseconds);
    else
        platform::Sleep(milliseconds);
}

void set_poll_clock(PollClock clock) { g_clock = clock; }
void set_poll_ticks(PollClock ticks) { g_ticks = ticks; }
void set_poll_pause(PollPause pause) { g_pause = pause; }
