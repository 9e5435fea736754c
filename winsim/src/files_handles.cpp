// CreateFileA, ReadFile, WriteFile and GetFileSize: file handles over the
// simulated file system, with what tests need to create and read files
// (CREATE_ALWAYS, OPEN_EXISTING, GENERIC_READ and GENERIC_WRITE, or no
// access at all to look at a file's attributes), the null device, and what
// a log needs (OPEN_ALWAYS, FILE_APPEND_DATA, FILE_FLAG_OPEN_REPARSE_POINT).
// Other dispositions, access rights and flags are not modelled.
#include <cstring>
#include <fstream>
#include <memory>
#include <sys/stat.h>

#include <windows.h>

#include "files_internal.h"
#include "winsim/machine.h"

using winsim::Machine;

namespace {

constexpr DWORD kSettableAttributes = 0x31A7;

// An open file. Closing the handle (CloseHandle drops the object) ends its
// share of the file.
struct OpenFile : winsim::KernelObject {
    winsim::FileSystem* files = nullptr;
    int openId = 0;
    std::string host;
    std::string path;  // UTF-8 Windows path, for the archive attribute
    bool canRead = false;
    bool canWrite = false;
    bool nullDevice = false;  // writes vanish, reads find the end at once
    bool appendOnly = false;  // FILE_APPEND_DATA without GENERIC_WRITE: every write goes to the end
    uint64_t position = 0;
    ~OpenFile() override {
        if (files) files->close(openId);
    }
};

HANDLE failHandle(Machine& m, DWORD error) {
    m.lastError = error;
    return INVALID_HANDLE_VALUE;
}

uint64_t hostSize(const std::string& host) {
    struct stat st;
    return ::stat(host.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

}  // namespace

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("CreateFileA")) return failHandle(m, e);
    if ((dwDesiredAccess & ~(GENERIC_READ | GENERIC_WRITE | FILE_APPEND_DATA)) ||
        (dwShareMode & ~(FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE)) ||
        (dwCreationDisposition != CREATE_ALWAYS && dwCreationDisposition != OPEN_EXISTING &&
         dwCreationDisposition != OPEN_ALWAYS) ||
        (dwFlagsAndAttributes & ~(kSettableAttributes | FILE_FLAG_OPEN_REPARSE_POINT)) || hTemplateFile ||
        (lpSecurityAttributes && lpSecurityAttributes->lpSecurityDescriptor)) {
        winsim::notImplemented("CreateFileA with access, sharing, disposition or flags beyond "
                               "GENERIC_READ/GENERIC_WRITE, CREATE_ALWAYS/OPEN_EXISTING and file attributes");
        return INVALID_HANDLE_VALUE;
    }
    std::string path;
    DWORD error = 0;
    if (!winsim::ansiPathArgument(lpFileName, &path, &error)) return failHandle(m, error);
    if (winsim::dosDeviceOfPath(path) == "NUL") {
        // The null device opens in any folder, with any disposition here.
        auto device = std::make_shared<OpenFile>();
        device->nullDevice = true;
        device->canRead = (dwDesiredAccess & GENERIC_READ) != 0;
        device->canWrite = (dwDesiredAccess & GENERIC_WRITE) != 0;
        return m.handles.add(winsim::HandleKind::File, device);
    }
    winsim::FileSystem::Resolved r = m.files.resolve(path);
    if (r.syntaxError) {
        if (r.syntaxError == ERROR_CALL_NOT_IMPLEMENTED) winsim::notImplemented("path form: " + path);
        return failHandle(m, r.syntaxError);
    }
    if (!r.driveKnown || !r.parentExists) return failHandle(m, ERROR_PATH_NOT_FOUND);
    // A folder opens only with FILE_FLAG_BACKUP_SEMANTICS.
    if (r.isDirectory) return failHandle(m, ERROR_ACCESS_DENIED);

    // A link is opened itself only when the caller asks for that; where it
    // points is not modelled.
    if (r.exists && (m.files.attributes(path) & FILE_ATTRIBUTE_REPARSE_POINT) &&
        !(dwFlagsAndAttributes & FILE_FLAG_OPEN_REPARSE_POINT)) {
        winsim::notImplemented("CreateFileA following a link");
        return INVALID_HANDLE_VALUE;
    }
    const bool appendOnly = (dwDesiredAccess & FILE_APPEND_DATA) && !(dwDesiredAccess & GENERIC_WRITE);
    winsim::OpenMode mode;
    mode.read = (dwDesiredAccess & GENERIC_READ) != 0;
    mode.write = (dwDesiredAccess & (GENERIC_WRITE | FILE_APPEND_DATA)) != 0;
    mode.share = dwShareMode;
    const bool existed = r.exists;
    if (dwCreationDisposition == OPEN_EXISTING && !existed) return failHandle(m, ERROR_FILE_NOT_FOUND);
    if (existed) {
        const DWORD current = m.files.attributes(path);
        if ((mode.write || dwCreationDisposition == CREATE_ALWAYS) && (current & FILE_ATTRIBUTE_READONLY))
            return failHandle(m, ERROR_ACCESS_DENIED);
        // Replacing a hidden or system file needs the same attributes again.
        if (dwCreationDisposition == CREATE_ALWAYS) {
            const DWORD keep = current & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
            if ((dwFlagsAndAttributes & keep) != keep) return failHandle(m, ERROR_ACCESS_DENIED);
        }
    }
    if (DWORD e = m.files.checkSharing(r.key, mode)) return failHandle(m, e);
    if (dwCreationDisposition == OPEN_ALWAYS && !existed) {
        if (DWORD e = m.files.tryWriteFile(path, std::string())) return failHandle(m, e);
        m.files.setAttributes(path, (dwFlagsAndAttributes & ~FILE_ATTRIBUTE_NORMAL) | FILE_ATTRIBUTE_ARCHIVE);
    }
    if (dwCreationDisposition == CREATE_ALWAYS) {
        // The file is created or emptied with the attributes asked for and
        // FILE_ATTRIBUTE_ARCHIVE.
        if (DWORD e = m.files.tryWriteFile(path, std::string())) return failHandle(m, e);
        m.files.setAttributes(path, (dwFlagsAndAttributes & ~FILE_ATTRIBUTE_NORMAL) | FILE_ATTRIBUTE_ARCHIVE);
    }
    r = m.files.resolve(path);
    auto file = std::make_shared<OpenFile>();
    if (DWORD e = m.files.open(r.key, mode, &file->openId)) return failHandle(m, e);
    file->files = &m.files;
    // CREATE_ALWAYS and OPEN_ALWAYS report whether the file was there before.
    if (dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == OPEN_ALWAYS)
        m.lastError = existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS;
    file->host = r.host;
    file->path = r.canonical;
    file->canRead = mode.read;
    file->canWrite = mode.write;
    file->appendOnly = appendOnly;
    return m.handles.add(winsim::HandleKind::File, file);
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten,
                      LPOVERLAPPED lpOverlapped) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("WriteFile")) {
        m.lastError = e;
        return FALSE;
    }
    if (lpOverlapped) {
        winsim::notImplemented("WriteFile with an OVERLAPPED structure");
        return FALSE;
    }
    auto file = m.handles.get<OpenFile>(hFile, winsim::HandleKind::File);
    if (!file) {
        m.lastError = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    if (!lpNumberOfBytesWritten || (!lpBuffer && nNumberOfBytesToWrite)) {
        m.lastError = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    *lpNumberOfBytesWritten = 0;
    if (!file->canWrite) {
        m.lastError = ERROR_ACCESS_DENIED;
        return FALSE;
    }
    if (file->nullDevice) {
        *lpNumberOfBytesWritten = nNumberOfBytesToWrite;
        return TRUE;
    }
    if (file->appendOnly) file->position = hostSize(file->host);
    std::fstream out(file->host, std::ios::binary | std::ios::in | std::ios::out);
    out.seekp(static_cast<std::streamoff>(file->position));
    out.write(static_cast<const char*>(lpBuffer), nNumberOfBytesToWrite);
    if (!out) {
        m.lastError = ERROR_WRITE_PROTECT;
        return FALSE;
    }
    file->position += nNumberOfBytesToWrite;
    *lpNumberOfBytesWritten = nNumberOfBytesToWrite;
    // The file system marks a file it changes for the next backup.
    if (nNumberOfBytesToWrite) {
        const DWORD attributes = m.files.attributes(file->path);
        m.files.setAttributes(file->path, (attributes & ~FILE_ATTRIBUTE_NORMAL) | FILE_ATTRIBUTE_ARCHIVE);
    }
    return TRUE;
}

BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
                     LPOVERLAPPED lpOverlapped) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("ReadFile")) {
        m.lastError = e;
        return FALSE;
    }
    if (lpOverlapped) {
        winsim::notImplemented("ReadFile with an OVERLAPPED structure");
        return FALSE;
    }
    auto file = m.handles.get<OpenFile>(hFile, winsim::HandleKind::File);
    if (!file) {
        m.lastError = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    if (!lpNumberOfBytesRead || (!lpBuffer && nNumberOfBytesToRead)) {
        m.lastError = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    *lpNumberOfBytesRead = 0;
    if (!file->canRead) {
        m.lastError = ERROR_ACCESS_DENIED;
        return FALSE;
    }
    const uint64_t size = file->nullDevice ? 0 : hostSize(file->host);
    if (file->position >= size) return TRUE;  // at the end: success with nothing read
    const uint64_t count = std::min<uint64_t>(nNumberOfBytesToRead, size - file->position);
    std::ifstream in(file->host, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(file->position));
    in.read(static_cast<char*>(lpBuffer), static_cast<std::streamsize>(count));
    file->position += count;
    *lpNumberOfBytesRead = static_cast<DWORD>(count);
    return TRUE;
}

DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("GetFileSize")) {
        m.lastError = e;
        return INVALID_FILE_SIZE;
    }
    auto file = m.handles.get<OpenFile>(hFile, winsim::HandleKind::File);
    if (!file) {
        m.lastError = ERROR_INVALID_HANDLE;
        return INVALID_FILE_SIZE;
    }
    const uint64_t size = file->nullDevice ? 0 : hostSize(file->host);
    if (lpFileSizeHigh) *lpFileSizeHigh = static_cast<DWORD>(size >> 32);
    // A size whose low part is INVALID_FILE_SIZE is told apart from a
    // failure by a last error of NO_ERROR.
    if ((size & 0xFFFFFFFFu) == INVALID_FILE_SIZE) m.lastError = NO_ERROR;
    return static_cast<DWORD>(size & 0xFFFFFFFFu);
}
