// Filling a fixed-width text field of the shared records (char[N]): the
// text's bytes up to the field's width and zeros after them. A text as
// long as the field, or longer, fills all of it and leaves no terminator,
// as the records' readers expect (they take at most N bytes of a field).
#pragma once

#include <cstddef>
#include <cstring>

// The text is read up to its NUL or the field's width, whichever comes
// first, so a source field of the same width without a terminator is
// read within its bounds.
inline void fill_text_field(char *field, std::size_t width, const char *text) {
    const std::size_t length = ::strnlen(text, width);
    std::memcpy(field, text, length);
    std::memset(field + length, 0, width - length);
}

template <std::size_t N> void fill_text_field(char (&field)[N], const char *text) {
    fill_text_field(field, N, text);
}
