// The network thread's body: a tick every 250 ms until its stop flag is
// set.
#include "server/network_thread.h"

#include "platform/thread.h"
#include "platform/thread_create.h"
#include "runtime/worker_threads.h"
#include "server/network_receive.h"
#include "shared/debug_log.h"

namespace {
constexpr platform::DWORD kTickMilliseconds = 250;
} // namespace

platform::DWORD NetworkTimerProcess(void * /*unused*/) {
    for (;;) {
        if (ExitthreadhNetworkProcess.load() != 0) {
            printfc("\nThread Network: exit thread");
            platform::ExitThread(0);
        }
        platform::Sleep(kTickMilliseconds);
        NetworkComm();
    }
}
