// Version information as GetVersionExA reports it. On Linux the layer
// reports Windows NT 6.2 workstation; tests can make it report any other
// version, or fail, to reach the branches the agent takes on other systems.
#pragma once

#include "platform/win_types.h"

namespace platform {

constexpr DWORD VER_PLATFORM_WIN32s = 0;
constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;
constexpr BYTE VER_NT_WORKSTATION = 1;
constexpr BYTE VER_NT_DOMAIN_CONTROLLER = 2;
constexpr BYTE VER_NT_SERVER = 3;

struct OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
};

struct OSVERSIONINFOEXA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
    WORD wServicePackMajor;
    WORD wServicePackMinor;
    WORD wSuiteMask;
    BYTE wProductType;
    BYTE wReserved;
};

static_assert(sizeof(OSVERSIONINFOA) == 148);
static_assert(sizeof(OSVERSIONINFOEXA) == 156);

// Fills the record whose size field says which of the two it is (148 or
// 156); any other size fails. Returns non-zero on success.
BOOL GetVersionExA(OSVERSIONINFOA *info);

// What the layer reports. The default is NT 6.2 workstation, both calls
// succeeding.
struct ReportedVersion {
    bool basic_ok = true;
    bool extended_ok = true;
    DWORD platform_id = VER_PLATFORM_WIN32_NT;
    DWORD major = 6;
    DWORD minor = 2;
    BYTE product_type = VER_NT_WORKSTATION;
};

// Test seam: replace the reported version, or go back to the default.
void set_reported_version(const ReportedVersion &version);
void reset_reported_version();

} // namespace platform
