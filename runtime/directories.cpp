// The program and data directories and the data-directory rule.
#include "shared/directories.h"

#include "shared/version_code.h"

char ProgramDir[256] = {};
char AllUserDir[256] = {};

const char *DataDir() { return GetVersionWin() > 5 ? AllUserDir : ProgramDir; }
