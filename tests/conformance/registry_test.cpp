// How the registry functions behave: returned error codes that leave the
// last error alone, sizes of values, enumeration order and access rights.
// Each test works below HKCU\Software\ConformanceTests\<suite>.<test>,
// which it creates first and removes at the end.
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "conformance.h"

namespace {

const char kParent[] = "Software\\ConformanceTests";

// Deletes a key and everything below it (RegDeleteKeyA takes only keys
// without subkeys).
LONG DeleteTree(HKEY parent, const std::string& name) {
    HKEY key = nullptr;
    LONG rc = RegOpenKeyExA(parent, name.c_str(), 0, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE, &key);
    if (rc != ERROR_SUCCESS) return rc;
    for (;;) {
        char child[256];
        DWORD size = sizeof child;
        if (RegEnumKeyExA(key, 0, child, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        if ((rc = DeleteTree(key, child)) != ERROR_SUCCESS) break;
    }
    RegCloseKey(key);
    return rc == ERROR_SUCCESS ? RegDeleteKeyA(parent, name.c_str()) : rc;
}

class Registry : public testing::Test {
protected:
    void SetUp() override {
        const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
        path_ = std::string(kParent) + "\\" + info->test_suite_name() + "." + info->name();
        DeleteTree(HKEY_CURRENT_USER, path_);  // left over from an interrupted run
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS, nullptr, &key_, nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        if (key_) RegCloseKey(key_);
        EXPECT_EQ(DeleteTree(HKEY_CURRENT_USER, path_), ERROR_SUCCESS);
        // The shared parent goes when the last test's key is gone.
        RegDeleteKeyA(HKEY_CURRENT_USER, kParent);
    }

    // Creates a subkey of the test's key and closes it.
    void CreateSubkey(const char* name) {
        HKEY child = nullptr;
        ASSERT_EQ(RegCreateKeyExA(key_, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr), ERROR_SUCCESS);
        RegCloseKey(child);
    }
    void SetValue(const char* name, DWORD type, const void* data, DWORD size) {
        ASSERT_EQ(RegSetValueExA(key_, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    }
    std::string Sub(const char* name) const { return path_ + "\\" + name; }

    std::string path_;
    HKEY key_ = nullptr;
};

TEST_F(Registry, MissingKeyGivesFileNotFound) {
    HKEY key = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x1234));
    SetLastError(kSentinelError);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, Sub("Missing").c_str(), 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetLastError(), kSentinelError);
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, Sub("Missing\\Deeper").c_str(), 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
    // A size query of a missing value clears the size; with a buffer the
    // size stays as it was.
    DWORD size = 12;
    EXPECT_EQ(RegQueryValueExA(key_, "Missing", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(size, 0u);
    BYTE buffer[12];
    size = sizeof buffer;
    EXPECT_EQ(RegQueryValueExA(key_, "Missing", nullptr, nullptr, buffer, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(size, (DWORD)sizeof buffer);
    EXPECT_EQ(GetLastError(), kSentinelError);
}

// What RegOpenKeyExA gives back for an empty or missing subkey: the
// predefined key itself, but a new handle for any other key; a null key is
// refused before the result is touched. A predefined key is known by the
// low 32 bits of the handle.
TEST_F(Registry, OpenWithoutASubkey) {
    for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_CURRENT_CONFIG}) {
        for (const char* subkey : {static_cast<const char*>(nullptr), ""}) {
            HKEY key = nullptr;
            EXPECT_EQ(RegOpenKeyExA(root, subkey, 0, KEY_READ, &key), ERROR_SUCCESS);
            EXPECT_EQ(key, root);
        }
    }
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(key_, "", 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_NE(key, key_);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyExA(key_, nullptr, 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_NE(key, key_);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    // Below HKEY_CLASSES_ROOT one leading backslash is skipped: "\\" opens
    // the root again, as a new handle.
    EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "\\", 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_NE(key, HKEY_CLASSES_ROOT);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);

    HKEY untouched = key_;
    EXPECT_EQ(RegOpenKeyExA(nullptr, "", 0, KEY_READ, &untouched), ERROR_INVALID_HANDLE);
    EXPECT_EQ(untouched, key_);
    if (sizeof(HKEY) == 8) {
        const ULONG_PTR low = static_cast<ULONG>(reinterpret_cast<ULONG_PTR>(HKEY_CURRENT_USER));
        for (ULONG_PTR upper : {ULONG_PTR{0}, ULONG_PTR{1}, ULONG_PTR{0xdeadbeef}}) {
            const HKEY root = reinterpret_cast<HKEY>(low | (upper << 16 << 16));
            key = nullptr;
            EXPECT_EQ(RegOpenKeyExA(root, path_.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS) << upper;
            EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
        }
    }
}

// HKEY_CURRENT_CONFIG shows the current hardware profile's key: a key
// made there through HKLM is found through the root.
TEST_F(Registry, CurrentConfigIsTheCurrentHardwareProfile) {
    HKEY profile = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current", 0,
                            KEY_ALL_ACCESS, &profile),
              ERROR_SUCCESS);
    HKEY made = nullptr;
    ASSERT_EQ(RegCreateKeyExA(profile, "ConformanceTests", 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr,
                              &made, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(made), ERROR_SUCCESS);
    HKEY found = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_CONFIG, "ConformanceTests", 0, KEY_READ, &found), ERROR_SUCCESS);
    if (found) {
        EXPECT_EQ(RegCloseKey(found), ERROR_SUCCESS);
    }
    EXPECT_EQ(RegDeleteKeyA(profile, "ConformanceTests"), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_CONFIG, "ConformanceTests", 0, KEY_READ, &found), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegCloseKey(profile), ERROR_SUCCESS);
}

// A volatile key cannot hold a key that is stored on disk.
TEST_F(Registry, VolatileKeysHoldOnlyVolatileKeys) {
    HKEY parent = nullptr;
    HKEY child = nullptr;
    ASSERT_EQ(RegCreateKeyExA(key_, "Volatile", 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &parent,
                              nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegCreateKeyExA(parent, "Stored", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &child,
                              nullptr),
              ERROR_CHILD_MUST_BE_VOLATILE);
    ASSERT_EQ(RegCreateKeyExA(parent, "Child", 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &child,
                              nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(child), ERROR_SUCCESS);
    // An existing key opens whatever the options say.
    ASSERT_EQ(RegCreateKeyExA(parent, "Child", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &child,
                              nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(child), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(parent), ERROR_SUCCESS);
}

TEST_F(Registry, TooSmallABufferGivesMoreDataAndTheSize) {
    const BYTE five[5] = {1, 2, 3, 4, 5};
    SetValue("Five", REG_BINARY, five, sizeof five);

    DWORD size = 0, type = 0;
    EXPECT_EQ(RegQueryValueExA(key_, "Five", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));

    BYTE buffer[4] = {0xCC, 0xCC, 0xCC, 0xCC};
    size = sizeof buffer;
    SetLastError(kSentinelError);
    EXPECT_EQ(RegQueryValueExA(key_, "Five", nullptr, &type, buffer, &size), ERROR_MORE_DATA);
    EXPECT_EQ(GetLastError(), kSentinelError);
    EXPECT_EQ(size, 5u);

    BYTE enough[8] = {};
    size = sizeof enough;
    EXPECT_EQ(RegQueryValueExA(key_, "Five", nullptr, &type, enough, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(std::memcmp(enough, five, 5), 0);
}

// A value of any type reads as raw bytes, so a short string fits the
// buffer of a DWORD.
TEST_F(Registry, ShortStringReadsIntoADwordBuffer) {
    SetValue("Text", REG_SZ, "abc", 4);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key_, "Text", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 4u);  // the ANSI size, NUL included

    DWORD data = 0xFFFFFFFF, type = 0;
    size = sizeof data;
    SetLastError(kSentinelError);
    EXPECT_EQ(RegQueryValueExA(key_, "Text", nullptr, &type, reinterpret_cast<BYTE*>(&data), &size), ERROR_SUCCESS);
    EXPECT_EQ(GetLastError(), kSentinelError);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(std::memcmp(&data, "abc", 4), 0);

    const DWORD number = 0x01020304;
    SetValue("Number", REG_DWORD, &number, sizeof number);
    char bytes[8] = {};
    size = sizeof bytes;
    EXPECT_EQ(RegQueryValueExA(key_, "number", nullptr, &type, reinterpret_cast<BYTE*>(bytes), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(std::memcmp(bytes, &number, 4), 0);
}

// A string written with a size that leaves out its NUL is stored with the
// NUL when the byte after the data is one.
TEST_F(Registry, StringWrittenWithoutItsNulGetsIt) {
    const char text[] = "abc";
    SetValue("Text", REG_SZ, text, 3);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key_, "Text", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 4u);
}

TEST_F(Registry, DefaultValueHasTheEmptyName) {
    SetValue(nullptr, REG_SZ, "dflt", 5);
    char text[8] = {};
    DWORD size = sizeof text;
    EXPECT_EQ(RegQueryValueExA(key_, "", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size), ERROR_SUCCESS);
    EXPECT_STREQ(text, "dflt");
}

// Shift-JIS text goes in and comes out unchanged on Japanese Windows, a
// trail byte of 0x5C (the backslash) included, and its size is that of
// the ANSI text.
TEST_F(Registry, JapaneseTextRoundTripsInCodePage932) {
    if (GetACP() != 932) GTEST_SKIP() << "needs the Japanese code page";
    const char text[] = "\x95\x5C\x8E\xA6";  // 表示
    SetValue("Name", REG_SZ, text, sizeof text);
    char out[16] = {};
    DWORD size = sizeof out;
    EXPECT_EQ(RegQueryValueExA(key_, "Name", nullptr, nullptr, reinterpret_cast<BYTE*>(out), &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 5u);
    EXPECT_STREQ(out, text);
}

TEST_F(Registry, RegistryFunctionsLeaveTheLastErrorAlone) {
    HKEY child = nullptr;
    DWORD disposition = 0, size = 0;
    const DWORD one = 1;
    char name[32];

    SetLastError(kSentinelError);
    EXPECT_EQ(RegCreateKeyExA(key_, "Child", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    EXPECT_EQ(RegSetValueExA(child, "One", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExA(child, "One", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExA(child, "Two", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
    size = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(key_, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    size = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(key_, 1, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(RegQueryInfoKeyA(key_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(child, "One"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(child, "One"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegCloseKey(child), ERROR_SUCCESS);
    EXPECT_EQ(RegCreateKeyExA(key_, "Child", 0, nullptr, 0, KEY_READ, nullptr, &child, &disposition), ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    EXPECT_EQ(RegCloseKey(child), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(key_, "Child"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(key_, "Child"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetLastError(), kSentinelError);
}

// Subkeys come in the registry's order: sorted without regard to case.
// Windows compares the names in upper case, so "_" comes after every
// letter; Wine compares them in lower case and puts it first.
TEST_F(Registry, EnumerationFollowsTheRegistryOrder) {
    for (const char* name : {"gamma", "_under", "Beta", "alpha"}) CreateSubkey(name);
    std::vector<std::string> listed;
    DWORD index = 0;
    for (;; ++index) {
        char name[32];
        DWORD size = sizeof name;
        LONG rc = RegEnumKeyExA(key_, index, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (rc != ERROR_SUCCESS) {
            EXPECT_EQ(rc, ERROR_NO_MORE_ITEMS);
            break;
        }
        EXPECT_EQ(size, std::strlen(name));
        listed.push_back(name);
    }
    EXPECT_WINDOWS_OR_WINE((listed == std::vector<std::string>{"alpha", "Beta", "gamma", "_under"}),
                           (listed == std::vector<std::string>{"_under", "alpha", "Beta", "gamma"}));
    EXPECT_EQ(index, 4u);
}

TEST_F(Registry, EnumerationNeedsRoomForTheNameAndItsNul) {
    CreateSubkey("alpha");
    char name[8] = "xxxxxxx";
    DWORD size = 5;
    SetLastError(kSentinelError);
    EXPECT_EQ(RegEnumKeyExA(key_, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
    EXPECT_EQ(GetLastError(), kSentinelError);
    size = 6;
    EXPECT_EQ(RegEnumKeyExA(key_, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_STREQ(name, "alpha");
    EXPECT_EQ(size, 5u);
}

TEST_F(Registry, QueryInfoKeyCountsSubkeysAndValues) {
    for (const char* name : {"a", "Longest", "bb"}) CreateSubkey(name);
    const DWORD one = 1;
    const BYTE six[6] = {};
    SetValue("One", REG_DWORD, &one, sizeof one);
    SetValue("SixBytes", REG_BINARY, six, sizeof six);

    DWORD subkeys = 0, longestSubkey = 0, values = 0, longestName = 0, longestData = 0;
    SetLastError(kSentinelError);
    EXPECT_EQ(RegQueryInfoKeyA(key_, nullptr, nullptr, nullptr, &subkeys, &longestSubkey, nullptr, &values,
                               &longestName, &longestData, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(GetLastError(), kSentinelError);
    EXPECT_EQ(subkeys, 3u);
    EXPECT_EQ(longestSubkey, 7u);  // characters, without the NUL
    EXPECT_EQ(values, 2u);
    EXPECT_EQ(longestName, 8u);
    EXPECT_EQ(longestData, 6u);

    // The class (empty for keys created without one), the size of the
    // security descriptor and the last write time, which a change moves on.
    char keyClass[8] = "xxxxxxx";
    DWORD classLength = sizeof keyClass, securitySize = 0;
    FILETIME before = {}, after = {};
    EXPECT_EQ(RegQueryInfoKeyA(key_, keyClass, &classLength, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, &securitySize, &before),
              ERROR_SUCCESS);
    EXPECT_STREQ(keyClass, "");
    EXPECT_EQ(classLength, 0u);
    // Wine reports no security descriptor.
    EXPECT_WINDOWS_OR_WINE(securitySize > 0, securitySize == 0);
    EXPECT_NE(before.dwHighDateTime, 0u);
    // The time moves with the system clock, which may not tick between two
    // writes: the value is written until it has, and once more after a
    // few seconds at the latest, by when any clock has moved on.
    auto ticks = [](const FILETIME& t) { return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    for (bool last = false; !last && ticks(after) <= ticks(before);) {
        last = std::chrono::steady_clock::now() > deadline;
        SetValue("Two", REG_DWORD, &one, sizeof one);
        EXPECT_EQ(RegQueryInfoKeyA(key_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, nullptr, &after),
                  ERROR_SUCCESS);
    }
    EXPECT_GT(ticks(after), ticks(before));
    EXPECT_EQ(RegDeleteValueA(key_, "Two"), ERROR_SUCCESS);

    // Every output is optional.
    values = 0;
    EXPECT_EQ(RegQueryInfoKeyA(key_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                               nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(values, 2u);
}

TEST_F(Registry, HandleAllowsOnlyTheAccessItWasOpenedFor) {
    HKEY reader = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, KEY_READ, &reader), ERROR_SUCCESS);
    const DWORD one = 1;
    SetLastError(kSentinelError);
    EXPECT_EQ(RegSetValueExA(reader, "One", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(GetLastError(), kSentinelError);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key_, "One", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegCloseKey(reader), ERROR_SUCCESS);

    SetValue("One", REG_DWORD, &one, sizeof one);
    HKEY writer = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, KEY_SET_VALUE, &writer), ERROR_SUCCESS);
    size = 4;
    EXPECT_EQ(RegQueryValueExA(writer, "One", nullptr, nullptr, nullptr, &size), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegCloseKey(writer), ERROR_SUCCESS);
}

TEST_F(Registry, ClosingAClosedHandleFailsAndPredefinedKeysClose) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    SetLastError(kSentinelError);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
    EXPECT_EQ(GetLastError(), kSentinelError);
    // HKEY_CURRENT_USER still works after that.
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(Registry, KeyDeletedWhileOpenGivesKeyDeleted) {
    CreateSubkey("Doomed");
    HKEY doomed = nullptr;
    ASSERT_EQ(RegOpenKeyExA(key_, "Doomed", 0, KEY_ALL_ACCESS, &doomed), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteKeyA(key_, "Doomed"), ERROR_SUCCESS);

    SetLastError(kSentinelError);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(doomed, "Any", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
    const DWORD one = 1;
    EXPECT_EQ(RegSetValueExA(doomed, "Any", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4), ERROR_KEY_DELETED);
    char name[8];
    size = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(doomed, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED);
    EXPECT_EQ(GetLastError(), kSentinelError);
    EXPECT_EQ(RegCloseKey(doomed), ERROR_SUCCESS);
}

TEST_F(Registry, KeyWithSubkeysIsNotDeleted) {
    CreateSubkey("Parent\\Child");
    EXPECT_EQ(RegDeleteKeyA(key_, "Parent"), ERROR_ACCESS_DENIED);
    HKEY parent = nullptr;
    ASSERT_EQ(RegOpenKeyExA(key_, "Parent", 0, KEY_READ, &parent), ERROR_SUCCESS);
    RegCloseKey(parent);
    EXPECT_EQ(RegDeleteKeyA(key_, "Parent\\Child"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(key_, "Parent"), ERROR_SUCCESS);
}

}  // namespace
