// The sections and keys of the product family's eight kinds of INI file:
// the name tables that the parser recognises, which key group each section
// takes, and where in the configuration record each key is stored.
#pragma once

#include <cstdint>

// File numbers: the first index of the name tables.
constexpr std::uint8_t INI_FILE_KERVON = 0;   // kervon.ini
constexpr std::uint8_t INI_FILE_JOBS = 1;     // jobs.ini
constexpr std::uint8_t INI_FILE_GROUP = 2;    // group_00.ini .. group_09.ini
constexpr std::uint8_t INI_FILE_SENSOR = 3;   // sensor.ini
constexpr std::uint8_t INI_FILE_JOBSSTS = 4;  // jobsSTS.ini
constexpr std::uint8_t INI_FILE_MODULAR = 5;  // modular.ini
constexpr std::uint8_t INI_FILE_JOBSMPW = 6;  // jobsMPW.ini
constexpr std::uint8_t INI_FILE_JOBSMDU = 7;  // jobsMDU.ini
constexpr int INI_FILE_COUNT = 8;

// Section names of each file by section index; unused slots are empty.
extern const char (&SectionNames)[8][120][50];
// Key names of each file by key group and key index; unused slots are empty.
extern const char (&LineNames)[8][16][37][50];

// How a key's value text is stored.
enum class IniFieldKind : std::uint8_t {
    U8,      // low 8 bits of the number
    U16,     // low 16 bits of the number
    U16Low8, // 16-bit field holding the low 8 bits of the number
    Text,    // bounded copy of exactly `width` bytes
};

struct IniField {
    IniFieldKind kind;
    std::uint16_t width;  // bytes of the field
    std::uint32_t offset; // from the start of the section's block
};

// The key group that section `section` of file `file` selects, or -1 when
// the file has no such section.
int SectionLineGroup(std::uint8_t file, std::uint8_t section);

// Byte offset of the block that the section's keys are stored into: within
// INI for every file but the group files, within the group file's own
// TIniGroup for those. -1 when the section stores nothing (a section the
// file does not have, or one the record has no room for).
long SectionBlock(std::uint8_t file, std::uint8_t section);

// The field that key `key` of key group `group` of file `file` fills,
// relative to its section's block; null when the group names no such key.
const IniField *KeyField(std::uint8_t file, std::uint8_t group, std::uint8_t key);
