#include "removal/driver_packages.h"

#include <windows.h>
#include <setupapi.h>

#include "app/messages.h"
#include "install/oem_inf_store.h"
#include "sysaccess/path_text.h"
#include "sysaccess/preview.h"
#include "sysaccess/run_log.h"

namespace {

const char kPnpUtilCommand[] = "pnputil.exe -f -d %s";
const char kPnpUtilFile[] = "\\pnputil.exe";
const char kInfExtension[] = ".inf";

// The full path of the system's pnputil.exe. The program runs elevated,
// often from a download folder: started through the command-line search, a
// pnputil.exe planted beside the program would run with administrator
// rights, so it is started from the system folder only.
DWORD GetPnpUtilPath(char* path) {
    const UINT length = GetSystemDirectoryA(path, kPathBufferSize);
    if (length == 0) return GetLastError();
    if (length >= static_cast<UINT>(kPathBufferSize) || !AppendStringLimited(path, kPnpUtilFile, kPathMaxChars))
        return ERROR_FILENAME_EXCED_RANGE;
    return ERROR_SUCCESS;
}

}  // namespace

int RunPnpUtilDelete(const char* infName) {
    char application[kPathBufferSize] = {};
    if (const DWORD error = GetPnpUtilPath(application)) {
        ShowSystemError(error);
        return 1;
    }
    // wsprintfA writes at most 1024 bytes, the terminator included; an INF
    // name is a file name.
    char commandLine[1024] = {};
    wsprintfA(commandLine, kPnpUtilCommand, infName);
    // A preview lists the package as handed over: whether pnputil.exe
    // deletes it, only its run tells. A missing pnputil.exe would fail
    // the start.
    if (PreviewMode()) {
        if (GetFileAttributesA(application) == INVALID_FILE_ATTRIBUTES)
            ShowSystemError(GetLastError());
        else
            LogWouldDo("pnputil", infName);
        return 1;
    }

    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(application, commandLine, nullptr, nullptr, FALSE, CREATE_NO_WINDOW | NORMAL_PRIORITY_CLASS,
                        nullptr, nullptr, &startup, &process)) {
        ShowSystemError(GetLastError());
        return 1;
    }
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 0;
    if (GetExitCodeProcess(process.hProcess, &exitCode))
        LogEventNumber("pnputil", infName, exitCode);
    else
        LogFailure(GetLastError(), "GetExitCodeProcess");
    CloseHandle(process.hProcess);
    return 1;
}

int DeleteDriverPackages(int osCode) {
    CInstall store(osCode);
    DWORD required = 0;
    if (!SetupGetInfFileListA(nullptr, INF_STYLE_WIN4, nullptr, 0, &required)) {
        ShowSystemError(GetLastError());
        return 0;
    }
    // An empty folder reports no size at all; there is nothing to do.
    if (required == 0) return 1;
    auto* list = static_cast<char*>(LocalAlloc(LPTR, required));
    if (!list) {
        ShowSystemError(GetLastError());
        return 0;
    }
    if (!SetupGetInfFileListA(nullptr, INF_STYLE_WIN4, list, required, &required)) {
        ShowSystemError(GetLastError());
        LocalFree(list);
        return 0;
    }
    // The list is a multi-string; the walk also stops at the end of the
    // buffer should its final empty entry be missing.
    const char* end = list + required;
    for (const char* name = list; name < end && *name;) {
        size_t length = 0;
        while (name + length < end && name[length]) ++length;
        if (name + length == end) break;
        // The list comes from a "*.inf" search, which also matches through
        // short names ("x.inf_old" is listed for its short name X~1.INF).
        if (HasExtension(name, kInfExtension) && store.IsProductInf(name) == 1) RunPnpUtilDelete(name);
        name += length + 1;
    }
    LocalFree(list);
    return 1;
}
