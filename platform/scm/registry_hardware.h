// The read-only HARDWARE keys of the registry stand-in, answered from the
// kernel's processor description and the machine's architecture.
#pragma once

#include <string>
#include <vector>

#include "platform/win_types.h"

namespace platform::registry_detail {

// Whether the key exists; path holds the lower-cased names below
// HKEY_LOCAL_MACHINE, the first of them "hardware".
bool hardware_key_exists(const std::vector<std::string> &path);

// The type and bytes of the value (lower-cased name) of that key, or false
// when the key or the value is missing.
bool hardware_value(const std::vector<std::string> &path, const std::string &name, DWORD &type,
                    std::string &data);

} // namespace platform::registry_detail
