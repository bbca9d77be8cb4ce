// Reads an INI file line by line in text mode and hands each recognised
// key to FillVar. Lines are read in pieces of at most 298 characters, and
// every piece is judged by its first byte, so an overlong line can never
// overrun the buffer; what follows the cut is read as a line of its own.
#include "config/ini_parser.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "config/ini_names.h"
#include "config/ini_store.h"
#include "platform/crt/text_file.h"

std::uint8_t actual_section = 0xFF;
const char *p_s = nullptr;

namespace {

constexpr std::uint8_t kNoSection = 0xFF;
constexpr int kLineBuffer = 300;
constexpr int kLineRead = 298; // characters per read, the LF included

// A name slot of the tables holds at most 49 characters and a NUL.
bool SlotEquals(const char (&slot)[50], std::string_view name) {
    const void *nul = std::memchr(slot, 0, sizeof slot);
    const std::size_t len =
        nul ? static_cast<std::size_t>(static_cast<const char *>(nul) - slot) : sizeof slot;
    return len != 0 && std::string_view(slot, len) == name;
}

// "[name]...": the text up to the first ']' must be one of the file's
// section names exactly; anything else leaves the current section as it is.
void HeaderLine(std::uint8_t file, const char *line) {
    const char *close = std::strchr(line, ']');
    if (close == nullptr)
        return;
    const std::string_view name(line + 1, static_cast<std::size_t>(close - line - 1));
    for (int s = 0; s < 120; ++s) {
        if (SlotEquals(SectionNames[file][s], name)) {
            actual_section = static_cast<std::uint8_t>(s);
            return;
        }
    }
}

// "key=value": the key is taken as written, untrimmed; the value runs from
// after the '=' (or after a quote right behind it) to the next quote, else
// to the LF, else to the end of what was read.
void KeyLine(std::uint8_t file, char *line) {
    if (actual_section == kNoSection)
        return;
    char *eq = std::strchr(line, '=');
    if (eq == nullptr)
        return;
    const std::string_view key(line, static_cast<std::size_t>(eq - line));
    const int group = SectionLineGroup(file, actual_section);
    if (key.empty() || group < 0)
        return;
    int index = -1;
    for (int k = 0; k < 37; ++k) {
        if (SlotEquals(LineNames[file][group][k], key)) {
            index = k;
            break;
        }
    }
    if (index < 0)
        return;
    char *value = eq + 1;
    if (*value == '"')
        ++value;
    char *end = std::strchr(value, '"');
    if (end == nullptr)
        end = std::strchr(value, '\n');
    if (end != nullptr)
        *end = '\0';
    p_s = value;
    FillVar(file, actual_section, static_cast<std::uint8_t>(index));
    p_s = nullptr;
}

void ParseLine(std::uint8_t file, char *line) {
    switch (static_cast<unsigned char>(line[0])) {
    case '[':
        HeaderLine(file, line);
        break;
    case 0x00: // empty read
    case 0x07:
    case '\n':
    case ' ':
    case ';':
        break; // empty line, comment or indented line
    default:
        KeyLine(file, line);
        break;
    }
}

// A file saved by a Windows editor may begin with the UTF-8 byte-order
// mark EF BB BF, which would make the first line's '[' its fourth byte and
// lose the first section. The mark is passed over at the very start of the
// file only. Returns how many bytes of the first line were read in looking
// for it, now the beginning of line: none when the mark was there.
int SkipByteOrderMark(std::FILE *f, char *line) {
    static const unsigned char kMark[] = {0xEF, 0xBB, 0xBF};
    int read = 0;
    bool mark = true;
    while (mark && read < 3) {
        const int c = std::fgetc(f);
        if (c == EOF)
            return read; // a file shorter than the mark has none
        line[read] = static_cast<char>(c);
        mark = c == kMark[read];
        ++read;
    }
    if (!mark)
        return read;
    std::memset(line, 0, 3);
    return 0;
}

// The next piece of a line, as one read of at most kLineRead characters
// would give it, the first `begun` of which are already in line. False
// at the end of the file (a failed read counts as the end).
bool ReadLine(std::FILE *f, char *line, int begun) {
    if (begun > 0 && line[begun - 1] == '\n')
        return true;
    return std::fgets(line + begun, kLineRead + 1 - begun, f) != nullptr || begun > 0;
}

} // namespace

int EncodeINIFile(std::uint8_t file, const char *path) {
    if (file >= INI_FILE_COUNT)
        return 1;
    std::FILE *f = platform::fopen(path, "rt");
    if (f == nullptr)
        return 1;
    actual_section = kNoSection;
    char line[kLineBuffer];
    std::memset(line, 0, sizeof line);
    int begun = SkipByteOrderMark(f, line);
    while (ReadLine(f, line, begun)) {
        ParseLine(file, line);
        std::memset(line, 0, sizeof line);
        begun = 0;
    }
    std::fclose(f);
    return 0;
}
