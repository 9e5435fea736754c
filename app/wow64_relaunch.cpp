#include "app/wow64_relaunch.h"

#include <windows.h>

#include "app/app_context.h"
#include "app/messages.h"
#include "app/run_outcome.h"
#include "res/resource.h"
#include "sysaccess/local_buffer.h"
#include "sysaccess/path_text.h"
#include "sysaccess/proc_address.h"
#include "sysaccess/run_log.h"

bool RunningUnderWow64() {
    typedef BOOL(WINAPI * IsWow64ProcessFn)(HANDLE, PBOOL);
    HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    if (!kernel32) return false;
    auto isWow64 = LookUpProc<IsWow64ProcessFn>(kernel32, "IsWow64Process");
    BOOL wow64 = FALSE;
    return isWow64 && isWow64(GetCurrentProcess(), &wow64) && wow64;
}

bool RunNativeBuild(const char* commandLine) {
    char path[kPathBufferSize] = {};
    // Without the program's folder the bare name would be looked for in the
    // current folder, where anyone may have put a file of that name.
    if (g_pAppContext->szModuleDir[0] == '\0' ||
        !CopyStringLimited(path, g_pAppContext->szModuleDir, kPathMaxChars) ||
        !AppendStringLimited(path, kNativeBuildName, kPathMaxChars) || !IsFile(path)) {
        ShowErrorMessage(nullptr, IDS_MSG_INSTALL_FAILED);
        return false;
    }
    ReleaseAppContext();
    // The 64-bit build appends its lines to the log this process holds.
    LogEvent("hand over", path);

    // "<path>" <the command line this copy was given>
    const char* arguments = commandLine ? commandLine : "";
    LocalBuffer<char> line(static_cast<size_t>(lstrlenA(path)) + static_cast<size_t>(lstrlenA(arguments)) + 4);
    if (!line.get()) {
        ShowSystemError(GetLastError());
        ShowErrorMessage(nullptr, IDS_MSG_INSTALL_FAILED);
        return false;
    }
    lstrcpyA(line.get(), "\"");
    lstrcatA(line.get(), path);
    lstrcatA(line.get(), "\" ");
    lstrcatA(line.get(), arguments);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(path, line.get(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup,
                        &process)) {
        ShowSystemError(GetLastError());
        ShowErrorMessage(nullptr, IDS_MSG_INSTALL_FAILED);
        return false;
    }
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    // Its exit code is the run's: /quiet went to it with the command line.
    DWORD exitCode = 0;
    if (GetExitCodeProcess(process.hProcess, &exitCode)) {
        NoteHandedOverExitCode(exitCode);
    } else {
        LogFailure(GetLastError(), "GetExitCodeProcess");
        NoteHandOverOutcomeUnknown();
    }
    CloseHandle(process.hProcess);
    return true;
}
