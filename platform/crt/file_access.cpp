// _access over access(2).
#include "platform/crt/file_access.h"

#include <cerrno>
#include <unistd.h>

namespace platform {

int _access(const char *path, int mode) {
    if (path == nullptr || (mode & ~6) != 0) {
        errno = EINVAL;
        return -1;
    }
    int how = F_OK;
    if (mode & 2)
        how |= W_OK;
    if (mode & 4)
        how |= R_OK;
    return ::access(path, how) == 0 ? 0 : -1;
}

} // namespace platform
