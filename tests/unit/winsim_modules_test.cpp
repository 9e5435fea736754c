// The simulated process's modules: loading and freeing DLLs, their
// exports and version records, and the common controls' initialisation.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <string>
#include <vector>

#include "winsim/machine.h"

namespace {

constexpr DWORD kSentinel = 0xdeadbeef;

class WinsimModules : public ::testing::Test {
protected:
    // The fixed part of a file's version record, through the three calls
    // a program makes; nothing when one of them fails.
    bool FixedInfo(const char* file, VS_FIXEDFILEINFO* out, DWORD* size = nullptr) {
        DWORD handle = 5;
        const DWORD blockSize = GetFileVersionInfoSizeA(file, &handle);
        EXPECT_EQ(handle, 0u);
        if (size) *size = blockSize;
        if (!blockSize) return false;
        std::vector<BYTE> block(blockSize);
        if (!GetFileVersionInfoA(file, 0, blockSize, block.data())) return false;
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        if (!VerQueryValueA(block.data(), "\\", reinterpret_cast<LPVOID*>(&fixed), &length)) return false;
        EXPECT_EQ(length, sizeof(VS_FIXEDFILEINFO));
        *out = *fixed;
        return true;
    }

    winsim::Machine m;
};

TEST_F(WinsimModules, LoadLibraryCountsReferencesThatFreeLibraryGivesBack) {
    HMODULE a = LoadLibraryA("shell32.dll");
    HMODULE b = LoadLibraryA("SHELL32");
    HMODULE c = LoadLibraryA("C:\\Windows\\System32\\Shell32.DLL");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(b, a);
    EXPECT_EQ(c, a);
    EXPECT_EQ(m.modules.outstandingLoads(), 3);
    EXPECT_EQ(GetModuleHandleA("shell32.dll"), a);

    EXPECT_TRUE(FreeLibrary(a));
    EXPECT_TRUE(FreeLibrary(a));
    EXPECT_TRUE(FreeLibrary(a));
    EXPECT_EQ(m.modules.outstandingLoads(), 0);
    // Unloaded now: the handle names no module any more.
    SetLastError(kSentinel);
    EXPECT_FALSE(FreeLibrary(a));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_MOD_NOT_FOUND);
    EXPECT_EQ(GetModuleHandleA("shell32.dll"), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_MOD_NOT_FOUND);
}

TEST_F(WinsimModules, ImportedDllsAreThereBeforeAndAfterLoadLibrary) {
    HMODULE kernel32 = GetModuleHandleA("KERNEL32.DLL");
    ASSERT_NE(kernel32, nullptr);
    EXPECT_EQ(LoadLibraryA("kernel32.dll"), kernel32);
    EXPECT_TRUE(FreeLibrary(kernel32));
    EXPECT_TRUE(FreeLibrary(kernel32)) << "an imported DLL stays loaded";
    EXPECT_EQ(GetModuleHandleA("kernel32"), kernel32);
    EXPECT_EQ(m.modules.outstandingLoads(), 0);
    EXPECT_EQ(GetModuleHandleA(nullptr), m.modules.programInstance);
    EXPECT_EQ(GetModuleHandleA("210qx_usb.exe"), m.modules.programInstance);
}

TEST_F(WinsimModules, MissingModulesAndNamesWithATrailingDotAreNotFound) {
    SetLastError(kSentinel);
    EXPECT_EQ(LoadLibraryA("nosuch.dll"), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_MOD_NOT_FOUND);
    SetLastError(kSentinel);
    EXPECT_EQ(LoadLibraryA("comctl32."), nullptr) << "the dot says: no extension";
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_MOD_NOT_FOUND);
    SetLastError(kSentinel);
    EXPECT_EQ(LoadLibraryA(nullptr), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
    SetLastError(kSentinel);
    EXPECT_FALSE(FreeLibrary(nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    EXPECT_EQ(m.modules.outstandingLoads(), 0);
    EXPECT_TRUE(m.unimplemented.empty());
}

TEST_F(WinsimModules, WideNamesAndTrailingSpacesLoadTheSameModule) {
    const WCHAR name[] = {'s', 'e', 't', 'u', 'p', 'a', 'p', 'i', ' ', ' ', 0};
    HMODULE setupapi = LoadLibraryW(name);
    EXPECT_EQ(setupapi, GetModuleHandleA("setupapi.dll"));
    EXPECT_EQ(GetModuleHandleW(name), setupapi);
    FreeLibrary(setupapi);
}

TEST_F(WinsimModules, SearchFlagsNeedTheDllDirectoryUpdate) {
    HMODULE h = LoadLibraryExA("shell32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    EXPECT_NE(h, nullptr);
    FreeLibrary(h);
    m.modules.dllDirectoryUpdateInstalled = false;
    SetLastError(kSentinel);
    EXPECT_EQ(LoadLibraryExA("shell32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
    EXPECT_EQ(m.modules.outstandingLoads(), 0);
}

TEST_F(WinsimModules, GetProcAddressGivesFunctionsThatWork) {
    HMODULE comctl32 = LoadLibraryA("COMCTL32.DLL");
    typedef BOOL(WINAPI * InitEx)(const INITCOMMONCONTROLSEX*);
    auto initEx = reinterpret_cast<InitEx>(reinterpret_cast<void*>(GetProcAddress(comctl32, "InitCommonControlsEx")));
    ASSERT_NE(initEx, nullptr);
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_INTERNET_CLASSES};
    EXPECT_TRUE(initEx(&controls));
    ASSERT_EQ(m.modules.commonControls.initCommonControlsExCalls.size(), 1u);
    EXPECT_EQ(m.modules.commonControls.initCommonControlsExCalls[0].classes, (DWORD)ICC_INTERNET_CLASSES);

    SetLastError(kSentinel);
    EXPECT_EQ(GetProcAddress(comctl32, "initcommoncontrolsex"), nullptr) << "export names keep their case";
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PROC_NOT_FOUND);
    // An older COMCTL32 without the function.
    m.modules.findDll("COMCTL32.DLL")->exports.erase("InitCommonControlsEx");
    SetLastError(kSentinel);
    EXPECT_EQ(GetProcAddress(comctl32, "InitCommonControlsEx"), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PROC_NOT_FOUND);
    SetLastError(kSentinel);
    EXPECT_EQ(GetProcAddress(nullptr, "InitCommonControlsEx"), nullptr) << "the program exports nothing";
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PROC_NOT_FOUND);
    FreeLibrary(comctl32);

    SetLastError(kSentinel);
    EXPECT_EQ(GetProcAddress(reinterpret_cast<HMODULE>(0x12340000), "X"), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_MOD_NOT_FOUND);
}

TEST_F(WinsimModules, ManifestSendsComctl32ToTheSideBySideVersion6) {
    HMODULE v6 = LoadLibraryA("COMCTL32.DLL");
    EXPECT_EQ(v6, GetModuleHandleA("comctl32.dll"));
    VS_FIXEDFILEINFO fixed;
    ASSERT_TRUE(FixedInfo("COMCTL32.DLL", &fixed));
    EXPECT_EQ(fixed.dwFileVersionMS, (DWORD)MAKELONG(10, 6));
    // The system32 copy stays 5.82, by path.
    ASSERT_TRUE(FixedInfo("C:\\WINDOWS\\system32\\comctl32.dll", &fixed));
    EXPECT_EQ(fixed.dwFileVersionMS, (DWORD)MAKELONG(82, 5));
    FreeLibrary(v6);

    m.modules.comctl32V6Activated = false;
    HMODULE v5 = LoadLibraryA("COMCTL32.DLL");
    EXPECT_NE(v5, v6);
    ASSERT_TRUE(FixedInfo("COMCTL32.DLL", &fixed));
    EXPECT_EQ(fixed.dwFileVersionMS, (DWORD)MAKELONG(82, 5));
    FreeLibrary(v5);
    EXPECT_EQ(m.modules.outstandingLoads(), 0);
}

TEST_F(WinsimModules, VersionRecordIsLaidOutAsWindowsFillsIt) {
    VS_FIXEDFILEINFO fixed;
    DWORD size = 0;
    SetLastError(kSentinel);
    ASSERT_TRUE(FixedInfo("kernel32.dll", &fixed, &size));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);
    EXPECT_EQ(fixed.dwSignature, (DWORD)VS_FFI_SIGNATURE);
    EXPECT_EQ(fixed.dwFileVersionMS, (DWORD)MAKELONG(1, 6));
    EXPECT_EQ(fixed.dwFileVersionLS, (DWORD)MAKELONG(17514, 7601));
    EXPECT_EQ(fixed.dwFileType, (DWORD)VFT_DLL);

    // Twice the resource plus four bytes; the resource's own length first
    // and "FE2X" after it.
    std::vector<BYTE> block(size, 0xCC);
    ASSERT_TRUE(GetFileVersionInfoA("kernel32.dll", 0, size, block.data()));
    WORD length;
    std::memcpy(&length, block.data(), sizeof length);
    EXPECT_EQ(size, length * 2u + 4);
    EXPECT_EQ(std::memcmp(block.data() + length, "FE2X", 4), 0);

    // A short buffer gets the start of the record only.
    std::vector<BYTE> shortBlock(size, 0xCC);
    EXPECT_TRUE(GetFileVersionInfoA("kernel32.dll", 0, 8, shortBlock.data()));
    EXPECT_EQ(shortBlock[8], 0xCC);

    ASSERT_TRUE(FixedInfo("210QX_USB.exe", &fixed));
    EXPECT_EQ(fixed.dwFileVersionLS, (DWORD)MAKELONG(2, 0));
    EXPECT_EQ(fixed.dwFileType, (DWORD)VFT_APP);
}

TEST_F(WinsimModules, FilesWithoutAVersionRecordReportWhyNot) {
    VS_FIXEDFILEINFO fixed;
    m.files.writeFile("C:\\data\\notes.txt", "text");
    SetLastError(kSentinel);
    EXPECT_FALSE(FixedInfo("C:\\data\\notes.txt", &fixed));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_RESOURCE_DATA_NOT_FOUND);
    EXPECT_FALSE(FixedInfo("C:\\data\\missing.dll", &fixed));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(FixedInfo("C:\\nowhere\\missing.dll", &fixed));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(FixedInfo("missing.dll", &fixed));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
    m.modules.findDll("SETUPAPI.DLL")->hasVersion = false;
    EXPECT_FALSE(FixedInfo("setupapi.dll", &fixed));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_RESOURCE_TYPE_NOT_FOUND);
    char buffer[16];
    EXPECT_FALSE(GetFileVersionInfoA("setupapi.dll", 0, sizeof buffer, buffer));
    EXPECT_TRUE(m.unimplemented.empty());
}

TEST_F(WinsimModules, CommonControlsBefore470HaveNoInitCommonControlsEx) {
    m.modules.comctl32V6Activated = false;
    m.modules.findDll("COMCTL32.DLL")->versionMS = MAKELONG(0, 4);
    VS_FIXEDFILEINFO fixed;
    ASSERT_TRUE(FixedInfo("comctl32.dll", &fixed));
    EXPECT_LT(fixed.dwFileVersionMS, (DWORD)MAKELONG(70, 4));

    HMODULE comctl32 = LoadLibraryA("comctl32.dll");
    EXPECT_NE(GetProcAddress(comctl32, "InitCommonControls"), nullptr);
    SetLastError(kSentinel);
    EXPECT_EQ(GetProcAddress(comctl32, "InitCommonControlsEx"), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PROC_NOT_FOUND);
    FreeLibrary(comctl32);
}

TEST_F(WinsimModules, ExportsFollowTheReleaseOfWindowsThatBroughtThem) {
    HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    HMODULE shell32 = LoadLibraryA("shell32.dll");
    auto has = [](HMODULE module, const char* name) { return GetProcAddress(module, name) != nullptr; };
    EXPECT_TRUE(has(kernel32, "LCIDToLocaleName"));
    EXPECT_TRUE(has(shell32, "SHGetKnownFolderPath"));
    EXPECT_TRUE(has(kernel32, "IsWow64Process"));

    m.system.setXp();  // SP3
    EXPECT_FALSE(has(kernel32, "LCIDToLocaleName"));
    EXPECT_FALSE(has(shell32, "SHGetKnownFolderPath"));
    EXPECT_TRUE(has(kernel32, "IsWow64Process"));
    m.system.servicePackMajor = 1;
    EXPECT_FALSE(has(kernel32, "IsWow64Process")) << "XP has it from SP2 on";
    m.system.setServer2003();  // SP2
    EXPECT_TRUE(has(kernel32, "IsWow64Process"));
    m.system.servicePackMajor = 0;
    EXPECT_FALSE(has(kernel32, "IsWow64Process")) << "Server 2003 has it from SP1 on";
    m.system.setWindows98();
    EXPECT_FALSE(has(kernel32, "IsWow64Process"));
    m.system.setVista();
    EXPECT_TRUE(has(kernel32, "LCIDToLocaleName"));
    FreeLibrary(shell32);
}

TEST_F(WinsimModules, CommonControlsInitialisationIsRecorded) {
    InitCommonControls();
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_INTERNET_CLASSES};
    EXPECT_TRUE(InitCommonControlsEx(&controls));
    controls.dwICC = ICC_PROGRESS_CLASS;
    EXPECT_TRUE(InitCommonControlsEx(&controls));
    controls.dwSize = 0;
    SetLastError(kSentinel);
    EXPECT_FALSE(InitCommonControlsEx(&controls));
    EXPECT_EQ(GetLastError(), kSentinel);

    const winsim::CommonControlsState& state = m.modules.commonControls;
    EXPECT_EQ(state.initCommonControlsCalls, 1);
    ASSERT_EQ(state.initCommonControlsExCalls.size(), 3u);
    EXPECT_FALSE(state.initCommonControlsExCalls[2].result);
    EXPECT_EQ(state.initCommonControlsExCalls[2].size, 0u);
    EXPECT_EQ(state.registeredClasses, (DWORD)(ICC_INTERNET_CLASSES | ICC_PROGRESS_CLASS));
}

TEST_F(WinsimModules, InjectedFaultsFailTheLoaderCalls) {
    m.faults.fail("LoadLibraryExA", ERROR_NOT_ENOUGH_MEMORY);
    m.faults.fail("GetFileVersionInfoSizeA", ERROR_ACCESS_DENIED);
    EXPECT_EQ(LoadLibraryA("COMCTL32.DLL"), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_ENOUGH_MEMORY);
    DWORD handle;
    EXPECT_EQ(GetFileVersionInfoSizeA("COMCTL32.DLL", &handle), 0u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_EQ(m.modules.outstandingLoads(), 0);
}

}  // namespace
