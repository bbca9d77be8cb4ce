// The journal behind standard output. systemd connects a service's output
// to the journal through a stream and names that stream in the
// environment (JOURNAL_STREAM, "device:inode"); the journal stores each
// line it reads, and shows a line that holds a control byte or bytes that
// are not UTF-8 as "[N blob data]" instead of its text.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// True when the file descriptor is the stream that JOURNAL_STREAM names:
// the same device and inode. False without the variable, with a value of
// another form, or for any other file.
bool is_journal_stream(int fd);

// The text as the journal shows it as text: CR bytes dropped, so that
// "\n\r" line breaks end lines cleanly, and every other byte that would
// make a line blob data (a control byte other than tab and line feed,
// DEL, a byte of no valid UTF-8 sequence, a C1 control or a non-character
// in UTF-8) written as "\xHH". Valid printable UTF-8 passes unchanged.
std::string journal_text(const char *text, std::size_t length);

} // namespace platform
