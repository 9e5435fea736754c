#include "removal/driver_services.h"

#include "app/messages.h"
#include "sysaccess/path_text.h"
#include "sysaccess/preview.h"
#include "sysaccess/run_log.h"

int DeleteDriverService(UINT serviceNameString) {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager) {
        ShowSystemError(GetLastError());
        return 0;
    }
    char name[kPathBufferSize] = {};
    if (LoadResString(serviceNameString, name, sizeof(name)) != 0) {
        // A service that does not exist is the normal case: no message.
        if (SC_HANDLE service = OpenServiceA(manager, name, SERVICE_ALL_ACCESS)) {
            // DeleteService only marks the service; the system removes it
            // once the driver has stopped and the last handle is closed.
            // Whether an earlier run marked it already, only DeleteService
            // tells.
            if (PreviewMode()) {
                LogWouldDo("service deleted", name);
                LogNotKnown("marked for deletion", name);
            } else if (DeleteService(service)) {
                LogEvent("service deleted", name);
            } else {
                const DWORD error = GetLastError();
                if (error == ERROR_SERVICE_MARKED_FOR_DELETE) LogEvent("service found marked", name);
                ShowSystemError(error);
            }
            if (!CloseServiceHandle(service)) ShowSystemError(GetLastError());
        }
    }
    if (!CloseServiceHandle(manager)) {
        ShowSystemError(GetLastError());
        return 0;
    }
    return 1;
}
