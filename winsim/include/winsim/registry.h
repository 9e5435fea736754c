// The registry of the simulated PC: a tree of keys under the predefined
// roots, values with their type and raw data.
//
// Seeding and inspection take paths such as "HKLM\\SOFTWARE\\Vendor"; the
// roots may be written HKLM, HKEY_LOCAL_MACHINE, HKCU, HKEY_CURRENT_USER,
// HKCR, HKEY_CLASSES_ROOT, HKU or HKEY_USERS. Names compare without regard
// to case, and subkeys keep the registry's order (sorted without regard to
// case, by upper-case name).
//
// Windows keeps string data (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) as
// UTF-16; so does this store. The seeding helpers take UTF-8 and convert;
// the "A" functions of the Win32 layer convert from and to the machine's
// ANSI code page, as Windows does.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "handles.h"
#include "win_advapi.h"
#include "win_types.h"

namespace winsim {

struct RegValue {
    DWORD type = 0;
    std::vector<BYTE> data;  // as stored: string types in UTF-16LE
};

struct RegKey {
    std::string name;  // as created, in the original case
    std::map<std::string, std::shared_ptr<RegKey>> subkeys;  // by upper-case name
    // Subkey entries that are symbolic links to a node created under
    // another name (CurrentControlSet -> ControlSet001): the entry's own
    // name, by upper-case entry name.
    std::map<std::string, std::string> linkNames;
    std::vector<std::pair<std::string, RegValue>> values;  // in creation order
    bool deleted = false;
    // Keys a non-administrator may open for writing. Under HKLM the
    // default is false: Windows grants such users read access only. A key
    // created below a writable key inherits the flag, as an inherited ACL.
    bool writableByUsers = false;
    // A volatile key lives in memory only; its subkeys must be volatile too.
    bool isVolatile = false;
    // When the key or its values last changed (FILETIME units).
    uint64_t lastWriteTime = 0;

    // Sets the last write time to now.
    void touch();

    RegValue* findValue(const std::string& valueName);
    const RegValue* findValue(const std::string& valueName) const;
    bool removeValue(const std::string& valueName);
    // The name under which the subkey entry `upperName` is listed.
    const std::string& entryName(const std::string& upperName) const;
};

// A key path split into its root ("HKLM", "HKCU", "HKU") and components.
// HKCR is the view of HKLM\SOFTWARE\Classes and is returned as that path.
struct RegPath {
    std::string root;
    std::vector<std::string> components;
};

class Registry {
public:
    // HKLM\SOFTWARE (with Classes and Wow6432Node), HKLM\SYSTEM\ControlSet001
    // with CurrentControlSet linked to it, HKCU\Software, HKU\.DEFAULT.
    Registry();

    void createKey(const std::string& path);
    bool keyExists(const std::string& path) const;
    void deleteKey(const std::string& path);  // the key and its subtree
    // Writes raw data; the key is created as needed.
    void setValue(const std::string& keyPath, const std::string& name, DWORD type, std::vector<BYTE> data);
    void setDword(const std::string& keyPath, const std::string& name, DWORD value);
    // Writes a string (REG_SZ, or REG_EXPAND_SZ) with its terminating NUL.
    void setString(const std::string& keyPath, const std::string& name, const std::string& value,
                   DWORD type = REG_SZ);
    // Writes a REG_MULTI_SZ: each entry NUL-terminated, then an empty entry.
    void setMultiString(const std::string& keyPath, const std::string& name, const std::vector<std::string>& entries);
    // Lets a non-administrator open the key for writing (see RegKey).
    void setWritableByUsers(const std::string& path, bool writable = true);

    std::optional<RegValue> value(const std::string& keyPath, const std::string& name) const;
    std::optional<DWORD> dword(const std::string& keyPath, const std::string& name) const;
    // A REG_SZ or REG_EXPAND_SZ value in UTF-8, without its terminating NUL.
    std::optional<std::string> string(const std::string& keyPath, const std::string& name) const;
    std::optional<std::vector<std::string>> multiString(const std::string& keyPath, const std::string& name) const;
    void deleteValue(const std::string& keyPath, const std::string& name);
    std::vector<std::string> subkeyNames(const std::string& path) const;
    std::vector<std::string> valueNames(const std::string& path) const;

    // The node behind a path, or null (used by the Win32 layer).
    std::shared_ptr<RegKey> find(const std::string& path) const;
    std::shared_ptr<RegKey> find(const RegPath& path) const;
    // The node of a predefined key (HKEY_LOCAL_MACHINE...), or null.
    std::shared_ptr<RegKey> root(HKEY predefined) const;
    // Creates the missing keys of a path (seeding: no access checks).
    std::shared_ptr<RegKey> createPath(const RegPath& path);
    // Removes the subkey entry `upperName` of `parent` and marks its subtree
    // deleted; open handles to it then see ERROR_KEY_DELETED.
    static void removeSubkey(RegKey& parent, const std::string& upperName);

    // Parses "HKLM\\A\\B"; nothing for an unknown root.
    static std::optional<RegPath> parse(const std::string& path);

private:
    RegPath mustParse(const std::string& path) const;
    std::map<std::string, std::shared_ptr<RegKey>> roots_;  // HKLM, HKCU, HKU
};

// Upper-cases a UTF-8 key or value name the way the registry compares
// names (simple one-to-one case mapping).
std::string registryUpper(const std::string& utf8);

// UTF-8 text <-> the UTF-16LE bytes that the registry stores.
std::vector<BYTE> utf8ToRegString(const std::string& utf8);
std::string regStringToUtf8(const std::vector<BYTE>& data);

// What an open registry handle refers to: the node, the access granted
// when it was opened, and the path it was opened by (after HKCR and WOW64
// redirection), which decides the access checks of keys opened below it.
struct RegKeyObject : KernelObject {
    std::shared_ptr<RegKey> key;
    REGSAM granted = 0;
    RegPath path;
};

}  // namespace winsim
