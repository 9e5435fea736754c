// Loading the program's strings and showing its message boxes.
#pragma once

#include <cstdarg>

#include <windows.h>

#include "app/app_context.h"

constexpr int kFormatTemplateSize = 2048;
constexpr int kMessageTextSize = 4096;

// Loads string `id` into the buffer and replaces the placeholders. Returns
// the length LoadStringA reported (before substitution); 0 when the ID has
// no string.
int LoadResString(UINT id, char* buffer, int size);

// Formats string `id` as a wvsprintfA template; the placeholders are replaced
// in the template only, and a '%' that a placeholder value brings along stays
// a literal '%'.
void FormatResString(UINT id, char* output, va_list arguments);

// Message boxes with the product title as caption and a single OK button.
// Every message goes to the run log too; in quiet mode only there, and the
// call returns IDOK. An error message marks the run as failed; a preview
// logs it as one the run would show, and shows no box.
int ShowErrorMessage(HWND owner, UINT id, ...);
int ShowInfoMessage(HWND owner, UINT id, ...);

// Shows the system's own text for a Win32 error code under the caption
// "Error". Setup API codes (0xE000xxxx) are looked up in the form Windows
// keeps their text under (0x800Fxxxx); a code without any text is shown as
// its number, e.g. "0x00000490". The failure is logged with its code and
// marks the run as failed; in quiet mode no box is shown, and a preview
// logs it as one the run would meet.
void ShowSystemError(DWORD code);
