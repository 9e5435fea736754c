// Version data of the simulated PC: the release presets as GetVersionExA
// reports them, and IsWow64Process.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

#include "winsim/machine.h"

namespace {

constexpr DWORD kSentinel = 0xdeadbeef;

struct Preset {
    const char* name;
    void (winsim::SystemInfo::*apply)();
    DWORD platform;
    DWORD major;
    DWORD minor;
    DWORD build;  // as dwBuildNumber reports it
    BYTE productType;
    bool extended;
};

const Preset kPresets[] = {
    {"Windows 95", &winsim::SystemInfo::setWindows95, 1, 4, 0, 0x040003B6, 0, false},
    {"Windows 98", &winsim::SystemInfo::setWindows98, 1, 4, 10, 0x040A07CE, 0, false},
    {"Windows Me", &winsim::SystemInfo::setWindowsMe, 1, 4, 90, 0x045A0BB8, 0, false},
    {"NT 4.0", &winsim::SystemInfo::setNt4, 2, 4, 0, 1381, 1, false},
    {"Windows 2000", &winsim::SystemInfo::setWindows2000, 2, 5, 0, 2195, 1, true},
    {"Windows XP", &winsim::SystemInfo::setXp, 2, 5, 1, 2600, 1, true},
    {"Server 2003", &winsim::SystemInfo::setServer2003, 2, 5, 2, 3790, 3, true},
    {"Vista", &winsim::SystemInfo::setVista, 2, 6, 0, 6002, 1, true},
    {"Windows 7", &winsim::SystemInfo::setWindows7, 2, 6, 1, 7601, 1, true},
    {"Server 2008", &winsim::SystemInfo::setServer2008, 2, 6, 0, 6002, 3, true},
    {"Server 2008 R2", &winsim::SystemInfo::setServer2008R2, 2, 6, 1, 7601, 3, true},
    {"Windows 10", &winsim::SystemInfo::setWindows10, 2, 10, 0, 19045, 1, true},
};

}  // namespace

TEST(WinsimVersion, PresetsReportTheirReleaseThroughBothStructures) {
    for (const Preset& p : kPresets) {
        SCOPED_TRACE(p.name);
        winsim::Machine m;
        (m.system.*p.apply)();

        OSVERSIONINFOA plain;
        std::memset(&plain, 0xCC, sizeof plain);
        plain.dwOSVersionInfoSize = sizeof plain;
        SetLastError(kSentinel);
        ASSERT_TRUE(GetVersionExA(&plain));
        EXPECT_EQ(GetLastError(), kSentinel);
        EXPECT_EQ(plain.dwPlatformId, p.platform);
        EXPECT_EQ(plain.dwMajorVersion, p.major);
        EXPECT_EQ(plain.dwMinorVersion, p.minor);
        EXPECT_EQ(plain.dwBuildNumber, p.build);
        EXPECT_LT(std::strlen(plain.szCSDVersion), sizeof plain.szCSDVersion);

        OSVERSIONINFOEXA ex = {};
        ex.dwOSVersionInfoSize = sizeof ex;
        const BOOL accepted = GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&ex));
        EXPECT_EQ(accepted != FALSE, p.extended);
        if (accepted) {
            EXPECT_EQ(ex.dwMajorVersion, p.major);
            EXPECT_EQ(ex.wProductType, p.productType);
            EXPECT_STREQ(ex.szCSDVersion, plain.szCSDVersion);
        } else if (p.platform == VER_PLATFORM_WIN32_NT) {
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
        } else {
            // Windows 95/98/Me refuse it without setting the last error.
            EXPECT_EQ(GetLastError(), kSentinel);
        }
    }
}

TEST(WinsimVersion, ServicePackAndOtherSizes) {
    winsim::Machine m;  // Windows 7 SP1
    OSVERSIONINFOEXA ex = {};
    ex.dwOSVersionInfoSize = sizeof ex;
    ASSERT_TRUE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&ex)));
    EXPECT_STREQ(ex.szCSDVersion, "Service Pack 1");
    EXPECT_EQ(ex.wServicePackMajor, 1);
    EXPECT_EQ(ex.wServicePackMinor, 0);

    for (DWORD size : {0u, 147u, 149u, 155u, 157u, 276u}) {
        OSVERSIONINFOEXA info = {};
        info.dwOSVersionInfoSize = size;
        SetLastError(kSentinel);
        EXPECT_FALSE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info))) << size;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER)) << size;
        EXPECT_EQ(info.dwMajorVersion, 0u);
    }

    m.faults.fail("GetVersionExA", ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&ex)));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

// Windows 8.1 and later tell a program whose manifest does not list them
// that they are Windows 8.
TEST(WinsimVersion, UndeclaredWindows10ReportsWindows8) {
    winsim::Machine m;
    m.system.setWindows10();
    m.system.manifestDeclaresOs = false;
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_EQ(info.dwMajorVersion, 6u);
    EXPECT_EQ(info.dwMinorVersion, 2u);
    EXPECT_EQ(info.dwBuildNumber, 9200u);
    // Older releases do not lie.
    m.system.setWindows7();
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_EQ(info.dwMinorVersion, 1u);
}

TEST(WinsimVersion, JapanesePresetKeepsTheVersion) {
    winsim::Machine m;
    m.system.setXp();
    m.system.setJapanese();
    EXPECT_EQ(m.system.acp, 932u);
    EXPECT_EQ(m.system.userDefaultLcid, 0x0411u);
    EXPECT_EQ(m.system.major, 5u);
    m.system.setVista();
    EXPECT_EQ(m.system.acp, 932u);
}

TEST(WinsimVersion, IsWow64ProcessReportsTheCurrentProcess) {
    winsim::Machine m;
    BOOL wow64 = TRUE;
    ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
    EXPECT_FALSE(wow64);
    m.system.process32 = true;
    ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
    EXPECT_TRUE(wow64);

    EXPECT_FALSE(IsWow64Process(reinterpret_cast<HANDLE>(0x1234), &wow64));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    m.faults.fail("IsWow64Process", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(IsWow64Process(GetCurrentProcess(), &wow64));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}
