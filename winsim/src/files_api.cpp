// KERNEL32 file calls on paths: attributes, delete, folders, copy, and the
// current directory.
#include <windows.h>

#include "codepage.h"
#include "files_internal.h"
#include "winsim/machine.h"

using winsim::Machine;

namespace {

BOOL fail(Machine& m, DWORD error) {
    m.lastError = error;
    return FALSE;
}

// A FileSystem operation's result as a BOOL call reports it.
BOOL finish(Machine& m, DWORD error) { return error ? fail(m, error) : TRUE; }

// CreateDirectoryA parses the path for a folder that must still leave room
// for an 8.3 file name in it: MAX_PATH - 12 characters with the terminator.
constexpr size_t kMaxDirectoryPath = MAX_PATH - 12;

}  // namespace

DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("GetFileAttributesA")) {
        m.lastError = e;
        return INVALID_FILE_ATTRIBUTES;
    }
    std::string path;
    DWORD error = 0;
    DWORD attributes = 0;
    // The null device, in whatever folder it is named, reads as an archive.
    if (winsim::ansiPathArgument(lpFileName, &path, &error) && winsim::dosDeviceOfPath(path) == "NUL")
        return FILE_ATTRIBUTE_ARCHIVE;
    if (!winsim::ansiPathArgument(lpFileName, &path, &error) ||
        (error = m.files.tryGetAttributes(path, &attributes)) != 0) {
        m.lastError = error;
        return INVALID_FILE_ATTRIBUTES;
    }
    return attributes;
}

BOOL WINAPI SetFileAttributesA(LPCSTR lpFileName, DWORD dwFileAttributes) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("SetFileAttributesA")) return fail(m, e);
    std::string path;
    DWORD error = 0;
    if (!winsim::ansiPathArgument(lpFileName, &path, &error)) return fail(m, error);
    return finish(m, m.files.trySetAttributes(path, dwFileAttributes));
}

BOOL WINAPI DeleteFileA(LPCSTR lpFileName) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("DeleteFileA")) return fail(m, e);
    std::string path;
    DWORD error = 0;
    if (!winsim::ansiPathArgument(lpFileName, &path, &error)) return fail(m, error);
    return finish(m, m.files.tryDeleteFile(path));
}

BOOL WINAPI CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("CreateDirectoryA")) return fail(m, e);
    if (lpSecurityAttributes && lpSecurityAttributes->lpSecurityDescriptor) {
        winsim::notImplemented("CreateDirectoryA with a security descriptor");
        return FALSE;
    }
    std::string path;
    DWORD error = 0;
    if (!winsim::ansiPathArgument(lpPathName, &path, &error)) return fail(m, error);
    winsim::FileSystem::Resolved r = m.files.resolve(path);
    if (!r.syntaxError) {
        if (winsim::utf8ToUtf16(r.canonical).size() >= kMaxDirectoryPath) return fail(m, ERROR_FILENAME_EXCED_RANGE);
    }
    return finish(m, m.files.tryCreateDirectory(path));
}

BOOL WINAPI RemoveDirectoryA(LPCSTR lpPathName) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("RemoveDirectoryA")) return fail(m, e);
    std::string path;
    DWORD error = 0;
    if (!winsim::ansiPathArgument(lpPathName, &path, &error)) return fail(m, error);
    return finish(m, m.files.tryRemoveDirectory(path));
}

BOOL WINAPI CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("CopyFileA")) return fail(m, e);
    std::string from;
    std::string to;
    DWORD error = 0;
    if (!winsim::ansiPathArgument(lpExistingFileName, &from, &error)) return fail(m, error);
    if (!winsim::ansiPathArgument(lpNewFileName, &to, &error)) return fail(m, error);
    return finish(m, m.files.tryCopyFile(from, to, bFailIfExists != FALSE));
}

DWORD WINAPI GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("GetCurrentDirectoryA")) {
        m.lastError = e;
        return 0;
    }
    // Windows keeps the current directory without a trailing backslash,
    // except at the root of a drive.
    std::string dir = m.files.resolve(m.files.currentDirectory).canonical;
    const std::string ansi = winsim::utf8ToAcp(dir);
    if (!lpBuffer || nBufferLength < ansi.size() + 1) return static_cast<DWORD>(ansi.size() + 1);
    ansi.copy(lpBuffer, ansi.size());
    lpBuffer[ansi.size()] = '\0';
    return static_cast<DWORD>(ansi.size());
}
