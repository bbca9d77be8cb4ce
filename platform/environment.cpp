// GetEnvironmentVariableA over the process environment, with the
// case-insensitive name match of Windows.
#include "platform/environment.h"

#include <cstring>
#include <strings.h>
#include <unistd.h>

#include "platform/last_error.h"

namespace platform {

namespace {

// The value of the entry whose name matches, preferring the exact spelling.
const char *find_value(const char *name) {
    const size_t len = std::strlen(name);
    const char *first = nullptr;
    for (char **entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const char *e = *entry;
        if (std::strncmp(e, name, len) == 0 && e[len] == '=')
            return e + len + 1;
        if (first == nullptr && ::strncasecmp(e, name, len) == 0 && e[len] == '=')
            first = e + len + 1;
    }
    return first;
}

} // namespace

DWORD GetEnvironmentVariableA(LPCSTR name, LPSTR buffer, DWORD size) {
    if (name == nullptr || *name == '\0' || std::strchr(name, '=') != nullptr) {
        SetLastError(ERROR_ENVVAR_NOT_FOUND);
        return 0;
    }
    const char *value = find_value(name);
    if (value == nullptr) {
        SetLastError(ERROR_ENVVAR_NOT_FOUND);
        return 0;
    }
    const size_t len = std::strlen(value);
    if (buffer == nullptr || len >= size)
        return static_cast<DWORD>(len + 1);
    std::memcpy(buffer, value, len + 1);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(len);
}

} // namespace platform
