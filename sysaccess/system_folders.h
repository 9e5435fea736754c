// The Windows folders that the driver removal works on, and the copies
// Windows XP keeps for its last-known-good configuration. Each result has no
// trailing backslash; on failure (0) the output is not to be used.
#pragma once

int GetDriversDir(char* out);          // <Windows>\SYSTEM32\DRIVERS
int GetLastGoodDriversDir(char* out);  // <Windows>\LastGood\SYSTEM32\DRIVERS
int GetInfDir(char* out);              // <Windows>\INF
int GetLastGoodInfDir(char* out);      // <Windows>\LastGood\INF
