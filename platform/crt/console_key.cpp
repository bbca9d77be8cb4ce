// One key press from the terminal in non-canonical mode.
#include "platform/crt/console_key.h"

#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

int _getch() {
    if (::isatty(STDIN_FILENO) == 0)
        return -1;
    termios before{};
    if (::tcgetattr(STDIN_FILENO, &before) != 0)
        return -1;
    termios raw = before;
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    ::tcsetattr(STDIN_FILENO, TCSANOW, &raw);
    unsigned char c = 0;
    ssize_t n = 0;
    do {
        n = ::read(STDIN_FILENO, &c, 1);
    } while (n < 0 && errno == EINTR);
    ::tcsetattr(STDIN_FILENO, TCSANOW, &before);
    return n == 1 ? c : -1;
}

} // namespace platform
