// The modules of a 64-bit Windows 7 SP1 process and the loader's rules for
// finding them by name or path.
#include "winsim/modules.h"

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include "winsim/file_system.h"

namespace winsim {
namespace {

template <class Function>
FARPROC addressOf(Function* function) {
    // Through void(*)(): the one function pointer type that every other
    // converts to without a cast-function-type warning.
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

// A release of Windows from which a DLL exports a function: major and
// minor version, and the service pack that brought it to that release.
struct OsRelease {
    DWORD major;
    DWORD minor;
    WORD servicePack;
};

// The exported functions that winsim models, by the DLL that exports them
// on Windows. GetProcAddress hands out these addresses, on the systems and
// DLL versions that have them (the documentation's "minimum supported
// client/server" and "DLL version" lines). When winsim comes to model
// another function that programs look up at run time (for example
// SetDefaultDllDirectories in KERNEL32), add a row here.
struct ExportRow {
    const char* dll;
    const char* name;
    FARPROC address;
    // The DLL's own file version (versionMS) from which it has the
    // function; 0 for every version.
    DWORD dllVersionSince;
    // NT releases that have it, oldest first: it is there on any later
    // release, and on a listed one from its service pack on. None listed:
    // every release, Windows 95/98/Me included.
    std::vector<OsRelease> osSince;
};

const std::vector<ExportRow>& exportTable() {
    static const std::vector<ExportRow> rows = {
        {"COMCTL32.DLL", "InitCommonControls", addressOf(&InitCommonControls), 0, {}},
        {"COMCTL32.DLL", "InitCommonControlsEx", addressOf(&InitCommonControlsEx), Modules::makeVersion(4, 70), {}},
        {"KERNEL32.DLL", "IsWow64Process", addressOf(&IsWow64Process), 0, {{5, 1, 2}, {5, 2, 1}}},
        {"KERNEL32.DLL", "LCIDToLocaleName", addressOf(&LCIDToLocaleName), 0, {{6, 0, 0}}},
        // Windows 8, and Vista and 7 with KB2533623 (dllDirectoryUpdateInstalled).
        {"KERNEL32.DLL", "SetDefaultDllDirectories", addressOf(&SetDefaultDllDirectories), 0, {{6, 0, 0}}},
        {"VERSION.DLL", "GetFileVersionInfoSizeA", addressOf(&GetFileVersionInfoSizeA), 0, {}},
        {"VERSION.DLL", "GetFileVersionInfoA", addressOf(&GetFileVersionInfoA), 0, {}},
        {"VERSION.DLL", "VerQueryValueA", addressOf(&VerQueryValueA), 0, {}},
        {"SHELL32.DLL", "SHGetKnownFolderPath", addressOf(&SHGetKnownFolderPath), 0, {{6, 0, 0}}},
    };
    return rows;
}

bool runsOn(const std::vector<OsRelease>& since, const SystemInfo& system) {
    if (since.empty()) return true;
    if (system.platformId != VER_PLATFORM_WIN32_NT) return false;
    for (const OsRelease& release : since)
        if (system.major == release.major && system.minor == release.minor)
            return system.servicePackMajor >= release.servicePack;
    const OsRelease& latest = since.back();
    return system.major > latest.major || (system.major == latest.major && system.minor > latest.minor);
}

// Version numbers of Windows 7 SP1 (build 7601.17514).
constexpr DWORD kWin7MS = Modules::makeVersion(6, 1);
constexpr DWORD kWin7LS = Modules::makeVersion(7601, 17514);

DllInfo systemDll(const char* name, const char* file, DWORD versionMS, DWORD versionLS) {
    DllInfo dll;
    dll.name = name;
    dll.path = std::string("C:\\WINDOWS\\system32\\") + file;
    dll.versionMS = versionMS;
    dll.versionLS = versionLS;
    for (const ExportRow& row : exportTable())
        if (dll.name == row.dll) dll.exports[row.name] = row.address;
    return dll;
}

// The loader's form of a module name: upper case, ".DLL" appended to a
// name without extension, and a trailing dot (which says "no extension")
// dropped.
std::string loaderName(const std::string& name) {
    std::string upper = upperName(name);
    const size_t lastSlash = upper.find_last_of('\\');
    const size_t lastDot = upper.find_last_of('.');
    const bool hasExtension = lastDot != std::string::npos && (lastSlash == std::string::npos || lastDot > lastSlash);
    if (!hasExtension) return upper + ".DLL";
    if (lastDot == upper.size() - 1) upper.pop_back();
    return upper;
}

std::string fileNameOf(const std::string& path) {
    const size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

Modules::Modules() {
    addDll(systemDll("NTDLL.DLL", "ntdll.dll", kWin7MS, kWin7LS));
    addDll(systemDll("KERNEL32.DLL", "kernel32.dll", kWin7MS, kWin7LS));
    addDll(systemDll("USER32.DLL", "user32.dll", kWin7MS, kWin7LS));
    addDll(systemDll("ADVAPI32.DLL", "advapi32.dll", kWin7MS, kWin7LS));
    addDll(systemDll("SHELL32.DLL", "shell32.dll", kWin7MS, kWin7LS));
    addDll(systemDll("VERSION.DLL", "version.dll", kWin7MS, makeVersion(7600, 16385)));
    addDll(systemDll("SETUPAPI.DLL", "setupapi.dll", kWin7MS, kWin7LS));
    // The common controls: 5.82 in system32, 6.10 in WinSxS for programs
    // whose manifest asks for version 6.
    addDll(systemDll("COMCTL32.DLL", "comctl32.dll", makeVersion(5, 82), kWin7LS));
    DllInfo v6 = systemDll("COMCTL32.DLL", "comctl32.dll", makeVersion(6, 10), kWin7LS);
    v6.path =
        "C:\\WINDOWS\\WinSxS\\amd64_microsoft.windows.common-controls_6595b64144ccf1df_6.0.7601.17514_none_"
        "fa396087175ac9ac\\comctl32.dll";
    v6.sideBySide = true;
    addDll(v6);

    // NTDLL and KERNEL32 are in every process; the rest is what the
    // program's import table names.
    programImports = {"NTDLL.DLL",    "KERNEL32.DLL", "USER32.DLL", "ADVAPI32.DLL",
                      "SETUPAPI.DLL", "COMCTL32.DLL", "OLE32.DLL",  "MSVCRT.DLL"};
}

DllInfo& Modules::addDll(DllInfo dll) {
    dll.base = reinterpret_cast<HMODULE>(nextBase_);
    nextBase_ += 0x100000;
    dlls.push_back(std::move(dll));
    return dlls.back();
}

DllInfo* Modules::findDll(const std::string& nameOrPath) {
    if (nameOrPath.empty()) return nullptr;
    const std::string wanted = loaderName(nameOrPath);
    if (wanted.find('\\') != std::string::npos) {
        for (DllInfo& dll : dlls)
            if (upperName(dll.path) == wanted) return &dll;
        return nullptr;
    }
    DllInfo* system = nullptr;
    DllInfo* sideBySide = nullptr;
    for (DllInfo& dll : dlls) {
        if (upperName(dll.name) != wanted) continue;
        DllInfo*& slot = dll.sideBySide ? sideBySide : system;
        if (!slot) slot = &dll;
    }
    return comctl32V6Activated && sideBySide ? sideBySide : system;
}

DllInfo* Modules::byHandle(HMODULE module) {
    if (!module) return nullptr;
    for (DllInfo& dll : dlls)
        if (dll.base == module) return &dll;
    return nullptr;
}

bool Modules::isLoaded(const DllInfo& dll) {
    if (dll.loadCount > 0) return true;
    return programImports.count(upperName(dll.name)) != 0 && findDll(dll.name) == &dll;
}

bool Modules::isProgram(const std::string& nameOrPath) const {
    const std::string wanted = upperName(nameOrPath);
    return wanted == upperName(programPath) || wanted == upperName(fileNameOf(programPath));
}

FARPROC Modules::exportOf(const DllInfo& dll, const std::string& name, const SystemInfo& system) const {
    auto it = dll.exports.find(name);
    if (it == dll.exports.end() || !it->second) return nullptr;
    for (const ExportRow& row : exportTable()) {
        if (dll.name != row.dll || name != row.name) continue;
        if (row.dllVersionSince && dll.versionMS < row.dllVersionSince) return nullptr;
        if (!runsOn(row.osSince, system)) return nullptr;
        if (name == "SetDefaultDllDirectories" && !dllDirectoryUpdateInstalled &&
            (system.major < 6 || (system.major == 6 && system.minor < 2)))
            return nullptr;
    }
    return it->second;
}

int Modules::outstandingLoads() const {
    int total = 0;
    for (const DllInfo& dll : dlls) total += dll.loadCount;
    return total;
}

AnotherInstance::AnotherInstance(Modules& modules) : modules_(modules), savedProcessId_(modules.processId) {
    modules_.processId = savedProcessId_ + 4;
}

AnotherInstance::~AnotherInstance() { modules_.processId = savedProcessId_; }

}  // namespace winsim
