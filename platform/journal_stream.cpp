// Recognising the journal's stream on a descriptor, and the text that the
// journal can show of a message.
#include "platform/journal_stream.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

namespace platform {

namespace {

// One decimal number of JOURNAL_STREAM, digits only; false for anything
// else or a number too large.
bool read_number(const char *&at, unsigned long long &value) {
    if (*at < '0' || *at > '9')
        return false;
    char *end = nullptr;
    errno = 0;
    value = std::strtoull(at, &end, 10);
    if (errno != 0)
        return false;
    at = end;
    return true;
}

// The length of the printable character that starts the bytes: 1 for a
// printable ASCII byte, tab or line feed, 2 to 4 for a valid UTF-8
// sequence of a character that is neither a control nor a non-character;
// 0 when the first byte starts no such character.
std::size_t printable_length(const unsigned char *bytes, std::size_t left) {
    const unsigned char first = bytes[0];
    if (first < 0x80)
        return (first >= 0x20 && first != 0x7F) || first == '\t' || first == '\n' ? 1 : 0;
    std::size_t length = 0;
    char32_t code = 0;
    char32_t lowest = 0;
    if (first >= 0xC2 && first <= 0xDF) {
        length = 2;
        code = first & 0x1F;
        lowest = 0x80;
    } else if (first >= 0xE0 && first <= 0xEF) {
        length = 3;
        code = first & 0x0F;
        lowest = 0x800;
    } else if (first >= 0xF0 && first <= 0xF4) {
        length = 4;
        code = first & 0x07;
        lowest = 0x10000;
    } else {
        return 0;
    }
    if (length > left)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((bytes[i] & 0xC0) != 0x80)
            return 0;
        code = code << 6 | (bytes[i] & 0x3F);
    }
    const bool overlong = code < lowest;
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    const bool noncharacter = (code >= 0xFDD0 && code <= 0xFDEF) || (code & 0xFFFE) == 0xFFFE;
    const bool c1_control = code <= 0x9F;
    if (overlong || code > 0x10FFFF || surrogate || noncharacter || c1_control)
        return 0;
    return length;
}

} // namespace

bool is_journal_stream(int fd) {
    const char *at = std::getenv("JOURNAL_STREAM");
    if (at == nullptr)
        return false;
    unsigned long long device = 0;
    unsigned long long inode = 0;
    if (!read_number(at, device) || *at++ != ':' || !read_number(at, inode) || *at != '\0')
        return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return false;
    return static_cast<unsigned long long>(st.st_dev) == device &&
           static_cast<unsigned long long>(st.st_ino) == inode;
}

std::string journal_text(const char *text, std::size_t length) {
    static const char hex[] = "0123456789ABCDEF";
    const auto *bytes = reinterpret_cast<const unsigned char *>(text);
    std::string shown;
    shown.reserve(length);
    std::size_t at = 0;
    while (at < length) {
        if (bytes[at] == '\r') {
            ++at;
            continue;
        }
        const std::size_t printable = printable_length(bytes + at, length - at);
        if (printable != 0) {
            shown.append(text + at, printable);
            at += printable;
            continue;
        }
        const char escape[] = {'\\', 'x', hex[bytes[at] >> 4], hex[bytes[at] & 0x0F]};
        shown.append(escape, sizeof escape);
        ++at;
    }
    return shown;
}

} // namespace platform
