// The registry of the simulated PC: a tree of keys under the predefined
// roots, values with their type and raw data.
//
// Seeding and inspection take paths such as "HKLM\\SOFTWARE\\Vendor"; the
// roots may be written HKLM, HKEY_LOCAL_MACHINE, HKCU, HKCR or HKU. Names
// compare without regard to case, and subkeys keep the registry's order
// (sorted without regard to case).
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "win_types.h"

namespace winsim {

struct RegValue {
    DWORD type = 0;
    std::vector<BYTE> data;
};

struct RegKey {
    std::string name;  // as created, in the original case
    std::map<std::string, std::shared_ptr<RegKey>> subkeys;  // by upper-case name
    std::vector<std::pair<std::string, RegValue>> values;    // in creation order
    bool deleted = false;
    // Keys a non-administrator may open for writing. Under HKLM the
    // default is false: Windows grants such users read access only.
    bool writableByUsers = false;

    RegValue* findValue(const std::string& valueName);
};

class Registry {
public:
    Registry();

    void createKey(const std::string& path);
    bool keyExists(const std::string& path) const;
    void deleteKey(const std::string& path);  // the key and its subtree
    void setValue(const std::string& keyPath, const std::string& name, DWORD type, std::vector<BYTE> data);
    void setDword(const std::string& keyPath, const std::string& name, DWORD value);
    void setString(const std::string& keyPath, const std::string& name, const std::string& value);
    // Writes a REG_MULTI_SZ: each entry NUL-terminated, then an empty entry.
    void setMultiString(const std::string& keyPath, const std::string& name, const std::vector<std::string>& entries);
    std::optional<RegValue> value(const std::string& keyPath, const std::string& name) const;
    std::optional<DWORD> dword(const std::string& keyPath, const std::string& name) const;
    void deleteValue(const std::string& keyPath, const std::string& name);
    std::vector<std::string> subkeyNames(const std::string& path) const;

    // The node behind a path, or null (used by the Win32 layer).
    std::shared_ptr<RegKey> find(const std::string& path) const;
    std::shared_ptr<RegKey> root(HKEY predefined) const;

private:
    std::shared_ptr<RegKey> createPath(const std::string& path);
    std::map<std::string, std::shared_ptr<RegKey>> roots_;  // HKLM, HKCU, HKCR, HKU
};

}  // namespace winsim
