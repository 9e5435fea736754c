// The simulated file system: what the conformance tests cannot reach from
// Win32 (host mapping, seeding, files held by other programs, Japanese
// names in code page 932), and Windows' path and wildcard rules in detail.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "winsim/machine.h"

namespace {

// Shift-JIS (code page 932) bytes of 表 and ソ: both end in 0x5C, the
// backslash.
const char kHyouAnsi[] = "\x95\x5C";
const char kSoAnsi[] = "\x83\x5C";

constexpr DWORD kSentinel = 0xdeadbeef;
constexpr DWORD kInjected = 65;  // ERROR_NETWORK_ACCESS_DENIED

class FilesTest : public testing::Test {
protected:
    winsim::Machine m;

    std::vector<std::string> Find(const std::string& pattern) {
        std::vector<std::string> names;
        WIN32_FIND_DATAA data;
        HANDLE h = FindFirstFileA(pattern.c_str(), &data);
        if (h == INVALID_HANDLE_VALUE) return names;
        do names.push_back(data.cFileName);
        while (FindNextFileA(h, &data));
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_NO_MORE_FILES);
        FindClose(h);
        return names;
    }

    DWORD ErrorOf(BOOL result) {
        EXPECT_FALSE(result);
        return GetLastError();
    }
};

TEST_F(FilesTest, NewMachineHasTheWindowsFoldersAndTheProgramFolder) {
    for (const char* folder : {"C:\\WINDOWS", "C:\\WINDOWS\\INF", "C:\\WINDOWS\\system32", "C:\\WINDOWS\\system32\\drivers",
                               "C:\\ProgramData", "C:\\Program Files", "C:\\Program Files\\210QX\\USB"})
        EXPECT_TRUE(m.files.isDirectory(folder)) << folder;
    EXPECT_EQ(GetFileAttributesA("C:\\"), (DWORD)(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
}

TEST_F(FilesTest, HostFolderHoldsUtf8NamesAndGoesAwayWithTheMachine) {
    std::string root;
    {
        winsim::Machine other;
        root = other.files.hostRoot();
        other.files.writeFile("C:\\Daten\\Übersicht.txt", "inhalt");
        const std::string host = other.files.hostPath("C:\\daten\\ÜBERSICHT.TXT");
        EXPECT_EQ(host, root + "/C/Daten/Übersicht.txt");
        std::ifstream in(host);
        std::string content;
        std::getline(in, content);
        EXPECT_EQ(content, "inhalt");
    }
    EXPECT_FALSE(std::filesystem::exists(root));
}

TEST_F(FilesTest, SeedingCreatesParentsAndRefusesWhatCannotBePlaced) {
    m.files.writeFile("C:\\a\\b\\c.txt", "x");
    EXPECT_TRUE(m.files.isDirectory("C:\\A\\B"));
    EXPECT_EQ(m.files.read("c:/A/b/C.TXT").value_or(""), "x");
    EXPECT_THROW(m.files.writeFile("Q:\\x.txt", "x"), std::invalid_argument);
    EXPECT_THROW(m.files.createDirectory("C:\\a\\b\\c.txt\\d"), std::invalid_argument);
    EXPECT_THROW(m.files.writeFile("C:\\a\\b", "x"), std::invalid_argument);
    m.files.addDrive('d');
    m.files.writeFile("D:\\x.txt", "x");
    EXPECT_EQ(GetFileAttributesA("d:\\X.TXT"), (DWORD)FILE_ATTRIBUTE_ARCHIVE);
    m.files.remove("C:\\a");
    EXPECT_FALSE(m.files.exists("C:\\a\\b\\c.txt"));
}

TEST_F(FilesTest, NamesCompareWithoutCaseBeyondAscii) {
    m.files.writeFile("C:\\Données\\Résumé.TXT", "x");
    m.files.writeFile("C:\\ｆｕｌｌ\\ｗｉｄｔｈ.txt", "y");
    EXPECT_TRUE(m.files.exists("C:\\DONNÉES\\résumé.txt"));
    EXPECT_TRUE(m.files.exists("C:\\ＦＵＬＬ\\ＷＩＤＴＨ.TXT"));
    EXPECT_EQ(winsim::upperName("ßäöü ÿ"), "ßÄÖÜ Ÿ");
    EXPECT_EQ(m.files.resolve("c:\\données\\résumé.txt").canonical, "C:\\Données\\Résumé.TXT");
}

TEST_F(FilesTest, PathRulesOfRtlGetFullPathName) {
    m.files.writeFile("C:\\dir\\file.txt", "x");
    EXPECT_EQ(m.files.resolve("C:/dir//file.txt").canonical, "C:\\dir\\file.txt");
    EXPECT_EQ(m.files.resolve("C:\\dir\\.\\sub\\..\\file.txt").canonical, "C:\\dir\\file.txt");
    EXPECT_EQ(m.files.resolve("C:\\..\\..\\dir").canonical, "C:\\dir");
    // Every trailing dot and space of the last name goes; one dot of a folder name.
    EXPECT_TRUE(m.files.exists("C:\\dir\\file.txt. . "));
    EXPECT_TRUE(m.files.exists("C:\\dir.\\file.txt"));
    EXPECT_FALSE(m.files.exists("C:\\dir..\\file.txt"));
    EXPECT_FALSE(m.files.exists("C:\\dir \\file.txt"));
    // Relative paths start at the current directory, "\x" at its drive's root.
    m.files.currentDirectory = "C:\\dir";
    EXPECT_EQ(m.files.resolve("file.txt").canonical, "C:\\dir\\file.txt");
    EXPECT_EQ(m.files.resolve("C:file.txt").canonical, "C:\\dir\\file.txt");
    EXPECT_EQ(m.files.resolve("\\dir").canonical, "C:\\dir");
    char buffer[MAX_PATH];
    EXPECT_EQ(GetCurrentDirectoryA(sizeof buffer, buffer), 6u);
    EXPECT_STREQ(buffer, "C:\\dir");
    EXPECT_EQ(GetCurrentDirectoryA(6, buffer), 7u);
}

TEST_F(FilesTest, MissingFolderAndMissingFileAreToldApart) {
    m.files.writeFile("C:\\dir\\file.txt", "x");
    SetLastError(0);
    EXPECT_EQ(GetFileAttributesA("C:\\dir\\none.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetFileAttributesA("C:\\none\\file.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(GetFileAttributesA("C:\\dir\\file.txt\\x"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(GetFileAttributesA("Q:\\file.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(GetFileAttributesA("C:\\dir\\fi*.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_NAME);
    EXPECT_EQ(GetFileAttributesA(""), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
}

TEST_F(FilesTest, UnmodelledPathFormsFailLoudly) {
    EXPECT_EQ(GetFileAttributesA("\\\\server\\share\\x"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_CALL_NOT_IMPLEMENTED);
    EXPECT_EQ(m.unimplemented.size(), 1u);
}

// A 32-bit process on 64-bit Windows reaches SysWOW64 by the name System32,
// except in the subfolders Windows exempts, and the real System32 through
// Sysnative (Vista and later).
TEST_F(FilesTest, ThirtyTwoBitProcessesSeeSysWow64AsSystem32) {
    for (const char* file :
         {"SysWOW64\\only32", "system32\\only64", "system32\\catroot\\c", "system32\\catroot2\\c",
          "system32\\drivers\\etc\\hosts", "system32\\LogFiles\\l", "system32\\spool\\s",
          "system32\\DriverStore\\d", "LastGood\\SysWOW64\\lg", "SysWOW64\\regedit.exe"})
        m.files.writeFile(std::string("C:\\WINDOWS\\") + file, file);
    auto seen = [](const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; };
    const char* const redirected[] = {"C:\\WINDOWS\\System32\\only32", "C:\\windows\\system32\\..\\system32\\only32",
                                      "C:\\WINDOWS\\lastgood\\system32\\lg", "C:\\WINDOWS\\regedit.exe",
                                      "C:\\WINDOWS\\Sysnative\\only64"};
    const char* const exempt[] = {"C:\\WINDOWS\\system32\\CATROOT\\c", "C:\\WINDOWS\\system32\\catroot2\\c",
                                  "C:\\WINDOWS\\system32\\drivers\\etc\\hosts", "C:\\WINDOWS\\system32\\logfiles\\l",
                                  "C:\\WINDOWS\\system32\\spool\\s", "C:\\WINDOWS\\system32\\driverstore\\d"};
    for (const char* path : redirected) EXPECT_FALSE(seen(path)) << "64-bit process: " << path;
    for (const char* path : exempt) EXPECT_TRUE(seen(path)) << path;

    m.system.process32 = true;
    for (const char* path : redirected) EXPECT_TRUE(seen(path)) << "32-bit process: " << path;
    for (const char* path : exempt) EXPECT_TRUE(seen(path)) << path;
    EXPECT_FALSE(seen("C:\\WINDOWS\\system32\\only64"));
    EXPECT_EQ(Find("C:\\WINDOWS\\System32\\only*"), std::vector<std::string>{"only32"});
    ASSERT_TRUE(CreateDirectoryA("C:\\WINDOWS\\system32\\new", nullptr));
    EXPECT_TRUE(m.files.isDirectory("C:\\WINDOWS\\SysWOW64\\new"));

    // Vista redirected DriverStore too; XP x64 and Server 2003 had no Sysnative.
    m.system.setVista();
    EXPECT_FALSE(seen("C:\\WINDOWS\\system32\\driverstore\\d"));
    m.system.setServer2003();
    EXPECT_FALSE(seen("C:\\WINDOWS\\Sysnative\\only64"));
    // 32-bit Windows has one System32.
    m.system.setXp();
    EXPECT_TRUE(seen("C:\\WINDOWS\\system32\\only64"));
}

TEST_F(FilesTest, AttributesLiveInTheSideTable) {
    m.files.writeFile("C:\\f.txt", "x");
    m.files.setAttributes("C:\\f.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(m.files.attributes("C:\\F.TXT"), (DWORD)(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_TRUE(SetFileAttributesA("C:\\f.txt", 0));
    EXPECT_EQ(GetFileAttributesA("C:\\f.txt"), (DWORD)FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(SetFileAttributesA("C:\\WINDOWS", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(GetFileAttributesA("C:\\windows"), (DWORD)(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY));
    // A file deleted and created again starts over with the archive bit.
    m.files.setAttributes("C:\\f.txt", FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(DeleteFileA("C:\\f.txt"));
    m.files.writeFile("C:\\f.txt", "y");
    EXPECT_EQ(GetFileAttributesA("C:\\f.txt"), (DWORD)FILE_ATTRIBUTE_ARCHIVE);
}

TEST_F(FilesTest, FilesOfOtherProgramsCanBeReadButNotDeletedOrReplaced) {
    m.files.writeFile("C:\\WINDOWS\\system32\\drivers\\x.sys", "driver");
    m.files.setInUse("C:\\WINDOWS\\system32\\drivers\\x.sys");
    EXPECT_TRUE(m.files.isInUse("c:\\windows\\SYSTEM32\\drivers\\X.SYS"));
    EXPECT_EQ(ErrorOf(DeleteFileA("C:\\WINDOWS\\system32\\drivers\\x.sys")), (DWORD)ERROR_SHARING_VIOLATION);
    EXPECT_TRUE(CopyFileA("C:\\WINDOWS\\system32\\drivers\\x.sys", "C:\\copy.sys", FALSE));
    EXPECT_EQ(ErrorOf(CopyFileA("C:\\copy.sys", "C:\\WINDOWS\\system32\\drivers\\x.sys", FALSE)),
              (DWORD)ERROR_SHARING_VIOLATION);
    EXPECT_TRUE(SetFileAttributesA("C:\\WINDOWS\\system32\\drivers\\x.sys", FILE_ATTRIBUTE_NORMAL));
    HANDLE h = CreateFileA("C:\\WINDOWS\\system32\\drivers\\x.sys", GENERIC_READ, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    // Reading without sharing read access conflicts with the other program.
    SetLastError(0);
    EXPECT_EQ(CreateFileA("C:\\WINDOWS\\system32\\drivers\\x.sys", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
    m.files.setInUse("C:\\WINDOWS\\system32\\drivers\\x.sys", false);
    EXPECT_TRUE(DeleteFileA("C:\\WINDOWS\\system32\\drivers\\x.sys"));
}

TEST_F(FilesTest, HandlesOfThisProcessFollowTheSharingRules) {
    HANDLE h = CreateFileA("C:\\log.txt", GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ErrorOf(DeleteFileA("C:\\log.txt")), (DWORD)ERROR_SHARING_VIOLATION);
    EXPECT_EQ(CreateFileA("C:\\log.txt", GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
    HANDLE reader = CreateFileA("C:\\log.txt", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(h, "abc", 3, &written, nullptr));
    char buffer[8] = {};
    DWORD read = 0;
    ASSERT_TRUE(ReadFile(reader, buffer, sizeof buffer, &read, nullptr));
    EXPECT_EQ(std::string(buffer, read), "abc");
    EXPECT_EQ(ErrorOf(ReadFile(h, buffer, 1, &read, nullptr)), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_TRUE(CloseHandle(reader));
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_TRUE(DeleteFileA("C:\\log.txt"));
    EXPECT_EQ(m.handles.openCount(), 0u);
}

TEST_F(FilesTest, CreateFileReportsWhetherTheFileWasThere) {
    SetLastError(kSentinel);
    HANDLE h = CreateFileA("C:\\new.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);
    CloseHandle(h);
    h = CreateFileA("C:\\new.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
    CloseHandle(h);
    m.files.setAttributes("C:\\new.txt", FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(CreateFileA("C:\\new.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    // OPEN_ALWAYS opens what is there (hidden or not) and says so.
    SetLastError(kSentinel);
    h = CreateFileA("C:\\new.txt", GENERIC_READ, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
    CloseHandle(h);
    EXPECT_EQ(CreateFileA("C:\\new.txt", GENERIC_READ, 0, nullptr, TRUNCATE_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_CALL_NOT_IMPLEMENTED);
    m.unimplemented.clear();
}

TEST_F(FilesTest, DirectoryRemovalRules) {
    m.files.writeFile("C:\\full\\x.txt", "x");
    m.files.createDirectory("C:\\empty");
    EXPECT_EQ(ErrorOf(RemoveDirectoryA("C:\\full")), (DWORD)ERROR_DIR_NOT_EMPTY);
    EXPECT_EQ(ErrorOf(RemoveDirectoryA("C:\\full\\x.txt")), (DWORD)ERROR_DIRECTORY);
    EXPECT_EQ(ErrorOf(RemoveDirectoryA("C:\\missing")), (DWORD)ERROR_FILE_NOT_FOUND);
    m.files.currentDirectory = "C:\\empty";
    EXPECT_EQ(ErrorOf(RemoveDirectoryA("C:\\empty")), (DWORD)ERROR_SHARING_VIOLATION);
    m.files.currentDirectory = "C:\\";
    m.files.setAttributes("C:\\empty", FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(ErrorOf(RemoveDirectoryA("C:\\empty")), (DWORD)ERROR_ACCESS_DENIED);
    m.files.setAttributes("C:\\empty", FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(RemoveDirectoryA("C:\\EMPTY"));
    EXPECT_FALSE(m.files.exists("C:\\empty"));
}

TEST_F(FilesTest, CopyKeepsAttributesAndSetsArchive) {
    m.files.writeFile("C:\\src.txt", "data");
    m.files.setAttributes("C:\\src.txt", FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(CopyFileA("C:\\src.txt", "C:\\dst.txt", TRUE));
    EXPECT_EQ(m.files.attributes("C:\\dst.txt"), (DWORD)(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(m.files.read("C:\\dst.txt").value_or(""), "data");
    EXPECT_EQ(ErrorOf(CopyFileA("C:\\src.txt", "C:\\dst.txt", FALSE)), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_EQ(ErrorOf(CopyFileA("C:\\nosrc.txt", "C:\\x.txt", FALSE)), (DWORD)ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(ErrorOf(CopyFileA("C:\\src.txt", "C:\\nodir\\x.txt", FALSE)), (DWORD)ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(ErrorOf(CopyFileA("C:\\WINDOWS", "C:\\x.txt", FALSE)), (DWORD)ERROR_ACCESS_DENIED);
    m.files.setAttributes("C:\\dst.txt", FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ErrorOf(CopyFileA("C:\\dst.txt", "c:\\DST.TXT", FALSE)), (DWORD)ERROR_SHARING_VIOLATION);
}

TEST_F(FilesTest, LongPathsFailAsTheAnsiFunctionsDo) {
    const std::string longName = "C:\\" + std::string(300, 'a');
    EXPECT_EQ(GetFileAttributesA(longName.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILENAME_EXCED_RANGE);
    // A folder path leaves room for an 8.3 name: 247 characters at most.
    const std::string folder247 = "C:\\" + std::string(200, 'b') + "\\" + std::string(43, 'c');
    ASSERT_EQ(folder247.size(), 247u);
    m.files.createDirectory("C:\\" + std::string(200, 'b'));
    EXPECT_TRUE(CreateDirectoryA(folder247.c_str(), nullptr));
    const std::string folder248 = folder247.substr(0, 246) + "dd";
    EXPECT_EQ(ErrorOf(CreateDirectoryA(folder248.c_str(), nullptr)), (DWORD)ERROR_FILENAME_EXCED_RANGE);
    // A name is at most 255 characters.
    const std::string name256 = "C:\\" + std::string(256, 'e');
    EXPECT_EQ(ErrorOf(CreateDirectoryA(name256.c_str(), nullptr)), (DWORD)ERROR_INVALID_NAME);
}

TEST_F(FilesTest, WildcardsFollowTheDosRewriting) {
    for (const char* name : {"oem1.inf", "oem10.inf", "oem1.inf.bak", "noext", "a.b.c", "x.info"})
        m.files.writeFile(std::string("C:\\w\\") + name, "");
    EXPECT_EQ(Find("C:\\w\\oem*.inf"), (std::vector<std::string>{"oem1.inf", "oem10.inf"}));
    EXPECT_EQ(Find("C:\\w\\*."), (std::vector<std::string>{".", "..", "noext"}));
    EXPECT_EQ(Find("C:\\w\\*.*").size(), 8u);
    EXPECT_EQ(Find("C:\\w\\oem?.inf"), (std::vector<std::string>{"oem1.inf"}));
    EXPECT_EQ(Find("C:\\w\\noext?"), (std::vector<std::string>{"noext"}));
    EXPECT_EQ(Find("C:\\w\\*.c"), (std::vector<std::string>{"a.b.c"}));
    EXPECT_EQ(Find("C:\\w\\x.inf*"), (std::vector<std::string>{"x.info"}));
    EXPECT_TRUE(winsim::matchesFindPattern("a.b", "a.*", false));
    EXPECT_TRUE(winsim::matchesFindPattern("a", "a.*", false));
    EXPECT_TRUE(winsim::matchesFindPattern("ab.c", "a?.?", false));
    EXPECT_TRUE(winsim::matchesFindPattern("a.c", "a?.?", false));
    EXPECT_FALSE(winsim::matchesFindPattern("abc.c", "a?.?", false));
    // "*." is DOS_STAR, which never takes a name's last dot.
    EXPECT_FALSE(winsim::matchesFindPattern("a.b", "*", true));
    EXPECT_TRUE(winsim::matchesFindPattern("a.b.c", "*.*.*", false));
    EXPECT_TRUE(winsim::matchesFindPattern("x.y.a", "*.a", false));
}

TEST_F(FilesTest, ShortNamesAreMadeAsNtfsMakesThem) {
    const char* const names[] = {"Program Files Old", "LongFileName.txt", "LongFileName2.txt", "LongFileName3.txt",
                                 "LongFileName4.txt", "LongFileName5.txt", "a+b c.inf_old", ".htaccess", "oem1.inf",
                                 "OEM2.INF"};
    for (const char* name : names) m.files.writeFile(std::string("C:\\n\\") + name, "");
    std::map<std::string, std::string> shortNames;
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA("C:\\n\\*", &data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    do shortNames[data.cFileName] = data.cAlternateFileName;
    while (FindNextFileA(h, &data));
    FindClose(h);
    EXPECT_EQ(shortNames["Program Files Old"], "PROGRA~1");
    EXPECT_EQ(shortNames["LongFileName.txt"], "LONGFI~1.TXT");
    EXPECT_EQ(shortNames["LongFileName4.txt"], "LONGFI~4.TXT");
    // From the fifth clash on: two characters, four hexadecimal digits.
    const std::string fifth = shortNames["LongFileName5.txt"];
    EXPECT_EQ(fifth.size(), 12u);
    EXPECT_EQ(fifth.substr(0, 2) + fifth.substr(6), "LO~1.TXT") << fifth;
    EXPECT_EQ(shortNames["a+b c.inf_old"], "A_BC~1.INF");
    EXPECT_EQ(shortNames[".htaccess"], "HTACCE~1");
    EXPECT_EQ(shortNames["oem1.inf"], "");
    EXPECT_EQ(shortNames["OEM2.INF"], "");
    // The short name opens the file, and stays with it.
    EXPECT_EQ(GetFileAttributesA("C:\\n\\progra~1"), (DWORD)FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(Find("C:\\n\\A_BC~1.INF"), (std::vector<std::string>{"a+b c.inf_old"}));
    ASSERT_TRUE(DeleteFileA("C:\\n\\LongFileName.txt"));
    m.files.writeFile("C:\\n\\LongFileName6.txt", "");
    EXPECT_EQ(Find("C:\\n\\LONGFI~1.TXT"), (std::vector<std::string>{"LongFileName6.txt"}));
    EXPECT_EQ(Find("C:\\n\\LONGFI~2.TXT"), (std::vector<std::string>{"LongFileName2.txt"}));
}

TEST_F(FilesTest, FindOrderIsNtfsOrderOfUpperCasedNames) {
    for (const char* name : {"b", "A", "_x", "a1", "Z", "~t", "é"}) m.files.writeFile(std::string("C:\\o\\") + name, "");
    // Upper-cased: "A" "A1" "B" "Z" "_X" (0x5F) "~T" (0x7E) "É" (0xC9).
    EXPECT_EQ(m.files.list("C:\\o"), (std::vector<std::string>{"A", "a1", "b", "Z", "_x", "~t", "é"}));
    // The root has no "." and "..".
    std::vector<std::string> root = Find("C:\\*");
    ASSERT_FALSE(root.empty());
    EXPECT_NE(root[0], ".");
}

TEST_F(FilesTest, SearchIsASnapshotOfTheFolder) {
    for (const char* name : {"a.inf", "b.inf", "c.inf"}) m.files.writeFile(std::string("C:\\s\\") + name, "");
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA("C:\\s\\*.inf", &data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(data.cFileName, "a.inf");
    EXPECT_TRUE(DeleteFileA("C:\\s\\c.inf"));
    m.files.writeFile("C:\\s\\d.inf", "");
    ASSERT_TRUE(FindNextFileA(h, &data));
    EXPECT_STREQ(data.cFileName, "b.inf");
    ASSERT_TRUE(FindNextFileA(h, &data));
    EXPECT_STREQ(data.cFileName, "c.inf");
    EXPECT_FALSE(FindNextFileA(h, &data));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NO_MORE_FILES);
    EXPECT_EQ(m.handles.openCount(winsim::HandleKind::FindSearch), 1u);
    EXPECT_TRUE(FindClose(h));
    EXPECT_EQ(m.handles.openCount(winsim::HandleKind::FindSearch), 0u);
    EXPECT_EQ(ErrorOf(FindClose(h)), (DWORD)ERROR_INVALID_HANDLE);
}

TEST_F(FilesTest, FindReportsSizeAndAttributes) {
    m.files.writeFile("C:\\r\\f.bin", std::string(1234, 'x'));
    m.files.setAttributes("C:\\r\\f.bin", FILE_ATTRIBUTE_READONLY);
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA("C:\\r\\F.BIN", &data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(data.cFileName, "f.bin");
    EXPECT_EQ(data.nFileSizeLow, 1234u);
    EXPECT_EQ(data.dwFileAttributes, (DWORD)FILE_ATTRIBUTE_READONLY);
    EXPECT_NE(data.ftLastWriteTime.dwHighDateTime, 0u);
    FindClose(h);
    // The folder part decides first: missing, a file, or there but with no
    // name to look for.
    SetLastError(0);
    EXPECT_EQ(FindFirstFileA("C:\\r\\", &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(FindFirstFileA("C:\\none\\", &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(FindFirstFileA("C:\\r\\f.bin\\*", &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_DIRECTORY);
    EXPECT_EQ(FindFirstFileA("C:\\none\\deeper\\*", &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(FindFirstFileA("C:\\", &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
}

TEST_F(FilesTest, FaultsFailEachCallTheWayItFails) {
    m.files.writeFile("C:\\f.txt", "x");
    m.faults.fail("DeleteFileA", ERROR_ACCESS_DENIED);
    m.faults.fail("FindFirstFileA", ERROR_NOT_ENOUGH_MEMORY);
    m.faults.fail("GetFileAttributesA", kInjected);
    EXPECT_EQ(ErrorOf(DeleteFileA("C:\\f.txt")), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_TRUE(m.files.exists("C:\\f.txt"));
    WIN32_FIND_DATAA data;
    EXPECT_EQ(FindFirstFileA("C:\\*", &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(GetFileAttributesA("C:\\f.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), kInjected);
}

class JapaneseFilesTest : public FilesTest {
protected:
    void SetUp() override { m.system.acp = 932; }
};

TEST_F(JapaneseFilesTest, TrailByte5CIsNotASeparator) {
    m.files.createDirectory("C:\\表\\USB");
    m.files.writeFile("C:\\ソ\\setup.ini", "[s]\r\n");
    const std::string folder = std::string("C:\\") + kHyouAnsi + "\\USB\\";
    EXPECT_EQ(GetFileAttributesA(folder.c_str()), (DWORD)FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(m.files.resolve("C:\\表\\USB\\").canonical, "C:\\表\\USB");
    const std::string file = std::string("C:\\") + kSoAnsi + "\\SETUP.INI";
    EXPECT_EQ(GetFileAttributesA(file.c_str()), (DWORD)FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(Find(std::string("C:\\") + kHyouAnsi + "\\*"), (std::vector<std::string>{".", "..", "USB"}));
    EXPECT_EQ(Find("C:\\*" + std::string(kSoAnsi)), (std::vector<std::string>{kSoAnsi}));
    EXPECT_TRUE(CreateDirectoryA((folder + kSoAnsi).c_str(), nullptr));
    EXPECT_TRUE(m.files.isDirectory("C:\\表\\USB\\ソ"));
}

TEST_F(JapaneseFilesTest, NamesComeBackInTheCodePage) {
    m.files.writeFile("C:\\データ\\ファイル.txt", "");
    m.files.writeFile("C:\\データ\\Ωmega.txt", "");
    std::vector<std::string> names = Find("C:\\\x83\x66\x81\x5B\x83\x5E\\*.txt");
    ASSERT_EQ(names.size(), 2u);
    // Ω is in code page 932; the list is in NTFS order (U+03A9 before U+30D5).
    EXPECT_EQ(names[0], "\x83\xB6mega.txt");
    EXPECT_EQ(names[1], "\x83\x74\x83\x40\x83\x43\x83\x8B.txt");
}

}  // namespace
