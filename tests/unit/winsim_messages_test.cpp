// winsim's FormatMessageA over the system message table (English and
// Japanese) and the LocalAlloc/LocalFree blocks it hands out.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "winsim/machine.h"
#include "winsim/text.h"

namespace {

constexpr DWORD kSentinel = 0xdeadbeef;
constexpr DWORD kSystemFlags =
    FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS;
constexpr DWORD kUserDefault = 0x0400;

// Every code the product can meet must have a text in both languages.
const DWORD kProductCodes[] = {2,    3,    5,    6,    8,    13,   14,   18,         32,        80,  87,
                               120,  122,  123,  126,  127,  145,  183,  234,        259,       1004, 1008,
                               1060, 1072, 1073, 1113, 1168, 1400, 1812, 1813, 1814, 0x800F022F, 0x800F0235};

class WinsimMessages : public testing::Test {
protected:
    void TearDown() override { EXPECT_TRUE(m.unimplemented.empty()); }

    // The allocated text (freed again), or "" with `error` set.
    std::string message(DWORD code, DWORD language = kUserDefault) {
        LPSTR text = reinterpret_cast<LPSTR>(0x1);
        SetLastError(kSentinel);
        result = FormatMessageA(kSystemFlags, nullptr, code, language, reinterpret_cast<LPSTR>(&text), 0, nullptr);
        error = GetLastError();
        if (!result) {
            EXPECT_EQ(text, nullptr);
            return std::string();
        }
        EXPECT_EQ(m.handles.localAllocations.count(text), 1u);
        std::string copy = text;
        EXPECT_EQ(LocalFree(text), nullptr);
        return copy;
    }

    winsim::Machine m;
    DWORD result = 0;
    DWORD error = 0;
};

TEST_F(WinsimMessages, EveryProductCodeHasAnEnglishAndAJapaneseText) {
    for (DWORD code : kProductCodes) {
        const std::string english = message(code);
        ASSERT_GT(english.size(), 3u) << code;
        EXPECT_EQ(english.substr(english.size() - 3), ".\r\n") << code;
        EXPECT_EQ(result, english.size());
        EXPECT_EQ(error, kSentinel);
    }
    m.system.setJapanese();
    for (DWORD code : kProductCodes) {
        const std::string japanese = winsim::acpToUtf8(message(code));
        ASSERT_GT(japanese.size(), 5u) << code;
        EXPECT_EQ(japanese.substr(japanese.size() - 5), "。\r\n") << code;
    }
    EXPECT_TRUE(m.handles.localAllocations.empty());
}

TEST_F(WinsimMessages, TextsComeInTheUsersLanguageAndTheAnsiCodePage) {
    EXPECT_EQ(message(5), "Access is denied.\r\n");
    EXPECT_EQ(message(5, 0), "Access is denied.\r\n");
    EXPECT_EQ(message(0x800F022F), "The third-party INF does not contain digital signature information.\r\n");
    m.system.setJapanese();
    EXPECT_EQ(message(5), "\x83\x41\x83\x4e\x83\x5a\x83\x58\x82\xaa\x8b\x91\x94\xdb\x82\xb3\x82\xea\x82\xdc\x82\xb5"
                          "\x82\xbd\x81\x42\r\n");  // アクセスが拒否されました。
    EXPECT_EQ(message(5, 0x0411), message(5));
    // A Japanese user on code page 1252 gets question marks.
    m.system.acp = 1252;
    EXPECT_EQ(message(5), std::string(13, '?') + "\r\n");
}

TEST_F(WinsimMessages, SetupApiCodesHaveNoTextInTheirRawForm) {
    EXPECT_EQ(message(ERROR_NO_CATALOG_FOR_OEM_INF), "");
    EXPECT_EQ(result, 0u);
    EXPECT_EQ(error, (DWORD)ERROR_MR_MID_NOT_FOUND);
    EXPECT_EQ(message(HRESULT_FROM_SETUPAPI(ERROR_NO_CATALOG_FOR_OEM_INF)).substr(0, 15), "The third-party");
    EXPECT_EQ(message(0x12345678), "");
    EXPECT_EQ(error, (DWORD)ERROR_MR_MID_NOT_FOUND);
    // Setup API numbers that winerror.h does not define.
    EXPECT_EQ(message(HRESULT_FROM_SETUPAPI(0xE0000FFF)), "");
    EXPECT_EQ(error, (DWORD)ERROR_MR_MID_NOT_FOUND);
    EXPECT_TRUE(m.handles.localAllocations.empty());
}

TEST_F(WinsimMessages, IntoTheCallersBuffer) {
    char buffer[20];  // "Access is denied.\r\n" and its terminator
    SetLastError(kSentinel);
    EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, 5, kUserDefault,
                             buffer, sizeof buffer - 1, nullptr),
              0u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, 5, kUserDefault,
                             buffer, sizeof buffer, nullptr),
              19u);
    EXPECT_STREQ(buffer, "Access is denied.\r\n");
    EXPECT_TRUE(m.handles.localAllocations.empty());
}

TEST_F(WinsimMessages, TheAllocationIsAtLeastNSize) {
    LPSTR text = nullptr;
    EXPECT_EQ(FormatMessageA(kSystemFlags, nullptr, 5, kUserDefault, reinterpret_cast<LPSTR>(&text), 100, nullptr),
              19u);
    EXPECT_EQ(m.handles.localAllocations.at(text), 100u);
    LocalFree(text);
}

TEST_F(WinsimMessages, LanguagesThatAreNotInstalledAndUnmodelledRequests) {
    EXPECT_EQ(message(5, 0x0407), "");
    EXPECT_EQ(error, 1815u);  // ERROR_RESOURCE_LANG_NOT_FOUND

    char buffer[64];
    EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 5, 0, buffer, 64, nullptr), 0u);
    EXPECT_EQ(message(4000), "");        // a Win32 code the table lacks
    EXPECT_EQ(message(0x800F0234), "");  // a Setup API code the table lacks
    EXPECT_EQ(m.unimplemented.size(), 3u);
    m.unimplemented.clear();

    m.faults.fail("FormatMessageA", ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(message(5), "");
    EXPECT_EQ(error, (DWORD)ERROR_NOT_ENOUGH_MEMORY);
}

TEST_F(WinsimMessages, LocalAllocIsTrackedUntilLocalFree) {
    auto* zeroed = static_cast<unsigned char*>(LocalAlloc(LPTR, 16));
    ASSERT_NE(zeroed, nullptr);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(zeroed[i], 0);
    void* fixed = LocalAlloc(LMEM_FIXED, 0);
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(m.handles.localAllocations.size(), 2u);
    EXPECT_EQ(m.handles.localAllocations.at(zeroed), 16u);

    SetLastError(kSentinel);
    EXPECT_EQ(LocalFree(zeroed), nullptr);
    EXPECT_EQ(LocalFree(fixed), nullptr);
    EXPECT_EQ(LocalFree(nullptr), nullptr);
    EXPECT_EQ(GetLastError(), kSentinel);
    EXPECT_TRUE(m.handles.localAllocations.empty());
    // A block that is no longer (or never was) this machine's.
    EXPECT_EQ(LocalFree(fixed), fixed);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
}

TEST_F(WinsimMessages, LocalAllocFailures) {
    SetLastError(kSentinel);
    EXPECT_EQ(LocalAlloc(LPTR, SIZE_T(1) << 40), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_ENOUGH_MEMORY);
    m.faults.fail("LocalAlloc", ERROR_OUTOFMEMORY);
    EXPECT_EQ(LocalAlloc(LPTR, 8), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_OUTOFMEMORY);
    m.faults.clear();
    EXPECT_EQ(LocalAlloc(0x0002 /* LMEM_MOVEABLE */, 8), nullptr);
    EXPECT_EQ(m.unimplemented.size(), 1u);
    m.unimplemented.clear();
    EXPECT_TRUE(m.handles.localAllocations.empty());
}

}  // namespace
