// Loading and release of the terminal-services entry points.
#include "runtime/terminal_services.h"

#include <mutex>

#include "shared/version_code.h"

platform::HMODULE hlibKernel = nullptr;
platform::HMODULE hlibWts = nullptr;
WTSGetActiveConsoleSessionIdFn lpfnWTSGetActiveConsoleSessionId = nullptr;
WTSSendMessageFn lpfnWTSSendMessage = nullptr;

namespace {

// The stop routine releases WTSAPI32 on whatever thread it runs, while the
// message box may read the entry points on another.
std::mutex g_wts_mutex;

} // namespace

void LoadTerminalServices() {
    const int version = GetVersionWin();
    std::lock_guard<std::mutex> lock(g_wts_mutex);
    if (hlibKernel == nullptr)
        hlibKernel = platform::GetModuleHandleA("KERNEL32.DLL");
    if (version < 4)
        return;
    if (hlibWts == nullptr)
        hlibWts = platform::LoadLibraryA("WTSAPI32.DLL");
    if (hlibKernel != nullptr)
        lpfnWTSGetActiveConsoleSessionId = reinterpret_cast<WTSGetActiveConsoleSessionIdFn>(
            platform::GetProcAddress(hlibKernel, "WTSGetActiveConsoleSessionId"));
    if (hlibWts != nullptr)
        lpfnWTSSendMessage =
            reinterpret_cast<WTSSendMessageFn>(platform::GetProcAddress(hlibWts, "WTSSendMessageA"));
}

void FreeLibraryWts() {
    std::lock_guard<std::mutex> lock(g_wts_mutex);
    if (hlibWts != nullptr)
        platform::FreeLibrary(hlibWts);
    // The KERNEL32 entry point is looked up even when WTSAPI32 did not
    // load: the pair is cleared whatever the handle, so that no half of it
    // outlives the release.
    hlibWts = nullptr;
    lpfnWTSGetActiveConsoleSessionId = nullptr;
    lpfnWTSSendMessage = nullptr;
}

void TerminalServicesEntries(WTSGetActiveConsoleSessionIdFn *session, WTSSendMessageFn *send) {
    std::lock_guard<std::mutex> lock(g_wts_mutex);
    *session = lpfnWTSGetActiveConsoleSessionId;
    *send = lpfnWTSSendMessage;
}
