// Short (8.3) names of the simulated NTFS volume. NTFS gives every name that
// is not a valid 8.3 name a second, short name, and FindFirstFileA matches
// its pattern against both: "oem*.inf" lists "oem1.inf_old", whose short
// name is OEM1~1.INF.
//
// The short name is made as Windows documents for NTFS: the name in the OEM
// code page, upper case, without spaces and without dots but the last;
// characters that 8.3 names cannot hold become '_'; the first six characters
// of the base, "~1" (or ~2, ~3, ~4 while that name is taken), and the first
// three characters of the extension. From the fifth clash on, the base is
// its first two characters and four hexadecimal digits of a hash of the
// long name; the hash NTFS uses is not documented, so winsim's digits differ
// from Windows' (programs cannot rely on them either).
#include <algorithm>
#include <cstdio>

#include "codepage.h"
#include "files_internal.h"
#include "winsim/file_system.h"
#include "winsim/machine.h"

namespace winsim {
namespace {

// winsim keeps one code page for ANSI and OEM text.
UINT oemCodePage() { return current().system.acp; }

bool invalidIn83(unsigned char c) {
    return c < 0x20 || std::string("\"*+,/:;<=>?[\\]|").find(static_cast<char>(c)) != std::string::npos;
}

// The name in the OEM code page with ASCII letters upper-cased, or nothing
// when a character has no OEM form.
std::optional<std::string> oemUpper(const std::string& utf8) {
    bool usedDefault = false;
    const std::u16string wide = utf8ToUtf16(utf8);
    std::string oem = fromUtf16(wide, oemCodePage(), &usedDefault);
    if (usedDefault) return std::nullopt;
    const UINT cp = oemCodePage();
    for (size_t i = 0; i < oem.size(); ++i) {
        if (isLeadByte(cp, static_cast<unsigned char>(oem[i]))) {
            ++i;
            continue;
        }
        if (oem[i] >= 'a' && oem[i] <= 'z') oem[i] = static_cast<char>(oem[i] - 'a' + 'A');
    }
    return oem;
}

// Whether the name is a valid 8.3 name: a base of one to eight bytes, at
// most one dot, an extension of one to three bytes, no spaces and no
// character that 8.3 names cannot hold. Case does not count: "oem1.inf"
// has no short name.
bool isLegal83(const std::string& utf8) {
    const auto oem = oemUpper(utf8);
    if (!oem || oem->empty()) return false;
    const size_t dot = oem->find('.');
    if (dot != std::string::npos && oem->find('.', dot + 1) != std::string::npos) return false;
    const size_t baseLength = dot == std::string::npos ? oem->size() : dot;
    const size_t extensionLength = dot == std::string::npos ? 0 : oem->size() - dot - 1;
    if (baseLength == 0 || baseLength > 8 || extensionLength > 3) return false;
    if (dot != std::string::npos && extensionLength == 0) return false;
    const UINT cp = oemCodePage();
    for (size_t i = 0; i < oem->size(); ++i) {
        const unsigned char c = static_cast<unsigned char>((*oem)[i]);
        if (isLeadByte(cp, c)) {
            ++i;
            continue;
        }
        if (c == ' ' || invalidIn83(c)) return false;
    }
    return true;
}

// The base and extension a short name is made from, as OEM bytes.
struct ShortParts {
    std::string base;
    std::string extension;
};

// Keeps the characters an 8.3 name can hold: spaces and dots go, other
// invalid characters and characters without an OEM form become '_'.
std::string cleanPart(const std::u16string& part) {
    const UINT cp = oemCodePage();
    std::string out;
    for (char16_t unit : part) {
        if (unit == u' ' || unit == u'.') continue;
        bool usedDefault = false;
        std::string oem = fromUtf16(std::u16string(1, unit), cp, &usedDefault);
        if (usedDefault || oem.empty()) {
            out += '_';
        } else if (oem.size() == 1) {
            char c = oem[0];
            if (invalidIn83(static_cast<unsigned char>(c))) c = '_';
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
            out += c;
        } else {
            out += oem;
        }
    }
    return out;
}

ShortParts shortParts(const std::string& utf8) {
    std::u16string wide = utf8ToUtf16(utf8);
    // Leading dots do not start an extension: ".htaccess" gives HTACCE~1.
    const size_t first = wide.find_first_not_of(u'.');
    wide = first == std::u16string::npos ? std::u16string() : wide.substr(first);
    const size_t dot = wide.rfind(u'.');
    ShortParts parts;
    parts.base = cleanPart(dot == std::u16string::npos ? wide : wide.substr(0, dot));
    if (dot != std::u16string::npos) parts.extension = cleanPart(wide.substr(dot + 1));
    const UINT cp = oemCodePage();
    parts.extension.resize(wholeCharacterPrefix(parts.extension, 3, cp));
    if (parts.base.empty()) parts.base = "_";
    return parts;
}

std::string compose(const std::string& base, int number, const std::string& extension) {
    std::string name = base + "~" + std::to_string(number);
    if (!extension.empty()) name += "." + extension;
    return name;
}

// FNV-1a over the upper-cased name, folded to 16 bits.
unsigned nameHash(const std::string& utf8) {
    uint32_t hash = 2166136261u;
    for (char16_t unit : upperKey(utf8)) {
        hash ^= unit;
        hash *= 16777619u;
    }
    return (hash ^ (hash >> 16)) & 0xFFFFu;
}

std::string generateShortName(const std::string& utf8, const std::set<std::u16string>& taken) {
    const UINT cp = oemCodePage();
    const ShortParts parts = shortParts(utf8);
    auto free = [&](const std::string& oemName) { return taken.count(upperKey(acpToUtf8(oemName))) == 0; };
    const std::string base6 = parts.base.substr(0, wholeCharacterPrefix(parts.base, 6, cp));
    for (int n = 1; n <= 4; ++n) {
        const std::string candidate = compose(base6, n, parts.extension);
        if (free(candidate)) return acpToUtf8(candidate);
    }
    char digits[5];
    std::snprintf(digits, sizeof digits, "%04X", nameHash(utf8));
    const std::string hashed = parts.base.substr(0, wholeCharacterPrefix(parts.base, 2, cp)) + digits;
    for (int n = 1; n <= 9; ++n) {
        const std::string candidate = compose(hashed, n, parts.extension);
        if (free(candidate)) return acpToUtf8(candidate);
    }
    notImplemented("more than nine short-name clashes after the hashed form in one folder");
    return std::string();
}

}  // namespace

std::map<std::string, std::string> FileSystem::shortNamesIn(const std::string& folderKey,
                                                            const std::vector<std::string>& names) const {
    std::map<std::string, std::string> result;
    std::set<std::u16string> taken;
    std::vector<std::string> pending;
    for (const std::string& name : names) {
        if (isLegal83(name)) {
            result[name] = std::string();
            taken.insert(upperKey(name));
            continue;
        }
        auto it = shortNames_.find(folderKey + "\\" + upperName(name));
        if (it != shortNames_.end()) {
            result[name] = it->second;
            taken.insert(upperKey(it->second));
        } else {
            pending.push_back(name);
        }
    }
    std::sort(pending.begin(), pending.end(),
              [](const std::string& a, const std::string& b) { return upperKey(a) < upperKey(b); });
    for (const std::string& name : pending) {
        const std::string shortName = generateShortName(name, taken);
        taken.insert(upperKey(shortName));
        shortNames_[folderKey + "\\" + upperName(name)] = shortName;
        result[name] = shortName;
    }
    return result;
}

bool FileSystem::findByShortName(const std::string& folderCanonical, const std::vector<std::string>& entries,
                                 const std::string& name, std::string* actual) const {
    std::string folder = folderCanonical;
    if (!folder.empty() && folder.back() == '\\') folder.pop_back();  // "C:\\" is keyed "C:"
    const std::u16string wanted = upperKey(name);
    for (const auto& entry : shortNamesIn(upperName(folder), entries)) {
        if (!entry.second.empty() && upperKey(entry.second) == wanted) {
            *actual = entry.first;
            return true;
        }
    }
    return false;
}

}  // namespace winsim
