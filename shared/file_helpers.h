// File and path helpers of the runtime's toolkit.
#pragma once

#include <cstddef>
#include <cstdint>

// The directory part of path, with its trailing '/', into dir (at most
// dir_size bytes with the NUL). A path without '/' gives "./" and the
// result null; otherwise the result is dir. A directory part that does not
// fit leaves dir empty and gives null: it is never cut.
char *getprgdir(const char *path, char *dir, std::size_t dir_size);

template <std::size_t N> char *getprgdir(const char *path, char (&dir)[N]) { return getprgdir(path, dir, N); }

// The length of the file in bytes; 0 when it cannot be opened, the same
// as for an empty file. With k_monitor at 5 or more the outcome goes to
// the debug log.
std::uint32_t file_exist(const char *path);
