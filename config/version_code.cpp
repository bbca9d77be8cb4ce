// GetVersionWin: the running Windows version condensed into one code.
#include "shared/version_code.h"

#include "platform/version.h"

int GetVersionWin() {
    platform::OSVERSIONINFOA basic{};
    basic.dwOSVersionInfoSize = sizeof basic;
    if (!platform::GetVersionExA(&basic))
        return 0;
    if (basic.dwPlatformId == platform::VER_PLATFORM_WIN32_WINDOWS)
        return 1;
    if (basic.dwPlatformId != platform::VER_PLATFORM_WIN32_NT)
        return 0;
    platform::OSVERSIONINFOEXA ext{};
    ext.dwOSVersionInfoSize = sizeof ext;
    const bool ext_ok =
        platform::GetVersionExA(reinterpret_cast<platform::OSVERSIONINFOA *>(&ext)) != 0;
    const bool server = ext_ok && ext.wProductType != platform::VER_NT_WORKSTATION;
    const auto major = basic.dwMajorVersion;
    const auto minor = basic.dwMinorVersion;
    if (major < 5)
        return 2;
    if (major == 5) {
        switch (minor) {
        case 0: return 3;
        case 1: return 4;
        case 2: return 5;
        default: return 99;
        }
    }
    if (major == 6) {
        if (minor == 0)
            return server ? 8 : 6;
        if (minor == 1)
            return server ? 9 : 7;
        return 99;
    }
    return 99;
}

const char *VersionName(int code) {
    switch (code) {
    case 1: return "Windows 95,98,ME";
    case 2: return "Windows NT";
    case 3: return "Windows 2000";
    case 4: return "Windows XP";
    case 5: return "Windows 2003";
    case 6: return "Windows Vista";
    case 7: return "Windows 7";
    case 8: return "Windows Server 2008";
    case 9: return "Windows Server 2008 R2";
    case 99: return "NT compatible";
    default: return "Unknow !";
    }
}
