// GetTickCount64 over the boot-time clock, which counts on through a
// suspend as the Windows tick count does and is never stepped.
#include "platform/tick_count.h"

#include <ctime>

namespace platform {

ULONGLONG GetTickCount64() {
    timespec now{};
    ::clock_gettime(CLOCK_BOOTTIME, &now);
    return static_cast<ULONGLONG>(now.tv_sec) * 1000u + static_cast<ULONGLONG>(now.tv_nsec) / 1000000u;
}

} // namespace platform
