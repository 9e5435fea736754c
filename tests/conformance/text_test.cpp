// Code pages and ANSI strings as the product relies on them: Shift-JIS
// (code page 932), where a trail byte can be 0x5C, the backslash;
// MultiByteToWideChar and WideCharToMultiByte; lead bytes and CharNextA;
// the lstr* functions.
#include "conformance.h"

#include <cstring>
#include <string>

namespace {

// 表 in code page 932: lead byte 0x95, trail byte 0x5C.
const char kHyou[] = "\x95\x5c";

TEST(Text, TheTrailByte5CStaysPartOfTheCharacter) {
    WCHAR wide[8] = {};
    SetLastError(kSentinelError);
    EXPECT_EQ(MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, "\x95\x5c\\", 3, wide, 8), 2);
    EXPECT_EQ(GetLastError(), kSentinelError);
    EXPECT_EQ(wide[0], 0x8868);
    EXPECT_EQ(wide[1], '\\');

    // The same bytes in the machine's code page.
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, kHyou, -1, wide, 8), GetACP() == 932 ? 2 : 3);
    if (GetACP() == 932) {
        EXPECT_EQ(wide[0], 0x8868);
    } else {
        EXPECT_EQ(wide[0], 0x2022);  // 0x95 is a bullet in 1252
        EXPECT_EQ(wide[1], '\\');
    }
}

TEST(Text, MultiByteToWideCharCountsAndSizes) {
    WCHAR wide[8];
    // -1 converts the terminator too and counts it; a size query gives the
    // same count.
    EXPECT_EQ(MultiByteToWideChar(932, 0, "\x95\x5c" "a", -1, nullptr, 0), 3);
    EXPECT_EQ(MultiByteToWideChar(932, 0, "\x95\x5c" "a", -1, wide, 8), 3);
    EXPECT_EQ(wide[2], 0);
    EXPECT_EQ(MultiByteToWideChar(932, 0, "\x95\x5c" "a", 3, wide, 8), 2);

    SetLastError(kSentinelError);
    EXPECT_EQ(MultiByteToWideChar(932, 0, "abc", 0, wide, 8), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
    SetLastError(kSentinelError);
    EXPECT_EQ(MultiByteToWideChar(932, 0, "abcdef", -1, wide, 3), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
}

TEST(Text, AnInvalidSequenceFailsOnlyWithMbErrInvalidChars) {
    WCHAR wide[8];
    // A lead byte at the end of the input has no trail byte.
    SetLastError(kSentinelError);
    EXPECT_EQ(MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, "a\x95", 2, wide, 8), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NO_UNICODE_TRANSLATION);
    // Without the flag it becomes code page 932's default character.
    SetLastError(kSentinelError);
    EXPECT_EQ(MultiByteToWideChar(932, 0, "a\x95", 2, wide, 8), 2);
    EXPECT_EQ(wide[1], 0x30fb);
    EXPECT_EQ(GetLastError(), kSentinelError);

    SetLastError(kSentinelError);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\xff", 2, wide, 8), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NO_UNICODE_TRANSLATION);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "a\xff", 2, wide, 8), 2);
    EXPECT_EQ(wide[1], 0xfffd);
}

TEST(Text, WideCharToMultiByteUsesTheDefaultCharacter) {
    const WCHAR text[] = {'a', 0x3042, 0};  // "aあ"
    char narrow[8] = {};
    BOOL used = FALSE;
    EXPECT_EQ(WideCharToMultiByte(1252, 0, text, -1, narrow, 8, nullptr, &used), 3);
    EXPECT_STREQ(narrow, "a?");
    EXPECT_TRUE(used);
    EXPECT_EQ(WideCharToMultiByte(1252, 0, text, -1, narrow, 8, "*", &used), 3);
    EXPECT_STREQ(narrow, "a*");

    used = TRUE;
    EXPECT_EQ(WideCharToMultiByte(932, 0, text, -1, narrow, 8, nullptr, &used), 4);
    EXPECT_STREQ(narrow, "a\x82\xa0");
    EXPECT_FALSE(used);

    // U+301C WAVE DASH has no mapping in Windows' code page 932.
    const WCHAR waveDash[] = {0x301c, 0};
    EXPECT_EQ(WideCharToMultiByte(932, 0, waveDash, -1, narrow, 8, nullptr, &used), 2);
    EXPECT_STREQ(narrow, "?");
    EXPECT_TRUE(used);

    // The size query counts bytes; a short buffer fails.
    const WCHAR hyouji[] = {0x8868, 0x793a, 0};
    EXPECT_EQ(WideCharToMultiByte(932, 0, hyouji, -1, nullptr, 0, nullptr, nullptr), 5);
    SetLastError(kSentinelError);
    EXPECT_EQ(WideCharToMultiByte(932, 0, hyouji, -1, narrow, 3, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
}

TEST(Text, LeadBytesAndCharNextFollowTheAnsiCodePage) {
    EXPECT_TRUE(IsDBCSLeadByteEx(932, 0x95));
    EXPECT_TRUE(IsDBCSLeadByteEx(932, 0xfc));
    EXPECT_FALSE(IsDBCSLeadByteEx(932, 0x5c));
    EXPECT_FALSE(IsDBCSLeadByteEx(932, 0xa0));
    EXPECT_FALSE(IsDBCSLeadByteEx(1252, 0x95));

    const char path[] = "\x95\x5c\\x";
    if (GetACP() == 932) {
        EXPECT_TRUE(IsDBCSLeadByte(0x95));
        EXPECT_EQ(CharNextA(path), path + 2);
    } else {
        EXPECT_FALSE(IsDBCSLeadByte(0x95));
        EXPECT_EQ(CharNextA(path), path + 1);
    }
    EXPECT_EQ(CharNextA(path + 2), path + 3);
    EXPECT_EQ(CharNextA(path + 4), path + 4);  // the terminator
}

TEST(Text, LstrcmpiAComparesWholeStringsIgnoringCase) {
    EXPECT_EQ(lstrcmpiA("USB\\VID_04DD&PID_9999", "usb\\vid_04dd&pid_9999"), 0);
    EXPECT_NE(lstrcmpiA("USB\\VID_04DD&PID_9999&REV_0100", "USB\\VID_04DD&PID_9999"), 0);
    EXPECT_NE(lstrcmpA("USB\\VID_04DD", "usb\\vid_04dd"), 0);
    EXPECT_EQ(lstrcmpA("CDROMLauncher", "CDROMLauncher"), 0);
    EXPECT_EQ(lstrcmpiA("", ""), 0);
    // Word sort: lower case before upper case, and a hyphen counts only
    // when the letters are equal.
    EXPECT_LT(lstrcmpA("a", "A"), 0);
    EXPECT_LT(lstrcmpA("a", "B"), 0);
    EXPECT_LT(lstrcmpiA("a", "B"), 0);
    EXPECT_LT(lstrcmpA("coop", "co-op"), 0);
    if (GetACP() == 932) {
        // Full-width letters differ in case only: ＡＢ / ａｂ.
        EXPECT_EQ(lstrcmpiA("\x82\x60\x82\x61", "\x82\x81\x82\x82"), 0);
        EXPECT_NE(lstrcmpA("\x82\x60\x82\x61", "\x82\x81\x82\x82"), 0);
        EXPECT_NE(lstrcmpiA("AB", "\x82\x60\x82\x61"), 0);
    }
}

TEST(Text, LstrcpynACutsAndTerminates) {
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(lstrcpynA(buffer, "abcdef", 4), buffer);
    EXPECT_STREQ(buffer, "abc");
    EXPECT_EQ(lstrlenA(buffer), 3);
    EXPECT_STREQ(lstrcatA(buffer, "de"), "abcde");
}

}  // namespace
