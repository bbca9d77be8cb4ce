// The chain of console control handlers and the handling of one event.
#include "platform/console_control.h"

#include <csignal>
#include <mutex>
#include <vector>

#include "platform/crt/runtime_signal.h"
#include "platform/crt/signal_thread.h"
#include "platform/last_error.h"

namespace platform {

namespace {

std::mutex g_chain_mutex;

// Never destroyed: an event thread may still run while the process ends.
std::vector<PHANDLER_ROUTINE> &chain() {
    static auto *handlers = new std::vector<PHANDLER_ROUTINE>;
    return *handlers;
}

} // namespace

BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE handler, BOOL add) {
    if (handler == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    {
        std::lock_guard<std::mutex> lock(g_chain_mutex);
        auto &handlers = chain();
        if (add) {
            handlers.push_back(handler);
        } else {
            auto it = handlers.rbegin();
            while (it != handlers.rend() && *it != handler)
                ++it;
            if (it == handlers.rend()) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return FALSE;
            }
            handlers.erase(std::next(it).base());
        }
    }
    if (add)
        start_signal_thread();
    return TRUE;
}

void console_event(DWORD event, int native_signal) {
    std::vector<PHANDLER_ROUTINE> handlers;
    {
        std::lock_guard<std::mutex> lock(g_chain_mutex);
        handlers = chain();
    }
    // The lock is not held while a handler runs: a handler may take long
    // (the agent's stops its threads) and may change the chain.
    for (auto it = handlers.rbegin(); it != handlers.rend(); ++it)
        if ((*it)(event))
            return;
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT)
        platform::raise(SIGINT);
    else
        end_by_signal(native_signal);
}

} // namespace platform
