// The Windows folder, the system folder and the program's own path, with
// the buffer-size rules each call has.
#include <cstring>
#include <string>

#include "conformance.h"

TEST(WindowsDirectory, TooSmallBufferGivesTheSizeNeeded) {
    char full[MAX_PATH];
    const UINT length = GetWindowsDirectoryA(full, sizeof full);
    ASSERT_GT(length, 3u);
    ASSERT_EQ(length, std::strlen(full));
    EXPECT_EQ(full[1], ':');
    EXPECT_EQ(GetFileAttributesA(full) & FILE_ATTRIBUTE_DIRECTORY, (DWORD)FILE_ATTRIBUTE_DIRECTORY);
    char small[MAX_PATH];
    EXPECT_EQ(GetWindowsDirectoryA(small, length), length + 1);
    EXPECT_EQ(GetWindowsDirectoryA(nullptr, 0), length + 1);
    EXPECT_EQ(GetWindowsDirectoryA(small, length + 1), length);
    EXPECT_STREQ(small, full);
}

TEST(SystemDirectory, IsSystem32InTheWindowsFolder) {
    char windows[MAX_PATH];
    char system[MAX_PATH];
    const UINT windowsLength = GetWindowsDirectoryA(windows, sizeof windows);
    const UINT systemLength = GetSystemDirectoryA(system, sizeof system);
    ASSERT_EQ(systemLength, windowsLength + 9);
    EXPECT_EQ(lstrcmpiA(system, (std::string(windows) + "\\system32").c_str()), 0);
    EXPECT_EQ(GetSystemDirectoryA(system, systemLength), systemLength + 1);
    EXPECT_EQ(GetFileAttributesA(system) & FILE_ATTRIBUTE_DIRECTORY, (DWORD)FILE_ATTRIBUTE_DIRECTORY);
}

TEST(ModuleFileName, ProgramPathIsAbsoluteAndItsFolderExists) {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    ASSERT_GT(length, 3u);
    EXPECT_EQ(length, std::strlen(path));
    EXPECT_EQ(path[1], ':');
    EXPECT_EQ(path[2], '\\');
    std::string folder(path);
    folder.resize(folder.find_last_of('\\'));
    EXPECT_EQ(GetFileAttributesA(folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY, (DWORD)FILE_ATTRIBUTE_DIRECTORY);
}

TEST(ModuleFileName, TooSmallBufferIsTruncatedAndTerminated) {
    char full[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, full, sizeof full);
    ASSERT_GT(length, 5u);
    char small[MAX_PATH];
    std::memset(small, 'x', sizeof small);
    // Since Vista the name is cut to nSize - 1 characters and terminated;
    // Wine keeps the older behaviour of nSize characters without one.
    SetLastError(kSentinelError);
    EXPECT_EQ(GetModuleFileNameA(nullptr, small, 5), 5u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
    EXPECT_WINDOWS_OR_WINE(std::string(small) == std::string(full, 4), std::string(small, 5) == std::string(full, 5));
    EXPECT_EQ(small[5], 'x');
    // Exactly the length: no room for the terminator.
    SetLastError(kSentinelError);
    EXPECT_EQ(GetModuleFileNameA(nullptr, small, length), length);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
    EXPECT_WINDOWS_OR_WINE(std::string(small) == std::string(full, length - 1),
                           std::string(small, length) == std::string(full, length));
}
