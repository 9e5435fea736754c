// Modules of the simulated process: the program itself with its string
// table, and the system DLLs it may load, with their version records and
// the exports that winsim models.
#pragma once

#include <map>
#include <string>
#include <vector>

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
    DWORD versionMS = 0;
    DWORD versionLS = 0;
    std::map<std::string, FARPROC> exports;
    int loadCount = 0;
};

class Modules {
public:
    Modules();  // the DLLs of a Windows 7 system

    std::string programPath = "C:\\Program Files\\210QX\\USB\\210QX_USB.exe";
    HINSTANCE programInstance = reinterpret_cast<HINSTANCE>(0x400000);
    std::vector<StringResource> programStrings;
    void setProgramStrings(const StringResource* rows, size_t count);

    std::vector<DllInfo> dlls;
    DllInfo* findDll(const std::string& nameOrPath);
    DllInfo* byHandle(HMODULE module);
    HMODULE handleOf(const DllInfo& dll) const;
    // Sum of loadCount over all DLLs: what LoadLibrary took and FreeLibrary
    // did not give back.
    int outstandingLoads() const;
};

}  // namespace winsim
