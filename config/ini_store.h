// Value storing: puts the value text of one recognised key into its field
// of the configuration record.
#pragma once

#include <cstdint>

// Number (0 to 9) of the group file being parsed: selects the group block
// that the keys of a group file go to.
extern std::uint8_t g_index;

// Stores the value text p_s of key `key` of section `section` of file
// `file`. Indices that name no key, and sections the record has no room
// for, store nothing; nothing is ever reported.
void FillVar(std::uint8_t file, std::uint8_t section, std::uint8_t key);
