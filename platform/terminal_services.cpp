// WTSGetActiveConsoleSessionId and WTSSendMessageA over the user-message
// path of the message box.
#include "platform/terminal_services.h"

#include "platform/message_box.h"

namespace platform {

namespace {
// The session that Windows Vista and later give to the console user.
constexpr DWORD kConsoleSession = 1;
} // namespace

DWORD WTSGetActiveConsoleSessionId() { return kConsoleSession; }

BOOL WTSSendMessageA(HANDLE, DWORD, LPSTR title, DWORD title_length, LPSTR message, DWORD message_length,
                     DWORD style, DWORD, DWORD *response, BOOL) {
    show_user_message(title, title_length, message, message_length, style);
    if (response != nullptr)
        *response = IDOK;
    return TRUE;
}

} // namespace platform
