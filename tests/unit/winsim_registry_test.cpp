// The simulated registry: its seeding and inspection API, and what the
// Win32 layer does with the machine's state that a conformance test cannot
// set up (other tokens, the ANSI code page, WOW64, injected faults).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "winsim/machine.h"

namespace {

constexpr DWORD kSentinel = 0xdeadbeef;

// Opens a key and returns the result code; the handle goes to `out`.
LONG Open(HKEY root, const char* path, REGSAM sam, HKEY* out) { return RegOpenKeyExA(root, path, 0, sam, out); }

std::string QueryAnsi(HKEY key, const char* name, DWORD* size) {
    char buffer[64] = {};
    *size = sizeof buffer;
    DWORD type = 0;
    EXPECT_EQ(RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), size), ERROR_SUCCESS);
    return std::string(buffer, *size);
}

}  // namespace

TEST(WinsimRegistry, NewMachineHasTheUsualKeys) {
    winsim::Machine m;
    EXPECT_TRUE(m.registry.keyExists("HKLM\\SOFTWARE"));
    EXPECT_TRUE(m.registry.keyExists("HKEY_LOCAL_MACHINE\\system\\controlset001"));
    EXPECT_TRUE(m.registry.keyExists("HKLM\\SYSTEM\\CurrentControlSet"));
    EXPECT_TRUE(m.registry.keyExists("HKCU\\Software"));
    EXPECT_FALSE(m.registry.keyExists("HKCU\\Software\\Missing"));
    // HKEY_CLASSES_ROOT is the view of HKLM\SOFTWARE\Classes.
    m.registry.createKey("HKCR\\.inf");
    EXPECT_TRUE(m.registry.keyExists("HKLM\\SOFTWARE\\Classes\\.INF"));
    EXPECT_THROW(m.registry.createKey("HKXX\\Software"), std::invalid_argument);
}

TEST(WinsimRegistry, CurrentControlSetIsTheSameKeyAsControlSet001) {
    winsim::Machine m;
    EXPECT_EQ(m.registry.find("HKLM\\SYSTEM\\CurrentControlSet"), m.registry.find("HKLM\\SYSTEM\\ControlSet001"));
    EXPECT_EQ(m.registry.subkeyNames("HKLM\\SYSTEM"), (std::vector<std::string>{"ControlSet001", "CurrentControlSet"}));

    // A write through the link is seen through the real name.
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\usb210", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const DWORD start = 3;
    ASSERT_EQ(RegSetValueExA(key, "Start", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&start), 4), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(m.registry.dword("HKLM\\SYSTEM\\ControlSet001\\Services\\usb210", "start"), 3u);

    // And the other way round.
    m.registry.setDword("HKLM\\SYSTEM\\ControlSet001\\Services\\usb210", "Type", 1);
    ASSERT_EQ(Open(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\usb210", KEY_READ, &key), ERROR_SUCCESS);
    DWORD type = 0, size = 4, data = 0;
    EXPECT_EQ(RegQueryValueExA(key, "Type", nullptr, &type, reinterpret_cast<BYTE*>(&data), &size), ERROR_SUCCESS);
    EXPECT_EQ(data, 1u);
    RegCloseKey(key);

    // Deleting the control set removes the link with it.
    m.registry.deleteKey("HKLM\\SYSTEM\\ControlSet001");
    EXPECT_FALSE(m.registry.keyExists("HKLM\\SYSTEM\\CurrentControlSet"));
}

TEST(WinsimRegistry, SubkeysAreSortedByUpperCaseNameAndFoundInAnyCase) {
    winsim::Machine m;
    for (const char* name : {"gamma", "_under", "Beta", "alpha"}) m.registry.createKey(std::string("HKCU\\Software\\T\\") + name);
    const std::vector<std::string> expected{"alpha", "Beta", "gamma", "_under"};
    EXPECT_EQ(m.registry.subkeyNames("HKCU\\Software\\T"), expected);
    EXPECT_TRUE(m.registry.keyExists("HKCU\\SOFTWARE\\t\\BETA"));

    HKEY key = nullptr;
    ASSERT_EQ(Open(HKEY_CURRENT_USER, "software\\t", KEY_READ, &key), ERROR_SUCCESS);
    std::vector<std::string> listed;
    for (DWORD i = 0;; ++i) {
        char name[32];
        DWORD size = sizeof name;
        LONG rc = RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        ASSERT_EQ(rc, ERROR_SUCCESS);
        listed.push_back(name);
    }
    EXPECT_EQ(listed, expected);
    RegCloseKey(key);
}

TEST(WinsimRegistry, SeededValuesReadBackAndValueNamesIgnoreCase) {
    winsim::Machine m;
    m.registry.setString("HKCU\\Software\\T", "Path", "C:\\Drivers", REG_EXPAND_SZ);
    m.registry.setMultiString("HKCU\\Software\\T", "HardwareID", {"USB\\VID_1234&PID_0001", "USB\\VID_1234"});
    m.registry.setValue("HKCU\\Software\\T", "Blob", REG_BINARY, {1, 2, 3});
    m.registry.setDword("HKCU\\Software\\T", "path", 7);  // replaces "Path" in place

    EXPECT_EQ(m.registry.valueNames("HKCU\\Software\\T"), (std::vector<std::string>{"Path", "HardwareID", "Blob"}));
    EXPECT_EQ(m.registry.dword("HKCU\\Software\\T", "PATH"), 7u);
    EXPECT_FALSE(m.registry.string("HKCU\\Software\\T", "Path"));
    EXPECT_EQ(m.registry.multiString("HKCU\\Software\\T", "hardwareid"),
              (std::vector<std::string>{"USB\\VID_1234&PID_0001", "USB\\VID_1234"}));
    // Multi-strings are stored as UTF-16: each entry and the final empty
    // entry end in a two-byte NUL.
    EXPECT_EQ(m.registry.value("HKCU\\Software\\T", "HardwareID")->data.size(), (21u + 1 + 12 + 1 + 1) * 2);

    HKEY key = nullptr;
    ASSERT_EQ(Open(HKEY_CURRENT_USER, "Software\\T", KEY_READ, &key), ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(QueryAnsi(key, "HardwareID", &size), std::string("USB\\VID_1234&PID_0001\0USB\\VID_1234\0\0", 36));
    EXPECT_EQ(size, 36u);
    m.registry.deleteValue("HKCU\\Software\\T", "BLOB");
    EXPECT_EQ(RegQueryValueExA(key, "Blob", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);
}

// Windows keeps strings as UTF-16; the ANSI functions convert with the
// machine's code page, so the size RegQueryValueExA reports is the size
// of the ANSI text, which differs between code pages.
TEST(WinsimRegistry, StringValuesConvertThroughTheAnsiCodePage) {
    winsim::Machine m;
    m.registry.setString("HKCU\\Software\\T", "Name", "表示");  // two characters
    HKEY key = nullptr;
    ASSERT_EQ(Open(HKEY_CURRENT_USER, "Software\\T", KEY_ALL_ACCESS, &key), ERROR_SUCCESS);

    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "Name", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 3u);  // "??" and NUL under code page 1252
    EXPECT_EQ(QueryAnsi(key, "Name", &size), std::string("??\0", 3));

    m.system.setJapanese();
    EXPECT_EQ(RegQueryValueExA(key, "Name", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(QueryAnsi(key, "Name", &size), std::string("\x95\x5C\x8E\xA6\0", 5));

    // Shift-JIS text whose trail byte is a backslash goes in intact.
    const char sjis[] = "\x95\x5C";  // 表
    ASSERT_EQ(RegSetValueExA(key, "Written", 0, REG_SZ, reinterpret_cast<const BYTE*>(sjis), sizeof sjis),
              ERROR_SUCCESS);
    EXPECT_EQ(m.registry.string("HKCU\\Software\\T", "Written"), "表");
    EXPECT_EQ(m.registry.value("HKCU\\Software\\T", "Written")->data, (std::vector<BYTE>{0x68, 0x88, 0, 0}));

    // Key names too: a key named in Japanese is listed in Shift-JIS, while
    // RegQueryInfoKeyA counts its name in UTF-16 characters.
    m.registry.createKey("HKCU\\Software\\T\\表示");
    char name[16];
    DWORD cch = sizeof name;
    ASSERT_EQ(RegEnumKeyExA(key, 0, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(std::string(name), "\x95\x5C\x8E\xA6");
    EXPECT_EQ(cch, 4u);
    DWORD longest = 0;
    ASSERT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, &longest, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(longest, 2u);
    RegCloseKey(key);
}

// What each token may do with a key under HKLM: Windows' default ACL gives
// administrators full control and everyone else read access.
TEST(WinsimRegistry, AccessChecksFollowTheEffectiveToken) {
    struct Case {
        const char* token;
        winsim::TokenIdentity identity;
        bool mayWrite;
    };
    const Case cases[] = {
        {"administrator", winsim::TokenIdentity::administrator(), true},
        {"standard user", winsim::TokenIdentity::standardUser(), false},
        {"deny-only administrator", winsim::TokenIdentity::denyOnlyAdministrator(), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.token);
        winsim::Machine m;
        m.token.process = c.identity;
        m.registry.createKey("HKLM\\SOFTWARE\\Vendor\\Tool");
        for (REGSAM sam : std::vector<REGSAM>{KEY_ALL_ACCESS, KEY_SET_VALUE, KEY_CREATE_SUB_KEY, KEY_CREATE_LINK,
                                              DELETE, WRITE_DAC, WRITE_OWNER, KEY_WRITE}) {
            HKEY key = nullptr;
            const LONG rc = Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor\\Tool", sam, &key);
            EXPECT_EQ(rc, c.mayWrite ? ERROR_SUCCESS : ERROR_ACCESS_DENIED) << "access 0x" << std::hex << sam;
            if (rc == ERROR_SUCCESS) RegCloseKey(key);
        }
        HKEY key = nullptr;
        ASSERT_EQ(Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor\\Tool", KEY_READ, &key), ERROR_SUCCESS);
        RegCloseKey(key);
        // Keys of the user's own hive are writable whatever the token.
        ASSERT_EQ(Open(HKEY_CURRENT_USER, "Software", KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
        RegCloseKey(key);
        // The predefined HKLM itself is opened for what the token may do.
        const DWORD one = 1;
        EXPECT_EQ(RegSetValueExA(HKEY_LOCAL_MACHINE, "x", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4),
                  c.mayWrite ? ERROR_SUCCESS : ERROR_ACCESS_DENIED);
        // Creating below HKLM needs the same rights.
        EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor\\New", 0, nullptr, 0, KEY_READ, nullptr, &key,
                                  nullptr),
                  c.mayWrite ? ERROR_SUCCESS : ERROR_ACCESS_DENIED);
        if (c.mayWrite) RegCloseKey(key);
        EXPECT_EQ(m.registry.keyExists("HKLM\\SOFTWARE\\Vendor\\New"), c.mayWrite);
        EXPECT_EQ(m.handles.openCount(), 0u);
    }
}

TEST(WinsimRegistry, ImpersonationDecidesAndWritableKeysAdmitUsers) {
    winsim::Machine m;
    m.token.threadImpersonation = winsim::TokenIdentity::standardUser();
    m.registry.createKey("HKLM\\SOFTWARE\\Vendor\\Shared");
    HKEY key = nullptr;
    EXPECT_EQ(Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor\\Shared", KEY_ALL_ACCESS, &key), ERROR_ACCESS_DENIED);
    EXPECT_EQ(key, nullptr);

    // MAXIMUM_ALLOWED grants what the token may have: reading only.
    ASSERT_EQ(Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor\\Shared", MAXIMUM_ALLOWED, &key), ERROR_SUCCESS);
    auto object = m.handles.get<winsim::RegKeyObject>(key, winsim::HandleKind::RegistryKey);
    ASSERT_TRUE(object);
    EXPECT_EQ(object->granted, static_cast<REGSAM>(KEY_READ));
    RegCloseKey(key);

    m.registry.setWritableByUsers("HKLM\\SOFTWARE\\Vendor\\Shared");
    ASSERT_EQ(Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor\\Shared", KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    HKEY child = nullptr;
    ASSERT_EQ(RegCreateKeyExA(key, "Child", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr), ERROR_SUCCESS);
    // The new key inherits the permission, as an inherited ACL would.
    EXPECT_TRUE(m.registry.find("HKLM\\SOFTWARE\\Vendor\\Shared\\Child")->writableByUsers);
    RegCloseKey(child);
    RegCloseKey(key);

    // Windows 98 has no registry security, and deletes keys with their
    // subkeys.
    m.system.setWindows98();
    ASSERT_EQ(Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor", KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor"), ERROR_SUCCESS);
    EXPECT_FALSE(m.registry.keyExists("HKLM\\SOFTWARE\\Vendor\\Shared\\Child"));
    EXPECT_FALSE(m.registry.keyExists("HKLM\\SOFTWARE\\Vendor"));
}

TEST(WinsimRegistry, HandlesRememberTheirAccessAndAreCounted) {
    winsim::Machine m;
    m.registry.setDword("HKCU\\Software\\T", "v", 1);
    HKEY reader = nullptr, writer = nullptr;
    ASSERT_EQ(Open(HKEY_CURRENT_USER, "Software\\T", KEY_READ, &reader), ERROR_SUCCESS);
    ASSERT_EQ(Open(HKEY_CURRENT_USER, "Software\\T", KEY_SET_VALUE, &writer), ERROR_SUCCESS);
    EXPECT_EQ(m.handles.openCount(winsim::HandleKind::RegistryKey), 2u);

    const DWORD two = 2;
    EXPECT_EQ(RegSetValueExA(reader, "v", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&two), 4), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValueA(reader, "v"), ERROR_ACCESS_DENIED);
    DWORD size = 4;
    EXPECT_EQ(RegQueryValueExA(writer, "v", nullptr, nullptr, nullptr, &size), ERROR_ACCESS_DENIED);
    char name[8];
    DWORD cch = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(writer, 0, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegSetValueExA(writer, "v", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&two), 4), ERROR_SUCCESS);
    EXPECT_EQ(m.registry.dword("HKCU\\Software\\T", "v"), 2u);

    EXPECT_EQ(RegCloseKey(reader), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(writer), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(writer), ERROR_INVALID_HANDLE);
    EXPECT_EQ(m.handles.openCount(), 0u);
    // A registry handle is not a kernel handle.
    ASSERT_EQ(Open(HKEY_CURRENT_USER, "Software\\T", KEY_READ, &reader), ERROR_SUCCESS);
    EXPECT_FALSE(CloseHandle(reader));
    EXPECT_EQ(RegCloseKey(reader), ERROR_SUCCESS);
}

TEST(WinsimRegistry, KeyDeletedUnderAnOpenHandle) {
    winsim::Machine m;
    m.registry.setDword("HKCU\\Software\\T\\Gone", "v", 1);
    HKEY key = nullptr;
    ASSERT_EQ(Open(HKEY_CURRENT_USER, "Software\\T\\Gone", KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    m.registry.deleteKey("HKCU\\Software\\T\\Gone");

    SetLastError(kSentinel);
    DWORD size = 4;
    EXPECT_EQ(RegQueryValueExA(key, "v", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
    const DWORD one = 1;
    EXPECT_EQ(RegSetValueExA(key, "v", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4), ERROR_KEY_DELETED);
    char name[8];
    DWORD cch = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(key, 0, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED);
    HKEY child = nullptr;
    EXPECT_EQ(Open(key, "x", KEY_READ, &child), ERROR_KEY_DELETED);
    EXPECT_EQ(RegCreateKeyExA(key, "x", 0, nullptr, 0, KEY_READ, nullptr, &child, nullptr), ERROR_KEY_DELETED);
    EXPECT_EQ(GetLastError(), kSentinel);
    // Recreating the path makes a new key; the old handle stays dead.
    m.registry.createKey("HKCU\\Software\\T\\Gone");
    EXPECT_EQ(RegQueryValueExA(key, "v", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST(WinsimRegistry, InjectedFaultsAreReturnedAndLeaveTheLastErrorAlone) {
    winsim::Machine m;
    m.faults.fail("RegOpenKeyExA", ERROR_ACCESS_DENIED);
    m.faults.fail("RegQueryValueExA", ERROR_MORE_DATA, 1);
    m.faults.fail("RegCloseKey", ERROR_INVALID_HANDLE, 0);
    SetLastError(kSentinel);
    HKEY key = nullptr;
    EXPECT_EQ(Open(HKEY_CURRENT_USER, "Software", KEY_READ, &key), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);

    m.registry.setDword("HKCU\\Software\\T", "v", 5);
    DWORD size = 4;
    EXPECT_EQ(RegQueryValueExA(HKEY_CURRENT_USER, "v", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValueExA(HKEY_CURRENT_USER, "v", nullptr, nullptr, nullptr, &size), ERROR_MORE_DATA);
    EXPECT_EQ(GetLastError(), kSentinel);

    for (const char* api : {"RegCreateKeyExA", "RegSetValueExA", "RegEnumKeyExA", "RegQueryInfoKeyA",
                            "RegDeleteKeyA", "RegDeleteValueA"})
        m.faults.fail(api, ERROR_OUTOFMEMORY);
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\U", 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr),
              ERROR_OUTOFMEMORY);
    EXPECT_FALSE(m.registry.keyExists("HKCU\\Software\\U"));
    EXPECT_EQ(RegSetValueExA(HKEY_CURRENT_USER, "v", 0, REG_BINARY, nullptr, 0), ERROR_OUTOFMEMORY);
    char name[8];
    DWORD cch = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(HKEY_CURRENT_USER, 0, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_OUTOFMEMORY);
    EXPECT_EQ(RegQueryInfoKeyA(HKEY_CURRENT_USER, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr),
              ERROR_OUTOFMEMORY);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\T"), ERROR_OUTOFMEMORY);
    EXPECT_EQ(RegDeleteValueA(HKEY_CURRENT_USER, "v"), ERROR_OUTOFMEMORY);
    EXPECT_EQ(GetLastError(), kSentinel);
    EXPECT_EQ(m.handles.openCount(), 0u);
}

// What each kind of Windows makes of the view flags: NT 4.0 and Windows
// 2000 refuse them, 32-bit Windows ignores them, Windows 7 refuses both at
// once and earlier 64-bit releases leave that undefined.
TEST(WinsimRegistry, ViewFlagsByRelease) {
    struct Row {
        const char* release;
        void (winsim::SystemInfo::*preset)();
        REGSAM view;
        LONG result;
        DWORD bits;  // of the key opened
    };
    const REGSAM both = KEY_WOW64_32KEY | KEY_WOW64_64KEY;
    const Row rows[] = {
        {"Windows 7 x64", &winsim::SystemInfo::setWindows7, KEY_WOW64_32KEY, ERROR_SUCCESS, 32},
        {"Windows 7 x64", &winsim::SystemInfo::setWindows7, both, ERROR_INVALID_PARAMETER, 0},
        {"Vista x64", &winsim::SystemInfo::setVista, both, ERROR_CALL_NOT_IMPLEMENTED, 0},
        {"XP", &winsim::SystemInfo::setXp, KEY_WOW64_32KEY, ERROR_SUCCESS, 64},
        {"Windows 2000", &winsim::SystemInfo::setWindows2000, KEY_WOW64_32KEY, ERROR_ACCESS_DENIED, 0},
        {"Windows 2000", &winsim::SystemInfo::setWindows2000, 0, ERROR_SUCCESS, 64},
        {"NT 4.0", &winsim::SystemInfo::setNt4, KEY_WOW64_64KEY, ERROR_ACCESS_DENIED, 0},
        {"Windows 98", &winsim::SystemInfo::setWindows98, both, ERROR_SUCCESS, 64},
    };
    for (const Row& row : rows) {
        winsim::Machine m;
        (m.system.*row.preset)();
        m.registry.setDword("HKLM\\SOFTWARE\\Wow6432Node\\Vendor", "Bits", 32);
        m.registry.setDword("HKLM\\SOFTWARE\\Vendor", "Bits", 64);
        HKEY key = nullptr;
        EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor", 0, KEY_READ | row.view, &key), row.result)
            << row.release << " view " << row.view;
        DWORD value = 0, size = 4;
        if (key) RegQueryValueExA(key, "Bits", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
        EXPECT_EQ(value, row.bits) << row.release << " view " << row.view;
        if (key) RegCloseKey(key);
        EXPECT_EQ(m.unimplemented.empty(), row.result != ERROR_CALL_NOT_IMPLEMENTED) << row.release;
    }
}

// Keys that Windows 7 and later share between the views are one key; keys
// that mix shared and redirected subkeys, and the shared keys of the
// releases that reflected them instead, are not modelled.
TEST(WinsimRegistry, SharedKeysAndUnmodelledViewRules) {
    winsim::Machine m;
    m.system.process32 = true;
    m.registry.setDword("HKLM\\SOFTWARE\\Clients\\Mail", "Bits", 64);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Clients\\Mail", 0, KEY_READ, &key), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_TRUE(m.unimplemented.empty());

    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\CLSID", 0, KEY_READ, &key),
              ERROR_CALL_NOT_IMPLEMENTED);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows", 0, KEY_READ, &key),
              ERROR_CALL_NOT_IMPLEMENTED);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Classes\\CLSID", 0, KEY_READ, &key),
              ERROR_CALL_NOT_IMPLEMENTED);
    m.system.setVista();
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Clients\\Mail", 0, KEY_READ, &key),
              ERROR_CALL_NOT_IMPLEMENTED);
    EXPECT_EQ(m.unimplemented.size(), 4u);
}

// A 32-bit program on 64-bit Windows reads HKLM\SOFTWARE through
// Wow6432Node unless it asks for the 64-bit view.
TEST(WinsimRegistry, Wow64ProgramsSeeTheThirtyTwoBitSoftwareKey) {
    winsim::Machine m;
    m.registry.setDword("HKLM\\SOFTWARE\\Wow6432Node\\Vendor", "Bits", 32);
    m.registry.setDword("HKLM\\SOFTWARE\\Vendor", "Bits", 64);
    m.registry.setDword("HKLM\\SYSTEM\\CurrentControlSet\\Control", "Bits", 64);
    auto bits = [](const char* path, REGSAM sam) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, sam, &key) != ERROR_SUCCESS) return DWORD(0);
        DWORD value = 0, size = 4;
        RegQueryValueExA(key, "Bits", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
        RegCloseKey(key);
        return value;
    };
    EXPECT_EQ(bits("SOFTWARE\\Vendor", KEY_READ), 64u);
    EXPECT_EQ(bits("SOFTWARE\\Vendor", KEY_READ | KEY_WOW64_32KEY), 32u);

    m.system.process32 = true;
    EXPECT_EQ(bits("SOFTWARE\\Vendor", KEY_READ), 32u);
    EXPECT_EQ(bits("software\\wow6432node\\Vendor", KEY_READ), 32u);
    EXPECT_EQ(bits("SOFTWARE\\Vendor", KEY_READ | KEY_WOW64_64KEY), 64u);
    EXPECT_EQ(bits("SYSTEM\\CurrentControlSet\\Control", KEY_READ), 64u);

    // Keys opened below a redirected SOFTWARE handle stay in the 32-bit view.
    HKEY software = nullptr, vendor = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &software), ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyExA(software, "Vendor", 0, KEY_READ, &vendor), ERROR_SUCCESS);
    DWORD value = 0, size = 4;
    RegQueryValueExA(vendor, "Bits", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    EXPECT_EQ(value, 32u);
    RegCloseKey(vendor);
    RegCloseKey(software);
}

TEST(WinsimRegistry, CallsOutsideTheModelFailLoudly) {
    winsim::Machine m;
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", REG_OPTION_OPEN_LINK, KEY_READ, &key),
              ERROR_CALL_NOT_IMPLEMENTED);
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Linked", 0, nullptr, REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_CALL_NOT_IMPLEMENTED);
    const HKEY performanceData = reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(0x80000004)));
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(performanceData, "Global", nullptr, nullptr, nullptr, &size),
              ERROR_CALL_NOT_IMPLEMENTED);
    EXPECT_EQ(m.unimplemented.size(), 3u);
}
