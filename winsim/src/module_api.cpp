// The loader's calls: LoadLibrary, GetModuleHandle, GetProcAddress and
// FreeLibrary over the modules of modules.cpp.
//
// Errors as the loader's status codes map to Win32: a module that is not
// there (or a handle that is not a loaded module) is ERROR_MOD_NOT_FOUND,
// an export that is not there ERROR_PROC_NOT_FOUND.
#include <windows.h>

#include <string>

#include "codepage.h"
#include "winsim/file_system.h"
#include "winsim/machine.h"

namespace {

std::string wideToUtf8(LPCWSTR text) {
    std::u16string wide;
    for (const WCHAR* p = text; *p; ++p) wide.push_back(*p);
    return winsim::fromUtf16(wide, CP_UTF8);
}

// Windows drops trailing spaces from a module name.
std::string trimTrailingSpaces(std::string name) {
    while (!name.empty() && name.back() == ' ') name.pop_back();
    return name;
}

bool hasFolder(const std::string& name) { return name.find_first_of("\\/:") != std::string::npos; }

HMODULE loadLibrary(winsim::Machine& m, const char* api, const std::string* nameUtf8, HANDLE hFile, DWORD flags) {
    if (DWORD e = m.faults.check(api)) {
        m.lastError = e;
        return nullptr;
    }
    if (!nameUtf8) {
        m.lastError = ERROR_INVALID_PARAMETER;
        return nullptr;
    }
    if (hFile) {
        winsim::notImplemented(std::string(api) + " with hFile (reserved, must be NULL)");
        return nullptr;
    }
    if (flags & ~static_cast<DWORD>(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        winsim::notImplemented(std::string(api) + " with the flags " + std::to_string(flags));
        return nullptr;
    }
    // Windows 7 without the DLL-directory update does not know the
    // LOAD_LIBRARY_SEARCH_* flags and rejects them.
    if ((flags & LOAD_LIBRARY_SEARCH_SYSTEM32) && !m.modules.dllDirectoryUpdateInstalled) {
        m.lastError = ERROR_INVALID_PARAMETER;
        return nullptr;
    }
    const std::string name = trimTrailingSpaces(*nameUtf8);
    if (winsim::DllInfo* dll = m.modules.findDll(name)) {
        // LOAD_LIBRARY_SEARCH_SYSTEM32 finds the same system DLLs (and
        // the activation context still redirects COMCTL32).
        ++dll->loadCount;
        return dll->base;
    }
    if (m.modules.isProgram(name)) {
        winsim::notImplemented(std::string(api) + " of the program's own file");
        return nullptr;
    }
    if (hasFolder(name) && m.files.exists(name)) {
        winsim::notImplemented(std::string(api) + " of \"" + name + "\", a file that is not a modelled DLL");
        return nullptr;
    }
    m.lastError = ERROR_MOD_NOT_FOUND;
    return nullptr;
}

HMODULE getModuleHandle(winsim::Machine& m, const char* api, const std::string* nameUtf8) {
    if (DWORD e = m.faults.check(api)) {
        m.lastError = e;
        return nullptr;
    }
    if (!nameUtf8) return m.modules.programInstance;
    const std::string name = trimTrailingSpaces(*nameUtf8);
    if (m.modules.isProgram(name)) return m.modules.programInstance;
    winsim::DllInfo* dll = m.modules.findDll(name);
    if (dll && m.modules.isLoaded(*dll)) return dll->base;
    m.lastError = ERROR_MOD_NOT_FOUND;
    return nullptr;
}

}  // namespace

HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName) { return LoadLibraryExA(lpLibFileName, nullptr, 0); }

HMODULE WINAPI LoadLibraryW(LPCWSTR lpLibFileName) { return LoadLibraryExW(lpLibFileName, nullptr, 0); }

HMODULE WINAPI LoadLibraryExA(LPCSTR lpLibFileName, HANDLE hFile, DWORD dwFlags) {
    winsim::Machine& m = winsim::current();
    const std::string name = lpLibFileName ? winsim::acpToUtf8(lpLibFileName) : std::string();
    return loadLibrary(m, "LoadLibraryExA", lpLibFileName ? &name : nullptr, hFile, dwFlags);
}

HMODULE WINAPI LoadLibraryExW(LPCWSTR lpLibFileName, HANDLE hFile, DWORD dwFlags) {
    winsim::Machine& m = winsim::current();
    const std::string name = lpLibFileName ? wideToUtf8(lpLibFileName) : std::string();
    return loadLibrary(m, "LoadLibraryExW", lpLibFileName ? &name : nullptr, hFile, dwFlags);
}

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
    winsim::Machine& m = winsim::current();
    const std::string name = lpModuleName ? winsim::acpToUtf8(lpModuleName) : std::string();
    return getModuleHandle(m, "GetModuleHandleA", lpModuleName ? &name : nullptr);
}

HMODULE WINAPI GetModuleHandleW(LPCWSTR lpModuleName) {
    winsim::Machine& m = winsim::current();
    const std::string name = lpModuleName ? wideToUtf8(lpModuleName) : std::string();
    return getModuleHandle(m, "GetModuleHandleW", lpModuleName ? &name : nullptr);
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
    winsim::Machine& m = winsim::current();
    if (DWORD e = m.faults.check("GetProcAddress")) {
        m.lastError = e;
        return nullptr;
    }
    if (IS_INTRESOURCE(lpProcName)) {
        winsim::notImplemented("GetProcAddress by ordinal");
        return nullptr;
    }
    // A null module is the program itself, which exports nothing.
    if (!hModule || hModule == m.modules.programInstance) {
        m.lastError = ERROR_PROC_NOT_FOUND;
        return nullptr;
    }
    winsim::DllInfo* dll = m.modules.byHandle(hModule);
    if (!dll || !m.modules.isLoaded(*dll)) {
        m.lastError = ERROR_MOD_NOT_FOUND;
        return nullptr;
    }
    // Export names compare with regard to case.
    FARPROC address = m.modules.exportOf(*dll, lpProcName, m.system);
    if (!address) m.lastError = ERROR_PROC_NOT_FOUND;
    return address;
}

BOOL WINAPI FreeLibrary(HMODULE hLibModule) {
    winsim::Machine& m = winsim::current();
    if (DWORD e = m.faults.check("FreeLibrary")) {
        m.lastError = e;
        return FALSE;
    }
    if (!hLibModule) {
        m.lastError = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    // The program itself stays mapped while it runs.
    if (hLibModule == m.modules.programInstance) return TRUE;
    winsim::DllInfo* dll = m.modules.byHandle(hLibModule);
    if (!dll || !m.modules.isLoaded(*dll)) {
        m.lastError = ERROR_MOD_NOT_FOUND;
        return FALSE;
    }
    // A DLL of the import table stays loaded whatever the count says.
    if (dll->loadCount > 0) --dll->loadCount;
    return TRUE;
}

BOOL WINAPI SetDefaultDllDirectories(DWORD DirectoryFlags) {
    winsim::Machine& m = winsim::current();
    if (DWORD e = m.faults.check("SetDefaultDllDirectories")) {
        m.lastError = e;
        return FALSE;
    }
    const DWORD valid = LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_USER_DIRS |
                        LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS;
    if (DirectoryFlags == 0 || (DirectoryFlags & ~valid)) {
        m.lastError = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    m.modules.defaultDllDirectories = DirectoryFlags;
    return TRUE;
}
