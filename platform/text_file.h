// Buffered file streams with the run-time library's text mode: a mode that
// holds 't' reads with every CR byte dropped and the first 0x1A byte taken
// as the end of the file, and writes every LF as CR LF. Without 't' the
// stream is the plain binary stream of the C library.
#pragma once

#include <cstdio>

namespace platform {

// Same modes as fopen, plus 't'. Returns null on failure with errno set.
std::FILE *fopen(const char *path, const char *mode);

} // namespace platform
