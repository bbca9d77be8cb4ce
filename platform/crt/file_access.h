// The run-time library's file-access test: does a file exist, may it be
// read or written. Symbolic links are followed.
#pragma once

namespace platform {

// Modes as the run-time library takes them: 0 existence, 2 write, 4 read,
// 6 read and write. Returns 0 when the file allows the mode, -1 otherwise.
int _access(const char *path, int mode);

} // namespace platform
