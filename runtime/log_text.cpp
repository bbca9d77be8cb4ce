// The visible form of device text in the logs.
#include "shared/log_text.h"

const char *log_visible_text(char *to, std::size_t size, const char *text) {
    if (size == 0)
        return to;
    static const char hex[] = "0123456789ABCDEF";
    std::size_t used = 0;
    for (const char *at = text; at != nullptr && *at != '\0'; ++at) {
        const auto byte = static_cast<unsigned char>(*at);
        const bool escaped =
            byte < 0x20 || byte == 0x7F || (byte >= 0x80 && byte <= 0x9F) || byte == '\\';
        const std::size_t width = escaped ? 4 : 1;
        if (size - 1 - used < width)
            break;
        if (escaped) {
            to[used++] = '\\';
            to[used++] = 'x';
            to[used++] = hex[byte >> 4];
            to[used++] = hex[byte & 0x0F];
        } else {
            to[used++] = *at;
        }
    }
    to[used] = '\0';
    return to;
}
