// Buffered file streams with the run-time library's text mode: a mode that
// holds 't' reads with every CR byte dropped and the first 0x1A byte taken
// as the end of the file, and writes every LF as CR LF. Without 't' the
// stream is the plain binary stream of the C library. A variant of the open
// does not go through a symbolic link.
#pragma once

#include <cstdio>

namespace platform {

// Same modes as fopen, plus 't'. Returns null on failure with errno set.
std::FILE *fopen(const char *path, const char *mode);

// The same, except that only a regular file with no other name is opened:
// a symbolic link in the file's place is never followed, and a hard link to
// another file, a FIFO or a device is refused. The open then fails with
// ELOOP, and nothing is created, truncated or written anywhere else, nor
// does the open or a later write wait for a reader. For files in
// directories that other users may write. The modes are those of fopen
// that begin with 'r', 'w' or 'a'.
std::FILE *fopen_nofollow(const char *path, const char *mode);

} // namespace platform
