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
    // False on systems older than NT 4.0 SP6 and on Windows 95/98/Me,
    // where GetVersionExA refuses the OSVERSIONINFOEXA size.
    bool extendedVersionInfo = true;

    UINT acp = 1252;  // ANSI code page: 1252 or 932
    LCID userDefaultLcid = 0x0409;  // language of system message texts
    std::string windowsDir = "C:\\WINDOWS";

    // Presets for the releases the product tells apart.
    void setWindows95();
    void setWindows98();
    void setWindowsMe();
    void setNt4();
    void setWindows2000();
    void setXp();
    void setServer2003();
    void setVista();
    void setWindows7();
    void setServer2008();
    void setServer2008R2();
    void setWindows10();
    // Japanese Windows: code page 932 and Japanese system messages.
    void setJapanese();
};

}  // namespace winsim
