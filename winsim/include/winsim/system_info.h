// Version data, code page and the Windows folder of the simulated PC.
#pragma once

#include <string>

#include "win_types.h"

namespace winsim {

struct SystemInfo {
    DWORD platformId = 2;  // VER_PLATFORM_WIN32_NT
    DWORD major = 6;
    DWORD minor = 1;
    DWORD build = 7601;
    BYTE productType = 1;  // VER_NT_WORKSTATION
    std::string csdVersion = "Service Pack 1";
    WORD servicePackMajor = 1;
    WORD servicePackMinor = 0;
    WORD suiteMask = 0x0100;  // VER_SUITE_SINGLEUSERTS
    // False on systems older than NT 4.0 SP6 and on Windows 95/98/Me,
    // where GetVersionExA refuses the OSVERSIONINFOEXA size.
    bool extendedVersionInfo = true;
    // Whether the program's manifest lists the running Windows among its
    // supported systems. Windows 8.1 and later report 6.2 (build 9200) to
    // a program whose manifest does not; the product's manifest lists
    // Vista to 10, so the default is true.
    bool manifestDeclaresOs = true;
    // A 64-bit (x64) edition of Windows: it keeps a 32-bit registry view
    // (HKLM\SOFTWARE\Wow6432Node) and a 32-bit system folder (SysWOW64)
    // beside the native ones. The default machine is the x64 edition, which
    // is where the product's x86_64 build, the one the native build
    // models, runs.
    bool windows64 = true;
    // The current process is a 32-bit program (the product's i686 build).
    // On 64-bit Windows it runs in WOW64: it sees the 32-bit registry view
    // and SysWOW64 in place of System32, IsWow64Process reports TRUE.
    bool process32 = false;
    bool wow64() const { return windows64 && process32; }

    UINT acp = 1252;  // ANSI code page: 1252 or 932
    LCID userDefaultLcid = 0x0409;  // language of system message texts
    std::string windowsDir = "C:\\WINDOWS";
    // The local time GetLocalTime reports. The clock stands still: a test
    // sets it, and every reading in a run gives the same time.
    struct LocalTime {
        WORD year = 2026, month = 12, dayOfWeek = 3, day = 9;
        WORD hour = 10, minute = 30, second = 5, milliseconds = 0;
    } localTime;

    // Presets for the releases the product tells apart. Each sets the
    // version fields above and windows64: false for the releases that had
    // no x64 edition (95 to XP, which reports 5.1; XP x64 reports 5.2),
    // true for the others. Code page, language and process32 stay.
    void setWindows95();     // 4.0.950, platform 1
    void setWindows98();     // 4.10.1998, platform 1
    void setWindowsMe();     // 4.90.3000, platform 1
    void setNt4();           // 4.0.1381 before SP6
    void setWindows2000();   // 5.0.2195 SP4
    void setXp();            // 5.1.2600 SP3
    void setServer2003();    // 5.2.3790 SP2, server
    void setVista();         // 6.0.6002 SP2
    void setWindows7();      // 6.1.7601 SP1
    void setServer2008();    // 6.0.6002 SP2, server
    void setServer2008R2();  // 6.1.7601 SP1, server
    void setWindows10();     // 10.0.19045, as a program that declares Windows 10 sees it
    // Japanese Windows: code page 932 and Japanese system messages.
    void setJapanese();
};

}  // namespace winsim
