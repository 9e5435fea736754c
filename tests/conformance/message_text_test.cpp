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

// UTF-8 text in the ANSI code page.
std::string Ansi(const char* utf8) {
    WCHAR wide[256];
    char ansi[512];
    const int units = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, 256);
    EXPECT_GT(units, 0);
    EXPECT_GT(WideCharToMultiByte(CP_ACP, 0, wide, units, ansi, sizeof ansi, nullptr, nullptr), 0);
    return ansi;
}

// Windows' English and Japanese texts; Wine words them its own way.
TEST(MessageText, OtherErrorsTheProductReports) {
    struct Row {
        DWORD code;
        const char* english;
        const char* japanese;
        const char* wineEnglish;
    };
    const Row rows[] = {
        {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified.\r\n", "指定されたファイルが見つかりません。\r\n",
         "File not found.\r\n"},
        {ERROR_PATH_NOT_FOUND, "The system cannot find the path specified.\r\n", "指定されたパスが見つかりません。\r\n",
         "Path not found.\r\n"},
        {ERROR_INVALID_PARAMETER, "The parameter is incorrect.\r\n", "パラメーターが間違っています。\r\n",
         "Invalid parameter.\r\n"},
        {ERROR_SERVICE_MARKED_FOR_DELETE, "The specified service has been marked for deletion.\r\n",
         "指定されたサービスは削除の対象としてマークされています。\r\n", "Service marked for delete.\r\n"},
        {ERROR_SERVICE_DOES_NOT_EXIST, "The specified service does not exist as an installed service.\r\n",
         "指定されたサービスはインストールされたサービスとして存在しません。\r\n", "Service does not exist.\r\n"},
        {static_cast<DWORD>(E_NOTIMPL), "Not implemented\r\n", "実装されていません\r\n", "Not implemented.\r\n"},
        {static_cast<DWORD>(E_FAIL), "Unspecified error\r\n", "エラーを特定できません\r\n", "Call failed.\r\n"},
    };
    const bool japanese = GetACP() == 932;
    for (const Row& row : rows) {
        const Message m = SystemText(row.code);
        SCOPED_TRACE(::testing::Message() << std::hex << row.code << ": " << m.text);
        EXPECT_EQ(m.length, m.text.size());
        const std::string windows = Ansi(japanese ? row.japanese : row.english);
        // Wine's Japanese texts are translations of its English ones.
        EXPECT_WINDOWS_OR_WINE(m.text == windows,
                               japanese ? m.length > 2 && EndsWithLineBreak(m.text) : m.text == row.wineEnglish);
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
