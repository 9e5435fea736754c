// Version presets of the Windows releases the product tells apart.
#include "winsim/system_info.h"

#include <windows.h>

namespace winsim {
namespace {

constexpr WORD kSuiteTerminal = 0x0010;       // VER_SUITE_TERMINAL
constexpr WORD kSuiteSingleUserTs = 0x0100;  // VER_SUITE_SINGLEUSERTS

struct Release {
    DWORD platformId;
    DWORD major;
    DWORD minor;
    DWORD build;
    const char* csdVersion;
    WORD servicePackMajor;
    BYTE productType;
    WORD suiteMask;
    bool extendedVersionInfo;
    bool windows64;
};

void apply(SystemInfo& s, const Release& r) {
    s.platformId = r.platformId;
    s.major = r.major;
    s.minor = r.minor;
    s.build = r.build;
    s.csdVersion = r.csdVersion;
    s.servicePackMajor = r.servicePackMajor;
    s.servicePackMinor = 0;
    s.productType = r.productType;
    s.suiteMask = r.suiteMask;
    s.extendedVersionInfo = r.extendedVersionInfo;
    s.windows64 = r.windows64;
}

constexpr DWORD k9x = VER_PLATFORM_WIN32_WINDOWS;
constexpr DWORD kNt = VER_PLATFORM_WIN32_NT;
constexpr BYTE kWorkstation = VER_NT_WORKSTATION;
constexpr BYTE kServer = VER_NT_SERVER;
constexpr WORD kServerSuites = kSuiteTerminal | kSuiteSingleUserTs;

}  // namespace

// Windows 95/98/Me have no product type; the field is never reported
// because they refuse OSVERSIONINFOEXA.
void SystemInfo::setWindows95() { apply(*this, {k9x, 4, 0, 950, "", 0, 0, 0, false, false}); }
void SystemInfo::setWindows98() { apply(*this, {k9x, 4, 10, 1998, "", 0, 0, 0, false, false}); }
void SystemInfo::setWindowsMe() { apply(*this, {k9x, 4, 90, 3000, "", 0, 0, 0, false, false}); }
// OSVERSIONINFOEXA came with NT 4.0 SP6; this is an NT 4.0 before it.
void SystemInfo::setNt4() { apply(*this, {kNt, 4, 0, 1381, "", 0, kWorkstation, 0, false, false}); }
void SystemInfo::setWindows2000() { apply(*this, {kNt, 5, 0, 2195, "Service Pack 4", 4, kWorkstation, 0, true, false}); }
void SystemInfo::setXp() { apply(*this, {kNt, 5, 1, 2600, "Service Pack 3", 3, kWorkstation, kSuiteSingleUserTs, true, false}); }
void SystemInfo::setServer2003() { apply(*this, {kNt, 5, 2, 3790, "Service Pack 2", 2, kServer, kServerSuites, true, true}); }
void SystemInfo::setVista() { apply(*this, {kNt, 6, 0, 6002, "Service Pack 2", 2, kWorkstation, kSuiteSingleUserTs, true, true}); }
void SystemInfo::setWindows7() { apply(*this, {kNt, 6, 1, 7601, "Service Pack 1", 1, kWorkstation, kSuiteSingleUserTs, true, true}); }
void SystemInfo::setServer2008() { apply(*this, {kNt, 6, 0, 6002, "Service Pack 2", 2, kServer, kServerSuites, true, true}); }
void SystemInfo::setServer2008R2() { apply(*this, {kNt, 6, 1, 7601, "Service Pack 1", 1, kServer, kServerSuites, true, true}); }
void SystemInfo::setWindows10() { apply(*this, {kNt, 10, 0, 19045, "", 0, kWorkstation, kSuiteSingleUserTs, true, true}); }

void SystemInfo::setJapanese() {
    acp = 932;
    userDefaultLcid = 0x0411;
}

}  // namespace winsim
