// CreateFileA on Linux: opens or creates a file and hands out a handle that
// CloseHandle releases. The agent only creates its debug log with it.
#pragma once

#include "platform/security.h"
#include "platform/win_types.h"

namespace platform {

constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;
constexpr DWORD GENERIC_ALL = 0x10000000u;
constexpr DWORD FILE_READ_DATA = 0x0001;
constexpr DWORD FILE_WRITE_DATA = 0x0002;
constexpr DWORD FILE_APPEND_DATA = 0x0004;
constexpr DWORD FILE_ALL_ACCESS = 0x001F01FF; // 2032127

constexpr DWORD FILE_SHARE_READ = 0x0001;
constexpr DWORD FILE_SHARE_WRITE = 0x0002;
constexpr DWORD FILE_SHARE_DELETE = 0x0004;

constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD TRUNCATE_EXISTING = 5;

constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;

// Opens the file as the disposition says. A file this call creates gets
// mode 0666 whatever the umask when the attributes grant everyone every
// access (see security.h), else 0666 less the umask. Sharing modes, the
// attribute flags and the template are accepted and have no effect on
// Linux. Returns INVALID_HANDLE_VALUE on failure, with GetLastError set:
// ERROR_FILE_EXISTS for CREATE_NEW on an existing file, ERROR_FILE_NOT_FOUND
// when the file or its directory is missing, ERROR_ACCESS_DENIED, ...
// CREATE_ALWAYS and OPEN_ALWAYS on an existing file succeed and set
// ERROR_ALREADY_EXISTS, as on Windows.
HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share_mode, SECURITY_ATTRIBUTES *attributes,
                   DWORD disposition, DWORD flags, HANDLE template_file);

} // namespace platform
