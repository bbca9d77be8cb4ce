// The user-message path behind MessageBoxA and WTSSendMessageA: one line on
// standard error, one entry in the system log.
#include "platform/message_box.h"

#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <string>

namespace platform {

namespace {

std::mutex g_message_mutex;

std::string bounded(const char *text, std::size_t length) {
    if (text == nullptr)
        return {};
    const void *nul = std::memchr(text, '\0', length);
    return std::string(text, nul ? static_cast<std::size_t>(static_cast<const char *>(nul) - text) : length);
}

int priority_of(UINT style) {
    switch (style & MB_ICONMASK) {
    case MB_ICONERROR: return LOG_ERR;
    case MB_ICONEXCLAMATION: return LOG_WARNING;
    default: return LOG_NOTICE;
    }
}

// The whole line in as few writes as the pipe allows, so that two messages
// never mix on standard error.
void write_all(int fd, const std::string &line) {
    std::size_t done = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(fd, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}

} // namespace

void show_user_message(const char *caption, std::size_t caption_length, const char *text,
                       std::size_t text_length, UINT style) {
    const std::string message = bounded(caption, caption_length) + ": " + bounded(text, text_length);
    std::lock_guard<std::mutex> lock(g_message_mutex);
    write_all(STDERR_FILENO, message + "\n");
    ::openlog("Oskavelde", LOG_PID, LOG_USER);
    ::syslog(priority_of(style), "%s", message.c_str());
    ::closelog();
}

int MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT style) {
    const std::size_t caption_length = caption ? std::strlen(caption) : 0;
    const std::size_t text_length = text ? std::strlen(text) : 0;
    show_user_message(caption, caption_length, text, text_length, style);
    return IDOK;
}

} // namespace platform
