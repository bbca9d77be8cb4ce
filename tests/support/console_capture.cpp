// ConsoleCapture over an unlinked temporary file.
#include "tests/support/console_capture.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "platform/console.h"

ConsoleCapture::ConsoleCapture() {
    char name[] = "/tmp/osk-console-XXXXXX";
    fd_ = ::mkstemp(name);
    if (fd_ < 0) {
        std::perror("mkstemp");
        std::abort();
    }
    ::unlink(name);
    previous_fd_ = platform::set_console_fd(fd_);
    platform::FreeConsole();
    platform::AllocConsole();
}

ConsoleCapture::~ConsoleCapture() {
    platform::FreeConsole();
    platform::set_console_fd(previous_fd_);
    ::close(fd_);
}

std::string ConsoleCapture::text() const {
    std::string out;
    char buf[4096];
    off_t at = 0;
    for (;;) {
        const ssize_t n = ::pread(fd_, buf, sizeof buf, at);
        if (n <= 0)
            break;
        out.append(buf, static_cast<size_t>(n));
        at += n;
    }
    return out;
}

void ConsoleCapture::clear() {
    if (::ftruncate(fd_, 0) != 0)
        std::perror("ftruncate");
    ::lseek(fd_, 0, SEEK_SET);
}
