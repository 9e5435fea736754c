// GetPrivateProfileStringA and WritePrivateProfileStringA over files of the
// simulated file system.
//
// The file's bytes are ANSI text in the machine's code page. They are read
// into UTF-8 before any parsing, so that a Shift-JIS trail byte equal to ']'
// or '\' is never taken for syntax, and the results are converted back.
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>

#include "codepage.h"
#include "files_internal.h"
#include "winsim/machine.h"

using winsim::Machine;

namespace {

struct ProfileKey {
    std::string name;
    std::optional<std::string> value;  // none for a line without '='
};

struct ProfileSection {
    std::string name;
    std::vector<ProfileKey> keys;
};

// Blanks that the profile functions trim: white space, and the DOS end of
// file mark ^Z found at the end of old files.
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == 0x1A; }

std::string trim(const std::string& s) {
    size_t begin = 0;
    size_t end = s.size();
    while (begin < end && isBlank(s[begin])) ++begin;
    while (end > begin && isBlank(s[end - 1])) --end;
    return s.substr(begin, end - begin);
}

bool sameName(const std::string& a, const std::string& b) { return winsim::upperKey(a) == winsim::upperKey(b); }

// Lines end at CR, LF or CR LF.
std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(line);
            line.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

// A section header: '[' first, the name up to the last ']'.
std::optional<std::string> sectionHeader(const std::string& trimmedLine) {
    if (trimmedLine.empty() || trimmedLine[0] != '[') return std::nullopt;
    const size_t close = trimmedLine.rfind(']');
    if (close == std::string::npos) return std::nullopt;
    return trim(trimmedLine.substr(1, close - 1));
}

// Lines before the first section belong to a nameless section that no call
// can name; comment lines (';' first) are skipped.
std::vector<ProfileSection> parseProfile(const std::string& utf8) {
    std::vector<ProfileSection> sections(1);
    for (const std::string& raw : splitLines(utf8)) {
        const std::string line = trim(raw);
        if (line.empty() || line[0] == ';') continue;
        if (auto header = sectionHeader(line)) {
            sections.push_back(ProfileSection{*header, {}});
            continue;
        }
        ProfileKey key;
        const size_t eq = line.find('=');
        if (eq == std::string::npos) {
            key.name = line;
        } else {
            key.name = trim(line.substr(0, eq));
            key.value = trim(line.substr(eq + 1));
        }
        sections.back().keys.push_back(key);
    }
    return sections;
}

const ProfileSection* findSection(const std::vector<ProfileSection>& sections, const std::string& name) {
    for (size_t i = 1; i < sections.size(); ++i)
        if (sameName(sections[i].name, name)) return &sections[i];
    return nullptr;
}

// A value enclosed in a matching pair of quotes (" or ') loses them.
std::string unquote(const std::string& value) {
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
        return value.substr(1, value.size() - 2);
    return value;
}

// The file a profile name stands for: a bare file name is looked up in the
// Windows folder, anything with a folder in it as a path.
std::string profilePath(Machine& m, const std::string& name) {
    if (name.find('\\') == std::string::npos && name.find('/') == std::string::npos &&
        !(name.size() >= 2 && name[1] == ':'))
        return m.system.windowsDir + "\\" + name;
    return name;
}

// Copies a string into the caller's buffer of `size` bytes (size >= 1),
// truncated to size - 1 bytes without splitting a double-byte character.
DWORD copyString(const std::string& ansi, LPSTR buffer, DWORD size) {
    const size_t n = winsim::ansiFit(ansi, size - 1);
    std::memcpy(buffer, ansi.data(), n);
    buffer[n] = '\0';
    return static_cast<DWORD>(n);
}

// Copies a list of names, each ended by a NUL and the list by another. When
// the buffer is too small the last name that fits in part is cut, both
// NULs follow it, and the result is size - 2.
DWORD copyList(const std::vector<std::string>& names, LPSTR buffer, DWORD size) {
    if (size == 1) {
        buffer[0] = '\0';
        return 0;
    }
    DWORD left = size - 1;  // room before the list's final NUL
    char* out = buffer;
    for (const std::string& name : names) {
        const std::string ansi = winsim::utf8ToAcp(name);
        const DWORD needed = static_cast<DWORD>(ansi.size() + 1);
        if (needed >= left) {
            const DWORD part = copyString(ansi, out, left);
            out[part + 1] = '\0';
            return size - 2;
        }
        std::memcpy(out, ansi.data(), ansi.size());
        out[ansi.size()] = '\0';
        out += needed;
        left -= needed;
    }
    *out = '\0';
    return static_cast<DWORD>(out - buffer);
}

enum class Load { Ok, Missing, Failed };

Load loadProfile(Machine& m, const std::string& path, std::vector<ProfileSection>* sections, DWORD* error) {
    std::string bytes;
    *error = m.files.tryReadFile(path, &bytes);
    if (*error == ERROR_FILE_NOT_FOUND || *error == ERROR_PATH_NOT_FOUND) {
        *error = ERROR_FILE_NOT_FOUND;
        return Load::Missing;
    }
    if (*error) return Load::Failed;
    if (bytes.size() >= 2 && ((bytes[0] == '\xFF' && bytes[1] == '\xFE') || (bytes[0] == '\xFE' && bytes[1] == '\xFF'))) {
        winsim::notImplemented("a profile file in UTF-16: " + path);
        *error = ERROR_CALL_NOT_IMPLEMENTED;
        return Load::Failed;
    }
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        winsim::notImplemented("a profile file with a UTF-8 byte order mark: " + path);
        *error = ERROR_CALL_NOT_IMPLEMENTED;
        return Load::Failed;
    }
    auto wide = winsim::toUtf16(bytes, m.system.acp);
    if (!wide) {
        winsim::notImplemented("a profile file with bytes that the code page does not map: " + path);
        *error = ERROR_CALL_NOT_IMPLEMENTED;
        return Load::Failed;
    }
    *sections = parseProfile(winsim::fromUtf16(*wide, CP_UTF8));
    return Load::Ok;
}

// The default as the call uses it: NULL is "", and trailing spaces go.
std::string defaultValue(LPCSTR lpDefault) {
    std::string value = lpDefault ? winsim::acpToUtf8(lpDefault) : std::string();
    while (!value.empty() && value.back() == ' ') value.pop_back();
    return value;
}

}  // namespace

DWORD WINAPI GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault, LPSTR lpReturnedString,
                                      DWORD nSize, LPCSTR lpFileName) {
    Machine& m = winsim::current();
    const std::string fallback = defaultValue(lpDefault);
    // Every way of failing hands back the default.
    auto giveDefault = [&](DWORD error) -> DWORD {
        if (error) m.lastError = error;
        return copyString(winsim::utf8ToAcp(unquote(fallback)), lpReturnedString, nSize);
    };
    if (DWORD e = m.faults.check("GetPrivateProfileStringA")) {
        if (!lpReturnedString || nSize == 0) {
            m.lastError = e;
            return 0;
        }
        return giveDefault(e);
    }
    if (!lpReturnedString || nSize == 0) return 0;
    if (!lpFileName) {
        winsim::notImplemented("GetPrivateProfileStringA on win.ini (a NULL file name)");
        lpReturnedString[0] = '\0';
        return 0;
    }

    std::vector<ProfileSection> sections;
    DWORD error = 0;
    const std::string name = winsim::acpToUtf8(lpFileName);
    Load load = name.empty() ? Load::Missing : loadProfile(m, profilePath(m, name), &sections, &error);
    if (name.empty()) error = ERROR_FILE_NOT_FOUND;
    if (load == Load::Failed) return giveDefault(error);

    if (!lpAppName) {
        // The names of all sections; a missing file has none.
        std::vector<std::string> names;
        for (size_t i = 1; i < sections.size(); ++i)
            if (!sections[i].name.empty()) names.push_back(sections[i].name);
        if (load == Load::Missing) m.lastError = error;
        return copyList(names, lpReturnedString, nSize);
    }
    const std::string sectionName = trim(winsim::acpToUtf8(lpAppName));
    const ProfileSection* section = sectionName.empty() ? nullptr : findSection(sections, sectionName);

    if (!lpKeyName) {
        // The names of the section's keys that have a '='; with none, the
        // default.
        std::vector<std::string> names;
        if (section)
            for (const ProfileKey& key : section->keys)
                if (key.value && !key.name.empty()) names.push_back(key.name);
        if (names.empty()) return giveDefault(load == Load::Missing ? error : ERROR_FILE_NOT_FOUND);
        return copyList(names, lpReturnedString, nSize);
    }
    const std::string keyName = trim(winsim::acpToUtf8(lpKeyName));
    if (section && !keyName.empty()) {
        for (const ProfileKey& key : section->keys) {
            if (!key.value || !sameName(key.name, keyName)) continue;
            return copyString(winsim::utf8ToAcp(unquote(*key.value)), lpReturnedString, nSize);
        }
    }
    // Windows 7 and later report a missing section or key as a missing file.
    return giveDefault(ERROR_FILE_NOT_FOUND);
}

BOOL WINAPI WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString, LPCSTR lpFileName) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("WritePrivateProfileStringA")) {
        m.lastError = e;
        return FALSE;
    }
    if (!lpAppName || !lpFileName) {
        winsim::notImplemented("WritePrivateProfileStringA without a section or a file name (flush, win.ini)");
        return FALSE;
    }
    const std::string name = winsim::acpToUtf8(lpFileName);
    if (name.empty()) {
        m.lastError = ERROR_ACCESS_DENIED;
        return FALSE;
    }
    const std::string path = profilePath(m, name);
    std::string bytes;
    DWORD error = m.files.tryReadFile(path, &bytes);
    if (error && error != ERROR_FILE_NOT_FOUND) {
        m.lastError = error;
        return FALSE;
    }
    auto wide = winsim::toUtf16(bytes, m.system.acp);
    if (!wide) {
        winsim::notImplemented("a profile file with bytes that the code page does not map: " + path);
        return FALSE;
    }
    std::vector<std::string> lines = splitLines(winsim::fromUtf16(*wide, CP_UTF8));

    const std::string section = trim(winsim::acpToUtf8(lpAppName));
    // Where the section starts (its header line) and ends (after its last
    // line that is not blank).
    size_t header = lines.size();
    for (size_t i = 0; i < lines.size() && header == lines.size(); ++i) {
        auto h = sectionHeader(trim(lines[i]));
        if (h && sameName(*h, section)) header = i;
    }
    size_t end = header;
    size_t keyLine = lines.size();
    const std::string keyName = lpKeyName ? trim(winsim::acpToUtf8(lpKeyName)) : std::string();
    if (header < lines.size()) {
        for (size_t i = header + 1; i < lines.size(); ++i) {
            const std::string line = trim(lines[i]);
            if (sectionHeader(line)) break;
            if (line.empty()) continue;
            end = i;
            const size_t eq = line.find('=');
            if (lpKeyName && line[0] != ';' && keyLine == lines.size() &&
                sameName(trim(eq == std::string::npos ? line : line.substr(0, eq)), keyName))
                keyLine = i;
        }
    }

    if (!lpKeyName) {
        // A NULL key removes the whole section.
        if (header < lines.size()) lines.erase(lines.begin() + header, lines.begin() + end + 1);
    } else if (!lpString) {
        // A NULL string removes the key.
        if (keyLine < lines.size()) lines.erase(lines.begin() + keyLine);
    } else {
        std::string value = winsim::acpToUtf8(lpString);
        value.erase(0, value.find_first_not_of(" \t"));
        const std::string entry = keyName + "=" + value;
        if (keyLine < lines.size())
            lines[keyLine] = entry;
        else if (header < lines.size())
            lines.insert(lines.begin() + end + 1, entry);
        else {
            lines.push_back("[" + section + "]");
            lines.push_back(entry);
        }
    }

    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    if (DWORD e = m.files.tryWriteFile(path, winsim::utf8ToAcp(text))) {
        m.lastError = e;
        return FALSE;
    }
    return TRUE;
}
