// Modules and their entry points looked up by name: GetModuleHandleA,
// LoadLibraryA, GetProcAddress and FreeLibrary over a fixed table of the
// three modules the agent names. KERNEL32.DLL and ADVAPI32.DLL are always
// loaded; WTSAPI32.DLL is loaded by LoadLibraryA and counted, as on
// Windows, so that it is gone again after its last FreeLibrary.
#pragma once

#include "platform/win_types.h"

namespace platform {

struct ModuleRecord;
using HMODULE = ModuleRecord *;
// An entry point as GetProcAddress returns it; the caller casts it to the
// entry point's own type before calling it.
using FARPROC = void (*)();

constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
constexpr DWORD ERROR_PROC_NOT_FOUND = 127;

// The handle of a loaded module; null with ERROR_MOD_NOT_FOUND for a name
// that is not in the table or a module that is not loaded. Names match
// without regard to case, and ".DLL" may be left out.
HMODULE GetModuleHandleA(LPCSTR name);

// Loads the module (or counts one more load) and returns its handle; null
// with ERROR_MOD_NOT_FOUND for a name that is not in the table.
HMODULE LoadLibraryA(LPCSTR name);

// The module's entry point of that name (matched exactly, with case); null
// with ERROR_PROC_NOT_FOUND when the module has none, and with
// ERROR_MOD_NOT_FOUND when the handle is not a loaded module.
FARPROC GetProcAddress(HMODULE module, LPCSTR name);

// Undoes one LoadLibraryA. FALSE with ERROR_MOD_NOT_FOUND when the handle
// is not a loaded module. The modules that are always loaded stay loaded.
BOOL FreeLibrary(HMODULE module);

} // namespace platform
