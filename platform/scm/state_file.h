// The state directory that the service control manager and the registry
// keep their records in, and the whole-file writes and checked reads that
// keep those records sound: a record is written to a temporary file in the
// same folder and renamed over the old one, so that a reader (or a second
// management command at the same time) sees the old record or the new one,
// never a mix; a reader that finds a file damaged or cut short treats it
// as missing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/win_types.h"

namespace platform {

// OSKAVELDE_SCM_DIR, or /var/lib/oskavelde/scm when it is unset or empty.
std::string state_dir();

// The name in lower case (ASCII letters only): names of services and keys
// match without regard to case.
std::string lowered(const std::string &name);

// The file name for a lower-cased name: letters, digits, '-', '_', '~' and
// blank as they are, every other byte as %XX, so that no name becomes ".",
// "..", a path or one of the layer's own file names (which begin with '#'
// or '=').
std::string encoded_name(const std::string &name);

// Creates the folder and every missing folder above it (mode 0755).
// Returns the Win32 code: 0, 5 when a folder cannot be made, 3 when a
// part of the path is not a folder.
DWORD make_folders(const std::string &folder);

// True when the folder exists, or could be made, and the caller may write
// to it: the nearest existing folder of the path is writable and
// searchable.
bool folder_writable(const std::string &folder);

// Writes bytes as folder/name, whole or not at all: a temporary file in the
// folder is written, synced and renamed over the old file. Returns the
// Win32 code of the first step that failed (0 on success).
DWORD write_whole_file(const std::string &folder, const std::string &name, const std::string &bytes,
                       unsigned mode = 0644);

// Reads the whole regular file into bytes; false when it is missing, is no
// regular file, or is larger than max_size.
bool read_whole_file(const std::string &path, std::string &bytes, std::size_t max_size);

// FNV-1a over the bytes: enough to tell a damaged record from a sound one.
std::uint32_t state_checksum(const char *bytes, std::size_t length);

// A text record: the lines of text followed by "checksum=<8 hex digits>\n"
// over everything before it.
std::string sealed_text(const std::string &text);

// The text of a sealed record, or false when the checksum line is missing
// or does not match.
bool unsealed_text(const std::string &record, std::string &text);

} // namespace platform
