// Stand-in for the client protocol server until it is merged: a network
// thread that only ticks, and an agent port that is always open.
#include <atomic>
#include <cstdint>

#include "platform/thread.h"
#include "platform/thread_create.h"
#include "runtime/worker_threads.h"
#include "server/agent_port.h"
#include "server/network_thread.h"
#include "shared/debug_log.h"

std::int32_t pasive_udp_socket = 0;

int open_tcpip_port() { return 0; }

platform::DWORD NetworkTimerProcess(void *) {
    for (;;) {
        if (ExitthreadhNetworkProcess != 0) {
            printfc("\nThread Network: exit thread");
            platform::ExitThread(0);
        }
        platform::Sleep(250);
    }
}
