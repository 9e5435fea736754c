// Path and text helpers for ANSI strings in fixed buffers.
//
// The tool runs on Japanese Windows among others, where a double-byte
// character's second byte can equal '\\' (0x5C). Every helper that looks at
// a single byte of a string first asks GetByteType which kind of byte it is,
// so that no path is cut inside a character.
//
// Two conventions for limits are kept apart: a *size* is the whole buffer in
// bytes, terminator included (callers pass kPathBufferSize); a *max* is a
// number of characters, terminator excluded (callers pass kPathMaxChars).
#pragma once

#include <windows.h>

// A path buffer holds MAX_PATH characters and the terminator.
constexpr int kPathBufferSize = MAX_PATH + 1;
constexpr int kPathMaxChars = MAX_PATH;

enum ByteType { SingleByte = 0, LeadByte = 1, TrailByte = 2 };

// The kind of the byte at `index`, found by scanning from the start of the
// string with the lead-byte test of the system's ANSI code page.
int GetByteType(const char* text, int index);

// Copies at most `max` characters and terminates; never splits a double-byte
// character. Returns 1 if the whole source was copied, 0 if it was cut.
int CopyStringLimited(char* dest, const char* source, int max, int* outLength = nullptr);

// Appends so that `dest` holds at most `max` characters; 1 if the whole
// source was appended, 0 if it was cut (or nothing could be appended).
int AppendStringLimited(char* dest, const char* source, int max, int* outLength = nullptr);

// Appends resource string `id`, placeholders substituted. Returns the new
// length of the buffer, or 0 when the buffer had no room left.
int AppendResString(UINT id, char* buffer, int size);

// Appends resource string `id`, placeholders substituted, only when all of
// it fits: 1 when appended, 0 with the buffer unchanged otherwise. For paths,
// where a cut name would name another file.
int AppendResStringWhole(UINT id, char* buffer, int size);

// Appends '\\' unless the string is empty, already ends in one, or has no
// room. Returns 1 if a backslash was appended.
int AddBackslash(char* text, int size);

// Removes a trailing single-byte '\\' unless it belongs to a drive root such
// as "C:\\" or follows a double-byte character. Returns 1 if the string
// ended in a single-byte backslash (removed or kept).
int RemoveBackslash(char* text);

// Cuts the string at its last single-byte '.' and appends `suffix` (which
// carries its own dot); a string without a dot gets the suffix appended.
// Returns 0 for an empty string.
int ReplaceExtension(char* text, const char* suffix, int max);

// Whether the name ends in `extension` (which carries its own dot),
// without regard to the case of ASCII letters. A wildcard search also
// matches files through their short 8.3 names: "oem*.inf" lists
// "oem1.inf_old" (short name OEM1~1.INF), which this tells apart.
int HasExtension(const char* name, const char* extension);

int IsDirectory(const char* path);
int IsFile(const char* path);

// Deletes one file if it is there: 1 if it was deleted or did not exist.
// Read-only, hidden and system attributes are cleared first.
int RemoveFile(const char* path);
