// CreateMutexA, OpenMutexA and ReleaseMutex on the session's mutex
// namespace (ui.cpp).
// CloseHandle (machine.cpp) drops the handle's reference; WaitForSingleObject
// is in process_api.cpp.
//
// Ownership belongs to a thread, not to a handle: any handle of the owning
// thread's process to the same mutex releases it. The program is
// single-threaded, so "the owning thread" is the instance whose process id
// acquired it.
#include <windows.h>

#include "codepage.h"
#include "winsim/machine.h"

HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner, LPCSTR lpName) {
    winsim::Machine& m = winsim::current();
    if (DWORD e = m.faults.check("CreateMutexA")) {
        m.lastError = e;
        return nullptr;
    }
    if (lpMutexAttributes && lpMutexAttributes->lpSecurityDescriptor) {
        winsim::notImplemented("CreateMutexA with a security descriptor");
        return nullptr;
    }
    // An empty name makes an unnamed mutex, as a null one does.
    const std::string name = lpName ? winsim::acpToUtf8(lpName) : std::string();
    if (name.size() > MAX_PATH) {
        winsim::notImplemented("CreateMutexA with a name longer than MAX_PATH");
        return nullptr;
    }
    const auto key = winsim::Ui::mutexKey(name);
    if (!key) {
        m.lastError = ERROR_PATH_NOT_FOUND;
        return nullptr;
    }

    std::shared_ptr<winsim::Ui::NamedMutex> mutex = key->empty() ? nullptr : m.ui.findMutex(*key);
    // Windows sets the last error on success too: ERROR_ALREADY_EXISTS
    // when the name was in use (bInitialOwner is then ignored: the caller
    // gets a handle to the existing object but no ownership), 0 otherwise.
    DWORD error = ERROR_SUCCESS;
    if (mutex) {
        error = ERROR_ALREADY_EXISTS;
    } else {
        mutex = m.ui.createMutex(*key);
        if (bInitialOwner) {
            mutex->ownedByUs = true;
            mutex->ownerProcess = m.modules.processId;
        }
    }
    HANDLE handle = m.handles.add(winsim::HandleKind::Mutex, m.ui.newMutexHandle(mutex));
    m.lastError = error;
    return handle;
}

// Opens a mutex that exists; never creates one. Every mutex of the
// session is one the program's user created, whose default security grants
// that user all access, so any mutex right is granted.
HANDLE WINAPI OpenMutexA(DWORD dwDesiredAccess, BOOL bInheritHandle, LPCSTR lpName) {
    winsim::Machine& m = winsim::current();
    if (DWORD e = m.faults.check("OpenMutexA")) {
        m.lastError = e;
        return nullptr;
    }
    if (bInheritHandle) {
        winsim::notImplemented("OpenMutexA with an inheritable handle");
        return nullptr;
    }
    if (dwDesiredAccess & ~static_cast<DWORD>(MUTEX_ALL_ACCESS)) {
        winsim::notImplemented("OpenMutexA with rights beyond MUTEX_ALL_ACCESS");
        return nullptr;
    }
    if (!lpName || !*lpName) {
        winsim::notImplemented("OpenMutexA without a name");
        return nullptr;
    }
    // Names compare case-sensitively, as CreateMutexA's do.
    const auto key = winsim::Ui::mutexKey(winsim::acpToUtf8(lpName));
    if (!key) {
        m.lastError = ERROR_PATH_NOT_FOUND;
        return nullptr;
    }
    std::shared_ptr<winsim::Ui::NamedMutex> mutex = m.ui.findMutex(*key);
    if (!mutex) {
        m.lastError = ERROR_FILE_NOT_FOUND;
        return nullptr;
    }
    return m.handles.add(winsim::HandleKind::Mutex, m.ui.newMutexHandle(mutex));
}

BOOL WINAPI ReleaseMutex(HANDLE hMutex) {
    winsim::Machine& m = winsim::current();
    if (DWORD e = m.faults.check("ReleaseMutex")) {
        m.lastError = e;
        return FALSE;
    }
    auto mutex = winsim::Ui::mutexOf(m.handles.get<winsim::KernelObject>(hMutex, winsim::HandleKind::Mutex));
    if (!mutex) {
        m.lastError = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    if (!mutex->ownedByUs || mutex->ownerProcess != m.modules.processId) {
        m.lastError = ERROR_NOT_OWNER;
        return FALSE;
    }
    // Each acquisition needs a release of its own.
    if (mutex->recursion > 0) {
        --mutex->recursion;
    } else {
        mutex->ownedByUs = false;
        mutex->ownerProcess = 0;
    }
    return TRUE;
}
