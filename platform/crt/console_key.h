// _getch: one key press read from the console without echo.
#pragma once

namespace platform {

// The next key's byte from a terminal on standard input, read without
// waiting for a line and without echo; -1 at once when standard input is
// no terminal (a process without a console) or has ended.
int _getch();

} // namespace platform
