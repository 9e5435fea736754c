#include "removal/device_instances.h"

#include <setupapi.h>

#include "app/messages.h"
#include "app/run_outcome.h"
#include "sysaccess/path_text.h"
#include "sysaccess/preview.h"
#include "sysaccess/run_log.h"

namespace {

const char kUsbPrefix[] = "USB\\";

// A property that keeps growing between the size query and the read would
// otherwise be asked for without end.
constexpr int kMaxPropertyReads = 8;
// A device instance ID has at most 199 characters (MAX_DEVICE_ID_LEN).
constexpr int kMaxDeviceIdSize = 200;

enum class PropertyRead { Read, Absent, Failed };

// Reads the device's hardware-ID list into a zero-filled LocalAlloc block of
// twice the size Windows asks for, so that the multi-string is terminated
// even if the system's copy is not. On Failed, `error` holds the code.
PropertyRead ReadHardwareIds(HDEVINFO set, SP_DEVINFO_DATA* device, char*& buffer, DWORD& size, DWORD& error) {
    buffer = nullptr;
    size = 0;
    DWORD required = 0;
    for (int attempt = 0; attempt < kMaxPropertyReads; ++attempt) {
        if (SetupDiGetDeviceRegistryPropertyA(set, device, SPDRP_HARDWAREID, nullptr, reinterpret_cast<BYTE*>(buffer),
                                              size, &required))
            return PropertyRead::Read;
        error = GetLastError();
        if (buffer) LocalFree(buffer);
        buffer = nullptr;
        if (error == ERROR_INVALID_DATA) return PropertyRead::Absent;
        if (error != ERROR_INSUFFICIENT_BUFFER) return PropertyRead::Failed;
        buffer = static_cast<char*>(LocalAlloc(LPTR, static_cast<SIZE_T>(required) * 2));
        if (!buffer) {
            error = GetLastError();
            return PropertyRead::Failed;
        }
        size = required;
    }
    if (buffer) LocalFree(buffer);
    buffer = nullptr;
    error = ERROR_INSUFFICIENT_BUFFER;
    return PropertyRead::Failed;
}

// Windows cannot stop the driver of a phone that has a port open: the
// removal succeeds, and the install parameters of the element ask for a
// restart, after which the device is gone.
bool RemovalNeedsRestart(HDEVINFO set, SP_DEVINFO_DATA* device) {
    SP_DEVINSTALL_PARAMS_A params = {};
    params.cbSize = sizeof(params);
    if (!SetupDiGetDeviceInstallParamsA(set, device, &params)) {
        LogFailure(GetLastError(), "SetupDiGetDeviceInstallParamsA");
        return false;
    }
    return (params.Flags & (DI_NEEDREBOOT | DI_NEEDRESTART)) != 0;
}

// A preview lists each device once, under the entry that matched first:
// the run removes a device that carries two of the phone's IDs for the
// first, and does not meet it again for the second.
void LogWouldRemoveDevice(HDEVINFO set, SP_DEVINFO_DATA* device, const char* entry) {
    char instanceId[kMaxDeviceIdSize] = {};
    if (!SetupDiGetDeviceInstanceIdA(set, device, instanceId, sizeof(instanceId), nullptr))
        LogFailure(GetLastError(), "SetupDiGetDeviceInstanceIdA");
    else if (!RecordDeviceRemoval(instanceId))
        return;
    LogWouldDo("device removed", entry);
    // Whether Windows can stop its driver, only the removal tells.
    LogNotKnown("restart needed", entry);
}

}  // namespace

int RemoveDeviceInstances(UINT hardwareIdString) {
    char target[kPathBufferSize] = {};
    CopyStringLimited(target, kUsbPrefix, kPathMaxChars);
    // An ID that does not load would leave "USB\" alone as the target, the
    // whole hardware ID of no device of the phone.
    if (!AppendResStringWhole(hardwareIdString, target, kPathBufferSize)) return 0;

    // Without DIGCF_PRESENT the set holds devices that are not connected too.
    HDEVINFO set = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
    if (set == INVALID_HANDLE_VALUE) {
        ShowSystemError(GetLastError());
        return 0;
    }

    int removed = 0;
    DWORD error = ERROR_SUCCESS;
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof(device);
    bool scanning = true;
    for (DWORD index = 0; scanning; ++index) {
        if (!SetupDiEnumDeviceInfo(set, index, &device)) {
            error = GetLastError();
            break;
        }
        char* ids = nullptr;
        DWORD size = 0;
        const PropertyRead read = ReadHardwareIds(set, &device, ids, size, error);
        if (read == PropertyRead::Absent) continue;
        if (read == PropertyRead::Failed) break;

        // Whole entries only: "USB\VID_1A2B&PID_3C4D&REV_0100" is not the
        // composite device "USB\VID_1A2B&PID_3C4D".
        const char* end = ids + size;
        for (const char* entry = ids; entry < end && *entry; entry += lstrlenA(entry) + 1) {
            if (lstrcmpiA(entry, target) != 0) continue;
            if (PreviewMode()) {
                LogWouldRemoveDevice(set, &device, entry);
                break;
            }
            if (!SetupDiCallClassInstaller(DIF_REMOVE, set, &device)) {
                error = GetLastError();
                scanning = false;
                break;
            }
            // The device is gone: a second entry naming the target (in
            // another case, say) must not remove it again, which would fail
            // with ERROR_NO_SUCH_DEVINST and report a removal that worked as
            // an error.
            removed = 1;
            const bool restart = RemovalNeedsRestart(set, &device);
            if (restart) NoteRestartNeeded();
            LogEvent("device removed", entry, restart ? "restart needed" : nullptr);
            break;
        }
        LocalFree(ids);
    }
    SetupDiDestroyDeviceInfoList(set);
    if (error != ERROR_SUCCESS && error != ERROR_NO_MORE_ITEMS) ShowSystemError(error);
    return removed;
}
