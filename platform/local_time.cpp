// GetLocalTime over the system clock and the time-zone rules of the C
// library, with the fixed time that tests can set in front of it.
#include "platform/local_time.h"

#include <ctime>
#include <mutex>

namespace platform {

namespace {
std::mutex g_clock_mutex;
bool g_fixed = false;
SYSTEMTIME g_fixed_time{};
} // namespace

void GetLocalTime(SYSTEMTIME *time) {
    if (time == nullptr)
        return;
    {
        std::lock_guard<std::mutex> lock(g_clock_mutex);
        if (g_fixed) {
            *time = g_fixed_time;
            return;
        }
    }
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    std::tm parts{};
    ::localtime_r(&now.tv_sec, &parts);
    time->wYear = static_cast<WORD>(parts.tm_year + 1900);
    time->wMonth = static_cast<WORD>(parts.tm_mon + 1);
    time->wDayOfWeek = static_cast<WORD>(parts.tm_wday);
    time->wDay = static_cast<WORD>(parts.tm_mday);
    time->wHour = static_cast<WORD>(parts.tm_hour);
    time->wMinute = static_cast<WORD>(parts.tm_min);
    time->wSecond = static_cast<WORD>(parts.tm_sec);
    time->wMilliseconds = static_cast<WORD>(now.tv_nsec / 1000000);
}

void set_fixed_local_time(const SYSTEMTIME &time) {
    std::lock_guard<std::mutex> lock(g_clock_mutex);
    g_fixed_time = time;
    g_fixed = true;
}

void reset_local_time() {
    std::lock_guard<std::mutex> lock(g_clock_mutex);
    g_fixed = false;
}

} // namespace platform
