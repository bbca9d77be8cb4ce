// The atol rules of the run-time library, kept in 32 bits on every host.
#include "shared/decimal_text.h"

std::uint32_t decimal_text_value(const char *text) {
    if (text == nullptr)
        return 0;
    while (*text == ' ' || (*text >= '\t' && *text <= '\r'))
        ++text;
    bool negative = false;
    if (*text == '+' || *text == '-')
        negative = *text++ == '-';
    std::uint32_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text)
        value = value * 10u + static_cast<std::uint32_t>(*text - '0');
    return negative ? 0u - value : value;
}
