// CReg: the owner of one open registry key, addressed by resource string
// IDs. It opens keys but never creates them.
#pragma once

#include <windows.h>

// The access every open of the product key asks for: all access, in the
// key's registry view. Earlier versions of this program were 32-bit only,
// so on 64-bit Windows the key lives in the 32-bit view (what 64-bit
// programs see below HKLM\SOFTWARE\Wow6432Node), and a key of the same
// name in the 64-bit view belongs to someone else. The x86_64 build therefore asks for the
// 32-bit view. The i686 build passes no flag: a 32-bit process sees the
// 32-bit view anyway, and Windows 2000 refuses an access mask that holds
// KEY_WOW64_32KEY. Keys under HKLM\SYSTEM are one key in both views and
// are opened without a flag.
#if defined(_WIN64)
constexpr REGSAM kProductKeyAccess = KEY_ALL_ACCESS | KEY_WOW64_32KEY;
#else
constexpr REGSAM kProductKeyAccess = KEY_ALL_ACCESS;
#endif
// The i686 build is the one Windows 2000 runs: it must ask for no view.
static_assert(sizeof(void*) == 8 || (kProductKeyAccess & (KEY_WOW64_32KEY | KEY_WOW64_64KEY)) == 0,
              "a 32-bit build passes no registry view flag");

class CReg {
public:
    CReg();
    virtual ~CReg();
    CReg(const CReg&) = delete;
    CReg& operator=(const CReg&) = delete;

    // Closes any open key first; on failure no key is open.
    int Open(HKEY root, UINT subkeyId, REGSAM access);
    // 1 when a key was open and is now closed; 0 with no key open.
    int Close();
    // Reads a value of any type whose data fits in 4 bytes.
    int QueryDword(const char* name, DWORD* value);
    int QueryDwordById(UINT nameId, DWORD* value);
    // Writes a REG_DWORD.
    int SetDword(const char* name, DWORD value);
    int SetDwordById(UINT nameId, DWORD value);

private:
    HKEY m_hKey;
};

// Sets InstallFlag under the open product key and logs its old value (as
// read) and the new one; a preview only logs the write it would make.
void SetInstallFlag(CReg& productKey, bool oldRead, DWORD oldValue, DWORD newValue);
