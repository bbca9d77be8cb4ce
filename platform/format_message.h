// FormatMessageA for the system's own message texts, and LocalFree for the
// buffers it allocates. The texts are this project's own wording, one per
// Win32 code that the layer sets (those of failed Linux calls included,
// which the layer turns into Win32 codes); they carry no line break at
// the end.
#pragma once

#include "platform/win_types.h"

namespace platform {

using HLOCAL = void *;

constexpr DWORD FORMAT_MESSAGE_ALLOCATE_BUFFER = 0x00000100;
constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x00000200;
constexpr DWORD FORMAT_MESSAGE_FROM_STRING = 0x00000400;
constexpr DWORD FORMAT_MESSAGE_FROM_HMODULE = 0x00000800;
constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x00001000;

constexpr DWORD LANG_NEUTRAL = 0x00;
constexpr DWORD SUBLANG_DEFAULT = 0x01;
constexpr DWORD MAKELANGID(DWORD primary, DWORD sub) { return (sub << 10) | primary; }

constexpr DWORD ERROR_MR_MID_NOT_FOUND = 317;

// Only FORMAT_MESSAGE_FROM_SYSTEM texts, in any language asked for. With
// FORMAT_MESSAGE_ALLOCATE_BUFFER, buffer is really a char ** that receives
// a buffer of at least size bytes (free it with LocalFree); otherwise the
// text is copied into the size bytes of buffer. Returns the text's length
// without its NUL; 0 with ERROR_MR_MID_NOT_FOUND for a code without a text,
// ERROR_INSUFFICIENT_BUFFER for a buffer that is too small and
// ERROR_INVALID_PARAMETER for other sources. Inserts are never filled in.
DWORD FormatMessageA(DWORD flags, LPCVOID source, DWORD message_id, DWORD language_id, LPSTR buffer,
                     DWORD size, void *arguments);

// Frees a buffer of FormatMessageA; returns null.
HLOCAL LocalFree(HLOCAL memory);

} // namespace platform
