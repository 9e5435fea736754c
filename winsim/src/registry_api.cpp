// The registry functions of ADVAPI32 over the simulated registry.
//
// Every function returns its error code and leaves the thread's last error
// alone, as Windows' registry functions do. Key and value names arrive in
// the machine's ANSI code page; string data is kept as UTF-16 and converted
// on the way in and out, so sizes reported for string values are those of
// the ANSI form.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>

#include "codepage.h"
#include "registry_view.h"
#include "winsim/machine.h"

using winsim::Machine;
using winsim::RegKey;
using winsim::RegKeyObject;
using winsim::RegPath;

namespace {

// ERROR_NOACCESS: Windows reports a data pointer it cannot read this way.
constexpr LONG kErrorNoAccess = 998;

constexpr REGSAM kGenericRead = 0x80000000;
constexpr REGSAM kGenericWrite = 0x40000000;
constexpr REGSAM kGenericExecute = 0x20000000;
constexpr REGSAM kGenericAll = 0x10000000;
constexpr REGSAM kViewFlags = KEY_WOW64_32KEY | KEY_WOW64_64KEY;
// The rights that Windows' default ACL on HKLM keys grants to
// administrators only.
constexpr REGSAM kWriteRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | DELETE | WRITE_DAC | WRITE_OWNER;

bool isModelledRoot(HKEY key) {
    return key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE || key == HKEY_USERS ||
           key == HKEY_CURRENT_CONFIG;
}

bool isPredefinedValue(uint32_t value) {
    return (value >= 0x80000000u && value <= 0x80000007u) || value == 0x80000050u || value == 0x80000060u;
}

// HKEY_PERFORMANCE_DATA, HKEY_DYN_DATA, HKEY_CURRENT_USER_LOCAL_SETTINGS
// and the performance text keys.
bool isOtherPredefined(HKEY key) {
    const auto value = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(key));
    const bool signExtended = (reinterpret_cast<uintptr_t>(key) >> 32) == 0xFFFFFFFFu;
    return signExtended && isPredefinedValue(value) && !isModelledRoot(key);
}

// ADVAPI32 recognises a predefined key by the low 32 bits of the handle
// alone: HKEY_CURRENT_USER zero-extended, or with any upper half, is still
// HKEY_CURRENT_USER. Other handles stay as they are.
HKEY predefinedKey(HKEY key) {
    const auto value = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(key));
    if (!isPredefinedValue(value)) return key;
    return reinterpret_cast<HKEY>(static_cast<uintptr_t>(static_cast<intptr_t>(static_cast<int32_t>(value))));
}

// The size of the self-relative security descriptor that winsim's access
// model stands for: owner Administrators (S-1-5-32-544, 16 bytes), group
// SYSTEM (S-1-5-18, 12 bytes), and a DACL (8 bytes) of three allowed
// ACEs (8 bytes each and their SIDs): SYSTEM and Administrators with full
// control, Users (S-1-5-32-545, 16 bytes) with read or full access.
constexpr DWORD kSecurityDescriptorSize = 20 + 16 + 12 + 8 + (8 + 12) + (8 + 16) + (8 + 16);

std::string hex(const void* p) {
    char text[32];
    std::snprintf(text, sizeof text, "%p", p);
    return text;
}

RegPath rootPath(HKEY predefined) {
    if (predefined == HKEY_CLASSES_ROOT) return RegPath{"HKLM", {"SOFTWARE", "Classes"}};
    if (predefined == HKEY_CURRENT_USER) return RegPath{"HKCU", {}};
    if (predefined == HKEY_USERS) return RegPath{"HKU", {}};
    if (predefined == HKEY_CURRENT_CONFIG)
        return RegPath{"HKLM", {"SYSTEM", "CurrentControlSet", "Hardware Profiles", "Current"}};
    return RegPath{"HKLM", {}};
}

// Whether the effective token may write the key: Windows' default ACL on
// HKLM grants users read access only, except on keys that grant more
// (writableByUsers). Windows 95/98/Me have no registry security at all.
bool userMayWrite(const Machine& m, const RegPath& path, const RegKey& key) {
    if (m.system.platformId == VER_PLATFORM_WIN32_WINDOWS) return true;
    if (m.token.effective().hasAdministratorRights()) return true;
    if (path.root != "HKLM") return true;
    return key.writableByUsers;
}

REGSAM maximumAllowed(const Machine& m, const RegPath& path, const RegKey& key) {
    return userMayWrite(m, path, key) ? static_cast<REGSAM>(KEY_ALL_ACCESS) : static_cast<REGSAM>(KEY_READ);
}

REGSAM mapGenericRights(REGSAM sam) {
    REGSAM out = sam & ~(kGenericRead | kGenericWrite | kGenericExecute | kGenericAll);
    if (sam & kGenericRead) out |= KEY_READ;
    if (sam & kGenericWrite) out |= KEY_WRITE;
    if (sam & kGenericExecute) out |= KEY_EXECUTE;
    if (sam & kGenericAll) out |= KEY_ALL_ACCESS;
    return out;
}

// The access check of opening a key: the rights granted, or
// ERROR_ACCESS_DENIED when the token may not have one that was asked for.
LONG grantAccess(const Machine& m, const RegPath& path, const RegKey& key, REGSAM desired, REGSAM& granted) {
    // Windows 95/98/Me ignore the access mask.
    if (m.system.platformId == VER_PLATFORM_WIN32_WINDOWS) {
        granted = KEY_ALL_ACCESS;
        return ERROR_SUCCESS;
    }
    REGSAM sam = mapGenericRights(desired & ~kViewFlags);
    if (sam & MAXIMUM_ALLOWED) {
        granted = (sam & ~MAXIMUM_ALLOWED) | maximumAllowed(m, path, key);
        if ((granted & kWriteRights) && !userMayWrite(m, path, key)) return ERROR_ACCESS_DENIED;
        return ERROR_SUCCESS;
    }
    if ((sam & kWriteRights) && !userMayWrite(m, path, key)) return ERROR_ACCESS_DENIED;
    granted = sam;
    return ERROR_SUCCESS;
}

struct OpenKey {
    std::shared_ptr<RegKey> key;
    REGSAM granted = 0;
    RegPath path;
};

// Finds what a key handle refers to: a predefined root (opened, as Windows
// opens them, with the maximum access the token allows) or a handle from
// the handle table.
LONG resolveHandle(Machine& m, HKEY handle, OpenKey& out) {
    handle = predefinedKey(handle);
    if (isModelledRoot(handle)) {
        out.path = rootPath(handle);
        out.key = handle == HKEY_CURRENT_CONFIG ? m.registry.find(out.path) : m.registry.root(handle);
        if (!out.key) {
            winsim::notImplemented("registry: HKEY_CURRENT_CONFIG without its key in HKLM");
            return ERROR_CALL_NOT_IMPLEMENTED;
        }
        out.granted = maximumAllowed(m, out.path, *out.key);
        return ERROR_SUCCESS;
    }
    if (isOtherPredefined(handle)) {
        winsim::notImplemented("registry: the predefined key " + hex(handle));
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
    auto object = m.handles.get<RegKeyObject>(handle, winsim::HandleKind::RegistryKey);
    if (!object) return ERROR_INVALID_HANDLE;
    out.key = object->key;
    out.granted = object->granted;
    out.path = object->path;
    return ERROR_SUCCESS;
}

// The path of `subKey` (ANSI, relative to the key `base` was opened by).
// Windows refuses a subkey path that starts with a backslash, except below
// HKEY_CLASSES_ROOT, where one leading backslash is skipped.
LONG subkeyPath(const Machine& m, HKEY handle, const RegPath& base, LPCSTR subKey, REGSAM sam, RegPath& out) {
    out = base;
    std::string path = subKey ? winsim::acpToUtf8(subKey) : std::string();
    if (handle == HKEY_CLASSES_ROOT && !path.empty() && path[0] == '\\') path.erase(0, 1);
    if (!path.empty() && path[0] == '\\') return ERROR_BAD_PATHNAME;
    std::string part;
    for (char c : path + '\\') {
        if (c != '\\') {
            part += c;
        } else if (!part.empty()) {
            out.components.push_back(part);
            part.clear();
        }
    }
    return winsim::applyRegistryView(m, sam, out);
}

HKEY newKeyHandle(Machine& m, std::shared_ptr<RegKey> key, REGSAM granted, const RegPath& path) {
    auto object = std::make_shared<RegKeyObject>();
    object->key = std::move(key);
    object->granted = granted;
    object->path = path;
    return static_cast<HKEY>(m.handles.add(winsim::HandleKind::RegistryKey, object));
}

bool isStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

std::u16string regDataToWide(const std::vector<BYTE>& data) {
    std::u16string wide(data.size() / 2, u'\0');
    for (size_t i = 0; i < wide.size(); ++i)
        wide[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    return wide;
}

// ANSI bytes to UTF-16 as MultiByteToWideChar does it without
// MB_ERR_INVALID_CHARS: a byte sequence without a mapping becomes '?'
// and the rest is kept.
std::u16string ansiToWide(const std::string& ansi, UINT codePage) {
    if (auto wide = winsim::toUtf16(ansi, codePage)) return *wide;
    std::u16string out;
    for (size_t i = 0; i < ansi.size();) {
        size_t n = 1;
        if (winsim::isLeadByte(codePage, static_cast<unsigned char>(ansi[i])) && i + 1 < ansi.size()) n = 2;
        auto piece = winsim::toUtf16(ansi.substr(i, n), codePage);
        out += piece ? *piece : u"?";
        i += n;
    }
    return out;
}

std::vector<BYTE> wideToRegData(const std::u16string& wide) {
    std::vector<BYTE> data;
    data.reserve(wide.size() * 2);
    for (char16_t unit : wide) {
        data.push_back(static_cast<BYTE>(unit & 0xFF));
        data.push_back(static_cast<BYTE>(unit >> 8));
    }
    return data;
}

std::string valueName(LPCSTR name) { return name ? winsim::acpToUtf8(name) : std::string(); }

FILETIME fileTime(uint64_t time) {
    FILETIME out;
    out.dwLowDateTime = static_cast<DWORD>(time & 0xFFFFFFFFu);
    out.dwHighDateTime = static_cast<DWORD>(time >> 32);
    return out;
}

DWORD utf16Length(const std::string& utf8) {
    auto wide = winsim::toUtf16(utf8, CP_UTF8);
    return wide ? static_cast<DWORD>(wide->size()) : static_cast<DWORD>(utf8.size());
}

}  // namespace

LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("RegOpenKeyExA")) return static_cast<LONG>(e);
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    hKey = predefinedKey(hKey);
    // A null key is refused before the result is touched.
    if (!hKey) return ERROR_INVALID_HANDLE;
    // An empty subkey of a predefined key gives back the predefined key
    // itself, which needs no closing.
    if ((!lpSubKey || !*lpSubKey) && isModelledRoot(hKey)) {
        *phkResult = hKey;
        return ERROR_SUCCESS;
    }
    *phkResult = nullptr;
    if (ulOptions & REG_OPTION_OPEN_LINK) {
        winsim::notImplemented("RegOpenKeyExA with REG_OPTION_OPEN_LINK");
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
    OpenKey base;
    if (LONG e = resolveHandle(m, hKey, base)) return e;
    if (base.key->deleted) return ERROR_KEY_DELETED;
    RegPath target;
    if (LONG e = subkeyPath(m, hKey, base.path, lpSubKey, samDesired, target)) return e;
    auto key = m.registry.find(target);
    if (!key) return ERROR_FILE_NOT_FOUND;
    REGSAM granted = 0;
    if (LONG e = grantAccess(m, target, *key, samDesired, granted)) return e;
    *phkResult = newKeyHandle(m, key, granted, target);
    return ERROR_SUCCESS;
}

LONG WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                            REGSAM samDesired, const LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                            LPDWORD lpdwDisposition) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("RegCreateKeyExA")) return static_cast<LONG>(e);
    if (!phkResult) return ERROR_BADKEY;
    if (Reserved) return ERROR_INVALID_PARAMETER;
    hKey = predefinedKey(hKey);
    if (dwOptions & ~static_cast<DWORD>(REG_OPTION_VOLATILE)) {
        winsim::notImplemented("RegCreateKeyExA with link or backup options");
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
    if (lpClass && *lpClass) {
        winsim::notImplemented("RegCreateKeyExA with a key class");
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
    if (lpSecurityAttributes && lpSecurityAttributes->lpSecurityDescriptor) {
        winsim::notImplemented("RegCreateKeyExA with a security descriptor");
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
    OpenKey base;
    if (LONG e = resolveHandle(m, hKey, base)) return e;
    if (base.key->deleted) return ERROR_KEY_DELETED;
    RegPath target;
    if (LONG e = subkeyPath(m, hKey, base.path, lpSubKey, samDesired, target)) return e;

    // Find the deepest key of the path that exists already.
    RegPath existing{target.root, {}};
    std::shared_ptr<RegKey> parent = m.registry.find(existing);
    for (const std::string& component : target.components) {
        auto it = parent->subkeys.find(winsim::registryUpper(component));
        if (it == parent->subkeys.end()) break;
        parent = it->second;
        existing.components.push_back(component);
    }
    const bool creates = existing.components.size() < target.components.size();
    // Creating a key is checked against the parent key's security (the
    // caller needs KEY_CREATE_SUB_KEY there), not against the access the
    // handle passed in was opened with: Wine, like Windows' own parse of
    // the path, creates below a handle opened for KEY_READ.
    if (creates && !userMayWrite(m, existing, *parent)) return ERROR_ACCESS_DENIED;
    // A volatile key lives in memory only, so a key stored on disk cannot
    // be created below it.
    const bool makeVolatile = (dwOptions & REG_OPTION_VOLATILE) != 0;
    if (creates && parent->isVolatile && !makeVolatile) return ERROR_CHILD_MUST_BE_VOLATILE;
    std::shared_ptr<RegKey> key = creates ? m.registry.createPath(target) : parent;
    if (creates && makeVolatile) {
        // Every key the call creates gets the options asked for.
        std::shared_ptr<RegKey> node = parent;
        for (size_t i = existing.components.size(); i < target.components.size(); ++i) {
            node = node->subkeys.at(winsim::registryUpper(target.components[i]));
            node->isVolatile = true;
        }
    }
    REGSAM granted = 0;
    if (LONG e = grantAccess(m, target, *key, samDesired, granted)) return e;
    *phkResult = newKeyHandle(m, key, granted, target);
    if (lpdwDisposition) *lpdwDisposition = creates ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

LONG WINAPI RegCloseKey(HKEY hKey) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("RegCloseKey")) return static_cast<LONG>(e);
    hKey = predefinedKey(hKey);
    if (isModelledRoot(hKey) || isOtherPredefined(hKey)) return ERROR_SUCCESS;
    if (!m.handles.close(hKey, winsim::HandleKind::RegistryKey)) return ERROR_INVALID_HANDLE;
    return ERROR_SUCCESS;
}

LONG WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("RegDeleteKeyA")) return static_cast<LONG>(e);
    if (!lpSubKey) return ERROR_INVALID_PARAMETER;
    OpenKey base;
    if (LONG e = resolveHandle(m, hKey, base)) return e;
    if (base.key->deleted) return ERROR_KEY_DELETED;
    RegPath target;
    if (LONG e = subkeyPath(m, hKey, base.path, lpSubKey, 0, target)) return e;
    if (target.components.empty()) {
        winsim::notImplemented("RegDeleteKeyA of a predefined key");
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
    auto key = m.registry.find(target);
    if (!key) return ERROR_FILE_NOT_FOUND;
    REGSAM granted = 0;
    if (LONG e = grantAccess(m, target, *key, DELETE, granted)) return e;
    // Windows NT deletes only keys without subkeys and reports the others
    // as ERROR_ACCESS_DENIED; Windows 95/98/Me delete the whole subtree.
    if (!key->subkeys.empty() && m.system.platformId != VER_PLATFORM_WIN32_WINDOWS) return ERROR_ACCESS_DENIED;
    const std::string last = target.components.back();
    target.components.pop_back();
    auto parent = m.registry.find(target);
    winsim::Registry::removeSubkey(*parent, winsim::registryUpper(last));
    return ERROR_SUCCESS;
}

LONG WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("RegDeleteValueA")) return static_cast<LONG>(e);
    OpenKey key;
    if (LONG e = resolveHandle(m, hKey, key)) return e;
    if (key.key->deleted) return ERROR_KEY_DELETED;
    if (!(key.granted & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    if (!key.key->removeValue(valueName(lpValueName))) return ERROR_FILE_NOT_FOUND;
    key.key->touch();
    return ERROR_SUCCESS;
}

LONG WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                           DWORD cbData) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("RegSetValueExA")) return static_cast<LONG>(e);
    (void)Reserved;  // Windows does not look at it
    if (!lpData && cbData) return kErrorNoAccess;
    OpenKey key;
    if (LONG e = resolveHandle(m, hKey, key)) return e;
    if (key.key->deleted) return ERROR_KEY_DELETED;
    if (!(key.granted & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;

    // A string whose size leaves out its terminating NUL gets it counted:
    // Windows looks at the byte after the data and takes it in when it is
    // a NUL (Wine does the same). Like Windows, this reads that byte.
    if (isStringType(dwType) && cbData > 0 && lpData[cbData - 1] != 0 && lpData[cbData] == 0) ++cbData;
    std::vector<BYTE> data(lpData, lpData + cbData);
    if (isStringType(dwType)) {
        // The cbData bytes are converted as they are, terminating NULs
        // included, so the stored UTF-16 has as many characters.
        const std::string ansi = cbData ? std::string(reinterpret_cast<const char*>(lpData), cbData) : std::string();
        data = wideToRegData(ansiToWide(ansi, m.system.acp));
    }
    const std::string name = valueName(lpValueName);
    if (winsim::RegValue* existing = key.key->findValue(name)) {
        existing->type = dwType;
        existing->data = std::move(data);
    } else {
        key.key->values.push_back({name, winsim::RegValue{dwType, std::move(data)}});
    }
    key.key->touch();
    return ERROR_SUCCESS;
}

LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                             LPDWORD lpcbData) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("RegQueryValueExA")) return static_cast<LONG>(e);
    if ((lpData && !lpcbData) || lpReserved) return ERROR_INVALID_PARAMETER;
    OpenKey key;
    if (LONG e = resolveHandle(m, hKey, key)) return e;
    if (key.key->deleted) return ERROR_KEY_DELETED;
    if (!(key.granted & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    const winsim::RegValue* value = key.key->findValue(valueName(lpValueName));
    if (!value) {
        // Windows NT clears the size of a size query (no buffer); Windows
        // 95/98/Me leave it as it was.
        if (!lpData && lpcbData && m.system.platformId != VER_PLATFORM_WIN32_WINDOWS) *lpcbData = 0;
        return ERROR_FILE_NOT_FOUND;
    }

    // String data leaves the registry in the ANSI code page, and the size
    // reported is that of the converted data.
    std::string out;
    if (isStringType(value->type))
        out = winsim::fromUtf16(regDataToWide(value->data), m.system.acp);
    else
        out.assign(value->data.begin(), value->data.end());
    const DWORD size = static_cast<DWORD>(out.size());

    LONG result = ERROR_SUCCESS;
    if (lpData) {
        const DWORD capacity = *lpcbData;
        if (size > capacity) {
            // The buffer is left as it was; the caller learns the size.
            result = ERROR_MORE_DATA;
        } else {
            std::memcpy(lpData, out.data(), size);
            // A string stored without its NUL gets one when there is room.
            if (isStringType(value->type) && size > 0 && size < capacity && lpData[size - 1] != 0) lpData[size] = 0;
        }
    }
    if (lpType) *lpType = value->type;
    if (lpcbData) *lpcbData = size;
    return result;
}

LONG WINAPI RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved, LPDWORD lpcSubKeys,
                             LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                             LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                             PFILETIME lpftLastWriteTime) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("RegQueryInfoKeyA")) return static_cast<LONG>(e);
    (void)lpReserved;
    if (lpClass && !lpcchClass) return ERROR_INVALID_PARAMETER;
    OpenKey open;
    if (LONG e = resolveHandle(m, hKey, open)) return e;
    const RegKey& key = *open.key;
    if (key.deleted) return ERROR_KEY_DELETED;
    if (!(open.granted & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;

    // Keys created here have no class: the class string is empty.
    if (lpClass && *lpcchClass) lpClass[0] = '\0';
    if (lpcchClass) *lpcchClass = 0;
    if (lpcbMaxClassLen) *lpcbMaxClassLen = 0;
    // Name lengths are counted in UTF-16 characters even by the ANSI
    // function; data lengths are the stored (UTF-16 for strings) sizes.
    if (lpcSubKeys) *lpcSubKeys = static_cast<DWORD>(key.subkeys.size());
    if (lpcbMaxSubKeyLen) {
        DWORD longest = 0;
        for (const auto& entry : key.subkeys) longest = std::max(longest, utf16Length(key.entryName(entry.first)));
        *lpcbMaxSubKeyLen = longest;
    }
    if (lpcValues) *lpcValues = static_cast<DWORD>(key.values.size());
    if (lpcbMaxValueNameLen) {
        DWORD longest = 0;
        for (const auto& v : key.values) longest = std::max(longest, utf16Length(v.first));
        *lpcbMaxValueNameLen = longest;
    }
    if (lpcbMaxValueLen) {
        DWORD longest = 0;
        for (const auto& v : key.values) longest = std::max(longest, static_cast<DWORD>(v.second.data.size()));
        *lpcbMaxValueLen = longest;
    }
    if (lpcbSecurityDescriptor) *lpcbSecurityDescriptor = kSecurityDescriptorSize;
    if (lpftLastWriteTime) *lpftLastWriteTime = fileTime(key.lastWriteTime);
    return ERROR_SUCCESS;
}

LONG WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                          LPSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("RegEnumKeyExA")) return static_cast<LONG>(e);
    if (lpReserved || !lpName || !lpcchName || (lpClass && !lpcchClass)) return ERROR_INVALID_PARAMETER;
    OpenKey open;
    if (LONG e = resolveHandle(m, hKey, open)) return e;
    const RegKey& key = *open.key;
    if (key.deleted) return ERROR_KEY_DELETED;
    if (!(open.granted & KEY_ENUMERATE_SUB_KEYS)) return ERROR_ACCESS_DENIED;
    if (dwIndex >= key.subkeys.size()) return ERROR_NO_MORE_ITEMS;

    auto entry = key.subkeys.begin();
    std::advance(entry, dwIndex);
    const std::string name = winsim::utf8ToAcp(key.entryName(entry->first));
    // The buffer must hold the name and its NUL; otherwise nothing is
    // written and the size is left as it was.
    if (name.size() >= *lpcchName) return ERROR_MORE_DATA;
    if (lpClass && *lpcchClass == 0) return ERROR_MORE_DATA;
    std::memcpy(lpName, name.c_str(), name.size() + 1);
    *lpcchName = static_cast<DWORD>(name.size());
    if (lpClass) lpClass[0] = '\0';
    if (lpcchClass) *lpcchClass = 0;
    if (lpftLastWriteTime) *lpftLastWriteTime = fileTime(entry->second->lastWriteTime);
    return ERROR_SUCCESS;
}
