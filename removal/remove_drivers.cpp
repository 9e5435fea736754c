#include "removal/remove_drivers.h"

#include "app/environment.h"
#include "app/messages.h"
#include "install/oem_inf_store.h"
#include "removal/device_instances.h"
#include "removal/device_metadata_removal.h"
#include "removal/driver_packages.h"
#include "removal/driver_services.h"
#include "removal/uninst_file.h"
#include "res/resource.h"
#include "sysaccess/preview.h"
#include "sysaccess/reg_key.h"

namespace {

// EnumPropsA's callback has no context argument, so the property name it
// looks for is placed here before each notification.
char g_launcherPropName[32];

// The interface functions first, then the composite parent device.
const UINT kHardwareIds[] = {IDS_HWID_MI00, IDS_HWID_MI03, IDS_HWID_COMPOSITE};
const UINT kServices[] = {IDS_SERVICE_BUS, IDS_SERVICE_MDM, IDS_SERVICE_MDFL, IDS_SERVICE_OBEX};

void RemoveAllDeviceInstances() {
    for (UINT id : kHardwareIds) RemoveDeviceInstances(id);
}

// The status of the last service deletion is the sequence's result.
int DeleteAllDriverServices() {
    int result = 1;
    for (UINT id : kServices) result = DeleteDriverService(id);
    return result;
}

// A property set by atom reaches the callback as that atom, in the low word
// of the name with the high word zero; no string lives at such an address.
// Integer atoms lie below 0xC000, but a string atom (0xC000 to 0xFFFF)
// handed over as its number would be no string either, so every name
// whose high word is zero is passed over.
bool IsAtom(LPCSTR name) { return (reinterpret_cast<ULONG_PTR>(name) >> 16) == 0; }

}  // namespace

int RemoveDrivers(int osCode) {
    if (osCode < OS_VISTA) return RemoveDriversPreVista(osCode);
    const int result = RemoveDriversVista(osCode);
    if (osCode == OS_VISTA) return result;
    const int metadataRemoved = RemoveDeviceMetadata();
    return result ? metadataRemoved : 0;
}

int RemoveDriversPreVista(int osCode) {
    CUninstFile files(osCode);
    ClearInstallFlag();
    int result = files.DeleteAll();
    if (osCode >= OS_WIN2000) {
        RemoveAllDeviceInstances();
        result = DeleteAllDriverServices();
        CInstall store(osCode);
        store.DeleteOemInfs();
    }
    NotifyLauncherWindows();
    return result;
}

int RemoveDriversVista(int osCode) {
    CUninstFile files(osCode);
    ClearInstallFlag();
    // The INF files are not deleted by hand here: from Vista on the driver
    // store keeps the packages, which pnputil.exe removes below.
    files.DeleteDriverFiles();
    RemoveAllDeviceInstances();
    const int result = DeleteAllDriverServices();
    DeleteDriverPackages(osCode);
    NotifyLauncherWindows();
    return result;
}

void ClearInstallFlag() {
    CReg productKey;
    if (!productKey.Open(HKEY_LOCAL_MACHINE, IDS_PRODUCT_KEY, kProductKeyAccess)) return;
    // The read only decides whether the value exists in a readable form.
    DWORD value = 0;
    if (!productKey.QueryDwordById(IDS_INSTALL_FLAG, &value)) return;
    SetInstallFlag(productKey, true, value, 0);
}

void NotifyLauncherWindows() {
    // Nothing changed in a preview: the launchers have nothing to hear.
    if (PreviewMode()) return;
    LoadResString(IDS_LAUNCHER_PROPERTY, g_launcherPropName, sizeof(g_launcherPropName));
    EnumWindows(LauncherWindowEnumProc, 0);
}

BOOL CALLBACK LauncherWindowEnumProc(HWND window, LPARAM /*unused*/) {
    EnumPropsA(window, LauncherPropEnumProc);
    return TRUE;
}

BOOL CALLBACK LauncherPropEnumProc(HWND window, LPCSTR name, HANDLE /*data*/) {
    if (IsAtom(name) || lstrcmpA(name, g_launcherPropName) != 0) return TRUE;
    // Sent, not posted, so the launcher has handled the change before the
    // removal goes on; a launcher that hangs is given up on after a bounded
    // wait instead of holding the removal for ever.
    DWORD_PTR reply = 0;
    SendMessageTimeoutA(window, WM_DEVICECHANGE, 0, 0, SMTO_ABORTIFHUNG, kLauncherNotifyTimeoutMs, &reply);
    return TRUE;
}
