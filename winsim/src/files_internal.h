// Helpers shared by the file system's sources: path parsing, host folder
// listing, and the conversion of the A functions' path arguments.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

namespace winsim {

struct ParsedPath {
    DWORD error = 0;  // ERROR_CALL_NOT_IMPLEMENTED for path forms winsim does not model
    char drive = 0;   // upper case
    std::vector<std::string> components;
    bool trailingSeparator = false;
};

// Takes a Windows path apart the way RtlGetFullPathName_U does (see
// FileSystem::resolve) and checks the names for characters Windows refuses.
ParsedPath parseWindowsPath(const std::string& path, const std::string& currentDirectory, bool allowWildcards);

// The path a Win32 call of the current process reaches: for a 32-bit
// process on 64-bit Windows, System32 and its aliases as the file system
// redirector maps them (files_redirection.cpp); otherwise `path` itself.
std::string redirectForCurrentProcess(const std::string& path, bool allowWildcards);

// UTF-8 <-> UTF-16 for names, without iconv.
std::u16string utf8ToUtf16(const std::string& utf8);
std::string utf16ToUtf8(const std::u16string& utf16);

// The names in a host folder (without "." and ".."), unsorted.
std::vector<std::string> hostEntries(const std::string& hostDir);

// Converts the path argument of an A function from the machine's code page
// to UTF-8. Fails as those functions do: a NULL or empty path with
// ERROR_PATH_NOT_FOUND, a path longer than MAX_PATH characters (the A
// functions convert into a buffer of MAX_PATH + 1 wide characters) with
// ERROR_FILENAME_EXCED_RANGE. The path given back is the one the current
// process reaches (redirectForCurrentProcess).
bool ansiPathArgument(LPCSTR path, std::string* utf8, DWORD* error);

// The DOS device ("NUL", "COM1"...) that a last path component names, or
// empty. dosDeviceOfPath looks at a whole path's last component, and never
// takes a wildcard pattern for a device.
std::string dosDeviceName(const std::string& lastComponent);
std::string dosDeviceOfPath(const std::string& path);

// How many bytes of an ANSI string of the machine's code page fit in
// `maxBytes` without splitting a double-byte character.
size_t ansiFit(const std::string& ansi, size_t maxBytes);

}  // namespace winsim
