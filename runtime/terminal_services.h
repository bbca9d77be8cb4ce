// The modules and terminal-services entry points that the console-session
// message box needs, looked up at process start and released together:
// whenever WTSAPI32 is unloaded, its handle and both entry points are
// cleared with it, so that nothing calls into the unloaded library.
#pragma once

#include "platform/module.h"
#include "platform/win_types.h"

using WTSGetActiveConsoleSessionIdFn = platform::DWORD (*)();
using WTSSendMessageFn = platform::BOOL (*)(platform::HANDLE server, platform::DWORD session, platform::LPSTR title,
                                            platform::DWORD title_length, platform::LPSTR message,
                                            platform::DWORD message_length, platform::DWORD style,
                                            platform::DWORD timeout, platform::DWORD *response,
                                            platform::BOOL wait);

// Read and written only through the calls below, which keep them together
// under one lock.
extern platform::HMODULE hlibKernel;
extern platform::HMODULE hlibWts;
extern WTSGetActiveConsoleSessionIdFn lpfnWTSGetActiveConsoleSessionId;
extern WTSSendMessageFn lpfnWTSSendMessage;

// Takes KERNEL32 unless already taken and, on Windows XP and later
// (version code 4 or more), loads WTSAPI32 unless already loaded and looks
// up "WTSGetActiveConsoleSessionId" in KERNEL32 and "WTSSendMessageA" in
// WTSAPI32. A failed load or look-up leaves its pointer null.
void LoadTerminalServices();

// Unloads WTSAPI32 when it is loaded, and clears its handle and both entry
// points whether it was loaded or not.
void FreeLibraryWts();

// Both entry points as one consistent pair (either may be null).
void TerminalServicesEntries(WTSGetActiveConsoleSessionIdFn *session, WTSSendMessageFn *send);
