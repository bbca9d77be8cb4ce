// A fixed-width text field of a record (which has no terminator when the
// text fills it) as a NUL-terminated text, for the set-up listing and the
// scheduler's log lines.
#pragma once

#include <cstddef>
#include <cstring>

template <std::size_t N> struct FieldText {
    explicit FieldText(const char (&field)[N]) { std::memcpy(text, field, N); }
    char text[N + 1] = {};
};
