// The console of the process. A console exists only between AllocConsole
// and FreeConsole; while it exists, WriteConsoleA on the standard output
// handle writes to the process's standard output. Without one the write
// fails and has no effect, as for a Windows service.
#pragma once

#include "platform/win_types.h"

namespace platform {

constexpr DWORD STD_OUTPUT_HANDLE = static_cast<DWORD>(-11);

// TRUE when the process had no console; FALSE with ERROR_ACCESS_DENIED when
// it already has one.
BOOL AllocConsole();

// TRUE when the process had a console; FALSE with ERROR_INVALID_PARAMETER
// otherwise.
BOOL FreeConsole();

// The standard output handle for STD_OUTPUT_HANDLE, INVALID_HANDLE_VALUE
// for any other value. The handle stays the same for the whole process and
// is not closed by CloseHandle.
HANDLE GetStdHandle(DWORD which);

// Writes all length bytes to the console and sets *written (when given) to
// the count written. FALSE without effect when there is no console or the
// handle is not the standard output handle. When the console's descriptor
// is the journal's stream (JOURNAL_STREAM), the text is written in the form
// the journal shows as text (journal_text), and *written is length once
// that form is written.
BOOL WriteConsoleA(HANDLE console, LPCVOID buffer, DWORD length, LPDWORD written, LPVOID reserved);

// Test seam: the file descriptor behind the console (standard output by
// default). Returns the descriptor used before.
int set_console_fd(int fd);

} // namespace platform
