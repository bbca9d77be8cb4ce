// The small integer code of the running Windows version on which the
// agent branches (data directory, stop method, handler kind, message box).
#pragma once

// 0 unknown, 1 Windows 9x, 2 NT before 2000, 3 2000, 4 XP, 5 Server 2003,
// 6 Vista, 7 Windows 7, 8 Server 2008, 9 Server 2008 R2, 99 newer NT.
int GetVersionWin();

// The name printed for a version code: "Unknow !" for 0 and any code
// without a name of its own.
const char *VersionName(int code);
