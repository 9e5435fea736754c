// Modules of the simulated process: the program itself with its string
// table and version record, and the system DLLs it may load, with their
// version records and the exports that winsim models.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "system_info.h"
#include "win_types.h"

namespace winsim {

// One row of a program's string table, as the build generates it from the
// resource script: the text in UTF-8.
struct StringResource {
    UINT id;
    WORD language;
    const char* text;
};

struct DllInfo {
    std::string name;  // "COMCTL32.DLL"
    std::string path;  // "C:\\WINDOWS\\system32\\comctl32.dll"
    bool hasVersion = true;
    DWORD versionMS = 0;  // file (and product) version, as VS_FIXEDFILEINFO holds it
    DWORD versionLS = 0;
    // The exported functions winsim models, by name; GetProcAddress finds
    // no other (a test removes one to model a system without it).
    std::map<std::string, FARPROC> exports;
    int loadCount = 0;  // LoadLibrary references that FreeLibrary has not given back
    // Reached by its bare name only through the program's activation
    // context (the version 6 common controls in WinSxS).
    bool sideBySide = false;
    HMODULE base = nullptr;  // given by Modules::addDll
};

// What the program asked of the common controls.
struct CommonControlsInit {
    DWORD size;     // INITCOMMONCONTROLSEX::dwSize as passed
    DWORD classes;  // INITCOMMONCONTROLSEX::dwICC
    BOOL result;
};

struct CommonControlsState {
    int initCommonControlsCalls = 0;
    std::vector<CommonControlsInit> initCommonControlsExCalls;
    DWORD registeredClasses = 0;  // ICC_* bits of the calls that succeeded
};

class Modules {
public:
    Modules();  // the DLLs of a 64-bit Windows 7 SP1 system

    static constexpr DWORD makeVersion(WORD high, WORD low) { return (static_cast<DWORD>(high) << 16) | low; }

    std::string programPath = "C:\\Program Files\\210QX\\USB\\210QX_USB.exe";
    HINSTANCE programInstance = reinterpret_cast<HINSTANCE>(0x400000);
    std::vector<StringResource> programStrings;
    void setProgramStrings(const StringResource* rows, size_t count);
    DWORD programVersionMS = makeVersion(1, 0);  // the program's version record: 1.0.0.2
    DWORD programVersionLS = makeVersion(0, 2);

    // What GetCurrentProcessId returns; AnotherInstance changes it while a
    // test runs a second instance of the program.
    DWORD processId = 3900;

    // The program's manifest asks for the version 6 common controls (as the
    // product's does), so its activation context sends the bare name
    // COMCTL32.DLL to the side-by-side copy. Clear it for a program without
    // that manifest, or for a system older than XP, which ignores manifests.
    bool comctl32V6Activated = true;
    // KB2533623 (built into Windows 8 and later): without it Windows 7
    // rejects the LOAD_LIBRARY_SEARCH_* flags of LoadLibraryEx.
    bool dllDirectoryUpdateInstalled = true;
    // The flags of the last SetDefaultDllDirectories call; 0 before any.
    DWORD defaultDllDirectories = 0;
    // DLLs the program's import table names: they are loaded before the
    // program starts and stay loaded whatever FreeLibrary is called.
    std::set<std::string> programImports;

    std::vector<DllInfo> dlls;
    // Adds a DLL and gives it a base address of its own.
    DllInfo& addDll(DllInfo dll);
    // Resolves a name or path as the loader does: names compare without
    // regard to case, ".DLL" is appended to a name without extension (a
    // trailing dot means "no extension"), and a bare name goes to the
    // side-by-side copy when the activation context asks for it. Finds DLLs
    // whether loaded or not (GetFileVersionInfo reads them from disk).
    DllInfo* findDll(const std::string& nameOrPath);
    DllInfo* byHandle(HMODULE module);
    HMODULE handleOf(const DllInfo& dll) const { return dll.base; }
    // Whether the DLL is mapped into the process: imported by the program
    // (in the copy its activation context picks) or loaded with LoadLibrary.
    bool isLoaded(const DllInfo& dll);
    // The address GetProcAddress gives for the export: null when the DLL
    // does not export it, or when Windows' DLL of that version or that
    // release of Windows does not have it yet (COMCTL32 before 4.70 has no
    // InitCommonControlsEx, Windows XP no LCIDToLocaleName).
    FARPROC exportOf(const DllInfo& dll, const std::string& name, const SystemInfo& system) const;
    // Whether the name or path is the program's own file.
    bool isProgram(const std::string& nameOrPath) const;
    // Sum of loadCount over all DLLs: what LoadLibrary took and FreeLibrary
    // did not give back.
    int outstandingLoads() const;

    CommonControlsState commonControls;

private:
    uintptr_t nextBase_ = 0x7FEF0000;
};

// Runs a second instance of the program on the same machine while it
// lives: GetCurrentProcessId, and so mutex ownership, see another process.
class AnotherInstance {
public:
    explicit AnotherInstance(Modules& modules);
    ~AnotherInstance();
    AnotherInstance(const AnotherInstance&) = delete;
    AnotherInstance& operator=(const AnotherInstance&) = delete;

private:
    Modules& modules_;
    DWORD savedProcessId_;
};

}  // namespace winsim
