// MessageBoxWin: the ordinary message box on NT 4, 2000 and Server 2003;
// a message sent to the console session through the terminal services on
// XP and the 6.x versions; nothing elsewhere.
#include "runtime/message_box.h"

#include <cstring>

#include "platform/message_box.h"
#include "platform/terminal_services.h"
#include "platform/version.h"
#include "runtime/terminal_services.h"

namespace {

enum class Mechanism { none, message_box, terminal_services };

Mechanism mechanism_for(const platform::OSVERSIONINFOA &v) {
    if (v.dwPlatformId != platform::VER_PLATFORM_WIN32_NT)
        return Mechanism::none;
    if (v.dwMajorVersion == 4)
        return Mechanism::message_box;
    if (v.dwMajorVersion == 5)
        return v.dwMinorVersion == 0 || v.dwMinorVersion == 2 ? Mechanism::message_box
                                                              : Mechanism::terminal_services;
    if (v.dwMajorVersion == 6)
        return Mechanism::terminal_services;
    return Mechanism::none;
}

} // namespace

void MessageBoxWin(const char *text, const char *caption, std::uint32_t style) {
    platform::OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (!platform::GetVersionExA(&version))
        return;
    switch (mechanism_for(version)) {
    case Mechanism::none:
        return;
    case Mechanism::message_box:
        platform::MessageBoxA(nullptr, text, caption, style);
        return;
    case Mechanism::terminal_services: {
        WTSGetActiveConsoleSessionIdFn session_of = nullptr;
        WTSSendMessageFn send = nullptr;
        TerminalServicesEntries(&session_of, &send);
        if (session_of == nullptr || send == nullptr)
            return;
        platform::DWORD response = 0;
        send(platform::WTS_CURRENT_SERVER_HANDLE, session_of(), const_cast<char *>(caption),
             static_cast<platform::DWORD>(std::strlen(caption)), const_cast<char *>(text),
             static_cast<platform::DWORD>(std::strlen(text)), style, 0, &response, platform::TRUE);
        return;
    }
    }
}
