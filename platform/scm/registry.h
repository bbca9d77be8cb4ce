// The registry on Linux: the part of the Win32 registry calls the agent
// uses, under HKEY_LOCAL_MACHINE only.
//
// Keys are folders under "<state dir>/registry", the state directory being
// OSKAVELDE_SCM_DIR (default /var/lib/oskavelde/scm) as it is when a key is
// opened from HKEY_LOCAL_MACHINE; keys opened from that key stay with it.
// Key and value names match without regard to case, as on Windows: every
// folder and value file is named by the lower-cased name, with bytes other
// than letters, digits, '-', '_', '~' and blank written as %XX, and a key
// keeps the spelling it was created with in its file "#name". A value is
// the file "=<name>", written whole to a temporary file and renamed over
// the old one, so that a reader sees the old value or the new one, never
// a mix; a value file that is damaged or cut short reads as missing.
//
// The keys every Windows machine has ("SYSTEM\CurrentControlSet\Services"
// and the application event log's key below it) always open, even before
// their folders exist. "HARDWARE\Description\System" and its
// "CentralProcessor\0" are read-only and answered from /proc/cpuinfo.
//
// The calls return the Win32 error code (0 for success) and leave the
// thread's last error alone: 2 for a missing key or value, 5 for a state
// directory that cannot be written or a read-only key, 6 for a handle that
// is not an open key, 87 for a bad argument or a name too long to store,
// 234 when the caller's buffer is too small.
#pragma once

#include "platform/last_error.h"
#include "platform/win_types.h"

namespace platform {

struct HKEY__;
using HKEY = HKEY__ *;
using PHKEY = HKEY *;
using REGSAM = DWORD;
using LPBYTE = BYTE *;

inline HKEY const HKEY_LOCAL_MACHINE =
    reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000002u));

constexpr DWORD ERROR_MORE_DATA = 234;
constexpr DWORD ERROR_KEY_DELETED = 1018;

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;

constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// The largest value data stored.
constexpr DWORD registry_max_value_size = 1u << 20;

// Opens an existing key below key (a null or empty subkey opens key itself
// again) with the rights asked for; *result is null on failure.
LONG RegOpenKeyExA(HKEY key, LPCSTR subkey, DWORD options, REGSAM desired, PHKEY result);

// Opens the key, creating it and every missing key above it first.
// *disposition (when given) tells whether it was created. Class, options
// and security are accepted and have no effect.
LONG RegCreateKeyExA(HKEY key, LPCSTR subkey, DWORD reserved, LPSTR key_class, DWORD options,
                     REGSAM desired, const void *security, PHKEY result, LPDWORD disposition);

// Stores size bytes of data as the value (a null name is the key's default
// value). Texts are stored as given, so a REG_SZ should count its NUL.
LONG RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE *data,
                    DWORD size);

// Reads a value. Without data, *size receives the value's size; with data,
// *size says the buffer's size and receives the value's: a buffer that is
// too small gets nothing and the call returns ERROR_MORE_DATA. *type (when
// given) receives the value's type whenever the value exists.
LONG RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD size);

// Writes what was stored under the key through to the disk.
LONG RegFlushKey(HKEY key);

// Deletes a key that has no subkeys, with its values; 5 when it has
// subkeys or is one of the keys every machine has.
LONG RegDeleteKeyA(HKEY key, LPCSTR subkey);

LONG RegCloseKey(HKEY key);

// Test seam: the file the HARDWARE keys answer from; null goes back to
// /proc/cpuinfo.
void set_cpuinfo_path(const char *path);

} // namespace platform
