// The Windows and system folders, and the path of the running program.
#include <cstring>

#include <windows.h>

#include "codepage.h"
#include "files_internal.h"
#include "winsim/machine.h"

using winsim::Machine;

namespace {

// GetWindowsDirectoryA and GetSystemDirectoryA: the length copied, or when
// the buffer is too small the size it needs, terminator included, with
// nothing copied.
UINT copyFolder(const std::string& utf8, LPSTR buffer, UINT size) {
    const std::string ansi = winsim::utf8ToAcp(utf8);
    if (!buffer || size < ansi.size() + 1) return static_cast<UINT>(ansi.size() + 1);
    std::memcpy(buffer, ansi.c_str(), ansi.size() + 1);
    return static_cast<UINT>(ansi.size());
}

}  // namespace

UINT WINAPI GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("GetWindowsDirectoryA")) {
        m.lastError = e;
        return 0;
    }
    return copyFolder(m.system.windowsDir, lpBuffer, uSize);
}

UINT WINAPI GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("GetSystemDirectoryA")) {
        m.lastError = e;
        return 0;
    }
    return copyFolder(m.system.windowsDir + "\\system32", lpBuffer, uSize);
}

DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("GetModuleFileNameA")) {
        m.lastError = e;
        return 0;
    }
    std::string path;
    if (!hModule || hModule == m.modules.programInstance) {
        path = m.modules.programPath;
    } else if (const winsim::DllInfo* dll = m.modules.byHandle(hModule); dll && m.modules.isLoaded(*dll)) {
        path = dll->path;
    } else {
        m.lastError = ERROR_MOD_NOT_FOUND;
        return 0;
    }
    const std::string ansi = winsim::utf8ToAcp(path);
    if (ansi.size() < nSize) {
        std::memcpy(lpFilename, ansi.c_str(), ansi.size() + 1);
        return static_cast<DWORD>(ansi.size());
    }
    // Since Windows Vista a name that does not fit is cut to nSize - 1
    // characters and terminated; the call returns nSize and reports
    // ERROR_INSUFFICIENT_BUFFER. A double-byte character is not split.
    m.lastError = ERROR_INSUFFICIENT_BUFFER;
    if (nSize == 0) return 0;
    const size_t n = winsim::ansiFit(ansi, nSize - 1);
    std::memcpy(lpFilename, ansi.data(), n);
    lpFilename[n] = '\0';
    return nSize;
}
