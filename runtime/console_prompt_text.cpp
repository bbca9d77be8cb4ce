// Text routines of the console toolkit: the number at the start of a text,
// and texts filled out to a column or centred between fill texts.
#include "shared/console_prompt.h"

#include <cstring>

namespace {

// Widest text center handles; wider requests leave the text as it is.
constexpr unsigned kCenterMax = 199;

// Appends fill to text count times (nothing for a count below 1).
void append_fill(char *text, int count, const char *fill) {
    for (int i = 0; i < count; ++i)
        std::strcat(text, fill);
}

} // namespace

int getnum(const char *text, std::uint16_t *value) {
    std::uint16_t number = 0;
    int digits = 0;
    if (text != nullptr) {
        for (; text[digits] >= '0' && text[digits] <= '9'; ++digits)
            number = static_cast<std::uint16_t>(number * 10 + (text[digits] - '0'));
    }
    if (value != nullptr)
        *value = number;
    return digits;
}

char *dopln(char *text, int n, const char *fill) {
    if (text == nullptr || fill == nullptr)
        return text;
    const auto length = static_cast<long>(std::strlen(text));
    if (length < n)
        append_fill(text, static_cast<int>(n - length), fill);
    return text;
}

char *center(char *text, int n, const char *fill) {
    if (text == nullptr || fill == nullptr || static_cast<unsigned>(n) > kCenterMax)
        return text;
    const std::size_t length = std::strlen(text);
    // A text of n columns or more gets no fill on either side; so the copy
    // below never holds more than kCenterMax characters.
    if (length >= static_cast<std::size_t>(n))
        return text;
    char saved[kCenterMax + 1];
    std::memcpy(saved, text, length + 1);
    text[0] = '\0';
    const int spare = n - static_cast<int>(length);
    if (spare >= 2)
        append_fill(text, spare / 2, fill);
    std::strcat(text, saved);
    dopln(text, n, fill);
    return text;
}
