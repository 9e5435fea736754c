// The two views of 64-bit Windows, as a 64-bit program and as a 32-bit one
// (in WOW64) see them: HKLM\SOFTWARE and its Wow6432Node, the keys both
// views share, System32 and SysWOW64, Sysnative and the subfolders of
// System32 that are not redirected.
#include <string>
#include <vector>

#include "conformance.h"

namespace {

const char kKey[] = "SOFTWARE\\conformance_wow64";
const char kKeyIn32BitView[] = "SOFTWARE\\Wow6432Node\\conformance_wow64";

void WriteBits(const char* path, REGSAM view, DWORD bits) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key, nullptr),
              ERROR_SUCCESS)
        << path;
    EXPECT_EQ(RegSetValueExA(key, "Bits", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&bits), sizeof(bits)),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

// The value "Bits" of the key as a view reaches it; ERROR_FILE_NOT_FOUND
// (as a negative number) when the key is not there.
long ReadBits(const char* path, REGSAM view) {
    HKEY key = nullptr;
    const LONG opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ | view, &key);
    if (opened != ERROR_SUCCESS) return -opened;
    DWORD bits = 0, size = sizeof(bits);
    const LONG read = RegQueryValueExA(key, "Bits", nullptr, nullptr, reinterpret_cast<BYTE*>(&bits), &size);
    RegCloseKey(key);
    return read == ERROR_SUCCESS ? static_cast<long>(bits) : -read;
}

// Deletes a key below HKLM\SOFTWARE (or SYSTEM) of one view: through a
// handle to its parent opened in that view, since RegDeleteKeyA takes no
// view flag.
void DeleteKey(const char* parent, const char* name, REGSAM view) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, parent, 0, KEY_ALL_ACCESS | view, &key) != ERROR_SUCCESS) return;
    RegDeleteKeyA(key, name);
    RegCloseKey(key);
}

class Wow64Registry : public testing::Test {
protected:
    void TearDown() override {
        DeleteKey("SOFTWARE", "conformance_wow64", KEY_WOW64_32KEY);
        DeleteKey("SOFTWARE", "conformance_wow64", KEY_WOW64_64KEY);
        DeleteKey("SYSTEM", "conformance_wow64", 0);
    }
    const long kNotFound = -ERROR_FILE_NOT_FOUND;
};

TEST_F(Wow64Registry, TheThirtyTwoBitViewIsWow6432Node) {
    WriteBits(kKey, KEY_WOW64_32KEY, 32);
    // The 64-bit view holds it below Wow6432Node, under that name.
    EXPECT_EQ(ReadBits(kKeyIn32BitView, KEY_WOW64_64KEY), 32);
    EXPECT_EQ(ReadBits(kKey, KEY_WOW64_64KEY), kNotFound);
    EXPECT_EQ(ReadBits(kKey, KEY_WOW64_32KEY), 32);
    // Without a flag each program sees its own view.
    EXPECT_EQ(ReadBits(kKey, 0), conformance::Is32BitProcess() ? 32 : kNotFound);
}

TEST_F(Wow64Registry, TheSixtyFourBitFlagReachesTheNativeKey) {
    WriteBits(kKey, KEY_WOW64_64KEY, 64);
    EXPECT_EQ(ReadBits(kKey, KEY_WOW64_64KEY), 64);
    EXPECT_EQ(ReadBits(kKey, KEY_WOW64_32KEY), kNotFound);
    EXPECT_EQ(ReadBits(kKey, 0), conformance::Is32BitProcess() ? kNotFound : 64);

    // A key in each view: each flag finds its own.
    WriteBits(kKey, KEY_WOW64_32KEY, 32);
    EXPECT_EQ(ReadBits(kKey, KEY_WOW64_64KEY), 64);
    EXPECT_EQ(ReadBits(kKey, KEY_WOW64_32KEY), 32);
}

TEST_F(Wow64Registry, KeysUnderSystemAreOneKeyInBothViews) {
    WriteBits("SYSTEM\\conformance_wow64", KEY_WOW64_32KEY, 32);
    EXPECT_EQ(ReadBits("SYSTEM\\conformance_wow64", KEY_WOW64_64KEY), 32);
    EXPECT_EQ(ReadBits("SYSTEM\\conformance_wow64", 0), 32);
}

TEST_F(Wow64Registry, BothFlagsAtOnceAreRefused) {
    HKEY key = nullptr;
    const LONG result =
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ | KEY_WOW64_32KEY | KEY_WOW64_64KEY, &key);
    if (result == ERROR_SUCCESS) RegCloseKey(key);
    // Windows 7 and later refuse them; Wine takes one of the two.
    EXPECT_WINDOWS_OR_WINE(result == ERROR_INVALID_PARAMETER, result == ERROR_SUCCESS);
}

class Wow64Files : public testing::Test {
protected:
    void SetUp() override {
        char windows[MAX_PATH] = {};
        ASSERT_GT(GetWindowsDirectoryA(windows, MAX_PATH), 0u);
        windows_ = windows;
    }
    void TearDown() override {
        for (const std::string& path : created_) DeleteFileA(path.c_str());
    }
    // Creates a file by a path the current process names.
    void Create(const std::string& path) {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << path << " error " << GetLastError();
        CloseHandle(file);
        created_.push_back(path);
    }
    bool Exists(const std::string& path) const { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

    std::string windows_;
    std::vector<std::string> created_;
};

TEST_F(Wow64Files, AThirtyTwoBitProcessSeesSysWow64AsSystem32) {
    // Named as SysWOW64, the folder is the same for every process.
    Create(windows_ + "\\SysWOW64\\conformance_wow64.txt");
    const bool bits32 = conformance::Is32BitProcess();
    EXPECT_EQ(Exists(windows_ + "\\System32\\conformance_wow64.txt"), bits32);
    EXPECT_EQ(Exists(windows_ + "\\system32\\.\\conformance_wow64.txt"), bits32);

    // Sysnative is the real System32, for a 32-bit process only.
    EXPECT_EQ(Exists(windows_ + "\\Sysnative"), bits32);
    EXPECT_EQ(Exists(windows_ + "\\Sysnative\\conformance_wow64.txt"), false);
    SetLastError(kSentinelError);
    const DWORD attributes = GetFileAttributesA((windows_ + "\\Sysnative").c_str());
    if (!bits32) {
        EXPECT_EQ(attributes, INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    } else {
        EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
    }
}

TEST_F(Wow64Files, DriversEtcIsNotRedirected) {
    // System32\drivers\etc is one folder for both kinds of process.
    const std::string etc = windows_ + "\\System32\\drivers\\etc";
    CreateDirectoryA(etc.c_str(), nullptr);
    Create(etc + "\\conformance_wow64.txt");
    EXPECT_EQ(Exists(windows_ + "\\Sysnative\\drivers\\etc\\conformance_wow64.txt"), conformance::Is32BitProcess());
    EXPECT_FALSE(Exists(windows_ + "\\SysWOW64\\drivers\\etc\\conformance_wow64.txt"));
    // The drivers folder itself is redirected. Windows has a
    // SysWOW64\drivers folder; a Wine prefix does not, so a 32-bit process
    // makes it there first.
    CreateDirectoryA((windows_ + "\\System32\\drivers").c_str(), nullptr);
    Create(windows_ + "\\System32\\drivers\\conformance_wow64.txt");
    EXPECT_EQ(Exists(windows_ + "\\SysWOW64\\drivers\\conformance_wow64.txt"), conformance::Is32BitProcess());
}

}  // namespace
