// MoveFileExA and GetLocalTime: what a program needs to keep a log file of
// its own beside its other work (renaming the full log away, stamping
// lines with the time).
#include <windows.h>

#include <string>

#include "files_internal.h"
#include "winsim/machine.h"

using winsim::Machine;

namespace {

BOOL fail(Machine& m, DWORD error) {
    m.lastError = error;
    return FALSE;
}

}  // namespace

BOOL WINAPI MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("MoveFileExA")) return fail(m, e);
    if (dwFlags & ~static_cast<DWORD>(MOVEFILE_REPLACE_EXISTING)) {
        winsim::notImplemented("MoveFileExA with flags other than MOVEFILE_REPLACE_EXISTING");
        return FALSE;
    }
    // A NULL new name asks for a deletion at restart, which is not modelled.
    if (!lpNewFileName) {
        winsim::notImplemented("MoveFileExA without a new name");
        return FALSE;
    }
    std::string from, to;
    DWORD error = 0;
    if (!winsim::ansiPathArgument(lpExistingFileName, &from, &error)) return fail(m, error);
    if (!winsim::ansiPathArgument(lpNewFileName, &to, &error)) return fail(m, error);
    if (DWORD e = m.files.tryMoveFile(from, to, (dwFlags & MOVEFILE_REPLACE_EXISTING) != 0)) return fail(m, e);
    return TRUE;
}

void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime) {
    const auto& t = winsim::current().system.localTime;
    *lpSystemTime = SYSTEMTIME{t.year, t.month, t.dayOfWeek, t.day, t.hour, t.minute, t.second, t.milliseconds};
}
