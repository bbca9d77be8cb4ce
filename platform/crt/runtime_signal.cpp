// signal and raise: interrupt and termination as process-wide handlers
// run on ordinary threads; the fault signals as per-thread handlers behind
// one native handler.
#include "platform/crt/runtime_signal.h"

#include <signal.h>

#include <atomic>
#include <mutex>

#include "platform/crt/signal_thread.h"

namespace platform {

namespace {

std::atomic<SignalHandler> g_interrupt{SIG_DFL};
std::atomic<SignalHandler> g_termination{SIG_DFL};

constexpr int kFaults[] = {SIGILL, SIGFPE, SIGSEGV, SIGABRT};
constexpr int kFaultCount = 4;
thread_local SignalHandler t_fault[kFaultCount] = {SIG_DFL, SIG_DFL, SIG_DFL, SIG_DFL};

int fault_index(int signal_number) {
    for (int i = 0; i < kFaultCount; ++i)
        if (kFaults[i] == signal_number)
            return i;
    return -1;
}

void on_fault(int signal_number) {
    const int i = fault_index(signal_number);
    const SignalHandler handler = i < 0 ? SIG_DFL : t_fault[i];
    if (handler == SIG_IGN)
        return;
    if (handler != SIG_DFL) {
        t_fault[i] = SIG_DFL;
        handler(signal_number);
        return; // a repeated fault now finds SIG_DFL
    }
    // No handler on this thread: the default action, which for a fault
    // that repeats on return comes from the re-executed instruction.
    end_by_signal(signal_number);
}

void install_fault_handlers() {
    struct sigaction action {};
    action.sa_handler = on_fault;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_NODEFER;
    for (int native : kFaults)
        ::sigaction(native, &action, nullptr);
}

} // namespace

SignalHandler signal(int signal_number, SignalHandler handler) {
    if (signal_number == SIGINT) {
        start_signal_thread();
        return g_interrupt.exchange(handler);
    }
    if (signal_number == SIGTERM)
        return g_termination.exchange(handler);
    const int i = fault_index(signal_number);
    if (i < 0)
        return SIG_ERR;
    static std::once_flag once;
    std::call_once(once, install_fault_handlers);
    const SignalHandler before = t_fault[i];
    t_fault[i] = handler;
    return before;
}

int raise(int signal_number) {
    SignalHandler handler;
    if (signal_number == SIGINT)
        handler = g_interrupt.load();
    else if (signal_number == SIGTERM)
        handler = g_termination.load();
    else if (fault_index(signal_number) >= 0)
        return ::raise(signal_number);
    else
        return -1;
    if (handler == SIG_IGN)
        return 0;
    if (handler == SIG_DFL)
        end_by_signal(signal_number);
    handler(signal_number);
    return 0;
}

} // namespace platform
