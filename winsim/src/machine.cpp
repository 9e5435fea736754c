#include "winsim/machine.h"

#include <cstdio>
#include <cstdlib>

#include <windows.h>

namespace winsim {
namespace {
Machine* g_current = nullptr;
}

Machine::Machine() : previous_(g_current) {
    g_current = this;
    // The running program's own folder exists, as it does on Windows.
    files.createDirectory(modules.programPath.substr(0, modules.programPath.find_last_of('\\')));
}

Machine::~Machine() { g_current = previous_; }

Machine& current() {
    if (!g_current) {
        std::fprintf(stderr, "winsim: a Win32 call was made with no simulated machine\n");
        std::abort();
    }
    return *g_current;
}

void notImplemented(const std::string& what) {
    Machine& m = current();
    m.unimplemented.push_back(what);
    std::fprintf(stderr, "winsim: not modelled: %s\n", what.c_str());
    m.lastError = ERROR_CALL_NOT_IMPLEMENTED;
}

}  // namespace winsim

DWORD WINAPI GetLastError(void) { return winsim::current().lastError; }

void WINAPI SetLastError(DWORD dwErrCode) { winsim::current().lastError = dwErrCode; }

BOOL WINAPI CloseHandle(HANDLE hObject) {
    winsim::Machine& m = winsim::current();
    if (DWORD e = m.faults.check("CloseHandle")) {
        m.lastError = e;
        return FALSE;
    }
    // Closing the pseudo-handles of the current process and thread has no
    // effect and succeeds.
    if (hObject == GetCurrentProcess() || hObject == GetCurrentThread()) return TRUE;
    if (!m.handles.closeAny(hObject)) {
        m.lastError = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    return TRUE;
}
