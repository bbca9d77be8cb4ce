// The console on Linux: an "allocated" flag in front of the process's
// standard output. Writes are whole under one lock, so the texts of two
// threads never mix. When systemd has connected standard output to the
// journal, the text is written as the journal can show it: the agent's
// "\n\r" line breaks would otherwise put a CR in front of many lines,
// and the journal shows such a line as blob data. A terminal, a file or a
// pipe gets the bytes unchanged.
#include "platform/console.h"

#include <cerrno>
#include <cstddef>
#include <mutex>
#include <string>
#include <unistd.h>

#include "platform/journal_stream.h"
#include "platform/last_error.h"

namespace platform {

namespace {

std::mutex g_console_mutex;
bool g_allocated = false;
int g_console_fd = STDOUT_FILENO;
// Whether g_console_fd is the journal's stream: looked at when a console
// is allocated and when the descriptor changes.
bool g_journal = false;

// The address of this object is the standard output handle.
char g_stdout_tag;

// Writes all bytes to the console's descriptor; done is the count
// written, also on failure.
BOOL write_all(const char *p, std::size_t length, std::size_t &done) {
    done = 0;
    while (done < length) {
        const ssize_t n = ::write(g_console_fd, p + done, length - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            SetLastError(error_from_errno(n < 0 ? errno : EIO));
            return FALSE;
        }
        done += static_cast<std::size_t>(n);
    }
    return TRUE;
}

} // namespace

BOOL AllocConsole() {
    std::lock_guard<std::mutex> lock(g_console_mutex);
    if (g_allocated) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    g_allocated = true;
    g_journal = is_journal_stream(g_console_fd);
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
    const char *text = static_cast<const char *>(buffer);
    std::size_t done = 0;
    if (!g_journal) {
        const BOOL ok = write_all(text, length, done);
        if (written != nullptr)
            *written = static_cast<DWORD>(done);
        return ok;
    }
    // The caller's bytes count as written once their journal form is.
    const std::string shown = journal_text(text, length);
    const BOOL ok = write_all(shown.data(), shown.size(), done);
    if (written != nullptr && ok)
        *written = length;
    return ok;
}

int set_console_fd(int fd) {
    std::lock_guard<std::mutex> lock(g_console_mutex);
    const int before = g_console_fd;
    g_console_fd = fd;
    g_journal = is_journal_stream(fd);
    return before;
}

} // namespace platform
