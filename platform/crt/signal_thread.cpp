// The signal thread: a pipe carries each console signal from its
// handler, which only writes the signal number, to a thread that starts
// one detached thread per event. The pipe never lies on a standard
// descriptor (the start-up code fills those), so console writes cannot
// reach it.
#include "platform/crt/signal_thread.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>

#include "platform/console_control.h"

namespace platform {

namespace {

int g_pipe[2] = {-1, -1};

struct SignalEvent {
    int native;
    DWORD event;
};

constexpr SignalEvent kSignals[] = {
    {SIGINT, CTRL_C_EVENT},
    {SIGQUIT, CTRL_BREAK_EVENT},
    {SIGHUP, CTRL_CLOSE_EVENT},
    {SIGTERM, CTRL_SHUTDOWN_EVENT},
};

void note_signal(int native) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(native);
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

// Starts routine(arg) on a detached thread; false when no thread could be
// had.
bool start_detached(void *(*routine)(void *), void *arg) {
    pthread_attr_t attr;
    if (pthread_attr_init(&attr) != 0)
        return false;
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    pthread_t thread;
    const int rc = pthread_create(&thread, &attr, routine, arg);
    pthread_attr_destroy(&attr);
    return rc == 0;
}

// The signal's entry of kSignals, or null for a byte that is none of
// them.
const SignalEvent *signal_event(unsigned char byte) {
    for (const SignalEvent &s : kSignals)
        if (s.native == byte)
            return &s;
    return nullptr;
}

void *run_event(void *arg) {
    const auto *s = static_cast<const SignalEvent *>(arg);
    console_event(s->event, s->native);
    return nullptr;
}

void *signal_loop(void *) {
    for (;;) {
        unsigned char byte = 0;
        const ssize_t n = ::read(g_pipe[0], &byte, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n != 1)
            return nullptr;
        // Only the handlers write here; a byte that is not one of their
        // signals did not come from them and starts nothing.
        const SignalEvent *s = signal_event(byte);
        if (s == nullptr)
            continue;
        void *arg = const_cast<SignalEvent *>(s);
        // Without a thread for the event, it is taken on this one rather
        // than lost.
        if (!start_detached(run_event, arg))
            run_event(arg);
    }
}

void start_once() {
    if (::pipe2(g_pipe, O_CLOEXEC) != 0)
        return; // the signals keep their default actions
    if (!start_detached(signal_loop, nullptr))
        return;
    struct sigaction action {};
    action.sa_handler = note_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const SignalEvent &s : kSignals)
        ::sigaction(s.native, &action, nullptr);
}

} // namespace

void start_signal_thread() {
    static std::once_flag once;
    std::call_once(once, start_once);
}

void end_by_signal(int native_signal) {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(native_signal, &action, nullptr);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, native_signal);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    ::raise(native_signal);
    // A signal whose default is to be ignored or to stop the process still
    // ends it here.
    std::_Exit(128 + native_signal);
}

} // namespace platform
