// winsim's LoadStringA: the program's string table in blocks of 16 IDs per
// language, the block's language chosen as FindResource chooses it, the
// text converted to the ANSI code page and cut without splitting a
// double-byte character.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "winsim/machine.h"
#include "winsim/text.h"

namespace {

constexpr DWORD kSentinel = 0xdeadbeef;
constexpr WORD kNeutral = 0x0000;
constexpr WORD kEnglish = 0x0409;
constexpr WORD kJapanese = 0x0411;
constexpr WORD kJapaneseNeutralSub = 0x0011;
constexpr WORD kGerman = 0x0407;
constexpr WORD kFrench = 0x040C;

// Block 0 (IDs 0-15): neutral and Japanese. Block 1 (16-31): English and
// Japanese. Block 2 (32-47): German and French. Block 3 (48-63): Japanese
// with the neutral sublanguage and English. Block 4 (64-79): neutral, with
// ID 65 only in the Japanese copy of the block.
const winsim::StringResource kRows[] = {
    {1, kNeutral, "neutral one"},
    {1, kJapanese, "日本語の一"},
    {2, kNeutral, ""},
    {17, kEnglish, "English"},
    {17, kJapanese, "表示ソフト"},
    {33, kFrench, "français"},
    {33, kGerman, "deutsch"},
    {49, kEnglish, "English 49"},
    {49, kJapaneseNeutralSub, "日本語"},
    {64, kNeutral, "neutral 64"},
    {65, kJapanese, "only Japanese"},
};

class WinsimStrings : public testing::Test {
protected:
    void SetUp() override { m.modules.setProgramStrings(kRows, sizeof kRows / sizeof kRows[0]); }
    void TearDown() override { EXPECT_TRUE(m.unimplemented.empty()); }

    std::string load(UINT id, int size = 64) {
        char buffer[64];
        std::memset(buffer, 'x', sizeof buffer);
        SetLastError(kSentinel);
        result = LoadStringA(m.modules.programInstance, id, buffer, size);
        error = GetLastError();
        return buffer;
    }
    std::string utf8(const std::string& ansi) { return winsim::acpToUtf8(ansi); }

    winsim::Machine m;
    int result = 0;
    DWORD error = 0;
};

TEST_F(WinsimStrings, SetProgramStringsReplacesTheTable) {
    ASSERT_EQ(m.modules.programStrings.size(), sizeof kRows / sizeof kRows[0]);
    EXPECT_EQ(m.modules.programStrings[3].id, 17u);
    EXPECT_EQ(m.modules.programStrings[3].language, kEnglish);
    EXPECT_STREQ(m.modules.programStrings[3].text, "English");
    m.modules.setProgramStrings(kRows, 1);
    EXPECT_EQ(m.modules.programStrings.size(), 1u);
}

TEST_F(WinsimStrings, TheNeutralBlockWinsOverTheUsersLanguage) {
    m.system.setJapanese();
    EXPECT_EQ(load(1), "neutral one");
    EXPECT_EQ(result, 11);
    EXPECT_EQ(error, kSentinel);
}

TEST_F(WinsimStrings, TheUsersLanguageWinsOverEnglish) {
    EXPECT_EQ(load(17), "English");
    m.system.setJapanese();
    EXPECT_EQ(utf8(load(17)), "表示ソフト");
    EXPECT_EQ(result, 10);
    // The user's primary language with the neutral sublanguage comes before
    // English.
    EXPECT_EQ(utf8(load(49)), "日本語");
}

TEST_F(WinsimStrings, OtherwiseTheLowestLanguageOfTheBlock) {
    EXPECT_EQ(load(33), "deutsch");
}

TEST_F(WinsimStrings, AStringMissingFromTheChosenBlockIsNotTakenFromAnotherLanguage) {
    m.system.setJapanese();
    EXPECT_EQ(load(65), "");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(error, kSentinel);
    EXPECT_EQ(load(64), "neutral 64");
}

TEST_F(WinsimStrings, EmptyMissingAndAbsentBlocks) {
    EXPECT_EQ(load(2), "");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(error, kSentinel);
    EXPECT_EQ(load(3), "");  // same block, no such ID
    EXPECT_EQ(error, kSentinel);
    EXPECT_EQ(load(200), "");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(error, (DWORD)ERROR_RESOURCE_NAME_NOT_FOUND);
    m.modules.programStrings.clear();
    EXPECT_EQ(load(1), "");
    EXPECT_EQ(error, (DWORD)ERROR_RESOURCE_TYPE_NOT_FOUND);
}

TEST_F(WinsimStrings, JapaneseIsCutWithoutSplittingACharacter) {
    m.system.setJapanese();
    // 表示ソフト is ten bytes in code page 932; the terminator takes one.
    EXPECT_EQ(utf8(load(17, 4)), "表");
    EXPECT_EQ(result, 2);
    EXPECT_EQ(utf8(load(17, 5)), "表示");
    EXPECT_EQ(result, 4);
    EXPECT_EQ(utf8(load(17, 6)), "表示");
    EXPECT_EQ(utf8(load(17, 10)), "表示ソフ");
    EXPECT_EQ(result, 8);
    EXPECT_EQ(utf8(load(17, 11)), "表示ソフト");
    EXPECT_EQ(load(17, 1), "");
    EXPECT_EQ(result, 0);
}

TEST_F(WinsimStrings, JapaneseUnderCodePage1252IsQuestionMarks) {
    m.system.userDefaultLcid = 0x0411;  // Japanese user, Western code page
    EXPECT_EQ(load(17), "?????");
    EXPECT_EQ(load(17, 4), "???");
    EXPECT_EQ(result, 3);
}

TEST_F(WinsimStrings, TheHighWordOfTheIdAndANullInstanceAreIgnored) {
    char buffer[32];
    EXPECT_EQ(LoadStringA(nullptr, MAKELONG(1, 0x8000), buffer, 32), 11);
    EXPECT_STREQ(buffer, "neutral one");
}

TEST_F(WinsimStrings, UnmodelledCallsAndFaults) {
    char buffer[8] = "abc";
    EXPECT_EQ(LoadStringA(m.modules.programInstance, 1, buffer, 0), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_CALL_NOT_IMPLEMENTED);
    EXPECT_EQ(LoadStringA(reinterpret_cast<HINSTANCE>(0x7ff00000), 1, buffer, 8), 0);
    EXPECT_EQ(m.unimplemented.size(), 2u);
    m.unimplemented.clear();

    m.faults.fail("LoadStringA", ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(load(1), "");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(error, (DWORD)ERROR_NOT_ENOUGH_MEMORY);
}

}  // namespace
