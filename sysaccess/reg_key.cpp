#include "sysaccess/reg_key.h"

#include "app/app_context.h"
#include "res/resource.h"
#include "sysaccess/preview.h"
#include "sysaccess/run_log.h"

namespace {

constexpr int kSubkeySize = 256;
constexpr int kValueNameSize = 260;

// Key paths and value names are loaded without placeholder substitution.
bool LoadName(UINT id, char* buffer, int size) { return LoadStringA(g_pAppContext->hInstance, id, buffer, size) > 0; }

}  // namespace

CReg::CReg() : m_hKey(nullptr) {}

CReg::~CReg() { Close(); }

int CReg::Open(HKEY root, UINT subkeyId, REGSAM access) {
    Close();
    char subkey[kSubkeySize] = {};
    if (!LoadName(subkeyId, subkey, sizeof(subkey))) return 0;
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, subkey, 0, access, &key) != ERROR_SUCCESS) return 0;
    m_hKey = key;
    return 1;
}

int CReg::Close() {
    if (!m_hKey) return 0;
    RegCloseKey(m_hKey);
    m_hKey = nullptr;
    return 1;
}

int CReg::QueryDword(const char* name, DWORD* value) {
    if (!m_hKey) return 0;
    BYTE data[4] = {};
    DWORD size = sizeof(data);
    DWORD type = 0;
    if (RegQueryValueExA(m_hKey, name, nullptr, &type, data, &size) != ERROR_SUCCESS) return 0;
    // A value of fewer than 4 bytes leaves the rest zero.
    *value = static_cast<DWORD>(data[0]) | static_cast<DWORD>(data[1]) << 8 | static_cast<DWORD>(data[2]) << 16 |
             static_cast<DWORD>(data[3]) << 24;
    return 1;
}

int CReg::QueryDwordById(UINT nameId, DWORD* value) {
    if (!m_hKey) return 0;
    char name[kValueNameSize] = {};
    if (!LoadName(nameId, name, sizeof(name))) return 0;
    return QueryDword(name, value);
}

int CReg::SetDword(const char* name, DWORD value) {
    if (!m_hKey) return 0;
    return RegSetValueExA(m_hKey, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value)) ==
                   ERROR_SUCCESS
               ? 1
               : 0;
}

int CReg::SetDwordById(UINT nameId, DWORD value) {
    if (!m_hKey) return 0;
    char name[kValueNameSize] = {};
    if (!LoadName(nameId, name, sizeof(name))) return 0;
    return SetDword(name, value);
}

void SetInstallFlag(CReg& productKey, bool oldRead, DWORD oldValue, DWORD newValue) {
    if (PreviewMode())
        LogWouldSetInstallFlag(oldRead, oldValue, newValue);
    else if (productKey.SetDwordById(IDS_INSTALL_FLAG, newValue))
        LogInstallFlag(oldRead, oldValue, newValue);
}
