// ControlHandler and Catcher.
#include "runtime/stop_handlers.h"

#include <cstdio>
#include <cstdlib>

#include "platform/console_control.h"
#include "platform/message_queue.h"
#include "platform/thread.h"
#include "runtime/main_cycle.h"
#include "runtime/worker_threads.h"
#include "shared/debug_log.h"

platform::BOOL ControlHandler(platform::DWORD event) {
    switch (event) {
    case platform::CTRL_C_EVENT:
    case platform::CTRL_BREAK_EVENT:
        printfc("\n\rControlHandler - CTRL_BREAK_EVENT ");
        break;
    case platform::CTRL_CLOSE_EVENT:
        printfc("\n\rControlHandler - CTRL_CLOSE_EVENT ");
        break;
    case platform::CTRL_SHUTDOWN_EVENT:
        printfc("\n\rControlHandler - CTRL_SHUTDOWN_EVENT ");
        break;
    default:
        printfc("\n\rControlHandler - unknow control");
        return platform::FALSE;
    }
    printfc("\n\nStopping .\n\n");
    StopService();
    platform::Sleep(1000);
    platform::PostThreadMessageA(MainId, platform::WM_QUIT, 0, 0);
    return platform::TRUE;
}

void Catcher(int signal_number) {
    // Two signals at once (a fault on one thread, an interrupt on another)
    // must not both act.
    if (was_term_signal.exchange(1) != 0)
        return;
    char text[64];
    const unsigned number = static_cast<unsigned>(signal_number);
    std::snprintf(text, sizeof text, "Received termination signal %u [%XX]", number, number);
    printfc("\n\r");
    printfc(text);
    StopService();
    std::exit(1);
}
