// The start-up code that runs before the program's own entry: it keeps the
// command line as the run-time library's argument list and then calls the
// entry, whose result becomes the exit code. A console write to a pipe
// that nobody reads any more fails like any other write instead of ending
// the process, as on Windows. A standard descriptor that the process was
// started without is opened on /dev/null, so that no descriptor the agent
// opens later takes its number.
#pragma once

namespace platform {

using ProgramEntry = int (*)();

// Fills closed standard descriptors, keeps the argument list, makes broken
// pipes plain write errors and runs the entry.
int StartUp(int argc, char **argv, ProgramEntry entry);

// The argument list: the count of arguments with the program path
// included, and argument n (0 the program path), or null outside 0 to
// the count less one. Before StartUp the list is empty.
int ArgumentCount();
const char *Argument(int n);

// For tests: sets the argument list without running an entry.
void SetArguments(int argc, char **argv);

} // namespace platform
