// Buffered file streams with the run-time library's text mode: a mode that
// holds 't' reads with every CR byte dropped and the first 0x1A byte taken
// as the end of the file, and writes every LF as CR LF. Without 't' the
// stream is the plain binary stream of the C library. Only a regular file
// is ever opened, and no open waits; a variant does not go through a
// symbolic link.
#pragma once

#include <cstdio>

namespace platform {

// Same modes as fopen that begin with 'r', 'w' or 'a', plus 't'. Returns
// null on failure with errno set. A symbolic link is followed to what it
// names, and only a regular file is opened: a directory fails with EISDIR,
// and a FIFO, a device (/dev/zero, say) or a socket with ENXIO, without
// waiting for a writer or reader and before anything is read or
// truncated. So a read through such a stream always comes to an end.
std::FILE *fopen(const char *path, const char *mode);

// The same, except that only a regular file with no other name is opened:
// a symbolic link in the file's place is never followed, and a hard link to
// another file, a FIFO or a device is refused. The open then fails with
// ELOOP (a directory with EISDIR), and nothing is created, truncated or
// written anywhere else, nor does the open or a later write wait for a
// reader. For files in directories that other users may write. The modes
// are those of fopen.
std::FILE *fopen_nofollow(const char *path, const char *mode);

// Why an open of this file failed, for a person: the system's text for
// the errno value ("No such file or directory", "Is a directory", ...),
// and "not a regular file" for ENXIO.
const char *open_failure_text(int err);

} // namespace platform
