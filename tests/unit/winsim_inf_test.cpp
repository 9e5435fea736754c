// winsim's INF handling: the parser's syntax rules, the Setup API's INF
// functions on the simulated machine, and the driver store behind
// SetupCopyOEMInfA.
#include <gtest/gtest.h>
#include <windows.h>
#include <setupapi.h>

#include <string>
#include <vector>

#include "../../winsim/src/inf_parser.h"
#include "winsim/machine.h"

namespace {

using winsim::InfFile;
using winsim::InfLine;

const char kHeader[] = "[Version]\r\nSignature=\"$Windows NT$\"\r\n";

std::u16string u(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

winsim::InfParseResult parse(const std::string& text) { return winsim::parseInf(u(text)); }

// The one line of section [S] of the text.
InfLine onlyLine(const std::string& body) {
    winsim::InfParseResult r = parse(std::string(kHeader) + "[S]\n" + body);
    EXPECT_EQ(r.error, 0u);
    const int s = r.file.findSection(u"S");
    EXPECT_GE(s, 0);
    if (s < 0 || r.file.sections[s].lines.size() != 1) {
        ADD_FAILURE() << "expected one line in [S] for: " << body;
        return InfLine();
    }
    return r.file.sections[s].lines[0];
}

std::vector<std::u16string> fields(std::initializer_list<const char*> list) {
    std::vector<std::u16string> out;
    for (const char* f : list) out.push_back(u(f));
    return out;
}

// --- the parser -------------------------------------------------------------

TEST(InfParser, KeysFieldsAndBlanks) {
    InfLine line = onlyLine(" a b = c , d \r\n");
    EXPECT_TRUE(line.hasKey);
    EXPECT_EQ(line.key, u"a b");
    EXPECT_EQ(line.fields, fields({"c", "d"}));

    // One field without '=' is the key as well; several are not.
    line = onlyLine("ab\n");
    EXPECT_TRUE(line.hasKey);
    EXPECT_EQ(line.key, u"ab");
    EXPECT_EQ(line.fields, fields({"ab"}));
    line = onlyLine("ab,cd=ef\n");
    EXPECT_FALSE(line.hasKey);
    EXPECT_EQ(line.fields, fields({"ab", "cd=ef"}));

    // Empty fields count, an '=' among the values is text.
    EXPECT_EQ(onlyLine("a=b,,c,\n").fields, fields({"b", "", "c", ""}));
    EXPECT_EQ(onlyLine("a=b=c\n").fields, fields({"b=c"}));
    line = onlyLine("=\n");
    EXPECT_TRUE(line.hasKey);
    EXPECT_EQ(line.key, u"");
    EXPECT_EQ(line.fields, fields({""}));
}

TEST(InfParser, QuotesKeepSeparatorsAndDoubleQuotes) {
    EXPECT_EQ(onlyLine("ab=cd\",\"ef\n").fields, fields({"cd,ef"}));
    EXPECT_EQ(onlyLine("ab=\"x;y\" ; comment\n").fields, fields({"x;y"}));
    EXPECT_EQ(onlyLine("ab=\"say \"\"hi\"\"\"\n").fields, fields({"say \"hi\""}));
    EXPECT_EQ(onlyLine("ab=c,\" d \" \n").fields, fields({"c", " d "}));
    // A quote that is not closed runs to the end of the line, backslash and all.
    winsim::InfParseResult r = parse(std::string(kHeader) + "[S]\nab=cd\",ef\\\nxy=z\n");
    const auto& lines = r.file.sections[r.file.findSection(u"S")].lines;
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].fields, fields({"cd,ef\\"}));
    EXPECT_EQ(lines[1].key, u"xy");
    // "" outside quotes is an empty quoted text.
    EXPECT_EQ(onlyLine("ab\"\"cd=ef\n").key, u"abcd");
}

TEST(InfParser, CommentsEndTheLineOutsideQuotes) {
    winsim::InfParseResult r = parse(std::string(kHeader) + "; [Hidden]\n[S] trailing text\n;a=b\n  ; x\nk=v ; c\n");
    EXPECT_LT(r.file.findSection(u"Hidden"), 0);
    const auto& lines = r.file.sections[r.file.findSection(u"S")].lines;
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].fields, fields({"v"}));
}

TEST(InfParser, BackslashAtTheEndOfALineContinuesIt) {
    EXPECT_EQ(onlyLine("ba=c \\ \n \\ \n a\n").fields, fields({"ca"}));
    EXPECT_EQ(onlyLine("ab  \\ ;comment\ncd=ef\n").key, u"abcd");
    EXPECT_EQ(onlyLine("a=b,\\\n  c\n").fields, fields({"b", "c"}));
    // Backslashes followed by text are text.
    EXPECT_EQ(onlyLine("a=b\\\\c\n").fields, fields({"b\\\\c"}));
    EXPECT_EQ(onlyLine("ba \\ dc=xx\n").key, u"ba \\ dc");
    EXPECT_EQ(onlyLine("ba=c \\ \n \\ a\n").fields, fields({"c\\ a"}));
}

TEST(InfParser, SectionsMergeWithoutRegardToCase) {
    winsim::InfParseResult r = parse(std::string(kHeader) + "[Models]\na=1\n[Other]\n[MODELS]\nb=2\n[ Spaced ]\n");
    ASSERT_EQ(r.error, 0u);
    const int models = r.file.findSection(u"models");
    ASSERT_GE(models, 0);
    EXPECT_EQ(r.file.sections[models].lines.size(), 2u);
    EXPECT_GE(r.file.findSection(u" Spaced "), 0);
    EXPECT_LT(r.file.findSection(u"Spaced"), 0);
}

TEST(InfParser, BadSectionLinesFailTheFile) {
    winsim::InfParseResult r = parse(std::string(kHeader) + "[ab\r\n");
    EXPECT_EQ(r.error, (DWORD)ERROR_BAD_SECTION_NAME_LINE);
    EXPECT_EQ(r.errorLine, 3u);
    r = parse(std::string(kHeader) + "[" + std::string(256, 'a') + "]\n");
    EXPECT_EQ(r.error, (DWORD)ERROR_SECTION_NAME_TOO_LONG);
    r = parse(std::string(kHeader) + "[" + std::string(255, 'a') + "]\n");
    EXPECT_EQ(r.error, 0u);
    // Ctrl-Z ends the file, here inside a section name.
    r = parse(std::string(kHeader) + "\n\n[ab\x1a]\n");
    EXPECT_EQ(r.error, (DWORD)ERROR_BAD_SECTION_NAME_LINE);
    EXPECT_EQ(r.errorLine, 5u);
}

TEST(InfParser, TextBeforeTheFirstSectionNeedsAStringsSection) {
    UINT line = 0;
    winsim::InfParseResult r = parse(";c\ngarbage\n" + std::string(kHeader) + "[abc]\n");
    EXPECT_EQ(r.openError(&line), (DWORD)ERROR_EXPECTED_SECTION_NAME);
    EXPECT_EQ(line, 2u);
    r = parse("garbage\n" + std::string(kHeader) + "[Strings]\n");
    EXPECT_EQ(r.openError(&line), 0u);
}

TEST(InfParser, SignatureMarksWindows4Files) {
    EXPECT_TRUE(parse("[version]\nsignature=$chicago$\n").file.hasWin4Signature());
    EXPECT_TRUE(parse("[VERSION]\nSIGNATURE=\"$WINDOWS NT$\",x\n").file.hasWin4Signature());
    EXPECT_FALSE(parse("[Version]\nSignature=\n").file.hasWin4Signature());
    EXPECT_FALSE(parse("[Version]\nSignature=$Windows 3.1$\n").file.hasWin4Signature());
    EXPECT_FALSE(parse("[Version]\nClass=USB\n").file.hasWin4Signature());
}

TEST(InfParser, StringsAreSubstitutedWhenRead) {
    winsim::InfParseResult r = parse(std::string(kHeader) +
                                     "[Strings]\nfoo=aaa\nbar=\"b;b\"\nloop=%loop2%\nloop2=x\nper=1\ncent=2\n");
    const InfFile& f = r.file;
    auto dirids = [](long id) -> std::optional<std::u16string> {
        if (id == 24) return std::u16string(u"C:\\");
        return std::nullopt;
    };
    EXPECT_EQ(f.substitute(u"%foo%-%BAR%", dirids), u"aaa-b;b");
    EXPECT_EQ(f.substitute(u"%% %foo%", dirids), u"% aaa");
    EXPECT_EQ(f.substitute(u"%per%%cent%", dirids), u"12");
    // Unknown and unclosed tokens stay; values are not substituted again.
    EXPECT_EQ(f.substitute(u"%nope%", dirids), u"%nope%");
    EXPECT_EQ(f.substitute(u"%foo", dirids), u"%foo");
    EXPECT_EQ(f.substitute(u"%loop%", dirids), u"%loop2%");
    // A DIRID's trailing backslash is not doubled; a numeric token that is
    // no DIRID stays.
    EXPECT_EQ(f.substitute(u"%24%\\fred", dirids), u"C:\\fred");
    EXPECT_EQ(f.substitute(u"%24%", dirids), u"C:\\");
    EXPECT_EQ(f.substitute(u"%7%", dirids), u"%7%");
    // The result is cut at MAX_INF_STRING_LENGTH characters.
    EXPECT_EQ(f.substitute(std::u16string(5000, u'a'), dirids).size(), (size_t)MAX_INF_STRING_LENGTH);
}

TEST(InfParser, TextIsDecodedFromTheBomOrTheAnsiCodePage) {
    winsim::Machine m;  // the code-page conversions read the current machine
    EXPECT_EQ(winsim::decodeInfText(std::string("\xFF\xFE[\0a\0]\0", 8), 1252), u"[a]");
    EXPECT_EQ(winsim::decodeInfText("\xEF\xBB\xBFk=\xC3\xA9", 1252), u"k=\u00E9");
    EXPECT_EQ(winsim::decodeInfText("k=\xE9", 1252), u"k=\u00E9");
    // In code page 932 the trail byte 0x5C of a character is no backslash,
    // so it continues nothing.
    const std::u16string text = winsim::decodeInfText(std::string(kHeader) + "[S]\na=\x95\x5C\nb=c\n", 932);
    winsim::InfParseResult r = winsim::parseInf(text);
    const auto& lines = r.file.sections[r.file.findSection(u"S")].lines;
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].fields[0], u"\u8868");
}

// --- the Setup API's INF functions -----------------------------------------

class SetupInf : public ::testing::Test {
protected:
    const std::string infFolder = "C:\\WINDOWS\\INF";

    // Writes a file and opens it as a Windows 4 style INF.
    HINF open(const std::string& body, const std::string& path = "C:\\media\\test.inf") {
        m.files.writeFile(path, body);
        return SetupOpenInfFileA(path.c_str(), nullptr, INF_STYLE_WIN4, nullptr);
    }

    // Field `index` of the first line of `section`, or "<error N>".
    std::string field(HINF inf, const char* section, DWORD index) {
        INFCONTEXT line;
        if (!SetupFindFirstLineA(inf, section, nullptr, &line)) return "<error " + std::to_string(GetLastError()) + ">";
        char text[MAX_INF_STRING_LENGTH + 1];
        if (!SetupGetStringFieldA(&line, index, text, sizeof text, nullptr))
            return "<error " + std::to_string(GetLastError()) + ">";
        return text;
    }

    void TearDown() override {
        for (const std::string& call : m.unimplemented) ADD_FAILURE() << "not modelled: " << call;
    }

    winsim::Machine m;
};

TEST_F(SetupInf, OpensByPathOrByBareNameInTheInfFolder) {
    m.files.writeFile(infFolder + "\\vendor.inf", std::string(kHeader) + "[S]\nk=inf folder\n");
    m.files.writeFile("C:\\WINDOWS\\system32\\vendor2.inf", std::string(kHeader) + "[S]\nk=system32\n");
    SetLastError(0xdeadbeef);
    HINF inf = SetupOpenInfFileA("VENDOR.INF", nullptr, INF_STYLE_WIN4, nullptr);
    ASSERT_NE(inf, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), 0u);
    EXPECT_EQ(field(inf, "S", 1), "inf folder");
    EXPECT_EQ(m.handles.openCount(winsim::HandleKind::InfFile), 1u);
    SetupCloseInfFile(inf);
    EXPECT_EQ(m.handles.openCount(winsim::HandleKind::InfFile), 0u);

    inf = SetupOpenInfFileA("vendor2.inf", nullptr, INF_STYLE_WIN4, nullptr);
    ASSERT_NE(inf, INVALID_HANDLE_VALUE);
    EXPECT_EQ(field(inf, "S", 1), "system32");
    SetupCloseInfFile(inf);

    SetLastError(0xdeadbeef);
    EXPECT_EQ(SetupOpenInfFileA("absent.inf", nullptr, INF_STYLE_WIN4, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
    // Closing nothing leaves the last error alone.
    SetLastError(0xdeadbeef);
    SetupCloseInfFile(nullptr);
    SetupCloseInfFile(INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), 0xdeadbeefu);
}

TEST_F(SetupInf, RefusesFilesThatAreNoWindows4Inf) {
    struct Case {
        std::string content;
        DWORD error;
        UINT line;
    } cases[] = {
        {"[Version]\r\nClass=USB\r\n[S]\r\nk=v\r\n", ERROR_WRONG_INF_STYLE, 0},
        {"\r\n", ERROR_WRONG_INF_STYLE, 0},
        {"", ERROR_FILE_INVALID, 0xdead},
        {std::string("MZ\x90\0\x03\0\0\0\xff\xff", 10), ERROR_WRONG_INF_STYLE, 0},
        {"junk\n" + std::string(kHeader) + "[S]\n", ERROR_EXPECTED_SECTION_NAME, 1},
        {std::string(kHeader) + "[S\n", ERROR_BAD_SECTION_NAME_LINE, 3},
    };
    for (const Case& c : cases) {
        m.files.writeFile("C:\\media\\bad.inf", c.content);
        UINT line = 0xdead;
        SetLastError(0xdeadbeef);
        EXPECT_EQ(SetupOpenInfFileA("C:\\media\\bad.inf", nullptr, INF_STYLE_WIN4, &line), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), c.error) << c.content;
        EXPECT_EQ(line, c.line) << c.content;
    }
    EXPECT_EQ(m.handles.openCount(), 0u);
}

TEST_F(SetupInf, FindsLinesBySectionAndKey) {
    HINF inf = open(std::string(kHeader) +
                    "[Models]\n%Desc% = Install, USB\\VID_1\nsecond = x\n[Empty]\n[Strings]\nDesc = \"Device\"\n");
    ASSERT_NE(inf, INVALID_HANDLE_VALUE);
    INFCONTEXT line;
    // Keys are matched as they read after substitution.
    ASSERT_TRUE(SetupFindFirstLineA(inf, "models", "DEVICE", &line));
    EXPECT_EQ(line.Line, 0u);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetupFindFirstLineA(inf, "Models", "%Desc%", &line));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_LINE_NOT_FOUND);
    // A missing section reads as a missing line, as on Windows.
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetupFindFirstLineA(inf, "Absent", nullptr, &line));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_LINE_NOT_FOUND);
    EXPECT_FALSE(SetupFindFirstLineA(inf, "Empty", nullptr, &line));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_LINE_NOT_FOUND);

    ASSERT_TRUE(SetupFindFirstLineA(inf, "Models", nullptr, &line));
    INFCONTEXT next;
    ASSERT_TRUE(SetupFindNextLine(&line, &next));
    EXPECT_EQ(next.Line, 1u);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetupFindNextLine(&next, &next));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_LINE_NOT_FOUND);
    EXPECT_EQ(next.Line, 1u);
    SetupCloseInfFile(inf);
}

TEST_F(SetupInf, ReadsFieldsWithTheirRequiredSize) {
    HINF inf = open(std::string(kHeader) + "[S]\n%Desc% = Install, USB\\VID_1A2B, %12%\\x.sys\n"
                                           "[T]\nonly, two\n[Strings]\nDesc = \"My Device\"\n");
    ASSERT_NE(inf, INVALID_HANDLE_VALUE);
    EXPECT_EQ(field(inf, "S", 0), "My Device");
    EXPECT_EQ(field(inf, "S", 2), "USB\\VID_1A2B");
    EXPECT_EQ(field(inf, "S", 3), "C:\\WINDOWS\\system32\\drivers\\x.sys");

    INFCONTEXT line;
    ASSERT_TRUE(SetupFindFirstLineA(inf, "S", nullptr, &line));
    EXPECT_EQ(SetupGetFieldCount(&line), 3u);
    DWORD required = 0;
    ASSERT_TRUE(SetupGetStringFieldA(&line, 1, nullptr, 0, &required));
    EXPECT_EQ(required, 8u);  // "Install" and its terminator
    char text[8];
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetupGetStringFieldA(&line, 1, text, 7, &required));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(required, 8u);
    SetLastError(0xdeadbeef);
    ASSERT_TRUE(SetupGetStringFieldA(&line, 1, text, 8, nullptr));
    EXPECT_STREQ(text, "Install");
    EXPECT_EQ(GetLastError(), 0u);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetupGetStringFieldA(&line, 4, text, sizeof text, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);

    // A line of several fields without '=' has no key.
    ASSERT_TRUE(SetupFindFirstLineA(inf, "T", nullptr, &line));
    EXPECT_FALSE(SetupGetStringFieldA(&line, 0, text, sizeof text, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
    SetupCloseInfFile(inf);
}

TEST_F(SetupInf, LongFieldsAreKeptWhole) {
    HINF inf = open(std::string(kHeader) + "[S]\nk = a, " + std::string(1500, 'X') + "\n");
    ASSERT_NE(inf, INVALID_HANDLE_VALUE);
    INFCONTEXT line;
    ASSERT_TRUE(SetupFindFirstLineA(inf, "S", nullptr, &line));
    char text[1024];
    DWORD required = 0;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetupGetStringFieldA(&line, 2, text, sizeof text, &required));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(required, 1501u);
    SetupCloseInfFile(inf);
}

TEST_F(SetupInf, FieldsComeInTheAnsiCodePage) {
    m.system.setJapanese();
    // "表示" in UTF-16 with a BOM: the ANSI form has a trail byte 0x5C.
    std::string body("\xFF\xFE", 2);
    for (char16_t c : u"[Version]\nSignature=$Chicago$\n[S]\nk=\u8868\u793A\n") {
        if (!c) break;
        body += static_cast<char>(c & 0xFF);
        body += static_cast<char>(c >> 8);
    }
    HINF inf = open(body);
    ASSERT_NE(inf, INVALID_HANDLE_VALUE);
    EXPECT_EQ(field(inf, "S", 1), "\x95\x5C\x8E\xA6");
    SetupCloseInfFile(inf);
}

TEST_F(SetupInf, FaultsFailTheCallWithTheGivenError) {
    m.faults.fail("SetupOpenInfFileA", ERROR_ACCESS_DENIED);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(open(std::string(kHeader)), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    m.faults.clear();
    HINF inf = open(std::string(kHeader) + "[S]\nk=v\n");
    m.faults.fail("SetupGetStringFieldA", ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(field(inf, "S", 1), "<error 8>");
    SetupCloseInfFile(inf);
}

TEST_F(SetupInf, ListsTheInfFilesOfAFolderByStyle) {
    m.files.writeFile(infFolder + "\\b.inf", std::string(kHeader));
    m.files.writeFile(infFolder + "\\a.inf", "[Version]\nSignature=$CHICAGO$\n");
    m.files.writeFile(infFolder + "\\old.inf", "[Identification]\nOptionType = NetAdapter\n");
    m.files.writeFile(infFolder + "\\a.PNF", "binary");
    m.files.createDirectory(infFolder + "\\dir.inf");

    DWORD required = 0;
    SetLastError(0xdeadbeef);
    ASSERT_TRUE(SetupGetInfFileListA(nullptr, INF_STYLE_WIN4, nullptr, 0, &required));
    EXPECT_EQ(required, 13u);  // "a.inf", "b.inf" and the closing empty entry
    std::string list(required, 'x');
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetupGetInfFileListA(nullptr, INF_STYLE_WIN4, &list[0], required - 1, &required));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
    ASSERT_TRUE(SetupGetInfFileListA(nullptr, INF_STYLE_WIN4, &list[0], required, &required));
    EXPECT_EQ(list, std::string("a.inf\0b.inf\0\0", 13));

    ASSERT_TRUE(SetupGetInfFileListA("C:\\windows\\inf\\", INF_STYLE_OLDNT, &list[0], required, &required));
    EXPECT_EQ(list.substr(0, required), std::string("old.inf\0\0", 9));

    // A folder without INF files, or without a folder, gives the empty list.
    ASSERT_TRUE(SetupGetInfFileListA("C:\\absent", INF_STYLE_WIN4, nullptr, 0, &required));
    EXPECT_EQ(required, 1u);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetupGetInfFileListA("C:\\WINDOWS\\INF\\a.inf", INF_STYLE_WIN4, nullptr, 0, &required));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_DIRECTORY);
}

// --- the driver store and SetupCopyOEMInfA ----------------------------------

const char kPackage[] =
    "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=USB\r\nCatalogFile=pkg.cat\r\n"
    "[SourceDisksNames]\r\n1 = \"Disk\",,,\\sub\r\n[SourceDisksFiles]\r\npkg.sys = 1\r\n";

class DriverStoreTest : public SetupInf {
protected:
    void SetUp() override {
        m.files.writeFile("D:\\Drivers\\pkg.inf", kPackage);
        m.files.writeFile("D:\\Drivers\\pkg.cat", "catalog");
        m.files.writeFile("D:\\Drivers\\sub\\pkg.sys", "");
    }
    DriverStoreTest() { m.files.addDrive('D'); }

    // Stages an INF and returns the published name, or "<error N>".
    std::string stage(const char* path = "D:\\Drivers\\pkg.inf") {
        char name[MAX_PATH];
        char* component = nullptr;
        if (!SetupCopyOEMInfA(path, nullptr, SPOST_PATH, 0, name, sizeof name, nullptr, &component))
            return "<error " + std::to_string(GetLastError()) + ">";
        EXPECT_EQ(std::string(name, component - name), "C:\\WINDOWS\\INF\\");
        return component;
    }
};

TEST_F(DriverStoreTest, PublishesUnderTheLowestFreeOemNumberWithItsPnf) {
    m.files.writeFile(infFolder + "\\oem0.inf", "someone else's");
    EXPECT_EQ(stage(), "oem1.inf");
    EXPECT_EQ(*m.files.read(infFolder + "\\oem1.inf"), kPackage);
    EXPECT_TRUE(m.files.exists(infFolder + "\\oem1.PNF"));
    const auto& packages = m.driverStore.published(m.files);
    ASSERT_EQ(packages.size(), 1u);
    EXPECT_EQ(packages[0].originalName, "pkg.inf");
    EXPECT_EQ(packages[0].sourceFolder, "D:\\Drivers");
    EXPECT_EQ(packages[0].catalogName, "pkg.cat");
    EXPECT_EQ(packages[0].catalogContent, "catalog");
    EXPECT_EQ(*m.files.read(infFolder + "\\oem0.inf"), "someone else's");
}

TEST_F(DriverStoreTest, TheSamePackageKeepsItsNameAndAChangedOneGetsANewOne) {
    EXPECT_EQ(stage(), "oem0.inf");
    EXPECT_EQ(stage(), "oem0.inf");
    EXPECT_EQ(m.driverStore.published(m.files).size(), 1u);
    // Another catalog makes another package.
    m.files.writeFile("D:\\Drivers\\pkg.cat", "catalog 2");
    EXPECT_EQ(stage(), "oem1.inf");
    // An INF deleted by hand is no longer published, but its package stays
    // in the store, out of reach of its old name; staging publishes it
    // anew under the lowest free number.
    m.files.remove(infFolder + "\\oem0.inf");
    EXPECT_EQ(m.driverStore.published(m.files).size(), 1u);
    ASSERT_EQ(m.driverStore.inStore(m.files).size(), 2u);
    const winsim::PublishedPackage orphan = m.driverStore.inStore(m.files)[0];
    EXPECT_EQ(orphan.publishedName, "");
    EXPECT_EQ(*m.files.read(orphan.storeFolder + "\\pkg.inf"), kPackage);
    EXPECT_FALSE(SetupUninstallOEMInfA("oem0.inf", SUOI_FORCEDELETE, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
    m.files.writeFile("D:\\Drivers\\pkg.cat", "catalog");
    EXPECT_EQ(stage(), "oem0.inf");
    EXPECT_EQ(m.driverStore.published(m.files).size(), 2u);
    EXPECT_EQ(m.driverStore.inStore(m.files).size(), 2u);

    // SP_COPY_NOOVERWRITE reports the published copy.
    char name[MAX_PATH];
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetupCopyOEMInfA("D:\\Drivers\\pkg.inf", nullptr, SPOST_PATH, SP_COPY_NOOVERWRITE, name, sizeof name,
                                  nullptr, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_EXISTS);
    EXPECT_STREQ(name, "C:\\WINDOWS\\INF\\oem0.inf");
}

TEST_F(DriverStoreTest, PackagesLiveInFoldersOfTheStoreFromVistaOn) {
    ASSERT_EQ(stage(), "oem0.inf");
    const std::string folder = m.driverStore.published(m.files)[0].storeFolder;
    EXPECT_EQ(folder.substr(0, folder.rfind('_') + 1),
              "C:\\WINDOWS\\System32\\DriverStore\\FileRepository\\pkg.inf_amd64_neutral_");
    EXPECT_EQ(folder.size() - folder.rfind('_') - 1, 16u);
    EXPECT_EQ(*m.files.read(folder + "\\pkg.inf"), kPackage);
    EXPECT_EQ(*m.files.read(folder + "\\pkg.cat"), "catalog");
    EXPECT_TRUE(m.files.exists(folder + "\\sub\\pkg.sys"));

    // Before Vista there is no store: the package is its oem<N>.inf, and an
    // INF identical to any INF of the folder gives that one's name back.
    m.system.setXp();
    m.files.writeFile("D:\\Drivers\\xp.inf", std::string(kPackage) + "; XP\r\n");
    m.files.writeFile(infFolder + "\\copy.inf", std::string(kPackage) + "; XP\r\n");
    EXPECT_EQ(stage("D:\\Drivers\\xp.inf"), "copy.inf");
    m.files.remove(infFolder + "\\copy.inf");
    EXPECT_EQ(stage("D:\\Drivers\\xp.inf"), "oem1.inf");
    EXPECT_EQ(m.driverStore.published(m.files).back().storeFolder, "");
    m.files.remove(infFolder + "\\oem1.inf");
    EXPECT_EQ(m.driverStore.published(m.files).size(), 1u);
}

TEST_F(DriverStoreTest, APackageADeviceWasInstalledFromStaysUnlessForced) {
    ASSERT_EQ(stage(), "oem0.inf");
    winsim::DeviceSeed device;
    device.instanceId = "USB\\VID_0001&PID_0002\\1";
    device.hardwareIds = {"USB\\VID_0001&PID_0002"};
    device.driver = "{36FC9E60-C465-11CF-8056-444553540000}\\0001";
    device.infPath = "OEM0.INF";
    m.devices.add(device);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetupUninstallOEMInfA("oem0.inf", 0, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INF_IN_USE_BY_DEVICES);
    EXPECT_EQ(winsim::runPnpUtil("pnputil.exe -d oem0.inf", m), (DWORD)ERROR_INF_IN_USE_BY_DEVICES);
    EXPECT_NE(m.driverStore.find(m.files, "oem0.inf"), nullptr);
    EXPECT_TRUE(SetupUninstallOEMInfA("oem0.inf", SUOI_FORCEDELETE, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);
    EXPECT_TRUE(m.driverStore.inStore(m.files).empty());
}

TEST_F(DriverStoreTest, DeletingAPackageRemovesItsInfPnfAndRecord) {
    ASSERT_EQ(stage(), "oem0.inf");
    const std::string folder = m.driverStore.published(m.files)[0].storeFolder;
    EXPECT_FALSE(m.driverStore.deletePublished(m.files, "oem7.inf"));
    EXPECT_TRUE(m.driverStore.deletePublished(m.files, "OEM0.INF"));
    EXPECT_FALSE(m.files.exists(infFolder + "\\oem0.inf"));
    EXPECT_FALSE(m.files.exists(infFolder + "\\oem0.PNF"));
    EXPECT_FALSE(m.files.exists(folder));
    EXPECT_TRUE(m.driverStore.published(m.files).empty());

    // An INF that cannot be deleted keeps the package.
    ASSERT_EQ(stage(), "oem0.inf");
    m.files.setInUse(infFolder + "\\oem0.inf");
    EXPECT_EQ(m.driverStore.removePublished(m.files, "oem0.inf"), (DWORD)ERROR_SHARING_VIOLATION);
    EXPECT_NE(m.driverStore.find(m.files, "oem0.inf"), nullptr);

    m.files.setInUse(infFolder + "\\oem0.inf", false);
    SetLastError(0xdeadbeef);
    EXPECT_TRUE(SetupUninstallOEMInfA("oem0.inf", 0, nullptr));
    EXPECT_FALSE(m.files.exists(infFolder + "\\oem0.inf"));
    EXPECT_FALSE(SetupUninstallOEMInfA("oem0.inf", SUOI_FORCEDELETE, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
}

TEST_F(DriverStoreTest, StagingFailsAsWindowsDoes) {
    EXPECT_EQ(stage("D:\\Drivers\\absent.inf"), "<error 2>");
    m.files.writeFile("D:\\Drivers\\plain.inf", "[Version]\r\nClass=USB\r\n");
    EXPECT_EQ(stage("D:\\Drivers\\plain.inf"), "<error " + std::to_string(ERROR_WRONG_INF_STYLE) + ">");
    // From Vista on only driver packages: a class or a [Manufacturer].
    m.files.writeFile("D:\\Drivers\\noclass.inf", "[Version]\r\nSignature=\"$Chicago$\"\r\n");
    EXPECT_EQ(stage("D:\\Drivers\\noclass.inf"), "<error " + std::to_string(ERROR_UNSUPPORTED_TYPE) + ">");
    m.system.setVista();
    EXPECT_EQ(stage("D:\\Drivers\\noclass.inf"), "<error " + std::to_string(ERROR_WRONG_INF_TYPE) + ">");
    m.files.writeFile("D:\\Drivers\\noclass.inf", "[Version]\r\nSignature=\"$Chicago$\"\r\n[Manufacturer]\r\n");
    EXPECT_EQ(stage("D:\\Drivers\\noclass.inf"), "oem0.inf");
    EXPECT_TRUE(m.driverStore.deletePublished(m.files, "oem0.inf"));
    m.system.setWindows7();
    // A relative name is not looked for before Vista.
    m.files.currentDirectory = "D:\\Drivers";
    m.system.setXp();
    EXPECT_EQ(stage("pkg.inf"), "<error 2>");
    m.system.setWindows7();

    // From Windows Vista on the package's files must be beside the INF.
    m.files.remove("D:\\Drivers\\sub\\pkg.sys");
    EXPECT_EQ(stage(), "<error 2>");
    m.system.setXp();
    EXPECT_EQ(stage(), "oem0.inf");
    m.system.setWindows7();
    m.files.writeFile("D:\\Drivers\\sub\\pkg.sys", "");

    m.token.process = winsim::TokenIdentity::standardUser();
    m.files.writeFile("D:\\Drivers\\pkg.cat", "new catalog");
    EXPECT_EQ(stage(), "<error 5>");
    EXPECT_EQ(m.driverStore.published(m.files).size(), 1u);
}

TEST_F(DriverStoreTest, SignedPackagesNeedTheirCatalog) {
    // An unsigned package is staged once the user allows it.
    EXPECT_EQ(stage(), "oem0.inf");
    EXPECT_EQ(m.driverStore.unsignedPrompts, std::vector<std::string>{"D:\\Drivers\\pkg.inf"});
    EXPECT_TRUE(m.driverStore.deletePublished(m.files, "oem0.inf"));
    // Where signatures are required, an unsigned catalog is not modelled.
    m.driverStore.requireSignedPackages = true;
    EXPECT_EQ(stage(), "<error " + std::to_string(ERROR_CALL_NOT_IMPLEMENTED) + ">");
    EXPECT_EQ(m.unimplemented.size(), 1u);
    m.unimplemented.clear();
    m.driverStore.signedCatalogs.push_back("D:\\DRIVERS\\PKG.CAT");
    const std::string noCatalog = "<error " + std::to_string(ERROR_NO_CATALOG_FOR_OEM_INF) + ">";
    m.files.writeFile("D:\\Drivers\\nocat.inf", "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=USB\r\n");
    EXPECT_EQ(stage("D:\\Drivers\\nocat.inf"), noCatalog);
    m.files.remove("D:\\Drivers\\pkg.cat");
    EXPECT_EQ(stage(), noCatalog);
    EXPECT_TRUE(m.driverStore.published(m.files).empty());
    m.files.writeFile("D:\\Drivers\\pkg.cat", "catalog");
    EXPECT_EQ(stage(), "oem0.inf");
    EXPECT_EQ(m.driverStore.unsignedPrompts.size(), 1u);

    // Without the policy an unsigned package is accepted.
    m.driverStore.requireSignedPackages = false;
    EXPECT_EQ(stage("D:\\Drivers\\nocat.inf"), "oem1.inf");
    EXPECT_EQ(m.driverStore.unsignedPrompts.size(), 2u);
}

TEST_F(DriverStoreTest, TheNameBufferFollowsTheTwoCallPattern) {
    DWORD required = 0;
    char name[8];
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetupCopyOEMInfA("D:\\Drivers\\pkg.inf", nullptr, SPOST_PATH, 0, name, sizeof name, &required,
                                  nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(required, sizeof "C:\\WINDOWS\\INF\\oem0.inf");
    // The INF was published all the same.
    EXPECT_TRUE(m.files.exists(infFolder + "\\oem0.inf"));
    EXPECT_TRUE(SetupCopyOEMInfA("D:\\Drivers\\pkg.inf", nullptr, SPOST_PATH, 0, nullptr, 0, nullptr, nullptr));
}

}  // namespace
