// Object identifiers from and to dotted text.
#include "snmp/oid.h"

#include <cstdio>
#include <cstring>

Oid::Oid(const char *text, bool is_dotted) {
    if (text == nullptr)
        return;
    if (!is_dotted) {
        const std::size_t n = std::strlen(text);
        if (n > k_max_len)
            return;
        for (std::size_t i = 0; i < n; ++i)
            ids_[i] = static_cast<unsigned char>(text[i]);
        len_ = n;
        return;
    }
    const char *p = text;
    if (*p == '.')
        ++p;
    unsigned long count = 0;
    while (*p != '\0') {
        if (*p < '0' || *p > '9' || count == k_max_len)
            return;
        std::uint64_t value = 0;
        while (*p >= '0' && *p <= '9') {
            value = value * 10 + static_cast<std::uint64_t>(*p - '0');
            if (value > 0xFFFFFFFFu)
                return;
            ++p;
        }
        ids_[count++] = static_cast<std::uint32_t>(value);
        if (*p == '.') {
            ++p;
            if (*p == '\0')
                return;
        } else if (*p != '\0') {
            return;
        }
    }
    len_ = count;
}

Oid::Oid(const unsigned long *raw, unsigned long count) {
    if (raw == nullptr || count > k_max_len)
        return;
    for (unsigned long i = 0; i < count; ++i) {
        if (raw[i] > 0xFFFFFFFFu)
            return;
        ids_[i] = static_cast<std::uint32_t>(raw[i]);
    }
    len_ = count;
}

const char *Oid::get_printable() const {
    printable_.clear();
    char part[16];
    for (unsigned long i = 0; i < len_; ++i) {
        std::snprintf(part, sizeof part, i == 0 ? "%u" : ".%u", static_cast<unsigned>(ids_[i]));
        printable_ += part;
    }
    return printable_.c_str();
}
