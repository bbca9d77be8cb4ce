// GetVersionExA on Linux: answers from a settable record so that the agent
// branches as on Windows NT 6.2, or as a test asks.
#include "platform/version.h"

#include <atomic>
#include <cstring>
#include <mutex>

namespace platform {

namespace {
std::mutex g_version_mutex;
ReportedVersion g_reported;
} // namespace

BOOL GetVersionExA(OSVERSIONINFOA *info) {
    if (info == nullptr)
        return FALSE;
    ReportedVersion v;
    {
        std::lock_guard<std::mutex> lock(g_version_mutex);
        v = g_reported;
    }
    const DWORD size = info->dwOSVersionInfoSize;
    if (size == sizeof(OSVERSIONINFOA)) {
        if (!v.basic_ok)
            return FALSE;
    } else if (size == sizeof(OSVERSIONINFOEXA)) {
        if (!v.extended_ok)
            return FALSE;
    } else {
        return FALSE;
    }
    info->dwMajorVersion = v.major;
    info->dwMinorVersion = v.minor;
    info->dwBuildNumber = 9200;
    info->dwPlatformId = v.platform_id;
    std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
    if (size == sizeof(OSVERSIONINFOEXA)) {
        auto *ex = reinterpret_cast<OSVERSIONINFOEXA *>(info);
        ex->wServicePackMajor = 0;
        ex->wServicePackMinor = 0;
        ex->wSuiteMask = 0;
        ex->wProductType = v.product_type;
        ex->wReserved = 0;
    }
    return TRUE;
}

void set_reported_version(const ReportedVersion &version) {
    std::lock_guard<std::mutex> lock(g_version_mutex);
    g_reported = version;
}

void reset_reported_version() { set_reported_version(ReportedVersion{}); }

} // namespace platform
