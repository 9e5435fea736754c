// Version functions of KERNEL32 over the simulated PC's version data.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "codepage.h"
#include "winsim/machine.h"

using winsim::Machine;

namespace {

// ERROR_NOACCESS: an output pointer Windows cannot write to.
constexpr DWORD kErrorNoAccess = 998;

const HANDLE kCurrentProcess = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));

BOOL fail(Machine& m, DWORD error) {
    m.lastError = error;
    return FALSE;
}

struct ReportedVersion {
    DWORD major;
    DWORD minor;
    DWORD build;
    std::string csd;
    WORD servicePackMajor;
    WORD servicePackMinor;
};

// What GetVersionExA tells the program. From Windows 8.1 on, a program
// whose manifest does not list the running release is told 6.2.9200, the
// version of Windows 8.
ReportedVersion reportedVersion(const winsim::SystemInfo& s) {
    const bool newerThan8 = s.major > 6 || (s.major == 6 && s.minor > 2);
    if (s.platformId == VER_PLATFORM_WIN32_NT && newerThan8 && !s.manifestDeclaresOs) return {6, 2, 9200, "", 0, 0};
    return {s.major, s.minor, s.build, s.csdVersion, s.servicePackMajor, s.servicePackMinor};
}

}  // namespace

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA lpVersionInformation) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("GetVersionExA")) return fail(m, e);
    if (!lpVersionInformation) return fail(m, kErrorNoAccess);
    const winsim::SystemInfo& s = m.system;
    const DWORD size = lpVersionInformation->dwOSVersionInfoSize;
    const bool extended = size == sizeof(OSVERSIONINFOEXA);
    if (size != sizeof(OSVERSIONINFOA) && !(extended && s.extendedVersionInfo)) {
        // NT refuses a size it does not know with ERROR_INSUFFICIENT_BUFFER;
        // Windows 95/98/Me fail without touching the last error.
        if (s.platformId == VER_PLATFORM_WIN32_WINDOWS) return FALSE;
        return fail(m, ERROR_INSUFFICIENT_BUFFER);
    }

    const ReportedVersion v = reportedVersion(s);
    OSVERSIONINFOA* info = lpVersionInformation;
    info->dwMajorVersion = v.major;
    info->dwMinorVersion = v.minor;
    // Windows 95/98/Me keep the version in the high word of the build
    // number and the build itself in the low word.
    info->dwBuildNumber = s.platformId == VER_PLATFORM_WIN32_WINDOWS
                              ? static_cast<DWORD>(MAKELONG(v.build, MAKEWORD(v.minor, v.major)))
                              : v.build;
    info->dwPlatformId = s.platformId;
    std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
    const std::string csd = winsim::utf8ToAcp(v.csd);
    std::memcpy(info->szCSDVersion, csd.data(), std::min(csd.size(), sizeof info->szCSDVersion - 1));
    if (extended) {
        auto* ex = reinterpret_cast<OSVERSIONINFOEXA*>(lpVersionInformation);
        ex->wServicePackMajor = v.servicePackMajor;
        ex->wServicePackMinor = v.servicePackMinor;
        ex->wSuiteMask = s.suiteMask;
        ex->wProductType = s.productType;
        ex->wReserved = 0;
    }
    return TRUE;
}

BOOL WINAPI IsWow64Process(HANDLE hProcess, PBOOL Wow64Process) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("IsWow64Process")) return fail(m, e);
    if (hProcess != kCurrentProcess) {
        if (m.handles.isOpen(hProcess) && m.handles.kindOf(hProcess) == winsim::HandleKind::Process) {
            winsim::notImplemented("IsWow64Process of another process");
            return FALSE;
        }
        return fail(m, ERROR_INVALID_HANDLE);
    }
    if (!Wow64Process) return fail(m, kErrorNoAccess);
    *Wow64Process = m.system.wow64() ? TRUE : FALSE;
    return TRUE;
}
