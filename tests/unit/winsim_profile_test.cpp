// Profile files and the folder calls on the simulated machine: the cases the
// conformance tests cannot set up on a real PC (the Windows folder, code
// page 932, faults, unmodelled forms), and the list and write formats.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "winsim/machine.h"

namespace {

constexpr DWORD kSentinel = 0xdeadbeef;

class ProfileTest : public testing::Test {
protected:
    winsim::Machine m;
    char buf[64];

    std::string Get(const char* section, const char* key, const char* def, const char* file, DWORD size = 64) {
        std::memset(buf, 'x', sizeof buf);
        DWORD n = GetPrivateProfileStringA(section, key, def, buf, size, file);
        EXPECT_EQ(n, std::strlen(buf));
        return buf;
    }
};

TEST_F(ProfileTest, BareFileNameIsLookedUpInTheWindowsFolder) {
    m.files.writeFile("C:\\WINDOWS\\app.ini", "[s]\r\nk=windows\r\n");
    m.files.writeFile("C:\\app.ini", "[s]\r\nk=root\r\n");
    EXPECT_EQ(Get("s", "k", "d", "app.ini"), "windows");
    EXPECT_EQ(Get("s", "k", "d", "C:\\app.ini"), "root");
    m.files.currentDirectory = "C:\\";
    EXPECT_EQ(Get("s", "k", "d", ".\\app.ini"), "root");
    m.system.windowsDir = "C:\\Other";
    EXPECT_EQ(Get("s", "k", "d", "app.ini"), "d");
}

TEST_F(ProfileTest, ParsingFollowsTheIniRules) {
    m.files.writeFile("C:\\p.ini",
                      "k=before any section\r\n"
                      "  [ Main ]  \n"
                      "; comment=1\r"
                      "  Spaced Key   =   spaced value  \r\n"
                      "single='one'\r\n"
                      "odd=\"unbalanced\r\n"
                      "novalue\r\n"
                      "dup=first\r\n"
                      "dup=second\r\n"
                      "[Empty]\r\n"
                      "[Main2]\x1A\r\n");
    EXPECT_EQ(Get("main", "spaced key", "d", "C:\\p.ini"), "spaced value");
    EXPECT_EQ(Get("  MAIN ", " Spaced Key ", "d", "C:\\p.ini"), "spaced value");
    EXPECT_EQ(Get("Main", "single", "d", "C:\\p.ini"), "one");
    EXPECT_EQ(Get("Main", "odd", "d", "C:\\p.ini"), "\"unbalanced");
    EXPECT_EQ(Get("Main", "novalue", "d", "C:\\p.ini"), "d");
    EXPECT_EQ(Get("Main", "dup", "d", "C:\\p.ini"), "first");
    EXPECT_EQ(Get("Main", "k", "d", "C:\\p.ini"), "d");
    EXPECT_EQ(Get("Main2", "x", "'quoted default'  ", "C:\\p.ini"), "quoted default");
}

TEST_F(ProfileTest, ListsOfSectionsAndKeys) {
    m.files.writeFile("C:\\l.ini", "[section1]\r\nname1=val1\r\nname2=\r\nname3\r\nname4=a\r\n[section2]\r\n");
    DWORD n = GetPrivateProfileStringA(nullptr, "ignored", "d", buf, sizeof buf, "C:\\l.ini");
    EXPECT_EQ(n, 18u);
    EXPECT_EQ(std::memcmp(buf, "section1\0section2\0\0", 19), 0);
    n = GetPrivateProfileStringA("section1", nullptr, "d", buf, sizeof buf, "C:\\l.ini");
    EXPECT_EQ(n, 18u);
    EXPECT_EQ(std::memcmp(buf, "name1\0name2\0name4\0\0", 19), 0);
    // Too small: the last name that fits in part is cut, two NULs follow,
    // and the result is nSize - 2.
    n = GetPrivateProfileStringA(nullptr, "ignored", "d", buf, 16, "C:\\l.ini");
    EXPECT_EQ(n, 14u);
    EXPECT_EQ(std::memcmp(buf, "section1\0secti\0\0", 16), 0);
    n = GetPrivateProfileStringA("section1", nullptr, "d", buf, 16, "C:\\l.ini");
    EXPECT_EQ(n, 14u);
    EXPECT_EQ(std::memcmp(buf, "name1\0name2\0na\0\0", 16), 0);
    // A section without keys gives the default.
    EXPECT_EQ(Get("section2", nullptr, "d", "C:\\l.ini"), "d");
}

TEST_F(ProfileTest, MissingFileSectionOrKeyReportFileNotFound) {
    m.files.writeFile("C:\\e.ini", "[s]\r\nk=v\r\n");
    SetLastError(kSentinel);
    EXPECT_EQ(Get("s", "k", "d", "C:\\none.ini"), "d");
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
    SetLastError(kSentinel);
    EXPECT_EQ(Get("s", "other", "d", "C:\\e.ini"), "d");
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
    SetLastError(kSentinel);
    EXPECT_EQ(Get("s", "k", "d", "C:\\e.ini"), "v");
    EXPECT_EQ(GetLastError(), kSentinel);
}

TEST_F(ProfileTest, JapaneseTextIsReadInCodePage932) {
    m.system.acp = 932;
    // 表 and ソ end in 0x5C (a backslash), ゾ in 0x5D (']'): none of them
    // may be taken for a separator or the end of a section name.
    // The file holds its text in the code page, as on Japanese Windows.
    m.files.writeFile("C:\\表\\j.ini", "[\x83\x5D\x81\x5B\x83\x93]\r\n\x96\xBC\x91\x4F=\x83\x5C\x83\x74\x83\x67\r\n");
    const char* file = "C:\\\x95\x5C\\j.ini";
    const char* section = "\x83\x5D\x81\x5B\x83\x93";
    EXPECT_EQ(Get(section, "\x96\xBC\x91\x4F", "d", file), "\x83\x5C\x83\x74\x83\x67");
    DWORD n = GetPrivateProfileStringA(nullptr, nullptr, "d", buf, sizeof buf, file);
    EXPECT_EQ(n, 7u);
    EXPECT_STREQ(buf, section);
    // Truncation does not split a double-byte character.
    n = GetPrivateProfileStringA(section, "\x96\xBC\x91\x4F", "d", buf, 4, file);
    EXPECT_EQ(n, 2u);
    EXPECT_STREQ(buf, "\x83\x5C");
}

TEST_F(ProfileTest, ZeroSizeAndFaults) {
    m.files.writeFile("C:\\z.ini", "[s]\r\nk=v\r\n");
    std::strcpy(buf, "kept");
    EXPECT_EQ(GetPrivateProfileStringA("s", "k", "d", buf, 0, "C:\\z.ini"), 0u);
    EXPECT_STREQ(buf, "kept");
    m.faults.fail("GetPrivateProfileStringA", ERROR_ACCESS_DENIED);
    EXPECT_EQ(Get("s", "k", "dflt", "C:\\z.ini"), "dflt");
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    m.faults.fail("WritePrivateProfileStringA", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(WritePrivateProfileStringA("s", "k", "w", "C:\\z.ini"));
    EXPECT_EQ(m.files.read("C:\\z.ini").value_or(""), "[s]\r\nk=v\r\n");
}

TEST_F(ProfileTest, UnmodelledFormsFailLoudly) {
    m.files.writeFile("C:\\u.ini", std::string("\xFF\xFE[\0s\0]\0", 8));
    EXPECT_EQ(Get("s", "k", "d", "C:\\u.ini"), "d");
    EXPECT_EQ(Get("s", "k", "d", nullptr), "");
    EXPECT_EQ(m.unimplemented.size(), 2u);
    m.unimplemented.clear();
}

TEST_F(ProfileTest, WritingKeepsTheRestOfTheFile) {
    m.files.writeFile("C:\\w.ini", "; header\r\n[App1]\r\nkey1=string1\r\n\r\n[App2]\r\nkey4=string4\r\n");
    ASSERT_TRUE(WritePrivateProfileStringA("app1", "key2", "  string2", "C:\\w.ini"));
    ASSERT_TRUE(WritePrivateProfileStringA("App2", "KEY4", "new", "C:\\w.ini"));
    ASSERT_TRUE(WritePrivateProfileStringA("App3", "key5", "string5", "C:\\w.ini"));
    EXPECT_EQ(m.files.read("C:\\w.ini").value_or(""),
              "; header\r\n[App1]\r\nkey1=string1\r\nkey2=string2\r\n\r\n[App2]\r\nKEY4=new\r\n[App3]\r\nkey5=string5\r\n");
    ASSERT_TRUE(WritePrivateProfileStringA("App1", "key1", nullptr, "C:\\w.ini"));
    ASSERT_TRUE(WritePrivateProfileStringA("App2", nullptr, nullptr, "C:\\w.ini"));
    EXPECT_EQ(m.files.read("C:\\w.ini").value_or(""), "; header\r\n[App1]\r\nkey2=string2\r\n\r\n[App3]\r\nkey5=string5\r\n");
    ASSERT_TRUE(WritePrivateProfileStringA("New", "k", "v", "fresh.ini"));
    EXPECT_EQ(m.files.read("C:\\WINDOWS\\fresh.ini").value_or(""), "[New]\r\nk=v\r\n");
    m.files.setAttributes("C:\\w.ini", FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(WritePrivateProfileStringA("App1", "key2", "x", "C:\\w.ini"));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_FALSE(WritePrivateProfileStringA("App1", "key2", "x", "C:\\nofolder\\w.ini"));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
}

class FoldersTest : public testing::Test {
protected:
    winsim::Machine m;
};

TEST_F(FoldersTest, WindowsAndSystemFolderFollowTheMachine) {
    char buffer[MAX_PATH];
    EXPECT_EQ(GetWindowsDirectoryA(buffer, sizeof buffer), 10u);
    EXPECT_STREQ(buffer, "C:\\WINDOWS");
    EXPECT_EQ(GetSystemDirectoryA(buffer, sizeof buffer), 19u);
    EXPECT_STREQ(buffer, "C:\\WINDOWS\\system32");
    std::strcpy(buffer, "kept");
    EXPECT_EQ(GetSystemDirectoryA(buffer, 19), 20u);
    EXPECT_STREQ(buffer, "kept");
    m.system.acp = 932;
    m.system.windowsDir = "D:\\表";
    EXPECT_EQ(GetWindowsDirectoryA(buffer, sizeof buffer), 5u);
    EXPECT_STREQ(buffer, "D:\\\x95\x5C");
    m.faults.fail("GetWindowsDirectoryA", ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(GetWindowsDirectoryA(buffer, sizeof buffer), 0u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_ENOUGH_MEMORY);
}

TEST_F(FoldersTest, ModuleFileNameOfTheProgram) {
    char buffer[MAX_PATH];
    m.modules.programPath = "C:\\Program Files\\ソフト\\setup.exe";
    m.system.acp = 932;
    const std::string ansi = "C:\\Program Files\\\x83\x5C\x83\x74\x83\x67\\setup.exe";
    EXPECT_EQ(GetModuleFileNameA(nullptr, buffer, sizeof buffer), ansi.size());
    EXPECT_EQ(buffer, ansi);
    EXPECT_EQ(GetModuleFileNameA(m.modules.programInstance, buffer, sizeof buffer), ansi.size());
    // Too small: cut, terminated, nSize returned; a double-byte character
    // that does not fit whole is left out.
    SetLastError(kSentinel);
    EXPECT_EQ(GetModuleFileNameA(nullptr, buffer, 19), 19u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(std::string(buffer), ansi.substr(0, 17));
    SetLastError(kSentinel);
    EXPECT_EQ(GetModuleFileNameA(reinterpret_cast<HMODULE>(0x1234), buffer, sizeof buffer), 0u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_MOD_NOT_FOUND);
}

}  // namespace
