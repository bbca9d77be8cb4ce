// The local date and time of day, as GetLocalTime gives it. Tests can fix
// the clock at a moment of their choice, so that time-stamped log lines
// are known in advance.
#pragma once

#include "platform/win_types.h"

namespace platform {

struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth; // 1 to 12
    WORD wDayOfWeek; // 0 Sunday to 6 Saturday
    WORD wDay; // 1 to 31
    WORD wHour; // 0 to 23
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};

// The current local time, or the fixed one while a test has fixed it.
void GetLocalTime(SYSTEMTIME *time);

// Test seam: every GetLocalTime answers this time until reset.
void set_fixed_local_time(const SYSTEMTIME &time);
void reset_local_time();

} // namespace platform
