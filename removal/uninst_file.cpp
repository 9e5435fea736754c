#include "removal/uninst_file.h"

#include <windows.h>

#include "app/environment.h"
#include "app/messages.h"
#include "install/oem_inf_store.h"
#include "res/resource.h"
#include "sysaccess/path_text.h"
#include "sysaccess/reg_info.h"
#include "sysaccess/system_folders.h"

namespace {

const char kInfExtension[] = "inf";
const char kPnfExtension[] = "PNF";
const UINT kHardwareIds[] = {IDS_HWID_COMPOSITE, IDS_HWID_MI03, IDS_HWID_MI00};

// folder + "\\" + the file name of string `id`, refusing a path that does
// not fit rather than deleting a cut name.
int BuildDriverFilePath(char* out, const char* folder, UINT id) {
    out[0] = '\0';
    return CopyStringLimited(out, folder, kPathMaxChars) && AddBackslash(out, kPathBufferSize) &&
           AppendResStringWhole(id, out, kPathBufferSize);
}

// Whether the INF folder's copy of `name` is the phone's INF, or is not
// there at all (its .PNF twin may still be left over from the phone). A
// copy that cannot be looked at is neither.
bool IsPhoneInfOrGone(int osCode, const char* infDir, const char* name) {
    char path[kPathBufferSize] = {};
    if (!CUninstFile::BuildFilePath(path, infDir, name, kInfExtension)) return false;
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return GetLastError() == ERROR_FILE_NOT_FOUND;
    CInstall store(osCode);
    return store.IsProductInf(path) == 1;
}

}  // namespace

CUninstFile::CUninstFile(int osCode) : m_osCode(osCode) {}

CUninstFile::~CUninstFile() {}

int CUninstFile::BuildFilePath(char* out, const char* folder, const char* name, const char* extension) {
    out[0] = '\0';
    if (!CopyStringLimited(out, folder, kPathMaxChars)) return 0;
    // A folder that already ends in a backslash gets no second one.
    AddBackslash(out, kPathBufferSize);
    return AppendStringLimited(out, name, kPathMaxChars) && AppendStringLimited(out, ".", kPathMaxChars) &&
           AppendStringLimited(out, extension, kPathMaxChars);
}

int CUninstFile::RemoveFileByParts(const char* folder, const char* name, const char* extension) {
    char path[kPathBufferSize] = {};
    if (!BuildFilePath(path, folder, name, extension)) return 0;
    return RemoveFile(path);
}

int CUninstFile::DeleteDriverFiles() {
    if (m_osCode < OS_WIN2000) return 1;
    char drivers[kPathBufferSize] = {};
    if (!GetDriversDir(drivers)) return 0;
    for (UINT id = IDS_SYS_FIRST; id <= IDS_SYS_LAST; ++id) {
        char path[kPathBufferSize] = {};
        if (!BuildDriverFilePath(path, drivers, id)) return 0;
        RemoveFile(path);
        if (m_osCode == OS_WINXP) {
            char lastGood[kPathBufferSize] = {};
            if (!GetLastGoodDriversDir(lastGood) || !BuildDriverFilePath(path, lastGood, id)) return 0;
            RemoveFile(path);
        }
    }
    return 1;
}

int CUninstFile::DeleteInfFiles() {
    if (m_osCode < OS_WIN2000) return 1;
    char infDir[kPathBufferSize] = {};
    char lastGoodInfDir[kPathBufferSize] = {};
    if (!GetInfDir(infDir)) return 0;
    const bool xp = m_osCode == OS_WINXP;
    if (xp && !GetLastGoodInfDir(lastGoodInfDir)) return 0;

    CRegInfo registry(m_osCode);
    for (UINT id : kHardwareIds) {
        // SYSTEM\ControlSet001\Enum\USB\<hardware ID>
        char keyPath[kPathBufferSize] = {};
        if (LoadResString(IDS_ENUM_USB_001, keyPath, sizeof(keyPath)) == 0 || !AddBackslash(keyPath, kPathBufferSize) ||
            !AppendResStringWhole(id, keyPath, kPathBufferSize))
            return 0;
        char name[kPathBufferSize] = {};
        if (!registry.FindInfName(HKEY_LOCAL_MACHINE, keyPath, name)) continue;
        // The function may run a driver that is not the phone's: Windows'
        // own usb.inf for a composite device plugged in before its drivers
        // were installed, or another product's package. That INF is left
        // alone; the phone's own copies are found by the oem*.inf scan.
        if (!IsPhoneInfOrGone(m_osCode, infDir, name)) continue;

        RemoveFileByParts(infDir, name, kInfExtension);
        if (xp) RemoveFileByParts(lastGoodInfDir, name, kInfExtension);
        RemoveFileByParts(infDir, name, kPnfExtension);
        if (xp) RemoveFileByParts(lastGoodInfDir, name, kPnfExtension);
    }
    return 1;
}

int CUninstFile::DeleteAll() {
    DeleteInfFiles();
    return DeleteDriverFiles();
}
