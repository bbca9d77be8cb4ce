// Thread identifiers from a process-wide counter, handed out on a thread's
// first request, so that an identifier stays unique for the whole run and
// a message posted to an ended thread never reaches a new one.
#include "platform/thread.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace platform {

namespace {
std::atomic<DWORD> g_next_thread_id{1};
thread_local DWORD t_thread_id = 0;
} // namespace

DWORD GetCurrentThreadId() {
    if (t_thread_id == 0)
        t_thread_id = g_next_thread_id.fetch_add(1);
    return t_thread_id;
}

DWORD reserve_thread_id() { return g_next_thread_id.fetch_add(1); }

void adopt_thread_id(DWORD id) { t_thread_id = id; }

bool is_thread_id(DWORD id) { return id != 0 && id < g_next_thread_id.load(); }

void Sleep(DWORD milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

} // namespace platform
