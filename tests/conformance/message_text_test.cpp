// FormatMessageA with FORMAT_MESSAGE_FROM_SYSTEM as the product uses it:
// the system's text for an error code, in a buffer that the system
// allocates and LocalFree releases.
#include "conformance.h"

#include <setupapi.h>

#include <cstring>
#include <string>

namespace {

constexpr DWORD kFlags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;
constexpr DWORD kUserDefaultLanguage = 0x0400;

struct Message {
    DWORD length;
    DWORD error;
    std::string text;
};

Message SystemText(DWORD code) {
    LPSTR text = reinterpret_cast<LPSTR>(0x1);
    SetLastError(kSentinelError);
    Message message;
    message.length =
        FormatMessageA(kFlags, nullptr, code, kUserDefaultLanguage, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    message.error = GetLastError();
    if (message.length == 0) {
        EXPECT_EQ(text, nullptr);
        return message;
    }
    message.text = text;
    SetLastError(kSentinelError);
    EXPECT_EQ(LocalFree(text), nullptr);
    EXPECT_EQ(GetLastError(), kSentinelError);
    return message;
}

bool EndsWithLineBreak(const std::string& text) {
    return text.size() > 2 && text.compare(text.size() - 2, 2, "\r\n") == 0;
}

TEST(MessageText, AccessDeniedHasATextEndingInALineBreak) {
    Message m = SystemText(ERROR_ACCESS_DENIED);
    EXPECT_EQ(m.length, m.text.size());
    EXPECT_TRUE(EndsWithLineBreak(m.text)) << m.text;
    EXPECT_EQ(m.error, kSentinelError);
    if (GetACP() == 932) {
        // アクセスが拒否されました。
        EXPECT_EQ(m.text, "\x83\x41\x83\x4e\x83\x5a\x83\x58\x82\xaa\x8b\x91\x94\xdb\x82\xb3\x82\xea\x82\xdc\x82\xb5"
                          "\x82\xbd\x81\x42\r\n");
    } else {
        EXPECT_WINDOWS_OR_WINE(m.text == "Access is denied.\r\n", m.text == "Access denied.\r\n");
    }
}

TEST(MessageText, OtherErrorsTheProductReports) {
    for (DWORD code : {ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_INVALID_PARAMETER,
                       ERROR_SERVICE_MARKED_FOR_DELETE, ERROR_SERVICE_DOES_NOT_EXIST}) {
        Message m = SystemText(code);
        EXPECT_GT(m.length, 2u) << code;
        EXPECT_TRUE(EndsWithLineBreak(m.text)) << code;
    }
}

TEST(MessageText, SetupApiErrorsHaveTextsOnlyInTheirHresultForm) {
    Message raw = SystemText(ERROR_NO_CATALOG_FOR_OEM_INF);
    EXPECT_EQ(raw.length, 0u);
    EXPECT_EQ(raw.error, (DWORD)ERROR_MR_MID_NOT_FOUND);

    // Wine's message table has no Setup API texts.
    Message hresult = SystemText(HRESULT_FROM_SETUPAPI(ERROR_NO_CATALOG_FOR_OEM_INF));
    EXPECT_WINDOWS_OR_WINE(hresult.length > 0 && EndsWithLineBreak(hresult.text),
                           hresult.length == 0 && hresult.error == ERROR_MR_MID_NOT_FOUND);
    if (GetACP() != 932 && !conformance::RunningOnWine()) {
        EXPECT_EQ(hresult.text, "The third-party INF does not contain digital signature information.\r\n");
    }
}

TEST(MessageText, ACallersBufferMustHoldTheWholeText) {
    const DWORD flags = FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;
    char buffer[512];
    DWORD length = FormatMessageA(flags, nullptr, ERROR_ACCESS_DENIED, kUserDefaultLanguage, buffer, 512, nullptr);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(length, std::strlen(buffer));
    SetLastError(kSentinelError);
    EXPECT_EQ(FormatMessageA(flags, nullptr, ERROR_ACCESS_DENIED, kUserDefaultLanguage, buffer, length, nullptr), 0u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
}

TEST(MessageText, LocalAllocZeroFillsAndLocalFreeReleases) {
    SetLastError(kSentinelError);
    EXPECT_EQ(LocalFree(nullptr), nullptr);
    EXPECT_EQ(GetLastError(), kSentinelError);
    HLOCAL block = LocalAlloc(LPTR, 16);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(static_cast<unsigned char*>(block)[15], 0);
    EXPECT_EQ(LocalFree(block), nullptr);
}

}  // namespace
