// The service control manager functions of ADVAPI32 over the simulated
// manager (winsim/services.h).
//
// Access follows the default security of Windows' manager and of services
// it creates: administrators get every right; other users may connect to
// the manager, enumerate and query, and may query and interrogate a
// service, nothing else. Every function sets the last error on failure
// and leaves it alone on success.
#include <windows.h>

#include <cstring>
#include <memory>
#include <string>

#include "codepage.h"
#include "winsim/machine.h"

using winsim::Machine;

namespace {

constexpr DWORD kGenericRead = 0x80000000;
constexpr DWORD kGenericWrite = 0x40000000;
constexpr DWORD kGenericExecute = 0x20000000;
constexpr DWORD kGenericAll = 0x10000000;
constexpr DWORD kMaximumAllowed = 0x02000000;

constexpr DWORD kManagerLock = 0x0008;
constexpr DWORD kManagerQueryLockStatus = 0x0010;
constexpr DWORD kManagerModifyBootConfig = 0x0020;
// What Windows' manager grants to authenticated users who are not
// administrators.
constexpr DWORD kManagerUserRights =
    SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE | kManagerQueryLockStatus | READ_CONTROL;

constexpr DWORD kServiceChangeConfig = 0x0002;
constexpr DWORD kServiceEnumerateDependents = 0x0008;
constexpr DWORD kServicePauseContinue = 0x0040;
constexpr DWORD kServiceInterrogate = 0x0080;
constexpr DWORD kServiceUserDefinedControl = 0x0100;
// What the default security of a service grants to users who are not
// administrators.
constexpr DWORD kServiceUserRights = SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS | kServiceEnumerateDependents |
                                     kServiceInterrogate | kServiceUserDefinedControl | READ_CONTROL;

// Service names are at most 256 characters; '/' and '\' are not allowed.
constexpr size_t kMaxServiceName = 256;

struct ManagerObject : winsim::KernelObject {
    DWORD granted = 0;
};

struct ServiceObject : winsim::KernelObject {
    std::string name;  // UTF-8, as the registry spells it
    DWORD granted = 0;
};

SC_HANDLE failHandle(Machine& m, DWORD error) {
    m.lastError = error;
    return nullptr;
}

BOOL fail(Machine& m, DWORD error) {
    m.lastError = error;
    return FALSE;
}

DWORD mapManagerRights(DWORD desired) {
    DWORD out = desired & ~(kGenericRead | kGenericWrite | kGenericExecute | kGenericAll);
    if (desired & kGenericRead) out |= READ_CONTROL | SC_MANAGER_ENUMERATE_SERVICE | kManagerQueryLockStatus;
    if (desired & kGenericWrite) out |= READ_CONTROL | SC_MANAGER_CREATE_SERVICE | kManagerModifyBootConfig;
    if (desired & kGenericExecute) out |= READ_CONTROL | SC_MANAGER_CONNECT | kManagerLock;
    if (desired & kGenericAll) out |= SC_MANAGER_ALL_ACCESS;
    return out;
}

DWORD mapServiceRights(DWORD desired) {
    DWORD out = desired & ~(kGenericRead | kGenericWrite | kGenericExecute | kGenericAll);
    if (desired & kGenericRead)
        out |= READ_CONTROL | SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS | kServiceInterrogate |
               kServiceEnumerateDependents;
    if (desired & kGenericWrite) out |= READ_CONTROL | kServiceChangeConfig;
    if (desired & kGenericExecute)
        out |= READ_CONTROL | SERVICE_START | SERVICE_STOP | kServicePauseContinue | kServiceUserDefinedControl;
    if (desired & kGenericAll) out |= SERVICE_ALL_ACCESS;
    return out;
}

bool isAdministrator(const Machine& m) { return m.token.effective().hasAdministratorRights(); }

// 0 for a name the manager accepts, else the error it gives.
DWORD checkServiceName(LPCSTR name) {
    if (!name) return ERROR_INVALID_ADDRESS;
    const size_t length = std::strlen(name);
    if (length == 0 || length > kMaxServiceName || std::strpbrk(name, "/\\")) return ERROR_INVALID_NAME;
    return 0;
}

SC_HANDLE newServiceHandle(Machine& m, const std::string& name, DWORD granted) {
    auto object = std::make_shared<ServiceObject>();
    object->name = name;
    object->granted = granted;
    m.services.handleOpened(name);
    return static_cast<SC_HANDLE>(m.handles.add(winsim::HandleKind::Service, object));
}

// The name of the service key as the registry spells it.
std::string registeredName(const Machine& m, const std::string& name) {
    for (const std::string& existing : m.services.list())
        if (winsim::registryUpper(existing) == winsim::registryUpper(name)) return existing;
    return name;
}

}  // namespace

SC_HANDLE WINAPI OpenSCManagerA(LPCSTR lpMachineName, LPCSTR lpDatabaseName, DWORD dwDesiredAccess) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("OpenSCManagerA")) return failHandle(m, e);
    if (lpMachineName && *lpMachineName) {
        winsim::notImplemented("OpenSCManagerA of another machine");
        return nullptr;
    }
    if (lpDatabaseName && winsim::registryUpper(winsim::acpToUtf8(lpDatabaseName)) != "SERVICESACTIVE") {
        winsim::notImplemented("OpenSCManagerA of a database other than ServicesActive");
        return nullptr;
    }
    if (dwDesiredAccess & kMaximumAllowed) {
        winsim::notImplemented("OpenSCManagerA with MAXIMUM_ALLOWED");
        return nullptr;
    }
    // Connecting is implied by opening the manager.
    const DWORD wanted = mapManagerRights(dwDesiredAccess) | SC_MANAGER_CONNECT;
    if (!isAdministrator(m) && (wanted & ~kManagerUserRights)) return failHandle(m, ERROR_ACCESS_DENIED);
    auto object = std::make_shared<ManagerObject>();
    object->granted = wanted;
    return static_cast<SC_HANDLE>(m.handles.add(winsim::HandleKind::ServiceManager, object));
}

SC_HANDLE WINAPI OpenServiceA(SC_HANDLE hSCManager, LPCSTR lpServiceName, DWORD dwDesiredAccess) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("OpenServiceA")) return failHandle(m, e);
    auto manager = m.handles.get<ManagerObject>(hSCManager, winsim::HandleKind::ServiceManager);
    if (!manager) return failHandle(m, ERROR_INVALID_HANDLE);
    if (DWORD e = checkServiceName(lpServiceName)) return failHandle(m, e);
    if (dwDesiredAccess & kMaximumAllowed) {
        winsim::notImplemented("OpenServiceA with MAXIMUM_ALLOWED");
        return nullptr;
    }
    const std::string name = winsim::acpToUtf8(lpServiceName);
    // A service marked for deletion can still be opened until it is gone.
    if (!m.services.exists(name)) return failHandle(m, ERROR_SERVICE_DOES_NOT_EXIST);
    const DWORD wanted = mapServiceRights(dwDesiredAccess);
    if (!isAdministrator(m) && (wanted & ~kServiceUserRights)) return failHandle(m, ERROR_ACCESS_DENIED);
    return newServiceHandle(m, registeredName(m, name), wanted);
}

SC_HANDLE WINAPI CreateServiceA(SC_HANDLE hSCManager, LPCSTR lpServiceName, LPCSTR lpDisplayName,
                                DWORD dwDesiredAccess, DWORD dwServiceType, DWORD dwStartType, DWORD dwErrorControl,
                                LPCSTR lpBinaryPathName, LPCSTR lpLoadOrderGroup, LPDWORD lpdwTagId,
                                LPCSTR lpDependencies, LPCSTR lpServiceStartName, LPCSTR lpPassword) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("CreateServiceA")) return failHandle(m, e);
    auto manager = m.handles.get<ManagerObject>(hSCManager, winsim::HandleKind::ServiceManager);
    if (!manager) return failHandle(m, ERROR_INVALID_HANDLE);
    if (!(manager->granted & SC_MANAGER_CREATE_SERVICE)) return failHandle(m, ERROR_ACCESS_DENIED);
    if (DWORD e = checkServiceName(lpServiceName)) return failHandle(m, e);
    if (dwServiceType != SERVICE_KERNEL_DRIVER && dwServiceType != SERVICE_FILE_SYSTEM_DRIVER) {
        winsim::notImplemented("CreateServiceA of a service that is not a driver");
        return nullptr;
    }
    if ((lpLoadOrderGroup && *lpLoadOrderGroup) || lpdwTagId || (lpDependencies && *lpDependencies) ||
        lpServiceStartName || lpPassword) {
        winsim::notImplemented("CreateServiceA with a load order group, tag, dependencies or account");
        return nullptr;
    }
    if (dwDesiredAccess & kMaximumAllowed) {
        winsim::notImplemented("CreateServiceA with MAXIMUM_ALLOWED");
        return nullptr;
    }
    if (dwStartType > SERVICE_DISABLED || dwErrorControl > 3 || !lpBinaryPathName || !*lpBinaryPathName)
        return failHandle(m, ERROR_INVALID_PARAMETER);

    const std::string name = winsim::acpToUtf8(lpServiceName);
    if (m.services.exists(name))
        return failHandle(m, m.services.isMarkedForDeletion(name) ? ERROR_SERVICE_MARKED_FOR_DELETE
                                                                  : ERROR_SERVICE_EXISTS);
    // No two services may share a display name, nor one service's name be
    // another's display name.
    const std::string display = lpDisplayName ? winsim::acpToUtf8(lpDisplayName) : name;
    for (const std::string& other : m.services.list()) {
        auto otherDisplay = m.registry.string(winsim::Services::keyPath(other), "DisplayName");
        if (winsim::registryUpper(other) == winsim::registryUpper(display) ||
            (otherDisplay && winsim::registryUpper(*otherDisplay) == winsim::registryUpper(display)))
            return failHandle(m, ERROR_DUPLICATE_SERVICE_NAME);
    }

    winsim::ServiceSeed seed;
    seed.name = name;
    seed.type = dwServiceType;
    seed.start = dwStartType;
    seed.errorControl = dwErrorControl;
    seed.imagePath = winsim::acpToUtf8(lpBinaryPathName);
    m.services.add(seed);
    if (lpDisplayName) m.registry.setString(winsim::Services::keyPath(name), "DisplayName", display);
    return newServiceHandle(m, name, mapServiceRights(dwDesiredAccess));
}

BOOL WINAPI DeleteService(SC_HANDLE hService) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("DeleteService")) return fail(m, e);
    auto service = m.handles.get<ServiceObject>(hService, winsim::HandleKind::Service);
    if (!service) return fail(m, ERROR_INVALID_HANDLE);
    if (!(service->granted & DELETE)) return fail(m, ERROR_ACCESS_DENIED);
    if (!m.registry.keyExists(winsim::Services::keyPath(service->name))) {
        winsim::notImplemented("DeleteService of a service whose key was removed behind the manager");
        return FALSE;
    }
    if (m.services.isMarkedForDeletion(service->name)) return fail(m, ERROR_SERVICE_MARKED_FOR_DELETE);
    // This handle is open, so the service stays until it is closed.
    m.services.markForDeletion(service->name);
    return TRUE;
}

BOOL WINAPI CloseServiceHandle(SC_HANDLE hSCObject) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("CloseServiceHandle")) return fail(m, e);
    if (m.handles.close(hSCObject, winsim::HandleKind::ServiceManager)) return TRUE;
    auto service = m.handles.get<ServiceObject>(hSCObject, winsim::HandleKind::Service);
    if (!service) return fail(m, ERROR_INVALID_HANDLE);
    m.handles.close(hSCObject, winsim::HandleKind::Service);
    m.services.handleClosed(service->name);
    return TRUE;
}
