// The current process and thread, and waiting on a kernel object.
#include <windows.h>

#include "winsim/machine.h"
#include "winsim/processes.h"

// Pseudo-handles: constants that stand for the calling process and thread
// wherever a handle is accepted. They need not be closed, and other areas
// (tokens, WOW64 checks) recognise them by these values.
HANDLE WINAPI GetCurrentProcess(void) { return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)); }

HANDLE WINAPI GetCurrentThread(void) { return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-2)); }

DWORD WINAPI GetCurrentProcessId(void) { return winsim::current().modules.processId; }

namespace {

DWORD waitForMutex(winsim::Machine& m, winsim::Ui::NamedMutex& mutex, DWORD dwMilliseconds) {
    if (mutex.ownedByUs && mutex.ownerProcess == m.modules.processId) {
        // The owner may wait again without blocking; it then owes one more
        // ReleaseMutex.
        ++mutex.recursion;
        return WAIT_OBJECT_0;
    }
    if (mutex.heldElsewhere || mutex.ownedByUs) {
        // Nothing else runs while the program waits, so the owner never
        // lets go: a finite wait times out, an endless one never returns.
        if (dwMilliseconds == INFINITE) {
            winsim::notImplemented("WaitForSingleObject(INFINITE) on the mutex \"" + mutex.name +
                                   "\" that another process owns blocks for ever");
            return WAIT_FAILED;
        }
        return WAIT_TIMEOUT;
    }
    mutex.ownedByUs = true;
    mutex.ownerProcess = m.modules.processId;
    return WAIT_OBJECT_0;
}

}  // namespace

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    winsim::Machine& m = winsim::current();
    if (DWORD e = m.faults.check("WaitForSingleObject")) {
        m.lastError = e;
        return WAIT_FAILED;
    }
    if (hHandle == GetCurrentProcess() || hHandle == GetCurrentThread()) {
        // The caller's own process or thread is signalled only when it ends.
        winsim::notImplemented("WaitForSingleObject on the calling process or thread blocks for ever");
        return WAIT_FAILED;
    }
    if (!m.handles.isOpen(hHandle)) {
        m.lastError = ERROR_INVALID_HANDLE;
        return WAIT_FAILED;
    }
    const winsim::HandleKind kind = m.handles.kindOf(hHandle);
    if (kind == winsim::HandleKind::Mutex) {
        auto mutex = winsim::Ui::mutexOf(m.handles.get<winsim::KernelObject>(hHandle, kind));
        return waitForMutex(m, *mutex, dwMilliseconds);
    }
    // Processes and threads that CreateProcessA started (processes.cpp).
    if (kind == winsim::HandleKind::Process || kind == winsim::HandleKind::Thread)
        return winsim::waitForProcessOrThread(m, hHandle, dwMilliseconds);
    winsim::notImplemented(std::string("WaitForSingleObject on a ") + winsim::toString(kind) + " handle");
    return WAIT_FAILED;
}
