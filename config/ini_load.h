// Configuration loading: clears the configuration record and reads the
// product family's INI files from the data directory into it.
#pragma once

// Loads every configuration file. Returns 0 when loaded, whichever optional
// files were missing, and 1 when kervon.ini cannot be opened; then no other
// file is read, the record stays all zero, and errno says why the open
// failed (ENAMETOOLONG when the path would be longer than 255 characters
// and nothing was opened).
int LoadINI();

// The path that LoadINI opens kervon.ini at. False when it would be longer
// than 255 characters; such a path is never opened.
bool KervonINIPath(char (&path)[256]);

// Parses group_00.ini to group_09.ini into their group blocks and returns
// the parser's result for group_09.ini.
int LoadGroupsINI();

// Each parses one file of the data directory without clearing the record;
// 0 read, 1 not opened.
int LoadKervonINI();
int LoadJobsINI();
int LoadJobsSTSINI();
int LoadSensorINI();
int LoadModularINI();
int LoadJobsMPWINI();
int LoadJobsMDUINI();
