// How Windows reports the file calls the product relies on: attributes,
// searches with wildcards, deletion of read-only files, copies, folders.
#include <algorithm>
#include <map>
#include <utility>
#include <string>
#include <vector>

#include "conformance.h"

namespace {

void WriteTestFile(const std::string& path, const std::string& content) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << path << " error " << GetLastError();
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(h, content.data(), (DWORD)content.size(), &written, nullptr));
    EXPECT_EQ(written, (DWORD)content.size());
    EXPECT_TRUE(CloseHandle(h));
}

std::string ReadTestFile(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "<missing>";
    std::string content(GetFileSize(h, nullptr), '\0');
    DWORD read = 0;
    if (!content.empty()) {
        EXPECT_TRUE(ReadFile(h, &content[0], (DWORD)content.size(), &read, nullptr));
    }
    CloseHandle(h);
    return content.substr(0, read);
}

// Every name a search returns, in the order it returns them.
std::vector<std::string> FindAll(const std::string& pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA(pattern.c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return names;
    do names.push_back(data.cFileName);
    while (FindNextFileA(h, &data));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NO_MORE_FILES);
    EXPECT_TRUE(FindClose(h));
    return names;
}

}  // namespace

TEST(FileAttributes, NewFileIsArchiveAndNormalClearsIt) {
    const std::string file = conformance::TestFolder() + "\\new.txt";
    WriteTestFile(file, "x");
    EXPECT_EQ(GetFileAttributesA(file.c_str()), (DWORD)FILE_ATTRIBUTE_ARCHIVE);
    ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL));
    const DWORD normal = GetFileAttributesA(file.c_str());
    // Wine keeps the archive bit on every file.
    EXPECT_WINDOWS_OR_WINE(normal == FILE_ATTRIBUTE_NORMAL,
                           normal == FILE_ATTRIBUTE_NORMAL || normal == FILE_ATTRIBUTE_ARCHIVE);
    ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(GetFileAttributesA(file.c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
              (DWORD)(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetFileAttributesA(conformance::TestFolder().c_str()) & FILE_ATTRIBUTE_DIRECTORY,
              (DWORD)FILE_ATTRIBUTE_DIRECTORY);
}

TEST(FileAttributes, MissingFileAndMissingFolderAreToldApart) {
    const std::string folder = conformance::TestFolder();
    SetLastError(kSentinelError);
    EXPECT_EQ(GetFileAttributesA((folder + "\\none.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
    SetLastError(kSentinelError);
    EXPECT_EQ(GetFileAttributesA((folder + "\\none\\file.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
    SetLastError(kSentinelError);
    EXPECT_EQ(SetFileAttributesA((folder + "\\none.txt").c_str(), FILE_ATTRIBUTE_NORMAL), FALSE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
}

TEST(FileAttributes, NamesIgnoreCaseSlashesAndTrailingDots) {
    const std::string folder = conformance::TestFolder();
    WriteTestFile(folder + "\\MixedCase.Txt", "x");
    EXPECT_NE(GetFileAttributesA((folder + "\\mixedcase.TXT").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(GetFileAttributesA((folder + "/MIXEDCASE.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(GetFileAttributesA((folder + "\\\\.\\MixedCase.Txt..").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(GetFileAttributesA((folder + "\\sub\\..\\MixedCase.Txt").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(FileAttributes, PathLongerThanMaxPathIsRefused) {
    const std::string path = conformance::TestFolder() + "\\" + std::string(300, 'a');
    SetLastError(kSentinelError);
    EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILENAME_EXCED_RANGE);
}

TEST(FileSearch, MissingFolderIsPathNotFound) {
    WIN32_FIND_DATAA data;
    SetLastError(kSentinelError);
    EXPECT_EQ(FindFirstFileA((conformance::TestFolder() + "\\none\\*.inf").c_str(), &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
}

TEST(FileSearch, NoMatchInAnExistingFolderIsFileNotFound) {
    const std::string folder = conformance::TestFolder();
    WriteTestFile(folder + "\\setup.inf", "");
    WIN32_FIND_DATAA data;
    SetLastError(kSentinelError);
    EXPECT_EQ(FindFirstFileA((folder + "\\oem*.inf").c_str(), &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
}

TEST(FileSearch, OemPatternMatchesOnlyOemInfFiles) {
    const std::string folder = conformance::TestFolder();
    for (const char* name : {"oem2.inf", "OEM10.INF", "oem1.inf", "oem1.pnf", "xoem3.inf", "oem4.inf.bak", "machine.inf"})
        WriteTestFile(folder + "\\" + name, "");
    std::vector<std::string> names = FindAll(folder + "\\oem*.inf");
    const std::vector<std::string> expected = {"oem1.inf", "OEM10.INF", "oem2.inf"};
    // NTFS returns names sorted by their upper-case form; Wine returns them
    // in the host file system's order.
    EXPECT_WINDOWS_OR_WINE(names == expected, std::is_permutation(names.begin(), names.end(), expected.begin(),
                                                                  expected.end()));
}

TEST(FileSearch, StarListsDotEntriesFirstAndEndsWithNoMoreFiles) {
    const std::string folder = conformance::TestFolder();
    WriteTestFile(folder + "\\b.txt", "12345");
    ASSERT_TRUE(CreateDirectoryA((folder + "\\a").c_str(), nullptr));
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(data.cFileName, ".");
    EXPECT_NE(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
    ASSERT_TRUE(FindNextFileA(h, &data));
    EXPECT_STREQ(data.cFileName, "..");
    std::vector<std::string> rest;
    while (FindNextFileA(h, &data)) {
        rest.push_back(data.cFileName);
        if (rest.back() == "b.txt") {
            EXPECT_EQ(data.nFileSizeLow, 5u);
            EXPECT_EQ(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
        }
    }
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NO_MORE_FILES);
    SetLastError(kSentinelError);
    EXPECT_FALSE(FindNextFileA(h, &data));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NO_MORE_FILES);
    EXPECT_TRUE(FindClose(h));
    std::sort(rest.begin(), rest.end());
    EXPECT_EQ(rest, (std::vector<std::string>{"a", "b.txt"}));
}

TEST(FileSearch, StarDotStarMatchesNamesWithoutDot) {
    const std::string folder = conformance::TestFolder();
    WriteTestFile(folder + "\\noext", "");
    WriteTestFile(folder + "\\with.ext", "");
    std::vector<std::string> all = FindAll(folder + "\\*.*");
    std::sort(all.begin(), all.end());
    EXPECT_EQ(all, (std::vector<std::string>{".", "..", "noext", "with.ext"}));
    std::vector<std::string> single = FindAll(folder + "\\with.ex?");
    EXPECT_EQ(single, (std::vector<std::string>{"with.ext"}));
}

TEST(FileSearchClose, BadHandleIsInvalidHandle) {
    SetLastError(kSentinelError);
    EXPECT_FALSE(FindClose(INVALID_HANDLE_VALUE));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
}

TEST(FileDeletion, ReadOnlyFileIsAccessDeniedUntilMadeNormal) {
    const std::string file = conformance::TestFolder() + "\\readonly.sys";
    WriteTestFile(file, "driver");
    ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY));
    SetLastError(kSentinelError);
    EXPECT_FALSE(DeleteFileA(file.c_str()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_NE(GetFileAttributesA(file.c_str()), INVALID_FILE_ATTRIBUTES);
    ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(DeleteFileA(file.c_str()));
    EXPECT_EQ(GetFileAttributesA(file.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(FileDeletion, MissingFileFolderAndFolderTarget) {
    const std::string folder = conformance::TestFolder();
    SetLastError(kSentinelError);
    EXPECT_FALSE(DeleteFileA((folder + "\\none.txt").c_str()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
    SetLastError(kSentinelError);
    EXPECT_FALSE(DeleteFileA((folder + "\\none\\x.txt").c_str()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
    ASSERT_TRUE(CreateDirectoryA((folder + "\\sub").c_str(), nullptr));
    SetLastError(kSentinelError);
    EXPECT_FALSE(DeleteFileA((folder + "\\sub").c_str()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
}

TEST(FileDeletion, OpenFileWithoutDeleteSharingIsSharingViolation) {
    const std::string file = conformance::TestFolder() + "\\open.txt";
    HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    SetLastError(kSentinelError);
    EXPECT_FALSE(DeleteFileA(file.c_str()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_TRUE(DeleteFileA(file.c_str()));
}

TEST(FolderCreation, ExistingFileOrFolderIsAlreadyExists) {
    const std::string folder = conformance::TestFolder();
    WriteTestFile(folder + "\\file", "");
    SetLastError(kSentinelError);
    EXPECT_FALSE(CreateDirectoryA((folder + "\\file").c_str(), nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
    ASSERT_TRUE(CreateDirectoryA((folder + "\\dir").c_str(), nullptr));
    SetLastError(kSentinelError);
    EXPECT_FALSE(CreateDirectoryA((folder + "\\DIR\\").c_str(), nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
    SetLastError(kSentinelError);
    EXPECT_FALSE(CreateDirectoryA((folder + "\\none\\dir").c_str(), nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
}

TEST(FolderRemoval, NotEmptyThenRemoved) {
    const std::string dir = conformance::TestFolder() + "\\dir";
    ASSERT_TRUE(CreateDirectoryA(dir.c_str(), nullptr));
    WriteTestFile(dir + "\\x.txt", "x");
    SetLastError(kSentinelError);
    EXPECT_FALSE(RemoveDirectoryA(dir.c_str()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_DIR_NOT_EMPTY);
    ASSERT_TRUE(DeleteFileA((dir + "\\x.txt").c_str()));
    EXPECT_TRUE(RemoveDirectoryA(dir.c_str()));
    SetLastError(kSentinelError);
    EXPECT_FALSE(RemoveDirectoryA(dir.c_str()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
}

TEST(FileCopy, FailIfExistsRefusesTheSecondCopy) {
    const std::string folder = conformance::TestFolder();
    WriteTestFile(folder + "\\src.inf", "[Version]");
    ASSERT_TRUE(CopyFileA((folder + "\\src.inf").c_str(), (folder + "\\dst.inf").c_str(), TRUE));
    EXPECT_EQ(ReadTestFile(folder + "\\dst.inf"), "[Version]");
    SetLastError(kSentinelError);
    EXPECT_FALSE(CopyFileA((folder + "\\src.inf").c_str(), (folder + "\\dst.inf").c_str(), TRUE));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_EXISTS);
    WriteTestFile(folder + "\\src.inf", "[Strings]");
    EXPECT_TRUE(CopyFileA((folder + "\\src.inf").c_str(), (folder + "\\dst.inf").c_str(), FALSE));
    EXPECT_EQ(ReadTestFile(folder + "\\dst.inf"), "[Strings]");
}

TEST(FileCopy, MissingSourceAndReadOnlyTarget) {
    const std::string folder = conformance::TestFolder();
    SetLastError(kSentinelError);
    EXPECT_FALSE(CopyFileA((folder + "\\none.inf").c_str(), (folder + "\\dst.inf").c_str(), FALSE));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
    WriteTestFile(folder + "\\src.inf", "new");
    ASSERT_TRUE(SetFileAttributesA((folder + "\\src.inf").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(CopyFileA((folder + "\\src.inf").c_str(), (folder + "\\dst.inf").c_str(), FALSE));
    // The copy carries the read-only attribute over, so a second copy
    // cannot replace it (Wine replaces it).
    EXPECT_NE(GetFileAttributesA((folder + "\\dst.inf").c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    SetLastError(kSentinelError);
    BOOL copied = CopyFileA((folder + "\\src.inf").c_str(), (folder + "\\dst.inf").c_str(), FALSE);
    DWORD error = GetLastError();
    EXPECT_WINDOWS_OR_WINE(!copied && error == ERROR_ACCESS_DENIED, copied);
    EXPECT_TRUE(SetFileAttributesA((folder + "\\src.inf").c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(SetFileAttributesA((folder + "\\dst.inf").c_str(), FILE_ATTRIBUTE_NORMAL));
    // A hidden target is refused the same way.
    ASSERT_TRUE(SetFileAttributesA((folder + "\\dst.inf").c_str(), FILE_ATTRIBUTE_HIDDEN));
    SetLastError(kSentinelError);
    copied = CopyFileA((folder + "\\src.inf").c_str(), (folder + "\\dst.inf").c_str(), FALSE);
    error = GetLastError();
    EXPECT_WINDOWS_OR_WINE(!copied && error == ERROR_ACCESS_DENIED, copied || error == ERROR_ACCESS_DENIED);
    EXPECT_TRUE(SetFileAttributesA((folder + "\\dst.inf").c_str(), FILE_ATTRIBUTE_NORMAL));
}

TEST(FileCreation, CreateAlwaysReportsAnExistingFile) {
    const std::string file = conformance::TestFolder() + "\\c.txt";
    SetLastError(kSentinelError);
    HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);
    EXPECT_TRUE(CloseHandle(h));
    h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(CloseHandle(h));
    SetLastError(kSentinelError);
    EXPECT_EQ(CreateFileA((file + "x").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
}

// On Japanese Windows (code page 932) the second byte of 表 and of ソ is
// 0x5C, the backslash; paths that hold them still split only at real
// separators.
TEST(FileNamesInCodePage932, TrailByte5CIsNotASeparator) {
    if (GetACP() != 932) GTEST_SKIP() << "needs code page 932";
    const std::string folder = conformance::TestFolder() + "\\\x95\x5C";  // 表
    if (!CreateDirectoryA(folder.c_str(), nullptr)) {
        // Wine stores names in the host's locale; where the Japanese locale
        // it runs under is not installed, it cannot create non-ASCII names.
        if (conformance::RunningOnWine()) GTEST_SKIP() << "Wine cannot create the name here: " << GetLastError();
        FAIL() << "CreateDirectoryA: " << GetLastError();
    }
    ASSERT_TRUE(CreateDirectoryA((folder + "\\USB\\").c_str(), nullptr)) << GetLastError();
    EXPECT_EQ(GetFileAttributesA((folder + "\\USB\\").c_str()), (DWORD)FILE_ATTRIBUTE_DIRECTORY);
    WriteTestFile(folder + "\\USB\\\x83\x5C.ini", "[s]\r\nk=v\r\n");  // ソ.ini
    EXPECT_EQ(FindAll(folder + "\\USB\\*.ini"), (std::vector<std::string>{"\x83\x5C.ini"}));
    EXPECT_EQ(FindAll(folder + "\\*"), (std::vector<std::string>{".", "..", "USB"}));
    char value[8];
    EXPECT_EQ(GetPrivateProfileStringA("s", "k", "", value, sizeof value, (folder + "\\USB\\\x83\x5C.ini").c_str()), 1u);
    EXPECT_STREQ(value, "v");
}

namespace {

// Every long name a search returns, with its short name, in search order.
std::vector<std::pair<std::string, std::string>> FindWithShortNames(const std::string& pattern) {
    std::vector<std::pair<std::string, std::string>> found;
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA(pattern.c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return found;
    do found.emplace_back(data.cFileName, data.cAlternateFileName);
    while (FindNextFileA(h, &data));
    EXPECT_TRUE(FindClose(h));
    return found;
}

std::vector<std::string> Sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

// NTFS gives a name that is not a valid 8.3 name a short name, and a search
// pattern matches either: "oem*.inf" lists "oem1.inf_old" (OEM1~1.INF).
// Wine makes up short names of its own form (a hash after the '~').
TEST(FileSearch, ShortNamesAreGivenAndMatched) {
    const std::string folder = conformance::TestFolder();
    for (const char* name : {"oem1.inf", "oem1.inf_old", "LongFileName.txt", "LongFileNameTwo.txt"})
        WriteTestFile(folder + "\\" + name, "");
    const auto all = FindWithShortNames(folder + "\\*");
    std::map<std::string, std::string> shortNames(all.begin(), all.end());
    EXPECT_EQ(shortNames["oem1.inf"], "");
    EXPECT_EQ(shortNames["."], "");
    if (conformance::RunningOnWine()) {
        EXPECT_NE(shortNames["oem1.inf_old"], "") << "(Wine)";
    } else {
        EXPECT_EQ(shortNames["oem1.inf_old"], "OEM1~1.INF");
        EXPECT_EQ(shortNames["LongFileName.txt"], "LONGFI~1.TXT");
        EXPECT_EQ(shortNames["LongFileNameTwo.txt"], "LONGFI~2.TXT");
    }
    // A file opens by its short name as well.
    const std::string shortPath = folder + "\\" + shortNames["LongFileNameTwo.txt"];
    EXPECT_NE(GetFileAttributesA(shortPath.c_str()), INVALID_FILE_ATTRIBUTES) << shortPath;

    const std::vector<std::string> oem = Sorted(FindAll(folder + "\\oem*.inf"));
    EXPECT_WINDOWS_OR_WINE(oem == (std::vector<std::string>{"oem1.inf", "oem1.inf_old"}),
                           oem == (std::vector<std::string>{"oem1.inf"}) ||
                               oem == (std::vector<std::string>{"oem1.inf", "oem1.inf_old"}));
}

// FindFirstFileA rewrites '*', '?' and '.' into the DOS wildcards before
// the file system matches (FsRtlIsNameInExpression): "*." becomes "<",
// which cannot take a name's last dot, so it lists the names without a dot
// (".a" and "..a" through their short names A~2 and A~1); '?' becomes '>',
// which takes nothing at a dot or at the end. "." and ".." are listed
// where the pattern matches them or an empty name. The file names and
// Windows' results are those Wine's own tests record.
TEST(FileSearch, PatternsFollowTheDosWildcardRules) {
    const std::string folder = conformance::TestFolder();
    for (const char* name : {"..a", "..a.a", ".a", ".a..a", ".a.a", ".aaa", "a", "a..a", "a.a", "a.a.a", "aa", "aaa",
                             "aaaa"})
        WriteTestFile(folder + "\\" + name, "");
    const std::vector<std::string> every = {".",    "..",  "..a", "..a.a", ".a", ".a..a", ".a.a", ".aaa",
                                            "a",    "a..a", "a.a", "a.a.a", "aa", "aaa",   "aaaa"};
    const std::vector<std::string> dotted = {".", "..", "..a", "..a.a", ".a", ".a..a", ".a.a", ".aaa"};
    const std::vector<std::string> noDot = {".", "..", "..a", ".a", ".aaa", "a", "aa", "aaa", "aaaa"};
    struct Row {
        const char* pattern;
        std::vector<std::string> windows;
        std::vector<std::string> wine;  // where Wine differs
    };
    const std::vector<Row> rows = {
        {"*.*.*", every, {}},
        {"*.*.", every, {}},
        {".*.*", dotted, {}},
        {"..*", {".", "..", "..a", "..a.a"}, {}},
        {"*. ", every, {}},
        // Wine matches '*' and '?' plainly, and knows no DOS wildcards.
        {"*.", noDot, every},
        {"*..*", {".", "..", "..a", "..a.a", ".a..a", "a..a"}, every},
        {".*.", {".", "..", ".a", ".aaa"}, dotted},
        {"?", {".", "..", "a"}, {".", "a"}},
        {"??.", {".", "..", "a", "aa"}, {"..", ".a", "aa"}},
        {"?.??.", {".", "..", ".a", "a", "a.a"}, {"a..a"}},
    };
    for (const Row& row : rows) {
        const std::vector<std::string> found = Sorted(FindAll(folder + "\\" + row.pattern));
        const std::vector<std::string>& wine = row.wine.empty() ? row.windows : row.wine;
        SCOPED_TRACE(std::string(row.pattern) + " lists " + ::testing::PrintToString(found));
        EXPECT_WINDOWS_OR_WINE(found == Sorted(row.windows), found == Sorted(wine));
    }
    // A program can pass the DOS wildcards itself; Wine finds nothing.
    const std::vector<std::string> dosStar = Sorted(FindAll(folder + "\\<"));
    EXPECT_WINDOWS_OR_WINE(dosStar == noDot, dosStar.empty());
    const std::vector<std::string> dosQmDot = Sorted(FindAll(folder + "\\>\"a"));
    EXPECT_WINDOWS_OR_WINE(dosQmDot == (std::vector<std::string>{".a", "a.a"}), dosQmDot.empty());
}

// CopyFile reads the source sharing read and write access, and Windows NT
// writes the target sharing both: a source or target that another handle
// holds sharing what CopyFile needs is copied or replaced.
TEST(FileCopy, SharingOfSourceAndTarget) {
    const std::string folder = conformance::TestFolder();
    const std::string src = folder + "\\src.inf";
    const std::string dst = folder + "\\dst.inf";
    WriteTestFile(src, "new");
    WriteTestFile(dst, "old");
    struct Row {
        const std::string* path;
        DWORD access;
        DWORD share;
        DWORD error;  // 0 when the copy succeeds
    };
    const Row rows[] = {
        {&src, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, 0},
        {&src, GENERIC_READ, FILE_SHARE_WRITE, ERROR_SHARING_VIOLATION},
        {&dst, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE, 0},
        {&dst, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, 0},
        {&dst, GENERIC_WRITE, FILE_SHARE_READ, ERROR_SHARING_VIOLATION},
        {&dst, GENERIC_READ, FILE_SHARE_READ, ERROR_SHARING_VIOLATION},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(*row.path + " held with access " + std::to_string(row.access) + ", sharing " +
                     std::to_string(row.share));
        HANDLE held = CreateFileA(row.path->c_str(), row.access, row.share, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE) << GetLastError();
        SetLastError(kSentinelError);
        const BOOL copied = CopyFileA(src.c_str(), dst.c_str(), FALSE);
        const DWORD error = GetLastError();
        EXPECT_EQ(copied, row.error == 0);
        if (row.error) {
            EXPECT_EQ(error, row.error);
        }
        EXPECT_TRUE(CloseHandle(held));
    }
    EXPECT_EQ(ReadTestFile(dst), "new");
}

// A handle without read, write or delete access (for the attributes) opens
// whatever others hold, and reads nothing.
TEST(FileCreation, NoAccessOpensAFileOthersHoldExclusively) {
    const std::string file = conformance::TestFolder() + "\\held.txt";
    WriteTestFile(file, "data");
    HANDLE exclusive = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
    HANDLE attributesOnly = CreateFileA(file.c_str(), 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(attributesOnly, INVALID_HANDLE_VALUE) << GetLastError();
    char buffer[8];
    DWORD read = 1;
    SetLastError(kSentinelError);
    EXPECT_FALSE(ReadFile(attributesOnly, buffer, sizeof buffer, &read, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_TRUE(CloseHandle(attributesOnly));
    EXPECT_TRUE(CloseHandle(exclusive));
}

// "nul" (also "nul.txt", in any folder) is the null device, not a file:
// it opens, takes writes that vanish, and is found where its folder
// exists; no file of that name appears.
TEST(FileCreation, NulIsTheNullDevice) {
    const std::string folder = conformance::TestFolder();
    for (const char* name : {"nul", "NUL.txt"}) {
        const std::string path = folder + "\\" + name;
        HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << name << " " << GetLastError();
        DWORD written = 0;
        EXPECT_TRUE(WriteFile(h, "data", 4, &written, nullptr));
        EXPECT_EQ(written, 4u);
        EXPECT_TRUE(CloseHandle(h));
        EXPECT_EQ(GetFileAttributesA(path.c_str()), (DWORD)FILE_ATTRIBUTE_ARCHIVE) << name;
        // The search gives the device part of the name.
        EXPECT_EQ(FindAll(path), std::vector<std::string>{std::string(name, 3)});
    }
    EXPECT_EQ(Sorted(FindAll(folder + "\\*")), (std::vector<std::string>{".", ".."}));
    WIN32_FIND_DATAA data;
    SetLastError(kSentinelError);
    EXPECT_EQ(FindFirstFileA((folder + "\\none\\nul").c_str(), &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
}
