// Windows path rules of the simulated file system: parsing a path the way
// RtlGetFullPathName_U does, then finding each component on the host
// without regard to case.
#include <cctype>
#include <filesystem>
#include <sys/stat.h>

#include "codepage.h"
#include "files_internal.h"
#include "winsim/file_system.h"
#include "winsim/machine.h"

namespace winsim {
namespace {

bool startsWithDriveLetter(const std::string& s) {
    return s.size() >= 2 && std::isalpha(static_cast<unsigned char>(s[0])) && s[1] == ':';
}

std::vector<std::string> splitComponents(const std::string& rest) {
    std::vector<std::string> tokens;
    std::string token;
    for (char c : rest) {
        if (c == '\\') {
            if (!token.empty()) tokens.push_back(token);
            token.clear();
        } else {
            token += c;
        }
    }
    if (!token.empty()) tokens.push_back(token);
    return tokens;
}

// Characters that NTFS refuses in a name: control characters and
// < > : " / \ | ? *. The wildcards (with the DOS wildcards < > ") are
// accepted in a search pattern.
DWORD checkName(const std::string& name, bool wildcardsAllowed) {
    for (unsigned char c : name) {
        if (c < 0x20 || c == '|') return ERROR_INVALID_NAME;
        if (c == ':') return ERROR_CALL_NOT_IMPLEMENTED;  // a named stream of the file
        if (c == '*' || c == '?' || c == '<' || c == '>' || c == '"') {
            if (!wildcardsAllowed) return ERROR_INVALID_NAME;
        }
    }
    // A name has at most 255 UTF-16 code units.
    if (utf8ToUtf16(name).size() > 255) return ERROR_INVALID_NAME;
    return 0;
}

bool wildcardName(const std::string& name) { return name.find_first_of("*?<>\"") != std::string::npos; }

}  // namespace

ParsedPath parseWindowsPath(const std::string& path, const std::string& currentDirectory, bool allowWildcards) {
    ParsedPath out;
    if (path.find_first_not_of(' ') == std::string::npos) {
        out.error = ERROR_PATH_NOT_FOUND;
        return out;
    }
    std::string s = path;
    for (char& c : s)
        if (c == '/') c = '\\';
    if (s.size() >= 2 && s[0] == '\\' && s[1] == '\\') {
        // UNC names and the \\?\ and \\.\ namespaces.
        out.error = ERROR_CALL_NOT_IMPLEMENTED;
        return out;
    }

    ParsedPath cwd;
    if (&path != &currentDirectory) {
        cwd = parseWindowsPath(currentDirectory, currentDirectory, false);
    }

    std::string rest;
    if (startsWithDriveLetter(s)) {
        out.drive = static_cast<char>(std::toupper(static_cast<unsigned char>(s[0])));
        rest = s.substr(2);
        // "X:name" is relative to the current directory when X is its drive;
        // winsim keeps no current directory for other drives, so those
        // start at the root, as Windows does when it has none either.
        if ((rest.empty() || rest[0] != '\\') && out.drive == cwd.drive) out.components = cwd.components;
    } else if (s[0] == '\\') {
        out.drive = cwd.drive;
        rest = s;
    } else {
        out.drive = cwd.drive;
        out.components = cwd.components;
        rest = s;
    }
    out.trailingSeparator = !rest.empty() && rest.back() == '\\';

    const std::vector<std::string> tokens = splitComponents(rest);
    for (size_t i = 0; i < tokens.size(); ++i) {
        std::string token = tokens[i];
        const bool last = i + 1 == tokens.size() && !out.trailingSeparator;
        if (token == ".") continue;
        if (token == "..") {
            if (!out.components.empty()) out.components.pop_back();
            continue;
        }
        if (last) {
            // Windows drops every trailing dot and space of the last name...
            while (!token.empty() && (token.back() == '.' || token.back() == ' ')) token.pop_back();
            if (token.empty()) continue;
        } else if (token.back() == '.') {
            // ...and one trailing dot of a folder name.
            token.pop_back();
        }
        out.components.push_back(token);
    }

    for (size_t i = 0; i < out.components.size(); ++i) {
        const bool last = i + 1 == out.components.size();
        if (DWORD e = checkName(out.components[i], allowWildcards && last && !out.trailingSeparator)) {
            out.error = e;
            return out;
        }
    }
    // A device name is no file: the Win32 layer answers for the null device
    // itself, and everything else about devices is not modelled.
    if (!out.components.empty() && !out.trailingSeparator && !wildcardName(out.components.back()) &&
        !dosDeviceName(out.components.back()).empty())
        out.error = ERROR_CALL_NOT_IMPLEMENTED;
    return out;
}

std::vector<std::string> hostEntries(const std::string& hostDir) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(hostDir, ec)) names.push_back(entry.path().filename().string());
    return names;
}

FileSystem::Resolved FileSystem::resolve(const std::string& path, bool allowWildcards) const {
    Resolved r;
    ParsedPath parsed = parseWindowsPath(path, currentDirectory, allowWildcards);
    r.trailingSeparator = parsed.trailingSeparator;
    if (parsed.error) {
        r.syntaxError = parsed.error;
        return r;
    }
    r.driveKnown = drives_.count(parsed.drive) != 0;
    r.host = root_ + "/" + parsed.drive;
    r.canonical = std::string(1, parsed.drive) + ":\\";
    r.isRoot = parsed.components.empty();
    if (!r.driveKnown) return r;

    bool found = true;       // every component so far exists
    bool folder = true;      // and the last one found is a folder
    for (size_t i = 0; i < parsed.components.size(); ++i) {
        const std::string& name = parsed.components[i];
        const bool last = i + 1 == parsed.components.size();
        if (last) r.parentExists = found && folder;
        std::string actual = name;
        struct stat st;
        if (found && folder) {
            // The name as given is the usual case; otherwise the folder is
            // searched for a name that differs only in case. winsim never
            // creates two names that differ only in case, so the first match
            // is the only one.
            found = !wildcardName(name) && ::lstat((r.host + "/" + name).c_str(), &st) == 0;
            if (!found) {
                const std::u16string wanted = upperKey(name);
                const std::vector<std::string> entries = hostEntries(r.host);
                for (const std::string& entry : entries) {
                    if (upperKey(entry) == wanted) {
                        actual = entry;
                        found = true;
                        break;
                    }
                }
                if (!found && name.find('~') != std::string::npos) found = findByShortName(r.canonical, entries, name, &actual);
            }
        } else {
            found = false;
        }
        r.host += "/" + actual;
        if (i > 0) r.canonical += "\\";
        r.canonical += actual;
        r.lastName = actual;
        if (found) folder = ::stat(r.host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    if (r.isRoot) {
        r.parentExists = true;
        r.exists = true;
        r.isDirectory = true;
    } else {
        r.exists = found;
        r.isDirectory = found && folder;
    }
    r.key = upperName(r.canonical);
    return r;
}

bool ansiPathArgument(LPCSTR path, std::string* utf8, DWORD* error) {
    if (!path) {
        *error = ERROR_PATH_NOT_FOUND;
        return false;
    }
    auto wide = toUtf16(path, current().system.acp);
    if (!wide) {
        notImplemented(std::string("a path with bytes that code page ") + std::to_string(current().system.acp) +
                       " does not map");
        *error = ERROR_CALL_NOT_IMPLEMENTED;
        return false;
    }
    if (wide->size() > MAX_PATH) {
        *error = ERROR_FILENAME_EXCED_RANGE;
        return false;
    }
    // Every file function of the process reaches its path through the
    // file system redirector (search patterns included).
    *utf8 = redirectForCurrentProcess(fromUtf16(*wide, CP_UTF8), true);
    return true;
}

size_t ansiFit(const std::string& ansi, size_t maxBytes) {
    const UINT acp = current().system.acp;
    size_t n = 0;
    while (n < ansi.size()) {
        const size_t step = isLeadByte(acp, static_cast<unsigned char>(ansi[n])) ? 2 : 1;
        if (n + step > maxBytes) break;
        n += step;
    }
    return n;
}

}  // namespace winsim
