// The thread message queues: a table of queues by thread identifier under
// one lock, each with its own condition for the thread waiting on it.
#include "platform/message_queue.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>

#include "platform/last_error.h"
#include "platform/thread.h"

namespace platform {

namespace {

struct Queue {
    std::deque<MSG> messages;
    std::condition_variable arrived;
};

std::mutex g_queues_mutex;

// Never destroyed: a worker thread may still post while the process ends.
std::map<DWORD, std::unique_ptr<Queue>> &queues() {
    static auto *table = new std::map<DWORD, std::unique_ptr<Queue>>;
    return *table;
}

// The queue of a thread, created on first use; the caller holds the lock.
Queue &queue_of(DWORD thread_id) {
    auto &slot = queues()[thread_id];
    if (!slot)
        slot = std::make_unique<Queue>();
    return *slot;
}

bool passes(const MSG &m, UINT filter_min, UINT filter_max) {
    if (m.message == WM_QUIT || (filter_min == 0 && filter_max == 0))
        return true;
    return m.message >= filter_min && m.message <= filter_max;
}

// The first message that passes the filter, or end().
std::deque<MSG>::iterator find_message(Queue &q, UINT filter_min, UINT filter_max) {
    for (auto it = q.messages.begin(); it != q.messages.end(); ++it)
        if (passes(*it, filter_min, filter_max))
            return it;
    return q.messages.end();
}

DWORD message_time() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

bool valid_request(const MSG *msg, HWND window) {
    if (msg == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (window != nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    return true;
}

} // namespace

BOOL GetMessageA(MSG *msg, HWND window, UINT filter_min, UINT filter_max) {
    if (!valid_request(msg, window))
        return -1;
    const DWORD self = GetCurrentThreadId();
    std::unique_lock<std::mutex> lock(g_queues_mutex);
    Queue &q = queue_of(self);
    auto it = find_message(q, filter_min, filter_max);
    while (it == q.messages.end()) {
        q.arrived.wait(lock);
        it = find_message(q, filter_min, filter_max);
    }
    *msg = *it;
    q.messages.erase(it);
    return msg->message == WM_QUIT ? 0 : 1;
}

BOOL PeekMessageA(MSG *msg, HWND window, UINT filter_min, UINT filter_max, UINT remove) {
    if (!valid_request(msg, window))
        return FALSE;
    const DWORD self = GetCurrentThreadId();
    std::lock_guard<std::mutex> lock(g_queues_mutex);
    Queue &q = queue_of(self);
    auto it = find_message(q, filter_min, filter_max);
    if (it == q.messages.end())
        return FALSE;
    *msg = *it;
    if ((remove & PM_REMOVE) != 0)
        q.messages.erase(it);
    return TRUE;
}

BOOL PostThreadMessageA(DWORD thread_id, UINT message, WPARAM wparam, LPARAM lparam) {
    if (!is_thread_id(thread_id)) {
        SetLastError(ERROR_INVALID_THREAD_ID);
        return FALSE;
    }
    MSG m{nullptr, message, wparam, lparam, message_time(), POINT{0, 0}};
    std::lock_guard<std::mutex> lock(g_queues_mutex);
    Queue &q = queue_of(thread_id);
    q.messages.push_back(m);
    q.arrived.notify_all();
    return TRUE;
}

BOOL TranslateMessage(const MSG * /*msg*/) { return FALSE; }

LRESULT DispatchMessageA(const MSG * /*msg*/) { return 0; }

} // namespace platform
