// The file system redirector of 64-bit Windows ("File System Redirector"):
// a 32-bit process that names %windir%\System32 reaches %windir%\SysWOW64,
// %windir%\lastgood\system32 reaches lastgood\SysWOW64 and
// %windir%\regedit.exe reaches SysWOW64\regedit.exe. Some subfolders of
// System32 are exempt and stay one folder for both kinds of process.
// %windir%\Sysnative (Windows Vista and later) is the alias through which a
// 32-bit process reaches the real System32; it does not exist for a 64-bit
// process, nor on disk.
#include "files_internal.h"
#include "winsim/machine.h"

namespace winsim {
namespace {

bool named(const std::vector<std::string>& c, size_t i, const char* upper) {
    return i < c.size() && upperName(c[i]) == upper;
}

bool atLeast(const SystemInfo& s, DWORD major, DWORD minor) {
    return s.major > major || (s.major == major && s.minor >= minor);
}

// The subfolders of System32 (components from `i` on) that Windows does
// not redirect. DriverStore is exempt from Windows 7 on only.
bool exempt(const SystemInfo& s, const std::vector<std::string>& c, size_t i) {
    if (named(c, i, "CATROOT") || named(c, i, "CATROOT2") || named(c, i, "LOGFILES") || named(c, i, "SPOOL"))
        return true;
    if (named(c, i, "DRIVERS") && named(c, i + 1, "ETC")) return true;
    return named(c, i, "DRIVERSTORE") && atLeast(s, 6, 1);
}

// Rewrites the components below the Windows folder (from `at` on); false
// when the path is not redirected.
bool redirect(const SystemInfo& s, std::vector<std::string>& c, size_t at) {
    if (named(c, at, "SYSTEM32")) {
        if (exempt(s, c, at + 1)) return false;
        c[at] = "SysWOW64";
        return true;
    }
    if (named(c, at, "SYSNATIVE")) {
        if (!atLeast(s, 6, 0)) return false;
        c[at] = "system32";
        return true;
    }
    if (named(c, at, "LASTGOOD") && named(c, at + 1, "SYSTEM32")) {
        c[at + 1] = "SysWOW64";
        return true;
    }
    if (named(c, at, "REGEDIT.EXE") && c.size() == at + 1) {
        c.insert(c.begin() + static_cast<std::ptrdiff_t>(at), "SysWOW64");
        return true;
    }
    return false;
}

}  // namespace

std::string redirectForCurrentProcess(const std::string& path, bool allowWildcards) {
    const Machine& m = current();
    if (!m.system.wow64()) return path;
    const ParsedPath parsed = parseWindowsPath(path, m.files.currentDirectory, allowWildcards);
    const ParsedPath windows = parseWindowsPath(m.system.windowsDir, m.system.windowsDir, false);
    // Paths Windows refuses keep their own error.
    if (parsed.error || windows.error || parsed.drive != windows.drive) return path;
    const size_t at = windows.components.size();
    if (parsed.components.size() <= at) return path;
    for (size_t i = 0; i < at; ++i)
        if (upperName(parsed.components[i]) != upperName(windows.components[i])) return path;
    std::vector<std::string> components = parsed.components;
    if (!redirect(m.system, components, at)) return path;
    std::string out(1, parsed.drive);
    out += ":";
    for (const std::string& component : components) out += "\\" + component;
    if (parsed.trailingSeparator) out += "\\";
    return out;
}

}  // namespace winsim
