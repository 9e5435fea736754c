// The registry's tree of keys and values, with the seeding and inspection
// API that tests use. The Win32 functions over it are in registry_api.cpp.
#include "winsim/registry.h"

#include <locale.h>

#include <chrono>
#include <cwctype>
#include <stdexcept>

#include "codepage.h"
#include "winsim/file_system.h"

namespace winsim {
namespace {

// towupper_l in a UTF-8 locale gives Unicode's simple case mapping, which
// is what the registry's upcase table holds for the characters key names
// use. Without that locale only ASCII letters are mapped.
locale_t unicodeCaseLocale() {
    static locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    return locale;
}

std::string asciiUpper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

bool isAscii(const std::string& s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

void markDeleted(RegKey& key) {
    key.deleted = true;
    for (auto& entry : key.subkeys) markDeleted(*entry.second);
}

}  // namespace

std::string registryUpper(const std::string& utf8) {
    if (isAscii(utf8)) return asciiUpper(utf8);
    auto wide = toUtf16(utf8, CP_UTF8);
    locale_t locale = unicodeCaseLocale();
    if (!wide || !locale) return asciiUpper(utf8);
    for (char16_t& unit : *wide) {
        // Surrogates stay as they are: the upcase table covers the BMP only.
        if (unit >= 0xD800 && unit <= 0xDFFF) continue;
        unit = static_cast<char16_t>(towupper_l(static_cast<wint_t>(unit), locale));
    }
    return fromUtf16(*wide, CP_UTF8);
}

std::vector<BYTE> utf8ToRegString(const std::string& utf8) {
    auto wide = toUtf16(utf8, CP_UTF8);
    if (!wide) throw std::invalid_argument("winsim registry: text is not valid UTF-8: " + utf8);
    std::vector<BYTE> bytes;
    bytes.reserve(wide->size() * 2);
    for (char16_t unit : *wide) {
        bytes.push_back(static_cast<BYTE>(unit & 0xFF));
        bytes.push_back(static_cast<BYTE>(unit >> 8));
    }
    return bytes;
}

std::string regStringToUtf8(const std::vector<BYTE>& data) {
    std::u16string wide(data.size() / 2, u'\0');
    for (size_t i = 0; i < wide.size(); ++i)
        wide[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    return fromUtf16(wide, CP_UTF8);
}

// --- RegKey --------------------------------------------------------------

RegValue* RegKey::findValue(const std::string& valueName) {
    const std::string upper = registryUpper(valueName);
    for (auto& v : values)
        if (registryUpper(v.first) == upper) return &v.second;
    return nullptr;
}

const RegValue* RegKey::findValue(const std::string& valueName) const {
    return const_cast<RegKey*>(this)->findValue(valueName);
}

bool RegKey::removeValue(const std::string& valueName) {
    const std::string upper = registryUpper(valueName);
    for (auto it = values.begin(); it != values.end(); ++it) {
        if (registryUpper(it->first) == upper) {
            values.erase(it);
            return true;
        }
    }
    return false;
}

const std::string& RegKey::entryName(const std::string& upperName) const {
    auto link = linkNames.find(upperName);
    if (link != linkNames.end()) return link->second;
    return subkeys.at(upperName)->name;
}

void RegKey::touch() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(now);
    const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(now - seconds);
    lastWriteTime = fileTimeFromUnix(seconds.count(), static_cast<long>(nanoseconds.count()));
}

// --- Registry ------------------------------------------------------------

Registry::Registry() {
    for (const char* root : {"HKLM", "HKCU", "HKU"}) {
        auto key = std::make_shared<RegKey>();
        key->name = root;
        roots_[root] = key;
    }
    createKey("HKLM\\SOFTWARE\\Classes");
    // The machine is 64-bit Windows: 32-bit programs see HKLM\SOFTWARE
    // through this key (see registry_api.cpp).
    createKey("HKLM\\SOFTWARE\\Wow6432Node");
    createKey("HKLM\\SYSTEM\\ControlSet001");
    // CurrentControlSet is a symbolic link to the control set in use, so a
    // write through either name is seen through the other.
    auto system = find("HKLM\\SYSTEM");
    system->subkeys["CURRENTCONTROLSET"] = system->subkeys.at("CONTROLSET001");
    system->linkNames["CURRENTCONTROLSET"] = "CurrentControlSet";
    // HKEY_CURRENT_CONFIG shows this key.
    createKey("HKLM\\SYSTEM\\ControlSet001\\Hardware Profiles\\Current");
    createKey("HKCU\\Software");
    createKey("HKU\\.DEFAULT");
}

std::optional<RegPath> Registry::parse(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == '\\') {
            if (!part.empty()) parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) parts.push_back(part);
    if (parts.empty()) return std::nullopt;

    RegPath out;
    const std::string root = asciiUpper(parts.front());
    if (root == "HKLM" || root == "HKEY_LOCAL_MACHINE") {
        out.root = "HKLM";
    } else if (root == "HKCU" || root == "HKEY_CURRENT_USER") {
        out.root = "HKCU";
    } else if (root == "HKU" || root == "HKEY_USERS") {
        out.root = "HKU";
    } else if (root == "HKCR" || root == "HKEY_CLASSES_ROOT") {
        out.root = "HKLM";
        out.components = {"SOFTWARE", "Classes"};
    } else {
        return std::nullopt;
    }
    out.components.insert(out.components.end(), parts.begin() + 1, parts.end());
    return out;
}

RegPath Registry::mustParse(const std::string& path) const {
    auto parsed = parse(path);
    if (!parsed) throw std::invalid_argument("winsim registry: not a registry path: " + path);
    return *parsed;
}

std::shared_ptr<RegKey> Registry::find(const RegPath& path) const {
    auto root = roots_.find(path.root);
    if (root == roots_.end()) return nullptr;
    std::shared_ptr<RegKey> key = root->second;
    for (const std::string& component : path.components) {
        auto it = key->subkeys.find(registryUpper(component));
        if (it == key->subkeys.end()) return nullptr;
        key = it->second;
    }
    return key;
}

std::shared_ptr<RegKey> Registry::find(const std::string& path) const {
    auto parsed = parse(path);
    return parsed ? find(*parsed) : nullptr;
}

std::shared_ptr<RegKey> Registry::root(HKEY predefined) const {
    if (predefined == HKEY_LOCAL_MACHINE) return roots_.at("HKLM");
    if (predefined == HKEY_CURRENT_USER) return roots_.at("HKCU");
    if (predefined == HKEY_USERS) return roots_.at("HKU");
    if (predefined == HKEY_CLASSES_ROOT) return find("HKCR");
    return nullptr;
}

std::shared_ptr<RegKey> Registry::createPath(const RegPath& path) {
    std::shared_ptr<RegKey> key = roots_.at(path.root);
    for (const std::string& component : path.components) {
        const std::string upper = registryUpper(component);
        auto it = key->subkeys.find(upper);
        if (it == key->subkeys.end()) {
            auto child = std::make_shared<RegKey>();
            child->name = component;
            child->writableByUsers = key->writableByUsers;
            child->touch();
            key->touch();
            it = key->subkeys.emplace(upper, child).first;
        }
        key = it->second;
    }
    return key;
}

void Registry::removeSubkey(RegKey& parent, const std::string& upperName) {
    auto it = parent.subkeys.find(upperName);
    if (it == parent.subkeys.end()) return;
    std::shared_ptr<RegKey> node = it->second;
    // Entries that are links to the same node go with it.
    for (auto entry = parent.subkeys.begin(); entry != parent.subkeys.end();) {
        if (entry->second == node) {
            parent.linkNames.erase(entry->first);
            entry = parent.subkeys.erase(entry);
        } else {
            ++entry;
        }
    }
    markDeleted(*node);
    parent.touch();
}

void Registry::createKey(const std::string& path) { createPath(mustParse(path)); }

bool Registry::keyExists(const std::string& path) const { return find(path) != nullptr; }

void Registry::deleteKey(const std::string& path) {
    RegPath parsed = mustParse(path);
    if (parsed.components.empty()) throw std::invalid_argument("winsim registry: cannot delete a root: " + path);
    const std::string last = parsed.components.back();
    parsed.components.pop_back();
    if (auto parent = find(parsed)) removeSubkey(*parent, registryUpper(last));
}

void Registry::setValue(const std::string& keyPath, const std::string& name, DWORD type, std::vector<BYTE> data) {
    auto key = createPath(mustParse(keyPath));
    key->touch();
    if (RegValue* existing = key->findValue(name)) {
        existing->type = type;
        existing->data = std::move(data);
        return;
    }
    key->values.push_back({name, RegValue{type, std::move(data)}});
}

void Registry::setDword(const std::string& keyPath, const std::string& name, DWORD value) {
    std::vector<BYTE> data(4);
    for (int i = 0; i < 4; ++i) data[i] = static_cast<BYTE>(value >> (8 * i));
    setValue(keyPath, name, REG_DWORD, std::move(data));
}

void Registry::setString(const std::string& keyPath, const std::string& name, const std::string& value, DWORD type) {
    setValue(keyPath, name, type, utf8ToRegString(value + '\0'));
}

void Registry::setMultiString(const std::string& keyPath, const std::string& name,
                              const std::vector<std::string>& entries) {
    std::string joined;
    for (const std::string& entry : entries) joined += entry + '\0';
    joined += '\0';
    setValue(keyPath, name, REG_MULTI_SZ, utf8ToRegString(joined));
}

void Registry::setWritableByUsers(const std::string& path, bool writable) {
    createPath(mustParse(path))->writableByUsers = writable;
}

std::optional<RegValue> Registry::value(const std::string& keyPath, const std::string& name) const {
    auto key = find(keyPath);
    if (!key) return std::nullopt;
    const RegValue* v = key->findValue(name);
    if (!v) return std::nullopt;
    return *v;
}

std::optional<DWORD> Registry::dword(const std::string& keyPath, const std::string& name) const {
    auto v = value(keyPath, name);
    if (!v || v->type != REG_DWORD || v->data.size() != 4) return std::nullopt;
    return static_cast<DWORD>(v->data[0] | (v->data[1] << 8) | (v->data[2] << 16) |
                              (static_cast<DWORD>(v->data[3]) << 24));
}

std::optional<std::string> Registry::string(const std::string& keyPath, const std::string& name) const {
    auto v = value(keyPath, name);
    if (!v || (v->type != REG_SZ && v->type != REG_EXPAND_SZ)) return std::nullopt;
    std::string text = regStringToUtf8(v->data);
    // The data need not end with a NUL; everything from the first NUL on
    // is not part of the string.
    return text.substr(0, text.find('\0'));
}

std::optional<std::vector<std::string>> Registry::multiString(const std::string& keyPath,
                                                              const std::string& name) const {
    auto v = value(keyPath, name);
    if (!v || v->type != REG_MULTI_SZ) return std::nullopt;
    const std::string text = regStringToUtf8(v->data);
    std::vector<std::string> entries;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\0', start);
        if (end == std::string::npos) end = text.size();
        if (end == start) break;  // the empty entry ends the list
        entries.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return entries;
}

void Registry::deleteValue(const std::string& keyPath, const std::string& name) {
    if (auto key = find(keyPath)) key->removeValue(name);
}

std::vector<std::string> Registry::subkeyNames(const std::string& path) const {
    std::vector<std::string> names;
    if (auto key = find(path))
        for (const auto& entry : key->subkeys) names.push_back(key->entryName(entry.first));
    return names;
}

std::vector<std::string> Registry::valueNames(const std::string& path) const {
    std::vector<std::string> names;
    if (auto key = find(path))
        for (const auto& v : key->values) names.push_back(v.first);
    return names;
}

}  // namespace winsim
