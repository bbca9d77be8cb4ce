// The milliseconds since the system started, as GetTickCount64 gives them:
// a count that never goes back, whatever is done to the system clock.
#pragma once

#include "platform/win_types.h"

namespace platform {

// Milliseconds since boot, the time the system spent suspended included;
// a step of the system clock (by hand or by NTP) does not change it.
ULONGLONG GetTickCount64();

} // namespace platform
