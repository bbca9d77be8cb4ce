// Start and stop of the network thread and the timer thread, and the stop
// routine that every way of ending the agent runs. The stop routine and
// the thread start share one lock, so that a stop that arrives while the
// threads are being started waits for their handles, and triggers that
// arrive together run it one after the other.
#include "runtime/worker_threads.h"

#include <mutex>

#include "platform/handle.h"
#include "platform/thread.h"
#include "platform/thread_create.h"
#include "platform/wait.h"
#include "poller/timer_thread.h"
#include "runtime/terminal_services.h"
#include "server/network_thread.h"
#include "shared/allocation.h"
#include "shared/debug_log.h"
#include "shared/device_table.h"
#include "shared/version_code.h"

std::atomic<std::int32_t> ExitthreadhNetworkProcess{0};
std::atomic<std::int32_t> ExitthreadhTimerProcess{0};

namespace {

platform::HANDLE hNetworkTimerProcess = nullptr;
platform::HANDLE hTimerProcess = nullptr;

// Recursive: a fault caught on a thread that is inside the stop routine
// runs the stop routine once more on that thread.
std::recursive_mutex &stop_lock() {
    static std::recursive_mutex m;
    return m;
}

platform::HANDLE start_thread(std::atomic<std::int32_t> &exit_flag, platform::LPTHREAD_START_ROUTINE body) {
    exit_flag = 0;
    platform::HANDLE thread = platform::CreateThread(nullptr, 0, body, nullptr, 0, nullptr);
    printfc(thread != nullptr ? "OK" : "Error!");
    return thread;
}

void wait_and_close(platform::HANDLE &thread) {
    if (thread == nullptr)
        return;
    // No time limit: the records must outlive every thread that may use
    // them, and the timer thread ends after the poll in progress.
    platform::WaitForSingleObject(thread, platform::INFINITE);
    platform::CloseHandle(thread);
    thread = nullptr;
}

} // namespace

void StartThreads() {
    std::lock_guard<std::recursive_mutex> lock(stop_lock());
    printfc("\nStart threads:");
    printfc("\n   Network thread ... ");
    hNetworkTimerProcess = start_thread(ExitthreadhNetworkProcess, NetworkTimerProcess);
    printfc("\n   Timer thread ... ");
    hTimerProcess = start_thread(ExitthreadhTimerProcess, TimerProcess);
}

void StopThreads() {
    std::lock_guard<std::recursive_mutex> lock(stop_lock());
    printfc("\nStop threads:");
    const bool by_flags = GetVersionWin() > 5;
    if (hNetworkTimerProcess != nullptr) {
        if (by_flags)
            ExitthreadhNetworkProcess = 1;
        else
            platform::TerminateThread(hNetworkTimerProcess, 0);
    }
    if (hTimerProcess != nullptr) {
        if (by_flags) {
            ExitthreadhTimerProcess = 1;
            // A scheduler run that finds no due slot would walk on; the
            // stop event ends it at its next slot step.
            SignalTimerShutdown();
        } else {
            platform::TerminateThread(hTimerProcess, 0);
        }
    }
    wait_and_close(hNetworkTimerProcess);
    wait_and_close(hTimerProcess);
}

void StopService() {
    std::lock_guard<std::recursive_mutex> lock(stop_lock());
    printfc("\n\rStopService-start");
    FreeLibraryWts();
    // The agent's UDP socket stays open until the process ends.
    printfc("\n\rStopService - CloseComm");
    printfc("\n\rStopService - StopThreads");
    StopThreads();
    platform::Sleep(1000);
    for (TDevice *&record : SM_DEV) {
        SHfree(record);
        record = nullptr;
    }
    printfc("\n\rStopService-end");
}
