// winsim's code pages and text calls: MultiByteToWideChar and
// WideCharToMultiByte in code pages 932, 1252 and UTF-8, lead bytes,
// lstrcmpA/lstrcmpiA ordering, the lstr* copies and wsprintfA.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdarg>
#include <cstring>
#include <string>
#include <vector>

#include "winsim/machine.h"

namespace {

constexpr DWORD kSentinel = 0xdeadbeef;

// Shift-JIS bytes of 表 (trail byte 0x5C, the backslash) and 示.
const char kHyou[] = "\x95\x5c";
const char kHyouji[] = "\x95\x5c\x8e\xa6";

std::u16string toWide(UINT codePage, DWORD flags, const std::string& bytes, int* result, DWORD* error) {
    WCHAR buffer[64] = {};
    SetLastError(kSentinel);
    *result = MultiByteToWideChar(codePage, flags, bytes.data(), static_cast<int>(bytes.size()), buffer, 64);
    *error = GetLastError();
    return std::u16string(buffer, buffer + (*result > 0 ? *result : 0));
}

std::string toAnsi(UINT codePage, const std::u16string& text, LPCSTR defaultChar, BOOL* used) {
    char buffer[64] = {};
    int n = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), buffer, 64, defaultChar,
                                used);
    return std::string(buffer, buffer + (n > 0 ? n : 0));
}

class WinsimText : public testing::Test {
protected:
    void TearDown() override { EXPECT_TRUE(m.unimplemented.empty()); }
    void expectNotImplemented() {
        EXPECT_EQ(m.unimplemented.size(), 1u);
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_CALL_NOT_IMPLEMENTED);
        m.unimplemented.clear();
    }
    winsim::Machine m;
};

class WinsimText932 : public WinsimText {
protected:
    void SetUp() override { m.system.setJapanese(); }
};

TEST_F(WinsimText932, ShiftJisDecodesWithTheBackslashTrailByteInsideTheCharacter) {
    int n = 0;
    DWORD error = 0;
    EXPECT_EQ(toWide(CP_ACP, MB_ERR_INVALID_CHARS, kHyouji, &n, &error), u"\u8868\u793a");
    EXPECT_EQ(n, 2);
    EXPECT_EQ(error, kSentinel);
    // A lone 0x5C is the backslash, not the yen sign.
    EXPECT_EQ(toWide(932, 0, "C:\\", &n, &error), u"C:\\");

    // -1 converts the terminator too and counts it; a size query gives the
    // same count without writing.
    WCHAR buffer[8];
    EXPECT_EQ(MultiByteToWideChar(932, 0, kHyouji, -1, buffer, 8), 3);
    EXPECT_EQ(buffer[2], 0);
    EXPECT_EQ(MultiByteToWideChar(932, 0, kHyouji, -1, nullptr, 0), 3);
}

TEST_F(WinsimText932, InvalidSequencesAreSubstitutedOrRefused) {
    int n = 0;
    DWORD error = 0;
    // A lead byte at the end of the input.
    EXPECT_EQ(toWide(932, 0, "a\x95", &n, &error), u"a\u30fb");
    toWide(932, MB_ERR_INVALID_CHARS, "a\x95", &n, &error);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(error, (DWORD)ERROR_NO_UNICODE_TRANSLATION);
    // A lead byte with an undefined trail byte is one invalid character.
    EXPECT_EQ(toWide(932, 0, "\x81\x20", &n, &error), u"\u30fb");
    toWide(932, MB_ERR_INVALID_CHARS, "\x85\x40", &n, &error);
    EXPECT_EQ(error, (DWORD)ERROR_NO_UNICODE_TRANSLATION);
    // A lead byte before the terminator does not swallow it.
    WCHAR buffer[4];
    EXPECT_EQ(MultiByteToWideChar(932, 0, "\x95", -1, buffer, 4), 2);
    EXPECT_EQ(buffer[0], 0x30fb);
    EXPECT_EQ(buffer[1], 0);
}

TEST_F(WinsimText932, SingleBytesOfWindowsTableThatIconvLacks) {
    int n = 0;
    DWORD error = 0;
    EXPECT_EQ(toWide(932, MB_ERR_INVALID_CHARS, "\x80", &n, &error), u"\u0080");
    EXPECT_EQ(toWide(932, 0, "\xa0\xfd\xfe\xff", &n, &error), u"\uf8f0\uf8f1\uf8f2\uf8f3");
    // Single bytes that map into the private use area are refused.
    toWide(932, MB_ERR_INVALID_CHARS, "\xa0", &n, &error);
    EXPECT_EQ(error, (DWORD)ERROR_NO_UNICODE_TRANSLATION);
    EXPECT_EQ(toAnsi(932, u"\u0080\uf8f0", nullptr, nullptr), "\x80\xa0");
}

TEST_F(WinsimText, CodePage1252MapsItsUnassignedBytesToC1Controls) {
    int n = 0;
    DWORD error = 0;
    EXPECT_EQ(toWide(CP_ACP, MB_ERR_INVALID_CHARS, "\x80\x81\x9d\xe9", &n, &error), u"\u20ac\u0081\u009d\u00e9");
    EXPECT_EQ(error, kSentinel);
    EXPECT_EQ(toAnsi(1252, u"\u0081\u20ac", nullptr, nullptr), "\x81\x80");
    // 0x95 is a bullet in 1252, not a lead byte.
    EXPECT_EQ(toWide(CP_ACP, 0, kHyou, &n, &error), u"\u2022\\");
}

TEST_F(WinsimText, Utf8ReplacesEachInvalidSequenceOnce) {
    int n = 0;
    DWORD error = 0;
    // E3 81 lacks its third byte: one replacement for both bytes.
    EXPECT_EQ(toWide(CP_UTF8, 0, "a\xe3\x81" "b\xff", &n, &error), u"a\ufffdb\ufffd");
    toWide(CP_UTF8, MB_ERR_INVALID_CHARS, "a\xe3\x81" "b", &n, &error);
    EXPECT_EQ(error, (DWORD)ERROR_NO_UNICODE_TRANSLATION);
    EXPECT_EQ(toWide(CP_UTF8, 0, "\xe8\xa1\xa8", &n, &error), u"\u8868");
}

TEST_F(WinsimText, MultiByteToWideCharParameterErrors) {
    WCHAR buffer[4];
    SetLastError(kSentinel);
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", 0, buffer, 4), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
    SetLastError(kSentinel);
    EXPECT_EQ(MultiByteToWideChar(1252, 0, nullptr, 3, buffer, 4), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
    SetLastError(kSentinel);
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "abcdef", -1, buffer, 4), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
    SetLastError(kSentinel);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_PRECOMPOSED, "abc", 3, buffer, 4), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_FLAGS);
    SetLastError(kSentinel);
    EXPECT_EQ(MultiByteToWideChar(1252, 0x80, "abc", 3, buffer, 4), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_FLAGS);

    EXPECT_EQ(MultiByteToWideChar(437, 0, "abc", 3, buffer, 4), 0);
    expectNotImplemented();
    EXPECT_EQ(MultiByteToWideChar(1252, 0x2 /* MB_COMPOSITE */, "abc", 3, buffer, 4), 0);
    expectNotImplemented();

    m.faults.fail("MultiByteToWideChar", ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", 3, buffer, 4), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_ENOUGH_MEMORY);
}

TEST_F(WinsimText932, WideCharToMultiByteUsesTheDefaultCharacterForWhatTheCodePageLacks) {
    BOOL used = 7;
    EXPECT_EQ(toAnsi(CP_ACP, u"\u8868\u793a", nullptr, &used), kHyouji);
    EXPECT_FALSE(used);
    // U+301C WAVE DASH has no mapping in Windows' 932 (iconv's table maps it
    // onto 0x8160, which is U+FF5E); neither has U+00E9.
    EXPECT_EQ(toAnsi(932, u"\u301c\uff5e\u00e9", nullptr, &used), "?\x81\x60?");
    EXPECT_TRUE(used);
    EXPECT_EQ(toAnsi(932, u"a\u00e9", "*", &used), "a*");
    // Each half of a surrogate pair is a character without a mapping.
    EXPECT_EQ(toAnsi(932, u"\U0001F377", nullptr, &used), "??");
}

TEST_F(WinsimText932, WideCharToMultiByteNeverWritesHalfACharacter) {
    char buffer[4] = {'x', 'x', 'x', 'x'};
    SetLastError(kSentinel);
    EXPECT_EQ(WideCharToMultiByte(932, 0, u"\u8868\u793a", 2, buffer, 3, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(std::string(buffer, 3), std::string(kHyou) + "x");
    // Size query, and -1 for a terminated string.
    EXPECT_EQ(WideCharToMultiByte(932, 0, u"\u8868\u793a", -1, nullptr, 0, nullptr, nullptr), 5);
}

TEST_F(WinsimText, WideCharToMultiByteUtf8Rules) {
    char buffer[8];
    BOOL used = FALSE;
    SetLastError(kSentinel);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"a", 1, buffer, 8, nullptr, &used), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
    // An unpaired surrogate becomes U+FFFD, or fails with WC_ERR_INVALID_CHARS.
    const char16_t lone[] = {0xd800, u'a'};
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, lone, 2, buffer, 8, nullptr, nullptr), 4);
    EXPECT_EQ(std::string(buffer, 4), "\xef\xbf\xbd" "a");
    SetLastError(kSentinel);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0x80, lone, 2, buffer, 8, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NO_UNICODE_TRANSLATION);
    SetLastError(kSentinel);
    EXPECT_EQ(WideCharToMultiByte(1252, 0x80, u"a", 1, buffer, 8, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_FLAGS);
}

TEST_F(WinsimText932, LeadBytesFollowTheMachinesCodePage) {
    EXPECT_TRUE(IsDBCSLeadByte(0x95));
    EXPECT_TRUE(IsDBCSLeadByteEx(CP_ACP, 0xfc));
    EXPECT_FALSE(IsDBCSLeadByteEx(932, 0xa0));
    EXPECT_FALSE(IsDBCSLeadByteEx(932, 0x5c));
    EXPECT_FALSE(IsDBCSLeadByteEx(1252, 0x95));
    EXPECT_EQ(GetACP(), 932u);
    m.system.acp = 1252;
    EXPECT_FALSE(IsDBCSLeadByte(0x95));
    EXPECT_FALSE(IsDBCSLeadByteEx(CP_UTF8, 0xe3));
    expectNotImplemented();
}

TEST_F(WinsimText932, CharNextAStepsOverDoubleByteCharacters) {
    const char* s = "\x95\x5c" "a";
    EXPECT_EQ(CharNextA(s), s + 2);
    EXPECT_EQ(CharNextA(s + 2), s + 3);
    EXPECT_EQ(CharNextA(s + 3), s + 3);
    const char* lone = "\x95";
    EXPECT_EQ(CharNextA(lone), lone + 1);
    m.system.acp = 1252;
    EXPECT_EQ(CharNextA(s), s + 1);
}

TEST_F(WinsimText, LstrCopiesAndLengths) {
    char buffer[8] = "zzzzzzz";
    EXPECT_EQ(lstrcpynA(buffer, "abcdef", 4), buffer);
    EXPECT_STREQ(buffer, "abc");
    lstrcpynA(buffer, "xyz", 0);
    EXPECT_STREQ(buffer, "abc");
    EXPECT_EQ(lstrcatA(buffer, "de"), buffer);
    EXPECT_STREQ(buffer, "abcde");
    EXPECT_STREQ(lstrcpyA(buffer, "q"), "q");
    EXPECT_EQ(lstrlenA("abc"), 3);
    EXPECT_EQ(lstrlenA(nullptr), 0);
}

struct Ordering {
    const char* a;
    const char* b;
    int cmp;
    int cmpi;
};

// Results measured with lstrcmpA/lstrcmpiA (word sort).
const Ordering kAsciiOrderings[] = {
    {"a", "B", -1, -1},        {"a", "A", -1, 0},        {"A", "a", 1, 0},        {"B", "a", 1, 1},
    {"1", "a", -1, -1},        {"10", "9", -1, -1},      {"_", "a", -1, -1},      {"!", "1", -1, -1},
    {"~", "!", 1, 1},          {"+", "~", 1, 1},         {"@", "1", -1, -1},      {"a b", "ab", -1, -1},
    {"a", "a ", -1, -1},       {"abc", "ABD", -1, -1},   {"Z", "a", 1, 1},        {"aB", "Ab", -1, 0},
    {"co-op", "coop", 1, 1},   {"coop", "co-op", -1, -1}, {"ab", "a-b", -1, -1},  {"a-bc", "ab-c", 1, 1},
    {"a-b", "a'b", 1, 1},      {"a--b", "a-b", 1, 1},    {"-", "", 1, 1},         {"A-b", "a-b", 1, 0},
    {"", "", 0, 0},            {"", "a", -1, -1},        {"USB\\VID_1234", "usb\\vid_1234", 1, 0},
};

TEST_F(WinsimText, LstrcmpOrdersAsciiByWordSort) {
    for (const Ordering& o : kAsciiOrderings) {
        EXPECT_EQ(lstrcmpA(o.a, o.b), o.cmp) << o.a << " / " << o.b;
        EXPECT_EQ(lstrcmpiA(o.a, o.b), o.cmpi) << o.a << " / " << o.b;
    }
    EXPECT_EQ(lstrcmpA(nullptr, nullptr), 0);
    EXPECT_EQ(lstrcmpA(nullptr, "a"), -1);
    EXPECT_EQ(lstrcmpiA("a", nullptr), 1);
}

TEST_F(WinsimText932, LstrcmpiIgnoresCaseOfFullWidthLettersButNotWidthOrKana) {
    const char fullUpper[] = "\x82\x60\x82\x61";  // ＡＢ
    const char fullLower[] = "\x82\x81\x82\x82";  // ａｂ
    EXPECT_EQ(lstrcmpiA(fullUpper, fullLower), 0);
    EXPECT_EQ(lstrcmpA(fullUpper, fullLower), 1);
    EXPECT_EQ(lstrcmpiA("AB", fullUpper), -1);
    EXPECT_NE(lstrcmpiA("\x82\xa0", "\x83\x41"), 0);  // あ / ア
    EXPECT_EQ(lstrcmpA(kHyouji, kHyouji), 0);
    EXPECT_EQ(lstrcmpA("z", "\x82\xa0"), -1);  // Latin letters before kana
    EXPECT_NE(lstrcmpiA(kHyouji, kHyou), 0);
}

std::string format(const char* seed, ...) {
    char buffer[1100];
    std::memset(buffer, 'x', sizeof buffer);
    va_list args;
    va_start(args, seed);
    int n = wvsprintfA(buffer, seed, args);
    va_end(args);
    EXPECT_EQ(n, static_cast<int>(std::strlen(buffer)));
    return buffer;
}

TEST_F(WinsimText, WsprintfFormats) {
    char buffer[64];
    EXPECT_EQ(wsprintfA(buffer, "pnputil.exe -f -d %s", "oem12.inf"), 27);
    EXPECT_STREQ(buffer, "pnputil.exe -f -d oem12.inf");
    EXPECT_EQ(format("%d|%i|%u|%x|%X|%lu|%ld|%lx", -5, 7, 4000000000u, 255, 255, 4000000000u, -1, 0xabcdefu),
              "-5|7|4000000000|ff|FF|4000000000|-1|abcdef");
    EXPECT_EQ(format("%5d|%-5d|%05d|%-05d|%.3d|%#x|%#X", 42, 42, -3, 7, 7, 255, 255),
              "   42|42   |-0003|7    |007|0xff|0XFF");
    EXPECT_EQ(format("%.2s|%5s|%-5s|%c|%hs|%s", "abc", "ab", "ab", 'Z', "h", nullptr),
              "ab|   ab|ab   |Z|h|(null)");
    EXPECT_EQ(format("%I64u|%p", 1ULL << 40, reinterpret_cast<void*>(0x1234)), "1099511627776|0000000000001234");
}

TEST_F(WinsimText, WsprintfPrintsWhatItDoesNotKnowAsItStands) {
    // No '*' width, no floating point: the character is printed as it is.
    EXPECT_EQ(format("100%%|%q|%5q|%*d|%f|%0-5d|end%", 1, 2), "100%|q|     q|*d|f|-5d|end");
}

TEST_F(WinsimText932, WsprintfConvertsWideArgumentsToTheAnsiCodePage) {
    EXPECT_EQ(format("%ls|%S|%lc|%C", u"\u8868x", u"\u8868", static_cast<int>(0x793a), static_cast<int>('y')),
              std::string(kHyou) + "x|" + kHyou + "|\x8e\xa6|y");
    m.system.acp = 1252;
    EXPECT_EQ(format("%ls", u"\u8868x"), "?x");
}

// A long format text and a wide field are cut like a long argument: 1023
// characters and the terminator in the 1024 bytes.
TEST_F(WinsimText, WsprintfStopsWithin1024Bytes) {
    const std::string longText(2000, 'a');
    std::vector<char> buffer(2100, 'x');
    EXPECT_EQ(wsprintfA(buffer.data(), longText.c_str()), 1023);
    EXPECT_EQ(buffer[1023], '\0');
    EXPECT_EQ(buffer[1024], 'x');
    EXPECT_EQ(wsprintfA(buffer.data(), "%2000d", 5), 1023);
    EXPECT_EQ(std::strlen(buffer.data()), 1023u);
}

}  // namespace
