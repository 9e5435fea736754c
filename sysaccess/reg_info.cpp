#include "sysaccess/reg_info.h"

#include <cstring>

#include "app/messages.h"
#include "res/resource.h"
#include "sysaccess/path_text.h"

namespace {

const char kLocalMachineComponent[] = "HKEY_LOCAL_MACHINE";
const char kDriverValue[] = "Driver";
const char kInfPathValue[] = "InfPath";

}  // namespace

CRegInfo::CRegInfo(int osCode) : m_osCode(osCode) {}

CRegInfo::~CRegInfo() {}

int CRegInfo::QueryValue(HKEY key, const char* name, BYTE* data, DWORD* length, DWORD* type) {
    if (!key) return 1;
    BYTE local[kPathBufferSize] = {};
    const DWORD capacity = *length;
    *length = sizeof(local);
    const LONG error = RegQueryValueExA(key, name, nullptr, type, local, length);
    if (error == ERROR_SUCCESS) {
        const DWORD copied = *length < capacity ? *length : capacity;
        std::memcpy(data, local, copied);
        return 1;
    }
    if (error == ERROR_FILE_NOT_FOUND) return 1;
    ShowSystemError(static_cast<DWORD>(error));
    return 0;
}

int CRegInfo::OpenKey(HKEY parent, const char* subkey, HKEY* out, REGSAM extraAccess) {
    *out = nullptr;
    const LONG error = RegOpenKeyExA(parent, subkey, 0, KEY_READ | extraAccess, out);
    if (error == ERROR_SUCCESS) return 1;
    *out = nullptr;
    if (error == ERROR_FILE_NOT_FOUND) return 1;
    ShowSystemError(static_cast<DWORD>(error));
    return 0;
}

int CRegInfo::QueryKeyValue(HKEY parent, const char* subkey, const char* name, BYTE* data, DWORD* length,
                            DWORD* type) {
    HKEY key = nullptr;
    if (!OpenKey(parent, subkey, &key, 0)) return 0;
    if (!key) return 1;
    const int result = QueryValue(key, name, data, length, type);
    RegCloseKey(key);
    return result;
}

int CRegInfo::OpenKeyPath(HKEY root, const char* path, HKEY* out, REGSAM access) {
    *out = nullptr;
    // `current` is the key the next component opens under; handles this
    // function opened are closed as it moves down. Predefined roots are
    // never closed: closing them has no effect anyway.
    HKEY current = root;
    bool ownsCurrent = false;
    const char* rest = path;
    for (const char* slash = std::strchr(rest, '\\'); slash; slash = std::strchr(rest, '\\')) {
        char component[kPathBufferSize] = {};
        const size_t length = static_cast<size_t>(slash - rest);
        rest = slash + 1;
        if (length > static_cast<size_t>(kPathMaxChars)) {
            if (ownsCurrent) RegCloseKey(current);
            ShowSystemError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        std::memcpy(component, slash - length, length);
        if (std::strcmp(component, kLocalMachineComponent) == 0) continue;
        HKEY opened = nullptr;
        const int ok = OpenKey(current, component, &opened, 0);
        if (ownsCurrent) RegCloseKey(current);
        if (!ok) return 0;
        if (!opened) return 1;
        current = opened;
        ownsCurrent = true;
    }
    int result = 1;
    HKEY opened = nullptr;
    if (*rest) {
        result = OpenKey(current, rest, &opened, access & ~KEY_READ);
        if (ownsCurrent) RegCloseKey(current);
    } else {
        opened = ownsCurrent ? current : nullptr;
    }
    *out = opened;
    return result;
}

int CRegInfo::OpenKeyPathById(HKEY root, UINT pathId, HKEY* out, REGSAM access) {
    *out = nullptr;
    char path[kPathBufferSize] = {};
    if (LoadResString(pathId, path, sizeof(path)) == 0) return 0;
    return OpenKeyPath(root, path, out, access);
}

int CRegInfo::GetDriverKey(HKEY parent, const char* instance, char* classGuid, char* number) {
    char driver[kPathBufferSize] = {};
    // One byte fewer than the buffer: the value is copied without a
    // terminator, and a value that fills the buffer must still end in one.
    DWORD length = sizeof(driver) - 1;
    DWORD type = 0;
    if (!QueryKeyValue(parent, instance, kDriverValue, reinterpret_cast<BYTE*>(driver), &length, &type)) return 0;
    if (driver[0] == '\0') return 1;
    const char* slash = std::strchr(driver, '\\');
    if (!slash) return 1;  // no class and no number: the instance is skipped
    const size_t classLength = static_cast<size_t>(slash - driver);
    std::memcpy(classGuid, driver, classLength);
    classGuid[classLength] = '\0';
    lstrcpyA(number, slash + 1);
    return 1;
}

int CRegInfo::FindInfName(HKEY root, const char* path, char* name) {
    HKEY hardwareKey = nullptr;
    if (!OpenKeyPath(root, path, &hardwareKey, KEY_READ) || !hardwareKey) return 0;

    DWORD subkeys = 0;
    LONG error = RegQueryInfoKeyA(hardwareKey, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                                  nullptr, nullptr, nullptr, nullptr);
    if (error != ERROR_SUCCESS) {
        ShowSystemError(static_cast<DWORD>(error));
        RegCloseKey(hardwareKey);
        return 0;
    }

    char infPath[kPathBufferSize] = {};
    for (DWORD index = 0; index < subkeys; ++index) {
        char instance[kPathBufferSize] = {};
        char classGuid[kPathBufferSize] = {};
        char number[kPathBufferSize] = {};
        std::memset(infPath, 0, sizeof(infPath));
        DWORD instanceLength = sizeof(instance);
        error = RegEnumKeyExA(hardwareKey, index, instance, &instanceLength, nullptr, nullptr, nullptr, nullptr);
        if (error != ERROR_SUCCESS) {
            ShowSystemError(static_cast<DWORD>(error));
            RegCloseKey(hardwareKey);
            return 0;
        }
        if (!GetDriverKey(hardwareKey, instance, classGuid, number) || !classGuid[0] || !number[0]) continue;

        HKEY classRoot = nullptr;
        if (!OpenKeyPathById(HKEY_LOCAL_MACHINE, IDS_CLASS_001, &classRoot, KEY_READ) || !classRoot) {
            RegCloseKey(hardwareKey);
            return 0;
        }
        HKEY classKey = nullptr;
        const int opened = OpenKey(classRoot, classGuid, &classKey, 0);
        RegCloseKey(classRoot);
        if (!opened || !classKey) continue;

        DWORD length = sizeof(infPath) - 1;
        DWORD type = 0;
        const int read =
            QueryKeyValue(classKey, number, kInfPathValue, reinterpret_cast<BYTE*>(infPath), &length, &type);
        RegCloseKey(classKey);
        if (read) break;
    }
    RegCloseKey(hardwareKey);

    const char* dot = std::strchr(infPath, '.');
    if (!dot) return 0;
    const size_t length = static_cast<size_t>(dot - infPath);
    std::memcpy(name, infPath, length);
    name[length] = '\0';
    return 1;
}
