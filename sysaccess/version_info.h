// File version records, through VERSION.DLL loaded by its full path in the
// system folder: VERSION.DLL is no KnownDLL, so importing it would let a
// copy planted beside the program be loaded instead.
#pragma once

#include <windows.h>

// The high half of a file's fixed version (major << 16 | minor), 0 when the
// file has no version record or VERSION.DLL cannot be loaded.
DWORD QueryFileVersionMS(const char* file);
