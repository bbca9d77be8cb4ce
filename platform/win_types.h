// The Win32 scalar types and constants that the agent's code is written
// against, mapped onto fixed-width Linux types.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using ULONGLONG = std::uint64_t;
using LONG = std::int32_t;
using UINT = unsigned int;
using BOOL = int;
using CHAR = char;
using LPSTR = char *;
using LPCSTR = const char *;
using HANDLE = void *;
using HWND = void *;
using LPVOID = void *;
using LPCVOID = const void *;
using LPDWORD = DWORD *;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;
inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));

} // namespace platform
