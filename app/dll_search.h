// Keeping DLLs planted beside the program out of its process.
//
// The program runs elevated, often from a download folder. Windows' default
// DLL search looks in the program's folder first, so a DLL of a system name
// planted there would run with administrator rights. Which loads protect
// themselves:
// - KERNEL32, USER32, ADVAPI32, SETUPAPI, OLE32, SHELL32 and msvcrt are
//   KnownDLLs: Windows maps them from the system folder whatever the search
//   order, both as static imports and for LoadLibrary by name.
// - COMCTL32 is bound by the manifest's side-by-side dependency (version 6
//   from WinSxS), for the static import and for LoadLibrary("COMCTL32.DLL").
// - VERSION.DLL is no KnownDLL on Windows 7 and later: it is not imported
//   but loaded by its full path in the system folder (version_info.h).
#pragma once

// Restricts the DLL search of later LoadLibrary calls to the system folder
// where Windows offers it (SetDefaultDllDirectories: Windows 8, and Windows 7
// and Vista with KB2533623); a no-op elsewhere.
void RestrictDllSearchToSystemFolder();
