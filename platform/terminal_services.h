// The terminal-services calls the agent's message box uses. There is one
// console session here, and a message sent to it takes the path of
// MessageBoxA: standard error and the system log, answered OK at once.
#pragma once

#include "platform/win_types.h"

namespace platform {

inline HANDLE const WTS_CURRENT_SERVER_HANDLE = nullptr;

// The session attached to the machine's console.
DWORD WTSGetActiveConsoleSessionId();

// Shows the caption and the text (at most their given lengths) and sets
// *response (when given) to IDOK. The server, session, time-out and wait
// flag are accepted; TRUE.
BOOL WTSSendMessageA(HANDLE server, DWORD session, LPSTR title, DWORD title_length, LPSTR message,
                     DWORD message_length, DWORD style, DWORD timeout, DWORD *response, BOOL wait);

} // namespace platform
