// The tests' look at the terminal services: whether WTSAPI32 is released,
// its handle and both entry points null together, as every release and
// every version without them must leave them.
#pragma once

#include "runtime/terminal_services.h"

inline bool terminal_services_released() {
    WTSGetActiveConsoleSessionIdFn session = nullptr;
    WTSSendMessageFn send = nullptr;
    TerminalServicesEntries(&session, &send);
    return hlibWts == nullptr && session == nullptr && send == nullptr;
}
