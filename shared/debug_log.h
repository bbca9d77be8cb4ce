// The debug log and the process-wide debug switches that decide whether
// and how much every part of the agent writes to it.
#pragma once

#include <cstdint>

// Console output of printfc.
extern std::uint8_t bDebug;
// File output of printfc.
extern std::uint8_t bDebugLog;
// Verbosity of the debug output and of the communication log.
extern std::uint8_t k_monitor;
// Trace level of the client protocol server and of the poller's request line.
extern std::uint8_t k_monitor1;
// Error lines of the client-side request sender below trace level 2.
extern std::uint8_t k_errorlog;

// Writes the text unchanged to the console when bDebug is set and appends
// it to the debug log file "debugsnmp.log" in the data directory (LF
// written as CR LF) when bDebugLog is set. When the file cannot be written
// (missing or unwritable directory, a path over 255 characters) its copy of
// the message is lost without a report; the console copy is still written.
// Safe from any thread; one call's text is never interleaved with another's.
void printfc(const char *text);
