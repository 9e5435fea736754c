// How GetPrivateProfileStringA reads a settings file: defaults, empty
// values, truncation, quotes, case, and the lists of sections and keys.
#include <cstring>
#include <string>

#include "conformance.h"

namespace {

const char kContent[] =
    "[Section1]\r\n"
    "Name1=val1\r\n"
    "name2=\"val2\"\r\n"
    "name3\r\n"
    "empty=\r\n"
    "  spaced  =  value with blanks  \r\n"
    "; name5=comment\r\n"
    "[section2]\r\n";

class ProfileString : public testing::Test {
protected:
    void SetUp() override {
        file_ = conformance::TestFolder() + "\\settings.ini";
        HANDLE h = CreateFileA(file_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(h, kContent, (DWORD)std::strlen(kContent), &written, nullptr));
        ASSERT_TRUE(CloseHandle(h));
    }

    // Reads a value into a buffer of `size` characters filled with 'x'.
    DWORD Get(const char* section, const char* key, const char* def, DWORD size = sizeof buf_) {
        std::memset(buf_, 'x', sizeof buf_);
        return GetPrivateProfileStringA(section, key, def, buf_, size, file_.c_str());
    }

    std::string file_;
    char buf_[64];
};

}  // namespace

TEST_F(ProfileString, ValueIsFoundWithoutRegardToCase) {
    EXPECT_EQ(Get("SECTION1", "NAME1", "default"), 4u);
    EXPECT_STREQ(buf_, "val1");
    EXPECT_EQ(Get("section1", "name1", "default"), 4u);
    EXPECT_STREQ(buf_, "val1");
}

TEST_F(ProfileString, MissingFileGivesTheDefault) {
    SetLastError(kSentinelError);
    DWORD n = GetPrivateProfileStringA("Section1", "Name1", "default", buf_, sizeof buf_,
                                       (conformance::TestFolder() + "\\none.ini").c_str());
    EXPECT_EQ(n, 7u);
    EXPECT_STREQ(buf_, "default");
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
}

TEST_F(ProfileString, MissingSectionOrKeyGivesTheDefaultWithoutTrailingBlanks) {
    EXPECT_EQ(Get("nosection", "Name1", "default  "), 7u);
    EXPECT_STREQ(buf_, "default");
    EXPECT_EQ(Get("Section1", "nokey", "one two "), 7u);
    EXPECT_STREQ(buf_, "one two");
    EXPECT_EQ(Get("Section1", "name3", "default"), 7u);  // a line without '='
    EXPECT_STREQ(buf_, "default");
    EXPECT_EQ(Get("Section1", "nokey", nullptr), 0u);
    EXPECT_STREQ(buf_, "");
    EXPECT_EQ(Get("Section1", "", "default"), 7u);
    EXPECT_STREQ(buf_, "default");
}

TEST_F(ProfileString, EmptyValueIsNotTheDefault) {
    EXPECT_EQ(Get("Section1", "empty", "default"), 0u);
    EXPECT_STREQ(buf_, "");
}

TEST_F(ProfileString, BlanksAroundNamesAndValuesAreTrimmed) {
    EXPECT_EQ(Get("Section1", "spaced", "default"), 17u);
    EXPECT_STREQ(buf_, "value with blanks");
    EXPECT_EQ(Get(" Section1 ", "  spaced ", "default"), 17u);
    EXPECT_STREQ(buf_, "value with blanks");
}

TEST_F(ProfileString, MatchingQuotesAreRemoved) {
    EXPECT_EQ(Get("Section1", "name2", "default"), 4u);
    EXPECT_STREQ(buf_, "val2");
}

TEST_F(ProfileString, TruncationCopiesSizeMinusOne) {
    EXPECT_EQ(Get("Section1", "Name1", "default", 4), 3u);
    EXPECT_STREQ(buf_, "val");
    EXPECT_EQ(Get("Section1", "Name1", "default", 5), 4u);
    EXPECT_STREQ(buf_, "val1");
    EXPECT_EQ(Get("Section1", "Name1", "default", 1), 0u);
    EXPECT_STREQ(buf_, "");
    EXPECT_EQ(Get("Section1", "name2", "default", 3), 2u);
    EXPECT_STREQ(buf_, "va");
    EXPECT_EQ(Get("nosection", "Name1", "default", 4), 3u);
    EXPECT_STREQ(buf_, "def");
    EXPECT_EQ(Get("Section1", "Name1", "default", 0), 0u);
    EXPECT_EQ(buf_[0], 'x');
}

TEST_F(ProfileString, NullKeyListsTheKeysOfTheSection) {
    const char expected[] = "Name1\0name2\0empty\0spaced\0";
    EXPECT_EQ(Get("section1", nullptr, "default"), sizeof expected - 1);
    EXPECT_EQ(std::memcmp(buf_, expected, sizeof expected), 0);
    // Too small: cut inside the last name, two NULs, nSize - 2. Wine
    // leaves the last byte of the buffer alone.
    EXPECT_EQ(Get("section1", nullptr, "default", 16), 14u);
    EXPECT_WINDOWS_OR_WINE(std::memcmp(buf_, "Name1\0name2\0em\0\0", 16) == 0,
                           std::memcmp(buf_, "Name1\0name2\0em\0", 15) == 0);
}

TEST_F(ProfileString, NullSectionListsTheSections) {
    EXPECT_EQ(Get(nullptr, "ignored", "default"), 18u);
    EXPECT_EQ(std::memcmp(buf_, "Section1\0section2\0\0", 19), 0);
    EXPECT_EQ(Get(nullptr, nullptr, "default", 12), 10u);
    EXPECT_WINDOWS_OR_WINE(std::memcmp(buf_, "Section1\0s\0\0", 12) == 0,
                           std::memcmp(buf_, "Section1\0s\0", 11) == 0);
}

TEST_F(ProfileString, WrittenValueIsReadBack) {
    ASSERT_TRUE(WritePrivateProfileStringA("section2", "added", "new value", file_.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("SECTION1", "name1", "changed", file_.c_str()));
    EXPECT_EQ(Get("Section2", "ADDED", "default"), 9u);
    EXPECT_STREQ(buf_, "new value");
    EXPECT_EQ(Get("Section1", "Name1", "default"), 7u);
    EXPECT_STREQ(buf_, "changed");
}
