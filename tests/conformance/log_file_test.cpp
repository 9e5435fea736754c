// The file calls a program's own log relies on: appending to a file that
// may or may not exist, from two programs at once, and renaming a full log
// over an older one.
#include <string>

#include "conformance.h"

namespace {

// Opens the file as a log is opened: created when missing, every write at
// its end, the file itself even if it is a link, others free to read and
// append meanwhile.
HANDLE OpenForAppending(const std::string& path) {
    return CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

void Append(HANDLE file, const std::string& text) {
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) << GetLastError();
    EXPECT_EQ(written, static_cast<DWORD>(text.size()));
}

std::string Content(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return "<missing " + std::to_string(GetLastError()) + ">";
    std::string content(GetFileSize(h, nullptr), '\0');
    DWORD read = 0;
    if (!content.empty()) {
        EXPECT_TRUE(ReadFile(h, &content[0], static_cast<DWORD>(content.size()), &read, nullptr));
    }
    CloseHandle(h);
    return content.substr(0, read);
}

}  // namespace

TEST(LogFile, OpenAlwaysCreatesOnceAndAppendDataWritesAtTheEnd) {
    const std::string path = conformance::TestFolder() + "\\run.log";
    SetLastError(kSentinelError);
    HANDLE file = OpenForAppending(path);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << GetLastError();
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS)) << "a new file";
    Append(file, "first\r\n");
    EXPECT_TRUE(CloseHandle(file));

    SetLastError(kSentinelError);
    file = OpenForAppending(path);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << GetLastError();
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS)) << "the file was there";
    Append(file, "second\r\n");
    // Another program appends while this one holds the file; a reader sees all.
    HANDLE other = OpenForAppending(path);
    ASSERT_NE(other, INVALID_HANDLE_VALUE) << GetLastError();
    Append(other, "other\r\n");
    Append(file, "third\r\n");
    EXPECT_EQ(Content(path), "first\r\nsecond\r\nother\r\nthird\r\n");
    EXPECT_TRUE(CloseHandle(other));
    EXPECT_EQ(GetFileSize(file, nullptr), 29u);
    EXPECT_TRUE(CloseHandle(file));
}

TEST(LogFile, MoveFileExReplacesTheOlderLogOnlyWhenAskedTo) {
    const std::string log = conformance::TestFolder() + "\\run.log";
    const std::string old = conformance::TestFolder() + "\\run.old.log";
    for (const auto& [path, text] : {std::make_pair(log, std::string("new")), std::make_pair(old, std::string("old"))}) {
        HANDLE file = OpenForAppending(path);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << GetLastError();
        Append(file, text);
        CloseHandle(file);
    }
    SetLastError(kSentinelError);
    EXPECT_FALSE(MoveFileExA(log.c_str(), old.c_str(), 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));

    // An open handle without delete sharing keeps the file from being renamed.
    HANDLE held = OpenForAppending(log);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    SetLastError(kSentinelError);
    EXPECT_FALSE(MoveFileExA(log.c_str(), old.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    CloseHandle(held);

    EXPECT_TRUE(MoveFileExA(log.c_str(), old.c_str(), MOVEFILE_REPLACE_EXISTING)) << GetLastError();
    EXPECT_EQ(Content(old), "new");
    EXPECT_EQ(GetFileAttributesA(log.c_str()), INVALID_FILE_ATTRIBUTES);
    SetLastError(kSentinelError);
    EXPECT_FALSE(MoveFileExA(log.c_str(), old.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}
