// The running program's path from /proc/self/exe.
#include "platform/module_file_name.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/last_error.h"

namespace platform {

DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size) {
    if (module != nullptr || buffer == nullptr || size == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string path(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= path.size()) {
        SetLastError(n < 0 ? error_from_errno(errno) : ERROR_FILENAME_EXCED_RANGE);
        return 0;
    }
    path.resize(static_cast<std::size_t>(n));
    if (path.size() >= size) {
        std::memcpy(buffer, path.data(), size - 1);
        buffer[size - 1] = '\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return static_cast<DWORD>(path.size());
}

} // namespace platform
