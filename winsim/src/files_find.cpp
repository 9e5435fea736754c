// FindFirstFileA, FindNextFileA and FindClose over the simulated file system.
//
// A search takes its listing when it starts. On NTFS the first directory
// query of FindFirstFileA fills a buffer with as many entries as fit (all of
// them for folders of a few dozen names), and FindNextFileA hands them out
// from that buffer: a file deleted during the search is still reported, and
// a file created during it is not. winsim keeps that behaviour for folders
// of any size.
#include <cstring>
#include <memory>

#include <windows.h>

#include "codepage.h"
#include "files_internal.h"
#include "winsim/machine.h"

using winsim::Machine;

namespace {

struct FindSearch : winsim::KernelObject {
    std::vector<winsim::FindEntry> entries;
    size_t next = 0;
};

// Copies a UTF-8 name into an ANSI buffer of `size` bytes, converted to the
// machine's code page, without splitting a double-byte character.
void copyName(const std::string& utf8, char* out, size_t size) {
    const std::string ansi = winsim::utf8ToAcp(utf8);
    const size_t n = winsim::ansiFit(ansi, size - 1);
    std::memcpy(out, ansi.data(), n);
    out[n] = '\0';
}

void fill(const winsim::FindEntry& e, LPWIN32_FIND_DATAA data) {
    std::memset(data, 0, sizeof *data);
    data->dwFileAttributes = e.attributes;
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(e.writeTime & 0xFFFFFFFFu);
    time.dwHighDateTime = static_cast<DWORD>(e.writeTime >> 32);
    // The host keeps no creation time; the last write stands in for it.
    data->ftCreationTime = time;
    data->ftLastAccessTime = time;
    data->ftLastWriteTime = time;
    data->nFileSizeHigh = static_cast<DWORD>(e.size >> 32);
    data->nFileSizeLow = static_cast<DWORD>(e.size & 0xFFFFFFFFu);
    copyName(e.name, data->cFileName, sizeof data->cFileName);
    // Empty when the long name is a valid 8.3 name itself.
    copyName(e.shortName, data->cAlternateFileName, sizeof data->cAlternateFileName);
}

}  // namespace

HANDLE WINAPI FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("FindFirstFileA")) {
        m.lastError = e;
        return INVALID_HANDLE_VALUE;
    }
    if (!lpFindFileData) {
        m.lastError = ERROR_INVALID_PARAMETER;
        return INVALID_HANDLE_VALUE;
    }
    std::string pattern;
    DWORD error = 0;
    auto search = std::make_shared<FindSearch>();
    if (winsim::ansiPathArgument(lpFileName, &pattern, &error) && winsim::dosDeviceOfPath(pattern) == "NUL") {
        // The null device is found in any folder that exists, under the
        // device part of the name asked for ("NUL" for "NUL.txt").
        const size_t slash = pattern.find_last_of("\\/");
        const std::string folder = slash == std::string::npos ? m.files.currentDirectory : pattern.substr(0, slash + 1);
        if (!m.files.isDirectory(folder)) {
            m.lastError = ERROR_PATH_NOT_FOUND;
            return INVALID_HANDLE_VALUE;
        }
        winsim::FindEntry device;
        std::string last = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
        if (last.size() >= 2 && last[1] == ':') last.erase(0, 2);  // "C:nul"
        device.name = last.substr(0, 3);
        device.attributes = FILE_ATTRIBUTE_ARCHIVE;
        search->entries.push_back(device);
    } else if (!winsim::ansiPathArgument(lpFileName, &pattern, &error) ||
        (error = m.files.tryFind(pattern, &search->entries)) != 0) {
        m.lastError = error;
        return INVALID_HANDLE_VALUE;
    }
    fill(search->entries[0], lpFindFileData);
    search->next = 1;
    return m.handles.add(winsim::HandleKind::FindSearch, search);
}

BOOL WINAPI FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("FindNextFileA")) {
        m.lastError = e;
        return FALSE;
    }
    auto search = m.handles.get<FindSearch>(hFindFile, winsim::HandleKind::FindSearch);
    if (!search) {
        m.lastError = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    if (search->next >= search->entries.size()) {
        m.lastError = ERROR_NO_MORE_FILES;
        return FALSE;
    }
    fill(search->entries[search->next++], lpFindFileData);
    return TRUE;
}

BOOL WINAPI FindClose(HANDLE hFindFile) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("FindClose")) {
        m.lastError = e;
        return FALSE;
    }
    if (!m.handles.close(hFindFile, winsim::HandleKind::FindSearch)) {
        m.lastError = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    return TRUE;
}
