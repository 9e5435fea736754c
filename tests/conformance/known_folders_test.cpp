// Known folders and locale names, looked up at run time as the product
// does: SHGetKnownFolderPath in shell32.dll, LCIDToLocaleName in
// Kernel32.dll.
// conformance.h brings <windows.h>, which the shell headers need first.
#include "conformance.h"

#include <knownfolders.h>
#include <objbase.h>
#include <shlobj.h>

#include <string>

namespace {

typedef HRESULT(WINAPI* SHGetKnownFolderPathFn)(REFKNOWNFOLDERID, DWORD, HANDLE, LPWSTR*);
typedef int(WINAPI* LCIDToLocaleNameFn)(LCID, LPWSTR, int, DWORD);

const WCHAR kShell32[] = {'s', 'h', 'e', 'l', 'l', '3', '2', '.', 'd', 'l', 'l', 0};
const WCHAR kKernel32[] = {'K', 'e', 'r', 'n', 'e', 'l', '3', '2', '.', 'd', 'l', 'l', 0};

template <class Fn>
Fn LookUp(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// The ASCII text of a wide string ('?' for anything else).
std::string Narrow(const WCHAR* text) {
    std::string out;
    for (; *text; ++text) out += (*text < 0x80) ? static_cast<char>(*text) : '?';
    return out;
}

TEST(KnownFolders, LocaleNameOfJapaneseThroughGetProcAddress) {
    HMODULE kernel32 = LoadLibraryW(kKernel32);
    ASSERT_NE(kernel32, nullptr);
    auto toName = LookUp<LCIDToLocaleNameFn>(kernel32, "LCIDToLocaleName");
    ASSERT_NE(toName, nullptr);
    WCHAR name[1024] = {};
    SetLastError(kSentinelError);
    EXPECT_EQ(toName(1041, name, 1024, 0), 6);
    EXPECT_EQ(Narrow(name), "ja-JP");
    EXPECT_EQ(GetLastError(), kSentinelError);
    EXPECT_TRUE(FreeLibrary(kernel32));
}

TEST(KnownFolders, LocaleNameSizesAndUnknownLocales) {
    WCHAR name[LOCALE_NAME_MAX_LENGTH] = {};
    EXPECT_EQ(LCIDToLocaleName(1033, name, LOCALE_NAME_MAX_LENGTH, 0), 6);
    EXPECT_EQ(Narrow(name), "en-US");
    // A size of 0 asks for the size, terminator included.
    EXPECT_EQ(LCIDToLocaleName(1041, nullptr, 0, 0), 6);
    SetLastError(kSentinelError);
    EXPECT_EQ(LCIDToLocaleName(1041, name, 5, 0), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
    // A primary language of the user-defined range names no locale.
    SetLastError(kSentinelError);
    EXPECT_EQ(LCIDToLocaleName(MAKELANGID(0x3FF, 1), name, LOCALE_NAME_MAX_LENGTH, 0), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
}

TEST(KnownFolders, DeviceMetadataStoreThroughGetProcAddress) {
    HMODULE shell32 = LoadLibraryW(kShell32);
    ASSERT_NE(shell32, nullptr);
    auto getPath = LookUp<SHGetKnownFolderPathFn>(shell32, "SHGetKnownFolderPath");
    ASSERT_NE(getPath, nullptr);
    LPWSTR path = nullptr;
    const HRESULT hr = getPath(FOLDERID_DeviceMetadataStore, 0, nullptr, &path);
    // Windows 7 and later keep the store under ProgramData; Wine does not
    // know the folder at all.
    EXPECT_WINDOWS_OR_WINE(hr == S_OK, hr == E_INVALIDARG);
    if (hr == S_OK) {
        ASSERT_NE(path, nullptr);
        // The documented place: ProgramData on the system drive.
        char windows[MAX_PATH];
        ASSERT_GT(GetWindowsDirectoryA(windows, MAX_PATH), 2u);
        const std::string expected = std::string(windows, 2) + "\\ProgramData\\Microsoft\\Windows\\DeviceMetadataStore";
        EXPECT_EQ(lstrcmpiA(Narrow(path).c_str(), expected.c_str()), 0) << Narrow(path);
        // Unverified (KF_FLAG_DONT_VERIFY), the path is the same.
        const DWORD kDontVerify = 0x00004000;
        LPWSTR unverified = nullptr;
        EXPECT_EQ(getPath(FOLDERID_DeviceMetadataStore, kDontVerify, nullptr, &unverified), S_OK);
        ASSERT_NE(unverified, nullptr);
        EXPECT_EQ(Narrow(unverified), Narrow(path));
        CoTaskMemFree(unverified);
    } else {
        EXPECT_EQ(path, nullptr);
    }
    // The caller frees the path whether the call succeeded or not.
    CoTaskMemFree(path);
    EXPECT_TRUE(FreeLibrary(shell32));
}

}  // namespace
