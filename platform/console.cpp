// The console on Linux: an "allocated" flag in front of the process's
// standard output. Writes are whole under one lock, so the texts of two
// threads never mix.
#include "platform/console.h"

#include <cerrno>
#include <mutex>
#include <unistd.h>

#include "platform/last_error.h"

namespace platform {

namespace {

std::mutex g_console_mutex;
bool g_allocated = false;
int g_console_fd = STDOUT_FILENO;

// The address of this object is the standard output handle.
char g_stdout_tag;

} // namespace

BOOL AllocConsole() {
    std::lock_guard<std::mutex> lock(g_console_mutex);
    if (g_allocated) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    g_allocated = true;
    return TRUE;
}

BOOL FreeConsole() {
    std::lock_guard<std::mutex> lock(g_console_mutex);
    if (!g_allocated) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    g_allocated = false;
    return TRUE;
}

HANDLE GetStdHandle(DWORD which) {
    if (which == STD_OUTPUT_HANDLE)
        return &g_stdout_tag;
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_HANDLE_VALUE;
}

BOOL WriteConsoleA(HANDLE console, LPCVOID buffer, DWORD length, LPDWORD written, LPVOID /*reserved*/) {
    if (written != nullptr)
        *written = 0;
    if (console != &g_stdout_tag || (buffer == nullptr && length != 0)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::lock_guard<std::mutex> lock(g_console_mutex);
    if (!g_allocated) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const char *p = static_cast<const char *>(buffer);
    DWORD done = 0;
    while (done < length) {
        const ssize_t n = ::write(g_console_fd, p + done, length - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            SetLastError(error_from_errno(n < 0 ? errno : EIO));
            if (written != nullptr)
                *written = done;
            return FALSE;
        }
        done += static_cast<DWORD>(n);
    }
    if (written != nullptr)
        *written = done;
    return TRUE;
}

int set_console_fd(int fd) {
    std::lock_guard<std::mutex> lock(g_console_mutex);
    const int before = g_console_fd;
    g_console_fd = fd;
    return before;
}

} // namespace platform
