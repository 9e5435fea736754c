// The loader and version records as the program uses them: LoadLibraryA,
// GetProcAddress, FreeLibrary, GetFileVersionInfo of COMCTL32.DLL, and the
// common controls' initialisation.
#include "conformance.h"

#include <commctrl.h>

#include <cstring>
#include <vector>

namespace {

TEST(Module, LoadLibraryOfAMissingDllFailsWithModNotFound) {
    SetLastError(kSentinelError);
    EXPECT_EQ(LoadLibraryA("ConformanceTestsNoSuchModule.dll"), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_MOD_NOT_FOUND);

    // A trailing dot says the name has no extension: "comctl32." is not
    // COMCTL32.DLL.
    SetLastError(kSentinelError);
    EXPECT_EQ(LoadLibraryA("comctl32."), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_MOD_NOT_FOUND);

    SetLastError(kSentinelError);
    EXPECT_EQ(GetModuleHandleA("ConformanceTestsNoSuchModule.dll"), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_MOD_NOT_FOUND);
}

TEST(Module, GetProcAddressFindsExportsByExactName) {
    HMODULE comctl32 = LoadLibraryA("COMCTL32.DLL");
    ASSERT_NE(comctl32, nullptr);
    // Without an extension the loader appends ".DLL".
    HMODULE again = LoadLibraryA("comctl32");
    EXPECT_EQ(again, comctl32);

    EXPECT_NE(GetProcAddress(comctl32, "InitCommonControlsEx"), nullptr);
    SetLastError(kSentinelError);
    EXPECT_EQ(GetProcAddress(comctl32, "ConformanceTestsNoSuchExport"), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PROC_NOT_FOUND);
    SetLastError(kSentinelError);
    EXPECT_EQ(GetProcAddress(comctl32, "initcommoncontrolsex"), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PROC_NOT_FOUND);

    EXPECT_TRUE(FreeLibrary(again));
    EXPECT_TRUE(FreeLibrary(comctl32));
}

TEST(Module, FreeLibraryOfNullFailsWithInvalidHandle) {
    SetLastError(kSentinelError);
    EXPECT_FALSE(FreeLibrary(nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    EXPECT_NE(GetModuleHandleA(nullptr), nullptr);
    EXPECT_NE(GetModuleHandleA("KERNEL32.DLL"), nullptr);
}

TEST(Module, Comctl32HasAVersionRecordWithTheFixedInfoSignature) {
    DWORD handle = 0x55555555;
    SetLastError(kSentinelError);
    const DWORD size = GetFileVersionInfoSizeA("COMCTL32.DLL", &handle);
    ASSERT_NE(size, 0u);
    EXPECT_EQ(handle, 0u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);

    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoA("COMCTL32.DLL", 0, size, block.data()));
    // The buffer is twice the resource plus four bytes; "FE2X" follows the
    // resource.
    WORD length = 0;
    std::memcpy(&length, block.data(), sizeof length);
    EXPECT_EQ(size, length * 2u + 4);
    EXPECT_EQ(std::memcmp(block.data() + length, "FE2X", 4), 0);

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedLength = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<LPVOID*>(&fixed), &fixedLength));
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(fixedLength, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    // Every COMCTL32 that Windows 7 and later (or Wine) ship is 5.8x or 6.x.
    EXPECT_GE(HIWORD(fixed->dwFileVersionMS), 5);
}

TEST(Module, VersionRecordOfAPlainFileOrAMissingOne) {
    const std::string folder = conformance::TestFolder();
    const std::string text = folder + "\\notes.txt";
    HANDLE file = CreateFileA(text.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(file, "plain text\r\n", 12, &written, nullptr));
    EXPECT_TRUE(CloseHandle(file));

    DWORD handle = 0;
    SetLastError(kSentinelError);
    EXPECT_EQ(GetFileVersionInfoSizeA(text.c_str(), &handle), 0u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_RESOURCE_DATA_NOT_FOUND);

    SetLastError(kSentinelError);
    EXPECT_EQ(GetFileVersionInfoSizeA((folder + "\\missing.dll").c_str(), &handle), 0u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);

    SetLastError(kSentinelError);
    EXPECT_EQ(GetFileVersionInfoSizeA((folder + "\\no folder\\missing.dll").c_str(), &handle), 0u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
}

TEST(Module, InitCommonControlsExTakesOnlyItsOwnStructureSize) {
    INITCOMMONCONTROLSEX controls;
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_INTERNET_CLASSES;
    EXPECT_TRUE(InitCommonControlsEx(&controls));

    controls.dwSize = 0;
    EXPECT_FALSE(InitCommonControlsEx(&controls));
}

}  // namespace
