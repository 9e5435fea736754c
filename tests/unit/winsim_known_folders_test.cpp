// winsim's known folders (SHGetKnownFolderPath with its task memory) and
// locale names (LCIDToLocaleName).
#include <gtest/gtest.h>
#include <knownfolders.h>
#include <objbase.h>
#include <shlobj.h>
#include <windows.h>

#include <string>

#include "winsim/machine.h"

namespace {

constexpr DWORD kSentinel = 0xdeadbeef;
const char kStore[] = "C:\\ProgramData\\Microsoft\\Windows\\DeviceMetadataStore";

std::u16string Wide(const char* ascii) { return std::u16string(ascii, ascii + std::char_traits<char>::length(ascii)); }

class WinsimKnownFolders : public ::testing::Test {
protected:
    void TearDown() override {
        for (const std::string& call : m.unimplemented) ADD_FAILURE() << "not modelled: " << call;
    }
    winsim::Machine m;
};

TEST_F(WinsimKnownFolders, DeviceMetadataStoreIsAnExistingFolderInTaskMemory) {
    EXPECT_TRUE(m.files.isDirectory(kStore));
    LPWSTR path = nullptr;
    SetLastError(kSentinel);
    ASSERT_EQ(SHGetKnownFolderPath(FOLDERID_DeviceMetadataStore, 0, nullptr, &path), S_OK);
    ASSERT_NE(path, nullptr);
    EXPECT_EQ(std::u16string(path), Wide(kStore));
    EXPECT_EQ(GetLastError(), kSentinel);
    EXPECT_EQ(m.knownFolders.taskAllocations.size(), 1u);
    CoTaskMemFree(path);
    EXPECT_TRUE(m.knownFolders.taskAllocations.empty());
    EXPECT_EQ(m.knownFolders.taskFrees, 1);
    CoTaskMemFree(nullptr);
    EXPECT_EQ(m.faults.callsOf("CoTaskMemFree"), 2);
}

TEST_F(WinsimKnownFolders, SystemsWithoutTheFolderGiveInvalidArgAndNoPath) {
    LPWSTR path = reinterpret_cast<LPWSTR>(0x1);
    m.system.setVista();
    EXPECT_EQ(SHGetKnownFolderPath(FOLDERID_DeviceMetadataStore, 0, nullptr, &path), E_INVALIDARG);
    EXPECT_EQ(path, nullptr);
    m.system.setXp();
    EXPECT_EQ(SHGetKnownFolderPath(FOLDERID_DeviceMetadataStore, 0, nullptr, &path), E_INVALIDARG);
    m.system.setWindows10();
    EXPECT_EQ(SHGetKnownFolderPath(FOLDERID_DeviceMetadataStore, 0, nullptr, &path), S_OK);
    CoTaskMemFree(path);
    m.knownFolders.remove(FOLDERID_DeviceMetadataStore);
    EXPECT_EQ(SHGetKnownFolderPath(FOLDERID_DeviceMetadataStore, 0, nullptr, &path), E_INVALIDARG);
    EXPECT_TRUE(m.knownFolders.taskAllocations.empty());
}

TEST_F(WinsimKnownFolders, MissingFolderIsReportedUnlessNotVerified) {
    m.files.remove(kStore);
    LPWSTR path = nullptr;
    EXPECT_EQ(SHGetKnownFolderPath(FOLDERID_DeviceMetadataStore, 0, nullptr, &path),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(path, nullptr);
    const DWORD dontVerify = 0x4000;
    ASSERT_EQ(SHGetKnownFolderPath(FOLDERID_DeviceMetadataStore, dontVerify, nullptr, &path), S_OK);
    EXPECT_EQ(std::u16string(path), Wide(kStore));
    CoTaskMemFree(path);
    EXPECT_FALSE(m.files.exists(kStore));

    // KF_FLAG_CREATE creates it, with the folders above it.
    const DWORD create = 0x8000;
    m.files.remove("C:\\ProgramData\\Microsoft");
    ASSERT_EQ(SHGetKnownFolderPath(FOLDERID_DeviceMetadataStore, create, nullptr, &path), S_OK);
    EXPECT_EQ(std::u16string(path), Wide(kStore));
    CoTaskMemFree(path);
    EXPECT_TRUE(m.files.isDirectory(kStore));
    // A folder that cannot be created is the result.
    m.files.remove(kStore);
    m.files.writeFile(kStore, "a file in the way");
    EXPECT_EQ(SHGetKnownFolderPath(FOLDERID_DeviceMetadataStore, create, nullptr, &path),
              HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(path, nullptr);
}

TEST_F(WinsimKnownFolders, InjectedFaultIsTheResult) {
    LPWSTR path = nullptr;
    m.faults.fail("SHGetKnownFolderPath", static_cast<DWORD>(E_FAIL), 0);
    m.faults.fail("SHGetKnownFolderPath", ERROR_ACCESS_DENIED, 1);
    EXPECT_EQ(SHGetKnownFolderPath(FOLDERID_DeviceMetadataStore, 0, nullptr, &path), E_FAIL);
    EXPECT_EQ(SHGetKnownFolderPath(FOLDERID_DeviceMetadataStore, 0, nullptr, &path),
              HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
    EXPECT_EQ(path, nullptr);
}

TEST_F(WinsimKnownFolders, UnmodelledFolderOrFreeFailsLoudly) {
    const KNOWNFOLDERID other = {0x12345678, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
    LPWSTR path = nullptr;
    EXPECT_LT(SHGetKnownFolderPath(other, 0, nullptr, &path), 0);
    int local = 0;
    CoTaskMemFree(&local);
    EXPECT_EQ(m.unimplemented.size(), 2u);
    m.unimplemented.clear();
}

TEST_F(WinsimKnownFolders, LocaleNamesOfSpecificLocales) {
    WCHAR name[1024];
    SetLastError(kSentinel);
    EXPECT_EQ(LCIDToLocaleName(1041, name, 1024, 0), 6);
    EXPECT_EQ(std::u16string(name), Wide("ja-JP"));
    EXPECT_EQ(LCIDToLocaleName(1033, name, LOCALE_NAME_MAX_LENGTH, 0), 6);
    EXPECT_EQ(std::u16string(name), Wide("en-US"));
    EXPECT_EQ(GetLastError(), kSentinel);
    // A size of 0 asks for the size; a buffer one short is refused.
    EXPECT_EQ(LCIDToLocaleName(0x040A, nullptr, 0, 0), 13);
    EXPECT_EQ(LCIDToLocaleName(1041, name, 5, 0), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
}

TEST_F(WinsimKnownFolders, UnknownLocaleIsAnInvalidParameter) {
    WCHAR name[LOCALE_NAME_MAX_LENGTH];
    SetLastError(kSentinel);
    EXPECT_EQ(LCIDToLocaleName(MAKELANGID(0x3FF, 1), name, LOCALE_NAME_MAX_LENGTH, 0), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
    m.faults.fail("LCIDToLocaleName", ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(LCIDToLocaleName(1041, name, LOCALE_NAME_MAX_LENGTH, 0), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_ENOUGH_MEMORY);
    m.faults.clear();
    // A real locale that winsim does not list is not taken for unknown.
    EXPECT_EQ(LCIDToLocaleName(0x0437, name, LOCALE_NAME_MAX_LENGTH, 0), 0);
    EXPECT_EQ(m.unimplemented.size(), 1u);
    m.unimplemented.clear();
}

}  // namespace
