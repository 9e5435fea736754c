// LoadStringA as the product uses it: the program's string table, stored as
// UTF-16, arrives in the ANSI code page, cut to the buffer without splitting
// a double-byte character.
#include "conformance.h"

#include <cstring>
#include <string>

#include "conformance_resource.h"

namespace {

// 表示ソフト in code page 932. The trail byte of 表 and of ソ is 0x5C.
const char kJapanese932[] = "\x95\x5c\x8e\xa6\x83\x5c\x83\x74\x83\x67";

struct Loaded {
    int result;
    DWORD error;
    std::string text;
};

Loaded Load(UINT id, int size) {
    char buffer[64];
    std::memset(buffer, 'x', sizeof buffer);
    SetLastError(kSentinelError);
    Loaded loaded;
    loaded.result = LoadStringA(GetModuleHandleA(nullptr), id, buffer, size);
    loaded.error = GetLastError();
    loaded.text = buffer;
    return loaded;
}

TEST(Strings, AsciiTextIsCopiedAndCounted) {
    Loaded l = Load(IDS_CONF_ASCII, 64);
    EXPECT_EQ(l.result, 10);
    EXPECT_EQ(l.text, "ASCII text");
    EXPECT_EQ(l.error, kSentinelError);
}

TEST(Strings, JapaneseTextArrivesInTheAnsiCodePage) {
    Loaded l = Load(IDS_CONF_JAPANESE, 64);
    if (GetACP() == 932) {
        EXPECT_EQ(l.result, 10);
        EXPECT_EQ(l.text, kJapanese932);
    } else {
        // Code page 1252 has none of these characters.
        EXPECT_EQ(l.result, 5);
        EXPECT_EQ(l.text, "?????");
    }
}

TEST(Strings, TruncationKeepsDoubleByteCharactersWhole) {
    // Room for three bytes and the terminator.
    Loaded l = Load(IDS_CONF_JAPANESE, 4);
    if (GetACP() == 932) {
        EXPECT_EQ(l.result, 2);
        EXPECT_EQ(l.text, "\x95\x5c");
    } else {
        EXPECT_EQ(l.result, 3);
        EXPECT_EQ(l.text, "???");
    }
    l = Load(IDS_CONF_ASCII, 6);
    EXPECT_EQ(l.result, 5);
    EXPECT_EQ(l.text, "ASCII");
    // A buffer of one byte holds the terminator only.
    l = Load(IDS_CONF_ASCII, 1);
    EXPECT_EQ(l.result, 0);
    EXPECT_EQ(l.text, "");
    EXPECT_EQ(l.error, kSentinelError);
}

TEST(Strings, EmptyAndMissingStringsGiveZero) {
    // An empty string and an ID its block does not define have length 0:
    // the buffer is emptied and the last error is left alone.
    Loaded l = Load(IDS_CONF_EMPTY, 64);
    EXPECT_EQ(l.result, 0);
    EXPECT_EQ(l.text, "");
    EXPECT_EQ(l.error, kSentinelError);
    l = Load(3, 64);
    EXPECT_EQ(l.result, 0);
    EXPECT_EQ(l.text, "");
    EXPECT_EQ(l.error, kSentinelError);
    // An ID whose block does not exist fails in FindResource.
    l = Load(4000, 64);
    EXPECT_EQ(l.result, 0);
    EXPECT_EQ(l.text, "");
    EXPECT_EQ(l.error, (DWORD)ERROR_RESOURCE_NAME_NOT_FOUND);
}

TEST(Strings, TheLanguageIsChosenForTheWholeBlock) {
    // Block 2 exists in the neutral language, which is preferred to every
    // other, so the string that only the Japanese copy holds is not found.
    Loaded l = Load(IDS_CONF_BLOCK_NEUTRAL, 64);
    EXPECT_EQ(l.text, "neutral block");
    l = Load(IDS_CONF_BLOCK_JAPANESE_ONLY, 64);
    EXPECT_EQ(l.result, 0);
    EXPECT_EQ(l.text, "");
    // Block 1 exists in Japanese only and is found whatever the user's
    // language.
    EXPECT_GT(Load(IDS_CONF_JAPANESE, 64).result, 0);
}

TEST(Strings, OnlyTheLowWordOfTheIdCounts) {
    Loaded l = Load(MAKELONG(IDS_CONF_ASCII, 0x8000), 64);
    EXPECT_EQ(l.result, 10);
    EXPECT_EQ(l.text, "ASCII text");
}

}  // namespace
