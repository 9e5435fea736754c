// CRegInfo: a read-only scan of the Plug and Play registry that finds which
// OEM INF file Windows used for an installed device of the phone.
//
// Every key is opened for reading only. A key or value that does not exist
// is a normal outcome (success, nothing read, a NULL key); any other
// registry error is shown in the system-error box.
#pragma once

#include <windows.h>

class CRegInfo {
public:
    explicit CRegInfo(int osCode);
    virtual ~CRegInfo();

    // Reads one value of any type (at most 261 bytes) into `data`, copying
    // no more than the caller's capacity in `length`, which then holds the
    // value's full size. A NULL key or a missing value reads nothing.
    int QueryValue(HKEY key, const char* name, BYTE* data, DWORD* length, DWORD* type);
    // Opens a subkey for KEY_READ plus `extraAccess`; NULL when it is absent.
    int OpenKey(HKEY parent, const char* subkey, HKEY* out, REGSAM extraAccess);
    // Opens the subkey, reads the value, closes the subkey.
    int QueryKeyValue(HKEY parent, const char* subkey, const char* name, BYTE* data, DWORD* length, DWORD* type);
    // Opens a backslash-separated path one level at a time; a first
    // component "HKEY_LOCAL_MACHINE" is skipped. The caller closes `out`.
    int OpenKeyPath(HKEY root, const char* path, HKEY* out, REGSAM access);
    int OpenKeyPathById(HKEY root, UINT pathId, HKEY* out, REGSAM access);
    // Reads the instance's "Driver" value ("{class GUID}\0003") and splits it.
    int GetDriverKey(HKEY parent, const char* instance, char* classGuid, char* number);
    // The base name of the INF (e.g. "oem12") of the first device instance
    // under the hardware-ID key `path` that has a driver class key.
    int FindInfName(HKEY root, const char* path, char* name);

private:
    // Kept for the callers' sake: every release reads the same keys, so no
    // member looks at it yet.
    [[maybe_unused]] int m_osCode;
};
