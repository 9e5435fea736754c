// The Setup API's INF functions and driver-store staging as the product
// uses them: reading fields of an INF file, listing the INF folder, and
// SetupCopyOEMInfA publishing an INF (and giving the same name back for
// the same INF).
#include "conformance.h"

#include <setupapi.h>

#include <cstring>
#include <string>

namespace {

// Writes a file of the test's folder and returns its path.
std::string WriteTestFile(const char* name, const std::string& content) {
    const std::string path = conformance::TestFolder() + "\\" + name;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE) << path << " error " << GetLastError();
    if (file == INVALID_HANDLE_VALUE) return path;
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(file, content.data(), (DWORD)content.size(), &written, nullptr));
    CloseHandle(file);
    return path;
}

// Field `index` of the line with `key` (or the first line) of `section`,
// or "<error N>" with the error of the call that failed.
std::string Field(HINF inf, const char* section, const char* key, DWORD index) {
    INFCONTEXT line;
    if (!SetupFindFirstLineA(inf, section, key, &line)) return "<error " + std::to_string(GetLastError()) + ">";
    char text[MAX_INF_STRING_LENGTH];
    if (!SetupGetStringFieldA(&line, index, text, sizeof text, nullptr))
        return "<error " + std::to_string(GetLastError()) + ">";
    return text;
}

std::string ErrorText(DWORD error) { return "<error " + std::to_string(error) + ">"; }

const char kInf[] =
    "; A models section as the product reads it.\r\n"
    "[Version]\r\n"
    "Signature = \"$Windows NT$\"\r\n"
    "Class = USB\r\n"
    "\r\n"
    "[Vantor_wmc]\r\n"
    "%DeviceDesc% = Install, USB\\VID_1A2B&PID_3C4D&MI_03 ; the modem\r\n"
    "Quoted = \"a, b; \"\"c\"\"\", %% 100, %Unknown%\r\n"
    "Joined = first, \\\r\n"
    "         second\r\n"
    "two, fields\r\n"
    "\r\n"
    "[Strings]\r\n"
    "DeviceDesc = \"210QX Modem\"\r\n";

TEST(SetupInf, FieldsAreNumberedFromTheKey) {
    const std::string path = WriteTestFile("fields.inf", kInf);
    UINT errorLine = 0;
    SetLastError(kSentinelError);
    HINF inf = SetupOpenInfFileA(path.c_str(), nullptr, INF_STYLE_WIN4, &errorLine);
    ASSERT_NE(inf, INVALID_HANDLE_VALUE) << GetLastError();
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);

    // Field 0 is the key, strings substituted; 1 the install section; 2 the
    // first hardware ID. The section name is compared without regard to case.
    EXPECT_EQ(Field(inf, "vantor_WMC", nullptr, 0), "210QX Modem");
    EXPECT_EQ(Field(inf, "Vantor_wmc", nullptr, 1), "Install");
    EXPECT_EQ(Field(inf, "Vantor_wmc", nullptr, 2), "USB\\VID_1A2B&PID_3C4D&MI_03");
    // Keys are found as they read after substitution.
    EXPECT_EQ(Field(inf, "Vantor_wmc", "210qx modem", 1), "Install");
    // Quotes keep separators and "" stands for one quote; %% is a percent
    // sign and an unknown token stays as written.
    EXPECT_EQ(Field(inf, "Vantor_wmc", "Quoted", 1), "a, b; \"c\"");
    EXPECT_EQ(Field(inf, "Vantor_wmc", "Quoted", 2), "% 100");
    EXPECT_EQ(Field(inf, "Vantor_wmc", "Quoted", 3), "%Unknown%");
    EXPECT_EQ(Field(inf, "Vantor_wmc", "Joined", 2), "second");

    INFCONTEXT line;
    ASSERT_TRUE(SetupFindFirstLineA(inf, "Vantor_wmc", nullptr, &line));
    EXPECT_EQ(SetupGetFieldCount(&line), 2u);
    char text[64];
    SetLastError(kSentinelError);
    EXPECT_FALSE(SetupGetStringFieldA(&line, 3, text, sizeof text, nullptr));
    EXPECT_WINDOWS_OR_WINE(GetLastError() == ERROR_INVALID_PARAMETER, GetLastError() == ERROR_SUCCESS);

    // A line of several values without '=' has no key; the walk ends after
    // the last line of the section.
    ASSERT_TRUE(SetupFindFirstLineA(inf, "Vantor_wmc", "Joined", &line));
    ASSERT_TRUE(SetupFindNextLine(&line, &line));
    EXPECT_FALSE(SetupGetStringFieldA(&line, 0, text, sizeof text, nullptr));
    SetLastError(kSentinelError);
    EXPECT_FALSE(SetupFindNextLine(&line, &line));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_LINE_NOT_FOUND);

    SetLastError(kSentinelError);
    EXPECT_FALSE(SetupFindFirstLineA(inf, "Absent", nullptr, &line));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_LINE_NOT_FOUND);
    SetupCloseInfFile(inf);
}

TEST(SetupInf, ATooSmallBufferGetsTheRequiredSize) {
    HINF inf = SetupOpenInfFileA(WriteTestFile("size.inf", kInf).c_str(), nullptr, INF_STYLE_WIN4, nullptr);
    ASSERT_NE(inf, INVALID_HANDLE_VALUE);
    INFCONTEXT line;
    ASSERT_TRUE(SetupFindFirstLineA(inf, "Vantor_wmc", nullptr, &line));
    const DWORD expected = sizeof "USB\\VID_1A2B&PID_3C4D&MI_03";
    DWORD required = 0;
    SetLastError(kSentinelError);
    EXPECT_TRUE(SetupGetStringFieldA(&line, 2, nullptr, 0, &required));
    EXPECT_EQ(required, expected);
    char text[64];
    required = 0;
    SetLastError(kSentinelError);
    EXPECT_FALSE(SetupGetStringFieldA(&line, 2, text, expected - 1, &required));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(required, expected);
    EXPECT_TRUE(SetupGetStringFieldA(&line, 2, text, expected, nullptr));
    EXPECT_STREQ(text, "USB\\VID_1A2B&PID_3C4D&MI_03");
    SetupCloseInfFile(inf);
}

TEST(SetupInf, AFileWithoutSignatureIsNoWindows4Inf) {
    const std::string path =
        WriteTestFile("old.inf", "[Version]\r\nClass = USB\r\n[Vantor_wmc]\r\nx = y, USB\\VID_1A2B&PID_3C4D\r\n");
    UINT errorLine = 12345;
    SetLastError(kSentinelError);
    EXPECT_EQ(SetupOpenInfFileA(path.c_str(), nullptr, INF_STYLE_WIN4, &errorLine), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_WRONG_INF_STYLE);
    EXPECT_EQ(errorLine, 0u);

    SetLastError(kSentinelError);
    EXPECT_EQ(SetupOpenInfFileA(WriteTestFile("empty.inf", "").c_str(), nullptr, INF_STYLE_WIN4, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_INVALID);

    SetLastError(kSentinelError);
    EXPECT_EQ(SetupOpenInfFileA((conformance::TestFolder() + "\\absent.inf").c_str(), nullptr, INF_STYLE_WIN4,
                                nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
}

TEST(SetupInf, StringsOfTheSystemsLanguageComeFirst) {
    // A token is looked up in [Strings.<language>], then in the strings of
    // its primary language, then in [Strings]. The machines run English
    // (0409) in code page 1252 and Japanese (0411) in 932.
    const std::string path = WriteTestFile(
        "lang.inf",
        "[Version]\r\nSignature = \"$Windows NT$\"\r\n"
        "[S]\r\nexact = %Exact%\r\nprimary = %Primary%\r\nneutral = %Neutral%\r\nnone = %None%\r\n"
        "[Strings]\r\nExact = neutral\r\nPrimary = neutral\r\nNeutral = neutral\r\n"
        "[Strings.0409]\r\nExact = en-US\r\n[Strings.0009]\r\nExact = en\r\nPrimary = en\r\n"
        "[Strings.0411]\r\nExact = ja-JP\r\n[Strings.0011]\r\nExact = ja\r\nPrimary = ja\r\n"
        "[Strings.040C]\r\nNeutral = fr-FR\r\n");
    HINF inf = SetupOpenInfFileA(path.c_str(), nullptr, INF_STYLE_WIN4, nullptr);
    ASSERT_NE(inf, INVALID_HANDLE_VALUE) << GetLastError();
    // Wine 8 reads [Strings] only.
    const bool japanese = GetACP() == 932;
    const std::string exact = Field(inf, "S", "exact", 1);
    const std::string primary = Field(inf, "S", "primary", 1);
    EXPECT_WINDOWS_OR_WINE(exact == (japanese ? "ja-JP" : "en-US"), exact == "neutral");
    EXPECT_WINDOWS_OR_WINE(primary == (japanese ? "ja" : "en"), primary == "neutral");
    EXPECT_EQ(Field(inf, "S", "neutral", 1), "neutral");
    EXPECT_EQ(Field(inf, "S", "none", 1), "%None%");
    SetupCloseInfFile(inf);
}

TEST(SetupInf, TextIsReadInTheAnsiCodePage) {
    // 0x95 0x5C is one character in code page 932; in 1252 it ends in a
    // backslash, which continues the line.
    const std::string path = WriteTestFile(
        "ansi.inf", "[Version]\r\nSignature=$Chicago$\r\n[S]\r\nk = \x95\x5C\r\nnext = x\r\n");
    HINF inf = SetupOpenInfFileA(path.c_str(), nullptr, INF_STYLE_WIN4, nullptr);
    ASSERT_NE(inf, INVALID_HANDLE_VALUE);
    if (GetACP() == 932) {
        EXPECT_EQ(Field(inf, "S", "k", 1), "\x95\x5C");
        EXPECT_EQ(Field(inf, "S", "next", 1), "x");
    } else {
        EXPECT_EQ(Field(inf, "S", "k", 1), "\x95next = x");
        EXPECT_EQ(Field(inf, "S", "next", 1), ErrorText(ERROR_LINE_NOT_FOUND));
    }
    SetupCloseInfFile(inf);
}

// Publishes the test's INF and returns the name it was published under
// (without folder), or "<error N>".
std::string Publish(const std::string& path, std::string* fullPath = nullptr) {
    char name[MAX_PATH] = {};
    char* component = nullptr;
    DWORD required = 0;
    if (!SetupCopyOEMInfA(path.c_str(), nullptr, SPOST_PATH, 0, name, sizeof name, &required, &component))
        return ErrorText(GetLastError());
    EXPECT_EQ(required, (DWORD)std::strlen(name) + 1);
    EXPECT_TRUE(component != nullptr && component > name && component[-1] == '\\');
    if (fullPath) *fullPath = name;
    return component ? component : "";
}

// Removes a published INF and, where Wine's SetupUninstallOEMInfA leaves
// it, its .pnf twin.
void Unpublish(const std::string& name, const std::string& fullPath) {
    EXPECT_TRUE(SetupUninstallOEMInfA(name.c_str(), SUOI_FORCEDELETE, nullptr)) << GetLastError();
    EXPECT_EQ(GetFileAttributesA(fullPath.c_str()), INVALID_FILE_ATTRIBUTES);
    const std::string pnf = fullPath.substr(0, fullPath.size() - 4) + ".pnf";
    if (GetFileAttributesA(pnf.c_str()) != INVALID_FILE_ATTRIBUTES) DeleteFileA(pnf.c_str());
}

bool SameText(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }

// oem<N>.inf, in any case.
bool IsOemName(const std::string& name) {
    if (name.size() < 8 || !SameText(name.substr(0, 3), "oem") || !SameText(name.substr(name.size() - 4), ".inf"))
        return false;
    for (size_t i = 3; i + 4 < name.size(); ++i)
        if (name[i] < '0' || name[i] > '9') return false;
    return true;
}

const char kPackageInf[] =
    "[Version]\r\nSignature = \"$Windows NT$\"\r\nClass = USB\r\n"
    "ClassGuid = {36FC9E60-C465-11CF-8056-444553540000}\r\nProvider = Vantor\r\nDriverVer = 06/15/2012,1.0.0.2\r\n"
    "[Manufacturer]\r\nVantor = Vantor_wmc, NTamd64\r\n"
    "[Vantor_wmc.NTamd64]\r\nConformance = Install, USB\\VID_1A2B&PID_3C4D&MI_7F\r\n";

// The folders of the driver store whose name starts with the INF's name.
int StoreFolders(const char* infName) {
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    const std::string pattern =
        std::string(windows) + "\\System32\\DriverStore\\FileRepository\\" + infName + "_amd64_*";
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(pattern.c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return 0;
    int count = 0;
    do {
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ++count;
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return count;
}

TEST(SetupCopyOemInf, TheSameInfTwiceKeepsItsPublishedName) {
    const std::string path = WriteTestFile("qtxconf1.inf", kPackageInf);
    std::string fullPath;
    SetLastError(kSentinelError);
    const std::string first = Publish(path, &fullPath);
    ASSERT_EQ(first.find("<error"), std::string::npos) << first;
    // A successful call sets the last error to 0.
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);
    // From Vista on the package has a folder of its own in the driver
    // store; Wine keeps no store.
    EXPECT_WINDOWS_OR_WINE(StoreFolders("qtxconf1.inf") == 1, StoreFolders("qtxconf1.inf") == 0);
    // Windows always publishes as oem<N>.inf; Wine keeps a free own name.
    EXPECT_WINDOWS_OR_WINE(IsOemName(first), first == "qtxconf1.inf" || IsOemName(first));
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    EXPECT_TRUE(SameText(fullPath, std::string(windows) + "\\inf\\" + first)) << fullPath;
    EXPECT_NE(GetFileAttributesA(fullPath.c_str()), INVALID_FILE_ATTRIBUTES);

    SetLastError(kSentinelError);
    EXPECT_EQ(Publish(path), first);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);
    Unpublish(first, fullPath);
    EXPECT_EQ(StoreFolders("qtxconf1.inf"), 0);
}

#ifndef ERROR_WRONG_INF_TYPE
#define ERROR_WRONG_INF_TYPE 0xE000024AL
#endif

TEST(SetupCopyOemInf, AnInfThatIsNoDriverPackageIsRefused) {
    // No class and no [Manufacturer]: Vista refuses it with
    // ERROR_WRONG_INF_TYPE, Windows 7 and later with ERROR_UNSUPPORTED_TYPE.
    // Wine publishes it.
    const std::string path = WriteTestFile("qtxconf4.inf", "[Version]\r\nSignature = \"$Chicago$\"\r\n");
    std::string fullPath;
    SetLastError(kSentinelError);
    const std::string name = Publish(path, &fullPath);
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    const DWORD refusal = version.dwMajorVersion == 6 && version.dwMinorVersion == 0 ? ERROR_WRONG_INF_TYPE
                                                                                      : ERROR_UNSUPPORTED_TYPE;
    EXPECT_WINDOWS_OR_WINE(name == ErrorText(refusal), name.find("<error") == std::string::npos);
    if (name.find("<error") == std::string::npos) Unpublish(name, fullPath);
}

TEST(SetupCopyOemInf, ThePublishedInfIsListedInTheInfFolder) {
    const std::string path = WriteTestFile("qtxconf2.inf", kPackageInf + std::string("; listed\r\n"));
    std::string fullPath;
    const std::string name = Publish(path, &fullPath);
    ASSERT_EQ(name.find("<error"), std::string::npos) << name;

    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    const std::string infFolder = std::string(windows) + "\\inf";
    // Whether the list of the folder holds the name; *sizeQuery is what the
    // size query (no buffer) reports, *used the size of the list itself.
    auto lists = [&name](const char* folder, DWORD* sizeQuery, DWORD* used) {
        *sizeQuery = 0;
        *used = 0;
        if (!SetupGetInfFileListA(folder, INF_STYLE_WIN4, nullptr, 0, sizeQuery)) return false;
        std::string list(65536, '\0');
        if (!SetupGetInfFileListA(folder, INF_STYLE_WIN4, &list[0], (DWORD)list.size(), used)) return false;
        for (const char* entry = list.c_str(); *entry; entry += std::strlen(entry) + 1)
            if (SameText(entry, name)) return true;
        return false;
    };
    DWORD sizeQuery = 0, used = 0;
    EXPECT_TRUE(lists(infFolder.c_str(), &sizeQuery, &used));
    // The size is in characters, the closing empty entry included. Wine's
    // ANSI function reports 0 to a size query.
    EXPECT_GT(used, (DWORD)name.size() + 1);
    EXPECT_WINDOWS_OR_WINE(sizeQuery == used, sizeQuery == 0);
    // A NULL folder means the Windows INF folder; Wine lists nothing then.
    const bool listedWithoutFolder = lists(nullptr, &sizeQuery, &used);
    EXPECT_WINDOWS_OR_WINE(listedWithoutFolder, !listedWithoutFolder);

    ASSERT_TRUE(lists(infFolder.c_str(), &sizeQuery, &used));
    std::string list(used, '\0');
    DWORD required = 0;
    SetLastError(kSentinelError);
    const BOOL cut = SetupGetInfFileListA(infFolder.c_str(), INF_STYLE_WIN4, &list[0], used - 1, &required);
    EXPECT_WINDOWS_OR_WINE(!cut && GetLastError() == ERROR_INSUFFICIENT_BUFFER && required == used, cut);

    Unpublish(name, fullPath);
}

TEST(SetupCopyOemInf, AMissingSourceOrCatalogFails) {
    // Wine's 32-bit setupapi reports a file it cannot copy as
    // ERROR_INSUFFICIENT_BUFFER.
    const std::string wineMissingFile =
        ErrorText(conformance::Is32BitProcess() ? ERROR_INSUFFICIENT_BUFFER : ERROR_FILE_NOT_FOUND);
    SetLastError(kSentinelError);
    const std::string absent = Publish(conformance::TestFolder() + "\\absent.inf");
    EXPECT_WINDOWS_OR_WINE(absent == ErrorText(ERROR_FILE_NOT_FOUND), absent == wineMissingFile);

    // A catalog that is named but missing: Windows refuses the package
    // with ERROR_NO_CATALOG_FOR_OEM_INF where it enforces signatures; where
    // the user is asked instead and accepts, the package is published
    // whole, as a new oemN.inf holding the INF. Wine fails to copy the
    // catalog.
    const std::string content = kPackageInf + std::string("[Version]\r\nCatalogFile = qtxconf3.cat\r\n");
    const std::string path = WriteTestFile("qtxconf3.inf", content);
    std::string fullPath;
    SetLastError(kSentinelError);
    const std::string name = Publish(path, &fullPath);
    const bool published = name.find("<error") == std::string::npos;
    if (conformance::RunningOnWine()) {
        EXPECT_EQ(name, wineMissingFile) << "(Wine)";
    } else if (!published) {
        EXPECT_EQ(name, ErrorText(ERROR_NO_CATALOG_FOR_OEM_INF));
    } else {
        const bool oemName = name.size() > 7 && SameText(name.substr(0, 3), "oem") &&
                             name.find_first_not_of("0123456789", 3) == name.size() - 4 &&
                             SameText(name.substr(name.size() - 4), ".inf");
        EXPECT_TRUE(oemName) << name;
        HANDLE copy = CreateFileA(fullPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(copy, INVALID_HANDLE_VALUE) << fullPath;
        std::string text(content.size() + 16, '\0');
        DWORD read = 0;
        if (copy != INVALID_HANDLE_VALUE) {
            EXPECT_TRUE(ReadFile(copy, &text[0], (DWORD)text.size(), &read, nullptr));
            EXPECT_TRUE(CloseHandle(copy));
        }
        EXPECT_EQ(text.substr(0, read), content);
    }
    if (published) Unpublish(name, fullPath);
}

}  // namespace
