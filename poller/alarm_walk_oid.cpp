// The alarm walk's OIDs made from the UPS's text, each bounded by its
// buffer.
#include "poller/alarm_walk_oid.h"

#include <cstdio>
#include <cstring>

const char OidDescrAlarm[1][32] = {"1.3.6.1.2.1.33.1.6.2.1.2"};

namespace {
constexpr std::size_t descr_prefix_len = 24;
} // namespace

bool alarm_descr_answer(const char *oid_text) {
    return std::strncmp(oid_text, OidDescrAlarm[0], descr_prefix_len) == 0;
}

bool alarm_descr_oid(char (&oid)[alarm_oid_text_size], const char *index_text) {
    const int length = std::snprintf(oid, sizeof oid, "%s.%s", OidDescrAlarm[0], index_text);
    return length > 0 && static_cast<std::size_t>(length) < sizeof oid;
}

bool alarm_walk_position(char (&current)[alarm_oid_text_size], const char *oid_text) {
    const std::size_t length = ::strnlen(oid_text, sizeof current);
    if (length == sizeof current)
        return false;
    std::memcpy(current, oid_text, length + 1);
    return true;
}
