// The agent's main cycle: it fixes the directories, loads the
// configuration, settles the debug switches, installs the signal and
// console-control handlers, starts the worker threads and waits in its
// message loop for the quit message.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/win_types.h"

// The thread that runs the main cycle; the console control handler posts
// the quit message to it.
extern platform::DWORD MainId;

// 1 once the main cycle has received the quit message or Catcher has run;
// Catcher ignores every signal while it is 1.
extern std::atomic<std::int32_t> was_term_signal;

// Runs once per process and returns when the quit message has arrived.
// When the main configuration file cannot be opened it shows the message
// box, writes the path tried and the reason beside it, unloads the
// terminal services, asks the installed service to stop and ends the
// process with exit code 2.
void StartServiceA();

// The directory part of argument 0 with its trailing '/', or empty when
// argument 0 has none or it does not fit in 255 characters.
void SetProgramDir(const char *program_path);

// The "allusersprofile" value followed by "/Kervon/"; "/Kervon/" alone
// when the variable is missing or empty. A value too long to take the
// suffix in 255 characters fills AllUserDir with 255 characters that leave
// no room for a file name: a directory that nothing is opened in.
void SetAllUserDir();
