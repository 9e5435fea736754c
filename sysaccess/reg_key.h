// CReg: the owner of one open registry key, addressed by resource string
// IDs. It opens keys but never creates them.
#pragma once

#include <windows.h>

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
