// The program and data directories fixed by the main cycle before anything
// else runs, and the data-directory rule shared by the configuration
// loader and the debug log.
#pragma once

// Directory of the program path (argument 0) with its trailing '/'.
extern char ProgramDir[256];
// The "allusersprofile" environment value followed by "/Kervon/". When
// that does not fit, the field holds 255 characters that name no
// directory: every path built on it is too long, and nothing is opened.
extern char AllUserDir[256];

// AllUserDir when the version code is above 5, ProgramDir otherwise.
// The version is asked afresh at every call.
const char *DataDir();

// The path of the named file in the data directory. False when it would
// be longer than 255 characters: such a path is refused, never cut into
// the name of another file.
bool DataFilePath(const char *name, char (&path)[256]);
