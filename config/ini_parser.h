// The INI line parser: reads one configuration file, recognises its section
// headers and key lines by the name tables and hands every recognised key
// with its value text to the value storing.
#pragma once

#include <cstdint>

// Section index of the section being parsed; 0xFF while none is current.
extern std::uint8_t actual_section;
// Value text of the key being handed over, inside the parser's line buffer;
// valid only during the hand-over.
extern const char *p_s;

// Parses the file at `path` as file number `file`. Returns 1 when it cannot
// be opened (nothing else happens; errno says why, and what is not a
// regular file counts as not opened), 0 once it has been read to its end.
// A UTF-8 byte-order mark at the very start of the file is passed over.
// Anything the file holds that the tables do not name is passed over.
int EncodeINIFile(std::uint8_t file, const char *path);
