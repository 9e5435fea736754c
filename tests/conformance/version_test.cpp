// How GetVersionExA behaves: both structure sizes give the same version,
// and a size it does not know is refused.
#include <cstring>

#include "conformance.h"

TEST(Version, BothStructureSizesAgree) {
    OSVERSIONINFOA plain;
    std::memset(&plain, 0, sizeof plain);
    plain.dwOSVersionInfoSize = sizeof plain;
    ASSERT_EQ(sizeof plain, 148u);
    SetLastError(kSentinelError);
    ASSERT_TRUE(GetVersionExA(&plain));
    EXPECT_EQ(GetLastError(), kSentinelError);

    OSVERSIONINFOEXA ex;
    std::memset(&ex, 0, sizeof ex);
    ex.dwOSVersionInfoSize = sizeof ex;
    ASSERT_EQ(sizeof ex, 156u);
    ASSERT_TRUE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&ex)));

    EXPECT_EQ(ex.dwMajorVersion, plain.dwMajorVersion);
    EXPECT_EQ(ex.dwMinorVersion, plain.dwMinorVersion);
    EXPECT_EQ(ex.dwBuildNumber, plain.dwBuildNumber);
    EXPECT_EQ(ex.dwPlatformId, plain.dwPlatformId);
    EXPECT_STREQ(ex.szCSDVersion, plain.szCSDVersion);
    EXPECT_EQ(plain.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
    EXPECT_GE(plain.dwMajorVersion, 5u);
    EXPECT_TRUE(ex.wProductType == VER_NT_WORKSTATION || ex.wProductType == VER_NT_DOMAIN_CONTROLLER ||
                ex.wProductType == VER_NT_SERVER);
}

TEST(Version, UnknownStructureSizeIsRefused) {
    for (DWORD size : {0u, 147u, 152u, 157u}) {
        OSVERSIONINFOEXA info;
        std::memset(&info, 0, sizeof info);
        info.dwOSVersionInfoSize = size;
        SetLastError(kSentinelError);
        EXPECT_FALSE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info))) << size;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER)) << size;
    }
}

TEST(Version, OnlyA32BitProcessRunsInWow64) {
    BOOL wow64 = 2;
    SetLastError(kSentinelError);
    ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
    EXPECT_EQ(GetLastError(), kSentinelError);
    // A 64-bit program never runs in WOW64; a 32-bit one does on the 64-bit
    // Windows these tests run on.
    EXPECT_EQ(wow64, conformance::Is32BitProcess() ? TRUE : FALSE);
}
